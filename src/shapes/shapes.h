// SPDX-License-Identifier: MIT
// Internal to the library: what the shape files share. The ellipse trace
// (exact 128-bit arithmetic, one region at a time, with exact jumps), the
// fast rasteriser built on it and its plain per-pixel twin.
#ifndef VORN_SRC_SHAPES_SHAPES_H
#define VORN_SRC_SHAPES_SHAPES_H

#include "core/core.h"

#include <vorn/buffer.h>

#include <cstddef>
#include <cstdint>

namespace vorn::detail {

// ---------------------------------------------------------------------------
// Exact wide integers
// ---------------------------------------------------------------------------

/// A signed 128-bit integer in two's complement, built from 64-bit
/// unsigned halves so that it behaves the same with every compiler. The
/// ellipse quantities need it: with semi-axes up to 2^31 (the widest box
/// of int corners) they reach about 2^126, far beyond the 2^53 up to which
/// doubles hold whole numbers exactly.
struct Wide {
    std::uint64_t lo;
    std::uint64_t hi;
};

inline Wide wideFromUnsigned(std::uint64_t v) {
    return Wide{v, 0};
}

inline Wide operator+(Wide x, Wide y) {
    Wide r;
    r.lo = x.lo + y.lo;
    r.hi = x.hi + y.hi + (r.lo < x.lo ? 1u : 0u);
    return r;
}

inline Wide operator-(Wide x, Wide y) {
    Wide r;
    r.lo = x.lo - y.lo;
    r.hi = x.hi - y.hi - (x.lo < y.lo ? 1u : 0u);
    return r;
}

inline Wide operator-(Wide x) {
    return Wide{0, 0} - x;
}

/// x * 2^n for n in 1..63.
inline Wide shiftLeft(Wide x, unsigned n) {
    return Wide{x.lo << n, (x.hi << n) | (x.lo >> (64 - n))};
}

inline bool isNegative(Wide x) {
    return (x.hi >> 63) != 0;
}

inline bool isPositive(Wide x) {
    return !isNegative(x) && (x.hi | x.lo) != 0;
}

/// Signed comparison: flipping the sign bit of the high halves orders them
/// as unsigned numbers.
inline bool operator<(Wide x, Wide y) {
    const std::uint64_t sign = std::uint64_t{1} << 63;
    if (x.hi != y.hi) {
        return (x.hi ^ sign) < (y.hi ^ sign);
    }
    return x.lo < y.lo;
}

/// The full product of two unsigned 64-bit numbers (read as signed, it is
/// correct while below 2^127, which every ellipse quantity is).
inline Wide mulWide(std::uint64_t x, std::uint64_t y) {
    const std::uint64_t mask = 0xFFFFFFFFu;
    const std::uint64_t xl = x & mask;
    const std::uint64_t xh = x >> 32;
    const std::uint64_t yl = y & mask;
    const std::uint64_t yh = y >> 32;
    const std::uint64_t ll = xl * yl;
    const std::uint64_t lh = xl * yh;
    const std::uint64_t hl = xh * yl;
    const std::uint64_t hh = xh * yh;
    // Sum of the three terms that share bits 32..63; each is below 2^32
    // so the sum cannot overflow.
    const std::uint64_t middle = (ll >> 32) + (lh & mask) + (hl & mask);
    return Wide{(ll & mask) | (middle << 32), hh + (lh >> 32) + (hl >> 32) + (middle >> 32)};
}

// ---------------------------------------------------------------------------
// The ellipse trace
// ---------------------------------------------------------------------------

/// One region of the two-region midpoint trace of an ellipse, in its own
/// coordinates: u grows by 1 at every step, v starts at p and falls by 0 or
/// 1 per step. Region 1 of an ellipse with semi-axes a (along x) and b
/// (along y) is the walk with p = a, q = b, u = Y, v = X; region 2 is the
/// walk with p = b, q = a, u = X, v = Y. The quantities are those of the
/// midpoint method with its additions done exactly:
///
///   error   = q^2 v^2 + p^2 u^2 - p^2 q^2   uChange = p^2 (2u + 1)
///   vChange = q^2 (1 - 2v)                  stopU = 2 p^2 u, stopV = 2 q^2 v
///
/// A step adds 1 to u and takes 1 from v when 2 error + vChange > 0; the
/// region goes on while stopV >= stopU. Each value above is a closed form
/// of (u, v), so the walk can be resumed at any step whose v is known.
///
/// Where v may be jumped to: G(v, u) = q^2 ((2v - 1)^2 + 1) - 4 p^2 (q^2 - u^2)
/// is the step's test (G > 0 takes 1 from v), so while v never has to fall
/// by 2 in one step, v at step u is V(u), the largest v >= 1 with
/// G(v, u) <= 0. The ideal curve behind V is concave and falls by at most
/// 2 p^2 u / (q^2 (2V(u) - 1)) from step u - 1 to step u, so while
/// 2 p^2 u <= q^2 (2V(u) - 1) every step up to u falls by 0 or 1, the walk
/// equals V and the region has not ended. That condition (safe(u)) is
/// monotone in u; past its last step, where the curve is about to turn
/// steeper than 1, only a few literal steps remain before the region ends.
class RegionTrace {
public:
    /// The trace at step 0: u = 0, v = p. p and q are the semi-axes, from 1
    /// to 2^31.
    RegionTrace(std::uint64_t p, std::uint64_t q);

    long long u() const { return u_; }
    long long v() const { return v_; }
    /// True while the current step is plotted; false once the region has
    /// ended (u and v then hold the first step that is not plotted).
    bool running() const { return running_; }
    /// Literal steps taken since construction (jumps are not counted).
    long long stepsWalked() const { return walked_; }

    /// One literal step of the midpoint method.
    void step();
    /// Moves to step `target` exactly as the literal walk would, or to the
    /// end of the region when it ends first. Does nothing for a target at
    /// or behind the current step.
    void seek(long long target);
    /// Moves to the end of the region and gives the last plotted step.
    /// Returns false, giving nothing, when the region has already ended.
    bool seekLast(long long& lastU, long long& lastV);
    /// Moves to the end of the region unless it has ended, and gives its
    /// last plotted step either way.
    void finish(long long& lastU, long long& lastV);

    /// V(u): the largest v >= 1 with G(v, u) <= 0, or 0 when there is none.
    long long settled(long long u) const;
    /// True when every step up to u follows V (see the class comment).
    bool safe(long long u) const;

private:
    /// Sets the state to the closed form at step u, which must be safe.
    void jumpTo(long long u);
    /// The largest safe step in [from, to], or from - 1 when none is.
    long long lastSafe(long long from, long long to) const;

    std::uint64_t p_;
    std::uint64_t q_;
    std::uint64_t p2_;    // p^2, up to 2^62
    std::uint64_t q2_;    // q^2
    std::uint64_t twoP2_; // 2 p^2, up to 2^63
    std::uint64_t twoQ2_;
    long long u_;
    long long v_;
    Wide error_;
    Wide uChange_;
    Wide vChange_;
    Wide stopU_;
    Wide stopV_;
    bool running_;
    long long walked_;
    long long leftU_; // the step the last literal step left (plotted)
    long long leftV_;
};

// ---------------------------------------------------------------------------
// Rasterising ellipses
// ---------------------------------------------------------------------------

/// What a traced ellipse paints: its outline, its filled area, or the upper
/// (rows at and above the centre) or lower half of its outline.
enum class EllipseMode { Outline, Fill, UpperHalf, LowerHalf };

/// The pixels a shape writes into: width x height pixels, row-major.
struct Canvas {
    _VORNRGBAQUAD* pixels;
    int width;
    int height;
};

/// Overwrites pixel (x, y) with `colour`; positions outside the canvas are
/// dropped. Positions are 64-bit so that shape arithmetic never narrows.
inline void writePixel(const Canvas& canvas, long long x, long long y, _VORNRGBAQUAD colour) {
    if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) {
        return;
    }
    canvas.pixels[y * canvas.width + x] = colour;
}

/// Overwrites the pixels x0 to x1 (both included) of row y with `colour`,
/// the span clipped to the canvas before it is walked.
inline void writeSpan(const Canvas& canvas, long long x0, long long x1, long long y,
                      _VORNRGBAQUAD colour) {
    if (y < 0 || y >= canvas.height) {
        return;
    }
    if (x0 < 0) {
        x0 = 0;
    }
    if (x1 >= canvas.width) {
        x1 = canvas.width - 1;
    }
    if (x0 > x1) {
        return;
    }
    fillPixels(canvas.pixels + y * canvas.width + x0, static_cast<std::size_t>(x1 - x0 + 1),
               colour);
}

/// Writes the ellipse of the box p1-p2 (centre (p1 + p2) / 2 truncated,
/// semi-axes centre - p1) into the canvas, overwriting every pixel it
/// covers with `colour`. Degenerate boxes write nothing. Rows and columns
/// that cannot reach the canvas are not walked: the trace jumps over them
/// exactly. Returns the number of literal trace steps taken: at most
/// 2 (width + height) + 96 whatever the box (each region seeks at most
/// three times, walking up to 16 steps to a near target and up to 4 past
/// its last jump).
///
/// Where the two regions meet, the trace can leave offsets between them
/// unplotted: with (X1, Y1) the last step of region 1 and (X2, Y2) the
/// last step of region 2, the steps (X1, Y) for Y1 < Y < Y2 are plotted,
/// then the steps (X, Y2) for X2 < X < X1. So every filled row is one
/// span and every outline one 8-connected curve; shapes without a gap are
/// those of the two regions alone.
long long rasteriseEllipse(const Canvas& canvas, const _VORNPOINT& p1, const _VORNPOINT& p2,
                           EllipseMode mode, _VORNRGBAQUAD colour);

/// The plain twin of rasteriseEllipse: every step of both regions in turn,
/// then the steps that close the gap between them, every pixel written one
/// by one (a fill's columns are only limited to the
/// canvas, where the write would drop them anyway). Gives exactly the same
/// pixels; its time grows with the ellipse, so it serves the tests.
void rasteriseEllipseReference(const Canvas& canvas, const _VORNPOINT& p1, const _VORNPOINT& p2,
                               EllipseMode mode, _VORNRGBAQUAD colour);

/// The box of a circle: centre -/+ trunc(radius) on both axes, formed in 64
/// bits, so that the box's middle is the centre for any radius. A corner
/// beyond the int range is clamped to it (the shape then follows the
/// clamped box). Returns false, giving no box, for a NaN or infinite radius.
bool circleBox(const _VORNPOINT& centre, double radius, _VORNPOINT& p1, _VORNPOINT& p2);

} // namespace vorn::detail

#endif
