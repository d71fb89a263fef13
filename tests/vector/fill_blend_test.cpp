// Blended and textured polygon fills and the blended rectangle: the pixel
// blend once per covered pixel, tiling fixed to the buffer, refused
// textures, corner order and clipping.

#include "vector_test.h"

#include <climits>

namespace {

const _VORNRGBAQUAD kPaper = rgba(30, 160, 90, 255);
const Polygon kTriangle{{pt(1, 1), pt(10, 1), pt(5, 6)}};
const Polygon kHoled{{pt(0, 0), pt(10, 0), pt(10, 10), pt(0, 10)},
                     {pt(3, 3), pt(7, 3), pt(7, 7), pt(3, 7)}};

// A buffer whose pixels all differ, with alpha spread over the range.
BufferPtr patterned(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            *b->getPixel(x, y) =
                rgba(x * 20 + 3, y * 20 + 7, (x * y) & 255, (x * 37 + y * 11) & 255);
        }
    }
    return b;
}

TEST(FillPolygonBlend, OpaqueEqualsTheSolidFill) {
    for (const Polygon* p : {&kTriangle, &kHoled}) {
        BufferPtr blendedFill = patterned(12, 12);
        BufferPtr solid = patterned(12, 12);
        EXPECT_EQ(fillBlend(*blendedFill, *p, rgba(200, 100, 50, 255)), 0);
        fill(*solid, *p, rgba(200, 100, 50, 255), 0);
        EXPECT_EQ(words(*blendedFill), words(*solid));
    }
}

// Every covered pixel is blended exactly once, also on the inner contour's
// columns where the two contours' crossings meet.
TEST(FillPolygonBlend, BlendsEachCoveredPixelOnce) {
    const _VORNRGBAQUAD ink = rgba(200, 100, 50, 128);
    for (const Polygon* p : {&kTriangle, &kHoled}) {
        BufferPtr b = patterned(12, 12);
        BufferPtr coverage = makeBuffer(12, 12);
        fill(*coverage, *p, rgba(1, 1, 1, 1));
        const BufferPtr before = patterned(12, 12);
        fillBlend(*b, *p, ink);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                const _VORNRGBAQUAD old = at(*before, x, y);
                const bool covered = at(*coverage, x, y) != rgba(0, 0, 0, 0);
                EXPECT_EQ(at(*b, x, y), covered ? blended(old, ink, 255) : old) << x << ", " << y;
            }
        }
        BufferPtr plain = patterned(12, 12);
        fillBlendReference(*plain, *p, ink);
        EXPECT_EQ(words(*b), words(*plain));
    }
}

TEST(FillPolygonBlend, TransparentColourDoesNothing) {
    BufferPtr b = patterned(12, 12);
    EXPECT_EQ(fillBlend(*b, kTriangle, rgba(200, 100, 50, 0)), 0);
    EXPECT_EQ(words(*b), words(*patterned(12, 12)));
    EXPECT_EQ(VornProtected::edgeMapOf(*b), nullptr); // returned before allocating
}

TEST(FillPolygonBlend, RefusesAMissingFirstContour) {
    const std::vector<_VORNPOINT> points = {pt(1, 1), pt(3, 1), pt(3, 3)};
    const int empty[] = {0};
    const int sizes[] = {3};
    BufferPtr b = makeBuffer(5, 5);
    EXPECT_EQ(b->fillPolygonBlend(points.data(), empty, 1, 1, 2, 3, 4), -1);
    EXPECT_EQ(b->fillPolygonBlend(points.data(), sizes, 0, 1, 2, 3, 0), -1);
    EXPECT_EQ(b->fillPolygonBitmap(points.data(), empty, 1, b.get(), 255), -1);
    EXPECT_EQ(b->fillPolygonBitmap(points.data(), sizes, -1, b.get(), 255), -1);
    EXPECT_TRUE(changedPixels(*b).empty());
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------

BufferPtr checker() {
    BufferPtr t = makeBuffer(2, 2);
    *t->getPixel(0, 0) = rgba(255, 0, 0);
    *t->getPixel(1, 0) = rgba(0, 255, 0);
    *t->getPixel(0, 1) = rgba(0, 0, 255);
    *t->getPixel(1, 1) = rgba(255, 255, 255);
    return t;
}

TEST(FillPolygonBitmap, TilesFromTheBuffersOrigin) {
    const BufferPtr t = checker();
    for (int shift = 0; shift < 3; ++shift) {
        const Polygon p{{pt(1 + shift, 1), pt(7 + shift, 1), pt(7 + shift, 5), pt(1 + shift, 5)}};
        BufferPtr b = makeFilled(12, 8, kPaper);
        EXPECT_EQ(fillBitmap(*b, p, t.get(), 255), 0);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 12; ++x) {
                const bool inside = x >= 1 + shift && x <= 7 + shift && y >= 1 && y <= 5;
                // An opaque texture at full opacity copies its texels.
                EXPECT_EQ(at(*b, x, y), inside ? at(*t, x % 2, y % 2) : kPaper)
                    << "shift " << shift << " at " << x << ", " << y;
            }
        }
    }
}

TEST(FillPolygonBitmap, OpacityScalesTheTexelsAlpha) {
    BufferPtr t = makeBuffer(3, 2);
    for (int i = 0; i < 6; ++i) {
        t->getPixels()[i] = rgba(40 * i, 250 - 30 * i, 7, 60 + 30 * i);
    }
    for (int opacity : {0, 1, 100, 254, 255}) {
        BufferPtr b = patterned(9, 7);
        BufferPtr coverage = makeBuffer(9, 7);
        const Polygon p{{pt(0, 0), pt(8, 2), pt(3, 6)}};
        fill(*coverage, p, rgba(1, 1, 1, 1));
        const BufferPtr before = patterned(9, 7);
        EXPECT_EQ(fillBitmap(*b, p, t.get(), static_cast<unsigned char>(opacity)), 0);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 9; ++x) {
                const _VORNRGBAQUAD old = at(*before, x, y);
                const bool covered = at(*coverage, x, y) != rgba(0, 0, 0, 0);
                const _VORNRGBAQUAD expected =
                    covered
                        ? blended(old, at(*t, x % 3, y % 2), static_cast<unsigned char>(opacity))
                        : old;
                EXPECT_EQ(at(*b, x, y), expected) << opacity << ": " << x << ", " << y;
            }
        }
    }
}

TEST(FillPolygonBitmap, RefusesAMissingTexture) {
    BufferPtr b = patterned(12, 12);
    EXPECT_EQ(fillBitmap(*b, kTriangle, nullptr, 255), -1);
    struct Bare : VornBuffer {
        Bare() : VornBuffer(0, 0) {}
        ~Bare() = default;
    } bare;
    EXPECT_EQ(fillBitmap(*b, kTriangle, &bare, 255), -1);
    EXPECT_EQ(words(*b), words(*patterned(12, 12)));
    EXPECT_EQ(VornProtected::edgeMapOf(*b), nullptr);
}

// The texture may share this buffer's pixels: each texel is read as the
// earlier steps, row by row and left to right, left it.
TEST(FillPolygonBitmap, TextureSharingThePixels) {
    for (int opacity : {255, 200}) {
        BufferPtr b = patterned(11, 9);
        BufferPtr plain = patterned(11, 9);
        const Polygon p{{pt(-2, 1), pt(9, 0), pt(10, 8), pt(2, 6)}};
        // The buffer itself, and a narrower view of the same block.
        fillBitmap(*b, p, b.get(), static_cast<unsigned char>(opacity));
        fillBitmapReference(*plain, p, plain.get(), static_cast<unsigned char>(opacity));
        EXPECT_EQ(words(*b), words(*plain));
        BufferPtr view(VornBuffer::Build(4, 7, b->getPixels() + 5));
        BufferPtr plainView(VornBuffer::Build(4, 7, plain->getPixels() + 5));
        fillBitmap(*b, p, view.get(), static_cast<unsigned char>(opacity));
        fillBitmapReference(*plain, p, plainView.get(), static_cast<unsigned char>(opacity));
        EXPECT_EQ(words(*b), words(*plain));
    }
}

// ---------------------------------------------------------------------------
// Rectangles
// ---------------------------------------------------------------------------

struct RectCase {
    _VORNPOINT p1;
    _VORNPOINT p2;
    int x0, y0, x1, y1; // the pixels blended, both corners included; empty when x0 > x1
};

class FillRectangleBlend : public ::testing::TestWithParam<RectCase> {};

TEST_P(FillRectangleBlend, BlendsEachPixelOfTheRectangleOnce) {
    const RectCase c = GetParam();
    const _VORNRGBAQUAD ink = rgba(250, 20, 120, 99);
    BufferPtr b = patterned(8, 7);
    EXPECT_EQ(b->fillRectangleBlend(c.p1, c.p2, ink.red, ink.green, ink.blue, ink.alpha), 0);
    const BufferPtr before = patterned(8, 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool in = x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
            const _VORNRGBAQUAD old = at(*before, x, y);
            EXPECT_EQ(at(*b, x, y), in ? blended(old, ink, 255) : old) << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillRectangleBlend,
    ::testing::Values(RectCase{pt(2, 3), pt(4, 5), 2, 3, 4, 5},
                      RectCase{pt(4, 5), pt(2, 3), 1, 1, 0, 0}, // corners out of order
                      RectCase{pt(-2, -2), pt(1, 1), 0, 0, 1, 1},
                      RectCase{pt(3, 3), pt(3, 3), 3, 3, 3, 3},
                      RectCase{pt(6, 5), pt(20, 20), 6, 5, 7, 6},
                      RectCase{pt(8, 0), pt(9, 6), 1, 1, 0, 0}, // right of the buffer
                      RectCase{pt(INT_MIN, INT_MIN), pt(INT_MAX, INT_MAX), 0, 0, 7, 6},
                      RectCase{pt(INT_MAX, 0), pt(INT_MIN, 6), 1, 1, 0, 0}));

TEST(FillRectangleBlendAlpha, OpaqueAndTransparent) {
    BufferPtr b = patterned(5, 5);
    EXPECT_EQ(b->fillRectangleBlend(pt(0, 0), pt(4, 4), 1, 2, 3, 0), 0);
    EXPECT_EQ(words(*b), words(*patterned(5, 5)));
    b->fillRectangleBlend(pt(1, 1), pt(3, 2), 1, 2, 3, 255);
    EXPECT_EQ(at(*b, 1, 1), rgba(1, 2, 3, 255));
    EXPECT_EQ(at(*b, 3, 2), rgba(1, 2, 3, 255));
    EXPECT_EQ(changedPixels(*b, rgba(1, 2, 3, 255)).size(), 25u - 6u);
}

} // namespace

namespace {

// ---------------------------------------------------------------------------
// The colour span kernel
// ---------------------------------------------------------------------------

using vorn::detail::KernelLevel;

class SpanKernelLevels : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override {
        saved_ = vorn::detail::kernelLevel();
        if (vorn::detail::setKernelLevel(GetParam()) != GetParam()) {
            vorn::detail::setKernelLevel(saved_);
            GTEST_SKIP() << "this CPU lacks the instruction set";
        }
    }
    void TearDown() override { vorn::detail::setKernelLevel(saved_); }

private:
    KernelLevel saved_ = KernelLevel::Reference;
};

// Rows of opaque pixels broken by runs of translucent ones, every colour
// alpha, lengths around the vector widths.
TEST_P(SpanKernelLevels, BlendColourSpanEqualsThePixelBlend) {
    Rng rng(77);
    for (int alpha = 0; alpha < 256; ++alpha) {
        for (int trial = 0; trial < 40; ++trial) {
            const std::size_t n = static_cast<std::size_t>(rng.range(0, 90));
            std::vector<_VORNRGBAQUAD> row(n + 40);
            for (std::size_t i = 0; i < row.size(); ++i) {
                row[i] = rng.pixel();
                if (rng.range(0, 9) != 0 && (i / 8) % 3 != 1) {
                    row[i].alpha = 255;
                }
            }
            const _VORNRGBAQUAD colour = rgba(rng.byte(), rng.byte(), rng.byte(), alpha);
            std::vector<_VORNRGBAQUAD> expected = row;
            vorn::detail::blendColourSpanReference(expected.data(), n, colour);
            vorn::detail::blendColourSpan(row.data(), n, colour, trial % 2 ? 20 : 0);
            ASSERT_EQ(row.size(), expected.size());
            for (std::size_t i = 0; i < row.size(); ++i) {
                ASSERT_EQ(row[i], expected[i])
                    << "alpha " << alpha << " trial " << trial << " at " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, SpanKernelLevels,
                         ::testing::Values(KernelLevel::Reference, KernelLevel::Sse2,
                                           KernelLevel::Avx2));

} // namespace
