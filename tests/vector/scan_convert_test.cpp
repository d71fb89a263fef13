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
                 _VORNRGBAQUAD background = rgba(0, 0, 0, 0)) {
    BufferPtr fast = makeFilled(w, h, background);
    BufferPtr plain = makeFilled(w, h, background);
    EXPECT_EQ(fill(*fast, p, c, mode), 0);
    EXPECT_EQ(fillReference(*plain, p, c, mode), 0);
    EXPECT_EQ(words(*fast), words(*plain)) << "fillPolygon and the plain fill differ";
    return fast;
}

TEST(FillPolygon, Square) {
    const std::string square = rows({".......", //
                                     ".#####.", //
                                     ".#####.", //
                                     ".#####.", //
                                     ".#####.", //
                                     ".#####.", //
                                     "......."});
    EXPECT_EQ(picture(*filled(7, 7, Polygon{{pt(1, 1), pt(5, 1), pt(5, 5), pt(1, 5)}})), square);
    // The first point repeated at the end fills the same.
    EXPECT_EQ(picture(*filled(7, 7, Polygon{{pt(1, 1), pt(5, 1), pt(5, 5), pt(1, 5), pt(1, 1)}})),
              square);
    // Either orientation.
    EXPECT_EQ(picture(*filled(7, 7, Polygon{{pt(1, 5), pt(5, 5), pt(5, 1), pt(1, 1)}})), square);
    BufferPtr b = filled(7, 7, Polygon{{pt(1, 1), pt(5, 1), pt(5, 5), pt(1, 5)}});
    EXPECT_EQ(at(*b, 3, 3), kInk);
}

TEST(FillPolygon, Triangle) {
    EXPECT_EQ(picture(*filled(12, 8, Polygon{{pt(1, 1), pt(10, 1), pt(5, 6)}})),
              rows({"............", //
                    ".##########.", //
                    "..########..", //
                    "...######...", //
                    "...#####....", //
                    "....###.....", //
                    ".....#......", //
                    "............"}));
}

// A self-crossing star: non-zero winding fills the inner pentagon too.
TEST(FillPolygon, StarIsFilledSolid) {
    BufferPtr b = filled(21, 21, Polygon{{pt(10, 0), pt(16, 20), pt(0, 7), pt(20, 7), pt(4, 20)}});
    // The pentagon's inside, where the winding is 2.
    for (const auto& xy : {std::make_pair(10, 10), std::make_pair(8, 9), std::make_pair(12, 9),
                           std::make_pair(10, 13), std::make_pair(7, 12), std::make_pair(13, 12)}) {
        EXPECT_EQ(at(*b, xy.first, xy.second), kInk) << xy.first << ", " << xy.second;
    }
    // Between the points, outside the star.
    for (const auto& xy : {std::make_pair(2, 2), std::make_pair(18, 2), std::make_pair(10, 19),
                           std::make_pair(1, 14), std::make_pair(19, 14)}) {
        EXPECT_EQ(at(*b, xy.first, xy.second), rgba(0, 0, 0, 0));
    }
    // The tips are part of the outline.
    for (const auto& xy : {std::make_pair(10, 0), std::make_pair(0, 7), std::make_pair(20, 7),
                           std::make_pair(4, 20), std::make_pair(16, 20)}) {
        EXPECT_EQ(at(*b, xy.first, xy.second), kInk);
    }
}

TEST(FillPolygon, SecondContourCutsAHole) {
    const Polygon p{{pt(0, 0), pt(10, 0), pt(10, 10), pt(0, 10)},
                    {pt(3, 3), pt(7, 3), pt(7, 7), pt(3, 7)}};
    BufferPtr b = filled(12, 12, p);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool outer = x <= 10 && y <= 10;
            // The inner contour's left and right columns carry crossings and
            // stay covered.
            const bool hole = x >= 4 && x <= 6 && y >= 3 && y <= 7;
            EXPECT_EQ(at(*b, x, y) == kInk, outer && !hole) << x << ", " << y;
        }
    }
}

TEST(FillPolygon, OverlappingContoursToggle) {
    const Polygon p{{pt(0, 0), pt(6, 0), pt(6, 6), pt(0, 6)},
                    {pt(3, 3), pt(9, 3), pt(9, 9), pt(3, 9)}};
    // The second square's top row inside the overlap holds only border
    // marks, which an earlier covered cell does not take: it is uncovered
    // like the inside. Its left and right columns carry crossings.
    EXPECT_EQ(picture(*filled(11, 11, p)), rows({"#######....", //
                                                 "#######....", //
                                                 "#######....", //
                                                 "####...###.", //
                                                 "####...###.", //
                                                 "####...###.", //
                                                 "####...###.", //
                                                 "...#######.", //
                                                 "...#######.", //
                                                 "...#######.", //
                                                 "..........."}));
}

// Crossings left of the buffer are carried per row.
TEST(FillPolygon, ContourLeftOfTheBufferIsCarried) {
    EXPECT_EQ(picture(*filled(8, 6, Polygon{{pt(-3, 1), pt(4, 1), pt(4, 4), pt(-3, 4)}})),
              rows({"........", //
                    "#####...", //
                    "#####...", //
                    "#####...", //
                    "#####...", //
                    "........"}));
    EXPECT_TRUE(changedPixels(*filled(8, 6, Polygon{{pt(-9, 0), pt(-1, 3), pt(-7, 5)}})).empty());
    // Reaching in from far away on the left: only the tip's row, 2, enters
    // the buffer; the others lie wholly left of it.
    EXPECT_EQ(picture(*filled(8, 6, Polygon{{pt(-100000, 0), pt(5, 2), pt(-100000, 5)}})),
              rows({"........", //
                    "........", //
                    "######..", //
                    "........", //
                    "........", //
                    "........"}));
    EXPECT_EQ(picture(*filled(8, 6, Polygon{{pt(-100, 0), pt(5, 2), pt(-100, 5)}})),
              rows({"........", //
                    "........", //
                    "######..", //
                    "........", //
                    "........", //
                    "........"}));
    EXPECT_EQ(picture(*filled(8, 6, Polygon{{pt(-10, 0), pt(5, 3), pt(-10, 5)}})),
              rows({"........", //
                    "........", //
                    "###.....", //
                    "######..", //
                    "##......", //
                    "........"}));
}

TEST(FillPolygon, EnclosingTheBufferCoversEveryPixel) {
    BufferPtr b = filled(9, 7, Polygon{{pt(-50, -40), pt(60, -45), pt(70, 80), pt(-55, 90)}});
    EXPECT_EQ(changedPixels(*b).size(), 63u);
}

TEST(FillPolygon, TwoPointsAndOnePoint) {
    // Two points: the segment there and back.
    BufferPtr two = filled(7, 4, Polygon{{pt(0, 0), pt(5, 2)}});
    EXPECT_EQ(picture(*two), rows({"##.....", //
                                   "..##...", //
                                   "....##.", //
                                   "......."}));
    EXPECT_TRUE(changedPixels(*filled(7, 4, Polygon{{pt(3, 2)}})).empty());
    EXPECT_TRUE(changedPixels(*filled(7, 4, Polygon{{pt(3, 2), pt(3, 2), pt(3, 2)}})).empty());
}

// Horizontal runs: a run that is a local extremum gets a crossing at its
// start that balances the one its leaving edge counts; a run passed
// straight through is only marked.
TEST(FillPolygon, HorizontalRuns) {
    // Two flat tops (maxima of the contour, minima of y) and a flat bottom.
    EXPECT_EQ(picture(*filled(14, 10,
                              Polygon{{pt(0, 8), pt(2, 2), pt(4, 2), pt(6, 6), pt(8, 2), pt(10, 2),
                                       pt(12, 8)}})),
              rows({"..............", //
                    "..............", //
                    "..###...###...", //
                    "..###..####...", //
                    ".#####.#####..", //
                    ".###########..", //
                    ".###########..", //
                    "#############.", //
                    "#############.", //
                    ".............."}));
    // A staircase: the middle run is passed through.
    EXPECT_EQ(picture(*filled(
                  10, 8, Polygon{{pt(0, 0), pt(4, 0), pt(4, 3), pt(8, 3), pt(8, 6), pt(0, 6)}})),
              rows({"#####.....", //
                    "#####.....", //
                    "#####.....", //
                    "#########.", //
                    "#########.", //
                    "#########.", //
                    "#########.", //
                    ".........."}));
    // A run made of several points and a repeated point on a flat bottom.
    EXPECT_EQ(
        picture(*filled(
            9, 6, Polygon{{pt(1, 1), pt(4, 4), pt(6, 4), pt(6, 4), pt(7, 4), pt(7, 1), pt(5, 1)}})),
        picture(*filled(9, 6, Polygon{{pt(1, 1), pt(4, 4), pt(7, 4), pt(7, 1), pt(5, 1)}})));
}

TEST(FillPolygon, WholeRowRunsAndSingleRows) {
    // A contour lying on one row covers its run.
    EXPECT_EQ(picture(*filled(8, 3, Polygon{{pt(1, 1), pt(6, 1)}})), rows({"........", //
                                                                           ".######.", //
                                                                           "........"}));
    EXPECT_EQ(picture(*filled(8, 3, Polygon{{pt(6, 1), pt(1, 1), pt(3, 1)}})), rows({"........", //
                                                                                     ".######.", //
                                                                                     "........"}));
}

// ---------------------------------------------------------------------------
// Modes
// ---------------------------------------------------------------------------

TEST(FillPolygon, ModeNineFillsContourByContour) {
    const Polygon p{{pt(0, 0), pt(10, 0), pt(10, 10), pt(0, 10)},
                    {pt(3, 3), pt(7, 3), pt(7, 7), pt(3, 7)}};
    BufferPtr b = filled(12, 12, p, 9, kInk, rgba(5, 6, 7, 8));
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool outer = x <= 10 && y <= 10;
            const bool inner = x >= 3 && x <= 7 && y >= 3 && y <= 7;
            const _VORNRGBAQUAD expected =
                inner ? rgba(0, 0, 0, 0) : (outer ? kInk : rgba(5, 6, 7, 8));
            EXPECT_EQ(at(*b, x, y), expected) << x << ", " << y;
        }
    }
}

TEST(FillPolygon, ModeNineClearsPixelsThatHoldTheColour) {
    BufferPtr b = makeBuffer(6, 3);
    *b->getPixel(2, 1) = kInk;
    *b->getPixel(3, 1) = rgba(220, 40, 70, 254); // differs in alpha only
    BufferPtr plain = makeBuffer(6, 3);
    *plain->getPixel(2, 1) = kInk;
    *plain->getPixel(3, 1) = rgba(220, 40, 70, 254);
    const Polygon p{{pt(1, 1), pt(4, 1)}};
    fill(*b, p, kInk, 9);
    fillReference(*plain, p, kInk, 9);
    EXPECT_EQ(words(*b), words(*plain));
    EXPECT_EQ(at(*b, 1, 1), kInk);
    EXPECT_EQ(at(*b, 2, 1), rgba(0, 0, 0, 0));
    EXPECT_EQ(at(*b, 3, 1), kInk);
    EXPECT_EQ(at(*b, 4, 1), kInk);
    EXPECT_EQ(at(*b, 0, 1), rgba(0, 0, 0, 0));
}

TEST(FillPolygon, ModesFourAndFiveCombineBytes) {
    for (int mode : {4, 5}) {
        BufferPtr b = makeBuffer(4, 1);
        *b->getPixel(1, 0) = rgba(0xF0, 0x00, 0x0F, 0x00);
        *b->getPixel(2, 0) = rgba(0x00, 0x00, 0x00, 0x00);
        *b->getPixel(3, 0) = rgba(0x3C, 0x3C, 0x3C, 0x3C);
        const Polygon p{{pt(1, 0), pt(3, 0)}};
        const _VORNRGBAQUAD c = rgba(0x33, 0x55, 0x00, 0xFF);
        BufferPtr plain = makeBuffer(4, 1);
        std::memcpy(plain->getPixels(), b->getPixels(), 16);
        fill(*b, p, c, mode);
        fillReference(*plain, p, c, mode);
        EXPECT_EQ(words(*b), words(*plain));
        // Both non-zero: AND; otherwise OR.
        EXPECT_EQ(at(*b, 1, 0), rgba(0x30, 0x55, 0x0F, 0xFF));
        EXPECT_EQ(at(*b, 2, 0), c);
        EXPECT_EQ(at(*b, 3, 0), rgba(0x30, 0x14, 0x3C, 0x3C));
        EXPECT_EQ(at(*b, 0, 0), rgba(0, 0, 0, 0));
    }
}

TEST(FillPolygon, OtherModesWriteTheColour) {
    for (int mode : {0, 1, 3, 6, 8, 10, -1, INT_MIN}) {
        BufferPtr b = filled(5, 5, Polygon{{pt(1, 1), pt(3, 1), pt(3, 3)}}, mode, rgba(1, 2, 3, 4),
                             rgba(9, 9, 9, 9));
        EXPECT_EQ(at(*b, 1, 1), rgba(1, 2, 3, 4)) << mode;
        EXPECT_EQ(at(*b, 1, 2), rgba(9, 9, 9, 9)) << mode;
    }
}

// ---------------------------------------------------------------------------
// Each contour's winding starts from 0
// ---------------------------------------------------------------------------

Polygon shifted(const Polygon& p, int dx) {
    Polygon q = p;
    for (_VORNPOINT& v : q.points) {
        v.x += dx;
    }
    return q;
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
        BufferPtr clipped = filled(12, 14, p);
        BufferPtr wide = filled(44, 14, shifted(p, 30));
        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 12; ++x) {
                ASSERT_EQ(at(*clipped, x, y), at(*wide, x + 30, y)) << i << ": " << x << ", " << y;
            }
        }
        EXPECT_EQ(at(*clipped, 3, 5), rgba(0, 0, 0, 0)) << i;
        EXPECT_EQ(at(*clipped, 8, 5), kInk) << i;
    }
}

// ---------------------------------------------------------------------------
// Bad input and the work areas
// ---------------------------------------------------------------------------

TEST(FillPolygon, RefusesAMissingFirstContour) {
    const std::vector<_VORNPOINT> points = {pt(1, 1), pt(3, 1), pt(3, 3)};
    const int sizes[] = {3};
    const int empty[] = {0};
    const int negative[] = {-1};
    const _VORNRGBAQUAD c = kInk;
    BufferPtr b = makeBuffer(5, 5);
    EXPECT_EQ(b->fillPolygon(points.data(), sizes, 0, c.red, c.green, c.blue, c.alpha, 0), -1);
    EXPECT_EQ(b->fillPolygon(points.data(), sizes, -2, c.red, c.green, c.blue, c.alpha, 0), -1);
    EXPECT_EQ(b->fillPolygon(points.data(), empty, 1, c.red, c.green, c.blue, c.alpha, 0), -1);
    EXPECT_EQ(b->fillPolygon(points.data(), negative, 1, c.red, c.green, c.blue, c.alpha, 9), -1);
    EXPECT_EQ(b->fillPolygon(nullptr, sizes, 1, c.red, c.green, c.blue, c.alpha, 0), -1);
    EXPECT_EQ(b->fillPolygon(points.data(), nullptr, 1, c.red, c.green, c.blue, c.alpha, 0), -1);
    EXPECT_TRUE(changedPixels(*b).empty());
    // Nothing was allocated either.
    EXPECT_EQ(VornProtected::edgeMapOf(*b), nullptr);
    EXPECT_EQ(VornProtected::rowCarryOf(*b), nullptr);
}

// Later contours of 0 or fewer points are skipped without moving the
// position: nothing before the array or past the sizes' sum is read.
TEST(FillPolygon, LaterContourSizesBelowOneAreSkipped) {
    const std::vector<_VORNPOINT> points = {pt(0, 0), pt(8, 0), pt(8, 8), pt(0, 8),
                                            pt(2, 2), pt(5, 2), pt(5, 5)};
    const int sizes[] = {4, 0, -3, INT_MIN, 3, -1};
    const int good[] = {4, 3};
    for (int mode : {0, 9}) {
        BufferPtr b = makeBuffer(10, 10);
        BufferPtr expected = makeBuffer(10, 10);
        EXPECT_EQ(b->fillPolygon(points.data(), sizes, 6, 1, 2, 3, 4, mode), 0);
        expected->fillPolygon(points.data(), good, 2, 1, 2, 3, 4, mode);
        EXPECT_EQ(words(*b), words(*expected)) << mode;
        BufferPtr plain = makeBuffer(10, 10);
        vorn::detail::fillPolygonReference(*plain, points.data(), sizes, 6, rgba(1, 2, 3, 4), mode);
        EXPECT_EQ(words(*b), words(*plain)) << mode;
    }
}

TEST(FillPolygon, WorkAreasAreAllocatedOnceAndKept) {
    BufferPtr b = makeBuffer(40, 30);
    const Polygon p{{pt(3, 2), pt(30, 5), pt(12, 25)}};
    BufferPtr texture = makeFilled(3, 3, rgba(4, 5, 6, 7));
    const std::size_t before = allocationCount();
    fill(*b, p, kInk);
    EXPECT_EQ(allocationCount(), before + 2); // edgeMap and rowCarry
    unsigned short* map = VornProtected::edgeMapOf(*b);
    unsigned short* carry = VornProtected::rowCarryOf(*b);
    ASSERT_NE(map, nullptr);
    ASSERT_NE(carry, nullptr);
    const std::size_t afterFirst = allocationCount();
    fill(*b, p, rgba(1, 1, 1, 1), 9);
    fillBlend(*b, p, rgba(1, 2, 3, 128));
    fillBitmap(*b, p, texture.get(), 200);
    EXPECT_EQ(allocationCount(), afterFirst);
    EXPECT_EQ(VornProtected::edgeMapOf(*b), map);
    EXPECT_EQ(VornProtected::rowCarryOf(*b), carry);
    // The work areas hold 0 everywhere between fills.
    for (unsigned short c : cells(*b)) {
        ASSERT_EQ(c, 0);
    }
    for (unsigned short c : carries(*b)) {
        ASSERT_EQ(c, 0);
    }
}

// The plain workers leave their map behind; the next fill still starts
// from clear work areas.
TEST(FillPolygon, FollowsThePlainWorkersOnTheSameBuffer) {
    BufferPtr b = makeBuffer(20, 20);
    BufferPtr expected = makeBuffer(20, 20);
    const Polygon first{{pt(0, 0), pt(19, 0), pt(19, 19), pt(0, 19)}};
    const Polygon second{{pt(4, 4), pt(9, 4), pt(9, 9)}};
    fillReference(*b, first, rgba(0, 0, 0, 0)); // leaves 512 in every cell
    (b.get()->*VectorProtected::fillLineFn)(pt(0, 0), pt(2, 15), pt(17, 3), 0);
    fill(*b, second, kInk);
    fill(*expected, second, kInk);
    EXPECT_EQ(words(*b), words(*expected));
    for (unsigned short c : cells(*b)) {
        ASSERT_EQ(c, 0);
    }
}

// A buffer without pixels (only a derived class can make one) fills
// nothing and allocates nothing.
struct BareBuffer : VornBuffer {
    BareBuffer(int w, int h) : VornBuffer(w, h) {}
    ~BareBuffer() = default;
    unsigned short* map() const { return edgeMap; }
};

TEST(FillPolygon, BufferWithoutPixels) {
    const Polygon p{{pt(0, 0), pt(4, 0), pt(4, 4)}};
    for (const auto& size : {std::make_pair(0, 0), std::make_pair(5, 5)}) {
        BareBuffer b(size.first, size.second);
        EXPECT_EQ(fill(b, p, kInk), 0);
        EXPECT_EQ(fillBlend(b, p, kInk), 0);
        BufferPtr texture = makeBuffer(2, 2);
        EXPECT_EQ(fillBitmap(b, p, texture.get(), 255), 0);
        EXPECT_EQ(b.map(), nullptr);
        EXPECT_EQ(b.drawSolidLine(pt(0, 0), pt(3, 3), 1, 2, 3, 4, 1), 0);
        EXPECT_EQ(b.drawDashedLine(pt(0, 0), pt(3, 3), 1, 2, 3, 4), 0);
        EXPECT_EQ(b.fillRectangleBlend(pt(0, 0), pt(3, 3), 1, 2, 3, 4), 0);
    }
}

// ---------------------------------------------------------------------------
// The plain workers
// ---------------------------------------------------------------------------

TEST(FillPoint, WritesOneCell) {
    BufferPtr b = makeBuffer(4, 3);
    fill(*b, Polygon{{pt(0, 0)}}, kInk); // allocates the work areas
    auto point = [&](int x, int y, int v) {
        return (b.get()->*VectorProtected::fillPointFn)(x, y, v);
    };
    EXPECT_EQ(point(1, 1, 1), 0);
    EXPECT_EQ(point(1, 1, 16), 0);
    EXPECT_EQ(point(1, 1, 256), 0);
    EXPECT_EQ(point(1, 1, 256), 0); // a cell is marked once
    EXPECT_EQ(point(2, 1, 256), 0);
    EXPECT_EQ(point(2, 1, 1), 0);
    EXPECT_EQ(point(-3, 2, 1), 0); // left of the buffer: the row's carry
    EXPECT_EQ(point(-1, 2, 16), 0);
    EXPECT_EQ(point(-1, 2, 16), 0);
    EXPECT_EQ(point(4, 1, 1), -1);
    EXPECT_EQ(point(0, -1, 1), -1);
    EXPECT_EQ(point(0, 3, 1), -1);
    const std::vector<unsigned short> c = cells(*b);
    EXPECT_EQ(c[1 * 4 + 1], 273);
    EXPECT_EQ(c[1 * 4 + 2], 257);
    EXPECT_EQ(carries(*b)[2], static_cast<unsigned short>(-1));
}

TEST(FillLine, CellsOfOneEdge) {
    BufferPtr b = makeBuffer(8, 5);
    fill(*b, Polygon{{pt(0, 0)}}, kInk);
    // From (1, 0) to (7, 3), arriving from above (not turning): a crossing
    // (+1) at the first pixel of each row but the end point's, marks on the
    // rest; the end point itself is left to the next edge.
    (b.get()->*VectorProtected::fillLineFn)(pt(1, -4), pt(1, 0), pt(7, 3), 0);
    const std::vector<unsigned short> c = cells(*b);
    const unsigned short expected[5][8] = {{0, 1, 256, 0, 0, 0, 0, 0},
                                           {0, 0, 0, 1, 256, 0, 0, 0},
                                           {0, 0, 0, 0, 0, 1, 256, 0},
                                           {0, 0, 0, 0, 0, 0, 0, 0},
                                           {0, 0, 0, 0, 0, 0, 0, 0}};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(c[y * 8 + x], expected[y][x]) << x << ", " << y;
        }
    }
}

} // namespace
