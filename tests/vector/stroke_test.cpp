// SPDX-License-Identifier: MIT
// The Bresenham, anti-aliased and dashed lines: pixel sets, exclusive end
// points, Wu intensities, the dash phase after clipping, and random lines
// against a plain model that walks every step.

#include "vector_test.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

const _VORNRGBAQUAD kInk = rgba(200, 60, 20, 255);
const _VORNRGBAQUAD kPaper = rgba(10, 90, 160, 255);

enum Kind { Solid, AntiAliased, Dashed };

int line(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c, Kind kind = Solid) {
    if (kind == Dashed) {
        return b.drawDashedLine(p1, p2, c.red, c.green, c.blue, c.alpha);
    }
    return b.drawSolidLine(p1, p2, c.red, c.green, c.blue, c.alpha, kind == AntiAliased);
}

_VORNRGBAQUAD withAlpha(_VORNRGBAQUAD c, unsigned a) {
    c.alpha = static_cast<unsigned char>(a);
    return c;
}

// Lines that light whole pixels only, each with the full colour.
TEST(Lines, LightExactlyThesePixels) {
    struct Case {
        Kind kind;
        int w, h;
        _VORNPOINT p1, p2;
        PixelSet lit;
    };
    // The Bresenham and dashed lines against their step-by-step model
    // below; here a few worked ones.
    const Case cases[] = {
        // Both directions of one segment, each stopping short of its end.
        {Solid, 8, 6, pt(0, 0), pt(5, 2), {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
        {Solid, 8, 6, pt(5, 2), pt(0, 0), {{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}},
        // A one-point segment is the only one that plots its end.
        {Solid, 8, 6, pt(3, 3), pt(3, 3), {{3, 3}}},
        // Dashed: two on, two off, counted in steps along the major axis
        // from where the line enters the buffer.
        {Dashed, 12, 12, pt(-3, 2), pt(11, 2), {{0, 2}, {1, 2}, {4, 2}, {5, 2}, {8, 2}, {9, 2}}},
        // A line leaving the buffer reaches the edge it leaves through.
        {AntiAliased, 4, 3, pt(6, 1), pt(-5, 1), {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
        // Anti-aliased: x and y growing together is the integer line; the
        // other diagonal plots both ends; axis lines are the integer lines.
        {AntiAliased, 5, 5, pt(0, 0), pt(3, 3), {{0, 0}, {1, 1}, {2, 2}}},
        {AntiAliased, 5, 5, pt(0, 3), pt(3, 0), {{0, 3}, {3, 0}, {2, 1}, {1, 2}}},
        {AntiAliased, 5, 5, pt(4, 1), pt(0, 1), {{4, 1}, {3, 1}, {2, 1}, {1, 1}}},
        {AntiAliased, 5, 5, pt(2, 0), pt(2, 4), {{2, 0}, {2, 1}, {2, 2}, {2, 3}}},
        {AntiAliased, 4, 4, pt(2, 1), pt(2, 1), {{2, 1}}},
    };
    for (const Case& c : cases) {
        BufferPtr b = makeBuffer(c.w, c.h);
        EXPECT_EQ(line(*b, c.p1, c.p2, kInk, c.kind), 0);
        EXPECT_EQ(changedPixels(*b), c.lit) << c.kind << ": (" << c.p1.x << ", " << c.p1.y << ")-("
                                            << c.p2.x << ", " << c.p2.y << ")";
        // Every lit pixel holds the full colour.
        EXPECT_EQ(changedPixels(*b, kInk).size(), c.w * c.h - c.lit.size());
    }
}

TEST(Lines, TransparentColourChangesNothing) {
    BufferPtr b = makeFilled(6, 3, kPaper);
    for (Kind kind : {Solid, AntiAliased, Dashed}) {
        line(*b, pt(0, 0), pt(5, 2), withAlpha(kInk, 0), kind);
    }
    EXPECT_TRUE(changedPixels(*b, kPaper).empty());
}

// Each pixel blended once with the colour at the alpha given (0: left
// alone), on a 6 x 4 buffer.
TEST(WuLine, Intensities) {
    struct Case {
        _VORNPOINT p1, p2;
        unsigned alpha;
        int alphas[4][6];
    };
    const Case cases[] = {
        {pt(0, 0), pt(4, 1), 255, {{255, 192, 128, 64}, {0, 63, 127, 191, 255}}},
        {pt(0, 0), pt(3, 1), 128, {{128, 86, 43}, {0, 42, 85, 128}}},
        // y-major: the far pixel of each row is the one at x + 1.
        {pt(0, 0), pt(1, 3), 255, {{255}, {170, 85}, {85, 170}, {0, 255}}},
        // Clipped at the left edge, at (0, 1.125): the shares still add up.
        {pt(-3, 0),
         pt(5, 3),
         255,
         {{0}, {255, 154, 52}, {0, 101, 203, 204, 102}, {0, 0, 0, 51, 153, 255}}},
    };
    for (const Case& c : cases) {
        const _VORNRGBAQUAD ink = withAlpha(kInk, c.alpha);
        BufferPtr b = makeFilled(6, 4, kPaper);
        line(*b, c.p1, c.p2, ink, AntiAliased);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const int a = c.alphas[y][x];
                EXPECT_EQ(at(*b, x, y), a ? blended(kPaper, withAlpha(ink, a), 255) : kPaper)
                    << "(" << x << ", " << y << ") of the line to " << c.p2.x << ", " << c.p2.y;
            }
        }
    }
}

// The position accumulated along a long steep line drifts: on this one it
// reaches -0.004 on the row before the end, where truncation gives column
// 0. The whole colour goes to column 0 there; no share turns negative and
// wraps round into a bright pixel at column 1.
TEST(WuLine, DriftBelowZeroKeepsTheColourOnTheNearPixel) {
    BufferPtr b = makeBuffer(48, 12977);
    line(*b, pt(47, 0), pt(0, 12976), kInk, AntiAliased);
    EXPECT_EQ(at(*b, 0, 12975), kInk);
    EXPECT_EQ(at(*b, 1, 12975), kClear);
    EXPECT_EQ(at(*b, 0, 12976), kInk);
}

// Every step of the line from the clipped points, written out from the
// definition with one pixel per step, and one step more onto p2 when
// clipping moved it; `dash` keeps steps 0 and 1 of every 4.
void modelLine(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c, bool dash) {
    const _VORNPOINT end = p2;
    if (!b.ClipLine(p1, p2, 0, 0, b.getWidth(), b.getHeight())) {
        return;
    }
    long long x = p1.x;
    long long y = p1.y;
    const long long ax = std::llabs(static_cast<long long>(p2.x) - p1.x);
    const long long ay = std::llabs(static_cast<long long>(p2.y) - p1.y);
    const int sx = p2.x < p1.x ? -1 : 1;
    const int sy = p2.y < p1.y ? -1 : 1;
    const bool moved = end.x != p2.x || end.y != p2.y;
    const long long steps = std::max<long long>(std::max(ax, ay) + (moved ? 1 : 0), 1);
    long long e = ax > ay ? -ax : -ay;
    for (long long k = 0; k < steps; ++k) {
        if ((!dash || k % 4 < 2) && x >= 0 && y >= 0 && x < b.getWidth() && y < b.getHeight()) {
            _VORNRGBAQUAD& p = *b.getPixel(static_cast<int>(x), static_cast<int>(y));
            p = blended(p, c, 255);
        }
        // The major axis steps every time, the minor one when e passes 0.
        long long& major = ax > ay ? x : y;
        long long& minor = ax > ay ? y : x;
        e += 2 * std::min(ax, ay);
        if (e > 0) {
            minor += ax > ay ? sy : sx;
            e -= 2 * std::max(ax, ay);
        }
        major += ax > ay ? sx : sy;
    }
}

TEST(Lines, RandomSegmentsMatchTheStepByStepModel) {
    Rng rng(2024);
    const int extremes[] = {INT_MIN, INT_MIN + 1, -1000000007, 1000000007, INT_MAX - 1, INT_MAX};
    for (int trial = 0; trial < 3000; ++trial) {
        const int w = rng.range(1, 40);
        const int h = rng.range(1, 40);
        auto coord = [&](int size) {
            const int kind = rng.range(0, 5);
            return kind == 0   ? extremes[rng.range(0, 5)]
                   : kind == 1 ? rng.range(-100000, 100000)
                               : rng.range(-size, 2 * size);
        };
        const _VORNPOINT p1 = pt(coord(w), coord(h));
        const _VORNPOINT p2 = pt(coord(w), coord(h));
        const _VORNRGBAQUAD ink = rgba(rng.byte(), rng.byte(), rng.byte(), rng.range(1, 255));
        const bool dash = rng.range(0, 1) == 1;
        BufferPtr got = makeFilled(w, h, kPaper);
        BufferPtr want = makeFilled(w, h, kPaper);
        line(*got, p1, p2, ink, dash ? Dashed : Solid);
        modelLine(*want, p1, p2, ink, dash);
        ASSERT_EQ(words(*got), words(*want))
            << "trial " << trial << " (" << p1.x << ", " << p1.y << ")-(" << p2.x << ", " << p2.y
            << ") in " << w << " x " << h << (dash ? " dashed" : "");
    }
}

} // namespace
