// The Bresenham, anti-aliased and dashed lines: pixel sets, exclusive end
// points, Wu intensities, the dash phase after clipping, and random lines
// against a plain model that walks every step.

#include "vector_test.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

const _VORNRGBAQUAD kInk = rgba(200, 60, 20, 255);
const _VORNRGBAQUAD kPaper = rgba(10, 90, 160, 255);

PixelSet set(std::initializer_list<std::pair<int, int>> xy) {
    return PixelSet(xy);
}

int line(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c, int antiAlias = 0) {
    return b.drawSolidLine(p1, p2, c.red, c.green, c.blue, c.alpha, antiAlias);
}

int dashed(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c) {
    return b.drawDashedLine(p1, p2, c.red, c.green, c.blue, c.alpha);
}

_VORNRGBAQUAD withAlpha(_VORNRGBAQUAD c, unsigned a) {
    c.alpha = static_cast<unsigned char>(a);
    return c;
}

// ---------------------------------------------------------------------------
// Bresenham
// ---------------------------------------------------------------------------

struct LineCase {
    _VORNPOINT p1;
    _VORNPOINT p2;
    PixelSet lit;
};

class SolidLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(SolidLine, LightsExactlyThesePixels) {
    const LineCase c = GetParam();
    BufferPtr b = makeBuffer(8, 6);
    EXPECT_EQ(line(*b, c.p1, c.p2, kInk), 0);
    EXPECT_EQ(changedPixels(*b), c.lit);
    for (const auto& xy : c.lit) {
        EXPECT_EQ(at(*b, xy.first, xy.second), kInk);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SolidLine,
    ::testing::Values(
        // Both directions of one segment, each stopping short of its end.
        LineCase{pt(0, 0), pt(5, 2), set({{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}})},
        LineCase{pt(5, 2), pt(0, 0), set({{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}})},
        // Exact diagonals run as y-major.
        LineCase{pt(0, 0), pt(3, 3), set({{0, 0}, {1, 1}, {2, 2}})},
        LineCase{pt(1, 4), pt(3, 0), set({{1, 4}, {1, 3}, {2, 2}, {2, 1}})},
        LineCase{pt(2, 1), pt(2, 4), set({{2, 1}, {2, 2}, {2, 3}})},
        LineCase{pt(6, 5), pt(2, 5), set({{6, 5}, {5, 5}, {4, 5}, {3, 5}})},
        // A one-point segment is the only one that plots its end.
        LineCase{pt(3, 3), pt(3, 3), set({{3, 3}})},
        // Clipped: (-5, 0)-(5, 0) becomes (0, 0)-(5, 0), which stops at 4...
        LineCase{pt(-5, 0), pt(5, 0), set({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}})},
        // ... and an end on the far border survives clipping but is dropped.
        LineCase{pt(8, 0), pt(8, 5), set({})}, LineCase{pt(7, 6), pt(7, 6), set({})},
        LineCase{pt(-1, -1), pt(-1, 5), set({})}));

TEST(SolidLine, BlendsEachPixelOnceWithTheColoursAlpha) {
    BufferPtr b = makeFilled(6, 3, kPaper);
    const _VORNRGBAQUAD ink = withAlpha(kInk, 100);
    line(*b, pt(0, 1), pt(5, 1), ink);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(at(*b, x, 1), x < 5 ? blended(kPaper, ink, 255) : kPaper) << x;
    }
    // A fully transparent colour changes nothing, on any rasteriser.
    const auto before = words(*b);
    line(*b, pt(0, 0), pt(5, 2), withAlpha(kInk, 0));
    line(*b, pt(0, 0), pt(5, 2), withAlpha(kInk, 0), 1);
    dashed(*b, pt(0, 0), pt(5, 2), withAlpha(kInk, 0));
    EXPECT_EQ(words(*b), before);
}

// ---------------------------------------------------------------------------
// Anti-aliased
// ---------------------------------------------------------------------------

// Expected alpha per pixel: each pixel blended once with the colour at
// that alpha.
void expectWu(_VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD ink,
              const std::map<std::pair<int, int>, int>& alphas) {
    BufferPtr b = makeFilled(6, 4, kPaper);
    line(*b, p1, p2, ink, 1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const auto it = alphas.find({x, y});
            const _VORNRGBAQUAD expected =
                it == alphas.end() ? kPaper : blended(kPaper, withAlpha(ink, it->second), 255);
            EXPECT_EQ(at(*b, x, y), expected) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(WuLine, OpaqueIntensities) {
    expectWu(pt(0, 0), pt(4, 1), kInk,
             {{{0, 0}, 255},
              {{4, 1}, 255},
              {{1, 1}, 63},
              {{1, 0}, 192},
              {{2, 1}, 127},
              {{2, 0}, 128},
              {{3, 1}, 191},
              {{3, 0}, 64}});
}

TEST(WuLine, HalfTransparentIntensities) {
    expectWu(
        pt(0, 0), pt(3, 1), withAlpha(kInk, 128),
        {{{0, 0}, 128}, {{3, 1}, 128}, {{1, 1}, 42}, {{1, 0}, 86}, {{2, 1}, 85}, {{2, 0}, 43}});
}

TEST(WuLine, YMajorSharesAlongColumns) {
    // The transposed first example: the far pixel is the one at x + 1.
    expectWu(
        pt(0, 0), pt(1, 3), kInk,
        {{{0, 0}, 255}, {{1, 3}, 255}, {{1, 1}, 85}, {{0, 1}, 170}, {{1, 2}, 170}, {{0, 2}, 85}});
}

TEST(WuLine, DiagonalsAndAxisLines) {
    // x and y growing together: the integer line.
    BufferPtr b = makeBuffer(5, 5);
    line(*b, pt(0, 0), pt(3, 3), kInk, 1);
    EXPECT_EQ(changedPixels(*b), set({{0, 0}, {1, 1}, {2, 2}}));
    // The other diagonal takes the anti-aliased path and plots both ends.
    b = makeBuffer(5, 5);
    line(*b, pt(0, 3), pt(3, 0), kInk, 1);
    EXPECT_EQ(changedPixels(*b), set({{0, 3}, {3, 0}, {2, 1}, {1, 2}}));
    for (const auto& xy : changedPixels(*b)) {
        EXPECT_EQ(at(*b, xy.first, xy.second), kInk);
    }
    // Horizontal and vertical lines are the integer lines.
    for (const auto& seg :
         {std::make_pair(pt(4, 1), pt(0, 1)), std::make_pair(pt(2, 0), pt(2, 4))}) {
        BufferPtr aa = makeFilled(5, 5, kPaper);
        BufferPtr plain = makeFilled(5, 5, kPaper);
        line(*aa, seg.first, seg.second, withAlpha(kInk, 77), 1);
        line(*plain, seg.first, seg.second, withAlpha(kInk, 77), 0);
        EXPECT_EQ(words(*aa), words(*plain));
    }
}

TEST(WuLine, OnePoint) {
    BufferPtr b = makeBuffer(4, 4);
    line(*b, pt(2, 1), pt(2, 1), kInk, 1);
    EXPECT_EQ(changedPixels(*b), set({{2, 1}}));
}

// The position accumulated along a long steep line drifts: on this one it
// reaches -0.004 on the row before the end, where truncation gives column
// 0. The whole colour goes to column 0 there; no share turns negative and
// wraps round into a bright pixel at column 1.
TEST(WuLine, DriftBelowZeroKeepsTheColourOnTheNearPixel) {
    BufferPtr b = makeBuffer(48, 12977);
    line(*b, pt(47, 0), pt(0, 12976), kInk, 1);
    EXPECT_EQ(at(*b, 0, 12975), kInk);
    EXPECT_EQ(at(*b, 1, 12975), rgba(0, 0, 0, 0));
    EXPECT_EQ(at(*b, 0, 12976), kInk);
}

// ---------------------------------------------------------------------------
// Dashed
// ---------------------------------------------------------------------------

TEST(DashedLine, TwoOnTwoOffFromTheClippedStart) {
    BufferPtr b = makeBuffer(12, 12);
    dashed(*b, pt(0, 0), pt(10, 0), kInk);
    EXPECT_EQ(changedPixels(*b), set({{0, 0}, {1, 0}, {4, 0}, {5, 0}, {8, 0}, {9, 0}}));
    // Counted in steps along the major axis: longer dashes on a diagonal.
    b = makeBuffer(12, 12);
    dashed(*b, pt(0, 0), pt(6, 6), kInk);
    EXPECT_EQ(changedPixels(*b), set({{0, 0}, {1, 1}, {4, 4}, {5, 5}}));
    // A segment of one point is plotted.
    b = makeBuffer(12, 12);
    dashed(*b, pt(3, 7), pt(3, 7), kInk);
    EXPECT_EQ(changedPixels(*b), set({{3, 7}}));
    // The pattern starts where the line enters the buffer.
    b = makeBuffer(4, 4);
    dashed(*b, pt(-5, 0), pt(5, 0), kInk);
    EXPECT_EQ(changedPixels(*b), set({{0, 0}, {1, 0}}));
    b = makeBuffer(12, 12);
    dashed(*b, pt(-3, 2), pt(11, 2), kInk);
    EXPECT_EQ(changedPixels(*b), set({{0, 2}, {1, 2}, {4, 2}, {5, 2}, {8, 2}, {9, 2}}));
}

// ---------------------------------------------------------------------------
// Random lines against a plain model
// ---------------------------------------------------------------------------

// Every step of the line from the clipped points, written out from the
// definition with one pixel per step; `dash` keeps steps 0 and 1 of every 4.
void modelLine(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c, bool dash) {
    if (!b.ClipLine(p1, p2, 0, 0, b.getWidth(), b.getHeight())) {
        return;
    }
    long long x = p1.x;
    long long y = p1.y;
    const long long dx = static_cast<long long>(p2.x) - p1.x;
    const long long dy = static_cast<long long>(p2.y) - p1.y;
    const long long ax = std::llabs(dx);
    const long long ay = std::llabs(dy);
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    const long long steps = std::max(ax, ay) == 0 ? 1 : std::max(ax, ay);
    long long e = ax > ay ? -ax : -ay;
    for (long long k = 0; k < steps; ++k) {
        if ((!dash || k % 4 < 2) && x >= 0 && y >= 0 && x < b.getWidth() && y < b.getHeight()) {
            _VORNRGBAQUAD& p = *b.getPixel(static_cast<int>(x), static_cast<int>(y));
            p = blended(p, c, 255);
        }
        if (ax > ay) {
            e += 2 * ay;
            if (e > 0) {
                y += sy;
                e -= 2 * ax;
            }
            x += sx;
        } else {
            e += 2 * ax;
            if (e > 0) {
                x += sx;
                e -= 2 * ay;
            }
            y += sy;
        }
    }
}

TEST(Lines, RandomSegmentsMatchTheStepByStepModel) {
    Rng rng(2024);
    const int extremes[] = {INT_MIN, INT_MIN + 1, -1000000007, 1000000007, INT_MAX - 1, INT_MAX};
    for (int trial = 0; trial < 3000; ++trial) {
        const int w = rng.range(1, 40);
        const int h = rng.range(1, 40);
        auto coord = [&](int size) {
            switch (rng.range(0, 5)) {
            case 0:
                return extremes[rng.range(0, 5)];
            case 1:
                return rng.range(-100000, 100000);
            default:
                return rng.range(-size, 2 * size);
            }
        };
        const _VORNPOINT p1 = pt(coord(w), coord(h));
        const _VORNPOINT p2 = pt(coord(w), coord(h));
        const _VORNRGBAQUAD ink = rgba(rng.byte(), rng.byte(), rng.byte(), rng.range(1, 255));
        const bool dash = rng.range(0, 1) == 1;
        BufferPtr got = makeFilled(w, h, kPaper);
        BufferPtr want = makeFilled(w, h, kPaper);
        if (dash) {
            dashed(*got, p1, p2, ink);
        } else {
            line(*got, p1, p2, ink);
        }
        modelLine(*want, p1, p2, ink, dash);
        ASSERT_EQ(words(*got), words(*want))
            << "trial " << trial << " (" << p1.x << ", " << p1.y << ")-(" << p2.x << ", " << p2.y
            << ") in " << w << " x " << h << (dash ? " dashed" : "");
    }
}

// Anti-aliased lines anywhere, opaque onto transparent black, where a
// pixel blended with a share s of 1 to 254 ends with alpha s + 1: on every
// column (row, for y-major lines) strictly between the clipped ends at most
// two adjacent pixels are lit, and their shares add up to the colour's.
TEST(Lines, AntiAliasedSharesAddUp) {
    Rng rng(99);
    auto share = [](unsigned a) { return a == 255 ? 255 : (a == 0 ? 0 : static_cast<int>(a) - 1); };
    int checked = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int w = rng.range(2, 50);
        const int h = rng.range(2, 50);
        const _VORNPOINT p1 = pt(rng.range(-3 * w, 4 * w), rng.range(-3 * h, 4 * h));
        const _VORNPOINT p2 = pt(rng.range(-3 * w, 4 * w), rng.range(-3 * h, 4 * h));
        BufferPtr b = makeBuffer(w, h);
        line(*b, p1, p2, kInk, 1);
        _VORNPOINT c1 = p1;
        _VORNPOINT c2 = p2;
        if (!b->ClipLine(c1, c2, 0, 0, w, h)) {
            ASSERT_TRUE(changedPixels(*b).empty()) << trial;
            continue;
        }
        const int dx = c2.x - c1.x;
        const int dy = c2.y - c1.y;
        if (dx == 0 || dy == 0 || dx == dy) {
            continue;
        }
        const bool xMajor = std::abs(dx) > std::abs(dy);
        const int lo = xMajor ? std::min(c1.x, c2.x) : std::min(c1.y, c2.y);
        const int hi = xMajor ? std::max(c1.x, c2.x) : std::max(c1.y, c2.y);
        const int majorSize = xMajor ? w : h;
        const int minorSize = xMajor ? h : w;
        for (int m = std::max(lo + 1, 0); m < std::min(hi, majorSize); ++m) {
            int lit = 0;
            int first = -1;
            int sum = 0;
            for (int n = 0; n < minorSize; ++n) {
                const unsigned a = xMajor ? at(*b, m, n).alpha : at(*b, n, m).alpha;
                if (a == 0) {
                    continue;
                }
                ++lit;
                if (first < 0) {
                    first = n;
                } else {
                    ASSERT_EQ(n, first + 1) << trial;
                }
                sum += share(a);
            }
            ASSERT_LE(lit, 2) << trial;
            if (lit == 2 || (lit == 1 && first + 1 < minorSize)) {
                ASSERT_TRUE(sum == 255 || sum == 256) << "trial " << trial << " at " << m;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 10000);
}

TEST(Lines, ExtremeEndsReturnQuickly) {
    BufferPtr b = makeFilled(64, 48, kPaper);
    const int v[] = {INT_MIN, -1, 0, 30, INT_MAX};
    for (int a : v) {
        for (int c : v) {
            for (int antiAlias = 0; antiAlias < 2; ++antiAlias) {
                EXPECT_EQ(line(*b, pt(a, c), pt(c, a), kInk, antiAlias), 0);
                EXPECT_EQ(line(*b, pt(a, a), pt(c, 20), kInk, antiAlias), 0);
            }
            EXPECT_EQ(dashed(*b, pt(a, c), pt(INT_MAX, INT_MIN), kInk), 0);
        }
    }
}

} // namespace
