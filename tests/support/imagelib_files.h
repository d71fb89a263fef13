// SPDX-License-Identifier: MIT
// Helpers for the tests of the image library and its bridge: JPEG and GIF
// files made to order with libjpeg and giflib, over the file helpers of
// the image-file tests.
#ifndef VORN_TESTS_SUPPORT_IMAGELIB_FILES_H
#define VORN_TESTS_SUPPORT_IMAGELIB_FILES_H

#include "../io/io_test.h"

#include <array>
#include <cstdio>
#include <gif_lib.h>
#include <jpeglib.h>
#include <stdexcept>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// JPEG files made to order
// ---------------------------------------------------------------------------

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    bool arithmetic = false;
    bool jfif = true;
    int densityUnit = 0; ///< JFIF: 0 none (ratio only), 1 per inch, 2 per centimetre
    int densityX = 1;
    int densityY = 1;
    Bytes exif;                        ///< an APP1 payload written after the header, when not empty
    bool ycck = false;                 ///< four components: stored as YCCK rather than CMYK
    bool adobe = true;                 ///< four components: with an Adobe marker
    std::vector<jpeg_scan_info> scans; ///< a scan script of one's own, when not empty
};

/// Encodes width x height pixels of `components` bytes (1 grey, 3 RGB, 4
/// CMYK) into a JPEG file.
inline Bytes encodeJpeg(int width, int height, int components, const Bytes& pixels,
                        const JpegOptions& o = JpegOptions()) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (components == 4) {
        jpeg_set_colorspace(&cinfo, o.ycck ? JCS_YCCK : JCS_CMYK);
        cinfo.write_Adobe_marker = o.adobe ? TRUE : FALSE;
    }
    jpeg_set_quality(&cinfo, o.quality, TRUE);
    if (o.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    if (!o.scans.empty()) {
        cinfo.scan_info = o.scans.data();
        cinfo.num_scans = static_cast<int>(o.scans.size());
    }
    cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
    cinfo.write_JFIF_header = o.jfif && components != 4 ? TRUE : FALSE;
    cinfo.density_unit = static_cast<UINT8>(o.densityUnit);
    cinfo.X_density = static_cast<UINT16>(o.densityX);
    cinfo.Y_density = static_cast<UINT16>(o.densityY);
    jpeg_start_compress(&cinfo, TRUE);
    if (!o.exif.empty()) {
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, o.exif.data(),
                          static_cast<unsigned int>(o.exif.size()));
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[cinfo.next_scanline * width * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

/// A smooth picture of red, green, blue bytes with distinct channels: red
/// grows to the right, green downwards, blue along the diagonal.
inline Bytes smoothRgb(int width, int height) {
    Bytes p;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            p.push_back(static_cast<unsigned char>(x * 255 / std::max(1, width - 1)));
            p.push_back(static_cast<unsigned char>(y * 255 / std::max(1, height - 1)));
            p.push_back(
                static_cast<unsigned char>((x + y) * 255 / std::max(1, width + height - 2)));
        }
    }
    return p;
}

/// An Exif APP1 payload whose first IFD states XResolution and
/// YResolution as num / den and ResolutionUnit `unit` (2 inch, 3 cm).
inline Bytes exifResolution(std::uint32_t num, std::uint32_t den, unsigned unit,
                            bool bigEndian = false) {
    Bytes b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I'};
    if (bigEndian) {
        b[6] = b[7] = 'M';
    }
    // Value and size of each field: the TIFF header, three IFD entries
    // (type 5 is a rational, 3 a short), no next IFD, the two rationals.
    const std::pair<std::uint32_t, int> fields[] = {
        {42, 2},     {8, 4}, {3, 2}, {0x011A, 2}, {5, 2},      {1, 4},   {50, 4},
        {0x011B, 2}, {5, 2}, {1, 4}, {58, 4},     {0x0128, 2}, {3, 2},   {1, 4},
        {unit, 2},   {0, 2}, {0, 4}, {num, 4},    {den, 4},    {num, 4}, {den, 4}};
    for (const auto& [value, n] : fields) {
        for (int i = 0; i < n; ++i) {
            b.push_back(static_cast<unsigned char>(value >> 8 * (bigEndian ? n - 1 - i : i)));
        }
    }
    return b;
}

// ---------------------------------------------------------------------------
// GIF files made to order
// ---------------------------------------------------------------------------

using Rgb = std::array<unsigned char, 3>;

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    std::vector<unsigned char> pixels; ///< width x height indices, top row first
    std::vector<Rgb> localMap;         ///< empty: none
};

struct GifPicture {
    int screenWidth = 1;
    int screenHeight = 1;
    std::vector<Rgb> globalMap; ///< empty: none
    std::vector<GifFrame> frames;
    int background = 0;
};

inline GifFrame gifFrame(int left, int top, int width, int height,
                         std::vector<unsigned char> pixels) {
    GifFrame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels = std::move(pixels);
    return f;
}

inline GifPicture gifPicture(int width, int height, std::vector<Rgb> globalMap,
                             std::vector<GifFrame> frames) {
    GifPicture p;
    p.screenWidth = width;
    p.screenHeight = height;
    p.globalMap = std::move(globalMap);
    p.frames = std::move(frames);
    return p;
}

inline int gifWriteToVector(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<Bytes*>(gif->UserData)
        ->insert(static_cast<Bytes*>(gif->UserData)->end(), data, data + n);
    return n;
}

/// Encodes a GIF89a file. Colour maps must have 2, 4 ... 256 entries.
inline Bytes encodeGif(const GifPicture& picture) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWriteToVector, &error);
    if (!gif) {
        throw std::runtime_error("EGifOpen");
    }
    EGifSetGifVersion(gif, true);
    auto makeMap = [](const std::vector<Rgb>& entries) -> ColorMapObject* {
        std::vector<GifColorType> colours;
        for (const Rgb& c : entries) {
            colours.push_back(GifColorType{c[0], c[1], c[2]});
        }
        return entries.empty() ? nullptr
                               : GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    };
    ColorMapObject* global = makeMap(picture.globalMap);
    bool ok = EGifPutScreenDesc(gif, picture.screenWidth, picture.screenHeight, 8,
                                picture.background, global) == GIF_OK;
    GifFreeMapObject(global);
    for (const GifFrame& f : picture.frames) {
        ColorMapObject* local = makeMap(f.localMap);
        ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, local) == GIF_OK;
        GifFreeMapObject(local);
        std::vector<GifPixelType> rows(f.pixels.begin(), f.pixels.end());
        for (int r = 0; r < f.height; ++r) {
            ok = ok &&
                 EGifPutLine(gif, &rows[static_cast<std::size_t>(r) * f.width], f.width) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok) {
        throw std::runtime_error("EGif failed");
    }
    return out;
}

#endif
