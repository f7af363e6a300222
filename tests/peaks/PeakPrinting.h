#pragma once

#include <ostream>

#include "speclink/library/peaks/PeakList.h"

namespace speclink {

// How rapidcheck counterexamples and GoogleTest failures show a peak (found by ADL).
inline void showValue(const Peak& peak, std::ostream& os) { os << '(' << peak.mz << ", " << peak.intensity << ')'; }
inline void PrintTo(const Peak& peak, std::ostream* os) { showValue(peak, *os); }

}  // namespace speclink
