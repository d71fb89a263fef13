// SPDX-License-Identifier: MIT
// JPEG decoding through libjpeg-turbo: every process libjpeg-turbo reads
// (baseline, extended, progressive; Huffman or arithmetic coding), grey,
// YCbCr and RGB straight into blue, green, red, alpha, CMYK and YCCK
// converted, and the resolution from JFIF or Exif.

#include "imagelib/imagelib.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace TalvoImage::detail {

namespace {

/// More scans than real encoders write (6 to about 60); every scan makes
/// the decoder pass over the whole image again, so a file of many small
/// scans costs far more than its size suggests.
constexpr int kMaxScans = 100;

/// Rows handed to libjpeg per call.
constexpr int kRowsPerCall = 16;

// libjpeg reports errors through error_exit, which must not return: it
// jumps back to the recovery point set in runDecoder. libjpeg's default
// would end the process.
struct ErrorState {
    jpeg_error_mgr pub; // first, so that libjpeg's pointer is also ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    ErrorCode code;
    bool outOfMemory;
};

[[noreturn]] void jumpOut(j_common_ptr cinfo) {
    ErrorState* state = reinterpret_cast<ErrorState*>(cinfo->err);
    std::longjmp(state->jump, 1);
}

void onError(j_common_ptr cinfo) {
    ErrorState* state = reinterpret_cast<ErrorState*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, state->message);
    switch (cinfo->err->msg_code) {
    case JERR_SOF_UNSUPPORTED:
    case JERR_BAD_PRECISION:
    case JERR_NOT_COMPILED:
        // A valid file of a kind this decoder does not read (lossless,
        // 12-bit samples).
        state->code = ERR_NOT_IMPLEMENTED;
        break;
    default:
        state->code = ERR_BAD_IMAGE;
        break;
    }
    jumpOut(cinfo);
}

// Trace messages (level >= 0) are dropped. Warnings report damage that the
// decoder repairs locally, and are tolerated, except for two:
// - Huffman-coded data that ends while the decoder still needs bits:
//   libjpeg would make up the rest of the picture. (Data that runs out where
//   only the end marker or whole later scans are missing, or
//   arithmetic-coded data that ends early, which the standard allows, still
//   gives every row.)
// - A progressive scan that repeats or skips a refinement step: no encoder
//   writes one, and repeating scans is how a small file makes the decoder
//   pass over a large image again and again.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) {
        return;
    }
    if (cinfo->err->msg_code == JWRN_HIT_MARKER || cinfo->err->msg_code == JWRN_BOGUS_PROGRESSION) {
        onError(cinfo);
    }
}

void onProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) {
        return;
    }
    const j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        ErrorState* state = reinterpret_cast<ErrorState*>(cinfo->err);
        std::snprintf(state->message, sizeof state->message, "more than %d scans", kMaxScans);
        state->code = ERR_BAD_IMAGE;
        jumpOut(cinfo);
    }
}

struct Session {
    jpeg_decompress_struct cinfo;
    ErrorState error;
    jpeg_progress_mgr progress;
    bool created;
    unsigned char* pixels; // std::malloc'ed, width x height x 4
    double resolutionX;
    double resolutionY;
};

// x / 255 rounded to nearest, for x <= 255 * 255.
inline unsigned char div255(unsigned x) {
    x += 128;
    return static_cast<unsigned char>((x + (x >> 8)) >> 8);
}

// CMYK to blue, green, red, alpha. Adobe files store the inks inverted (0
// is full ink), which libjpeg passes on unchanged.
void cmykRowToBgra(const JSAMPLE* in, unsigned char* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
        unsigned c = in[0];
        unsigned m = in[1];
        unsigned y = in[2];
        unsigned k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = div255(y * k);
        out[1] = div255(m * k);
        out[2] = div255(c * k);
        out[3] = 255;
    }
}

void readResolution(Session& s) {
    const jpeg_decompress_struct& c = s.cinfo;
    if (c.saw_JFIF_marker && (c.density_unit == 1 || c.density_unit == 2) && c.X_density > 0 &&
        c.Y_density > 0) {
        const double perInch = c.density_unit == 2 ? 2.54 : 1.0;
        s.resolutionX = c.X_density * perInch;
        s.resolutionY = c.Y_density * perInch;
        return;
    }
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0 &&
            exifResolutionInch(m->data + 6, m->data_length - 6, s.resolutionX, s.resolutionY)) {
            return;
        }
    }
}

// Runs libjpeg from the header to the last row. Returns false after an
// error, with its code and message in s.error. libjpeg's errors arrive by
// longjmp, so no object with a destructor may live in this function; what
// must be released afterwards is recorded in s.
bool runDecoder(Session& s, const unsigned char* data, std::size_t size) {
    if (setjmp(s.error.jump)) {
        return false;
    }
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.progress.progress_monitor = onProgress;
    s.cinfo.progress = &s.progress;
    jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&s.cinfo, TRUE);

    bool cmyk = false;
    switch (s.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        s.cinfo.out_color_space = JCS_EXT_BGRA;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        s.cinfo.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        std::snprintf(s.error.message, sizeof s.error.message, "unsupported colour space");
        s.error.code = ERR_NOT_IMPLEMENTED;
        return false;
    }

    // Refuse implausible sizes before libjpeg allocates its coefficient
    // buffers and before the pixel block exists.
    const char* problem = claimedSizeProblem(s.cinfo.image_width, s.cinfo.image_height, size,
                                             kJpegPixelsPerByte, s.error.code);
    if (problem) {
        std::snprintf(s.error.message, sizeof s.error.message, "%s", problem);
        return false;
    }
    readResolution(s);

    jpeg_start_decompress(&s.cinfo);
    const JDIMENSION width = s.cinfo.output_width;
    const JDIMENSION height = s.cinfo.output_height;
    const std::size_t stride = std::size_t{width} * 4;
    s.pixels = static_cast<unsigned char*>(std::malloc(stride * height));
    if (!s.pixels) {
        s.error.outOfMemory = true;
        return false;
    }

    if (cmyk) {
        const bool inverted = s.cinfo.saw_Adobe_marker != 0;
        JSAMPARRAY row = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo),
                                                      JPOOL_IMAGE, width * 4, 1);
        while (s.cinfo.output_scanline < height) {
            const JDIMENSION y = s.cinfo.output_scanline;
            if (jpeg_read_scanlines(&s.cinfo, row, 1) != 1) {
                break;
            }
            cmykRowToBgra(row[0], s.pixels + y * stride, width, inverted);
        }
    } else {
        JSAMPROW rows[kRowsPerCall];
        while (s.cinfo.output_scanline < height) {
            const JDIMENSION y = s.cinfo.output_scanline;
            const JDIMENSION n = height - y < kRowsPerCall ? height - y : kRowsPerCall;
            for (JDIMENSION i = 0; i < n; ++i) {
                rows[i] = s.pixels + (y + i) * stride;
            }
            if (jpeg_read_scanlines(&s.cinfo, rows, n) == 0) {
                break;
            }
        }
    }
    if (s.cinfo.output_scanline < height) {
        std::snprintf(s.error.message, sizeof s.error.message, "rows missing");
        s.error.code = ERR_BAD_IMAGE;
        return false;
    }
    // Whatever follows the last row no longer matters; destroying the
    // decompressor without jpeg_finish_decompress is allowed.
    return true;
}

} // namespace

void decodeJpeg(const unsigned char* data, std::size_t size, Decoded& out) {
    Session s{};
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = onError;
    s.error.pub.emit_message = onMessage;
    s.error.code = ERR_BAD_IMAGE;

    const bool ok = runDecoder(s, data, size);
    if (ok) {
        out.width = s.cinfo.output_width;
        out.height = s.cinfo.output_height;
        out.resolutionX = s.resolutionX;
        out.resolutionY = s.resolutionY;
    }
    if (s.created) {
        jpeg_destroy_decompress(&s.cinfo);
    }
    if (!ok) {
        std::free(s.pixels);
        if (s.error.outOfMemory) {
            throw std::bad_alloc();
        }
        fail(s.error.code, std::string("JPEG: ") + s.error.message);
    }
    out.pixels.adopt(s.pixels);
}

bool exifResolutionInch(const unsigned char* tiff, std::size_t size, double& x, double& y) {
    if (size < 8) {
        return false;
    }
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I') {
        little = true;
    } else if (tiff[0] == 'M' && tiff[1] == 'M') {
        little = false;
    } else {
        return false;
    }
    // Callers check that at + 2 or at + 4 <= size.
    auto u16 = [&](std::size_t at) -> unsigned {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t {
        const std::uint32_t lo = u16(at);
        const std::uint32_t hi = u16(at + 2);
        return little ? lo | hi << 16 : lo << 16 | hi;
    };
    if (u16(2) != 42) {
        return false;
    }
    const std::uint32_t ifd = u32(4);
    if (ifd > size || size - ifd < 2) {
        return false;
    }
    std::size_t count = u16(ifd);
    const std::size_t first = ifd + 2;
    if (count > (size - first) / 12) {
        count = (size - first) / 12;
    }
    double resolution[2] = {0.0, 0.0};
    bool found[2] = {false, false};
    unsigned unit = 2; // inches, the default of the Exif standard
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = first + i * 12;
        const unsigned tag = u16(entry);
        const unsigned type = u16(entry + 2);
        const std::uint32_t n = u32(entry + 4);
        if ((tag == 0x011A || tag == 0x011B) && type == 5 && n >= 1) {
            // One RATIONAL (two 32-bit values) stored at an offset.
            const std::uint32_t at = u32(entry + 8);
            if (at > size || size - at < 8) {
                continue;
            }
            const std::uint32_t numerator = u32(at);
            const std::uint32_t denominator = u32(at + 4);
            if (denominator == 0) {
                continue;
            }
            const int k = tag == 0x011A ? 0 : 1;
            resolution[k] = static_cast<double>(numerator) / denominator;
            found[k] = true;
        } else if (tag == 0x0128 && type == 3 && n >= 1) {
            unit = u16(entry + 8);
        }
    }
    if (!found[0] || !found[1]) {
        return false;
    }
    double perInch;
    if (unit == 2) {
        perInch = 1.0;
    } else if (unit == 3) {
        perInch = 2.54;
    } else {
        return false; // no absolute unit
    }
    x = resolution[0] * perInch;
    y = resolution[1] * perInch;
    return true;
}

} // namespace TalvoImage::detail
