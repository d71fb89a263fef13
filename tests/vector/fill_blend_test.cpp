// SPDX-License-Identifier: MIT
// Blended and textured polygon fills and the blended rectangle: the pixel
// blend once per covered pixel, tiling fixed to the buffer, refused
// textures, corner order and clipping, and the colour span kernel.

#include "vector_test.h"

#include <climits>

namespace {

// Pixels fillPolygon covers in a w x h buffer.
BufferPtr coverage(int w, int h, const Polygon& p) {
    BufferPtr b = makeBuffer(w, h);
    fill(*b, p, rgba(1, 1, 1, 1));
    return b;
}

// Every covered pixel is blended exactly once, also on the inner contour's
// columns where the two contours' crossings meet; opaque, the fill equals
// fillPolygon's.
TEST(FillPolygonBlend, BlendsEachCoveredPixelOnce) {
    const Polygon triangle{{pt(1, 1), pt(10, 1), pt(5, 6)}};
    const Polygon holed{{pt(0, 0), pt(10, 0), pt(10, 10), pt(0, 10)},
                        {pt(3, 3), pt(7, 3), pt(7, 7), pt(3, 7)}};
    const BufferPtr before = patterned(12, 12);
    for (const Polygon* p : {&triangle, &holed}) {
        const BufferPtr covered = coverage(12, 12, *p);
        for (unsigned alpha : {0u, 128u, 255u}) {
            const _VORNRGBAQUAD ink = rgba(200, 100, 50, alpha);
            BufferPtr b = patterned(12, 12);
            EXPECT_EQ(fillBlend(*b, *p, ink), 0);
            expectPixels(
                *b,
                [&](int x, int y) {
                    const _VORNRGBAQUAD old = at(*before, x, y);
                    return at(*covered, x, y) != kClear ? blended(old, ink, 255) : old;
                },
                "alpha " + std::to_string(alpha));
            BufferPtr solid = patterned(12, 12);
            fill(*solid, *p, ink);
            EXPECT_EQ(words(*b) == words(*solid), alpha == 255) << alpha;
            // A clear colour returns before the work areas are allocated.
            EXPECT_EQ(Access::edgeMapOf(*b) == nullptr, alpha == 0);
        }
    }
}

// Covered pixel (x, y) takes texel (x mod 3, y mod 2) wherever the polygon
// lies, blended with the opacity; an opaque texel at opacity 255 is copied.
TEST(FillPolygonBitmap, TilesFromTheBuffersOriginWithTheOpacity) {
    BufferPtr t = makeBuffer(3, 2);
    for (int i = 0; i < 6; ++i) {
        t->getPixels()[i] = rgba(40 * i, 250 - 30 * i, 7, i < 3 ? 255 : 60 + 30 * i);
    }
    const BufferPtr before = patterned(12, 7);
    for (int shift = 0; shift < 3; ++shift) {
        const Polygon p{{pt(shift, 0), pt(8 + shift, 2), pt(3 + shift, 6)}};
        const BufferPtr covered = coverage(12, 7, p);
        for (unsigned opacity : {0u, 100u, 255u}) {
            BufferPtr b = patterned(12, 7);
            EXPECT_EQ(fillBitmap(*b, p, t.get(), static_cast<unsigned char>(opacity)), 0);
            expectPixels(
                *b,
                [&](int x, int y) {
                    const _VORNRGBAQUAD old = at(*before, x, y);
                    const _VORNRGBAQUAD texel = at(*t, x % 3, y % 2);
                    const _VORNRGBAQUAD painted =
                        opacity == 255 && texel.alpha == 255
                            ? texel
                            : blended(old, texel, static_cast<unsigned char>(opacity));
                    return at(*covered, x, y) != kClear ? painted : old;
                },
                "shift " + std::to_string(shift) + ", opacity " + std::to_string(opacity));
        }
    }
}

// The texture may share this buffer's pixels: each texel is read as the
// earlier steps, row by row and left to right, left it.
TEST(FillPolygonBitmap, TextureSharingThePixels) {
    const Polygon p{{pt(-2, 1), pt(9, 0), pt(10, 8), pt(2, 6)}};
    for (unsigned char opacity : {255, 200}) {
        BufferPtr b = patterned(11, 9);
        BufferPtr plain = patterned(11, 9);
        // The buffer itself, then a narrower view of the same block.
        fillBitmap(*b, p, b.get(), opacity);
        fillBitmapReference(*plain, p, plain.get(), opacity);
        EXPECT_EQ(words(*b), words(*plain));
        BufferPtr view(VornBuffer::Build(4, 7, b->getPixels() + 5));
        BufferPtr plainView(VornBuffer::Build(4, 7, plain->getPixels() + 5));
        fillBitmap(*b, p, view.get(), opacity);
        fillBitmapReference(*plain, p, plainView.get(), opacity);
        EXPECT_EQ(words(*b), words(*plain));
    }
}

TEST(FillRectangleBlend, BlendsEachPixelOfTheRectangleOnce) {
    struct Case {
        _VORNPOINT p1, p2;
        int x0, y0, x1, y1; // the pixels blended, both corners included; empty when x0 > x1
    };
    const Case cases[] = {
        {pt(2, 3), pt(4, 5), 2, 3, 4, 5},
        {pt(4, 5), pt(2, 3), 1, 1, 0, 0}, // corners out of order
        {pt(-2, -2), pt(1, 1), 0, 0, 1, 1},
        {pt(3, 3), pt(3, 3), 3, 3, 3, 3},
        {pt(6, 5), pt(20, 20), 6, 5, 7, 6},
        {pt(8, 0), pt(9, 6), 1, 1, 0, 0}, // right of the buffer
        {pt(INT_MIN, INT_MIN), pt(INT_MAX, INT_MAX), 0, 0, 7, 6},
        {pt(INT_MAX, 0), pt(INT_MIN, 6), 1, 1, 0, 0},
    };
    const _VORNRGBAQUAD ink = rgba(250, 20, 120, 99);
    const BufferPtr before = patterned(8, 7);
    for (const Case& c : cases) {
        BufferPtr b = patterned(8, 7);
        EXPECT_EQ(b->fillRectangleBlend(c.p1, c.p2, ink.red, ink.green, ink.blue, ink.alpha), 0);
        expectPixels(
            *b,
            [&](int x, int y) {
                const bool in = x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
                return in ? blended(at(*before, x, y), ink, 255) : at(*before, x, y);
            },
            std::to_string(c.p1.x) + ", " + std::to_string(c.p1.y));
    }
}

} // namespace
