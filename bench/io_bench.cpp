// SPDX-License-Identifier: MIT
// Image files at 1920 x 1080 with photo-like content: the BMP reader and
// writer beside a plain fread / fwrite of the same file bytes, and the PNG
// reader and writer beside libpng called directly with the same
// transformations and settings, all in this program so that ratios can be
// read from one run. Files live in the temporary folder (in memory where it
// can be).

#include "bench_support.h"
#include "io/io.h"
#include "io/stream.h"

#if defined(VORN_HAVE_PNG)
#include <csetjmp>
#include <png.h>
#endif

namespace {

using namespace bench;

// Pixel bytes of a 24-bit file of this size: what the BMP figures count.
constexpr std::size_t kBmpPixelBytes = kPixels * 3;

// --- BMP ---------------------------------------------------------------------

// A file of this run holding the photo-like frame, written once by `write`.
struct PhotoFile {
    TempFile file;
    PhotoFile(const char* name, bool alpha, int format) : file(name) {
        photoLike(alpha)->write(file.path().c_str(), format);
    }
};

const std::string& bmpFile() {
    static const PhotoFile photo("photo.bmp", false, 3);
    return photo.file.path();
}

void BM_BmpRead(benchmark::State& state) {
    const std::string path = bmpFile();
    for (auto _ : state) {
        VornBuffer* b = VornBuffer::Read(path.c_str(), 3);
        benchmark::DoNotOptimize(b);
        VornBuffer::Destroy(b);
    }
    setCounters(state, kPixels, kBmpPixelBytes);
}
BENCHMARK(BM_BmpRead)->Unit(benchmark::kMillisecond);

// The same file's bytes read with one fread into a block of its size.
void BM_BmpReadFreadReference(benchmark::State& state) {
    const std::string path = bmpFile();
    const std::size_t size = readWhole(path).size();
    for (auto _ : state) {
        std::vector<unsigned char> block(size);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(block.data(), 1, size, f));
        std::fclose(f);
        benchmark::DoNotOptimize(block.data());
    }
    setCounters(state, kPixels, kBmpPixelBytes);
}
BENCHMARK(BM_BmpReadFreadReference)->Unit(benchmark::kMillisecond);

// Encoding into memory, without a file.
void BM_BmpWrite(benchmark::State& state) {
    Owned b = photoLike(false);
    std::vector<unsigned char> out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vorn::writeMemory(*b, 3, out));
    }
    setCounters(state, kPixels, kBmpPixelBytes);
}
BENCHMARK(BM_BmpWrite)->Unit(benchmark::kMillisecond);

// The same file's bytes written with one fwrite.
void BM_BmpWriteFwriteReference(benchmark::State& state) {
    const std::vector<unsigned char> bytes = readWhole(bmpFile());
    const TempFile out("out-ref.bmp");
    const std::string& path = out.path();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
    setCounters(state, kPixels, kBmpPixelBytes);
}
BENCHMARK(BM_BmpWriteFwriteReference)->Unit(benchmark::kMillisecond);

// The public entry point, which writes the file through a temporary name.
void BM_BmpWritePublic(benchmark::State& state) {
    Owned b = photoLike(false);
    const TempFile out("public.bmp");
    const std::string& path = out.path();
    for (auto _ : state) {
        benchmark::DoNotOptimize(b->write(path.c_str()));
    }
    setCounters(state, kPixels, kBmpPixelBytes);
}
BENCHMARK(BM_BmpWritePublic)->Unit(benchmark::kMillisecond);

// --- PNG ---------------------------------------------------------------------

#if defined(VORN_HAVE_PNG)

constexpr std::size_t kPngPixelBytes = kPixels * 4;

const std::string& pngFile() {
    static const PhotoFile photo("photo.png", true, 2);
    return photo.file.path();
}

void BM_PngRead(benchmark::State& state) {
    const std::string path = pngFile();
    for (auto _ : state) {
        VornBuffer* b = VornBuffer::Read(path.c_str(), 2);
        benchmark::DoNotOptimize(b);
        VornBuffer::Destroy(b);
    }
    setCounters(state, kPixels, kPngPixelBytes);
}
BENCHMARK(BM_PngRead)->Unit(benchmark::kMillisecond);

// libpng on its own: the same file, the same transformations (filler and
// blue-green-red order for an RGBA file), rows allocated with png_malloc.
void BM_PngReadLibpngReference(benchmark::State& state) {
    const std::string path = pngFile();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_bytepp rows = nullptr;
        png_uint_32 height = 0;
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            break;
        }
        png_init_io(png, f);
        png_read_info(png, info);
        height = png_get_image_height(png, info);
        png_set_filler(png, 255, PNG_FILLER_AFTER);
        png_set_bgr(png);
        png_read_update_info(png, info);
        const png_size_t rowBytes = png_get_rowbytes(png, info);
        rows = static_cast<png_bytepp>(png_malloc(png, sizeof(png_bytep) * height));
        for (png_uint_32 y = 0; y < height; ++y) {
            rows[y] = static_cast<png_bytep>(png_malloc(png, rowBytes));
        }
        png_read_image(png, rows);
        png_read_end(png, info);
        benchmark::DoNotOptimize(rows[height / 2][7]);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_free(png, rows[y]);
        }
        png_free(png, rows);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
    }
    setCounters(state, kPixels, kPngPixelBytes);
}
BENCHMARK(BM_PngReadLibpngReference)->Unit(benchmark::kMillisecond);

// Arg: the compression (WriteOptions::pngCompression; -1 the default, which
// is what VornBuffer::write uses), into a file as the public write makes
// it. The file's size is the counter file_bytes.
void BM_PngWrite(benchmark::State& state) {
    Owned b = photoLike(true);
    const TempFile out("out.png");
    vorn::detail::WriteOptions options;
    options.pngCompression = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<vorn::detail::ByteSink> sink = vorn::detail::openFileSink(out.path());
        if (!sink || vorn::detail::writeImage(*b, vorn::detail::kFormatPng, *sink, options) != 0 ||
            !sink->commit()) {
            state.SkipWithError("PNG write failed");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(readWhole(out.path()).size());
    setCounters(state, kPixels, kPngPixelBytes);
}
BENCHMARK(BM_PngWrite)->Arg(-1)->Arg(1)->ArgName("compression")->Unit(benchmark::kMillisecond);

// libpng on its own writing the same pixels with the same settings: 8-bit
// RGBA, pHYs, png_write_png with the blue-green-red transform.
void BM_PngWriteLibpngReference(benchmark::State& state) {
    Owned b = photoLike(true);
    const TempFile out("out-ref.png");
    const std::string& path = out.path();
    std::vector<png_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) {
        rows[y] = reinterpret_cast<png_bytep>(b->getPixels() + std::size_t{kWidth} * y);
    }
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            break;
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_pHYs(png, info, 3779, 3779, PNG_RESOLUTION_METER);
        png_set_rows(png, info, rows.data());
        png_write_png(png, info, PNG_TRANSFORM_BGR, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
    }
    state.counters["file_bytes"] = static_cast<double>(readWhole(path).size());
    setCounters(state, kPixels, kPngPixelBytes);
}
BENCHMARK(BM_PngWriteLibpngReference)->Unit(benchmark::kMillisecond);

#endif

} // namespace
