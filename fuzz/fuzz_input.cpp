// SPDX-License-Identifier: MIT
// Pixel reads for the fuzz targets (fuzz_input.h).

#include "fuzz_input.h"

std::uint32_t touchPixels(const VornBuffer& buffer) {
    const _VORNRGBAQUAD* p = buffer.getPixels();
    const std::size_t n = static_cast<std::size_t>(buffer.getWidth()) * buffer.getHeight();
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum = sum * 31 + p[i].blue + p[i].green + p[i].red + p[i].alpha;
    }
    return sum;
}
