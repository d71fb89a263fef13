// SPDX-License-Identifier: MIT
// Buffer core: fills, compositing, row export and un-premultiplying on a
// 1920 x 1080 buffer, each beside memset or memcpy of the same bytes in this
// program, so that ratios can be read from one run.

#include "bench_support.h"

namespace {

using namespace bench;

void BM_MemsetReference(benchmark::State& state) {
    timeMemset(state, kBytes);
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_MemsetReference);

void BM_MemcpyReference(benchmark::State& state) {
    timeMemcpy(state, kBytes);
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_MemcpyReference);

void BM_FillEqualBytes(benchmark::State& state) {
    Owned b = build(kWidth, kHeight);
    for (auto _ : state) {
        b->fill(7, 7, 7, 7);
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_FillEqualBytes);

void BM_FillDifferentBytes(benchmark::State& state) {
    Owned b = build(kWidth, kHeight);
    for (auto _ : state) {
        b->fill(10, 20, 30, 40);
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_FillDifferentBytes);

// Blend of a spread-alpha source onto a destination of the given alpha.
// The destination is restored outside the timed region before each pass,
// since blending changes its alpha. Arg 0 forces the plain reference.
void blendOnto(benchmark::State& state, unsigned char destinationAlpha) {
    const KernelChoice kernels(state);
    Owned src = randomPixels(kWidth, kHeight);
    Owned dst = build(kWidth, kHeight);
    Owned pristine = build(kWidth, kHeight);
    pristine->fill(90, 160, 30, destinationAlpha);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(dst->getPixels(), pristine->getPixels(), kBytes);
        state.ResumeTiming();
        dst->blend(src.get(), 0, 0);
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}

void BM_BlendOntoOpaque(benchmark::State& state) {
    blendOnto(state, 255);
}
BENCHMARK(BM_BlendOntoOpaque)->Arg(1)->Arg(0)->ArgName("fast");

void BM_BlendOntoHalfTransparent(benchmark::State& state) {
    blendOnto(state, 128);
}
BENCHMARK(BM_BlendOntoHalfTransparent)->Arg(1)->Arg(0)->ArgName("fast");

// xorBlend, andBlend or orBlend of a random source onto an opaque buffer.
void bitOp(benchmark::State& state, int (VornBuffer::*op)(const VornBuffer*, int, int)) {
    Owned src = randomPixels(kWidth, kHeight);
    Owned dst = build(kWidth, kHeight);
    dst->fill(90, 160, 30, 255);
    for (auto _ : state) {
        (dst.get()->*op)(src.get(), 0, 0);
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}

void BM_XorBlend(benchmark::State& state) {
    bitOp(state, &VornBuffer::xorBlend);
}
BENCHMARK(BM_XorBlend);

void BM_AndBlend(benchmark::State& state) {
    bitOp(state, &VornBuffer::andBlend);
}
BENCHMARK(BM_AndBlend);

void BM_OrBlend(benchmark::State& state) {
    bitOp(state, &VornBuffer::orBlend);
}
BENCHMARK(BM_OrBlend);

void BM_GetRowRGB(benchmark::State& state) {
    Owned src = randomPixels(kWidth, kHeight);
    std::vector<unsigned char> row(std::size_t{kWidth} * 3);
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            src->getRowRGB(y, row.data(), false);
            benchmark::DoNotOptimize(row.data());
        }
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_GetRowRGB);

void BM_PBGRAtoBGRA(benchmark::State& state) {
    Owned src = randomPixels(kWidth, kHeight);
    for (auto _ : state) {
        src->PBGRAtoBGRA();
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_PBGRAtoBGRA);

} // namespace
