// SPDX-License-Identifier: MIT
// Helpers of the GDI tests, which run against the in-memory GDI here and
// against a real GDI on Windows (or under Wine).
#ifndef VORN_TESTS_GDI_GDI_TEST_H
#define VORN_TESTS_GDI_GDI_TEST_H

#include "gdi/gdi.h"
#include "vorn_test.h"

#include <string>
#include <vector>

using vorn::detail::dibHeader;

/// Pixels as a context shows them: a context has no alpha, so the fourth
/// byte is set to 255.
inline std::vector<_VORNRGBAQUAD> opaque(std::vector<_VORNRGBAQUAD> pixels) {
    for (_VORNRGBAQUAD& p : pixels) {
        p.alpha = 255;
    }
    return pixels;
}

/// Every pixel of a buffer, row by row.
inline std::vector<_VORNRGBAQUAD> pixelsOf(const VornBuffer& b) {
    return std::vector<_VORNRGBAQUAD>(
        b.getPixels(), b.getPixels() + static_cast<std::size_t>(b.getWidth()) * b.getHeight());
}

/// The positions of an area of width x height pixels from (x0, y0).
inline PixelSet areaSet(int x0, int y0, int width, int height) {
    PixelSet out;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            out.insert({x, y});
        }
    }
    return out;
}

/// A memory context with a width x height 32-bit top-down DIB section
/// selected into it: a surface whose device pixel (x, y) is at(x, y).
class Canvas {
public:
    Canvas(int width, int height)
        : width_(width), height_(height), hdc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = dibHeader(width, -height, 32);
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
    int width() const { return width_; }
    int height() const { return height_; }
    _VORNRGBAQUAD& at(int x, int y) {
        GdiFlush();
        return bits_[static_cast<std::size_t>(y) * width_ + x];
    }
    /// The colours (alpha 255) of an area of device pixels, row by row; the
    /// whole surface by default.
    std::vector<_VORNRGBAQUAD> colours(int x0 = 0, int y0 = 0, int width = -1, int height = -1) {
        std::vector<_VORNRGBAQUAD> out;
        for (int y = y0; y < y0 + (height < 0 ? height_ : height); ++y) {
            for (int x = x0; x < x0 + (width < 0 ? width_ : width); ++x) {
                out.push_back(at(x, y));
            }
        }
        return opaque(out);
    }
    /// The positions whose colour differs from `before` (a whole surface).
    PixelSet changes(const std::vector<_VORNRGBAQUAD>& before) {
        const std::vector<_VORNRGBAQUAD> now = colours();
        PixelSet out;
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i] != before[i]) {
                out.insert({static_cast<int>(i % width_), static_cast<int>(i / width_)});
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

/// A context's mapping mode, window and viewport origins and extents.
inline std::vector<long> mapping(HDC hdc) {
    POINT o[2] = {{0, 0}, {0, 0}};
    SIZE e[2] = {{0, 0}, {0, 0}};
    GetWindowOrgEx(hdc, &o[0]);
    GetViewportOrgEx(hdc, &o[1]);
    GetWindowExtEx(hdc, &e[0]);
    GetViewportExtEx(hdc, &e[1]);
    return {GetMapMode(hdc), o[0].x, o[0].y, o[1].x, o[1].y, e[0].cx, e[0].cy, e[1].cx, e[1].cy};
}

/// Sets a context's mapping from values in the order mapping() gives them:
/// the mode, both origins, then the window and the viewport extent.
inline void setMapping(HDC hdc, const std::vector<long>& m) {
    SetMapMode(hdc, m[0]);
    SetWindowOrgEx(hdc, m[1], m[2], nullptr);
    SetViewportOrgEx(hdc, m[3], m[4], nullptr);
    SetWindowExtEx(hdc, m[5], m[6], nullptr);
    SetViewportExtEx(hdc, m[7], m[8], nullptr);
}

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

/// Expects `more` objects alive beyond `before`, where the GDI tells.
inline void expectLive(int before, int more) {
    if (before >= 0) {
        EXPECT_EQ(liveGdiObjects(), before + more);
    }
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
    for (int i = 0; i < width * height; ++i) {
        b->getPixels()[i] = rng.pixel();
        if (opaque) {
            b->getPixels()[i].alpha = 255;
        }
    }
    return b;
}

/// Random opaque pixels but for (200, 100, 50, 128) at (0, 0) and a
/// transparent pixel at (1, 0), with the given background: a buffer whose
/// copies without alpha show those two over the background.
inline BufferPtr translucentCase(Rng& rng, int width, int height, _VORNRGBAQUAD background) {
    BufferPtr b = randomBuffer(rng, width, height, true);
    *b->getPixel(0, 0) = rgba(200, 100, 50, 128);
    *b->getPixel(1, 0) = rgba(9, 9, 9, 0);
    b->setBackground(background.red, background.green, background.blue);
    return b;
}

#endif
