#include "speclink/formats/TextScan.h"

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace speclink {

// Both run over text at memory speed: 16 bytes a step where SSE2 is at hand.

const char* FindLetterN(const char* begin, const char* end) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i case_bit = _mm_set1_epi8(0x20);
    const __m128i n = _mm_set1_epi8('n');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(bytes, case_bit), n));
        if (hits != 0) return p + std::countr_zero(static_cast<unsigned>(hits));
    }
#endif
    for (; p != end; ++p) {
        if ((*p | 0x20) == 'n') return p;
    }
    return end;
}

std::size_t CountNewlines(const char* begin, const char* end) {
    std::size_t count = 0;
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        // Byte counters (each match adds 1 as 0 - (-1)), summed before any can pass 255.
        __m128i counters = _mm_setzero_si128();
        for (int step = 0; step < 255 && end - p >= 16; ++step, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(bytes, newline));
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    for (; p != end; ++p) count += *p == '\n' ? 1 : 0;
    return count;
}

}  // namespace speclink
