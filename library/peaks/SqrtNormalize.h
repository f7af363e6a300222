#pragma once

#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// Replaces every intensity by its square root, then scales the list to sum 1000.0.
/// Both engines apply it to a peak list after peak selection. An empty list is left
/// unchanged; a list whose intensities sum to 0 is left with all intensities 0.0
/// (rather than the NaN a division by the zero sum would give).
void SqrtNormalize(PeakList& peaks);

}  // namespace speclink
