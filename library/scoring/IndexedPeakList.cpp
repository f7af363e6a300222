#include "scoring/IndexedPeakList.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>

#include "scoring/GreedyMatchRules.h"

namespace speclink {

IndexedPeakList::IndexedPeakList(PeakList peaks)
    : peaks_(std::move(peaks)),
      squares_(greedy::SumOfSquares(peaks_)),
      ordered_(peaks_.size() <= UINT32_MAX &&
               std::none_of(peaks_.begin(), peaks_.end(), [](const Peak& p) { return std::isnan(p.mz); })) {
    if (!ordered_) return;
    by_mz_.resize(peaks_.size());
    std::iota(by_mz_.begin(), by_mz_.end(), uint32_t{0});
    std::sort(by_mz_.begin(), by_mz_.end(), [this](uint32_t a, uint32_t b) { return peaks_[a].mz < peaks_[b].mz; });
    sorted_mz_.reserve(peaks_.size());
    for (const uint32_t position : by_mz_) sorted_mz_.push_back(peaks_[position].mz);
}

void IndexedPeakList::MoveInto(double offset, IndexedPeakList& moved) const {
    moved.peaks_.assign(peaks_.begin(), peaks_.end());
    for (Peak& peak : moved.peaks_) peak.mz += offset;
    moved.by_mz_.assign(by_mz_.begin(), by_mz_.end());
    moved.sorted_mz_.resize(sorted_mz_.size());
    for (std::size_t k = 0; k < sorted_mz_.size(); ++k) moved.sorted_mz_[k] = sorted_mz_[k] + offset;
    moved.squares_ = squares_;
    moved.ordered_ = ordered_;
}

}  // namespace speclink
