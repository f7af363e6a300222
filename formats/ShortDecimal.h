#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace speclink {
namespace short_decimal {

inline constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
inline constexpr uint64_t kWholePowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The run of digits at `q`, at most 8 and not past `end`, as a number: its length, or -1 when
// 8 digits fill the word and more may follow. Reads 8 bytes from `q`.
inline int EightDigitRun(const char* q, const char* end, uint64_t& number) {
    uint64_t bytes = 0;
    std::memcpy(&bytes, q, 8);
    // Digits become 0 to 9, every other byte 10 or more.
    const uint64_t values = bytes ^ 0x3030303030303030ULL;
    const uint64_t above_nine =
        (((values & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | values) & 0x8080808080808080ULL;
    int length = above_nine == 0 ? 8 : std::countr_zero(above_nine) / 8;
    length = std::min<int>(length, static_cast<int>(end - q));
    if (length == 8 && above_nine == 0 && end - q > 8) return -1;
    if (length == 0) {
        number = 0;
        return 0;
    }
    // The digits to the top of the word, behind zeros, then combined pairwise: 8 digits in
    // three multiplications.
    uint64_t digits = values << (8 * (8 - length));
    digits = digits * 10 + (digits >> 8);
    number = (((digits & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
              (((digits >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
             32;
    return length;
}

// The same one digit at a time, up to 15.
inline int SlowDigitRun(const char* q, const char* end, uint64_t& number) {
    number = 0;
    int length = 0;
    while (q + length != end && q[length] >= '0' && q[length] <= '9' && length < 16) {
        number = number * 10 + static_cast<uint64_t>(q[length] - '0');
        ++length;
    }
    return length == 16 ? -1 : length;
}

inline int DigitRun(const char* q, const char* end, const char* readable, uint64_t& number) {
    if constexpr (std::endian::native == std::endian::little) {
        if (readable - q >= 8) return EightDigitRun(q, end, number);
    }
    return SlowDigitRun(q, end, number);
}

}  // namespace short_decimal

/// Reads "digits[.digits]" at `p`, of 1 to 15 digits not all zero, and gives the position
/// after it; null, with `value` unchanged, for any other text (such as an exponent, a sign, or
/// more digits: the caller then parses it the general way). The digits as a whole number and
/// the power of ten to divide it by are both exact doubles, so the one division rounds
/// correctly: `value` is the double every correct parser gives for the text. Nothing at or
/// after `end` is taken as part of the number.
///
/// Bytes up to `readable` (at least `end`) may be read, eight at a time; where eight are not
/// at hand the digits are taken one by one.
inline const char* ReadShortDecimal(const char* p, const char* end, const char* readable, double& value) {
    using namespace short_decimal;
    const char* q = p;
    uint64_t whole = 0;
    const int whole_digits = DigitRun(q, end, readable, whole);
    if (whole_digits < 0) return nullptr;
    q += whole_digits;
    uint64_t fraction = 0;
    int fraction_digits = 0;
    if (q != end && *q == '.') {
        ++q;
        fraction_digits = DigitRun(q, end, readable, fraction);
        if (fraction_digits < 0) return nullptr;
        q += fraction_digits;
    }
    const int digits = whole_digits + fraction_digits;
    if (digits == 0 || digits > 15 || fraction_digits > 8) return nullptr;
    // At most 15 digits: below 2^53, exact as a double.
    const uint64_t mantissa = whole * kWholePowers[fraction_digits] + fraction;
    if (mantissa == 0) return nullptr;
    value = static_cast<double>(mantissa) / kPowers[fraction_digits];
    return q;
}

}  // namespace speclink
