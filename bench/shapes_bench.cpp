// SPDX-License-Identifier: MIT
// Shapes in a 1024 x 1024 buffer: 1,000 circles of radius 1 to 200,
// outlined and filled, beside the plain per-pixel trace of the same
// circles; filled circles centred on the buffer of radius 512 (the circle
// the buffer just holds), 100,000 and 10,000,000, beside memset of the
// whole buffer and the plain trace of the radius 100,000 circle. Arg 1 is
// the library's rasteriser, Arg 0 its plain twin.

#include "bench_support.h"
#include "shapes/shapes.h"

namespace {

using bench::Owned;

constexpr int kSize = 1024;
constexpr std::size_t kSizeBytes = std::size_t{kSize} * kSize * 4;

struct Circle {
    _VORNPOINT centre;
    double radius;
};

// 1,000 circles, radii 1 to 200 in turn, centres spread over the buffer
// (some circles reach past its edges).
std::vector<Circle> thousandCircles() {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> position(0, kSize - 1);
    std::vector<Circle> circles;
    for (int i = 0; i < 1000; ++i) {
        circles.push_back(Circle{{position(rng), position(rng)}, 1.0 + i % 200});
    }
    return circles;
}

vorn::detail::Canvas canvasOf(const Owned& b) {
    return vorn::detail::Canvas{b->getPixels(), b->getWidth(), b->getHeight()};
}

void drawCircles(benchmark::State& state, vorn::detail::EllipseMode mode) {
    const std::vector<Circle> circles = thousandCircles();
    Owned b = bench::build(kSize, kSize);
    const bool fast = state.range(0) != 0;
    const _VORNRGBAQUAD ink{30, 20, 10, 255};
    for (auto _ : state) {
        for (const Circle& c : circles) {
            if (fast) {
                if (mode == vorn::detail::EllipseMode::Fill) {
                    b->fillCircle(c.centre, c.radius, 10, 20, 30, 255);
                } else {
                    b->drawCircle(c.centre, c.radius, 10, 20, 30, 255);
                }
            } else {
                _VORNPOINT p1;
                _VORNPOINT p2;
                vorn::detail::circleBox(c.centre, c.radius, p1, p2);
                vorn::detail::rasteriseEllipseReference(canvasOf(b), p1, p2, mode, ink);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * circles.size()));
}

void BM_ThousandCirclesOutlined(benchmark::State& state) {
    drawCircles(state, vorn::detail::EllipseMode::Outline);
}
BENCHMARK(BM_ThousandCirclesOutlined)->Arg(1)->Arg(0)->ArgName("fast");

void BM_ThousandCirclesFilled(benchmark::State& state) {
    drawCircles(state, vorn::detail::EllipseMode::Fill);
}
BENCHMARK(BM_ThousandCirclesFilled)->Arg(1)->Arg(0)->ArgName("fast");

void BM_MemsetWholeBuffer(benchmark::State& state) {
    bench::timeMemset(state, kSizeBytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSizeBytes));
}
BENCHMARK(BM_MemsetWholeBuffer);

// One filled circle of the given radius centred on the buffer.
void BM_FilledCircleCentred(benchmark::State& state) {
    Owned b = bench::build(kSize, kSize);
    const double radius = static_cast<double>(state.range(0));
    const bool fast = state.range(1) != 0;
    const _VORNPOINT centre{kSize / 2, kSize / 2};
    const _VORNRGBAQUAD ink{30, 20, 10, 255};
    for (auto _ : state) {
        if (fast) {
            b->fillCircle(centre, radius, 10, 20, 30, 255);
        } else {
            _VORNPOINT p1;
            _VORNPOINT p2;
            vorn::detail::circleBox(centre, radius, p1, p2);
            vorn::detail::rasteriseEllipseReference(canvasOf(b), p1, p2,
                                                    vorn::detail::EllipseMode::Fill, ink);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSizeBytes));
}
BENCHMARK(BM_FilledCircleCentred)
    ->ArgNames({"radius", "fast"})
    ->Args({512, 1})
    ->Args({100000, 1})
    ->Args({10000000, 1})
    ->Args({100000, 0});

// An outlined circle of radius 10^7 centred on the buffer (nothing of it
// falls inside) and one whose curve crosses it where the two regions of
// the trace meet.
void BM_OutlinedCircleTenMillion(benchmark::State& state) {
    Owned b = bench::build(kSize, kSize);
    const int offset = state.range(0) == 0 ? 0 : 7071068;
    const _VORNPOINT centre{kSize / 2 - offset, kSize / 2 - offset};
    for (auto _ : state) {
        b->drawCircle(centre, 1e7, 10, 20, 30, 255);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OutlinedCircleTenMillion)->Arg(0)->Arg(1)->ArgName("crossing");

} // namespace
