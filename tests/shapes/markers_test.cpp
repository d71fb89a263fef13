// Marker shapes: the worked markers, the triangle without height, the
// symmetric pill of whole-number widths, invalid and huge sizes, clipping,
// the overwrite and channel order.

#include "vorn_test.h"

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Marker {
    const char* what;
    int width;
    int height;
    std::function<int(VornBuffer&)> draw;
    std::string expected;
};

void expectMarkers(const std::vector<Marker>& cases) {
    for (const Marker& c : cases) {
        SCOPED_TRACE(c.what);
        BufferPtr b = makeBuffer(c.width, c.height);
        EXPECT_EQ(c.draw(*b), 0);
        EXPECT_EQ(picture(*b), c.expected);
    }
}

TEST(Markers, WorkedSquares) {
    expectMarkers({
        {"fillSquare(7, 7)", 8, 8, [](VornBuffer& b) { return b.fillSquare(7, 7, 1, 2, 3, 4); },
         rows({".#####..", //
               "#######.", //
               "#######.", //
               "#######.", //
               "#######.", //
               "#######.", //
               ".#####..", //
               "........"})},
        {"fillSquare(4, 4)", 5, 5, [](VornBuffer& b) { return b.fillSquare(4, 4, 1, 2, 3, 4); },
         rows({"####.", //
               "####.", //
               "####.", //
               "####.", //
               "....."})},
        {"fillSquare(7, 6)", 8, 8, [](VornBuffer& b) { return b.fillSquare(7, 6, 1, 2, 3, 4); },
         rows({"........", "........", "........", "........", "........", "........", "........",
               "........"})},
        // A fractional size: columns run while w > x (0 to 5), full rows
        // while h - 1 > y (1 to 4), and the shortened bottom row is
        // trunc(h - 1) = 4, inside the full ones.
        {"fillSquare(5.5, 5.5)", 7, 7,
         [](VornBuffer& b) { return b.fillSquare(5.5, 5.5, 1, 2, 3, 4); },
         rows({".####..", //
               "######.", //
               "######.", //
               "######.", //
               "######.", //
               ".......", //
               "......."})},
    });
}

TEST(Markers, WorkedTriangles) {
    expectMarkers({
        {"fillTriangle(7, 4)", 9, 6, [](VornBuffer& b) { return b.fillTriangle(7, 4, 1, 2, 3, 4); },
         rows({"....#....", //
               "...##....", //
               "..####...", //
               ".######..", //
               "########.", //
               "........."})},
        {"fillTriangle(8, 8)", 10, 10,
         [](VornBuffer& b) { return b.fillTriangle(8, 8, 1, 2, 3, 4); },
         rows({"....#.....", //
               "....#.....", //
               "...###....", //
               "...###....", //
               "..#####...", //
               "..#####...", //
               ".#######..", //
               ".#######..", //
               "#########.", //
               ".........."})},
        {"fillTriangle(7, -3)", 9, 3,
         [](VornBuffer& b) { return b.fillTriangle(7, -3, 1, 2, 3, 4); },
         rows({"....#....", //
               ".........", //
               "........."})},
        // The base row y = h falls outside a buffer exactly h rows tall.
        {"fillTriangle(7, 4) in 4 rows", 9, 4,
         [](VornBuffer& b) { return b.fillTriangle(7, 4, 1, 2, 3, 4); },
         rows({"....#....", //
               "...##....", //
               "..####...", //
               ".######.."})},
    });
}

TEST(Markers, WorkedOvals) {
    expectMarkers({
        {"fillOval(10.5, 11)", 12, 11,
         [](VornBuffer& b) { return b.fillOval(10.5, 11, 1, 2, 3, 4); },
         rows({"............", //
               "............", //
               "............", //
               "..#######...", //
               ".#########..", //
               "###########.", //
               "###########.", //
               ".#########..", //
               "..#######...", //
               "............", //
               "............"})},
        {"fillOval(10, 8)", 11, 8, [](VornBuffer& b) { return b.fillOval(10, 8, 1, 2, 3, 4); },
         rows({"...........", //
               "...........", //
               "##########.", //
               "##########.", //
               "##########.", //
               "##########.", //
               "...........", //
               "..........."})},
        // A whole-number width: the right-hand ends mirror the left-hand
        // ones, so the pill is symmetric and (8, 4) and (8, 7) are painted.
        {"fillOval(10, 11)", 11, 11, [](VornBuffer& b) { return b.fillOval(10, 11, 1, 2, 3, 4); },
         rows({"...........", //
               "...........", //
               "...........", //
               "..######...", //
               ".########..", //
               "##########.", //
               "##########.", //
               ".########..", //
               "..######...", //
               "...........", //
               "..........."})},
    });
}

// Whole-number widths (from 4 up) and widths with a half give pills whose
// rows are each one unbroken run, centred on the full rows' centre.
TEST(Markers, OvalRowsAreSymmetricWithoutGaps) {
    for (int n = 4; n <= 40; ++n) {
        for (double w : {static_cast<double>(n), n + 0.5, n + 0.25}) {
            for (double h : {11.0, 12.0, 15.5, 24.0}) {
                SCOPED_TRACE(testing::Message() << "fillOval(" << w << ", " << h << ")");
                BufferPtr b = makeBuffer(48, 32);
                b->fillOval(w, h, 1, 2, 3, 4);
                // The full rows end at the last index below w.
                const int last = static_cast<int>(std::ceil(w)) - 1;
                int paintedRows = 0;
                for (int y = 0; y < 32; ++y) {
                    int first = -1;
                    int end = -1;
                    int count = 0;
                    for (int x = 0; x < 48; ++x) {
                        if (at(*b, x, y) != rgba(0, 0, 0, 0)) {
                            first = first < 0 ? x : first;
                            end = x;
                            ++count;
                        }
                    }
                    if (count == 0) {
                        continue;
                    }
                    ++paintedRows;
                    EXPECT_EQ(count, end - first + 1) << "gap in row " << y;
                    EXPECT_EQ(first + end, last) << "row " << y << " off centre";
                }
                EXPECT_EQ(paintedRows, static_cast<int>((h + 1.0) * 0.5));
            }
        }
    }
}

TEST(Markers, TriangleWithoutHeightPaintsNothing) {
    for (double h : {0.0, -0.0, 0.5, -0.5, 0.999, -0.999}) {
        SCOPED_TRACE(testing::Message() << "h " << h);
        BufferPtr b = makeBuffer(10, 10);
        EXPECT_EQ(b->fillTriangle(7, h, 1, 2, 3, 4), 0);
        EXPECT_EQ(changedPixels(*b), PixelSet{});
    }
}

TEST(Markers, InvalidSizesPaintNothing) {
    const double bad[] = {kNaN, kInf, -kInf};
    for (double v : bad) {
        for (int which = 0; which < 2; ++which) {
            const double w = which == 0 ? v : 6.0;
            const double h = which == 0 ? 6.0 : v;
            SCOPED_TRACE(testing::Message() << "w " << w << ", h " << h);
            BufferPtr b = makeBuffer(12, 12);
            EXPECT_EQ(b->fillTriangle(w, h, 1, 2, 3, 4), 0);
            EXPECT_EQ(b->fillOval(w, h * 2, 1, 2, 3, 4), 0);
            EXPECT_EQ(b->fillSquare(w, h, 1, 2, 3, 4), 0);
            EXPECT_EQ(b->fillSquare(v, v, 1, 2, 3, 4), 0);
            EXPECT_EQ(changedPixels(*b), PixelSet{});
        }
    }
}

// Sizes far beyond the buffer and the int range: the loops stop at the
// buffer's edge and the conversions saturate instead of overflowing.
TEST(Markers, HugeSizesAreClipped) {
    BufferPtr square = makeBuffer(6, 5);
    square->fillSquare(1e300, 1e300, 1, 2, 3, 4);
    // The corner (0, 0) is left out; the bottom row lies far below.
    EXPECT_EQ(picture(*square), rows({".#####", "######", "######", "######", "######"}));

    BufferPtr tall = makeBuffer(7, 5);
    tall->fillTriangle(5, 1e300, 1, 2, 3, 4); // edges steeper than any row can show
    EXPECT_EQ(picture(*tall), rows({"...#...", "...#...", "...#...", "...#...", "...#..."}));

    // Apex far to the right: only the base row, from column 0, shows.
    BufferPtr wide = makeBuffer(7, 5);
    wide->fillTriangle(3e9, 4, 1, 2, 3, 4);
    EXPECT_EQ(picture(*wide), rows({".......", ".......", ".......", ".......", "#######"}));

    BufferPtr away = makeBuffer(7, 5);
    away->fillTriangle(-1e300, 1e300, 1, 2, 3, 4); // apex far to the left
    away->fillOval(1e300, 1e300, 1, 2, 3, 4);      // the pill starts far below
    EXPECT_EQ(changedPixels(*away), PixelSet{});

    BufferPtr band = makeBuffer(7, 9);
    band->fillOval(1e300, 11, 1, 2, 3, 4);
    EXPECT_EQ(picture(*band), rows({".......", ".......", ".......", "..#####", ".######",
                                    "#######", "#######", ".######", "..#####"}));
}

TEST(Markers, ClipToTheBuffer) {
    const std::vector<std::function<void(VornBuffer&)>> draws = {
        [](VornBuffer& b) { b.fillSquare(9, 9, 1, 2, 3, 4); },
        [](VornBuffer& b) { b.fillTriangle(11, 9, 1, 2, 3, 4); },
        [](VornBuffer& b) { b.fillOval(13.5, 15, 1, 2, 3, 4); },
        [](VornBuffer& b) { b.fillOval(13, 15, 1, 2, 3, 4); },
    };
    for (std::size_t i = 0; i < draws.size(); ++i) {
        BufferPtr big = makeBuffer(20, 20);
        draws[i](*big);
        for (const auto& [w, h] : {std::pair{5, 4}, std::pair{1, 1}, std::pair{20, 3},
                                   std::pair{3, 20}, std::pair{12, 11}}) {
            SCOPED_TRACE(testing::Message() << "marker " << i << " in " << w << " x " << h);
            BufferPtr small = makeBuffer(w, h);
            draws[i](*small);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    ASSERT_EQ(at(*small, x, y), at(*big, x, y)) << "(" << x << ", " << y << ")";
                }
            }
        }
    }
}

TEST(Markers, OverwriteAllFourBytesInChannelOrder) {
    const std::vector<std::function<void(VornBuffer&)>> draws = {
        [](VornBuffer& b) { b.fillSquare(3, 3, 10, 20, 30, 40); },
        [](VornBuffer& b) { b.fillSquare(7, 7, 10, 20, 30, 40); },
        // Only the low 8 bits of the triangle's green are used.
        [](VornBuffer& b) { b.fillTriangle(7, 4, 10, 0x7614u, 30, 40); },
        [](VornBuffer& b) { b.fillOval(10.5, 11, 10, 20, 30, 40); },
        [](VornBuffer& b) { b.fillOval(9, 4, 10, 20, 30, 40); },
    };
    for (const auto& draw : draws) {
        BufferPtr b = makeFilled(12, 12, rgba(255, 255, 255, 255));
        draw(*b);
        const PixelSet painted = changedPixels(*b, rgba(255, 255, 255, 255));
        ASSERT_FALSE(painted.empty());
        for (const auto& [x, y] : painted) {
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(b->getPixel(x, y));
            EXPECT_EQ(bytes[0], 30); // blue
            EXPECT_EQ(bytes[1], 20); // green (0x14 is 20)
            EXPECT_EQ(bytes[2], 10); // red
            EXPECT_EQ(bytes[3], 40); // alpha
        }
    }
    // Alpha 0 replaces an opaque pixel rather than blending into it.
    BufferPtr b = makeFilled(4, 4, rgba(255, 255, 255, 255));
    b->fillSquare(3, 3, 10, 20, 30, 0);
    EXPECT_EQ(at(*b, 1, 1), rgba(10, 20, 30, 0));
    EXPECT_EQ(at(*b, 3, 3), rgba(255, 255, 255, 255));
}

} // namespace
