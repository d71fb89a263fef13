// SPDX-License-Identifier: MIT
// Fuzz target: the image library's reader behind the bridge. A small image
// that was read is written as JPEG and read back, which must succeed with
// the same size and opaque pixels.

#include "fuzz_input.h"
#include "io/io.h"

#include <cstdlib>
#include <vector>

namespace {

void checkJpegRoundTrip(const VornBuffer& b) {
    if (static_cast<long long>(b.getWidth()) * b.getHeight() > 4096) {
        return;
    }
    std::vector<unsigned char> jpeg;
    if (vorn::writeMemory(b, 1, jpeg) != 0) {
        std::abort();
    }
    vorn::detail::MemorySource source(jpeg.data(), jpeg.size());
    VornBuffer* back = vorn::detail::readLibraryImage(source);
    if (!back || back->getWidth() != b.getWidth() || back->getHeight() != b.getHeight()) {
        std::abort();
    }
    const _VORNRGBAQUAD* p = back->getPixels();
    for (long long i = 0; i < static_cast<long long>(b.getWidth()) * b.getHeight(); ++i) {
        if (p[i].alpha != 255) {
            std::abort();
        }
    }
    VornBuffer::Destroy(back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::detail::MemorySource source(data, size);
    VornBuffer* b = vorn::detail::readLibraryImage(source);
    if (b) {
        touchPixels(*b);
        checkJpegRoundTrip(*b);
        VornBuffer::Destroy(b);
    }
    return 0;
}
