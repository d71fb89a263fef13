// SPDX-License-Identifier: MIT
// Fuzz target: the image library's reader behind the bridge. A small image
// that was read is written as JPEG and read back, which must succeed with
// the same size and opaque pixels.

#include "fuzz_input.h"
#include "io/io.h"

#include <cstdlib>

namespace {

void checkJpegRoundTrip(const VornBuffer& b) {
    if (static_cast<long long>(b.getWidth()) * b.getHeight() > 4096) {
        return;
    }
    const std::wstring out = scratchFile(nullptr, 0, ".out.jpg");
    if (vorn::detail::writeLibraryImage(b, out.c_str()) != 0) {
        std::abort();
    }
    VornBuffer* back = vorn::detail::readLibraryImage(out.c_str());
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
    // The library tells the formats apart by content; the extension is
    // irrelevant.
    const std::wstring path = scratchFile(data, size, ".img");
    VornBuffer* b = vorn::detail::readLibraryImage(path.c_str());
    if (b) {
        touchPixels(*b);
        checkJpegRoundTrip(*b);
        VornBuffer::Destroy(b);
    }
    return 0;
}
