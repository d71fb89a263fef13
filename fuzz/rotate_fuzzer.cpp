// SPDX-License-Identifier: MIT
// Fuzz target: rotation. A source of distinct pixels is turned by any
// angle: no pixel is placed twice, none is lost off one side while the
// other leaves room (sources one pixel wide or high excepted), and the
// fastest variant gives the bytes of the plain shear.

#include "core/core.h"
#include "geometry_checks.h"
#include "geometry_input.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ParameterReader in(data, size);
    const int w = in.intIn(1, 64);
    const int h = in.intIn(1, 64);
    const int angle = in.byte() % 4 == 0 ? in.anyInt() : in.intIn(-400, 400);
    VornBuffer* src = VornBuffer::Build(w, h, nullptr);
    for (int n = 0; n < w * h; ++n) {
        src->getPixels()[n] = geometry::numberedPixel(n);
    }
    using vorn::detail::KernelLevel;
    const KernelLevel level = vorn::detail::kernelLevel();
    vorn::detail::setKernelLevel(KernelLevel::Reference);
    VornBuffer* plain = src->rotateBuffer(angle);
    vorn::detail::setKernelLevel(KernelLevel::Avx2);
    VornBuffer* fast = src->rotateBuffer(angle);
    vorn::detail::setKernelLevel(level);
    if (!plain || !fast) {
        fail("rotate", "no result");
    }
    if (plain->getWidth() != fast->getWidth() || plain->getHeight() != fast->getHeight() ||
        std::memcmp(plain->getPixels(), fast->getPixels(),
                    static_cast<std::size_t>(plain->getWidth()) * plain->getHeight() * 4) != 0) {
        fail("rotate", "the fast variant differs from the plain shear");
    }
    // Sources one pixel wide or high shear into gapped columns: only the
    // rule that no pixel lands twice holds for them.
    const std::string fault = geometry::checkRotation(w, h, angle, *plain, w > 1 && h > 1);
    VornBuffer::Destroy(src);
    VornBuffer::Destroy(plain);
    VornBuffer::Destroy(fast);
    if (!fault.empty()) {
        fail("rotate", fault + " (" + std::to_string(w) + "x" + std::to_string(h) + " by " +
                           std::to_string(angle) + ")");
    }
    return 0;
}
