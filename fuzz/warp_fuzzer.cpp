// SPDX-License-Identifier: MIT
// Fuzz target: the mesh warp. An opaque source goes over a mesh of points
// near the destination: nothing outside the cells' boxes is written, every
// pixel inside a convex cell is painted, and so is every pixel on an edge
// two convex cells share.

#include "geometry_checks.h"
#include "geometry_input.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ParameterReader in(data, size);
    const int sw = in.intIn(1, 32);
    const int sh = in.intIn(1, 32);
    const int dw = in.intIn(1, 64);
    const int dh = in.intIn(1, 64);
    const int nx = in.intIn(2, 5);
    const int ny = in.intIn(2, 5);
    std::vector<_VORNPOINT> grid;
    for (int k = 0; k < nx * ny; ++k) {
        grid.push_back({in.intIn(-24, dw + 24), in.intIn(-24, dh + 24)});
    }
    VornBuffer* src = VornBuffer::Build(sw, sh, nullptr);
    for (int i = 0; i < sw * sh; ++i) {
        src->getPixels()[i] = in.pixel();
        src->getPixels()[i].alpha = 255;
    }
    const _VORNRGBAQUAD blank{3, 2, 1, 7};
    VornBuffer* dst = VornBuffer::Build(dw, dh, nullptr);
    dst->fill(blank.red, blank.green, blank.blue, blank.alpha);
    src->warp(dst, grid.data(), nx, ny);
    const std::string fault = geometry::checkWarp(*dst, blank, grid, nx, ny);
    VornBuffer::Destroy(src);
    VornBuffer::Destroy(dst);
    if (!fault.empty()) {
        fail("warp", fault);
    }
    return 0;
}
