// SPDX-License-Identifier: MIT
// Line clipping: one pass of a parametric edge-by-edge clip, in single
// precision, framed by the usual accept and reject tests.

#include "vector/vector.h"

#include <climits>
#include <cstdint>

namespace {

bool inside(int v, int low, int high) {
    return v >= low && v <= high;
}

// Both points strictly beyond one edge of the rectangle.
bool rejected(const _VORNPOINT& p1, const _VORNPOINT& p2, int left, int top, int right,
              int bottom) {
    return (p1.x < left && p2.x < left) || (p1.x > right && p2.x > right) ||
           (p1.y < top && p2.y < top) || (p1.y > bottom && p2.y > bottom);
}

int saturate(std::int64_t v) {
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

enum class Side { Left, Right, Top, Bottom };

// One clipping step against the edge at coordinate e. The differences are
// formed in 64 bits (two 32-bit coordinates can lie more than 2^31 apart)
// and then rounded to single precision, which is where the crossing's
// precision comes from. The crossing is truncated toward zero before p1's
// coordinate is added, so it rounds toward p1 whichever way the segment
// runs; a point whose crossing lands past the 32-bit range (only possible
// through the rounding of a difference near 2^32) is held at the range's end.
void clipStep(_VORNPOINT& p1, _VORNPOINT& p2, int e, Side side) {
    const bool onX = side == Side::Left || side == Side::Right;
    const std::int64_t a1 = onX ? p1.x : p1.y;
    const std::int64_t a2 = onX ? p2.x : p2.y;
    const std::int64_t b1 = onX ? p1.y : p1.x;
    const std::int64_t b2 = onX ? p2.y : p2.x;

    const float t = static_cast<float>(e - a1) / static_cast<float>(a2 - a1);
    // Also false for the infinite or undefined quotient of a zero divisor.
    if (!(t >= 0.0f && t <= 1.0f)) {
        return;
    }
    const float offset = static_cast<float>(b2 - b1) * t;
    const int b = saturate(static_cast<std::int64_t>(offset) + b1);

    auto beyond = [&](const _VORNPOINT& p) {
        switch (side) {
        case Side::Left:
            return p.x < e;
        case Side::Right:
            return p.x > e;
        case Side::Top:
            return p.y < e;
        case Side::Bottom:
            break;
        }
        return p.y > e;
    };
    _VORNPOINT* moved = nullptr;
    if (beyond(p1)) {
        moved = &p1;
    } else if (beyond(p2)) {
        moved = &p2;
    }
    if (!moved) {
        return;
    }
    if (onX) {
        moved->x = e;
        moved->y = b;
    } else {
        moved->x = b;
        moved->y = e;
    }
}

} // namespace

bool VornBuffer::ClipLine(_VORNPOINT& p1, _VORNPOINT& p2, int left, int top, int right,
                          int bottom) const {
    if (inside(p1.x, left, right) && inside(p2.x, left, right) && inside(p1.y, top, bottom) &&
        inside(p2.y, top, bottom)) {
        return true;
    }
    if (rejected(p1, p2, left, top, right, bottom)) {
        return false;
    }
    // Always in this order; each step sees the points as the steps before
    // it left them.
    clipStep(p1, p2, left, Side::Left);
    clipStep(p1, p2, right, Side::Right);
    clipStep(p1, p2, top, Side::Top);
    clipStep(p1, p2, bottom, Side::Bottom);
    return !rejected(p1, p2, left, top, right, bottom);
}
