// SPDX-License-Identifier: MIT
// The span scan converter against the plain one, on seeded random edges and
// polygons (far outside the buffer and near the ends of the 32-bit range
// included).

#include "vector_test.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

__extension__ typedef __int128 Int128;

using vorn::detail::bresenhamError;
using vorn::detail::bresenhamMinorSteps;
using vorn::detail::bresenhamStepsToReach;

// ---------------------------------------------------------------------------
// Bresenham steps in closed form
// ---------------------------------------------------------------------------

// m(k) = ceil((2 * minor * k - major) / (2 * major)), in 128 bits.
std::uint64_t minorStepsWide(std::uint64_t major, std::uint64_t minor, std::uint64_t k) {
    const Int128 num = Int128{2} * minor * k - major;
    const Int128 den = Int128{2} * major;
    return num <= 0 ? 0 : static_cast<std::uint64_t>((num + den - 1) / den);
}

TEST(BresenhamSteps, AgreeWithWideArithmeticAcrossTheWholeRange) {
    Rng rng(5);
    const std::uint64_t top = 0xFFFFFFFFull; // the largest span of two ints
    for (int trial = 0; trial < 50000; ++trial) {
        const std::uint64_t major = trial % 3 == 0 ? top - rng.next() % 1000 : 1 + rng.next() % top;
        const std::uint64_t minor = trial % 5 == 0
                                        ? major - std::min<std::uint64_t>(major, rng.next() % 4)
                                        : rng.next() % (major + 1);
        const std::uint64_t k = trial % 7 == 0
                                    ? major - rng.next() % std::min<std::uint64_t>(major, 9)
                                    : rng.next() % (major + 1);
        const std::uint64_t m = minorStepsWide(major, minor, k);
        ASSERT_EQ(bresenhamMinorSteps(major, minor, k), m) << major << " " << minor << " " << k;
        const Int128 e = -Int128(major) + Int128(2) * minor * k - Int128(2) * major * m;
        ASSERT_EQ(static_cast<Int128>(bresenhamError(major, minor, k)), e);
        // m(k) is reached at k, and not before unless the walk had already
        // reached it. (Short lines meet the closed forms in the tracer's
        // comparison with the plain walk below.)
        const std::uint64_t first =
            bresenhamStepsToReach(major, minor, static_cast<std::int64_t>(m));
        ASSERT_LE(first, k);
        ASSERT_GE(minorStepsWide(major, minor, first), m);
        if (first > 0) {
            ASSERT_LT(minorStepsWide(major, minor, first - 1), m);
        }
    }
}

// ---------------------------------------------------------------------------
// Edges and polygons against the plain scan converter
// ---------------------------------------------------------------------------

int coordinate(Rng& rng, int size, int reach) {
    switch (rng.range(0, 7)) {
    case 0:
        return rng.range(-reach, reach);
    case 1:
        return rng.range(0, 1) ? -1 : size;
    case 2:
        return rng.range(0, size - 1);
    default:
        return rng.range(-size, 2 * size);
    }
}

// Edges of three kinds: short ones about the buffer, long ones (up to 2^24
// steps for the plain walk) entering and leaving on every side, and short
// ones near the ends of the 32-bit range. Each is traced by the plain
// fillLine and by the span tracer; cells and carries must agree.
TEST(SpanTracer, EdgesMatchThePlainWalk) {
    Rng rng(11);
    const int anchors[] = {INT_MIN, INT_MIN + 70, -70, 0, 70, INT_MAX - 70, INT_MAX};
    for (int trial = 0; trial < 12000; ++trial) {
        const int w = rng.range(1, 30);
        const int h = rng.range(1, 30);
        struct Edge {
            _VORNPOINT previous, start, end;
            int extremumRun;
        };
        std::vector<Edge> edges;
        if (trial % 300 == 0) {
            const int reach = 1 << rng.range(10, 23);
            auto far = [&](int size) {
                return rng.range(0, 2) == 0 ? rng.range(-2, size + 1) : rng.range(-reach, reach);
            };
            const _VORNPOINT a = pt(far(w), far(h)), b = pt(far(w), far(h)), v = pt(far(w), far(h));
            edges.push_back({v, a, b, 0});
            edges.push_back({a, b, v, 0});
        } else if (trial % 4 == 0) {
            const int ax = anchors[rng.range(0, 6)];
            const int ay = anchors[rng.range(0, 6)];
            auto near = [&](int anchor) {
                const long long v = static_cast<long long>(anchor) + rng.range(-70, 70);
                return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
            };
            const _VORNPOINT a = pt(near(ax), near(ay)), b = pt(near(ax), near(ay)),
                             v = pt(near(ax), near(ay));
            edges.push_back({v, a, b, rng.range(0, 1)});
            edges.push_back({a, b, v, rng.range(0, 1)});
        } else {
            const int reach = trial % 10 == 1 ? 200000 : 60;
            for (int i = rng.range(1, 4); i > 0; --i) {
                const _VORNPOINT a = pt(coordinate(rng, w, reach), coordinate(rng, h, reach));
                _VORNPOINT b = pt(coordinate(rng, w, reach), coordinate(rng, h, reach));
                b.y = rng.range(0, 5) == 0 ? a.y : b.y; // horizontal, or a repeated point
                b = rng.range(0, 9) == 0 ? a : b;
                const _VORNPOINT v = pt(coordinate(rng, w, reach), a.y + rng.range(-3, 3));
                edges.push_back({v, a, b, rng.range(0, 1)});
            }
        }
        BufferPtr plain = makeBuffer(w, h);
        BufferPtr span = makeBuffer(w, h);
        fill(*plain, Polygon{{pt(0, 0)}}, kClear); // allocates the work areas
        fill(*span, Polygon{{pt(0, 0)}}, kClear);
        vorn::detail::ScanFill tracer(vorn::detail::prepareScanSurface(*span));
        for (const Edge& e : edges) {
            (plain.get()->*Access::fillLineFn)(e.previous, e.start, e.end, e.extremumRun);
            tracer.traceEdge(e.previous, e.start, e.end, e.extremumRun);
        }
        ASSERT_EQ(cells(*plain), cells(*span)) << "trial " << trial;
        ASSERT_EQ(carries(*plain), carries(*span)) << "trial " << trial;
    }
}

Polygon randomPolygon(Rng& rng, int w, int h, int reach, int points) {
    Polygon p;
    for (int k = rng.range(1, 4); k > 0; --k) {
        std::vector<_VORNPOINT> c;
        for (int i = rng.range(1, points); i > 0; --i) {
            _VORNPOINT q = pt(coordinate(rng, w, reach), coordinate(rng, h, reach));
            if (!c.empty() && rng.range(0, 4) == 0) {
                q.y = c.back().y; // horizontal runs
            }
            if (!c.empty() && rng.range(0, 12) == 0) {
                q = c.back(); // repeated points
            }
            c.push_back(q);
        }
        if (rng.range(0, 8) == 0) {
            c.push_back(c.front()); // closed explicitly
        }
        p.add(c);
    }
    return p;
}

// Every fill of random polygons, through fillPolygon and the blended and
// textured fills, against the plain fills. The same two buffers are reused
// so that each fill starts from the work areas the previous one left. One
// round in ten is taller than several bands of rows and has contours of
// many points, whose edges crowd rows.
TEST(SpanFill, RandomPolygonsMatchThePlainFills) {
    Rng rng(21);
    auto canvas = [&](int w, int h) {
        BufferPtr b = makeBuffer(w, h);
        for (int i = 0; i < w * h; ++i) {
            // Some pixels equal to the colour used, for mode 9.
            b->getPixels()[i] = rng.range(0, 5) == 0 ? rgba(10, 20, 30, 40) : rng.pixel();
        }
        return b;
    };
    for (int round = 0; round < 100; ++round) {
        const bool tall = round % 10 == 9;
        const int w = rng.range(1, round % 3 == 0 ? 90 : 30);
        const int h = tall ? rng.range(60, 150) : rng.range(1, 30);
        BufferPtr fast = canvas(w, h);
        BufferPtr plain = makeBuffer(w, h);
        std::memcpy(plain->getPixels(), fast->getPixels(), static_cast<std::size_t>(w * h) * 4);
        BufferPtr texture = canvas(rng.range(1, 7), rng.range(1, 7));
        for (int trial = 0; trial < 50; ++trial) {
            const int reach = trial == 49 && round % 4 == 0 ? 1 << 20 : trial % 6 == 0 ? 3000 : 40;
            const Polygon p = randomPolygon(rng, w, h, reach, tall ? 40 : 9);
            const int kind = rng.range(0, 5);
            _VORNRGBAQUAD c = rng.range(0, 3) == 0 ? rgba(10, 20, 30, 40) : rng.pixel();
            c.alpha = rng.range(0, 3) == 0 ? 255 : c.alpha;
            const int modes[] = {0, 4, 5, 9, 9, 1};
            const int mode = modes[rng.range(0, 5)];
            const unsigned char opacity = rng.range(0, 2) == 0 ? 255 : rng.byte();
            if (kind < 3) {
                ASSERT_EQ(fill(*fast, p, c, mode), fillReference(*plain, p, c, mode));
            } else if (kind < 5) {
                ASSERT_EQ(fillBlend(*fast, p, c), fillBlendReference(*plain, p, c));
            } else {
                ASSERT_EQ(fillBitmap(*fast, p, texture.get(), opacity),
                          fillBitmapReference(*plain, p, texture.get(), opacity));
            }
            ASSERT_EQ(words(*fast), words(*plain))
                << "round " << round << " trial " << trial << " kind " << kind << " mode " << mode;
        }
    }
}

} // namespace
