// SPDX-License-Identifier: MIT
// Polylines and polygon outlines: vertex coverage, closing segments, double
// blending where segments meet, and contour sizes below 1.

#include "vector_test.h"

#include <climits>

namespace {

const _VORNRGBAQUAD kInk = rgba(30, 200, 90, 100);
const _VORNRGBAQUAD kPaper = rgba(250, 240, 10, 255);

int polyline(VornBuffer& b, const std::vector<_VORNPOINT>& p, int aa = 0) {
    return b.strokePolyline(p.data(), static_cast<int>(p.size()), kInk.red, kInk.green, kInk.blue,
                            kInk.alpha, aa);
}

int outline(VornBuffer& b, const Polygon& p, int aa = 0) {
    return b.strokePolygon(p.points.data(), p.sizes.data(), p.contours(), kInk.red, kInk.green,
                           kInk.blue, kInk.alpha, aa);
}

// How often each pixel was blended with the translucent ink: '.' never,
// '1' once, '2' twice, '?' otherwise.
std::string blendCounts(const VornBuffer& b) {
    const _VORNRGBAQUAD once = blended(kPaper, kInk, 255);
    const _VORNRGBAQUAD twice = blended(once, kInk, 255);
    std::string out;
    for (int y = 0; y < b.getHeight(); ++y) {
        for (int x = 0; x < b.getWidth(); ++x) {
            const _VORNRGBAQUAD p = at(b, x, y);
            out += p == kPaper ? '.' : p == once ? '1' : p == twice ? '2' : '?';
        }
        out += '\n';
    }
    return out;
}

// The open polyline, the outline of one contour, and strokeLoop.
enum Kind { Open, Closed, Loop };

TEST(Outline, BlendsEachPixelOncePerSegment) {
    struct Case {
        Kind kind;
        int aa;
        std::vector<_VORNPOINT> points;
        const char* counts;
    };
    const std::vector<_VORNPOINT> square = {pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)};
    const char* border = "11111..|1...1..|1...1..|1...1..|11111..";
    const Case cases[] = {
        // The open polyline leaves out its last point.
        {Open, 0, {pt(0, 0), pt(4, 0), pt(4, 4)}, "11111..|....1..|....1..|....1..|......."},
        // Every vertex of a closed contour once; a repeated first point ends
        // with a one-point closing segment.
        {Closed, 0, square, border},
        {Loop, 0, square, border},
        {Closed,
         0,
         {pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4), pt(0, 0)},
         "21111..|1...1..|1...1..|1...1..|11111.."},
        // Two points: there and back, the pixels both directions light twice.
        {Closed, 0, {pt(0, 0), pt(5, 2)}, "12.....|..22...|....21.|.......|......."},
        {Closed, 0, {pt(2, 3)}, ".......|.......|.......|..1....|......."},
        {Closed, 1, {pt(2, 3)}, ".......|.......|.......|..1....|......."},
        {Loop, 1, {pt(2, 3)}, ".......|.......|.......|..1....|......."},
        // Across the left edge: the segment leaving through it reaches it.
        {Closed,
         0,
         {pt(-3, 1), pt(4, 1), pt(4, 4), pt(-3, 4)},
         ".......|11111..|....1..|....1..|11111.."},
        // Anti-aliased segments plot both ends: every vertex twice.
        {Closed, 1, {pt(0, 0), pt(5, 2), pt(1, 4)}, "2??....|?????..|??.?12.|???1?..|.2?...."},
    };
    for (const Case& c : cases) {
        BufferPtr b = makeFilled(7, 5, kPaper);
        Polygon p;
        p.add(c.points);
        const int n = static_cast<int>(c.points.size());
        EXPECT_EQ(c.kind == Open ? polyline(*b, c.points, c.aa)
                  : c.kind == Closed
                      ? outline(*b, p, c.aa)
                      : (b.get()->*Access::strokeLoopFn)(c.points.data(), n, kInk, c.aa),
                  0);
        EXPECT_EQ(blendCounts(*b), grid(c.counts)) << c.kind << ", " << n << " points";
    }
}

// Sizes of 0 or less draw nothing and do not move the position: the next
// contour starts where the skipped one would have, and no point before the
// array or beyond the sizes' sum is read (the sanitizer run checks reads).
// Counts below the minimum and null arrays draw nothing.
TEST(Outline, CountsBelowOneAndNullArraysDrawNothing) {
    const std::vector<_VORNPOINT> points = {pt(1, 1), pt(3, 1), pt(3, 3), pt(6, 6)};
    const int sizes[] = {0, -2, 3, INT_MIN, 0, 1};
    const int good[] = {3, 1};
    BufferPtr b = makeBuffer(8, 8);
    BufferPtr expected = makeBuffer(8, 8);
    EXPECT_EQ(b->strokePolygon(points.data(), sizes, 6, 1, 2, 3, 255), 0);
    expected->strokePolygon(points.data(), good, 2, 1, 2, 3, 255);
    EXPECT_EQ(words(*b), words(*expected));
    EXPECT_FALSE(changedPixels(*b).empty());

    BufferPtr none = makeBuffer(8, 8);
    for (int n : {0, -4}) {
        EXPECT_EQ(none->strokePolygon(points.data(), sizes, n, 1, 2, 3, 255), 0);
        EXPECT_EQ(none->strokePolyline(points.data(), n + 1, 1, 2, 3, 255), 0);
        (none.get()->*Access::strokeLoopFn)(points.data(), n, kInk, 0);
    }
    EXPECT_EQ(none->strokePolygon(nullptr, sizes, 2, 1, 2, 3, 255), 0);
    EXPECT_EQ(none->strokePolygon(points.data(), nullptr, 2, 1, 2, 3, 255), 0);
    EXPECT_EQ(none->strokePolyline(nullptr, 3, 1, 2, 3, 255), 0);
    EXPECT_TRUE(changedPixels(*none).empty());
}

} // namespace
