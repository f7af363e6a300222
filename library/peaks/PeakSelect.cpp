#include "speclink/library/peaks/PeakSelect.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace speclink {

void CPeakSelect::SelectPeak(PeakList& peaks) const {
    switch (peak_select_method) {
        case PEAK_SELECT_WHOLE_TOP:
            SelectWholeTopPeaks(peaks);
            break;
        case PEAK_SELECT_PART_TOP:
            SelectPartTopPeaks(peaks);
            break;
        case PEAK_SELECT_PART_THEN_WHOLE_TOP:
            SelectPartTopPeaks(peaks);
            SelectWholeTopPeaks(peaks);
            break;
        default:
            // An unknown method reduces nothing; the list is still put into m/z order.
            break;
    }
    SortByMzAscending(peaks);
}

void CPeakSelect::SelectWholeTopPeaks(PeakList& peaks) const {
    // The count is compared as an unsigned number: a negative N exceeds every list size.
    const auto keep = static_cast<std::size_t>(static_cast<uint32_t>(whole_top_peak_num));
    if (peaks.size() < keep) return;
    SortByIntensityDescending(peaks);
    PeakList kept(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(keep));
    peaks = std::move(kept);
}

void CPeakSelect::SelectPartTopPeaks(PeakList& peaks) const {
    if (peaks.empty()) return;
    // K below 1 leaves no slot, so no peak can be kept.
    const auto slot_count = static_cast<std::size_t>(std::max(part_top_peak_num, int32_t{0}));
    const auto width = static_cast<double>(part_top_peak_per_num);
    std::vector<double> slot_mz(slot_count, 0.0);
    std::vector<double> slot_intensity(slot_count, 0.0);
    PeakList selected;

    // A slot with m/z 0.0 never received a peak.
    const auto close_window = [&] {
        for (std::size_t s = 0; s < slot_count; ++s) {
            if (slot_mz[s] != 0.0) selected.push_back(Peak{slot_mz[s], slot_intensity[s]});
            slot_mz[s] = 0.0;
            slot_intensity[s] = 0.0;
        }
    };

    // The windows follow the list order, which is expected to be ascending m/z.
    double window_start = peaks.front().mz;
    for (const Peak& peak : peaks) {
        if (peak.mz - window_start > width) {
            close_window();
            window_start = peak.mz;
        }
        if (slot_count == 0) continue;
        std::size_t weakest = 0;
        for (std::size_t s = 1; s < slot_count; ++s) {
            if (slot_intensity[s] < slot_intensity[weakest]) weakest = s;
        }
        if (peak.intensity > slot_intensity[weakest]) {
            slot_mz[weakest] = peak.mz;
            slot_intensity[weakest] = peak.intensity;
        }
    }
    close_window();
    peaks = std::move(selected);
}

}  // namespace speclink
