// SPDX-License-Identifier: MIT
// The vectorised row kernels against their plain references, at every
// instruction-set level this CPU runs.

#include "core/core.h"
#include "kernel_levels.h"
#include "vorn_test.h"

namespace {

using vorn::detail::BitOp;
using Row = std::vector<_VORNRGBAQUAD>;

// Rows whose alpha values come in runs (all 0, all 255, mixed) so that the
// fast paths' whole-group shortcuts are exercised next to the arithmetic.
Row randomRow(Rng& rng, std::size_t n) {
    Row row(n);
    for (std::size_t i = 0; i < n;) {
        const int kind = rng.range(0, 3);
        for (int run = rng.range(1, 19); run > 0 && i < n; --run, ++i) {
            row[i] = rng.pixel();
            if (kind < 2) {
                row[i].alpha = kind == 0 ? 0 : 255;
            }
        }
    }
    return row;
}

// Runs the kernel `kind` (0 the blend, 1 to 3 the bit operations) on a copy
// of dst through the fast and the plain function and compares.
void expectSameRow(int kind, const Row& src, const Row& dst, const char* what) {
    Row fast = dst;
    Row plain = dst;
    if (kind == 0) {
        vorn::detail::blendRow(fast.data(), src.data(), src.size());
        vorn::detail::blendRowReference(plain.data(), src.data(), src.size());
    } else {
        const BitOp op = kind == 1 ? BitOp::Xor : kind == 2 ? BitOp::And : BitOp::Or;
        vorn::detail::bitOpRow(fast.data(), src.data(), src.size(), op);
        vorn::detail::bitOpRowReference(plain.data(), src.data(), src.size(), op);
    }
    for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_EQ(fast[i], plain[i]) << what << ", kernel " << kind << ", pixel " << i;
    }
}

TEST_P(KernelLevels, RandomRowsEqualTheReference) {
    Rng rng(42);
    for (int trial = 0; trial < 4000; ++trial) {
        const std::size_t n = static_cast<std::size_t>(rng.range(0, 70));
        const Row src = randomRow(rng, n);
        expectSameRow(trial % 4, src, randomRow(rng, n), "random rows");
    }
}

// Every pair of source and destination alpha, in groups as wide as the
// vectors, with colours from the two ends of the range and random ones.
TEST_P(KernelLevels, BlendRowEqualsTheReferenceForEveryAlphaPair) {
    Rng rng(7);
    Row src;
    Row dst;
    for (int sa = 0; sa < 256; ++sa) {
        for (int da = 0; da < 256; ++da) {
            for (int k = 0; k < 3; ++k) {
                _VORNRGBAQUAD s = k == 0   ? rgba(255, 255, 255)
                                  : k == 1 ? rgba(0, 0, 0)
                                           : rng.pixel();
                _VORNRGBAQUAD d = k == 0   ? rgba(0, 0, 0)
                                  : k == 1 ? rgba(255, 255, 255)
                                           : rng.pixel();
                s.alpha = static_cast<unsigned char>(sa);
                d.alpha = static_cast<unsigned char>(da);
                src.push_back(s);
                dst.push_back(d);
            }
        }
    }
    expectSameRow(0, src, dst, "alpha pairs");
}

TEST_P(KernelLevels, FillWritesExactlyTheRange) {
    for (std::size_t n : {0u, 1u, 3u, 4u, 7u, 8u, 31u, 32u, 33u, 100u}) {
        Row row(n + 2, rgba(1, 1, 1, 1));
        vorn::detail::fillPixels(row.data() + 1, n, rgba(10, 20, 30, 40));
        for (std::size_t i = 0; i < row.size(); ++i) {
            const bool inside = i >= 1 && i <= n;
            ASSERT_EQ(row[i], inside ? rgba(10, 20, 30, 40) : rgba(1, 1, 1, 1)) << n << ": " << i;
        }
    }
}

VORN_ALL_KERNEL_LEVELS(KernelLevels);

} // namespace
