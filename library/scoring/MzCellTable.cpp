#include "speclink/library/scoring/MzCellTable.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace speclink {

namespace {

// Lists whose m/z span more unit cells than this, or with more peaks than a cell entry can
// count, keep to the list's own lookup.
constexpr double kMostCells = 1 << 20;
constexpr std::size_t kMostPeaks = UINT16_MAX;

// Screens of more cells than this (a list spanning 32 768 m/z) are not built. Below
// kScreenLargestMz every rounding in placing an m/z in its cell is far below a cell.
constexpr std::size_t kScreenMostCells = 1 << 18;

}  // namespace

void MzCellTable::Build(const IndexedPeakList& list, double screen_reach) {
    list_ = &list;
    const std::span<const double> sorted = list.sorted_mz();
    sorted_ = sorted.data();
    first_.clear();
    BuildScreen(screen_reach);
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

void MzCellTable::BuildScreen(double reach) {
    // Only what the last screen marked is cleared: a screen costs a few marks per peak
    // to build, not a pass over all its cells.
    for (const std::size_t first : marked_) {
        std::fill_n(near_.begin() + static_cast<std::ptrdiff_t>(first), marked_width_, uint8_t{0});
        std::fill_n(near_peaks_.begin() + static_cast<std::ptrdiff_t>(first), marked_width_, NearEntry{});
    }
    marked_.clear();
    screen_reach_ = -1.0;
    screen_cells_ = 0;
    const std::span<const double> sorted = list_->sorted_mz();
    if (sorted.empty() || sorted.size() >= kMostPeaks || !(reach > 0.0 && reach < 64.0)) return;
    if (!(sorted.front() >= 0.0 && sorted.back() < kScreenLargestMz)) return;
    // A peak within `reach` of a window's centre lies within ceil(8 * reach) cells of the
    // centre's cell, and within one more of the cell that Screen finds for the centre from
    // whole cells; one more again leaves room for the rounding of the window's bounds.
    const auto spread = static_cast<std::size_t>(std::ceil(reach * kScreenCellsPerDa)) + 2;
    const auto cell_of = [](double mz) { return static_cast<int64_t>(mz * kScreenCellsPerDa); };
    screen_first_cell_ = cell_of(sorted.front()) - static_cast<int64_t>(spread) - 1;
    const auto cells =
        static_cast<std::size_t>(cell_of(sorted.back()) + static_cast<int64_t>(spread) + 2 - screen_first_cell_);
    if (cells > kScreenMostCells) return;
    if (near_.size() < cells) {
        near_.resize(cells, 0);
        near_peaks_.resize(cells);
    }
    marked_width_ = 2 * spread + 1;
    for (std::size_t s = 0; s < sorted.size(); ++s) {
        const auto first = static_cast<std::size_t>(cell_of(sorted[s]) - screen_first_cell_) - spread;
        marked_.push_back(first);
        for (std::size_t c = first; c < first + marked_width_; ++c) {
            NearEntry& entry = near_peaks_[c];
            if (entry.count == 0) entry.first = static_cast<uint16_t>(s);
            if (entry.count < kCrowded) ++entry.count;
            near_[c] = 1;
        }
    }
    screen_reach_ = reach;
    screen_cells_ = cells;
}

}  // namespace speclink
