// Buffers onto device contexts and captures of what a context shows.

#include "gdi_test.h"

namespace {

struct MappingState {
    int mode;
    POINT windowOrg, viewportOrg;
    SIZE windowExt, viewportExt;

    explicit MappingState(HDC hdc) {
        mode = GetMapMode(hdc);
        GetWindowOrgEx(hdc, &windowOrg);
        GetViewportOrgEx(hdc, &viewportOrg);
        GetWindowExtEx(hdc, &windowExt);
        GetViewportExtEx(hdc, &viewportExt);
    }
    bool operator==(const MappingState& o) const {
        return mode == o.mode && windowOrg.x == o.windowOrg.x && windowOrg.y == o.windowOrg.y &&
               viewportOrg.x == o.viewportOrg.x && viewportOrg.y == o.viewportOrg.y &&
               windowExt.cx == o.windowExt.cx && windowExt.cy == o.windowExt.cy &&
               viewportExt.cx == o.viewportExt.cx && viewportExt.cy == o.viewportExt.cy;
    }
};

void scaleByTwo(HDC hdc) {
    SetMapMode(hdc, MM_ANISOTROPIC);
    SetWindowExtEx(hdc, 1, 1, nullptr);
    SetViewportExtEx(hdc, 2, 2, nullptr);
}

// What the canvas should show after `image` (already at device size) is
// blended over the device area at (dx, dy): the library's blend of the
// image over an opaque capture of the area.
std::vector<_VORNRGBAQUAD> expectBlended(Canvas& canvas, const VornBuffer& image, int dx, int dy) {
    std::vector<_VORNRGBAQUAD> out = canvas.colours();
    for (int y = 0; y < image.getHeight(); ++y) {
        for (int x = 0; x < image.getWidth(); ++x) {
            const int cx = dx + x;
            const int cy = dy + y;
            if (cx < 0 || cy < 0 || cx >= canvas.width() || cy >= canvas.height()) {
                continue;
            }
            _VORNRGBAQUAD& p = out[static_cast<std::size_t>(cy) * canvas.width() + cx];
            const _VORNRGBAQUAD over =
                image.getPixel(x, y)->alpha > 0 ? blended(p, *image.getPixel(x, y), 255) : p;
            p = rgba(over.red, over.green, over.blue, 255);
        }
    }
    return out;
}

TEST(BitBlt, CopiesTheBufferOpaquelyAtItsPosition) {
    Canvas canvas(24, 20);
    canvas.paintPattern();
    const std::vector<_VORNRGBAQUAD> before = canvas.colours();
    Rng rng(1);
    BufferPtr b = randomBuffer(rng, 10, 10, true);
    *b->getPixel(3, 4) = rgba(200, 100, 50, 128);
    *b->getPixel(9, 9) = rgba(1, 2, 3, 0);
    b->setBackground(255, 255, 255);
    ASSERT_TRUE(bitBlt(canvas.hdc(), 5, 5, b.get()));
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool inside = x >= 5 && x <= 14 && y >= 5 && y <= 14;
            const _VORNRGBAQUAD want =
                inside ? flattened(*b, x - 5, y - 5) : before[static_cast<std::size_t>(y) * 24 + x];
            ASSERT_EQ(canvas.colour(x, y), want) << x << "," << y;
        }
    }
    // The half-transparent pixel arrives over the white background.
    EXPECT_EQ(canvas.colour(8, 9), rgba(226, 176, 151));
    EXPECT_EQ(canvas.colour(14, 14), rgba(255, 255, 255));
}

TEST(AlphaBlt, TransparentBufferLeavesTheContextAsItWas) {
    Canvas canvas(16, 12);
    canvas.paintPattern(5);
    const std::vector<_VORNRGBAQUAD> before = canvas.colours();
    BufferPtr b = makeFilled(6, 5, rgba(255, 0, 0, 0));
    ASSERT_TRUE(alphaBlt(canvas.hdc(), 3, 2, b.get()));
    EXPECT_EQ(canvas.colours(), before);
}

TEST(AlphaBlt, OpaqueBufferGivesWhatBitBltGives) {
    Rng rng(2);
    BufferPtr b = randomBuffer(rng, 7, 6, true);
    Canvas a(20, 15);
    Canvas c(20, 15);
    a.paintPattern(1);
    c.paintPattern(1);
    ASSERT_TRUE(alphaBlt(a.hdc(), 4, 3, b.get()));
    ASSERT_TRUE(bitBlt(c.hdc(), 4, 3, b.get()));
    EXPECT_EQ(a.colours(), c.colours());
}

TEST(AlphaBlt, BlendsOverWhatTheContextShows) {
    Rng rng(4);
    BufferPtr b = randomBuffer(rng, 9, 7, false);
    for (const auto& at : {std::make_pair(2, 3), std::make_pair(-4, -2), std::make_pair(12, 9)}) {
        Canvas canvas(16, 12);
        canvas.paintPattern(7);
        const std::vector<_VORNRGBAQUAD> want = expectBlended(canvas, *b, at.first, at.second);
        // Areas partly off the surface capture black there; only pixels on
        // the surface are compared.
        ASSERT_TRUE(alphaBlt(canvas.hdc(), at.first, at.second, b.get()));
        EXPECT_EQ(canvas.colours(), want) << at.first << "," << at.second;
    }
}

TEST(AlphaBlt, ScalingMappingEnlargesTheBufferBeforeBlending) {
    Rng rng(6);
    BufferPtr b = randomBuffer(rng, 10, 10, false);
    Canvas canvas(40, 40);
    canvas.paintPattern(3);
    scaleByTwo(canvas.hdc());
    SetWindowOrgEx(canvas.hdc(), 1, 0, nullptr);
    SetViewportOrgEx(canvas.hdc(), 0, 3, nullptr);
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
    SetMapMode(canvas.hdc(), MM_ANISOTROPIC);
    SetWindowExtEx(canvas.hdc(), 1, 1, nullptr);
    SetViewportExtEx(canvas.hdc(), 1, -1, nullptr);
    SetViewportOrgEx(canvas.hdc(), 0, 20, nullptr);
    const std::vector<_VORNRGBAQUAD> want = expectBlended(canvas, *b, 2, 12);
    BufferPtr capture(captureFromDC(canvas.hdc(), 2, 5, 4, 3));
    ASSERT_TRUE(capture);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(at(*capture, x, y), canvas.colour(2 + x, 12 + y)) << x << "," << y;
        }
    }
    ASSERT_TRUE(alphaBlt(canvas.hdc(), 2, 5, b.get()));
    EXPECT_EQ(canvas.colours(), want);
}

TEST(CaptureFromDC, ReturnsTheAreaInDevicePixels) {
    Canvas canvas(40, 40);
    canvas.paintPattern(11);
    BufferPtr text(captureFromDC(canvas.hdc(), 3, 4, 10, 10));
    ASSERT_TRUE(text);
    ASSERT_EQ(text->getWidth(), 10);
    ASSERT_EQ(text->getHeight(), 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(at(*text, x, y), canvas.colour(3 + x, 4 + y));
        }
    }
    const MappingState before(canvas.hdc());
    scaleByTwo(canvas.hdc());
    const MappingState scaled(canvas.hdc());
    BufferPtr big(captureFromDC(canvas.hdc(), 3, 4, 10, 10));
    ASSERT_TRUE(big);
    ASSERT_EQ(big->getWidth(), 20);
    ASSERT_EQ(big->getHeight(), 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            EXPECT_EQ(at(*big, x, y), canvas.colour(6 + x, 8 + y));
        }
    }
    EXPECT_TRUE(MappingState(canvas.hdc()) == scaled);
    (void)before;
}

TEST(CaptureFromDC, InnerVariantCopiesFromLogicalOrigin) {
    Canvas canvas(20, 20);
    canvas.paintPattern(4);
    SetWindowOrgEx(canvas.hdc(), -3, -2, nullptr);
    BufferPtr b(_captureFromDC(canvas.hdc(), 5, 4));
    ASSERT_TRUE(b);
    ASSERT_EQ(b->getWidth(), 5);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(at(*b, x, y), canvas.colour(3 + x, 2 + y));
        }
    }
}

TEST(CaptureFromDC, EmptyAreasAndNullContextsGiveNull) {
    Canvas canvas(8, 8);
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0, 0, 0, 5), nullptr);
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0, 0, 5, 0), nullptr);
    EXPECT_EQ(captureFromDC(nullptr, 0, 0, 5, 5), nullptr);
    EXPECT_EQ(_captureFromDC(canvas.hdc(), 0, 3), nullptr);
    EXPECT_EQ(_captureFromDC(canvas.hdc(), -2, 3), nullptr);
    EXPECT_EQ(_captureFromDC(nullptr, 3, 3), nullptr);
    EXPECT_EQ(captureFromDC(canvas.hdc(), 0x7FFFFFF0, 0, 100, 1), nullptr);
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
    struct Setup {
        const char* name;
        void (*apply)(HDC);
    };
    const Setup setups[] = {
        {"text with origins",
         [](HDC h) {
             SetWindowOrgEx(h, 3, 4, nullptr);
             SetViewportOrgEx(h, 5, 6, nullptr);
         }},
        {"anisotropic",
         [](HDC h) {
             scaleByTwo(h);
             SetWindowOrgEx(h, -1, 2, nullptr);
             SetViewportOrgEx(h, 4, 1, nullptr);
         }},
        {"isotropic",
         [](HDC h) {
             SetMapMode(h, MM_ISOTROPIC);
             SetWindowExtEx(h, 3, 7, nullptr);
             SetViewportExtEx(h, 10, 10, nullptr);
         }},
    };
    for (const Setup& s : setups) {
        Canvas canvas(30, 30);
        s.apply(canvas.hdc());
        const MappingState before(canvas.hdc());
        EXPECT_TRUE(alphaBlt(canvas.hdc(), 1, 1, b.get())) << s.name;
        EXPECT_TRUE(MappingState(canvas.hdc()) == before) << s.name;
        blendToDC(canvas.hdc(), b.get());
        EXPECT_TRUE(MappingState(canvas.hdc()) == before) << s.name;
        bitBlt(canvas.hdc(), 1, 1, b.get());
        EXPECT_TRUE(MappingState(canvas.hdc()) == before) << s.name;
    }
}

TEST(DeviceTransfer, NullArgumentsGiveTheFailureResult) {
    Canvas canvas(4, 4);
    canvas.paintPattern();
    const std::vector<_VORNRGBAQUAD> before = canvas.colours();
    BufferPtr b = makeFilled(2, 2, rgba(1, 2, 3));
    EXPECT_FALSE(bitBlt(nullptr, 0, 0, b.get()));
    EXPECT_FALSE(bitBlt(canvas.hdc(), 0, 0, nullptr));
    EXPECT_FALSE(alphaBlt(nullptr, 0, 0, b.get()));
    EXPECT_FALSE(alphaBlt(canvas.hdc(), 0, 0, nullptr));
    blendToDC(nullptr, b.get());
    blendToDC(canvas.hdc(), nullptr);
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    EXPECT_FALSE(bitBlt(stale, 0, 0, b.get()));
    EXPECT_FALSE(alphaBlt(stale, 0, 0, b.get()));
    EXPECT_EQ(captureFromDC(stale, 0, 0, 2, 2), nullptr);
    blendToDC(stale, b.get());
    EXPECT_EQ(canvas.colours(), before);
}

TEST(DeviceTransfer, EveryObjectMadeInsideIsReleased) {
    VORN_REQUIRE_GDI_COUNT();
    Canvas canvas(30, 30);
    scaleByTwo(canvas.hdc());
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

TEST(DeviceTransfer, TheDisplayTakesAndGivesBackPixels) {
    VORN_REQUIRE_READABLE_DISPLAY();
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    Rng rng(21);
    BufferPtr b = randomBuffer(rng, 8, 6, true);
    ASSERT_TRUE(bitBlt(display, 200, 100, b.get()));
    HDC other = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    BufferPtr back(captureFromDC(other, 200, 100, 8, 6));
    ASSERT_TRUE(back);
    EXPECT_EQ(words(*back), words(*b));
    DeleteDC(other);
    DeleteDC(display);
}

} // namespace
