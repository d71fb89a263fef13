// SPDX-License-Identifier: MIT
// GDI interop on a 1920 x 1080 buffer: bitBlt and alphaBlt onto an MM_TEXT
// context and bufferToBitmap, beside memcpy of the same 8 MB in this
// program, so that ratios can be read from one run. The context is a memory
// context holding a 32-bit DIB section of the same size.

#include "bench_support.h"

#include <vorn/gdi.h>

namespace {

using namespace bench;

// A memory context in MM_TEXT over a 32-bit DIB section of the buffer's size.
struct Target {
    HDC hdc;
    HBITMAP section;
    HGDIOBJ previous;
    Target() {
        hdc = CreateCompatibleDC(nullptr);
        BITMAPINFO info;
        std::memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        section = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        std::memset(bits, 0x40, kBytes);
        previous = SelectObject(hdc, section);
    }
    ~Target() {
        SelectObject(hdc, previous);
        DeleteObject(section);
        DeleteDC(hdc);
    }
};

void BM_MemcpyReference(benchmark::State& state) {
    timeMemcpy(state, kBytes);
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_MemcpyReference);

void BM_BitBlt(benchmark::State& state) {
    Owned b = randomPixels(kWidth, kHeight, true);
    Target target;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bitBlt(target.hdc, 0, 0, b.get()));
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_BitBlt)->Unit(benchmark::kMillisecond);

void BM_AlphaBlt(benchmark::State& state) {
    Owned b = randomPixels(kWidth, kHeight);
    Target target;
    for (auto _ : state) {
        benchmark::DoNotOptimize(alphaBlt(target.hdc, 0, 0, b.get()));
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_AlphaBlt)->Unit(benchmark::kMillisecond);

// A bitmap compatible with the context, 24-bit content (flattened).
void BM_BufferToBitmapCompatible(benchmark::State& state) {
    Owned b = randomPixels(kWidth, kHeight);
    Target target;
    for (auto _ : state) {
        HBITMAP bitmap = bufferToBitmap(target.hdc, b.get(), false);
        benchmark::DoNotOptimize(bitmap);
        DeleteObject(bitmap);
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_BufferToBitmapCompatible)->Unit(benchmark::kMillisecond);

// A 32-bit DIB section, alpha kept.
void BM_BufferToBitmapSection(benchmark::State& state) {
    Owned b = randomPixels(kWidth, kHeight);
    for (auto _ : state) {
        HBITMAP bitmap = bufferToBitmap(b.get());
        benchmark::DoNotOptimize(bitmap);
        DeleteObject(bitmap);
    }
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_BufferToBitmapSection)->Unit(benchmark::kMillisecond);

} // namespace
