// SPDX-License-Identifier: MIT
// Vorn beside other libraries on the same workloads, in one program so
// that every ratio comes from one run: polygon fills beside cairo (aliased
// fills), enlargement and box reduction beside pixman's bilinear filter
// (and cairo's GOOD filter and stb's resizer for the reduction), PNG
// encoding beside stb (libpng itself is the io benchmark's yardstick).
// Vorn's PNG files are also decoded by spng and stb, which must give the
// pixels back. Built with -DVORN_BENCH_PEERS=ON (`./run bench --peers`).

#include "bench_support.h"
#include "io/io.h"
#include "io/stream.h"

#include <cairo.h>
#include <pixman.h>
#include <spng.h>
#include <stb_image.h>
#include <stb_image_resize.h>

// Defined by libstb (stb_image_write.h declares it only in its
// implementation part).
extern "C" unsigned char* stbi_write_png_to_mem(const unsigned char* pixels, int stride, int x,
                                                int y, int n, int* length);

namespace {

using namespace bench;

// ---------------------------------------------------------------------------
// Polygon fills: 1,000 random triangles, and a star filled 100 times, in
// 1024 x 1024 opaque white; aliased, opaque colour, non-zero winding.
// ---------------------------------------------------------------------------

constexpr int kCanvas = 1024;

Owned whiteCanvas() {
    Owned b = build(kCanvas, kCanvas);
    b->fill(255, 255, 255, 255);
    return b;
}

void fillVorn(benchmark::State& state, const std::vector<_VORNPOINT>& points, int corners,
              int repeat) {
    Owned b = whiteCanvas();
    const int sizes[] = {corners};
    const int shapes = static_cast<int>(points.size()) / corners;
    b->fillPolygon(points.data(), sizes, 1, 200, 30, 60, 255, 0);
    for (auto _ : state) {
        for (int r = 0; r < repeat; ++r) {
            for (int i = 0; i < shapes; ++i) {
                b->fillPolygon(points.data() + i * corners, sizes, 1, 200, 30, 60, 255, 0);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * shapes * repeat);
}

// The same shapes through cairo, vertices on pixel centres.
void fillCairo(benchmark::State& state, const std::vector<_VORNPOINT>& points, int corners,
               int repeat) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCanvas, kCanvas);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_source_rgb(cr, 200 / 255.0, 30 / 255.0, 60 / 255.0);
    const int shapes = static_cast<int>(points.size()) / corners;
    for (auto _ : state) {
        for (int r = 0; r < repeat; ++r) {
            for (int i = 0; i < shapes; ++i) {
                const _VORNPOINT* p = points.data() + i * corners;
                cairo_move_to(cr, p[0].x + 0.5, p[0].y + 0.5);
                for (int k = 1; k < corners; ++k) {
                    cairo_line_to(cr, p[k].x + 0.5, p[k].y + 0.5);
                }
                cairo_close_path(cr);
                cairo_fill(cr);
            }
        }
        cairo_surface_flush(surface);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * shapes * repeat);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void BM_Triangles1000_Vorn(benchmark::State& state) {
    fillVorn(state, triangleWorkload(), 3, 1);
}
void BM_Triangles1000_Cairo(benchmark::State& state) {
    fillCairo(state, triangleWorkload(), 3, 1);
}
void BM_Star100_Vorn(benchmark::State& state) {
    fillVorn(state, star(kCanvas), 5, 100);
}
void BM_Star100_Cairo(benchmark::State& state) {
    fillCairo(state, star(kCanvas), 5, 100);
}
BENCHMARK(BM_Triangles1000_Vorn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles1000_Cairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Star100_Vorn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Star100_Cairo)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Resampling of a 1920 x 1080 photo-like frame (arg 1: alpha varies)
// ---------------------------------------------------------------------------

void resizeVorn(benchmark::State& state, int dw, int dh) {
    Owned src = photo(kWidth, kHeight, state.range(0) != 0);
    Owned dst = build(dw, dh);
    for (auto _ : state) {
        src->resize(dst.get());
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}

// pixman's bilinear filter: the source scaled onto the destination with
// four taps per pixel (point-sampled when reducing), edges padded.
void resizePixman(benchmark::State& state, int dw, int dh) {
    Owned src = photo(kWidth, kHeight, state.range(0) != 0);
    Owned dst = build(dw, dh);
    pixman_image_t* from =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight,
                                 reinterpret_cast<std::uint32_t*>(src->getPixels()), kWidth * 4);
    pixman_image_t* to = pixman_image_create_bits(
        PIXMAN_a8r8g8b8, dw, dh, reinterpret_cast<std::uint32_t*>(dst->getPixels()), dw * 4);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(kWidth / static_cast<double>(dw)),
                                pixman_double_to_fixed(kHeight / static_cast<double>(dh)));
    pixman_image_set_transform(from, &scale);
    pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, dw, dh);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(from);
    pixman_image_unref(to);
    setCounters(state, kPixels, kBytes);
}

// cairo's GOOD filter (a box filter when reducing).
void resizeCairoGood(benchmark::State& state, int dw, int dh) {
    Owned src = photo(kWidth, kHeight, state.range(0) != 0);
    cairo_surface_t* from =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(src->getPixels()),
                                            CAIRO_FORMAT_ARGB32, kWidth, kHeight, kWidth * 4);
    cairo_surface_t* to = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, dw, dh);
    cairo_t* cr = cairo_create(to);
    cairo_scale(cr, dw / static_cast<double>(kWidth), dh / static_cast<double>(kHeight));
    cairo_set_source_surface(cr, from, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    for (auto _ : state) {
        cairo_paint(cr);
        cairo_surface_flush(to);
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(to);
    cairo_surface_destroy(from);
    setCounters(state, kPixels, kBytes);
}

// stb's resizer with its default filter.
void resizeStb(benchmark::State& state, int dw, int dh) {
    Owned src = photo(kWidth, kHeight, state.range(0) != 0);
    Owned dst = build(dw, dh);
    for (auto _ : state) {
        stbir_resize_uint8(reinterpret_cast<const unsigned char*>(src->getPixels()), kWidth,
                           kHeight, 0, reinterpret_cast<unsigned char*>(dst->getPixels()), dw, dh,
                           0, 4);
        benchmark::ClobberMemory();
    }
    setCounters(state, kPixels, kBytes);
}

void BM_Enlarge3840x2160_Vorn(benchmark::State& state) {
    resizeVorn(state, 3840, 2160);
}
void BM_Enlarge3840x2160_PixmanBilinear(benchmark::State& state) {
    resizePixman(state, 3840, 2160);
}
void BM_Reduce1280x720_Vorn(benchmark::State& state) {
    resizeVorn(state, 1280, 720);
}
void BM_Reduce1280x720_PixmanBilinear(benchmark::State& state) {
    resizePixman(state, 1280, 720);
}
void BM_Reduce1280x720_CairoGood(benchmark::State& state) {
    resizeCairoGood(state, 1280, 720);
}
void BM_Reduce1280x720_Stb(benchmark::State& state) {
    resizeStb(state, 1280, 720);
}
#define VORN_RESIZE_BENCH(name)                                                                    \
    BENCHMARK(name)->Arg(0)->Arg(1)->ArgName("alpha")->Unit(benchmark::kMillisecond)
VORN_RESIZE_BENCH(BM_Enlarge3840x2160_Vorn);
VORN_RESIZE_BENCH(BM_Enlarge3840x2160_PixmanBilinear);
VORN_RESIZE_BENCH(BM_Reduce1280x720_Vorn);
VORN_RESIZE_BENCH(BM_Reduce1280x720_PixmanBilinear);
VORN_RESIZE_BENCH(BM_Reduce1280x720_CairoGood);
VORN_RESIZE_BENCH(BM_Reduce1280x720_Stb);

// ---------------------------------------------------------------------------
// PNG: stb's encoder on the io benchmark's frame, and Vorn's files decoded
// by spng and stb
// ---------------------------------------------------------------------------

// The frame as red, green, blue, alpha bytes, the order stb takes.
std::vector<unsigned char> rgbaBytes(const VornBuffer& b) {
    std::vector<unsigned char> out(kBytes);
    const _VORNRGBAQUAD* p = b.getPixels();
    for (std::size_t i = 0; i < kPixels; ++i) {
        out[4 * i] = p[i].red;
        out[4 * i + 1] = p[i].green;
        out[4 * i + 2] = p[i].blue;
        out[4 * i + 3] = p[i].alpha;
    }
    return out;
}

void BM_PngWrite_Stb(benchmark::State& state) {
    const std::vector<unsigned char> rgba = rgbaBytes(*photoLike(true));
    int length = 0;
    for (auto _ : state) {
        unsigned char* file =
            stbi_write_png_to_mem(rgba.data(), kWidth * 4, kWidth, kHeight, 4, &length);
        benchmark::DoNotOptimize(file);
        std::free(file);
    }
    state.counters["file_bytes"] = length;
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_PngWrite_Stb)->Unit(benchmark::kMillisecond);

// Vorn's file at the given compression (-1 the default).
std::vector<unsigned char> vornPng(const VornBuffer& b, int compression) {
    std::vector<unsigned char> out;
    vorn::detail::MemorySink sink(out);
    vorn::detail::WriteOptions options;
    options.pngCompression = compression;
    if (vorn::detail::writeImage(b, vorn::detail::kFormatPng, sink, options) != 0 ||
        !sink.commit()) {
        return {};
    }
    return out;
}

// Decodes Vorn's file (arg: the compression) with spng and stb, checking
// every pixel; the time is spng's decoding.
void BM_PngDecodedByPeers(benchmark::State& state) {
    Owned frame = photoLike(true);
    const std::vector<unsigned char> file = vornPng(*frame, static_cast<int>(state.range(0)));
    const std::vector<unsigned char> expected = rgbaBytes(*frame);
    int w = 0;
    int h = 0;
    int channels = 0;
    unsigned char* stb =
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &channels, 4);
    const bool stbSame = stb && w == kWidth && h == kHeight &&
                         std::memcmp(stb, expected.data(), expected.size()) == 0;
    stbi_image_free(stb);
    if (!stbSame) {
        state.SkipWithError("stb does not decode Vorn's PNG to its pixels");
        return;
    }
    std::vector<unsigned char> out(kBytes);
    for (auto _ : state) {
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_buffer(ctx, file.data(), file.size());
        const int status = spng_decode_image(ctx, out.data(), out.size(), SPNG_FMT_RGBA8, 0);
        spng_ctx_free(ctx);
        if (status != 0 || out != expected) {
            state.SkipWithError("spng does not decode Vorn's PNG to its pixels");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
    setCounters(state, kPixels, kBytes);
}
BENCHMARK(BM_PngDecodedByPeers)
    ->Arg(-1)
    ->Arg(1)
    ->ArgName("compression")
    ->Unit(benchmark::kMillisecond);

} // namespace
