// SPDX-License-Identifier: MIT
// The polygon scan converter in its plain form: every edge of a contour is
// walked step by step into the buffer's edgeMap (crossings and border
// marks), the map pass turns the crossings into covered cells row by row,
// and the transfer writes every covered pixel. fillPolygon runs the same
// algorithm through the span scan converter (edge_trace.cpp,
// span_pass.cpp), which gives the same pixels at a cost that follows the
// polygon; fillPolygonReference runs this plain form.
//
// Cells: bits 0-3 count crossings of edges along which y grows, bits 4-7
// those along which y shrinks, 256 marks a border pixel without a crossing;
// after the map pass a cell is 0, 256 (border outside the winding) or 512
// (covered). rowCarry counts, per row, the net crossings left of the buffer.

#include "vector/vector.h"

#include <algorithm>
#include <cstring>
#include <functional>

using namespace vorn::detail;

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

namespace vorn::detail {

std::size_t rowCarryCells(int width, int height) {
    return bandCellsOffset(height) +
           static_cast<std::size_t>(std::min(height, kBandRows)) * static_cast<std::size_t>(width);
}

bool hasPixels(const VornBuffer& buffer) {
    return buffer.getPixels() != nullptr && buffer.getWidth() > 0 && buffer.getHeight() > 0;
}

bool readablePolygon(const _VORNPOINT* points, const int* sizes, int contours) {
    if (contours < 1) {
        return false;
    }
    if (!sizes) {
        return false;
    }
    if (sizes[0] < 1) {
        return false;
    }
    return points != nullptr;
}

bool usableTexture(const VornBuffer* texture) {
    return texture != nullptr && hasPixels(*texture);
}

ScanSurface prepareScanSurface(VornBuffer& buffer) {
    unsigned short*& map = Access::edgeMapOf(buffer);
    unsigned short*& carry = Access::rowCarryOf(buffer);
    const int width = Access::widthOf(buffer);
    const int height = Access::heightOf(buffer);
    const bool hadMap = map != nullptr;
    const bool hadCarry = carry != nullptr;
    // Allocated zeroed, so a buffer's first fill needs no clearing pass.
    if (!hadMap) {
        map = new unsigned short[static_cast<std::size_t>(width) *
                                 static_cast<std::size_t>(height)]();
    }
    if (!hadCarry) {
        carry = new unsigned short[rowCarryCells(width, height)]();
    }
    if (hadMap != hadCarry) {
        markWorkAreasDirty(carry, height);
    }
    return ScanSurface{Access::pixelsOf(buffer), width, height, map, carry};
}

void clearWorkAreas(const ScanSurface& s) {
    const std::size_t h = static_cast<std::size_t>(s.height);
    std::memset(s.edgeMap, 0, static_cast<std::size_t>(s.width) * h * sizeof *s.edgeMap);
    std::memset(s.rowCarry, 0, h * sizeof *s.rowCarry);
}

std::int64_t distinctContourSize(const _VORNPOINT* points, std::int64_t n) {
    while (n > 1 && points[n - 1].x == points[0].x && points[n - 1].y == points[0].y) {
        --n;
    }
    return n;
}

int extremumRunFlag(const _VORNPOINT* points, std::int64_t n, std::int64_t i) {
    const _VORNPOINT& a = points[i];
    const _VORNPOINT& b = points[(i + 1) % n];
    const _VORNPOINT& v = points[(i + n - 1) % n];
    if (a.y != b.y || v.y == a.y) {
        return 0;
    }
    // The first point after the run that leaves its row, looking at most at
    // the n - 2 points other than a and b.
    int ny = b.y;
    for (std::int64_t j = 1; j <= n - 2; ++j) {
        ny = points[(i + 1 + j) % n].y;
        if (ny != b.y) {
            break;
        }
    }
    return (a.y > v.y && ny < a.y) || (a.y < v.y && ny > a.y) ? 1 : 0;
}

} // namespace vorn::detail

// ---------------------------------------------------------------------------
// The plain workers
// ---------------------------------------------------------------------------

int VornBuffer::fillPoint(int x, int y, int value) {
    if (y < 0 || y >= height || x >= width) {
        return -1;
    }
    markWorkAreasDirty(rowCarry, height);
    if (x < 0) {
        rowCarry[y] = static_cast<unsigned short>(rowCarry[y] + (value & 15) - ((value >> 4) & 15));
        return 0;
    }
    unsigned short& c = edgeMap[static_cast<std::size_t>(y) * width + x];
    if (value == 256 && c >= 256) {
        return 0;
    }
    c = static_cast<unsigned short>(c + value);
    return 0;
}

int VornBuffer::fillLine(_VORNPOINT previous, _VORNPOINT start, _VORNPOINT end, int extremumRun) {
    markWorkAreasDirty(rowCarry, height);
    // Count a crossing in direction d at (x, y).
    auto cross = [&](std::int64_t x, std::int64_t y, int d) {
        if (y < 0 || y >= height) {
            return;
        }
        if (x < 0) {
            rowCarry[y] = static_cast<unsigned short>(rowCarry[y] + d);
            return;
        }
        if (x >= width) {
            return;
        }
        unsigned short& c = edgeMap[y * width + x];
        c = static_cast<unsigned short>(c + (d > 0 ? 1 : 16));
    };
    auto mark = [&](std::int64_t x, std::int64_t y) {
        if (x < 0 || x >= width || y < 0 || y >= height) {
            return;
        }
        unsigned short& c = edgeMap[y * width + x];
        if (c < 256) {
            c = static_cast<unsigned short>(c + 256);
        }
    };
    // 64-bit throughout: two 32-bit coordinates can lie 2^32 - 1 apart.
    const std::int64_t dx = std::int64_t{end.x} - start.x;
    const std::int64_t dy = std::int64_t{end.y} - start.y;
    const std::int64_t dv = std::int64_t{start.y} - previous.y;
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    const bool turning = dy != 0 && dv != 0 && ((dy > 0) != (dv > 0));
    const int arriving = dv >= 0 ? 1 : -1;

    if (dx == 0 && dy == 0) {
        if (start.y < 0) {
            return 0;
        }
        if (extremumRun) {
            cross(start.x, start.y, arriving);
        } else {
            mark(start.x, start.y);
        }
        return 0;
    }
    if (dx == 0) {
        std::int64_t y = start.y;
        if (turning) {
            mark(start.x, start.y);
            y += sy;
        }
        for (; y != end.y; y += sy) {
            cross(start.x, y, sy);
        }
        return 0;
    }
    if (dy == 0) {
        std::int64_t x = start.x;
        if (extremumRun) {
            cross(start.x, start.y, arriving);
            x += sx;
        }
        for (; x != end.x; x += sx) {
            mark(x, start.y);
        }
        mark(end.x, end.y);
        return 0;
    }
    const std::int64_t ax = dx < 0 ? -dx : dx;
    const std::int64_t ay = dy < 0 ? -dy : dy;
    std::int64_t x = start.x;
    std::int64_t y = start.y;
    if (ax > ay) {
        // One crossing per row, at the first pixel of the edge on the row;
        // the row of the end point gets none.
        std::int64_t e = -ax;
        bool newRow = true;
        for (; x != end.x; x += sx) {
            if (x == start.x && turning) {
                mark(x, y);
            } else if (newRow && y != end.y) {
                cross(x, y, sy);
            } else {
                mark(x, y);
            }
            newRow = false;
            e += 2 * ay;
            if (e > 0) {
                y += sy;
                e -= 2 * ax;
                newRow = true;
            }
        }
        return 0;
    }
    std::int64_t e = -ay;
    for (; y != end.y; y += sy) {
        if (y == start.y && turning) {
            mark(x, y);
        } else {
            cross(x, y, sy);
        }
        e += 2 * ax;
        if (e > 0) {
            x += sx;
            e -= 2 * ay;
        }
    }
    return 0;
}

int VornBuffer::fillLoop(const _VORNPOINT* points, int n, int& minX, int& minY, int& maxX,
                         int& maxY) {
    const std::int64_t count = distinctContourSize(points, n);
    if (count < 1) {
        return 0;
    }
    if (count >= 2) {
        minX = maxX = points[0].x;
        minY = maxY = points[0].y;
        for (std::int64_t i = 1; i < count; ++i) {
            minX = std::min(minX, points[i].x);
            maxX = std::max(maxX, points[i].x);
            minY = std::min(minY, points[i].y);
            maxY = std::max(maxY, points[i].y);
        }
    }
    for (std::int64_t i = 0; i + 1 < count; ++i) {
        fillLine(points[i == 0 ? count - 1 : i - 1], points[i], points[i + 1],
                 extremumRunFlag(points, count, i));
    }
    // A contour of one distinct point has no closing edge.
    if (count >= 2) {
        fillLine(points[count - 2], points[count - 1], points[0],
                 extremumRunFlag(points, count, count - 1));
    }
    return 0;
}

int VornBuffer::fillMap(int minX, int minY, int maxX, int maxY) {
    const int x0 = std::max(minX, 0);
    const int y0 = std::max(minY, 0);
    const int x1 = std::min(maxX, width - 1);
    const int y1 = std::min(maxY, height - 1);
    if (y0 > y1) {
        return 0;
    }
    markWorkAreasDirty(rowCarry, height);
    for (int y = y0; y <= y1; ++y) {
        unsigned short w = rowCarry[y];
        unsigned short* row = edgeMap + static_cast<std::size_t>(y) * width;
        for (int x = x0; x <= x1; ++x) {
            const unsigned short c = row[x];
            if (c == 0 && w == 0) {
                continue;
            }
            const unsigned up = c & 15u;
            const unsigned down = (c >> 4) & 15u;
            w = static_cast<unsigned short>(w + up);
            w = static_cast<unsigned short>(w - down);
            if (w != 0) {
                row[x] = c == 512 ? 0 : 512;
            } else if (up != 0 || down != 0) {
                row[x] = 512;
            }
        }
    }
    return 0;
}

int VornBuffer::transferMap(int count, int mode, _VORNRGBAQUAD colour) {
    const std::uint32_t word = toWord(colour);
    for (int i = 0; i < count; ++i) {
        if (edgeMap[i] == 0) {
            continue;
        }
        _VORNRGBAQUAD& p = pixels[i];
        switch (mode) {
        case 4:
        case 5: {
            auto one = [](unsigned char a, unsigned char b) {
                return static_cast<unsigned char>(a != 0 && b != 0 ? a & b : a | b);
            };
            p.red = one(p.red, colour.red);
            p.green = one(p.green, colour.green);
            p.blue = one(p.blue, colour.blue);
            p.alpha = one(p.alpha, colour.alpha);
            break;
        }
        case 9:
            p = toWord(p) == word ? fromWord(0) : colour;
            break;
        default:
            p = colour;
            break;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The public fill
// ---------------------------------------------------------------------------

int VornBuffer::fillPolygon(const _VORNPOINT* points, const int* sizes, int contours,
                            unsigned char red, unsigned char green, unsigned char blue,
                            unsigned char alpha, int mode) {
    if (!readablePolygon(points, sizes, contours)) {
        return -1;
    }
    if (!hasPixels(*this)) {
        return 0;
    }
    const ScanSurface surface = prepareScanSurface(*this);
    scanFillPolygon(surface, points, sizes, contours,
                    modePainter(mode, packColour(red, green, blue, alpha)), mode == 9);
    return 0;
}

// ---------------------------------------------------------------------------
// The plain fill, step by step
// ---------------------------------------------------------------------------

namespace vorn::detail {

void mapContoursReference(VornBuffer& buffer, const ScanSurface& s, const _VORNPOINT* points,
                          const int* sizes, int contours,
                          const std::function<void(const ScanFill::Bounds&)>& mapped) {
    const _VORNPOINT* contour = points;
    for (int k = 0; k < contours; ++k) {
        const int n = sizes[k];
        if (n < 1) {
            continue;
        }
        // Every contour starts from carries of 0.
        std::memset(s.rowCarry, 0, static_cast<std::size_t>(s.height) * sizeof *s.rowCarry);
        ScanFill::Bounds box;
        std::invoke(Access::fillLoopFn, buffer, contour, n, box.minX, box.minY, box.maxX, box.maxY);
        std::invoke(Access::fillMapFn, buffer, box.minX, box.minY, box.maxX, box.maxY);
        mapped(box);
        contour += n;
    }
}

int fillPolygonReference(VornBuffer& buffer, const _VORNPOINT* points, const int* sizes,
                         int contours, _VORNRGBAQUAD colour, int mode) {
    if (!readablePolygon(points, sizes, contours)) {
        return -1;
    }
    if (!hasPixels(buffer)) {
        return 0;
    }
    const ScanSurface s = prepareScanSurface(buffer);
    clearWorkAreas(s);
    const int count = s.width * s.height;
    mapContoursReference(buffer, s, points, sizes, contours, [&](const ScanFill::Bounds&) {
        if (mode == 9) {
            std::invoke(Access::transferMapFn, buffer, count, mode, colour);
            clearWorkAreas(s);
        }
    });
    if (mode != 9) {
        std::invoke(Access::transferMapFn, buffer, count, mode, colour);
    }
    return 0;
}

} // namespace vorn::detail
