// SPDX-License-Identifier: MIT
// Hostile files against plain ones: for every hostile file of the tests
// (made here the way the tests make them) and of the fuzz seed folders (the
// damaged files of the BMP and PNG suites), the time to refuse or decode it
// from memory beside the time to decode a plain file of the same format and
// dimensions. A table of the ratios closes the run. Plain files larger than
// 4096 x 4096 pixels are timed at 4096 x 4096 and scaled by the pixel
// count (marked *); sizes that Build refuses have no plain file.

#include "bench_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include <zlib.h>

// jpeglib.h needs FILE and size_t declared first.
#include <gif_lib.h>
#include <jpeglib.h>

namespace {

using Bytes = std::vector<unsigned char>;
using namespace bench;

struct HostileFile {
    std::string name;
    Bytes bytes;
    int format; ///< 1 JPEG, 2 PNG, 3 BMP, 4 GIF
    long long width;
    long long height;
};

// --- Files -----------------------------------------------------------------

void put32le(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

/// A BMP of the given fields over `data`, right after a 40-byte header.
Bytes bmpFile(std::int32_t width, std::int32_t height, int bits, int compression, Bytes data) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32le(b, 2, static_cast<std::uint32_t>(54 + data.size()));
    put32le(b, 10, 54);
    put32le(b, 14, 40);
    put32le(b, 18, static_cast<std::uint32_t>(width));
    put32le(b, 22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = static_cast<unsigned char>(bits);
    put32le(b, 30, static_cast<std::uint32_t>(compression));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

/// A PNG whose header claims width x height over a tiny IDAT.
Bytes pngClaim(std::uint32_t width, std::uint32_t height, int depth, int colourType) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&file](const char* type, Bytes data) {
        for (int s = 24; s >= 0; s -= 8) {
            file.push_back(static_cast<unsigned char>(data.size() >> s));
        }
        const std::size_t start = file.size();
        file.insert(file.end(), type, type + 4);
        file.insert(file.end(), data.begin(), data.end());
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, &file[start], static_cast<uInt>(file.size() - start)));
        for (int s = 24; s >= 0; s -= 8) {
            file.push_back(static_cast<unsigned char>(crc >> s));
        }
    };
    Bytes ihdr(13, 0);
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    ihdr[8] = static_cast<unsigned char>(depth);
    ihdr[9] = static_cast<unsigned char>(colourType);
    chunk("IHDR", ihdr);
    chunk("IDAT", {0x78, 0x9C, 0x63, 0, 0});
    chunk("IEND", {});
    return file;
}

/// A flat grey JPEG encoded by libjpeg, with a scan script of its own
/// when `scans` is not empty, or libjpeg's progressive one.
Bytes greyJpeg(int width, int height, bool progressive, std::vector<jpeg_scan_info> scans = {}) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    if (!scans.empty()) {
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(static_cast<std::size_t>(width), 77);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

/// A progressive file whose last scan (an AC refinement) is repeated.
Bytes repeatedRefinement(int side, int extra) {
    const Bytes base = greyJpeg(side, side, true);
    const unsigned char sos[2] = {0xFF, 0xDA};
    const auto last = std::find_end(base.begin(), base.end(), sos, sos + 2);
    Bytes file(base.begin(), base.end() - 2);
    for (int n = 0; n < extra; ++n) {
        file.insert(file.end(), last, base.end() - 2);
    }
    file.push_back(0xFF);
    file.push_back(0xD9);
    return file;
}

/// A valid progression of 128 scans: DC and every AC coefficient in two
/// steps of successive approximation.
Bytes manyScans(int side) {
    std::vector<jpeg_scan_info> scans;
    for (int k = 0; k <= 63; ++k) {
        scans.push_back({1, {0}, k, k, 0, 1});
        scans.push_back({1, {0}, k, k, 1, 0});
    }
    return greyJpeg(side, side, false, scans);
}

/// A 16 x 16 JPEG whose frame header claims width x height.
Bytes jpegClaim(int width, int height, bool progressive) {
    Bytes file = greyJpeg(16, 16, progressive);
    for (std::size_t i = 2; i + 8 < file.size(); ++i) {
        if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
            file[i + 5] = static_cast<unsigned char>(height >> 8);
            file[i + 6] = static_cast<unsigned char>(height);
            file[i + 7] = static_cast<unsigned char>(width >> 8);
            file[i + 8] = static_cast<unsigned char>(width);
            break;
        }
    }
    return file;
}

int gifToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

/// A GIF of a screen and one frame of index 1, with the frame's sides
/// patched after encoding `rows` rows of it (the rest of its data
/// missing), so that any frame size can be claimed.
Bytes gifFile(int screenW, int screenH, int frameW, int frameH, bool interlaced, int rows) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifToVector, &error);
    GifColorType colours[2] = {{200, 100, 50}, {1, 2, 3}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifPutScreenDesc(gif, screenW, screenH, 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, frameW, rows, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frameW), 1);
    for (int y = 0; y < rows; ++y) {
        EGifPutLine(gif, line.data(), frameW);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    // The frame's height and interlace flag, after the 13-byte header, the
    // 6-byte map and the descriptor's separator, left, top and width.
    out[13 + 6 + 7] = static_cast<unsigned char>(frameH);
    out[13 + 6 + 8] = static_cast<unsigned char>(frameH >> 8);
    if (interlaced) {
        out[13 + 6 + 9] |= 0x40;
    }
    return out;
}

Bytes fileBytes(const std::filesystem::path& path) {
    return readWhole(path.string());
}

/// The dimensions a suite file's header claims; 0 x 0 when it has none.
void claimedSize(const Bytes& b, int format, long long& width, long long& height) {
    width = height = 0;
    if (format == 3 && b.size() >= 26) {
        const std::uint32_t header = b[14] | b[15] << 8 | b[16] << 16 | std::uint32_t{b[17]} << 24;
        if (header == 12) {
            width = static_cast<std::int16_t>(b[18] | b[19] << 8);
            height = static_cast<std::int16_t>(b[20] | b[21] << 8);
        } else {
            width = static_cast<std::int32_t>(b[18] | b[19] << 8 | b[20] << 16 |
                                              std::uint32_t{b[21]} << 24);
            height = static_cast<std::int32_t>(b[22] | b[23] << 8 | b[24] << 16 |
                                               std::uint32_t{b[25]} << 24);
        }
    } else if (format == 2 && b.size() >= 24) {
        width =
            static_cast<long long>(std::uint32_t{b[16]} << 24 | b[17] << 16 | b[18] << 8 | b[19]);
        height =
            static_cast<long long>(std::uint32_t{b[20]} << 24 | b[21] << 16 | b[22] << 8 | b[23]);
    }
}

std::vector<HostileFile> hostileFiles() {
    std::vector<HostileFile> files = {
        {"jpeg 4096^2, 985 repeated refinement scans", repeatedRefinement(4096, 985), 1, 4096,
         4096},
        {"jpeg 4096^2, 128 valid scans", manyScans(4096), 1, 4096, 4096},
        {"jpeg claims 65500^2 in 16x16", jpegClaim(65500, 65500, false), 1, 65500, 65500},
        {"jpeg claims 20000^2 in 16x16", jpegClaim(20000, 20000, false), 1, 20000, 20000},
        {"jpeg progressive claims 20000^2", jpegClaim(20000, 20000, true), 1, 20000, 20000},
        {"gif 65535x16384 interlaced frame on 1x2", gifFile(1, 2, 65535, 16384, true, 2), 4, 1, 2},
        {"gif 65535x16384 frame on 1x2", gifFile(1, 2, 65535, 16384, false, 2), 4, 1, 2},
        {"gif screen 65535^2", gifFile(65535, 65535, 1, 1, false, 1), 4, 65535, 65535},
        {"gif screen 5000^2", gifFile(5000, 5000, 1, 1, false, 1), 4, 5000, 5000},
        {"bmp 24-bit claims 20000^2 in 100 B", bmpFile(20000, 20000, 24, 0, Bytes(46, 0)), 3, 20000,
         20000},
        {"bmp 1-bit claims 20000^2 in 100 B", bmpFile(20000, 20000, 1, 0, Bytes(46, 0)), 3, 20000,
         20000},
        {"bmp rle8 claims 500000000x1", bmpFile(500000000, 1, 8, 1, {0, 1}), 3, 500000000, 1},
        {"bmp rle8 20000^2 in 50 KB (decodes)",
         bmpFile(20000, 20000, 8, 1,
                 [] {
                     Bytes d(50000, 0);
                     d.push_back(0);
                     d.push_back(1);
                     return d;
                 }()),
         3, 20000, 20000},
        {"png claims 30000^2", pngClaim(30000, 30000, 8, 6), 2, 30000, 30000},
        {"png claims 536870912x1", pngClaim(536870912, 1, 8, 6), 2, 536870912, 1},
        {"png 1-bit claims 20000^2", pngClaim(20000, 20000, 1, 0), 2, 20000, 20000},
        {"png claims 400000x1", pngClaim(400000, 1, 8, 6), 2, 400000, 1},
    };
    const std::filesystem::path suites = VORN_TESTDATA_DIR;
    std::error_code error;
    std::vector<std::filesystem::path> damaged;
    for (const char* folder : {"bmpsuite/b", "pngsuite"}) {
        for (const auto& e : std::filesystem::directory_iterator(suites / folder, error)) {
            const std::string leaf = e.path().filename().string();
            if (leaf.rfind("x", 0) == 0 || std::string(folder) == "bmpsuite/b") {
                damaged.push_back(e.path());
            }
        }
    }
    std::sort(damaged.begin(), damaged.end());
    for (const auto& path : damaged) {
        HostileFile f{path.parent_path().filename().string() + "/" + path.filename().string(),
                      fileBytes(path), path.extension() == ".png" ? 2 : 3, 0, 0};
        claimedSize(f.bytes, f.format, f.width, f.height);
        files.push_back(std::move(f));
    }
    return files;
}

// --- Plain files -------------------------------------------------------------

constexpr long long kPlainMaxPixels = 4096LL * 4096;

/// A plain file of the format at the dimensions (reduced to at most
/// kPlainMaxPixels, the factor returned in `scale`); empty when Build
/// refuses the dimensions.
Bytes plainFile(int format, long long width, long long height, double& scale) {
    scale = 1.0;
    if (width < 1 || height < 1 || width * height > (2147483647LL / 4)) {
        return {};
    }
    long long w = width;
    long long h = height;
    while (w * h > kPlainMaxPixels) {
        if (w >= h) {
            w = (w + 1) / 2;
        } else {
            h = (h + 1) / 2;
        }
    }
    scale = static_cast<double>(width * height) / static_cast<double>(w * h);
    if (format == 4) {
        return gifFile(static_cast<int>(w), static_cast<int>(h), static_cast<int>(w),
                       static_cast<int>(h), false, static_cast<int>(h));
    }
    // Smooth colour ramps, as a photograph gives a coder, neither noise nor
    // flat colour.
    Owned b = build(static_cast<int>(w), static_cast<int>(h));
    for (long long y = 0; y < h; ++y) {
        for (long long x = 0; x < w; ++x) {
            _VORNRGBAQUAD& p = b->getPixels()[y * w + x];
            p.red = static_cast<unsigned char>(x * 255 / w);
            p.green = static_cast<unsigned char>(y * 255 / h);
            p.blue = static_cast<unsigned char>((x + y) * 127 / (w + h));
            p.alpha = 255;
        }
    }
    std::vector<unsigned char> out;
    vorn::writeMemory(*b, format, out);
    return out;
}

// --- The run -----------------------------------------------------------------

struct Timing {
    double hostile = 0;
    double plain = 0;
    double scale = 1;
    bool refused = false;
};

std::map<std::string, Timing> timings;

/// Keeps the real time per iteration of every run, in seconds.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (name.rfind("hostile/", 0) == 0) {
                timings[name.substr(8)].hostile = seconds;
            } else if (name.rfind("plain/", 0) == 0) {
                timings[name.substr(6)].plain = seconds;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void timeRead(benchmark::State& state, const Bytes& bytes, bool* refused) {
    for (auto _ : state) {
        VornBuffer* b = vorn::readMemory(bytes.data(), bytes.size());
        if (refused) {
            *refused = b == nullptr;
        }
        benchmark::DoNotOptimize(b);
        VornBuffer::Destroy(b);
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    static const std::vector<HostileFile> files = hostileFiles();
    static std::vector<Bytes> plains(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const HostileFile& f = files[i];
        Timing& t = timings[f.name];
        plains[i] = plainFile(f.format, f.width, f.height, t.scale);
        benchmark::RegisterBenchmark(("hostile/" + f.name).c_str(), [i, &t](benchmark::State& s) {
            timeRead(s, files[i].bytes, &t.refused);
        })->Unit(benchmark::kMicrosecond);
        if (!plains[i].empty()) {
            benchmark::RegisterBenchmark(("plain/" + f.name).c_str(), [i](benchmark::State& s) {
                timeRead(s, plains[i], nullptr);
            })->Unit(benchmark::kMicrosecond);
        }
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    std::printf("\n%-52s %9s %12s %12s %10s\n", "hostile file", "result", "hostile us", "plain us",
                "ratio");
    for (const HostileFile& f : files) {
        const Timing& t = timings[f.name];
        if (t.hostile == 0) {
            continue;
        }
        const double plain = t.plain * t.scale;
        char plainText[32] = "n/a";
        char ratioText[32] = "n/a";
        if (t.plain > 0) {
            std::snprintf(plainText, sizeof plainText, "%.1f%s", plain * 1e6,
                          t.scale > 1 ? "*" : "");
            std::snprintf(ratioText, sizeof ratioText, "%.4f", t.hostile / plain);
        }
        std::printf("%-52s %9s %12.1f %12s %10s\n", f.name.c_str(),
                    t.refused ? "refused" : "decoded", t.hostile * 1e6, plainText, ratioText);
    }
    benchmark::Shutdown();
    return 0;
}
