#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "speclink/formats/ShortDecimal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace speclink {

namespace peak_line {

#if defined(__SSE2__)
// One bit per byte of the 32 at `p`: set where the byte equals c.
inline uint32_t Equal(__m128i low, __m128i high, char c) {
    const __m128i wanted = _mm_set1_epi8(c);
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, wanted))) |
           (static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, wanted))) << 16);
}

inline uint32_t Digit(__m128i bytes) {
    const __m128i above = _mm_cmpgt_epi8(bytes, _mm_set1_epi8('0' - 1));
    const __m128i below = _mm_cmplt_epi8(bytes, _mm_set1_epi8('9' + 1));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(above, below)));
}
#endif

// The `length` (0 to 8) digits at `q` as a number; reads 8 bytes.
[[gnu::always_inline]] inline uint64_t DigitsValue(const char* q, int length) {
    if (length == 0) return 0;
    uint64_t bytes = 0;
    std::memcpy(&bytes, q, 8);
    uint64_t digits = (bytes ^ 0x3030303030303030ULL) << (8 * (8 - length));
    digits = digits * 10 + (digits >> 8);
    return (((digits & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
            (((digits >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
           32;
}

// The number in bytes [begin, end) of `p`, all digits but at most one dot (`dots` marks
// the dots of the line): as ReadShortDecimal reads it, false where that gives null.
[[gnu::always_inline]] inline bool TokenValue(const char* p, int begin, int end, uint32_t dots, double& value) {
    const uint32_t token = (end == 32 ? ~0U : (1U << end) - 1) & ~((1U << begin) - 1);
    const uint32_t dot = dots & token;
    if ((dot & (dot - 1)) != 0) return false;  // two dots or more
    const int dot_at = dot == 0 ? end : std::countr_zero(dot);
    const int whole_digits = dot_at - begin;
    const int fraction_digits = dot == 0 ? 0 : end - dot_at - 1;
    if (whole_digits > 8 || fraction_digits > 8 || whole_digits + fraction_digits == 0 ||
        whole_digits + fraction_digits > 15) {
        return false;
    }
    const uint64_t mantissa = DigitsValue(p + begin, whole_digits) * short_decimal::kWholePowers[fraction_digits] +
                              DigitsValue(p + dot_at + 1, fraction_digits);
    if (mantissa == 0) return false;
    value = static_cast<double>(mantissa) / short_decimal::kPowers[fraction_digits];
    return true;
}

}  // namespace peak_line

/// Bytes a caller must be able to read from the start of a line for ReadPeakLine.
inline constexpr int kPeakLineReadable = 48;

/// Reads a peak line "m/z intensity" at `p` of two numbers as ReadShortDecimal reads them,
/// separated by blanks (spaces, tabs) and followed by nothing but blanks and a '\r' before
/// its '\n', the whole line within 32 bytes. Gives the position after the '\n'; null for any
/// other line, which the caller parses the general way. The positions of digits, dots,
/// blanks and the line end come from one look at the 32 bytes, so that nothing waits on
/// the number before it. Reads kPeakLineReadable bytes from `p`.
[[gnu::always_inline]] inline const char* ReadPeakLine(const char* p, double& mz, double& intensity) {
#if defined(__SSE2__)
    if constexpr (std::endian::native != std::endian::little) return nullptr;
    using namespace peak_line;
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const uint32_t newlines = Equal(low, high, '\n');
    if (newlines == 0) return nullptr;
    const int line_end = std::countr_zero(newlines);
    const uint32_t line = (1U << line_end) - 1;
    const uint32_t dots = Equal(low, high, '.') & line;
    const uint32_t number = ((Digit(low) | (Digit(high) << 16)) & line) | dots;
    const uint32_t blank = (Equal(low, high, ' ') | Equal(low, high, '\t')) & line;
    // number [0, a), blanks [a, b), number [b, c), then blanks and at most a final '\r'.
    const int a = std::countr_zero(~number);
    const int b = a + std::countr_zero(~(blank >> a));
    const int c = b + std::countr_zero(~(number >> b));
    if (a == 0 || b == a || c == b || c > line_end) return nullptr;
    const uint32_t rest = line & ~((1U << c) - 1);
    const uint32_t final_return = line_end > 0 && p[line_end - 1] == '\r' ? 1U << (line_end - 1) : 0;
    if ((rest & ~(blank | final_return)) != 0) return nullptr;
    double first = 0.0;
    double second = 0.0;
    if (!TokenValue(p, 0, a, dots, first) || !TokenValue(p, b, c, dots, second)) return nullptr;
    mz = first;
    intensity = second;
    return p + line_end + 1;
#else
    (void)p;
    (void)mz;
    (void)intensity;
    return nullptr;
#endif
}

}  // namespace speclink
