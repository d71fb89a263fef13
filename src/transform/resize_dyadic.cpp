// SPDX-License-Identifier: MIT
// Resampling in integers, for scale factors whose weights are all whole
// multiples of a small power of two (an enlargement by 2 or 4, a reduction
// by 1.5 or 3/4, and every factor whose positions x * sx have few binary
// places): the same bytes as the plain members, from exact integer sums.
//
// With weights W / 2^bits, every product and sum of the plain members is
// exact in double precision but for their divisions by 255.0, and every
// result they truncate is a fraction N / D of integers with D below 10^6:
//  - the gated filters' colour is sum(c W) / sum(W) over the pixels with
//    alpha, their alpha sum(a W) / sum(W) over every pixel (the 255 of
//    a / 255.0 cancels);
//  - the enlarging filter's colour is sum(c a W) / sum(a W) (or, where no
//    tap has alpha, the plain sum(c W) / 2^bits), its alpha
//    sum(a W) / 2^bits: the share's divisions by 255.0 move these by a few
//    units in the last place only.
// Such a fraction is either whole or at least 1 / D below the next whole
// number, far more than the 1e-6 by which snapToByte lifts it and the
// rounding that moved it; so the byte is floor(N / D) exactly, with no
// snap. Both directions are separable: each source row is summed across
// once for every destination column (dyadicAcross), and each destination
// row sums its source rows' sums down (dyadicDown).

#include "transform/resize_dyadic_loops.h"
#include "transform/transform.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorn::detail {

namespace {

/// The most binary places a weight may have.
constexpr int kMaxBits = 8;

/// The largest footprint, in units of the weights: every plain sum of a
/// destination pixel, 255 times its footprint, then fits 16 bits.
constexpr std::uint64_t kMaxFootprint = 257;

/// The least number of binary places of w (0..kMaxBits), or -1.
int binaryPlaces(double w) {
    for (int bits = 0; bits <= kMaxBits; ++bits) {
        const double scaled = std::ldexp(w, bits);
        if (scaled == std::floor(scaled)) {
            return bits;
        }
    }
    return -1;
}

/// One direction's taps (source index and weight) before they are scaled.
struct Taps {
    std::vector<int> index;
    std::vector<double> weight;
};

/// A DyadicAxis with its storage.
struct Axis {
    int bits = 0;
    int taps = 0;
    int window = 1; ///< the most consecutive indices one destination index spans
    std::vector<std::int32_t> index;
    std::vector<std::int32_t> weight;
    std::vector<std::uint16_t> spread;
    std::vector<std::uint32_t> sum;
    std::vector<std::int32_t> windowStart;
    std::uint32_t maxSum = 0;

    DyadicAxis view() const {
        return DyadicAxis{static_cast<int>(sum.size()),
                          taps,
                          index.data(),
                          weight.data(),
                          spread.data(),
                          sum.data(),
                          windowStart.data()};
    }
};

/// The taps of one span as the plain members take them: the enlarging
/// filter's two (one where the edge repeats the pixel), the gated filters'
/// first to last; taps of weight 0 add nothing and are left out.
Taps spanTaps(const Span& s, bool enlarge) {
    Taps t;
    auto add = [&](int i, double w) {
        if (w == 0.0) {
            return;
        }
        if (!t.index.empty() && t.index.back() == i) {
            t.weight.back() += w; // exact: both are short binary fractions
            return;
        }
        t.index.push_back(i);
        t.weight.push_back(w);
    };
    if (enlarge) {
        add(s.first, s.firstWeight);
        add(s.last, s.lastWeight);
        return t;
    }
    for (int i = s.first; i <= s.last; ++i) {
        add(i, spanWeight(s, i));
    }
    return t;
}

/// The axis of the spans over `size` source indices, or false when some
/// weight has too many binary places or some destination index takes no
/// tap.
bool buildAxis(const std::vector<Span>& spans, bool enlarge, int size, Axis& axis) {
    std::vector<Taps> all;
    all.reserve(spans.size());
    int bits = 0;
    for (const Span& s : spans) {
        if (s.last < s.first) {
            return false;
        }
        all.push_back(spanTaps(s, enlarge));
        const Taps& t = all.back();
        if (t.index.empty()) {
            return false;
        }
        for (double w : t.weight) {
            const int b = binaryPlaces(w);
            if (b < 0) {
                return false;
            }
            bits = std::max(bits, b);
        }
        axis.taps = std::max(axis.taps, static_cast<int>(t.index.size()));
        axis.window = std::max(axis.window, t.index.back() - t.index.front() + 1);
    }
    axis.bits = bits;
    const std::size_t n = spans.size();
    const std::size_t cells = static_cast<std::size_t>(axis.taps) * n;
    axis.index.assign(cells, 0);
    axis.weight.assign(cells, 0);
    axis.spread.assign(cells * 4, 0);
    axis.sum.assign(n, 0);
    for (std::size_t x = 0; x < n; ++x) {
        const Taps& t = all[x];
        std::uint32_t sum = 0;
        for (int k = 0; k < axis.taps; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * n + x;
            const std::size_t from =
                std::min<std::size_t>(static_cast<std::size_t>(k), t.index.size() - 1);
            axis.index[at] = t.index[from];
            if (static_cast<std::size_t>(k) < t.index.size()) {
                const std::int32_t w = static_cast<std::int32_t>(std::ldexp(t.weight[from], bits));
                axis.weight[at] = w;
                for (int c = 0; c < 4; ++c) {
                    axis.spread[4 * at + static_cast<std::size_t>(c)] =
                        static_cast<std::uint16_t>(w);
                }
                sum += static_cast<std::uint32_t>(w);
            }
        }
        axis.sum[x] = sum;
        axis.maxSum = std::max(axis.maxSum, sum);
    }
    // Groups of eight destination indices whose taps lie within eight (or
    // sixteen) source pixels that can be loaded at once.
    axis.windowStart.assign(n / 8, -1);
    for (std::size_t g = 0; g < n / 8; ++g) {
        int lo = axis.index[8 * g];
        int hi = lo;
        for (int k = 0; k < axis.taps; ++k) {
            for (std::size_t x = 8 * g; x < 8 * g + 8; ++x) {
                const int i = axis.index[static_cast<std::size_t>(k) * n + x];
                lo = std::min(lo, i);
                hi = std::max(hi, i);
            }
        }
        if (hi - lo < 8 && lo + 8 <= size) {
            axis.windowStart[g] = lo;
        } else if (hi - lo < 16 && lo + 16 <= size) {
            axis.windowStart[g] = -2 - lo;
        }
    }
    return axis.maxSum > 0 && axis.maxSum <= kMaxFootprint;
}

/// The sums of one source row held in the ring.
struct HeldRow {
    int row = -1;
    bool all = false;
    bool opaque = false;
};

} // namespace

bool resampleDyadic(const VornBuffer& src, VornBuffer& dst, const ResampleTables& t,
                    const TransformKernels& kernels) {
    const bool enlarge = t.filter == ResizeFilter::Enlarge;
    const int sw = src.getWidth();
    Axis cols;
    Axis rows;
    if (!buildAxis(t.cols, enlarge, sw, cols) ||
        !buildAxis(t.rows, enlarge, src.getHeight(), rows)) {
        return false;
    }
    if (std::uint64_t{cols.maxSum} * rows.maxSum > kMaxFootprint) {
        return false;
    }
    const DyadicFilter filter = enlarge ? DyadicFilter::Enlarge : DyadicFilter::Gated;
    const std::size_t n = static_cast<std::size_t>(dst.getWidth());
    const DyadicAxis across = cols.view();

    // The sums of the source rows in use, in a ring: the rows of one
    // destination row lie within `window` consecutive indices.
    const std::size_t ring = static_cast<std::size_t>(rows.window);
    std::vector<std::uint16_t> plain(ring * n * 4);
    std::vector<std::uint32_t> weighted(enlarge ? ring * n * 3 : 0);
    std::vector<std::uint16_t> gate(enlarge ? 0 : ring * n);
    std::vector<HeldRow> held(ring);
    auto sumsOf = [&](std::size_t slot) {
        return DyadicSums{plain.data() + slot * n * 4,
                          enlarge ? weighted.data() + slot * n * 3 : nullptr,
                          enlarge ? nullptr : gate.data() + slot * n};
    };
    // Once a row has shown alpha, later rows take every sum at once.
    bool seenAlpha = false;
    auto fetch = [&](int j, bool all) {
        const std::size_t slot = static_cast<std::size_t>(j) % ring;
        HeldRow& h = held[slot];
        if (h.row == j && (h.all || !all)) {
            return slot;
        }
        const _VORNRGBAQUAD* rowPixels = src.getPixels() + static_cast<std::size_t>(j) * sw;
        h.row = j;
        h.all = all || seenAlpha;
        h.opaque = kernels.dyadicAcross(rowPixels, across, filter, h.all, sumsOf(slot));
        if (!h.opaque && !h.all) {
            h.all = true;
            kernels.dyadicAcross(rowPixels, across, filter, true, sumsOf(slot));
        }
        seenAlpha = seenAlpha || !h.opaque;
        return slot;
    };

    std::vector<DyadicSums> tapSums(static_cast<std::size_t>(rows.taps));
    std::vector<std::int32_t> tapWeights(static_cast<std::size_t>(rows.taps));
    std::vector<float> inverse(enlarge ? 0 : n);
    std::uint32_t inverseFor = 0;
    const std::size_t dh = static_cast<std::size_t>(dst.getHeight());
    _VORNRGBAQUAD* out = dst.getPixels();
    for (std::size_t y = 0; y < dh; ++y, out += n) {
        int taps = 0;
        bool opaque = true;
        for (int k = 0; k < rows.taps; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * dh + y;
            const std::int32_t w = rows.weight[at];
            if (w == 0) {
                continue;
            }
            const std::size_t slot = fetch(rows.index[at], false);
            opaque = opaque && held[slot].opaque;
            tapWeights[static_cast<std::size_t>(taps)] = w;
            ++taps;
        }
        // The taps again, now that it is known whether every one is opaque.
        taps = 0;
        for (int k = 0; k < rows.taps; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * dh + y;
            if (rows.weight[at] == 0) {
                continue;
            }
            tapSums[static_cast<std::size_t>(taps++)] = sumsOf(fetch(rows.index[at], !opaque));
        }
        // The gated footprints' reciprocals, which change with the row's
        // total weight (at the edges) only.
        if (!enlarge && inverseFor != rows.sum[y]) {
            inverseFor = rows.sum[y];
            for (std::size_t x = 0; x < n; ++x) {
                inverse[x] = dyadic_loops::biasedInverse(cols.sum[x] * inverseFor);
            }
        }
        const DyadicRow row{
            tapSums.data(), tapWeights.data(),     taps,          rows.sum[y], filter,
            opaque,         cols.bits + rows.bits, inverse.data()};
        kernels.dyadicDown(row, across, out);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Portable inner loops
// ---------------------------------------------------------------------------

bool dyadicAcrossPortable(const _VORNRGBAQUAD* row, const DyadicAxis& cols, DyadicFilter filter,
                          bool all, const DyadicSums& out) {
    return dyadic_loops::across(row, cols, filter, all, out, 0);
}

void dyadicDownPortable(const DyadicRow& row, const DyadicAxis& cols, _VORNRGBAQUAD* out) {
    dyadic_loops::down(row, cols, out, 0);
}

} // namespace vorn::detail
