// Line clipping: the direction-dependent crossings, the accept and reject
// tests, and points anywhere in the 32-bit range.

#include "vector_test.h"

#include <climits>

namespace {

struct ClipCase {
    _VORNPOINT p1;
    _VORNPOINT p2;
    bool drawn;
    _VORNPOINT q1; // the points afterwards
    _VORNPOINT q2;
};

class ClipLineExamples : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipLineExamples, InTheTenByTenRectangle) {
    const ClipCase c = GetParam();
    BufferPtr b = makeBuffer(1, 1);
    _VORNPOINT p1 = c.p1;
    _VORNPOINT p2 = c.p2;
    EXPECT_EQ(b->ClipLine(p1, p2, 0, 0, 10, 10), c.drawn);
    EXPECT_EQ(p1.x, c.q1.x);
    EXPECT_EQ(p1.y, c.q1.y);
    EXPECT_EQ(p2.x, c.q2.x);
    EXPECT_EQ(p2.y, c.q2.y);
}

INSTANTIATE_TEST_SUITE_P(Examples, ClipLineExamples,
                         ::testing::Values(
                             // Accepted as they are.
                             ClipCase{pt(3, 3), pt(7, 7), true, pt(3, 3), pt(7, 7)},
                             ClipCase{pt(0, 0), pt(0, 0), true, pt(0, 0), pt(0, 0)},
                             ClipCase{pt(0, 10), pt(10, 0), true, pt(0, 10), pt(10, 0)},
                             // Crossings rounded toward p1, so the two directions differ.
                             ClipCase{pt(-7, 2), pt(13, 9), true, pt(0, 4), pt(10, 7)},
                             ClipCase{pt(13, 9), pt(-7, 2), true, pt(10, 9), pt(0, 5)},
                             ClipCase{pt(-10, 5), pt(20, 5), true, pt(0, 5), pt(10, 5)},
                             ClipCase{pt(20, 5), pt(-10, 5), true, pt(10, 5), pt(0, 5)},
                             ClipCase{pt(-5, -5), pt(15, 15), true, pt(0, 0), pt(10, 10)},
                             // Vertical: only the top and bottom steps act.
                             ClipCase{pt(5, -5), pt(5, 15), true, pt(5, 0), pt(5, 10)},
                             // The crossing -4 is truncated toward zero before 10 is added.
                             ClipCase{pt(-4, 10), pt(6, 0), true, pt(0, 6), pt(6, 0)},
                             ClipCase{pt(12, 3), pt(3, 12), true, pt(10, 5), pt(5, 10)},
                             // Touching the corner leaves one point.
                             ClipCase{pt(-5, 5), pt(5, -5), true, pt(0, 0), pt(0, 0)},
                             // Passing outside the corner: rejected after clipping, p1 moved.
                             ClipCase{pt(-3, 1), pt(1, -3), false, pt(0, -2), pt(1, -3)},
                             // Rejected at once, untouched.
                             ClipCase{pt(-1, -1), pt(-1, 5), false, pt(-1, -1), pt(-1, 5)},
                             ClipCase{pt(11, 0), pt(12, 10), false, pt(11, 0), pt(12, 10)},
                             // The full 32-bit diagonal: 2^31 / 2^32 is exactly one half.
                             ClipCase{pt(INT_MIN, INT_MIN), pt(INT_MAX, INT_MAX), true, pt(0, 0),
                                      pt(10, 10)}));

TEST(ClipLine, UsesOnlyItsArguments) {
    // A buffer without pixels can clip; the rectangle need not be its own.
    BufferPtr b = makeBuffer(3, 3);
    _VORNPOINT p1 = pt(-7, 2);
    _VORNPOINT p2 = pt(13, 9);
    EXPECT_TRUE(b->ClipLine(p1, p2, 0, 0, 10, 10));
    EXPECT_EQ(p1.y, 4);
    // An empty rectangle whose edges are out of order rejects everything
    // the trivial tests see beyond an edge.
    _VORNPOINT q1 = pt(5, 5);
    _VORNPOINT q2 = pt(6, 6);
    EXPECT_FALSE(b->ClipLine(q1, q2, 10, 0, 0, 10));
}

// Points anywhere in the 32-bit range, against a buffer's rectangle: no
// overflow, and a drawn segment always ends inside the rectangle.
TEST(ClipLine, ExtremeCoordinatesStayInside) {
    BufferPtr b = makeBuffer(1, 1);
    Rng rng(7);
    const int values[] = {INT_MIN, INT_MIN + 1, -1000000000, -70000,     -1,          0,      1,
                          5,       640,         70000,       1000000000, INT_MAX - 1, INT_MAX};
    int drawn = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        auto coord = [&]() {
            return rng.range(0, 2) == 0 ? values[rng.range(0, 12)] : rng.range(INT_MIN, INT_MAX);
        };
        _VORNPOINT p1 = pt(coord(), coord());
        _VORNPOINT p2 = pt(coord(), coord());
        const int w = rng.range(1, 2000);
        const int h = rng.range(1, 2000);
        if (b->ClipLine(p1, p2, 0, 0, w, h)) {
            ++drawn;
            ASSERT_TRUE(p1.x >= 0 && p1.x <= w && p1.y >= 0 && p1.y <= h) << trial;
            ASSERT_TRUE(p2.x >= 0 && p2.x <= w && p2.y >= 0 && p2.y <= h) << trial;
        }
    }
    EXPECT_GT(drawn, 100);
}

} // namespace
