// Helpers of the GDI tests, which run against the in-memory GDI here and
// against a real GDI on Windows (or under Wine).
#ifndef VORN_TESTS_GDI_GDI_TEST_H
#define VORN_TESTS_GDI_GDI_TEST_H

#include "vorn_test.h"

#include <vorn/gdi.h>

#include <cstring>
#include <vector>

/// A memory context with a width x height 32-bit top-down DIB section
/// selected into it: a surface whose device pixels a test reads and sets
/// directly. Device pixel (x, y) is at(x, y).
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        hdc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info;
        std::memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        section_ = CreateDIBSection(hdc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<_VORNRGBAQUAD*>(bits);
        previous_ = SelectObject(hdc_, section_);
    }
    ~Canvas() {
        SelectObject(hdc_, previous_);
        DeleteObject(section_);
        DeleteDC(hdc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC hdc() const { return hdc_; }
    HBITMAP section() const { return section_; }
    int width() const { return width_; }
    int height() const { return height_; }

    _VORNRGBAQUAD& at(int x, int y) {
        GdiFlush();
        return bits_[static_cast<std::size_t>(y) * width_ + x];
    }
    /// The colour of a device pixel as an opaque pixel: a context has no
    /// alpha, so its fourth byte is not compared.
    _VORNRGBAQUAD colour(int x, int y) {
        const _VORNRGBAQUAD p = at(x, y);
        return rgba(p.red, p.green, p.blue, 255);
    }
    /// Every device pixel's colour, row by row.
    std::vector<_VORNRGBAQUAD> colours() {
        std::vector<_VORNRGBAQUAD> out;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                out.push_back(colour(x, y));
            }
        }
        return out;
    }
    /// Fills every pixel with a colour made from its position, so that
    /// shifted, flipped or swapped copies cannot pass.
    void paintPattern(unsigned seed = 0) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                at(x, y) = rgba((x * 7 + seed) & 0xFF, (y * 11 + 3 * seed) & 0xFF,
                                (x * 3 + y * 5 + 40) & 0xFF, 255);
            }
        }
    }

private:
    int width_;
    int height_;
    HDC hdc_;
    HBITMAP section_;
    HGDIOBJ previous_;
    _VORNRGBAQUAD* bits_;
};

/// The number of GDI objects alive in this process, or -1 where the GDI
/// does not tell.
inline int liveGdiObjects() {
#if defined(_WIN32)
    const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return n == 0 ? -1 : static_cast<int>(n);
#else
    return GdiStandInLiveObjects();
#endif
}

#define VORN_REQUIRE_GDI_COUNT()                                                                   \
    do {                                                                                           \
        if (liveGdiObjects() < 0) {                                                                \
            GTEST_SKIP() << "this GDI does not report how many objects are alive";                 \
        }                                                                                          \
    } while (0)

/// A buffer of random pixels with alpha 255, or random alpha.
inline BufferPtr randomBuffer(Rng& rng, int width, int height, bool opaque) {
    BufferPtr b = makeBuffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            _VORNRGBAQUAD p = rng.pixel();
            if (opaque) {
                p.alpha = 255;
            }
            *b->getPixel(x, y) = p;
        }
    }
    return b;
}

/// What a context shows after `p` is copied onto it opaquely: the colour
/// flattened over the buffer's background as the row export does.
inline _VORNRGBAQUAD flattened(const VornBuffer& b, int x, int y) {
    std::vector<unsigned char> row(static_cast<std::size_t>(b.getWidth()) * 3);
    b.getRowRGB(y, row.data(), false);
    return rgba(row[3 * x + 2], row[3 * x + 1], row[3 * x], 255);
}

/// Where the surface of a display context keeps what is painted on it (a
/// headless real GDI may not): paints a pixel and reads it back.
inline bool displayKeepsPixels() {
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (display == nullptr) {
        return false;
    }
    Canvas probe(1, 1);
    probe.at(0, 0) = rgba(12, 34, 56);
    Canvas back(1, 1);
    const bool ok = BitBlt(display, 0, 0, 1, 1, probe.hdc(), 0, 0, SRCCOPY) &&
                    BitBlt(back.hdc(), 0, 0, 1, 1, display, 0, 0, SRCCOPY) &&
                    back.colour(0, 0) == rgba(12, 34, 56);
    DeleteDC(display);
    return ok;
}

#define VORN_REQUIRE_READABLE_DISPLAY()                                                            \
    do {                                                                                           \
        if (!displayKeepsPixels()) {                                                               \
            GTEST_SKIP() << "this GDI's display does not keep what is painted on it";              \
        }                                                                                          \
    } while (0)

#endif
