// SPDX-License-Identifier: MIT
// SSE2 row kernels, four pixels at a time. Each computes exactly the bytes
// of the plain reference in row_kernels.cpp: the blend's 16-bit products
// never exceed 65,280, and its one division, a * 256 / A with A <= 255, is
// done in single precision, whose error (below 2^-24 relative) cannot move
// a quotient across an integer since a non-integer quotient lies at least
// 1/255 away from one. Compiled with SSE2 (the x86-64 baseline).

#include "core/row_kernels.h"

#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace vorn::detail {

namespace {

// Repeats each of the four 32-bit lanes' low 16 bits over the four 16-bit
// lanes of its pixel: lo covers pixels 0 and 1, hi pixels 2 and 3.
void spreadWeights(__m128i w, __m128i& lo, __m128i& hi) {
    lo = _mm_unpacklo_epi32(w, w);
    hi = _mm_unpackhi_epi32(w, w);
    lo = _mm_or_si128(lo, _mm_slli_epi32(lo, 16));
    hi = _mm_or_si128(hi, _mm_slli_epi32(hi, 16));
}

// (s * w + d * (256 - w)) >> 8 per channel; alpha lanes are replaced later.
__m128i mix4(__m128i s, __m128i d, __m128i w) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(256);
    __m128i wlo;
    __m128i whi;
    spreadWeights(w, wlo, whi);
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wlo),
                      _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(full, wlo))),
        8);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), whi),
                      _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(full, whi))),
        8);
    return _mm_packus_epi16(lo, hi);
}

__m128i blend4(__m128i s, __m128i d) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c255 = _mm_set1_epi32(255);
    const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i a = _mm_srli_epi32(s, 24);
    const __m128i da = _mm_srli_epi32(d, 24);
    __m128i w;
    __m128i newAlpha;
    const __m128i opaque = _mm_cmpeq_epi32(da, c255);
    const __m128i wOpaque = _mm_add_epi32(a, _mm_set1_epi32(1));
    if (_mm_movemask_epi8(opaque) == 0xFFFF) {
        w = wOpaque;
        newAlpha = c255;
    } else {
        // t = (((256 - a) * da) >> 8) + 1 + a; the product fits 16 bits, so
        // a 16-bit multiply of the 32-bit lanes gives it exactly.
        const __m128i t = _mm_add_epi32(
            _mm_srli_epi32(_mm_mullo_epi16(_mm_sub_epi32(_mm_set1_epi32(256), a), da), 8), wOpaque);
        newAlpha = _mm_min_epi16(t, c255);
        const __m128i wGeneral = _mm_cvttps_epi32(
            _mm_div_ps(_mm_cvtepi32_ps(_mm_slli_epi32(a, 8)), _mm_cvtepi32_ps(newAlpha)));
        w = _mm_or_si128(_mm_and_si128(opaque, wOpaque), _mm_andnot_si128(opaque, wGeneral));
    }
    __m128i out = mix4(s, d, w);
    out = _mm_or_si128(_mm_and_si128(out, colourMask), _mm_slli_epi32(newAlpha, 24));
    // A source alpha of 0 leaves the destination as it was.
    const __m128i keep = _mm_cmpeq_epi32(a, zero);
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, out));
}

__m128i bitOp4(__m128i d, __m128i s, BitOp op) {
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    switch (op) {
    case BitOp::Xor:
        return _mm_xor_si128(d, _mm_andnot_si128(alphaMask, s));
    case BitOp::And:
        return _mm_and_si128(d, _mm_or_si128(alphaMask, s));
    case BitOp::Or:
        break;
    }
    return _mm_or_si128(d, _mm_andnot_si128(alphaMask, s));
}

void blendRowSse2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c255 = _mm_set1_epi32(255);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i a = _mm_srli_epi32(s, 24);
        // Runs of wholly transparent or wholly opaque source pixels are the
        // common case of sprites and masks; they need no arithmetic.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) {
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, c255)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), blend4(s, d));
    }
    blendRowReference(dst + i, src + i, n - i);
}

void bitOpRowSse2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bitOp4(d, s, op));
    }
    bitOpRowReference(dst + i, src + i, n - i, op);
}

void fillPixelsSse2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    std::uint32_t word;
    std::memcpy(&word, &colour, 4);
    const __m128i v = _mm_set1_epi32(static_cast<int>(word));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i* p = reinterpret_cast<__m128i*>(dst + i);
        _mm_storeu_si128(p, v);
        _mm_storeu_si128(p + 1, v);
        _mm_storeu_si128(p + 2, v);
        _mm_storeu_si128(p + 3, v);
    }
    for (; i + 4 <= n; i += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    }
    fillPixelsReference(dst + i, n - i, colour);
}

// The colour is the same for the whole run, so over an opaque pixel the
// blend is (s * w + d * (256 - w)) >> 8 per channel with w = alpha + 1 and
// s * w fixed: one multiply per channel. Alpha's lanes take the fixed term
// 255 * 256 and the factor 0, so that it comes out as 255. Groups with a
// pixel that is not opaque go through the pixel blend.
void blendColourRowSse2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                        std::ptrdiff_t ahead) {
    if (colour.alpha == 0) {
        return;
    }
    const int w = colour.alpha + 1;
    const __m128i fixed =
        _mm_set_epi16(static_cast<short>(255 * 256), static_cast<short>(colour.red * w),
                      static_cast<short>(colour.green * w), static_cast<short>(colour.blue * w),
                      static_cast<short>(255 * 256), static_cast<short>(colour.red * w),
                      static_cast<short>(colour.green * w), static_cast<short>(colour.blue * w));
    const short rest = static_cast<short>(256 - w);
    const __m128i factor = _mm_set_epi16(0, rest, rest, rest, 0, rest, rest, rest);
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
            blendColourRowReference(dst + i, 4, colour, 0);
            continue;
        }
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), fixed), 8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), fixed), 8);
        _mm_storeu_si128(p, _mm_packus_epi16(lo, hi));
    }
    blendColourRowReference(dst + i, n - i, colour, 0);
}

} // namespace

const RowKernels kRowKernelsSse2 = {blendRowSse2, bitOpRowSse2, fillPixelsSse2, blendColourRowSse2,
                                    unpremultiplyRowPortable};

} // namespace vorn::detail
