// SPDX-License-Identifier: MIT
// The exact arithmetic of the ellipse trace against native 128-bit integers,
// for semi-axes up to 2^31, beyond the reach of doubles and of any walk of
// whole shapes.

#include "shapes/shapes.h"
#include "vorn_test.h"

#include <cstdint>

#if defined(__SIZEOF_INT128__)
namespace {

__extension__ typedef __int128 Int128;
using vorn::detail::RegionTrace;

/// A semi-axis spread evenly on a log scale from 1 to 2^bits.
std::uint64_t semiAxis(Rng& rng, int bits) {
    const int shift = rng.range(0, bits);
    const std::uint64_t top = std::uint64_t{1} << shift;
    return shift == 31 ? top : top + rng.next() % top;
}

// The midpoint method as documented, one region with u growing by 1 and v
// falling by 0 or 1 per step: every step of small regions, and the first
// steps of large ones, whose quantities fill both halves of a wide integer.
TEST(RegionTrace, WalkIsTheMidpointMethod) {
    Rng rng(5);
    for (int i = 0; i < 2000; ++i) {
        const Int128 p = semiAxis(rng, i % 2 ? 12 : 31);
        const Int128 q = semiAxis(rng, i % 2 ? 12 : 31);
        long long u = 0;
        long long v = static_cast<long long>(p);
        Int128 error = 0, uChange = p * p, vChange = q * q * (1 - 2 * p);
        Int128 stopU = 0, stopV = 2 * q * q * p;
        RegionTrace t(static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(q));
        for (int s = 0; s < 9000 && t.running(); ++s) {
            ASSERT_EQ(t.u(), u);
            ASSERT_EQ(t.v(), v) << "p " << static_cast<long long>(p) << ", q "
                                << static_cast<long long>(q) << ", u " << u;
            t.step();
            u += 1;
            error += uChange;
            stopU += 2 * p * p;
            uChange += 2 * p * p;
            if (2 * error + vChange > 0) {
                v -= 1;
                error += vChange;
                vChange += 2 * q * q;
                stopV -= 2 * q * q;
            }
            ASSERT_EQ(t.running(), stopV >= stopU);
        }
    }
}

} // namespace
#endif
