#include "peaks/PeakSelect.h"

#include <algorithm>

namespace speclink {

void CPeakSelect::SelectPeak(PeakList& peaks) const { std::sort(peaks.begin(), peaks.end(), ByMzAscending); }

void CPeakSelect::SelectWholeTopPeaks(PeakList&) const {}

void CPeakSelect::SelectPartTopPeaks(PeakList&) const {}

}  // namespace speclink
