// The off-screen buffer over an area of a device context.

#include "gdi_test.h"

#include <utility>

namespace {

// A CDC over a canvas's context; the context stays the canvas's.
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

PixelSet area(int x0, int y0, int width, int height) {
    PixelSet out;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            out.insert({x, y});
        }
    }
    return out;
}

// Positions whose colour differs between two pictures of a canvas.
PixelSet differences(const std::vector<_VORNRGBAQUAD>& a, const std::vector<_VORNRGBAQUAD>& b,
                     int width) {
    PixelSet out;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            out.insert({static_cast<int>(i % width), static_cast<int>(i / width)});
        }
    }
    return out;
}

TEST(CDCBuffer, HoldsTheAreaAndBlitsItBack) {
    CanvasDc c(140, 90);
    const std::vector<_VORNRGBAQUAD> before = c.canvas.colours();
    CDCBuffer off(&c.dc, 10, 20, 100, 50);
    VornBuffer* b = off.getBuffer();
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->getWidth(), 100);
    ASSERT_EQ(b->getHeight(), 50);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x) {
            const _VORNRGBAQUAD p = at(*b, x, y);
            ASSERT_EQ(rgba(p.red, p.green, p.blue, 255), c.canvas.colour(10 + x, 20 + y))
                << x << "," << y;
        }
    }
    b->fill(255, 0, 0, 255);
    EXPECT_EQ(off.blit(0), 0);
    const std::vector<_VORNRGBAQUAD> after = c.canvas.colours();
    EXPECT_EQ(differences(before, after, 140), area(10, 20, 100, 50));
    EXPECT_EQ(c.canvas.colour(10, 20), rgba(255, 0, 0));
    EXPECT_EQ(c.canvas.colour(109, 69), rgba(255, 0, 0));
}

TEST(CDCBuffer, ScalingMappingGivesDeviceSizeAtTheDevicePosition) {
    CanvasDc c(260, 150);
    HDC h = c.canvas.hdc();
    SetMapMode(h, MM_ANISOTROPIC);
    SetWindowExtEx(h, 1, 1, nullptr);
    SetViewportExtEx(h, 2, 2, nullptr);
    SetWindowOrgEx(h, 5, 0, nullptr);
    SetViewportOrgEx(h, 0, 7, nullptr);
    // Logical (20, 10) is device ((20 - 5) x 2, 10 x 2 + 7) = (30, 27).
    const std::vector<_VORNRGBAQUAD> before = c.canvas.colours();
    CDCBuffer off(&c.dc, 20, 10, 100, 50);
    VornBuffer* b = off.getBuffer();
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->getWidth(), 200);
    ASSERT_EQ(b->getHeight(), 100);
    const _VORNRGBAQUAD first = at(*b, 0, 0);
    EXPECT_EQ(rgba(first.red, first.green, first.blue, 255), c.canvas.colour(30, 27));
    const _VORNRGBAQUAD last = at(*b, 199, 99);
    EXPECT_EQ(rgba(last.red, last.green, last.blue, 255), c.canvas.colour(229, 126));
    b->fill(0, 0, 255, 255);
    EXPECT_EQ(off.blit(3), 0);
    EXPECT_EQ(differences(before, c.canvas.colours(), 260), area(30, 27, 200, 100));
    EXPECT_EQ(GetMapMode(h), MM_ANISOTROPIC);
    POINT o{0, 0};
    GetWindowOrgEx(h, &o);
    EXPECT_EQ(o.x, 5);
    SIZE v{0, 0};
    GetViewportExtEx(h, &v);
    EXPECT_EQ(v.cx, 2);
}

TEST(CDCBuffer, PrinterContextsStartWhite) {
    CanvasDc c(20, 20, true);
    CDCBuffer off(&c.dc, 2, 3, 5, 4);
    VornBuffer* b = off.getBuffer();
    ASSERT_NE(b, nullptr);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(at(*b, x, y), rgba(255, 255, 255, 0));
        }
    }
}

TEST(CDCBuffer, AreasWithoutAValidSizeHaveNoBuffer) {
    CanvasDc c(20, 20);
    const std::vector<_VORNRGBAQUAD> before = c.canvas.colours();
    struct Case {
        int width, height;
    };
    for (const Case k : {Case{0, 5}, Case{5, 0}, Case{-3, 4}, Case{40000, 40000}}) {
        CDCBuffer off(&c.dc, 1, 1, k.width, k.height);
        EXPECT_EQ(off.getBuffer(), nullptr) << k.width << "x" << k.height;
        EXPECT_EQ(off.blit(0), 1);
    }
    CDCBuffer none(nullptr, 0, 0, 5, 5);
    EXPECT_EQ(none.getBuffer(), nullptr);
    EXPECT_EQ(none.blit(0), 1);
    CDC empty;
    CDCBuffer detached(&empty, 0, 0, 5, 5);
    EXPECT_EQ(detached.getBuffer(), nullptr);
    EXPECT_EQ(detached.blit(0), 1);
    EXPECT_EQ(c.canvas.colours(), before);
}

TEST(CDCBuffer, BlitArgumentHasNoEffect) {
    CanvasDc a(30, 30);
    CanvasDc b(30, 30);
    CDCBuffer offA(&a.dc, 4, 5, 10, 8);
    CDCBuffer offB(&b.dc, 4, 5, 10, 8);
    ASSERT_NE(offA.getBuffer(), nullptr);
    ASSERT_NE(offB.getBuffer(), nullptr);
    offA.getBuffer()->fill(1, 200, 3, 255);
    offB.getBuffer()->fill(1, 200, 3, 255);
    EXPECT_EQ(offA.blit(0), 0);
    EXPECT_EQ(offB.blit(7), 0);
    EXPECT_EQ(a.canvas.colours(), b.canvas.colours());
}

TEST(CDCBuffer, MovingLeavesTheSourceEmptyAndReleasesOnce) {
    CanvasDc c(30, 30);
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
        EXPECT_EQ(c.canvas.colour(1, 1), rgba(9, 8, 7));
        if (before >= 0) {
            EXPECT_EQ(liveGdiObjects(), before + 1);
        }
    }
    if (before >= 0) {
        EXPECT_EQ(liveGdiObjects(), before);
    }
}

TEST(CDCBuffer, ReleasesItsSectionAndLeavesTheContextAsItWas) {
    CanvasDc c(30, 30);
    HDC h = c.canvas.hdc();
    SetWindowOrgEx(h, 2, 3, nullptr);
    SetViewportOrgEx(h, 4, 1, nullptr);
    const HGDIOBJ selected = GetCurrentObject(h, OBJ_BITMAP);
    const int before = liveGdiObjects();
    {
        CDCBuffer off(&c.dc, 0, 0, 8, 8);
        if (before >= 0) {
            EXPECT_EQ(liveGdiObjects(), before + 1);
        }
        off.blit(0);
    }
    if (before >= 0) {
        EXPECT_EQ(liveGdiObjects(), before);
    }
    EXPECT_EQ(GetCurrentObject(h, OBJ_BITMAP), selected);
    POINT w{0, 0};
    POINT v{0, 0};
    GetWindowOrgEx(h, &w);
    GetViewportOrgEx(h, &v);
    EXPECT_EQ(w.x, 2);
    EXPECT_EQ(w.y, 3);
    EXPECT_EQ(v.x, 4);
    EXPECT_EQ(v.y, 1);
    EXPECT_EQ(GetMapMode(h), MM_TEXT);
}

} // namespace
