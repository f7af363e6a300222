#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "speclink/library/peaks/PeakList.h"

// "Dot Product" for callers that score one peak list against many others with a tolerance
// in Da, as the clustering of a precursor group does. The greedy matching looks only at
// the inner peaks near each outer peak, through cells of twice the tolerance, and gives
// bit for bit the score of CSimilarity::DotProduct on the same two lists.
namespace speclink {

/// A peak list in descending intensity, exactly as ComputeScore leaves it for the greedy
/// scores, prepared for "Dot Product" at one tolerance (Da): the sum of squared
/// intensities (summed in list order) and, for every peak, the cells of the m/z grid that
/// its tolerance window touches.
class DotProductPeaks {
public:
    DotProductPeaks() = default;
    /// `by_intensity` must already be sorted by descending intensity.
    DotProductPeaks(PeakList by_intensity, double tolerance);

    const PeakList& peaks() const { return peaks_; }
    double tolerance() const { return tolerance_; }
    double sum_of_squares() const { return sum_of_squares_; }

    /// Cell of `mz` on the grid of cells twice the tolerance wide (one cell for a
    /// tolerance that is not finite). A larger m/z never falls into an earlier cell.
    int64_t CellOf(double mz) const;
    /// First and last cell of the tolerance window of peak `k`; the first lies after the
    /// last when nothing can match the peak.
    int64_t WindowFirstCell(std::size_t k) const { return window_cells_[2 * k]; }
    int64_t WindowLastCell(std::size_t k) const { return window_cells_[2 * k + 1]; }

private:
    PeakList peaks_;
    double tolerance_ = 0.0;
    double sum_of_squares_ = 0.0;
    double cells_per_mz_ = 0.0;
    std::vector<int64_t> window_cells_;
};

/// The peaks of one DotProductPeaks sorted into the cells of its grid, to score many other
/// lists against it. Refers to the list it was built from, which must stay as it is while
/// the index is used; Build may be called again to index another list in the same storage.
class DotProductIndex {
public:
    struct Entry {
        double mz;
        uint32_t position;  ///< in the indexed list
    };

    void Build(const DotProductPeaks& peaks);

    const DotProductPeaks& indexed() const { return *indexed_; }

    /// Entries of the cells from `first_cell` to `last_cell`, and possibly of further
    /// cells (the caller tests each entry itself).
    const Entry* CandidatesBegin(int64_t first_cell) const {
        return entries_.data() + start_[static_cast<std::size_t>(std::clamp<int64_t>(first_cell - base_, 0, last_))];
    }
    const Entry* CandidatesEnd(int64_t last_cell) const {
        return entries_.data() +
               start_[static_cast<std::size_t>(std::clamp<int64_t>(last_cell - base_ + 1, 0, last_ + 1))];
    }

private:
    const DotProductPeaks* indexed_ = nullptr;
    // Peaks of finite m/z by cell, cell c starting at start_[c - base_]. Cells beyond the
    // last one kept are folded into it, so an outlier cannot make the table huge.
    std::vector<Entry> entries_;
    std::vector<uint32_t> start_;
    int64_t base_ = 0;
    int64_t last_ = 0;
};

/// CSimilarity::DotProduct(first.peaks(), second.peaks(), shift) with the tolerance of
/// both lists in Da: each peak of the second list, most intense first, takes the first
/// free peak of the first list (in list order) whose m/z differs by less than the
/// tolerance; the score is the sum of the matched products over sqrt(sum of squares 1 *
/// sum of squares 2). `first` indexes the first list. `taken` is scratch space.
double PreparedDotProduct(const DotProductIndex& first, const DotProductPeaks& second, std::vector<char>& taken);

}  // namespace speclink
