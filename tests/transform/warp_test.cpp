// Mesh warp: arguments, the identity and doubling examples, clipping,
// transparency, and the inverse of the bilinear map case by case.

#include "transform_test.h"

#include <climits>
#include <cmath>

namespace {

using TP = TransformProtected;

BufferPtr distinctOpaque(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            *b->getPixel(x, y) = rgba(x * 25, y * 25, (x * 7 + y * 11) % 256);
        }
    }
    return b;
}

TEST(Warp, RefusesDegenerateGridsAndNullArguments) {
    BufferPtr src = distinctOpaque(10, 10);
    BufferPtr dst = makeFilled(10, 10, rgba(1, 2, 3, 4));
    const auto before = words(*dst);
    const _VORNPOINT grid[4] = {{0, 0}, {10, 0}, {0, 10}, {10, 10}};
    EXPECT_FALSE(src->warp(dst.get(), grid, 1, 4));
    EXPECT_FALSE(src->warp(dst.get(), grid, 4, 1));
    EXPECT_FALSE(src->warp(dst.get(), grid, 0, 2));
    EXPECT_FALSE(src->warp(dst.get(), grid, INT_MIN, 2));
    EXPECT_FALSE(src->warp(nullptr, grid, 2, 2));
    EXPECT_FALSE(src->warp(dst.get(), nullptr, 2, 2));
    _VORNRGBAQUAD* saved = TP::pixelsOf(*src);
    TP::pixelsOf(*src) = nullptr;
    EXPECT_FALSE(src->warp(dst.get(), grid, 2, 2));
    TP::pixelsOf(*src) = saved;
    EXPECT_EQ(words(*dst), before);
}

TEST(Warp, IdentityCopiesAnOpaqueSource) {
    BufferPtr src = distinctOpaque(10, 10);
    BufferPtr dst = makeBuffer(10, 10);
    const _VORNPOINT grid[4] = {{0, 0}, {10, 0}, {0, 10}, {10, 10}};
    EXPECT_TRUE(src->warp(dst.get(), grid, 2, 2));
    EXPECT_EQ(words(*dst), words(*src));

    // The same through a 3 x 4 mesh of the regular grid: the cells share
    // edges without gaps.
    BufferPtr dst2 = makeBuffer(10, 10);
    std::vector<_VORNPOINT> mesh;
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 3; ++i) {
            mesh.push_back({10 * i / 2, 10 * j / 3});
        }
    }
    EXPECT_TRUE(src->warp(dst2.get(), mesh.data(), 3, 4));
    EXPECT_EQ(words(*dst2), words(*src));
}

// Onto twice the size: destination (X, Y) samples (X / 2, Y / 2). Weights
// in halves per direction: even X takes column X / 2 alone, odd X columns
// (X - 1) / 2 and (X + 1) / 2 equally, except X = 19, whose right neighbour
// lies outside the source.
TEST(Warp, DoublingInterpolatesAndKeepsTheLastColumnsColour) {
    BufferPtr src = distinctOpaque(10, 10);
    BufferPtr dst = makeBuffer(20, 20);
    const _VORNPOINT grid[4] = {{0, 0}, {20, 0}, {0, 20}, {20, 20}};
    EXPECT_TRUE(src->warp(dst.get(), grid, 2, 2));
    auto taps = [](int X, int t[2], int w[2]) {
        t[0] = X / 2;
        t[1] = X / 2 + 1;
        w[0] = X % 2 ? 1 : 2;
        w[1] = X % 2 && X != 19 ? 1 : 0;
    };
    for (int Y = 0; Y < 20; ++Y) {
        for (int X = 0; X < 20; ++X) {
            int cx[2];
            int wx[2];
            int cy[2];
            int wy[2];
            taps(X, cx, wx);
            taps(Y, cy, wy);
            int total = 0;
            int r = 0;
            int g = 0;
            int b = 0;
            for (int j = 0; j < 2; ++j) {
                for (int i = 0; i < 2; ++i) {
                    const int w = wx[i] * wy[j];
                    if (w == 0) {
                        continue;
                    }
                    const _VORNRGBAQUAD p = at(*src, cx[i], cy[j]);
                    total += w;
                    r += w * p.red;
                    g += w * p.green;
                    b += w * p.blue;
                }
            }
            EXPECT_EQ(at(*dst, X, Y), rgba(r / total, g / total, b / total))
                << "at " << X << ", " << Y;
        }
    }
    EXPECT_EQ(at(*dst, 19, 4), at(*src, 9, 2));
    EXPECT_EQ(at(*dst, 6, 19), at(*src, 3, 9));
}

TEST(Warp, AFlatQuadrilateralWritesNothing) {
    BufferPtr src = distinctOpaque(10, 10);
    BufferPtr dst = makeFilled(10, 10, rgba(1, 2, 3, 4));
    const _VORNPOINT rect[2] = {{0, 0}, {10, 10}};
    const _VORNPOINT quad[4] = {{4, 0}, {4, 3}, {4, 9}, {4, 5}};
    EXPECT_TRUE((src.get()->*TP::warpQuad)(dst.get(), rect, quad));
    EXPECT_EQ(changedPixels(*dst, rgba(1, 2, 3, 4)), PixelSet{});
}

TEST(Warp, TransparentAreasLeaveTheDestinationAlone) {
    BufferPtr src = distinctOpaque(10, 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 5; x < 10; ++x) {
            src->getPixel(x, y)->alpha = 0;
        }
    }
    BufferPtr dst = makeFilled(20, 20, rgba(1, 2, 3, 4));
    const _VORNPOINT grid[4] = {{0, 0}, {20, 0}, {0, 20}, {20, 20}};
    EXPECT_TRUE(src->warp(dst.get(), grid, 2, 2));
    for (int Y = 0; Y < 20; ++Y) {
        for (int X = 0; X < 20; ++X) {
            const _VORNRGBAQUAD p = at(*dst, X, Y);
            if (X >= 10) {
                // Source columns 5 and beyond are clear.
                EXPECT_EQ(p, rgba(1, 2, 3, 4)) << X << ", " << Y;
            } else if (X == 9) {
                // Half of source column 4, half of clear column 5: the clear
                // colour does not bleed in and the pixel is opaque.
                const _VORNRGBAQUAD expected = X == 9 && Y % 2 == 0 ? at(*src, 4, Y / 2) : p;
                EXPECT_EQ(p, expected);
                EXPECT_EQ(p.alpha, 255);
                EXPECT_EQ(p.red, 100);
            } else {
                EXPECT_EQ(p.alpha, 255);
            }
        }
    }
}

TEST(Warp, PaintsOnlyThePartInsideTheDestination) {
    BufferPtr src = makeFilled(10, 10, rgba(200, 100, 50));
    BufferPtr dst = makeFilled(10, 10, rgba(1, 2, 3, 4));
    // The quadrilateral covers the destination's left and top halves only.
    const _VORNPOINT grid[4] = {{-10, -10}, {5, -10}, {-10, 5}, {5, 5}};
    EXPECT_TRUE(src->warp(dst.get(), grid, 2, 2));
    for (int Y = 0; Y < 10; ++Y) {
        for (int X = 0; X < 10; ++X) {
            const _VORNRGBAQUAD expected = X < 5 && Y < 5 ? rgba(200, 100, 50) : rgba(1, 2, 3, 4);
            EXPECT_EQ(at(*dst, X, Y), expected) << X << ", " << Y;
        }
    }
    // Corners at the ends of the int range: clipped, nothing overflows.
    const _VORNPOINT huge[4] = {
        {INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MAX}};
    EXPECT_TRUE(src->warp(dst.get(), huge, 2, 2));
}

// ---------------------------------------------------------------------------
// The inverse map
// ---------------------------------------------------------------------------

struct Quad {
    const char* name;
    double a, b, c, d, e, f;
};

void forward(const Quad& q, double u, double v, double& x, double& y) {
    x = q.a * u + q.c * v + q.e * u * v;
    y = q.b * u + q.d * v + q.f * u * v;
}

// One quadrilateral per row of the case table (coefficients as the map's
// a to f); points inside map back to their parameters, and the
// parameters found map forward to the point.
TEST(WarpCoor, EveryCaseInvertsTheMap) {
    const Quad quads[] = {
        {"e = f = 0", 10, 1, 2, 10, 0, 0},
        {"f only, a = 0", 0, 10, 10, 0, 0, 4},
        {"f only, c = 0", 10, 0, 0, 10, 0, 4},
        {"f only, quadratic", 10, 1, 2, 10, 0, 4},
        {"f only, quadratic, f < 0", 10, 1, 2, 10, 0, -4},
        {"e only, b = 0", 10, 0, 2, 10, 3, 0},
        {"e only, d = 0", 10, 5, 2, 0, 3, 0},
        {"e only, quadratic", 10, 1, 2, 10, 3, 0},
        {"e only, quadratic, e < 0", 10, 1, 2, 10, -3, 0},
        {"both, K = 0", 2, 1, 0, 10, 2, 1},
        {"both, quadratic", 10, 1, 2, 10, 3, 2},
        {"both, quadratic, mixed signs", 10, 1, 2, 10, -3, 2},
    };
    const double params[][2] = {{0.25, 0.5}, {0.75, 0.1}, {0.5, 0.9}, {0.0, 0.0}, {0.96, 0.97}};
    BufferPtr host = makeBuffer(1, 1);
    for (const Quad& q : quads) {
        const double coeffs[6] = {q.a, q.b, q.c, q.d, q.e, q.f};
        for (const auto& uv : params) {
            double x = 0.0;
            double y = 0.0;
            forward(q, uv[0], uv[1], x, y);
            double u = -1.0;
            double v = -1.0;
            (host.get()->*TP::warpCoorFn)(x, y, u, v, coeffs);
            EXPECT_NEAR(u, uv[0], 1e-9) << q.name << " at " << uv[0] << ", " << uv[1];
            EXPECT_NEAR(v, uv[1], 1e-9) << q.name << " at " << uv[0] << ", " << uv[1];
            double bx = 0.0;
            double by = 0.0;
            forward(q, u, v, bx, by);
            EXPECT_NEAR(bx, x, 1e-9) << q.name;
            EXPECT_NEAR(by, y, 1e-9) << q.name;
        }
    }
}

TEST(WarpCoor, DegenerateMapsGiveTheOrigin) {
    const Quad quads[] = {
        {"no x extent", 0, 3, 0, 4, 0, 5},
        {"no y extent", 3, 0, 4, 0, 5, 0},
        {"both, K = M = 0", 2, 1, 4, 2, 2, 1},
    };
    BufferPtr host = makeBuffer(1, 1);
    for (const Quad& q : quads) {
        const double coeffs[6] = {q.a, q.b, q.c, q.d, q.e, q.f};
        double u = -1.0;
        double v = -1.0;
        (host.get()->*TP::warpCoorFn)(3.0, 2.0, u, v, coeffs);
        EXPECT_EQ(u, 0.0) << q.name;
        EXPECT_EQ(v, 0.0) << q.name;
    }
    // A singular affine map passes the point through.
    const double parallel[6] = {1, 1, 2, 2, 0, 0};
    double u = 0.0;
    double v = 0.0;
    (host.get()->*TP::warpCoorFn)(0.25, 0.5, u, v, parallel);
    EXPECT_EQ(u, 0.25);
    EXPECT_EQ(v, 0.5);
}

// A strongly folded quadrilateral has points without a real inverse; they
// come back as NaN, and the warp writes nothing there.
TEST(Warp, PointsWithoutAnInverseWriteNothing) {
    const _VORNPOINT quad[4] = {{0, 0}, {30, 0}, {0, 2}, {2, 30}};
    const double a = 30;
    const double b = 0;
    const double c = 2;
    const double d = 30;
    const double e = 0 - a - c;
    const double f = 2 - b - d;
    const double coeffs[6] = {a, b, c, d, e, f};
    BufferPtr src = makeFilled(8, 8, rgba(200, 100, 50));
    BufferPtr dst = makeFilled(40, 40, rgba(1, 2, 3, 4));
    int noRoot = 0;
    for (int Y = 0; Y < 30; ++Y) {
        for (int X = 0; X < 30; ++X) {
            double u = 0.0;
            double v = 0.0;
            (src.get()->*TP::warpCoorFn)(X, Y, u, v, coeffs);
            if (std::isnan(u) || std::isnan(v)) {
                ++noRoot;
            }
        }
    }
    ASSERT_GT(noRoot, 0);
    const _VORNPOINT rect[2] = {{0, 0}, {8, 8}};
    EXPECT_TRUE((src.get()->*TP::warpQuad)(dst.get(), rect, quad));
    for (int Y = 0; Y < 30; ++Y) {
        for (int X = 0; X < 30; ++X) {
            double u = 0.0;
            double v = 0.0;
            (src.get()->*TP::warpCoorFn)(X, Y, u, v, coeffs);
            if (std::isnan(u) || std::isnan(v)) {
                EXPECT_EQ(at(*dst, X, Y), rgba(1, 2, 3, 4)) << X << ", " << Y;
            }
        }
    }
}

TEST(WarpPixel, AddsWeightedColoursAndReturnsTheAlphaShare) {
    BufferPtr src = makeBuffer(2, 1);
    *src->getPixel(0, 0) = rgba(100, 50, 20, 51);
    double r = 1.0;
    double g = 0.0;
    double b = 0.0;
    const double share = (src.get()->*TP::warpPixelFn)(src->getPixel(0, 0), 0, 0, r, g, b, 0.5);
    EXPECT_EQ(share, 51 * 0.5 / 255.0);
    EXPECT_EQ(r, 51.0);
    EXPECT_EQ(g, 25.0);
    EXPECT_EQ(b, 10.0);
    // Weight 0, or a position outside the source: nothing.
    EXPECT_EQ((src.get()->*TP::warpPixelFn)(src->getPixel(0, 0), 0, 0, r, g, b, 0.0), 0.0);
    EXPECT_EQ((src.get()->*TP::warpPixelFn)(nullptr, 2, 0, r, g, b, 1.0), 0.0);
    EXPECT_EQ((src.get()->*TP::warpPixelFn)(nullptr, 0, -1, r, g, b, 1.0), 0.0);
    EXPECT_EQ(r, 51.0);
}

} // namespace
