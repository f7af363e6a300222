#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "speclink/library/modification/FragmentIndex.h"
#include "speclink/library/scoring/IndexedGreedyScore.h"

namespace speclink {

/// One thread's peak pairs between the spectrum of a row and each of its partners, found
/// through a FragmentIndex for the whole row at once: for each partner j, the pairs whose m/z
/// lie within the tolerance of each other, directly or once the partner's m/z is shifted by
/// the difference of the precursor masses (the row's less the partner's), as a FoundPeakPairs
/// for scoring the pair at that shift.
class PartnerCandidates {
public:
    /// Finds the pairs of spectrum i with each of `partners` at `tolerance` (Da), when `index`
    /// holds spectrum i; for the partners it holds that have spectrum i's charge.
    void Gather(const FragmentIndex& index, double tolerance, std::size_t i, std::span<const std::size_t> partners);

    /// The pairs found for the c-th partner of the last Gather; null where none were sought.
    const FoundPeakPairs* Of(std::size_t c) const { return c < held_.size() && held_[c] != 0 ? &found_[c] : nullptr; }

private:
    static constexpr uint32_t kNone = UINT32_MAX;

    // A pair of peaks found for a partner, and the partner's place among the partners.
    struct Found {
        uint32_t partner;
        FoundPeakPair pair;
    };

    std::vector<uint32_t> partner_at_;  // per place in the index: the place of a partner, or kNone
    std::vector<Found> gathered_;
    std::vector<uint32_t> starts_;  // per partner, into pairs_
    std::vector<FoundPeakPair> pairs_;
    std::vector<FoundPeakPairs> found_;
    std::vector<char> held_;
};

}  // namespace speclink
