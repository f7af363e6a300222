// Cost of peak selection and of one ComputeScore call per similarity method, on peak lists
// prepared the way the engines prepare them: SelectPeak with the default settings (5 peaks
// per 100 m/z, then the 50 most intense), then SqrtNormalize.
//
// ComputeScore sorts the lists it is given, so each iteration scores fresh copies of a
// prepared pair, as the engines do; the copies are part of the measured time, and
// BM_CopyPair measures them alone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {
namespace {

constexpr std::size_t kPairs = 64;
constexpr int kRawPeaks = 300;
constexpr double kShift = 18.0106;  // water: exercises the shifted tests of methods 0, 2 to 6

/// A raw spectrum of 300 peaks in ascending m/z between 100 and 2000.
PeakList RawSpectrum(std::mt19937_64& random) {
    std::uniform_real_distribution<double> mz(100.0, 2000.0);
    std::lognormal_distribution<double> intensity(6.0, 1.5);
    PeakList peaks;
    for (int k = 0; k < kRawPeaks; ++k) peaks.push_back(Peak{mz(random), intensity(random)});
    std::sort(peaks.begin(), peaks.end(), ByMzAscending);
    return peaks;
}

/// A related spectrum: most peaks moved by up to 0.3 m/z and rescaled, some shifted by the
/// water mass, some replaced by noise.
PeakList Related(const PeakList& peaks, std::mt19937_64& random) {
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    std::uniform_real_distribution<double> scale(0.5, 2.0);
    std::uniform_real_distribution<double> mz(100.0, 2000.0);
    std::uniform_int_distribution<int> kind(0, 9);
    PeakList related;
    for (const Peak& peak : peaks) {
        const int k = kind(random);
        const double moved = k == 0 ? mz(random) : peak.mz + jitter(random) - (k == 1 ? kShift : 0.0);
        related.push_back(Peak{moved, peak.intensity * scale(random)});
    }
    std::sort(related.begin(), related.end(), ByMzAscending);
    return related;
}

const std::vector<std::pair<PeakList, PeakList>>& PreparedPairs() {
    static const std::vector<std::pair<PeakList, PeakList>> pairs = [] {
        std::mt19937_64 random(20240601);
        const CPeakSelect selector(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
        std::vector<std::pair<PeakList, PeakList>> prepared;
        for (std::size_t n = 0; n < kPairs; ++n) {
            PeakList first = RawSpectrum(random);
            PeakList second = Related(first, random);
            for (PeakList* peaks : {&first, &second}) {
                selector.SelectPeak(*peaks);
                SqrtNormalize(*peaks);
            }
            prepared.emplace_back(std::move(first), std::move(second));
        }
        return prepared;
    }();
    return pairs;
}

void BM_ComputeScore(benchmark::State& state) {
    const auto& pairs = PreparedPairs();
    const CSimilarity scorer(static_cast<Similar_Method>(state.range(0)), 0.5, TOLERANCE_DA);
    std::size_t n = 0;
    for (auto _ : state) {
        PeakList first = pairs[n].first;
        PeakList second = pairs[n].second;
        benchmark::DoNotOptimize(scorer.ComputeScore(first, second, kShift));
        n = (n + 1) % kPairs;
    }
    state.SetLabel(SimilarMethodNames[state.range(0)]);
}
BENCHMARK(BM_ComputeScore)->DenseRange(0, 6);

void BM_CopyPair(benchmark::State& state) {
    const auto& pairs = PreparedPairs();
    std::size_t n = 0;
    for (auto _ : state) {
        PeakList first = pairs[n].first;
        PeakList second = pairs[n].second;
        benchmark::DoNotOptimize(first.data());
        benchmark::DoNotOptimize(second.data());
        n = (n + 1) % kPairs;
    }
}
BENCHMARK(BM_CopyPair);

/// SelectPeak on fresh copies of 300-peak spectra in ascending m/z, per selection method,
/// with the default counts; the copy is included.
void BM_SelectPeak(benchmark::State& state) {
    std::mt19937_64 random(7);
    std::vector<PeakList> spectra;
    for (std::size_t n = 0; n < kPairs; ++n) spectra.push_back(RawSpectrum(random));
    const CPeakSelect selector(static_cast<Peak_Select_Method>(state.range(0)), 50, 5, 100);
    std::size_t n = 0;
    for (auto _ : state) {
        PeakList peaks = spectra[n];
        selector.SelectPeak(peaks);
        benchmark::DoNotOptimize(peaks.data());
        n = (n + 1) % kPairs;
    }
}
BENCHMARK(BM_SelectPeak)->DenseRange(0, 2);

}  // namespace
}  // namespace speclink
