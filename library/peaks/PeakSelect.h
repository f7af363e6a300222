#pragma once

#include <cstdint>

#include "speclink/library/params/Enums.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// Reduces a peak list to its most intense peaks, over the whole spectrum or per m/z
/// window, and leaves it in ascending m/z order.
class CPeakSelect {
public:
    CPeakSelect(Peak_Select_Method method, int32_t whole_top, int32_t part_top, int32_t part_width)
        : peak_select_method(method),
          whole_top_peak_num(whole_top),
          part_top_peak_num(part_top),
          part_top_peak_per_num(part_width) {}

    /// Reduces `peaks` by `peak_select_method`, then sorts it by ascending m/z.
    void SelectPeak(PeakList& peaks) const;

    /// Keeps the `whole_top_peak_num` most intense peaks (all of a shorter list).
    void SelectWholeTopPeaks(PeakList& peaks) const;

    /// Keeps the `part_top_peak_num` most intense peaks of each window of width
    /// `part_top_peak_per_num`; expects the list in ascending m/z. With
    /// `part_top_peak_num` below 1 no peak is kept.
    void SelectPartTopPeaks(PeakList& peaks) const;

    Peak_Select_Method peak_select_method;
    int32_t whole_top_peak_num;     ///< N, peaks kept from the whole spectrum
    int32_t part_top_peak_num;      ///< K, peaks kept per window
    int32_t part_top_peak_per_num;  ///< W, window width (m/z)
};

}  // namespace speclink
