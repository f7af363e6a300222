#include "speclink/library/params/Tolerance.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "speclink/library/common/LowerCase.h"

namespace speclink {

Tolerance ParseTolerance(std::string_view text) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    Tolerance tolerance;
    const auto [rest, error] = std::from_chars(begin, end, tolerance.value);
    if (error != std::errc() || !std::isfinite(tolerance.value) || tolerance.value < 0.0) {
        throw std::invalid_argument("'" + std::string(text) +
                                    "' is not a tolerance: expected a number and a unit, e.g. 20ppm or 0.5Da");
    }
    std::string_view unit_text(rest, static_cast<std::size_t>(end - rest));
    while (!unit_text.empty() && unit_text.front() == ' ') unit_text.remove_prefix(1);
    const std::string unit = LowerCase(std::string(unit_text));
    if (unit == "da" || unit == "th" || unit == "mz" || unit == "m/z") {
        tolerance.unit = TOLERANCE_DA;
    } else if (unit == "ppm") {
        tolerance.unit = TOLERANCE_PPM;
    } else {
        throw std::invalid_argument("'" + std::string(text) +
                                    "' has no known unit: write Da or ppm after the number, e.g. 20ppm");
    }
    return tolerance;
}

std::string FormatTolerance(const Tolerance& tolerance) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, tolerance.value);
    return std::string(buffer, result.ptr) + ToleranceNames[tolerance.unit == TOLERANCE_PPM ? 1 : 0];
}

}  // namespace speclink
