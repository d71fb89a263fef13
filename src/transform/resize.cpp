// SPDX-License-Identifier: MIT
// Resampling into a caller-built buffer: the choice between block averaging
// and the per-pixel filters, and the plain per-pixel members that define
// every result (the fast paths in resize_fast.cpp reproduce their bytes).

#include "transform/transform.h"

#include <cstdint>
#include <cstring>
#include <vector>

using vorn::detail::Access;
using vorn::detail::chooseFilter;
using vorn::detail::columnSpan;
using vorn::detail::forEachTap;
using vorn::detail::kWeightFloor;
using vorn::detail::ResizeFilter;
using vorn::detail::snapToByte;
using vorn::detail::Span;
using vorn::detail::truncToByte;

vorn::detail::FootprintSums vorn::detail::footprintSums(const _VORNRGBAQUAD* pixels,
                                                        const Span& cols, const Span& rows,
                                                        int width, int height, bool columnsOuter) {
    FootprintSums sums;
    forEachTap(cols, rows, width, height, columnsOuter, [&](int i, int j, double weight) {
        const _VORNRGBAQUAD& p =
            pixels[static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + i];
        sums.whole += weight;
        sums.cover += p.alpha / 255.0 * weight;
    });
    return sums;
}

int VornBuffer::resize(VornBuffer* dst) const {
    if (!pixels) {
        return -1;
    }
    if (width < 0 || height < 0) {
        return -2;
    }
    if (!dst) {
        return -3;
    }
    if (dst->width < 0 || dst->height < 0) {
        return -3;
    }
    if (dst->width == 0 || dst->height == 0) {
        return 0;
    }
    // A destination with a size but no pixel block cannot be written.
    if (!dst->pixels) {
        return -3;
    }
    // An empty source has nothing to sample (and would give zero factors).
    if (width == 0 || height == 0) {
        return -1;
    }

    const double sx = static_cast<double>(width) / static_cast<double>(dst->width);
    const double sy = static_cast<double>(height) / static_cast<double>(dst->height);
    // Both factors are at most the source size, so the truncation is safe.
    const int fx = static_cast<int>(sx);
    const int fy = static_cast<int>(sy);
    if (static_cast<double>(fx) == sx && static_cast<double>(fy) == sy) {
        return reduce(dst, fx, fy);
    }

    vorn::detail::transformKernels().resample(*this, *dst, sx, sy);
    return 0;
}

void vorn::detail::resampleReference(const VornBuffer& src, VornBuffer& dst, double sx, double sy) {
    _VORNRGBAQUAD* out = dst.getPixels();
    for (int y = 0; y < dst.getHeight(); ++y) {
        for (int x = 0; x < dst.getWidth(); ++x) {
            (src.*Access::resizePixelFn)(out++, x, y, sx, sy);
        }
    }
}

int VornBuffer::reduce(VornBuffer* dst, int fx, int fy) const {
    if (fx == 1 && fy == 1) {
        // memmove: resizing a buffer into itself is a copy onto itself.
        std::memmove(dst->pixels, pixels,
                     static_cast<std::size_t>(dst->width) * static_cast<std::size_t>(dst->height) *
                         sizeof(_VORNRGBAQUAD));
        return 0;
    }
    if (fx < 1 || fy < 1) {
        return 0;
    }
    vorn::detail::transformKernels().reduceBlocks(*this, *dst, fx, fy);
    return 0;
}

void vorn::detail::reduceBlocksReference(const VornBuffer& src, VornBuffer& dst, int fx, int fy) {
    // fy cursors, one per source row of the current band. The last one runs
    // along the band's bottom row and so ends each destination row at the
    // start of the next band.
    std::vector<const _VORNRGBAQUAD*> rows(static_cast<std::size_t>(fy));
    rows[static_cast<std::size_t>(fy) - 1] = src.getPixels();
    _VORNRGBAQUAD* out = dst.getPixels();
    for (int y = 0; y < dst.getHeight(); ++y) {
        rows[0] = rows[static_cast<std::size_t>(fy) - 1];
        for (std::size_t k = 1; k < rows.size(); ++k) {
            rows[k] = rows[k - 1] + src.getWidth();
        }
        for (int x = 0; x < dst.getWidth(); ++x) {
            (src.*Access::reducePixelFn)(rows.data(), out++, fx, fy);
        }
    }
}

void VornBuffer::getReducePixel(const _VORNRGBAQUAD** rows, _VORNRGBAQUAD* out, int fx,
                                int fy) const {
    if (fx < 1) {
        return;
    }
    // Integer sums: each colour weighed by its pixel's alpha, so that the
    // colour of clear pixels does not darken the block. They stay below
    // 255^2 times the block's pixel count, far inside 64 bits.
    std::uint64_t r = 0;
    std::uint64_t g = 0;
    std::uint64_t b = 0;
    std::uint64_t a = 0;
    std::uint64_t count = 0;
    for (int i = 0; i < fx; ++i) {
        for (int k = 0; k < fy; ++k) {
            const _VORNRGBAQUAD p = *rows[k]++;
            r += std::uint64_t{p.red} * p.alpha;
            g += std::uint64_t{p.green} * p.alpha;
            b += std::uint64_t{p.blue} * p.alpha;
            a += p.alpha;
            ++count;
        }
    }
    if (count == 0) {
        return;
    }
    out->red = static_cast<unsigned char>(a == 0 ? 0 : r / a);
    out->green = static_cast<unsigned char>(a == 0 ? 0 : g / a);
    out->blue = static_cast<unsigned char>(a == 0 ? 0 : b / a);
    out->alpha = static_cast<unsigned char>(a / count);
}

void VornBuffer::getResizePixel(_VORNRGBAQUAD* out, int x, int y, double sx, double sy) const {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double w = 0.0;
    const ResizeFilter filter = chooseFilter(sx, sy);
    switch (filter) {
    case ResizeFilter::Enlarge:
        getEnlargeRGBA(x, y, sx, sy, r, g, b, w);
        break;
    case ResizeFilter::X:
        getXRGBA(x, y, sx, sy, r, g, b, w);
        break;
    case ResizeFilter::Y:
        getYRGBA(x, y, sx, sy, r, g, b, w);
        break;
    case ResizeFilter::Reduce:
        getReduceRGBA(x, y, sx, sy, r, g, b, w);
        break;
    }

    if (w < kWeightFloor) {
        // Nothing opaque was taken: the sums are the colour as it stands.
        out->red = snapToByte(r);
        out->green = snapToByte(g);
        out->blue = snapToByte(b);
        out->alpha = 0;
        return;
    }
    out->red = snapToByte(r / w);
    out->green = snapToByte(g / w);
    out->blue = snapToByte(b / w);
    if (filter == ResizeFilter::Enlarge) {
        out->alpha = snapToByte(w * 255.0);
        return;
    }
    // The gated filters' weight sum counts only non-transparent pixels, so
    // the alpha comes from the whole footprint: the weighted mean of every
    // pixel's alpha, transparent ones included.
    const Span cols = columnSpan(x, sx, width, filter != ResizeFilter::X);
    const Span rows = columnSpan(y, sy, height, filter != ResizeFilter::Y);
    const vorn::detail::FootprintSums footprint =
        vorn::detail::footprintSums(pixels, cols, rows, width, height, filter == ResizeFilter::Y);
    out->alpha = vorn::detail::gatedAlpha(footprint.cover, footprint.whole);
}

void VornBuffer::getEnlargeRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                                double& a) const {
    const Span cols = vorn::detail::linearSpan(static_cast<double>(x) * sx);
    const Span rows = vorn::detail::linearSpan(static_cast<double>(y) * sy);
    if (cols.last < cols.first || rows.last < rows.first) {
        return;
    }
    const int xs[4] = {cols.first, cols.last, cols.first, cols.last};
    const int ys[4] = {rows.first, rows.first, rows.last, rows.last};
    const double wx[2] = {cols.firstWeight, cols.lastWeight};
    const double wy[2] = {rows.firstWeight, rows.lastWeight};

    // The four taps: plain colour sums and alpha-weighted ones, kept apart
    // until it is known whether every tap taken is opaque.
    // A neighbour beyond the last column or row is the edge pixel with its
    // own weight, so an opaque image stays opaque to its far edges.
    vorn::detail::TapSums sums;
    for (int k = 0; k < 4; ++k) {
        const double weight = wx[k & 1] * wy[k >> 1];
        if (weight == 0.0 || xs[k] < 0 || ys[k] < 0) {
            continue;
        }
        const int x = xs[k] < width ? xs[k] : width - 1;
        const int y = ys[k] < height ? ys[k] : height - 1;
        const _VORNRGBAQUAD& p =
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x];
        sums.add(p, weight, p.alpha * weight / 255.0);
    }
    // Opaque neighbourhoods, and those with next to no opacity (whose colour
    // is the plain interpolation), keep the plain sums. Elsewhere each tap's
    // colour counts by its weight times its alpha, so that the colour of
    // transparent pixels does not bleed into their neighbours.
    const double* colour = sums.allOpaque || sums.share < kWeightFloor ? sums.plain : sums.weighted;
    r += colour[0];
    g += colour[1];
    b += colour[2];
    a += sums.share;
}

namespace {

// Adds the footprint cols x rows to the sums of a gated filter: pixels with
// alpha 0 take no part; the weight sum gains the weights of the others.
void addGated(const _VORNRGBAQUAD* pixels, int width, int height, const Span& cols,
              const Span& rows, bool columnsOuter, double& r, double& g, double& b, double& a) {
    forEachTap(cols, rows, width, height, columnsOuter, [&](int i, int j, double weight) {
        const _VORNRGBAQUAD& p = pixels[static_cast<std::size_t>(j) * width + i];
        if (p.alpha == 0) {
            return;
        }
        r += p.red * weight;
        g += p.green * weight;
        b += p.blue * weight;
        a += weight;
    });
}

} // namespace

void VornBuffer::getXRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                          double& a) const {
    addGated(pixels, width, height, columnSpan(x, sx, width, false),
             columnSpan(y, sy, height, true), false, r, g, b, a);
}

void VornBuffer::getYRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                          double& a) const {
    addGated(pixels, width, height, columnSpan(x, sx, width, true),
             columnSpan(y, sy, height, false), true, r, g, b, a);
}

void VornBuffer::getReduceRGBA(int x, int y, double sx, double sy, double& r, double& g, double& b,
                               double& a) const {
    addGated(pixels, width, height, columnSpan(x, sx, width, true), columnSpan(y, sy, height, true),
             false, r, g, b, a);
}
