// SPDX-License-Identifier: MIT
// The off-screen buffer over an area of a device context.

#include "gdi_test.h"

#include <utility>

namespace {

// A CDC over a canvas painted with a pattern; the context stays the
// canvas's.
struct CanvasDc {
    Canvas canvas;
    CDC dc;
    CanvasDc(int width, int height, bool printing = false) : canvas(width, height) {
        dc.Attach(canvas.hdc());
        dc.m_bPrinting = printing ? TRUE : FALSE;
        canvas.paintPattern(13);
    }
    ~CanvasDc() { dc.Detach(); }
};

TEST(CDCBuffer, HoldsTheAreaAndBlitsItBack) {
    CanvasDc c(140, 90);
    const std::vector<_VORNRGBAQUAD> before = c.canvas.colours();
    CDCBuffer off(&c.dc, 10, 20, 100, 50);
    VornBuffer* b = off.getBuffer();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getWidth(), 100);
    EXPECT_EQ(opaque(pixelsOf(*b)), c.canvas.colours(10, 20, 100, 50));
    // The argument of blit has no effect.
    for (const int unused : {0, 7}) {
        b->fill(255, unused, 0, 255);
        EXPECT_EQ(off.blit(unused), 0);
        EXPECT_EQ(c.canvas.changes(before), areaSet(10, 20, 100, 50));
        EXPECT_EQ(c.canvas.colours(10, 20, 100, 50),
                  std::vector<_VORNRGBAQUAD>(5000, rgba(255, unused, 0)));
    }
}

TEST(CDCBuffer, ScalingMappingGivesDeviceSizeAtTheDevicePosition) {
    CanvasDc c(260, 150);
    HDC h = c.canvas.hdc();
    const std::vector<long> state = {MM_ANISOTROPIC, 5, 0, 0, 7, 1, 1, 2, 2};
    setMapping(h, state);
    // Logical (20, 10) is device ((20 - 5) x 2, 10 x 2 + 7) = (30, 27).
    const std::vector<_VORNRGBAQUAD> before = c.canvas.colours();
    CDCBuffer off(&c.dc, 20, 10, 100, 50);
    VornBuffer* b = off.getBuffer();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getWidth(), 200);
    EXPECT_EQ(opaque(pixelsOf(*b)), c.canvas.colours(30, 27, 200, 100));
    b->fill(0, 0, 255, 255);
    EXPECT_EQ(off.blit(3), 0);
    EXPECT_EQ(c.canvas.changes(before), areaSet(30, 27, 200, 100));
    EXPECT_EQ(mapping(h), state);
}

TEST(CDCBuffer, PrinterContextsStartWhite) {
    CanvasDc c(20, 20, true);
    CDCBuffer off(&c.dc, 2, 3, 5, 4);
    ASSERT_NE(off.getBuffer(), nullptr);
    EXPECT_EQ(pixelsOf(*off.getBuffer()), std::vector<_VORNRGBAQUAD>(20, rgba(255, 255, 255, 0)));
}

TEST(CDCBuffer, AreasWithoutAValidSizeHaveNoBuffer) {
    CanvasDc c(20, 20);
    const std::vector<_VORNRGBAQUAD> before = c.canvas.colours();
    CDC detached;
    struct Case {
        CDC* dc;
        int width, height;
    };
    for (const Case k : {Case{&c.dc, 0, 5}, Case{&c.dc, 5, 0}, Case{&c.dc, -3, 4},
                         Case{&c.dc, 40000, 40000}, Case{nullptr, 5, 5}, Case{&detached, 5, 5}}) {
        CDCBuffer off(k.dc, 1, 1, k.width, k.height);
        EXPECT_EQ(off.getBuffer(), nullptr) << k.width << "x" << k.height;
        EXPECT_EQ(off.blit(0), 1);
    }
    EXPECT_EQ(c.canvas.colours(), before);
}

TEST(CDCBuffer, MovesLeaveTheSourceEmptyAndReleaseOnceWithTheContextAsItWas) {
    CanvasDc c(30, 30);
    HDC h = c.canvas.hdc();
    // Logical (1, 1) is device (1 - 2 + 4, 1 - 3 + 5) = (3, 3).
    const std::vector<long> state = {MM_TEXT, 2, 3, 4, 5, 1, 1, 1, 1};
    setMapping(h, state);
    const HGDIOBJ selected = GetCurrentObject(h, OBJ_BITMAP);
    const int before = liveGdiObjects();
    {
        CDCBuffer first(&c.dc, 1, 1, 6, 6);
        VornBuffer* b = first.getBuffer();
        ASSERT_NE(b, nullptr);
        CDCBuffer second(std::move(first));
        EXPECT_EQ(first.getBuffer(), nullptr);
        EXPECT_EQ(first.blit(0), 1);
        EXPECT_EQ(second.getBuffer(), b);
        CDCBuffer third(&c.dc, 2, 2, 3, 3);
        third = std::move(second);
        EXPECT_EQ(second.getBuffer(), nullptr);
        EXPECT_EQ(third.getBuffer(), b);
        b->fill(9, 8, 7, 255);
        EXPECT_EQ(third.blit(0), 0);
        EXPECT_EQ(c.canvas.colours(3, 3, 1, 1), std::vector<_VORNRGBAQUAD>{rgba(9, 8, 7)});
        expectLive(before, 1);
    }
    expectLive(before, 0);
    EXPECT_EQ(GetCurrentObject(h, OBJ_BITMAP), selected);
    EXPECT_EQ(mapping(h), state);
}

} // namespace
