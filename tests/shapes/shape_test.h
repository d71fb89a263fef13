// Helpers of the shape tests: the internal rasteriser's canvas over a test
// buffer, and random ellipse boxes placed so that their curve crosses a
// buffer at a random angle.
#ifndef VORN_TESTS_SHAPES_SHAPE_TEST_H
#define VORN_TESTS_SHAPES_SHAPE_TEST_H

#include "shapes/shapes.h"
#include "vorn_test.h"

#include <cmath>
#include <sstream>
#include <string>

using vorn::detail::Canvas;
using vorn::detail::EllipseMode;

constexpr EllipseMode kAllModes[] = {EllipseMode::Outline, EllipseMode::Fill,
                                     EllipseMode::UpperHalf, EllipseMode::LowerHalf};

inline Canvas canvasOf(VornBuffer& b) {
    return Canvas{b.getPixels(), b.getWidth(), b.getHeight()};
}

inline const char* modeName(EllipseMode mode) {
    switch (mode) {
    case EllipseMode::Outline:
        return "outline";
    case EllipseMode::Fill:
        return "fill";
    case EllipseMode::UpperHalf:
        return "upper half";
    case EllipseMode::LowerHalf:
        return "lower half";
    }
    return "?";
}

struct BoxCase {
    _VORNPOINT p1;
    _VORNPOINT p2;
};

inline std::string describe(const BoxCase& box, EllipseMode mode) {
    std::ostringstream out;
    out << modeName(mode) << " box (" << box.p1.x << ", " << box.p1.y << ") - (" << box.p2.x << ", "
        << box.p2.y << ")";
    return out.str();
}

/// A semi-axis from 1 to `limit`, spread evenly on a log scale.
inline long long randomSemiAxis(Rng& rng, long long limit) {
    const double t = static_cast<double>(rng.next() >> 11) / 9007199254740992.0;
    const long long s = static_cast<long long>(std::exp(t * std::log(static_cast<double>(limit))));
    return s < 1 ? 1 : (s > limit ? limit : s);
}

/// A box whose ellipse (semi-axes up to `limit`) passes near a random point
/// of a width x height buffer or its border, at a random angle; one box in
/// eight is instead small and anywhere around the buffer, corners in any
/// order, so that degenerate and swapped boxes come up too. Extents are
/// odd or even at random. `offset` moves the whole box (to test huge
/// coordinates); the buffer then sees nothing unless offset is 0.
inline BoxCase crossingBox(Rng& rng, int width, int height, long long limit, long long offset = 0) {
    if (rng.range(0, 7) == 0) {
        return BoxCase{{rng.range(-6, width + 6), rng.range(-6, height + 6)},
                       {rng.range(-6, width + 6), rng.range(-6, height + 6)}};
    }
    const long long a = randomSemiAxis(rng, limit);
    const long long b = randomSemiAxis(rng, limit);
    const double angle = static_cast<double>(rng.range(0, 1 << 20)) * (6.283185307179586 / 1048576);
    const long long tx = rng.range(-3, width + 2);
    const long long ty = rng.range(-3, height + 2);
    const long long cx = tx - std::llround(static_cast<double>(a) * std::cos(angle)) + offset;
    const long long cy = ty - std::llround(static_cast<double>(b) * std::sin(angle)) + offset;
    BoxCase box;
    box.p1 = _VORNPOINT{static_cast<int>(cx - a), static_cast<int>(cy - b)};
    box.p2 = _VORNPOINT{static_cast<int>(cx + a + rng.range(0, 1)),
                        static_cast<int>(cy + b + rng.range(0, 1))};
    return box;
}

#endif
