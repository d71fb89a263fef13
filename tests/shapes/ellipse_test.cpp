// SPDX-License-Identifier: MIT
// Circles, ellipses and half circles: the worked shapes, input that paints
// nothing, and the rasteriser against its plain twin (huge boxes included).

#include "geometry_checks.h"
#include "shape_test.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <utility>

namespace {

using vorn::detail::EllipseMode;
using vorn::detail::rasteriseEllipse;
using vorn::detail::rasteriseEllipseReference;
using Box = std::pair<_VORNPOINT, _VORNPOINT>;

constexpr EllipseMode kAllModes[] = {EllipseMode::Outline, EllipseMode::Fill,
                                     EllipseMode::UpperHalf, EllipseMode::LowerHalf};

// The box (0, 0) - (7, 5) has its centre truncated to (3, 2), so it gives
// the shape of (0, 0) - (6, 4), one column and one row inside p2. Any side
// other than 0 selects the upper half; the two halves make the circle.
TEST(Ellipse, WorkedShapes) {
    expectPictures({
        {7,
         7,
         {[](VornBuffer& b) { return b.drawCircle(pt(3, 3), 1.0, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.drawCircle(pt(3, 3), 2.0, 10, 20, 30, 0); }},
         rows({"....... .......", //
               "....... ..###..", //
               "...#... .#...#.", //
               "..#.#.. .#...#.", //
               "...#... .#...#.", //
               "....... ..###..", //
               "....... ......."})},
        {8,
         6,
         {[](VornBuffer& b) { return b.drawEllipse(pt(0, 0), pt(6, 4), 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.drawEllipse(pt(0, 0), pt(7, 5), 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillEllipse(pt(0, 0), pt(6, 4), 10, 20, 30, 0); }},
         rows({"..###... ..###... ..###...", //
               "##...##. ##...##. #######.", //
               "#.....#. #.....#. #######.", //
               "##...##. ##...##. #######.", //
               "..###... ..###... ..###...", //
               "........ ........ ........"})},
        {9,
         9,
         {[](VornBuffer& b) { return b.drawHalfCircle(pt(4, 4), 3.0, 10, 20, 30, 0, 1); },
          [](VornBuffer& b) { return b.drawHalfCircle(pt(4, 4), 3.0, 10, 20, 30, 0, -7); },
          [](VornBuffer& b) { return b.drawHalfCircle(pt(4, 4), 3.0, 10, 20, 30, 0, 0); },
          [](VornBuffer& b) { return b.drawCircle(pt(4, 4), 3.0, 10, 20, 30, 0); }},
         rows({"......... ......... ......... .........", //
               "...###... ...###... ......... ...###...", //
               "..#...#.. ..#...#.. ......... ..#...#..", //
               ".#.....#. .#.....#. ......... .#.....#.", //
               ".#.....#. .#.....#. .#.....#. .#.....#.", //
               "......... ......... .#.....#. .#.....#.", //
               "......... ......... ..#...#.. ..#...#..", //
               "......... ......... ...###... ...###...", //
               "......... ......... ......... ........."})},
        // A fractional radius draws the circle of its whole part about the
        // same centre.
        {7,
         7,
         {[](VornBuffer& b) { return b.drawCircle(pt(3, 3), 2.9, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.fillCircle(pt(3, 3), 2.5, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.drawHalfCircle(pt(3, 3), 2.7, 10, 20, 30, 0, 0); }},
         rows({"....... ....... .......", //
               "..###.. ..###.. .......", //
               ".#...#. .#####. .......", //
               ".#...#. .#####. .#...#.", //
               ".#...#. .#####. .#...#.", //
               "..###.. ..###.. ..###..", //
               "....... ....... ......."})},
        // Centred on the corner: only the quarter inside is painted.
        {4,
         4,
         {[](VornBuffer& b) { return b.fillCircle(pt(0, 0), 3.0, 10, 20, 30, 0); },
          [](VornBuffer& b) { return b.drawCircle(pt(0, 0), 3.0, 10, 20, 30, 0); }},
         rows({"#### ...#", //
               "#### ...#", //
               "###. ..#.", //
               "##.. ##.."})},
    });
}

// Degenerate boxes (swapped corners, equal coordinates, a semi-axis of 0),
// radii too small, negative, NaN or infinite, and shapes wholly outside.
TEST(Ellipse, PaintsNothingForDegenerateOrInvalidInput) {
    const double inf = std::numeric_limits<double>::infinity();
    const Box boxes[] = {{pt(6, 4), pt(0, 0)},   {pt(3, 0), pt(3, 6)},
                         {pt(0, 2), pt(6, 2)},   {pt(0, 0), pt(6, 1)},
                         {pt(6, 0), pt(0, 4)},   {pt(-9, 3), pt(-2, 8)},
                         {pt(3, 30), pt(9, 50)}, {pt(INT_MIN, INT_MIN), pt(-1999999000, -5)}};
    const std::pair<_VORNPOINT, double> circles[] = {
        {pt(10, 10), 0.5}, {pt(5, 5), 0.0},  {pt(5, 5), -3.0},   {pt(5, 5), std::nan("")},
        {pt(5, 5), inf},   {pt(5, 5), -inf}, {pt(-20, 5), 10.0}, {pt(INT_MAX, INT_MIN), 1e6}};
    BufferPtr b = makeBuffer(20, 20);
    int results = 0;
    for (const auto& [p1, p2] : boxes) {
        results |= b->drawEllipse(p1, p2, 9, 9, 9, 9) | b->fillEllipse(p1, p2, 9, 9, 9, 9);
    }
    for (const auto& [centre, r] : circles) {
        results |= b->drawCircle(centre, r, 9, 9, 9, 9) | b->fillCircle(centre, r, 9, 9, 9, 9) |
                   b->drawHalfCircle(centre, r, 9, 9, 9, 9, 0) |
                   b->drawHalfCircle(centre, r, 9, 9, 9, 9, 1);
    }
    EXPECT_EQ(results, 0);
    EXPECT_EQ(changedPixels(*b), PixelSet{});
}

// Every ellipse with semi-axes up to 60, in a buffer of its box: each filled
// row from top to bottom is one span, mirrored about the centre column and
// row; the outline is one 8-connected curve around the centre (tall shapes
// used to miss rows where the trace's regions meet, flat ones columns, so
// that (0, 0) - (38, 60) filled had rows 5 and 55 empty and (0, 0) - (8, 2)
// outlined fell apart in four pieces); the two halves make the outline.
TEST(Ellipse, FillsWithoutEmptyRowsAndOutlinesInOnePiece) {
    // One block for every buffer: they borrow it, cleared each time.
    std::vector<_VORNRGBAQUAD> block(121 * 121);
    auto blank = [&](int w, int h) {
        std::fill(block.begin(), block.end(), rgba(0, 0, 0, 0));
        return BufferPtr(VornBuffer::Build(w, h, block.data()));
    };
    for (int a = 1; a <= 60; ++a) {
        for (int b = 1; b <= 60; ++b) {
            SCOPED_TRACE(testing::Message() << "semi-axes " << a << ", " << b);
            const _VORNPOINT p2 = pt(2 * a, 2 * b);
            BufferPtr fill = blank(2 * a + 1, 2 * b + 1);
            fill->fillEllipse(pt(0, 0), p2, 1, 2, 3, 4);
            ASSERT_EQ(geometry::checkFilledEllipse(*fill, a, b), "");
            BufferPtr outline = blank(2 * a + 1, 2 * b + 1);
            outline->drawEllipse(pt(0, 0), p2, 1, 2, 3, 4);
            ASSERT_EQ(geometry::checkEllipseOutline(*outline, a, b), "");
            const std::vector<std::uint32_t> curve = words(*outline);
            BufferPtr halves = blank(2 * a + 1, 2 * b + 1);
            for (const EllipseMode half : {EllipseMode::UpperHalf, EllipseMode::LowerHalf}) {
                rasteriseEllipse(canvasOf(*halves), pt(0, 0), p2, half, rgba(1, 2, 3, 4));
            }
            ASSERT_EQ(words(*halves), curve);
        }
    }
}

// ---------------------------------------------------------------------------
// The rasteriser against its plain twin
// ---------------------------------------------------------------------------

/// A box whose ellipse (semi-axes spread evenly on a log scale up to
/// `limit`) passes near a random point of a width x height buffer or its
/// border, at a random angle, its extents odd or even; one in eight is small
/// and anywhere, corners in any order. `offset` moves the whole box (then
/// the buffer sees nothing of it).
Box crossingBox(Rng& rng, int width, int height, long long limit, long long offset) {
    if (rng.range(0, 7) == 0) {
        return {pt(rng.range(-6, width + 6), rng.range(-6, height + 6)),
                pt(rng.range(-6, width + 6), rng.range(-6, height + 6))};
    }
    auto semiAxis = [&] {
        const double t = static_cast<double>(rng.next() >> 11) / 9007199254740992.0;
        return std::clamp<long long>(std::llround(std::pow(limit, t)), 1, limit);
    };
    const long long a = semiAxis();
    const long long b = semiAxis();
    const double angle = rng.range(0, 1 << 20) * (6.283185307179586 / 1048576);
    const long long cx = rng.range(-3, width + 2) - std::llround(a * std::cos(angle)) + offset;
    const long long cy = rng.range(-3, height + 2) - std::llround(b * std::sin(angle)) + offset;
    return {
        pt(static_cast<int>(cx - a), static_cast<int>(cy - b)),
        pt(static_cast<int>(cx + a + rng.range(0, 1)), static_cast<int>(cy + b + rng.range(0, 1)))};
}

// Random boxes of every size crossing buffers of every shape, boxes near the
// ends of the int range, and circles of radius 10^7 crossing a buffer where
// the trace starts its regions (at the axes) and where they meet: the pixels
// of the whole plain walk, with every walked step one that the buffer needs,
// plus a few per region.
TEST(EllipseRaster, MatchesThePlainTrace) {
    auto check = [](const Box& box, EllipseMode mode, int width, int height) {
        const _VORNRGBAQUAD ink = rgba(11, 22, 33, 44);
        BufferPtr fast = makeBuffer(width, height);
        BufferPtr plain = makeBuffer(width, height);
        const long long steps = rasteriseEllipse(canvasOf(*fast), box.first, box.second, mode, ink);
        rasteriseEllipseReference(canvasOf(*plain), box.first, box.second, mode, ink);
        ASSERT_EQ(words(*fast), words(*plain));
        ASSERT_LE(steps, 2 * (width + height) + 96);
    };
    struct Batch {
        int count;
        int largestSide;
        long long largestSemiAxis;
        long long offset;
    };
    const Batch batches[] = {{3000, 40, 60, 0},
                             {200, 70, 200000, 0},
                             {40, 30, 100000, 2000000000LL},
                             {40, 30, 100000, -2000000000LL}};
    Rng rng(1);
    for (const Batch& batch : batches) {
        for (int i = 0; i < batch.count; ++i) {
            const int width = rng.range(1, batch.largestSide);
            const int height = rng.range(1, batch.largestSide);
            const Box box = crossingBox(rng, width, height, batch.largestSemiAxis, batch.offset);
            SCOPED_TRACE(testing::Message() << "semi-axes up to " << batch.largestSemiAxis
                                            << ", offset " << batch.offset << ", case " << i);
            ASSERT_NO_FATAL_FAILURE(check(box, kAllModes[i % 4], width, height));
        }
    }
    const int r = 10000000;
    const int d = 7071068; // r / sqrt(2), rounded
    const std::pair<_VORNPOINT, EllipseMode> crossings[] = {
        {pt(48 - r, 48), EllipseMode::Outline},
        {pt(48, 48 - r), EllipseMode::Fill},
        {pt(48 - d, 48 - d), EllipseMode::Outline},
        {pt(48 + d, 48 + d), EllipseMode::Fill}};
    for (const auto& [centre, mode] : crossings) {
        Box box;
        ASSERT_TRUE(vorn::detail::circleBox(centre, r, box.first, box.second));
        ASSERT_NO_FATAL_FAILURE(check(box, mode, 96, 96)) << centre.x << ", " << centre.y;
    }
}

} // namespace
