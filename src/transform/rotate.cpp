// SPDX-License-Identifier: MIT
// Rotation by whole degrees: three rounded shears move every source pixel,
// unfiltered, to one pixel of a new buffer sized to hold the turned image.
//
// The shear factor tan(theta / 2) grows without bound towards a half turn,
// and with it the error of the rounded shears. Angles are therefore brought
// into -180..180 first; beyond a quarter turn either way the image is
// turned through a half turn by exchanging pixels through its centre (exact)
// and only the remainder, within a quarter turn, is sheared.
//
// The rounded shears can put the turned image a column or row off the
// result's middle; where that would push pixels out on one side while the
// other side is empty, the placement is shifted (placeRotation).

#include "transform/transform.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace vorn::detail {

namespace {

/// Degrees to the single-precision working angle.
inline float radians(int degrees) {
    return static_cast<float>(degrees * 3.141592654 / 180.0);
}

/// Where the walk over the source starts and how it steps: for a half turn
/// the walk reads the source backwards, which is the same as shearing the
/// image exchanged through its centre.
struct SourceWalk {
    const _VORNRGBAQUAD* first;
    std::ptrdiff_t step;
};

inline SourceWalk sourceWalk(const VornBuffer& src, bool halfTurn) {
    const std::size_t count =
        static_cast<std::size_t>(src.getWidth()) * static_cast<std::size_t>(src.getHeight());
    if (halfTurn) {
        return {src.getPixels() + count - 1, -1};
    }
    return {src.getPixels(), 1};
}

} // namespace

RotationPlan planRotation(int angle) {
    // -359..359, then -179..180; no step can overflow.
    int turn = angle % 360;
    if (turn > 180) {
        turn -= 360;
    } else if (turn <= -180) {
        turn += 360;
    }
    RotationPlan plan;
    plan.sizeTheta = radians(turn);
    plan.halfTurn = turn > 90 || turn < -90;
    const int shear = !plan.halfTurn ? turn : (turn > 0 ? turn - 180 : turn + 180);
    const double theta = static_cast<double>(radians(shear));
    plan.t = std::tan(theta * 0.5);
    plan.s = std::sin(theta);
    return plan;
}

void placeRotation(long long w, long long h, long long dw, long long dh, RotationPlan& plan,
                   bool borderOnly) {
    plan.shiftX = 0;
    plan.shiftY = 0;
    const long long cx = centreOf(w);
    const long long cy = centreOf(h);
    long long minC = LLONG_MAX;
    long long maxC = LLONG_MIN;
    long long minR = LLONG_MAX;
    long long maxR = LLONG_MIN;
    auto visit = [&](long long x, long long y) {
        double x3 = 0.0;
        double y2 = 0.0;
        shearPoint(plan, static_cast<double>(w - x - cx - 1), static_cast<double>(h - y - cy - 1),
                   x3, y2);
        const long long col = centreOf(dw) - static_cast<long long>(x3);
        const long long row = centreOf(dh) - static_cast<long long>(y2);
        minC = std::min(minC, col);
        maxC = std::max(maxC, col);
        minR = std::min(minR, row);
        maxR = std::max(maxR, row);
    };
    if (std::fabs(plan.t) < 1.0 && borderOnly) {
        // With |t| < 1 (and so |s| < 1) the column is monotone along every
        // source row and the row along every source column: each rounded
        // shear moves by at most what the step before it moved, with a
        // margin (1 - |t| and 1 - |s| above 1e-4) far beyond the rounding
        // of the doubles. The extremes therefore lie on the border; the
        // reference visits every pixel, which the tests compare.
        for (long long x = 0; x < w; ++x) {
            visit(x, 0);
            visit(x, h - 1);
        }
        for (long long y = 0; y < h; ++y) {
            visit(0, y);
            visit(w - 1, y);
        }
    } else {
        for (long long y = 0; y < h; ++y) {
            for (long long x = 0; x < w; ++x) {
                visit(x, y);
            }
        }
    }
    auto shift = [](long long least, long long greatest, long long last) -> long long {
        if (least < 0 && greatest < last) {
            return std::min(-least, last - greatest);
        }
        if (greatest > last && least > 0) {
            return -std::min(greatest - last, least);
        }
        return 0;
    };
    plan.shiftX = shift(minC, maxC, dw - 1);
    plan.shiftY = shift(minR, maxR, dh - 1);
}

void rotateReference(const VornBuffer& src, VornBuffer& dst, const RotationPlan& given) {
    RotationPlan plan = given;
    placeRotation(src.getWidth(), src.getHeight(), dst.getWidth(), dst.getHeight(), plan, false);
    const long long w = src.getWidth();
    const long long h = src.getHeight();
    const long long cx = centreOf(w);
    const long long cy = centreOf(h);
    const long long dw = dst.getWidth();
    const long long dh = dst.getHeight();
    const long long dcx = centreOf(dw) + plan.shiftX;
    const long long dcy = centreOf(dh) + plan.shiftY;
    const SourceWalk walk = sourceWalk(src, plan.halfTurn);
    const _VORNRGBAQUAD* p = walk.first;
    _VORNRGBAQUAD* out = dst.getPixels();
    for (long long y = 0; y < h; ++y) {
        for (long long x = 0; x < w; ++x, p += walk.step) {
            // Mirrored about the centre, so that the last step's
            // subtraction from the destination centre turns it back.
            double x3 = 0.0;
            double y2 = 0.0;
            shearPoint(plan, static_cast<double>(w - x - cx - 1),
                       static_cast<double>(h - y - cy - 1), x3, y2);
            const long long col = dcx - static_cast<long long>(x3);
            const long long row = dcy - static_cast<long long>(y2);
            if (col >= 0 && col < dw && row >= 0 && row < dh) {
                std::memcpy(out + row * dw + col, p, sizeof(_VORNRGBAQUAD));
            }
        }
    }
}

void rotateFast(const VornBuffer& src, VornBuffer& dst, const RotationPlan& given) {
    RotationPlan plan = given;
    placeRotation(src.getWidth(), src.getHeight(), dst.getWidth(), dst.getHeight(), plan, true);
    const RotationJob job{src.getPixels(),
                          src.getWidth(),
                          src.getHeight(),
                          dst.getPixels(),
                          dst.getWidth(),
                          dst.getHeight(),
                          plan};
    transformKernels().rotatePixels(job);
}

void rotatePixelsPortable(const RotationJob& job) {
    const long long w = job.w;
    const long long h = job.h;
    const long long dw = job.dw;
    const long long dh = job.dh;
    const long long dcx = centreOf(dw) + job.plan.shiftX;
    const long long dcy = centreOf(dh) + job.plan.shiftY;
    // For a half turn the walk reads the source backwards.
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const _VORNRGBAQUAD* p = job.plan.halfTurn ? job.src + count - 1 : job.src;
    const std::ptrdiff_t step = job.plan.halfTurn ? -1 : 1;
    // Pixels move as bytes: a caller's block may start at any address.
    _VORNRGBAQUAD* out = job.dst;
    const double t = job.plan.t;
    const double s = job.plan.s;
    // X runs from w - cx - 1 down by one per pixel; Y from h - cy - 1.
    const long long xStart = w - centreOf(w) - 1;
    for (long long y = 0; y < h; ++y) {
        const double Y = static_cast<double>(h - y - centreOf(h) - 1);
        const double yt = Y * t;
        for (long long x = 0; x < w; ++x, p += step) {
            const double X = static_cast<double>(xStart - x);
            const double x1 = roundHalfAway(X - yt);
            const double y2 = roundHalfAway(x1 * s + Y);
            const double x3 = roundHalfAway(x1 - y2 * t);
            // Unsigned comparisons fold the two range tests into one.
            const unsigned long long col =
                static_cast<unsigned long long>(dcx - static_cast<long long>(x3));
            const unsigned long long row =
                static_cast<unsigned long long>(dcy - static_cast<long long>(y2));
            if (col < static_cast<unsigned long long>(dw) &&
                row < static_cast<unsigned long long>(dh)) {
                std::memcpy(out + row * static_cast<unsigned long long>(dw) + col, p,
                            sizeof(_VORNRGBAQUAD));
            }
        }
    }
}

} // namespace vorn::detail

VornBuffer* VornBuffer::rotateBuffer(int angle) const {
    if (!pixels || width < 1 || height < 1) {
        return nullptr;
    }
    vorn::detail::RotationPlan plan = vorn::detail::planRotation(angle);
    const float c = std::cos(plan.sizeTheta);
    const float s = std::sin(plan.sizeTheta);
    const float fw =
        std::fabs(static_cast<float>(height) * s) + std::fabs(static_cast<float>(width) * c);
    const float fh =
        std::fabs(static_cast<float>(height) * c) + std::fabs(static_cast<float>(width) * s);
    // Both extents stay below 2^31 (a buffer holds fewer than 2^29 pixels
    // along either side), so the rounded floats convert safely.
    const long long rw = static_cast<long long>(vorn::detail::roundHalfAway(fw)) + 1;
    const long long rh = static_cast<long long>(vorn::detail::roundHalfAway(fh)) + 1;
    if (rw > INT_MAX || rh > INT_MAX) {
        return nullptr;
    }
    VornBuffer* result = Build(static_cast<int>(rw), static_cast<int>(rh), nullptr);
    if (!result) {
        return nullptr;
    }
    vorn::detail::transformKernels().rotate(*this, *result, plan);
    return result;
}
