// The span scan converter against the plain one, on seeded random edges and
// polygons (far outside the buffer and near the ends of the 32-bit range
// included), and both against rules that do not depend on either: the
// winding of the polygon itself, the outline's pixels, the bounding box.

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

TEST(BresenhamSteps, EqualTheWalkForEverySmallLine) {
    for (std::uint64_t major = 1; major <= 90; ++major) {
        for (std::uint64_t minor = 0; minor <= major; ++minor) {
            std::int64_t e = -static_cast<std::int64_t>(major);
            std::uint64_t m = 0;
            std::vector<std::uint64_t> firstReaching(minor + 2, major + 1);
            firstReaching[0] = 0;
            for (std::uint64_t k = 0; k <= major; ++k) {
                ASSERT_EQ(bresenhamMinorSteps(major, minor, k), m)
                    << major << " " << minor << " " << k;
                ASSERT_EQ(bresenhamError(major, minor, k), e) << major << " " << minor << " " << k;
                if (firstReaching[m] > k) {
                    firstReaching[m] = k;
                }
                e += 2 * static_cast<std::int64_t>(minor);
                if (e > 0) {
                    ++m;
                    e -= 2 * static_cast<std::int64_t>(major);
                }
            }
            for (std::int64_t t = -2; t <= static_cast<std::int64_t>(minor) + 1; ++t) {
                const std::uint64_t expected =
                    t <= 0 ? 0 : firstReaching[static_cast<std::size_t>(t)];
                ASSERT_EQ(bresenhamStepsToReach(major, minor, t), expected)
                    << major << " " << minor << " " << t;
            }
        }
    }
}

// m(k) = ceil((2 * minor * k - major) / (2 * major)), in 128 bits.
std::uint64_t minorStepsWide(std::uint64_t major, std::uint64_t minor, std::uint64_t k) {
    const Int128 num = Int128{2} * minor * k - major;
    const Int128 den = Int128{2} * major;
    if (num <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>((num + den - 1) / den);
}

TEST(BresenhamSteps, AgreeWithWideArithmeticAcrossTheWholeRange) {
    Rng rng(5);
    const std::uint64_t top = 0xFFFFFFFFull; // the largest span of two ints
    for (int trial = 0; trial < 200000; ++trial) {
        std::uint64_t major = trial % 3 == 0 ? top - rng.next() % 1000 : 1 + rng.next() % top;
        std::uint64_t minor = rng.next() % (major + 1);
        if (trial % 5 == 0) {
            minor = major - std::min<std::uint64_t>(major, rng.next() % 4);
        }
        const std::uint64_t k = trial % 7 == 0
                                    ? major - rng.next() % std::min<std::uint64_t>(major, 9)
                                    : rng.next() % (major + 1);
        const std::uint64_t m = minorStepsWide(major, minor, k);
        ASSERT_EQ(bresenhamMinorSteps(major, minor, k), m) << major << " " << minor << " " << k;
        const Int128 e = -Int128(major) + Int128(2) * minor * k - Int128(2) * major * m;
        ASSERT_EQ(static_cast<Int128>(bresenhamError(major, minor, k)), e);
        // The least step reaching m: m(k) is reached at k, and not before
        // unless the walk had already reached it.
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
// Edges
// ---------------------------------------------------------------------------

struct EdgeCase {
    _VORNPOINT previous;
    _VORNPOINT start;
    _VORNPOINT end;
    int extremumRun;
};

// Traces edges with the plain fillLine and with the span tracer into two
// buffers of the same size and compares cells and carries.
void expectSameTrace(int w, int h, const std::vector<EdgeCase>& edges, const std::string& what) {
    BufferPtr plain = makeBuffer(w, h);
    BufferPtr span = makeBuffer(w, h);
    const Polygon one{{pt(0, 0)}};
    fill(*plain, one, rgba(0, 0, 0, 0)); // allocates the work areas
    fill(*span, one, rgba(0, 0, 0, 0));
    const vorn::detail::ScanSurface surface = vorn::detail::prepareScanSurface(*span);
    vorn::detail::ScanFill tracer(surface);
    for (const EdgeCase& e : edges) {
        (plain.get()->*VectorProtected::fillLineFn)(e.previous, e.start, e.end, e.extremumRun);
        tracer.traceEdge(e.previous, e.start, e.end, e.extremumRun);
    }
    ASSERT_EQ(cells(*plain), cells(*span)) << what;
    ASSERT_EQ(carries(*plain), carries(*span)) << what;
}

std::string describe(const std::vector<EdgeCase>& edges) {
    std::string s;
    for (const EdgeCase& e : edges) {
        s += "(" + std::to_string(e.previous.x) + "," + std::to_string(e.previous.y) + ") (" +
             std::to_string(e.start.x) + "," + std::to_string(e.start.y) + ")->(" +
             std::to_string(e.end.x) + "," + std::to_string(e.end.y) + ") f" +
             std::to_string(e.extremumRun) + "; ";
    }
    return s;
}

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

TEST(SpanTracer, EdgesMatchThePlainWalk) {
    Rng rng(11);
    for (int trial = 0; trial < 20000; ++trial) {
        const int w = rng.range(1, 24);
        const int h = rng.range(1, 24);
        const int reach = trial % 10 == 0 ? 200000 : 60;
        std::vector<EdgeCase> edges;
        const int count = rng.range(1, 4);
        for (int i = 0; i < count; ++i) {
            const _VORNPOINT a = pt(coordinate(rng, w, reach), coordinate(rng, h, reach));
            _VORNPOINT b = pt(coordinate(rng, w, reach), coordinate(rng, h, reach));
            if (rng.range(0, 5) == 0) {
                b.y = a.y; // horizontal, or a repeated point
            }
            if (rng.range(0, 9) == 0) {
                b = a;
            }
            const _VORNPOINT v = pt(coordinate(rng, w, reach), a.y + rng.range(-3, 3));
            edges.push_back({v, a, b, rng.range(0, 1)});
        }
        expectSameTrace(w, h, edges, "trial " + std::to_string(trial) + ": " + describe(edges));
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Long edges, up to 2^24 steps for the plain walk, entering and leaving
// the buffer on every side.
TEST(SpanTracer, LongEdgesMatchThePlainWalk) {
    Rng rng(12);
    for (int trial = 0; trial < 40; ++trial) {
        const int w = rng.range(1, 40);
        const int h = rng.range(1, 40);
        const int reach = 1 << rng.range(10, 23);
        auto far = [&](int size) {
            return rng.range(0, 2) == 0 ? rng.range(-2, size + 1) : rng.range(-reach, reach);
        };
        const _VORNPOINT a = pt(far(w), far(h));
        const _VORNPOINT b = pt(far(w), far(h));
        const _VORNPOINT v = pt(far(w), far(h));
        const std::vector<EdgeCase> edges = {{v, a, b, 0}, {a, b, v, 0}};
        expectSameTrace(w, h, edges, "trial " + std::to_string(trial) + ": " + describe(edges));
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Edges near the ends of the range that the plain walk can still take:
// short, far away, or running just past the buffer.
TEST(SpanTracer, EdgesNearTheEndsOfTheRange) {
    Rng rng(13);
    const int anchors[] = {INT_MIN, INT_MIN + 70, -70, 0, 70, INT_MAX - 70, INT_MAX};
    for (int trial = 0; trial < 5000; ++trial) {
        const int w = rng.range(1, 30);
        const int h = rng.range(1, 30);
        const int ax = anchors[rng.range(0, 6)];
        const int ay = anchors[rng.range(0, 6)];
        auto near = [&](int anchor) {
            const long long v = static_cast<long long>(anchor) + rng.range(-70, 70);
            return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
        };
        const _VORNPOINT a = pt(near(ax), near(ay));
        const _VORNPOINT b = pt(near(ax), near(ay));
        const _VORNPOINT v = pt(near(ax), near(ay));
        const std::vector<EdgeCase> edges = {{v, a, b, rng.range(0, 1)},
                                             {a, b, v, rng.range(0, 1)}};
        expectSameTrace(w, h, edges, "trial " + std::to_string(trial) + ": " + describe(edges));
        if (HasFatalFailure()) {
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Polygons
// ---------------------------------------------------------------------------

Polygon randomPolygon(Rng& rng, int w, int h, int reach) {
    Polygon p;
    const int contours = rng.range(1, 4);
    for (int k = 0; k < contours; ++k) {
        std::vector<_VORNPOINT> c;
        const int n = rng.range(1, 9);
        for (int i = 0; i < n; ++i) {
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

BufferPtr randomCanvas(Rng& rng, int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Some pixels equal to the colours used, for mode 9.
            *b->getPixel(x, y) = rng.range(0, 5) == 0 ? rgba(10, 20, 30, 40) : rng.pixel();
        }
    }
    return b;
}

BufferPtr copyOf(const VornBuffer& b) {
    BufferPtr c = makeBuffer(b.getWidth(), b.getHeight());
    std::memcpy(c->getPixels(), b.getPixels(),
                static_cast<std::size_t>(b.getWidth()) * b.getHeight() * 4);
    return c;
}

// Every fill of random polygons, through fillPolygon and the blended and
// textured fills, against the plain fills. The same two buffers are reused
// so that each fill starts from the work areas the previous one left.
TEST(SpanFill, RandomPolygonsMatchThePlainFills) {
    Rng rng(21);
    for (int round = 0; round < 120; ++round) {
        const int w = rng.range(1, round % 3 == 0 ? 90 : 30);
        const int h = rng.range(1, 30);
        BufferPtr fast = randomCanvas(rng, w, h);
        BufferPtr plain = copyOf(*fast);
        BufferPtr texture = randomCanvas(rng, rng.range(1, 7), rng.range(1, 7));
        for (int trial = 0; trial < 60; ++trial) {
            const Polygon p = randomPolygon(rng, w, h, trial % 6 == 0 ? 3000 : 40);
            const int kind = rng.range(0, 5);
            _VORNRGBAQUAD c = rng.range(0, 3) == 0 ? rgba(10, 20, 30, 40) : rng.pixel();
            if (rng.range(0, 3) == 0) {
                c.alpha = 255;
            }
            const int modes[] = {0, 4, 5, 9, 9, 1};
            const int mode = modes[rng.range(0, 5)];
            const unsigned char opacity = rng.range(0, 2) == 0 ? 255 : rng.byte();
            int a = 0;
            int b = 0;
            switch (kind) {
            case 0:
            case 1:
            case 2:
                a = fill(*fast, p, c, mode);
                b = fillReference(*plain, p, c, mode);
                break;
            case 3:
            case 4:
                a = fillBlend(*fast, p, c);
                b = fillBlendReference(*plain, p, c);
                break;
            default:
                a = fillBitmap(*fast, p, texture.get(), opacity);
                b = fillBitmapReference(*plain, p, texture.get(), opacity);
                break;
            }
            ASSERT_EQ(a, b);
            ASSERT_EQ(words(*fast), words(*plain))
                << "round " << round << " trial " << trial << " kind " << kind << " mode " << mode;
        }
    }
}

TEST(SpanFill, FarPolygonsMatchThePlainFills) {
    Rng rng(22);
    for (int trial = 0; trial < 25; ++trial) {
        const int w = rng.range(1, 50);
        const int h = rng.range(1, 50);
        const Polygon p = randomPolygon(rng, w, h, 1 << 20);
        BufferPtr fast = randomCanvas(rng, w, h);
        BufferPtr plain = copyOf(*fast);
        const int mode = trial % 3 == 0 ? 9 : 0;
        fill(*fast, p, rgba(1, 2, 3, 4), mode);
        fillReference(*plain, p, rgba(1, 2, 3, 4), mode);
        ASSERT_EQ(words(*fast), words(*plain)) << trial;
    }
}

// A triangle with a vertex far right of the buffer gives the pixels of the
// plain walk, which steps through every one of its 2 * 10^7 columns.
TEST(SpanFill, FarVertexMatchesThePlainWalk) {
    const Polygon p{{pt(-30, 20), pt(20000000, 500), pt(60, 900)}};
    BufferPtr fast = makeBuffer(400, 1000);
    BufferPtr plain = makeBuffer(400, 1000);
    fill(*fast, p, rgba(9, 8, 7, 255));
    fillReference(*plain, p, rgba(9, 8, 7, 255));
    EXPECT_EQ(words(*fast), words(*plain));
    EXPECT_GT(changedPixels(*fast).size(), 100000u);
}

// ---------------------------------------------------------------------------
// Independent rules
// ---------------------------------------------------------------------------

// Twice the signed area of (a, b, p): exact for any 32-bit points.
Int128 orient(_VORNPOINT a, _VORNPOINT b, long long px, long long py) {
    return Int128(Int128(b.x) - a.x) * (py - a.y) - Int128(Int128(b.y) - a.y) * (px - a.x);
}

// The non-zero winding number of a closed contour around (px, py).
int winding(const _VORNPOINT* c, int n, long long px, long long py) {
    int wn = 0;
    for (int i = 0; i < n; ++i) {
        const _VORNPOINT a = c[i];
        const _VORNPOINT b = c[(i + 1) % n];
        if (a.y <= py) {
            if (b.y > py && orient(a, b, px, py) > 0) {
                ++wn;
            }
        } else if (b.y <= py && orient(a, b, px, py) < 0) {
            --wn;
        }
    }
    return wn;
}

// The distance from (px, py) to the segment a-b, at least roughly: exact
// enough to keep a margin of pixels.
double distanceToSegment(_VORNPOINT a, _VORNPOINT b, double px, double py) {
    const double ax = a.x;
    const double ay = a.y;
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    const double len2 = dx * dx + dy * dy;
    if (len2 == 0) {
        return std::hypot(px - ax, py - ay);
    }
    const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Pixels more than 1.5 from every edge are covered exactly when an odd
// number of contours wind around them (each contour by non-zero winding,
// later contours toggling earlier ones); every pixel that the outline of a
// single contour inside the buffer lights is covered; nothing outside the
// bounding box is.
void checkAgainstGeometry(const Polygon& p, int w, int h, const std::string& what) {
    BufferPtr b = makeBuffer(w, h);
    const _VORNRGBAQUAD ink = rgba(1, 2, 3, 255);
    fill(*b, p, ink);
    long long minX = LLONG_MAX;
    long long minY = LLONG_MAX;
    long long maxX = LLONG_MIN;
    long long maxY = LLONG_MIN;
    for (const _VORNPOINT& q : p.points) {
        minX = std::min<long long>(minX, q.x);
        maxX = std::max<long long>(maxX, q.x);
        minY = std::min<long long>(minY, q.y);
        maxY = std::max<long long>(maxY, q.y);
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool covered = at(*b, x, y) == ink;
            if (x < minX || x > maxX || y < minY || y > maxY) {
                ASSERT_FALSE(covered) << what << " outside the box at " << x << ", " << y;
                continue;
            }
            double nearest = 1e300;
            int odd = 0;
            const _VORNPOINT* c = p.points.data();
            for (int n : p.sizes) {
                for (int i = 0; i < n; ++i) {
                    nearest = std::min(nearest, distanceToSegment(c[i], c[(i + 1) % n], x, y));
                }
                odd ^= winding(c, n, x, y) != 0 ? 1 : 0;
                c += n;
            }
            if (nearest > 1.5) {
                ASSERT_EQ(covered, odd == 1) << what << " at " << x << ", " << y;
            }
        }
    }
    const bool allInside = std::all_of(p.points.begin(), p.points.end(), [&](_VORNPOINT q) {
        return q.x >= 0 && q.x < w && q.y >= 0 && q.y < h;
    });
    if (p.contours() == 1 && allInside) {
        BufferPtr outline = makeBuffer(w, h);
        outline->strokePolygon(p.points.data(), p.sizes.data(), 1, 1, 1, 1, 255);
        for (const auto& xy : changedPixels(*outline)) {
            ASSERT_EQ(at(*b, xy.first, xy.second), ink)
                << what << " outline pixel " << xy.first << ", " << xy.second;
        }
    }
}

std::string describe(const Polygon& p) {
    std::string s;
    std::size_t i = 0;
    for (int n : p.sizes) {
        s += "{";
        for (int k = 0; k < n; ++k, ++i) {
            s += "(" + std::to_string(p.points[i].x) + "," + std::to_string(p.points[i].y) + ")";
        }
        s += "} ";
    }
    return s;
}

TEST(SpanFill, RandomPolygonsFollowTheirGeometry) {
    Rng rng(31);
    for (int trial = 0; trial < 1500; ++trial) {
        const int w = rng.range(8, 40);
        const int h = rng.range(8, 40);
        Polygon p;
        const int contours = rng.range(1, 3);
        for (int k = 0; k < contours; ++k) {
            std::vector<_VORNPOINT> c;
            const int n = rng.range(3, 7);
            // The outline rule needs every edge inside the buffer, so that
            // clipping does not change the outline's walks.
            const bool inside = contours == 1 && trial % 2 == 0;
            for (int i = 0; i < n; ++i) {
                c.push_back(inside ? pt(rng.range(0, w - 1), rng.range(0, h - 1))
                                   : pt(rng.range(-w, 2 * w), rng.range(-h, 2 * h)));
            }
            p.add(c);
        }
        checkAgainstGeometry(p, w, h, "trial " + std::to_string(trial) + " " + describe(p));
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Vertices anywhere in the 32-bit range: the fill returns at once and
// follows the geometry. (The plain walk would take up to 2^32 steps per
// edge here.)
TEST(SpanFill, ExtremeVerticesFollowTheirGeometry) {
    Rng rng(32);
    const int extremes[] = {INT_MIN, INT_MIN + 1, -2000000000, -1000000,
                            1000000, 2000000000,  INT_MAX - 1, INT_MAX};
    for (int trial = 0; trial < 300; ++trial) {
        const int w = rng.range(8, 48);
        const int h = rng.range(8, 48);
        Polygon p;
        const int contours = rng.range(1, 2);
        for (int k = 0; k < contours; ++k) {
            std::vector<_VORNPOINT> c;
            const int n = rng.range(3, 6);
            for (int i = 0; i < n; ++i) {
                auto coord = [&](int size) {
                    return rng.range(0, 2) == 0 ? rng.range(-size, 2 * size)
                                                : extremes[rng.range(0, 7)];
                };
                c.push_back(pt(coord(w), coord(h)));
            }
            p.add(c);
        }
        checkAgainstGeometry(p, w, h, "trial " + std::to_string(trial) + " " + describe(p));
        if (HasFatalFailure()) {
            return;
        }
    }
}

} // namespace
