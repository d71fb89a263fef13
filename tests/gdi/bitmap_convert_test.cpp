// SPDX-License-Identifier: MIT
// Buffers to and from bitmap handles.

#include "gdi_test.h"

namespace {

// A top-down 32-bit DIB section holding `pixels` (row by row), with the
// given density in its header.
HBITMAP sectionOf(int width, int height, const std::vector<_VORNRGBAQUAD>& pixels,
                  LONG densityX = 0, LONG densityY = 0) {
    BITMAPINFO info = dibHeader(width, -height, 32);
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

TEST_F(BitmapConvert, ReadsTopRowFirstOpaqueOrWithTheFourthByte) {
    // Three pixels a row: 24-bit rows of 9 bytes and 3 of padding.
    const std::vector<_VORNRGBAQUAD> pixels = {rgba(10, 20, 30, 0),   rgba(40, 50, 60, 1),
                                               rgba(70, 80, 90, 128), rgba(11, 21, 31, 255),
                                               rgba(41, 51, 61, 7),   rgba(71, 81, 91, 200)};
    for (const bool section : {false, true}) {
        SCOPED_TRACE(section ? "section" : "compatible bitmap");
        HBITMAP bitmap = section ? sectionOf(3, 2, pixels) : CreateCompatibleBitmap(display, 3, 2);
        BITMAPINFO info = dibHeader(3, -2, 32);
        if (!section) {
            ASSERT_EQ(SetDIBits(display, bitmap, 0, 2, pixels.data(), &info, DIB_RGB_COLORS), 2);
        }
        BufferPtr b(bitmapToBuffer(bitmap));
        BufferPtr withAlpha(bitmapToBufferWithAlpha(bitmap));
        ASSERT_TRUE(b && withAlpha);
        EXPECT_EQ(b->getWidth(), 3);
        EXPECT_EQ(pixelsOf(*b), opaque(pixels));
        EXPECT_EQ(withAlpha->getWidth(), 3);
        EXPECT_EQ(pixelsOf(*withAlpha), pixels);
        DeleteObject(bitmap);
    }
}

TEST_F(BitmapConvert, DensityComesFromTheDibHeaderWhenReported) {
    const LONG cases[][2] = {{1000, 1000}, {1000, 2000}, {0, 0}};
    for (const auto& c : cases) {
        HBITMAP bitmap = sectionOf(1, 1, {rgba(1, 2, 3)}, c[0], c[1]);
        // What this GDI reports for the section decides what the buffer
        // gets: a reported density is taken as pixels per metre, none
        // leaves the default.
        BITMAPINFO probe = dibHeader(1, -1, 24);
        unsigned char row[4];
        GetDIBits(display, bitmap, 0, 1, row, &probe, DIB_RGB_COLORS);
        const LONG rx = probe.bmiHeader.biXPelsPerMeter;
        const LONG ry = probe.bmiHeader.biYPelsPerMeter;
#if !defined(_WIN32)
        EXPECT_EQ(rx, c[0]);
        EXPECT_EQ(ry, c[1]);
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
        DeleteObject(section);
    }
}

TEST_F(BitmapConvert, CompatibleBitmapsFlattenOverTheBackgroundUnlessAlphaIsKept) {
    Rng rng(3);
    BufferPtr b = translucentCase(rng, 5, 3, rgba(10, 20, 250));
    std::vector<_VORNRGBAQUAD> flat = pixelsOf(*b);
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

TEST_F(BitmapConvert, ResampledBitmapsHoldTheResizedBuffer) {
    Rng rng(5);
    BufferPtr b = randomBuffer(rng, 2, 2, true);
    BufferPtr expected = makeBuffer(4, 4);
    ASSERT_EQ(b->resize(expected.get()), 0);
    // The compatible bitmap shows what one made from the resized buffer
    // without alpha shows; the section keeps every byte.
    HBITMAP compatible = bufferToBitmap(display, 4, 4, b.get());
    HBITMAP plain = bufferToBitmap(display, expected.get(), false);
    HBITMAP section = bufferToBitmap(4, 4, b.get());
    BufferPtr seen(bitmapToBuffer(compatible));
    BufferPtr want(bitmapToBuffer(plain));
    BufferPtr back(bitmapToBufferWithAlpha(section));
    ASSERT_TRUE(seen && want && back);
    EXPECT_EQ(seen->getWidth(), 4);
    EXPECT_EQ(pixelsOf(*seen), pixelsOf(*want));
    EXPECT_EQ(words(*back), words(*expected));
    DeleteObject(compatible);
    DeleteObject(plain);
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
    // One object each: the bitmap returned.
    const HBITMAP made[] = {bufferToBitmap(display, b.get(), false),
                            bufferToBitmap(nullptr, b.get(), true),
                            bufferToBitmap(display, 5, 2, b.get()), bufferToBitmap(b.get()),
                            bufferToBitmap(6, 6, b.get())};
    EXPECT_EQ(liveGdiObjects(), before + 5);
    for (HBITMAP m : made) {
        EXPECT_NE(m, nullptr);
        DeleteObject(m);
    }
    BufferPtr read(bitmapToBuffer(source));
    BufferPtr readAlpha(bitmapToBufferWithAlpha(source));
    copyBufferToBitmap(display, source, b.get(), false);
    EXPECT_EQ(liveGdiObjects(), before);
    DeleteObject(source);
}

} // namespace
