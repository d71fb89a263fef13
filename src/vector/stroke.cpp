// SPDX-License-Identifier: MIT
// One-pixel line rasterisers: the Bresenham line, the anti-aliased line and
// the dashed line, and the public members that draw them. Every segment is
// clipped to the buffer first; every pixel goes through the pixel blend.

#include "vector/vector.h"

#include <algorithm>
#include <cstddef>
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

// Asks the processor for the cache line of a pixel that a walk will write
// a few steps on. Columns of a large image lie a row apart, each on its own
// line and often its own page, so a steep line otherwise waits on memory
// at nearly every pixel.
inline void prefetchForWrite(const _VORNRGBAQUAD* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p, 1);
#else
    (void)p;
#endif
}

// How many steps ahead a walk prefetches.
constexpr std::int64_t kLookAhead = 16;

// The pixels of the integer line from p1 toward p2, in order, one step short
// of p2 (p2 itself only for a one-point segment). The minor axis steps only
// when the error is strictly above 0, so exact diagonals run as y-major.
// `visit(pixel)` is called once per step with the pixel's address, or null
// for a step outside the buffer.
//
// This is the plain form, which tests every step against the buffer;
// walkInside gives the same steps for segments with both ends inside.
template <typename Visit>
void walkChecked(_VORNRGBAQUAD* pixels, int width, int height, _VORNPOINT p1, _VORNPOINT p2,
                 Visit&& visit) {
    auto at = [&](std::int64_t x, std::int64_t y) -> _VORNRGBAQUAD* {
        if (x < 0 || x >= width || y < 0 || y >= height) {
            return nullptr;
        }
        return pixels + y * width + x;
    };
    const std::int64_t dx = std::int64_t{p2.x} - p1.x;
    const std::int64_t dy = std::int64_t{p2.y} - p1.y;
    const int sx = signOf(dx);
    const int sy = signOf(dy);
    std::int64_t x = p1.x;
    std::int64_t y = p1.y;
    if (dx == 0 && dy == 0) {
        visit(at(x, y));
        return;
    }
    if (dx == 0) {
        for (; y != p2.y; y += sy) {
            visit(at(x, y));
        }
        return;
    }
    if (dy == 0) {
        for (; x != p2.x; x += sx) {
            visit(at(x, y));
        }
        return;
    }
    const std::int64_t ax = magnitude(dx);
    const std::int64_t ay = magnitude(dy);
    if (ax > ay) {
        std::int64_t e = -ax;
        do {
            visit(at(x, y));
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
        visit(at(x, y));
        e += 2 * ax;
        if (e > 0) {
            x += sx;
            e -= 2 * ay;
        }
        y += sy;
    } while (y != p2.y);
}

// The steps of walkChecked for a segment whose ends both lie inside the
// buffer, so that every step does: a pixel pointer moves by one column or
// one row, without bounds tests. (Horizontal and vertical segments are the
// major-axis walks with no minor steps.) A second walker runs kLookAhead
// steps in front and prefetches the pixels the first will write.
template <typename Visit>
void walkInside(_VORNRGBAQUAD* pixels, int width, _VORNPOINT p1, _VORNPOINT p2, Visit&& visit) {
    _VORNRGBAQUAD* p =
        pixels + static_cast<std::ptrdiff_t>(p1.y) * width + static_cast<std::ptrdiff_t>(p1.x);
    const std::int64_t dx = std::int64_t{p2.x} - p1.x;
    const std::int64_t dy = std::int64_t{p2.y} - p1.y;
    const std::int64_t ax = magnitude(dx);
    const std::int64_t ay = magnitude(dy);
    if (ax == 0 && ay == 0) {
        visit(p);
        return;
    }
    const std::ptrdiff_t stepX = dx < 0 ? -1 : 1;
    const std::ptrdiff_t stepY = dy < 0 ? -static_cast<std::ptrdiff_t>(width) : width;
    const bool xMajor = ax > ay;
    const std::int64_t major = xMajor ? ax : ay;
    const std::int64_t twoMajor = 2 * major;
    const std::int64_t twoMinor = 2 * (xMajor ? ay : ax);
    const std::ptrdiff_t majorStep = xMajor ? stepX : stepY;
    const std::ptrdiff_t minorStep = xMajor ? stepY : stepX;
    // The minor step is taken through a mask rather than a branch: for most
    // slopes its pattern defeats branch prediction.
    auto advance = [&](_VORNRGBAQUAD*& q, std::int64_t& e) {
        e += twoMinor;
        const std::int64_t step = -static_cast<std::int64_t>(e > 0);
        q += (minorStep & step) + majorStep;
        e -= twoMajor & step;
    };
    std::int64_t e = -major;
    std::int64_t k = 0;
    // Steps along x share cache lines; steps along y each reach a new row.
    if (!xMajor && major > kLookAhead) {
        _VORNRGBAQUAD* ahead = p;
        std::int64_t aheadError = e;
        for (std::int64_t i = 0; i < kLookAhead; ++i) {
            advance(ahead, aheadError);
        }
        for (; k + kLookAhead < major; ++k) {
            prefetchForWrite(ahead);
            advance(ahead, aheadError);
            visit(p);
            advance(p, e);
        }
    }
    for (; k < major; ++k) {
        visit(p);
        advance(p, e);
    }
}

bool insideBuffer(const _VORNPOINT& p, int width, int height) {
    return p.x >= 0 && p.x < width && p.y >= 0 && p.y < height;
}

template <typename Visit>
void walkLine(_VORNRGBAQUAD* pixels, int width, int height, _VORNPOINT p1, _VORNPOINT p2,
              Visit&& visit) {
    if (insideBuffer(p1, width, height) && insideBuffer(p2, width, height)) {
        walkInside(pixels, width, p1, p2, visit);
    } else {
        walkChecked(pixels, width, height, p1, p2, visit);
    }
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

/// The pixels a rasteriser draws into.
struct Target {
    _VORNRGBAQUAD* pixels;
    int width;
    int height;

    /// The address of pixel p, or null outside the buffer.
    _VORNRGBAQUAD* at(const _VORNPOINT& p) const {
        return insideBuffer(p, width, height)
                   ? pixels + static_cast<std::ptrdiff_t>(p.y) * width + p.x
                   : nullptr;
    }
};

// The steps of a clipped segment: the walk from p1 toward p2, and, when
// clipping moved p2 (`throughEnd`), one step more onto p2 itself, so that a
// line leaving the buffer reaches the edge it leaves through. A one-point
// segment is its one step either way.
template <typename Visit>
void walkClipped(const Target& t, _VORNPOINT p1, _VORNPOINT p2, bool throughEnd, Visit&& visit) {
    walkLine(t.pixels, t.width, t.height, p1, p2, visit);
    if (throughEnd && (p1.x != p2.x || p1.y != p2.y)) {
        visit(t.at(p2));
    }
}

// The Bresenham line of a clipped segment.
void aliasedLine(const Target& t, _VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour,
                 bool throughEnd) {
    // A local copy: the colour may alias a pixel of this buffer.
    const _VORNRGBAQUAD c = colour;
    walkClipped(t, p1, p2, throughEnd, [&](_VORNRGBAQUAD* p) {
        if (p) {
            blendPixel(*p, c, 255);
        }
    });
}

// The anti-aliased line of a clipped segment.
void wuLine(const Target& t, _VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour,
            bool throughEnd) {
    const std::int64_t dx = std::int64_t{p2.x} - p1.x;
    const std::int64_t dy = std::int64_t{p2.y} - p1.y;
    // Axis-parallel lines and the diagonals along which x and y grow
    // together are drawn by the integer line; the other diagonal is not.
    if (dx == 0 || dy == 0 || dx == dy) {
        aliasedLine(t, p1, p2, colour, throughEnd);
        return;
    }
    const _VORNRGBAQUAD full = colour;
    const Plotter plot(t.pixels, t.width, t.height);
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
    const int majorEnd = xMajor ? t.width : t.height;
    const int minorEnd = xMajor ? t.height : t.width;
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
    const float lookAhead = static_cast<float>(kLookAhead);
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
        // The pair of pixels kLookAhead steps on, roughly, for the cache.
        const float fAhead = f + lookAhead * g;
        if (m + kLookAhead < std::min<std::int64_t>(me, majorEnd) && fAhead > 0.0f &&
            fAhead < minorLimit) {
            const std::int64_t nAhead = static_cast<int>(fAhead);
            const std::int64_t mAhead = m + kLookAhead;
            prefetchForWrite(t.pixels +
                             (xMajor ? nAhead * t.width + mAhead : mAhead * t.width + nAhead));
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
}

bool samePoint(const _VORNPOINT& a, const _VORNPOINT& b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

int VornBuffer::strokeLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour,
                           int antiAlias) {
    if (!pixels) {
        return 0;
    }
    const _VORNPOINT end = p2;
    if (!ClipLine(p1, p2, 0, 0, width, height)) {
        return 0;
    }
    const Target t{pixels, width, height};
    if (antiAlias != 0) {
        wuLine(t, p1, p2, colour, !samePoint(p2, end));
    } else {
        aliasedLine(t, p1, p2, colour, !samePoint(p2, end));
    }
    return 0;
}

int VornBuffer::strokeDashedLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour) {
    if (!pixels) {
        return 0;
    }
    const _VORNPOINT end = p2;
    if (!ClipLine(p1, p2, 0, 0, width, height)) {
        return 0;
    }
    const _VORNRGBAQUAD c = colour;
    // Two steps on, two off, counted along the major axis from the clipped
    // first point, whether or not a step lands inside the buffer.
    unsigned step = 0;
    walkClipped(Target{pixels, width, height}, p1, p2, !samePoint(p2, end), [&](_VORNRGBAQUAD* p) {
        if (step == 4) {
            step = 0;
        }
        if (step < 2 && p) {
            blendPixel(*p, c, 255);
        }
        ++step;
    });
    return 0;
}

int VornBuffer::strokeWuLine(_VORNPOINT p1, _VORNPOINT p2, const _VORNRGBAQUAD& colour) {
    if (!pixels) {
        return 0;
    }
    const _VORNPOINT end = p2;
    if (!ClipLine(p1, p2, 0, 0, width, height)) {
        return 0;
    }
    wuLine(Target{pixels, width, height}, p1, p2, colour, !samePoint(p2, end));
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
