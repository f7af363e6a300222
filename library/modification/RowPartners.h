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

/// Calls visit(j) for every j > i that the window index offers and `passes(i, j)` accepts,
/// j ascending. The partners' prepared lists lie all over memory, so those a few places
/// ahead are fetched early: first their records, then the peaks these point at.
template <typename Passes, typename Visit>
void ForEachPartner(const MassWindowIndex& window, const PreparedPeakLists& prepared, std::size_t i,
                    RowPartners& row, Passes&& passes, Visit&& visit) {
    std::vector<std::size_t>& partners = row.partners;
    partners.clear();
    window.ForEachLaterCandidate(i, row.marks, [&](std::size_t j) {
        if (passes(i, j)) partners.push_back(j);
    });
    for (std::size_t c = 0; c < partners.size(); ++c) {
        if (c + 4 < partners.size()) prepared.PrefetchRecord(partners[c + 4]);
        if (c + 2 < partners.size()) prepared[partners[c + 2]].ranked.Prefetch();
        visit(partners[c]);
    }
}

}  // namespace speclink
