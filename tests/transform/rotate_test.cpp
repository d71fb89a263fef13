// Rotation by whole degrees: sizes, the quarter-turn layouts, the copy of
// pixels without filtering, and where every pixel lands at every angle.

#include "transform/transform.h"
#include "transform_test.h"

#include <climits>
#include <cmath>
#include <map>
#include <set>

namespace {

using TP = TransformProtected;

// Every pixel opaque and different: the colour encodes its position.
BufferPtr numbered(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned n = static_cast<unsigned>(y * w + x + 1);
            *b->getPixel(x, y) = rgba(n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF, 255);
        }
    }
    return b;
}

struct Owned {
    VornBuffer* b;
    explicit Owned(VornBuffer* p) : b(p) {}
    ~Owned() { VornBuffer::Destroy(b); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

TEST(RotateBuffer, NeedsPixels) {
    BufferPtr src = makeFilled(3, 2, rgba(1, 2, 3));
    _VORNRGBAQUAD* saved = TP::pixelsOf(*src);
    TP::pixelsOf(*src) = nullptr;
    EXPECT_EQ(src->rotateBuffer(30), nullptr);
    TP::pixelsOf(*src) = saved;
}

class RotateAtLevel : public KernelLevels {};

// A layout of the result: each cell the source position it holds, or
// (-1, -1) for a blank pixel.
using Layout = std::vector<std::vector<std::pair<int, int>>>;

void expectLayout(const VornBuffer& src, const VornBuffer& result, const Layout& layout) {
    ASSERT_EQ(result.getHeight(), static_cast<int>(layout.size()));
    for (int y = 0; y < result.getHeight(); ++y) {
        ASSERT_EQ(result.getWidth(), static_cast<int>(layout[y].size()));
        for (int x = 0; x < result.getWidth(); ++x) {
            const auto [sx, sy] = layout[y][x];
            const _VORNRGBAQUAD expected = sx < 0 ? rgba(0, 0, 0, 0) : at(src, sx, sy);
            EXPECT_EQ(at(result, x, y), expected) << "at " << x << ", " << y;
        }
    }
}

constexpr std::pair<int, int> kBlank{-1, -1};

TEST_P(RotateAtLevel, NoTurnAddsABlankColumnAndRow) {
    BufferPtr src = numbered(3, 2);
    for (int angle : {0, 360, -360, 720, 3600}) {
        Owned r(src->rotateBuffer(angle));
        ASSERT_NE(r.b, nullptr);
        expectLayout(*src, *r.b,
                     {{{0, 0}, {1, 0}, {2, 0}, kBlank},
                      {{0, 1}, {1, 1}, {2, 1}, kBlank},
                      {kBlank, kBlank, kBlank, kBlank}});
    }
}

TEST_P(RotateAtLevel, AQuarterTurnClockwise) {
    BufferPtr src = numbered(3, 2);
    Owned r(src->rotateBuffer(90));
    ASSERT_NE(r.b, nullptr);
    expectLayout(*src, *r.b,
                 {{kBlank, {0, 1}, {0, 0}},
                  {kBlank, {1, 1}, {1, 0}},
                  {kBlank, {2, 1}, {2, 0}},
                  {kBlank, kBlank, kBlank}});
}

TEST_P(RotateAtLevel, AQuarterTurnAnticlockwise) {
    BufferPtr src = numbered(3, 2);
    for (int angle : {-90, 270, -450, 630}) {
        Owned r(src->rotateBuffer(angle));
        ASSERT_NE(r.b, nullptr);
        expectLayout(*src, *r.b,
                     {{{2, 0}, {2, 1}, kBlank},
                      {{1, 0}, {1, 1}, kBlank},
                      {{0, 0}, {0, 1}, kBlank},
                      {kBlank, kBlank, kBlank}});
    }
}

TEST_P(RotateAtLevel, AHalfTurnExchangesPixelsThroughTheCentre) {
    BufferPtr src = numbered(3, 2);
    for (int angle : {180, -180, 540}) {
        Owned r(src->rotateBuffer(angle));
        ASSERT_NE(r.b, nullptr);
        expectLayout(*src, *r.b,
                     {{{2, 1}, {1, 1}, {0, 1}, kBlank},
                      {{2, 0}, {1, 0}, {0, 0}, kBlank},
                      {kBlank, kBlank, kBlank, kBlank}});
    }
}

TEST_P(RotateAtLevel, CopiesPixelsWithTheirAlpha) {
    Rng rng(8);
    BufferPtr src = randomBuffer(rng, 4, 4);
    std::set<std::uint32_t> colours;
    for (const std::uint32_t w : words(*src)) {
        colours.insert(w);
    }
    Owned r(src->rotateBuffer(45));
    ASSERT_NE(r.b, nullptr);
    EXPECT_EQ(r.b->getWidth(), 7);
    EXPECT_EQ(r.b->getHeight(), 7);
    for (const std::uint32_t w : words(*r.b)) {
        EXPECT_TRUE(w == 0 || colours.count(w)) << std::hex << w;
    }
}

TEST_P(RotateAtLevel, AnyIntAngleWorks) {
    BufferPtr src = numbered(5, 3);
    const std::pair<int, int> same[] = {
        {INT_MAX, INT_MAX % 360}, {INT_MIN, INT_MIN % 360}, {INT_MAX - 1, INT_MAX % 360 - 1}};
    for (const auto& [big, small] : same) {
        Owned a(src->rotateBuffer(big));
        Owned b(src->rotateBuffer(small));
        ASSERT_NE(a.b, nullptr);
        ASSERT_NE(b.b, nullptr);
        EXPECT_EQ(words(*a.b), words(*b.b)) << big;
    }
}

TEST_P(RotateAtLevel, ResultsTooLargeToBuildGiveNull) {
    // 40000 x 1 turned a quarter is 2 x 40001; turned 45 degrees it needs
    // about 28285 x 28285 pixels, beyond what Build accepts.
    BufferPtr src = makeFilled(40000, 1, rgba(1, 2, 3));
    Owned quarter(src->rotateBuffer(90));
    ASSERT_NE(quarter.b, nullptr);
    EXPECT_EQ(quarter.b->getWidth(), 2);
    EXPECT_EQ(quarter.b->getHeight(), 40001);
    EXPECT_EQ(src->rotateBuffer(45), nullptr);
}

// Every angle from -359 to 359: no two source pixels share a destination
// pixel; every pixel lands within a pixel and a quarter of where a true
// turn puts it (up to one common offset); and a pixel is only lost where
// its true place lies at the result's border, which the result's size
// leaves no more than rounding room.
TEST_P(RotateAtLevel, EveryAngleTurnsEveryPixelToItsPlace) {
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {7, 5}, {8, 8}, {16, 5}, {33, 21}};
    for (const auto& size : sizes) {
        const int w = size.first;
        const int h = size.second;
        BufferPtr src = numbered(w, h);
        for (int angle = -359; angle <= 359; ++angle) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " by " << angle);
            Owned r(src->rotateBuffer(angle));
            ASSERT_NE(r.b, nullptr);
            const int dw = r.b->getWidth();
            const int dh = r.b->getHeight();
            const double theta = angle * M_PI / 180.0;
            const double c = std::cos(theta);
            const double s = std::sin(theta);
            // Where the turn puts each source pixel, about the image centre.
            auto ideal = [&](int n, double& ex, double& ey) {
                const double px = n % w - (w - 1) / 2.0;
                const double py = n / w - (h - 1) / 2.0;
                ex = px * c - py * s;
                ey = px * s + py * c;
            };
            std::map<int, std::pair<int, int>> landed;
            for (int y = 0; y < dh; ++y) {
                for (int x = 0; x < dw; ++x) {
                    const _VORNRGBAQUAD p = at(*r.b, x, y);
                    if (p.alpha == 0) {
                        continue;
                    }
                    const int n = p.red + (p.green << 8) + (p.blue << 16) - 1;
                    ASSERT_TRUE(n >= 0 && n < w * h);
                    ASSERT_TRUE(landed.emplace(n, std::make_pair(x, y)).second) << "twice: " << n;
                }
            }
            ASSERT_FALSE(landed.empty());
            double ox = 0.0;
            double oy = 0.0;
            for (const auto& [n, at] : landed) {
                double ex = 0.0;
                double ey = 0.0;
                ideal(n, ex, ey);
                ox += at.first - ex;
                oy += at.second - ey;
            }
            ox /= landed.size();
            oy /= landed.size();
            for (int n = 0; n < w * h; ++n) {
                double ex = 0.0;
                double ey = 0.0;
                ideal(n, ex, ey);
                ex += ox;
                ey += oy;
                const auto found = landed.find(n);
                if (found == landed.end()) {
                    EXPECT_TRUE(ex < 1.5 || ey < 1.5 || ex > dw - 2.5 || ey > dh - 2.5)
                        << "lost inside: " << n;
                    continue;
                }
                EXPECT_LE(std::hypot(found->second.first - ex, found->second.second - ey), 1.25)
                    << "pixel " << n;
            }
            if (angle % 90 == 0) {
                EXPECT_EQ(landed.size(), static_cast<std::size_t>(w * h));
            }
        }
    }
}

// With a clear margin of two pixels around the image, the result always
// has room: every opaque pixel arrives, each on a pixel of its own.
TEST_P(RotateAtLevel, NoOpaquePixelIsLostWhenTheResultHasRoom) {
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 7}, {6, 6}, {13, 4}, {20, 17}};
    for (const auto& [w, h] : sizes) {
        BufferPtr src = makeBuffer(w + 4, h + 4);
        BufferPtr inner = numbered(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                *src->getPixel(x + 2, y + 2) = at(*inner, x, y);
            }
        }
        for (int angle = -359; angle <= 359; ++angle) {
            Owned r(src->rotateBuffer(angle));
            ASSERT_NE(r.b, nullptr);
            std::set<std::uint32_t> seen;
            std::size_t opaque = 0;
            for (const std::uint32_t v : words(*r.b)) {
                if (v != 0) {
                    ++opaque;
                    seen.insert(v);
                }
            }
            EXPECT_EQ(opaque, static_cast<std::size_t>(w * h)) << w << "x" << h << " by " << angle;
            EXPECT_EQ(seen.size(), opaque);
        }
    }
}

VORN_ALL_KERNEL_LEVELS(RotateAtLevel);

// The fast variants against the plain shear, at every angle.
class RotateFastPath : public KernelLevels {};

TEST_P(RotateFastPath, MatchesThePlainShear) {
    const vorn::detail::KernelLevel level = vorn::detail::kernelLevel();
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 9}, {11, 4}, {31, 17}, {64, 64}};
    Rng rng(99);
    for (const auto& [w, h] : sizes) {
        BufferPtr src = randomBuffer(rng, w, h);
        for (int angle = -359; angle <= 359; ++angle) {
            vorn::detail::setKernelLevel(vorn::detail::KernelLevel::Reference);
            Owned plain(src->rotateBuffer(angle));
            vorn::detail::setKernelLevel(level);
            Owned fast(src->rotateBuffer(angle));
            ASSERT_NE(plain.b, nullptr);
            ASSERT_NE(fast.b, nullptr);
            ASSERT_EQ(fast.b->getWidth(), plain.b->getWidth());
            ASSERT_EQ(words(*fast.b), words(*plain.b)) << w << "x" << h << " by " << angle;
        }
    }
}

VORN_FAST_KERNEL_LEVELS(RotateFastPath);

// Half away from zero at the ties, the nearest whole number elsewhere.
double roundModel(double v) {
    const double t = std::trunc(v);
    if (std::fabs(v - t) == 0.5) {
        return v < 0.0 ? t - 1.0 : t + 1.0;
    }
    return std::nearbyint(v);
}

TEST(RoundHalfAway, RoundsTiesAwayAndEverythingElseToNearest) {
    const std::pair<double, double> table[] = {{0.5, 1.0},
                                               {-0.5, -1.0},
                                               {1.5, 2.0},
                                               {2.5, 3.0},
                                               {-2.5, -3.0},
                                               {0.0, 0.0},
                                               {2.4999, 2.0},
                                               {-7.5000001, -8.0},
                                               {0.49999999999999994, 0.0},
                                               {-0.49999999999999994, 0.0},
                                               {1e15 + 0.5, 1e15 + 1.0},
                                               {4503599627370497.0, 4503599627370497.0}};
    for (const auto& [v, expected] : table) {
        EXPECT_EQ(vorn::detail::roundHalfAway(v), expected) << v;
    }
    Rng rng(5);
    for (int i = 0; i < 100000; ++i) {
        const double v = (static_cast<double>(rng.next() >> 11) / 9007199254740992.0 - 0.5) *
                         std::ldexp(1.0, rng.range(0, 40));
        ASSERT_EQ(vorn::detail::roundHalfAway(v), roundModel(v)) << v;
    }
}

} // namespace
