// SPDX-License-Identifier: MIT
// The image class of the image library stand-in: loading a file, images
// over caller pixel blocks, handing out pixels in a chosen byte order, and
// writing JPEG files.

#include "imagelib/imagelib.h"

#include <cstdio>
#include <cstring>
#include <new>

#if defined(_WIN32)
#include "text/text_string.h"
#endif

namespace TalvoImage {

namespace detail {

void fail(ErrorCode code, const std::string& what) {
    throw std::system_error(static_cast<int>(code), talvo_error_category(), what);
}

const char* claimedSizeProblem(std::uint64_t width, std::uint64_t height, std::size_t fileBytes,
                               std::uint64_t pixelsPerByte, ErrorCode& code) {
    if (width == 0 || height == 0) {
        code = ERR_BAD_IMAGE;
        return "image without pixels";
    }
    // Sides come from 16-bit file fields or unsigned int arguments, so the
    // product cannot overflow 64 bits.
    const std::uint64_t pixels = width * height;
    if (pixels > kMaxBlockBytes / 4) {
        code = ERR_TOO_LARGE;
        return "image larger than 2 GB of pixels";
    }
    if (pixels > kPixelsAlwaysAllowed && pixels / pixelsPerByte >= fileBytes) {
        code = ERR_TOO_LARGE;
        return "image far larger than its file could hold";
    }
    return nullptr;
}

void checkClaimedSize(std::uint64_t width, std::uint64_t height, std::size_t fileBytes,
                      std::uint64_t pixelsPerByte) {
    ErrorCode code = ERR_BAD_IMAGE;
    if (const char* problem = claimedSizeProblem(width, height, fileBytes, pixelsPerByte, code)) {
        fail(code, problem);
    }
}

std::size_t bytesPerPixel(ColorSpace colorSpace) {
    switch (colorSpace) {
    case CS_BGRA:
    case CS_RGBA:
        return 4;
    case CS_BGR:
    case CS_RGB:
        return 3;
    case CS_GRAY:
        return 1;
    default:
        return 0;
    }
}

bool isJpeg(const unsigned char* d, std::size_t n) {
    return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
}

bool isGif(const unsigned char* d, std::size_t n) {
    return n >= 6 && std::memcmp(d, "GIF8", 4) == 0 && (d[4] == '7' || d[4] == '9') && d[5] == 'a';
}

MallocBlock::MallocBlock(std::size_t bytes) {
    data_ = static_cast<unsigned char*>(std::malloc(bytes == 0 ? 1 : bytes));
    if (!data_) {
        throw std::bad_alloc();
    }
}

} // namespace detail

namespace {

using detail::fail;
using detail::MallocBlock;

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file) {
            std::fclose(file);
        }
    }
};

// Reads the whole file; its size is limited to what a block may hold. The
// first bytes are looked at before the rest, so that a large file of
// another kind is refused without being read.
MallocBlock readWholeFile(const char* path, std::size_t& size) {
    if (!path || !*path) {
        fail(ERR_FILE, "no file name");
    }
    FileCloser in{std::fopen(path, "rb")};
    if (!in.file) {
        fail(ERR_FILE, "cannot open file");
    }
    unsigned char head[detail::kSignatureBytes] = {};
    const std::size_t headBytes = std::fread(head, 1, sizeof head, in.file);
    if (!detail::isJpeg(head, headBytes) && !detail::isGif(head, headBytes)) {
        fail(ERR_NOT_IMPLEMENTED, "not a JPEG or GIF file");
    }
    if (std::fseek(in.file, 0, SEEK_END) != 0) {
        fail(ERR_FILE, "cannot seek in file");
    }
    const long end = std::ftell(in.file);
    if (end < 0) {
        fail(ERR_FILE, "cannot tell the file's size");
    }
    if (static_cast<unsigned long>(end) > detail::kMaxBlockBytes) {
        fail(ERR_TOO_LARGE, "file larger than 2 GB");
    }
    std::rewind(in.file);
    size = static_cast<std::size_t>(end);
    MallocBlock data(size);
    if (size != 0 && std::fread(data.get(), 1, size, in.file) != size) {
        fail(ERR_FILE, "cannot read file");
    }
    return data;
}

// Where each output byte comes from: a byte index of the stored pixel, or
// -1 for an alpha of 255.
struct ChannelMap {
    int source[4];
    std::size_t count;
};

// The bytes of one stored pixel by channel name; grey has none (its one
// byte serves as blue, green and red).
const char* layoutName(ColorSpace colorSpace) {
    switch (colorSpace) {
    case CS_BGRA:
        return "BGRA";
    case CS_RGBA:
        return "RGBA";
    case CS_BGR:
        return "BGR";
    case CS_RGB:
        return "RGB";
    default:
        return "";
    }
}

// The stored position of a channel ('B', 'G', 'R' or 'A'), -1 when the
// layout lacks it.
int storedIndex(ColorSpace colorSpace, char channel) {
    if (colorSpace == CS_GRAY) {
        return channel == 'A' ? -1 : 0;
    }
    const char* names = layoutName(colorSpace);
    const char* at = std::strchr(names, channel);
    return at ? static_cast<int>(at - names) : -1;
}

ChannelMap parseOrder(const std::string& order, ColorSpace stored) {
    if (order.size() < 3 || order.size() > 4) {
        fail(ERR_NOT_IMPLEMENTED, "pixel order must have 3 or 4 channels");
    }
    ChannelMap map{};
    map.count = order.size();
    bool seen[4] = {false, false, false, false};
    for (std::size_t i = 0; i < order.size(); ++i) {
        const char* at = std::strchr("BGRA", order[i]);
        if (order[i] == '\0' || !at) {
            fail(ERR_NOT_IMPLEMENTED, "unknown channel in pixel order");
        }
        const std::size_t k = static_cast<std::size_t>(at - "BGRA");
        if (seen[k]) {
            fail(ERR_NOT_IMPLEMENTED, "channel named twice in pixel order");
        }
        seen[k] = true;
        map.source[i] = storedIndex(stored, order[i]);
    }
    if (!seen[0] || !seen[1] || !seen[2]) {
        fail(ERR_NOT_IMPLEMENTED, "pixel order lacks a colour channel");
    }
    return map;
}

} // namespace

TalvoMainImage::TalvoMainImage(const char* path) {
    std::size_t size = 0;
    const MallocBlock file = readWholeFile(path, size);
    TalvoMainImage loaded(file.get(), size);
    swap(loaded);
}

TalvoMainImage::TalvoMainImage(const unsigned char* data, std::size_t size) {
    detail::Decoded decoded;
    if (detail::isJpeg(data, size)) {
        detail::decodeJpeg(data, size, decoded);
    } else if (detail::isGif(data, size)) {
        detail::decodeGif(data, size, decoded);
    } else {
        fail(ERR_NOT_IMPLEMENTED, "not a JPEG or GIF file");
    }
    width_ = decoded.width;
    height_ = decoded.height;
    colorSpace_ = CS_BGRA;
    topDown_ = true;
    pixels_ = decoded.pixels.release();
    ownsPixels_ = true;
    resolutionX_ = decoded.resolutionX;
    resolutionY_ = decoded.resolutionY;
}

TalvoMainImage::TalvoMainImage(unsigned int width, unsigned int height, ColorSpace colorSpace,
                               bool topDown, unsigned char* pixels, long pixelCount, bool borrow) {
    if (!pixels) {
        fail(ERR_NULL_VALUE, "no pixel block");
    }
    const std::size_t bpp = detail::bytesPerPixel(colorSpace);
    if (bpp == 0) {
        fail(ERR_NOT_IMPLEMENTED, "unknown colour space");
    }
    if (width == 0 || height == 0) {
        fail(ERR_BAD_ARGUMENT, "image without pixels");
    }
    const std::uint64_t count = std::uint64_t{width} * height;
    if (count > detail::kMaxBlockBytes / 4) {
        fail(ERR_TOO_LARGE, "image larger than 2 GB of pixels");
    }
    if (pixelCount < 0 || static_cast<std::uint64_t>(pixelCount) != count) {
        fail(ERR_BAD_ARGUMENT, "pixel count is not width x height");
    }
    width_ = width;
    height_ = height;
    colorSpace_ = colorSpace;
    topDown_ = topDown;
    if (borrow) {
        pixels_ = pixels;
        ownsPixels_ = false;
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(count) * bpp;
    MallocBlock copy(bytes);
    std::memcpy(copy.get(), pixels, bytes);
    pixels_ = copy.release();
    ownsPixels_ = true;
}

TalvoMainImage::~TalvoMainImage() {
    release();
}

void TalvoMainImage::release() noexcept {
    if (ownsPixels_) {
        std::free(pixels_);
    }
    pixels_ = nullptr;
    ownsPixels_ = false;
}

void TalvoMainImage::copyFrom(const TalvoMainImage& other) {
    width_ = other.width_;
    height_ = other.height_;
    colorSpace_ = other.colorSpace_;
    topDown_ = other.topDown_;
    resolutionX_ = other.resolutionX_;
    resolutionY_ = other.resolutionY_;
    if (!other.pixels_) {
        return;
    }
    const std::size_t bytes = std::size_t{width_} * height_ * detail::bytesPerPixel(colorSpace_);
    MallocBlock copy(bytes);
    std::memcpy(copy.get(), other.pixels_, bytes);
    pixels_ = copy.release();
    ownsPixels_ = true;
}

void TalvoMainImage::swap(TalvoMainImage& other) noexcept {
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(colorSpace_, other.colorSpace_);
    std::swap(topDown_, other.topDown_);
    std::swap(pixels_, other.pixels_);
    std::swap(ownsPixels_, other.ownsPixels_);
    std::swap(resolutionX_, other.resolutionX_);
    std::swap(resolutionY_, other.resolutionY_);
}

unsigned char* TalvoMainImage::GetPixels(const std::string& order, unsigned int* size) {
    const ChannelMap map = parseOrder(order, colorSpace_);
    if (!pixels_) {
        fail(ERR_NULL_VALUE, "the image's pixels were handed out");
    }
    const std::size_t pixelCount = std::size_t{width_} * height_;
    // At most 4 bytes per pixel, which the constructors limited to
    // kMaxBlockBytes, so the size fits an unsigned int.
    const std::size_t bytes = pixelCount * map.count;
    const std::size_t inBpp = detail::bytesPerPixel(colorSpace_);

    if (ownsPixels_ && topDown_ && order == layoutName(colorSpace_)) {
        // The stored block already has the layout asked for: hand it over.
        unsigned char* out = pixels_;
        pixels_ = nullptr;
        ownsPixels_ = false;
        if (size) {
            *size = static_cast<unsigned int>(bytes);
        }
        return out;
    }

    MallocBlock out(bytes);
    const std::size_t inRow = std::size_t{width_} * inBpp;
    const std::size_t outRow = std::size_t{width_} * map.count;
    for (std::size_t y = 0; y < height_; ++y) {
        const std::size_t sy = topDown_ ? y : height_ - 1 - y;
        const unsigned char* src = pixels_ + sy * inRow;
        unsigned char* dst = out.get() + y * outRow;
        for (std::size_t x = 0; x < width_; ++x) {
            for (std::size_t c = 0; c < map.count; ++c) {
                const int s = map.source[c];
                dst[c] = s < 0 ? 255 : src[s];
            }
            src += inBpp;
            dst += map.count;
        }
    }
    if (size) {
        *size = static_cast<unsigned int>(bytes);
    }
    return out.release();
}

void TalvoMainImage::GetResolutionInch(double* x, double* y) const {
    if (x) {
        *x = resolutionX_;
    }
    if (y) {
        *y = resolutionY_;
    }
}

void TalvoMainImage::SetResolutionInch(double x, double y) {
    // NaN fails both comparisons and becomes 0.
    resolutionX_ = x > 0.0 ? x : 0.0;
    resolutionY_ = y > 0.0 ? y : 0.0;
}

void TalvoMainImage::WriteImage(const std::string& utf8Path, ImageType type, int quality) const {
    if (type != IT_JPEG) {
        fail(ERR_NOT_IMPLEMENTED, "only JPEG files can be written");
    }
    if (!pixels_) {
        fail(ERR_NULL_VALUE, "the image's pixels were handed out");
    }
    if (utf8Path.empty() || utf8Path.find('\0') != std::string::npos) {
        fail(ERR_FILE, "bad file name");
    }
    // Refused before the file is opened, which would empty it.
    if (width_ > detail::kMaxJpegSide || height_ > detail::kMaxJpegSide) {
        fail(ERR_TOO_LARGE, "JPEG sides are limited to 65,500 pixels");
    }
#if defined(_WIN32)
    std::FILE* file = _wfopen(textlib::utf8ToWide(utf8Path).c_str(), L"wb");
#else
    std::FILE* file = std::fopen(utf8Path.c_str(), "wb");
#endif
    if (!file) {
        fail(ERR_FILE, "cannot create file");
    }
    try {
        WriteImage([file](const unsigned char* data,
                          std::size_t size) { return std::fwrite(data, 1, size, file) == size; },
                   type, quality);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0) {
        fail(ERR_FILE, "cannot write file");
    }
}

void TalvoMainImage::WriteImage(const ByteWriter& write, ImageType type, int quality) const {
    if (type != IT_JPEG) {
        fail(ERR_NOT_IMPLEMENTED, "only JPEG files can be written");
    }
    if (!pixels_) {
        fail(ERR_NULL_VALUE, "the image's pixels were handed out");
    }
    detail::encodeJpeg(write, pixels_, width_, height_, colorSpace_, topDown_, quality,
                       resolutionX_, resolutionY_);
}

} // namespace TalvoImage
