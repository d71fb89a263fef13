// SPDX-License-Identifier: MIT
// Fuzz target: detection and the read dispatch, as a caller uses them.
// The input's length picks the file's extension, so that the fallback to
// the extension is explored too. A small image that was read is written
// as PNG and read back, which must give the same pixels.

#include "fuzz_input.h"

#include <vorn/buffer.h>

#include <cstdlib>
#include <cstring>

namespace {

const char* const kExtensions[] = {".png", ".bmp", ".gif", ".jpg", ".dat"};

void checkPngRoundTrip(const VornBuffer& b) {
#if defined(VORN_HAVE_PNG)
    if (static_cast<long long>(b.getWidth()) * b.getHeight() > 4096) {
        return;
    }
    const std::wstring out = scratchFile(nullptr, 0, ".out.png");
    if (b.write(out.c_str()) != 0) {
        std::abort();
    }
    VornBuffer* back = VornBuffer::Read(out.c_str());
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
    const std::wstring path = scratchFile(data, size, kExtensions[size % 5]);
    const int format = VornBuffer::GetFormat(path.c_str());
    if (format < -1 || format == 0 || format > 4) {
        std::abort();
    }
    VornBuffer* b = VornBuffer::Read(path.c_str());
    if (b) {
        touchPixels(*b);
        checkPngRoundTrip(*b);
        VornBuffer::Destroy(b);
    }
    return 0;
}
