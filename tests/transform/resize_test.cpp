// SPDX-License-Identifier: MIT
// Resampling into a caller-built buffer: results, block averaging, the four
// per-pixel filters and their treatment of transparency.

#include "transform_test.h"

#include <utility>

namespace {

// Each bad field is bent for the length of one call and then restored, so
// that the buffers are released as they were built.
TEST(Resize, ChecksTheSourceThenTheDestinationAndWritesNothing) {
    BufferPtr src = makeFilled(4, 4, rgba(9, 9, 9));
    BufferPtr dst = makeFilled(2, 2, rgba(5, 6, 7, 8));
    const auto before = words(*dst);
    auto bent = [&](int& field, int value, VornBuffer* target) {
        const int saved = std::exchange(field, value);
        const int result = src->resize(target);
        field = saved;
        return result;
    };
    auto withoutPixels = [&](VornBuffer& b, VornBuffer* target) {
        _VORNRGBAQUAD* saved = std::exchange(Access::pixelsOf(b), nullptr);
        const int result = src->resize(target);
        Access::pixelsOf(b) = saved;
        return result;
    };
    EXPECT_EQ(withoutPixels(*src, dst.get()), -1);
    EXPECT_EQ(withoutPixels(*src, nullptr), -1); // the source is checked first
    EXPECT_EQ(bent(Access::widthOf(*src), -4, dst.get()), -2);
    EXPECT_EQ(bent(Access::heightOf(*src), -1, dst.get()), -2);
    EXPECT_EQ(bent(Access::widthOf(*src), 0, dst.get()), -1); // nothing to sample from
    EXPECT_EQ(src->resize(nullptr), -3);
    EXPECT_EQ(bent(Access::widthOf(*dst), -2, dst.get()), -3);
    EXPECT_EQ(bent(Access::heightOf(*dst), -2, dst.get()), -3);
    EXPECT_EQ(withoutPixels(*dst, dst.get()), -3);
    // An empty destination succeeds, writing nothing.
    EXPECT_EQ(bent(Access::widthOf(*dst), 0, dst.get()), 0);
    EXPECT_EQ(bent(Access::heightOf(*dst), 0, dst.get()), 0);
    EXPECT_EQ(words(*dst), before);
    EXPECT_EQ(at(*src, 1, 1), rgba(9, 9, 9));
}

// ---------------------------------------------------------------------------
// Block averaging, at every kernel level
// ---------------------------------------------------------------------------

class ResizeAtLevel : public KernelLevels {};

// Each colour is the alpha-weighted mean of the block, the alpha the plain
// mean, so a translucent colour keeps its colour as the factors grow: white
// at alpha 128 reduced by 2 stays white (it used to turn grey 128), as it
// does reduced by 1.5.
TEST_P(ResizeAtLevel, BlockColoursAreWeighedByAlpha) {
    const _VORNRGBAQUAD cases[][5] = {
        // All opaque: the mean, truncated.
        {rgba(100, 50, 21), rgba(9, 9, 9), rgba(200, 200, 200), rgba(60, 30, 10), rgba(92, 72, 60)},
        // All clear: nothing but zeros.
        {rgba(200, 10, 30, 0), rgba(5, 6, 7, 0), rgba(9, 9, 9, 0), rgba(255, 255, 255, 0),
         rgba(0, 0, 0, 0)},
        // Two opaque, two clear: alpha 510 / 4, colour the pair's mean.
        {rgba(100, 50, 21), rgba(9, 9, 9, 0), rgba(200, 200, 200, 0), rgba(60, 30, 10),
         rgba(80, 40, 15, 127)},
        // Red (200 * 128 + 10 * 64) / (128 + 64) = 136.7; alpha 192 / 4.
        {rgba(200, 100, 50, 128), rgba(10, 20, 30, 64), rgba(0, 0, 0, 0), rgba(0, 0, 0, 0),
         rgba(136, 73, 43, 48)},
    };
    for (const auto& c : cases) {
        BufferPtr src = makeBuffer(2, 2);
        std::copy(c, c + 4, src->getPixels());
        BufferPtr dst = makeFilled(1, 1, rgba(1, 2, 3, 4));
        ASSERT_EQ(src->resize(dst.get()), 0);
        EXPECT_EQ(at(*dst, 0, 0), c[4]);
    }
    const _VORNRGBAQUAD white = rgba(255, 255, 255, 128);
    BufferPtr src = makeFilled(6, 6, white);
    for (const int size : {3, 4}) {
        BufferPtr dst = makeBuffer(size, size);
        ASSERT_EQ(src->resize(dst.get()), 0);
        EXPECT_TRUE(changedPixels(*dst, white).empty()) << size;
    }
}

// ---------------------------------------------------------------------------
// Per-pixel filters
// ---------------------------------------------------------------------------

// A flat colour is a whole number after any weighted mean, and a flat alpha
// the weighted mean of equal alphas: rounding in the last place must turn
// neither into the next lower byte, whichever directions are reduced or
// enlarged and by whatever factor, up to the far edges.
TEST_P(ResizeAtLevel, FlatColoursStayFlatAtAnyScale) {
    const int sizes[][4] = {{15, 4, 10, 4},  {4, 15, 4, 10},  {15, 15, 10, 10},
                            {16, 9, 7, 4},   {100, 3, 71, 5}, {7, 5, 19, 13},
                            {10, 10, 33, 7}, {3, 100, 8, 41}, {64, 48, 99, 77}};
    for (const auto& s : sizes) {
        for (const unsigned alpha : {1u, 77u, 128u, 254u, 255u}) {
            for (const _VORNRGBAQUAD colour :
                 {rgba(30, 140, 250, alpha), rgba(1, 128, 77, alpha), rgba(255, 255, 255, alpha)}) {
                BufferPtr src = makeFilled(s[0], s[1], colour);
                BufferPtr dst = makeBuffer(s[2], s[3]);
                ASSERT_EQ(src->resize(dst.get()), 0);
                for (int y = 0; y < s[3]; ++y) {
                    for (int x = 0; x < s[2]; ++x) {
                        ASSERT_EQ(at(*dst, x, y), colour)
                            << s[0] << "x" << s[1] << " into " << s[2] << "x" << s[3] << " at " << x
                            << ", " << y;
                    }
                }
            }
        }
    }
}

// A checker reduced by 1.5: every footprint has a heavy pixel (weight 1),
// two of weight 1/2 of the other colour and one of weight 1/4 of its own
// (or, reduced one way only, weights 1 and 1/2). Its alpha is the weighted
// mean of all alphas, clear pixels included; its colour the weighted mean
// of the colours of the pixels that are not clear.
TEST_P(ResizeAtLevel, GatedAlphaIsTheWeightedMeanOfTheFootprintsAlphas) {
    struct Case {
        int sw, sh, dw, dh;
        unsigned evenAlpha, oddAlpha;
        _VORNRGBAQUAD evenHeavy, oddHeavy; // by the parity of the heavy pixel
    };
    const Case cases[] = {
        // Both ways: the heavy colour weighs 1.25 of 2.25, the other 1.
        // Opaque and clear: 1.25 / 2.25 and 1 / 2.25 of 255.
        {6, 6, 4, 4, 255, 0, rgba(200, 100, 40, 141), rgba(200, 100, 40, 113)},
        // (1.25 x 255 + 128) / 2.25 = 198.6 and (255 + 1.25 x 128) / 2.25 = 184.4.
        {6, 6, 4, 4, 255, 128, rgba(120, 82, 128, 198), rgba(100, 77, 151, 184)},
        {6, 6, 4, 4, 64, 192, rgba(120, 82, 128, 120), rgba(100, 77, 151, 135)},
        {6, 6, 4, 4, 128, 0, rgba(200, 100, 40, 71), rgba(200, 100, 40, 56)},
        // One way: weights 1 and 0.5 of 1.5.
        {6, 2, 4, 2, 255, 0, rgba(200, 100, 40, 170), rgba(200, 100, 40, 85)},
        {6, 2, 4, 2, 255, 128, rgba(140, 86, 106, 212), rgba(80, 73, 173, 170)},
        {6, 2, 4, 2, 64, 192, rgba(140, 86, 106, 106), rgba(80, 73, 173, 149)},
        {8, 6, 8, 4, 255, 128, rgba(140, 86, 106, 212), rgba(80, 73, 173, 170)},
        {8, 6, 8, 4, 128, 0, rgba(200, 100, 40, 85), rgba(200, 100, 40, 42)},
    };
    // The source index of weight 1 for destination index d.
    auto heavy = [](int d, int from, int to) { return from == to ? d : (3 * d + 1) / 2; };
    for (const Case& c : cases) {
        BufferPtr src = makeBuffer(c.sw, c.sh);
        for (int y = 0; y < c.sh; ++y) {
            for (int x = 0; x < c.sw; ++x) {
                const bool even = (x + y) % 2 == 0;
                *src->getPixel(x, y) =
                    even ? rgba(200, 100, 40, c.evenAlpha) : rgba(20, 60, 240, c.oddAlpha);
            }
        }
        BufferPtr dst = makeBuffer(c.dw, c.dh);
        ASSERT_EQ(src->resize(dst.get()), 0);
        for (int y = 0; y < c.dh; ++y) {
            for (int x = 0; x < c.dw; ++x) {
                const bool evenHeavy = (heavy(x, c.sw, c.dw) + heavy(y, c.sh, c.dh)) % 2 == 0;
                EXPECT_EQ(at(*dst, x, y), evenHeavy ? c.evenHeavy : c.oddHeavy)
                    << c.sw << "x" << c.sh << " alphas " << c.evenAlpha << ", " << c.oddAlpha
                    << " at " << x << ", " << y;
            }
        }
    }
}

// 2 x 2 into 4 x 4: u = x / 2, v = y / 2. Column weights by destination
// column, in quarters: x = 0 {4, 0}, 1 {2, 2}, 2 {0, 4}, 3 {2, 2} (its
// right tap lies beyond the source and is the edge pixel again); the same
// for rows. The colour is the weighted mean of the taps, the alpha the
// weight sum, so the opaque image stays opaque to its far edges (their
// alpha used to fall to 127, the corner's to 63).
TEST_P(ResizeAtLevel, BilinearEnlargementClampsToTheEdges) {
    BufferPtr src = makeBuffer(2, 2);
    const _VORNRGBAQUAD q[4] = {rgba(0, 10, 20), rgba(100, 110, 120), rgba(200, 30, 40),
                                rgba(40, 50, 60)};
    std::copy(q, q + 4, src->getPixels());
    BufferPtr dst = makeBuffer(4, 4);
    ASSERT_EQ(src->resize(dst.get()), 0);
    const _VORNRGBAQUAD expected[16] = {
        rgba(0, 10, 20),   rgba(50, 60, 70),  rgba(100, 110, 120), rgba(100, 110, 120),
        rgba(100, 20, 30), rgba(85, 50, 60),  rgba(70, 80, 90),    rgba(70, 80, 90),
        rgba(200, 30, 40), rgba(120, 40, 50), rgba(40, 50, 60),    rgba(40, 50, 60),
        rgba(200, 30, 40), rgba(120, 40, 50), rgba(40, 50, 60),    rgba(40, 50, 60)};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(at(*dst, i % 4, i / 4), expected[i]) << "at " << i % 4 << ", " << i / 4;
    }
}

// Column 3 samples 1.5: the edge pixel twice.
TEST_P(ResizeAtLevel, EnlargementWeighsColoursByAlpha) {
    const _VORNRGBAQUAD cases[][6] = {
        // An opaque pixel beside a clear one: the clear one's colour does
        // not bleed in; the alpha halves.
        {rgba(200, 0, 0), rgba(0, 0, 200, 0), rgba(200, 0, 0), rgba(200, 0, 0, 127),
         rgba(0, 0, 200, 0), rgba(0, 0, 200, 0)},
        // Beside a faint one: shares 0.5 and 0.1, so red 200 * 0.5 / 0.6
        // and blue 250 * 0.1 / 0.6.
        {rgba(200, 0, 0), rgba(0, 0, 250, 51), rgba(200, 0, 0), rgba(166, 0, 41, 153),
         rgba(0, 0, 250, 51), rgba(0, 0, 250, 51)},
        // Two clear pixels: the plain interpolation, alpha 0.
        {rgba(200, 0, 0, 0), rgba(0, 0, 200, 0), rgba(200, 0, 0, 0), rgba(100, 0, 100, 0),
         rgba(0, 0, 200, 0), rgba(0, 0, 200, 0)},
    };
    for (const auto& c : cases) {
        BufferPtr src = makeBuffer(2, 1);
        std::copy(c, c + 2, src->getPixels());
        BufferPtr dst = makeBuffer(4, 1);
        ASSERT_EQ(src->resize(dst.get()), 0);
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(at(*dst, x, 0), c[2 + x]) << "at " << x;
        }
    }
}

VORN_ALL_KERNEL_LEVELS(ResizeAtLevel);

} // namespace
