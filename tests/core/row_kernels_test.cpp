// The vectorised row kernels against their plain references, at every
// instruction-set level this CPU runs.

#include "core/core.h"
#include "vorn_test.h"

namespace {

using vorn::detail::BitOp;
using vorn::detail::KernelLevel;

class KernelLevels : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override {
        saved_ = vorn::detail::kernelLevel();
        if (vorn::detail::setKernelLevel(GetParam()) != GetParam()) {
            vorn::detail::setKernelLevel(saved_);
            GTEST_SKIP() << "this CPU lacks the instruction set";
        }
    }
    void TearDown() override { vorn::detail::setKernelLevel(saved_); }

private:
    KernelLevel saved_ = KernelLevel::Reference;
};

// Rows whose alpha values come in runs (all 0, all 255, mixed) so that the
// fast paths' whole-group shortcuts are exercised next to the arithmetic.
std::vector<_VORNRGBAQUAD> randomRow(Rng& rng, std::size_t n) {
    std::vector<_VORNRGBAQUAD> row(n);
    std::size_t i = 0;
    while (i < n) {
        const int kind = rng.range(0, 3);
        const std::size_t run = static_cast<std::size_t>(rng.range(1, 19));
        for (std::size_t k = 0; k < run && i < n; ++k, ++i) {
            row[i] = rng.pixel();
            if (kind == 0) {
                row[i].alpha = 0;
            } else if (kind == 1) {
                row[i].alpha = 255;
            }
        }
    }
    return row;
}

TEST_P(KernelLevels, BlendRowEqualsTheReference) {
    Rng rng(42);
    for (int trial = 0; trial < 4000; ++trial) {
        const std::size_t n = static_cast<std::size_t>(rng.range(0, 70));
        const std::vector<_VORNRGBAQUAD> src = randomRow(rng, n);
        std::vector<_VORNRGBAQUAD> dst = randomRow(rng, n);
        std::vector<_VORNRGBAQUAD> expected = dst;
        vorn::detail::blendRowReference(expected.data(), src.data(), n);
        vorn::detail::blendRow(dst.data(), src.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(dst[i], expected[i]) << "trial " << trial << " pixel " << i;
        }
    }
}

// Every pair of source and destination alpha, in groups as wide as the
// vectors, with colours from the two ends of the range and random ones.
TEST_P(KernelLevels, BlendRowEqualsTheReferenceForEveryAlphaPair) {
    Rng rng(7);
    std::vector<_VORNRGBAQUAD> src;
    std::vector<_VORNRGBAQUAD> dst;
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
    std::vector<_VORNRGBAQUAD> expected = dst;
    vorn::detail::blendRowReference(expected.data(), src.data(), src.size());
    vorn::detail::blendRow(dst.data(), src.data(), src.size());
    for (std::size_t i = 0; i < dst.size(); ++i) {
        ASSERT_EQ(dst[i], expected[i]) << "pixel " << i;
    }
}

TEST_P(KernelLevels, BitOpRowsEqualTheReference) {
    Rng rng(9);
    for (BitOp op : {BitOp::Xor, BitOp::And, BitOp::Or}) {
        for (int trial = 0; trial < 500; ++trial) {
            const std::size_t n = static_cast<std::size_t>(rng.range(0, 45));
            const std::vector<_VORNRGBAQUAD> src = randomRow(rng, n);
            std::vector<_VORNRGBAQUAD> dst = randomRow(rng, n);
            std::vector<_VORNRGBAQUAD> expected = dst;
            vorn::detail::bitOpRowReference(expected.data(), src.data(), n, op);
            vorn::detail::bitOpRow(dst.data(), src.data(), n, op);
            for (std::size_t i = 0; i < n; ++i) {
                ASSERT_EQ(dst[i], expected[i]);
            }
        }
    }
}

TEST_P(KernelLevels, FillWritesExactlyTheRange) {
    for (std::size_t n : {0u, 1u, 3u, 4u, 7u, 8u, 31u, 32u, 33u, 100u}) {
        std::vector<_VORNRGBAQUAD> row(n + 2, rgba(1, 1, 1, 1));
        vorn::detail::fillPixels(row.data() + 1, n, rgba(10, 20, 30, 40));
        EXPECT_EQ(row.front(), rgba(1, 1, 1, 1));
        EXPECT_EQ(row.back(), rgba(1, 1, 1, 1));
        for (std::size_t i = 1; i <= n; ++i) {
            ASSERT_EQ(row[i], rgba(10, 20, 30, 40));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, KernelLevels,
                         ::testing::Values(KernelLevel::Reference, KernelLevel::Sse2,
                                           KernelLevel::Avx2),
                         [](const ::testing::TestParamInfo<KernelLevel>& info) {
                             switch (info.param) {
                             case KernelLevel::Sse2:
                                 return std::string("Sse2");
                             case KernelLevel::Avx2:
                                 return std::string("Avx2");
                             default:
                                 return std::string("Reference");
                             }
                         });

} // namespace
