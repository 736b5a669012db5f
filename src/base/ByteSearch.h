#pragma once

#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The first place from at on (below n) where b0 or b1 stands, or n: one
// pass for the two letter cases of a byte, or for both line-end bytes,
// without a call for the short runs that header lines are.
template <class Index>
Index FindEither(const unsigned char* s, Index at, Index n, unsigned char b0, unsigned char b1) {
#ifdef __SSE2__
    const __m128i v0 = _mm_set1_epi8(static_cast<char>(b0)), v1 = _mm_set1_epi8(static_cast<char>(b1));
    for (; at + 16 <= n; at += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, v0), _mm_cmpeq_epi8(chunk, v1)));
        if (hits != 0) return at + static_cast<Index>(std::countr_zero(static_cast<unsigned>(hits)));
    }
#endif
    for (; at < n; ++at)
        if (s[at] == b0 || s[at] == b1) return at;
    return n;
}
