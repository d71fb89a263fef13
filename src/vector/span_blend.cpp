// SPDX-License-Identifier: MIT
// One colour blended into a run of pixels (the pixel blend, extra opacity
// 255), as the blended polygon and rectangle fills paint. The colour is the
// same for the whole run, so over an opaque pixel the blend is
// (s * w + d * (256 - w)) >> 8 per channel with w = alpha + 1 and s * w
// fixed: one multiply per channel. The vector variants take four or eight
// pixels at a time when all of them are opaque and fall back to the pixel
// blend otherwise; they give exactly the bytes of the plain loop.

#include "vector/vector.h"

#include <cstddef>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define VORN_VECTOR_X86 1
#include <immintrin.h>
#else
#define VORN_VECTOR_X86 0
#endif

namespace vorn::detail {

void blendColourSpanReference(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    for (std::size_t i = 0; i < n; ++i) {
        blendPixel(dst[i], colour, 255);
    }
}

#if VORN_VECTOR_X86

namespace {

// The 16-bit lanes of one pixel, blue, green, red, alpha: the fixed term
// s * w (255 * 256 for alpha, which then comes out as 255) and the factor
// of the destination, 256 - w (0 for alpha).
struct SpanTerms {
    std::uint16_t fixed[4];
    std::uint16_t factor[4];
};

SpanTerms spanTerms(_VORNRGBAQUAD colour) {
    const unsigned w = colour.alpha + 1u;
    SpanTerms t;
    t.fixed[0] = static_cast<std::uint16_t>(colour.blue * w);
    t.fixed[1] = static_cast<std::uint16_t>(colour.green * w);
    t.fixed[2] = static_cast<std::uint16_t>(colour.red * w);
    t.fixed[3] = 255 * 256;
    t.factor[0] = t.factor[1] = t.factor[2] = static_cast<std::uint16_t>(256 - w);
    t.factor[3] = 0;
    return t;
}

void blendColourSpanSse2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                         std::ptrdiff_t ahead) {
    const SpanTerms t = spanTerms(colour);
    const __m128i fixed =
        _mm_set_epi16(static_cast<short>(t.fixed[3]), static_cast<short>(t.fixed[2]),
                      static_cast<short>(t.fixed[1]), static_cast<short>(t.fixed[0]),
                      static_cast<short>(t.fixed[3]), static_cast<short>(t.fixed[2]),
                      static_cast<short>(t.fixed[1]), static_cast<short>(t.fixed[0]));
    const __m128i factor =
        _mm_set_epi16(0, static_cast<short>(t.factor[2]), static_cast<short>(t.factor[1]),
                      static_cast<short>(t.factor[0]), 0, static_cast<short>(t.factor[2]),
                      static_cast<short>(t.factor[1]), static_cast<short>(t.factor[0]));
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(dst + i);
        if (ahead != 0 && (i & 15) == 0) {
            _mm_prefetch(reinterpret_cast<const char*>(dst + i + ahead), _MM_HINT_T0);
        }
        const __m128i d = _mm_loadu_si128(p);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, opaque), opaque)) != 0xFFFF) {
            blendColourSpanReference(dst + i, 4, colour);
            continue;
        }
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), fixed), 8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), fixed), 8);
        _mm_storeu_si128(p, _mm_packus_epi16(lo, hi));
    }
    blendColourSpanReference(dst + i, n - i, colour);
}

__attribute__((target("avx2"))) inline __m256i blendOpaque8(__m256i d, __m256i factor,
                                                            __m256i fixed) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), factor), fixed), 8);
    const __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), factor), fixed), 8);
    return _mm256_packus_epi16(lo, hi);
}

__attribute__((target("avx2"))) void
blendColourSpanAvx2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour, std::ptrdiff_t ahead) {
    const SpanTerms t = spanTerms(colour);
    const __m256i fixed = _mm256_set1_epi64x(static_cast<long long>(
        t.fixed[0] | (std::uint64_t{t.fixed[1]} << 16) | (std::uint64_t{t.fixed[2]} << 32) |
        (std::uint64_t{t.fixed[3]} << 48)));
    const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(
        t.factor[0] | (std::uint64_t{t.factor[1]} << 16) | (std::uint64_t{t.factor[2]} << 32)));
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    // Sixteen pixels per step, tested for opacity together.
    for (; i + 16 <= n; i += 16) {
        __m256i* p = reinterpret_cast<__m256i*>(dst + i);
        if (ahead != 0) {
            _mm_prefetch(reinterpret_cast<const char*>(dst + i + ahead), _MM_HINT_T0);
        }
        const __m256i d0 = _mm256_loadu_si256(p);
        const __m256i d1 = _mm256_loadu_si256(p + 1);
        const __m256i both = _mm256_and_si256(_mm256_and_si256(d0, d1), opaque);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(both, opaque)) != -1) {
            blendColourSpanReference(dst + i, 16, colour);
            continue;
        }
        _mm256_storeu_si256(p, blendOpaque8(d0, factor, fixed));
        _mm256_storeu_si256(p + 1, blendOpaque8(d1, factor, fixed));
    }
    // The rest one pixel at a time: calling the SSE2 variant from here
    // would mix the two instruction encodings, which costs more.
    blendColourSpanReference(dst + i, n - i, colour);
}

} // namespace

#endif

void blendColourSpan(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                     std::ptrdiff_t ahead) {
    if (colour.alpha == 0) {
        return;
    }
    if (colour.alpha == 255) {
        fillPixels(dst, n, colour);
        return;
    }
#if VORN_VECTOR_X86
    switch (kernelLevel()) {
    case KernelLevel::Avx2:
        blendColourSpanAvx2(dst, n, colour, ahead);
        return;
    case KernelLevel::Sse2:
        blendColourSpanSse2(dst, n, colour, ahead);
        return;
    case KernelLevel::Reference:
        break;
    }
#endif
    (void)ahead;
    blendColourSpanReference(dst, n, colour);
}

} // namespace vorn::detail
