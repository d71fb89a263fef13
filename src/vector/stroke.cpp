// One-pixel line rasterisers: the Bresenham line, the anti-aliased line and
// the dashed line, and the public members that draw them. Every segment is
// clipped to the buffer first; every pixel goes through the pixel blend.

#include "vector/vector.h"

#include <cstdint>
#include <utility>

using vorn::detail::blendPixel;
using vorn::detail::packColour;

namespace {

std::int64_t magnitude(std::int64_t v) {
    return v < 0 ? -v : v;
}

int signOf(std::int64_t v) {
    return v < 0 ? -1 : 1;
}

// The pixels of the integer line from p1 toward p2, in order, one step short
// of p2 (p2 itself only for a one-point segment). The minor axis steps only
// when the error is strictly above 0, so exact diagonals run as y-major.
// `visit(x, y)` is called once per pixel, inside the buffer or not.
template <typename Visit>
void walkLine(_VORNPOINT p1, _VORNPOINT p2, Visit&& visit) {
    const std::int64_t dx = std::int64_t{p2.x} - p1.x;
    const std::int64_t dy = std::int64_t{p2.y} - p1.y;
    const int sx = signOf(dx);
    const int sy = signOf(dy);
    std::int64_t x = p1.x;
    std::int64_t y = p1.y;
    if (dx == 0 && dy == 0) {
        visit(x, y);
        return;
    }
    if (dx == 0) {
        for (; y != p2.y; y += sy) {
            visit(x, y);
        }
        return;
    }
    if (dy == 0) {
        for (; x != p2.x; x += sx) {
            visit(x, y);
        }
        return;
    }
    const std::int64_t ax = magnitude(dx);
    const std::int64_t ay = magnitude(dy);
    if (ax > ay) {
        std::int64_t e = -ax;
        do {
            visit(x, y);
            e += 2 * ay;
            if (e > 0) {
                y += sy;
                e -= 2 * ax;
            }
            x += sx;
        } while (x != p2.x);
        return;
    }
    std::int64_t e = -ay;
    do {
        visit(x, y);
        e += 2 * ax;
        if (e > 0) {
            x += sx;
            e -= 2 * ay;
        }
        y += sy;
    } while (y != p2.y);
}

// Blends one colour into single pixels of a buffer, dropping those outside.
class Plotter {
public:
    Plotter(_VORNRGBAQUAD* pixels, int width, int height)
        : pixels_(pixels), width_(width), height_(height) {}

    void operator()(std::int64_t x, std::int64_t y, const _VORNRGBAQUAD& colour) const {
        if (x < 0 || x >= width_ || y < 0 || y >= height_) {
            return;
        }
        blendPixel(pixels_[y * width_ + x], colour, 255);
    }

private:
    _VORNRGBAQUAD* pixels_;
    int width_;
    int height_;
};

} // namespace

int VornBuffer::strokeLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour,
                           int antiAlias) {
    if (!pixels) {
        return 0;
    }
    if (!ClipLine(p1, p2, 0, 0, width, height)) {
        return 0;
    }
    if (antiAlias != 0) {
        return strokeWuLine(p1, p2, colour);
    }
    // A local copy: the colour may alias a pixel of this buffer.
    const _VORNRGBAQUAD c = colour;
    const Plotter plot(pixels, width, height);
    walkLine(p1, p2, [&](std::int64_t x, std::int64_t y) { plot(x, y, c); });
    return 0;
}

int VornBuffer::strokeDashedLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour) {
    if (!pixels) {
        return 0;
    }
    if (!ClipLine(p1, p2, 0, 0, width, height)) {
        return 0;
    }
    const _VORNRGBAQUAD c = colour;
    const Plotter plot(pixels, width, height);
    // Two steps on, two off, counted along the major axis from the clipped
    // first point, whether or not a step lands inside the buffer.
    unsigned step = 0;
    walkLine(p1, p2, [&](std::int64_t x, std::int64_t y) {
        if (step == 4) {
            step = 0;
        }
        if (step < 2) {
            plot(x, y, c);
        }
        ++step;
    });
    return 0;
}

int VornBuffer::strokeWuLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour) {
    if (!pixels) {
        return 0;
    }
    if (!ClipLine(p1, p2, 0, 0, width, height)) {
        return 0;
    }
    const std::int64_t dx = std::int64_t{p2.x} - p1.x;
    const std::int64_t dy = std::int64_t{p2.y} - p1.y;
    // Axis-parallel lines and the diagonals along which x and y grow
    // together are drawn by the integer line; the other diagonal is not.
    if (dx == 0 || dy == 0 || dx == dy) {
        return strokeLine(p1, p2, colour, 0);
    }
    const _VORNRGBAQUAD full = colour;
    const Plotter plot(pixels, width, height);
    plot(p1.x, p1.y, full);
    plot(p2.x, p2.y, full);

    // The working colour: only its alpha changes, pixel by pixel.
    _VORNRGBAQUAD part = full;
    const unsigned char a = full.alpha;
    const bool xMajor = magnitude(dx) > magnitude(dy);
    // Along the major axis the position on the minor axis is accumulated in
    // single precision, never recomputed, so it drifts as the line grows.
    // Near a buffer edge at 0 the drift can take it just below 0, where
    // truncation still gives 0: the fraction is then negative, and is
    // treated as 0 (the whole colour on the near pixel) so that no share
    // turns negative.
    const int majorEnd = xMajor ? width : height;
    const int minorEnd = xMajor ? height : width;
    if (xMajor ? p1.x > p2.x : p1.y > p2.y) {
        std::swap(p1, p2);
    }
    const int ms = xMajor ? p1.x : p1.y; // major start and end
    const int me = xMajor ? p2.x : p2.y;
    const int ns = xMajor ? p1.y : p1.x; // minor start and end
    const int ne = xMajor ? p2.y : p2.x;
    const float g =
        static_cast<float>(std::int64_t{ne} - ns) / static_cast<float>(std::int64_t{me} - ms);
    float f = static_cast<float>(ns) + g;
    const float minorLimit = static_cast<float>(minorEnd);
    for (std::int64_t m = std::int64_t{ms} + 1; m < me; ++m, f += g) {
        if (m < 0) {
            continue;
        }
        if (m >= majorEnd) {
            break;
        }
        // Outside this range the truncated position lies outside the buffer
        // (and converting it could overflow).
        if (!(f > -1.0f && f < minorLimit)) {
            continue;
        }
        const int n = static_cast<int>(f);
        if (n < 0 || n >= minorEnd) {
            continue;
        }
        const float r = f - static_cast<float>(n);
        const std::int64_t nearX = xMajor ? m : n;
        const std::int64_t nearY = xMajor ? n : m;
        if (r <= 0.0f) {
            plot(nearX, nearY, full);
            continue;
        }
        const unsigned char c =
            static_cast<unsigned char>(static_cast<int>(static_cast<float>(a) * r));
        part.alpha = c;
        if (n + 1 < minorEnd) {
            plot(xMajor ? nearX : nearX + 1, xMajor ? nearY + 1 : nearY, part);
        }
        part.alpha = static_cast<unsigned char>(a - c);
        plot(nearX, nearY, part);
    }
    return 0;
}

int VornBuffer::drawSolidLine(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                              unsigned char green, unsigned char blue, unsigned char alpha) {
    return strokeLine(p1, p2, packColour(red, green, blue, alpha), 0);
}

int VornBuffer::drawSolidLine(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                              unsigned char green, unsigned char blue, unsigned char alpha,
                              int antiAlias) {
    return strokeLine(p1, p2, packColour(red, green, blue, alpha), antiAlias);
}

int VornBuffer::drawDashedLine(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                               unsigned char green, unsigned char blue, unsigned char alpha) {
    return strokeDashedLine(p1, p2, packColour(red, green, blue, alpha));
}
