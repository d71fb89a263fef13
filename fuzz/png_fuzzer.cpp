// SPDX-License-Identifier: MIT
// Fuzz target: the PNG reader.

#include "fuzz_input.h"
#include "io/io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorn::detail::MemorySource source(data, size);
    VornBuffer* b = vorn::detail::readPNG(source);
    if (b) {
        touchPixels(*b);
        VornBuffer::Destroy(b);
    }
    return 0;
}
