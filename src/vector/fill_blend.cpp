// SPDX-License-Identifier: MIT
// Fills that composite instead of overwriting: a polygon with a translucent
// colour, a polygon with a tiled texture, and an axis-aligned rectangle.
// The polygon fills share the scan converter of fillPolygon and replace its
// last pass with the pixel blend.

#include "vector/vector.h"

#include <algorithm>
#include <cstring>
#include <functional>

using namespace vorn::detail;

namespace {

// True when the texture's pixels share memory with [pixels, pixels + count).
bool overlaps(const VornBuffer* texture, const _VORNRGBAQUAD* pixels, std::size_t count) {
    const std::less<const _VORNRGBAQUAD*> before;
    const _VORNRGBAQUAD* t = texture->getPixels();
    const std::size_t texels = static_cast<std::size_t>(texture->getWidth()) *
                               static_cast<std::size_t>(texture->getHeight());
    return before(t, pixels + count) && before(pixels, t + texels);
}

} // namespace

// ---------------------------------------------------------------------------
// The plain last passes
// ---------------------------------------------------------------------------

int VornBuffer::transferMapBlend(const _VORNRGBAQUAD& colour, int minX, int minY, int maxX,
                                 int maxY) {
    const int x0 = std::max(minX, 0);
    const int y0 = std::max(minY, 0);
    const int x1 = std::min(maxX, width - 1);
    const int y1 = std::min(maxY, height - 1);
    const _VORNRGBAQUAD c = colour;
    for (int y = y0; y <= y1; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = x0; x <= x1; ++x) {
            if (edgeMap[row + x] != 0) {
                blendPixel(pixels[row + x], c, 255);
            }
        }
    }
    return 0;
}

int VornBuffer::transferMapBitmap(int count, const VornBuffer* texture, unsigned char opacity) {
    if (!usableTexture(texture)) {
        return 0;
    }
    const _VORNRGBAQUAD* texels = texture->getPixels();
    const int tw = texture->getWidth();
    const int th = texture->getHeight();
    // Texture coordinates advance with every cell, covered or not, so the
    // tiling is fixed to the buffer.
    int x = 0;
    int tx = 0;
    int ty = 0;
    for (int i = 0; i < count; ++i) {
        if (x == width) {
            if (++ty == th) {
                ty = 0;
            }
            x = 0;
            tx = 0;
        }
        if (edgeMap[i] != 0) {
            blendPixel(pixels[i], texels[static_cast<std::size_t>(ty) * tw + tx], opacity);
        }
        if (++tx == tw) {
            tx = 0;
        }
        ++x;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public fills
// ---------------------------------------------------------------------------

int VornBuffer::fillPolygonBlend(const _VORNPOINT* points, const int* sizes, int contours,
                                 unsigned char red, unsigned char green, unsigned char blue,
                                 unsigned char alpha) {
    if (!readablePolygon(points, sizes, contours)) {
        return -1;
    }
    if (alpha == 0) {
        return 0;
    }
    if (!hasPixels(*this)) {
        return 0;
    }
    Painter painter;
    painter.kind = Painter::Blend;
    painter.colour = packColour(red, green, blue, alpha);
    scanFillPolygon(prepareScanSurface(*this), points, sizes, contours, painter, false);
    return 0;
}

int VornBuffer::fillPolygonBitmap(const _VORNPOINT* points, const int* sizes, int contours,
                                  const VornBuffer* texture, unsigned char opacity) {
    if (!readablePolygon(points, sizes, contours)) {
        return -1;
    }
    if (!usableTexture(texture)) {
        return -1;
    }
    if (!hasPixels(*this)) {
        return 0;
    }
    Painter painter;
    painter.kind = Painter::Texture;
    painter.texels = texture->getPixels();
    painter.textureWidth = texture->getWidth();
    painter.textureHeight = texture->getHeight();
    painter.opacity = opacity;
    painter.textureOverlaps = overlaps(
        texture, pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    scanFillPolygon(prepareScanSurface(*this), points, sizes, contours, painter, false);
    return 0;
}

int VornBuffer::fillRectangleBlend(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                                   unsigned char green, unsigned char blue, unsigned char alpha) {
    if (alpha == 0) {
        return 0;
    }
    if (!hasPixels(*this)) {
        return 0;
    }
    // The corners' rectangle kept to the buffer: rows and columns outside
    // it are skipped without being stepped through.
    const int x0 = std::max(p1.x, 0);
    const int x1 = std::min(p2.x, width - 1);
    const int y0 = std::max(p1.y, 0);
    const int y1 = std::min(p2.y, height - 1);
    if (x0 > x1 || y0 > y1) {
        return 0;
    }
    const _VORNRGBAQUAD colour = packColour(red, green, blue, alpha);
    for (int y = y0; y <= y1; ++y) {
        blendColourRow(pixels + static_cast<std::size_t>(y) * width + x0,
                       static_cast<std::size_t>(x1 - x0 + 1), colour);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The plain fills, step by step
// ---------------------------------------------------------------------------

namespace vorn::detail {

int fillPolygonBlendReference(VornBuffer& buffer, const _VORNPOINT* points, const int* sizes,
                              int contours, _VORNRGBAQUAD colour) {
    if (!readablePolygon(points, sizes, contours)) {
        return -1;
    }
    if (colour.alpha == 0 || !hasPixels(buffer)) {
        return 0;
    }
    const ScanSurface s = prepareScanSurface(buffer);
    clearWorkAreas(s);
    // The last pass visits the union of the contours' bounds.
    bool first = true;
    ScanFill::Bounds all;
    mapContoursReference(buffer, s, points, sizes, contours, [&](const ScanFill::Bounds& box) {
        if (first) {
            all = box;
            first = false;
            return;
        }
        all.minX = std::min(all.minX, box.minX);
        all.minY = std::min(all.minY, box.minY);
        all.maxX = std::max(all.maxX, box.maxX);
        all.maxY = std::max(all.maxY, box.maxY);
    });
    std::invoke(Access::transferMapBlendFn, buffer, colour, all.minX, all.minY, all.maxX, all.maxY);
    return 0;
}

int fillPolygonBitmapReference(VornBuffer& buffer, const _VORNPOINT* points, const int* sizes,
                               int contours, const VornBuffer* texture, unsigned char opacity) {
    if (!readablePolygon(points, sizes, contours) || !usableTexture(texture)) {
        return -1;
    }
    if (!hasPixels(buffer)) {
        return 0;
    }
    const ScanSurface s = prepareScanSurface(buffer);
    clearWorkAreas(s);
    mapContoursReference(buffer, s, points, sizes, contours, [](const ScanFill::Bounds&) {});
    std::invoke(Access::transferMapBitmapFn, buffer, s.width * s.height, texture, opacity);
    return 0;
}

} // namespace vorn::detail
