// SPDX-License-Identifier: MIT
// Resampling, rotation and mesh warp at the sizes the library is tuned for,
// beside memcpy of the source's bytes in the same program. Arg "fast" 0
// runs the plain per-pixel members, 1 the fastest variant this CPU runs.

#include "bench_support.h"

namespace {

using namespace bench;

void BM_MemcpyOfTheSource(benchmark::State& state) {
    timeMemcpy(state, kBytes);
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_MemcpyOfTheSource);

// Resampling counts the source's pixels and bytes.
void counters(benchmark::State& state, std::size_t sourcePixels) {
    setCounters(state, sourcePixels, sourcePixels * 4);
}

void resizeTo(benchmark::State& state, int dw, int dh, bool alpha) {
    const KernelChoice kernels(state);
    Owned src = photo(1920, 1080, alpha);
    Owned dst = build(dw, dh);
    for (auto _ : state) {
        src->resize(dst.get());
        benchmark::ClobberMemory();
    }
    counters(state, kPixels);
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
    const KernelChoice kernels(state);
    Owned src = photo(1024, 1024, false);
    for (auto _ : state) {
        VornBuffer* r = src->rotateBuffer(30);
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
    Owned dst = build(1024, 1024);
    const std::vector<_VORNPOINT> grid = warpMesh();
    for (auto _ : state) {
        src->warp(dst.get(), grid.data(), 9, 9);
        benchmark::ClobberMemory();
    }
    counters(state, 1024 * 1024);
}
BENCHMARK(BM_Warp1024Mesh9x9)->Unit(benchmark::kMillisecond);

} // namespace
