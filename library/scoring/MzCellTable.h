#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "speclink/library/scoring/IndexedPeakList.h"

namespace speclink {

/// For one indexed list, the position in sorted_mz() of the first peak in or after each unit
/// cell of m/z above its smallest m/z: the peaks near an m/z in constant time. Worth
/// building for a list that many others are scored against (the engines' first list), not
/// for one pair.
class MzCellTable {
public:
    /// Builds the table of `list`, which must be indexed and outlive the table's use.
    /// Reuses the storage of an earlier table.
    void Build(const IndexedPeakList& list);

    /// The list the table was built for.
    const IndexedPeakList* list() const { return list_; }

    /// Nothing to rule out ahead of FirstAtOrAbove, which is as quick.
    bool MayHold(double /*low*/, double /*high*/) const { return true; }

    /// list()->FirstAtOrAbove(low): the position of the first m/z not below `low`.
    std::size_t FirstAtOrAbove(double low) const {
        if (first_.empty()) return list_->FirstAtOrAbove(low);
        // Peaks before the first one of low's cell lie below low. Below the first cell the
        // lookup starts at cell 0, beyond the last at the end of the list.
        double from = low - origin_;
        from = from > 0.0 ? from : 0.0;
        from = from < cell_limit_ ? from : cell_limit_;
        const auto cell = static_cast<std::size_t>(static_cast<int64_t>(from));
        std::size_t s = first_[cell];
        while (sorted_[s] < low) ++s;
        return s;
    }

private:
    const IndexedPeakList* list_ = nullptr;
    const double* sorted_ = nullptr;  // the list's sorted_mz(), +infinity after the last
    double origin_ = 0.0;
    double cell_limit_ = 0.0;      // the number of cells, as a double
    std::vector<uint16_t> first_;  // per cell, and one more: the size of the list
};

}  // namespace speclink
