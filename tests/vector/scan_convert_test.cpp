// SPDX-License-Identifier: MIT
// The polygon fill: pixel sets of worked shapes, the winding within a
// contour and the toggling between contours, contours left of the buffer,
// horizontal runs, the modes, the work areas, and bad input. Every shape is
// filled by fillPolygon and by its plain twin, which must agree.

#include "alloc_counter.h"
#include "vector_test.h"

#include <climits>

namespace {

const _VORNRGBAQUAD kInk = rgba(220, 40, 70, 255);

// Fills with fillPolygon and with the plain fill, checks that both give the
// same bytes, and returns the fillPolygon buffer.
BufferPtr filled(int w, int h, const Polygon& p, int mode = 0, _VORNRGBAQUAD c = kInk,
                 _VORNRGBAQUAD background = kClear) {
    BufferPtr fast = makeFilled(w, h, background);
    BufferPtr plain = makeFilled(w, h, background);
    EXPECT_EQ(fill(*fast, p, c, mode), 0);
    EXPECT_EQ(fillReference(*plain, p, c, mode), 0);
    EXPECT_EQ(words(*fast), words(*plain)) << "fillPolygon and the plain fill differ";
    return fast;
}

// The picture of a fill into a buffer the size of `expected`.
void expectPicture(const Polygon& p, const std::string& expected) {
    const std::string want = grid(expected);
    const int w = static_cast<int>(want.find('\n'));
    const int h = static_cast<int>(want.size()) / (w + 1);
    EXPECT_EQ(picture(*filled(w, h, p)), want);
}

TEST(FillPolygon, Shapes) {
    const char* square = ".......|.#####.|.#####.|.#####.|.#####.|.#####.|.......";
    expectPicture({{pt(1, 1), pt(5, 1), pt(5, 5), pt(1, 5)}}, square);
    expectPicture({{pt(1, 1), pt(5, 1), pt(5, 5), pt(1, 5), pt(1, 1)}}, square);
    expectPicture({{pt(1, 5), pt(5, 5), pt(5, 1), pt(1, 1)}}, square);
    expectPicture({{pt(1, 1), pt(10, 1), pt(5, 6)}}, "............|.##########.|..########..|"
                                                     "...######...|...#####....|....###.....|"
                                                     ".....#......|............");
    // Non-zero winding fills the star's inner pentagon too.
    expectPicture({{pt(10, 0), pt(16, 20), pt(0, 7), pt(20, 7), pt(4, 20)}},
                  "..........#..........|..........#..........|.........###.........|"
                  ".........###.........|.........###.........|........####.........|"
                  "........#####........|#####################|.###################.|"
                  "..#################..|....#############....|.....###########.....|"
                  "......#########......|......#########......|......#########......|"
                  ".....##########......|.....#####.#####.....|.....####...####.....|"
                  ".....###.....###.....|....##.........##....|....#...........#....");
    // The second square's top row inside the overlap holds only border
    // marks, which an earlier covered cell does not take: it is uncovered
    // like the inside. Its left and right columns carry crossings.
    expectPicture(
        {{pt(0, 0), pt(6, 0), pt(6, 6), pt(0, 6)}, {pt(3, 3), pt(9, 3), pt(9, 9), pt(3, 9)}},
        "#######....|#######....|#######....|####...###.|####...###.|####...###.|"
        "####...###.|...#######.|...#######.|...#######.|...........");
    // Crossings left of the buffer are carried per row; from far away only
    // the tip's row enters the buffer.
    expectPicture({{pt(-3, 1), pt(4, 1), pt(4, 4), pt(-3, 4)}},
                  "........|#####...|#####...|#####...|#####...|........");
    expectPicture({{pt(-9, 0), pt(-1, 3), pt(-7, 5)}}, "....|....|....|....|....|....");
    expectPicture({{pt(-100000, 0), pt(5, 2), pt(-100000, 5)}},
                  "........|........|######..|........");
    expectPicture({{pt(-10, 0), pt(5, 3), pt(-10, 5)}},
                  "........|........|###.....|######..|##......|........");
    expectPicture({{pt(-50, -40), pt(60, -45), pt(70, 80), pt(-55, 90)}}, "####|####");
    // Two points: the segment there and back; one point covers nothing; a
    // contour on one row covers its run.
    expectPicture({{pt(0, 0), pt(5, 2)}}, "##.....|..##...|....##.");
    expectPicture({{pt(2, 1)}}, "....|....");
    expectPicture({{pt(2, 1), pt(2, 1), pt(2, 1)}}, "....|....");
    expectPicture({{pt(6, 1), pt(1, 1), pt(3, 1)}}, "........|.######.|........");
    // Horizontal runs: a run that is a local extremum gets a crossing at its
    // start that balances the one its leaving edge counts (two flat tops, a
    // flat bottom); a run passed straight through is only marked.
    expectPicture({{pt(0, 8), pt(2, 2), pt(4, 2), pt(6, 6), pt(8, 2), pt(10, 2), pt(12, 8)}},
                  "..............|..............|..###...###...|..###..####...|.#####.#####..|"
                  ".###########..|.###########..|#############.|#############.|..............");
    expectPicture({{pt(0, 0), pt(4, 0), pt(4, 3), pt(8, 3), pt(8, 6), pt(0, 6)}},
                  "#####.....|#####.....|#####.....|#########.|#########.|#########.|"
                  "#########.|..........");
    // A run made of several points and a repeated point on a flat bottom.
    EXPECT_EQ(picture(*filled(
                  9, 6, {{pt(1, 1), pt(4, 4), pt(6, 4), pt(6, 4), pt(7, 4), pt(7, 1), pt(5, 1)}})),
              picture(*filled(9, 6, {{pt(1, 1), pt(4, 4), pt(7, 4), pt(7, 1), pt(5, 1)}})));
}

TEST(FillPolygon, ModesCombineToggleOrWrite) {
    const _VORNRGBAQUAD c = rgba(0x33, 0x55, 0x00, 0xFF);
    const _VORNRGBAQUAD mixed = rgba(0xF0, 0x00, 0x0F, 0x00);
    const _VORNRGBAQUAD grey = rgba(0x3C, 0x3C, 0x3C, 0x3C);
    const _VORNRGBAQUAD almost = rgba(0x33, 0x55, 0x00, 0xFE);
    struct Case {
        std::vector<int> modes;
        _VORNRGBAQUAD before[4];
        _VORNRGBAQUAD after[4];
    };
    const Case cases[] = {
        // Both bytes non-zero: AND; otherwise OR.
        {{4, 5},
         {grey, mixed, kClear, grey},
         {grey, rgba(0x30, 0x55, 0x0F, 0xFF), c, rgba(0x30, 0x14, 0x3C, 0x3C)}},
        // A pixel holding the colour becomes 0, any other the colour.
        {{9}, {c, c, almost, kClear}, {c, kClear, c, c}},
        {{0, 1, 3, 6, 8, 10, -1, INT_MIN}, {c, c, almost, kClear}, {c, c, c, c}},
    };
    for (const Case& k : cases) {
        for (int mode : k.modes) {
            BufferPtr b = makeBuffer(4, 1);
            BufferPtr plain = makeBuffer(4, 1);
            for (int x = 0; x < 4; ++x) {
                *b->getPixel(x, 0) = *plain->getPixel(x, 0) = k.before[x];
            }
            fill(*b, Polygon{{pt(1, 0), pt(3, 0)}}, c, mode);
            fillReference(*plain, Polygon{{pt(1, 0), pt(3, 0)}}, c, mode);
            EXPECT_EQ(words(*b), words(*plain)) << mode;
            for (int x = 0; x < 4; ++x) {
                EXPECT_EQ(at(*b, x, 0), k.after[x]) << "mode " << mode << " at " << x;
            }
        }
    }
}

// What lies left of the buffer does not carry from one contour into the
// next, so a hole is cut whichever way its contour runs, and a polygon that
// runs off the left edge fills the buffer as a wider buffer shows it.
TEST(FillPolygon, ContoursLeftOfTheBufferDoNotShareTheirCarry) {
    const std::vector<_VORNPOINT> outer = {pt(-10, 0), pt(10, 0), pt(10, 12), pt(-10, 12)};
    const std::vector<std::vector<_VORNPOINT>> holes = {
        {pt(-5, 3), pt(5, 3), pt(5, 8), pt(-5, 8)}, // same orientation, crossing the edge
        {pt(-5, 3), pt(-5, 8), pt(5, 8), pt(5, 3)}, // opposite orientation
        {pt(2, 3), pt(2, 8), pt(6, 8), pt(6, 3)},   // inside the buffer
        {pt(2, 3), pt(6, 3), pt(6, 8), pt(2, 8)}};
    for (std::size_t i = 0; i < holes.size(); ++i) {
        Polygon p;
        p.add(outer);
        p.add(holes[i]);
        Polygon shifted = p;
        for (_VORNPOINT& v : shifted.points) {
            v.x += 30;
        }
        BufferPtr clipped = filled(12, 14, p);
        BufferPtr wide = filled(44, 14, shifted);
        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 12; ++x) {
                ASSERT_EQ(at(*clipped, x, y), at(*wide, x + 30, y)) << i << ": " << x << ", " << y;
            }
        }
        EXPECT_EQ(at(*clipped, 3, 5), kClear) << i;
        EXPECT_EQ(at(*clipped, 8, 5), kInk) << i;
    }
}

// ---------------------------------------------------------------------------
// Bad input and the work areas
// ---------------------------------------------------------------------------

TEST(PolygonFills, RefuseAMissingFirstContourOrArray) {
    const _VORNPOINT points[] = {pt(1, 1), pt(3, 1), pt(3, 3)};
    const int three[] = {3};
    const int zero[] = {0};
    const int minus[] = {-1};
    struct Args {
        const _VORNPOINT* points;
        const int* sizes;
        int contours;
    };
    const Args cases[] = {{points, three, 0}, {points, three, -2}, {points, zero, 1},
                          {points, minus, 1}, {nullptr, three, 1}, {points, nullptr, 1}};
    BufferPtr b = makeBuffer(5, 5);
    BufferPtr texture = makeFilled(2, 2, kInk);
    for (const Args& a : cases) {
        EXPECT_EQ(b->fillPolygon(a.points, a.sizes, a.contours, 1, 2, 3, 4, 0), -1);
        EXPECT_EQ(b->fillPolygon(a.points, a.sizes, a.contours, 1, 2, 3, 4, 9), -1);
        EXPECT_EQ(b->fillPolygonBlend(a.points, a.sizes, a.contours, 1, 2, 3, 4), -1);
        EXPECT_EQ(b->fillPolygonBitmap(a.points, a.sizes, a.contours, texture.get(), 255), -1);
    }
    // A texture without pixels, or none.
    Access bare(0, 0);
    for (VornBuffer* t : {static_cast<VornBuffer*>(nullptr), static_cast<VornBuffer*>(&bare)}) {
        EXPECT_EQ(b->fillPolygonBitmap(points, three, 1, t, 255), -1);
    }
    EXPECT_TRUE(changedPixels(*b).empty());
    // Nothing was allocated either.
    EXPECT_EQ(Access::edgeMapOf(*b), nullptr);
    EXPECT_EQ(Access::rowCarryOf(*b), nullptr);
}

// Later contours of 0 or fewer points are skipped without moving the
// position: nothing before the array or past the sizes' sum is read.
TEST(PolygonFills, SkipLaterContourSizesBelowOne) {
    Polygon bad{{pt(0, 0), pt(8, 0), pt(8, 8), pt(0, 8)}, {pt(2, 2), pt(5, 2), pt(5, 5)}};
    const Polygon good = bad;
    bad.sizes = {4, 0, -3, INT_MIN, 3, -1};
    for (int mode : {0, 9}) {
        BufferPtr b = patterned(10, 10);
        BufferPtr expected = patterned(10, 10);
        EXPECT_EQ(fill(*b, bad, kInk, mode), 0);
        fill(*expected, good, kInk, mode);
        EXPECT_EQ(words(*b), words(*expected)) << mode;
        EXPECT_EQ(words(*filled(10, 10, bad, mode)), words(*filled(10, 10, good, mode))) << mode;
    }
}

TEST(FillPolygon, WorkAreasAreAllocatedOnceAndKept) {
    BufferPtr b = makeBuffer(40, 30);
    const Polygon p{{pt(3, 2), pt(30, 5), pt(12, 25)}};
    BufferPtr texture = makeFilled(3, 3, rgba(4, 5, 6, 7));
    const std::size_t before = allocationCount();
    fill(*b, p, kInk);
    EXPECT_EQ(allocationCount(), before + 2); // edgeMap and rowCarry
    unsigned short* map = Access::edgeMapOf(*b);
    unsigned short* carry = Access::rowCarryOf(*b);
    fill(*b, p, rgba(1, 1, 1, 1), 9);
    fillBlend(*b, p, rgba(1, 2, 3, 128));
    fillBitmap(*b, p, texture.get(), 200);
    EXPECT_EQ(allocationCount(), before + 2);
    EXPECT_EQ(Access::edgeMapOf(*b), map);
    EXPECT_EQ(Access::rowCarryOf(*b), carry);
    // The work areas hold 0 everywhere between fills.
    EXPECT_EQ(cells(*b), std::vector<unsigned short>(40 * 30, 0));
    EXPECT_EQ(carries(*b), std::vector<unsigned short>(30, 0));
}

} // namespace
