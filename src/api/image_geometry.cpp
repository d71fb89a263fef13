// SPDX-License-Identifier: MIT
// vorn::Image's geometry: resampling and rotation as the buffer does them,
// exact quarter turns, mirroring, cropping and compositing. Every new image
// keeps the source's density, background and transparency.

#include "api/api.h"
#include "core/core.h"

#include <algorithm>
#include <cstring>

namespace vorn {

namespace {

/// The pixel (x, y) of a buffer known to hold it.
const _VORNRGBAQUAD& at(const VornBuffer& b, int x, int y) {
    return b.getPixels()[static_cast<std::size_t>(y) * b.getWidth() + x];
}

} // namespace

Image Image::resized(int width, int height) const {
    detail::requireImage(*this, "resize");
    Image out = adopt(detail::buildOrThrow(width, height, "resize"));
    buffer_->resize(out.buffer_);
    detail::copyMetadata(*buffer_, *out.buffer_);
    return out;
}

Image Image::rotated(int degrees) const {
    detail::requireImage(*this, "rotate");
    Image out = adopt(buffer_->rotateBuffer(degrees));
    if (out.empty()) {
        detail::throwError(Status::TooLarge, "rotate: the turned image is too large");
    }
    detail::copyMetadata(*buffer_, *out.buffer_);
    return out;
}

Image Image::turned(int quarterTurns) const {
    detail::requireImage(*this, "turn");
    const int turns = ((quarterTurns % 4) + 4) % 4;
    const int w = width();
    const int h = height();
    if (turns == 0) {
        return clone();
    }
    if (turns == 2) {
        Image out = clone();
        _VORNRGBAQUAD* p = out.buffer_->getPixels();
        std::reverse(p, p + static_cast<std::size_t>(w) * h);
        return out;
    }
    // A quarter turn clockwise takes source (x, y) to (h - 1 - y, x); three
    // quarters take it to (y, w - 1 - x).
    Image out = adopt(detail::buildOrThrow(h, w, "turn"));
    _VORNRGBAQUAD* dst = out.buffer_->getPixels();
    for (int y = 0; y < w; ++y) {
        for (int x = 0; x < h; ++x) {
            dst[static_cast<std::size_t>(y) * h + x] =
                turns == 1 ? at(*buffer_, y, h - 1 - x) : at(*buffer_, w - 1 - y, x);
        }
    }
    detail::copyMetadata(*buffer_, *out.buffer_);
    return out;
}

Image Image::mirrored() const {
    detail::requireImage(*this, "mirror");
    Image out = clone();
    _VORNRGBAQUAD* p = out.buffer_->getPixels();
    for (int y = 0; y < height(); ++y) {
        _VORNRGBAQUAD* row = p + static_cast<std::size_t>(y) * width();
        std::reverse(row, row + width());
    }
    return out;
}

Image Image::flipped() const {
    detail::requireImage(*this, "flip");
    Image out = clone();
    out.buffer_->flip();
    return out;
}

Image Image::cropped(int x, int y, int width, int height) const {
    detail::requireImage(*this, "crop");
    // The rectangle cut to the image, in 64 bits: x + width may overflow.
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width, this->width());
    const long long bottom =
        std::min<long long>(static_cast<long long>(y) + height, this->height());
    if (width < 1 || height < 1 || left >= right || top >= bottom) {
        detail::throwError(Status::InvalidArgument,
                           "crop: the rectangle " + std::to_string(x) + "," + std::to_string(y) +
                               "," + std::to_string(width) + "," + std::to_string(height) +
                               " lies outside the image");
    }
    const int w = static_cast<int>(right - left);
    const int h = static_cast<int>(bottom - top);
    Image out = adopt(detail::buildOrThrow(w, h, "crop"));
    for (int row = 0; row < h; ++row) {
        std::memcpy(out.buffer_->getPixels() + static_cast<std::size_t>(row) * w,
                    &at(*buffer_, static_cast<int>(left), static_cast<int>(top) + row),
                    static_cast<std::size_t>(w) * 4);
    }
    detail::copyMetadata(*buffer_, *out.buffer_);
    return out;
}

void Image::blend(const Image& over, int x, int y, int opacity) {
    detail::requireImage(*this, "blend");
    detail::requireImage(over, "blend");
    if (opacity < 0 || opacity > 255) {
        detail::throwError(Status::InvalidArgument,
                           "blend: opacity " + std::to_string(opacity) + " outside 0 to 255");
    }
    if (opacity == 255) {
        buffer_->blend(over.buffer_, x, y);
        return;
    }
    Image faded = over.clone();
    _VORNRGBAQUAD* p = faded.buffer_->getPixels();
    const std::size_t n = static_cast<std::size_t>(over.width()) * over.height();
    for (std::size_t i = 0; i < n; ++i) {
        p[i].alpha = static_cast<unsigned char>(p[i].alpha * opacity / 255);
    }
    buffer_->blend(faded.buffer_, x, y);
}

} // namespace vorn
