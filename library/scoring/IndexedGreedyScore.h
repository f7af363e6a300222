#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "speclink/library/params/Enums.h"
#include "speclink/library/scoring/IndexedPeakList.h"
#include "speclink/library/scoring/MzCellTable.h"

namespace speclink {

class CSimilarity;

/// Working storage of IndexedGreedyScore, reused from call to call; one per thread.
class GreedyScratch {
public:
    /// Which peaks a match took: the outer ones only for the Bonanza score, which sums them.
    std::vector<char> outer_taken;
    std::vector<char> inner_taken;
    /// Pairs of outer and inner positions found by lookups into the outer list; and, to
    /// take them by outer position, a bit for each outer position that has some (all 0
    /// between calls), the last of each position's candidates, and for each candidate the
    /// one before it of the same position.
    std::vector<std::pair<uint32_t, uint32_t>> candidates;
    std::vector<uint64_t> outer_with_candidates;
    std::vector<uint32_t> last_candidate;
    std::vector<uint32_t> earlier_candidate;
    /// Positions of the walked list whose windows a screen let through.
    std::vector<uint32_t> near;
};

/// What `similarity.ComputeScore` returns for two lists that its sort leaves in the order
/// of `first.peaks()` and `second.peaks()`, bit for bit, without sorting them.
///
/// For the greedy scores (methods 1, 2, 3, 4 and 6) the possible partners of each peak are
/// looked up by m/z in the other list's index (the first list's when both are indexed,
/// since the engines keep one first list for many pairs) instead of testing every pair.
/// The pairs found are decided by the method's own match test in the plain order: each
/// outer peak, in list order, takes the first free inner peak in list order that passes,
/// and the products are summed in that order. Lists the lookup cannot bound (neither
/// indexed; NaN or huge m/z, shift or tolerance; a ppm reference of 0 or below) are scanned
/// like ComputeScore does. Methods 0 and 5 are scored on the lists as they are; any other
/// method scores 0.0. A scoring operation replaced in `score_table` is called as it is.
///
/// `first_table`, when given, is the cell table of `first`, for lookups into it.
double IndexedGreedyScore(const CSimilarity& similarity, const IndexedPeakList& first,
                          const IndexedPeakList& second, double shift, GreedyScratch& scratch,
                          const MzCellTable* first_table = nullptr);

/// A pair of peaks of a first and a second list: their positions, and the second list's peak
/// at its position, at hand.
struct FoundPeakPair {
    uint32_t first;
    uint32_t second;
    Peak second_peak;
};

/// Peak pairs of a first and a second list found beforehand, the first-list positions
/// ascending: every pair whose m/z lie within `tolerance` of each other, directly or once
/// `shift` is added to the second's m/z, is among them, and perhaps others.
struct FoundPeakPairs {
    std::span<const FoundPeakPair> pairs;
    double shift = 0.0;
    double tolerance = 0.0;
};

/// IndexedGreedyScore(similarity, first, second, shift, scratch), bit for bit, from peak
/// pairs found beforehand rather than looked up: for "Dot Product Mod" in Da and for
/// "Bonanza", at the shift the pairs were found for and a tolerance they serve. Nothing for
/// any other case.
std::optional<double> FoundGreedyScore(const CSimilarity& similarity, const IndexedPeakList& first,
                                       const IndexedPeakList& second, double shift, const FoundPeakPairs& found,
                                       GreedyScratch& scratch);

/// The fragment tolerance at which FoundGreedyScore serves the scores that a search with
/// `similarity` computes: its own for "Dot Product Mod" in Da and for "Bonanza"; 0.5 Da for
/// "Comprehensive", which scores most pairs by "Dot Product Mod" at 0.5 Da. Nothing for the
/// other methods, nor for tolerances so wide that finding the pairs costs more than it saves.
std::optional<double> FoundPairsTolerance(const CSimilarity& similarity);

/// Whether IndexedGreedyScore, given the first list's cell table, passes over the second
/// list's peaks against the table's screen: for the methods whose first list is the outer
/// one (2, 3, 4 and 6). "Dot Product" looks each peak up in the table directly.
bool PassesOverSecondList(Similar_Method method);

}  // namespace speclink
