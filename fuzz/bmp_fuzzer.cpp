// SPDX-License-Identifier: MIT
// Fuzz target: the BMP reader, plain and extended.

#include "fuzz_input.h"
#include "io/io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const bool extended : {false, true}) {
        vorn::detail::MemorySource source(data, size);
        VornBuffer* b = vorn::detail::readBMP(source, extended);
        if (b) {
            touchPixels(*b);
            VornBuffer::Destroy(b);
        }
    }
    return 0;
}
