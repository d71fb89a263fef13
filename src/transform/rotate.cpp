// SPDX-License-Identifier: MIT
// Rotation by whole degrees: three rounded shears move every source pixel,
// unfiltered, to one pixel of a new buffer sized to hold the turned image.
//
// The shear factor tan(theta / 2) grows without bound towards a half turn,
// and with it the error of the rounded shears. Angles are therefore brought
// into -180..180 first; beyond a quarter turn either way the image is
// turned through a half turn by exchanging pixels through its centre (exact)
// and only the remainder, within a quarter turn, is sheared.

#include "transform/transform.h"

#include <cmath>
#include <cstring>

namespace vorn::detail {

namespace {

/// The centre pixel of an extent: the middle one, or the lower of the two.
inline long long centreOf(long long n) {
    return (n + 1) / 2 - 1;
}

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

void rotatePixelsReference(const VornBuffer& src, VornBuffer& dst, const RotationPlan& plan) {
    const long long w = src.getWidth();
    const long long h = src.getHeight();
    const long long cx = centreOf(w);
    const long long cy = centreOf(h);
    const long long dw = dst.getWidth();
    const long long dh = dst.getHeight();
    const long long dcx = centreOf(dw);
    const long long dcy = centreOf(dh);
    const SourceWalk walk = sourceWalk(src, plan.halfTurn);
    const _VORNRGBAQUAD* p = walk.first;
    _VORNRGBAQUAD* out = dst.getPixels();
    for (long long y = 0; y < h; ++y) {
        for (long long x = 0; x < w; ++x, p += walk.step) {
            // Mirrored about the centre, so that the last step's
            // subtraction from the destination centre turns it back.
            const double X = static_cast<double>(w - x - cx - 1);
            const double Y = static_cast<double>(h - y - cy - 1);
            const double x1 = roundHalfAway(X - Y * plan.t);
            const double y2 = roundHalfAway(x1 * plan.s + Y);
            const double x3 = roundHalfAway(x1 - y2 * plan.t);
            const long long col = dcx - static_cast<long long>(x3);
            const long long row = dcy - static_cast<long long>(y2);
            if (col >= 0 && col < dw && row >= 0 && row < dh) {
                std::memcpy(out + row * dw + col, p, sizeof(_VORNRGBAQUAD));
            }
        }
    }
}

void rotatePixelsScalar(const VornBuffer& src, VornBuffer& dst, const RotationPlan& plan) {
    const long long w = src.getWidth();
    const long long h = src.getHeight();
    const long long dw = dst.getWidth();
    const long long dh = dst.getHeight();
    const long long dcx = centreOf(dw);
    const long long dcy = centreOf(dh);
    const SourceWalk walk = sourceWalk(src, plan.halfTurn);
    const std::uint32_t* p = reinterpret_cast<const std::uint32_t*>(walk.first);
    std::uint32_t* out = reinterpret_cast<std::uint32_t*>(dst.getPixels());
    const double t = plan.t;
    const double s = plan.s;
    // X runs from w - cx - 1 down by one per pixel; Y from h - cy - 1.
    const long long xStart = w - centreOf(w) - 1;
    for (long long y = 0; y < h; ++y) {
        const double Y = static_cast<double>(h - y - centreOf(h) - 1);
        const double yt = Y * t;
        for (long long x = 0; x < w; ++x, p += walk.step) {
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
                out[row * static_cast<unsigned long long>(dw) + col] = *p;
            }
        }
    }
}

} // namespace vorn::detail

using vorn::detail::kernelLevel;
using vorn::detail::KernelLevel;

VornBuffer* VornBuffer::rotateBuffer(int angle) const {
    if (!pixels || width < 1 || height < 1) {
        return nullptr;
    }
    const vorn::detail::RotationPlan plan = vorn::detail::planRotation(angle);
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
    switch (kernelLevel()) {
    case KernelLevel::Reference:
        vorn::detail::rotatePixelsReference(*this, *result, plan);
        break;
    case KernelLevel::Avx2:
        if (vorn::detail::rotatePixelsAvx2(*this, *result, plan)) {
            break;
        }
        vorn::detail::rotatePixelsScalar(*this, *result, plan);
        break;
    case KernelLevel::Sse2:
        vorn::detail::rotatePixelsScalar(*this, *result, plan);
        break;
    }
    return result;
}
