// SPDX-License-Identifier: MIT
// Properties of the geometric members, checked on one result: what the
// seeded tests prove over many cases and the geometry fuzz targets over
// arbitrary ones. Each check returns an empty string when the property
// holds, otherwise a description of the first violation. No test framework
// here, so that the fuzz targets can use it too.
#ifndef VORN_TESTS_SUPPORT_GEOMETRY_CHECKS_H
#define VORN_TESTS_SUPPORT_GEOMETRY_CHECKS_H

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

/// One cell of a mesh: its corners in the order of the warp (top left, top
/// right, bottom right, bottom left of the source rectangle).
struct Cell {
    _VORNPOINT p[4];

    /// Twice the signed area of the corner turn at k (64-bit, exact).
    long long turn(int k) const {
        const _VORNPOINT& a = p[(k + 3) % 4];
        const _VORNPOINT& b = p[k];
        const _VORNPOINT& c = p[(k + 1) % 4];
        return (static_cast<long long>(b.x) - a.x) * (static_cast<long long>(c.y) - b.y) -
               (static_cast<long long>(b.y) - a.y) * (static_cast<long long>(c.x) - b.x);
    }
    /// Every corner turns the same way, none straight: a convex cell with
    /// an inside.
    bool convex() const {
        int positive = 0;
        int negative = 0;
        for (int k = 0; k < 4; ++k) {
            positive += turn(k) > 0;
            negative += turn(k) < 0;
        }
        return positive == 4 || negative == 4;
    }
    /// The least distance of (x, y) from the lines of the edges, positive
    /// inside a convex cell.
    double inward(double x, double y) const {
        const bool clockwise = turn(0) > 0;
        double least = HUGE_VAL;
        for (int k = 0; k < 4; ++k) {
            const _VORNPOINT& a = p[k];
            const _VORNPOINT& b = p[(k + 1) % 4];
            const double ex = static_cast<double>(b.x) - a.x;
            const double ey = static_cast<double>(b.y) - a.y;
            const double side = ex * (y - a.y) - ey * (x - a.x);
            // Only points near an edge need the exact distance.
            const double length = std::fabs(ex) + std::fabs(ey);
            const double d = clockwise ? side : -side;
            least = std::min(least, d >= length ? 1.0 : d / std::hypot(ex, ey));
        }
        return least;
    }
    /// (x, y) lies on edge k, ends included (exact).
    bool onEdge(int k, long long x, long long y) const {
        const _VORNPOINT& a = p[k];
        const _VORNPOINT& b = p[(k + 1) % 4];
        const long long ex = static_cast<long long>(b.x) - a.x;
        const long long ey = static_cast<long long>(b.y) - a.y;
        if (ex * (y - a.y) - ey * (x - a.x) != 0) {
            return false;
        }
        const long long along = ex * (x - a.x) + ey * (y - a.y);
        return along >= 0 && along <= ex * ex + ey * ey;
    }
    /// (x, y) lies in the half-open bounding box the warp visits.
    bool inBox(long long x, long long y) const {
        long long x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (const _VORNPOINT& q : p) {
            x0 = std::min<long long>(x0, q.x);
            x1 = std::max<long long>(x1, q.x);
            y0 = std::min<long long>(y0, q.y);
            y1 = std::max<long long>(y1, q.y);
        }
        return x >= x0 && x < x1 && y >= y0 && y < y1;
    }
};

/// Cell (i, j) of an nx x ny grid of points, row by row.
inline Cell cellOf(const std::vector<_VORNPOINT>& grid, int nx, int i, int j) {
    const std::size_t top = static_cast<std::size_t>(j) * nx + i;
    return Cell{{grid[top], grid[top + 1], grid[top + nx + 1], grid[top + nx]}};
}

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
    struct Known {
        Cell cell;
        bool convex;
        long long x0, y0, x1, y1; // closed box
    };
    std::vector<Known> cells;
    for (int j = 0; j + 1 < ny; ++j) {
        for (int i = 0; i + 1 < nx; ++i) {
            Known k{cellOf(grid, nx, i, j), false, 0, 0, 0, 0};
            k.convex = k.cell.convex();
            k.x0 = k.x1 = k.cell.p[0].x;
            k.y0 = k.y1 = k.cell.p[0].y;
            for (const _VORNPOINT& q : k.cell.p) {
                k.x0 = std::min<long long>(k.x0, q.x);
                k.x1 = std::max<long long>(k.x1, q.x);
                k.y0 = std::min<long long>(k.y0, q.y);
                k.y1 = std::max<long long>(k.y1, q.y);
            }
            cells.push_back(k);
        }
    }
    const std::size_t cellsX = static_cast<std::size_t>(nx) - 1;
    auto farCorner = [&](long long x, long long y) {
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                const _VORNPOINT& q = grid[static_cast<std::size_t>(j) * nx + i];
                if ((i == nx - 1 || j == ny - 1) && q.x == x && q.y == y) {
                    return true;
                }
            }
        }
        return false;
    };
    // Per destination pixel: 1 inside some cell's half-open box, 2 required.
    const long long w = dst.getWidth();
    const long long h = dst.getHeight();
    std::vector<unsigned char> marks(static_cast<std::size_t>(w * h), 0);
    for (std::size_t n = 0; n < cells.size(); ++n) {
        const Known& k = cells[n];
        const Known* right = n % cellsX + 1 < cellsX ? &cells[n + 1] : nullptr;
        const Known* below = n + cellsX < cells.size() ? &cells[n + cellsX] : nullptr;
        for (long long y = std::max(k.y0, 0LL); y <= std::min(k.y1, h - 1); ++y) {
            for (long long x = std::max(k.x0, 0LL); x <= std::min(k.x1, w - 1); ++x) {
                unsigned char& mark = marks[static_cast<std::size_t>(y * w + x)];
                if (x < k.x1 && y < k.y1) {
                    mark |= 1;
                }
                if (!k.convex || (mark & 2)) {
                    continue;
                }
                if (k.cell.inward(static_cast<double>(x), static_cast<double>(y)) >= 1e-6) {
                    mark |= 2;
                    continue;
                }
                // Edge 1 is shared with the cell to the right, edge 2 with
                // the cell below.
                const bool onRight = right && right->convex && k.cell.onEdge(1, x, y);
                const bool onBelow = below && below->convex && k.cell.onEdge(2, x, y);
                if ((!onRight && !onBelow) || farCorner(x, y)) {
                    continue;
                }
                if (k.cell.inBox(x, y) || (onRight && right->cell.inBox(x, y)) ||
                    (onBelow && below->cell.inBox(x, y))) {
                    mark |= 2;
                }
            }
        }
    }
    for (long long y = 0; y < h; ++y) {
        for (long long x = 0; x < w; ++x) {
            const _VORNRGBAQUAD p = *dst.getPixel(static_cast<int>(x), static_cast<int>(y));
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

} // namespace geometry

#endif
