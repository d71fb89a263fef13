// SPDX-License-Identifier: MIT
// What the benchmark programs share: buffers that release themselves, a
// source of random pixels, the workloads that more than one program runs
// (photo-like frames, random triangles, the star, the warp mesh), the
// memset and memcpy yardsticks each program runs beside its own work,
// counters, the plain-kernel switch and files in the temporary folder.
#ifndef VORN_BENCH_BENCH_SUPPORT_H
#define VORN_BENCH_BENCH_SUPPORT_H

#include "core/core.h"

#include <vorn/vorn.h>

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace bench {

/// The frame most benchmarks work on.
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;
constexpr std::size_t kBytes = kPixels * 4;

struct Destroyer {
    void operator()(VornBuffer* b) const { VornBuffer::Destroy(b); }
};

/// A buffer that is released with Destroy when it goes out of scope.
using Owned = std::unique_ptr<VornBuffer, Destroyer>;

/// A new width x height buffer, all pixels transparent black.
inline Owned build(int width, int height) {
    return Owned(VornBuffer::Build(width, height, nullptr));
}

/// Random colours from a fixed seed, alpha spread over 0..255 (or 255).
inline Owned randomPixels(int width, int height, bool opaque = false) {
    Owned b = build(width, height);
    std::mt19937 rng(1);
    _VORNRGBAQUAD* p = b->getPixels();
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        const std::uint32_t r = rng() | (opaque ? 0xFF000000u : 0u);
        std::memcpy(&p[i], &r, 4);
    }
    return b;
}

/// A photograph-like image: smooth gradients with a little noise, opaque,
/// or with `alpha` an alpha channel that varies over the image as well.
/// The resampling and warp workloads.
inline Owned photo(int w, int h, bool alpha) {
    Owned b = build(w, h);
    std::mt19937 rng(7);
    _VORNRGBAQUAD* p = b->getPixels();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x, ++p) {
            const unsigned noise = rng() & 15;
            p->red = static_cast<unsigned char>((x * 255 / w + noise) & 0xFF);
            p->green = static_cast<unsigned char>((y * 255 / h + noise) & 0xFF);
            p->blue = static_cast<unsigned char>(((x + y) * 127 / (w + h) + 64 + noise) & 0xFF);
            p->alpha = alpha ? static_cast<unsigned char>((x ^ y) & 0xFF) : 255;
        }
    }
    return b;
}

/// A kWidth x kHeight frame of smooth colour fields with a little grain and
/// soft edges, so that compressors see what a photograph gives them
/// (neither noise nor flat colour). With `alpha`, alpha varies smoothly
/// too. The image-file workloads.
inline Owned photoLike(bool alpha) {
    Owned b = build(kWidth, kHeight);
    _VORNRGBAQUAD* p = b->getPixels();
    std::uint32_t grain = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            grain = grain * 1103515245u + 12345u;
            const int n = static_cast<int>((grain >> 16) & 7) - 3;
            const double u = x / static_cast<double>(kWidth);
            const double v = y / static_cast<double>(kHeight);
            const double sky = 0.5 + 0.5 * std::sin(6.0 * u + 2.0 * v);
            const double hill = 0.5 + 0.5 * std::cos(9.0 * v - 3.0 * u * u);
            auto clamp = [](double c) {
                return static_cast<unsigned char>(c < 0 ? 0 : c > 255 ? 255 : c);
            };
            _VORNRGBAQUAD& q = p[static_cast<std::size_t>(y) * kWidth + x];
            q.red = clamp(40 + 180 * sky * (1 - v) + n);
            q.green = clamp(60 + 150 * hill * v + 40 * sky + n);
            q.blue = clamp(90 + 140 * (1 - hill) * (1 - u) + n);
            q.alpha = alpha ? clamp(255 * (0.6 + 0.4 * std::sin(3.0 * u + 4.0 * v))) : 255;
        }
    }
    return b;
}

/// n random points inside a w x h area, from a fixed seed.
inline std::vector<_VORNPOINT> randomPoints(std::size_t n, int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> x(0, w - 1);
    std::uniform_int_distribution<int> y(0, h - 1);
    std::vector<_VORNPOINT> out(n);
    for (_VORNPOINT& p : out) {
        p.x = x(rng);
        p.y = y(rng);
    }
    return out;
}

/// The 1,000 random triangles of the fill benchmarks (3,000 points inside
/// 1024 x 1024).
inline std::vector<_VORNPOINT> triangleWorkload() {
    return randomPoints(3000, 1024, 1024, 2);
}

/// A five-point star (a pentagram, one contour whose edges cross) spanning
/// size x size.
inline std::vector<_VORNPOINT> star(int size) {
    std::vector<_VORNPOINT> p;
    const double r = (size - 1) / 2.0;
    const double pi = std::acos(-1.0);
    for (int k = 0; k < 5; ++k) {
        const double a = -pi / 2 + k * 4 * pi / 5;
        p.push_back(_VORNPOINT{static_cast<int>(std::lround(r + r * std::cos(a))),
                               static_cast<int>(std::lround(r + r * std::sin(a)))});
    }
    return p;
}

/// The 9 x 9 mesh of the warp benchmark over a 1024 x 1024 destination,
/// inner points moved by up to 12 pixels.
inline std::vector<_VORNPOINT> warpMesh() {
    std::vector<_VORNPOINT> grid;
    std::mt19937 rng(3);
    for (int j = 0; j < 9; ++j) {
        for (int i = 0; i < 9; ++i) {
            _VORNPOINT p{1024 * i / 8, 1024 * j / 8};
            if (i > 0 && i < 8 && j > 0 && j < 8) {
                p.x += static_cast<int>(rng() % 25) - 12;
                p.y += static_cast<int>(rng() % 25) - 12;
            }
            grid.push_back(p);
        }
    }
    return grid;
}

/// Counts `items` and `bytes` for every iteration of the benchmark.
inline void setCounters(benchmark::State& state, std::size_t items, std::size_t bytes) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * items));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

/// The yardstick of fills: memset of `bytes` bytes per iteration.
inline void timeMemset(benchmark::State& state, std::size_t bytes) {
    std::vector<unsigned char> block(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(block.data());
        std::memset(block.data(), static_cast<int>(state.iterations() & 0x7F), bytes);
        benchmark::ClobberMemory();
    }
}

/// The yardstick of copies: memcpy of `bytes` bytes per iteration.
inline void timeMemcpy(benchmark::State& state, std::size_t bytes) {
    std::vector<unsigned char> from(bytes, 1);
    std::vector<unsigned char> to(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(from.data());
        benchmark::DoNotOptimize(to.data());
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
}

/// While alive, makes the dispatching kernels run their plain reference
/// when the benchmark's first argument is 0 (1: the fastest variant this
/// CPU runs).
class KernelChoice {
public:
    explicit KernelChoice(const benchmark::State& state) : saved_(vorn::detail::kernelLevel()) {
        if (state.range(0) == 0) {
            vorn::detail::setKernelLevel(vorn::detail::KernelLevel::Reference);
        }
    }
    ~KernelChoice() { vorn::detail::setKernelLevel(saved_); }
    KernelChoice(const KernelChoice&) = delete;
    KernelChoice& operator=(const KernelChoice&) = delete;

private:
    vorn::detail::KernelLevel saved_;
};

/// A file name of this run in the temporary folder (in memory, under
/// /dev/shm, where there is one); the file is removed when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& name) {
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path folder =
            std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        const unsigned tag = std::random_device()();
        path_ = (folder / ("vorn-bench-" + std::to_string(tag) + "-" + name)).string();
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

/// The whole content of a file (empty when it cannot be read).
inline std::vector<unsigned char> readWhole(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<std::size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            bytes.clear();
        }
        std::fclose(f);
    }
    return bytes;
}

} // namespace bench

#endif
