#include "speclink/cli/Tolerance.h"

#include "speclink/cli/LowerCase.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace speclink::cli {

Tolerance ParseTolerance(const std::string& text) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    Tolerance tolerance;
    const auto [rest, error] = std::from_chars(begin, end, tolerance.value);
    if (error != std::errc() || !std::isfinite(tolerance.value) || tolerance.value < 0.0)
        throw std::invalid_argument("'" + text + "' is not a tolerance: expected a number and a unit, e.g. 20ppm or 0.5Da");
    std::string unit(rest, end);
    while (!unit.empty() && unit.front() == ' ') unit.erase(unit.begin());
    unit = LowerCase(unit);
    if (unit == "da" || unit == "th" || unit == "mz" || unit == "m/z") {
        tolerance.unit = TOLERANCE_DA;
    } else if (unit == "ppm") {
        tolerance.unit = TOLERANCE_PPM;
    } else {
        throw std::invalid_argument("'" + text + "' has no known unit: write Da or ppm after the number, e.g. 20ppm");
    }
    return tolerance;
}

std::string FormatTolerance(const Tolerance& tolerance) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, tolerance.value);
    return std::string(buffer, result.ptr) + ToleranceNames[tolerance.unit == TOLERANCE_PPM ? 1 : 0];
}

}  // namespace speclink::cli#include "speclink/cli/LowerCase.h"

