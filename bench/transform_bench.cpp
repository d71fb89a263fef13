// Resampling, rotation and mesh warp at the sizes the library is tuned for,
// beside memcpy of the source's bytes in the same program. Arg "fast" 0
// runs the plain per-pixel members, 1 the fastest variant this CPU runs.

#include "core/core.h"

#include <vorn/vorn.h>

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Owned {
    VornBuffer* buffer;
    explicit Owned(VornBuffer* b) : buffer(b) {}
    Owned(Owned&& other) noexcept : buffer(other.buffer) { other.buffer = nullptr; }
    ~Owned() { VornBuffer::Destroy(buffer); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned& operator=(Owned&&) = delete;
};

// A photograph-like opaque image: smooth gradients with a little noise.
// With `alpha`, the alpha channel varies over the image as well.
Owned photo(int w, int h, bool alpha) {
    Owned b(VornBuffer::Build(w, h, nullptr));
    std::mt19937 rng(7);
    _VORNRGBAQUAD* p = b.buffer->getPixels();
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

class Level {
public:
    explicit Level(const benchmark::State& state) : saved_(vorn::detail::kernelLevel()) {
        if (state.range(0) == 0) {
            vorn::detail::setKernelLevel(vorn::detail::KernelLevel::Reference);
        }
    }
    ~Level() { vorn::detail::setKernelLevel(saved_); }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

private:
    vorn::detail::KernelLevel saved_;
};

void counters(benchmark::State& state, std::int64_t sourcePixels) {
    state.SetItemsProcessed(state.iterations() * sourcePixels);
    state.SetBytesProcessed(state.iterations() * sourcePixels * 4);
}

void BM_MemcpyOfTheSource(benchmark::State& state) {
    const std::size_t bytes = std::size_t{1920} * 1080 * 4;
    std::vector<unsigned char> from(bytes, 1);
    std::vector<unsigned char> to(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(from.data());
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    counters(state, 1920 * 1080);
}
BENCHMARK(BM_MemcpyOfTheSource);

void resizeTo(benchmark::State& state, int dw, int dh, bool alpha) {
    Level level(state);
    Owned src = photo(1920, 1080, alpha);
    Owned dst(VornBuffer::Build(dw, dh, nullptr));
    for (auto _ : state) {
        src.buffer->resize(dst.buffer);
        benchmark::ClobberMemory();
    }
    counters(state, 1920 * 1080);
}

void BM_ResizeBlock960x540(benchmark::State& state) {
    resizeTo(state, 960, 540, false);
}
BENCHMARK(BM_ResizeBlock960x540)->Arg(1)->Arg(0)->ArgName("fast")->Unit(benchmark::kMillisecond);

void BM_ResizeBlock960x540Alpha(benchmark::State& state) {
    resizeTo(state, 960, 540, true);
}
BENCHMARK(BM_ResizeBlock960x540Alpha)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("fast")
    ->Unit(benchmark::kMillisecond);

void BM_ResizeBox1280x720(benchmark::State& state) {
    resizeTo(state, 1280, 720, false);
}
BENCHMARK(BM_ResizeBox1280x720)->Arg(1)->Arg(0)->ArgName("fast")->Unit(benchmark::kMillisecond);

void BM_ResizeBox1280x720Alpha(benchmark::State& state) {
    resizeTo(state, 1280, 720, true);
}
BENCHMARK(BM_ResizeBox1280x720Alpha)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("fast")
    ->Unit(benchmark::kMillisecond);

void BM_ResizeBilinear3840x2160(benchmark::State& state) {
    resizeTo(state, 3840, 2160, false);
}
BENCHMARK(BM_ResizeBilinear3840x2160)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("fast")
    ->Unit(benchmark::kMillisecond);

void BM_ResizeBilinear3840x2160Alpha(benchmark::State& state) {
    resizeTo(state, 3840, 2160, true);
}
BENCHMARK(BM_ResizeBilinear3840x2160Alpha)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("fast")
    ->Unit(benchmark::kMillisecond);

void BM_Rotate1024By30(benchmark::State& state) {
    Level level(state);
    Owned src = photo(1024, 1024, false);
    for (auto _ : state) {
        VornBuffer* r = src.buffer->rotateBuffer(30);
        benchmark::DoNotOptimize(r);
        VornBuffer::Destroy(r);
    }
    counters(state, 1024 * 1024);
}
BENCHMARK(BM_Rotate1024By30)->Arg(1)->Arg(0)->ArgName("fast")->Unit(benchmark::kMillisecond);

// The allocation and clearing that rotateBuffer's result needs, alone.
void BM_BuildRotationResult(benchmark::State& state) {
    for (auto _ : state) {
        VornBuffer* r = VornBuffer::Build(1400, 1400, nullptr);
        benchmark::DoNotOptimize(r);
        std::memset(r->getPixels(), 0, std::size_t{1400} * 1400 * 4);
        VornBuffer::Destroy(r);
    }
    counters(state, 1024 * 1024);
}
BENCHMARK(BM_BuildRotationResult)->Unit(benchmark::kMillisecond);

// A 9 x 9 mesh over the 1024 x 1024 destination, inner points moved by up
// to 12 pixels.
void BM_Warp1024Mesh9x9(benchmark::State& state) {
    Owned src = photo(1024, 1024, false);
    Owned dst(VornBuffer::Build(1024, 1024, nullptr));
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
    for (auto _ : state) {
        src.buffer->warp(dst.buffer, grid.data(), 9, 9);
        benchmark::ClobberMemory();
    }
    counters(state, 1024 * 1024);
}
BENCHMARK(BM_Warp1024Mesh9x9)->Unit(benchmark::kMillisecond);

} // namespace
