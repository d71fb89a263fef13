// SPDX-License-Identifier: MIT
// The span scan converter's edge tracer: the writes of fillLine, made only
// where they can land, or described instead of made (see ScanFill). An
// edge is entered at the first step that reaches the rows being traced (a
// band of the buffer's rows) and left at the last; steps right of the
// buffer are skipped; steps left of it only count one crossing per row
// into the row's carry. The Bresenham state where a walk is entered comes
// in closed form, so the cost of an edge follows the part of it over the
// rows and columns traced, not its length.

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

void ScanFill::foldRuns(unsigned short* record, std::int32_t begin, std::int32_t end) {
    const std::int32_t n = runCount(record);
    for (int i = 0; i < n; ++i) {
        const Run r = runAt(record, i);
        begin = std::min(begin, r.begin);
        end = std::max(end, r.end);
    }
    setRunAt(record, 0, Run{begin, end});
    setRunCount(record, 1);
}

int ScanFill::takeRuns(int y, Run* runs) {
    unsigned short* record = recordOf(y);
    const int n = runCount(record);
    if (n == 0) {
        return 0;
    }
    setRunCount(record, 0);
    if (n == 1) {
        runs[0] = runAt(record, 0);
        return 1;
    }
    // Sorted by begin through a fixed network of compare-exchanges, with
    // the ranges as 64-bit keys (begin above end; both lie in 0..width)
    // and empty slots last: no branch depends on the order they came in.
    static_assert(kRowRuns == 6, "the network sorts six ranges");
    std::uint64_t key[kRowRuns];
    for (int i = 0; i < kRowRuns; ++i) {
        key[i] = ~std::uint64_t{0};
    }
    for (int i = 0; i < n; ++i) {
        const Run r = runAt(record, i);
        key[i] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.begin)) << 32) |
                 static_cast<std::uint32_t>(r.end);
    }
    auto exchange = [&](int i, int j) {
        const std::uint64_t lo = std::min(key[i], key[j]);
        const std::uint64_t hi = std::max(key[i], key[j]);
        key[i] = lo;
        key[j] = hi;
    };
    exchange(0, 5);
    exchange(1, 3);
    exchange(2, 4);
    exchange(1, 2);
    exchange(3, 4);
    exchange(0, 3);
    exchange(2, 5);
    exchange(0, 1);
    exchange(2, 3);
    exchange(4, 5);
    exchange(1, 2);
    exchange(3, 4);
    int merged = 0;
    for (int i = 0; i < n; ++i) {
        const Run r{static_cast<std::int32_t>(key[i] >> 32),
                    static_cast<std::int32_t>(key[i] & 0xFFFFFFFFu)};
        if (merged > 0 && r.begin <= runs[merged - 1].end) {
            runs[merged - 1].end = std::max(runs[merged - 1].end, r.end);
        } else {
            runs[merged++] = r;
        }
    }
    return merged;
}

// ---------------------------------------------------------------------------
// Single writes
// ---------------------------------------------------------------------------

void ScanFill::carryRow(std::int64_t y, int direction) {
    unsigned short& c = carry_[y];
    c = static_cast<unsigned short>(c + direction);
}

void ScanFill::cross(std::int64_t x, std::int64_t y, int direction) {
    if (y < rowLo_ || y > rowHi_) {
        return;
    }
    if (x < 0) {
        carryRow(y, direction);
        return;
    }
    if (x >= width_) {
        return;
    }
    if (describing_) {
        describe(y, x, x + 1, direction);
        return;
    }
    unsigned short& c = cellRow(y)[x];
    c = static_cast<unsigned short>(c + (direction > 0 ? 1 : 16));
    addRun(static_cast<int>(y), static_cast<std::int32_t>(x), static_cast<std::int32_t>(x + 1));
}

void ScanFill::mark(std::int64_t x, std::int64_t y) {
    if (x < 0 || x >= width_ || y < rowLo_ || y > rowHi_) {
        return;
    }
    if (describing_) {
        describe(y, x, x + 1, 0);
        return;
    }
    unsigned short& c = cellRow(y)[x];
    if (c < 256) {
        c = static_cast<unsigned short>(c + 256);
        addRun(static_cast<int>(y), static_cast<std::int32_t>(x), static_cast<std::int32_t>(x + 1));
    }
}

void ScanFill::markRun(std::int64_t y, std::int64_t from, std::int64_t to) {
    if (y < rowLo_ || y > rowHi_) {
        return;
    }
    const std::int64_t lo = std::max<std::int64_t>(std::min(from, to), 0);
    const std::int64_t hi = std::min<std::int64_t>(std::max(from, to), width_ - 1);
    if (lo > hi) {
        return;
    }
    if (describing_) {
        describe(y, lo, hi + 1, 0);
        return;
    }
    unsigned short* row = cellRow(y);
    for (std::int64_t x = lo; x <= hi; ++x) {
        if (row[x] < 256) {
            row[x] = static_cast<unsigned short>(row[x] + 256);
        }
    }
    addRun(static_cast<int>(y), static_cast<std::int32_t>(lo), static_cast<std::int32_t>(hi + 1));
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
        const std::int64_t lo = std::max<std::int64_t>(first, rowLo_);
        const std::int64_t hi = std::min<std::int64_t>(std::int64_t{b.y} - 1, rowHi_);
        for (std::int64_t y = lo; y <= hi; ++y) {
            cross(a.x, y, 1);
        }
    } else {
        const std::int64_t hi = std::min<std::int64_t>(first, rowHi_);
        const std::int64_t lo = std::max<std::int64_t>(std::int64_t{b.y} + 1, rowLo_);
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

    // Steps whose row lies in the rows traced: m(k) within [mLo, mHi].
    std::int64_t mLo = sy > 0 ? rowLo_ - std::int64_t{a.y} : std::int64_t{a.y} - rowHi_;
    const std::int64_t mHi = sy > 0 ? rowHi_ - std::int64_t{a.y} : std::int64_t{a.y} - rowLo_;
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
    // Every step here lies inside the buffer. A row's cells are listed as
    // one range once the walk leaves it.
    std::int64_t runFirst = x;
    if (describing_) {
        int turn = 0;
        for (std::int64_t k = midLo; k < midHi; ++k) {
            if (!(k == 0 && turning) && newRow && y != b.y) {
                turn = sy;
            }
            newRow = false;
            e += twoAy;
            if (e > 0) {
                describe(y, std::min(runFirst, x), std::max(runFirst, x) + 1, turn);
                turn = 0;
                y += sy;
                e -= twoAx;
                newRow = true;
                runFirst = x + sx;
            }
            x += sx;
        }
        if (!newRow) {
            const std::int64_t last = x - sx;
            describe(y, std::min(runFirst, last), std::max(runFirst, last) + 1, turn);
        }
        return;
    }
    for (std::int64_t k = midLo; k < midHi; ++k) {
        unsigned short& c = cellRow(y)[x];
        if (k == 0 && turning) {
            if (c < 256) {
                c = static_cast<unsigned short>(c + 256);
            }
        } else if (newRow && y != b.y) {
            c = static_cast<unsigned short>(c + (sy > 0 ? 1 : 16));
        } else if (c < 256) {
            c = static_cast<unsigned short>(c + 256);
        }
        newRow = false;
        e += twoAy;
        if (e > 0) {
            addRun(static_cast<int>(y), static_cast<std::int32_t>(std::min(runFirst, x)),
                   static_cast<std::int32_t>(std::max(runFirst, x) + 1));
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
        addRun(static_cast<int>(y), static_cast<std::int32_t>(std::min(runFirst, last)),
               static_cast<std::int32_t>(std::max(runFirst, last) + 1));
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
        kLo = std::max<std::int64_t>(0, rowLo_ - std::int64_t{a.y});
        kHi = std::min<std::int64_t>(steps, rowHi_ + 1 - std::int64_t{a.y});
    } else {
        kLo = std::max<std::int64_t>(0, std::int64_t{a.y} - rowHi_);
        kHi = std::min<std::int64_t>(steps, std::int64_t{a.y} - rowLo_ + 1);
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
    // Every step lies on the rows traced and left of the right edge; those
    // left of the buffer count into the row's carry.
    const unsigned short delta = sy > 0 ? 1 : 16;
    if (describing_) {
        // One column per row, and no cells: the loop keeps to that.
        std::int64_t k = kLo;
        if (k == 0 && turning) {
            mark(x, y);
            e += twoAx;
            if (e > 0) {
                x += sx;
                e -= twoAy;
            }
            y += sy;
            ++k;
        }
        for (; k < kHi; ++k) {
            if (x < 0) {
                carryRow(y, sy);
            } else {
                describe(y, x, x + 1, sy);
            }
            e += twoAx;
            if (e > 0) {
                x += sx;
                e -= twoAy;
            }
            y += sy;
        }
        return;
    }
    for (std::int64_t k = kLo; k < kHi; ++k) {
        if (k == 0 && turning) {
            mark(x, y);
        } else if (x < 0) {
            carryRow(y, sy);
        } else {
            unsigned short& c = cellRow(y)[x];
            c = static_cast<unsigned short>(c + delta);
            addRun(static_cast<int>(y), static_cast<std::int32_t>(x),
                   static_cast<std::int32_t>(x + 1));
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

void ScanFill::traceEdges(const _VORNPOINT* points, std::int64_t count) {
    // Edges that keep off the rows traced write nothing there.
    auto crosses = [&](const _VORNPOINT& a, const _VORNPOINT& b) {
        return std::max(a.y, b.y) >= rowLo_ && std::min(a.y, b.y) <= rowHi_;
    };
    auto trace = [&](std::int64_t i) {
        const std::int64_t next = i + 1 < count ? i + 1 : 0;
        if (crosses(points[i], points[next])) {
            const _VORNPOINT& previous = points[i == 0 ? count - 1 : i - 1];
            traceEdge(previous, points[i], points[next], extremumRunFlag(points, count, i));
        }
    };
    const std::int64_t edges = count >= 2 ? count : count - 1;
    if (!describing_ || edges > kOrderedEdges) {
        // With cells, in the order of the contour: a cell's border mark
        // depends on what earlier edges wrote there.
        for (std::int64_t i = 0; i < edges; ++i) {
            trace(i);
        }
        return;
    }
    // Described rows do not depend on the order of the edges; taken from
    // left to right (by the column at the middle of the rows traced), a
    // row's descriptions come in the order they are sorted into.
    int order[kOrderedEdges];
    double key[kOrderedEdges];
    const double middle = (static_cast<double>(rowLo_) + static_cast<double>(rowHi_)) / 2.0;
    int n = 0;
    for (std::int64_t i = 0; i < edges; ++i) {
        const _VORNPOINT& a = points[i];
        const _VORNPOINT& b = points[i + 1 < count ? i + 1 : 0];
        if (!crosses(a, b)) {
            continue;
        }
        const double t =
            a.y == b.y ? 0.0 : std::min(1.0, std::max(0.0, (middle - a.y) / (double(b.y) - a.y)));
        const double x = a.x + t * (double(b.x) - a.x);
        int j = n++;
        while (j > 0 && key[j - 1] > x) {
            key[j] = key[j - 1];
            order[j] = order[j - 1];
            --j;
        }
        key[j] = x;
        order[j] = static_cast<int>(i);
    }
    for (int j = 0; j < n; ++j) {
        trace(order[j]);
    }
}

} // namespace vorn::detail
