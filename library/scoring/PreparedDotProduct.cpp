#include "scoring/PreparedDotProduct.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace speclink {

DotProductPeaks::DotProductPeaks(PeakList by_intensity) : peaks_(std::move(by_intensity)) {
    for (const Peak& peak : peaks_) sum_of_squares_ += peak.intensity * peak.intensity;

    std::vector<std::pair<double, uint32_t>> entries;
    entries.reserve(peaks_.size());
    for (std::size_t k = 0; k < peaks_.size(); ++k) {
        if (std::isfinite(peaks_[k].mz)) entries.emplace_back(peaks_[k].mz, static_cast<uint32_t>(k));
    }
    if (entries.empty()) return;
    std::sort(entries.begin(), entries.end());

    // About two bins per peak, so a window of a tolerance usually meets one or two peaks.
    const std::size_t bins = 2 * entries.size();
    origin_ = entries.front().first;
    const double span = entries.back().first - origin_;
    bins_per_mz_ = span > 0.0 ? static_cast<double>(bins) / span : 0.0;

    index_mz_.reserve(entries.size());
    index_position_.reserve(entries.size());
    bin_start_.assign(bins + 1, 0);
    for (const auto& [mz, position] : entries) {
        index_mz_.push_back(mz);
        index_position_.push_back(position);
        ++bin_start_[BinOf(mz) + 1];
    }
    for (std::size_t bin = 0; bin < bins; ++bin) bin_start_[bin + 1] += bin_start_[bin];
}

// Rounding is monotonic, so a larger m/z never falls into an earlier bin; values outside
// the indexed span land in the first or the last bin.
std::size_t DotProductPeaks::BinOf(double mz) const {
    const std::size_t bins = bin_start_.size() - 1;
    const double bin = (mz - origin_) * bins_per_mz_;
    if (!(bin > 0.0)) return 0;
    if (bin >= static_cast<double>(bins)) return bins - 1;
    return static_cast<std::size_t>(bin);
}

DotProductPeaks::Range DotProductPeaks::Candidates(double low, double high) const {
    if (index_mz_.empty() || high < index_mz_.front() || low > index_mz_.back()) return {0, 0};
    const std::size_t first_bin = BinOf(low);
    const std::size_t last_bin = BinOf(high);
    if (last_bin < first_bin) return {0, 0};
    return {bin_start_[first_bin], bin_start_[last_bin + 1]};
}

double PreparedDotProduct(const DotProductPeaks& first, const DotProductPeaks& second, double tolerance,
                          std::vector<char>& taken) {
    // The second list is the outer one, as in CSimilarity::DotProduct.
    const PeakList& inner = first.peaks();
    taken.assign(inner.size(), 0);
    constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
    double products = 0.0;
    for (const Peak& outer : second.peaks()) {
        // An m/z that is not finite is never within a tolerance of anything.
        if (!std::isfinite(outer.mz)) continue;
        // The window is a little wider than the tolerance, so that it surely holds every
        // peak that the exact test below accepts despite the rounding of the bounds.
        const double reach = tolerance + (std::fabs(outer.mz) + tolerance) * 1e-9;
        const DotProductPeaks::Range range = first.Candidates(outer.mz - reach, outer.mz + reach);
        // The partner is the first free matching peak in list order, as the plain scan finds it.
        uint32_t partner = kNone;
        for (std::size_t entry = range.begin; entry < range.end; ++entry) {
            const uint32_t position = first.IndexPosition(entry);
            if (position < partner && taken[position] == 0 &&
                std::fabs(outer.mz - first.IndexMz(entry)) < tolerance) {
                partner = position;
            }
        }
        if (partner == kNone) continue;
        taken[partner] = 1;
        products += outer.intensity * inner[partner].intensity;
    }

    const double squares1 = first.sum_of_squares();
    const double squares2 = second.sum_of_squares();
    if (squares1 > 0.0 && squares2 > 0.0) return products / std::sqrt(squares1 * squares2);
    return 0.0;
}

}  // namespace speclink
