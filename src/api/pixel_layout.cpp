// SPDX-License-Identifier: MIT
// vorn::Image's pixels in other libraries' layouts: byte orders and
// premultiplied alpha.

#include "api/api.h"
#include "core/core.h"

#include <cstdint>

namespace vorn {

namespace {

/// c x a / 255, rounded to nearest.
unsigned char premultiply(unsigned c, unsigned a) {
    return static_cast<unsigned char>((c * a + 127) / 255);
}

/// c x 255 / a, rounded to nearest and limited to 255; a > 0.
unsigned char unpremultiply(unsigned c, unsigned a) {
    const unsigned v = (c * 255 + a / 2) / a;
    return static_cast<unsigned char>(v > 255 ? 255 : v);
}

_VORNRGBAQUAD premultiplyPixel(_VORNRGBAQUAD p) {
    return detail::packColour(premultiply(p.red, p.alpha), premultiply(p.green, p.alpha),
                              premultiply(p.blue, p.alpha), p.alpha);
}

_VORNRGBAQUAD unpremultiplyPixel(_VORNRGBAQUAD p) {
    if (p.alpha == 0) {
        return detail::packColour(0, 0, 0, 0);
    }
    return detail::packColour(unpremultiply(p.red, p.alpha), unpremultiply(p.green, p.alpha),
                              unpremultiply(p.blue, p.alpha), p.alpha);
}

/// Positions of blue, green, red and alpha in a layout's four bytes.
struct ByteOrder {
    int blue;
    int green;
    int red;
    int alpha;
    bool premultiplied;
};

ByteOrder orderOf(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Rgba:
        return {2, 1, 0, 3, false};
    case PixelLayout::Argb:
        return {3, 2, 1, 0, false};
    case PixelLayout::BgraPremultiplied:
        return {0, 1, 2, 3, true};
    case PixelLayout::RgbaPremultiplied:
        return {2, 1, 0, 3, true};
    case PixelLayout::ArgbPremultiplied:
        return {3, 2, 1, 0, true};
    default:
        return {0, 1, 2, 3, false};
    }
}

/// Refuses null data and rows shorter than the pixels they must hold.
void checkRows(const void* data, int width, std::ptrdiff_t stride, const char* what) {
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 4;
    if (!data || stride == PTRDIFF_MIN || (stride < 0 ? -stride : stride) < rowBytes) {
        detail::throwError(Status::InvalidArgument,
                           std::string(what) + ": no data, or a stride below width x 4 bytes");
    }
}

/// Applies `f` to every pixel of a copy of the image.
template <typename F>
Image mapPixels(const Image& image, F f) {
    Image out = image.clone();
    if (out.empty()) {
        return out;
    }
    _VORNRGBAQUAD* p = out.get()->getPixels();
    const std::size_t n = static_cast<std::size_t>(out.width()) * out.height();
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = f(p[i]);
    }
    return out;
}

} // namespace

Image Image::premultiplied() const {
    return mapPixels(*this, premultiplyPixel);
}

Image Image::unpremultiplied() const {
    return mapPixels(*this, unpremultiplyPixel);
}

Image Image::fromPixels(const void* data, int width, int height, std::ptrdiff_t stride,
                        PixelLayout layout) {
    Image out = adopt(detail::buildOrThrow(width, height, "fromPixels"));
    checkRows(data, width, stride, "fromPixels");
    const ByteOrder o = orderOf(layout);
    _VORNRGBAQUAD* dst = out.buffer_->getPixels();
    for (int y = 0; y < height; ++y) {
        const unsigned char* s = static_cast<const unsigned char*>(data) + y * stride;
        for (int x = 0; x < width; ++x, s += 4) {
            const _VORNRGBAQUAD p = detail::packColour(s[o.red], s[o.green], s[o.blue], s[o.alpha]);
            *dst++ = o.premultiplied ? unpremultiplyPixel(p) : p;
        }
    }
    return out;
}

void Image::toPixels(void* data, std::ptrdiff_t stride, PixelLayout layout) const {
    detail::requireImage(*this, "toPixels");
    checkRows(data, width(), stride, "toPixels");
    const ByteOrder o = orderOf(layout);
    const _VORNRGBAQUAD* src = buffer_->getPixels();
    for (int y = 0; y < height(); ++y) {
        unsigned char* d = static_cast<unsigned char*>(data) + y * stride;
        for (int x = 0; x < width(); ++x, d += 4) {
            const _VORNRGBAQUAD p = o.premultiplied ? premultiplyPixel(*src) : *src;
            ++src;
            d[o.blue] = p.blue;
            d[o.green] = p.green;
            d[o.red] = p.red;
            d[o.alpha] = p.alpha;
        }
    }
}

} // namespace vorn
