// Half circles and half ellipses: the worked halves, the side selector,
// the two halves against the whole outline, degenerate boxes and channel
// order.

#include "shape_test.h"

#include <limits>
#include <vector>

namespace {

_VORNPOINT pt(int x, int y) {
    return _VORNPOINT{x, y};
}

// drawHalfEllipse is protected; a member pointer taken through a derived
// class reaches it on any buffer.
struct HalfShapes : VornBuffer {
    using HalfEllipse = int (VornBuffer::*)(const _VORNPOINT&, const _VORNPOINT&, unsigned char,
                                            unsigned char, unsigned char, unsigned char, int);
    static constexpr HalfEllipse halfEllipse = &HalfShapes::drawHalfEllipse;
};

int drawHalfEllipse(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c, int side) {
    return (b.*HalfShapes::halfEllipse)(p1, p2, c.red, c.green, c.blue, c.alpha, side);
}

TEST(HalfCircle, WorkedHalves) {
    const std::string upper = rows({".........", //
                                    "...###...", //
                                    "..#...#..", //
                                    ".#.....#.", //
                                    ".#.....#.", //
                                    ".........", //
                                    ".........", //
                                    ".........", //
                                    "........."});
    const std::string lower = rows({".........", //
                                    ".........", //
                                    ".........", //
                                    ".........", //
                                    ".#.....#.", //
                                    ".#.....#.", //
                                    "..#...#..", //
                                    "...###...", //
                                    "........."});
    struct Side {
        int side;
        const std::string& expected;
    };
    // Any side other than 0 selects the upper half.
    for (const Side& s : {Side{1, upper}, Side{-1, upper}, Side{7, upper},
                          Side{std::numeric_limits<int>::min(), upper}, Side{0, lower}}) {
        SCOPED_TRACE(testing::Message() << "side " << s.side);
        BufferPtr b = makeBuffer(9, 9);
        EXPECT_EQ(b->drawHalfCircle(pt(4, 4), 3.0, 5, 6, 7, 255, s.side), 0);
        EXPECT_EQ(picture(*b), s.expected);
    }
}

// The two halves together give the circle; the upper one keeps to rows at
// and above the centre row, the lower one to rows at and below it.
TEST(HalfCircle, BothHalvesMakeTheCircle) {
    Rng rng(12);
    for (int i = 0; i < 400; ++i) {
        const int width = rng.range(1, 50);
        const int height = rng.range(1, 50);
        // Centres inside and around the buffer, radii with fractions.
        const _VORNPOINT centre = pt(rng.range(-20, width + 20), rng.range(-20, height + 20));
        const double radius = rng.range(0, 4000) / 100.0;
        SCOPED_TRACE(testing::Message()
                     << "centre (" << centre.x << ", " << centre.y << ") radius " << radius);
        BufferPtr upper = makeBuffer(width, height);
        BufferPtr lower = makeBuffer(width, height);
        BufferPtr whole = makeBuffer(width, height);
        upper->drawHalfCircle(centre, radius, 1, 2, 3, 4, 1);
        lower->drawHalfCircle(centre, radius, 1, 2, 3, 4, 0);
        whole->drawCircle(centre, radius, 1, 2, 3, 4);
        PixelSet both = changedPixels(*upper);
        const PixelSet below = changedPixels(*lower);
        both.insert(below.begin(), below.end());
        ASSERT_EQ(both, changedPixels(*whole));
        // The box's centre row, truncated as the box is.
        const int cy =
            (static_cast<int>(centre.y - radius) + static_cast<int>(centre.y + radius)) / 2;
        for (const auto& [x, y] : changedPixels(*upper)) {
            ASSERT_LE(y, cy) << "(" << x << ", " << y << ")";
        }
        for (const auto& [x, y] : below) {
            ASSERT_GE(y, cy) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(HalfEllipse, HalvesOfTheWorkedEllipse) {
    BufferPtr upper = makeBuffer(7, 5);
    BufferPtr lower = makeBuffer(7, 5);
    EXPECT_EQ(drawHalfEllipse(*upper, pt(0, 0), pt(6, 4), rgba(1, 2, 3, 4), 5), 0);
    EXPECT_EQ(drawHalfEllipse(*lower, pt(0, 0), pt(6, 4), rgba(1, 2, 3, 4), 0), 0);
    EXPECT_EQ(picture(*upper), rows({"..###..", //
                                     "##...##", //
                                     "#.....#", //
                                     ".......", //
                                     "......."}));
    EXPECT_EQ(picture(*lower), rows({".......", //
                                     ".......", //
                                     "#.....#", //
                                     "##...##", //
                                     "..###.."}));
}

TEST(HalfEllipse, DegenerateBoxesAndRadiiDrawNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int side : {0, 1}) {
        BufferPtr b = makeBuffer(20, 20);
        EXPECT_EQ(drawHalfEllipse(*b, pt(6, 4), pt(0, 0), rgba(9, 9, 9, 9), side), 0);
        EXPECT_EQ(drawHalfEllipse(*b, pt(3, 0), pt(3, 9), rgba(9, 9, 9, 9), side), 0);
        EXPECT_EQ(drawHalfEllipse(*b, pt(0, 5), pt(9, 5), rgba(9, 9, 9, 9), side), 0);
        for (double radius : {0.5, 0.0, -2.0, nan, inf, -inf}) {
            EXPECT_EQ(b->drawHalfCircle(pt(10, 10), radius, 9, 9, 9, 9, side), 0);
        }
        EXPECT_EQ(changedPixels(*b), PixelSet{});
    }
}

TEST(HalfCircle, OverwritesAllFourBytesInChannelOrder) {
    BufferPtr b = makeFilled(9, 9, rgba(255, 255, 255, 255));
    b->drawHalfCircle(pt(4, 4), 3.0, 10, 20, 30, 0, 1);
    const PixelSet painted = changedPixels(*b, rgba(255, 255, 255, 255));
    ASSERT_EQ(painted.size(), 9u);
    for (const auto& [x, y] : painted) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(b->getPixel(x, y));
        EXPECT_EQ(bytes[0], 30); // blue
        EXPECT_EQ(bytes[1], 20); // green
        EXPECT_EQ(bytes[2], 10); // red
        EXPECT_EQ(bytes[3], 0);  // alpha
    }
}

} // namespace
