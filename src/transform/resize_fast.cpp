// SPDX-License-Identifier: MIT
// Table-driven resampling. The footprint of every destination column and
// row is worked out once per call instead of once per pixel; the sums are
// then formed with exactly the operations, in exactly the order, of the
// plain members in resize.cpp, so the bytes are the same.
//
// Two shortcuts keep the bytes while avoiding most divisions:
// - Blocks whose alphas are all 0 or 255 have colour sums that are whole
//   numbers (each colour times 1.0 or 0.0), so they are summed as integers.
// - A division whose result is only truncated into a byte is replaced by a
//   multiplication with the reciprocal; the result is kept when it lies
//   clearly away from the next whole number (settleByte) and otherwise
//   recomputed exactly. The enlarging filter's alpha shares, a * w / 255,
//   are treated the same way: the approximations differ from the exact
//   values by a few units in the last place, far less than the margin.

#include "transform/transform.h"

#include <algorithm>
#include <vector>

namespace vorn::detail {

namespace {

constexpr double kInv255 = 1.0 / 255.0;

// ---------------------------------------------------------------------------
// Block averaging
// ---------------------------------------------------------------------------

/// Exact floor(s / n) for the block sums (s <= 255 n, n < 2^31): the
/// product with the reciprocal is off by at most one, then corrected.
struct BlockDivider {
    std::uint64_t n;
    double inverse;

    explicit BlockDivider(std::uint64_t count)
        : n(count), inverse(1.0 / static_cast<double>(count)) {}

    unsigned char divide(std::uint64_t s) const {
        std::uint64_t q = static_cast<std::uint64_t>(static_cast<double>(s) * inverse);
        if ((q + 1) * n <= s) {
            ++q;
        } else if (q * n > s) {
            --q;
        }
        return static_cast<unsigned char>(q);
    }
};

} // namespace

void reduceBlockExact(const _VORNRGBAQUAD* block, std::size_t width, int fx, int fy,
                      _VORNRGBAQUAD& out) {
    std::uint64_t r = 0;
    std::uint64_t g = 0;
    std::uint64_t b = 0;
    std::uint64_t a = 0;
    for (int k = 0; k < fy; ++k) {
        const _VORNRGBAQUAD* p = block + static_cast<std::size_t>(k) * width;
        for (int i = 0; i < fx; ++i) {
            r += std::uint64_t{p[i].red} * p[i].alpha;
            g += std::uint64_t{p[i].green} * p[i].alpha;
            b += std::uint64_t{p[i].blue} * p[i].alpha;
            a += p[i].alpha;
        }
    }
    const std::uint64_t n = static_cast<std::uint64_t>(fx) * static_cast<std::uint64_t>(fy);
    out.red = static_cast<unsigned char>(a == 0 ? 0 : r / a);
    out.green = static_cast<unsigned char>(a == 0 ? 0 : g / a);
    out.blue = static_cast<unsigned char>(a == 0 ? 0 : b / a);
    out.alpha = static_cast<unsigned char>(a / n);
}

void blockRowsPortable(const BlockJob& job) {
    const std::size_t width = job.width;
    const int fx = job.fx;
    const int fy = job.fy;
    const std::uint64_t n = static_cast<std::uint64_t>(fx) * static_cast<std::uint64_t>(fy);
    const BlockDivider divider(n);
    _VORNRGBAQUAD* out = job.dst;
    for (int y = 0; y < job.dh; ++y) {
        const _VORNRGBAQUAD* band =
            job.src + static_cast<std::size_t>(y) * static_cast<std::size_t>(fy) * width;
        for (int x = 0; x < job.dw; ++x, ++out) {
            const _VORNRGBAQUAD* block = band + static_cast<std::size_t>(x) * fx;
            // Opaque blocks (the common case) divide plain colour sums by
            // the constant block size, which the divider does without a
            // division; their alpha-weighted mean is the same value.
            std::uint64_t r = 0;
            std::uint64_t g = 0;
            std::uint64_t b = 0;
            bool opaque = true;
            for (int k = 0; k < fy && opaque; ++k) {
                const _VORNRGBAQUAD* p = block + static_cast<std::size_t>(k) * width;
                for (int i = 0; i < fx; ++i) {
                    if (p[i].alpha != 255) {
                        opaque = false;
                        break;
                    }
                    r += p[i].red;
                    g += p[i].green;
                    b += p[i].blue;
                }
            }
            if (opaque) {
                out->red = divider.divide(r);
                out->green = divider.divide(g);
                out->blue = divider.divide(b);
                out->alpha = 255;
                continue;
            }
            reduceBlockExact(block, width, fx, fy, *out);
        }
    }
}

void reduceBlocksFast(const VornBuffer& src, VornBuffer& dst, int fx, int fy) {
    const std::size_t width = static_cast<std::size_t>(src.getWidth());
    std::vector<std::uint16_t> scratch(width * 4);
    const BlockJob job{
        src.getPixels(), width, dst.getPixels(), dst.getWidth(), dst.getHeight(), fx, fy,
        scratch.data()};
    transformKernels().blockRows(job);
}

// ---------------------------------------------------------------------------
// Per-pixel filters
// ---------------------------------------------------------------------------

ResampleTables::ResampleTables(const VornBuffer& src, const VornBuffer& dst, double sx, double sy)
    : filter(chooseFilter(sx, sy)) {
    const bool boxAcross = filter == ResizeFilter::Y || filter == ResizeFilter::Reduce;
    const bool boxDown = filter == ResizeFilter::X || filter == ResizeFilter::Reduce;
    cols.resize(static_cast<std::size_t>(dst.getWidth()));
    rows.resize(static_cast<std::size_t>(dst.getHeight()));
    // The enlarging filter takes a tap beyond the edge as the edge pixel;
    // the others leave it out.
    auto limit = [&](const Span& span, int n) {
        return filter == ResizeFilter::Enlarge ? clampSpan(span, n) : clipSpan(span, n);
    };
    for (int x = 0; x < dst.getWidth(); ++x) {
        cols[static_cast<std::size_t>(x)] =
            limit(columnSpan(x, sx, src.getWidth(), boxAcross), src.getWidth());
    }
    for (int y = 0; y < dst.getHeight(); ++y) {
        rows[static_cast<std::size_t>(y)] =
            limit(columnSpan(y, sy, src.getHeight(), boxDown), src.getHeight());
    }
}

bool enlargePixel(const _VORNRGBAQUAD* row0, const _VORNRGBAQUAD* row1, const Span& rows,
                  const Span& cols, _VORNRGBAQUAD& out) {
    const _VORNRGBAQUAD* tapRow[4] = {row0, row0, row1, row1};
    const int tapColumn[4] = {cols.first, cols.last, cols.first, cols.last};
    const double wx[2] = {cols.firstWeight, cols.lastWeight};
    const double wy[2] = {rows.firstWeight, rows.lastWeight};
    TapSums sums;
    for (int k = 0; k < 4; ++k) {
        const double weight = wx[k & 1] * wy[k >> 1];
        if (weight == 0.0) {
            continue;
        }
        const _VORNRGBAQUAD p = tapRow[k][tapColumn[k]];
        sums.add(p, weight, (p.alpha * weight) * kInv255);
    }
    // The share is approximate; near the floor it cannot tell which side
    // the exact share lies on.
    if (sums.share < kWeightFloor * (1.0 - kSettleMargin)) {
        out.red = snapToByte(sums.plain[0]);
        out.green = snapToByte(sums.plain[1]);
        out.blue = snapToByte(sums.plain[2]);
        out.alpha = 0;
        return true;
    }
    if (sums.share <= kWeightFloor * (1.0 + kSettleMargin)) {
        return false;
    }
    const double* colour = sums.allOpaque ? sums.plain : sums.weighted;
    const double inverse = 1.0 / sums.share;
    return settleByte(colour[0] * inverse, out.red) && settleByte(colour[1] * inverse, out.green) &&
           settleByte(colour[2] * inverse, out.blue) && settleByte(sums.share * 255.0, out.alpha);
}

void finishGated(double r, double g, double b, double w, double whole, double cover,
                 _VORNRGBAQUAD& out) {
    if (w < kWeightFloor) {
        out.red = snapToByte(r);
        out.green = snapToByte(g);
        out.blue = snapToByte(b);
        out.alpha = 0;
        return;
    }
    const double inverse = 1.0 / w;
    if (!settleByte(r * inverse, out.red)) {
        out.red = snapToByte(r / w);
    }
    if (!settleByte(g * inverse, out.green)) {
        out.green = snapToByte(g / w);
    }
    if (!settleByte(b * inverse, out.blue)) {
        out.blue = snapToByte(b / w);
    }
    out.alpha = gatedAlpha(cover, whole);
}

namespace {

void enlargeRows(const ResampleJob& job) {
    const VornBuffer& src = *job.source;
    const std::size_t width = static_cast<std::size_t>(job.sw);
    _VORNRGBAQUAD* out = job.dst;
    for (int y = 0; y < job.dh; ++y) {
        const Span& rs = job.rows[y];
        const bool rowTaps = rs.last >= rs.first;
        const _VORNRGBAQUAD* row0 =
            rowTaps ? job.src + static_cast<std::size_t>(rs.first) * width : nullptr;
        const _VORNRGBAQUAD* row1 =
            rowTaps ? job.src + static_cast<std::size_t>(rs.last) * width : nullptr;
        for (int x = 0; x < job.dw; ++x, ++out) {
            const Span& cs = job.cols[x];
            if (cs.last < cs.first || !rowTaps || !enlargePixel(row0, row1, rs, cs, *out)) {
                job.exactPixel(src, out, x, y, job.sx, job.sy);
            }
        }
    }
}

/// The plain member for one destination pixel.
void exactResizePixel(const VornBuffer& src, _VORNRGBAQUAD* out, int x, int y, double sx,
                      double sy) {
    (src.*Access::resizePixelFn)(out, x, y, sx, sy);
}

} // namespace

void gatedPixel(const VornBuffer& src, const Span& cols, const Span& rows, bool columnsOuter,
                _VORNRGBAQUAD& out) {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double w = 0.0;
    double whole = 0.0;
    double cover = 0.0;
    const _VORNRGBAQUAD* pixels = src.getPixels();
    const int width = src.getWidth();
    forEachTap(cols, rows, width, src.getHeight(), columnsOuter, [&](int i, int j, double weight) {
        whole += weight;
        const _VORNRGBAQUAD p = pixels[static_cast<std::size_t>(j) * width + i];
        cover += kOpacity[p.alpha] * weight;
        if (p.alpha != 0) {
            r += p.red * weight;
            g += p.green * weight;
            b += p.blue * weight;
            w += weight;
        }
    });
    finishGated(r, g, b, w, whole, cover, out);
}

void resampleRowsPortable(const ResampleJob& job) {
    if (job.filter == ResizeFilter::Enlarge) {
        enlargeRows(job);
        return;
    }
    _VORNRGBAQUAD* out = job.dst;
    for (int y = 0; y < job.dh; ++y) {
        const Span& rs = job.rows[y];
        for (int x = 0; x < job.dw; ++x, ++out) {
            gatedPixel(*job.source, job.cols[x], rs, job.filter == ResizeFilter::Y, *out);
        }
    }
}

// ---------------------------------------------------------------------------
// The driver of the per-pixel filters
// ---------------------------------------------------------------------------

void resampleFast(const VornBuffer& src, VornBuffer& dst, double sx, double sy) {
    const ResampleTables t(src, dst, sx, sy);
    const TransformKernels& kernels = transformKernels();
    if (resampleDyadic(src, dst, t, kernels)) {
        return;
    }
    // The columns' taps side by side. The enlarging filter's two taps are
    // its span's first and last (the same index at the edge, each with its
    // own weight); the gated filters' run from first to last.
    const int dw = dst.getWidth();
    const std::size_t n = static_cast<std::size_t>(dw);
    const bool enlarge = t.filter == ResizeFilter::Enlarge;
    int taps = enlarge ? 2 : 1;
    if (!enlarge) {
        for (const Span& cs : t.cols) {
            taps = std::max(taps, cs.last - cs.first + 1);
        }
    }
    std::vector<int> index(static_cast<std::size_t>(taps) * n);
    std::vector<double> weight(static_cast<std::size_t>(taps) * n);
    for (std::size_t x = 0; x < n; ++x) {
        const Span& cs = t.cols[x];
        for (int k = 0; k < taps; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * n + x;
            if (enlarge) {
                index[at] = k == 0 ? cs.first : cs.last;
                weight[at] = k == 0 ? cs.firstWeight : cs.lastWeight;
                continue;
            }
            const int i = cs.first + k;
            index[at] = i <= cs.last ? i : cs.last;
            weight[at] = i <= cs.last ? spanWeight(cs, i) : 0.0;
        }
    }
    // Groups of four columns whose taps lie within eight source pixels
    // that can be loaded at once.
    const std::size_t width = static_cast<std::size_t>(src.getWidth());
    std::vector<int> windowStart(n / 4);
    for (std::size_t g = 0; g < windowStart.size(); ++g) {
        const int base = index[4 * g];
        const int top = index[static_cast<std::size_t>(taps - 1) * n + 4 * g + 3];
        const bool fits =
            base >= 0 && top - base < 8 && static_cast<std::size_t>(base) + 8 <= width;
        windowStart[g] = fits ? base : -1;
    }
    const ResampleJob job{&src,
                          exactResizePixel,
                          src.getPixels(),
                          src.getWidth(),
                          src.getHeight(),
                          dst.getPixels(),
                          dw,
                          dst.getHeight(),
                          sx,
                          sy,
                          t.filter,
                          t.cols.data(),
                          t.rows.data(),
                          taps,
                          index.data(),
                          weight.data(),
                          windowStart.data(),
                          kOpacity.data()};
    kernels.resampleRows(job);
}

} // namespace vorn::detail
