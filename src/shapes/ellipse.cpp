// SPDX-License-Identifier: MIT
// Circles and ellipses, outlined or filled: the public members and the
// rasteriser that visits only the trace steps whose pixels can reach the
// buffer.
//
// The shape is the one of the two-region midpoint trace (RegionTrace).
// Every pixel it covers is overwritten with one colour, so the picture is
// the union of the plotted pixels, whatever their order; the rasteriser
// uses that freedom:
//
// - Region 1 plots one step per row offset Y, so only the steps whose rows
//   lie in the buffer are visited; the trace jumps exactly over the rest.
// - Region 2 plots one step per column offset X. An outline visits only the
//   steps whose columns lie in the buffer. A fill visits the steps whose
//   spans reach the buffer until a span covers its whole width; each later
//   step paints a whole row, and since Y falls by at most 1 per step those
//   rows are found from the first such step and the region's last one.
// - Spans of one row are nested, so a fill paints each row of region 2
//   once, with its widest span; every span is clipped before it is written.

#include "shapes/shapes.h"

#include <climits>
#include <cmath>

namespace vorn::detail {

namespace {

struct Ellipse {
    long long cx;
    long long cy;
    long long a; // semi-axis along x, 1 to 2^31
    long long b; // semi-axis along y
};

/// The ellipse of the box p1-p2, or false for a box that draws nothing.
bool ellipseOfBox(const _VORNPOINT& p1, const _VORNPOINT& p2, Ellipse& e) {
    if (p1.x == p2.x || p1.y == p2.y) {
        return false;
    }
    // Formed in 64 bits: the sum of two int corners can overflow int, and
    // so can a semi-axis (p1.x = INT_MIN, p2.x = INT_MAX gives 2^31).
    e.cx = (static_cast<long long>(p1.x) + p2.x) / 2;
    e.cy = (static_cast<long long>(p1.y) + p2.y) / 2;
    e.a = e.cx - p1.x;
    e.b = e.cy - p1.y;
    return e.a > 0 && e.b > 0;
}

struct Range {
    long long lo;
    long long hi;
};

/// The offsets d >= 0 that put centre - d (when `minus`) or centre + d
/// (when `plus`) inside [0, extent), as at most two disjoint ranges in
/// increasing order. Returns how many.
int offsetRanges(long long centre, long long extent, bool minus, bool plus, Range out[2]) {
    int n = 0;
    if (minus && centre >= 0) {
        const long long lo = centre - extent + 1;
        out[n++] = Range{lo > 0 ? lo : 0, centre};
    }
    if (plus && centre <= extent - 1) {
        out[n++] = Range{centre < 0 ? -centre : 0, extent - 1 - centre};
    }
    if (n == 2) {
        if (out[1].lo < out[0].lo) {
            const Range t = out[0];
            out[0] = out[1];
            out[1] = t;
        }
        if (out[1].lo <= out[0].hi + 1) {
            if (out[1].hi > out[0].hi) {
                out[0].hi = out[1].hi;
            }
            n = 1;
        }
    }
    return n;
}

class EllipseRaster {
public:
    EllipseRaster(const Canvas& canvas, const Ellipse& e, EllipseMode mode, _VORNRGBAQUAD colour)
        : canvas_(canvas), e_(e), mode_(mode), colour_(colour) {}

    /// The last step of a region, offsets X and Y.
    struct End {
        long long x;
        long long y;
    };

    long long region1(End& end) const;
    long long region2Points(End& end) const;
    long long region2Fill(End& end) const;
    /// The steps between the regions' ends (see rasteriseEllipse).
    void gap(const End& end1, const End& end2) const;

private:
    bool rowsAbove() const { return mode_ != EllipseMode::LowerHalf; }
    bool rowsBelow() const { return mode_ != EllipseMode::UpperHalf; }

    /// Plot of the midpoint method: col and row are the offsets X and Y.
    void plot(long long col, long long row) const;

    void point(long long x, long long y) const { writePixel(canvas_, x, y, colour_); }
    void span(long long x0, long long x1, long long y) const {
        writeSpan(canvas_, x0, x1, y, colour_);
    }

    Canvas canvas_;
    Ellipse e_;
    EllipseMode mode_;
    _VORNRGBAQUAD colour_;
};

void EllipseRaster::plot(long long col, long long row) const {
    const long long cx = e_.cx;
    const long long cy = e_.cy;
    switch (mode_) {
    case EllipseMode::Fill:
        span(cx - col, cx + col, cy - row);
        if (row != 0) {
            span(cx - col, cx + col, cy + row);
        }
        break;
    case EllipseMode::Outline:
        point(cx + col, cy + row);
        point(cx - col, cy + row);
        point(cx + col, cy - row);
        point(cx - col, cy - row);
        break;
    case EllipseMode::UpperHalf:
        point(cx + col, cy - row);
        point(cx - col, cy - row);
        break;
    case EllipseMode::LowerHalf:
        point(cx + col, cy + row);
        point(cx - col, cy + row);
        break;
    }
}

// Region 1: u is the row offset Y, v the column offset X.
long long EllipseRaster::region1(End& end) const {
    RegionTrace t(static_cast<std::uint64_t>(e_.a), static_cast<std::uint64_t>(e_.b));
    Range ranges[2];
    const int n = offsetRanges(e_.cy, canvas_.height, rowsAbove(), rowsBelow(), ranges);
    for (int i = 0; i < n && t.running(); ++i) {
        t.seek(ranges[i].lo);
        while (t.running() && t.u() <= ranges[i].hi) {
            plot(t.v(), t.u());
            t.step();
        }
    }
    t.finish(end.y, end.x);
    return t.stepsWalked();
}

// Region 2 of an outline or half outline: u is the column offset X.
long long EllipseRaster::region2Points(End& end) const {
    RegionTrace t(static_cast<std::uint64_t>(e_.b), static_cast<std::uint64_t>(e_.a));
    Range ranges[2];
    const int n = offsetRanges(e_.cx, canvas_.width, true, true, ranges);
    for (int i = 0; i < n && t.running(); ++i) {
        t.seek(ranges[i].lo);
        while (t.running() && t.u() <= ranges[i].hi) {
            plot(t.u(), t.v());
            t.step();
        }
    }
    t.finish(end.x, end.y);
    return t.stepsWalked();
}

// Region 2 of a fill: u is the column offset X, so step u paints the span
// cx - u .. cx + u on the rows cy - v and cy + v.
long long EllipseRaster::region2Fill(End& end) const {
    RegionTrace t(static_cast<std::uint64_t>(e_.b), static_cast<std::uint64_t>(e_.a));
    const long long cx = e_.cx;
    const long long lastColumn = canvas_.width - 1;
    // Spans reach the buffer from `visible` on and cover all of its
    // columns from `full` on (visible <= full).
    long long visible = cx - lastColumn > -cx ? cx - lastColumn : -cx;
    if (visible < 0) {
        visible = 0;
    }
    const long long full = cx > lastColumn - cx ? cx : lastColumn - cx;

    t.seek(visible);
    bool pending = false;
    long long spanU = 0;
    long long spanV = 0;
    while (t.running() && t.u() <= full) {
        if (pending && t.v() != spanV) {
            plot(spanU, spanV);
        }
        spanU = t.u();
        spanV = t.v();
        pending = true;
        t.step();
    }
    if (pending) {
        plot(spanU, spanV);
    }
    if (!t.running()) {
        t.finish(end.x, end.y);
        return t.stepsWalked();
    }

    // Every step from here to the region's end paints whole rows; their
    // offsets run without a gap from the last step's v up to this one's.
    const long long highV = t.v();
    long long lowV = 0;
    t.finish(end.x, lowV);
    end.y = lowV;
    Range ranges[2];
    const int n = offsetRanges(e_.cy, canvas_.height, true, true, ranges);
    for (int i = 0; i < n; ++i) {
        const long long from = ranges[i].lo > lowV ? ranges[i].lo : lowV;
        const long long to = ranges[i].hi < highV ? ranges[i].hi : highV;
        for (long long v = from; v <= to; ++v) {
            plot(full, v);
        }
    }
    return t.stepsWalked();
}

void EllipseRaster::gap(const End& end1, const End& end2) const {
    // Rows strictly between the regions, each plotted at region 1's last
    // column offset; only the rows that reach the canvas.
    if (end2.y > end1.y + 1) {
        Range ranges[2];
        const int n = offsetRanges(e_.cy, canvas_.height, rowsAbove(), rowsBelow(), ranges);
        for (int i = 0; i < n; ++i) {
            const long long from = ranges[i].lo > end1.y + 1 ? ranges[i].lo : end1.y + 1;
            const long long to = ranges[i].hi < end2.y - 1 ? ranges[i].hi : end2.y - 1;
            for (long long row = from; row <= to; ++row) {
                plot(end1.x, row);
            }
        }
    }
    // Columns strictly between them, on region 2's last row offset. A
    // fill's spans there are nested, so the widest stands for all.
    if (end1.x > end2.x + 1) {
        if (mode_ == EllipseMode::Fill) {
            plot(end1.x - 1, end2.y);
            return;
        }
        Range ranges[2];
        const int n = offsetRanges(e_.cx, canvas_.width, true, true, ranges);
        for (int i = 0; i < n; ++i) {
            const long long from = ranges[i].lo > end2.x + 1 ? ranges[i].lo : end2.x + 1;
            const long long to = ranges[i].hi < end1.x - 1 ? ranges[i].hi : end1.x - 1;
            for (long long column = from; column <= to; ++column) {
                plot(column, end2.y);
            }
        }
    }
}

} // namespace

long long rasteriseEllipse(const Canvas& canvas, const _VORNPOINT& p1, const _VORNPOINT& p2,
                           EllipseMode mode, _VORNRGBAQUAD colour) {
    if (!canvas.pixels || canvas.width < 1 || canvas.height < 1) {
        return 0;
    }
    Ellipse e;
    if (!ellipseOfBox(p1, p2, e)) {
        return 0;
    }
    const EllipseRaster raster(canvas, e, mode, colour);
    EllipseRaster::End end1{0, 0};
    EllipseRaster::End end2{0, 0};
    const long long steps = raster.region1(end1);
    const long long more =
        mode == EllipseMode::Fill ? raster.region2Fill(end2) : raster.region2Points(end2);
    raster.gap(end1, end2);
    return steps + more;
}

bool circleBox(const _VORNPOINT& centre, double radius, _VORNPOINT& p1, _VORNPOINT& p2) {
    if (!std::isfinite(radius)) {
        return false;
    }
    // The whole part of the radius either side of the centre, so that the
    // box's truncated middle is the centre whatever the fraction. Radii
    // beyond 2^33 put every corner past the int range anyway.
    const double limit = 8589934592.0;
    const double whole = std::trunc(radius);
    const long long r =
        static_cast<long long>(whole > limit ? limit : (whole < -limit ? -limit : whole));
    auto corner = [](long long v) {
        return static_cast<int>(v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : v));
    };
    p1.x = corner(centre.x - r);
    p1.y = corner(centre.y - r);
    p2.x = corner(centre.x + r);
    p2.y = corner(centre.y + r);
    return true;
}

} // namespace vorn::detail

using namespace vorn::detail;

int VornBuffer::drawOrFillEllipse(int fill, const _VORNPOINT& p1, const _VORNPOINT& p2,
                                  unsigned char red, unsigned char green, unsigned char blue,
                                  unsigned char alpha) {
    rasteriseEllipse(Canvas{pixels, width, height}, p1, p2,
                     fill != 0 ? EllipseMode::Fill : EllipseMode::Outline,
                     packColour(red, green, blue, alpha));
    return 0;
}

int VornBuffer::drawEllipse(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                            unsigned char green, unsigned char blue, unsigned char alpha) {
    return drawOrFillEllipse(0, p1, p2, red, green, blue, alpha);
}

int VornBuffer::fillEllipse(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                            unsigned char green, unsigned char blue, unsigned char alpha) {
    return drawOrFillEllipse(1, p1, p2, red, green, blue, alpha);
}

int VornBuffer::drawCircle(const _VORNPOINT& centre, double radius, unsigned char red,
                           unsigned char green, unsigned char blue, unsigned char alpha) {
    _VORNPOINT p1;
    _VORNPOINT p2;
    if (!circleBox(centre, radius, p1, p2)) {
        return 0;
    }
    return drawOrFillEllipse(0, p1, p2, red, green, blue, alpha);
}

int VornBuffer::fillCircle(const _VORNPOINT& centre, double radius, unsigned char red,
                           unsigned char green, unsigned char blue, unsigned char alpha) {
    _VORNPOINT p1;
    _VORNPOINT p2;
    if (!circleBox(centre, radius, p1, p2)) {
        return 0;
    }
    return drawOrFillEllipse(1, p1, p2, red, green, blue, alpha);
}
