// SPDX-License-Identifier: MIT
// The transform subsystem's AVX2 kernels, compiled with AVX2. Each gives
// exactly the bytes of the plain members:
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
// - the integer resampling (resize_dyadic.cpp) sums eight columns at a
//   time in 16-bit lanes;
// - rotation shears four pixels at once with exact rounding;
// - the mesh warp inverts the map and samples four columns at once.

#include "transform/resize_dyadic_loops.h"
#include "transform/transform_kernels.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <immintrin.h>

namespace vorn::detail {

namespace {

// ---------------------------------------------------------------------------
// Lanes of pixels and doubles
// ---------------------------------------------------------------------------

// One channel of four pixels as doubles (byte `c` of each 32-bit lane).
inline __m256d channelOf(__m128i px, int c) {
    const char z = -1; // pshufb zeroes a byte whose selector is negative
    const __m128i select =
        _mm_setr_epi8(static_cast<char>(c), z, z, z, static_cast<char>(c + 4), z, z, z,
                      static_cast<char>(c + 8), z, z, z, static_cast<char>(c + 12), z, z, z);
    return _mm256_cvtepi32_pd(_mm_shuffle_epi8(px, select));
}
inline __m256d blueOf(__m128i px) {
    return channelOf(px, 0);
}
inline __m256d greenOf(__m128i px) {
    return channelOf(px, 1);
}
inline __m256d redOf(__m128i px) {
    return channelOf(px, 2);
}
inline __m256d alphaOf(__m128i px) {
    return _mm256_cvtepi32_pd(_mm_srli_epi32(px, 24));
}

/// Four pixels picked from a window of eight by indices relative to it.
inline __m128i pick(__m256i window, __m128i relative) {
    return _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(window, _mm256_castsi128_si256(relative)));
}

inline __m128i gather(const _VORNRGBAQUAD* row, __m128i index) {
    return _mm_i32gather_epi32(reinterpret_cast<const int*>(row), index, 4);
}

/// snapToByte of each lane, exactly as the scalar helper.
inline __m128i snapBytes(__m256d v) {
    __m256d z = _mm256_add_pd(v, _mm256_set1_pd(kByteSnap));
    z = _mm256_max_pd(z, _mm256_setzero_pd()); // NaN gives 0
    z = _mm256_min_pd(z, _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(z);
}

/// settleByte of each lane: the byte where the approximation decides it;
/// lanes where it does not are added to `unsettled`. The approximations
/// here lie in 0..256 (weighted means of bytes, alpha shares of at most
/// one); NaN has no remainder within the margin and comes back unsettled.
inline __m128i settleBytes(__m256d approx, __m256d& unsettled) {
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
inline __m128i mask32(__m256d m) {
    const __m256i low = _mm256_permutevar8x32_epi32(_mm256_castpd_si256(m),
                                                    _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
    return _mm256_castsi256_si128(low);
}

inline __m128i packPixels(__m128i r, __m128i g, __m128i b, __m128i a) {
    return _mm_or_si128(_mm_or_si128(b, _mm_slli_epi32(g, 8)),
                        _mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(a, 24)));
}

/// The plain member for the lanes of `mask` (bit k: column x + k).
void exactLanes(const ResampleJob& job, int mask, _VORNRGBAQUAD* out, int x, int y) {
    for (int lane = 0; lane < 4; ++lane) {
        if (mask & (1 << lane)) {
            job.exactPixel(*job.source, out + x + lane, x + lane, y, job.sx, job.sy);
        }
    }
}

// ---------------------------------------------------------------------------
// Enlarging filter
// ---------------------------------------------------------------------------

// c[0] * w[0] + c[1] * w[1] + c[2] * w[2] + c[3] * w[3], added in that order.
inline __m256d tapSum(const __m256d* c, const __m256d* w) {
    __m256d s = _mm256_mul_pd(c[0], w[0]);
    for (int k = 1; k < 4; ++k) {
        s = _mm256_add_pd(s, _mm256_mul_pd(c[k], w[k]));
    }
    return s;
}

void enlargeRowsAvx2(const ResampleJob& job) {
    const int dw = job.dw;
    const std::size_t width = static_cast<std::size_t>(job.sw);
    // Tap 0 of every column, then tap 1 (the edge pixel again beyond the
    // edge).
    const int* i0 = job.index;
    const int* i1 = job.index + dw;
    const double* wx0 = job.weight;
    const double* wx1 = job.weight + dw;
    const int* windowStart = job.windowStart;
    const __m256d inv255 = _mm256_set1_pd(1.0 / 255.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d opaque = _mm256_set1_pd(255.0);
    const __m256d floorLow = _mm256_set1_pd(kWeightFloor * (1.0 - kSettleMargin));
    const __m256d floorHigh = _mm256_set1_pd(kWeightFloor * (1.0 + kSettleMargin));
    const __m256d nearOne = _mm256_set1_pd(1e-13);

    _VORNRGBAQUAD* out = job.dst;
    for (int y = 0; y < job.dh; ++y, out += dw) {
        const Span& rs = job.rows[y];
        const _VORNRGBAQUAD* row0 = job.src + static_cast<std::size_t>(rs.first) * width;
        const _VORNRGBAQUAD* row1 = job.src + static_cast<std::size_t>(rs.last) * width;
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
            const int base = windowStart[x / 4];
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
            exactLanes(job, _mm256_movemask_pd(unsettled), out, x, y);
        }
        for (; x < dw; ++x) {
            job.exactPixel(*job.source, out + x, x, y, job.sx, job.sy);
        }
    }
}

// ---------------------------------------------------------------------------
// Gated filters
// ---------------------------------------------------------------------------

struct GatedSums {
    __m256d r, g, b, w, whole, cover;
};

inline void addGated(GatedSums& s, __m128i px, __m256d weight, const double* opacities) {
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
    const __m256d opacity = _mm256_mask_i32gather_pd(
        _mm256_setzero_pd(), opacities, alpha32, _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), 8);
    s.cover = _mm256_add_pd(s.cover, _mm256_mul_pd(opacity, weight));
}

/// The eight pixels from `base` on, or nothing when the group gathers.
inline __m256i windowAt(const _VORNRGBAQUAD* row, int base) {
    if (base < 0) {
        return _mm256_setzero_si256();
    }
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base));
}

/// Four taps of a row at the given indices, from the window or gathered.
inline __m128i gatedTap(const _VORNRGBAQUAD* row, __m256i window, int base, const int* index) {
    const __m128i vi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(index));
    if (base >= 0) {
        return pick(window, _mm_sub_epi32(vi, _mm_set1_epi32(base)));
    }
    return gather(row, vi);
}

// The weight of row k of a span (as spanWeight).
inline double rowWeight(const Span& s, int k) {
    if (k == s.last) {
        return s.lastWeight;
    }
    return k == s.first ? s.firstWeight : 1.0;
}

void gatedRowsAvx2(const ResampleJob& job) {
    const int dw = job.dw;
    const std::size_t width = static_cast<std::size_t>(job.sw);
    const std::size_t n = static_cast<std::size_t>(dw);
    const int taps = job.taps;
    const int* index = job.index;
    const double* weight = job.weight;
    const int* windowStart = job.windowStart;
    const bool columnsOuter = job.filter == ResizeFilter::Y;
    const __m256d zero = _mm256_setzero_pd();

    _VORNRGBAQUAD* out = job.dst;
    for (int y = 0; y < job.dh; ++y, out += dw) {
        const Span& rs = job.rows[y];
        int x = 0;
        for (; x + 4 <= dw; x += 4) {
            GatedSums s{zero, zero, zero, zero, zero, zero};
            const int base = windowStart[x / 4];
            if (columnsOuter) {
                const _VORNRGBAQUAD* upper = job.src + static_cast<std::size_t>(rs.first) * width;
                const _VORNRGBAQUAD* lower = job.src + static_cast<std::size_t>(rs.last) * width;
                const __m256i upperWindow = windowAt(upper, base);
                const __m256i lowerWindow = windowAt(lower, base);
                const __m256d wyFirst = _mm256_set1_pd(rowWeight(rs, rs.first));
                const __m256d wyLast = _mm256_set1_pd(rs.lastWeight);
                for (int k = 0; k < taps; ++k) {
                    const __m256d wx =
                        _mm256_loadu_pd(&weight[static_cast<std::size_t>(k) * n + x]);
                    addGated(s,
                             gatedTap(upper, upperWindow, base,
                                      &index[static_cast<std::size_t>(k) * n + x]),
                             _mm256_mul_pd(wx, wyFirst), job.opacity);
                    if (rs.last > rs.first) {
                        addGated(s,
                                 gatedTap(lower, lowerWindow, base,
                                          &index[static_cast<std::size_t>(k) * n + x]),
                                 _mm256_mul_pd(wx, wyLast), job.opacity);
                    }
                }
            } else {
                for (int j = rs.first; j <= rs.last; ++j) {
                    const __m256d wy = _mm256_set1_pd(rowWeight(rs, j));
                    const _VORNRGBAQUAD* row = job.src + static_cast<std::size_t>(j) * width;
                    const __m256i window = windowAt(row, base);
                    for (int k = 0; k < taps; ++k) {
                        const __m256d wx =
                            _mm256_loadu_pd(&weight[static_cast<std::size_t>(k) * n + x]);
                        addGated(s,
                                 gatedTap(row, window, base,
                                          &index[static_cast<std::size_t>(k) * n + x]),
                                 _mm256_mul_pd(wx, wy), job.opacity);
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
            exactLanes(job, _mm256_movemask_pd(unsettled), out, x, y);
        }
        for (; x < dw; ++x) {
            job.exactPixel(*job.source, out + x, x, y, job.sx, job.sy);
        }
    }
}

// ---------------------------------------------------------------------------
// Block averaging
// ---------------------------------------------------------------------------

// Column sums of one band, 16 bits per channel, in pixel order (blue,
// green, red, alpha per column). Clear pixels count as 0 in every channel.
// Returns false when some alpha in the band is neither 0 nor 255.
bool sumBand(const _VORNRGBAQUAD* band, std::size_t width, int fy, std::uint16_t* sums) {
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

inline bool blockIsWhole(const _VORNRGBAQUAD* block, std::size_t width, int fx, int fy) {
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
inline __m256d unsignedLanes(__m128i v) {
    const __m128i flipped = _mm_xor_si128(v, _mm_set1_epi32(INT_MIN));
    return _mm256_add_pd(_mm256_cvtepi32_pd(flipped), _mm256_set1_pd(2147483648.0));
}

/// s / d truncated, per lane, as 32-bit integers.
inline __m128i wholeQuotient(__m256d s, __m256d d) {
    return _mm256_cvttpd_epi32(_mm256_div_pd(s, d));
}

/// Four blocks side by side, from destination column x, with any alphas:
/// the integer sums of getReducePixel (colour times alpha, and alpha) in
/// 32-bit lanes, which hold them for blocks below 66,052 pixels, divided
/// in double precision. The quotients are exact after truncation: one
/// below 256 that is not whole lies at least 1 / 2^24 from the next whole
/// number, far beyond the division's error (below 2^-44).
inline __m128i reduceFourBlocks(const _VORNRGBAQUAD* band, std::size_t width, int x, int fx, int fy,
                                __m256d count) {
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

void blockRowsAvx2(const BlockJob& job) {
    const int fx = job.fx;
    const int fy = job.fy;
    const long long count = static_cast<long long>(fx) * fy;
    // Column sums must fit 16 bits, block sums a float's 24-bit mantissa.
    if (255LL * fy > 65535 || 255LL * count >= (1LL << 24)) {
        blockRowsPortable(job);
        return;
    }
    const std::size_t width = job.width;
    const int dw = job.dw;
    std::uint16_t* sums = job.scratch;
    const __m256d countD = _mm256_set1_pd(static_cast<double>(count));
    const __m128 everyPixel = _mm_set1_ps(static_cast<float>(count)); // opaque blocks
    const int wholeAlpha = static_cast<int>(255 * count);
    _VORNRGBAQUAD* out = job.dst;
    for (int y = 0; y < job.dh; ++y, out += dw) {
        const _VORNRGBAQUAD* band =
            job.src + static_cast<std::size_t>(y) * static_cast<std::size_t>(fy) * width;
        const bool whole = sumBand(band, width, fy, sums);
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
            const std::uint16_t* s = sums + static_cast<std::size_t>(x) * fx * 4;
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
            const std::uint32_t word = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
            std::memcpy(out + x, &word, 4);
        }
    }
}

void resampleRowsAvx2(const ResampleJob& job) {
    // Every footprint must exist for the lanes; resize's never miss.
    for (int x = 0; x < job.dw; ++x) {
        if (job.cols[x].last < job.cols[x].first) {
            resampleRowsPortable(job);
            return;
        }
    }
    for (int y = 0; y < job.dh; ++y) {
        if (job.rows[y].last < job.rows[y].first) {
            resampleRowsPortable(job);
            return;
        }
    }
    if (job.filter == ResizeFilter::Enlarge) {
        enlargeRowsAvx2(job);
    } else {
        gatedRowsAvx2(job);
    }
}

/// roundHalfAway of each lane.
inline __m256d roundLanes(__m256d v) {
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

/// Rounds half away from zero, as roundHalfAway in transform.h.
inline double roundOne(double v) {
    const double t = static_cast<double>(static_cast<long long>(v));
    const double rest = v - t;
    if (rest >= 0.5) {
        return t + 1.0;
    }
    if (rest <= -0.5) {
        return t - 1.0;
    }
    return t;
}

void rotatePixelsAvx2(const RotationJob& job) {
    const long long w = job.w;
    const long long h = job.h;
    // The lanes hold positions as 32-bit integers, which the shears of
    // sides up to 2^20 never leave.
    if (w > (1 << 20) || h > (1 << 20)) {
        rotatePixelsPortable(job);
        return;
    }
    const RotationPlan& plan = job.plan;
    const int dw = static_cast<int>(job.dw);
    const int dh = static_cast<int>(job.dh);
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
    const _VORNRGBAQUAD* first = job.src;
    _VORNRGBAQUAD* out = job.dst;
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
            const int mask = _mm_movemask_ps(_mm_castsi128_ps(inside));
            if (mask == 0) {
                continue;
            }
            std::int32_t at[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                             _mm_add_epi32(_mm_mullo_epi32(row, stride), col));
            const std::size_t n = static_cast<std::size_t>(y * w + x);
            for (int lane = 0; lane < 4; ++lane) {
                if (mask & (1 << lane)) {
                    const std::size_t from = plan.halfTurn ? count - 1 - (n + lane) : n + lane;
                    std::memcpy(out + at[lane], first + from, sizeof(_VORNRGBAQUAD));
                }
            }
        }
        // The last pixels of the row one by one, as the portable variant.
        for (; x < w; ++x) {
            const double X = static_cast<double>(xStart - x);
            const double x1 = roundOne(X - rowY * plan.t);
            const double y2 = roundOne(x1 * plan.s + rowY);
            const double x3 = roundOne(x1 - y2 * plan.t);
            const long long c = centreCol - static_cast<long long>(x3);
            const long long r = centreRow - static_cast<long long>(y2);
            if (c >= 0 && c < dw && r >= 0 && r < dh) {
                const std::size_t n = static_cast<std::size_t>(y * w + x);
                std::memcpy(out + r * dw + c, first + (plan.halfTurn ? count - 1 - n : n),
                            sizeof(_VORNRGBAQUAD));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Integer resampling (resize_dyadic.cpp), eight destination columns at a
// time: across, the taps come from a window of eight source pixels (or a
// gather) and their channels are summed as 16-bit lanes, pixel by pixel;
// down, the rows' sums are added in 16-bit lanes and divided through
// single-precision reciprocals as in resize_dyadic_loops.h.
// ---------------------------------------------------------------------------

/// Eight 32-bit lanes holding two columns' four channels each (column 2i
/// in the low half, 2i + 1 in the high half), i = 0..3, into eight pixels
/// in column order.
__m256i packColumns(__m256i q0, __m256i q1, __m256i q2, __m256i q3) {
    const __m256i bytes =
        _mm256_packus_epi16(_mm256_packus_epi32(q0, q1), _mm256_packus_epi32(q2, q3));
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

/// Eight values, one per column, each over the four lanes of its column as
/// packColumns lays them out (pair i).
__m256 spreadPair(__m256 v, int i) {
    return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(2 * i, 2 * i, 2 * i, 2 * i, 2 * i + 1,
                                                         2 * i + 1, 2 * i + 1, 2 * i + 1));
}

/// The 16-bit sums of columns 4i..4i + 3 (i = 0, 1) as 32-bit lanes of
/// column pairs 2i and 2i + 1.
void widenPairs(__m256i sums, __m256i& first, __m256i& second) {
    first = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(sums));
    second = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(sums, 1));
}

/// floor(s / d) per lane for s < 2^20 from a biased reciprocal.
__m256i floorSmall8(__m256i s, __m256 inverse) {
    return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(s), inverse));
}

/// The biased reciprocal of each lane (d >= 1).
__m256 biasedInverse8(__m256i d) {
    return _mm256_mul_ps(_mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(d)),
                         _mm256_set1_ps(1.0f + 0x1p-21f));
}

/// floor(s / d) per lane for s < 2^28 and 1 <= d < 2^24, from the plain
/// reciprocal, corrected one step each way.
__m256i floorDivide8(__m256i s, __m256i d) {
    const __m256 inverse = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(d));
    __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(s), inverse));
    q = _mm256_add_epi32(q, _mm256_cmpgt_epi32(_mm256_mullo_epi32(q, d), s));
    const __m256i next = _mm256_add_epi32(q, _mm256_set1_epi32(1));
    const __m256i over = _mm256_cmpgt_epi32(_mm256_mullo_epi32(next, d), s);
    return _mm256_sub_epi32(next, _mm256_and_si256(over, _mm256_set1_epi32(1)));
}

// One loop per kind of sums, so that no test is left inside it.
template <bool gated, bool all>
bool acrossAvx2(const _VORNRGBAQUAD* row, const DyadicAxis& cols, const DyadicSums& out) {
    const DyadicFilter filter = gated ? DyadicFilter::Gated : DyadicFilter::Enlarge;
    const std::size_t n = static_cast<std::size_t>(cols.n);
    const int* pixels = reinterpret_cast<const int*>(row);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i byte = _mm256_set1_epi32(0xFF);
    __m256i alphas = _mm256_set1_epi32(-1);
    std::size_t x = 0;
    for (; x + 8 <= n; x += 8) {
        // The taps from a window of eight or sixteen pixels, else gathered.
        const int start = cols.window[x / 8];
        const int base = start >= 0 ? start : -2 - start;
        const bool wide16 = start < -1;
        const __m256i window =
            start != -1 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base)) : zero;
        const __m256i upper =
            wide16 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base + 8)) : zero;
        _mm_prefetch(reinterpret_cast<const char*>(row + base + 64), _MM_HINT_T0);
        __m256i lo = zero; // columns x..x + 3, four 16-bit channels each
        __m256i hi = zero; // columns x + 4..x + 7
        __m256i wide[3] = {zero, zero, zero};
        __m256i gates = zero;
        for (int k = 0; k < cols.taps; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * n + x;
            const __m256i index =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols.index + at));
            __m256i px;
            if (start == -1) {
                px = _mm256_i32gather_epi32(pixels, index, 4);
            } else {
                const __m256i at8 = _mm256_sub_epi32(index, _mm256_set1_epi32(base));
                px = _mm256_permutevar8x32_epi32(window, at8);
                if (wide16) {
                    px = _mm256_blendv_epi8(px, _mm256_permutevar8x32_epi32(upper, at8),
                                            _mm256_cmpgt_epi32(at8, _mm256_set1_epi32(7)));
                }
            }
            alphas = _mm256_and_si256(alphas, px);
            const __m256i clear = _mm256_cmpeq_epi32(_mm256_srli_epi32(px, 24), zero);
            if constexpr (gated) {
                px = _mm256_andnot_si256(clear, px);
            }
            const __m256i* spread = reinterpret_cast<const __m256i*>(cols.spread + 4 * at);
            const __m256i wLo = _mm256_loadu_si256(spread);
            const __m256i wHi = _mm256_loadu_si256(spread + 1);
            lo = _mm256_add_epi16(
                lo, _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(px)), wLo));
            hi = _mm256_add_epi16(
                hi, _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(px, 1)), wHi));
            if constexpr (!all) {
                continue;
            } else if (gated) {
                const __m256i w =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols.weight + at));
                gates = _mm256_add_epi32(gates, _mm256_andnot_si256(clear, w));
                continue;
            }
            // Colour times alpha times weight, one channel per register.
            const __m256i w =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols.weight + at));
            const __m256i wa = _mm256_mullo_epi32(w, _mm256_srli_epi32(px, 24));
            for (int c = 0; c < 3; ++c) {
                const __m256i channel = _mm256_and_si256(_mm256_srli_epi32(px, 8 * c), byte);
                wide[c] = _mm256_add_epi32(wide[c], _mm256_mullo_epi32(wa, channel));
            }
        }
        __m256i* plain = reinterpret_cast<__m256i*>(out.plain + 4 * x);
        _mm256_storeu_si256(plain, lo);
        _mm256_storeu_si256(plain + 1, hi);
        if constexpr (all && gated) {
            const __m256i packed =
                _mm256_permute4x64_epi64(_mm256_packus_epi32(gates, gates), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out.gate + x),
                             _mm256_castsi256_si128(packed));
        } else if constexpr (all) {
            for (int c = 0; c < 3; ++c) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.weighted + c * n + x), wide[c]);
            }
        }
    }
    const bool opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_srli_epi32(alphas, 24),
                                                                _mm256_set1_epi32(255))) == -1;
    const bool rest = dyadic_loops::across(row, cols, filter, all, out, x);
    return opaque && rest;
}

bool dyadicAcrossAvx2(const _VORNRGBAQUAD* row, const DyadicAxis& cols, DyadicFilter filter,
                      bool all, const DyadicSums& out) {
    if (filter == DyadicFilter::Gated) {
        return all ? acrossAvx2<true, true>(row, cols, out)
                   : acrossAvx2<true, false>(row, cols, out);
    }
    return all ? acrossAvx2<false, true>(row, cols, out) : acrossAvx2<false, false>(row, cols, out);
}

template <bool enlarge, bool opaque>
void downAvx2(const DyadicRow& row, const DyadicAxis& cols, _VORNRGBAQUAD* out) {
    const std::size_t n = static_cast<std::size_t>(cols.n);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    const __m128i shift = _mm_cvtsi32_si128(row.shift);
    std::size_t x = 0;
    for (; x + 8 <= n; x += 8) {
        __m256i lo = zero;
        __m256i hi = zero;
        for (int k = 0; k < row.taps; ++k) {
            const __m256i w = _mm256_set1_epi16(static_cast<short>(row.weights[k]));
            const __m256i* plain = reinterpret_cast<const __m256i*>(row.sums[k].plain + 4 * x);
            lo = _mm256_add_epi16(lo, _mm256_mullo_epi16(_mm256_loadu_si256(plain), w));
            hi = _mm256_add_epi16(hi, _mm256_mullo_epi16(_mm256_loadu_si256(plain + 1), w));
        }
        __m256i words;
        if constexpr (enlarge) {
            // Alpha is sum(a W) / 2^shift everywhere; so is the colour where
            // every tap is opaque or none has alpha.
            words = _mm256_permute4x64_epi64(
                _mm256_packus_epi16(_mm256_srl_epi16(lo, shift), _mm256_srl_epi16(hi, shift)),
                0xD8);
            if constexpr (!opaque) {
                __m256i p[3] = {zero, zero, zero};
                for (int k = 0; k < row.taps; ++k) {
                    const __m256i w = _mm256_set1_epi32(row.weights[k]);
                    for (int c = 0; c < 3; ++c) {
                        const __m256i v = _mm256_loadu_si256(
                            reinterpret_cast<const __m256i*>(row.sums[k].weighted + c * n + x));
                        p[c] = _mm256_add_epi32(p[c], _mm256_mullo_epi32(v, w));
                    }
                }
                // Each column's sum(a W), the alpha lane of the plain sums.
                const __m256i d = _mm256_permute4x64_epi64(
                    _mm256_packus_epi32(_mm256_srli_epi64(lo, 48), _mm256_srli_epi64(hi, 48)),
                    0xD8);
                const __m256i safe = _mm256_max_epu32(d, one);
                __m256i q[3];
                if (row.shift <= 4) {
                    const __m256 inverse = biasedInverse8(safe);
                    for (int c = 0; c < 3; ++c) {
                        q[c] = floorSmall8(p[c], inverse);
                    }
                } else {
                    for (int c = 0; c < 3; ++c) {
                        q[c] = floorDivide8(p[c], safe);
                    }
                }
                const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
                const __m256i colour = _mm256_or_si256(
                    _mm256_or_si256(q[0], _mm256_slli_epi32(q[1], 8)),
                    _mm256_or_si256(_mm256_slli_epi32(q[2], 16), _mm256_and_si256(alpha, words)));
                // Where no tap has alpha, the plain interpolation stays.
                const __m256i keep = _mm256_cmpeq_epi32(d, zero);
                words = _mm256_blendv_epi8(colour, words, keep);
            }
        } else {
            __m256i s[4];
            widenPairs(lo, s[0], s[1]);
            widenPairs(hi, s[2], s[3]);
            const __m256 whole = _mm256_loadu_ps(row.inverse + x);
            __m256i q[4];
            if constexpr (opaque) {
                for (int i = 0; i < 4; ++i) {
                    q[i] = floorSmall8(s[i], spreadPair(whole, i));
                }
                words = packColumns(q[0], q[1], q[2], q[3]);
            } else {
                __m256i gate = zero;
                for (int k = 0; k < row.taps; ++k) {
                    const __m256i g = _mm256_cvtepu16_epi32(
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.sums[k].gate + x)));
                    gate = _mm256_add_epi32(
                        gate, _mm256_mullo_epi32(g, _mm256_set1_epi32(row.weights[k])));
                }
                const __m256i none = _mm256_cmpeq_epi32(gate, zero);
                const __m256 inverse = biasedInverse8(_mm256_max_epu32(gate, one));
                for (int i = 0; i < 4; ++i) {
                    // Colour by the weight of the pixels with alpha, alpha
                    // by the whole footprint.
                    const __m256 by =
                        _mm256_blend_ps(spreadPair(inverse, i), spreadPair(whole, i), 0x88);
                    q[i] = floorSmall8(s[i], by);
                }
                // No pixel with alpha: transparent black.
                words = _mm256_andnot_si256(none, packColumns(q[0], q[1], q[2], q[3]));
            }
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), words);
    }
    dyadic_loops::down(row, cols, out, x);
}

void dyadicDownAvx2(const DyadicRow& row, const DyadicAxis& cols, _VORNRGBAQUAD* out) {
    if (row.filter == DyadicFilter::Enlarge) {
        row.opaque ? downAvx2<true, true>(row, cols, out) : downAvx2<true, false>(row, cols, out);
    } else {
        row.opaque ? downAvx2<false, true>(row, cols, out) : downAvx2<false, false>(row, cols, out);
    }
}

// ---------------------------------------------------------------------------
// Mesh warp, a cell whose map has e and f both non-zero: four destination
// columns of a row side by side, with the plain member's operations in the
// same order in every lane (the IEEE operations give the same bits in a
// lane as alone, square roots and divisions included).
// ---------------------------------------------------------------------------

constexpr double kUnitSlackLanes = 1e-9; // as kUnitSlack in warp.cpp

__m256d inUnit4(__m256d t) {
    return _mm256_and_pd(_mm256_cmp_pd(t, _mm256_set1_pd(-kUnitSlackLanes), _CMP_GE_OQ),
                         _mm256_cmp_pd(t, _mm256_set1_pd(1.0 + kUnitSlackLanes), _CMP_LE_OQ));
}

/// How far outside 0..1 (infinite for NaN), as `outside` in warp.cpp.
__m256d offUnit4(__m256d t) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0);
    __m256d off =
        _mm256_blendv_pd(zero, _mm256_sub_pd(zero, t), _mm256_cmp_pd(t, zero, _CMP_LT_OQ));
    off = _mm256_blendv_pd(off, _mm256_sub_pd(t, one), _mm256_cmp_pd(t, one, _CMP_GT_OQ));
    return _mm256_blendv_pd(off, _mm256_set1_pd(HUGE_VAL), _mm256_cmp_pd(t, t, _CMP_UNORD_Q));
}

__m256d absolute4(__m256d v) {
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
}

/// The inverse of a cell's map for four points, case by case as invertMap
/// in warp.cpp.
class InverseMap4 {
public:
    explicit InverseMap4(const double* k) {
        const double a = k[0];
        const double b = k[1];
        const double c = k[2];
        const double d = k[3];
        const double e = k[4];
        const double f = k[5];
        va_ = _mm256_set1_pd(a);
        vb_ = _mm256_set1_pd(b);
        vc_ = _mm256_set1_pd(c);
        vd_ = _mm256_set1_pd(d);
        ve_ = _mm256_set1_pd(e);
        vf_ = _mm256_set1_pd(f);
        if ((a == 0.0 && c == 0.0 && e == 0.0) || (b == 0.0 && d == 0.0 && f == 0.0)) {
            case_ = Origin;
        } else if (e == 0.0 && f == 0.0) {
            const double det = a * d - b * c;
            case_ = det == 0.0 ? Point : Affine;
            c0_ = _mm256_set1_pd(det);
        } else if (e == 0.0) {
            preferX_ = false;
            if (a == 0.0) {
                case_ = VByX;
            } else if (c == 0.0) {
                case_ = UByX;
            } else {
                case_ = Quadratic;
                setQuadratic(c * f);
                c0_ = _mm256_set1_pd(b * c - a * d); // beta = c0 - f x
            }
        } else if (f == 0.0) {
            preferX_ = true;
            if (b == 0.0) {
                case_ = VByY;
            } else if (d == 0.0) {
                case_ = UByY;
            } else {
                case_ = QuadraticY;
                setQuadratic(d * e);
                c0_ = _mm256_set1_pd(a * d - b * c); // beta = c0 - e y
            }
        } else {
            const double kk = a * f - b * e;
            const double m = c * f - d * e;
            if (kk == 0.0) {
                case_ = m == 0.0 ? Origin : Parallel;
                c0_ = _mm256_set1_pd(m);
            } else {
                const double p = -m / kk;
                case_ = General;
                preferX_ = false;
                setQuadratic(p * e);
                c0_ = _mm256_set1_pd(kk);
                c1_ = _mm256_set1_pd(p);
            }
        }
    }

    void operator()(__m256d x, __m256d y, __m256d& u, __m256d& v) const {
        const __m256d zero = _mm256_setzero_pd();
        switch (case_) {
        case Origin:
            u = zero;
            v = zero;
            return;
        case Point:
            u = x;
            v = y;
            return;
        case Affine:
            u = _mm256_div_pd(_mm256_sub_pd(_mm256_mul_pd(vd_, x), _mm256_mul_pd(vc_, y)), c0_);
            v = _mm256_div_pd(_mm256_sub_pd(_mm256_mul_pd(va_, y), _mm256_mul_pd(vb_, x)), c0_);
            return;
        case VByX:
            v = _mm256_div_pd(x, vc_);
            u = uFrom(v, x, y);
            return;
        case UByX:
            u = _mm256_div_pd(x, va_);
            v = vFrom(u, x, y);
            return;
        case VByY:
            v = _mm256_div_pd(y, vd_);
            u = uFrom(v, x, y);
            return;
        case UByY:
            u = _mm256_div_pd(y, vb_);
            v = vFrom(u, x, y);
            return;
        case Quadratic:
            solve(_mm256_sub_pd(c0_, _mm256_mul_pd(vf_, x)),
                  _mm256_sub_pd(_mm256_mul_pd(va_, y), _mm256_mul_pd(vb_, x)), x, y, u, v);
            return;
        case QuadraticY:
            solve(_mm256_sub_pd(c0_, _mm256_mul_pd(ve_, y)),
                  _mm256_sub_pd(_mm256_mul_pd(vb_, x), _mm256_mul_pd(va_, y)), x, y, u, v);
            return;
        case Parallel: {
            // v from n / m, u by the x equation, v again by the y one.
            const __m256d n = _mm256_sub_pd(_mm256_mul_pd(vf_, x), _mm256_mul_pd(ve_, y));
            v = _mm256_div_pd(n, c0_);
            u = uFromPreferring(v, x, y, true);
            v = vFromPreferring(u, x, y, false);
            return;
        }
        case General: {
            // u = P v + Q with Q = n / K; v from the quadratic.
            const __m256d n = _mm256_sub_pd(_mm256_mul_pd(vf_, x), _mm256_mul_pd(ve_, y));
            const __m256d q = _mm256_div_pd(n, c0_);
            const __m256d beta =
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(c1_, va_), vc_), _mm256_mul_pd(q, ve_));
            const __m256d gamma = _mm256_sub_pd(_mm256_mul_pd(q, va_), x);
            solve(beta, gamma, x, y, u, v);
            return;
        }
        }
    }

private:
    enum Case {
        Origin,
        Point,
        Affine,
        VByX,
        UByX,
        VByY,
        UByY,
        Quadratic,
        QuadraticY,
        Parallel,
        General
    };

    void setQuadratic(double alpha) {
        alpha_ = alpha;
        fourAlpha_ = _mm256_set1_pd(4.0 * alpha);
        twoAlpha_ = _mm256_set1_pd(2.0 * alpha);
    }

    __m256d uFromPreferring(__m256d v, __m256d x, __m256d y, bool preferX) const {
        const __m256d dx = _mm256_add_pd(va_, _mm256_mul_pd(ve_, v));
        const __m256d dy = _mm256_add_pd(vb_, _mm256_mul_pd(vf_, v));
        return pick(_mm256_sub_pd(x, _mm256_mul_pd(vc_, v)), dx,
                    _mm256_sub_pd(y, _mm256_mul_pd(vd_, v)), dy, preferX);
    }

    __m256d vFromPreferring(__m256d u, __m256d x, __m256d y, bool preferX) const {
        const __m256d dx = _mm256_add_pd(vc_, _mm256_mul_pd(ve_, u));
        const __m256d dy = _mm256_add_pd(vd_, _mm256_mul_pd(vf_, u));
        return pick(_mm256_sub_pd(x, _mm256_mul_pd(va_, u)), dx,
                    _mm256_sub_pd(y, _mm256_mul_pd(vb_, u)), dy, preferX);
    }

    __m256d uFrom(__m256d v, __m256d x, __m256d y) const {
        return uFromPreferring(v, x, y, preferX_);
    }
    __m256d vFrom(__m256d u, __m256d x, __m256d y) const {
        return vFromPreferring(u, x, y, preferX_);
    }

    /// The quotient of the equation with the larger denominator; the
    /// preferred one on a tie (or NaN). The operands are chosen before the
    /// one division, which gives the quotient that was chosen.
    static __m256d pick(__m256d numX, __m256d denX, __m256d numY, __m256d denY, bool preferX) {
        const __m256d sizeX = absolute4(denX);
        const __m256d sizeY = absolute4(denY);
        const __m256d takeX = preferX ? _mm256_cmp_pd(sizeY, sizeX, _CMP_NGT_UQ)
                                      : _mm256_cmp_pd(sizeX, sizeY, _CMP_GT_OQ);
        return _mm256_div_pd(_mm256_blendv_pd(numY, numX, takeX),
                             _mm256_blendv_pd(denY, denX, takeX));
    }

    /// solveQuadratic of warp.cpp with this cell's alpha.
    void solve(__m256d beta, __m256d gamma, __m256d x, __m256d y, __m256d& u, __m256d& v) const {
        const __m256d zero = _mm256_setzero_pd();
        if (alpha_ == 0.0) {
            v = _mm256_div_pd(_mm256_sub_pd(zero, gamma), beta);
            u = uFrom(v, x, y);
            return;
        }
        const __m256d s = _mm256_sqrt_pd(
            _mm256_sub_pd(_mm256_mul_pd(beta, beta), _mm256_mul_pd(fourAlpha_, gamma)));
        const __m256d v1 = _mm256_div_pd(_mm256_sub_pd(_mm256_sub_pd(zero, beta), s), twoAlpha_);
        const __m256d u1 = uFrom(v1, x, y);
        const __m256d first = _mm256_and_pd(inUnit4(v1), inUnit4(u1));
        u = u1;
        v = v1;
        if (_mm256_movemask_pd(first) == 0xF) {
            return;
        }
        const __m256d v2 = _mm256_div_pd(_mm256_sub_pd(s, beta), twoAlpha_);
        const __m256d u2 = uFrom(v2, x, y);
        const __m256d nearer = _mm256_cmp_pd(_mm256_max_pd(offUnit4(u2), offUnit4(v2)),
                                             _mm256_max_pd(offUnit4(u1), offUnit4(v1)), _CMP_LT_OQ);
        const __m256d second =
            _mm256_andnot_pd(first, _mm256_or_pd(_mm256_and_pd(inUnit4(v2), inUnit4(u2)), nearer));
        u = _mm256_blendv_pd(u1, u2, second);
        v = _mm256_blendv_pd(v1, v2, second);
    }

    Case case_ = Origin;
    bool preferX_ = false;
    double alpha_ = 0.0;
    __m256d va_, vb_, vc_, vd_, ve_, vf_;
    __m256d c0_ = _mm256_setzero_pd();
    __m256d c1_ = _mm256_setzero_pd();
    __m256d fourAlpha_ = _mm256_setzero_pd();
    __m256d twoAlpha_ = _mm256_setzero_pd();
};

void warpCellAvx2(const WarpJob& job) {
    // The taps are fetched two pixels at a time, at indices below the
    // source size plus its width in 32 bits, from a source of two pixels
    // or more.
    const long long total = static_cast<long long>(job.sw) * job.sh;
    if (total < 2 || total + job.sw > INT_MAX) {
        warpCellPortable(job);
        return;
    }
    const __m128i lastPair = _mm_set1_epi32(static_cast<int>(total - 2));
    const __m256i evenOdd = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const InverseMap4 invert(job.coeffs);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d spanX = _mm256_set1_pd(job.spanX);
    const __m256d spanY = _mm256_set1_pd(job.spanY);
    const __m256d x0 = _mm256_set1_pd(job.x0);
    const __m256d y0 = _mm256_set1_pd(job.y0);
    const __m256d w = _mm256_set1_pd(static_cast<double>(job.sw));
    const __m256d h = _mm256_set1_pd(static_cast<double>(job.sh));
    const __m256d inv255 = _mm256_set1_pd(255.0);
    const __m128i width = _mm_set1_epi32(job.sw);
    const __m128i height = _mm_set1_epi32(job.sh);
    const int* src = reinterpret_cast<const int*>(job.src);
    for (long long Y = job.yBegin; Y < job.yEnd; ++Y) {
        const __m256d y = _mm256_set1_pd(static_cast<double>(Y) - job.oy);
        _VORNRGBAQUAD* row =
            job.dst + static_cast<std::size_t>(Y) * static_cast<std::size_t>(job.dw);
        long long X = job.xBegin;
        for (; X + 4 <= job.xEnd; X += 4) {
            const __m256d x = _mm256_sub_pd(
                _mm256_add_pd(_mm256_set1_pd(static_cast<double>(X)), _mm256_setr_pd(0, 1, 2, 3)),
                _mm256_set1_pd(job.ox));
            __m256d u;
            __m256d v;
            invert(x, y, u, v);
            __m256d keep = _mm256_and_pd(inUnit4(u), inUnit4(v));
            if (_mm256_movemask_pd(keep) == 0) {
                continue;
            }
            // clampUnit, then the source position. max(0, t) is 0 exactly
            // when 0 > t and min(1, t) is 1 exactly when 1 < t; otherwise
            // both give t itself, -0.0 and NaN included.
            u = _mm256_min_pd(one, _mm256_max_pd(zero, u));
            v = _mm256_min_pd(one, _mm256_max_pd(zero, v));
            const __m256d sx = _mm256_add_pd(_mm256_mul_pd(u, spanX), x0);
            const __m256d sy = _mm256_add_pd(_mm256_mul_pd(v, spanY), y0);
            keep =
                _mm256_and_pd(keep, _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(sx, zero, _CMP_GE_OQ),
                                                                _mm256_cmp_pd(sx, w, _CMP_LT_OQ)),
                                                  _mm256_and_pd(_mm256_cmp_pd(sy, zero, _CMP_GE_OQ),
                                                                _mm256_cmp_pd(sy, h, _CMP_LT_OQ))));
            if (_mm256_movemask_pd(keep) == 0) {
                continue;
            }
            // Lanes left out sample position 0, which every source has.
            const __m256d px = _mm256_and_pd(keep, sx);
            const __m256d py = _mm256_and_pd(keep, sy);
            const __m128i i0 = _mm256_cvttpd_epi32(px);
            const __m128i j0 = _mm256_cvttpd_epi32(py);
            const __m256d wx = _mm256_sub_pd(one, _mm256_sub_pd(px, _mm256_cvtepi32_pd(i0)));
            const __m256d wy = _mm256_sub_pd(one, _mm256_sub_pd(py, _mm256_cvtepi32_pd(j0)));
            const __m256d weights[4] = {
                _mm256_mul_pd(wx, wy), _mm256_mul_pd(_mm256_sub_pd(one, wx), wy),
                _mm256_mul_pd(wx, _mm256_sub_pd(one, wy)),
                _mm256_mul_pd(_mm256_sub_pd(one, wx), _mm256_sub_pd(one, wy))};
            __m256d plain[3] = {zero, zero, zero};
            __m256d weighted[3] = {zero, zero, zero};
            __m256d share = zero;
            // Pixels i0 and i0 + 1 of rows j0 and j0 + 1 as one 8-byte load
            // per row. A load that would pass the end of the source starts
            // a pixel earlier: only the last pixel asks for that, and its
            // neighbours to the right and below are not taken then.
            __m128i tap[4];
            for (int row = 0; row < 2; ++row) {
                const __m128i at = _mm_add_epi32(
                    _mm_mullo_epi32(_mm_add_epi32(j0, _mm_set1_epi32(row)), width), i0);
                const __m128i shifted = _mm_cmpgt_epi32(at, lastPair);
                // Plain loads: a gather costs more here than four of them.
                alignas(16) std::int32_t index[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm_min_epi32(at, lastPair));
                long long word[4];
                for (int k = 0; k < 4; ++k) {
                    std::memcpy(&word[k], src + index[k], 8);
                }
                const __m256i pair = _mm256_permutevar8x32_epi32(
                    _mm256_setr_epi64x(word[0], word[1], word[2], word[3]), evenOdd);
                const __m128i first = _mm256_castsi256_si128(pair);
                const __m128i second = _mm256_extracti128_si256(pair, 1);
                tap[2 * row] = _mm_blendv_epi8(first, second, shifted);
                tap[2 * row + 1] = second;
            }
            // Taps of weight 0 or outside the source add nothing. Kept lanes
            // have i0 and j0 inside the source, so only the right and lower
            // taps can leave it. A tap not taken still multiplies its
            // (finite) bytes by a weight of +0.0, adding +0.0 to the
            // non-negative sums, which leaves them as they were.
            const __m256d right = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(
                _mm_cmpgt_epi32(width, _mm_add_epi32(i0, _mm_set1_epi32(1)))));
            const __m256d below = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(
                _mm_cmpgt_epi32(height, _mm_add_epi32(j0, _mm_set1_epi32(1)))));
            const __m256d inside[4] = {keep, _mm256_and_pd(keep, right), _mm256_and_pd(keep, below),
                                       _mm256_and_pd(keep, _mm256_and_pd(right, below))};
            __m256d wt[4];
            __m256d alpha[4];
            __m256d notOpaque = zero;
            for (int t = 0; t < 4; ++t) {
                const __m256d taken =
                    _mm256_andnot_pd(_mm256_cmp_pd(weights[t], zero, _CMP_EQ_OQ), inside[t]);
                wt[t] = _mm256_and_pd(taken, weights[t]);
                alpha[t] = alphaOf(tap[t]);
                notOpaque = _mm256_or_pd(
                    notOpaque,
                    _mm256_andnot_pd(_mm256_cmp_pd(alpha[t], inv255, _CMP_EQ_OQ), taken));
            }
            // The alpha-weighted sums only count where some tap is not opaque.
            const bool mixed = _mm256_movemask_pd(notOpaque) != 0;
            for (int t = 0; t < 4; ++t) {
                const __m256d share1 = _mm256_div_pd(_mm256_mul_pd(alpha[t], wt[t]), inv255);
                const __m256d ch[3] = {redOf(tap[t]), greenOf(tap[t]), blueOf(tap[t])};
                for (int i = 0; i < 3; ++i) {
                    plain[i] = _mm256_add_pd(plain[i], _mm256_mul_pd(ch[i], wt[t]));
                }
                if (mixed) {
                    for (int i = 0; i < 3; ++i) {
                        weighted[i] = _mm256_add_pd(weighted[i], _mm256_mul_pd(ch[i], share1));
                    }
                }
                share = _mm256_add_pd(share, share1);
            }
            keep = _mm256_andnot_pd(_mm256_cmp_pd(share, zero, _CMP_EQ_OQ), keep);
            __m128i bytes[3];
            for (int i = 0; i < 3; ++i) {
                const __m256d colour = _mm256_blendv_pd(plain[i], weighted[i], notOpaque);
                bytes[i] = snapBytes(_mm256_div_pd(colour, share));
            }
            const __m128i out = packPixels(bytes[0], bytes[1], bytes[2], _mm_set1_epi32(255));
            const __m128i mask = mask32(keep);
            _mm_maskstore_epi32(reinterpret_cast<int*>(row + X), mask, out);
        }
        if (X < job.xEnd) {
            WarpJob rest = job;
            rest.xBegin = X;
            rest.yBegin = Y;
            rest.yEnd = Y + 1;
            warpCellPortable(rest);
        }
    }
}

} // namespace

const TransformKernels kTransformAvx2 = {
    reduceBlocksFast, resampleFast,     rotateFast,     warpQuadFast,     blockRowsAvx2,
    resampleRowsAvx2, dyadicAcrossAvx2, dyadicDownAvx2, rotatePixelsAvx2, warpCellAvx2};

} // namespace vorn::detail
