// SPDX-License-Identifier: MIT
// Fuzz target: the PNG reader.

#include "fuzz_input.h"
#include "io/io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring path = scratchFile(data, size, ".png");
    VornBuffer* b = vorn::detail::readPNG(path.c_str());
    if (b) {
        touchPixels(*b);
        VornBuffer::Destroy(b);
    }
    return 0;
}
