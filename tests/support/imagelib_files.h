// Helpers for the tests of the image library and its bridge: temporary
// files, reference images of the third-party suites, and JPEG and GIF files
// made to order with libjpeg and giflib.
#ifndef VORN_TESTS_SUPPORT_IMAGELIB_FILES_H
#define VORN_TESTS_SUPPORT_IMAGELIB_FILES_H

#include "vorn_test.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gif_lib.h>
#include <jpeglib.h>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------------------
// Temporary files
// ---------------------------------------------------------------------------

/// The folder for temporary files: memory-backed where the system has one,
/// since some tests write thousands of small files.
inline std::filesystem::path tempFolder() {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path();
}

/// A file name in the temporary folder, unique to this process and `name`,
/// removed again when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : path_((tempFolder() / ("vorn_" + std::to_string(::getpid()) + "_" + name)).string()) {
        std::remove(path_.c_str());
    }
    TempFile(const std::string& name, const Bytes& content) : TempFile(name) { write(content); }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }
    std::wstring wide() const { return std::wstring(path_.begin(), path_.end()); }

    void write(const Bytes& content) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(content.data()),
                  static_cast<std::streamsize>(content.size()));
    }
    Bytes read() const { return readFileBytes(path_); }

private:
    std::string path_;
};

// ---------------------------------------------------------------------------
// Reference images
// ---------------------------------------------------------------------------

/// A PAM file of the reference folder: width x height pixels of red, green,
/// blue, alpha bytes, top row first.
struct Pam {
    int width = 0;
    int height = 0;
    Bytes rgba;
};

inline bool readPam(const std::string& path, Pam& out) {
    const Bytes bytes = readFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::string end = "ENDHDR\n";
    const std::size_t at = text.find(end);
    if (at == std::string::npos) {
        return false;
    }
    std::istringstream header(text.substr(0, at));
    std::string key;
    int depth = 0;
    while (header >> key) {
        if (key == "WIDTH") {
            header >> out.width;
        } else if (key == "HEIGHT") {
            header >> out.height;
        } else if (key == "DEPTH") {
            header >> depth;
        }
    }
    const std::size_t size = static_cast<std::size_t>(out.width) * out.height * 4;
    if (depth != 4 || bytes.size() - (at + end.size()) != size) {
        return false;
    }
    out.rgba.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + end.size()), bytes.end());
    return true;
}

/// The entries of reference/manifest.json: test file (relative to the
/// test-image folder) to what is known of it. The file is one flat object
/// of strings without escapes.
inline std::map<std::string, std::string> readManifest() {
    const Bytes bytes = readFileBytes(testdataDir() + "/reference/manifest.json");
    const std::string text(bytes.begin(), bytes.end());
    std::map<std::string, std::string> entries;
    std::vector<std::string> strings;
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = text.find('"', at);
        const std::size_t close = open == std::string::npos ? open : text.find('"', open + 1);
        if (close == std::string::npos) {
            break;
        }
        strings.push_back(text.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        entries[strings[i]] = strings[i + 1];
    }
    return entries;
}

/// Largest difference of one channel between a buffer and a reference
/// image of the same size, or -1 when the sizes differ.
inline int maxDifference(const VornBuffer& b, const Pam& ref) {
    if (b.getWidth() != ref.width || b.getHeight() != ref.height) {
        return -1;
    }
    int worst = 0;
    const _VORNRGBAQUAD* p = b.getPixels();
    for (std::size_t i = 0; i < static_cast<std::size_t>(ref.width) * ref.height; ++i) {
        const unsigned char* r = &ref.rgba[i * 4];
        const int d[4] = {p[i].red - r[0], p[i].green - r[1], p[i].blue - r[2], p[i].alpha - r[3]};
        for (int v : d) {
            worst = std::max(worst, v < 0 ? -v : v);
        }
    }
    return worst;
}

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
    Bytes exif; ///< an APP1 payload written after the header, when not empty
};

/// Encodes width x height pixels of `components` bytes (1 grey, 3 RGB, 4
/// CMYK written with an Adobe marker, as libjpeg does) into a JPEG file.
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
    jpeg_set_quality(&cinfo, o.quality, TRUE);
    if (o.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
    cinfo.write_JFIF_header = o.jfif ? TRUE : FALSE;
    cinfo.density_unit = static_cast<UINT8>(o.densityUnit);
    cinfo.X_density = static_cast<UINT16>(o.densityX);
    cinfo.Y_density = static_cast<UINT16>(o.densityY);
    jpeg_start_compress(&cinfo, TRUE);
    if (!o.exif.empty()) {
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, o.exif.data(),
                          static_cast<unsigned int>(o.exif.size()));
    }
    const std::size_t stride = static_cast<std::size_t>(width) * components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[cinfo.next_scanline * stride]);
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
    Bytes p(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* q = &p[(static_cast<std::size_t>(y) * width + x) * 3];
            q[0] = static_cast<unsigned char>(x * 255 / std::max(1, width - 1));
            q[1] = static_cast<unsigned char>(y * 255 / std::max(1, height - 1));
            q[2] = static_cast<unsigned char>((x + y) * 255 / std::max(1, width + height - 2));
        }
    }
    return p;
}

/// An Exif APP1 payload whose first IFD states XResolution and
/// YResolution as num / den and ResolutionUnit `unit` (2 inch, 3 cm).
inline Bytes exifResolution(std::uint32_t num, std::uint32_t den, unsigned unit,
                            bool bigEndian = false) {
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    const std::size_t base = b.size();
    auto put16 = [&](unsigned v) {
        if (bigEndian) {
            b.push_back(static_cast<unsigned char>(v >> 8));
            b.push_back(static_cast<unsigned char>(v));
        } else {
            b.push_back(static_cast<unsigned char>(v));
            b.push_back(static_cast<unsigned char>(v >> 8));
        }
    };
    auto put32 = [&](std::uint32_t v) {
        if (bigEndian) {
            put16(v >> 16);
            put16(v & 0xFFFF);
        } else {
            put16(v & 0xFFFF);
            put16(v >> 16);
        }
    };
    b.push_back(bigEndian ? 'M' : 'I');
    b.push_back(bigEndian ? 'M' : 'I');
    put16(42);
    put32(8);
    // Three entries, then the offset of the next IFD, then two rationals.
    const std::uint32_t values = 8 + 2 + 3 * 12 + 4;
    put16(3);
    put16(0x011A);
    put16(5);
    put32(1);
    put32(values);
    put16(0x011B);
    put16(5);
    put32(1);
    put32(values + 8);
    put16(0x0128);
    put16(3);
    put32(1);
    put16(unit);
    put16(0);
    put32(0);
    put32(num);
    put32(den);
    put32(num);
    put32(den);
    EXPECT_EQ(b.size() - base, values + 16);
    return b;
}

/// Offsets of the SOS markers of a JPEG file, and of its EOI marker.
inline std::vector<std::size_t> scanStarts(const Bytes& jpeg, std::size_t& eoi) {
    std::vector<std::size_t> starts;
    eoi = jpeg.size();
    std::size_t i = 2;
    while (i + 1 < jpeg.size()) {
        if (jpeg[i] != 0xFF) {
            ++i;
            continue;
        }
        const unsigned char m = jpeg[i + 1];
        if (m == 0x00 || m == 0xFF || (m >= 0xD0 && m <= 0xD7)) {
            ++i; // stuffed byte, fill or restart marker inside entropy data
            continue;
        }
        if (m == 0xD9) {
            eoi = i;
            break;
        }
        if (m == 0xDA) {
            starts.push_back(i);
        }
        if (i + 3 >= jpeg.size()) {
            break;
        }
        // Skip the segment's header; entropy data after an SOS is walked
        // byte by byte.
        i += 2 + (static_cast<std::size_t>(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    }
    return starts;
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
    bool interlaced = false;
    std::vector<Rgb> localMap;         ///< empty: none
    std::vector<unsigned char> pixels; ///< width x height indices, top row first
    int transparent = -1;              ///< -1: no graphic control extension
};

struct GifSpec {
    int screenWidth = 1;
    int screenHeight = 1;
    std::vector<Rgb> globalMap; ///< empty: none
    int background = 0;
    std::vector<GifFrame> frames;
};

inline int gifWriteToVector(GifFileType* gif, const GifByteType* data, int n) {
    Bytes* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

/// Encodes a GIF89a file. Colour maps must have 2, 4 ... 256 entries.
inline Bytes encodeGif(const GifSpec& spec) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWriteToVector, &error);
    if (!gif) {
        throw std::runtime_error("EGifOpen");
    }
    EGifSetGifVersion(gif, true);
    auto makeMap = [](const std::vector<Rgb>& entries) -> ColorMapObject* {
        if (entries.empty()) {
            return nullptr;
        }
        std::vector<GifColorType> colours;
        for (const Rgb& c : entries) {
            colours.push_back(GifColorType{c[0], c[1], c[2]});
        }
        return GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    };
    ColorMapObject* global = makeMap(spec.globalMap);
    bool ok = EGifPutScreenDesc(gif, spec.screenWidth, spec.screenHeight, 8, spec.background,
                                global) == GIF_OK;
    GifFreeMapObject(global);
    for (const GifFrame& f : spec.frames) {
        if (f.transparent >= 0) {
            GraphicsControlBlock gcb;
            gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
            gcb.UserInputFlag = false;
            gcb.DelayTime = 10;
            gcb.TransparentColor = f.transparent;
            GifByteType ext[4];
            const std::size_t n = EGifGCBToExtension(&gcb, ext);
            ok = ok &&
                 EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) == GIF_OK;
        }
        ColorMapObject* local = makeMap(f.localMap);
        ok = ok &&
             EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local) == GIF_OK;
        GifFreeMapObject(local);
        // Interlaced rows go out in four passes.
        std::vector<int> order;
        if (f.interlaced) {
            const int start[4] = {0, 4, 2, 1};
            const int step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int r = start[pass]; r < f.height; r += step[pass]) {
                    order.push_back(r);
                }
            }
        } else {
            for (int r = 0; r < f.height; ++r) {
                order.push_back(r);
            }
        }
        for (int r : order) {
            std::vector<GifPixelType> line(
                f.pixels.begin() + static_cast<std::ptrdiff_t>(r) * f.width,
                f.pixels.begin() + static_cast<std::ptrdiff_t>(r + 1) * f.width);
            ok = ok && EGifPutLine(gif, line.data(), f.width) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok) {
        throw std::runtime_error("EGif failed");
    }
    return out;
}

/// Replaces the global colour table of a GIF file with `entries` (empty:
/// none; else a power of two from 2 to 256), keeping the image data.
inline Bytes replaceGlobalMap(const Bytes& gif, const std::vector<Rgb>& entries) {
    const unsigned char flags = gif[10];
    std::size_t oldSize = (flags & 0x80) ? 3u * (2u << (flags & 7)) : 0;
    Bytes out(gif.begin(), gif.begin() + 13);
    if (entries.empty()) {
        out[10] = static_cast<unsigned char>(flags & 0x70);
    } else {
        unsigned bits = 0;
        while ((2u << bits) < entries.size()) {
            ++bits;
        }
        out[10] = static_cast<unsigned char>(0x80 | (flags & 0x70) | bits);
        for (const Rgb& c : entries) {
            out.insert(out.end(), c.begin(), c.end());
        }
    }
    out.insert(out.end(), gif.begin() + 13 + static_cast<std::ptrdiff_t>(oldSize), gif.end());
    return out;
}

#endif
