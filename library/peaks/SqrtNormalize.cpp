#include "peaks/SqrtNormalize.h"

namespace speclink {

void SqrtNormalize(PeakList&) {}

}  // namespace speclink
