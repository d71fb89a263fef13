// SPDX-License-Identifier: MIT
// Lines and polygon fills. Each benchmark's time is that of its whole
// workload (10,000 lines, 1,000 triangles, 100 stars ...), in milliseconds,
// so that it reads directly against figures measured elsewhere for the same
// workloads. The plain scan converter (fillPolygonReference) runs beside
// the fills for comparison, and a far vertex beside a near one.

#include "bench_support.h"
#include "vector/vector.h"

namespace {

using bench::Owned;

/// A width x height buffer of opaque white.
Owned white(int w, int h) {
    Owned b = bench::build(w, h);
    b->fill(255, 255, 255, 255);
    return b;
}

// ---------------------------------------------------------------------------
// 10,000 random one-pixel lines in 1024 x 1024
// ---------------------------------------------------------------------------

constexpr int kLines = 10000;

enum LineKind { Aliased, AntiAliased, Dashed };

void lines(benchmark::State& state, LineKind kind) {
    Owned b = white(1024, 1024);
    const std::vector<_VORNPOINT> ends = bench::randomPoints(2 * kLines, 1024, 1024, 1);
    for (auto _ : state) {
        for (int i = 0; i < kLines; ++i) {
            const _VORNPOINT& p = ends[2 * i];
            const _VORNPOINT& q = ends[2 * i + 1];
            switch (kind) {
            case Aliased:
                b->drawSolidLine(p, q, 20, 40, 200, 255);
                break;
            case AntiAliased:
                b->drawSolidLine(p, q, 20, 40, 200, 255, 1);
                break;
            case Dashed:
                b->drawDashedLine(p, q, 20, 40, 200, 255);
                break;
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_Lines10000_Aliased(benchmark::State& state) {
    lines(state, Aliased);
}
void BM_Lines10000_AntiAliased(benchmark::State& state) {
    lines(state, AntiAliased);
}
void BM_Lines10000_Dashed(benchmark::State& state) {
    lines(state, Dashed);
}
BENCHMARK(BM_Lines10000_Aliased)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lines10000_AntiAliased)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lines10000_Dashed)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Polygon fills
// ---------------------------------------------------------------------------

enum FillKind { Solid, Blend, Texture, Plain };

struct Filler {
    FillKind kind;
    Owned texture = bench::build(64, 64);

    explicit Filler(FillKind k) : kind(k) {
        std::mt19937 rng(3);
        _VORNRGBAQUAD* t = texture->getPixels();
        for (int i = 0; i < 64 * 64; ++i) {
            const std::uint32_t v = rng() | 0xFF000000u;
            t[i] = vorn::detail::fromWord(v);
        }
    }

    void operator()(VornBuffer& b, const _VORNPOINT* points, const int* sizes, int contours) const {
        switch (kind) {
        case Solid:
            b.fillPolygon(points, sizes, contours, 200, 30, 60, 255, 0);
            return;
        case Blend:
            b.fillPolygonBlend(points, sizes, contours, 200, 30, 60, 128);
            return;
        case Texture:
            b.fillPolygonBitmap(points, sizes, contours, texture.get(), 255);
            return;
        case Plain:
            vorn::detail::fillPolygonReference(b, points, sizes, contours,
                                               vorn::detail::packColour(200, 30, 60, 255), 0);
            return;
        }
    }
};

// 1,000 random triangles in 1024 x 1024, one call each.
void triangles(benchmark::State& state, FillKind kind) {
    Owned b = white(1024, 1024);
    const Filler fill(kind);
    const std::vector<_VORNPOINT> points = bench::triangleWorkload();
    const int sizes[] = {3};
    fill(*b, points.data(), sizes, 1); // the work areas' first allocation
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            fill(*b, points.data() + 3 * i, sizes, 1);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_Triangles1000_Fill(benchmark::State& state) {
    triangles(state, Solid);
}
void BM_Triangles1000_Blend128(benchmark::State& state) {
    triangles(state, Blend);
}
void BM_Triangles1000_PlainFill(benchmark::State& state) {
    triangles(state, Plain);
}
BENCHMARK(BM_Triangles1000_Fill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles1000_Blend128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles1000_PlainFill)->Unit(benchmark::kMillisecond);

// A five-point star spanning 1024 x 1024, filled 100 times.
void stars(benchmark::State& state, FillKind kind) {
    Owned b = white(1024, 1024);
    const Filler fill(kind);
    const std::vector<_VORNPOINT> points = bench::star(1024);
    const int sizes[] = {5};
    fill(*b, points.data(), sizes, 1);
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            fill(*b, points.data(), sizes, 1);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_Star100_Fill(benchmark::State& state) {
    stars(state, Solid);
}
void BM_Star100_Blend128(benchmark::State& state) {
    stars(state, Blend);
}
void BM_Star100_Bitmap(benchmark::State& state) {
    stars(state, Texture);
}
void BM_Star100_PlainFill(benchmark::State& state) {
    stars(state, Plain);
}
BENCHMARK(BM_Star100_Fill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Star100_Blend128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Star100_Bitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Star100_PlainFill)->Unit(benchmark::kMillisecond);

// A 64 x 64 triangle filled 1,000 times into buffers of growing size: the
// cost follows the triangle, not the buffer.
void BM_SmallTriangle1000(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    Owned b = white(size, size);
    const _VORNPOINT points[] = {{100, 100}, {163, 120}, {120, 163}};
    const int sizes[] = {3};
    b->fillPolygon(points, sizes, 1, 200, 30, 60, 255, 0);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            b->fillPolygon(points, sizes, 1, 200, 30, 60, 255, 0);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SmallTriangle1000)->Arg(256)->Arg(4096)->Unit(benchmark::kMillisecond);

// A triangle with a vertex a billion pixels to the right, and the same
// triangle clipped to the buffer (within the buffer its two long edges stay
// on rows 100 and 900).
void fillRepeatedly(benchmark::State& state, const std::vector<_VORNPOINT>& points) {
    Owned b = white(1024, 1024);
    const int sizes[] = {static_cast<int>(points.size())};
    b->fillPolygon(points.data(), sizes, 1, 200, 30, 60, 255, 0);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            b->fillPolygon(points.data(), sizes, 1, 200, 30, 60, 255, 0);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_FarVertexTriangle1000(benchmark::State& state) {
    fillRepeatedly(state, {{100, 100}, {1000000000, 500}, {100, 900}});
}
void BM_FarVertexTriangleClipped1000(benchmark::State& state) {
    fillRepeatedly(state, {{100, 100}, {1023, 100}, {1023, 900}, {100, 900}});
}
BENCHMARK(BM_FarVertexTriangle1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FarVertexTriangleClipped1000)->Unit(benchmark::kMillisecond);

} // namespace
