#include "speclink/library/scoring/PreparedPeakLists.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"

namespace speclink {

namespace {

// Spectra prepared per block of work.
constexpr std::size_t kSpectraPerBlock = 64;

bool SameBits(const PeakList& a, const PeakList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Peak& p, const Peak& q) {
        return std::bit_cast<uint64_t>(p.mz) == std::bit_cast<uint64_t>(q.mz) &&
               std::bit_cast<uint64_t>(p.intensity) == std::bit_cast<uint64_t>(q.intensity);
    });
}

PreparedPeaks Prepare(const CSpectrum& spectrum, const CPeakSelect* peak_select) {
    PreparedPeaks prepared;
    prepared.by_mz = spectrum.peaks;
    if (peak_select != nullptr) peak_select->SelectPeak(prepared.by_mz);
    SqrtNormalize(prepared.by_mz);
    // The same sort, with the same predicate, as CSimilarity::ComputeScore.
    PeakList ranked = prepared.by_mz;
    SortByIntensityDescending(ranked);
    // With strictly falling intensities the sorted order is the only one, and every later
    // sort leaves it; otherwise see what a second sort does.
    const bool strictly_falling = std::adjacent_find(ranked.begin(), ranked.end(), [](const Peak& p, const Peak& q) {
                                      return !(p.intensity > q.intensity);
                                  }) == ranked.end();
    if (strictly_falling) {
        prepared.settled = true;
    } else {
        PeakList again = ranked;
        SortByIntensityDescending(again);
        prepared.settled = SameBits(again, ranked);
    }
    prepared.ranked = IndexedPeakList(std::move(ranked));
    return prepared;
}

}  // namespace

PreparedPeakLists::PreparedPeakLists(std::span<const CSpectrum> spectra, const CPeakSelect* peak_select,
                                     std::span<const char> needed, int threads)
    : prepared_(spectra.size()) {
    // Each block fills its own entries; nothing is left to do in order.
    RunInOrder<char>(
        spectra.size(), kSpectraPerBlock, threads, [] { return 0; },
        [&](int /*state*/, std::size_t first, std::size_t end, char& /*result*/) {
            for (std::size_t k = first; k < end; ++k) {
                if (needed.empty() || needed[k] != 0) prepared_[k] = Prepare(spectra[k], peak_select);
            }
        },
        [](char /*result*/) {});
}

}  // namespace speclink
