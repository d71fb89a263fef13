// SPDX-License-Identifier: MIT
// The table-driven and vectorised resampling against the plain per-pixel
// members, over random images, sizes and scales.

#include "transform/transform.h"
#include "transform_test.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

using vorn::detail::KernelLevel;

// Resizes src into dw x dh at the current level and through the plain
// members (the cursor walk for whole factors, getResizePixel for every
// pixel otherwise), and compares the bytes.
void expectSameAsPlain(const VornBuffer& src, int dw, int dh, const std::string& what) {
    BufferPtr fast = makeFilled(dw, dh, rgba(3, 1, 4, 1));
    BufferPtr plain = makeFilled(dw, dh, rgba(3, 1, 4, 1));
    ASSERT_EQ(src.resize(fast.get()), 0);
    const KernelLevel level = vorn::detail::kernelLevel();
    vorn::detail::setKernelLevel(KernelLevel::Reference);
    src.resize(plain.get());
    vorn::detail::setKernelLevel(level);
    const auto want = words(*plain);
    const auto got = words(*fast);
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(got[i], want[i])
            << what << " " << src.getWidth() << "x" << src.getHeight() << " into " << dw << "x"
            << dh << " at " << i % dw << ", " << i / dw;
    }
}

class ResizeFastPath : public KernelLevels {};

// Random sizes, small and larger, a fifth of them by whole factors (the
// block path); flat and patchy images.
TEST_P(ResizeFastPath, RandomImagesMatchThePlainMembers) {
    Rng rng(2024);
    for (int trial = 0; trial < 1540; ++trial) {
        const int maxSource = trial < 1500 ? 24 : 160;
        const int sw = rng.range(1, maxSource);
        const int sh = rng.range(1, maxSource);
        const bool whole = trial % 5 == 0;
        const int dw = whole ? std::max(1, sw / rng.range(1, 4)) : rng.range(1, maxSource * 3 / 2);
        const int dh = whole ? std::max(1, sh / rng.range(1, 4)) : rng.range(1, maxSource * 3 / 2);
        BufferPtr src =
            trial % 7 == 0 ? makeFilled(sw, sh, rng.pixel()) : patchyBuffer(rng, sw, sh);
        expectSameAsPlain(*src, dw, dh, "trial " + std::to_string(trial));
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Footprints and blocks larger than the vector paths take: their sums
// leave 16 bits or a float's mantissa, or span hundreds of taps.
TEST_P(ResizeFastPath, LargeFactorsMatchThePlainMembers) {
    const int sizes[][4] = {{2, 600, 1, 2},   {600, 2, 2, 1},   {300, 300, 1, 1},
                            {1000, 3, 3, 2},  {3, 1000, 2, 7},  {997, 5, 4, 5},
                            {700, 700, 3, 2}, {5, 1001, 13, 3}, {1, 1, 517, 3}};
    Rng rng(31);
    for (const auto& s : sizes) {
        expectSameAsPlain(*makeFilled(s[0], s[1], rgba(17, 250, 3)), s[2], s[3], "flat");
        expectSameAsPlain(*patchyBuffer(rng, s[0], s[1]), s[2], s[3], "patchy");
    }
}

// Factors whose weights have few binary places take integer sums: 2x and
// 4x enlargements, 3/4 and 2/3 of the way there, reductions by 1.5 and
// 2.5 (whose eight columns' taps span more than sixteen pixels), odd
// widths that leave columns past the last group of eight, one row or
// column alone; sources opaque, patchy (clear patches included) and
// random.
TEST_P(ResizeFastPath, ShortBinaryFactorsMatchThePlainMembers) {
    const int sizes[][4] = {{19, 11, 38, 22}, {9, 7, 36, 28},  {33, 21, 44, 28}, {17, 9, 34, 18},
                            {45, 30, 30, 20}, {90, 12, 36, 8}, {75, 50, 30, 20}, {1, 9, 4, 18},
                            {13, 1, 26, 1},   {64, 48, 96, 72}};
    Rng rng(47);
    for (const auto& s : sizes) {
        expectSameAsPlain(*makeFilled(s[0], s[1], rgba(17, 250, 3)), s[2], s[3], "flat");
        for (int k = 0; k < 3; ++k) {
            expectSameAsPlain(*patchyBuffer(rng, s[0], s[1]), s[2], s[3], "patchy");
        }
        expectSameAsPlain(*makeRandom(rng, s[0], s[1]), s[2], s[3], "random");
        if (HasFatalFailure()) {
            return;
        }
    }
}

VORN_FAST_KERNEL_LEVELS(ResizeFastPath);

} // namespace
