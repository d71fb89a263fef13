// Polylines and polygon outlines: vertex coverage, closing segments, double
// blending where segments meet, and contour sizes below 1.

#include "vector_test.h"

#include <climits>

namespace {

const _VORNRGBAQUAD kInk = rgba(30, 200, 90, 255);
const _VORNRGBAQUAD kPaper = rgba(250, 240, 10, 255);

_VORNRGBAQUAD translucent() {
    return rgba(30, 200, 90, 100);
}

int polyline(VornBuffer& b, const std::vector<_VORNPOINT>& p, _VORNRGBAQUAD c, int aa = 0) {
    return b.strokePolyline(p.data(), static_cast<int>(p.size()), c.red, c.green, c.blue, c.alpha,
                            aa);
}

int outline(VornBuffer& b, const Polygon& p, _VORNRGBAQUAD c, int aa = 0) {
    return b.strokePolygon(p.points.data(), p.sizes.data(), p.contours(), c.red, c.green, c.blue,
                           c.alpha, aa);
}

TEST(Polyline, LeavesOutItsLastPoint) {
    BufferPtr b = makeBuffer(6, 6);
    EXPECT_EQ(polyline(*b, {pt(0, 0), pt(4, 0), pt(4, 4)}, kInk), 0);
    EXPECT_EQ(picture(*b), rows({"#####.", //
                                 "....#.", //
                                 "....#.", //
                                 "....#.", //
                                 "......", //
                                 "......"}));
}

TEST(Polyline, FewerThanTwoPointsDrawNothing) {
    BufferPtr b = makeBuffer(4, 4);
    const _VORNPOINT one[] = {pt(1, 1)};
    EXPECT_EQ(b->strokePolyline(one, 1, 1, 2, 3, 255), 0);
    EXPECT_EQ(b->strokePolyline(one, 0, 1, 2, 3, 255), 0);
    EXPECT_EQ(b->strokePolyline(one, -5, 1, 2, 3, 255), 0);
    EXPECT_EQ(b->strokePolyline(nullptr, 3, 1, 2, 3, 255), 0);
    EXPECT_TRUE(changedPixels(*b).empty());
}

TEST(Polyline, TwoPointsAreOneLine) {
    for (int aa = 0; aa < 2; ++aa) {
        BufferPtr a = makeFilled(8, 5, kPaper);
        BufferPtr single = makeFilled(8, 5, kPaper);
        polyline(*a, {pt(0, 4), pt(7, 1)}, translucent(), aa);
        single->drawSolidLine(pt(0, 4), pt(7, 1), 30, 200, 90, 100, aa);
        EXPECT_EQ(words(*a), words(*single));
    }
}

TEST(Polyline, EachSegmentIsClippedOnItsOwn) {
    BufferPtr b = makeBuffer(5, 5);
    // The middle segment lies wholly outside; the first point of the third
    // is whole again although the second segment's copy was clipped.
    polyline(*b, {pt(0, 2), pt(-3, 2), pt(-3, -9), pt(4, 2)}, kInk);
    BufferPtr expected = makeBuffer(5, 5);
    expected->drawSolidLine(pt(0, 2), pt(-3, 2), 30, 200, 90, 255);
    expected->drawSolidLine(pt(-3, -9), pt(4, 2), 30, 200, 90, 255);
    EXPECT_EQ(words(*b), words(*expected));
    EXPECT_FALSE(changedPixels(*b).empty());
}

TEST(PolygonOutline, SquareLightsItsBorderOnce) {
    BufferPtr b = makeFilled(7, 7, kPaper);
    outline(*b, Polygon{{pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)}}, translucent());
    const _VORNRGBAQUAD once = blended(kPaper, translucent(), 255);
    int lit = 0;
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool border = x <= 4 && y <= 4 && (x == 0 || x == 4 || y == 0 || y == 4);
            EXPECT_EQ(at(*b, x, y), border ? once : kPaper) << x << ", " << y;
            lit += border;
        }
    }
    EXPECT_EQ(lit, 16);
}

TEST(PolygonOutline, RepeatedFirstPointIsBlendedTwice) {
    BufferPtr b = makeFilled(6, 6, kPaper);
    outline(*b, Polygon{{pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4), pt(0, 0)}}, translucent());
    const _VORNRGBAQUAD once = blended(kPaper, translucent(), 255);
    EXPECT_EQ(at(*b, 0, 0), blended(once, translucent(), 255));
    EXPECT_EQ(at(*b, 4, 0), once);
}

TEST(PolygonOutline, TwoPointsGoThereAndBack) {
    BufferPtr b = makeFilled(7, 4, kPaper);
    outline(*b, Polygon{{pt(0, 0), pt(5, 2)}}, translucent());
    const _VORNRGBAQUAD once = blended(kPaper, translucent(), 255);
    const _VORNRGBAQUAD twice = blended(once, translucent(), 255);
    // There: (0,0) (1,0) (2,1) (3,1) (4,2); back: (5,2) (4,2) (3,1) (2,1) (1,0).
    EXPECT_EQ(at(*b, 0, 0), once);
    EXPECT_EQ(at(*b, 5, 2), once);
    for (const auto& xy :
         {std::make_pair(1, 0), std::make_pair(2, 1), std::make_pair(3, 1), std::make_pair(4, 2)}) {
        EXPECT_EQ(at(*b, xy.first, xy.second), twice);
    }
    EXPECT_EQ(changedPixels(*b, kPaper).size(), 6u);
}

TEST(PolygonOutline, OnePointPlotsIt) {
    for (int aa = 0; aa < 2; ++aa) {
        BufferPtr b = makeBuffer(4, 4);
        outline(*b, Polygon{{pt(2, 3)}}, kInk, aa);
        EXPECT_EQ(changedPixels(*b), PixelSet({{2, 3}}));
    }
}

TEST(PolygonOutline, ContoursFollowOneAnother) {
    BufferPtr b = makeBuffer(8, 8);
    outline(*b, Polygon{{pt(0, 0), pt(2, 0), pt(2, 2)}, {pt(5, 5)}, {pt(4, 7), pt(7, 7)}}, kInk);
    BufferPtr expected = makeBuffer(8, 8);
    for (const auto& seg :
         {std::make_pair(pt(0, 0), pt(2, 0)), std::make_pair(pt(2, 0), pt(2, 2)),
          std::make_pair(pt(2, 2), pt(0, 0)), std::make_pair(pt(5, 5), pt(5, 5)),
          std::make_pair(pt(4, 7), pt(7, 7)), std::make_pair(pt(7, 7), pt(4, 7))}) {
        expected->drawSolidLine(seg.first, seg.second, kInk.red, kInk.green, kInk.blue, 255);
    }
    EXPECT_EQ(words(*b), words(*expected));
}

TEST(PolygonOutline, AntiAliasedVerticesAreBlendedTwice) {
    BufferPtr b = makeFilled(8, 8, kPaper);
    outline(*b, Polygon{{pt(1, 1), pt(6, 3), pt(2, 6)}}, translucent(), 1);
    const _VORNRGBAQUAD once = blended(kPaper, translucent(), 255);
    const _VORNRGBAQUAD twice = blended(once, translucent(), 255);
    EXPECT_EQ(at(*b, 1, 1), twice);
    EXPECT_EQ(at(*b, 6, 3), twice);
    EXPECT_EQ(at(*b, 2, 6), twice);
}

// Sizes of 0 or less draw nothing and do not move the position: the next
// contour starts where the skipped one would have, and no point before the
// array or beyond the sizes' sum is read (the sanitizer run checks reads).
TEST(PolygonOutline, ContourSizesBelowOneAreSkipped) {
    const std::vector<_VORNPOINT> points = {pt(1, 1), pt(3, 1), pt(3, 3), pt(6, 6)};
    const int sizes[] = {0, -2, 3, INT_MIN, 0, 1};
    BufferPtr b = makeBuffer(8, 8);
    EXPECT_EQ(b->strokePolygon(points.data(), sizes, 6, 1, 2, 3, 255), 0);
    BufferPtr expected = makeBuffer(8, 8);
    const int good[] = {3, 1};
    expected->strokePolygon(points.data(), good, 2, 1, 2, 3, 255);
    EXPECT_EQ(words(*b), words(*expected));
    EXPECT_FALSE(changedPixels(*b).empty());
    // No contours, or none at all, draw nothing.
    BufferPtr c = makeBuffer(8, 8);
    EXPECT_EQ(c->strokePolygon(points.data(), sizes, 0, 1, 2, 3, 255), 0);
    EXPECT_EQ(c->strokePolygon(points.data(), sizes, -4, 1, 2, 3, 255), 0);
    EXPECT_EQ(c->strokePolygon(nullptr, sizes, 2, 1, 2, 3, 255), 0);
    EXPECT_EQ(c->strokePolygon(points.data(), nullptr, 2, 1, 2, 3, 255), 0);
    EXPECT_TRUE(changedPixels(*c).empty());
}

TEST(StrokeLoop, OneClosedContour) {
    const std::vector<_VORNPOINT> points = {pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)};
    for (int aa = 0; aa < 2; ++aa) {
        BufferPtr b = makeFilled(6, 6, kPaper);
        EXPECT_EQ((b.get()->*VectorProtected::strokeLoopFn)(points.data(), 4, translucent(), aa),
                  0);
        BufferPtr expected = makeFilled(6, 6, kPaper);
        outline(*expected, Polygon{{pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)}}, translucent(), aa);
        EXPECT_EQ(words(*b), words(*expected));
    }
    BufferPtr b = makeBuffer(6, 6);
    (b.get()->*VectorProtected::strokeLoopFn)(points.data(), 1, kInk, 0);
    EXPECT_EQ(changedPixels(*b), PixelSet({{0, 0}}));
    BufferPtr none = makeBuffer(6, 6);
    (none.get()->*VectorProtected::strokeLoopFn)(points.data(), 0, kInk, 0);
    (none.get()->*VectorProtected::strokeLoopFn)(points.data(), -3, kInk, 1);
    EXPECT_TRUE(changedPixels(*none).empty());
}

TEST(PolygonOutline, ExtremeVerticesReturnQuickly) {
    BufferPtr b = makeBuffer(32, 32);
    const Polygon p{{pt(INT_MIN, INT_MIN), pt(INT_MAX, 5), pt(16, INT_MAX), pt(INT_MIN, INT_MAX)}};
    EXPECT_EQ(outline(*b, p, kInk, 0), 0);
    EXPECT_EQ(outline(*b, p, kInk, 1), 0);
}

} // namespace
