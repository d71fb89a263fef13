// SPDX-License-Identifier: MIT
// Properties of the geometric members, checked on one result: what the
// seeded tests prove over many cases and the geometry fuzz targets over
// arbitrary ones. Each check returns an empty string when the property
// holds, otherwise a description of the first violation. No test framework
// here, so that the fuzz targets can use it too.
#ifndef VORN_TESTS_SUPPORT_GEOMETRY_CHECKS_H
#define VORN_TESTS_SUPPORT_GEOMETRY_CHECKS_H

#include "transform/transform.h"

#include <vorn/buffer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace geometry {

inline std::string at(long long x, long long y) {
    return " at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

// ---------------------------------------------------------------------------
// Mesh warp
// ---------------------------------------------------------------------------

/// Twice the signed area of the triangle a, b, (x, y): exact in 64 bits.
inline long long cross(const _VORNPOINT& a, const _VORNPOINT& b, long long x, long long y) {
    return (static_cast<long long>(b.x) - a.x) * (y - a.y) -
           (static_cast<long long>(b.y) - a.y) * (x - a.x);
}

/// Cell (i, j) of a mesh of nx points per row: its corners in the warp's
/// order (top left, top right, bottom right, bottom left of the source
/// rectangle), its bounding box, and whether it is convex with an inside
/// (every corner turns the same way, none straight).
struct Cell {
    _VORNPOINT p[4];
    long long x0, y0, x1, y1;
    int turn; // +1 or -1 for convex cells, 0 otherwise

    Cell(const std::vector<_VORNPOINT>& grid, int nx, int i, int j) {
        const std::size_t top = static_cast<std::size_t>(j) * nx + i;
        const _VORNPOINT corners[4] = {grid[top], grid[top + 1], grid[top + nx + 1],
                                       grid[top + nx]};
        std::copy(corners, corners + 4, p);
        x0 = x1 = p[0].x;
        y0 = y1 = p[0].y;
        int positive = 0;
        int negative = 0;
        for (int k = 0; k < 4; ++k) {
            x0 = std::min<long long>(x0, p[k].x);
            x1 = std::max<long long>(x1, p[k].x);
            y0 = std::min<long long>(y0, p[k].y);
            y1 = std::max<long long>(y1, p[k].y);
            const long long t = cross(p[(k + 3) % 4], p[k], p[(k + 1) % 4].x, p[(k + 1) % 4].y);
            positive += t > 0;
            negative += t < 0;
        }
        turn = positive == 4 ? 1 : (negative == 4 ? -1 : 0);
    }
    /// (x, y) lies in the half-open box the warp visits.
    bool inBox(long long x, long long y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
    /// (x, y) lies inside by at least 1e-6 from every edge's line.
    bool deepInside(long long x, long long y) const {
        for (int k = 0; k < 4; ++k) {
            const _VORNPOINT& a = p[k];
            const _VORNPOINT& b = p[(k + 1) % 4];
            // side / |b - a| >= 1e-6, squared.
            const double side = static_cast<double>(cross(a, b, x, y) * turn);
            const double ex = static_cast<double>(b.x) - a.x;
            const double ey = static_cast<double>(b.y) - a.y;
            if (side <= 0.0 || side * side < 1e-12 * (ex * ex + ey * ey)) {
                return false;
            }
        }
        return true;
    }
    /// (x, y) lies on edge k (corner k to k + 1), ends included.
    bool onEdge(int k, long long x, long long y) const {
        const _VORNPOINT& a = p[k];
        const _VORNPOINT& b = p[(k + 1) % 4];
        const long long ex = static_cast<long long>(b.x) - a.x;
        const long long ey = static_cast<long long>(b.y) - a.y;
        const long long along = ex * (x - a.x) + ey * (y - a.y);
        return cross(a, b, x, y) == 0 && along >= 0 && along <= ex * ex + ey * ey;
    }
};

/// The warp of an opaque source over `grid` onto `dst`, whose pixels were
/// all `blank` (alpha below 255) before:
/// - nothing outside the cells' half-open boxes is written;
/// - every pixel inside a convex cell by at least 1e-6 from each edge is
///   painted (opaque);
/// - every pixel on an edge shared by two convex cells is painted when the
///   half-open box of one of them holds it, except a grid point of the last
///   column or row (it samples the source's far edge, which has no pixel).
inline std::string checkWarp(const VornBuffer& dst, _VORNRGBAQUAD blank,
                             const std::vector<_VORNPOINT>& grid, int nx, int ny) {
    std::vector<Cell> cells;
    for (int j = 0; j + 1 < ny; ++j) {
        for (int i = 0; i + 1 < nx; ++i) {
            cells.emplace_back(grid, nx, i, j);
        }
    }
    auto farCorner = [&](long long x, long long y) {
        for (int k = 0; k < nx * ny; ++k) {
            const _VORNPOINT& q = grid[static_cast<std::size_t>(k)];
            if ((k % nx == nx - 1 || k / nx == ny - 1) && q.x == x && q.y == y) {
                return true;
            }
        }
        return false;
    };
    // Per destination pixel: 1 inside some cell's half-open box, 2 required.
    const long long w = dst.getWidth();
    const long long h = dst.getHeight();
    std::vector<unsigned char> marks(static_cast<std::size_t>(w * h), 0);
    const std::size_t across = static_cast<std::size_t>(nx) - 1;
    for (std::size_t n = 0; n < cells.size(); ++n) {
        const Cell& c = cells[n];
        // Edge 1 is shared with the cell to the right, edge 2 with the one
        // below.
        const Cell* right = n % across + 1 < across ? &cells[n + 1] : nullptr;
        const Cell* below = n + across < cells.size() ? &cells[n + across] : nullptr;
        for (long long y = std::max(c.y0, 0LL); y <= std::min(c.y1, h - 1); ++y) {
            for (long long x = std::max(c.x0, 0LL); x <= std::min(c.x1, w - 1); ++x) {
                unsigned char& mark = marks[static_cast<std::size_t>(y * w + x)];
                mark |= c.inBox(x, y) ? 1 : 0;
                if (c.turn == 0 || (mark & 2)) {
                    continue;
                }
                const bool onRight = right && right->turn != 0 && c.onEdge(1, x, y);
                const bool onBelow = below && below->turn != 0 && c.onEdge(2, x, y);
                const bool shared = (onRight || onBelow) && !farCorner(x, y) &&
                                    (c.inBox(x, y) || (onRight && right->inBox(x, y)) ||
                                     (onBelow && below->inBox(x, y)));
                mark |= shared || c.deepInside(x, y) ? 2 : 0;
            }
        }
    }
    for (long long y = 0; y < h; ++y) {
        for (long long x = 0; x < w; ++x) {
            const _VORNRGBAQUAD p = dst.getPixels()[y * w + x];
            const unsigned char mark = marks[static_cast<std::size_t>(y * w + x)];
            if (!(mark & 1) && std::memcmp(&p, &blank, 4) != 0) {
                return "written outside every cell's box" + at(x, y);
            }
            if ((mark & 2) && p.alpha != 255) {
                return "not painted" + at(x, y);
            }
        }
    }
    return "";
}

// ---------------------------------------------------------------------------
// Ellipses
// ---------------------------------------------------------------------------

/// The pixels of `b` that are not transparent black, as 1, the others 0.
inline std::vector<char> paintedMarks(const VornBuffer& b) {
    const std::size_t n = static_cast<std::size_t>(b.getWidth()) * b.getHeight();
    std::vector<char> mark(n);
    const _VORNRGBAQUAD blank{0, 0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        mark[i] = std::memcmp(b.getPixels() + i, &blank, 4) != 0;
    }
    return mark;
}

/// A filled ellipse centred on pixel (cx, cy) of `b` (transparent black
/// elsewhere), the whole shape inside: every row from the top painted row
/// to the bottom one is one span, mirrored about the centre column, and
/// the rows are mirrored about the centre row.
inline std::string checkFilledEllipse(const VornBuffer& b, int cx, int cy) {
    const std::vector<char> mark = paintedMarks(b);
    const int w = b.getWidth();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < b.getHeight(); ++y) {
        const char* row = &mark[static_cast<std::size_t>(y) * w];
        const int first = static_cast<int>(std::find(row, row + w, 1) - row);
        if (first == w) {
            if (top >= 0 && bottom < 0) {
                bottom = y - 1;
            }
            if (bottom >= 0 || top < 0) {
                continue;
            }
        }
        if (bottom >= 0) {
            return "an empty row inside the shape, above" + at(first, y);
        }
        top = top < 0 ? y : top;
        const int count = static_cast<int>(std::count(row, row + w, 1));
        if (std::count(row + first, row + first + count, 1) != count) {
            return "more than one span" + at(first, y);
        }
        if (first + (first + count - 1) != 2 * cx) {
            return "span not mirrored about the centre" + at(first, y);
        }
        const int mirror = 2 * cy - y;
        if (mirror < 0 || mirror >= b.getHeight() ||
            !std::equal(row, row + w, &mark[static_cast<std::size_t>(mirror) * w])) {
            return "rows not mirrored about the centre" + at(first, y);
        }
    }
    return top < 0 ? "nothing painted" : "";
}

/// An ellipse outline centred on pixel (cx, cy) of `b` (transparent black
/// elsewhere): one 8-connected curve, and the centre's 4-connected region
/// of unpainted pixels does not reach the buffer's border (the curve is
/// closed around it).
inline std::string checkEllipseOutline(const VornBuffer& b, int cx, int cy) {
    std::vector<char> mark = paintedMarks(b);
    const int w = b.getWidth();
    const int h = b.getHeight();
    // Marks the region of `from` cells around `start` as `to`.
    auto flood = [&](int start, char from, char to, bool diagonal) {
        std::vector<int> todo{start};
        mark[static_cast<std::size_t>(start)] = to;
        while (!todo.empty()) {
            const int x = todo.back() % w;
            const int y = todo.back() / w;
            todo.pop_back();
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int n = (y + dy) * w + x + dx;
                    if ((dx != 0 && dy != 0 && !diagonal) || x + dx < 0 || x + dx >= w ||
                        y + dy < 0 || y + dy >= h || mark[static_cast<std::size_t>(n)] != from) {
                        continue;
                    }
                    mark[static_cast<std::size_t>(n)] = to;
                    todo.push_back(n);
                }
            }
        }
    };
    const auto first = std::find(mark.begin(), mark.end(), 1);
    if (first == mark.end()) {
        return "nothing painted";
    }
    const int centre = cy * w + cx;
    if (mark[static_cast<std::size_t>(centre)] != 0) {
        return "the centre is painted";
    }
    flood(static_cast<int>(first - mark.begin()), 1, 2, true);
    flood(centre, 0, 3, false);
    for (int i = 0; i < w * h; ++i) {
        const int x = i % w;
        const int y = i / w;
        if (mark[static_cast<std::size_t>(i)] == 1) {
            return "apart from the curve" + at(x, y);
        }
        if (mark[static_cast<std::size_t>(i)] == 3 &&
            (x == 0 || y == 0 || x == w - 1 || y == h - 1)) {
            return "the curve is open" + at(x, y);
        }
    }
    return "";
}

// ---------------------------------------------------------------------------
// Rotation
// ---------------------------------------------------------------------------

/// Source pixel n of a w x h source: n + 1 in red, green and blue (from the
/// low byte), alpha 255, so that each pixel is told apart.
inline _VORNRGBAQUAD numberedPixel(int n) {
    const unsigned v = static_cast<unsigned>(n) + 1;
    return _VORNRGBAQUAD{static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                         static_cast<unsigned char>(v), 255};
}

/// The result of rotateBuffer(angle) on a w x h source of numberedPixel:
/// no source pixel is placed twice, and (with `losses`) a pixel is lost off
/// the left or right only while the result's first and last columns both
/// hold pixels, off the top or bottom only while its first and last rows
/// do (where a lost pixel would have gone follows from the shears and the
/// offset of the placed ones).
inline std::string checkRotation(int w, int h, int angle, const VornBuffer& r, bool losses = true) {
    const int rw = r.getWidth();
    const int rh = r.getHeight();
    const vorn::detail::RotationPlan plan = vorn::detail::planRotation(angle);
    // The unshifted place of source pixel n (the walk of a half turn starts
    // from the last pixel).
    auto shorn = [&](int n, long long& x, long long& y) {
        const int m = plan.halfTurn ? w * h - 1 - n : n;
        double x3 = 0.0;
        double y2 = 0.0;
        vorn::detail::shearPoint(plan, w - m % w - (w + 1) / 2, h - m / w - (h + 1) / 2, x3, y2);
        x = (rw + 1) / 2 - 1 - static_cast<long long>(x3);
        y = (rh + 1) / 2 - 1 - static_cast<long long>(y2);
    };
    std::vector<char> placed(static_cast<std::size_t>(w) * h);
    long long shiftX = 0;
    long long shiftY = 0;
    bool edge[4] = {}; // first and last column, first and last row
    for (int y = 0; y < rh; ++y) {
        for (int x = 0; x < rw; ++x) {
            const _VORNRGBAQUAD p = r.getPixels()[static_cast<std::size_t>(y) * rw + x];
            if (p.alpha == 0) {
                continue;
            }
            const long long n = ((p.blue << 16) | (p.green << 8) | p.red) - 1LL;
            if (n < 0 || n >= static_cast<long long>(placed.size()) ||
                placed[static_cast<std::size_t>(n)]++) {
                return "a pixel placed twice or unknown" + geometry::at(x, y);
            }
            long long sx = 0;
            long long sy = 0;
            shorn(static_cast<int>(n), sx, sy);
            shiftX = x - sx;
            shiftY = y - sy;
            edge[0] |= x == 0;
            edge[1] |= x == rw - 1;
            edge[2] |= y == 0;
            edge[3] |= y == rh - 1;
        }
    }
    for (int n = 0; n < w * h && losses; ++n) {
        if (placed[static_cast<std::size_t>(n)]) {
            continue;
        }
        long long x = 0;
        long long y = 0;
        shorn(n, x, y);
        const bool offColumns = x + shiftX < 0 || x + shiftX >= rw;
        const bool offRows = y + shiftY < 0 || y + shiftY >= rh;
        if (!offColumns && !offRows) {
            return "pixel " + std::to_string(n) + " lost inside";
        }
        if ((offColumns && !(edge[0] && edge[1])) || (offRows && !(edge[2] && edge[3]))) {
            return "pixel " + std::to_string(n) + " lost while the result has room";
        }
    }
    return "";
}

} // namespace geometry

#endif
