#include "speclink/library/peaks/SqrtNormalize.h"

#include <cmath>

namespace speclink {

void SqrtNormalize(PeakList& peaks) {
    double sum = 0.0;
    for (Peak& peak : peaks) {
        peak.intensity = std::sqrt(peak.intensity);
        sum += peak.intensity;
    }
    if (sum == 0.0) {
        // All intensities were zero: keep them at 0.0 instead of dividing by the zero sum.
        for (Peak& peak : peaks) peak.intensity = 0.0;
        return;
    }
    for (Peak& peak : peaks) peak.intensity = peak.intensity / sum * 1000.0;
}

}  // namespace speclink
