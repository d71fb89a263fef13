// SPDX-License-Identifier: MIT
// The span scan converter's edge tracer: the writes of fillLine, made only
// where they can land. An edge is entered at the first step that reaches
// the buffer's rows and left at the last; steps right of the buffer are
// skipped; steps left of it only count one crossing per row into the row's
// carry. The Bresenham state where a walk is entered comes in closed form,
// so the cost of an edge follows the part of it over the buffer's rows and
// columns, not its length.

#include "vector/vector.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace vorn::detail {

// ---------------------------------------------------------------------------
// Closed forms
// ---------------------------------------------------------------------------
//
// After k steps the error is -major + 2 * minor * k - 2 * major * m, and the
// walk keeps it in [1 - 2 * major, 0]; so m, the minor steps taken, is
// ceil((2 * minor * k - major) / (2 * major)). With P = minor * k =
// q * major + r this is q, plus 1 when 2r > major. P < 2^64 because both
// factors are below 2^32.

std::uint64_t bresenhamMinorSteps(std::uint64_t major, std::uint64_t minor, std::uint64_t k) {
    const std::uint64_t p = minor * k;
    const std::uint64_t q = p / major;
    const std::uint64_t r = p % major;
    return q + (2 * r > major ? 1 : 0);
}

std::int64_t bresenhamError(std::uint64_t major, std::uint64_t minor, std::uint64_t k) {
    const std::uint64_t p = minor * k;
    const std::int64_t r2 = static_cast<std::int64_t>(2 * (p % major));
    const std::int64_t m = static_cast<std::int64_t>(major);
    return r2 > m ? r2 - 3 * m : r2 - m;
}

namespace {

// floor(n / d) for d > 0.
std::int64_t floorDivide(std::int64_t n, std::int64_t d) {
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

} // namespace

// m(k) >= t exactly when 2 * minor * k > (2t - 1) * major, so the least such
// k is floor((2t - 1) * major / (2 * minor)) + 1. The numerator can pass
// 2^64; it is split as 2 * (t * major) - major with t * major = q * minor + r.
std::uint64_t bresenhamStepsToReach(std::uint64_t major, std::uint64_t minor, std::int64_t target) {
    if (target <= 0) {
        return 0;
    }
    if (static_cast<std::uint64_t>(target) > minor) {
        return major + 1;
    }
    const std::uint64_t p = static_cast<std::uint64_t>(target) * major;
    const std::uint64_t q = p / minor;
    const std::int64_t r = static_cast<std::int64_t>(p % minor);
    const std::int64_t rest =
        floorDivide(2 * r - static_cast<std::int64_t>(major), 2 * static_cast<std::int64_t>(minor));
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(q) + rest + 1);
}

// ---------------------------------------------------------------------------
// Row records
// ---------------------------------------------------------------------------

namespace {

// Widens the half-open interval [begin, end) to take in lo..hi; an empty
// interval becomes exactly lo..hi.
template <typename T>
void widen(T& begin, T& end, int lo, int hi) {
    if (end <= begin) {
        begin = lo;
        end = hi + 1;
        return;
    }
    begin = std::min<T>(begin, lo);
    end = std::max<T>(end, hi + 1);
}

} // namespace

ScanFill::RowRecord ScanFill::loadRecord(int y) const {
    RowRecord r;
    std::memcpy(&r, records_ + static_cast<std::size_t>(y) * kRowRecordCells, sizeof r);
    return r;
}

void ScanFill::storeRecord(int y, const RowRecord& r) {
    std::memcpy(records_ + static_cast<std::size_t>(y) * kRowRecordCells, &r, sizeof r);
}

void ScanFill::extendRows(int y0, int y1) {
    widen(rowsBegin_, rowsEnd_, y0, y1);
}

void ScanFill::extendSpan(int y, int lo, int hi) {
    RowRecord r = loadRecord(y);
    widen(r.spanBegin, r.spanEnd, lo, hi);
    storeRecord(y, r);
    extendRows(y, y);
}

void ScanFill::extendCross(int y, int x) {
    RowRecord r = loadRecord(y);
    widen(r.crossBegin, r.crossEnd, x, x);
    storeRecord(y, r);
    extendSpan(y, x, x);
}

// ---------------------------------------------------------------------------
// Single writes
// ---------------------------------------------------------------------------

void ScanFill::carryRow(std::int64_t y, int direction) {
    unsigned short& c = carry_[y];
    c = static_cast<unsigned short>(c + direction);
}

void ScanFill::cross(std::int64_t x, std::int64_t y, int direction) {
    if (y < 0 || y >= height_) {
        return;
    }
    if (x < 0) {
        carryRow(y, direction);
        return;
    }
    if (x >= width_) {
        return;
    }
    unsigned short& c = map_[y * width_ + x];
    c = static_cast<unsigned short>(c + (direction > 0 ? 1 : 16));
    extendCross(static_cast<int>(y), static_cast<int>(x));
}

void ScanFill::mark(std::int64_t x, std::int64_t y) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) {
        return;
    }
    unsigned short& c = map_[y * width_ + x];
    if (c < 256) {
        c = static_cast<unsigned short>(c + 256);
        extendSpan(static_cast<int>(y), static_cast<int>(x), static_cast<int>(x));
    }
}

void ScanFill::markRun(std::int64_t y, std::int64_t from, std::int64_t to) {
    if (y < 0 || y >= height_) {
        return;
    }
    const std::int64_t lo = std::max<std::int64_t>(std::min(from, to), 0);
    const std::int64_t hi = std::min<std::int64_t>(std::max(from, to), width_ - 1);
    if (lo > hi) {
        return;
    }
    unsigned short* row = map_ + y * width_;
    for (std::int64_t x = lo; x <= hi; ++x) {
        if (row[x] < 256) {
            row[x] = static_cast<unsigned short>(row[x] + 256);
        }
    }
    extendSpan(static_cast<int>(y), static_cast<int>(lo), static_cast<int>(hi));
}

// ---------------------------------------------------------------------------
// Edges
// ---------------------------------------------------------------------------

namespace {

int signOf(std::int64_t v) {
    return v < 0 ? -1 : 1;
}

std::int64_t magnitude(std::int64_t v) {
    return v < 0 ? -v : v;
}

// Directions and lengths of the edge a -> b, in 64 bits so that any two
// 32-bit points give exact values.
struct EdgeSteps {
    int sx, sy;
    std::uint64_t ax, ay;
    EdgeSteps(_VORNPOINT a, _VORNPOINT b)
        : sx(signOf(std::int64_t{b.x} - a.x)), sy(signOf(std::int64_t{b.y} - a.y)),
          ax(static_cast<std::uint64_t>(magnitude(std::int64_t{b.x} - a.x))),
          ay(static_cast<std::uint64_t>(magnitude(std::int64_t{b.y} - a.y))) {}
};

} // namespace

void ScanFill::traceEdge(_VORNPOINT previous, _VORNPOINT start, _VORNPOINT end, int extremumRun) {
    const std::int64_t dx = std::int64_t{end.x} - start.x;
    const std::int64_t dy = std::int64_t{end.y} - start.y;
    const std::int64_t dv = std::int64_t{start.y} - previous.y;
    const bool turning = dy != 0 && dv != 0 && ((dy > 0) != (dv > 0));
    const int arriving = dv >= 0 ? 1 : -1;

    if (dx == 0 && dy == 0) {
        if (start.y < 0) {
            return;
        }
        if (extremumRun) {
            cross(start.x, start.y, arriving);
        } else {
            mark(start.x, start.y);
        }
        return;
    }
    if (dx == 0) {
        traceVertical(start, end, turning);
        return;
    }
    if (dy == 0) {
        std::int64_t from = start.x;
        if (extremumRun) {
            cross(start.x, start.y, arriving);
            from += signOf(dx);
        }
        // The run's marks include its end point.
        markRun(start.y, from, end.x);
        return;
    }
    if (magnitude(dx) > magnitude(dy)) {
        traceXMajor(start, end, turning);
    } else {
        traceYMajor(start, end, turning);
    }
}

void ScanFill::traceVertical(_VORNPOINT a, _VORNPOINT b, bool turning) {
    if (a.x >= width_) {
        return;
    }
    const int sy = b.y > a.y ? 1 : -1;
    std::int64_t first = a.y;
    if (turning) {
        mark(a.x, a.y);
        first += sy;
    }
    // Crossings from `first` toward b.y, b.y excluded, kept to the rows.
    if (sy > 0) {
        const std::int64_t lo = std::max<std::int64_t>(first, 0);
        const std::int64_t hi = std::min<std::int64_t>(std::int64_t{b.y} - 1, height_ - 1);
        for (std::int64_t y = lo; y <= hi; ++y) {
            cross(a.x, y, 1);
        }
    } else {
        const std::int64_t hi = std::min<std::int64_t>(first, height_ - 1);
        const std::int64_t lo = std::max<std::int64_t>(std::int64_t{b.y} + 1, 0);
        for (std::int64_t y = hi; y >= lo; --y) {
            cross(a.x, y, -1);
        }
    }
}

// One crossing per row, at the row's first pixel in the direction of the
// walk; the other pixels are marked. Step k lies at x = a.x + sx * k on row
// a.y + sy * m(k).
void ScanFill::traceXMajor(_VORNPOINT a, _VORNPOINT b, bool turning) {
    const EdgeSteps edge(a, b);
    const int sx = edge.sx;
    const int sy = edge.sy;
    const std::uint64_t ax = edge.ax;
    const std::uint64_t ay = edge.ay;
    const std::int64_t steps = static_cast<std::int64_t>(ax);

    // Steps whose row lies in the buffer: m(k) within [mLo, mHi].
    std::int64_t mLo = sy > 0 ? -std::int64_t{a.y} : std::int64_t{a.y} - (height_ - 1);
    const std::int64_t mHi = sy > 0 ? std::int64_t{height_ - 1} - a.y : std::int64_t{a.y};
    mLo = std::max<std::int64_t>(mLo, 0);
    if (mHi < mLo || mLo > static_cast<std::int64_t>(ay)) {
        return;
    }
    std::int64_t kLo = static_cast<std::int64_t>(bresenhamStepsToReach(ax, ay, mLo));
    std::int64_t kHi = mHi >= static_cast<std::int64_t>(ay)
                           ? steps
                           : static_cast<std::int64_t>(bresenhamStepsToReach(ax, ay, mHi + 1));
    kHi = std::min(kHi, steps);
    // Steps left of the right edge: x < width.
    if (sx > 0) {
        kHi = std::min(kHi, std::int64_t{width_} - a.x);
    } else {
        kLo = std::max(kLo, std::int64_t{a.x} - width_ + 1);
    }
    if (kLo >= kHi) {
        return;
    }
    // Split into the steps left of the buffer (x < 0) and the others.
    std::int64_t leftLo;
    std::int64_t leftHi;
    std::int64_t midLo;
    std::int64_t midHi;
    if (sx > 0) {
        leftLo = kLo;
        leftHi = std::max(kLo, std::min(kHi, -std::int64_t{a.x}));
        midLo = leftHi;
        midHi = kHi;
    } else {
        leftLo = std::min(kHi, std::max(kLo, std::int64_t{a.x} + 1));
        leftHi = kHi;
        midLo = kLo;
        midHi = leftLo;
    }
    auto minorAt = [&](std::int64_t k) {
        return static_cast<std::int64_t>(
            bresenhamMinorSteps(ax, ay, static_cast<std::uint64_t>(k)));
    };
    auto startsRow = [&](std::int64_t k, std::int64_t m) { return k == 0 || minorAt(k - 1) != m; };

    if (leftLo < leftHi) {
        // Only crossings land here, one per row entered on this side.
        const std::int64_t m0 = minorAt(leftLo);
        const std::int64_t m1 = minorAt(leftHi - 1);
        const std::int64_t y0 = a.y + sy * m0;
        if (startsRow(leftLo, m0) && !(leftLo == 0 && turning) && y0 != b.y) {
            carryRow(y0, sy);
        }
        for (std::int64_t m = m0 + 1; m <= m1; ++m) {
            const std::int64_t y = a.y + sy * m;
            if (y != b.y) {
                carryRow(y, sy);
            }
        }
    }
    if (midLo >= midHi) {
        return;
    }
    std::int64_t m = minorAt(midLo);
    bool newRow = startsRow(midLo, m);
    std::int64_t e = bresenhamError(ax, ay, static_cast<std::uint64_t>(midLo));
    std::int64_t x = a.x + sx * midLo;
    std::int64_t y = a.y + sy * m;
    const std::int64_t twoAx = 2 * static_cast<std::int64_t>(ax);
    const std::int64_t twoAy = 2 * static_cast<std::int64_t>(ay);
    // Every step here lies inside the buffer. Marks are gathered per row and
    // the row's span widened once.
    std::int64_t runFirst = x;
    for (std::int64_t k = midLo; k < midHi; ++k) {
        unsigned short& c = map_[y * width_ + x];
        if (k == 0 && turning) {
            if (c < 256) {
                c = static_cast<unsigned short>(c + 256);
            }
        } else if (newRow && y != b.y) {
            c = static_cast<unsigned short>(c + (sy > 0 ? 1 : 16));
            extendCross(static_cast<int>(y), static_cast<int>(x));
        } else if (c < 256) {
            c = static_cast<unsigned short>(c + 256);
        }
        newRow = false;
        e += twoAy;
        if (e > 0) {
            extendSpan(static_cast<int>(y), static_cast<int>(std::min(runFirst, x)),
                       static_cast<int>(std::max(runFirst, x)));
            y += sy;
            e -= twoAx;
            newRow = true;
            runFirst = x + sx;
        }
        x += sx;
    }
    // The last row's run, unless the walk ended just as it changed rows.
    if (!newRow) {
        const std::int64_t last = x - sx;
        extendSpan(static_cast<int>(y), static_cast<int>(std::min(runFirst, last)),
                   static_cast<int>(std::max(runFirst, last)));
    }
}

// One crossing per row (a turning start vertex is marked instead). Step k
// lies on row a.y + sy * k at x = a.x + sx * m(k).
void ScanFill::traceYMajor(_VORNPOINT a, _VORNPOINT b, bool turning) {
    const EdgeSteps edge(a, b);
    const int sx = edge.sx;
    const int sy = edge.sy;
    const std::uint64_t ax = edge.ax;
    const std::uint64_t ay = edge.ay;
    const std::int64_t steps = static_cast<std::int64_t>(ay);

    std::int64_t kLo;
    std::int64_t kHi;
    if (sy > 0) {
        kLo = std::max<std::int64_t>(0, -std::int64_t{a.y});
        kHi = std::min<std::int64_t>(steps, std::int64_t{height_} - a.y);
    } else {
        kLo = std::max<std::int64_t>(0, std::int64_t{a.y} - (height_ - 1));
        kHi = std::min<std::int64_t>(steps, std::int64_t{a.y} + 1);
    }
    // Steps left of the right edge: x < width.
    if (sx > 0) {
        const std::int64_t room = std::int64_t{width_} - a.x;
        if (room <= 0) {
            return;
        }
        kHi = std::min(kHi, static_cast<std::int64_t>(bresenhamStepsToReach(ay, ax, room)));
    } else {
        const std::int64_t over = std::int64_t{a.x} - width_ + 1;
        kLo = std::max(kLo, static_cast<std::int64_t>(bresenhamStepsToReach(ay, ax, over)));
    }
    if (kLo >= kHi) {
        return;
    }
    const std::uint64_t k0 = static_cast<std::uint64_t>(kLo);
    std::int64_t x = a.x + sx * static_cast<std::int64_t>(bresenhamMinorSteps(ay, ax, k0));
    std::int64_t y = a.y + sy * kLo;
    std::int64_t e = bresenhamError(ay, ax, k0);
    const std::int64_t twoAx = 2 * static_cast<std::int64_t>(ax);
    const std::int64_t twoAy = 2 * static_cast<std::int64_t>(ay);
    for (std::int64_t k = kLo; k < kHi; ++k) {
        if (k == 0 && turning) {
            mark(x, y);
        } else {
            cross(x, y, sy);
        }
        e += twoAx;
        if (e > 0) {
            x += sx;
            e -= twoAy;
        }
        y += sy;
    }
}

// ---------------------------------------------------------------------------
// Contours
// ---------------------------------------------------------------------------

void ScanFill::traceContour(const _VORNPOINT* points, int n, Bounds& bounds) {
    const std::int64_t count = distinctContourSize(points, n);
    if (count < 1) {
        return;
    }
    if (count >= 2) {
        bounds.minX = bounds.maxX = points[0].x;
        bounds.minY = bounds.maxY = points[0].y;
        for (std::int64_t i = 1; i < count; ++i) {
            bounds.minX = std::min(bounds.minX, points[i].x);
            bounds.maxX = std::max(bounds.maxX, points[i].x);
            bounds.minY = std::min(bounds.minY, points[i].y);
            bounds.maxY = std::max(bounds.maxY, points[i].y);
        }
    }
    for (std::int64_t i = 0; i + 1 < count; ++i) {
        const _VORNPOINT& previous = points[i == 0 ? count - 1 : i - 1];
        traceEdge(previous, points[i], points[i + 1], extremumRunFlag(points, count, i));
    }
    if (count >= 2) {
        traceEdge(points[count - 2], points[count - 1], points[0],
                  extremumRunFlag(points, count, count - 1));
    }
}

} // namespace vorn::detail
