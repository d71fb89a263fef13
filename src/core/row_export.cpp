// SPDX-License-Identifier: MIT
// Row export in other layouts, the deep copy and the vertical flip.

#include "core/core.h"

#include <memory>

using namespace vorn::detail;

namespace {

// Byte positions of blue, green, red and alpha in a 4-byte output pixel for
// each RGBA_ORDER value.
struct Layout {
    int blue, green, red, alpha;
};

constexpr Layout kLayouts[4] = {
    {2, 1, 0, 3}, // ORDER_RGBA: red, green, blue, alpha
    {2, 1, 3, 0}, // ORDER_AGBR: alpha, green, blue, red
    {3, 2, 1, 0}, // ORDER_ARGB: alpha, red, green, blue
    {0, 1, 2, 3}, // ORDER_BGRA
};

struct Flattener {
    unsigned bgBlue, bgGreen, bgRed;

    explicit Flattener(const VornBuffer& b) : bgBlue(0), bgGreen(0), bgRed(0) {
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char bl = 0;
        if (b.getBackground(&r, &g, &bl)) {
            bgRed = r;
            bgGreen = g;
            bgBlue = bl;
        }
    }

    // The pixel's colour laid over the background: (p * a + bg * (255 - a))
    // >> 8 in between, exact at a = 0 and a = 255.
    _VORNRGBAQUAD operator()(const _VORNRGBAQUAD& p) const {
        const unsigned a = p.alpha;
        if (a == 255) {
            return p;
        }
        _VORNRGBAQUAD out;
        out.alpha = p.alpha;
        if (a == 0) {
            out.blue = static_cast<unsigned char>(bgBlue);
            out.green = static_cast<unsigned char>(bgGreen);
            out.red = static_cast<unsigned char>(bgRed);
            return out;
        }
        const unsigned rest = 255 - a;
        out.blue = static_cast<unsigned char>((p.blue * a + bgBlue * rest) >> 8);
        out.green = static_cast<unsigned char>((p.green * a + bgGreen * rest) >> 8);
        out.red = static_cast<unsigned char>((p.red * a + bgRed * rest) >> 8);
        return out;
    }
};

bool validOrder(int order) {
    return order >= 0 && order <= 3;
}

} // namespace

int VornBuffer::getRowRGB(int row, unsigned char* out, bool rgb) const {
    if (row < 0 || row >= height || !pixels) {
        return 0;
    }
    if (!out) {
        return 0;
    }
    const Flattener flatten(*this);
    const _VORNRGBAQUAD* p = pixels + static_cast<std::size_t>(row) * width;
    const int first = rgb ? 2 : 0; // offset of blue
    const int last = 2 - first;    // offset of red
    for (int i = 0; i < width; ++i) {
        const _VORNRGBAQUAD c = flatten(p[i]);
        out[first] = c.blue;
        out[1] = c.green;
        out[last] = c.red;
        out += 3;
    }
    return 3 * width;
}

int VornBuffer::getRowRGBA(int row, unsigned char* out, RGBA_ORDER order) const {
    if (row < 0 || row >= height || !pixels) {
        return 0;
    }
    if (!validOrder(order)) {
        return -1;
    }
    if (!out) {
        return 0;
    }
    const _VORNRGBAQUAD* p = pixels + static_cast<std::size_t>(row) * width;
    if (order == ORDER_BGRA) {
        std::memcpy(out, p, static_cast<std::size_t>(width) * 4);
        return 4 * width;
    }
    const Layout l = kLayouts[order];
    for (int i = 0; i < width; ++i) {
        out[l.blue] = p[i].blue;
        out[l.green] = p[i].green;
        out[l.red] = p[i].red;
        out[l.alpha] = p[i].alpha;
        out += 4;
    }
    return 4 * width;
}

int VornBuffer::getRowRGBA(int row, unsigned char* out, RGBA_ORDER order,
                           unsigned char alpha) const {
    if (row < 0 || row >= height || !pixels) {
        return 0;
    }
    if (!validOrder(order)) {
        return -1;
    }
    if (!out) {
        return 0;
    }
    const Flattener flatten(*this);
    const _VORNRGBAQUAD* p = pixels + static_cast<std::size_t>(row) * width;
    const Layout l = kLayouts[order];
    for (int i = 0; i < width; ++i) {
        const _VORNRGBAQUAD c = flatten(p[i]);
        out[l.blue] = c.blue;
        out[l.green] = c.green;
        out[l.red] = c.red;
        out[l.alpha] = alpha;
        out += 4;
    }
    return 4 * width;
}

VornBuffer* VornBuffer::duplicate() const {
    VornBuffer* copy = Build(width, height, nullptr);
    if (!copy) {
        return nullptr;
    }
    if (pixels) {
        std::memcpy(copy->pixels, pixels,
                    static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    }
    copy->transparent = transparent;
    if (transparent) {
        copy->transparentColour = transparentColour;
    }
    return copy;
}

void VornBuffer::flip() {
    if (!pixels || height < 2) {
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    std::unique_ptr<_VORNRGBAQUAD[]> temp(new _VORNRGBAQUAD[width]);
    for (int k = 0; k < height / 2; ++k) {
        _VORNRGBAQUAD* a = pixels + static_cast<std::size_t>(k) * width;
        _VORNRGBAQUAD* b = pixels + static_cast<std::size_t>(height - 1 - k) * width;
        std::memcpy(temp.get(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, temp.get(), rowBytes);
    }
}
