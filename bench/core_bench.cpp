// Buffer core: fills, compositing, row export and un-premultiplying on a
// 1920 x 1080 buffer, each beside memset or memcpy of the same bytes in this
// program, so that ratios can be read from one run.

#include "core/core.h"

#include <vorn/vorn.h>

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;
constexpr std::size_t kBytes = kPixels * 4;

struct Owned {
    VornBuffer* buffer;
    explicit Owned(VornBuffer* b) : buffer(b) {}
    Owned(Owned&& other) noexcept : buffer(other.buffer) { other.buffer = nullptr; }
    ~Owned() { VornBuffer::Destroy(buffer); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned& operator=(Owned&&) = delete;
};

// Random colours with alpha spread uniformly over 0..255.
Owned spreadAlphaSource() {
    Owned src(VornBuffer::Build(kWidth, kHeight, nullptr));
    std::mt19937 rng(1);
    _VORNRGBAQUAD* p = src.buffer->getPixels();
    for (std::size_t i = 0; i < kPixels; ++i) {
        const std::uint32_t r = rng();
        std::memcpy(&p[i], &r, 4);
    }
    return src;
}

void setCounters(benchmark::State& state, std::size_t bytes) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPixels));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_MemsetReference(benchmark::State& state) {
    std::vector<unsigned char> block(kBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(block.data());
        std::memset(block.data(), static_cast<int>(state.iterations() & 0x7F), kBytes);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_MemsetReference);

void BM_MemcpyReference(benchmark::State& state) {
    std::vector<unsigned char> from(kBytes, 1);
    std::vector<unsigned char> to(kBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(from.data());
        benchmark::DoNotOptimize(to.data());
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_MemcpyReference);

void BM_FillEqualBytes(benchmark::State& state) {
    Owned b(VornBuffer::Build(kWidth, kHeight, nullptr));
    for (auto _ : state) {
        b.buffer->fill(7, 7, 7, 7);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_FillEqualBytes);

void BM_FillDifferentBytes(benchmark::State& state) {
    Owned b(VornBuffer::Build(kWidth, kHeight, nullptr));
    for (auto _ : state) {
        b.buffer->fill(10, 20, 30, 40);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_FillDifferentBytes);

// Blend of a spread-alpha source onto a destination of the given alpha.
// The destination is restored outside the timed region before each pass,
// since blending changes its alpha. Arg 0 forces the plain reference.
void blendOnto(benchmark::State& state, unsigned char destinationAlpha) {
    const auto level = vorn::detail::kernelLevel();
    if (state.range(0) == 0) {
        vorn::detail::setKernelLevel(vorn::detail::KernelLevel::Reference);
    }
    Owned src = spreadAlphaSource();
    Owned dst(VornBuffer::Build(kWidth, kHeight, nullptr));
    Owned pristine(VornBuffer::Build(kWidth, kHeight, nullptr));
    pristine.buffer->fill(90, 160, 30, destinationAlpha);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(dst.buffer->getPixels(), pristine.buffer->getPixels(), kBytes);
        state.ResumeTiming();
        dst.buffer->blend(src.buffer, 0, 0);
        benchmark::ClobberMemory();
    }
    vorn::detail::setKernelLevel(level);
    setCounters(state, kBytes);
}

void BM_BlendOntoOpaque(benchmark::State& state) {
    blendOnto(state, 255);
}
BENCHMARK(BM_BlendOntoOpaque)->Arg(1)->Arg(0)->ArgName("fast");

void BM_BlendOntoHalfTransparent(benchmark::State& state) {
    blendOnto(state, 128);
}
BENCHMARK(BM_BlendOntoHalfTransparent)->Arg(1)->Arg(0)->ArgName("fast");

void BM_XorBlend(benchmark::State& state) {
    Owned src = spreadAlphaSource();
    Owned dst(VornBuffer::Build(kWidth, kHeight, nullptr));
    dst.buffer->fill(90, 160, 30, 255);
    for (auto _ : state) {
        dst.buffer->xorBlend(src.buffer, 0, 0);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_XorBlend);

void BM_AndBlend(benchmark::State& state) {
    Owned src = spreadAlphaSource();
    Owned dst(VornBuffer::Build(kWidth, kHeight, nullptr));
    dst.buffer->fill(90, 160, 30, 255);
    for (auto _ : state) {
        dst.buffer->andBlend(src.buffer, 0, 0);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_AndBlend);

void BM_OrBlend(benchmark::State& state) {
    Owned src = spreadAlphaSource();
    Owned dst(VornBuffer::Build(kWidth, kHeight, nullptr));
    for (auto _ : state) {
        dst.buffer->orBlend(src.buffer, 0, 0);
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_OrBlend);

void BM_GetRowRGB(benchmark::State& state) {
    Owned src = spreadAlphaSource();
    std::vector<unsigned char> row(std::size_t{kWidth} * 3);
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            src.buffer->getRowRGB(y, row.data(), false);
            benchmark::DoNotOptimize(row.data());
        }
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_GetRowRGB);

void BM_PBGRAtoBGRA(benchmark::State& state) {
    Owned src = spreadAlphaSource();
    for (auto _ : state) {
        src.buffer->PBGRAtoBGRA();
        benchmark::ClobberMemory();
    }
    setCounters(state, kBytes);
}
BENCHMARK(BM_PBGRAtoBGRA);

} // namespace
