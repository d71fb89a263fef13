// SPDX-License-Identifier: MIT
// AVX2 row kernels, eight pixels at a time, with the arithmetic of the SSE2
// kernels (row_kernels_sse2.cpp) in both 128-bit halves; exactly the bytes
// of the plain references. Compiled with AVX2.

#include "core/row_kernels.h"

#include <cstdint>
#include <cstring>
#include <immintrin.h>

namespace vorn::detail {

namespace {

__m256i mix8(__m256i s, __m256i d, __m256i w) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(256);
    __m256i wlo = _mm256_unpacklo_epi32(w, w);
    __m256i whi = _mm256_unpackhi_epi32(w, w);
    wlo = _mm256_or_si256(wlo, _mm256_slli_epi32(wlo, 16));
    whi = _mm256_or_si256(whi, _mm256_slli_epi32(whi, 16));
    const __m256i lo =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), wlo),
                                           _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero),
                                                              _mm256_sub_epi16(full, wlo))),
                          8);
    const __m256i hi =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), whi),
                                           _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero),
                                                              _mm256_sub_epi16(full, whi))),
                          8);
    return _mm256_packus_epi16(lo, hi);
}

__m256i blend8(__m256i s, __m256i d) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c255 = _mm256_set1_epi32(255);
    const __m256i colourMask = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i a = _mm256_srli_epi32(s, 24);
    const __m256i da = _mm256_srli_epi32(d, 24);
    __m256i w;
    __m256i newAlpha;
    const __m256i opaque = _mm256_cmpeq_epi32(da, c255);
    const __m256i wOpaque = _mm256_add_epi32(a, _mm256_set1_epi32(1));
    if (_mm256_movemask_epi8(opaque) == -1) {
        w = wOpaque;
        newAlpha = c255;
    } else {
        const __m256i t = _mm256_add_epi32(
            _mm256_srli_epi32(_mm256_mullo_epi16(_mm256_sub_epi32(_mm256_set1_epi32(256), a), da),
                              8),
            wOpaque);
        newAlpha = _mm256_min_epi16(t, c255);
        const __m256i wGeneral = _mm256_cvttps_epi32(_mm256_div_ps(
            _mm256_cvtepi32_ps(_mm256_slli_epi32(a, 8)), _mm256_cvtepi32_ps(newAlpha)));
        w = _mm256_blendv_epi8(wGeneral, wOpaque, opaque);
    }
    __m256i out = mix8(s, d, w);
    out = _mm256_or_si256(_mm256_and_si256(out, colourMask), _mm256_slli_epi32(newAlpha, 24));
    const __m256i keep = _mm256_cmpeq_epi32(a, zero);
    return _mm256_blendv_epi8(out, d, keep);
}

__m256i bitOp8(__m256i d, __m256i s, BitOp op) {
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    switch (op) {
    case BitOp::Xor:
        return _mm256_xor_si256(d, _mm256_andnot_si256(alphaMask, s));
    case BitOp::And:
        return _mm256_and_si256(d, _mm256_or_si256(alphaMask, s));
    case BitOp::Or:
        break;
    }
    return _mm256_or_si256(d, _mm256_andnot_si256(alphaMask, s));
}

// The rest of a row one pixel at a time: calling the SSE2 kernels from here
// would mix the two instruction encodings, which costs more.
void blendRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c255 = _mm256_set1_epi32(255);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i a = _mm256_srli_epi32(s, 24);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, zero)) == -1) {
            continue;
        }
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, c255)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), s);
            continue;
        }
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), blend8(s, d));
    }
    blendRowReference(dst + i, src + i, n - i);
}

void bitOpRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), bitOp8(d, s, op));
    }
    bitOpRowReference(dst + i, src + i, n - i, op);
}

// The last pixels of a run are stored again from its end, eight or four at
// a time, rather than one by one.
void fillPixelsAvx2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    std::uint32_t word;
    std::memcpy(&word, &colour, 4);
    const __m256i v = _mm256_set1_epi32(static_cast<int>(word));
    if (n < 8) {
        if (n >= 4) {
            const __m128i v4 = _mm256_castsi256_si128(v);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v4);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 4), v4);
            return;
        }
        fillPixelsReference(dst, n, colour);
        return;
    }
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i* p = reinterpret_cast<__m256i*>(dst + i);
        _mm256_storeu_si256(p, v);
        _mm256_storeu_si256(p + 1, v);
        _mm256_storeu_si256(p + 2, v);
        _mm256_storeu_si256(p + 3, v);
    }
    for (; i + 8 <= n; i += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    }
    if (i < n) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + n - 8), v);
    }
}

__m256i blendOpaque8(__m256i d, __m256i factor, __m256i fixed) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), factor), fixed), 8);
    const __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), factor), fixed), 8);
    return _mm256_packus_epi16(lo, hi);
}

// As blendColourRowSse2, sixteen pixels per step, tested for opacity
// together.
void blendColourRowAvx2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                        std::ptrdiff_t ahead) {
    if (colour.alpha == 0) {
        return;
    }
    const unsigned w = colour.alpha + 1u;
    const std::uint64_t fixedLanes = (colour.blue * w) | (std::uint64_t{colour.green * w} << 16) |
                                     (std::uint64_t{colour.red * w} << 32) |
                                     (std::uint64_t{255 * 256} << 48);
    const std::uint64_t rest = 256 - w;
    const std::uint64_t factorLanes = rest | (rest << 16) | (rest << 32);
    const __m256i fixed = _mm256_set1_epi64x(static_cast<long long>(fixedLanes));
    const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(factorLanes));
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m256i* p = reinterpret_cast<__m256i*>(dst + i);
        if (ahead != 0) {
            _mm_prefetch(reinterpret_cast<const char*>(dst + i + ahead), _MM_HINT_T0);
        }
        const __m256i d0 = _mm256_loadu_si256(p);
        const __m256i d1 = _mm256_loadu_si256(p + 1);
        const __m256i both = _mm256_and_si256(_mm256_and_si256(d0, d1), opaque);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(both, opaque)) != -1) {
            blendColourRowReference(dst + i, 16, colour, 0);
            continue;
        }
        _mm256_storeu_si256(p, blendOpaque8(d0, factor, fixed));
        _mm256_storeu_si256(p + 1, blendOpaque8(d1, factor, fixed));
    }
    blendColourRowReference(dst + i, n - i, colour, 0);
}

} // namespace

const RowKernels kRowKernelsAvx2 = {blendRowAvx2, bitOpRowAvx2, fillPixelsAvx2, blendColourRowAvx2,
                                    unpremultiplyRowPortable};

} // namespace vorn::detail
