#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "speclink/library/data/ClusterLink.h"

// Single-linkage merging of one precursor group on scaled pair scores, and the choice
// of a representative per cluster.
//
// A scaled score is a similarity score times 10000, truncated, kept in 16 bits; -1 marks
// "no link" (the diagonal, links already used, pairs never scored). Scores of n members
// are held as a packed lower triangle with the diagonal: n(n+1)/2 entries, the pair of
// members r >= c at PackedIndex(r, c).
namespace speclink {

using ScaledScore = int16_t;
using ScoreTriangle = std::vector<ScaledScore>;

/// Entries of the packed lower triangle of `members` members, diagonal included: n(n+1)/2.
inline std::size_t TriangleSize(std::size_t members) { return members * (members + 1) / 2; }

/// Entry of members `a` and `b` (in either order) in a packed lower triangle.
inline std::size_t PackedIndex(std::size_t a, std::size_t b) {
    return a >= b ? a * (a + 1) / 2 + b : b * (b + 1) / 2 + a;
}

/// The low 16 bits of trunc(score * 10000.0), as a signed 16-bit value. A score that is
/// not a finite number scales to 0.
ScaledScore ScaleScore(double score);

/// trunc(threshold * 10000.0) clamped into 0..32767, so that merging always ends: a
/// negative (or NaN) threshold acts as 0, one above 3.2767 as 32767 (nothing merges).
ScaledScore ScaleThreshold(double threshold);

/// Merges clusters while the best remaining link between two clusters exceeds `threshold`
/// (strictly; a threshold below 0 acts as 0, so only positive links ever merge). On entry
/// `links` holds (k, -1) for every member k. Merged clusters become chains headed by their
/// lowest member: the chains the plain merge makes, which searches the best link over pairs
/// of clusters by their first members (the lower one d, then the higher one e, each
/// ascending), merges the first highest link by appending the chain of e to the chain of d,
/// and lets the merged cluster keep the better link of either part to every other cluster. Works level by level,
/// from the highest link down: the links of one level join clusters into components, and
/// each component grows from its lowest cluster by taking in the lowest cluster linked to
/// it at that level, as the search over the whole triangle would. O(n^2 log n) at worst.
void BuildSingleLinkageChains(const ScoreTriangle& scores, ScaledScore threshold, ClusterLinkList& links);

/// Appends one representative per cluster of `links` to `representatives`, clusters in
/// ascending order of their first member: the member with the highest sum of `reference`
/// scores to the other members (32-bit sums; the earliest in chain order among equal
/// sums; the first member when no sum exceeds 0). Positions are local to the group.
void PickRepresentatives(const ScoreTriangle& reference, const ClusterLinkList& links,
                         RepresentativeList& representatives);

}  // namespace speclink
