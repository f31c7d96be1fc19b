#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The one home of vector code and of prefetching (the hints for large blocks of memory
// are adviseHugePages() in configfile.h). Everything here has a plain fallback that gives
// the same result; only the speed differs.

namespace kelto::vectorscan {

// The first byte in [p, end) that is one of the four given, or `end`.
inline const unsigned char *findAnyOf(const unsigned char *p, const unsigned char *end, char a,
                                      char b, char c, char d)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time: the scan runs this over every byte of the file.
    const __m128i wantA = _mm_set1_epi8(a);
    const __m128i wantB = _mm_set1_epi8(b);
    const __m128i wantC = _mm_set1_epi8(c);
    const __m128i wantD = _mm_set1_epi8(d);
    for (; end - p >= 16; p += 16) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i found
            = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chars, wantA), _mm_cmpeq_epi8(chars, wantB)),
                           _mm_or_si128(_mm_cmpeq_epi8(chars, wantC), _mm_cmpeq_epi8(chars, wantD)));
        if (const auto mask = unsigned(_mm_movemask_epi8(found)))
            return p + std::countr_zero(mask);
    }
#endif
    const auto is = [=](unsigned char x) {
        return x == (unsigned char)a || x == (unsigned char)b || x == (unsigned char)c
               || x == (unsigned char)d;
    };
    return std::find_if(p, end, is);
}

// The line ends that start in [p, end): each "\n", and each "\r" that no "\n" follows;
// a "\r" at `end` is judged by the byte after it, which must be readable up to `limit`.
inline std::ptrdiff_t countLineEnds(const unsigned char *p, const unsigned char *end,
                                    const unsigned char *limit)
{
    std::ptrdiff_t count = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, each compared with the byte after it.
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    for (; end - p >= 16 && limit - p >= 17; p += 16) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1));
        const __m128i ends = _mm_or_si128(
            _mm_cmpeq_epi8(chars, lineFeed),
            _mm_andnot_si128(_mm_cmpeq_epi8(next, lineFeed), _mm_cmpeq_epi8(chars, carriageReturn)));
        count += std::popcount(unsigned(_mm_movemask_epi8(ends)));
    }
#endif
    for (; p < end; ++p)
        count += *p == '\n' || (*p == '\r' && (p + 1 == limit || p[1] != '\n'));
    return count;
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

// The first byte of [p, end) that is not ASCII, or `end`.
inline const unsigned char *asciiEnd(const unsigned char *p, const unsigned char *end)
{
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        if (const auto mask = unsigned(_mm_movemask_epi8(bytes)))
            return p + std::countr_zero(mask);
    }
#endif
    return std::find_if(p, end, [](unsigned char b) { return b >= 0x80; });
}

// The first UTF-16 unit of [p, end) that is not ASCII (or the odd byte at the end), or
// `end`; the units in either byte order.
inline const unsigned char *asciiUnitsEnd(const unsigned char *p, const unsigned char *end,
                                          bool littleEndian)
{
#if defined(__SSE2__)
    // Loaded as 16-bit numbers in the processor's (little-endian) order, a unit of either
    // order is ASCII when the bits of this mask are clear.
    const __m128i notAscii = _mm_set1_epi16(short(littleEndian ? 0xFF80 : 0x80FF));
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const auto ascii = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, notAscii), zero)));
        if (ascii != 0xFFFF)
            return p + std::countr_zero(~ascii);
    }
#endif
    const int high = littleEndian ? 1 : 0;
    while (end - p >= 2 && p[high] == 0 && p[1 - high] < 0x80)
        p += 2;
    return p;
}

// Writes the ASCII UTF-16 units of [p, end) as bytes at `out`, which may lie in the same
// memory as long as it does not lie after `p`; returns the end.
inline char *narrowAsciiUnits(const unsigned char *p, const unsigned char *end, char *out,
                              bool littleEndian)
{
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16, out += 8) {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        if (!littleEndian)
            units = _mm_or_si128(_mm_srli_epi16(units, 8), _mm_slli_epi16(units, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(units, units));
    }
#endif
    for (; p != end; p += 2)
        *out++ = char(p[littleEndian ? 0 : 1]);
    return out;
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
