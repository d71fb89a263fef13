// SPDX-License-Identifier: MIT
// The bridge to the image library: it reads JPEG and GIF (and is asked for
// every file that the library's own readers do not recognise), and writes
// JPEG, all through the byte seam.

#include "core/core.h"
#include "imagelib/imagelib.h"
#include "io/io.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

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

/// Notes a library exception as the reason of the failure. Its text, less
/// the category's general message that std::system_error appends.
void noteLibraryError(const std::system_error& e, Status otherwise) {
    std::string what = e.what();
    const std::string tail = ": " + e.code().message();
    if (what.size() > tail.size() &&
        what.compare(what.size() - tail.size(), tail.size(), tail) == 0) {
        what.resize(what.size() - tail.size());
    }
    Status status = otherwise;
    if (&e.code().category() == &TalvoImage::talvo_error_category()) {
        switch (e.code().value()) {
        case TalvoImage::ERR_BAD_IMAGE:
            status = Status::Corrupt;
            break;
        case TalvoImage::ERR_TOO_LARGE:
            status = Status::TooLarge;
            break;
        case TalvoImage::ERR_NOT_IMPLEMENTED:
            status = Status::Unsupported;
            break;
        case TalvoImage::ERR_BAD_ARGUMENT:
        case TalvoImage::ERR_NULL_VALUE:
            status = Status::InvalidArgument;
            break;
        default:
            break;
        }
    }
    noteFailure(status, what);
}

/// The whole content of the source: in place when it lies in memory, else
/// read into `storage`. Null when it cannot be had (the reason noted).
const unsigned char* wholeContent(ByteSource& source, std::size_t& size,
                                  std::unique_ptr<unsigned char, FreeBlock>& storage) {
    if (const unsigned char* data = source.contiguous()) {
        size = static_cast<std::size_t>(source.size());
        return data;
    }
    const long long known = source.size();
    if (known > static_cast<long long>(TalvoImage::detail::kMaxBlockBytes)) {
        noteFailure(Status::TooLarge, "file larger than 2 GB");
        return nullptr;
    }
    // A pipe's length is unknown: the block grows as the bytes come.
    const std::size_t limit = TalvoImage::detail::kMaxBlockBytes;
    std::size_t capacity = known >= 0 ? static_cast<std::size_t>(known) : 64 * 1024;
    storage.reset(static_cast<unsigned char*>(std::malloc(capacity == 0 ? 1 : capacity)));
    if (!storage) {
        throw std::bad_alloc();
    }
    std::size_t used = 0;
    for (;;) {
        if (used == capacity) {
            if (known >= 0) {
                break;
            }
            if (capacity >= limit) {
                noteFailure(Status::TooLarge, "file larger than 2 GB");
                return nullptr;
            }
            capacity = std::min(capacity * 2, limit);
            void* grown = std::realloc(storage.get(), capacity);
            if (!grown) {
                throw std::bad_alloc();
            }
            storage.release();
            storage.reset(static_cast<unsigned char*>(grown));
        }
        const std::size_t got = source.read(storage.get() + used, capacity - used);
        if (got == 0) {
            break;
        }
        used += got;
    }
    if (source.failed()) {
        return nullptr;
    }
    size = used;
    return storage.get();
}

} // namespace

VornBuffer* readLibraryImage(ByteSource& source) {
    // The library reads JPEG and GIF only: other content is refused by its
    // first bytes, before the rest is read.
    unsigned char head[TalvoImage::detail::kSignatureBytes] = {};
    const std::size_t headBytes = source.peek(head, sizeof head);
    if (!TalvoImage::detail::isJpeg(head, headBytes) &&
        !TalvoImage::detail::isGif(head, headBytes)) {
        noteFailure(Status::UnknownFormat, "not an image file of a known format");
        return nullptr;
    }
    try {
        std::unique_ptr<unsigned char, FreeBlock> storage;
        std::size_t size = 0;
        const unsigned char* content = wholeContent(source, size, storage);
        if (!content) {
            return nullptr;
        }
        TalvoImage::TalvoMainImage image(content, size);
        storage.reset();
        const unsigned int width = image.GetWidth();
        const unsigned int height = image.GetHeight();
        if (width == 0 || height == 0) {
            noteFailure(Status::Corrupt, "image without pixels");
            return nullptr;
        }
        unsigned int blockSize = 0;
        // The block is ours from here on (released with std::free), and it
        // outlives the image object.
        std::unique_ptr<unsigned char, FreeBlock> block(
            image.GetPixels(std::string("BGRA"), &blockSize));
        // The sides as signed 32-bit numbers: a side beyond INT_MAX becomes
        // negative and Build refuses it. A block of another size than
        // width x height x 4 bytes would be read past its end.
        const int w = static_cast<int>(width);
        const int h = static_cast<int>(height);
        const std::size_t bytes = pixelBlockBytes(w, h);
        if (!block || blockSize == 0 || bytes == 0 || blockSize != bytes) {
            noteFailure(Status::TooLarge, "image beyond the library's limits");
            return nullptr;
        }
        std::unique_ptr<VornBuffer, DestroyBuffer> buffer(
            buildOwning(w, h, reinterpret_cast<_VORNRGBAQUAD*>(block.get())));
        if (!buffer) {
            noteFailure(Status::TooLarge, "image beyond the library's limits");
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
    } catch (const std::bad_alloc&) {
        noteFailure(Status::OutOfMemory, "out of memory");
        return nullptr;
    } catch (const std::system_error& e) {
        noteLibraryError(e, Status::Corrupt);
        return nullptr;
    } catch (const std::exception& e) {
        noteFailure(Status::Corrupt, e.what());
        return nullptr;
    }
}

int writeLibraryImage(const VornBuffer& buffer, ByteSink& sink, const WriteOptions& options) {
    try {
        const int width = buffer.getWidth();
        const int height = buffer.getHeight();
        // Build keeps width x height x 4 within a signed 32-bit value, so
        // the pixel count fits as well. The library only reads the pixels.
        const long pixelCount = static_cast<long>(width * height);
        const _VORNRGBAQUAD* pixels = buffer.getPixels();
        std::vector<_VORNRGBAQUAD> flattened;
        if (options.jpegFlatten) {
            _VORNRGBAQUAD bg = packColour(255, 255, 255, 255);
            unsigned char red;
            unsigned char green;
            unsigned char blue;
            if (buffer.getBackground(&red, &green, &blue)) {
                bg = packColour(red, green, blue, 255);
            }
            flattened.assign(pixels, pixels + pixelCount);
            for (_VORNRGBAQUAD& p : flattened) {
                p = packColour(flattenChannel(p.red, p.alpha, bg.red),
                               flattenChannel(p.green, p.alpha, bg.green),
                               flattenChannel(p.blue, p.alpha, bg.blue), 255);
            }
            pixels = flattened.data();
        }
        TalvoImage::TalvoMainImage image(
            static_cast<unsigned int>(width), static_cast<unsigned int>(height), kBgra, true,
            reinterpret_cast<unsigned char*>(const_cast<_VORNRGBAQUAD*>(pixels)), pixelCount, true);
        image.SetResolutionInch(options.jpegDpiX, options.jpegDpiY);
        image.WriteImage(
            [&sink](const unsigned char* data, std::size_t size) { return sink.write(data, size); },
            kJpeg, options.jpegQuality);
    } catch (const std::bad_alloc&) {
        noteFailure(Status::OutOfMemory, "out of memory");
        return -1;
    } catch (const std::system_error& e) {
        noteLibraryError(e, Status::WriteFailed);
        return -1;
    } catch (const std::exception& e) {
        noteFailure(Status::WriteFailed, e.what());
        return -1;
    }
    return 0;
}

} // namespace vorn::detail
