#include "text.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelto {

qsizetype indexOfEither(QStringView text, char16_t a, char16_t b, qsizetype from)
{
    const auto *begin = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *end = begin + text.size();
    const char16_t *p = begin + std::max<qsizetype>(from, 0);
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi16(short(a));
    const __m128i wantB = _mm_set1_epi16(short(b));
    for (; end - p >= 8; p += 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i found
            = _mm_or_si128(_mm_cmpeq_epi16(chars, wantA), _mm_cmpeq_epi16(chars, wantB));
        if (const auto mask = unsigned(_mm_movemask_epi8(found)))
            return p - begin + std::countr_zero(mask) / 2;
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b)
            return p - begin;
    }
    return -1;
}

} // namespace kelto
