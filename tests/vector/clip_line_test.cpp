// SPDX-License-Identifier: MIT
// Line clipping: the direction-dependent crossings, the accept and reject
// tests, and points anywhere in the 32-bit range.

#include "vector_test.h"

#include <climits>
#include <cmath>
#include <tuple>

namespace {

TEST(ClipLine, ExamplesInTheTenByTenRectangle) {
    struct Case {
        _VORNPOINT p1, p2;
        bool drawn;
        _VORNPOINT q1, q2; // the points afterwards
    };
    const Case cases[] = {
        // Accepted as they are.
        {pt(3, 3), pt(7, 7), true, pt(3, 3), pt(7, 7)},
        {pt(0, 0), pt(0, 0), true, pt(0, 0), pt(0, 0)},
        {pt(0, 10), pt(10, 0), true, pt(0, 10), pt(10, 0)},
        // Crossings rounded toward p1, so the two directions differ.
        {pt(-7, 2), pt(13, 9), true, pt(0, 4), pt(10, 7)},
        {pt(13, 9), pt(-7, 2), true, pt(10, 9), pt(0, 5)},
        {pt(-10, 5), pt(20, 5), true, pt(0, 5), pt(10, 5)},
        {pt(20, 5), pt(-10, 5), true, pt(10, 5), pt(0, 5)},
        {pt(-5, -5), pt(15, 15), true, pt(0, 0), pt(10, 10)},
        // From a point on the right edge outward: the outer end is moved.
        {pt(10, 3), pt(15, 8), true, pt(10, 3), pt(10, 3)},
        // Vertical: only the top and bottom steps act.
        {pt(5, -5), pt(5, 15), true, pt(5, 0), pt(5, 10)},
        // The crossing -4 is truncated toward zero before 10 is added.
        {pt(-4, 10), pt(6, 0), true, pt(0, 6), pt(6, 0)},
        {pt(12, 3), pt(3, 12), true, pt(10, 5), pt(5, 10)},
        // Touching the corner leaves one point.
        {pt(-5, 5), pt(5, -5), true, pt(0, 0), pt(0, 0)},
        // Passing outside the corner: rejected after clipping, p1 moved.
        {pt(-3, 1), pt(1, -3), false, pt(0, -2), pt(1, -3)},
        // Rejected at once, untouched.
        {pt(-1, -1), pt(-1, 5), false, pt(-1, -1), pt(-1, 5)},
        {pt(11, 0), pt(12, 10), false, pt(11, 0), pt(12, 10)},
        // The full 32-bit diagonal: 2^31 / 2^32 is exactly one half.
        {pt(INT_MIN, INT_MIN), pt(INT_MAX, INT_MAX), true, pt(0, 0), pt(10, 10)},
    };
    BufferPtr b = makeBuffer(1, 1);
    for (const Case& c : cases) {
        _VORNPOINT p1 = c.p1;
        _VORNPOINT p2 = c.p2;
        EXPECT_EQ(b->ClipLine(p1, p2, 0, 0, 10, 10), c.drawn) << c.p1.x << ", " << c.p1.y;
        EXPECT_EQ(std::make_tuple(p1.x, p1.y, p2.x, p2.y),
                  std::make_tuple(c.q1.x, c.q1.y, c.q2.x, c.q2.y))
            << c.p1.x << ", " << c.p1.y;
    }
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef __int128 Int128;

// Distance of q from the line through a and b (exact cross product).
long double offLine(_VORNPOINT a, _VORNPOINT b, _VORNPOINT q) {
    const Int128 ex = static_cast<Int128>(b.x) - a.x;
    const Int128 ey = static_cast<Int128>(b.y) - a.y;
    const Int128 cross =
        ex * (static_cast<Int128>(q.y) - a.y) - ey * (static_cast<Int128>(q.x) - a.x);
    return std::fabs(static_cast<long double>(cross)) /
           std::sqrt(static_cast<long double>(ex * ex + ey * ey));
}

// Segments through a point inside a rectangle (three pixels from its
// edges), their ends anywhere in the 32-bit range: none is rejected, both
// clipped points lie in the rectangle, within a pixel of the true line
// when one end was inside and within two when both were clipped (the
// second crossing is formed from the first, each truncated toward p1, so a
// segment passing just inside a corner can still come out just outside
// it). Single precision used to put ends 10^9 away up to 126 pixels off.
TEST(ClipLine, FarEndsStayOnTheLine) {
    BufferPtr b = makeBuffer(1, 1);
    Rng rng(31);
    const int values[] = {INT_MIN, INT_MIN + 1, -1, 0, 5, INT_MAX - 1, INT_MAX};
    auto extreme = [&] {
        return rng.range(0, 1) ? values[rng.range(0, 6)] : rng.range(INT_MIN, INT_MAX);
    };
    for (int trial = 0; trial < 20000; ++trial) {
        const int left = rng.range(-3000, 3000);
        const int top = rng.range(-3000, 3000);
        const int right = left + rng.range(6, 3000);
        const int bottom = top + rng.range(6, 3000);
        const _VORNPOINT q = pt(rng.range(left + 3, right - 3), rng.range(top + 3, bottom - 3));
        // p1 far away; p2 inside, or beyond q on the line p1 -> q.
        const _VORNPOINT p1 = pt(rng.range(INT_MIN, INT_MAX), rng.range(INT_MIN, INT_MAX));
        const bool bothOutside = rng.range(0, 1) == 1;
        _VORNPOINT p2 = q;
        if (bothOutside) {
            const long double k = std::ldexp(1.0L, -rng.range(1, 30));
            p2 = pt(
                static_cast<int>(q.x + std::llround((q.x - static_cast<long double>(p1.x)) * k)),
                static_cast<int>(q.y + std::llround((q.y - static_cast<long double>(p1.y)) * k)));
        }
        _VORNPOINT c1 = p1;
        _VORNPOINT c2 = p2;
        SCOPED_TRACE(testing::Message()
                     << "(" << p1.x << ", " << p1.y << ")-(" << p2.x << ", " << p2.y << ") in "
                     << left << ", " << top << ", " << right << ", " << bottom);
        ASSERT_TRUE(b->ClipLine(c1, c2, left, top, right, bottom));
        // Any other segment from p1, maybe to the ends of the range, is
        // either refused or ends inside.
        _VORNPOINT e1 = p1;
        _VORNPOINT e2 = pt(extreme(), extreme());
        const bool other = b->ClipLine(e1, e2, left, top, right, bottom);
        for (const _VORNPOINT& c : {e1, e2}) {
            ASSERT_TRUE(!other || (c.x >= left && c.x <= right && c.y >= top && c.y <= bottom));
        }
        for (const _VORNPOINT& c : {c1, c2}) {
            ASSERT_TRUE(c.x >= left && c.x <= right && c.y >= top && c.y <= bottom);
            ASSERT_LE(offLine(p1, p2, c), bothOutside ? 2.0L : 1.0L) << c.x << ", " << c.y;
        }
    }
}
#endif

} // namespace
