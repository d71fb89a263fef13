// SPDX-License-Identifier: MIT
// Single-pixel writes and whole-buffer fills.

#include "core/core.h"

using namespace vorn::detail;

namespace {

std::size_t pixelCount(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

} // namespace

void VornBuffer::blend(_VORNRGBAQUAD& dst, const _VORNRGBAQUAD& src, unsigned char alpha) {
    blendPixel(dst, src, alpha);
}

void VornBuffer::setPixel(int x, int y, const _VORNRGBAQUAD& colour) {
    if (x < 0 || x >= width || y < 0 || y >= height) {
        return;
    }
    pixels[y * width + x] = colour;
}

void VornBuffer::setPixelBlend(int x, int y, const _VORNRGBAQUAD& colour) {
    if (x < 0 || x >= width || y < 0 || y >= height) {
        return;
    }
    blendPixel(pixels[y * width + x], colour, 255);
}

void VornBuffer::fill(unsigned char red, unsigned char green, unsigned char blue,
                      unsigned char alpha) {
    if (!pixels) {
        return;
    }
    const std::size_t n = pixelCount(width, height);
    if (red == green && green == blue && blue == alpha) {
        std::memset(pixels, red, n * 4);
        return;
    }
    fillPixels(pixels, n, packColour(red, green, blue, alpha));
}

void VornBuffer::fillColour(unsigned char red, unsigned char green, unsigned char blue) {
    if (!pixels) {
        return;
    }
    const std::size_t n = pixelCount(width, height);
    for (std::size_t i = 0; i < n; ++i) {
        pixels[i].blue = blue;
        pixels[i].green = green;
        pixels[i].red = red;
    }
}

void VornBuffer::fillAlpha(unsigned char alpha) {
    if (!pixels) {
        return;
    }
    const std::size_t n = pixelCount(width, height);
    for (std::size_t i = 0; i < n; ++i) {
        pixels[i].alpha = alpha;
    }
}

void VornBuffer::PBGRAtoBGRA() {
    if (!pixels) {
        return;
    }
    unpremultiplyRow(pixels, pixelCount(width, height));
}
