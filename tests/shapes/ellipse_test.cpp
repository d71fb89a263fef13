// Circles and ellipses: the worked shapes, degenerate boxes, clipping, the
// overwrite and channel order, huge and invalid radii, and the rasteriser
// against its plain twin.

#include "shape_test.h"

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

using vorn::detail::rasteriseEllipse;
using vorn::detail::rasteriseEllipseReference;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

_VORNPOINT pt(int x, int y) {
    return _VORNPOINT{x, y};
}

std::size_t countChanged(const VornBuffer& b) {
    std::size_t n = 0;
    for (std::uint32_t w : words(b)) {
        n += w != 0 ? 1 : 0;
    }
    return n;
}

struct Drawn {
    const char* what;
    int width;
    int height;
    std::function<int(VornBuffer&)> draw;
    std::string expected;
};

TEST(Ellipse, WorkedShapes) {
    const std::vector<Drawn> cases = {
        {"drawCircle centre (3, 3) radius 1", 7, 7,
         [](VornBuffer& b) { return b.drawCircle(pt(3, 3), 1.0, 9, 8, 7, 255); },
         rows({".......", //
               ".......", //
               "...#...", //
               "..#.#..", //
               "...#...", //
               ".......", //
               "......."})},
        {"drawCircle centre (3, 3) radius 2", 7, 7,
         [](VornBuffer& b) { return b.drawCircle(pt(3, 3), 2.0, 9, 8, 7, 255); },
         rows({".......", //
               "..###..", //
               ".#...#.", //
               ".#...#.", //
               ".#...#.", //
               "..###..", //
               "......."})},
        {"drawEllipse (0, 0) - (6, 4)", 7, 5,
         [](VornBuffer& b) { return b.drawEllipse(pt(0, 0), pt(6, 4), 9, 8, 7, 255); },
         rows({"..###..", //
               "##...##", //
               "#.....#", //
               "##...##", //
               "..###.."})},
        {"fillEllipse (0, 0) - (6, 4)", 7, 5,
         [](VornBuffer& b) { return b.fillEllipse(pt(0, 0), pt(6, 4), 9, 8, 7, 255); },
         rows({"..###..", //
               "#######", //
               "#######", //
               "#######", //
               "..###.."})},
        // Odd extents: the centre truncates to (3, 2), so the shape stays
        // one column and one row inside p2.
        {"drawEllipse (0, 0) - (7, 5)", 8, 6,
         [](VornBuffer& b) { return b.drawEllipse(pt(0, 0), pt(7, 5), 9, 8, 7, 255); },
         rows({"..###...", //
               "##...##.", //
               "#.....#.", //
               "##...##.", //
               "..###...", //
               "........"})},
        {"fillCircle centre (4, 4) radius 3", 9, 9,
         [](VornBuffer& b) { return b.fillCircle(pt(4, 4), 3.0, 9, 8, 7, 255); },
         rows({".........", //
               "...###...", //
               "..#####..", //
               ".#######.", //
               ".#######.", //
               ".#######.", //
               "..#####..", //
               "...###...", //
               "........."})},
        // A circle around the corner: only the quarter inside is painted.
        {"fillCircle centre (0, 0) radius 3", 4, 4,
         [](VornBuffer& b) { return b.fillCircle(pt(0, 0), 3.0, 9, 8, 7, 255); },
         rows({"####", //
               "####", //
               "###.", //
               "##.."})},
        {"drawCircle centre (0, 0) radius 3", 4, 4,
         [](VornBuffer& b) { return b.drawCircle(pt(0, 0), 3.0, 9, 8, 7, 255); },
         rows({"...#", //
               "...#", //
               "..#.", //
               "##.."})},
    };
    for (const Drawn& c : cases) {
        SCOPED_TRACE(c.what);
        BufferPtr b = makeBuffer(c.width, c.height);
        EXPECT_EQ(c.draw(*b), 0);
        EXPECT_EQ(picture(*b), c.expected);
    }
}

TEST(Ellipse, DegenerateBoxesAndRadiiDrawNothing) {
    struct Degenerate {
        const char* what;
        std::function<int(VornBuffer&)> draw;
    };
    const unsigned char k = 200;
    const std::vector<Degenerate> cases = {
        {"corners swapped",
         [&](VornBuffer& b) { return b.drawEllipse(pt(6, 4), pt(0, 0), k, k, k, k); }},
        {"corners swapped, filled",
         [&](VornBuffer& b) { return b.fillEllipse(pt(6, 4), pt(0, 0), k, k, k, k); }},
        {"equal x", [&](VornBuffer& b) { return b.drawEllipse(pt(3, 0), pt(3, 6), k, k, k, k); }},
        {"equal y", [&](VornBuffer& b) { return b.fillEllipse(pt(0, 2), pt(6, 2), k, k, k, k); }},
        {"one corner",
         [&](VornBuffer& b) { return b.fillEllipse(pt(2, 2), pt(2, 2), k, k, k, k); }},
        // p1 left of but below the centre: b = 0 after truncation.
        {"extent 1", [&](VornBuffer& b) { return b.fillEllipse(pt(0, 0), pt(6, 1), k, k, k, k); }},
        {"x swapped only",
         [&](VornBuffer& b) { return b.drawEllipse(pt(6, 0), pt(0, 4), k, k, k, k); }},
        {"radius 0.5 at (10, 10)",
         [&](VornBuffer& b) { return b.drawCircle(pt(10, 10), 0.5, k, k, k, k); }},
        {"radius 0.5 filled",
         [&](VornBuffer& b) { return b.fillCircle(pt(10, 10), 0.5, k, k, k, k); }},
        {"radius 0", [&](VornBuffer& b) { return b.fillCircle(pt(5, 5), 0.0, k, k, k, k); }},
        {"radius -3", [&](VornBuffer& b) { return b.drawCircle(pt(5, 5), -3.0, k, k, k, k); }},
        {"radius -3 filled",
         [&](VornBuffer& b) { return b.fillCircle(pt(5, 5), -3.0, k, k, k, k); }},
        {"radius NaN", [&](VornBuffer& b) { return b.drawCircle(pt(5, 5), kNaN, k, k, k, k); }},
        {"radius NaN filled",
         [&](VornBuffer& b) { return b.fillCircle(pt(5, 5), kNaN, k, k, k, k); }},
        {"radius +inf", [&](VornBuffer& b) { return b.drawCircle(pt(5, 5), kInf, k, k, k, k); }},
        {"radius +inf filled",
         [&](VornBuffer& b) { return b.fillCircle(pt(5, 5), kInf, k, k, k, k); }},
        {"radius -inf filled",
         [&](VornBuffer& b) { return b.fillCircle(pt(5, 5), -kInf, k, k, k, k); }},
    };
    for (const Degenerate& c : cases) {
        SCOPED_TRACE(c.what);
        BufferPtr b = makeBuffer(20, 20);
        EXPECT_EQ(c.draw(*b), 0);
        EXPECT_EQ(changedPixels(*b), PixelSet{});
    }
}

TEST(Ellipse, OverwritesAllFourBytesInChannelOrder) {
    // Opaque white under a colour with alpha 0: a blend would leave the
    // white; the write must replace it, alpha included.
    const std::vector<std::function<void(VornBuffer&)>> draws = {
        [](VornBuffer& b) { b.drawCircle(pt(5, 5), 3.0, 10, 20, 30, 0); },
        [](VornBuffer& b) { b.fillCircle(pt(5, 5), 3.0, 10, 20, 30, 0); },
        [](VornBuffer& b) { b.drawEllipse(pt(1, 2), pt(9, 8), 10, 20, 30, 0); },
        [](VornBuffer& b) { b.fillEllipse(pt(1, 2), pt(9, 8), 10, 20, 30, 0); },
    };
    for (const auto& draw : draws) {
        BufferPtr b = makeFilled(11, 11, rgba(255, 255, 255, 255));
        draw(*b);
        const PixelSet painted = changedPixels(*b, rgba(255, 255, 255, 255));
        ASSERT_FALSE(painted.empty());
        for (const auto& [x, y] : painted) {
            const _VORNRGBAQUAD* p = b->getPixel(x, y);
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(p);
            EXPECT_EQ(bytes[0], 30); // blue
            EXPECT_EQ(bytes[1], 20); // green
            EXPECT_EQ(bytes[2], 10); // red
            EXPECT_EQ(bytes[3], 0);  // alpha
        }
    }
}

TEST(Ellipse, ClipsToTheBuffer) {
    // The same circle drawn in a large buffer and in a small one that sees
    // only part of it, through all four edges.
    for (int fill = 0; fill < 2; ++fill) {
        BufferPtr big = makeBuffer(60, 60);
        const _VORNPOINT centre = pt(30, 30);
        fill ? big->fillCircle(centre, 17.0, 1, 2, 3, 4)
             : big->drawCircle(centre, 17.0, 1, 2, 3, 4);
        for (const _VORNPOINT origin : {pt(10, 10), pt(25, 5), pt(40, 40), pt(5, 33), pt(44, 20)}) {
            SCOPED_TRACE(testing::Message() << "fill " << fill << ", window at (" << origin.x
                                            << ", " << origin.y << ")");
            BufferPtr small = makeBuffer(13, 9);
            const _VORNPOINT shifted = pt(centre.x - origin.x, centre.y - origin.y);
            fill ? small->fillCircle(shifted, 17.0, 1, 2, 3, 4)
                 : small->drawCircle(shifted, 17.0, 1, 2, 3, 4);
            for (int y = 0; y < 9; ++y) {
                for (int x = 0; x < 13; ++x) {
                    ASSERT_EQ(at(*small, x, y), at(*big, x + origin.x, y + origin.y))
                        << "(" << x << ", " << y << ")";
                }
            }
        }
    }
}

TEST(Ellipse, WhollyOutsideLeavesEveryPixel) {
    Rng rng(5);
    BufferPtr b = makeBuffer(16, 12);
    for (std::size_t i = 0; i < 16 * 12; ++i) {
        b->getPixels()[i] = rng.pixel();
    }
    const std::vector<std::uint32_t> before = words(*b);
    b->fillCircle(pt(-20, 5), 10.0, 1, 2, 3, 4);
    b->fillCircle(pt(40, 40), 12.0, 1, 2, 3, 4);
    b->fillEllipse(pt(-2000000000, -2000000000), pt(-1999999000, -1999999500), 1, 2, 3, 4);
    b->drawCircle(pt(8, 6), 100.0, 1, 2, 3, 4); // around the buffer
    b->drawCircle(pt(INT_MAX, INT_MIN), 1e6, 1, 2, 3, 4);
    EXPECT_EQ(words(*b), before);
}

// ---------------------------------------------------------------------------
// Huge and extreme boxes
// ---------------------------------------------------------------------------

TEST(Ellipse, HugeCirclesCentredOnTheBuffer) {
    const int size = 1024;
    const _VORNPOINT centre = pt(size / 2, size / 2);
    for (double radius : {1e7, 1e9, 3e9, 1e300}) {
        SCOPED_TRACE(testing::Message() << "radius " << radius);
        BufferPtr filled = makeBuffer(size, size);
        filled->fillCircle(centre, radius, 1, 2, 3, 4);
        EXPECT_EQ(countChanged(*filled), std::size_t{size} * size);
        BufferPtr outlined = makeBuffer(size, size);
        outlined->drawCircle(centre, radius, 1, 2, 3, 4);
        outlined->drawHalfCircle(centre, radius, 1, 2, 3, 4, 1);
        outlined->drawHalfCircle(centre, radius, 1, 2, 3, 4, 0);
        EXPECT_EQ(countChanged(*outlined), 0u);
    }
}

// The widest boxes int corners allow: semi-axes of 2^31, the trace's
// quantities near 2^126.
TEST(Ellipse, WidestBoxesStayExactAndCheap) {
    struct Extreme {
        _VORNPOINT p1;
        _VORNPOINT p2;
    };
    const Extreme cases[] = {
        {pt(INT_MIN, INT_MIN), pt(INT_MAX, INT_MAX)},
        {pt(INT_MIN, 0), pt(INT_MAX, 40)},
        {pt(0, INT_MIN), pt(40, INT_MAX)},
        {pt(INT_MIN, -5), pt(INT_MAX, 5)},
        {pt(-INT_MAX, -INT_MAX), pt(INT_MAX, INT_MAX)},
        {pt(INT_MIN, INT_MIN), pt(100, 50)},
        {pt(-2, INT_MIN), pt(INT_MAX, 30)},
    };
    for (const Extreme& c : cases) {
        for (const EllipseMode mode : kAllModes) {
            SCOPED_TRACE(describe(BoxCase{c.p1, c.p2}, mode));
            BufferPtr b = makeBuffer(64, 48);
            const long long steps =
                rasteriseEllipse(canvasOf(*b), c.p1, c.p2, mode, rgba(1, 2, 3, 4));
            EXPECT_LE(steps, 2 * (64 + 48) + 96);
        }
    }
    // Centre 0, semi-axes 2^31 on both sides: the buffer lies deep inside.
    BufferPtr b = makeBuffer(64, 48);
    b->fillEllipse(pt(INT_MIN, INT_MIN), pt(INT_MAX, INT_MAX), 1, 2, 3, 4);
    EXPECT_EQ(changedPixels(*b).size(), std::size_t{64} * 48);
    // A flat ellipse of height 11 through the whole int range: rows 0 to
    // 10 around centre row 5 are full.
    BufferPtr flat = makeBuffer(64, 48);
    flat->fillEllipse(pt(INT_MIN, 0), pt(INT_MAX, 10), 1, 2, 3, 4);
    EXPECT_EQ(changedPixels(*flat).size(), std::size_t{64} * 11);
}

// ---------------------------------------------------------------------------
// The rasteriser against its plain twin
// ---------------------------------------------------------------------------

void expectSameAsReference(const BoxCase& box, EllipseMode mode, int width, int height,
                           long long* stepsOut = nullptr) {
    const _VORNRGBAQUAD ink = rgba(11, 22, 33, 44);
    BufferPtr fast = makeBuffer(width, height);
    BufferPtr plain = makeBuffer(width, height);
    const long long steps = rasteriseEllipse(canvasOf(*fast), box.p1, box.p2, mode, ink);
    rasteriseEllipseReference(canvasOf(*plain), box.p1, box.p2, mode, ink);
    ASSERT_EQ(picture(*fast), picture(*plain)) << describe(box, mode);
    ASSERT_EQ(words(*fast), words(*plain)) << describe(box, mode);
    if (stepsOut) {
        *stepsOut = steps;
    }
}

// Random boxes of every size crossing buffers of every shape, and boxes
// near the ends of the int range (the centre and semi-axes must be formed
// without overflow; the buffer sees nothing of them). Every walked step is
// one the buffer needs, plus a few per region around the jumps.
TEST(EllipseRaster, RandomBoxesMatchThePlainTrace) {
    struct Batch {
        std::uint64_t seed;
        int count;
        int largestSide;
        long long largestSemiAxis;
        long long offset;
    };
    const Batch batches[] = {{1, 4000, 40, 60, 0},
                             {2, 160, 70, 200000, 0},
                             {3, 40, 30, 100000, 2000000000LL},
                             {4, 40, 30, 100000, -2000000000LL}};
    for (const Batch& batch : batches) {
        Rng rng(batch.seed);
        for (int i = 0; i < batch.count; ++i) {
            const int width = rng.range(1, batch.largestSide);
            const int height = rng.range(1, batch.largestSide);
            const BoxCase box =
                crossingBox(rng, width, height, batch.largestSemiAxis, batch.offset);
            long long steps = 0;
            ASSERT_NO_FATAL_FAILURE(
                expectSameAsReference(box, kAllModes[i % 4], width, height, &steps));
            ASSERT_LE(steps, 2 * (width + height) + 96) << describe(box, kAllModes[i % 4]);
        }
    }
}

TEST(EllipseRaster, ThinAndFlatBoxesMatchThePlainTrace) {
    // One semi-axis tiny and the other up to a million: one region of the
    // trace is long and straight, the other a handful of steps.
    Rng rng(4);
    for (int i = 0; i < 48; ++i) {
        const long long longAxis = rng.range(1000, 1000000);
        const long long shortAxis = rng.range(1, 4);
        const bool flat = i % 2 == 0;
        const long long a = flat ? longAxis : shortAxis;
        const long long b = flat ? shortAxis : longAxis;
        const long long cx = flat ? rng.range(-1000200, 1000200) : rng.range(-3, 40);
        const long long cy = flat ? rng.range(-3, 30) : rng.range(-1000200, 1000200);
        const BoxCase box{pt(static_cast<int>(cx - a), static_cast<int>(cy - b)),
                          pt(static_cast<int>(cx + a), static_cast<int>(cy + b))};
        ASSERT_NO_FATAL_FAILURE(expectSameAsReference(box, kAllModes[(i / 2) % 4], 37, 27));
    }
}

// Circles of radius 10^7 crossing a 96 x 96 buffer where the trace starts
// its regions (at the axes) and where the regions meet, against the full
// plain walk (some 1.4e7 steps each, so only a few).
TEST(EllipseRaster, RadiusTenMillionMatchesThePlainTrace) {
    const int radius = 10000000;
    const int diagonal = 7071068; // radius / sqrt(2), rounded
    struct Crossing {
        _VORNPOINT centre;
        EllipseMode mode;
    };
    const Crossing crossings[] = {
        {pt(48 - radius, 48), EllipseMode::Outline},              // the right end
        {pt(48, 48 - radius), EllipseMode::Fill},                 // the bottom
        {pt(48 - diagonal, 48 - diagonal), EllipseMode::Outline}, // lower right
        {pt(48 + diagonal, 48 + diagonal), EllipseMode::Fill},    // upper left
    };
    for (const Crossing& c : crossings) {
        _VORNPOINT p1;
        _VORNPOINT p2;
        ASSERT_TRUE(vorn::detail::circleBox(c.centre, radius, p1, p2));
        long long steps = 0;
        ASSERT_NO_FATAL_FAILURE(expectSameAsReference(BoxCase{p1, p2}, c.mode, 96, 96, &steps));
        EXPECT_LE(steps, 2 * (96 + 96) + 96);
        BufferPtr b = makeBuffer(96, 96);
        b->drawCircle(c.centre, radius, 1, 2, 3, 4);
        EXPECT_FALSE(changedPixels(*b).empty()); // the curve does cross
    }
}

} // namespace
