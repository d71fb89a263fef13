// SPDX-License-Identifier: MIT
// The row kernels against their plain references at every kernel level
// this build and CPU have, and the choice of level.

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

// Rows of opaque pixels broken by runs of translucent ones, every colour
// alpha, lengths around the vector widths.
TEST_P(KernelLevels, ColourRowEqualsThePixelBlend) {
    Rng rng(77);
    for (int alpha = 0; alpha < 256; ++alpha) {
        for (int trial = 0; trial < 12; ++trial) {
            const std::size_t n = static_cast<std::size_t>(rng.range(0, 90));
            Row row(n + 40);
            for (std::size_t i = 0; i < row.size(); ++i) {
                row[i] = rng.pixel();
                if (rng.range(0, 9) != 0 && (i / 8) % 3 != 1) {
                    row[i].alpha = 255;
                }
            }
            const _VORNRGBAQUAD colour = rgba(rng.byte(), rng.byte(), rng.byte(), alpha);
            Row expected = row;
            vorn::detail::blendColourRowReference(expected.data(), n, colour, 0);
            vorn::detail::blendColourRow(row.data(), n, colour, trial % 2 ? 20 : 0);
            ASSERT_EQ(row, expected) << "alpha " << alpha << " trial " << trial;
        }
    }
}

VORN_ALL_KERNEL_LEVELS(KernelLevels);

// Reference and Portable are there in every build; the instruction sets
// only where the build has them and the CPU runs them; a level that is
// not there is refused and the one in force stays.
TEST(KernelLevel, OnlyAvailableLevelsCanBeForced) {
    using vorn::detail::KernelLevel;
    const KernelLevel saved = vorn::detail::kernelLevel();
    EXPECT_TRUE(vorn::detail::kernelLevelAvailable(saved));
    for (KernelLevel level : {KernelLevel::Reference, KernelLevel::Portable, KernelLevel::Sse2,
                              KernelLevel::Avx2, KernelLevel::Neon}) {
        vorn::detail::setKernelLevel(KernelLevel::Portable);
        const bool available = vorn::detail::kernelLevelAvailable(level);
        EXPECT_EQ(vorn::detail::setKernelLevel(level), available ? level : KernelLevel::Portable)
            << vorn::detail::kernelLevelName(level);
    }
    EXPECT_TRUE(vorn::detail::kernelLevelAvailable(KernelLevel::Reference));
    EXPECT_TRUE(vorn::detail::kernelLevelAvailable(KernelLevel::Portable));
    vorn::detail::setKernelLevel(saved);
}

} // namespace
