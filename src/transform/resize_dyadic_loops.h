// SPDX-License-Identifier: MIT
// Internal to the transform subsystem: the plain loops of the integer
// resampling (resize_dyadic.cpp), which the Portable level runs and the
// instruction-set kernels finish their last columns with. Every file that
// includes this header gets copies of its own (internal linkage), built
// with that file's flags.
//
// Quotients come from single-precision reciprocals. For a numerator
// s < 2^20, the reciprocal of d raised by 2^-21 (biasedInverse) gives
// exactly floor(s / d) after one multiplication: its product lies above
// s / d (the raise outweighs the three roundings of 2^-24 each) and below
// it by at most s / d x 2^-20 < 1 / d, less than the distance from a
// fraction with denominator d to the next whole number. Larger numerators
// take the estimate of the plain reciprocal, which lies within one of the
// floor, and correct it.
#ifndef VORN_SRC_TRANSFORM_RESIZE_DYADIC_LOOPS_H
#define VORN_SRC_TRANSFORM_RESIZE_DYADIC_LOOPS_H

#include "transform/transform_kernels.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorn::detail {
namespace dyadic_loops {
namespace {

/// Numerators below this take biasedInverse.
constexpr std::uint32_t kSmallNumerator = std::uint32_t{1} << 20;

/// 1 / d, raised by 2^-21 (d >= 1).
inline float biasedInverse(std::uint32_t d) {
    return (1.0f / static_cast<float>(d)) * (1.0f + 0x1p-21f);
}

/// floor(s / d) for s < 2^20, from biasedInverse(d).
inline std::uint32_t floorSmall(std::uint32_t s, float inverse) {
    return static_cast<std::uint32_t>(
        static_cast<std::int32_t>(static_cast<float>(static_cast<std::int32_t>(s)) * inverse));
}

/// floor(s / d) for s < 2^28 and 1 <= d < 2^24 with s / d < 2^8.
inline std::uint32_t floorDivide(std::uint32_t s, std::uint32_t d) {
    std::uint32_t q = static_cast<std::uint32_t>(static_cast<std::int32_t>(
        static_cast<float>(static_cast<std::int32_t>(s)) * (1.0f / static_cast<float>(d))));
    q -= q * d > s ? 1u : 0u;
    q += (q + 1) * d <= s ? 1u : 0u;
    return q;
}

inline std::uint32_t pack(std::uint32_t b, std::uint32_t g, std::uint32_t r, std::uint32_t a) {
    return b | (g << 8) | (r << 16) | (a << 24);
}

/// The sums across of destination columns from..n - 1; true when every
/// tap read is opaque.
inline bool across(const _VORNRGBAQUAD* row, const DyadicAxis& cols, DyadicFilter filter, bool all,
                   const DyadicSums& out, std::size_t from) {
    const std::size_t n = static_cast<std::size_t>(cols.n);
    unsigned alphas = 255;
    for (std::size_t x = from; x < n; ++x) {
        std::uint32_t plain[4] = {0, 0, 0, 0};
        std::uint32_t weighted[3] = {0, 0, 0};
        std::uint32_t gate = 0;
        for (int k = 0; k < cols.taps; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * n + x;
            const std::uint32_t w = static_cast<std::uint32_t>(cols.weight[at]);
            const _VORNRGBAQUAD p = row[cols.index[at]];
            alphas &= p.alpha;
            // Gated: a pixel without alpha adds no colour.
            const std::uint32_t keep = filter == DyadicFilter::Gated && p.alpha == 0 ? 0 : 1;
            const std::uint32_t wc = w * keep;
            plain[0] += wc * p.blue;
            plain[1] += wc * p.green;
            plain[2] += wc * p.red;
            plain[3] += w * p.alpha;
            if (all) {
                const std::uint32_t wa = w * p.alpha;
                weighted[0] += wa * p.blue;
                weighted[1] += wa * p.green;
                weighted[2] += wa * p.red;
                gate += p.alpha != 0 ? w : 0;
            }
        }
        for (int c = 0; c < 4; ++c) {
            out.plain[4 * x + c] = static_cast<std::uint16_t>(plain[c]);
        }
        if (all && filter == DyadicFilter::Enlarge) {
            for (int c = 0; c < 3; ++c) {
                out.weighted[static_cast<std::size_t>(c) * n + x] = weighted[c];
            }
        }
        if (all && filter == DyadicFilter::Gated) {
            out.gate[x] = static_cast<std::uint16_t>(gate);
        }
    }
    return alphas == 255;
}

/// Destination columns from..n - 1 of one row.
inline void down(const DyadicRow& row, const DyadicAxis& cols, _VORNRGBAQUAD* out,
                 std::size_t from) {
    const std::size_t n = static_cast<std::size_t>(cols.n);
    for (std::size_t x = from; x < n; ++x) {
        std::uint32_t s[4] = {0, 0, 0, 0};
        std::uint32_t p[3] = {0, 0, 0};
        std::uint32_t gate = 0;
        for (int k = 0; k < row.taps; ++k) {
            const std::uint32_t w = static_cast<std::uint32_t>(row.weights[k]);
            const DyadicSums& sums = row.sums[k];
            for (int c = 0; c < 4; ++c) {
                s[c] += w * sums.plain[4 * x + c];
            }
            if (row.opaque) {
                continue;
            }
            if (row.filter == DyadicFilter::Enlarge) {
                for (int c = 0; c < 3; ++c) {
                    p[c] += w * sums.weighted[static_cast<std::size_t>(c) * n + x];
                }
            } else {
                gate += w * sums.gate[x];
            }
        }
        std::uint32_t word;
        if (row.filter == DyadicFilter::Enlarge) {
            const int shift = row.shift;
            // Alpha is sum(a W) / 2^shift; where no tap has alpha the
            // colour is the plain interpolation.
            word = pack(s[0] >> shift, s[1] >> shift, s[2] >> shift, s[3] >> shift);
            const std::uint32_t d = s[3]; // sum(a W)
            if (!row.opaque && d != 0) {
                std::uint32_t q[3];
                for (int c = 0; c < 3; ++c) {
                    q[c] = p[c] < kSmallNumerator ? floorSmall(p[c], biasedInverse(d))
                                                  : floorDivide(p[c], d);
                }
                word = pack(q[0], q[1], q[2], s[3] >> shift);
            }
        } else if (row.opaque) {
            const float whole = row.inverse[x];
            word = pack(floorSmall(s[0], whole), floorSmall(s[1], whole), floorSmall(s[2], whole),
                        floorSmall(s[3], whole));
        } else if (gate == 0) {
            word = 0; // no pixel with alpha: transparent black
        } else {
            const float inverse = biasedInverse(gate);
            word = pack(floorSmall(s[0], inverse), floorSmall(s[1], inverse),
                        floorSmall(s[2], inverse), floorSmall(s[3], row.inverse[x]));
        }
        std::memcpy(out + x, &word, 4);
    }
}

} // namespace
} // namespace dyadic_loops
} // namespace vorn::detail

#endif
