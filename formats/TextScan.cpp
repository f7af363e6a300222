#include "speclink/formats/TextScan.h"

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace speclink {

// Runs over text at memory speed: 16 bytes a step where SSE2 is at hand.
const char* FindLetterNOrNul(const char* begin, const char* end, std::size_t& newlines) {
    const char* p = begin;
    std::size_t count = 0;
#if defined(__SSE2__)
    const __m128i case_bit = _mm_set1_epi8(0x20);
    const __m128i n = _mm_set1_epi8('n');
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    const __m128i positions = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const auto sum = [](__m128i counters) {
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        return static_cast<std::size_t>(_mm_cvtsi128_si64(sums)) +
               static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    };
    while (end - p >= 16) {
        // Byte counters of the line ends (each adds 1 as 0 - (-1)), summed before any can
        // pass 255.
        __m128i counters = _mm_setzero_si128();
        for (int step = 0; step < 255 && end - p >= 16; ++step, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i lines = _mm_cmpeq_epi8(bytes, newline);
            const auto stops = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(bytes, case_bit), n), _mm_cmpeq_epi8(bytes, zero))));
            if (stops != 0) {
                const int at = std::countr_zero(stops);
                // The line ends before the stop in this step, counted by the same byte sums.
                const __m128i earlier =
                    _mm_and_si128(lines, _mm_cmplt_epi8(positions, _mm_set1_epi8(static_cast<char>(at))));
                newlines += count + sum(_mm_sub_epi8(counters, earlier));
                return p + at;
            }
            counters = _mm_sub_epi8(counters, lines);
        }
        count += sum(counters);
    }
#endif
    for (; p != end && (*p | 0x20) != 'n' && *p != '\0'; ++p) count += *p == '\n' ? 1 : 0;
    newlines += count;
    return p;
}

}  // namespace speclink
