#pragma once

#include <string>
#include <string_view>

#include "speclink/library/params/Enums.h"

namespace speclink {

/// A mass tolerance with its unit, parsed once from text such as "20ppm" or "0.5Da".
struct Tolerance {
    double value = 0.0;                  ///< Da or ppm, as `unit` says
    Tolerance_Type unit = TOLERANCE_DA;

    friend bool operator==(const Tolerance&, const Tolerance&) = default;
};

/// Parses "<number><unit>" with the unit "Da" (also "Th", "mz", "m/z") or "ppm", any case,
/// blanks allowed between. Throws std::invalid_argument naming the text when it is not a
/// finite non-negative number followed by a known unit.
Tolerance ParseTolerance(std::string_view text);

/// "20ppm", "0.5Da": the shortest text that parses back to the same value.
std::string FormatTolerance(const Tolerance& tolerance);

}  // namespace speclink
