// SPDX-License-Identifier: MIT
// JPEG encoding through libjpeg-turbo: baseline, Huffman tables of the
// JPEG standard, 4:2:0 colour subsampling, JFIF header with the density in
// dots per inch when there is one.

#include "imagelib/imagelib.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace TalvoImage::detail {

namespace {

/// Rows handed to libjpeg per call.
constexpr int kRowsPerCall = 16;

struct ErrorState {
    jpeg_error_mgr pub; // first, so that libjpeg's pointer is also ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    ErrorState* state = reinterpret_cast<ErrorState*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, state->message);
    std::longjmp(state->jump, 1);
}

// The encoder's warnings concern its own settings; there are none to heed.
void onMessage(j_common_ptr, int) {}

struct Session {
    jpeg_compress_struct cinfo;
    ErrorState error;
    bool created;
};

/// libjpeg's destination: a block that is handed to the writer whenever it
/// fills, and once more with the rest at the end.
struct Destination {
    jpeg_destination_mgr pub; // first, so that libjpeg's pointer is also ours
    const TalvoMainImage::ByteWriter* write;
    JOCTET block[64 * 1024];
};

void startDestination(j_compress_ptr cinfo) {
    Destination* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->pub.next_output_byte = d->block;
    d->pub.free_in_buffer = sizeof d->block;
}

boolean emptyDestination(j_compress_ptr cinfo) {
    Destination* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!(*d->write)(d->block, sizeof d->block)) {
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
    startDestination(cinfo);
    return TRUE;
}

void finishDestination(j_compress_ptr cinfo) {
    Destination* d = reinterpret_cast<Destination*>(cinfo->dest);
    const std::size_t used = sizeof d->block - d->pub.free_in_buffer;
    if (used > 0 && !(*d->write)(d->block, used)) {
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
}

struct Input {
    const unsigned char* pixels;
    unsigned int width;
    unsigned int height;
    J_COLOR_SPACE colorSpace;
    int components;
    bool topDown;
    int quality;
    UINT16 densityX; ///< dots per inch, 0 for none
    UINT16 densityY;
};

/// A JFIF density: the resolution rounded to whole dots per inch, 1 to
/// 65,535; 0 for none (0 or less, or not a number).
UINT16 jfifDensity(double dpi) {
    if (!(dpi > 0.0)) {
        return 0;
    }
    return dpi >= 65534.5 ? 65535 : dpi < 1.5 ? 1 : static_cast<UINT16>(dpi + 0.5);
}

// Runs libjpeg over every row. Returns false after an error, with the
// message in s.error. libjpeg's errors arrive by longjmp, so no object with
// a destructor may live in this function.
bool runEncoder(Session& s, Destination& dest, const Input& in) {
    if (setjmp(s.error.jump)) {
        return false;
    }
    jpeg_create_compress(&s.cinfo);
    s.created = true;
    dest.pub.init_destination = startDestination;
    dest.pub.empty_output_buffer = emptyDestination;
    dest.pub.term_destination = finishDestination;
    s.cinfo.dest = &dest.pub;
    s.cinfo.image_width = in.width;
    s.cinfo.image_height = in.height;
    s.cinfo.input_components = in.components;
    s.cinfo.in_color_space = in.colorSpace;
    // The defaults: YCbCr (grey for grey input) with luma sampled 2 x 2,
    // that is 4:2:0, standard Huffman tables, accurate integer DCT,
    // sequential (baseline) coding, JFIF density unit 0, ratio 1:1.
    jpeg_set_defaults(&s.cinfo);
    jpeg_set_quality(&s.cinfo, in.quality, TRUE);
    if (in.densityX > 0 && in.densityY > 0) {
        s.cinfo.density_unit = 1; // dots per inch
        s.cinfo.X_density = in.densityX;
        s.cinfo.Y_density = in.densityY;
    }
    jpeg_start_compress(&s.cinfo, TRUE);

    const std::size_t stride = std::size_t{in.width} * static_cast<std::size_t>(in.components);
    JSAMPROW rows[kRowsPerCall];
    while (s.cinfo.next_scanline < in.height) {
        const JDIMENSION y = s.cinfo.next_scanline;
        const JDIMENSION n = in.height - y < kRowsPerCall ? in.height - y : kRowsPerCall;
        for (JDIMENSION i = 0; i < n; ++i) {
            const JDIMENSION row = in.topDown ? y + i : in.height - 1 - (y + i);
            // libjpeg takes non-const rows but only reads them.
            rows[i] = const_cast<JSAMPROW>(in.pixels + row * stride);
        }
        jpeg_write_scanlines(&s.cinfo, rows, n);
    }
    jpeg_finish_compress(&s.cinfo);
    return true;
}

} // namespace

void encodeJpeg(const TalvoMainImage::ByteWriter& write, const unsigned char* pixels,
                unsigned int width, unsigned int height, ColorSpace colorSpace, bool topDown,
                int quality, double dpiX, double dpiY) {
    Input in{pixels,           width, height, JCS_UNKNOWN, 0, topDown, quality, jfifDensity(dpiX),
             jfifDensity(dpiY)};
    switch (colorSpace) {
    case CS_BGRA:
        in.colorSpace = JCS_EXT_BGRA;
        in.components = 4;
        break;
    case CS_RGBA:
        in.colorSpace = JCS_EXT_RGBA;
        in.components = 4;
        break;
    case CS_BGR:
        in.colorSpace = JCS_EXT_BGR;
        in.components = 3;
        break;
    case CS_RGB:
        in.colorSpace = JCS_RGB;
        in.components = 3;
        break;
    case CS_GRAY:
        in.colorSpace = JCS_GRAYSCALE;
        in.components = 1;
        break;
    default:
        fail(ERR_NOT_IMPLEMENTED, "unknown colour space");
    }
    // libjpeg's own limit on a side.
    if (width > kMaxJpegSide || height > kMaxJpegSide) {
        fail(ERR_TOO_LARGE, "JPEG sides are limited to 65,500 pixels");
    }
    in.quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;

    Session s{};
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = onError;
    s.error.pub.emit_message = onMessage;
    // The block is large: it lives on the heap, not the stack.
    std::unique_ptr<Destination> dest(new Destination());
    dest->write = &write;
    const bool ok = runEncoder(s, *dest, in);
    if (s.created) {
        jpeg_destroy_compress(&s.cinfo);
    }
    if (!ok) {
        fail(ERR_FILE, std::string("JPEG: ") + s.error.message);
    }
}

} // namespace TalvoImage::detail
