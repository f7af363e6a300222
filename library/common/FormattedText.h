#pragma once

#include <bit>
#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace speclink {

/// Appends to `text` what fprintf would write with `format` and the arguments, byte for
/// byte (the same printf conversions), so that lines can be made on one thread and
/// written to their file on another.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void AppendFormatted(std::string& text, const char* format, ...) {
    char line[256];
    std::va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    if (static_cast<std::size_t>(length) < sizeof line) {
        text.append(line, static_cast<std::size_t>(length));
        return;
    }
    // Too long for the line buffer (long file names): format again into the text itself.
    const std::size_t start = text.size();
    text.resize(start + static_cast<std::size_t>(length) + 1);
    va_start(arguments, format);
    std::vsnprintf(text.data() + start, static_cast<std::size_t>(length) + 1, format, arguments);
    va_end(arguments);
    text.resize(start + static_cast<std::size_t>(length));
}

/// Writes numbers as printf's "%.4f" and "%.6f" (the same as "%.4lf" and "%.6lf") write
/// them: the exact binary value rounded to the nearest, ties to even, as the C library
/// does in the default rounding mode. Worked out here in whole numbers for finite values
/// below 2^53, as they occur in the result files. Whether the C library would write them
/// otherwise (a decimal point other than "." in the current locale, another rounding mode)
/// is checked once, when the writer is made; then, and for NaN, infinity and larger values,
/// snprintf writes them. Make one per batch of lines.
class FixedPointWriter {
public:
    FixedPointWriter()
        : exact_(std::strcmp(std::localeconv()->decimal_point, ".") == 0 && std::fegetround() == FE_TONEAREST) {}

    /// Appends `value` with `decimals` digits after the point, 4 or 6.
    void Append(std::string& text, double value, int decimals) const {
        uint64_t scaled = 0;
        if (!Scaled(value, decimals, scaled)) {
            AppendFormatted(text, "%.*f", decimals, value);
            return;
        }
        const uint64_t unit = decimals == 4 ? 10000u : 1000000u;
        uint64_t whole = scaled / unit;
        uint64_t part = scaled % unit;
        char digits[32];
        char* const end = digits + sizeof digits;
        char* p = end;
        for (int k = 0; k < decimals; ++k) {
            *--p = static_cast<char>('0' + part % 10);
            part /= 10;
        }
        *--p = '.';
        do {
            *--p = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if (std::signbit(value)) *--p = '-';
        text.append(p, end);
    }

    /// The digits Append writes for |value| without the point, as a whole number (0.5 with
    /// 4 decimals: 5000); false where Append leaves the writing to snprintf.
    bool Scaled(double value, int decimals, uint64_t& scaled) const {
        const double magnitude = std::fabs(value);
        if (!exact_ || (decimals != 4 && decimals != 6) || !(magnitude < 0x1p53)) return false;
        // magnitude = mantissa * 2^exponent exactly, with a whole mantissa below 2^53 and
        // an exponent of 0 or below, read off the bits of the double.
        const auto bits = std::bit_cast<uint64_t>(magnitude);
        const auto biased = static_cast<int>(bits >> 52);
        constexpr uint64_t kImplicitBit = uint64_t{1} << 52;
        const uint64_t mantissa = biased == 0 ? bits : (bits & (kImplicitBit - 1)) | kImplicitBit;
        const int exponent = biased == 0 ? -1074 : biased - 1075;
        // magnitude * 10^decimals = mantissa * 10^decimals * 2^exponent, below 2^73 before
        // the shift, rounded to the nearest whole number, ties to even.
        __extension__ typedef unsigned __int128 Wide;
        const uint64_t unit = decimals == 4 ? 10000u : 1000000u;
        const Wide product = static_cast<Wide>(mantissa) * unit;
        Wide rounded = 0;
        if (exponent == 0) {
            rounded = product;
        } else if (exponent > -127) {
            const int shift = -exponent;
            rounded = product >> shift;
            const Wide rest = product - (rounded << shift);
            const Wide half = static_cast<Wide>(1) << (shift - 1);
            if (rest > half || (rest == half && (rounded & 1) != 0)) ++rounded;
        }
        if ((rounded >> 64) != 0) return false;
        scaled = static_cast<uint64_t>(rounded);
        return true;
    }

private:
    bool exact_;
};

/// Appends the C string of `value`, up to its first NUL, as printf's "%s" does.
inline void AppendCString(std::string& text, const std::string& value) { text.append(value.c_str()); }

}  // namespace speclink
