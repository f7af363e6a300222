// Clustering engine of Cluster_Type 0: one precursor group of n similar spectra (pair
// scoring plus the single-linkage merge), the merge alone, and a whole run over a
// realistic list with its result files. The plain algorithms (every pair scored through
// ComputeScore on fresh copies, the whole triangle searched again after every merge) run
// side by side with the engine, at 1 and 2 threads.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "speclink/tests/cluster/ReferenceClustering.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/speclink.h"

namespace {

using namespace speclink;

constexpr int kPeaksPerSpectrum = 100;

// A spectrum of 100 peaks between 150 and 1950 m/z.
PeakList RandomPeaks(std::mt19937_64& random) {
    std::uniform_real_distribution<double> mz(150.0, 1950.0);
    std::uniform_real_distribution<double> intensity(1.0, 1000.0);
    PeakList peaks;
    for (int k = 0; k < kPeaksPerSpectrum; ++k) peaks.push_back({mz(random), intensity(random)});
    std::sort(peaks.begin(), peaks.end(), ByMzAscending);
    return peaks;
}

// The same peptide measured again: m/z jittered by up to 0.1, intensities by up to 50 %.
PeakList Remeasured(const PeakList& base, std::mt19937_64& random) {
    std::uniform_real_distribution<double> shift(-0.1, 0.1);
    std::uniform_real_distribution<double> factor(0.5, 1.5);
    PeakList peaks = base;
    for (Peak& peak : peaks) {
        peak.mz += shift(random);
        peak.intensity *= factor(random);
    }
    return peaks;
}

CSpectrum MakeSpectrum(std::string name, double mass, int charge, PeakList peaks) {
    CSpectrum spectrum;
    spectrum.file_name = std::move(name);
    spectrum.precursor_mass = mass;
    spectrum.charge = charge;
    spectrum.peaks = std::move(peaks);
    return spectrum;
}

// Sends the engine's progress and messages to /dev/null while it lives.
class QuietStdout {
public:
    QuietStdout() : saved_(::dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;
    ~QuietStdout() {
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }

private:
    int saved_;
};

std::vector<CSpectrum> SimilarGroup(size_t n) {
    std::mt19937_64 random(42);
    const PeakList base = RandomPeaks(random);
    std::vector<CSpectrum> group;
    for (size_t k = 0; k < n; ++k) {
        group.push_back(MakeSpectrum("g.dta", 1500.0 + 0.0001 * static_cast<double>(k), 2, Remeasured(base, random)));
    }
    return group;
}

// Arguments: group size, threads.
void BM_ClusterGroup(benchmark::State& state) {
    const std::vector<CSpectrum> group = SimilarGroup(static_cast<size_t>(state.range(0)));
    CHierarchicalCluster engine(nullptr, nullptr, 20.0, TOLERANCE_PPM, 0.6);
    engine.threads = static_cast<int32_t>(state.range(1));
    CSimilarity similarity(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    CPeakSelect peak_select(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    for (auto _ : state) {
        ClusterLinkList links;
        RepresentativeList representatives;
        engine.ClusterGroup(group, links, &similarity, representatives, &peak_select);
        benchmark::DoNotOptimize(representatives.data());
        state.counters["clusters"] = static_cast<double>(representatives.size());
    }
}
BENCHMARK(BM_ClusterGroup)->Args({100, 1})->Args({500, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClusterGroup)->Args({2000, 1})->Args({2000, 2})->Unit(benchmark::kMillisecond);

// The plain algorithm on the same groups, on one thread.
void BM_ClusterGroupPlain(benchmark::State& state) {
    const std::vector<CSpectrum> group = SimilarGroup(static_cast<size_t>(state.range(0)));
    CSimilarity similarity(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    const CPeakSelect peak_select(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    for (auto _ : state) {
        ClusterLinkList links;
        RepresentativeList representatives;
        reference::ReferenceClusterGroup(0.6, group, links, &similarity, representatives, &peak_select);
        benchmark::DoNotOptimize(representatives.data());
        state.counters["clusters"] = static_cast<double>(representatives.size());
    }
}
BENCHMARK(BM_ClusterGroupPlain)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClusterGroupPlain)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The merge phase alone on a triangle where every link is above the threshold, so that
// all n - 1 merges happen (the worst case of the whole-triangle search).
ScoreTriangle StrongLinks(size_t n) {
    std::mt19937_64 random(3);
    std::uniform_int_distribution<int> score(6001, 10000);
    ScoreTriangle triangle(n * (n + 1) / 2, -1);
    for (size_t r = 0; r < n; ++r) {
        for (size_t c = 0; c < r; ++c) triangle[PackedIndex(r, c)] = static_cast<ScaledScore>(score(random));
    }
    return triangle;
}

ClusterLinkList Singletons(size_t n) {
    ClusterLinkList links;
    for (size_t k = 0; k < n; ++k) links.push_back({static_cast<int32_t>(k), -1});
    return links;
}

void BM_MergeSingleLinkage(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const ScoreTriangle triangle = StrongLinks(n);
    for (auto _ : state) {
        ClusterLinkList links = Singletons(n);
        BuildSingleLinkageChains(triangle, 6000, links);
        benchmark::DoNotOptimize(links.data());
    }
}
BENCHMARK(BM_MergeSingleLinkage)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_MergeSingleLinkagePlain(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const ScoreTriangle triangle = StrongLinks(n);
    for (auto _ : state) {
        ScoreTriangle working = triangle;
        ClusterLinkList links = Singletons(n);
        reference::ReferenceMergeSingleLinkage(working, 6000, links);
        benchmark::DoNotOptimize(links.data());
    }
}
BENCHMARK(BM_MergeSingleLinkagePlain)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeSingleLinkagePlain)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A list of spectra of charges 2 and 3 with masses from 800 to 4000 Da, in runs of one to
// four re-measurements of one peptide (within a few ppm), sorted by charge and mass as a
// host would sweep them. Single spectra and consensus spectra are written into a
// temporary output directory (the data directory holds no files, so single spectra are
// written from memory).
// Arguments: spectra, threads, consensus type (3: the cluster result file only, so that
// the clustering itself is measured rather than the writing of thousands of files).
void BM_Run(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mass(800.0, 4000.0);
    std::uniform_int_distribution<int> copies(1, 4);
    std::uniform_real_distribution<double> ppm(-3.0, 3.0);
    std::vector<CSpectrum> spectra;
    while (spectra.size() < count) {
        const double peptide_mass = mass(random);
        const int charge = 2 + static_cast<int>(random() % 2);
        const PeakList base = RandomPeaks(random);
        for (int c = copies(random); c > 0 && spectra.size() < count; --c) {
            const std::string name = "run." + std::to_string(spectra.size() + 1) + "." +
                                     std::to_string(spectra.size() + 1) + "." + std::to_string(charge) + ".dta";
            spectra.push_back(
                MakeSpectrum(name, peptide_mass * (1.0 + ppm(random) * 1e-6), charge, Remeasured(base, random)));
        }
    }
    std::sort(spectra.begin(), spectra.end(), [](const CSpectrum& a, const CSpectrum& b) {
        return a.charge != b.charge ? a.charge < b.charge : a.precursor_mass < b.precursor_mass;
    });

    std::string pattern = (std::filesystem::temp_directory_path() / "speclink-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("cannot create a temporary directory");
        return;
    }
    const std::filesystem::path work = pattern;
    CPara para;
    para.SetDataClass(FORMAT_DTA, (work / "no-data").string(), (work / "out").string(),
                      (work / "result.txt").string(), 10);
    para.SetRepresentativeClass(static_cast<Representative_Spectra>(state.range(2)), 0.4, TOLERANCE_DA);
    para.SetCluster(para.spectra_process, para.representative_spectra, CLUSTER_HIERARCHICAL, 20.0, TOLERANCE_PPM,
                    0.6);
    para.SetSimilarMethod(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    para.SetPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    para.engine->threads = static_cast<int32_t>(state.range(1));
    para.representative_spectra->threads = static_cast<int32_t>(state.range(1));

    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(work / "out");
        state.ResumeTiming();
        const QuietStdout quiet;
        para.engine->Run(spectra, para.similarity, para.peak_select);
    }
    std::size_t written = 0;
    if (std::filesystem::is_directory(work / "out")) {
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(work / "out")) ++written;
    }
    state.counters["files"] = static_cast<double>(written);
    std::filesystem::remove_all(work);
}
BENCHMARK(BM_Run)
    ->Args({20000, 1, CONSENSUS_SPECTRA})
    ->Args({20000, 2, CONSENSUS_SPECTRA})
    ->Args({20000, 1, 3})
    ->Args({20000, 2, 3})
    ->Args({100000, 1, 3})
    ->Args({100000, 2, 3})
    ->Args({100000, 1, CONSENSUS_SPECTRA})
    ->Args({100000, 2, CONSENSUS_SPECTRA})
    ->Unit(benchmark::kMillisecond);

}  // namespace
