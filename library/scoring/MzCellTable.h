#pragma once

#include <array>
#include <cmath>
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
///
/// With a screen reach, the table also marks the eighths of a dalton that lie near a peak,
/// so that a pass over another list's peaks rules out, one look at a byte each, the lookup
/// windows that reach no further than that to each side and hold no peak. Most windows of
/// a pair of unrelated spectra hold none.
class MzCellTable {
public:
    /// The screen serves m/z from 0 to this.
    static constexpr double kScreenLargestMz = 1 << 20;

    /// Builds the table of `list`, which must be indexed and outlive the table's use, and
    /// the screen for windows of up to `screen_reach` to each side (none for 0 or less).
    /// Reuses the storage of an earlier table.
    void Build(const IndexedPeakList& list, double screen_reach = 0.0);

    /// The list the table was built for.
    const IndexedPeakList* list() const { return list_; }

    /// Nothing to rule out ahead of FirstAtOrAbove, which is as quick. The screen serves
    /// only Screen's pass: looked at before each lookup, it costs more than it saves where
    /// the two spectra share most peaks, as in clustering.
    bool MayHold(double /*low*/, double /*high*/) const { return true; }

    /// Whether Screen serves windows of up to `reach` to each side of the m/z of a list
    /// from `smallest` to `largest`, each plus `add`.
    bool Screens(double reach, double smallest, double largest, double add) const {
        return reach <= screen_reach_ && smallest >= 0.0 && largest < kScreenLargestMz &&
               std::fabs(add) < kScreenLargestMz;
    }

    /// For each of the `adds`, writes to its `near` (room for peaks.size()) the positions l,
    /// ascending, at which a window of up to the screen reach to each side of
    /// peaks[l].mz + add may hold a peak, and gives how many it wrote; no other window
    /// holds one. Only where Screens says so. The adds share one pass over the peaks.
    ///
    /// Whole cells stand for the m/z: floor(8 * (m + add)) is floor(8 * m) + floor(8 * add)
    /// or one more, which the marks allow for. No branch depends on the m/z.
    template <std::size_t kAdds>
    std::array<std::size_t, kAdds> Screen(std::span<const Peak> peaks, const std::array<double, kAdds>& adds,
                                          const std::array<uint32_t*, kAdds>& near) const {
        std::array<int64_t, kAdds> bases;
        for (std::size_t a = 0; a < kAdds; ++a) bases[a] = ScreenBase(adds[a]);
        const auto cells = static_cast<uint64_t>(screen_cells_);
        const uint8_t* marks = near_.data();
        std::array<std::size_t, kAdds> counts{};
        for (std::size_t l = 0; l < peaks.size(); ++l) {
            // m/z from 0 on: truncation is the floor.
            const auto own = static_cast<int64_t>(peaks[l].mz * kScreenCellsPerDa);
            for (std::size_t a = 0; a < kAdds; ++a) {
                const auto cell = static_cast<uint64_t>(own + bases[a]);
                near[a][counts[a]] = static_cast<uint32_t>(l);
                counts[a] += marks[cell < cells ? cell : 0];
            }
        }
        return counts;
    }

    /// Where the screen looks for m/z plus `add`, in whole cells: what NearPeaks takes.
    int64_t ScreenBase(double add) const {
        return static_cast<int64_t>(std::floor(add * kScreenCellsPerDa)) - screen_first_cell_;
    }

    /// The peaks Screen weighed for the window about `mz` plus the add of `base`
    /// (ScreenBase): positions `first` to `first + count` of sorted_mz() hold every peak
    /// within the screen reach of it. A count of kCrowded may fall short: walk the list.
    struct Near {
        std::size_t first;
        std::size_t count;
    };
    static constexpr std::size_t kCrowded = UINT8_MAX;
    Near NearPeaks(double mz, int64_t base) const {
        const auto cell = static_cast<uint64_t>(static_cast<int64_t>(mz * kScreenCellsPerDa) + base);
        const NearEntry& entry = near_peaks_[cell < screen_cells_ ? cell : 0];
        return {entry.first, entry.count};
    }

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
    static constexpr double kScreenCellsPerDa = 8.0;

    void BuildScreen(double reach);

    const IndexedPeakList* list_ = nullptr;
    const double* sorted_ = nullptr;  // the list's sorted_mz(), +infinity after the last
    double origin_ = 0.0;
    double cell_limit_ = 0.0;      // the number of cells, as a double
    std::vector<uint16_t> first_;  // per cell, and one more: the size of the list

    // near_[c] is 1 when the peak of some whole cell floor(8 * m/z) lies within a few
    // cells of whole cell screen_first_cell_ + c: enough for any window of the screen
    // reach, and for the cells of Screen. near_peaks_[c] gives the first of these peaks in
    // sorted_mz() and how many there are (up to kCrowded), apart from the marks that the
    // screen's pass reads. The first and the last of the screen_cells_ entries are 0, so
    // that cells beyond either end may be looked up there; entries past them are 0 too, as
    // are all but the marked_width_ entries from each of marked_.
    struct NearEntry {
        uint16_t first = 0;
        uint8_t count = 0;
    };
    double screen_reach_ = -1.0;
    int64_t screen_first_cell_ = 0;
    std::size_t screen_cells_ = 0;
    std::vector<uint8_t> near_;
    std::vector<NearEntry> near_peaks_;
    std::vector<std::size_t> marked_;
    std::size_t marked_width_ = 0;
};

}  // namespace speclink
