// SPDX-License-Identifier: MIT
// Helpers of the GDI tests, which run against the in-memory GDI here and
// against a real GDI on Windows (or under Wine), so that the two are held
// to the same results.
#ifndef VORN_TESTS_GDI_GDI_TEST_H
#define VORN_TESTS_GDI_GDI_TEST_H

#include "gdi/gdi.h"
#include "vorn_test.h"

#include <string>
#include <vector>

using vorn::detail::dibHeader;
using Pixels = std::vector<_VORNRGBAQUAD>;

/// Pixels as a context shows them: a context has no alpha, so the fourth
/// byte is set to 255.
inline Pixels opaque(Pixels pixels) {
    for (_VORNRGBAQUAD& p : pixels) {
        p.alpha = 255;
    }
    return pixels;
}

/// Every pixel of a buffer, row by row.
inline Pixels pixelsOf(const VornBuffer& b) {
    return Pixels(b.getPixels(), b.getPixels() + std::size_t{1} * b.getWidth() * b.getHeight());
}

/// A memory context with a width x height 32-bit top-down DIB section
/// selected into it: a surface whose device pixel (x, y) is at(x, y),
/// first painted with a colour made from its position, so that shifted,
/// flipped or swapped copies cannot pass.
class Canvas {
public:
    Canvas(int width, int height, unsigned seed = 0)
        : width_(width), height_(height), hdc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info = dibHeader(width, -height, 32);
        void* bits = nullptr;
        section_ = CreateDIBSection(hdc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<_VORNRGBAQUAD*>(bits);
        previous_ = SelectObject(hdc_, section_);
        for (int i = 0; i < width * height; ++i) {
            const int x = i % width;
            const int y = i / width;
            bits_[i] = rgba((x * 7 + seed) & 0xFF, (y * 11 + 3 * seed) & 0xFF,
                            (x * 3 + y * 5 + 40) & 0xFF);
        }
    }
    ~Canvas() {
        SelectObject(hdc_, previous_);
        DeleteObject(section_);
        DeleteDC(hdc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC hdc() const { return hdc_; }
    /// The colours (alpha 255) of an area of device pixels, row by row; the
    /// whole surface by default.
    Pixels colours(int x0 = 0, int y0 = 0, int width = -1, int height = -1) const {
        GdiFlush();
        Pixels out;
        for (int y = y0; y < y0 + (height < 0 ? height_ : height); ++y) {
            for (int x = x0; x < x0 + (width < 0 ? width_ : width); ++x) {
                out.push_back(bits_[static_cast<std::size_t>(y) * width_ + x]);
            }
        }
        return opaque(out);
    }
    /// What the surface shows after `image` is blended at device (dx, dy):
    /// the buffer blend of the image over what it shows now.
    Pixels blended(const VornBuffer& image, int dx, int dy) const {
        BufferPtr shown = makeBuffer(width_, height_);
        const Pixels now = colours();
        std::copy(now.begin(), now.end(), shown->getPixels());
        shown->blend(&image, dx, dy);
        return opaque(pixelsOf(*shown));
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
/// does not tell (Wine's GetGuiResources is a stub).
inline int liveGdiObjects() {
#if defined(_WIN32)
    const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return n == 0 ? -1 : static_cast<int>(n);
#else
    return GdiStandInLiveObjects();
#endif
}

/// Random opaque pixels but for (200, 100, 50, 128) at (0, 0) and a
/// transparent pixel at (1, 0), with the given background: a buffer whose
/// copies without alpha show those two over the background.
inline BufferPtr translucentCase(Rng& rng, int width, int height, _VORNRGBAQUAD background) {
    BufferPtr b = makeRandom(rng, width, height, true);
    *b->getPixel(0, 0) = rgba(200, 100, 50, 128);
    *b->getPixel(1, 0) = rgba(9, 9, 9, 0);
    b->setBackground(background.red, background.green, background.blue);
    return b;
}

#endif
