// SPDX-License-Identifier: MIT
// The GDI behaviour the interop relies on. These run against the in-memory
// GDI here and against a real GDI under Wine, so that the two are held to
// the same results.

#include "gdi_test.h"

#include <algorithm>
#include <climits>

namespace {

// Width, height and bits per pixel of a bitmap.
std::vector<long> describe(HGDIOBJ object) {
    BITMAP bm;
    std::memset(&bm, 0, sizeof bm);
    EXPECT_EQ(GetObjectW(object, sizeof bm, &bm), static_cast<int>(sizeof bm));
    return {bm.bmWidth, bm.bmHeight, bm.bmBitsPixel};
}

// 32-bit words of a bitmap, top row first.
std::vector<std::uint32_t> read32(HDC hdc, HBITMAP bitmap, int width, int height) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
    BITMAPINFO info = dibHeader(width, -height, 32);
    EXPECT_EQ(GetDIBits(hdc, bitmap, 0, height, out.data(), &info, DIB_RGB_COLORS), height);
    return out;
}

// The reds of a canvas's pixels as digits, rows separated by '/'; and the
// same picture painted onto a canvas.
std::string reds(Canvas& c) {
    std::string s;
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            s += static_cast<char>('0' + c.at(x, y).red);
        }
        s += y + 1 < c.height() ? "/" : "";
    }
    return s;
}
void setReds(Canvas& c, const char* picture) {
    for (int i = 0; *picture != 0; ++picture) {
        if (*picture != '/') {
            c.at(i % c.width(), i / c.width()) = rgba(*picture - '0', 0, 0);
            ++i;
        }
    }
}

// 2x2 pixels of DIB memory with reds 5, 6 / 7, 8, shown by StretchDIBits
// at (at, at), top-down or bottom-up.
BOOL showDib(HDC hdc, int at, bool topDown) {
    static const std::uint32_t pixels[4] = {0x50000, 0x60000, 0x70000, 0x80000};
    BITMAPINFO info = dibHeader(2, topDown ? -2 : 2, 32);
    return StretchDIBits(hdc, at, at, 2, 2, 0, 0, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY) ==
           2;
}

struct Gdi : ::testing::Test {
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    ~Gdi() override { DeleteDC(display); }
};

TEST_F(Gdi, BitmapsTakeTheFormatOfTheirContext) {
    // A memory context starts with a 1x1 monochrome bitmap, so bitmaps
    // compatible with it are monochrome; a zero size gives that bitmap.
    HDC memory = CreateCompatibleDC(nullptr);
    Canvas canvas(2, 2);
    const struct {
        const char* name;
        HGDIOBJ object;
        std::vector<long> described;
    } cases[] = {{"stock", GetCurrentObject(memory, OBJ_BITMAP), {1, 1, 1}},
                 {"memory", CreateCompatibleBitmap(memory, 4, 1), {4, 1, 1}},
                 {"32-bit memory", CreateCompatibleBitmap(canvas.hdc(), 3, 3), {3, 3, 32}},
                 {"display", CreateCompatibleBitmap(display, 3, 2), {3, 2, 32}},
                 {"negative height", CreateCompatibleBitmap(display, 4, -5), {4, 5, 32}},
                 {"zero width", CreateCompatibleBitmap(display, 0, 7), {1, 1, 1}}};
    for (const auto& c : cases) {
        EXPECT_EQ(describe(c.object), c.described) << c.name;
        DeleteObject(c.object);
    }
    DeleteDC(memory);
}

TEST_F(Gdi, TwentyFourBitRowsArePaddedAndTheSizeIsQueried) {
    HBITMAP b = CreateCompatibleBitmap(display, 3, 2);
    // Bottom-up 32-bit words: the first row written is the bottom row.
    const std::uint32_t words[6] = {0x80040506, 0x00070809, 0xFF0A0B0C,
                                    0x7F010203, 0x01111213, 0x02212223};
    BITMAPINFO in = dibHeader(3, 2, 32);
    EXPECT_EQ(SetDIBits(display, b, 0, 2, words, &in, DIB_RGB_COLORS), 2);

    BITMAPINFO query = dibHeader(3, -2, 24);
    EXPECT_NE(GetDIBits(display, b, 0, 2, nullptr, &query, DIB_RGB_COLORS), 0);
    EXPECT_EQ(query.bmiHeader.biSizeImage, 24u);

    std::vector<unsigned char> rows(24);
    BITMAPINFO out = dibHeader(3, -2, 24);
    EXPECT_EQ(GetDIBits(display, b, 0, 2, rows.data(), &out, DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows, std::vector<unsigned char>({0x03, 0x02, 0x01, 0x13, 0x12, 0x11, 0x23, 0x22,
                                                0x21, 0,    0,    0,    0x06, 0x05, 0x04, 0x09,
                                                0x08, 0x07, 0x0C, 0x0B, 0x0A, 0,    0,    0}));
    // 32 bits keep the fourth byte; 24-bit rows written give it 0.
    EXPECT_EQ(read32(display, b, 3, 2)[0], 0x7F010203u);
    EXPECT_EQ(read32(display, b, 3, 2)[3], 0x80040506u);
    BITMAPINFO in24 = dibHeader(3, -2, 24);
    EXPECT_EQ(SetDIBits(display, b, 0, 2, rows.data(), &in24, DIB_RGB_COLORS), 2);
    EXPECT_EQ(read32(display, b, 3, 2)[0], 0x00010203u);
    DeleteObject(b);
}

TEST_F(Gdi, CopiesClipOverlapMirrorAndScaleByTheMapping) {
    // Each copy is made onto a fresh surface painted with `before`, from
    // a 2x2 surface whose reds are 1, 2 / 3, 4.
    const struct {
        const char* before;
        BOOL (*copy)(HDC dst, HDC src);
        const char* after;
    } cases[] = {
        {"00000000/00000000", [](HDC d, HDC s) { return BitBlt(d, 6, -1, 2, 2, s, 0, 0, SRCCOPY); },
         "00000034/00000000"},
        {"000000/000000/000000/000000/000000/000000",
         [](HDC d, HDC s) {
             setMapping(d, {MM_ANISOTROPIC, 0, 0, 0, 0, 1, 1, 2, 2});
             return BitBlt(d, 1, 1, 2, 2, s, 0, 0, SRCCOPY);
         },
         "000000/000000/001122/001122/003344/003344"},
        {"123/456/789", [](HDC d, HDC) { return BitBlt(d, 1, 1, 2, 2, d, 0, 0, SRCCOPY); },
         "123/412/745"},
        {"00000000",
         [](HDC d, HDC s) { return StretchBlt(d, 5, 0, -4, 1, s, 0, 0, 2, 1, SRCCOPY); },
         "00221100"},
        {"0000/0000/0000/0000",
         [](HDC d, HDC) { return showDib(d, 0, true) & showDib(d, 2, false); },
         "5600/7800/0078/0056"},
    };
    Canvas src(2, 2);
    setReds(src, "12/34");
    for (const auto& c : cases) {
        const std::string b = c.before;
        Canvas dst(static_cast<int>(b.find('/') < b.size() ? b.find('/') : b.size()),
                   static_cast<int>(std::count(b.begin(), b.end(), '/')) + 1);
        setReds(dst, c.before);
        EXPECT_TRUE(c.copy(dst.hdc(), src.hdc())) << c.after;
        EXPECT_EQ(reds(dst), c.after);
    }
}

TEST_F(Gdi, MappingModesSetTheirExtents) {
    HDC dc = CreateCompatibleDC(nullptr);
    // MM_TEXT: fixed (1, 1); setting succeeds and changes nothing.
    SIZE previous{0, 0};
    EXPECT_TRUE(SetWindowExtEx(dc, 100, 100, &previous));
    EXPECT_EQ(previous.cx, 1);
    EXPECT_EQ(mapping(dc), std::vector<long>({MM_TEXT, 0, 0, 0, 0, 1, 1, 1, 1}));
    // MM_ISOTROPIC starts from the display's size in tenths of millimetres
    // and shrinks the viewport so that both directions scale alike.
    EXPECT_EQ(SetMapMode(dc, MM_ISOTROPIC), MM_TEXT);
    EXPECT_EQ(mapping(dc),
              std::vector<long>({MM_ISOTROPIC, 0, 0, 0, 0, GetDeviceCaps(dc, HORZSIZE) * 10,
                                 GetDeviceCaps(dc, VERTSIZE) * 10, GetDeviceCaps(dc, HORZRES),
                                 -GetDeviceCaps(dc, VERTRES)}));
    struct Case {
        int wx, wy, vx, vy, ex, ey;
    };
    for (const Case c : {Case{10, 10, 30, 20, 20, 20}, Case{10, 10, -30, 20, -20, 20},
                         Case{3, 7, 10, 10, 4, 10}, Case{10, 10, 20, 50, 20, 20}}) {
        SetWindowExtEx(dc, c.wx, c.wy, nullptr);
        SetViewportExtEx(dc, c.vx, c.vy, nullptr);
        EXPECT_EQ(mapping(dc),
                  std::vector<long>({MM_ISOTROPIC, 0, 0, 0, 0, c.wx, c.wy, c.ex, c.ey}));
    }
    // MM_ANISOTROPIC keeps the extents it finds; zero extents are refused.
    SetMapMode(dc, MM_ANISOTROPIC);
    EXPECT_EQ(mapping(dc), std::vector<long>({MM_ANISOTROPIC, 0, 0, 0, 0, 10, 10, 20, 20}));
    EXPECT_FALSE(SetWindowExtEx(dc, 0, 5, nullptr));
    EXPECT_FALSE(SetViewportExtEx(dc, 5, 0, nullptr));
    SetMapMode(dc, MM_TEXT);
    SetMapMode(dc, MM_ANISOTROPIC);
    EXPECT_EQ(mapping(dc), std::vector<long>({MM_ANISOTROPIC, 0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(SetMapMode(dc, 0), 0);
    EXPECT_EQ(SetMapMode(dc, 9), 0);
    EXPECT_EQ(GetMapMode(dc), MM_ANISOTROPIC);
    DeleteDC(dc);
}

TEST_F(Gdi, LogicalToDeviceRoundsHalvesUp) {
    HDC dc = CreateCompatibleDC(nullptr);
    struct Case {
        int windowOrg, windowExt, viewportOrg, viewportExt, logical, device;
    };
    const Case cases[] = {{1, 3, 0, 2, 0, -1},  {1, 3, 0, 2, 1, 0},  {1, 3, 0, 2, 2, 1},
                          {1, 3, 0, 2, 3, 1},   {1, 3, 0, 2, 4, 2},  {1, 3, 0, 2, -1, -1},
                          {0, 2, 0, 1, -3, -1}, {0, 2, 0, 1, -1, 0}, {0, 2, 0, 1, 1, 1},
                          {0, 2, 0, 1, 3, 2},   {0, 2, 0, 1, 5, 3},  {0, 2, 0, 1, -5, -2},
                          {5, 1, 7, 1, 0, 2},   {0, 1, 9, -1, 4, 5}, {-2, 1, 3, 2, 0, 7}};
    for (const Case& c : cases) {
        setMapping(dc, {MM_ANISOTROPIC, c.windowOrg, 0, c.viewportOrg, 0, c.windowExt, 1,
                        c.viewportExt, 1});
        POINT p{c.logical, 0};
        EXPECT_TRUE(LPtoDP(dc, &p, 1));
        EXPECT_EQ(p.x, c.device) << "case " << &c - cases;
    }
    DeleteDC(dc);
}

TEST_F(Gdi, SavedStatesComeBackByLevel) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetViewportExtEx(dc, 3, 5, nullptr);
    const std::vector<long> first = mapping(dc);
    EXPECT_EQ(SaveDC(dc), 1);
    SetMapMode(dc, MM_TEXT);
    EXPECT_EQ(SaveDC(dc), 2);
    SetWindowOrgEx(dc, 7, 7, nullptr);
    EXPECT_TRUE(RestoreDC(dc, 1));
    EXPECT_EQ(mapping(dc), first);
    EXPECT_FALSE(RestoreDC(dc, 1));
    EXPECT_FALSE(RestoreDC(dc, 0));
    EXPECT_FALSE(RestoreDC(dc, -1));
    EXPECT_EQ(SaveDC(dc), 1);
    EXPECT_TRUE(RestoreDC(dc, -1));
    DeleteDC(dc);
}

TEST(GdiMulDiv, RoundsHalvesAwayFromZero) {
    // a, b, c, a x b / c; -1 for a zero divisor or a result out of range.
    const int hi = INT_MAX;
    const int lo = INT_MIN;
    const int m = 1000000;
    const int cases[][4] = {
        {5, 1, 2, 3},   {-5, 1, 2, -3},   {5, 1, -2, -3},  {3, 1, 2, 2},     {-3, 1, 2, -2},
        {7, 3, 0, -1},  {100, 2, 1, 200}, {1, 1, 3, 0},    {2, 1, 3, 1},     {hi, 2, 1, -1},
        {hi, 2, 2, hi}, {lo, 1, 1, -1},   {lo, -1, 1, -1}, {-hi, 1, 1, -hi}, {m, m, m, m},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MulDiv(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
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

TEST_F(Gdi, InvalidHandlesAndHeadersFailWithoutCrashing) {
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    HBITMAP staleBitmap = CreateCompatibleBitmap(display, 1, 1);
    DeleteObject(staleBitmap);
    const std::uintptr_t junk = 0x1234;
    BITMAPINFO info = dibHeader(1, 1, 32);
    std::uint32_t pixel = 0;
    POINT p{0, 0};
    SIZE s{0, 0};
    BITMAP bm;
    for (HDC dc : {static_cast<HDC>(nullptr), stale, reinterpret_cast<HDC>(junk)}) {
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
    for (HBITMAP b :
         {static_cast<HBITMAP>(nullptr), staleBitmap, reinterpret_cast<HBITMAP>(junk)}) {
        EXPECT_EQ(GetObjectW(b, sizeof bm, &bm), 0);
        EXPECT_FALSE(DeleteObject(b));
        EXPECT_EQ(GetDIBits(display, b, 0, 1, &pixel, &info, DIB_RGB_COLORS), 0);
        EXPECT_EQ(SetDIBits(display, b, 0, 1, &pixel, &info, DIB_RGB_COLORS), 0);
    }
    void* bits = &pixel;
    for (const int width : {0, -2}) {
        BITMAPINFO bad = dibHeader(width, 2, 32);
        EXPECT_EQ(CreateDIBSection(display, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(CreateDIBSection(display, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST_F(Gdi, DisplayContextsAreMadeForTheDisplayDriverAndKeepWhatIsPainted) {
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(GetDeviceCaps(display, BITSPIXEL), 32);
    EXPECT_EQ(CreateDCW(L"nonesuch", nullptr, nullptr, nullptr), nullptr);
    Canvas src(3, 2);
    src.paintPattern(9);
    Canvas back(3, 2);
    HDC other = CreateDCW(L"display", nullptr, nullptr, nullptr);
    EXPECT_NE(other, nullptr);
    EXPECT_TRUE(BitBlt(display, 100, 50, 3, 2, src.hdc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(back.hdc(), 0, 0, 3, 2, other, 100, 50, SRCCOPY));
    DeleteDC(other);
#if defined(_WIN32)
    if (back.colours() != src.colours()) {
        GTEST_SKIP() << "this display does not keep what is painted on it";
    }
#endif
    EXPECT_EQ(back.colours(), src.colours());
}

} // namespace
