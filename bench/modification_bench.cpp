// Throughput of the modification search, the shift search and the grouping of mass
// differences: the library's engine against the plain sequential program kept with the tests
// (tests/modification/PlainModificationSearch.h), side by side on the same synthetic data.
//
// Compare the figures of one run: BM_PlainModificationSearch/N against
// BM_ModificationSearch/N/threads:1 and /threads:2, and likewise for the shift search and
// the grouping. The engine's benchmarks report the ratios themselves, from the wall-clock
// times measured earlier in the same run: "vs_plain" (plain time / this time) and, at 2
// threads, "vs_1_thread". Every engine run is checked against the plain run's output
// files; a difference stops the benchmark with an error.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "speclink/tests/modification/PlainModificationSearch.h"
#include "speclink/library/speclink.h"

namespace speclink {
namespace {

// Monoisotopic residue masses of the twenty amino acids (Da).
constexpr double kResidues[] = {57.02146,  71.03711,  87.03203,  97.05276,  99.06841,  101.04768, 103.00919,
                                113.08406, 113.08406, 114.04293, 115.02694, 128.05858, 128.09496, 129.04259,
                                131.04049, 137.05891, 147.06841, 156.10111, 163.06333, 186.07931};
// Oxidation, phosphorylation, dimethylation, acetylation, methylation, deamidation (Da).
constexpr double kModifications[] = {15.994915, 79.966331, 28.0313, 42.010565, 14.01565, 0.984016};
constexpr double kWater = 18.010565;
constexpr double kProton = 1.007276;

std::vector<double> RandomPeptide(std::mt19937_64& random) {
    std::uniform_int_distribution<int> length(5, 34);
    std::uniform_int_distribution<size_t> residue(0, std::size(kResidues) - 1);
    for (;;) {
        std::vector<double> residues(static_cast<size_t>(length(random)));
        for (double& r : residues) r = kResidues[residue(random)];
        const double mass = std::accumulate(residues.begin(), residues.end(), kWater + kProton);
        if (mass >= 500.0 && mass <= 4000.0) return residues;
    }
}

// Peptide-like spectra: a pool of peptides, each seen several times, a third of the spectra
// carrying one modification on one residue. Peaks: the b and y ladders (70 % of them kept,
// m/z jittered by up to 0.02) with skewed intensities, plus weaker noise peaks up to 50 to
// 150 peaks in all. Precursor masses 500 to 4000 Da; charges 2 (60 %), 3 (30 %), 1 (10 %).
std::vector<CSpectrum> PeptideSpectra(int count) {
    std::mt19937_64 random(20240611);
    std::vector<std::vector<double>> pool(static_cast<size_t>(std::max(1, count / 4)));
    for (auto& peptide : pool) peptide = RandomPeptide(random);
    std::uniform_int_distribution<size_t> pick(0, pool.size() - 1);
    std::uniform_int_distribution<int> charge_pick(0, 9);
    std::uniform_int_distribution<int> peak_count(50, 150);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> jitter(-0.02, 0.02);
    std::exponential_distribution<double> ladder_intensity(1.0 / 5000.0);
    std::exponential_distribution<double> noise_intensity(1.0 / 800.0);
    std::uniform_int_distribution<size_t> modification(0, std::size(kModifications) - 1);

    std::vector<CSpectrum> spectra(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        std::vector<double> residues = pool[pick(random)];
        if (unit(random) < 1.0 / 3.0) {
            std::uniform_int_distribution<size_t> site(0, residues.size() - 1);
            residues[site(random)] += kModifications[modification(random)];
        }
        const double mass = std::accumulate(residues.begin(), residues.end(), kWater + kProton);
        CSpectrum& s = spectra[static_cast<size_t>(k)];
        s.precursor_mass = mass + jitter(random) * 0.5;
        const int pick_charge = charge_pick(random);
        s.charge = pick_charge < 6 ? 2 : (pick_charge < 9 ? 3 : 1);
        s.file_name = "run." + std::to_string(k) + "." + std::to_string(k) + "." + std::to_string(s.charge) + ".dta";
        double prefix = kProton;
        for (size_t r = 0; r + 1 < residues.size(); ++r) {
            prefix += residues[r];
            const double b = prefix;
            const double y = mass - prefix + kProton;
            for (const double mz : {b, y}) {
                if (mz >= 100.0 && unit(random) < 0.7) {
                    s.peaks.push_back({mz + jitter(random), ladder_intensity(random) + 1.0});
                }
            }
        }
        std::uniform_real_distribution<double> noise_mz(100.0, mass);
        const int total = peak_count(random);
        while (static_cast<int>(s.peaks.size()) < total) {
            s.peaks.push_back({noise_mz(random), noise_intensity(random) + 1.0});
        }
        std::sort(s.peaks.begin(), s.peaks.end(), ByMzAscending);
    }
    return spectra;
}

// The pairs that pass the default mass window and the equal-charge rule: the ones scored.
int64_t ScoredPairs(const std::vector<CSpectrum>& spectra) {
    std::vector<std::pair<double, int>> by_mass;
    for (const CSpectrum& s : spectra) by_mass.emplace_back(s.precursor_mass, s.charge);
    std::sort(by_mass.begin(), by_mass.end());
    int64_t pairs = 0;
    for (size_t i = 0; i < by_mass.size(); ++i) {
        for (size_t j = i + 1; j < by_mass.size() && by_mass[j].first - by_mass[i].first <= 200.0; ++j) {
            if (by_mass[j].first - by_mass[i].first >= 6.0 && by_mass[i].second == by_mass[j].second) ++pairs;
        }
    }
    return pairs;
}

// A scratch directory made the current directory for the run's output files.
class ScratchDirectory {
public:
    ScratchDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "speclink-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
        if (!path_.empty()) std::filesystem::current_path(path_);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What a run left behind: pair list, score.txt (removed, so the next run starts afresh) and
// temp.temp.
std::string TakeOutputs() {
    std::string all = Contents("pairs.txt") + "\n--\n" + Contents("score.txt") + "\n--\n" + Contents("temp.temp");
    std::filesystem::remove("score.txt");
    std::filesystem::remove("temp.temp");
    return all;
}

// One data set per size, with the plain run's outputs, shared by the benchmarks of a size.
struct DataSet {
    std::vector<CSpectrum> spectra;
    int64_t pairs = 0;
    std::string plain_outputs;
    std::string plain_shift_outputs;
    // Wall-clock seconds of the runs so far, by engine: 0 plain, else the thread count.
    std::map<int, double> seconds;
    std::map<int, double> shift_seconds;
};

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The ratios of the engine's time `seconds` at `threads` to the earlier runs in `times`.
void ReportRatios(benchmark::State& state, std::map<int, double>& times, int threads, double seconds) {
    times[threads] = seconds;
    if (times.count(0) != 0) state.counters["vs_plain"] = times[0] / seconds;
    if (threads > 1 && times.count(1) != 0) state.counters["vs_1_thread"] = times[1] / seconds;
}

DataSet& Data(int count) {
    static std::map<int, DataSet> sets;
    DataSet& set = sets[count];
    if (set.spectra.empty() && count > 0) {
        set.spectra = PeptideSpectra(count);
        set.pairs = ScoredPairs(set.spectra);
    }
    return set;
}

struct Setup {
    CSpectraProcess process{FORMAT_DTA, "", "", "pairs.txt", 10};
    CModificationCluster engine{&process, 20.0, TOLERANCE_PPM, 0.6, CLUSTER_MODIFICATION};
    CSimilarity similarity{SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA};
    CPeakSelect peak_select{PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100};
};

void Report(benchmark::State& state, int64_t pairs) {
    state.counters["scored_pairs"] = static_cast<double>(pairs);
    state.counters["pairs_per_second"] = benchmark::Counter(
        static_cast<double>(pairs) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PlainModificationSearch(benchmark::State& state) {
    DataSet& data = Data(static_cast<int>(state.range(0)));
    const ScratchDirectory scratch;
    Setup setup;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        test::plain::Run(setup.engine, data.spectra, &setup.similarity, &setup.peak_select);
        data.seconds[0] = SecondsSince(start);
        state.PauseTiming();
        data.plain_outputs = TakeOutputs();
        state.ResumeTiming();
    }
    Report(state, data.pairs);
}

void BM_ModificationSearch(benchmark::State& state) {
    DataSet& data = Data(static_cast<int>(state.range(0)));
    const ScratchDirectory scratch;
    Setup setup;
    const auto threads = static_cast<int32_t>(state.range(1));
    setup.engine.threads = threads;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        setup.engine.Run(data.spectra, &setup.similarity, &setup.peak_select);
        const double seconds = SecondsSince(start);
        state.PauseTiming();
        const std::string outputs = TakeOutputs();
        if (!data.plain_outputs.empty() && outputs != data.plain_outputs) {
            state.SkipWithError("outputs differ from the plain run");
            break;
        }
        ReportRatios(state, data.seconds, threads, seconds);
        state.ResumeTiming();
    }
    Report(state, data.pairs);
}

BENCHMARK(BM_PlainModificationSearch)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_ModificationSearch)
    ->ArgNames({"", "threads"})
    ->Args({1000, 1})
    ->Args({5000, 1})
    ->Args({5000, 2})
    ->Args({20000, 1})
    ->Args({20000, 2})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_PlainShiftSearch(benchmark::State& state) {
    DataSet& data = Data(static_cast<int>(state.range(0)));
    const ScratchDirectory scratch;
    Setup setup;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        test::plain::RunShiftSearch(setup.engine, data.spectra, &setup.similarity, &setup.peak_select);
        data.shift_seconds[0] = SecondsSince(start);
        state.PauseTiming();
        data.plain_shift_outputs = Contents("pairs.txt");
        state.ResumeTiming();
    }
}

void BM_ShiftSearch(benchmark::State& state) {
    DataSet& data = Data(static_cast<int>(state.range(0)));
    const ScratchDirectory scratch;
    Setup setup;
    const auto threads = static_cast<int32_t>(state.range(1));
    setup.engine.threads = threads;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        setup.engine.RunShiftSearch(data.spectra, &setup.similarity, &setup.peak_select);
        const double seconds = SecondsSince(start);
        state.PauseTiming();
        if (!data.plain_shift_outputs.empty() && Contents("pairs.txt") != data.plain_shift_outputs) {
            state.SkipWithError("pair list differs from the plain run");
            break;
        }
        ReportRatios(state, data.shift_seconds, threads, seconds);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_PlainShiftSearch)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ShiftSearch)
    ->ArgNames({"", "threads"})
    ->Args({2000, 1})
    ->Args({2000, 2})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// A pair list of `lines` mass differences, mostly near a few modification masses.
void WritePairList(int64_t lines) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> anywhere(-200.0, 200.0);
    std::normal_distribution<double> near(0.0, 0.004);
    std::uniform_int_distribution<size_t> modification(0, std::size(kModifications) - 1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::FILE* out = std::fopen("pairs.txt", "w");
    if (out == nullptr) return;
    for (int64_t k = 0; k < lines; ++k) {
        const double d = unit(random) < 0.5 ? kModifications[modification(random)] + near(random) : anywhere(random);
        std::fprintf(out, "a.dta,1000.0,b.dta,1000.0,%lf,0.9\n", d);
    }
    std::fclose(out);
}

template <bool kPlain>
void GroupMassDifferences(benchmark::State& state) {
    const ScratchDirectory scratch;
    WritePairList(state.range(0));
    if (!kPlain) {
        test::plain::ClusterMassDifferences("pairs.txt", 0.01);
        const std::string expected = Contents("temp.temp");
        ClusterMassDifferences("pairs.txt", 0.01);
        if (Contents("temp.temp") != expected) state.SkipWithError("temp.temp differs from the plain grouping");
    }
    for (auto _ : state) {
        if (kPlain) {
            test::plain::ClusterMassDifferences("pairs.txt", 0.01);
        } else {
            ClusterMassDifferences("pairs.txt", 0.01);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PlainClusterMassDifferences(benchmark::State& state) { GroupMassDifferences<true>(state); }
void BM_ClusterMassDifferences(benchmark::State& state) { GroupMassDifferences<false>(state); }

BENCHMARK(BM_PlainClusterMassDifferences)->Arg(20000)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClusterMassDifferences)->Arg(20000)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace speclink
