#include "speclink/library/scoring/MzCellTable.h"

#include <cstdint>

namespace speclink {

namespace {

// Lists whose m/z span more unit cells than this, or with more peaks than a cell entry can
// count, keep to the list's own lookup.
constexpr double kMostCells = 1 << 20;
constexpr std::size_t kMostPeaks = UINT16_MAX;

}  // namespace

void MzCellTable::Build(const IndexedPeakList& list) {
    list_ = &list;
    const std::span<const double> sorted = list.sorted_mz();
    sorted_ = sorted.data();
    first_.clear();
    if (sorted.empty() || sorted.size() >= kMostPeaks || !(sorted.back() - sorted.front() < kMostCells)) return;
    origin_ = sorted.front();
    const auto cells = static_cast<std::size_t>(sorted.back() - origin_) + 1;
    cell_limit_ = static_cast<double>(cells);
    first_.resize(cells + 1);
    std::size_t cell = 0;
    for (std::size_t s = 0; s < sorted.size(); ++s) {
        const auto own = static_cast<std::size_t>(sorted[s] - origin_);
        for (; cell <= own; ++cell) first_[cell] = static_cast<uint16_t>(s);
    }
    for (; cell <= cells; ++cell) first_[cell] = static_cast<uint16_t>(sorted.size());
}

}  // namespace speclink
