// SPDX-License-Identifier: MIT
// AVX2 variants of the transform subsystem's fast paths. Each gives exactly
// the bytes of the plain members:
// - the per-pixel filters run four destination pixels side by side, one
//   per double lane, with the same operations in the same order as the
//   plain members (a tap that the plain member skips adds +0.0, which
//   leaves a non-negative sum unchanged); where the plain member divides,
//   the lanes multiply by a reciprocal and settle the byte only when it is
//   clearly away from the next whole number, leaving the rest to the exact
//   scalar code;
// - block averaging sums blocks whose alphas are all 0 or 255 as integers
//   and divides in single precision, which is exact for truncation while
//   255 times the block size n stays below 2^24: the operands are whole
//   numbers held exactly, and a quotient below 256 that is not whole lies
//   at least 1/n away from the next whole number, far more than the
//   float's error (half a unit in the last place, below 2^-17); bands
//   with other alphas sum colour times alpha as 32-bit integers, four
//   blocks at a time, and divide in double precision, exact likewise;
// - rotation shears four pixels at once with exact rounding.

#include "transform/transform.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define VORN_TRANSFORM_X86 1
#include <immintrin.h>
#else
#define VORN_TRANSFORM_X86 0
#endif

namespace vorn::detail {

#if VORN_TRANSFORM_X86

#define VORN_AVX2 __attribute__((target("avx2")))

namespace {

// ---------------------------------------------------------------------------
// Lanes of pixels and doubles
// ---------------------------------------------------------------------------

// One channel of four pixels as doubles (byte `c` of each 32-bit lane).
VORN_AVX2 inline __m256d channelOf(__m128i px, int c) {
    const char z = -1; // pshufb zeroes a byte whose selector is negative
    const __m128i select =
        _mm_setr_epi8(static_cast<char>(c), z, z, z, static_cast<char>(c + 4), z, z, z,
                      static_cast<char>(c + 8), z, z, z, static_cast<char>(c + 12), z, z, z);
    return _mm256_cvtepi32_pd(_mm_shuffle_epi8(px, select));
}
VORN_AVX2 inline __m256d blueOf(__m128i px) {
    return channelOf(px, 0);
}
VORN_AVX2 inline __m256d greenOf(__m128i px) {
    return channelOf(px, 1);
}
VORN_AVX2 inline __m256d redOf(__m128i px) {
    return channelOf(px, 2);
}
VORN_AVX2 inline __m256d alphaOf(__m128i px) {
    return _mm256_cvtepi32_pd(_mm_srli_epi32(px, 24));
}

/// Four pixels picked from a window of eight by indices relative to it.
VORN_AVX2 inline __m128i pick(__m256i window, __m128i relative) {
    return _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(window, _mm256_castsi128_si256(relative)));
}

VORN_AVX2 inline __m128i gather(const _VORNRGBAQUAD* row, __m128i index) {
    return _mm_i32gather_epi32(reinterpret_cast<const int*>(row), index, 4);
}

/// snapToByte of each lane, exactly as the scalar helper.
VORN_AVX2 inline __m128i snapBytes(__m256d v) {
    __m256d z = _mm256_add_pd(v, _mm256_set1_pd(kByteSnap));
    z = _mm256_max_pd(z, _mm256_setzero_pd()); // NaN gives 0
    z = _mm256_min_pd(z, _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(z);
}

/// settleByte of each lane: the byte where the approximation decides it;
/// lanes where it does not are added to `unsettled`. The approximations
/// here lie in 0..256 (weighted means of bytes, alpha shares of at most
/// one); NaN has no remainder within the margin and comes back unsettled.
VORN_AVX2 inline __m128i settleBytes(__m256d approx, __m256d& unsettled) {
    const __m256d z = _mm256_add_pd(approx, _mm256_set1_pd(kByteSnap));
    const __m128i t = _mm256_cvttpd_epi32(z);
    const __m256d rest =
        _mm256_sub_pd(z, _mm256_round_pd(z, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    const __m256d close =
        _mm256_or_pd(_mm256_cmp_pd(rest, _mm256_set1_pd(kSettleMargin), _CMP_NGE_UQ),
                     _mm256_cmp_pd(rest, _mm256_set1_pd(1.0 - kSettleMargin), _CMP_GT_OQ));
    unsettled = _mm256_or_pd(unsettled, close);
    return _mm_min_epi32(_mm_max_epi32(t, _mm_setzero_si128()), _mm_set1_epi32(255));
}

/// A lane mask of doubles as a mask of 32-bit lanes.
VORN_AVX2 inline __m128i mask32(__m256d m) {
    const __m256i low = _mm256_permutevar8x32_epi32(_mm256_castpd_si256(m),
                                                    _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
    return _mm256_castsi256_si128(low);
}

VORN_AVX2 inline __m128i packPixels(__m128i r, __m128i g, __m128i b, __m128i a) {
    return _mm_or_si128(_mm_or_si128(b, _mm_slli_epi32(g, 8)),
                        _mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(a, 24)));
}

// ---------------------------------------------------------------------------
// Enlarging filter
// ---------------------------------------------------------------------------

// c[0] * w[0] + c[1] * w[1] + c[2] * w[2] + c[3] * w[3], added in that order.
VORN_AVX2 inline __m256d tapSum(const __m256d* c, const __m256d* w) {
    __m256d s = _mm256_mul_pd(c[0], w[0]);
    for (int k = 1; k < 4; ++k) {
        s = _mm256_add_pd(s, _mm256_mul_pd(c[k], w[k]));
    }
    return s;
}

VORN_AVX2 void enlargeRowsAvx2(const VornBuffer& src, VornBuffer& dst, const ResampleTables& t,
                               double sx, double sy) {
    const int dw = dst.getWidth();
    const std::size_t width = static_cast<std::size_t>(src.getWidth());
    std::vector<int> i0(static_cast<std::size_t>(dw));
    std::vector<int> i1(static_cast<std::size_t>(dw));
    std::vector<double> wx0(static_cast<std::size_t>(dw));
    std::vector<double> wx1(static_cast<std::size_t>(dw));
    for (std::size_t x = 0; x < t.cols.size(); ++x) {
        const Span& cs = t.cols[x];
        i0[x] = cs.first;
        i1[x] = cs.last; // the edge pixel again beyond the edge
        wx0[x] = cs.firstWeight;
        wx1[x] = cs.lastWeight;
    }
    // Groups of four columns whose taps lie within eight source pixels
    // that can be loaded at once take them from that window.
    std::vector<int> windowStart(static_cast<std::size_t>(dw / 4));
    for (std::size_t g = 0; g < windowStart.size(); ++g) {
        const int base = i0[4 * g];
        const bool fits = i1[4 * g + 3] - base < 8 && static_cast<std::size_t>(base) + 8 <= width;
        windowStart[g] = fits ? base : -1;
    }
    const __m256d inv255 = _mm256_set1_pd(1.0 / 255.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d opaque = _mm256_set1_pd(255.0);
    const __m256d floorLow = _mm256_set1_pd(kWeightFloor * (1.0 - kSettleMargin));
    const __m256d floorHigh = _mm256_set1_pd(kWeightFloor * (1.0 + kSettleMargin));
    const __m256d nearOne = _mm256_set1_pd(1e-13);

    _VORNRGBAQUAD* out = dst.getPixels();
    for (int y = 0; y < dst.getHeight(); ++y, out += dw) {
        const Span& rs = t.rows[static_cast<std::size_t>(y)];
        const _VORNRGBAQUAD* row0 = src.getPixels() + static_cast<std::size_t>(rs.first) * width;
        const _VORNRGBAQUAD* row1 = src.getPixels() + static_cast<std::size_t>(rs.last) * width;
        const __m256d wy0 = _mm256_set1_pd(rs.firstWeight);
        const __m256d wy1 = _mm256_set1_pd(rs.lastWeight);
        int x = 0;
        for (; x + 4 <= dw; x += 4) {
            const __m128i vi0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&i0[x]));
            const __m128i vi1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&i1[x]));
            const __m256d vx0 = _mm256_loadu_pd(&wx0[x]);
            const __m256d vx1 = _mm256_loadu_pd(&wx1[x]);
            const __m256d w[4] = {_mm256_mul_pd(vx0, wy0), _mm256_mul_pd(vx1, wy0),
                                  _mm256_mul_pd(vx0, wy1), _mm256_mul_pd(vx1, wy1)};
            __m128i px[4];
            const int base = windowStart[static_cast<std::size_t>(x / 4)];
            if (base >= 0) {
                const __m256i upper =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row0 + base));
                const __m256i lower =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row1 + base));
                const __m128i r0 = _mm_sub_epi32(vi0, _mm_set1_epi32(base));
                const __m128i r1 = _mm_sub_epi32(vi1, _mm_set1_epi32(base));
                px[0] = pick(upper, r0);
                px[1] = pick(upper, r1);
                px[2] = pick(lower, r0);
                px[3] = pick(lower, r1);
            } else {
                px[0] = gather(row0, vi0);
                px[1] = gather(row0, vi1);
                px[2] = gather(row1, vi0);
                px[3] = gather(row1, vi1);
            }
            // Colour sums tap by tap, so that few registers stay live.
            __m256d plainR = _mm256_mul_pd(redOf(px[0]), w[0]);
            __m256d plainG = _mm256_mul_pd(greenOf(px[0]), w[0]);
            __m256d plainB = _mm256_mul_pd(blueOf(px[0]), w[0]);
            for (int k = 1; k < 4; ++k) {
                plainR = _mm256_add_pd(plainR, _mm256_mul_pd(redOf(px[k]), w[k]));
                plainG = _mm256_add_pd(plainG, _mm256_mul_pd(greenOf(px[k]), w[k]));
                plainB = _mm256_add_pd(plainB, _mm256_mul_pd(blueOf(px[k]), w[k]));
            }

            // Alpha shares; where every tap of the four pixels is opaque the
            // alpha is the constant 255 and all colours keep the plain sums.
            const __m128i allTaps =
                _mm_and_si128(_mm_and_si128(px[0], px[1]), _mm_and_si128(px[2], px[3]));
            const bool opaqueTaps =
                _mm_movemask_epi8(
                    _mm_cmpeq_epi32(_mm_srli_epi32(allTaps, 24), _mm_set1_epi32(255))) == 0xFFFF;
            __m256d q[4];
            __m256d notOpaque = zero;
            if (opaqueTaps) {
                for (int k = 0; k < 4; ++k) {
                    q[k] = _mm256_mul_pd(_mm256_mul_pd(opaque, w[k]), inv255);
                }
            } else {
                for (int k = 0; k < 4; ++k) {
                    const __m256d alpha = alphaOf(px[k]);
                    q[k] = _mm256_mul_pd(_mm256_mul_pd(alpha, w[k]), inv255);
                    const __m256d taken = _mm256_cmp_pd(w[k], zero, _CMP_NEQ_OQ);
                    notOpaque = _mm256_or_pd(
                        notOpaque, _mm256_and_pd(taken, _mm256_cmp_pd(alpha, opaque, _CMP_NEQ_OQ)));
                }
            }
            const __m256d share =
                _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(q[0], q[1]), q[2]), q[3]);

            __m256d sumR = plainR;
            __m256d sumG = plainG;
            __m256d sumB = plainB;
            if (_mm256_movemask_pd(notOpaque) != 0) {
                __m256d c[4];
                for (int k = 0; k < 4; ++k) {
                    c[k] = redOf(px[k]);
                }
                sumR = _mm256_blendv_pd(plainR, tapSum(c, q), notOpaque);
                for (int k = 0; k < 4; ++k) {
                    c[k] = greenOf(px[k]);
                }
                sumG = _mm256_blendv_pd(plainG, tapSum(c, q), notOpaque);
                for (int k = 0; k < 4; ++k) {
                    c[k] = blueOf(px[k]);
                }
                sumB = _mm256_blendv_pd(plainB, tapSum(c, q), notOpaque);
            }

            __m256d unsettled = zero;
            __m128i r;
            __m128i g;
            __m128i b;
            __m128i a;
            const __m256d offOne =
                _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(share, _mm256_set1_pd(1.0)));
            if (_mm256_movemask_pd(_mm256_cmp_pd(offOne, nearOne, _CMP_LT_OQ)) == 0xF) {
                // Inside an opaque area the shares add up to one but for a
                // few units in the last place: the sums themselves are the
                // colours to within 3e-11, and the alpha is 255.
                r = settleBytes(sumR, unsettled);
                g = settleBytes(sumG, unsettled);
                b = settleBytes(sumB, unsettled);
                a = _mm_set1_epi32(255);
            } else {
                // Below the floor: the plain sums, exact, and alpha 0. Near
                // it: left to the exact code.
                const __m256d clear = _mm256_cmp_pd(share, floorLow, _CMP_LT_OQ);
                unsettled = _mm256_andnot_pd(clear, _mm256_cmp_pd(share, floorHigh, _CMP_LE_OQ));
                const __m256d inverse = _mm256_div_pd(_mm256_set1_pd(1.0), share);
                r = settleBytes(_mm256_mul_pd(sumR, inverse), unsettled);
                g = settleBytes(_mm256_mul_pd(sumG, inverse), unsettled);
                b = settleBytes(_mm256_mul_pd(sumB, inverse), unsettled);
                a = settleBytes(_mm256_mul_pd(share, opaque), unsettled);
                unsettled = _mm256_andnot_pd(clear, unsettled);
                if (_mm256_movemask_pd(clear) != 0) {
                    const __m128i clear32 = mask32(clear);
                    r = _mm_blendv_epi8(r, snapBytes(plainR), clear32);
                    g = _mm_blendv_epi8(g, snapBytes(plainG), clear32);
                    b = _mm_blendv_epi8(b, snapBytes(plainB), clear32);
                    a = _mm_andnot_si128(clear32, a);
                }
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packPixels(r, g, b, a));
            int redo = _mm256_movemask_pd(unsettled);
            while (redo != 0) {
                const int lane = __builtin_ctz(static_cast<unsigned>(redo));
                redo &= redo - 1;
                (src.*Access::resizePixelFn)(out + x + lane, x + lane, y, sx, sy);
            }
        }
        for (; x < dw; ++x) {
            const Span& cs = t.cols[static_cast<std::size_t>(x)];
            if (!enlargePixel(row0, row1, rs, cs, out[x])) {
                (src.*Access::resizePixelFn)(out + x, x, y, sx, sy);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Gated filters
// ---------------------------------------------------------------------------

struct GatedSums {
    __m256d r, g, b, w, whole, cover;
};

VORN_AVX2 inline void addGated(GatedSums& s, __m128i px, __m256d weight) {
    s.whole = _mm256_add_pd(s.whole, weight);
    // Clear pixels take no part: their weight becomes 0 and adds nothing.
    const __m128i alpha32 = _mm_srli_epi32(px, 24);
    const __m128i clear32 = _mm_cmpeq_epi32(alpha32, _mm_setzero_si128());
    const __m256d clear = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(clear32));
    const __m256d w = _mm256_andnot_pd(clear, weight);
    s.r = _mm256_add_pd(s.r, _mm256_mul_pd(redOf(px), w));
    s.g = _mm256_add_pd(s.g, _mm256_mul_pd(greenOf(px), w));
    s.b = _mm256_add_pd(s.b, _mm256_mul_pd(blueOf(px), w));
    s.w = _mm256_add_pd(s.w, w);
    // Every pixel, clear ones included, adds its opacity times its weight
    // to the cover; the opacities are looked up, being alpha / 255.0 to
    // the bit.
    const __m256d opacity =
        _mm256_mask_i32gather_pd(_mm256_setzero_pd(), kOpacity.data(), alpha32,
                                 _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), 8);
    s.cover = _mm256_add_pd(s.cover, _mm256_mul_pd(opacity, weight));
}

/// The eight pixels from `base` on, or nothing when the group gathers.
VORN_AVX2 inline __m256i windowAt(const _VORNRGBAQUAD* row, int base) {
    if (base < 0) {
        return _mm256_setzero_si256();
    }
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base));
}

/// Four taps of a row at the given indices, from the window or gathered.
VORN_AVX2 inline __m128i gatedTap(const _VORNRGBAQUAD* row, __m256i window, int base,
                                  const int* index) {
    const __m128i vi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(index));
    if (base >= 0) {
        return pick(window, _mm_sub_epi32(vi, _mm_set1_epi32(base)));
    }
    return gather(row, vi);
}

VORN_AVX2 void gatedRowsAvx2(const VornBuffer& src, VornBuffer& dst, const ResampleTables& t) {
    const int dw = dst.getWidth();
    const std::size_t width = static_cast<std::size_t>(src.getWidth());
    // Columns side by side: tap k of column x at [k * dw + x]; columns with
    // fewer taps repeat their last one with weight 0.
    int taps = 1;
    for (const Span& cs : t.cols) {
        taps = std::max(taps, cs.last - cs.first + 1);
    }
    const std::size_t n = static_cast<std::size_t>(dw);
    std::vector<int> index(static_cast<std::size_t>(taps) * n);
    std::vector<double> weight(static_cast<std::size_t>(taps) * n);
    for (std::size_t x = 0; x < n; ++x) {
        const Span& cs = t.cols[x];
        for (int k = 0; k < taps; ++k) {
            const int i = cs.first + k;
            const std::size_t at = static_cast<std::size_t>(k) * n + x;
            index[at] = i <= cs.last ? i : cs.last;
            weight[at] = i <= cs.last ? cs.weight(i) : 0.0;
        }
    }
    const bool columnsOuter = t.filter == ResizeFilter::Y;
    // As for the enlarging filter: groups whose taps fit a window of eight.
    std::vector<int> windowStart(n / 4);
    for (std::size_t g = 0; g < windowStart.size(); ++g) {
        const int base = index[4 * g];
        const int top = index[static_cast<std::size_t>(taps - 1) * n + 4 * g + 3];
        const bool fits = top - base < 8 && static_cast<std::size_t>(base) + 8 <= width;
        windowStart[g] = fits ? base : -1;
    }
    const __m256d zero = _mm256_setzero_pd();

    _VORNRGBAQUAD* out = dst.getPixels();
    for (int y = 0; y < dst.getHeight(); ++y, out += dw) {
        const Span& rs = t.rows[static_cast<std::size_t>(y)];
        int x = 0;
        for (; x + 4 <= dw; x += 4) {
            GatedSums s{zero, zero, zero, zero, zero, zero};
            const int base = windowStart[static_cast<std::size_t>(x / 4)];
            if (columnsOuter) {
                const _VORNRGBAQUAD* upper =
                    src.getPixels() + static_cast<std::size_t>(rs.first) * width;
                const _VORNRGBAQUAD* lower =
                    src.getPixels() + static_cast<std::size_t>(rs.last) * width;
                const __m256i upperWindow = windowAt(upper, base);
                const __m256i lowerWindow = windowAt(lower, base);
                const __m256d wyFirst = _mm256_set1_pd(rs.weight(rs.first));
                const __m256d wyLast = _mm256_set1_pd(rs.lastWeight);
                for (int k = 0; k < taps; ++k) {
                    const __m256d wx =
                        _mm256_loadu_pd(&weight[static_cast<std::size_t>(k) * n + x]);
                    addGated(s,
                             gatedTap(upper, upperWindow, base,
                                      &index[static_cast<std::size_t>(k) * n + x]),
                             _mm256_mul_pd(wx, wyFirst));
                    if (rs.last > rs.first) {
                        addGated(s,
                                 gatedTap(lower, lowerWindow, base,
                                          &index[static_cast<std::size_t>(k) * n + x]),
                                 _mm256_mul_pd(wx, wyLast));
                    }
                }
            } else {
                for (int j = rs.first; j <= rs.last; ++j) {
                    const __m256d wy = _mm256_set1_pd(rs.weight(j));
                    const _VORNRGBAQUAD* row =
                        src.getPixels() + static_cast<std::size_t>(j) * width;
                    const __m256i window = windowAt(row, base);
                    for (int k = 0; k < taps; ++k) {
                        const __m256d wx =
                            _mm256_loadu_pd(&weight[static_cast<std::size_t>(k) * n + x]);
                        addGated(s,
                                 gatedTap(row, window, base,
                                          &index[static_cast<std::size_t>(k) * n + x]),
                                 _mm256_mul_pd(wx, wy));
                    }
                }
            }

            const __m256d clear = _mm256_cmp_pd(s.w, _mm256_set1_pd(kWeightFloor), _CMP_LT_OQ);
            __m256d unsettled = zero;
            const __m256d inverse = _mm256_div_pd(_mm256_set1_pd(1.0), s.w);
            __m128i r = settleBytes(_mm256_mul_pd(s.r, inverse), unsettled);
            __m128i g = settleBytes(_mm256_mul_pd(s.g, inverse), unsettled);
            __m128i b = settleBytes(_mm256_mul_pd(s.b, inverse), unsettled);
            __m128i a = _mm_set1_epi32(255);
            // gatedAlpha of each lane: the division is exact, as there.
            const __m256d partial = _mm256_cmp_pd(s.cover, s.whole, _CMP_LT_OQ);
            if (_mm256_movemask_pd(partial) != 0) {
                const __m128i mean = snapBytes(
                    _mm256_mul_pd(_mm256_div_pd(s.cover, s.whole), _mm256_set1_pd(255.0)));
                a = _mm_blendv_epi8(a, mean, mask32(partial));
            }
            unsettled = _mm256_andnot_pd(clear, unsettled);
            if (_mm256_movemask_pd(clear) != 0) {
                const __m128i clear32 = mask32(clear);
                r = _mm_blendv_epi8(r, snapBytes(s.r), clear32);
                g = _mm_blendv_epi8(g, snapBytes(s.g), clear32);
                b = _mm_blendv_epi8(b, snapBytes(s.b), clear32);
                a = _mm_andnot_si128(clear32, a);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packPixels(r, g, b, a));
            int redo = _mm256_movemask_pd(unsettled);
            if (redo != 0) {
                double lanes[6][4];
                _mm256_storeu_pd(lanes[0], s.r);
                _mm256_storeu_pd(lanes[1], s.g);
                _mm256_storeu_pd(lanes[2], s.b);
                _mm256_storeu_pd(lanes[3], s.w);
                _mm256_storeu_pd(lanes[4], s.whole);
                _mm256_storeu_pd(lanes[5], s.cover);
                while (redo != 0) {
                    const int lane = __builtin_ctz(static_cast<unsigned>(redo));
                    redo &= redo - 1;
                    finishGated(lanes[0][lane], lanes[1][lane], lanes[2][lane], lanes[3][lane],
                                lanes[4][lane], lanes[5][lane], out[x + lane]);
                }
            }
        }
        for (; x < dw; ++x) {
            gatedPixel(src, t.cols[static_cast<std::size_t>(x)], rs, columnsOuter, out[x]);
        }
    }
}

// ---------------------------------------------------------------------------
// Block averaging
// ---------------------------------------------------------------------------

// Column sums of one band, 16 bits per channel, in pixel order (blue,
// green, red, alpha per column). Clear pixels count as 0 in every channel.
// Returns false when some alpha in the band is neither 0 nor 255.
VORN_AVX2 bool sumBand(const _VORNRGBAQUAD* band, std::size_t width, int fy, std::uint16_t* sums) {
    __m256i odd = _mm256_setzero_si256();
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (int k = 0; k < fy; ++k) {
        const _VORNRGBAQUAD* row = band + static_cast<std::size_t>(k) * width;
        std::size_t i = 0;
        for (; i + 8 <= width; i += 8) {
            __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i));
            const __m256i a = _mm256_and_si256(px, alphaMask);
            const __m256i clear = _mm256_cmpeq_epi32(a, _mm256_setzero_si256());
            const __m256i full = _mm256_cmpeq_epi32(a, alphaMask);
            odd = _mm256_or_si256(
                odd, _mm256_andnot_si256(_mm256_or_si256(clear, full), _mm256_set1_epi32(-1)));
            px = _mm256_andnot_si256(clear, px);
            const __m256i lo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(px));
            const __m256i hi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(px, 1));
            __m256i* s = reinterpret_cast<__m256i*>(sums + i * 4);
            if (k == 0) {
                _mm256_storeu_si256(s, lo);
                _mm256_storeu_si256(s + 1, hi);
            } else {
                _mm256_storeu_si256(s, _mm256_add_epi16(_mm256_loadu_si256(s), lo));
                _mm256_storeu_si256(s + 1, _mm256_add_epi16(_mm256_loadu_si256(s + 1), hi));
            }
        }
        for (; i < width; ++i) {
            const _VORNRGBAQUAD p = row[i];
            const bool clear = p.alpha == 0;
            if (!clear && p.alpha != 255) {
                odd = _mm256_set1_epi32(-1);
            }
            const unsigned keep = clear ? 0u : 1u;
            const unsigned c[4] = {p.blue * keep, p.green * keep, p.red * keep, p.alpha};
            for (int ch = 0; ch < 4; ++ch) {
                sums[i * 4 + ch] =
                    static_cast<std::uint16_t>((k == 0 ? 0 : sums[i * 4 + ch]) + c[ch]);
            }
        }
    }
    return _mm256_testz_si256(odd, odd) != 0;
}

VORN_AVX2 inline bool blockIsWhole(const _VORNRGBAQUAD* block, std::size_t width, int fx, int fy) {
    for (int k = 0; k < fy; ++k) {
        const _VORNRGBAQUAD* p = block + static_cast<std::size_t>(k) * width;
        for (int i = 0; i < fx; ++i) {
            if (p[i].alpha != 0 && p[i].alpha != 255) {
                return false;
            }
        }
    }
    return true;
}

/// Unsigned 32-bit lanes as doubles.
VORN_AVX2 inline __m256d unsignedLanes(__m128i v) {
    const __m128i flipped = _mm_xor_si128(v, _mm_set1_epi32(INT_MIN));
    return _mm256_add_pd(_mm256_cvtepi32_pd(flipped), _mm256_set1_pd(2147483648.0));
}

/// s / d truncated, per lane, as 32-bit integers.
VORN_AVX2 inline __m128i wholeQuotient(__m256d s, __m256d d) {
    return _mm256_cvttpd_epi32(_mm256_div_pd(s, d));
}

/// Four blocks side by side, from destination column x, with any alphas:
/// the integer sums of getReducePixel (colour times alpha, and alpha) in
/// 32-bit lanes, which hold them for blocks below 66,052 pixels, divided
/// in double precision. The quotients are exact after truncation: one
/// below 256 that is not whole lies at least 1 / 2^24 from the next whole
/// number, far beyond the division's error (below 2^-44).
VORN_AVX2 inline __m128i reduceFourBlocks(const _VORNRGBAQUAD* band, std::size_t width, int x,
                                          int fx, int fy, __m256d count) {
    const __m128i first = _mm_mullo_epi32(
        _mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3)), _mm_set1_epi32(fx));
    const __m128i byte = _mm_set1_epi32(0xFF);
    __m128i r = _mm_setzero_si128();
    __m128i g = r;
    __m128i b = r;
    __m128i a = r;
    for (int i = 0; i < fx; ++i) {
        const __m128i column = _mm_add_epi32(first, _mm_set1_epi32(i));
        const _VORNRGBAQUAD* row = band;
        for (int k = 0; k < fy; ++k, row += width) {
            const __m128i px = gather(row, column);
            const __m128i alpha = _mm_srli_epi32(px, 24);
            r = _mm_add_epi32(r,
                              _mm_mullo_epi32(_mm_and_si128(_mm_srli_epi32(px, 16), byte), alpha));
            g = _mm_add_epi32(g,
                              _mm_mullo_epi32(_mm_and_si128(_mm_srli_epi32(px, 8), byte), alpha));
            b = _mm_add_epi32(b, _mm_mullo_epi32(_mm_and_si128(px, byte), alpha));
            a = _mm_add_epi32(a, alpha);
        }
    }
    // No alpha: the colour sums are 0 too, and 0 / 1 gives the colour 0.
    const __m256d weight = _mm256_max_pd(_mm256_cvtepi32_pd(a), _mm256_set1_pd(1.0));
    return packPixels(
        wholeQuotient(unsignedLanes(r), weight), wholeQuotient(unsignedLanes(g), weight),
        wholeQuotient(unsignedLanes(b), weight), wholeQuotient(_mm256_cvtepi32_pd(a), count));
}

} // namespace

VORN_AVX2 bool reduceBlocksAvx2(const VornBuffer& src, VornBuffer& dst, int fx, int fy) {
    const long long count = static_cast<long long>(fx) * fy;
    // Column sums must fit 16 bits, block sums a float's 24-bit mantissa.
    if (255LL * fy > 65535 || 255LL * count >= (1LL << 24)) {
        return false;
    }
    const std::size_t width = static_cast<std::size_t>(src.getWidth());
    const int dw = dst.getWidth();
    std::vector<std::uint16_t> sums(width * 4);
    const __m256d countD = _mm256_set1_pd(static_cast<double>(count));
    const __m128 everyPixel = _mm_set1_ps(static_cast<float>(count)); // opaque blocks
    const int wholeAlpha = static_cast<int>(255 * count);
    _VORNRGBAQUAD* out = dst.getPixels();
    for (int y = 0; y < dst.getHeight(); ++y, out += dw) {
        const _VORNRGBAQUAD* band =
            src.getPixels() + static_cast<std::size_t>(y) * static_cast<std::size_t>(fy) * width;
        const bool whole = sumBand(band, width, fy, sums.data());
        int x = 0;
        if (!whole) {
            // Other alphas somewhere in the band: its blocks four at a time.
            for (; x + 4 <= dw; x += 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                                 reduceFourBlocks(band, width, x, fx, fy, countD));
            }
        }
        for (; x < dw; ++x) {
            const _VORNRGBAQUAD* block = band + static_cast<std::size_t>(x) * fx;
            if (!whole && !blockIsWhole(block, width, fx, fy)) {
                reduceBlockExact(block, width, fx, fy, out[x]);
                continue;
            }
            const std::uint16_t* s = sums.data() + static_cast<std::size_t>(x) * fx * 4;
            __m128i total = _mm_setzero_si128();
            for (int i = 0; i < fx; ++i, s += 4) {
                total = _mm_add_epi32(total, _mm_cvtepu16_epi32(_mm_loadl_epi64(
                                                 reinterpret_cast<const __m128i*>(s))));
            }
            // Alphas 0 and 255 only: the alpha-weighted colour mean is the
            // plain mean over the opaque pixels (clear ones summed as 0),
            // of which there are alpha sum / 255; none leaves colour 0.
            const int alphas = _mm_extract_epi32(total, 3);
            const float colours = static_cast<float>(alphas > 255 ? alphas / 255 : 1);
            const __m128 n = alphas == wholeAlpha ? everyPixel
                                                  : _mm_setr_ps(colours, colours, colours,
                                                                static_cast<float>(count));
            const __m128i q = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(total), n));
            const __m128i words16 = _mm_packus_epi32(q, q);
            const __m128i packed = _mm_packus_epi16(words16, words16);
            out[x] = fromWord(static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed)));
        }
    }
    return true;
}

VORN_AVX2 bool resampleRowsAvx2(const VornBuffer& src, VornBuffer& dst, const ResampleTables& t,
                                double sx, double sy) {
    // Every footprint must exist for the lanes; resize's never miss.
    for (const Span& s : t.cols) {
        if (s.last < s.first) {
            return false;
        }
    }
    for (const Span& s : t.rows) {
        if (s.last < s.first) {
            return false;
        }
    }
    if (t.filter == ResizeFilter::Enlarge) {
        enlargeRowsAvx2(src, dst, t, sx, sy);
    } else {
        gatedRowsAvx2(src, dst, t);
    }
    return true;
}

namespace {

/// roundHalfAway of each lane.
VORN_AVX2 inline __m256d roundLanes(__m256d v) {
    const __m256d t = _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d rest = _mm256_sub_pd(v, t);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d up = _mm256_and_pd(_mm256_cmp_pd(rest, _mm256_set1_pd(0.5), _CMP_GE_OQ), one);
    const __m256d down = _mm256_and_pd(_mm256_cmp_pd(rest, _mm256_set1_pd(-0.5), _CMP_LE_OQ), one);
    return _mm256_sub_pd(_mm256_add_pd(t, up), down);
}

inline long long centre(long long n) {
    return (n + 1) / 2 - 1;
}

} // namespace

VORN_AVX2 bool rotatePixelsAvx2(const VornBuffer& src, VornBuffer& dst, const RotationPlan& plan) {
    const long long w = src.getWidth();
    const long long h = src.getHeight();
    // The lanes hold positions as 32-bit integers, which the shears of
    // sides up to 2^20 never leave.
    if (w > (1 << 20) || h > (1 << 20)) {
        return false;
    }
    const int dw = dst.getWidth();
    const int dh = dst.getHeight();
    // A shift is at most the result's size, so the shifted centres fit an
    // int.
    const long long centreCol = centre(dw) + plan.shiftX;
    const long long centreRow = centre(dh) + plan.shiftY;
    const __m128i centreX = _mm_set1_epi32(static_cast<int>(centreCol));
    const __m128i centreY = _mm_set1_epi32(static_cast<int>(centreRow));
    const __m128i limitX = _mm_set1_epi32(dw);
    const __m128i limitY = _mm_set1_epi32(dh);
    const __m128i stride = _mm_set1_epi32(dw);
    const __m256d t = _mm256_set1_pd(plan.t);
    const __m256d s = _mm256_set1_pd(plan.s);
    const __m256d steps = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    // Pixels move as bytes: a caller's block may start at any address.
    const _VORNRGBAQUAD* first = src.getPixels();
    _VORNRGBAQUAD* out = dst.getPixels();
    const long long xStart = w - centre(w) - 1;
    for (long long y = 0; y < h; ++y) {
        const double rowY = static_cast<double>(h - y - centre(h) - 1);
        const __m256d Y = _mm256_set1_pd(rowY);
        const __m256d yt = _mm256_mul_pd(Y, t);
        long long x = 0;
        for (; x + 4 <= w; x += 4) {
            const __m256d X = _mm256_sub_pd(_mm256_set1_pd(static_cast<double>(xStart - x)), steps);
            const __m256d x1 = roundLanes(_mm256_sub_pd(X, yt));
            const __m256d y2 = roundLanes(_mm256_add_pd(_mm256_mul_pd(x1, s), Y));
            const __m256d x3 = roundLanes(_mm256_sub_pd(x1, _mm256_mul_pd(y2, t)));
            const __m128i col = _mm_sub_epi32(centreX, _mm256_cvttpd_epi32(x3));
            const __m128i row = _mm_sub_epi32(centreY, _mm256_cvttpd_epi32(y2));
            const __m128i inside = _mm_and_si128(
                _mm_andnot_si128(_mm_or_si128(_mm_srai_epi32(col, 31), _mm_srai_epi32(row, 31)),
                                 _mm_cmpgt_epi32(limitX, col)),
                _mm_cmpgt_epi32(limitY, row));
            int mask = _mm_movemask_ps(_mm_castsi128_ps(inside));
            if (mask == 0) {
                continue;
            }
            std::int32_t at[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                             _mm_add_epi32(_mm_mullo_epi32(row, stride), col));
            const std::size_t n = static_cast<std::size_t>(y * w + x);
            while (mask != 0) {
                const int lane = __builtin_ctz(static_cast<unsigned>(mask));
                mask &= mask - 1;
                const std::size_t from = plan.halfTurn ? count - 1 - (n + lane) : n + lane;
                std::memcpy(out + at[lane], first + from, sizeof(_VORNRGBAQUAD));
            }
        }
        // The last pixels of the row one by one, as the portable variant.
        for (; x < w; ++x) {
            const double X = static_cast<double>(xStart - x);
            const double x1 = roundHalfAway(X - rowY * plan.t);
            const double y2 = roundHalfAway(x1 * plan.s + rowY);
            const double x3 = roundHalfAway(x1 - y2 * plan.t);
            const long long c = centreCol - static_cast<long long>(x3);
            const long long r = centreRow - static_cast<long long>(y2);
            if (c >= 0 && c < dw && r >= 0 && r < dh) {
                const std::size_t n = static_cast<std::size_t>(y * w + x);
                std::memcpy(out + r * dw + c, first + (plan.halfTurn ? count - 1 - n : n),
                            sizeof(_VORNRGBAQUAD));
            }
        }
    }
    return true;
}

#else

bool reduceBlocksAvx2(const VornBuffer&, VornBuffer&, int, int) {
    return false;
}

bool resampleRowsAvx2(const VornBuffer&, VornBuffer&, const ResampleTables&, double, double) {
    return false;
}

bool rotatePixelsAvx2(const VornBuffer&, VornBuffer&, const RotationPlan&) {
    return false;
}

#endif

} // namespace vorn::detail
