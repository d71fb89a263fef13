// The table-driven and vectorised resampling against the plain per-pixel
// members, over random images, sizes and scales.

#include "transform/transform.h"
#include "transform_test.h"

#include <cmath>

namespace {

using vorn::detail::KernelLevel;

// The result of the plain members: the cursor walk for whole factors,
// getResizePixel for every pixel otherwise.
BufferPtr plainResize(const VornBuffer& src, int dw, int dh) {
    const KernelLevel level = vorn::detail::kernelLevel();
    vorn::detail::setKernelLevel(KernelLevel::Reference);
    BufferPtr dst = makeFilled(dw, dh, rgba(3, 1, 4, 1));
    EXPECT_EQ(src.resize(dst.get()), 0);
    vorn::detail::setKernelLevel(level);
    return dst;
}

class ResizeFastPath : public KernelLevels {};

void compareOver(Rng& rng, int trials, int maxSource, int maxDestination) {
    for (int trial = 0; trial < trials; ++trial) {
        const int sw = rng.range(1, maxSource);
        const int sh = rng.range(1, maxSource);
        int dw = rng.range(1, maxDestination);
        int dh = rng.range(1, maxDestination);
        if (trial % 5 == 0) {
            // Whole factors: the block path.
            dw = std::max(1, sw / rng.range(1, 4));
            dh = std::max(1, sh / rng.range(1, 4));
        }
        BufferPtr src =
            (trial % 7 == 0) ? makeFilled(sw, sh, rng.pixel()) : patchyBuffer(rng, sw, sh);
        const BufferPtr expected = plainResize(*src, dw, dh);
        BufferPtr dst = makeFilled(dw, dh, rgba(3, 1, 4, 1));
        ASSERT_EQ(src->resize(dst.get()), 0);
        const auto want = words(*expected);
        const auto got = words(*dst);
        for (std::size_t i = 0; i < want.size(); ++i) {
            ASSERT_EQ(got[i], want[i])
                << "trial " << trial << ": " << sw << "x" << sh << " into " << dw << "x" << dh
                << " at " << i % static_cast<std::size_t>(dw) << ", "
                << i / static_cast<std::size_t>(dw);
        }
    }
}

TEST_P(ResizeFastPath, SmallImagesMatchThePlainMembers) {
    Rng rng(2024);
    compareOver(rng, 3000, 24, 40);
}

TEST_P(ResizeFastPath, LargerImagesMatchThePlainMembers) {
    Rng rng(77);
    compareOver(rng, 60, 160, 240);
}

// Footprints and blocks larger than the vector paths take: their sums
// leave 16 bits or a float's mantissa, or span hundreds of taps.
TEST_P(ResizeFastPath, LargeFactorsMatchThePlainMembers) {
    struct Case {
        int sw, sh, dw, dh;
    };
    const Case cases[] = {{2, 600, 1, 2},   {600, 2, 2, 1},   {300, 300, 1, 1},
                          {1000, 3, 3, 2},  {3, 1000, 2, 7},  {997, 5, 4, 5},
                          {700, 700, 3, 2}, {5, 1001, 13, 3}, {1, 1, 517, 3}};
    Rng rng(31);
    for (const Case& c : cases) {
        for (int kind = 0; kind < 2; ++kind) {
            BufferPtr src = kind == 0 ? makeFilled(c.sw, c.sh, rgba(17, 250, 3))
                                      : patchyBuffer(rng, c.sw, c.sh);
            const BufferPtr expected = plainResize(*src, c.dw, c.dh);
            BufferPtr dst = makeBuffer(c.dw, c.dh);
            ASSERT_EQ(src->resize(dst.get()), 0);
            EXPECT_EQ(words(*dst), words(*expected))
                << c.sw << "x" << c.sh << " into " << c.dw << "x" << c.dh;
        }
    }
}

VORN_FAST_KERNEL_LEVELS(ResizeFastPath);

// A value is settled only when it lies clearly away from the point where
// the truncation would change.
TEST(SettleByte, DecidesOnlyAwayFromTheNextWholeNumber) {
    using vorn::detail::kByteSnap;
    struct Case {
        double approx;
        bool settled;
        int byte;
    };
    const Case cases[] = {
        {0.0, true, 0},
        {7.25, true, 7},
        {99.999999999999, true, 100},          // noise below a whole number
        {100.0 - kByteSnap + 1e-12, false, 0}, // at the snapped edge itself
        {100.0 - kByteSnap - 1e-12, false, 0},
        {100.0 - kByteSnap - 1e-8, true, 99},
        {254.9999999, true, 255},
        {255.0, true, 255},
        {300.0, true, 255},
        {std::nan(""), false, 0},
    };
    for (const Case& c : cases) {
        unsigned char out = 42;
        EXPECT_EQ(vorn::detail::settleByte(c.approx, out), c.settled) << c.approx;
        if (c.settled) {
            EXPECT_EQ(out, c.byte) << c.approx;
        }
    }
}

} // namespace
