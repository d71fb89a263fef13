// SPDX-License-Identifier: MIT
// Rotation by whole degrees: sizes, the quarter-turn layouts, the copy of
// pixels without filtering, and where every pixel lands at every angle.

#include "geometry_checks.h"
#include "transform/transform.h"
#include "transform_test.h"

#include <climits>
#include <cmath>

namespace {

// Every pixel opaque and different: the colour encodes its position.
BufferPtr numbered(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int n = 0; n < w * h; ++n) {
        b->getPixels()[n] = geometry::numberedPixel(n);
    }
    return b;
}

// The source index a numbered pixel came from; -1 for a clear one.
int sourceIndex(const _VORNRGBAQUAD& p) {
    return p.alpha == 0 ? -1 : p.red + (p.green << 8) + (p.blue << 16) - 1;
}

TEST(RotateBuffer, NeedsPixels) {
    BufferPtr src = makeFilled(3, 2, rgba(1, 2, 3));
    _VORNRGBAQUAD* saved = Access::pixelsOf(*src);
    Access::pixelsOf(*src) = nullptr;
    EXPECT_EQ(src->rotateBuffer(30), nullptr);
    Access::pixelsOf(*src) = saved;
}

class RotateAtLevel : public KernelLevels {};

// The 3 x 2 source's pixels are a b c (top row) and d e f; '.' is blank.
TEST_P(RotateAtLevel, QuarterAndHalfTurnLayouts) {
    const std::pair<std::vector<int>, const char*> cases[] = {
        // No turn adds a blank column and row.
        {{0, 360, -360, 720, 3600}, "abc.|def.|...."},
        {{90}, ".da|.eb|.fc|..."},
        {{-90, 270, -450, 630}, "cf.|be.|ad.|..."},
        // A half turn exchanges pixels through the centre.
        {{180, -180, 540}, "fed.|cba.|...."},
    };
    BufferPtr src = numbered(3, 2);
    for (const auto& [angles, layout] : cases) {
        for (int angle : angles) {
            BufferPtr r(src->rotateBuffer(angle));
            ASSERT_NE(r, nullptr);
            std::string got;
            for (int y = 0; y < r->getHeight(); ++y) {
                for (int x = 0; x < r->getWidth(); ++x) {
                    const int n = sourceIndex(at(*r, x, y));
                    got += n < 0 ? '.' : static_cast<char>('a' + n);
                }
                got += y + 1 < r->getHeight() ? "|" : "";
            }
            EXPECT_EQ(got, layout) << angle;
        }
    }
}

TEST_P(RotateAtLevel, AnyIntAngleWorks) {
    BufferPtr src = numbered(5, 3);
    const std::pair<int, int> same[] = {
        {INT_MAX, INT_MAX % 360}, {INT_MIN, INT_MIN % 360}, {INT_MAX - 1, INT_MAX % 360 - 1}};
    for (const auto& [big, small] : same) {
        BufferPtr a(src->rotateBuffer(big));
        BufferPtr b(src->rotateBuffer(small));
        ASSERT_TRUE(a && b);
        EXPECT_EQ(words(*a), words(*b)) << big;
    }
}

// Every angle on random sizes up to 64 x 64: every pixel lands within a
// pixel and a quarter of where a true turn puts it (up to one common
// offset), no pixel is placed twice, and none is lost off one side while
// the other leaves room (once in a while a turn needs one more column or
// row than the result has, whatever the placement; sources one pixel wide
// or high shear into gapped columns and are left out). A 64 x 64 source
// turned by 3 degrees used to lose 13 pixels while its last column and row
// stayed empty.
TEST_P(RotateAtLevel, EveryPixelLandsInItsPlaceAndNoneIsLostWhileThereIsRoom) {
    Rng rng(64);
    for (int angle = -359; angle <= 359; ++angle) {
        const double c = std::cos(angle * M_PI / 180.0);
        const double s = std::sin(angle * M_PI / 180.0);
        for (int k = 0; k < 3; ++k) {
            const int w = k == 0 && angle == 3 ? 64 : rng.range(2, 64);
            const int h = k == 0 && angle == 3 ? 64 : rng.range(2, 64);
            SCOPED_TRACE(testing::Message() << w << "x" << h << " by " << angle);
            BufferPtr r(numbered(w, h)->rotateBuffer(angle));
            ASSERT_NE(r, nullptr);
            ASSERT_EQ(geometry::checkRotation(w, h, angle, *r), "");
            // Each placed pixel's offset from its ideal place, about the centre.
            std::vector<std::pair<double, double>> offsets;
            std::pair<double, double> mean(0.0, 0.0);
            for (int i = 0; i < r->getWidth() * r->getHeight(); ++i) {
                const int n = sourceIndex(r->getPixels()[i]);
                if (n >= 0) {
                    const double px = n % w - (w - 1) / 2.0;
                    const double py = n / w - (h - 1) / 2.0;
                    offsets.emplace_back(i % r->getWidth() - (px * c - py * s),
                                         i / r->getWidth() - (px * s + py * c));
                    mean.first += offsets.back().first;
                    mean.second += offsets.back().second;
                }
            }
            mean.first /= static_cast<double>(offsets.size());
            mean.second /= static_cast<double>(offsets.size());
            for (const auto& d : offsets) {
                ASSERT_LE(std::hypot(d.first - mean.first, d.second - mean.second), 1.25);
            }
        }
    }
}

// Sources over a caller's block at any address: pixels are copied as bytes.
TEST_P(RotateAtLevel, ReadsBlocksAtAnyAddress) {
    BufferPtr src = numbered(9, 7);
    std::vector<unsigned char> bytes(9 * 7 * 4 + 1);
    std::memcpy(bytes.data() + 1, src->getPixels(), 9 * 7 * 4);
    BufferPtr odd(VornBuffer::Build(9, 7, reinterpret_cast<_VORNRGBAQUAD*>(bytes.data() + 1)));
    for (const int angle : {0, 30, 90, 135, -100}) {
        BufferPtr a(src->rotateBuffer(angle));
        BufferPtr b(odd->rotateBuffer(angle));
        ASSERT_TRUE(a && b);
        EXPECT_EQ(words(*a), words(*b)) << angle;
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
        BufferPtr src = makeRandom(rng, w, h);
        for (int angle = -359; angle <= 359; ++angle) {
            vorn::detail::setKernelLevel(vorn::detail::KernelLevel::Reference);
            BufferPtr plain(src->rotateBuffer(angle));
            vorn::detail::setKernelLevel(level);
            BufferPtr fast(src->rotateBuffer(angle));
            ASSERT_TRUE(plain && fast);
            ASSERT_EQ(fast->getWidth(), plain->getWidth());
            ASSERT_EQ(words(*fast), words(*plain)) << w << "x" << h << " by " << angle;
        }
    }
}

VORN_FAST_KERNEL_LEVELS(RotateFastPath);

// Half away from zero at the ties, the nearest whole number elsewhere,
// whatever the runtime's own rounding does just below one half.
TEST(RoundHalfAway, RoundsTiesAwayAndEverythingElseToNearest) {
    // Just below one half, either sign; an odd whole number at 2^52.
    const double below = std::nextafter(0.5, 0.0);
    const double big = 4503599627370497.0;
    const double table[][2] = {{0.5, 1.0},   {-0.5, -1.0},  {1.5, 2.0},    {2.5, 3.0},
                               {-2.5, -3.0}, {0.0, 0.0},    {2.4999, 2.0}, {-7.5000001, -8.0},
                               {below, 0.0}, {-below, 0.0}, {big, big},    {1e15 + .5, 1e15 + 1}};
    for (const auto& t : table) {
        EXPECT_EQ(vorn::detail::roundHalfAway(t[0]), t[1]) << t[0];
    }
}

} // namespace
