// SPDX-License-Identifier: MIT
// Line clipping: one pass of a parametric edge-by-edge clip, in single
// precision (double precision for differences beyond 2^24), framed by the
// usual accept and reject tests.

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

// Differences up to this size are whole numbers in single precision.
constexpr std::int64_t kExactInFloat = std::int64_t{1} << 24;

bool exactInFloat(std::int64_t v) {
    return v <= kExactInFloat && v >= -kExactInFloat;
}

// The offset of the crossing along the other axis from p1, truncated toward
// zero, or false when the edge's parameter t = toEdge / along lies outside
// [0, 1] (also for the infinite or undefined quotient of a zero divisor).
// Differences that single precision holds exactly are divided and
// multiplied in single precision. Larger ones would lose whole pixels
// there (ends 10^9 away land up to a hundred pixels off the line), so they
// are computed in double precision, which holds every difference of two
// 32-bit coordinates exactly: the test of t is then exact, and the offset
// is within a millionth of a pixel before its truncation.
bool crossing(std::int64_t toEdge, std::int64_t along, std::int64_t across, std::int64_t& offset) {
    if (exactInFloat(toEdge) && exactInFloat(along) && exactInFloat(across)) {
        const float t = static_cast<float>(toEdge) / static_cast<float>(along);
        if (!(t >= 0.0f && t <= 1.0f)) {
            return false;
        }
        offset = static_cast<std::int64_t>(static_cast<float>(across) * t);
        return true;
    }
    const double t = static_cast<double>(toEdge) / static_cast<double>(along);
    if (!(t >= 0.0 && t <= 1.0)) {
        return false;
    }
    offset = static_cast<std::int64_t>(static_cast<double>(across) * t);
    return true;
}

// One clipping step against the edge at coordinate e. The differences are
// formed in 64 bits (two 32-bit coordinates can lie more than 2^31 apart).
// The crossing is truncated toward zero before p1's coordinate is added, so
// it rounds toward p1 whichever way the segment runs; a crossing past the
// 32-bit range is held at the range's end.
void clipStep(_VORNPOINT& p1, _VORNPOINT& p2, int e, Side side) {
    const bool onX = side == Side::Left || side == Side::Right;
    const std::int64_t a1 = onX ? p1.x : p1.y;
    const std::int64_t a2 = onX ? p2.x : p2.y;
    const std::int64_t b1 = onX ? p1.y : p1.x;
    const std::int64_t b2 = onX ? p2.y : p2.x;

    std::int64_t offset = 0;
    if (!crossing(e - a1, a2 - a1, b2 - b1, offset)) {
        return;
    }
    const int b = saturate(offset + b1);

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
