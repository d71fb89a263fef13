// Buffers to and from bitmap handles.

#include "gdi_test.h"

namespace {

BITMAPINFO header(int width, int height, int bitCount) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A top-down 32-bit DIB section holding `pixels` (row by row), with the
// given density in its header.
HBITMAP sectionOf(int width, int height, const std::vector<_VORNRGBAQUAD>& pixels,
                  LONG densityX = 0, LONG densityY = 0) {
    BITMAPINFO info = header(width, -height, 32);
    info.bmiHeader.biXPelsPerMeter = densityX;
    info.bmiHeader.biYPelsPerMeter = densityY;
    void* bits = nullptr;
    HBITMAP s = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (s != nullptr) {
        std::memcpy(bits, pixels.data(), pixels.size() * 4);
    }
    return s;
}

struct BitmapConvert : ::testing::Test {
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    ~BitmapConvert() override { DeleteDC(display); }
};

TEST_F(BitmapConvert, ReadsTwentyFourBitRowsTopRowFirstAndOpaque) {
    // Three pixels a row: 9 bytes and 3 of padding per row of the DIB.
    const std::vector<_VORNRGBAQUAD> pixels = {rgba(10, 20, 30, 0),   rgba(40, 50, 60, 1),
                                               rgba(70, 80, 90, 128), rgba(11, 21, 31, 255),
                                               rgba(41, 51, 61, 7),   rgba(71, 81, 91, 200)};
    HBITMAP bitmap = CreateCompatibleBitmap(display, 3, 2);
    BITMAPINFO info = header(3, -2, 32);
    ASSERT_EQ(SetDIBits(display, bitmap, 0, 2, pixels.data(), &info, DIB_RGB_COLORS), 2);
    BufferPtr b(bitmapToBuffer(bitmap));
    ASSERT_TRUE(b);
    ASSERT_EQ(b->getWidth(), 3);
    ASSERT_EQ(b->getHeight(), 2);
    for (int i = 0; i < 6; ++i) {
        const _VORNRGBAQUAD p = pixels[static_cast<std::size_t>(i)];
        EXPECT_EQ(at(*b, i % 3, i / 3), rgba(p.red, p.green, p.blue, 255)) << i;
    }
    DeleteObject(bitmap);
}

TEST_F(BitmapConvert, WithAlphaKeepsTheFourthByte) {
    const std::vector<_VORNRGBAQUAD> pixels = {rgba(1, 2, 3, 0),   rgba(4, 5, 6, 1),
                                               rgba(7, 8, 9, 128), rgba(250, 251, 252, 255),
                                               rgba(0, 0, 0, 0),   rgba(255, 255, 255, 17)};
    for (const bool topDownSource : {true, false}) {
        HBITMAP bitmap;
        if (topDownSource) {
            bitmap = sectionOf(2, 3, pixels);
        } else {
            bitmap = CreateCompatibleBitmap(display, 2, 3);
            BITMAPINFO info = header(2, -3, 32);
            SetDIBits(display, bitmap, 0, 3, pixels.data(), &info, DIB_RGB_COLORS);
        }
        BufferPtr b(bitmapToBufferWithAlpha(bitmap));
        ASSERT_TRUE(b);
        EXPECT_EQ(std::vector<_VORNRGBAQUAD>(b->getPixels(), b->getPixels() + 6), pixels);
        DeleteObject(bitmap);
    }
}

TEST_F(BitmapConvert, DensityComesFromTheDibHeaderWhenReported) {
    struct Case {
        LONG x, y;
    };
    for (const Case c : {Case{1000, 1000}, Case{1000, 2000}, Case{0, 0}}) {
        HBITMAP bitmap = sectionOf(1, 1, {rgba(1, 2, 3)}, c.x, c.y);
        // What this GDI reports for the section decides what the buffer
        // gets: a reported density is taken as pixels per metre, none
        // leaves the default.
        BITMAPINFO probe = header(1, -1, 24);
        unsigned char row[4];
        GetDIBits(display, bitmap, 0, 1, row, &probe, DIB_RGB_COLORS);
        const LONG rx = probe.bmiHeader.biXPelsPerMeter;
        const LONG ry = probe.bmiHeader.biYPelsPerMeter;
#if !defined(_WIN32)
        EXPECT_EQ(rx, c.x);
        EXPECT_EQ(ry, c.y);
#endif
        for (const bool alpha : {false, true}) {
            BufferPtr b(alpha ? bitmapToBufferWithAlpha(bitmap) : bitmapToBuffer(bitmap));
            ASSERT_TRUE(b);
            const bool reported = rx != 0 || ry != 0;
            EXPECT_EQ(b->getPixelsPerMetreX(), reported ? rx : 3780);
            EXPECT_EQ(b->getPixelsPerMetreY(), reported ? ry : 3780);
        }
        DeleteObject(bitmap);
    }
}

TEST_F(BitmapConvert, SectionsCarryTheBufferDensityInPixelsPerMetre) {
    BufferPtr b = makeFilled(2, 2, rgba(1, 2, 3));
    b->setDensity(1, 96, 72);
    HBITMAP section = bufferToBitmap(b.get());
    ASSERT_NE(section, nullptr);
    DIBSECTION ds;
    ASSERT_EQ(GetObjectW(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBmih.biXPelsPerMeter, 3779);
    EXPECT_EQ(ds.dsBmih.biYPelsPerMeter, 2834);
    EXPECT_EQ(ds.dsBmih.biBitCount, 32);
    EXPECT_EQ(ds.dsBm.bmWidth, 2);
    DeleteObject(section);
}

TEST_F(BitmapConvert, SectionRoundTripKeepsEveryByte) {
    Rng rng(8);
    for (const int width : {1, 3, 17}) {
        BufferPtr b = randomBuffer(rng, width, 5, false);
        HBITMAP section = bufferToBitmap(b.get());
        ASSERT_NE(section, nullptr);
        // The section is bottom-up: its first row in memory is the last.
        BITMAP bm;
        ASSERT_EQ(GetObjectW(section, sizeof bm, &bm), static_cast<int>(sizeof bm));
        GdiFlush();
        EXPECT_EQ(std::memcmp(bm.bmBits, b->getPixel(0, 4), static_cast<std::size_t>(width) * 4),
                  0);
        BufferPtr back(bitmapToBufferWithAlpha(section));
        ASSERT_TRUE(back);
        EXPECT_EQ(words(*back), words(*b));
        BufferPtr opaque(bitmapToBuffer(section));
        ASSERT_TRUE(opaque);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < width; ++x) {
                const _VORNRGBAQUAD p = at(*b, x, y);
                EXPECT_EQ(at(*opaque, x, y), rgba(p.red, p.green, p.blue, 255));
            }
        }
        DeleteObject(section);
    }
}

TEST_F(BitmapConvert, CompatibleBitmapsFlattenUnlessAlphaIsKept) {
    Rng rng(3);
    BufferPtr b = randomBuffer(rng, 5, 3, false);
    *b->getPixel(0, 0) = rgba(200, 100, 50, 128);
    *b->getPixel(1, 0) = rgba(9, 9, 9, 0);
    b->setBackground(10, 20, 250);
    for (HDC hdc : {display, static_cast<HDC>(nullptr)}) {
        HBITMAP flat = bufferToBitmap(hdc, b.get(), false);
        ASSERT_NE(flat, nullptr);
        BufferPtr seen(bitmapToBuffer(flat));
        ASSERT_TRUE(seen);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(at(*seen, x, y), flattened(*b, x, y)) << x << "," << y;
            }
        }
        EXPECT_EQ(at(*seen, 1, 0), rgba(10, 20, 250));
        DeleteObject(flat);

        HBITMAP kept = bufferToBitmap(hdc, b.get(), true);
        ASSERT_NE(kept, nullptr);
        BufferPtr back(bitmapToBufferWithAlpha(kept));
        ASSERT_TRUE(back);
        EXPECT_EQ(words(*back), words(*b));
        DeleteObject(kept);
    }
}

TEST_F(BitmapConvert, ResampledBitmapsHoldTheResizedBuffer) {
    Rng rng(5);
    BufferPtr b = randomBuffer(rng, 2, 2, true);
    b->setBackground(1, 2, 3);
    BufferPtr expected = makeBuffer(4, 4);
    ASSERT_EQ(b->resize(expected.get()), 0);

    HBITMAP compatible = bufferToBitmap(display, 4, 4, b.get());
    ASSERT_NE(compatible, nullptr);
    BufferPtr seen(bitmapToBuffer(compatible));
    ASSERT_TRUE(seen);
    ASSERT_EQ(seen->getWidth(), 4);
    ASSERT_EQ(seen->getHeight(), 4);
    // 24-bit content: the resized pixels flattened over black (the scratch
    // buffer has no background).
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(at(*seen, x, y), flattened(*expected, x, y)) << x << "," << y;
        }
    }
    DeleteObject(compatible);

    HBITMAP section = bufferToBitmap(4, 4, b.get());
    ASSERT_NE(section, nullptr);
    BufferPtr back(bitmapToBufferWithAlpha(section));
    ASSERT_TRUE(back);
    EXPECT_EQ(words(*back), words(*expected));
    DeleteObject(section);

    EXPECT_EQ(bufferToBitmap(display, 0, 4, b.get()), nullptr);
    EXPECT_EQ(bufferToBitmap(-3, 4, b.get()), nullptr);
}

TEST_F(BitmapConvert, NullAndInvalidArgumentsGiveTheFailureResult) {
    BufferPtr b = makeFilled(2, 2, rgba(1, 2, 3));
    EXPECT_EQ(bufferToBitmap(display, nullptr, false), nullptr);
    EXPECT_EQ(bufferToBitmap(display, 2, 2, nullptr), nullptr);
    EXPECT_EQ(bufferToBitmap(nullptr), nullptr);
    EXPECT_EQ(bufferToBitmap(2, 2, nullptr), nullptr);
    EXPECT_EQ(bitmapToBuffer(nullptr), nullptr);
    EXPECT_EQ(bitmapToBufferWithAlpha(nullptr), nullptr);

    HBITMAP stale = CreateCompatibleBitmap(display, 2, 2);
    DeleteObject(stale);
    EXPECT_EQ(bitmapToBuffer(stale), nullptr);
    EXPECT_EQ(bitmapToBufferWithAlpha(stale), nullptr);
    HDC staleDc = CreateCompatibleDC(nullptr);
    DeleteDC(staleDc);
    EXPECT_EQ(bufferToBitmap(staleDc, b.get(), false), nullptr);

    HBITMAP target = CreateCompatibleBitmap(display, 2, 2);
    EXPECT_FALSE(copyBufferToBitmap(nullptr, target, b.get(), false));
    EXPECT_FALSE(copyBufferToBitmap(display, nullptr, b.get(), false));
    EXPECT_FALSE(copyBufferToBitmap(display, target, nullptr, true));
    EXPECT_TRUE(copyBufferToBitmap(display, target, b.get(), true));
    DeleteObject(target);
}

TEST_F(BitmapConvert, EveryObjectMadeInsideIsReleased) {
    VORN_REQUIRE_GDI_COUNT();
    BufferPtr b = makeFilled(3, 3, rgba(1, 2, 3, 100));
    HBITMAP source = bufferToBitmap(b.get());
    const int before = liveGdiObjects();
    const struct {
        const char* name;
        HBITMAP (*make)(HDC, const VornBuffer*);
    } makers[] = {
        {"compatible", [](HDC hdc, const VornBuffer* v) { return bufferToBitmap(hdc, v, false); }},
        {"display", [](HDC, const VornBuffer* v) { return bufferToBitmap(nullptr, v, true); }},
        {"resized", [](HDC hdc, const VornBuffer* v) { return bufferToBitmap(hdc, 5, 2, v); }},
        {"section", [](HDC, const VornBuffer* v) { return bufferToBitmap(v); }},
        {"resized section", [](HDC, const VornBuffer* v) { return bufferToBitmap(6, 6, v); }},
    };
    for (const auto& m : makers) {
        HBITMAP made = m.make(display, b.get());
        ASSERT_NE(made, nullptr) << m.name;
        EXPECT_EQ(liveGdiObjects(), before + 1) << m.name;
        DeleteObject(made);
        EXPECT_EQ(liveGdiObjects(), before) << m.name;
    }
    BufferPtr read(bitmapToBuffer(source));
    BufferPtr readAlpha(bitmapToBufferWithAlpha(source));
    copyBufferToBitmap(display, source, b.get(), false);
    EXPECT_EQ(liveGdiObjects(), before);
    DeleteObject(source);
}

} // namespace
