#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace speclink {

/// The first 'N', 'n' or NUL byte in [begin, end), or `end`; adds the number of '\n' before
/// it to `newlines`. One pass over the text finds the next line that may end an MGF
/// spectrum, counts the lines passed and stops at binary data.
const char* FindLetterNOrNul(const char* begin, const char* end, std::size_t& newlines);

/// The first '\n' or NUL byte in [begin, end), or null: where a line of text ends, or the
/// byte that makes it binary data. Bytes up to `readable` (at least `end`) may be read, 16
/// at a time.
inline const char* FindLineEndOrNul(const char* begin, const char* end, const char* readable) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (readable - p >= 16 && p < end) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto found = static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, newline), _mm_cmpeq_epi8(bytes, zero))));
        if (found != 0) {
            const char* const at = p + std::countr_zero(found);
            return at < end ? at : nullptr;
        }
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (*p == '\n' || *p == '\0') return p;
    }
    return nullptr;
}

}  // namespace speclink
