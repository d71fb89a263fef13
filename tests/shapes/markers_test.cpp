// SPDX-License-Identifier: MIT
// Marker shapes: the worked markers (with the symmetric pill of whole-number
// widths), sizes that paint nothing, and sizes far beyond the buffer.

#include "shape_test.h"

#include <cmath>
#include <limits>

namespace {

// fillSquare(7, 6) is not square and paints nothing. Only the low 8 bits of
// the triangle's green (0x14 = 20) are used. A whole-number width gives the
// pill right-hand ends that mirror the left-hand ones, so that it is
// symmetric and (8, 4) and (8, 7) are painted.
TEST(Markers, WorkedShapes) {
    expectPictures({
        {8,
         8,
         {[](VornBuffer& b) { return b.fillSquare(7, 7, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillSquare(4, 4, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillSquare(7, 6, 10, 20, 30, 0); }},
         rows({".#####.. ####.... ........", //
               "#######. ####.... ........", //
               "#######. ####.... ........", //
               "#######. ####.... ........", //
               "#######. ........ ........", //
               "#######. ........ ........", //
               ".#####.. ........ ........", //
               "........ ........ ........"})},
        {10,
         10,
         {[](VornBuffer& b) { return b.fillTriangle(7, 4, 10, 0x7614u, 30, 0); },
          [](VornBuffer& b) { return b.fillTriangle(8, 8, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillTriangle(7, -3, 10, 20, 30, 0); }},
         rows({"....#..... ....#..... ....#.....", //
               "...##..... ....#..... ..........", //
               "..####.... ...###.... ..........", //
               ".######... ...###.... ..........", //
               "########.. ..#####... ..........", //
               ".......... ..#####... ..........", //
               ".......... .#######.. ..........", //
               ".......... .#######.. ..........", //
               ".......... #########. ..........", //
               ".......... .......... .........."})},
        {12,
         10,
         {[](VornBuffer& b) { return b.fillOval(10.5, 11, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillOval(10, 11, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillOval(10, 8, 10, 20, 30, 0); }},
         rows({"............ ............ ............", //
               "............ ............ ............", //
               "............ ............ ##########..", //
               "..#######... ..######.... ##########..", //
               ".#########.. .########... ##########..", //
               "###########. ##########.. ##########..", //
               "###########. ##########.. ............", //
               ".#########.. .########... ............", //
               "..#######... ..######.... ............", //
               "............ ............ ............"})},
    });
}

// A triangle whose height truncates to 0 (its edge formulas would divide by
// zero), and NaN or infinite sizes.
TEST(Markers, PaintNothingForInvalidSizes) {
    const double inf = std::numeric_limits<double>::infinity();
    BufferPtr b = makeBuffer(12, 12);
    int results = 0;
    for (double h : {0.0, -0.0, 0.5, -0.5, 0.999, -0.999}) {
        results |= b->fillTriangle(7, h, 1, 2, 3, 4);
    }
    for (double v : {std::nan(""), inf, -inf}) {
        results |= b->fillSquare(v, v, 1, 2, 3, 4) | b->fillSquare(v, 6, 1, 2, 3, 4) |
                   b->fillTriangle(v, 6, 1, 2, 3, 4) | b->fillTriangle(6, v, 1, 2, 3, 4) |
                   b->fillOval(v, 12, 1, 2, 3, 4) | b->fillOval(6, v, 1, 2, 3, 4);
    }
    EXPECT_EQ(results, 0);
    EXPECT_EQ(changedPixels(*b), PixelSet{});
}

// Sizes far beyond the buffer and the int range: the loops stop at the
// buffer's edge and the conversions saturate instead of overflowing.
TEST(Markers, HugeSizesAreClipped) {
    BufferPtr b = makeBuffer(6, 3);
    b->fillSquare(1e300, 1e300, 1, 2, 3, 4); // the bottom row lies far below
    EXPECT_EQ(picture(*b), rows({".#####", "######", "######"}));
    b = makeBuffer(7, 5);
    b->fillTriangle(5, 1e300, 1, 2, 3, 4); // edges steeper than any row can show
    b->fillTriangle(3e9, 4, 1, 2, 3, 4);   // apex far right: only the base row shows
    EXPECT_EQ(picture(*b), rows({"...#...", "...#...", "...#...", "...#...", "#######"}));
    b = makeBuffer(7, 9);
    b->fillTriangle(-1e300, 1e300, 1, 2, 3, 4); // apex far left
    b->fillOval(1e300, 1e300, 1, 2, 3, 4);      // the pill starts far below
    b->fillOval(1e300, 11, 1, 2, 3, 4);
    EXPECT_EQ(picture(*b), rows({".......", ".......", ".......", "..#####", ".######", "#######",
                                 "#######", ".######", "..#####"}));
}

} // namespace
