// SPDX-License-Identifier: MIT
// The buffer object: creation, destruction, copies, accessors and metadata.

#include "core/access.h"
#include "core/core.h"

#include <cstdlib>
#include <new>

using vorn::detail::pixelBlockBytes;
using vorn::detail::saturateToInt;

VornBuffer::VornBuffer(int width, int height)
    : ownsPixels(0), pixels(nullptr), width(width), height(height), hasBackground(0),
      densityUnit(0), densityX(3780), densityY(3780), background{0, 0, 0, 0},
      transparent(false), transparentColour{0, 0, 0, 0}, edgeMap(nullptr), rowCarry(nullptr) {}

VornBuffer::~VornBuffer() {
    delete[] edgeMap;
    edgeMap = nullptr;
    delete[] rowCarry;
    rowCarry = nullptr;
    if (ownsPixels && pixels) {
        std::free(pixels);
    }
    pixels = nullptr;
}

// A copy is a view: it shares the pixels without owning them and has no work
// areas, so the source and every copy can be destroyed independently.
VornBuffer::VornBuffer(const VornBuffer& other)
    : ownsPixels(0), pixels(other.pixels), width(other.width), height(other.height),
      hasBackground(other.hasBackground), densityUnit(other.densityUnit), densityX(other.densityX),
      densityY(other.densityY), background(other.background), transparent(other.transparent),
      transparentColour(other.transparentColour), edgeMap(nullptr), rowCarry(nullptr) {}

VornBuffer& VornBuffer::operator=(const VornBuffer& other) {
    if (this == &other) {
        return *this;
    }
    // Release what this object owned. The assigned state owns nothing,
    // unless it is this object's own block seen through another object
    // (a copy assigned back over its source): that block stays this
    // object's, so that it is freed once, when this object goes.
    delete[] edgeMap;
    edgeMap = nullptr;
    delete[] rowCarry;
    rowCarry = nullptr;
    if (pixels != other.pixels) {
        if (ownsPixels && pixels) {
            std::free(pixels);
        }
        ownsPixels = 0;
    }
    pixels = other.pixels;
    width = other.width;
    height = other.height;
    hasBackground = other.hasBackground;
    densityUnit = other.densityUnit;
    densityX = other.densityX;
    densityY = other.densityY;
    background = other.background;
    transparent = other.transparent;
    transparentColour = other.transparentColour;
    return *this;
}

VornBuffer* VornBuffer::Build(int width, int height, _VORNRGBAQUAD* pixels) {
    const std::size_t bytes = pixelBlockBytes(width, height);
    if (bytes == 0) {
        return nullptr;
    }
    VornBuffer* buffer = new VornBuffer(width, height);
    if (pixels) {
        buffer->pixels = pixels;
        return buffer;
    }
    // calloc gives zeroed pages straight from the system for large blocks.
    void* block = std::calloc(bytes, 1);
    if (!block) {
        Destroy(buffer);
        throw std::bad_alloc();
    }
    buffer->pixels = static_cast<_VORNRGBAQUAD*>(block);
    buffer->ownsPixels = 1;
    return buffer;
}

VornBuffer* vorn::detail::buildOwning(int width, int height, _VORNRGBAQUAD* block) {
    VornBuffer* buffer = VornBuffer::Build(width, height, block);
    if (buffer && block) {
        vorn::detail::Access::ownsPixelsOf(*buffer) = 1;
    }
    return buffer;
}

void VornBuffer::Destroy(VornBuffer*& buffer) {
    if (!buffer) {
        return;
    }
    // The destructor is deliberately not virtual (the class has no
    // hierarchy); the library only ever creates plain VornBuffer objects.
    buffer->VornBuffer::~VornBuffer();
    ::operator delete(buffer);
    buffer = nullptr;
}

_VORNRGBAQUAD* VornBuffer::getPixel(int x, int y) {
    if (!pixels || x < 0 || x >= width || y < 0 || y >= height) {
        return nullptr;
    }
    return pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x;
}

const _VORNRGBAQUAD* VornBuffer::getPixel(int x, int y) const {
    return const_cast<VornBuffer*>(this)->getPixel(x, y);
}

void VornBuffer::setDensity(int unit, int x, int y) {
    densityUnit = unit;
    densityX = x;
    densityY = y;
}

namespace {

// Density conversions. Results that do not fit an int saturate (the values
// are stored unchecked, so any int may arrive here).
int toPerMetre(int unit, int v) {
    switch (unit) {
    case 0:
        return v;
    case 1:
        return saturateToInt(v * 100.0 / 2.54);
    case 2:
        return saturateToInt(static_cast<double>(v) * 100);
    default:
        return v;
    }
}

int toPerInch(int unit, int v) {
    switch (unit) {
    case 0:
        return saturateToInt(v * 2.54 / 100.0);
    case 1:
        return v;
    case 2:
        return saturateToInt(v * 2.54);
    default:
        return v;
    }
}

} // namespace

int VornBuffer::getPixelsPerMetre() const {
    return getPixelsPerMetreX();
}
int VornBuffer::getPixelsPerMetreX() const {
    return toPerMetre(densityUnit, densityX);
}
int VornBuffer::getPixelsPerMetreY() const {
    return toPerMetre(densityUnit, densityY);
}
int VornBuffer::getPixelsPerInchX() const {
    return toPerInch(densityUnit, densityX);
}
int VornBuffer::getPixelsPerInchY() const {
    return toPerInch(densityUnit, densityY);
}

void VornBuffer::setTransparentColour(unsigned char red, unsigned char green, unsigned char blue) {
    transparentColour = vorn::detail::packColour(red, green, blue, 0);
}

void VornBuffer::setBackground(unsigned char red, unsigned char green, unsigned char blue) {
    background.red = red;
    background.green = green;
    background.blue = blue;
    hasBackground = 1;
}

int VornBuffer::getBackground(unsigned char* red, unsigned char* green, unsigned char* blue) const {
    if (!hasBackground) {
        return 0;
    }
    if (red) {
        *red = background.red;
    }
    if (green) {
        *green = background.green;
    }
    if (blue) {
        *blue = background.blue;
    }
    return 1;
}
