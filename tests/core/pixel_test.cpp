// SPDX-License-Identifier: MIT
// The pixel blend, single-pixel writes and whole-buffer fills.

#include "core/core.h"
#include "vorn_test.h"

#include <climits>

namespace {

TEST(PixelBlend, WorkedExamples) {
    // Source (blue, green, red, alpha), extra opacity, destination, result.
    const int cases[][13] = {{200, 100, 50, 128, 255, 0, 0, 0, 0, 198, 99, 49, 129},
                             {255, 255, 255, 128, 255, 0, 0, 0, 255, 128, 128, 128, 255},
                             {200, 100, 50, 255, 128, 10, 20, 30, 255, 105, 60, 40, 255},
                             {200, 100, 50, 200, 255, 10, 20, 30, 100, 180, 91, 47, 222},
                             {200, 100, 50, 200, 255, 10, 20, 30, 254, 158, 82, 45, 255},
                             {200, 100, 50, 255, 255, 1, 2, 3, 4, 200, 100, 50, 255},
                             {200, 100, 50, 255, 254, 10, 20, 30, 255, 198, 99, 49, 255},
                             {200, 100, 50, 1, 255, 10, 20, 30, 40, 14, 21, 30, 41},
                             {200, 100, 50, 99, 0, 1, 2, 3, 0, 1, 2, 3, 0},
                             {200, 100, 50, 0, 255, 1, 2, 3, 0, 1, 2, 3, 0},
                             {9, 9, 9, 77, 255, 0, 0, 0, 0, 8, 8, 8, 78}};
    for (const auto& c : cases) {
        auto bgra = [&c](int i) { return rgba(c[i + 2], c[i + 1], c[i], c[i + 3]); };
        EXPECT_EQ(blended(bgra(5), bgra(0), static_cast<unsigned char>(c[4])), bgra(9))
            << "source alpha " << c[3] << ", extra " << c[4];
    }
}

TEST(PixelWrites, SetOverwritesSetBlendBlendsOutsideNothing) {
    BufferPtr b = makeFilled(3, 2, rgba(30, 20, 10, 255));
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}, {INT_MIN, INT_MAX}}) {
        (b.get()->*Access::setPixelFn)(x, y, rgba(1, 2, 3, 4));
        (b.get()->*Access::setPixelBlendFn)(x, y, rgba(1, 2, 3, 255));
    }
    (b.get()->*Access::setPixelFn)(2, 1, rgba(1, 2, 3, 0));
    (b.get()->*Access::setPixelBlendFn)(0, 1, rgba(255, 255, 255, 128));
    EXPECT_EQ(changedPixels(*b, rgba(30, 20, 10, 255)), (PixelSet{{2, 1}, {0, 1}}));
    EXPECT_EQ(at(*b, 2, 1), rgba(1, 2, 3, 0));
    EXPECT_EQ(at(*b, 0, 1), rgba(143, 138, 133, 255));
}

// Four equal bytes (one byte fill) and four different ones; colour and
// alpha alone.
TEST(Fill, GivesTheColourEverywhere) {
    BufferPtr b = makeFilled(5, 3, rgba(99, 98, 97, 96));
    for (const _VORNRGBAQUAD c : {rgba(7, 7, 7, 7), rgba(7, 7, 7, 8)}) {
        b->fill(c.red, c.green, c.blue, c.alpha);
        EXPECT_EQ(changedPixels(*b, c), PixelSet{});
    }
    b->fillColour(1, 2, 3);
    b->fillAlpha(200);
    EXPECT_EQ(changedPixels(*b, rgba(1, 2, 3, 200)), PixelSet{});
}

// The table-driven division against plain division for every byte pair,
// and against the double-precision form the behaviour is defined by.
TEST(Unpremultiply, FastPathEqualsDivisionForEveryPair) {
    std::vector<_VORNRGBAQUAD> fast;
    for (int a = 0; a < 256; ++a) {
        for (int c = 0; c < 256; ++c) {
            fast.push_back(rgba(c, 255 - c, c ^ 0x5A, a));
        }
    }
    std::vector<_VORNRGBAQUAD> plain = fast;
    vorn::detail::unpremultiplyRow(fast.data(), fast.size());
    vorn::detail::unpremultiplyRowReference(plain.data(), plain.size());
    for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_EQ(fast[i], plain[i]) << i;
        const int a = plain[i].alpha;
        const int c = static_cast<int>(i % 256);
        if (a != 0 && c <= a) {
            ASSERT_EQ(fast[i].red, static_cast<int>((static_cast<double>(c) / a) * 255.0));
        }
    }
}

} // namespace
