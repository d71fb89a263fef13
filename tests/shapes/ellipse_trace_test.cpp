// The exact ellipse trace: the wide integers against the compiler's own
// 128-bit type, jumps against the step-by-step walk, the exact walk against
// the midpoint method written with doubles, and the work a region takes
// after its last jump.

#include "shape_test.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using vorn::detail::mulWide;
using vorn::detail::RegionTrace;
using vorn::detail::Wide;

// ---------------------------------------------------------------------------
// Wide integers
// ---------------------------------------------------------------------------

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 UInt128;

UInt128 native(Wide w) {
    return (static_cast<UInt128>(w.hi) << 64) | w.lo;
}

bool nativeNegative(UInt128 v) {
    return (v >> 127) != 0;
}

// Signed order of two's complement values held unsigned.
bool nativeLess(UInt128 x, UInt128 y) {
    const UInt128 sign = static_cast<UInt128>(1) << 127;
    return (x ^ sign) < (y ^ sign);
}

TEST(Wide, MatchesTheNative128BitType) {
    const std::uint64_t edges[] = {0,
                                   1,
                                   2,
                                   0xFFFFFFFFu,
                                   0x100000000u,
                                   0x7FFFFFFFFFFFFFFFu,
                                   0x8000000000000000u,
                                   0xFFFFFFFFFFFFFFFFu};
    Rng rng(0x5EED);
    auto pick = [&](int i) {
        if (i < 64) {
            return edges[rng.next() % 8];
        }
        // Random magnitudes, so that carries between the halves happen
        // often and rarely alike.
        return rng.next() >> (rng.next() % 64);
    };
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t x = pick(i);
        const std::uint64_t y = pick(i);
        const std::uint64_t z = pick(i) >> 1; // products of these stay below 2^127
        const std::uint64_t t = pick(i) >> 1;
        const Wide product = mulWide(x, y);
        ASSERT_EQ(native(product), static_cast<UInt128>(x) * y) << x << " * " << y;

        const Wide a = mulWide(z, t >> 1) - mulWide(t, z >> 1);
        const Wide b = mulWide(t, t >> 1) - mulWide(z, z >> 2);
        const UInt128 na = native(a);
        const UInt128 nb = native(b);
        ASSERT_EQ(native(a + b), na + nb);
        ASSERT_EQ(native(a - b), na - nb);
        ASSERT_EQ(native(-a), UInt128{0} - na);
        ASSERT_EQ(native(vorn::detail::shiftLeft(a, 1)), na << 1);
        ASSERT_EQ(native(vorn::detail::shiftLeft(b, 2)), nb << 2);
        ASSERT_EQ(a < b, nativeLess(na, nb));
        ASSERT_EQ(b < a, nativeLess(nb, na));
        ASSERT_EQ(vorn::detail::isNegative(a), nativeNegative(na));
        ASSERT_EQ(vorn::detail::isPositive(a), !nativeNegative(na) && na != 0);
    }
    EXPECT_FALSE(vorn::detail::isPositive(Wide{0, 0}));
    EXPECT_FALSE(vorn::detail::isNegative(Wide{0, 0}));
}
// V(u) checked against its definition with native 128-bit products, over
// the whole range of semi-axes, where the double estimate inside is
// furthest from exact.
TEST(RegionTrace, SettledOffsetMeetsItsDefinition) {
    Rng rng(77);
    auto logUniform31 = [&]() {
        const int shift = rng.range(0, 31);
        const std::uint64_t top = std::uint64_t{1} << shift;
        return shift == 31 ? top : top + rng.next() % top;
    };
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t p = logUniform31();
        const std::uint64_t q = logUniform31();
        // Mostly near the end of the axis, where the curve is steep.
        const std::uint64_t u =
            i % 2 ? rng.next() % (q + 2) : q - (rng.next() % (q < 1000 ? q + 1 : 1000));
        const RegionTrace t(p, q);
        const long long v = t.settled(static_cast<long long>(u));
        const UInt128 room = u < q ? static_cast<UInt128>(q - u) * (q + u) : 0;
        const UInt128 limit = static_cast<UInt128>(p) * p * room * 4;
        auto fits = [&](std::uint64_t w) {
            const UInt128 t2 = static_cast<UInt128>(2 * w - 1) * (2 * w - 1) + 1;
            return u < q && static_cast<UInt128>(q) * q * t2 <= limit;
        };
        ASSERT_GE(v, 0);
        ASSERT_LE(static_cast<std::uint64_t>(v), p);
        if (v >= 1) {
            ASSERT_TRUE(fits(static_cast<std::uint64_t>(v))) << p << " " << q << " " << u;
        }
        if (static_cast<std::uint64_t>(v) < p) {
            ASSERT_FALSE(fits(static_cast<std::uint64_t>(v) + 1)) << p << " " << q << " " << u;
        }
    }
}
#else
TEST(RegionTrace, SettledOffsetMeetsItsDefinition) {
    GTEST_SKIP() << "this compiler has no 128-bit integer type to compare with";
}
TEST(Wide, MatchesTheNative128BitType) {
    GTEST_SKIP() << "this compiler has no 128-bit integer type to compare with";
}
#endif

// ---------------------------------------------------------------------------
// Jumps
// ---------------------------------------------------------------------------

struct Walked {
    std::vector<long long> v; // v at every plotted step u
    long long stepsToEnd;     // literal steps until the region ends
};

Walked walkWholeRegion(std::uint64_t p, std::uint64_t q) {
    Walked w;
    RegionTrace t(p, q);
    while (t.running()) {
        w.v.push_back(t.v());
        t.step();
    }
    w.stepsToEnd = t.stepsWalked();
    return w;
}

// A semi-axis spread evenly on a log scale from 1 to 2^bits.
std::uint64_t logUniform(Rng& rng, int bits) {
    const int shift = rng.range(0, bits);
    const std::uint64_t top = std::uint64_t{1} << shift;
    return top + rng.next() % top;
}

TEST(RegionTrace, JumpsLandWhereTheWalkGoes) {
    Rng rng(41);
    for (int pair = 0; pair < 160; ++pair) {
        const std::uint64_t p = pair < 4 ? 1 + pair : logUniform(rng, 15);
        const std::uint64_t q = pair < 4 ? 40000 / (pair + 1) : logUniform(rng, 15);
        SCOPED_TRACE(testing::Message() << "p " << p << ", q " << q);
        const Walked walked = walkWholeRegion(p, q);
        const long long last = static_cast<long long>(walked.v.size()) - 1;

        RegionTrace whole(p, q);
        long long lastU = -1;
        long long lastV = -1;
        ASSERT_TRUE(whole.seekLast(lastU, lastV));
        EXPECT_EQ(lastU, last);
        EXPECT_EQ(lastV, walked.v[static_cast<std::size_t>(last)]);
        EXPECT_FALSE(whole.running());
        EXPECT_FALSE(whole.seekLast(lastU, lastV));

        // One trace seeking forward through increasing targets, as the
        // rasteriser does, and a fresh one per target.
        RegionTrace onward(p, q);
        long long target = 0;
        for (int i = 0; i < 12; ++i) {
            target += rng.range(0, static_cast<int>(last / 4 + 3));
            RegionTrace fresh(p, q);
            for (RegionTrace* t : {&onward, &fresh}) {
                t->seek(target);
                if (target <= last) {
                    ASSERT_TRUE(t->running()) << "target " << target;
                    ASSERT_EQ(t->u(), target);
                    ASSERT_EQ(t->v(), walked.v[static_cast<std::size_t>(target)]);
                } else {
                    ASSERT_FALSE(t->running()) << "target " << target;
                }
            }
        }
    }
}

// After the last safe step the curve turns steeper than 1 and the region
// ends within a few steps, for any proportion of the semi-axes: this is
// what bounds the work of a jump.
TEST(RegionTrace, FewLiteralStepsAfterTheLastJump) {
    constexpr long long kMaxSteps = 4;
    const std::uint64_t top = std::uint64_t{1} << 31;
    const std::uint64_t extremes[][2] = {
        {1, 1},   {1, top}, {top, 1},     {top, top},   {top, top - 1}, {top - 1, top},
        {2, top}, {top, 2}, {46341, top}, {top, 46341}, {3, 5},         {1000000, 999999}};
    for (const auto& pq : extremes) {
        RegionTrace t(pq[0], pq[1]);
        long long u = 0;
        long long v = 0;
        ASSERT_TRUE(t.seekLast(u, v));
        EXPECT_LE(t.stepsWalked(), kMaxSteps) << "p " << pq[0] << ", q " << pq[1];
        EXPECT_GE(v, 0);
    }
    Rng rng(2024);
    long long worst = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t p = logUniform(rng, 30);
        const std::uint64_t q = logUniform(rng, 30);
        RegionTrace t(p, q);
        long long u = 0;
        long long v = 0;
        ASSERT_TRUE(t.seekLast(u, v));
        ASSERT_LE(t.stepsWalked(), kMaxSteps) << "p " << p << ", q " << q;
        worst = t.stepsWalked() > worst ? t.stepsWalked() : worst;
    }
    RecordProperty("worst_steps_after_jump", static_cast<int>(worst));
}

// ---------------------------------------------------------------------------
// The midpoint method in doubles
// ---------------------------------------------------------------------------

// The method exactly as documented, outline or fill: doubles for every
// quantity, int arithmetic for the centre, and every pixel of a span
// written one by one through the buffer's pixel accessor. Its values are whole numbers below
// 2^53, so exact, while 6 a b^2 and 6 a^2 b are.
void ellipseInDoubles(VornBuffer& buffer, _VORNPOINT p1, _VORNPOINT p2, EllipseMode mode,
                      _VORNRGBAQUAD colour) {
    if (p1.x == p2.x || p1.y == p2.y) {
        return;
    }
    const int cx = (p1.x + p2.x) / 2;
    const int cy = (p1.y + p2.y) / 2;
    const int a = cx - p1.x;
    const int b = cy - p1.y;
    if (a <= 0 || b <= 0) {
        return;
    }
    auto set = [&](long long x, long long y) {
        if (_VORNRGBAQUAD* p = buffer.getPixel(static_cast<int>(x), static_cast<int>(y))) {
            *p = colour;
        }
    };
    auto plot = [&](double dx, double dy) {
        const long long x = static_cast<long long>(dx);
        const long long y = static_cast<long long>(dy);
        if (mode == EllipseMode::Fill) {
            for (long long c = cx - x; c <= cx + x; ++c) {
                set(c, cy - y);
                set(c, cy + y);
            }
            return;
        }
        set(cx + x, cy + y);
        set(cx - x, cy + y);
        set(cx + x, cy - y);
        set(cx - x, cy - y);
    };
    const double da = a;
    const double db = b;
    const double twoASquare = 2 * da * da;
    const double twoBSquare = 2 * db * db;

    double x = da;
    double y = 0;
    double xChange = db * db * (1 - 2 * da);
    double yChange = da * da;
    double error = 0;
    double stoppingX = twoBSquare * da;
    double stoppingY = 0;
    do {
        plot(x, y);
        y += 1;
        error += yChange;
        stoppingY += twoASquare;
        yChange += twoASquare;
        if (2 * error + xChange > 0) {
            x -= 1;
            error += xChange;
            xChange += twoBSquare;
            stoppingX -= twoBSquare;
        }
    } while (stoppingX >= stoppingY);

    x = 0;
    y = db;
    xChange = db * db;
    yChange = da * da * (1 - 2 * db);
    error = 0;
    stoppingX = 0;
    stoppingY = twoASquare * db;
    do {
        plot(x, y);
        x += 1;
        error += xChange;
        xChange += twoBSquare;
        stoppingX += twoBSquare;
        if (2 * error + yChange > 0) {
            y -= 1;
            error += yChange;
            yChange += twoASquare;
            stoppingY -= twoASquare;
        }
    } while (stoppingY >= stoppingX);
}

TEST(EllipseTrace, ExactArithmeticGivesThePixelsOfTheDoubleMethod) {
    Rng rng(99);
    const _VORNRGBAQUAD ink = rgba(1, 2, 3, 4);
    for (int i = 0; i < 600; ++i) {
        const EllipseMode mode = i % 2 ? EllipseMode::Fill : EllipseMode::Outline;
        // Fills walk every column of their spans here, so they stay small;
        // outlines go up to semi-axes of 30,000 (6 x 30,000^3 is 1.6e14,
        // well below 2^53).
        const int limit = mode == EllipseMode::Fill ? 300 : 30000;
        const BoxCase box = crossingBox(rng, 48, 40, limit);
        SCOPED_TRACE(describe(box, mode));
        BufferPtr doubles = makeBuffer(48, 40);
        BufferPtr exact = makeBuffer(48, 40);
        ellipseInDoubles(*doubles, box.p1, box.p2, mode, ink);
        vorn::detail::rasteriseEllipseReference(canvasOf(*exact), box.p1, box.p2, mode, ink);
        ASSERT_EQ(picture(*exact), picture(*doubles));
    }
}

} // namespace
