#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "speclink/library/modification/MassWindowIndex.h"
#include "speclink/library/scoring/PreparedPeakLists.h"

namespace speclink {

/// Rows i per block of work shared among threads: small enough to spread the uneven rows
/// (early rows have more later partners), large enough to keep the hand-over rare.
inline std::size_t RowsPerBlock(std::size_t rows, int threads) {
    return std::clamp<std::size_t>(rows / (static_cast<std::size_t>(std::max(threads, 1)) * 16), 1, 64);
}

/// One thread's working storage for walking the partners of rows.
struct RowPartners {
    explicit RowPartners(const MassWindowIndex& window) : marks(window.NewMarks()) {}

    std::vector<uint64_t> marks;
    std::vector<std::size_t> partners;  // of the row at hand, ascending
};

/// Lists in row.partners every j > i that the window index offers and `passes(i, j)`
/// accepts, j ascending.
template <typename Passes>
void CollectPartners(const MassWindowIndex& window, std::size_t i, RowPartners& row, Passes&& passes) {
    row.partners.clear();
    window.ForEachLaterCandidate(i, row.marks, [&](std::size_t j) {
        if (passes(i, j)) row.partners.push_back(j);
    });
}

/// Calls visit(c, j) for the c-th partner j of row.partners, in order. The partners'
/// prepared lists lie all over memory, so those a few places ahead are fetched early: first
/// their records, then, where reads_peaks(c) says the pair reads them, the peaks these
/// point at.
template <typename ReadsPeaks, typename Visit>
void VisitPartners(const PreparedPeakLists& prepared, const RowPartners& row, ReadsPeaks&& reads_peaks,
                   Visit&& visit) {
    const std::vector<std::size_t>& partners = row.partners;
    for (std::size_t c = 0; c < partners.size(); ++c) {
        if (c + 4 < partners.size()) prepared.PrefetchRecord(partners[c + 4]);
        if (c + 2 < partners.size() && reads_peaks(c + 2)) prepared[partners[c + 2]].ranked.Prefetch();
        visit(c, partners[c]);
    }
}

}  // namespace speclink
