// SPDX-License-Identifier: MIT
// Fuzz target: the BMP reader.

#include "fuzz_input.h"
#include "io/io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = scratchFile(data, size, ".bmp");
    VornBuffer* b = vorn::detail::readBMP(path.c_str());
    if (b) {
        touchPixels(*b);
        VornBuffer::Destroy(b);
    }
    return 0;
}
