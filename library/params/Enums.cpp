#include "speclink/library/params/Enums.h"

namespace speclink {

const char* const ToleranceNames[2] = {"Da", "ppm"};

const char* const SimilarMethodNames[8] = {
    "Intensity Score", "Dot Product", "Dot Product Mod", "Dot Product Half",
    "Dot Product X",   "Peak Count",  "Bonanza",         "Comprehensive",
};

}  // namespace speclink
