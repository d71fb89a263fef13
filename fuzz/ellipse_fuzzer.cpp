// SPDX-License-Identifier: MIT
// Fuzz target: circles, ellipses and half ellipses. The rasteriser that
// visits only the steps reaching the buffer must give the bytes of its
// plain twin, which walks every step; for boxes of any size it must stay
// within its bound of literal steps. A whole filled ellipse must have one
// mirrored span per row, a whole outline must be one closed curve.

#include "geometry_checks.h"
#include "geometry_input.h"
#include "shapes/shapes.h"

#include <cstring>
#include <vector>

using vorn::detail::Canvas;
using vorn::detail::EllipseMode;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ParameterReader in(data, size);
    const int w = in.intIn(1, 64);
    const int h = in.intIn(1, 64);
    const EllipseMode mode = static_cast<EllipseMode>(in.byte() % 4);
    const _VORNRGBAQUAD ink{1, 2, 3, 4};
    std::vector<_VORNRGBAQUAD> fast(static_cast<std::size_t>(w) * h);
    std::vector<_VORNRGBAQUAD> plain(fast.size());
    const Canvas fastCanvas{fast.data(), w, h};
    const Canvas plainCanvas{plain.data(), w, h};

    if (in.byte() % 4 == 0) {
        // Any box: the plain walk would take up to 2^32 steps, so only the
        // bound of the fast one is checked.
        const _VORNPOINT p1{in.anyInt(), in.anyInt()};
        const _VORNPOINT p2{in.anyInt(), in.anyInt()};
        if (vorn::detail::rasteriseEllipse(fastCanvas, p1, p2, mode, ink) > 2 * (w + h) + 96) {
            fail("ellipse", "too many trace steps");
        }
        return 0;
    }
    // Semi-axes up to 4096 about a centre near the buffer.
    const int cx = in.intIn(-64, 128);
    const int cy = in.intIn(-64, 128);
    const int a = in.intIn(0, in.byte() % 2 ? 40 : 4096);
    const int b = in.intIn(0, in.byte() % 2 ? 40 : 4096);
    const _VORNPOINT p1{cx - a, cy - b};
    const _VORNPOINT p2{cx + a + in.intIn(-1, 1), cy + b + in.intIn(-1, 1)};
    vorn::detail::rasteriseEllipse(fastCanvas, p1, p2, mode, ink);
    vorn::detail::rasteriseEllipseReference(plainCanvas, p1, p2, mode, ink);
    if (std::memcmp(fast.data(), plain.data(), fast.size() * 4) != 0) {
        fail("ellipse", "the rasteriser differs from the plain trace");
    }

    // The whole shape, in a buffer of its box.
    if (a >= 1 && b >= 1 && a <= 40 && b <= 40 && mode <= EllipseMode::Fill) {
        VornBuffer* whole = VornBuffer::Build(2 * a + 1, 2 * b + 1, nullptr);
        const _VORNPOINT corner{0, 0};
        const _VORNPOINT far{2 * a, 2 * b};
        std::string fault;
        if (mode == EllipseMode::Fill) {
            whole->fillEllipse(corner, far, 1, 2, 3, 4);
            fault = geometry::checkFilledEllipse(*whole, a, b);
        } else {
            whole->drawEllipse(corner, far, 1, 2, 3, 4);
            fault = geometry::checkEllipseOutline(*whole, a, b);
        }
        VornBuffer::Destroy(whole);
        if (!fault.empty()) {
            fail("ellipse", fault);
        }
    }
    return 0;
}
