#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"
#include "speclink/library/scoring/PreparedDotProduct.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

class CPeakSelect;

/// The pair scores of one precursor group, row by row: row i holds the scaled scores of
/// member i with every later member of its charge. Each member's peaks are prepared once
/// (peak selection, then SqrtNormalize). Rows may be scored on different threads, each
/// with its own Scratch; every row gives the scores of the plain loop, which reuses member
/// i's list for its pairs in the order that each score left it.
///
/// With the library's own "Dot Product" in Da (what ClusterGroup sets), pairs are scored
/// by PreparedDotProduct on lists sorted once per member. Otherwise (another operation in
/// the scorer's table) every pair goes through ComputeScore of the thread's own copy of
/// the scorer, on fresh copies of the prepared lists. Without a scorer every pair scores 0.
class PairScorer {
public:
    /// Working space of one thread.
    struct Scratch {
        /// `settings` (may be null) is the scorer to copy.
        explicit Scratch(const CSimilarity* settings);

        std::optional<CSimilarity> similarity;  ///< the thread's copy of the scorer
        std::vector<char> taken;
        DotProductIndex first_index;  ///< of the row's first list
        PeakList first_state;         ///< the first list of a row that is sorted for every pair
        DotProductPeaks first_peaks;  ///< first_state, prepared
        bool index_of_state = false;  ///< first_index indexes first_peaks
    };

    /// Prepares every member. `similarity` (may be null) is only read, here and by Scratch.
    PairScorer(std::span<const CSpectrum> members, const CSimilarity* similarity, const CPeakSelect* peak_select);

    /// Scores rows [begin, end) into `scores` (packed triangle of all members); pairs of
    /// different charges are left as they are.
    void ScoreRows(std::size_t begin, std::size_t end, ScoreTriangle& scores, Scratch& scratch) const;

private:
    struct Member {
        /// Prepared peaks as the selector leaves them; dropped once sorted when the sorted
        /// list is all that the row needs.
        PeakList by_mz;
        DotProductPeaks by_intensity;  ///< the same sorted by descending intensity
        /// Sorting the intensity-sorted list again leaves it as it is (no two intensities
        /// compare equal), so every pair of the row sees the same list.
        bool sorts_alike = true;
    };

    void ScoreRowByDotProduct(std::size_t i, ScoreTriangle& scores, Scratch& scratch) const;
    void ScoreRowByScorer(std::size_t i, ScoreTriangle& scores, Scratch& scratch) const;

    std::span<const CSpectrum> members_;
    std::vector<Member> prepared_;
    bool has_scorer_;
    bool prepared_dot_product_;
    double tolerance_ = 0.0;
};

}  // namespace speclink
