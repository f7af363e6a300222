#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// A peak list in the order in which it is scored (for the greedy scores: descending
/// intensity, as ComputeScore sorts it), with what the greedy scores keep asking of it:
/// its sum of squared intensities and the range of its m/z, and, when indexed, the
/// positions of its peaks in ascending m/z and which unit cells of m/z hold a peak, so
/// that the peaks near an m/z are found without walking the whole list.
class IndexedPeakList {
public:
    IndexedPeakList() = default;
    /// Indexes `peaks`, kept in the order given.
    explicit IndexedPeakList(PeakList peaks);

    /// The peaks, in the order given.
    const PeakList& peaks() const { return peaks_; }
    /// Sum of intensity * intensity over peaks(), summed in list order.
    double squares() const { return squares_; }
    /// False when an m/z is NaN: such a list has no m/z order and is scored by walking it.
    bool ordered() const { return ordered_; }
    /// Smallest m/z, and largest absolute m/z (0.0 for an empty list).
    double smallest_mz() const { return smallest_mz_; }
    double largest_abs_mz() const { return largest_abs_mz_; }

    /// Whether the m/z index below is there (not for moved lists, nor unordered ones).
    bool indexed() const { return indexed_; }
    /// Positions in peaks(), by ascending m/z.
    const std::vector<uint32_t>& by_mz() const { return by_mz_; }
    /// The m/z of the peaks at by_mz(), ascending. One +infinity follows the last, so that
    /// a walk up the list stops without a bounds check.
    std::span<const double> sorted_mz() const { return {sorted_mz_.data(), sorted_mz_.size() - 1}; }

    /// False only when no peak has an m/z from `low` to `high` (low <= high): a look at
    /// which unit cells of m/z hold a peak. True may also mean that the cells cannot tell.
    /// Indexed lists only.
    bool MayHold(double low, double high) const {
        if (cell_count_ == 0) return !peaks_.empty();
        if (!(high >= cell_origin_) || !(low <= cell_end_)) return false;
        const std::size_t first = low > cell_origin_ ? static_cast<std::size_t>(low - cell_origin_) : 0;
        const std::size_t last = high < cell_end_ ? static_cast<std::size_t>(high - cell_origin_) : cell_count_ - 1;
        if (last - first > 1) return true;
        return Occupied(first) || Occupied(last);
    }

    /// Position in sorted_mz() of the first m/z not below `low` (the size when none is).
    /// Indexed lists only.
    std::size_t FirstAtOrAbove(double low) const {
        if (cell_count_ == 0) return SearchFirstAtOrAbove(low);
        // Every peak before the first of low's group of 64 cells lies below low.
        std::size_t s = 0;
        if (low > cell_end_) {
            s = peaks_.size();
        } else if (low > cell_origin_) {
            s = group_first_[static_cast<std::size_t>(low - cell_origin_) / 64];
        }
        while (sorted_mz_[s] < low) ++s;
        return s;
    }

    /// Asks the processor to fetch peaks() into its caches ahead of use.
    void Prefetch() const;

    /// Makes `moved` this list with `offset` added to every m/z, in the same order, with
    /// the same intensities, and without an index. Reuses the storage.
    void MoveInto(double offset, IndexedPeakList& moved) const;

private:
    bool Occupied(std::size_t cell) const { return (cells_[cell / 64] >> (cell % 64) & 1) != 0; }
    void Index();
    std::size_t SearchFirstAtOrAbove(double low) const;

    static constexpr double kInfinity = std::numeric_limits<double>::infinity();

    PeakList peaks_;
    double squares_ = 0.0;
    bool ordered_ = true;
    double smallest_mz_ = 0.0;
    double largest_abs_mz_ = 0.0;

    bool indexed_ = false;
    std::vector<uint32_t> by_mz_;
    std::vector<double> sorted_mz_{kInfinity};
    // Cell c holds the peaks whose m/z minus cell_origin_ (the smallest m/z) truncates to
    // c; cell_end_ is the largest m/z. No cells for an empty list, nor for one whose m/z
    // span too many cells to be worth marking.
    std::vector<uint64_t> cells_;
    std::vector<uint32_t> group_first_;  // per 64 cells: position in sorted_mz_ of its first peak
    std::size_t cell_count_ = 0;
    double cell_origin_ = 0.0;
    double cell_end_ = 0.0;
};

}  // namespace speclink
