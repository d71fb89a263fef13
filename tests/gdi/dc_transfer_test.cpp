// SPDX-License-Identifier: MIT
// Buffers onto device contexts and captures of what a context shows.

#include "gdi_test.h"

namespace {

// Opaque copies: pixels that are not opaque arrive over the white
// background; nothing else changes. A transparent buffer blended changes
// nothing, an opaque one gives what bitBlt gives.
TEST(BitBlt, CopiesTheBufferOpaquelyAtItsPosition) {
    Canvas canvas(24, 20);
    Canvas other(24, 20);
    Rng rng(1);
    BufferPtr b = translucentCase(rng, 10, 10, rgba(255, 255, 255));
    BufferPtr shown(b->duplicate());
    *shown->getPixel(0, 0) = rgba(226, 176, 151);
    *shown->getPixel(1, 0) = rgba(255, 255, 255);
    const Pixels want = canvas.blended(*shown, 5, 5);
    ASSERT_TRUE(bitBlt(canvas.hdc(), 5, 5, b.get()));
    EXPECT_EQ(canvas.colours(), want);
    ASSERT_TRUE(alphaBlt(canvas.hdc(), 3, 2, makeFilled(6, 5, rgba(255, 0, 0, 0)).get()));
    EXPECT_EQ(canvas.colours(), want);
    shown = makeRandom(rng, 7, 6, true);
    ASSERT_TRUE(alphaBlt(canvas.hdc(), 4, 3, shown.get()));
    ASSERT_TRUE(bitBlt(other.hdc(), 5, 5, b.get()) && bitBlt(other.hdc(), 4, 3, shown.get()));
    EXPECT_EQ(canvas.colours(), other.colours());
}

// alphaBlt blends over what the context shows at the device area of its
// logical position: partly off the surface (black is captured there, and
// only pixels on the surface count); under a scaling mapping, with the
// buffer resized to the device size first; with the y axis reversed,
// upright. Logical (x, y) lands at device (dx, dy).
TEST(AlphaBlt, BlendsOverTheDeviceAreaOfItsPosition) {
    Rng rng(4);
    BufferPtr b = makeRandom(rng, 9, 7);
    const struct {
        std::vector<long> mapping;
        int x, y, dx, dy, scale;
    } cases[] = {
        {{MM_TEXT, 0, 0, 0, 0, 1, 1, 1, 1}, 2, 3, 2, 3, 1},
        {{MM_TEXT, 0, 0, 0, 0, 1, 1, 1, 1}, -4, -2, -4, -2, 1},
        {{MM_TEXT, 0, 0, 0, 0, 1, 1, 1, 1}, 35, 36, 35, 36, 1},
        // (4 - 1) x 2, 5 x 2 + 3
        {{MM_ANISOTROPIC, 1, 0, 0, 3, 1, 1, 2, 2}, 4, 5, 6, 13, 2},
        // y up from device row 20: logical rows 5 to 12 are device 8 to 15.
        {{MM_ANISOTROPIC, 0, 0, 0, 20, 1, 1, 1, -1}, 2, 5, 2, 8, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << ", " << c.y);
        Canvas canvas(40, 40, 7);
        setMapping(canvas.hdc(), c.mapping);
        BufferPtr enlarged = makeBuffer(9 * c.scale, 7 * c.scale);
        ASSERT_EQ(b->resize(enlarged.get()), 0);
        const Pixels want = canvas.blended(*enlarged, c.dx, c.dy);
        if (c.scale == 1 && c.dx >= 0 && c.dy >= 0 && c.dy < 30) {
            BufferPtr capture(captureFromDC(canvas.hdc(), c.x, c.y, 9, 7));
            ASSERT_TRUE(capture);
            EXPECT_EQ(pixelsOf(*capture), canvas.colours(c.dx, c.dy, 9, 7));
        }
        ASSERT_TRUE(alphaBlt(canvas.hdc(), c.x, c.y, b.get()));
        EXPECT_EQ(canvas.colours(), want);
        EXPECT_EQ(mapping(canvas.hdc()), c.mapping);
    }
}

// blendToDC paints at the device origin whatever the mapping. Each
// transfer leaves the context's mapping as it found it, and releases
// every object it made.
TEST(BlendToDC, PaintsAtTheDeviceOriginAndLeavesTheState) {
    Rng rng(12);
    BufferPtr b = makeRandom(rng, 6, 5);
    for (const std::vector<long>& state :
         {std::vector<long>{MM_TEXT, -7, 3, 2, 9, 1, 1, 1, 1},
          std::vector<long>{MM_ANISOTROPIC, -1, 2, 4, 1, 1, 1, 2, 2},
          std::vector<long>{MM_ISOTROPIC, 0, 0, 0, 0, 3, 7, 10, 10}}) {
        Canvas canvas(30, 30, 6);
        const Pixels want = canvas.blended(*b, 0, 0);
        setMapping(canvas.hdc(), state);
        const std::vector<long> before = mapping(canvas.hdc());
        const int objects = liveGdiObjects();
        blendToDC(canvas.hdc(), b.get());
        EXPECT_EQ(canvas.colours(), want) << state[0];
        EXPECT_EQ(mapping(canvas.hdc()), before);
        EXPECT_TRUE(alphaBlt(canvas.hdc(), 1, 1, b.get()));
        EXPECT_TRUE(bitBlt(canvas.hdc(), 1, 1, b.get()));
        BufferPtr c1(captureFromDC(canvas.hdc(), 0, 0, 3, 3));
        BufferPtr c2(_captureFromDC(canvas.hdc(), 3, 3));
        EXPECT_EQ(mapping(canvas.hdc()), before);
        EXPECT_TRUE(objects < 0 || liveGdiObjects() == objects);
    }
}

TEST(DeviceTransfer, NullArgumentsAndEmptyAreasGiveTheFailureResult) {
    Canvas canvas(4, 4);
    const Pixels before = canvas.colours();
    BufferPtr b = makeFilled(2, 2, rgba(1, 2, 3));
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    for (HDC dc : {static_cast<HDC>(nullptr), stale}) {
        EXPECT_FALSE(bitBlt(dc, 0, 0, b.get()));
        EXPECT_FALSE(alphaBlt(dc, 0, 0, b.get()));
        EXPECT_EQ(captureFromDC(dc, 0, 0, 2, 2), nullptr);
        EXPECT_EQ(_captureFromDC(dc, 3, 3), nullptr);
        blendToDC(dc, b.get());
    }
    EXPECT_FALSE(bitBlt(canvas.hdc(), 0, 0, nullptr));
    EXPECT_FALSE(alphaBlt(canvas.hdc(), 0, 0, nullptr));
    blendToDC(canvas.hdc(), nullptr);
    EXPECT_EQ(canvas.colours(), before);
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0, 0, 0, 5), nullptr);
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0, 0, 5, 0), nullptr);
    EXPECT_EQ(_captureFromDC(canvas.hdc(), 0, 3), nullptr);
    EXPECT_EQ(_captureFromDC(canvas.hdc(), -2, 3), nullptr);
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0x7FFFFFF0, 0, 100, 1), nullptr);
}

} // namespace
