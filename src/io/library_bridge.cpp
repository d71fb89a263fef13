// SPDX-License-Identifier: MIT
// The bridge to the image library: it reads JPEG, GIF and every file that
// the library's own readers do not recognise, and writes JPEG.

#include "core/core.h"
#include "imagelib/talvo_image.h"
#include "io/io.h"
#include "text/text_string.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

namespace vorn::detail {

namespace {

struct FreeBlock {
    void operator()(unsigned char* p) const { std::free(p); }
};

struct DestroyBuffer {
    void operator()(VornBuffer* b) const { VornBuffer::Destroy(b); }
};

// The library's pixel layout of blue, green, red, alpha bytes (the
// buffer's own) and its JPEG file type.
constexpr TalvoImage::ColorSpace kBgra = static_cast<TalvoImage::ColorSpace>(1);
constexpr TalvoImage::ImageType kJpeg = static_cast<TalvoImage::ImageType>(2);
constexpr int kJpegQuality = 50;

} // namespace

VornBuffer* readLibraryImage(const wchar_t* path) {
    const std::string narrow = textlib::wideToNarrow(path);
    try {
        TalvoImage::TalvoMainImage image(narrow.c_str());
        const unsigned int width = image.GetWidth();
        const unsigned int height = image.GetHeight();
        if (width == 0 || height == 0) {
            return nullptr;
        }
        unsigned int size = 0;
        // The block is ours from here on (released with std::free), and it
        // outlives the image object.
        std::unique_ptr<unsigned char, FreeBlock> block(
            image.GetPixels(std::string("BGRA"), &size));
        if (!block || size == 0) {
            return nullptr;
        }
        // The sides as signed 32-bit numbers: a side beyond INT_MAX becomes
        // negative and Build refuses it. A block of another size than
        // width x height x 4 bytes would be read past its end.
        const int w = static_cast<int>(width);
        const int h = static_cast<int>(height);
        const std::size_t bytes = pixelBlockBytes(w, h);
        if (bytes == 0 || size != bytes) {
            return nullptr;
        }
        std::unique_ptr<VornBuffer, DestroyBuffer> buffer(
            buildOwning(w, h, reinterpret_cast<_VORNRGBAQUAD*>(block.get())));
        if (!buffer) {
            return nullptr;
        }
        block.release(); // now the buffer's

        double x = 0.0;
        double y = 0.0;
        image.GetResolutionInch(&x, &y);
        const int dpiX = saturateToInt(x);
        const int dpiY = saturateToInt(y);
        if (dpiX != 0 || dpiY != 0) {
            buffer->setDensity(1, dpiX, dpiY);
        }
        return buffer.release();
    } catch (const std::exception&) {
        return nullptr;
    }
}

int writeLibraryImage(const VornBuffer& buffer, const wchar_t* path) {
    try {
        const int width = buffer.getWidth();
        const int height = buffer.getHeight();
        // Build keeps width x height x 4 within a signed 32-bit value, so
        // the pixel count fits as well. The library only reads the pixels.
        const long pixelCount = static_cast<long>(width * height);
        TalvoImage::TalvoMainImage image(
            static_cast<unsigned int>(width), static_cast<unsigned int>(height), kBgra, true,
            reinterpret_cast<unsigned char*>(const_cast<_VORNRGBAQUAD*>(buffer.getPixels())),
            pixelCount, true);
        std::string utf8;
        {
            const textlib::Str wide = textlib::wideToStr(path);
            utf8 = textlib::strToUtf8(wide);
        }
        image.WriteImage(utf8, kJpeg, kJpegQuality);
    } catch (const std::exception&) {
        return -1;
    }
    return 0;
}

} // namespace vorn::detail
