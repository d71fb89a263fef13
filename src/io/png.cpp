// SPDX-License-Identifier: MIT
// The PNG reader and writer over libpng: any PNG file into 8-bit blue,
// green, red, alpha pixels, and buffers into 8-bit RGBA files, with the
// density in pHYs and the background colour in bKGD.

#include "core/core.h"
#include "io/io.h"

#include <csetjmp>
#include <png.h>

namespace vorn::detail {

namespace {

// libpng reports through these and nothing is shown. Warnings are dropped.
// An error jumps to the caller's recovery point at once: returning would
// let libpng's default handler print the message first.
void silentError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void silentWarning(png_structp, png_const_charp) {}

/// The largest side libpng may accept: the widest (or tallest) buffer
/// Build makes, one pixel across.
constexpr png_uint_32 kMaxSide = static_cast<png_uint_32>(kMaxPixelBytes / 4);

/// What a read holds; it lives in readPNG's frame so that the steps that
/// may long-jump change nothing in their own frames.
struct PngRead {
    std::FILE* file = nullptr;
    long long fileBytes = -1;
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
    png_init_io(r.png, r.file);
    // libpng's own limits match Build's; the checks below refine them.
    png_set_user_limits(r.png, kMaxSide, kMaxSide);
    png_read_info(r.png, r.info);

    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(r.png, r.info, &r.width, &r.height, &bitDepth, &colourType, nullptr, nullptr,
                 nullptr);
    if (pixelBlockBytes(r.width, r.height) == 0) {
        return false;
    }
    const int bitsPerPixel = bitDepth * png_get_channels(r.png, r.info);
    if (r.fileBytes >= 0 &&
        rawImageBytes(r.width, r.height, bitsPerPixel) / kMaxDeflateExpansion > r.fileBytes) {
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
bool readImage(PngRead& r, VornBuffer& buffer) {
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
    std::fclose(r.file);
}

/// What a write holds (see PngRead).
struct PngWrite {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytepp rows = nullptr;
};

bool writeImage(PngWrite& w, const VornBuffer& buffer) {
    if (setjmp(png_jmpbuf(w.png))) {
        return false;
    }
    const int width = buffer.getWidth();
    const int height = buffer.getHeight();
    png_init_io(w.png, w.file);
    png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(w.png, w.info, static_cast<png_uint_32>(buffer.getPixelsPerMetreX()),
                 static_cast<png_uint_32>(buffer.getPixelsPerMetreY()), PNG_RESOLUTION_METER);

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
    png_write_png(w.png, w.info, PNG_TRANSFORM_BGR, nullptr);
    return true;
}

} // namespace

VornBuffer* readPNG(const wchar_t* path) {
    PngRead r;
    r.file = openFile(path, L"rb");
    if (!r.file) {
        return nullptr;
    }
    r.fileBytes = fileLength(r.file);
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
    if (!r.png) {
        finishRead(r);
        return nullptr;
    }
    r.info = png_create_info_struct(r.png);
    if (!r.info || !readHeader(r)) {
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
        finishRead(r);
        return nullptr;
    }
    if (!readImage(r, *buffer)) {
        finishRead(r);
        VornBuffer::Destroy(buffer);
        return nullptr;
    }
    if (r.hasBackground) {
        buffer->setBackground(r.background[0], r.background[1], r.background[2]);
    }
    if (png_get_valid(r.png, r.info, PNG_INFO_pHYs)) {
        buffer->setDensity(0, static_cast<int>(png_get_x_pixels_per_meter(r.png, r.info)),
                           static_cast<int>(png_get_y_pixels_per_meter(r.png, r.info)));
    }
    finishRead(r);
    return buffer;
}

int writePNG(const VornBuffer& buffer, const wchar_t* path) {
    if (!buffer.getPixels() || buffer.getWidth() < 1 || buffer.getHeight() < 1) {
        return -1;
    }
    PngWrite w;
    w.file = openFile(path, L"wb");
    if (!w.file) {
        return -1;
    }
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
    bool ok = w.png != nullptr;
    if (ok) {
        w.info = png_create_info_struct(w.png);
        ok = w.info != nullptr && writeImage(w, buffer);
    }
    if (w.rows) {
        png_free(w.png, w.rows);
    }
    if (w.png) {
        png_destroy_write_struct(&w.png, w.info ? &w.info : nullptr);
    }
    // A failed close means the end of the file never reached the disk.
    const bool closed = closeFile(w.file);
    return ok && closed ? 0 : -1;
}

} // namespace vorn::detail
