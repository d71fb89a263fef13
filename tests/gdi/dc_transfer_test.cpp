// SPDX-License-Identifier: MIT
// Buffers onto device contexts and captures of what a context shows.

#include "gdi_test.h"

#include <algorithm>

namespace {

// What the canvas should show after `image` (already at device size) is
// blended at device (dx, dy): the buffer blend of the image over what the
// canvas shows.
std::vector<_VORNRGBAQUAD> expectBlended(Canvas& canvas, const VornBuffer& image, int dx, int dy) {
    BufferPtr shown = makeBuffer(canvas.width(), canvas.height());
    const std::vector<_VORNRGBAQUAD> before = canvas.colours();
    std::copy(before.begin(), before.end(), shown->getPixels());
    shown->blend(&image, dx, dy);
    return opaque(pixelsOf(*shown));
}

TEST(BitBlt, CopiesTheBufferOpaquelyAtItsPosition) {
    Canvas canvas(24, 20);
    canvas.paintPattern();
    const std::vector<_VORNRGBAQUAD> before = canvas.colours();
    Rng rng(1);
    BufferPtr b = translucentCase(rng, 10, 10, rgba(255, 255, 255));
    std::vector<_VORNRGBAQUAD> want = pixelsOf(*b);
    // Pixels that are not opaque arrive over the white background.
    want[0] = rgba(226, 176, 151);
    want[1] = rgba(255, 255, 255);
    ASSERT_TRUE(bitBlt(canvas.hdc(), 5, 5, b.get()));
    EXPECT_EQ(canvas.changes(before), areaSet(5, 5, 10, 10));
    EXPECT_EQ(canvas.colours(5, 5, 10, 10), want);
}

TEST(AlphaBlt, TransparentBufferChangesNothingAndOpaqueGivesWhatBitBltGives) {
    Rng rng(2);
    BufferPtr b = randomBuffer(rng, 7, 6, true);
    Canvas a(20, 15);
    Canvas c(20, 15);
    a.paintPattern(1);
    c.paintPattern(1);
    const std::vector<_VORNRGBAQUAD> before = a.colours();
    ASSERT_TRUE(alphaBlt(a.hdc(), 3, 2, makeFilled(6, 5, rgba(255, 0, 0, 0)).get()));
    EXPECT_EQ(a.colours(), before);
    ASSERT_TRUE(alphaBlt(a.hdc(), 4, 3, b.get()));
    ASSERT_TRUE(bitBlt(c.hdc(), 4, 3, b.get()));
    EXPECT_EQ(a.colours(), c.colours());
}

TEST(AlphaBlt, BlendsOverWhatTheContextShows) {
    Rng rng(4);
    BufferPtr b = randomBuffer(rng, 9, 7, false);
    // Areas partly off the surface capture black there; only pixels on the
    // surface are compared.
    for (const auto& at : {std::make_pair(2, 3), std::make_pair(-4, -2), std::make_pair(12, 9)}) {
        Canvas canvas(16, 12);
        canvas.paintPattern(7);
        const std::vector<_VORNRGBAQUAD> want = expectBlended(canvas, *b, at.first, at.second);
        ASSERT_TRUE(alphaBlt(canvas.hdc(), at.first, at.second, b.get()));
        EXPECT_EQ(canvas.colours(), want) << at.first << "," << at.second;
    }
}

TEST(AlphaBlt, ScalingMappingEnlargesTheBufferBeforeBlending) {
    Rng rng(6);
    BufferPtr b = randomBuffer(rng, 10, 10, false);
    Canvas canvas(40, 40);
    canvas.paintPattern(3);
    setMapping(canvas.hdc(), {MM_ANISOTROPIC, 1, 0, 0, 3, 1, 1, 2, 2});
    // Logical (4, 5) is device ((4 - 1) x 2, 5 x 2 + 3) = (6, 13).
    BufferPtr enlarged = makeBuffer(20, 20);
    ASSERT_EQ(b->resize(enlarged.get()), 0);
    const std::vector<_VORNRGBAQUAD> want = expectBlended(canvas, *enlarged, 6, 13);
    ASSERT_TRUE(alphaBlt(canvas.hdc(), 4, 5, b.get()));
    EXPECT_EQ(canvas.colours(), want);
}

TEST(AlphaBlt, ReversedAxesPaintTheDeviceAreaUpright) {
    Rng rng(9);
    BufferPtr b = randomBuffer(rng, 4, 3, false);
    Canvas canvas(12, 24);
    canvas.paintPattern(2);
    // y points up from device row 20: logical (2, 5) to (6, 8) covers
    // device columns 2..5 and rows 20 - 8 = 12 .. 14.
    setMapping(canvas.hdc(), {MM_ANISOTROPIC, 0, 0, 0, 20, 1, 1, 1, -1});
    const std::vector<_VORNRGBAQUAD> want = expectBlended(canvas, *b, 2, 12);
    BufferPtr capture(captureFromDC(canvas.hdc(), 2, 5, 4, 3));
    ASSERT_TRUE(capture);
    EXPECT_EQ(pixelsOf(*capture), canvas.colours(2, 12, 4, 3));
    ASSERT_TRUE(alphaBlt(canvas.hdc(), 2, 5, b.get()));
    EXPECT_EQ(canvas.colours(), want);
}

TEST(CaptureFromDC, ReturnsTheAreaInDevicePixels) {
    Canvas canvas(40, 40);
    canvas.paintPattern(11);
    BufferPtr text(captureFromDC(canvas.hdc(), 3, 4, 10, 10));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->getWidth(), 10);
    EXPECT_EQ(pixelsOf(*text), canvas.colours(3, 4, 10, 10));
    const std::vector<long> scaled = {MM_ANISOTROPIC, 0, 0, 0, 0, 1, 1, 2, 2};
    setMapping(canvas.hdc(), scaled);
    BufferPtr big(captureFromDC(canvas.hdc(), 3, 4, 10, 10));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->getWidth(), 20);
    EXPECT_EQ(pixelsOf(*big), canvas.colours(6, 8, 20, 20));
    EXPECT_EQ(mapping(canvas.hdc()), scaled);
}

TEST(CaptureFromDC, InnerVariantCopiesFromLogicalOrigin) {
    Canvas canvas(20, 20);
    canvas.paintPattern(4);
    SetWindowOrgEx(canvas.hdc(), -3, -2, nullptr);
    BufferPtr b(_captureFromDC(canvas.hdc(), 5, 4));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->getWidth(), 5);
    EXPECT_EQ(pixelsOf(*b), canvas.colours(3, 2, 5, 4));
}

TEST(BlendToDC, PaintsAtDeviceOriginWhateverTheMapping) {
    Rng rng(12);
    BufferPtr b = randomBuffer(rng, 6, 5, false);
    Canvas canvas(12, 10);
    canvas.paintPattern(6);
    const std::vector<_VORNRGBAQUAD> want = expectBlended(canvas, *b, 0, 0);
    SetWindowOrgEx(canvas.hdc(), -7, 3, nullptr);
    SetViewportOrgEx(canvas.hdc(), 2, 9, nullptr);
    blendToDC(canvas.hdc(), b.get());
    EXPECT_EQ(canvas.colours(), want);
}

TEST(DeviceState, ComesBackAfterAlphaBltAndBlendToDC) {
    BufferPtr b = makeFilled(4, 4, rgba(10, 20, 30, 100));
    for (const std::vector<long>& state :
         {std::vector<long>{MM_TEXT, 3, 4, 5, 6, 1, 1, 1, 1},
          std::vector<long>{MM_ANISOTROPIC, -1, 2, 4, 1, 1, 1, 2, 2},
          std::vector<long>{MM_ISOTROPIC, 0, 0, 0, 0, 3, 7, 10, 10}}) {
        Canvas canvas(30, 30);
        setMapping(canvas.hdc(), state);
        const std::vector<long> before = mapping(canvas.hdc());
        EXPECT_TRUE(alphaBlt(canvas.hdc(), 1, 1, b.get())) << state[0];
        EXPECT_EQ(mapping(canvas.hdc()), before);
        blendToDC(canvas.hdc(), b.get());
        EXPECT_EQ(mapping(canvas.hdc()), before);
        bitBlt(canvas.hdc(), 1, 1, b.get());
        EXPECT_EQ(mapping(canvas.hdc()), before);
    }
}

TEST(DeviceTransfer, NullArgumentsAndEmptyAreasGiveTheFailureResult) {
    Canvas canvas(4, 4);
    canvas.paintPattern();
    const std::vector<_VORNRGBAQUAD> before = canvas.colours();
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

TEST(DeviceTransfer, EveryObjectMadeInsideIsReleased) {
    VORN_REQUIRE_GDI_COUNT();
    Canvas canvas(30, 30);
    setMapping(canvas.hdc(), {MM_ANISOTROPIC, 0, 0, 0, 0, 1, 1, 2, 2});
    BufferPtr b = makeFilled(5, 4, rgba(10, 20, 30, 100));
    const int before = liveGdiObjects();
    EXPECT_TRUE(bitBlt(canvas.hdc(), 1, 1, b.get()));
    EXPECT_TRUE(alphaBlt(canvas.hdc(), 2, 2, b.get()));
    blendToDC(canvas.hdc(), b.get());
    BufferPtr c1(captureFromDC(canvas.hdc(), 0, 0, 3, 3));
    BufferPtr c2(_captureFromDC(canvas.hdc(), 3, 3));
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0, 0, 0, 3), nullptr);
    EXPECT_EQ(liveGdiObjects(), before);
}

} // namespace
