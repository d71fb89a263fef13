// SPDX-License-Identifier: MIT
// Helpers shared by the resampling, rotation and warp tests: buffers of
// patchy pixels, and the fixture that runs a test at every
// kernel level.
#ifndef VORN_TESTS_TRANSFORM_TRANSFORM_TEST_H
#define VORN_TESTS_TRANSFORM_TRANSFORM_TEST_H

#include "kernel_levels.h"
#include "vorn_test.h"

/// Random colours whose alphas come in patches: all opaque, all clear,
/// 0 or 255 mixed, or anything. Flat areas and clean edges reach the fast
/// paths' shortcuts as well as their general arithmetic.
inline BufferPtr patchyBuffer(Rng& rng, int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    const int kind = rng.range(0, 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            _VORNRGBAQUAD p = rng.pixel();
            const int k = kind == 4 ? ((x / 3 + y / 2) % 4) : kind;
            if (k < 3) {
                p.alpha = k == 0 || (k == 2 && (rng.next() & 1)) ? 255 : 0;
            }
            *b->getPixel(x, y) = p;
        }
    }
    return b;
}

#endif
