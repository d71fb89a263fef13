// The table-driven and vectorised resampling against the plain per-pixel
// members, over random images, sizes and scales.

#include "transform_test.h"

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

VORN_ALL_KERNEL_LEVELS(ResizeFastPath);

} // namespace
