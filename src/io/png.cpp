// SPDX-License-Identifier: MIT
// The PNG reader and writer over libpng: any PNG file into 8-bit blue,
// green, red, alpha pixels, and buffers into 8-bit RGBA files, with the
// density in pHYs and the background colour in bKGD. libpng writes every
// chunk; the image data it is handed comes filtered and deflated by
// png_idat.cpp (very large images excepted, which libpng compresses).

#include "core/core.h"
#include "io/io.h"
#include "io/png_idat.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <string>

namespace vorn::detail {

namespace {

/// libpng's last error message of one call, kept for the failure record.
struct PngMessage {
    char text[128] = {};
};

// libpng reports through these and nothing is shown. Warnings are dropped.
// An error keeps its message and jumps to the caller's recovery point at
// once: returning would let libpng's default handler print the message
// first.
void silentError(png_structp png, png_const_charp message) {
    if (auto* kept = static_cast<PngMessage*>(png_get_error_ptr(png))) {
        std::snprintf(kept->text, sizeof kept->text, "%s", message ? message : "error");
    }
    png_longjmp(png, 1);
}
void silentWarning(png_structp, png_const_charp) {}

/// Notes libpng's error as the reason of the failure.
void noteLibpngError(const PngMessage& message) {
    const bool memory = std::strstr(message.text, "memory") != nullptr;
    const bool limit = std::strstr(message.text, "user limit") != nullptr;
    noteFailure(memory  ? Status::OutOfMemory
                : limit ? Status::TooLarge
                        : Status::Corrupt,
                std::string("PNG: ") + (message.text[0] ? message.text : "error"));
}

// libpng reads through the source and writes into the sink.
void readFromSource(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<ByteSource*>(png_get_io_ptr(png));
    if (source->read(out, length) != length) {
        png_error(png, "file cut short");
    }
}
void writeToSink(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<ByteSink*>(png_get_io_ptr(png));
    if (!sink->write(data, length)) {
        png_error(png, "write failed");
    }
}
void flushNothing(png_structp) {}

/// A density for pHYs, which holds 0 to 2^31 - 1.
png_uint_32 physValue(int perMetre) {
    return perMetre < 0 ? 0u : static_cast<png_uint_32>(perMetre);
}

/// The largest side libpng may accept: the widest (or tallest) buffer
/// Build makes, one pixel across.
constexpr png_uint_32 kMaxSide = static_cast<png_uint_32>(kMaxPixelBytes / 4);

/// What a read holds; it lives in readPNG's frame so that the steps that
/// may long-jump change nothing in their own frames.
struct PngRead {
    ByteSource* source = nullptr;
    long long fileBytes = -1;
    PngMessage message;
    bool tooLarge = false;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool hasBackground = false;
    unsigned char background[3] = {}; ///< red, green, blue, 8 bits
    png_bytepp rows = nullptr;
};

/// A background colour from bKGD at the file's depth brought to 8 bits the
/// way the pixels are: 16-bit samples keep their high byte, grey of 1, 2 or
/// 4 bits is scaled to 0 to 255, palette entries are already 8-bit.
unsigned char backgroundSample(png_uint_16 v, int bitDepth, int colourType) {
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        return static_cast<unsigned char>(v);
    }
    if (bitDepth == 16) {
        return static_cast<unsigned char>(v >> 8);
    }
    if (bitDepth < 8) {
        const unsigned max = (1u << bitDepth) - 1;
        return static_cast<unsigned char>((v & max) * 255 / max);
    }
    return static_cast<unsigned char>(v);
}

/// Bytes of the image before compression (filter byte per row included),
/// without interlacing, which only adds to it.
long long rawImageBytes(png_uint_32 width, png_uint_32 height, int bitsPerPixel) {
    const long long rowBits = static_cast<long long>(width) * bitsPerPixel;
    return static_cast<long long>(height) * (1 + (rowBits + 7) / 8);
}

/// Reads the header chunks and requests the transformations that give
/// 4 bytes per pixel, blue, green, red, alpha. False on a libpng error or
/// a size that is refused before anything large is allocated.
bool readHeader(PngRead& r) {
    if (setjmp(png_jmpbuf(r.png))) {
        return false;
    }
    png_set_read_fn(r.png, r.source, readFromSource);
    // libpng's own limits match Build's; the checks below refine them.
    png_set_user_limits(r.png, kMaxSide, kMaxSide);
    // libpng reads text, colour profiles and the like whole, into memory of
    // the length each chunk claims, before it could find the file too short:
    // a few bytes could ask for gigabytes. The reader uses none of them, so
    // they are skipped unread, as are chunks libpng does not know.
    static const png_byte kSkipped[] = "iCCP\0iTXt\0tEXt\0zTXt\0sPLT\0eXIf\0pCAL\0sCAL\0"
                                       "tIME\0hIST\0oFFs";
    png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_NEVER, kSkipped,
                                static_cast<int>(sizeof kSkipped / 5));
    png_read_info(r.png, r.info);

    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(r.png, r.info, &r.width, &r.height, &bitDepth, &colourType, nullptr, nullptr,
                 nullptr);
    if (pixelBlockBytes(r.width, r.height) == 0) {
        r.tooLarge = true;
        std::snprintf(r.message.text, sizeof r.message.text, "size %u x %u beyond the limits",
                      static_cast<unsigned>(r.width), static_cast<unsigned>(r.height));
        return false;
    }
    const int bitsPerPixel = bitDepth * png_get_channels(r.png, r.info);
    if (r.fileBytes >= 0 &&
        rawImageBytes(r.width, r.height, bitsPerPixel) / kMaxDeflateExpansion > r.fileBytes) {
        r.tooLarge = true;
        std::snprintf(r.message.text, sizeof r.message.text,
                      "size %u x %u far beyond what the file could hold",
                      static_cast<unsigned>(r.width), static_cast<unsigned>(r.height));
        return false;
    }

    if (bitDepth == 16) {
        png_set_strip_16(r.png);
    }
    if (bitDepth < 8) {
        png_set_packing(r.png);
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_expand(r.png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY) {
        if (bitDepth < 8) {
            png_set_expand(r.png);
        }
        png_set_gray_to_rgb(r.png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(r.png);
    }
    if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) {
        png_set_expand(r.png);
    } else {
        png_set_filler(r.png, 255, PNG_FILLER_AFTER);
    }
    png_color_16p bkgd = nullptr;
    if (png_get_bKGD(r.png, r.info, &bkgd) && bkgd) {
        r.hasBackground = true;
        r.background[0] = backgroundSample(bkgd->red, bitDepth, colourType);
        r.background[1] = backgroundSample(bkgd->green, bitDepth, colourType);
        r.background[2] = backgroundSample(bkgd->blue, bitDepth, colourType);
    }
    if (colourType & PNG_COLOR_MASK_COLOR) {
        png_set_bgr(r.png);
    }
    png_read_update_info(r.png, r.info);

    // Every colour type now arrives as 4 bytes per pixel.
    return png_get_rowbytes(r.png, r.info) == static_cast<png_size_t>(r.width) * 4;
}

/// Decodes every row straight into the buffer's rows (they have exactly
/// the layout the transformations produce) and reads the trailing chunks.
bool readRows(PngRead& r, VornBuffer& buffer) {
    if (setjmp(png_jmpbuf(r.png))) {
        return false;
    }
    r.rows = static_cast<png_bytepp>(png_malloc(r.png, sizeof(png_bytep) * r.height));
    _VORNRGBAQUAD* pixels = buffer.getPixels();
    for (png_uint_32 y = 0; y < r.height; ++y) {
        r.rows[y] = reinterpret_cast<png_bytep>(pixels + static_cast<std::size_t>(y) * r.width);
    }
    png_read_image(r.png, r.rows);
    png_read_end(r.png, r.info);
    return true;
}

/// Releases what a read made, whatever step it reached.
void finishRead(PngRead& r) {
    if (r.rows) {
        png_free(r.png, r.rows);
        r.rows = nullptr;
    }
    if (r.png) {
        png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr);
    }
}

/// What a write holds (see PngRead).
struct PngWrite {
    ByteSink* sink = nullptr;
    PngMessage message;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytepp rows = nullptr;
};

/// Bytes of image data per IDAT chunk.
constexpr std::size_t kIdatChunk = std::size_t{1} << 18;

bool writeRows(PngWrite& w, const VornBuffer& buffer, int compression,
               const DeflatedData& imageData) {
    if (setjmp(png_jmpbuf(w.png))) {
        return false;
    }
    const int width = buffer.getWidth();
    const int height = buffer.getHeight();
    png_set_write_fn(w.png, w.sink, writeToSink, flushNothing);
    if (compression >= 0) {
        png_set_compression_level(w.png, compression > 9 ? 9 : compression);
    }
    // libpng's default limit of a million pixels a side would refuse sizes
    // that Build accepts (and that the reader takes).
    png_set_user_limits(w.png, kMaxSide, kMaxSide);
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(w.png, w.info, physValue(buffer.getPixelsPerMetreX()),
                 physValue(buffer.getPixelsPerMetreY()), PNG_RESOLUTION_METER);

    // libpng copies each row into a row of its own before swapping red and
    // blue, so the buffer's rows are handed over as they are and never
    // written to.
    w.rows = static_cast<png_bytepp>(png_malloc(w.png, sizeof(png_bytep) * height));
    const _VORNRGBAQUAD* pixels = buffer.getPixels();
    for (int y = 0; y < height; ++y) {
        w.rows[y] = reinterpret_cast<png_bytep>(
            const_cast<_VORNRGBAQUAD*>(pixels + static_cast<std::size_t>(y) * width));
    }
    png_set_rows(w.png, w.info, w.rows);

    unsigned char red;
    unsigned char green;
    unsigned char blue;
    if (buffer.getBackground(&red, &green, &blue)) {
        png_color_16 bkgd = {};
        bkgd.red = red;
        bkgd.green = green;
        bkgd.blue = blue;
        png_set_bKGD(w.png, w.info, &bkgd);
    }
    if (!imageData.bytes) {
        png_write_png(w.png, w.info, PNG_TRANSFORM_BGR, nullptr);
        return true;
    }
    // The same chunks as png_write_png writes, with image data of our own.
    png_write_info(w.png, w.info);
    for (std::size_t at = 0; at < imageData.size; at += kIdatChunk) {
        png_write_chunk(w.png, reinterpret_cast<png_const_bytep>("IDAT"),
                        imageData.bytes.get() + at, std::min(kIdatChunk, imageData.size - at));
    }
    png_write_chunk(w.png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
    return true;
}

} // namespace

VornBuffer* readPNG(ByteSource& source) {
    unsigned char signature[8] = {};
    if (source.peek(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        noteFailure(Status::UnknownFormat, "PNG: no PNG signature");
        return nullptr;
    }
    PngRead r;
    r.source = &source;
    r.fileBytes = source.size();
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.message, silentError, silentWarning);
    if (!r.png) {
        noteFailure(Status::OutOfMemory, "PNG: out of memory");
        return nullptr;
    }
    r.info = png_create_info_struct(r.png);
    if (!r.info || !readHeader(r)) {
        if (r.tooLarge) {
            noteFailure(Status::TooLarge, std::string("PNG: ") + r.message.text);
        } else {
            noteLibpngError(r.message);
        }
        finishRead(r);
        return nullptr;
    }

    VornBuffer* buffer = nullptr;
    try {
        buffer = VornBuffer::Build(static_cast<int>(r.width), static_cast<int>(r.height), nullptr);
    } catch (...) {
        finishRead(r);
        throw;
    }
    if (!buffer) {
        noteFailure(Status::TooLarge, "PNG: size beyond the library's limits");
        finishRead(r);
        return nullptr;
    }
    if (!readRows(r, *buffer)) {
        noteLibpngError(r.message);
        finishRead(r);
        VornBuffer::Destroy(buffer);
        return nullptr;
    }
    if (r.hasBackground) {
        buffer->setBackground(r.background[0], r.background[1], r.background[2]);
    }
    if (png_get_valid(r.png, r.info, PNG_INFO_pHYs)) {
        // pHYs holds unsigned 32-bit values; the density is a signed one.
        const png_uint_32 x = png_get_x_pixels_per_meter(r.png, r.info);
        const png_uint_32 y = png_get_y_pixels_per_meter(r.png, r.info);
        buffer->setDensity(0, x > INT_MAX ? INT_MAX : static_cast<int>(x),
                           y > INT_MAX ? INT_MAX : static_cast<int>(y));
    }
    finishRead(r);
    return buffer;
}

int writePNG(const VornBuffer& buffer, ByteSink& sink, int compression) {
    if (!buffer.getPixels() || buffer.getWidth() < 1 || buffer.getHeight() < 1) {
        noteFailure(Status::InvalidArgument, "PNG: buffer without pixels");
        return -1;
    }
    // The image data deflated whole, unless it is too large to hold.
    DeflatedData imageData;
    if (filteredBytes(buffer) <= kMaxWholeImageData &&
        !deflateImageData(buffer, compression, imageData)) {
        noteFailure(Status::OutOfMemory, "PNG: out of memory");
        return -1;
    }
    PngWrite w;
    w.sink = &sink;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.message, silentError, silentWarning);
    bool ok = w.png != nullptr;
    if (ok) {
        w.info = png_create_info_struct(w.png);
        ok = w.info != nullptr && writeRows(w, buffer, compression, imageData);
    }
    if (!ok) {
        // A failed write of the sink has noted its own reason already.
        const bool memory = !w.png || !w.info || std::strstr(w.message.text, "memory");
        noteFailure(memory ? Status::OutOfMemory : Status::WriteFailed,
                    std::string("PNG: ") + (w.message.text[0] ? w.message.text : "out of memory"));
    }
    if (w.rows) {
        png_free(w.png, w.rows);
    }
    if (w.png) {
        png_destroy_write_struct(&w.png, w.info ? &w.info : nullptr);
    }
    return ok ? 0 : -1;
}

} // namespace vorn::detail
