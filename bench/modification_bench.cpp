// Throughput of the modification search: Run over synthetic spectrum lists of realistic
// precursor masses and peptide-like peak lists, reported as scored pairs per second.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "speclink.h"

namespace speclink {
namespace {

// Precursor masses 500 to 4000 Da, charges 2 (60 %), 3 (30 %) and 1 (10 %), 50 to 150
// peaks between 100 m/z and the precursor mass with skewed intensities.
std::vector<CSpectrum> SyntheticSpectra(int count) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> mass(500.0, 4000.0);
    std::uniform_int_distribution<int> peak_count(50, 150);
    std::uniform_int_distribution<int> charge_pick(0, 9);
    std::exponential_distribution<double> intensity(1.0 / 2000.0);
    std::vector<CSpectrum> spectra(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        CSpectrum& s = spectra[static_cast<size_t>(k)];
        s.precursor_mass = mass(random);
        const int pick = charge_pick(random);
        s.charge = pick < 6 ? 2 : (pick < 9 ? 3 : 1);
        s.file_name = "synthetic." + std::to_string(k) + "." + std::to_string(k) + "." + std::to_string(s.charge) + ".dta";
        std::uniform_real_distribution<double> mz(100.0, s.precursor_mass);
        const int peaks = peak_count(random);
        for (int p = 0; p < peaks; ++p) s.peaks.push_back({mz(random), intensity(random) + 1.0});
    }
    return spectra;
}

// The pairs that pass the default mass window and the equal-charge rule: the ones scored.
int64_t ScoredPairs(const std::vector<CSpectrum>& spectra) {
    int64_t pairs = 0;
    for (size_t i = 0; i < spectra.size(); ++i) {
        for (size_t j = i + 1; j < spectra.size(); ++j) {
            const double d = std::fabs(spectra[i].precursor_mass - spectra[j].precursor_mass);
            if (6.0 <= d && d <= 200.0 && spectra[i].charge == spectra[j].charge) ++pairs;
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

void BM_ModificationSearch(benchmark::State& state) {
    const std::vector<CSpectrum> spectra = SyntheticSpectra(static_cast<int>(state.range(0)));
    const int64_t pairs = ScoredPairs(spectra);
    const ScratchDirectory scratch;
    CSpectraProcess process(FORMAT_DTA, "", "", "pairs.txt", 10);
    CModificationCluster engine(&process, 20.0, TOLERANCE_PPM, 0.6, CLUSTER_MODIFICATION);
    CSimilarity similarity(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA);
    CPeakSelect peak_select(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    for (auto _ : state) {
        engine.Run(spectra, &similarity, &peak_select);
        std::filesystem::remove("score.txt");
    }
    state.counters["scored_pairs"] = static_cast<double>(pairs);
    state.counters["pairs_per_second"] =
        benchmark::Counter(static_cast<double>(pairs) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ModificationSearch)->Arg(2000)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Grouping a long pair list: each merge searches all gaps again, so the time grows with the
// square of the number of lines.
void BM_ClusterMassDifferences(benchmark::State& state) {
    const ScratchDirectory scratch;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> difference(-200.0, 200.0);
    {
        std::FILE* out = std::fopen("pairs.txt", "w");
        if (out == nullptr) {
            state.SkipWithError("cannot write pairs.txt");
            return;
        }
        for (int64_t k = 0; k < state.range(0); ++k)
            std::fprintf(out, "a.dta,1000.0,b.dta,1000.0,%lf,0.9\n", difference(random));
        std::fclose(out);
    }
    for (auto _ : state) ClusterMassDifferences("pairs.txt", 0.01);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ClusterMassDifferences)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace speclink
