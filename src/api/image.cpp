// SPDX-License-Identifier: MIT
// vorn::Image: ownership of one buffer, copies, pixels, and density in dots
// per inch; vorn::Error.

#include "api/api.h"
#include "core/access.h"
#include "core/core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace vorn {

namespace detail {

namespace {

constexpr double kMetresPerInch = 0.0254;

/// Dots per inch of a density value in `unit`. Files store pixels per
/// metre as whole numbers, which loses whole dots per inch (300 dpi is
/// written as 11811 per metre, 299.9994 dpi): a value that a whole number
/// of dots per inch gives, truncated as the writers convert or rounded, is
/// reported as that number.
double dotsPerInch(int unit, int value) {
    switch (unit) {
    case 0: {
        const double exact = value * kMetresPerInch;
        const double whole = std::floor(exact + 0.5);
        if (whole >= 1.0 && (static_cast<long long>(whole * 100.0 / 2.54) == value ||
                             std::llround(whole / kMetresPerInch) == value)) {
            return whole;
        }
        return exact;
    }
    case 2:
        return value * 2.54;
    default:
        // Per inch, and unknown units as the buffer's own conversion takes
        // them.
        return value;
    }
}

} // namespace

void throwError(Status status, const std::string& message) {
    throw Error(status, message);
}

void requireImage(const Image& image, const char* what) {
    if (image.empty()) {
        throwError(Status::InvalidArgument, std::string(what) + ": empty image");
    }
}

VornBuffer* buildOrThrow(int width, int height, const char* what) {
    VornBuffer* buffer = VornBuffer::Build(width, height, nullptr);
    if (!buffer) {
        throwError(width < 1 || height < 1 ? Status::InvalidArgument : Status::TooLarge,
                   std::string(what) + ": size " + std::to_string(width) + " x " +
                       std::to_string(height) + " refused");
    }
    return buffer;
}

Density densityOf(const VornBuffer& buffer) {
    // The unit has no public getter; the fields are only read.
    VornBuffer& b = const_cast<VornBuffer&>(buffer);
    return {Access::densityUnitOf(b), Access::densityXOf(b), Access::densityYOf(b)};
}

void copyMetadata(const VornBuffer& from, VornBuffer& to) {
    const Density d = densityOf(from);
    to.setDensity(d.unit, d.x, d.y);
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    if (from.getBackground(&red, &green, &blue)) {
        to.setBackground(red, green, blue);
    }
    // The transparent colour has no value until it is set with the flag.
    to.setHasTransparency(from.hasTransparency());
    if (from.hasTransparency()) {
        const _VORNRGBAQUAD c = from.getTransparentColour();
        to.setTransparentColour(c.red, c.green, c.blue);
    }
}

} // namespace detail

using detail::throwError;

Error::Error(Status status, const std::string& message)
    : std::runtime_error(message), status_(status) {}

Status Error::status() const noexcept {
    return status_;
}

Image::Image() noexcept : buffer_(nullptr) {}

Image::Image(VornBuffer* buffer) noexcept : buffer_(buffer) {}

Image::Image(int width, int height, Rgba fill)
    : buffer_(detail::buildOrThrow(width, height, "image")) {
    // Build clears the pixels to transparent black already.
    if (fill != Rgba{0, 0, 0, 0}) {
        buffer_->fill(fill.r, fill.g, fill.b, fill.a);
    }
}

Image::~Image() {
    VornBuffer::Destroy(buffer_);
}

Image::Image(Image&& other) noexcept : buffer_(other.buffer_) {
    other.buffer_ = nullptr;
}

Image& Image::operator=(Image&& other) noexcept {
    if (this != &other) {
        VornBuffer::Destroy(buffer_);
        buffer_ = other.buffer_;
        other.buffer_ = nullptr;
    }
    return *this;
}

int Image::width() const noexcept {
    return buffer_ ? buffer_->getWidth() : 0;
}

int Image::height() const noexcept {
    return buffer_ ? buffer_->getHeight() : 0;
}

bool Image::empty() const noexcept {
    return buffer_ == nullptr;
}

VornBuffer* Image::get() noexcept {
    return buffer_;
}

const VornBuffer* Image::get() const noexcept {
    return buffer_;
}

Image Image::adopt(VornBuffer* buffer) noexcept {
    return Image(buffer);
}

VornBuffer* Image::release() noexcept {
    VornBuffer* buffer = buffer_;
    buffer_ = nullptr;
    return buffer;
}

Image Image::clone() const {
    if (!buffer_) {
        return Image();
    }
    Image copy(detail::buildOrThrow(width(), height(), "clone"));
    std::memcpy(copy.buffer_->getPixels(), buffer_->getPixels(),
                detail::pixelBlockBytes(width(), height()));
    detail::copyMetadata(*buffer_, *copy.buffer_);
    return copy;
}

Rgba Image::pixel(int x, int y) const {
    const _VORNRGBAQUAD* p = buffer_ ? buffer_->getPixel(x, y) : nullptr;
    if (!p) {
        throwError(Status::InvalidArgument, "pixel (" + std::to_string(x) + ", " +
                                                std::to_string(y) + ") lies outside the image");
    }
    return Rgba{p->red, p->green, p->blue, p->alpha};
}

void Image::setPixel(int x, int y, Rgba colour) noexcept {
    if (_VORNRGBAQUAD* p = buffer_ ? buffer_->getPixel(x, y) : nullptr) {
        *p = detail::packColour(colour.r, colour.g, colour.b, colour.a);
    }
}

void Image::fill(Rgba colour) noexcept {
    if (buffer_) {
        buffer_->fill(colour.r, colour.g, colour.b, colour.a);
    }
}

bool Image::hasAlpha() const noexcept {
    if (!buffer_) {
        return false;
    }
    const _VORNRGBAQUAD* p = buffer_->getPixels();
    const std::size_t n = detail::pixelBlockBytes(width(), height()) / 4;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i].alpha != 255) {
            return true;
        }
    }
    return false;
}

double Image::dpiX() const noexcept {
    if (!buffer_) {
        return 0.0;
    }
    const detail::Density d = detail::densityOf(*buffer_);
    return detail::dotsPerInch(d.unit, d.x);
}

double Image::dpiY() const noexcept {
    if (!buffer_) {
        return 0.0;
    }
    const detail::Density d = detail::densityOf(*buffer_);
    return detail::dotsPerInch(d.unit, d.y);
}

void Image::setDpi(double x, double y) {
    detail::requireImage(*this, "setDpi");
    for (const double v : {x, y}) {
        if (!(v >= 0.0 && v <= 2147483647.0)) {
            throwError(Status::InvalidArgument, "setDpi: " + std::to_string(v) + " refused");
        }
    }
    if (x == std::floor(x) && y == std::floor(y)) {
        buffer_->setDensity(1, static_cast<int>(x), static_cast<int>(y));
        return;
    }
    // Pixels per metre of the largest values exceed the int range: they
    // are limited to it.
    const auto perMetre = [](double dpi) {
        const long long v = std::llround(dpi / detail::kMetresPerInch);
        return static_cast<int>(std::min<long long>(v, 2147483647LL));
    };
    buffer_->setDensity(0, perMetre(x), perMetre(y));
}

} // namespace vorn
