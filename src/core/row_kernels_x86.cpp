// SPDX-License-Identifier: MIT
// SSE2 and AVX2 variants of the core's row kernels. Each computes exactly
// the bytes of the plain reference in row_kernels.cpp: the blend's 16-bit
// products never exceed 65,280, and its one division, a * 256 / A with
// A <= 255, is done in single precision, whose error (below 2^-24 relative)
// cannot move a quotient across an integer since a non-integer quotient
// lies at least 1/255 away from one.

#include "core/row_kernels_x86.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define VORN_X86_KERNELS 1
#include <immintrin.h>
#else
#define VORN_X86_KERNELS 0
#endif

namespace vorn::detail {

#if VORN_X86_KERNELS

bool cpuHasSse2() {
    return __builtin_cpu_supports("sse2");
}
bool cpuHasAvx2() {
    return __builtin_cpu_supports("avx2");
}

namespace {

// ----------------------------------------------------------------------------
// SSE2: four pixels at a time.
// ----------------------------------------------------------------------------

// Repeats each of the four 32-bit lanes' low 16 bits over the four 16-bit
// lanes of its pixel: lo covers pixels 0 and 1, hi pixels 2 and 3.
inline void spreadWeights(__m128i w, __m128i& lo, __m128i& hi) {
    lo = _mm_unpacklo_epi32(w, w);
    hi = _mm_unpackhi_epi32(w, w);
    lo = _mm_or_si128(lo, _mm_slli_epi32(lo, 16));
    hi = _mm_or_si128(hi, _mm_slli_epi32(hi, 16));
}

// (s * w + d * (256 - w)) >> 8 per channel; alpha lanes are replaced later.
inline __m128i mix4(__m128i s, __m128i d, __m128i w) {
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

inline __m128i blend4(__m128i s, __m128i d) {
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

// ----------------------------------------------------------------------------
// AVX2: eight pixels at a time, the same arithmetic in both 128-bit halves.
// ----------------------------------------------------------------------------

__attribute__((target("avx2"))) inline __m256i mix8(__m256i s, __m256i d, __m256i w) {
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

__attribute__((target("avx2"))) inline __m256i blend8(__m256i s, __m256i d) {
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

inline __m128i bitOp4(__m128i d, __m128i s, BitOp op) {
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

__attribute__((target("avx2"))) inline __m256i bitOp8(__m256i d, __m256i s, BitOp op) {
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

} // namespace

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

__attribute__((target("avx2"))) void blendRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src,
                                                  std::size_t n) {
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
    blendRowSse2(dst + i, src + i, n - i);
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

__attribute__((target("avx2"))) void bitOpRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src,
                                                  std::size_t n, BitOp op) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), bitOp8(d, s, op));
    }
    bitOpRowSse2(dst + i, src + i, n - i, op);
}

void fillPixelsSse2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    const __m128i v = _mm_set1_epi32(static_cast<int>(toWord(colour)));
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    }
    for (; i < n; ++i) {
        dst[i] = colour;
    }
}

__attribute__((target("avx2"))) void fillPixelsAvx2(_VORNRGBAQUAD* dst, std::size_t n,
                                                    _VORNRGBAQUAD colour) {
    const __m256i v = _mm256_set1_epi32(static_cast<int>(toWord(colour)));
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 8), v);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 16), v);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 24), v);
    }
    for (; i + 8 <= n; i += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    }
    fillPixelsSse2(dst + i, n - i, colour);
}

#else

bool cpuHasSse2() {
    return false;
}
bool cpuHasAvx2() {
    return false;
}

void blendRowSse2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    blendRowReference(dst, src, n);
}
void blendRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    blendRowReference(dst, src, n);
}
void bitOpRowSse2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    bitOpRowReference(dst, src, n, op);
}
void bitOpRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    bitOpRowReference(dst, src, n, op);
}
void fillPixelsSse2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    for (std::size_t i = 0; i < n; ++i) {
        dst[i] = colour;
    }
}
void fillPixelsAvx2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    fillPixelsSse2(dst, n, colour);
}

#endif

} // namespace vorn::detail
