// SPDX-License-Identifier: MIT
// The off-screen buffer over an area of a device context.

#include "gdi_test.h"

#include <utility>

namespace {

// A CDC over a patterned canvas; the context stays the canvas's.
struct CanvasDc {
    Canvas canvas;
    CDC dc;
    CanvasDc(int width, int height, bool printing = false) : canvas(width, height, 13) {
        dc.Attach(canvas.hdc());
        dc.m_bPrinting = printing ? TRUE : FALSE;
    }
    ~CanvasDc() { dc.Detach(); }
};

// The buffer holds the area in device pixels (at the device position
// under a scaling mapping) and blit copies it back, whatever its
// argument, leaving the mapping as it was.
TEST(CDCBuffer, HoldsTheAreaAndBlitsItBack) {
    const struct {
        std::vector<long> mapping;
        int dx, dy, scale;
    } cases[] = {{{MM_TEXT, 0, 0, 0, 0, 1, 1, 1, 1}, 20, 10, 1},
                 // (20 - 5) x 2, 10 x 2 + 7
                 {{MM_ANISOTROPIC, 5, 0, 0, 7, 1, 1, 2, 2}, 30, 27, 2}};
    for (const auto& c : cases) {
        CanvasDc canvas(260, 150);
        setMapping(canvas.canvas.hdc(), c.mapping);
        const int w = 100 * c.scale;
        const int h = 50 * c.scale;
        CDCBuffer off(&canvas.dc, 20, 10, 100, 50);
        VornBuffer* b = off.getBuffer();
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->getWidth(), w);
        EXPECT_EQ(opaque(pixelsOf(*b)), canvas.canvas.colours(c.dx, c.dy, w, h));
        for (const int unused : {0, 7}) {
            b->fill(255, static_cast<unsigned char>(unused), 0, 255);
            const Pixels want = canvas.canvas.blended(*b, c.dx, c.dy);
            EXPECT_EQ(off.blit(unused), 0);
            EXPECT_EQ(canvas.canvas.colours(), want);
        }
        EXPECT_EQ(mapping(canvas.canvas.hdc()), c.mapping);
    }
}

TEST(CDCBuffer, AreasWithoutAValidSizeHaveNoBuffer) {
    CanvasDc c(20, 20);
    const Pixels before = c.canvas.colours();
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
    // A printer's context cannot be read: the buffer starts white.
    CanvasDc printer(20, 20, true);
    CDCBuffer off(&printer.dc, 2, 3, 5, 4);
    ASSERT_NE(off.getBuffer(), nullptr);
    EXPECT_EQ(pixelsOf(*off.getBuffer()), Pixels(20, rgba(255, 255, 255, 0)));
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
        EXPECT_EQ(c.canvas.colours(3, 3, 1, 1), Pixels{rgba(9, 8, 7)});
        EXPECT_TRUE(before < 0 || liveGdiObjects() == before + 1);
    }
    EXPECT_TRUE(before < 0 || liveGdiObjects() == before);
    EXPECT_EQ(GetCurrentObject(h, OBJ_BITMAP), selected);
    EXPECT_EQ(mapping(h), state);
}

} // namespace
