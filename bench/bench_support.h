// SPDX-License-Identifier: MIT
// What the benchmark programs share: buffers that release themselves, a
// source of random pixels, the memset and memcpy yardsticks each program
// runs beside its own work, counters, the plain-kernel switch and files in
// the temporary folder.
#ifndef VORN_BENCH_BENCH_SUPPORT_H
#define VORN_BENCH_BENCH_SUPPORT_H

#include "core/core.h"

#include <vorn/vorn.h>

#include <benchmark/benchmark.h>
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
