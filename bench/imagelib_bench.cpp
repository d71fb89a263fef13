// SPDX-License-Identifier: MIT
// The image library: reading and writing a 1920 x 1080 JPEG through the
// bridge and through Read and write, beside TurboJPEG called directly with
// the same settings (BGRA pixels, accurate integer DCT, fancy upsampling;
// writing at quality 50 with 4:2:0 subsampling), so that ratios can be read
// from one run. Both sides read or write the same file: the file's bytes
// are part of the work.

#include "bench_support.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <turbojpeg.h>

namespace {

using namespace bench;

constexpr int kQuality = 50;

// A photograph-like picture: smooth shading, a few sharp edges and a little
// noise, so that the coder sees both flat and busy blocks.
std::vector<unsigned char> picture() {
    std::vector<unsigned char> p(static_cast<std::size_t>(kWidth) * kHeight * 4);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            unsigned char* q = &p[(static_cast<std::size_t>(y) * kWidth + x) * 4];
            const double s = std::sin(x * 0.013) * std::cos(y * 0.021);
            const bool edge = ((x / 97) + (y / 61)) % 5 == 0;
            const int base[3] = {static_cast<int>(120 + 90 * s) + (edge ? 60 : 0),
                                 static_cast<int>(x * 200 / kWidth) + 20,
                                 static_cast<int>(y * 180 / kHeight) + 40};
            for (int c = 0; c < 3; ++c) {
                const int v = base[c] + noise(rng);
                q[c] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
            q[3] = 255;
        }
    }
    return p;
}

// The picture in a buffer and as a JPEG file written by TurboJPEG.
struct Fixture {
    Owned buffer = build(kWidth, kHeight);
    TempFile file{"in.jpg"};

    Fixture() {
        const std::vector<unsigned char> pixels = picture();
        std::memcpy(buffer->getPixels(), pixels.data(), pixels.size());
        tjhandle tj = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(tj, pixels.data(), kWidth, 0, kHeight, TJPF_BGRA, &jpeg, &size, TJSAMP_420,
                        kQuality, 0) != 0) {
            throw std::runtime_error("tjCompress2");
        }
        std::FILE* f = std::fopen(file.path().c_str(), "wb");
        std::fwrite(jpeg, 1, size, f);
        std::fclose(f);
        tjFree(jpeg);
        tjDestroy(tj);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void setCounters(benchmark::State& state) {
    bench::setCounters(state, kPixels, kBytes);
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

void BM_ReadTurboJpeg(benchmark::State& state) {
    const std::string path = fixture().file.path();
    tjhandle tj = tjInitDecompress();
    for (auto _ : state) {
        const std::vector<unsigned char> jpeg = readWhole(path);
        int width = 0;
        int height = 0;
        int subsampling = 0;
        int colourspace = 0;
        tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                            &colourspace);
        auto* pixels =
            static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(width) * height * 4));
        if (tjDecompress2(tj, jpeg.data(), jpeg.size(), pixels, width, 0, height, TJPF_BGRA, 0) !=
            0) {
            state.SkipWithError("tjDecompress2");
        }
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    tjDestroy(tj);
    setCounters(state);
}
BENCHMARK(BM_ReadTurboJpeg)->Unit(benchmark::kMillisecond);

// From memory: the bridge and the library without the file.
void BM_ReadLibraryImage(benchmark::State& state) {
    const std::vector<unsigned char> jpeg = readWhole(fixture().file.path());
    for (auto _ : state) {
        VornBuffer* b = vorn::readMemory(jpeg.data(), jpeg.size(), 1);
        if (!b) {
            state.SkipWithError("readMemory");
        }
        benchmark::DoNotOptimize(b);
        VornBuffer::Destroy(b);
    }
    setCounters(state);
}
BENCHMARK(BM_ReadLibraryImage)->Unit(benchmark::kMillisecond);

void BM_ReadDispatch(benchmark::State& state) {
    const std::string path = fixture().file.path();
    for (auto _ : state) {
        VornBuffer* b = VornBuffer::Read(path.c_str());
        if (!b) {
            state.SkipWithError("Read");
        }
        benchmark::DoNotOptimize(b);
        VornBuffer::Destroy(b);
    }
    setCounters(state);
}
BENCHMARK(BM_ReadDispatch)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

void BM_WriteTurboJpeg(benchmark::State& state) {
    const VornBuffer& b = *fixture().buffer;
    const TempFile out("out-tj.jpg");
    const std::string& path = out.path();
    tjhandle tj = tjInitCompress();
    for (auto _ : state) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(tj, reinterpret_cast<const unsigned char*>(b.getPixels()), kWidth, 0,
                        kHeight, TJPF_BGRA, &jpeg, &size, TJSAMP_420, kQuality, 0) != 0) {
            state.SkipWithError("tjCompress2");
        }
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(jpeg, 1, size, f);
        std::fclose(f);
        tjFree(jpeg);
    }
    tjDestroy(tj);
    setCounters(state);
}
BENCHMARK(BM_WriteTurboJpeg)->Unit(benchmark::kMillisecond);

// Into memory: the bridge and the library without the file.
void BM_WriteLibraryImage(benchmark::State& state) {
    const VornBuffer& b = *fixture().buffer;
    std::vector<unsigned char> out;
    for (auto _ : state) {
        if (vorn::writeMemory(b, 1, out) != 0) {
            state.SkipWithError("writeMemory");
        }
    }
    setCounters(state);
}
BENCHMARK(BM_WriteLibraryImage)->Unit(benchmark::kMillisecond);

void BM_WriteDispatch(benchmark::State& state) {
    const VornBuffer& b = *fixture().buffer;
    const TempFile out("out-write.jpg");
    const std::string& path = out.path();
    for (auto _ : state) {
        if (b.write(path.c_str()) != 0) {
            state.SkipWithError("write");
        }
    }
    setCounters(state);
}
BENCHMARK(BM_WriteDispatch)->Unit(benchmark::kMillisecond);

} // namespace
