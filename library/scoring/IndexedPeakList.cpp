#include "speclink/library/scoring/IndexedPeakList.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "speclink/library/scoring/GreedyMatchRules.h"

namespace speclink {

namespace {

// Lists whose m/z span more unit cells than this are looked up by binary search alone.
constexpr double kMostCells = 1 << 20;

}  // namespace

IndexedPeakList::IndexedPeakList(PeakList peaks) : peaks_(std::move(peaks)), squares_(greedy::SumOfSquares(peaks_)) {
    for (const Peak& peak : peaks_) {
        if (std::isnan(peak.mz)) ordered_ = false;
        largest_abs_mz_ = std::max(largest_abs_mz_, std::fabs(peak.mz));
    }
    if (!ordered_ || peaks_.size() >= UINT32_MAX) return;
    Index();
}

void IndexedPeakList::Index() {
    by_mz_.resize(peaks_.size());
    std::iota(by_mz_.begin(), by_mz_.end(), uint32_t{0});
    std::sort(by_mz_.begin(), by_mz_.end(), [this](uint32_t a, uint32_t b) { return peaks_[a].mz < peaks_[b].mz; });
    sorted_mz_.clear();
    sorted_mz_.reserve(peaks_.size() + 1);
    for (const uint32_t position : by_mz_) sorted_mz_.push_back(peaks_[position].mz);
    sorted_mz_.push_back(kInfinity);
    indexed_ = true;
    if (peaks_.empty()) return;
    smallest_mz_ = sorted_mz_.front();

    const double origin = sorted_mz_.front();
    const double end = sorted_mz_[peaks_.size() - 1];
    if (!(end - origin < kMostCells)) return;
    cell_origin_ = origin;
    cell_end_ = end;
    cell_count_ = static_cast<std::size_t>(end - origin) + 1;
    cells_.assign((cell_count_ + 63) / 64, 0);
    group_first_.assign(cells_.size(), 0);
    // Walking up in m/z order, each group of 64 cells starts at the first peak not in an
    // earlier group; groups without peaks start where the next peak is.
    std::size_t group = 0;
    for (std::size_t k = 0; k < peaks_.size(); ++k) {
        const auto cell = static_cast<std::size_t>(sorted_mz_[k] - origin);
        cells_[cell / 64] |= uint64_t{1} << (cell % 64);
        while (group <= cell / 64) group_first_[group++] = static_cast<uint32_t>(k);
    }
}

std::size_t IndexedPeakList::SearchFirstAtOrAbove(double low) const {
    return static_cast<std::size_t>(std::lower_bound(sorted_mz_.begin(), sorted_mz_.end() - 1, low) -
                                    sorted_mz_.begin());
}

void IndexedPeakList::Prefetch() const {
    const auto* bytes = reinterpret_cast<const char*>(peaks_.data());
    const std::size_t size = peaks_.size() * sizeof(Peak);
    for (std::size_t offset = 0; offset < size; offset += 64) __builtin_prefetch(bytes + offset);
}

void IndexedPeakList::MoveInto(double offset, IndexedPeakList& moved) const {
    moved.peaks_.assign(peaks_.begin(), peaks_.end());
    moved.squares_ = squares_;
    moved.ordered_ = ordered_;
    moved.smallest_mz_ = peaks_.empty() ? 0.0 : kInfinity;
    moved.largest_abs_mz_ = 0.0;
    for (Peak& peak : moved.peaks_) {
        peak.mz += offset;
        moved.smallest_mz_ = std::min(moved.smallest_mz_, peak.mz);
        moved.largest_abs_mz_ = std::max(moved.largest_abs_mz_, std::fabs(peak.mz));
    }
    moved.indexed_ = false;
    moved.by_mz_.clear();
    moved.sorted_mz_.assign(1, kInfinity);
    moved.cells_.clear();
    moved.group_first_.clear();
    moved.cell_count_ = 0;
}

}  // namespace speclink
