// SPDX-License-Identifier: MIT
// Fuzz target: detection and the read dispatch, as a caller uses them on
// memory. The input's length picks the format code (0, detection, or one
// forced reader). A small image that was read is written as PNG and read
// back, which must give the same pixels; a read that fails must say why.

#include "fuzz_input.h"

#include <vorn/io.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void checkPngRoundTrip(const VornBuffer& b) {
#if defined(VORN_HAVE_PNG)
    if (static_cast<long long>(b.getWidth()) * b.getHeight() > 4096) {
        return;
    }
    std::vector<unsigned char> png;
    if (vorn::writeMemory(b, 2, png) != 0) {
        std::abort();
    }
    VornBuffer* back = vorn::readMemory(png.data(), png.size());
    if (!back || back->getWidth() != b.getWidth() || back->getHeight() != b.getHeight() ||
        std::memcmp(back->getPixels(), b.getPixels(),
                    static_cast<std::size_t>(b.getWidth()) * b.getHeight() * 4) != 0) {
        std::abort();
    }
    VornBuffer::Destroy(back);
#else
    (void)b;
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int format = vorn::formatOfMemory(data, size);
    if (format < -1 || format == 0 || format > 4) {
        std::abort();
    }
    VornBuffer* b = vorn::readMemory(data, size, static_cast<int>(size % 5));
    if (!b) {
        if (vorn::lastFailure().status == vorn::Status::Ok || vorn::lastFailure().message.empty()) {
            std::abort();
        }
        return 0;
    }
    touchPixels(*b);
    checkPngRoundTrip(*b);
    VornBuffer::Destroy(b);
    return 0;
}
