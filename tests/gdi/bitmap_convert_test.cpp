// SPDX-License-Identifier: MIT
// Buffers to and from bitmap handles.

#include "gdi_test.h"

namespace {

// A top-down 32-bit DIB section holding `pixels` (row by row), with the
// given density in its header.
HBITMAP sectionOf(int width, int height, const Pixels& pixels, LONG densityX = 0,
                  LONG densityY = 0) {
    BITMAPINFO info = dibHeader(width, -height, 32);
    info.bmiHeader.biXPelsPerMeter = densityX;
    info.bmiHeader.biYPelsPerMeter = densityY;
    void* bits = nullptr;
    HBITMAP s = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    return s;
}

struct BitmapConvert : ::testing::Test {
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    ~BitmapConvert() override { DeleteDC(display); }
};

// Three pixels a row: 24-bit rows of 9 bytes and 3 of padding. A density
// the GDI reports for a section is taken as pixels per metre; none leaves
// the default.
TEST_F(BitmapConvert, ReadsTopRowFirstOpaqueOrWithTheFourthByte) {
    const Pixels pixels = {rgba(10, 20, 30, 0),   rgba(40, 50, 60, 1), rgba(70, 80, 90, 128),
                           rgba(11, 21, 31, 255), rgba(41, 51, 61, 7), rgba(71, 81, 91, 200)};
    for (const auto& [section, density] : {std::pair{false, 0}, {true, 0}, {true, 1000}}) {
        SCOPED_TRACE(::testing::Message() << section << " " << density);
        HBITMAP bitmap = section ? sectionOf(3, 2, pixels, density, 2 * density)
                                 : CreateCompatibleBitmap(display, 3, 2);
        BITMAPINFO info = dibHeader(3, -2, 32);
        ASSERT_TRUE(section ||
                    SetDIBits(display, bitmap, 0, 2, pixels.data(), &info, DIB_RGB_COLORS) == 2);
        // What this GDI reports for the bitmap (Wine never reports one).
        BITMAPINFO probe = dibHeader(3, -2, 24);
        unsigned char rows[24];
        GetDIBits(display, bitmap, 0, 2, rows, &probe, DIB_RGB_COLORS);
        const LONG rx = probe.bmiHeader.biXPelsPerMeter;
        const LONG ry = probe.bmiHeader.biYPelsPerMeter;
#if !defined(_WIN32)
        EXPECT_EQ(rx, density);
#endif
        for (const bool alpha : {false, true}) {
            BufferPtr b(alpha ? bitmapToBufferWithAlpha(bitmap) : bitmapToBuffer(bitmap));
            ASSERT_TRUE(b);
            EXPECT_EQ(pixelsOf(*b), alpha ? pixels : opaque(pixels));
            EXPECT_EQ(b->getPixelsPerMetreX(), rx || ry ? rx : 3780);
            EXPECT_EQ(b->getPixelsPerMetreY(), rx || ry ? ry : 3780);
        }
        DeleteObject(bitmap);
    }
}

// A section keeps every byte, bottom-up (its first row in memory is the
// last), with the buffer's density in pixels per metre; a compatible
// bitmap flattens onto the background unless alpha is kept.
TEST_F(BitmapConvert, SectionsKeepEveryByteAndCompatibleBitmapsFlatten) {
    Rng rng(8);
    for (const int width : {1, 3, 17}) {
        BufferPtr b = makeRandom(rng, width, 5);
        b->setDensity(1, 96, 72);
        HBITMAP section = bufferToBitmap(b.get());
        DIBSECTION ds;
        ASSERT_EQ(GetObjectW(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
        EXPECT_EQ(ds.dsBmih.biXPelsPerMeter, 3779);
        EXPECT_EQ(ds.dsBmih.biYPelsPerMeter, 2834);
        EXPECT_EQ(ds.dsBmih.biBitCount, 32);
        GdiFlush();
        EXPECT_EQ(std::memcmp(ds.dsBm.bmBits, b->getPixel(0, 4), std::size_t{4} * width), 0);
        BufferPtr back(bitmapToBufferWithAlpha(section));
        ASSERT_TRUE(back);
        EXPECT_EQ(words(*back), words(*b));
        DeleteObject(section);
    }
    BufferPtr b = translucentCase(rng, 5, 3, rgba(10, 20, 250));
    Pixels flat = pixelsOf(*b);
    flat[0] = rgba(104, 59, 149);
    flat[1] = rgba(10, 20, 250);
    for (HDC hdc : {display, static_cast<HDC>(nullptr)}) {
        HBITMAP compatible = bufferToBitmap(hdc, b.get(), false);
        HBITMAP kept = bufferToBitmap(hdc, b.get(), true);
        BufferPtr seen(bitmapToBuffer(compatible));
        BufferPtr back(bitmapToBufferWithAlpha(kept));
        ASSERT_TRUE(seen && back);
        EXPECT_EQ(pixelsOf(*seen), flat);
        EXPECT_EQ(words(*back), words(*b));
        DeleteObject(compatible);
        DeleteObject(kept);
    }
}

// Null and invalid arguments give each function's failure result; every
// object made inside is released, and each bitmap returned is one object.
TEST_F(BitmapConvert, FailuresAndObjectsMadeInside) {
    BufferPtr b = makeFilled(3, 3, rgba(1, 2, 3, 100));
    HBITMAP stale = CreateCompatibleBitmap(display, 2, 2);
    DeleteObject(stale);
    HDC staleDc = CreateCompatibleDC(nullptr);
    DeleteDC(staleDc);
    for (HBITMAP bitmap : {static_cast<HBITMAP>(nullptr), stale}) {
        EXPECT_EQ(bitmapToBuffer(bitmap), nullptr);
        EXPECT_EQ(bitmapToBufferWithAlpha(bitmap), nullptr);
    }
    EXPECT_EQ(bufferToBitmap(display, nullptr, false), nullptr);
    EXPECT_EQ(bufferToBitmap(display, 2, 2, nullptr), nullptr);
    EXPECT_EQ(bufferToBitmap(nullptr), nullptr);
    EXPECT_EQ(bufferToBitmap(2, 2, nullptr), nullptr);
    EXPECT_EQ(bufferToBitmap(staleDc, b.get(), false), nullptr);
    HBITMAP target = CreateCompatibleBitmap(display, 2, 2);
    EXPECT_FALSE(copyBufferToBitmap(nullptr, target, b.get(), false));
    EXPECT_FALSE(copyBufferToBitmap(display, nullptr, b.get(), false));
    EXPECT_FALSE(copyBufferToBitmap(display, target, nullptr, true));
    EXPECT_TRUE(copyBufferToBitmap(display, target, b.get(), true));
    const int before = liveGdiObjects();
    const HBITMAP made[] = {bufferToBitmap(display, b.get(), false),
                            bufferToBitmap(nullptr, b.get(), true),
                            bufferToBitmap(display, 5, 2, b.get()), bufferToBitmap(b.get()),
                            bufferToBitmap(6, 6, b.get())};
    EXPECT_TRUE(before < 0 || liveGdiObjects() == before + 5);
    for (HBITMAP m : made) {
        EXPECT_NE(m, nullptr);
        DeleteObject(m);
    }
    BufferPtr read(bitmapToBuffer(target));
    BufferPtr readAlpha(bitmapToBufferWithAlpha(target));
    copyBufferToBitmap(display, target, b.get(), false);
    EXPECT_TRUE(before < 0 || liveGdiObjects() == before);
    DeleteObject(target);
}

} // namespace
