// GDI interop on a 1920 x 1080 buffer: bitBlt and alphaBlt onto an MM_TEXT
// context and bufferToBitmap, beside memcpy of the same 8 MB in this
// program, so that ratios can be read from one run. The context is a memory
// context holding a 32-bit DIB section of the same size.

#include <vorn/gdi.h>

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
    ~Owned() { VornBuffer::Destroy(buffer); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

// Random colours; alpha 255 (opaque) or spread over 0..255.
VornBuffer* source(bool opaque) {
    VornBuffer* b = VornBuffer::Build(kWidth, kHeight, nullptr);
    std::mt19937 rng(1);
    _VORNRGBAQUAD* p = b->getPixels();
    for (std::size_t i = 0; i < kPixels; ++i) {
        std::uint32_t r = rng();
        if (opaque) {
            r |= 0xFF000000u;
        }
        std::memcpy(&p[i], &r, 4);
    }
    return b;
}

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

void setCounters(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPixels));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

void BM_MemcpyReference(benchmark::State& state) {
    std::vector<unsigned char> from(kBytes, 1);
    std::vector<unsigned char> to(kBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(from.data());
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::ClobberMemory();
    }
    setCounters(state);
}
BENCHMARK(BM_MemcpyReference);

void BM_BitBlt(benchmark::State& state) {
    Owned b(source(true));
    Target target;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bitBlt(target.hdc, 0, 0, b.buffer));
    }
    setCounters(state);
}
BENCHMARK(BM_BitBlt)->Unit(benchmark::kMillisecond);

void BM_AlphaBlt(benchmark::State& state) {
    Owned b(source(false));
    Target target;
    for (auto _ : state) {
        benchmark::DoNotOptimize(alphaBlt(target.hdc, 0, 0, b.buffer));
    }
    setCounters(state);
}
BENCHMARK(BM_AlphaBlt)->Unit(benchmark::kMillisecond);

// A bitmap compatible with the context, 24-bit content (flattened).
void BM_BufferToBitmapCompatible(benchmark::State& state) {
    Owned b(source(false));
    Target target;
    for (auto _ : state) {
        HBITMAP bitmap = bufferToBitmap(target.hdc, b.buffer, false);
        benchmark::DoNotOptimize(bitmap);
        DeleteObject(bitmap);
    }
    setCounters(state);
}
BENCHMARK(BM_BufferToBitmapCompatible)->Unit(benchmark::kMillisecond);

// A 32-bit DIB section, alpha kept.
void BM_BufferToBitmapSection(benchmark::State& state) {
    Owned b(source(false));
    for (auto _ : state) {
        HBITMAP bitmap = bufferToBitmap(b.buffer);
        benchmark::DoNotOptimize(bitmap);
        DeleteObject(bitmap);
    }
    setCounters(state);
}
BENCHMARK(BM_BufferToBitmapSection)->Unit(benchmark::kMillisecond);

} // namespace
