#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The one home of vector code and memory hints. Everything here has a plain fallback
// that gives the same result; only the speed differs.

namespace kelto::vectorscan {

// The first character in [p, end) that is one of the four given, or `end`.
template <typename Char>
const Char *findAnyOf(const Char *p, const Char *end, Char a, Char b, Char c, Char d)
{
    if constexpr (sizeof(Char) == 1) {
#if defined(__SSE2__)
        // Sixteen bytes at a time: the scan runs this over every byte of the file.
        const __m128i wantA = _mm_set1_epi8(char(a));
        const __m128i wantB = _mm_set1_epi8(char(b));
        const __m128i wantC = _mm_set1_epi8(char(c));
        const __m128i wantD = _mm_set1_epi8(char(d));
        for (; end - p >= 16; p += 16) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i found
                = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chars, wantA), _mm_cmpeq_epi8(chars, wantB)),
                               _mm_or_si128(_mm_cmpeq_epi8(chars, wantC), _mm_cmpeq_epi8(chars, wantD)));
            if (const auto mask = unsigned(_mm_movemask_epi8(found)))
                return p + std::countr_zero(mask);
        }
#endif
    }
    return std::find_if(p, end, [=](Char x) { return x == a || x == b || x == c || x == d; });
}

// Whether every byte of [p, end) is below 0x80.
inline bool isAscii(const unsigned char *p, const unsigned char *end)
{
    unsigned long long seen = 0;
    for (; end - p >= 8; p += 8) {
        unsigned long long word;
        std::memcpy(&word, p, sizeof word);
        seen |= word;
    }
    for (; p < end; ++p)
        seen |= *p;
    return (seen & 0x8080808080808080ULL) == 0;
}

// Asks for the memory at `p` to be fetched while other work goes on.
inline void prefetch(const void *p)
{
#if defined(__SSE2__)
    _mm_prefetch(static_cast<const char *>(p), _MM_HINT_T0);
#else
    (void)p;
#endif
}

} // namespace kelto::vectorscan
