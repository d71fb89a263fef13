// The GDI behaviour the interop relies on. These run against the in-memory
// GDI here and against a real GDI under Wine, so that the two are held to
// the same results.

#include "gdi_test.h"

#include <climits>

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

BITMAP describe(HGDIOBJ object) {
    BITMAP bm;
    std::memset(&bm, 0, sizeof bm);
    EXPECT_EQ(GetObjectW(object, sizeof bm, &bm), static_cast<int>(sizeof bm));
    return bm;
}

// 32-bit words of a bitmap, top row first.
std::vector<std::uint32_t> read32(HDC hdc, HBITMAP bitmap, int width, int height) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
    BITMAPINFO info = header(width, -height, 32);
    EXPECT_EQ(GetDIBits(hdc, bitmap, 0, height, out.data(), &info, DIB_RGB_COLORS), height);
    return out;
}

struct Gdi : ::testing::Test {
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    ~Gdi() override { DeleteDC(display); }
};

TEST_F(Gdi, DisplayContextsAreMadeOnlyForTheDisplayDriver) {
    EXPECT_NE(display, nullptr);
    EXPECT_EQ(GetDeviceCaps(display, BITSPIXEL), 32);
    HDC lower = CreateDCW(L"display", nullptr, nullptr, nullptr);
    EXPECT_NE(lower, nullptr);
    DeleteDC(lower);
    EXPECT_EQ(CreateDCW(L"nonesuch", nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Gdi, MemoryContextsStartWithAOneByOneMonochromeBitmap) {
    HDC memory = CreateCompatibleDC(nullptr);
    const BITMAP stock = describe(GetCurrentObject(memory, OBJ_BITMAP));
    EXPECT_EQ(stock.bmWidth, 1);
    EXPECT_EQ(stock.bmHeight, 1);
    EXPECT_EQ(stock.bmBitsPixel, 1);
    // A bitmap compatible with such a context is monochrome too ...
    HBITMAP mono = CreateCompatibleBitmap(memory, 4, 1);
    EXPECT_EQ(describe(mono).bmBitsPixel, 1);
    // ... and takes the nearer of black and white for each colour.
    BITMAPINFO info = header(4, 1, 24);
    const unsigned char row[12] = {0, 0, 255, 0, 255, 0, 128, 128, 128, 127, 127, 127};
    EXPECT_EQ(SetDIBits(display, mono, 0, 1, row, &info, DIB_RGB_COLORS), 1);
    const std::vector<std::uint32_t> back = read32(display, mono, 4, 1);
    EXPECT_EQ(back[0] & 0xFFFFFF, 0u);
    EXPECT_EQ(back[1] & 0xFFFFFF, 0u);
    EXPECT_EQ(back[2] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(back[3] & 0xFFFFFF, 0u);
    // With a 32-bit bitmap selected, compatible bitmaps are 32-bit.
    Canvas canvas(2, 2);
    HBITMAP colour = CreateCompatibleBitmap(canvas.hdc(), 3, 3);
    EXPECT_EQ(describe(colour).bmBitsPixel, 32);
    DeleteObject(colour);
    DeleteObject(mono);
    DeleteDC(memory);
}

TEST_F(Gdi, CompatibleBitmapsStartZeroedAndCountSizesByMagnitude) {
    HBITMAP b = CreateCompatibleBitmap(display, 3, 2);
    const BITMAP bm = describe(b);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(read32(display, b, 3, 2), std::vector<std::uint32_t>(6, 0u));
    DeleteObject(b);

    HBITMAP negative = CreateCompatibleBitmap(display, 4, -5);
    EXPECT_EQ(describe(negative).bmWidth, 4);
    EXPECT_EQ(describe(negative).bmHeight, 5);
    DeleteObject(negative);

    HBITMAP empty = CreateCompatibleBitmap(display, 0, 7);
    EXPECT_EQ(describe(empty).bmWidth, 1);
    EXPECT_EQ(describe(empty).bmBitsPixel, 1);
    DeleteObject(empty);
}

TEST_F(Gdi, DibSectionsAreZeroedInTheirRowOrder) {
    for (const int sign : {1, -1}) {
        SCOPED_TRACE(sign > 0 ? "bottom-up" : "top-down");
        BITMAPINFO info = header(2, 3 * sign, 32);
        void* bits = reinterpret_cast<void*>(1);
        HBITMAP s = CreateDIBSection(display, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(s, nullptr);
        const std::uint32_t* memory = static_cast<const std::uint32_t*>(bits);
        EXPECT_EQ(std::vector<std::uint32_t>(memory, memory + 6),
                  std::vector<std::uint32_t>(6, 0u));
        const BITMAP bm = describe(s);
        EXPECT_EQ(bm.bmHeight, 3);
        EXPECT_EQ(bm.bmWidthBytes, 8);
        EXPECT_EQ(bm.bmBits, bits);
        DIBSECTION ds;
        EXPECT_EQ(GetObjectW(s, sizeof ds, &ds), static_cast<int>(sizeof ds));
        EXPECT_EQ(ds.dsBmih.biHeight, 3);

        // The top row written through a top-down DIB lands in memory row 0
        // of a top-down section and in the last of a bottom-up one.
        BITMAPINFO top = header(2, -3, 32);
        const std::uint32_t rows[6] = {0x11, 0x12, 0x21, 0x22, 0x31, 0x32};
        EXPECT_EQ(SetDIBits(display, s, 0, 3, rows, &top, DIB_RGB_COLORS), 3);
        GdiFlush();
        EXPECT_EQ(memory[0], sign < 0 ? 0x11u : 0x31u);
        EXPECT_EQ(memory[5], sign < 0 ? 0x32u : 0x12u);
        DeleteObject(s);
    }
}

TEST_F(Gdi, DibSectionsRefuseBadHeaders) {
    BITMAPINFO zeroWidth = header(0, 2, 32);
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(display, &zeroWidth, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    BITMAPINFO negativeWidth = header(-2, 2, 32);
    EXPECT_EQ(CreateDIBSection(display, &negativeWidth, DIB_RGB_COLORS, &bits, nullptr, 0),
              nullptr);
    EXPECT_EQ(CreateDIBSection(display, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST_F(Gdi, TwentyFourBitRowsArePaddedAndTheSizeIsQueried) {
    HBITMAP b = CreateCompatibleBitmap(display, 3, 2);
    // Bottom-up 32-bit words: the first row written is the bottom row.
    const std::uint32_t words[6] = {0x80040506, 0x00070809, 0xFF0A0B0C,
                                    0x7F010203, 0x01111213, 0x02212223};
    BITMAPINFO in = header(3, 2, 32);
    EXPECT_EQ(SetDIBits(display, b, 0, 2, words, &in, DIB_RGB_COLORS), 2);

    BITMAPINFO query = header(3, -2, 24);
    EXPECT_NE(GetDIBits(display, b, 0, 2, nullptr, &query, DIB_RGB_COLORS), 0);
    EXPECT_EQ(query.bmiHeader.biSizeImage, 24u);

    unsigned char rows[24];
    BITMAPINFO out = header(3, -2, 24);
    EXPECT_EQ(GetDIBits(display, b, 0, 2, rows, &out, DIB_RGB_COLORS), 2);
    const unsigned char expected[24] = {0x03, 0x02, 0x01, 0x13, 0x12, 0x11, 0x23, 0x22,
                                        0x21, 0,    0,    0,    0x06, 0x05, 0x04, 0x09,
                                        0x08, 0x07, 0x0C, 0x0B, 0x0A, 0,    0,    0};
    EXPECT_EQ(std::vector<unsigned char>(rows, rows + 24),
              std::vector<unsigned char>(expected, expected + 24));
    // 32 bits keep the fourth byte; 24-bit rows written give it 0.
    EXPECT_EQ(read32(display, b, 3, 2)[0], 0x7F010203u);
    EXPECT_EQ(read32(display, b, 3, 2)[3], 0x80040506u);
    BITMAPINFO in24 = header(3, -2, 24);
    EXPECT_EQ(SetDIBits(display, b, 0, 2, rows, &in24, DIB_RGB_COLORS), 2);
    EXPECT_EQ(read32(display, b, 3, 2)[0], 0x00010203u);
    DeleteObject(b);
}

TEST_F(Gdi, BitBltCopiesClipsAndStretchesByTheMapping) {
    Canvas src(2, 2);
    src.at(0, 0) = rgba(1, 0, 0, 0);
    src.at(1, 0) = rgba(2, 0, 0, 0);
    src.at(0, 1) = rgba(3, 0, 0, 0);
    src.at(1, 1) = rgba(4, 0, 0, 0);
    Canvas dst(8, 8);
    auto reds = [&] {
        std::string s;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                s += static_cast<char>('0' + dst.at(x, y).red);
            }
            s += '\n';
        }
        return s;
    };
    EXPECT_TRUE(BitBlt(dst.hdc(), 6, -1, 2, 2, src.hdc(), 0, 0, SRCCOPY));
    EXPECT_EQ(reds(), rows({"00000034", "00000000", "00000000", "00000000", "00000000", "00000000",
                            "00000000", "00000000"}));
    // A whole 32-bit word is copied, fourth byte included.
    EXPECT_EQ(dst.at(6, 0), rgba(3, 0, 0, 0));

    Canvas scaled(8, 8);
    SetMapMode(scaled.hdc(), MM_ANISOTROPIC);
    SetWindowExtEx(scaled.hdc(), 1, 1, nullptr);
    SetViewportExtEx(scaled.hdc(), 2, 2, nullptr);
    EXPECT_TRUE(BitBlt(scaled.hdc(), 1, 1, 2, 2, src.hdc(), 0, 0, SRCCOPY));
    std::string s;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            s += static_cast<char>('0' + scaled.at(x, y).red);
        }
        s += '\n';
    }
    EXPECT_EQ(s, rows({"00000000", "00000000", "00112200", "00112200", "00334400", "00334400",
                       "00000000", "00000000"}));
}

TEST_F(Gdi, OverlappingCopiesWithinOneSurfaceReadThePixelsAsTheyWere) {
    Canvas c(6, 2);
    for (int x = 0; x < 6; ++x) {
        c.at(x, 0) = rgba(x + 1, 0, 0);
        c.at(x, 1) = rgba(x + 1, 0, 0);
    }
    EXPECT_TRUE(BitBlt(c.hdc(), 1, 0, 4, 1, c.hdc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(c.hdc(), 0, 1, 4, 1, c.hdc(), 1, 1, SRCCOPY));
    std::string s;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 6; ++x) {
            s += static_cast<char>('0' + c.at(x, y).red);
        }
    }
    EXPECT_EQ(s, "112346"
                 "234556");
}

TEST_F(Gdi, NegativeExtentsMirror) {
    Canvas src(2, 1);
    src.at(0, 0) = rgba(1, 0, 0);
    src.at(1, 0) = rgba(2, 0, 0);
    Canvas dst(8, 1);
    EXPECT_TRUE(StretchBlt(dst.hdc(), 5, 0, -4, 1, src.hdc(), 0, 0, 2, 1, SRCCOPY));
    std::string s;
    for (int x = 0; x < 8; ++x) {
        s += static_cast<char>('0' + dst.at(x, 0).red);
    }
    EXPECT_EQ(s, "00221100");
}

TEST_F(Gdi, StretchDIBitsShowsTopDownAndBottomUpImagesUpright) {
    Canvas dst(4, 4);
    const std::uint32_t words[4] = {5, 6, 7, 8};
    BITMAPINFO topDown = header(2, -2, 32);
    EXPECT_EQ(
        StretchDIBits(dst.hdc(), 0, 0, 2, 2, 0, 0, 2, 2, words, &topDown, DIB_RGB_COLORS, SRCCOPY),
        2);
    BITMAPINFO bottomUp = header(2, 2, 32);
    EXPECT_EQ(
        StretchDIBits(dst.hdc(), 2, 2, 2, 2, 0, 0, 2, 2, words, &bottomUp, DIB_RGB_COLORS, SRCCOPY),
        2);
    EXPECT_EQ(word(dst.at(0, 0)), 5u);
    EXPECT_EQ(word(dst.at(1, 1)), 8u);
    EXPECT_EQ(word(dst.at(2, 2)), 7u);
    EXPECT_EQ(word(dst.at(3, 3)), 6u);
}

TEST_F(Gdi, MappingModesSetTheirExtents) {
    HDC dc = CreateCompatibleDC(nullptr);
    SIZE w{0, 0};
    SIZE v{0, 0};
    auto extents = [&] {
        GetWindowExtEx(dc, &w);
        GetViewportExtEx(dc, &v);
    };
    // MM_TEXT: fixed (1, 1); setting succeeds and changes nothing.
    SIZE previous{0, 0};
    EXPECT_TRUE(SetWindowExtEx(dc, 100, 100, &previous));
    EXPECT_EQ(previous.cx, 1);
    extents();
    EXPECT_EQ(w.cx, 1);
    EXPECT_EQ(v.cy, 1);
    // MM_ISOTROPIC starts from the display's size in tenths of millimetres.
    EXPECT_EQ(SetMapMode(dc, MM_ISOTROPIC), MM_TEXT);
    extents();
    EXPECT_EQ(w.cx, GetDeviceCaps(dc, HORZSIZE) * 10);
    EXPECT_EQ(w.cy, GetDeviceCaps(dc, VERTSIZE) * 10);
    EXPECT_EQ(v.cx, GetDeviceCaps(dc, HORZRES));
    EXPECT_EQ(v.cy, -GetDeviceCaps(dc, VERTRES));
    // ... and shrinks the viewport so that both directions scale alike.
    struct Case {
        int wx, wy, vx, vy, ex, ey;
    };
    for (const Case c : {Case{10, 10, 30, 20, 20, 20}, Case{10, 10, -30, 20, -20, 20},
                         Case{3, 7, 10, 10, 4, 10}, Case{10, 10, 20, 50, 20, 20}}) {
        SetWindowExtEx(dc, c.wx, c.wy, nullptr);
        SetViewportExtEx(dc, c.vx, c.vy, nullptr);
        extents();
        EXPECT_EQ(v.cx, c.ex) << c.wx << "," << c.wy << " " << c.vx << "," << c.vy;
        EXPECT_EQ(v.cy, c.ey) << c.wx << "," << c.wy << " " << c.vx << "," << c.vy;
    }
    // MM_ANISOTROPIC keeps the extents it finds; zero extents are refused.
    SetMapMode(dc, MM_ANISOTROPIC);
    extents();
    EXPECT_EQ(w.cx, 10);
    EXPECT_EQ(v.cy, 20);
    EXPECT_FALSE(SetWindowExtEx(dc, 0, 5, nullptr));
    EXPECT_FALSE(SetViewportExtEx(dc, 5, 0, nullptr));
    SetMapMode(dc, MM_TEXT);
    SetMapMode(dc, MM_ANISOTROPIC);
    extents();
    EXPECT_EQ(w.cx, 1);
    EXPECT_EQ(v.cx, 1);
    EXPECT_EQ(SetMapMode(dc, 0), 0);
    EXPECT_EQ(SetMapMode(dc, 9), 0);
    EXPECT_EQ(GetMapMode(dc), MM_ANISOTROPIC);
    DeleteDC(dc);
}

TEST_F(Gdi, LogicalToDeviceRoundsHalvesUp) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetMapMode(dc, MM_ANISOTROPIC);
    struct Case {
        int windowOrg, windowExt, viewportOrg, viewportExt, logical, device;
    };
    const Case cases[] = {
        {1, 3, 0, 2, 0, -1}, {1, 3, 0, 2, 1, 0},   {1, 3, 0, 2, 2, 1},   {1, 3, 0, 2, 3, 1},
        {1, 3, 0, 2, 4, 2},  {1, 3, 0, 2, -1, -1}, {0, 2, 0, 1, -3, -1}, {0, 2, 0, 1, -1, 0},
        {0, 2, 0, 1, 1, 1},  {0, 2, 0, 1, 3, 2},   {0, 2, 0, 1, 5, 3},   {0, 2, 0, 1, -5, -2},
        {5, 1, 7, 1, 0, 2},  {0, 1, 9, -1, 4, 5},  {-2, 1, 3, 2, 0, 7},
    };
    for (const Case& c : cases) {
        SetWindowOrgEx(dc, c.windowOrg, 0, nullptr);
        SetWindowExtEx(dc, c.windowExt, 1, nullptr);
        SetViewportOrgEx(dc, c.viewportOrg, 0, nullptr);
        SetViewportExtEx(dc, c.viewportExt, 1, nullptr);
        POINT p{c.logical, 0};
        EXPECT_TRUE(LPtoDP(dc, &p, 1));
        EXPECT_EQ(p.x, c.device) << "logical " << c.logical << " window " << c.windowOrg << "/"
                                 << c.windowExt << " viewport " << c.viewportOrg << "/"
                                 << c.viewportExt;
    }
    DeleteDC(dc);
}

TEST_F(Gdi, SavedStatesComeBackByLevel) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetViewportExtEx(dc, 3, 5, nullptr);
    EXPECT_EQ(SaveDC(dc), 1);
    SetMapMode(dc, MM_TEXT);
    EXPECT_EQ(SaveDC(dc), 2);
    SetWindowOrgEx(dc, 7, 7, nullptr);
    EXPECT_TRUE(RestoreDC(dc, 1));
    SIZE v{0, 0};
    POINT o{1, 1};
    GetViewportExtEx(dc, &v);
    GetWindowOrgEx(dc, &o);
    EXPECT_EQ(GetMapMode(dc), MM_ANISOTROPIC);
    EXPECT_EQ(v.cx, 3);
    EXPECT_EQ(v.cy, 5);
    EXPECT_EQ(o.x, 0);
    EXPECT_FALSE(RestoreDC(dc, 1));
    EXPECT_FALSE(RestoreDC(dc, 0));
    EXPECT_FALSE(RestoreDC(dc, -1));
    EXPECT_EQ(SaveDC(dc), 1);
    EXPECT_TRUE(RestoreDC(dc, -1));
    DeleteDC(dc);
}

TEST(GdiMulDiv, RoundsHalvesAwayFromZero) {
    struct Case {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {5, 1, -2, -3},
        {3, 1, 2, 2},
        {-3, 1, 2, -2},
        {7, 3, 0, -1},
        {INT_MAX, 2, 1, -1},
        {INT_MAX, 2, 2, INT_MAX},
        {100, 2, 1, 200},
        {1, 1, 3, 0},
        {2, 1, 3, 1},
        {INT_MIN, 1, 1, -1},
        {-INT_MAX, 1, 1, -INT_MAX},
        {INT_MIN, -1, 1, -1},
        {1000000, 1000000, 1000000, 1000000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " " << c.b << " " << c.c;
    }
}

TEST_F(Gdi, SelectionIsExclusiveAndDeletionWaitsForIt) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(display, 2, 2);
    HGDIOBJ stock = SelectObject(a, bitmap);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr);
    EXPECT_EQ(SelectObject(display, bitmap), nullptr);
    EXPECT_TRUE(DeleteObject(bitmap));
    BITMAP bm;
    EXPECT_EQ(GetObjectW(bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(SelectObject(a, stock), bitmap);
    EXPECT_EQ(GetObjectW(bitmap, sizeof bm, &bm), 0);
    DeleteDC(b);
    DeleteDC(a);
}

TEST_F(Gdi, InvalidHandlesFailWithoutCrashing) {
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    HBITMAP staleBitmap = CreateCompatibleBitmap(display, 1, 1);
    DeleteObject(staleBitmap);
    const HDC badDcs[] = {nullptr, stale,
                          reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x1234))};
    const HBITMAP badBitmaps[] = {nullptr, staleBitmap,
                                  reinterpret_cast<HBITMAP>(static_cast<std::uintptr_t>(0x1234))};
    BITMAPINFO info = header(1, 1, 32);
    std::uint32_t pixel = 0;
    POINT p{0, 0};
    SIZE s{0, 0};
    BITMAP bm;
    for (HDC dc : badDcs) {
        EXPECT_EQ(CreateCompatibleBitmap(dc, 2, 2), nullptr);
        EXPECT_EQ(SetMapMode(dc, MM_TEXT), 0);
        EXPECT_FALSE(LPtoDP(dc, &p, 1));
        EXPECT_FALSE(SetWindowOrgEx(dc, 1, 1, nullptr));
        EXPECT_FALSE(GetViewportExtEx(dc, &s));
        EXPECT_EQ(SaveDC(dc), 0);
        EXPECT_FALSE(RestoreDC(dc, 1));
        EXPECT_FALSE(DeleteDC(dc));
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, display, 0, 0, SRCCOPY));
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, &pixel, &info, DIB_RGB_COLORS, SRCCOPY),
                  0);
    }
    for (HBITMAP b : badBitmaps) {
        EXPECT_EQ(GetObjectW(b, sizeof bm, &bm), 0);
        EXPECT_FALSE(DeleteObject(b));
        EXPECT_EQ(GetDIBits(display, b, 0, 1, &pixel, &info, DIB_RGB_COLORS), 0);
        EXPECT_EQ(SetDIBits(display, b, 0, 1, &pixel, &info, DIB_RGB_COLORS), 0);
    }
}

TEST_F(Gdi, TheDisplayKeepsWhatIsPaintedOnIt) {
    VORN_REQUIRE_READABLE_DISPLAY();
    Canvas src(3, 2);
    src.paintPattern(9);
    ASSERT_TRUE(BitBlt(display, 100, 50, 3, 2, src.hdc(), 0, 0, SRCCOPY));
    HDC other = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    Canvas back(3, 2);
    ASSERT_TRUE(BitBlt(back.hdc(), 0, 0, 3, 2, other, 100, 50, SRCCOPY));
    EXPECT_EQ(back.colours(), src.colours());
    DeleteDC(other);
}

} // namespace
