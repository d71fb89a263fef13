// SPDX-License-Identifier: MIT
// Mesh warp: the source, cut into a regular grid of rectangles, is painted
// onto the caller's mesh of quadrilaterals. Every destination pixel of a
// quadrilateral's bounding box is traced back through the inverse of the
// bilinear map and sampled bilinearly.

#include "transform/transform.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using vorn::detail::snapToByte;

namespace {

/// Parameters within the unit interval; NaN is outside.
inline bool inUnit(double t) {
    return t >= 0.0 && t <= 1.0;
}

/// How the second parameter follows from the first in one case of the
/// inverse map.
struct Partner {
    enum Kind { FromY, FromX } kind;
    double a, b, c, d, e, f, x, y;

    // FromY: u = (y - d v) / (b + f v); FromX: u = (x - c v) / (a + e v).
    double operator()(double v) const {
        if (kind == FromY) {
            return (y - d * v) / (b + f * v);
        }
        return (x - c * v) / (a + e * v);
    }
};

/// Solves alpha v^2 + beta v + gamma = 0 for v and takes u from the
/// partner rule: the root (-beta - s) / (2 alpha) first, the other one when
/// the first pair leaves the unit square. No real root gives NaN.
void solveQuadratic(double alpha, double beta, double gamma, const Partner& partner, double& u,
                    double& v) {
    if (alpha == 0.0) {
        v = -gamma / beta;
        u = partner(v);
        return;
    }
    const double s = std::sqrt(beta * beta - 4.0 * alpha * gamma);
    v = (-beta - s) / (2.0 * alpha);
    u = partner(v);
    if (!inUnit(v) || !inUnit(u)) {
        v = (s - beta) / (2.0 * alpha);
        u = partner(v);
    }
}

/// The inverse of the bilinear map (see warpCoor), inline for the warp's
/// inner loop.
void invertMap(double x, double y, double& u, double& v, const double* coeffs);

/// One tap of the bilinear sample (see warpPixel): colour times weight into
/// the sums, the alpha share returned.
inline double addTap(const _VORNRGBAQUAD& p, double& r, double& g, double& b, double w) {
    r += p.red * w;
    g += p.green * w;
    b += p.blue * w;
    return p.alpha * w / 255.0;
}

} // namespace

bool VornBuffer::warp(VornBuffer* dst, const _VORNPOINT* grid, int nx, int ny) const {
    if (nx < 2 || ny < 2) {
        return false;
    }
    if (!dst || !grid) {
        return false;
    }
    if (!pixels || !dst->pixels) {
        return false;
    }
    const long long cellsX = nx - 1;
    const long long cellsY = ny - 1;
    const std::size_t stride = static_cast<std::size_t>(nx);
    for (long long j = 0; j < cellsY; ++j) {
        for (long long i = 0; i < cellsX; ++i) {
            // Each coordinate lies between 0 and the source size.
            const _VORNPOINT rect[2] = {
                {static_cast<int>(width * i / cellsX), static_cast<int>(height * j / cellsY)},
                {static_cast<int>(width * (i + 1) / cellsX),
                 static_cast<int>(height * (j + 1) / cellsY)}};
            const std::size_t top =
                static_cast<std::size_t>(j) * stride + static_cast<std::size_t>(i);
            const _VORNPOINT quad[4] = {grid[top], grid[top + 1], grid[top + stride + 1],
                                        grid[top + stride]};
            warp(dst, rect, quad);
        }
    }
    return true;
}

bool VornBuffer::warp(VornBuffer* dst, const _VORNPOINT* rect, const _VORNPOINT* quad) const {
    // In double precision, where the differences of any two int
    // coordinates are exact.
    const double ox = quad[0].x;
    const double oy = quad[0].y;
    double coeffs[6];
    coeffs[0] = quad[1].x - ox;
    coeffs[1] = quad[1].y - oy;
    coeffs[2] = quad[3].x - ox;
    coeffs[3] = quad[3].y - oy;
    coeffs[4] = (quad[2].x - ox) - coeffs[0] - coeffs[2];
    coeffs[5] = (quad[2].y - oy) - coeffs[1] - coeffs[3];

    int xmin = quad[0].x;
    int xmax = quad[0].x;
    int ymin = quad[0].y;
    int ymax = quad[0].y;
    for (int k = 1; k < 4; ++k) {
        xmin = std::min(xmin, quad[k].x);
        xmax = std::max(xmax, quad[k].x);
        ymin = std::min(ymin, quad[k].y);
        ymax = std::max(ymax, quad[k].y);
    }
    if (xmin >= xmax) {
        return true;
    }

    // The box is half-open, so neighbouring cells of a mesh do not paint
    // their shared edge twice; it is clipped to the destination.
    const long long xEnd = std::min<long long>(xmax, dst->width);
    const long long yEnd = std::min<long long>(ymax, dst->height);
    const long long xBegin = std::max(xmin, 0);
    const long long yBegin = std::max(ymin, 0);
    const double x0 = rect[0].x;
    const double y0 = rect[0].y;
    const double spanX = static_cast<double>(rect[1].x) - rect[0].x;
    const double spanY = static_cast<double>(rect[1].y) - rect[0].y;
    const double w = width;
    const double h = height;

    for (long long X = xBegin; X < xEnd; ++X) {
        for (long long Y = yBegin; Y < yEnd; ++Y) {
            double u = 0.0;
            double v = 0.0;
            invertMap(static_cast<double>(X) - ox, static_cast<double>(Y) - oy, u, v, coeffs);
            if (!inUnit(u) || !inUnit(v)) {
                continue;
            }
            const double sx = u * spanX + x0;
            const double sy = v * spanY + y0;
            if (!(sx >= 0.0 && sx < w && sy >= 0.0 && sy < h)) {
                continue;
            }

            // Both positions are at least 0, where truncation is the floor.
            const int i0 = static_cast<int>(sx);
            const int j0 = static_cast<int>(sy);
            const double wx = 1.0 - (sx - i0);
            const double wy = 1.0 - (sy - j0);
            const double weights[4] = {wx * wy, (1.0 - wx) * wy, wx * (1.0 - wy),
                                       (1.0 - wx) * (1.0 - wy)};
            vorn::detail::TapSums sums;
            for (int k = 0; k < 4; ++k) {
                // As warpPixel: taps of weight 0 or outside the source add
                // nothing.
                const int x = i0 + (k & 1);
                const int y = j0 + (k >> 1);
                if (weights[k] == 0.0 || x >= width || y >= height) {
                    continue;
                }
                const _VORNRGBAQUAD& p = pixels[static_cast<std::size_t>(y) * width + x];
                sums.add(p, weights[k], p.alpha * weights[k] / 255.0);
            }
            if (sums.share == 0.0) {
                continue;
            }
            // Samples that are not wholly opaque weigh each tap's colour by
            // its alpha share.
            const double* colour = sums.allOpaque ? sums.plain : sums.weighted;
            _VORNRGBAQUAD out;
            out.red = snapToByte(colour[0] / sums.share);
            out.green = snapToByte(colour[1] / sums.share);
            out.blue = snapToByte(colour[2] / sums.share);
            out.alpha = 255;
            std::memcpy(dst->pixels + static_cast<std::size_t>(Y) * dst->width + X, &out,
                        sizeof out);
        }
    }
    return true;
}

double VornBuffer::warpPixel(const _VORNRGBAQUAD* p, int x, int y, double& r, double& g, double& b,
                             double w) const {
    if (w == 0.0 || x < 0 || x >= width || y < 0 || y >= height) {
        return 0.0;
    }
    return addTap(p ? *p : pixels[static_cast<std::size_t>(y) * width + x], r, g, b, w);
}

void VornBuffer::warpCoor(double x, double y, double& u, double& v, const double* coeffs) const {
    invertMap(x, y, u, v, coeffs);
}

namespace {

void invertMap(double x, double y, double& u, double& v, const double* coeffs) {
    const double a = coeffs[0];
    const double b = coeffs[1];
    const double c = coeffs[2];
    const double d = coeffs[3];
    const double e = coeffs[4];
    const double f = coeffs[5];
    u = 0.0;
    v = 0.0;
    if (a == 0.0 && c == 0.0 && e == 0.0) {
        return;
    }
    if (b == 0.0 && d == 0.0 && f == 0.0) {
        return;
    }
    const Partner fromY{Partner::FromY, a, b, c, d, e, f, x, y};
    const Partner fromX{Partner::FromX, a, b, c, d, e, f, x, y};
    if (e == 0.0 && f == 0.0) {
        const double det = a * d - b * c;
        if (det == 0.0) {
            u = x;
            v = y;
            return;
        }
        u = (d * x - c * y) / det;
        v = (a * y - b * x) / det;
        return;
    }
    if (e == 0.0) {
        if (a == 0.0) {
            v = x / c;
            u = fromY(v);
        } else if (c == 0.0) {
            u = x / a;
            v = (y - b * u) / (d + f * u);
        } else {
            solveQuadratic(c * f, b * c - a * d - f * x, a * y - b * x, fromY, u, v);
        }
        return;
    }
    if (f == 0.0) {
        if (b == 0.0) {
            v = y / d;
            u = fromX(v);
        } else if (d == 0.0) {
            u = y / b;
            v = (x - a * u) / (c + e * u);
        } else {
            solveQuadratic(d * e, a * d - b * c - e * y, b * x - a * y, fromX, u, v);
        }
        return;
    }
    const double k = a * f - b * e;
    const double m = c * f - d * e;
    const double n = f * x - e * y;
    if (k == 0.0) {
        if (m == 0.0) {
            return;
        }
        v = n / m;
        u = fromX(v);
        v = (y - b * u) / (d + f * u);
        return;
    }
    // u = P v + Q from n = k u + m v; v from the x equation.
    const double p = -m / k;
    const double q = n / k;
    solveQuadratic(p * e, p * a + c + q * e, q * a - x, fromY, u, v);
}

} // namespace
