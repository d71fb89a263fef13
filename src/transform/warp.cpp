// SPDX-License-Identifier: MIT
// Mesh warp: the source, cut into a regular grid of rectangles, is painted
// onto the caller's mesh of quadrilaterals. Every destination pixel of a
// quadrilateral's bounding box is traced back through the inverse of the
// bilinear map and sampled bilinearly.

#include "transform/transform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

using vorn::detail::snapToByte;

namespace {

/// How far outside the unit interval a parameter may fall and still count
/// as inside it. A pixel on an edge that two cells share gives 0 or 1 in
/// exact arithmetic but often a few units in the last place beyond it in
/// double precision; without the slack both cells could turn it away.
constexpr double kUnitSlack = 1e-9;

/// Parameters within the unit interval, give or take the slack; NaN is
/// outside.
inline bool inUnit(double t) {
    return t >= -kUnitSlack && t <= 1.0 + kUnitSlack;
}

/// A parameter accepted by inUnit, brought into 0..1.
inline double clampUnit(double t) {
    return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
}

/// How far a parameter pair lies outside the unit square (0 inside,
/// infinite for NaN), to choose between the two roots of the quadratic.
double outside(double u, double v) {
    auto off = [](double t) {
        if (!(t == t)) {
            return HUGE_VAL;
        }
        return t < 0.0 ? -t : (t > 1.0 ? t - 1.0 : 0.0);
    };
    return std::max(off(u), off(v));
}

/// Which of the two map equations gives the second parameter: the x one,
/// x = a u + c v + e u v, or the y one, y = b u + d v + f u v.
enum class Equation { X, Y };

/// The bilinear map of one cell and the point to invert.
struct BilinearMap {
    double a, b, c, d, e, f, x, y;

    /// u from v by the equation whose denominator (a + e v, or b + f v) is
    /// the larger in size. Near an iso-line of v that runs along an axis
    /// one denominator vanishes and its equation says nothing about u; the
    /// other is then well away from 0 (the map is not singular there). A
    /// tie keeps `preferred`.
    double uFrom(double v, Equation preferred) const {
        const double dx = a + e * v;
        const double dy = b + f * v;
        return pick(std::fabs(dx), std::fabs(dy), preferred) == Equation::X ? (x - c * v) / dx
                                                                            : (y - d * v) / dy;
    }

    /// v from u likewise: (x - a u) / (c + e u) or (y - b u) / (d + f u).
    double vFrom(double u, Equation preferred) const {
        const double dx = c + e * u;
        const double dy = d + f * u;
        return pick(std::fabs(dx), std::fabs(dy), preferred) == Equation::X ? (x - a * u) / dx
                                                                            : (y - b * u) / dy;
    }

private:
    static Equation pick(double sizeX, double sizeY, Equation preferred) {
        if (sizeX > sizeY) {
            return Equation::X;
        }
        if (sizeY > sizeX) {
            return Equation::Y;
        }
        return preferred;
    }
};

/// Solves alpha v^2 + beta v + gamma = 0 for v and takes u from the map.
/// The root (-beta - s) / (2 alpha) comes first; the other one is taken
/// only when the first pair leaves the unit square and the second lies in
/// it (both with the slack); otherwise the pair nearer the square stays,
/// so that a pair just outside is not traded for one far away. No real
/// root gives NaN.
void solveQuadratic(double alpha, double beta, double gamma, const BilinearMap& map,
                    Equation preferred, double& u, double& v) {
    if (alpha == 0.0) {
        v = -gamma / beta;
        u = map.uFrom(v, preferred);
        return;
    }
    const double s = std::sqrt(beta * beta - 4.0 * alpha * gamma);
    v = (-beta - s) / (2.0 * alpha);
    u = map.uFrom(v, preferred);
    if (inUnit(v) && inUnit(u)) {
        return;
    }
    const double v2 = (s - beta) / (2.0 * alpha);
    const double u2 = map.uFrom(v2, preferred);
    if ((inUnit(v2) && inUnit(u2)) || outside(u2, v2) < outside(u, v)) {
        u = u2;
        v = v2;
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
    vorn::detail::transformKernels().warpQuad(*this, *dst, rect, quad);
    return true;
}

namespace vorn::detail {

namespace {

/// The job of one quadrilateral: its map and its bounding box, which is
/// half-open (so neighbouring cells of a mesh do not paint their shared
/// edge twice) and clipped to the destination. False when the box is
/// empty.
bool quadJob(const VornBuffer& src, VornBuffer& dst, const _VORNPOINT* rect, const _VORNPOINT* quad,
             WarpJob& job) {
    // In double precision, where the differences of any two int
    // coordinates are exact.
    job.ox = quad[0].x;
    job.oy = quad[0].y;
    double* coeffs = job.coeffs;
    coeffs[0] = quad[1].x - job.ox;
    coeffs[1] = quad[1].y - job.oy;
    coeffs[2] = quad[3].x - job.ox;
    coeffs[3] = quad[3].y - job.oy;
    coeffs[4] = (quad[2].x - job.ox) - coeffs[0] - coeffs[2];
    coeffs[5] = (quad[2].y - job.oy) - coeffs[1] - coeffs[3];

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
        return false;
    }
    job.src = src.getPixels();
    job.sw = src.getWidth();
    job.sh = src.getHeight();
    job.dst = dst.getPixels();
    job.dw = dst.getWidth();
    job.xEnd = std::min<long long>(xmax, dst.getWidth());
    job.yEnd = std::min<long long>(ymax, dst.getHeight());
    job.xBegin = std::max(xmin, 0);
    job.yBegin = std::max(ymin, 0);
    job.x0 = rect[0].x;
    job.y0 = rect[0].y;
    job.spanX = static_cast<double>(rect[1].x) - rect[0].x;
    job.spanY = static_cast<double>(rect[1].y) - rect[0].y;
    return true;
}

/// Paints the quadrilateral's box column by column, as the member
/// describes: every pixel traced back through the inverse map and sampled
/// bilinearly.
void paintQuad(const WarpJob& job) {
    const double w = job.sw;
    const double h = job.sh;
    const int width = job.sw;
    const int height = job.sh;
    for (long long X = job.xBegin; X < job.xEnd; ++X) {
        for (long long Y = job.yBegin; Y < job.yEnd; ++Y) {
            double u = 0.0;
            double v = 0.0;
            invertMap(static_cast<double>(X) - job.ox, static_cast<double>(Y) - job.oy, u, v,
                      job.coeffs);
            if (!inUnit(u) || !inUnit(v)) {
                continue;
            }
            u = clampUnit(u);
            v = clampUnit(v);
            const double sx = u * job.spanX + job.x0;
            const double sy = v * job.spanY + job.y0;
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
            TapSums sums;
            for (int k = 0; k < 4; ++k) {
                // As warpPixel: taps of weight 0 or outside the source add
                // nothing.
                const int x = i0 + (k & 1);
                const int y = j0 + (k >> 1);
                if (weights[k] == 0.0 || x >= width || y >= height) {
                    continue;
                }
                const _VORNRGBAQUAD& p = job.src[static_cast<std::size_t>(y) * width + x];
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
            std::memcpy(job.dst + static_cast<std::size_t>(Y) * job.dw + X, &out, sizeof out);
        }
    }
}

} // namespace

void warpQuadReference(const VornBuffer& src, VornBuffer& dst, const _VORNPOINT* rect,
                       const _VORNPOINT* quad) {
    WarpJob job;
    if (quadJob(src, dst, rect, quad, job)) {
        paintQuad(job);
    }
}

void warpQuadFast(const VornBuffer& src, VornBuffer& dst, const _VORNPOINT* rect,
                  const _VORNPOINT* quad) {
    WarpJob job;
    if (!quadJob(src, dst, rect, quad, job)) {
        return;
    }
    // A buffer warped into itself (or a view of itself) reads what earlier
    // pixels wrote, in the order the plain member visits them.
    const std::less<const _VORNRGBAQUAD*> before;
    const _VORNRGBAQUAD* s0 = src.getPixels();
    const _VORNRGBAQUAD* s1 = s0 + static_cast<std::size_t>(src.getWidth()) * src.getHeight();
    const _VORNRGBAQUAD* d0 = dst.getPixels();
    const _VORNRGBAQUAD* d1 = d0 + static_cast<std::size_t>(dst.getWidth()) * dst.getHeight();
    const bool shared = before(s0, d1) && before(d0, s1);
    if (!shared) {
        transformKernels().warpCell(job);
        return;
    }
    paintQuad(job);
}

void warpCellPortable(const WarpJob& job) {
    paintQuad(job);
}

} // namespace vorn::detail

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
    const BilinearMap map{a, b, c, d, e, f, x, y};
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
            u = map.uFrom(v, Equation::Y);
        } else if (c == 0.0) {
            u = x / a;
            v = map.vFrom(u, Equation::Y);
        } else {
            solveQuadratic(c * f, b * c - a * d - f * x, a * y - b * x, map, Equation::Y, u, v);
        }
        return;
    }
    if (f == 0.0) {
        if (b == 0.0) {
            v = y / d;
            u = map.uFrom(v, Equation::X);
        } else if (d == 0.0) {
            u = y / b;
            v = map.vFrom(u, Equation::X);
        } else {
            solveQuadratic(d * e, a * d - b * c - e * y, b * x - a * y, map, Equation::X, u, v);
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
        u = map.uFrom(v, Equation::X);
        v = map.vFrom(u, Equation::Y);
        return;
    }
    // u = P v + Q from n = k u + m v; v from the x equation.
    const double p = -m / k;
    const double q = n / k;
    solveQuadratic(p * e, p * a + c + q * e, q * a - x, map, Equation::Y, u, v);
}

} // namespace
