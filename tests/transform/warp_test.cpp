// SPDX-License-Identifier: MIT
// Mesh warp: arguments, the doubling example, transparency, the inverse of
// the bilinear map case by case, and seeded meshes of convex cells painted
// without holes (running off the destination's edges too).

#include "geometry_checks.h"
#include "transform_test.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const _VORNRGBAQUAD kPaper = rgba(1, 2, 3, 4);

// Opaque, each channel a ramp: red 25 x, green 25 y, blue 7 x + 11 y.
BufferPtr ramp(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            *b->getPixel(x, y) = rgba(x * 25, y * 25, x * 7 + y * 11);
        }
    }
    return b;
}

// The four corners of one cell, in grid order (top left, top right, bottom
// left, bottom right).
bool warpOnto(const VornBuffer& src, VornBuffer* dst, int x0, int y0, int x1, int y1) {
    const _VORNPOINT grid[4] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
    return src.warp(dst, grid, 2, 2);
}

TEST(Warp, RefusesDegenerateGridsAndNullArguments) {
    BufferPtr src = ramp(10, 10);
    BufferPtr dst = makeFilled(10, 10, kPaper);
    const _VORNPOINT grid[4] = {{0, 0}, {10, 0}, {0, 10}, {10, 10}};
    EXPECT_FALSE(src->warp(dst.get(), grid, 1, 4));
    EXPECT_FALSE(src->warp(dst.get(), grid, 4, 1));
    EXPECT_FALSE(src->warp(dst.get(), grid, INT_MIN, 2));
    EXPECT_FALSE(src->warp(nullptr, grid, 2, 2));
    EXPECT_FALSE(src->warp(dst.get(), nullptr, 2, 2));
    _VORNRGBAQUAD* saved = std::exchange(Access::pixelsOf(*src), nullptr);
    EXPECT_FALSE(src->warp(dst.get(), grid, 2, 2));
    Access::pixelsOf(*src) = saved;
    EXPECT_TRUE(changedPixels(*dst, kPaper).empty());
}

// Onto twice the size: destination (X, Y) samples (X / 2, Y / 2), the mean
// of two or four ramp values, so the ramp at X / 2, truncated; column and
// row 19 sample 9.5, whose far neighbour lies outside the source, and keep
// the colour of source column or row 9. With source columns 5 and beyond
// clear, the destination is left alone there; at X = 9, half of source
// column 4 and half of clear column 5, the clear colour does not bleed in
// and the pixel is opaque.
TEST(Warp, DoublingInterpolatesAndClearAreasLeaveTheDestinationAlone) {
    BufferPtr src = ramp(10, 10);
    for (const bool clear : {false, true}) {
        for (int i = 0; i < 100 && clear; ++i) {
            src->getPixels()[i].alpha = i % 10 < 5 ? 255 : 0;
        }
        BufferPtr dst = makeFilled(20, 20, kPaper);
        EXPECT_TRUE(warpOnto(*src, dst.get(), 0, 0, 20, 20));
        for (int i = 0; i < 400; ++i) {
            const int x = std::min(i % 20, clear ? 8 : 18);
            const int y = std::min(i / 20, 18);
            EXPECT_EQ(dst->getPixels()[i], clear && i % 20 >= 10
                                               ? kPaper
                                               : rgba(25 * x / 2, 25 * y / 2, (7 * x + 11 * y) / 2))
                << clear << " at " << i % 20 << ", " << i / 20;
        }
    }
}

// ---------------------------------------------------------------------------
// Meshes of convex cells: every pixel inside a cell, and every pixel on an
// edge two cells share, is painted; nothing outside the cells' boxes is.
// ---------------------------------------------------------------------------

struct Mesh {
    int nx;
    int ny;
    std::vector<_VORNPOINT> grid;
};

// Warps an opaque 40 x 30 ramp over the mesh onto a size x size buffer of
// paper and checks the result.
std::string warpedMesh(const Mesh& m, int size) {
    static const BufferPtr src = ramp(40, 30);
    BufferPtr dst = makeFilled(size, size, kPaper);
    if (!src->warp(dst.get(), m.grid.data(), m.nx, m.ny)) {
        return "refused";
    }
    return geometry::checkWarp(*dst, kPaper, m.grid, m.nx, m.ny);
}

// A regular grid jittered, bulged or waved, possibly mirrored, around the
// middle of a 96 x 96 buffer (its cells may run off the edges), with every
// cell convex.
Mesh randomMesh(Rng& rng) {
    for (;;) {
        Mesh m{rng.range(2, 6), rng.range(2, 6), {}};
        const int cw = rng.range(3, 24);
        const int ch = rng.range(3, 24);
        const double x0 = 48 - cw * (m.nx - 1) / 2.0 + rng.range(-12, 12);
        const double y0 = 48 - ch * (m.ny - 1) / 2.0 + rng.range(-12, 12);
        const int kind = rng.range(0, 2);
        const double k = rng.range(-30, 30) / 100.0;
        const int mirror = rng.range(0, 3);
        for (int j = 0; j < m.ny; ++j) {
            for (int i = 0; i < m.nx; ++i) {
                double x = x0 + i * cw;
                double y = y0 + j * ch;
                if (kind == 0) {
                    x += rng.range(-cw / 3, cw / 3);
                    y += rng.range(-ch / 3, ch / 3);
                } else if (kind == 1) {
                    // Pushed away from (or towards) the middle.
                    const double r = std::hypot(x - 48, y - 48) / 48;
                    x = 48 + (x - 48) * (1 + k * r * r);
                    y = 48 + (y - 48) * (1 + k * r * r);
                } else {
                    x += 4 * k * cw * std::sin(3.0 * j / m.ny + i);
                    y += 4 * k * ch * std::sin(2.0 * i / m.nx + j);
                }
                if (mirror & 1) {
                    x = 95 - x;
                }
                if (mirror & 2) {
                    y = 95 - y;
                }
                m.grid.push_back(
                    {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))});
            }
        }
        bool convex = true;
        for (int j = 0; j + 1 < m.ny; ++j) {
            for (int i = 0; i + 1 < m.nx; ++i) {
                convex = convex && geometry::Cell(m.grid, m.nx, i, j).turn != 0;
            }
        }
        if (convex) {
            return m;
        }
    }
}

TEST(Warp, MeshesOfConvexCellsArePaintedWithoutHoles) {
    // Iso-lines that run along a row: the cell's v = 5/7 lies on row 30,
    // and two stacked cells share the row 20.
    const Mesh worked[] = {{2, 2, {{0, 5}, {34, 0}, {3, 40}, {40, 42}}},
                           {2, 3, {{2, 3}, {40, 1}, {5, 20}, {44, 20}, {1, 41}, {42, 44}}}};
    for (const Mesh& m : worked) {
        EXPECT_EQ(warpedMesh(m, 48), "");
    }
    Rng rng(11);
    for (int n = 0; n < 300; ++n) {
        const Mesh m = randomMesh(rng);
        ASSERT_EQ(warpedMesh(m, 96), "") << "mesh " << n;
    }
}

// Every level paints the plain member's bytes: meshes as above, freely
// jittered ones (folded cells included), single cells whose maps have zero
// coefficients (every case of the inversion, degenerate ones included),
// over sources with patchy alpha, and a buffer warped into itself, which
// reads what it has painted.
class WarpFastPath : public KernelLevels {};

TEST_P(WarpFastPath, MatchesThePlainMember) {
    Rng rng(23);
    for (int n = 0; n < 160; ++n) {
        Mesh m = randomMesh(rng);
        if (n % 4 == 1) {
            for (_VORNPOINT& p : m.grid) {
                p.x += rng.range(-9, 9);
                p.y += rng.range(-9, 9);
            }
        } else if (n % 4 == 2) {
            int k[6];
            for (int& c : k) {
                c = rng.range(0, 2) == 0 ? 0 : rng.range(-40, 40);
            }
            const _VORNPOINT o{rng.range(0, 60), rng.range(0, 60)};
            m = Mesh{2,
                     2,
                     {o,
                      {o.x + k[0], o.y + k[1]},
                      {o.x + k[2], o.y + k[3]},
                      {o.x + k[0] + k[2] + k[4], o.y + k[1] + k[3] + k[5]}}};
        }
        const BufferPtr src = n % 2 ? patchyBuffer(rng, rng.range(1, 50), rng.range(1, 50))
                                    : makeRandom(rng, rng.range(1, 50), rng.range(1, 50));
        const BufferPtr fast = makeFilled(96, 96, kPaper);
        const BufferPtr plain = makeFilled(96, 96, kPaper);
        const bool self = n % 10 == 0;
        const BufferPtr& source = self ? fast : src;
        EXPECT_TRUE(source->warp(fast.get(), m.grid.data(), m.nx, m.ny));
        const vorn::detail::KernelLevel level = vorn::detail::kernelLevel();
        vorn::detail::setKernelLevel(vorn::detail::KernelLevel::Reference);
        (self ? plain : src)->warp(plain.get(), m.grid.data(), m.nx, m.ny);
        vorn::detail::setKernelLevel(level);
        ASSERT_EQ(words(*fast), words(*plain)) << "mesh " << n;
    }
}

VORN_FAST_KERNEL_LEVELS(WarpFastPath);

// ---------------------------------------------------------------------------
// The inverse map
// ---------------------------------------------------------------------------

struct Quad {
    const char* name;
    double coeffs[6]; // a to f of the map
};

// The bilinear map x = a u + c v + e u v, y = b u + d v + f u v.
std::pair<double, double> forward(const double* k, double u, double v) {
    return {k[0] * u + k[2] * v + k[4] * u * v, k[1] * u + k[3] * v + k[5] * u * v};
}

std::pair<double, double> inverse(const double* k, double x, double y) {
    BufferPtr host = makeBuffer(1, 1);
    double u = -1.0;
    double v = -1.0;
    (host.get()->*Access::warpCoorFn)(x, y, u, v, k);
    return {u, v};
}

// One quadrilateral per row of the case table; points inside map back to
// their parameters, and the parameters found map forward to the point.
TEST(WarpCoor, EveryCaseInvertsTheMap) {
    const Quad quads[] = {
        {"e = f = 0", {10, 1, 2, 10, 0, 0}},
        {"f only, a = 0", {0, 10, 10, 0, 0, 4}},
        {"f only, c = 0", {10, 0, 0, 10, 0, 4}},
        {"f only, quadratic", {10, 1, 2, 10, 0, 4}},
        {"f only, quadratic, f < 0", {10, 1, 2, 10, 0, -4}},
        {"e only, b = 0", {10, 0, 2, 10, 3, 0}},
        {"e only, d = 0", {10, 5, 2, 0, 3, 0}},
        {"e only, quadratic", {10, 1, 2, 10, 3, 0}},
        {"e only, quadratic, e < 0", {10, 1, 2, 10, -3, 0}},
        {"both, K = 0", {2, 1, 0, 10, 2, 1}},
        {"both, quadratic", {10, 1, 2, 10, 3, 2}},
        {"both, quadratic, mixed signs", {10, 1, 2, 10, -3, 2}},
    };
    const double params[][2] = {{0.25, 0.5}, {0.75, 0.1}, {0.5, 0.9}, {0.0, 0.0}, {0.96, 0.97}};
    for (const Quad& q : quads) {
        for (const auto& uv : params) {
            const auto [x, y] = forward(q.coeffs, uv[0], uv[1]);
            const auto [u, v] = inverse(q.coeffs, x, y);
            EXPECT_NEAR(u, uv[0], 1e-9) << q.name << " at " << uv[0] << ", " << uv[1];
            EXPECT_NEAR(v, uv[1], 1e-9) << q.name << " at " << uv[0] << ", " << uv[1];
            const auto [bx, by] = forward(q.coeffs, u, v);
            EXPECT_NEAR(bx, x, 1e-9) << q.name;
            EXPECT_NEAR(by, y, 1e-9) << q.name;
        }
    }
}

// A strongly folded quadrilateral has points without a real inverse; they
// come back as NaN, and the warp writes nothing there. A flat one writes
// nothing at all.
TEST(Warp, PointsWithoutAnInverseWriteNothing) {
    const _VORNPOINT quad[4] = {{0, 0}, {30, 0}, {0, 2}, {2, 30}};
    const double coeffs[6] = {30, 0, 2, 30, 0 - 30 - 2, 2 - 0 - 30};
    BufferPtr src = makeFilled(8, 8, rgba(200, 100, 50));
    BufferPtr dst = makeFilled(40, 40, kPaper);
    const _VORNPOINT rect[2] = {{0, 0}, {8, 8}};
    EXPECT_TRUE((src.get()->*Access::warpQuadFn)(dst.get(), rect, quad));
    int noRoot = 0;
    for (int Y = 0; Y < 30; ++Y) {
        for (int X = 0; X < 30; ++X) {
            const auto [u, v] = inverse(coeffs, X, Y);
            if (std::isnan(u) || std::isnan(v)) {
                ++noRoot;
                EXPECT_EQ(at(*dst, X, Y), kPaper) << X << ", " << Y;
            }
        }
    }
    EXPECT_GT(noRoot, 0);
    dst = makeFilled(10, 10, kPaper);
    const _VORNPOINT flat[4] = {{4, 0}, {4, 3}, {4, 9}, {4, 5}};
    EXPECT_TRUE((src.get()->*Access::warpQuadFn)(dst.get(), rect, flat));
    EXPECT_TRUE(changedPixels(*dst, kPaper).empty());
}

} // namespace
