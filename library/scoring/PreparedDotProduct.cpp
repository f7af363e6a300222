#include "speclink/library/scoring/PreparedDotProduct.h"

#include <cmath>
#include <limits>
#include <utility>

namespace speclink {

namespace {

// Cells are kept within +-2^61, so that the difference of two cells never overflows.
constexpr double kCellLimit = 2305843009213693952.0;

// At most this many cells per index, or eight per peak if that is more.
constexpr int64_t kIndexCells = 4096;

}  // namespace

DotProductPeaks::DotProductPeaks(PeakList by_intensity, double tolerance)
    : peaks_(std::move(by_intensity)), tolerance_(tolerance) {
    for (const Peak& peak : peaks_) sum_of_squares_ += peak.intensity * peak.intensity;

    // Cells twice the tolerance wide: a window of the tolerance around a peak touches two
    // of them at most, apart from the slack below. A tolerance that is not finite has one
    // cell for everything.
    cells_per_mz_ = 0.5 / tolerance;
    if (std::isinf(tolerance)) cells_per_mz_ = 0.0;
    if (!std::isfinite(cells_per_mz_)) cells_per_mz_ = std::numeric_limits<double>::max();

    window_cells_.reserve(2 * peaks_.size());
    for (const Peak& peak : peaks_) {
        // Nothing is within a tolerance of 0 or below (or NaN), and an m/z that is not
        // finite is within no tolerance of anything.
        if (!(tolerance > 0.0) || !std::isfinite(peak.mz)) {
            window_cells_.push_back(1);
            window_cells_.push_back(0);
            continue;
        }
        // The window is a little wider than the tolerance, so that it surely holds every
        // peak that the exact test accepts despite the rounding of its bounds.
        const double reach = tolerance + (std::fabs(peak.mz) + tolerance) * 1e-9;
        window_cells_.push_back(CellOf(peak.mz - reach));
        window_cells_.push_back(CellOf(peak.mz + reach));
    }
}

int64_t DotProductPeaks::CellOf(double mz) const {
    if (cells_per_mz_ == 0.0) return 0;
    // Rounding and floor are monotonic, and so is the clamping.
    const double cell = std::floor(mz * cells_per_mz_);
    if (!(cell > -kCellLimit)) return static_cast<int64_t>(-kCellLimit);
    if (cell > kCellLimit) return static_cast<int64_t>(kCellLimit);
    return static_cast<int64_t>(cell);
}

void DotProductIndex::Build(const DotProductPeaks& peaks) {
    indexed_ = &peaks;
    entries_.clear();
    const PeakList& list = peaks.peaks();
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (std::isfinite(list[k].mz)) entries_.push_back({list[k].mz, static_cast<uint32_t>(k)});
    }
    if (entries_.empty()) {
        base_ = 0;
        last_ = 0;
        start_.assign(2, 0);
        return;
    }
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        return a.mz != b.mz ? a.mz < b.mz : a.position < b.position;
    });

    base_ = peaks.CellOf(entries_.front().mz);
    const int64_t cells = std::max<int64_t>(kIndexCells, 8 * static_cast<int64_t>(entries_.size()));
    last_ = std::min(peaks.CellOf(entries_.back().mz) - base_, cells - 1);
    // Entries in ascending m/z are in ascending cells already: count, then sum up.
    start_.assign(static_cast<std::size_t>(last_) + 2, 0);
    for (const Entry& entry : entries_) {
        ++start_[static_cast<std::size_t>(std::min(peaks.CellOf(entry.mz) - base_, last_)) + 1];
    }
    for (std::size_t cell = 1; cell < start_.size(); ++cell) start_[cell] += start_[cell - 1];
}

double PreparedDotProduct(const DotProductIndex& first, const DotProductPeaks& second, std::vector<char>& taken) {
    // The second list is the outer one, as in CSimilarity::DotProduct.
    const PeakList& inner = first.indexed().peaks();
    const PeakList& outer = second.peaks();
    const double tolerance = first.indexed().tolerance();
    taken.assign(inner.size(), 0);
    constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
    double products = 0.0;
    for (std::size_t k = 0; k < outer.size(); ++k) {
        const int64_t first_cell = second.WindowFirstCell(k);
        const int64_t last_cell = second.WindowLastCell(k);
        if (first_cell > last_cell) continue;
        const double mz = outer[k].mz;
        // The partner is the first free matching peak in list order, as the plain scan finds it.
        uint32_t partner = kNone;
        const DotProductIndex::Entry* const end = first.CandidatesEnd(last_cell);
        for (const DotProductIndex::Entry* entry = first.CandidatesBegin(first_cell); entry < end; ++entry) {
            const uint32_t position = entry->position;
            const bool better = (position < partner) & (taken[position] == 0) & (std::fabs(mz - entry->mz) < tolerance);
            partner = better ? position : partner;
        }
        if (partner == kNone) continue;
        taken[partner] = 1;
        products += outer[k].intensity * inner[partner].intensity;
    }

    const double squares1 = first.indexed().sum_of_squares();
    const double squares2 = second.sum_of_squares();
    if (squares1 > 0.0 && squares2 > 0.0) return products / std::sqrt(squares1 * squares2);
    return 0.0;
}

}  // namespace speclink
