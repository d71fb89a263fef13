// SPDX-License-Identifier: MIT
// Internal to the library: what the resampling, rotation and warp files
// share. Nothing here is part of the public interface.
#ifndef VORN_SRC_TRANSFORM_TRANSFORM_H
#define VORN_SRC_TRANSFORM_TRANSFORM_H

#include "core/access.h"
#include "core/core.h"
#include "transform/transform_kernels.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorn::detail {

// ---------------------------------------------------------------------------
// Converting filtered values into bytes
// ---------------------------------------------------------------------------

/// Truncates toward zero into a byte, clamped to 0..255 (NaN gives 0).
inline unsigned char truncToByte(double v) {
    if (!(v > 0.0)) {
        return 0;
    }
    if (v >= 255.0) {
        return 255;
    }
    return static_cast<unsigned char>(v);
}

/// Truncates a filtered value into a byte after absorbing rounding noise
/// (see kByteSnap); clamped to 0..255, NaN gives 0.
inline unsigned char snapToByte(double v) {
    return truncToByte(v + kByteSnap);
}

/// floor() of a double as an int, saturating; NaN gives 0.
inline int floorToInt(double v) {
    return saturateToInt(std::floor(v));
}

// ---------------------------------------------------------------------------
// Resampling footprints
// ---------------------------------------------------------------------------

/// The weight of index k of a span (Span in transform_kernels.h). Indices
/// outside the source are never visited; the walkers skip them.
inline double spanWeight(const Span& s, int k) {
    if (k == s.last) {
        return s.lastWeight;
    }
    return k == s.first ? s.firstWeight : 1.0;
}

/// The two taps of linear interpolation at source position `pos` (no
/// half-pixel offset): floor(pos) with weight 1 - f and the next index with
/// weight f, where f is the fractional part.
inline Span linearSpan(double pos) {
    Span s;
    const int i0 = floorToInt(pos);
    if (i0 == INT_MAX || i0 == INT_MIN) {
        return s; // only reached through absurd positions; visits nothing
    }
    const double f = pos - static_cast<double>(i0);
    s.first = i0;
    s.last = i0 + 1;
    s.firstWeight = 1.0 - f;
    s.lastWeight = f;
    return s;
}

/// The box covering source positions a..b along an extent of n pixels:
/// clamped to 0..n, partial end weights, 1 between.
inline Span boxSpan(double a, double b, int n) {
    Span s;
    int j0 = floorToInt(a);
    if (j0 < 0) {
        j0 = 0;
        a = 0.0;
    }
    int j1 = floorToInt(b);
    if (j1 >= n) {
        j1 = n - 1;
        b = static_cast<double>(n);
    }
    if (j0 > j1) {
        return s;
    }
    s.first = j0;
    s.last = j1;
    s.firstWeight = (static_cast<double>(j0) + 1.0) - a;
    s.lastWeight = b - static_cast<double>(j1);
    return s;
}

inline ResizeFilter chooseFilter(double sx, double sy) {
    if (sx <= 1.0) {
        return sy <= 1.0 ? ResizeFilter::Enlarge : ResizeFilter::X;
    }
    return sy <= 1.0 ? ResizeFilter::Y : ResizeFilter::Reduce;
}

/// Span of destination column x (scale sx, source width n) for a direction
/// that is linear (enlarged or kept) or box (reduced).
inline Span columnSpan(int x, double sx, int n, bool box) {
    const double xd = static_cast<double>(x);
    if (box) {
        return boxSpan(xd * sx, (xd + 1.0) * sx, n);
    }
    return linearSpan(xd * sx);
}

/// Visits every source pixel (i, j) of a footprint inside width x height with
/// its weight, spanWeight(cols, i) x spanWeight(rows, j): rows then columns, or
/// columns then rows when columnsOuter (the order fixes the rounding of
/// the sums). Indices outside the source are skipped.
template <typename Visit>
void forEachTap(const Span& cols, const Span& rows, int width, int height, bool columnsOuter,
                Visit&& visit) {
    if (columnsOuter) {
        for (int i = cols.first; i <= cols.last; ++i) {
            if (i < 0 || i >= width) {
                continue;
            }
            const double wx = spanWeight(cols, i);
            for (int j = rows.first; j <= rows.last; ++j) {
                if (j >= 0 && j < height) {
                    visit(i, j, wx * spanWeight(rows, j));
                }
            }
        }
        return;
    }
    for (int j = rows.first; j <= rows.last; ++j) {
        if (j < 0 || j >= height) {
            continue;
        }
        const double wy = spanWeight(rows, j);
        for (int i = cols.first; i <= cols.last; ++i) {
            if (i >= 0 && i < width) {
                visit(i, j, spanWeight(cols, i) * wy);
            }
        }
    }
}

/// The sums of a bilinear sample's taps (the enlarging filter, the warp):
/// colours times weight, colours times the tap's alpha share q, the shares,
/// and whether every tap taken is opaque.
struct TapSums {
    double plain[3] = {0.0, 0.0, 0.0};
    double weighted[3] = {0.0, 0.0, 0.0};
    double share = 0.0;
    bool allOpaque = true;

    void add(const _VORNRGBAQUAD& p, double weight, double q) {
        plain[0] += p.red * weight;
        plain[1] += p.green * weight;
        plain[2] += p.blue * weight;
        weighted[0] += p.red * q;
        weighted[1] += p.green * q;
        weighted[2] += p.blue * q;
        share += q;
        allOpaque = allOpaque && p.alpha == 255;
    }
};

/// What the gated filters (X, Y, Reduce) need of their whole footprint
/// besides the sums of its non-transparent pixels: `whole`, the sum of the
/// weights of every pixel in it, and `cover`, the sum of each pixel's
/// opacity (alpha / 255.0) times its weight, transparent pixels included.
/// Both are summed in the filter's order (rows then columns, or columns
/// then rows for the Y filter). As alpha / 255.0 is exactly 1 for alpha
/// 255 and 0 for alpha 0, a footprint whose alphas are all 0 or 255 gives
/// a cover equal, to the bit, to the weight sum of its non-transparent
/// pixels, and an opaque footprint a cover equal to its whole.
struct FootprintSums {
    double whole = 0.0;
    double cover = 0.0;
};

FootprintSums footprintSums(const _VORNRGBAQUAD* pixels, const Span& cols, const Span& rows,
                            int width, int height, bool columnsOuter);

/// The alpha byte of a gated filter: the weighted mean of the footprint's
/// alphas, cover / whole x 255, truncated after absorbing rounding noise.
/// An opaque footprint gives 255 and a footprint of one alpha that alpha,
/// at any scale; whole must be above 0.
inline unsigned char gatedAlpha(double cover, double whole) {
    if (cover >= whole) {
        return 255;
    }
    return snapToByte((cover / whole) * 255.0);
}

// ---------------------------------------------------------------------------
// Fast paths. Each gives exactly the bytes of the plain members of
// VornBuffer (the cursor walk of reduce, getResizePixel per pixel, the
// shear of rotateBuffer); the tests compare them at every kernel level.
// ---------------------------------------------------------------------------

/// Limits a span to the indices 0..n-1 that exist: a linear span whose
/// second tap lies beyond the edge keeps its first tap only (its weight
/// then answers for both ends). A span whose first index is outside gives
/// an empty span.
inline Span clipSpan(Span s, int n) {
    if (s.last < s.first || s.first < 0 || s.first >= n) {
        return Span();
    }
    if (s.last >= n) {
        s.last = s.first;
        s.lastWeight = s.firstWeight;
    }
    return s;
}

/// The two taps of a linear span of the enlarging filter within indices
/// 0..n-1: a second tap beyond the edge is the edge pixel itself, with its
/// own weight (first and last may then be the same index; the enlarging
/// paths take both taps, whatever their indices). A span whose first index
/// is outside gives an empty span.
inline Span clampSpan(Span s, int n) {
    if (s.last < s.first || s.first < 0 || s.first >= n) {
        return Span();
    }
    if (s.last >= n) {
        s.last = n - 1;
    }
    return s;
}

/// Settles snapToByte(v) from an approximation within 1e-10 of v (the fast
/// paths' approximations stay within 3e-11). Gives false, writing nothing,
/// when the approximation lies too close to a whole number for the
/// truncation to be certain; the caller then computes the value exactly.
inline bool settleByte(double approx, unsigned char& out) {
    const double z = approx + kByteSnap;
    if (!(z < 255.0 + kSettleMargin)) {
        if (!(z == z)) {
            return false;
        }
        out = 255;
        return true;
    }
    if (!(z >= 0.0)) {
        return false;
    }
    // z lies in 0..256 here, where truncation is the floor.
    const double t = static_cast<double>(static_cast<int>(z));
    const double rest = z - t;
    if (rest < kSettleMargin || rest > 1.0 - kSettleMargin) {
        return false;
    }
    out = t <= 0.0 ? 0 : static_cast<unsigned char>(t);
    return true;
}

/// The footprint of every destination column and row for one resize.
struct ResampleTables {
    ResizeFilter filter;
    std::vector<Span> cols; ///< per destination column, clipped (clamped to the
                            ///< edge for Enlarge) to the source
    std::vector<Span> rows; ///< per destination row, likewise

    ResampleTables(const VornBuffer& src, const VornBuffer& dst, double sx, double sy);
};

/// One pixel of the enlarging filter from its taps (row0 holds the upper
/// taps, row1 the lower ones; the same row at the bottom edge) over spans
/// of clampSpan. False, writing nothing certain, when the result must be
/// computed by the plain member instead.
bool enlargePixel(const _VORNRGBAQUAD* row0, const _VORNRGBAQUAD* row1, const Span& rows,
                  const Span& cols, _VORNRGBAQUAD& out);

/// The output pixel of a gated filter from its exact sums: the colour sums
/// and weight sum w of its non-transparent pixels, and the whole footprint's
/// weight and opacity-weighted cover (see FootprintSums).
void finishGated(double r, double g, double b, double w, double whole, double cover,
                 _VORNRGBAQUAD& out);

/// One pixel of a gated filter (X or Reduce rows outer, Y columns outer)
/// over spans clipped to the source, finished by finishGated.
void gatedPixel(const VornBuffer& src, const Span& cols, const Span& rows, bool columnsOuter,
                _VORNRGBAQUAD& out);

/// alpha / 255.0 for every alpha, computed by that very division (at
/// compile time, correctly rounded as at run time).
constexpr std::array<double, 256> makeOpacities() {
    std::array<double, 256> t{};
    for (int a = 0; a < 256; ++a) {
        t[static_cast<std::size_t>(a)] = a / 255.0;
    }
    return t;
}

inline constexpr std::array<double, 256> kOpacity = makeOpacities();

/// The resampling of every destination pixel through integer sums when
/// every weight of the tables is a whole multiple of a small power of two
/// (resize_dyadic.cpp); false, writing nothing, when they are not.
bool resampleDyadic(const VornBuffer& src, VornBuffer& dst, const ResampleTables& t,
                    const TransformKernels& kernels);

// ---------------------------------------------------------------------------
// Rotation
// ---------------------------------------------------------------------------

/// Rounds half away from zero, for |v| < 2^62 (the shears and sizes of
/// rotateBuffer stay far below): the truncation is exact and so is the
/// remainder v - t, as both share their leading bits. Some C runtimes'
/// round() add one half and floor, which turns 0.49999999999999994 into 1;
/// this one gives the same result everywhere.
inline double roundHalfAway(double v) {
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

/// The turn rotateBuffer makes for an angle in degrees (a RotationPlan of
/// transform_kernels.h): `halfTurn` when
/// the pixels are first exchanged through the centre, then `shear` degrees
/// (within -90..90) by three shears with factors t = tan(theta / 2) and
/// s = sin(theta); `sizeTheta` is the whole angle in radians, from which the
/// result's size comes. shiftX and shiftY move every destination column and
/// row (see placeRotation); planRotation leaves them 0.
RotationPlan planRotation(int angle);

/// The three rounded shears of the mirrored source position (X, Y): the
/// destination column is the result's centre column minus x3, the row its
/// centre row minus y2.
inline void shearPoint(const RotationPlan& plan, double X, double Y, double& x3, double& y2) {
    const double x1 = roundHalfAway(X - Y * plan.t);
    y2 = roundHalfAway(x1 * plan.s + Y);
    x3 = roundHalfAway(x1 - y2 * plan.t);
}

/// Sets the plan's shifts for a w x h source and a dw x dh result. With
/// minC and maxC the least and greatest destination column the shears give
/// over all source pixels and W = dw - 1 the result's last column: when
/// minC < 0 and maxC < W every column moves right by min(-minC, W - maxC);
/// when maxC > W and minC > 0 left by min(maxC - W, minC); rows likewise.
/// So no pixel falls off one side while the other leaves room; placements
/// that lose nothing stay as they are. With borderOnly, turns within 45
/// degrees of the axes look at the source's border pixels alone, where the
/// extremes lie; otherwise every pixel is visited.
void placeRotation(long long w, long long h, long long dw, long long dh, RotationPlan& plan,
                   bool borderOnly);

/// The centre pixel of an extent: the middle one, or the lower of the two.
inline long long centreOf(long long n) {
    return (n + 1) / 2 - 1;
}

} // namespace vorn::detail

#endif
