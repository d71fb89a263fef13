// SPDX-License-Identifier: MIT
// The span scan converter's row passes: the map pass that turns a contour's
// crossings into covered cells, and the last pass that paints the covered
// pixels and clears the work areas behind it, either from the rows'
// descriptions or from their cells. Both visit only the columns that each
// row's ranges name and treat a run of zero cells in one go; the rule
// applied to every cell is the map pass of fillMap. Covered runs are
// gathered while a band's cells are in the cache and painted after it;
// rows painted from their descriptions have no cells, and when the colour
// simply replaces the pixels their runs are painted at once, so that the
// stores of one row drain while the next is worked out.

#include "vector/vector.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace vorn::detail {

namespace {

// The first cell in [from, end) that is not 0, or end.
int nextNonZero(const unsigned short* row, int from, int end) {
    int x = from;
    // Sixteen cells at a time through the long zero runs inside a polygon.
    while (x + 16 <= end) {
        std::uint64_t a;
        std::uint64_t b;
        std::uint64_t c;
        std::uint64_t d;
        std::memcpy(&a, row + x, 8);
        std::memcpy(&b, row + x + 4, 8);
        std::memcpy(&c, row + x + 8, 8);
        std::memcpy(&d, row + x + 12, 8);
        if ((a | b | c | d) != 0) {
            break;
        }
        x += 16;
    }
    while (x + 4 <= end) {
        std::uint64_t v;
        std::memcpy(&v, row + x, 8);
        if (v != 0) {
            break;
        }
        x += 4;
    }
    while (x < end && row[x] == 0) {
        ++x;
    }
    return x;
}

// The first cell in [from, end) that is 0, or end.
int nextZero(const unsigned short* row, int from, int end) {
    int x = from;
    while (x + 4 <= end) {
        std::uint64_t v;
        std::memcpy(&v, row + x, 8);
        // Non-zero exactly when one of the four 16-bit lanes is 0.
        if (((v - 0x0001000100010001ull) & ~v & 0x8000800080008000ull) != 0) {
            break;
        }
        x += 4;
    }
    while (x < end && row[x] != 0) {
        ++x;
    }
    return x;
}

// The map pass's rule for one cell c under the running winding w (16 bits):
// returns the cell's new value and updates w.
unsigned short mapCell(unsigned short c, unsigned short& w) {
    const unsigned up = c & 15u;
    const unsigned down = (c >> 4) & 15u;
    w = static_cast<unsigned short>(w + up - down);
    if (w != 0) {
        return c == 512 ? 0 : 512;
    }
    if (up != 0 || down != 0) {
        return 512;
    }
    return c;
}

// The rule over [from, to] (cells that are 0 under a winding of 0 are left
// alone), writing the cells; returns the winding after `to`.
unsigned short mapCells(unsigned short* row, int from, int to, unsigned short w) {
    const int end = to + 1;
    int x = from;
    while (x < end) {
        const int z = nextNonZero(row, x, end);
        if (w != 0) {
            std::fill(row + x, row + z, static_cast<unsigned short>(512));
        }
        if (z >= end) {
            break;
        }
        row[z] = mapCell(row[z], w);
        x = z + 1;
    }
    return w;
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

void combineBytes(_VORNRGBAQUAD& p, const _VORNRGBAQUAD& c) {
    auto one = [](unsigned char a, unsigned char b) {
        return static_cast<unsigned char>(a != 0 && b != 0 ? a & b : a | b);
    };
    p.blue = one(p.blue, c.blue);
    p.green = one(p.green, c.green);
    p.red = one(p.red, c.red);
    p.alpha = one(p.alpha, c.alpha);
}

// Paints pixels of one row for a painter.
class RowPainter {
public:
    RowPainter(const Painter& painter, const RowKernels& kernels, _VORNRGBAQUAD* row, int y,
               std::ptrdiff_t ahead)
        : p_(painter), kernels_(kernels), row_(row), ahead_(ahead) {
        if (p_.kind == Painter::Texture) {
            texRow_ = p_.texels + static_cast<std::size_t>(y % p_.textureHeight) *
                                      static_cast<std::size_t>(p_.textureWidth);
        }
    }

    void pixel(int x) {
        _VORNRGBAQUAD& d = row_[x];
        switch (p_.kind) {
        case Painter::Write:
            d = p_.colour;
            return;
        case Painter::Combine:
            combineBytes(d, p_.colour);
            return;
        case Painter::Toggle:
            d = toWord(d) == toWord(p_.colour) ? fromWord(0) : p_.colour;
            return;
        case Painter::Blend:
            blendPixel(d, p_.colour, 255);
            return;
        case Painter::Texture:
            blendPixel(d, texRow_[x % p_.textureWidth], p_.opacity);
            return;
        }
    }

    // Pixels from..to, both included, left to right.
    void run(int from, int to) {
        const std::size_t n = static_cast<std::size_t>(to - from + 1);
        switch (p_.kind) {
        case Painter::Write:
            // The pixels of an edge come a few at a time.
            if (n <= 4) {
                for (int x = from; x <= to; ++x) {
                    row_[x] = p_.colour;
                }
                return;
            }
            kernels_.fillPixels(row_ + from, n, p_.colour);
            return;
        case Painter::Blend:
            blendColourRow(row_ + from, n, p_.colour, ahead_);
            return;
        case Painter::Texture:
            texture(from, to);
            return;
        case Painter::Combine:
        case Painter::Toggle:
            break;
        }
        for (int x = from; x <= to; ++x) {
            pixel(x);
        }
    }

private:
    void texture(int from, int to) {
        const int tw = p_.textureWidth;
        int tx = from % tw;
        if (p_.opacity != 255 || p_.textureOverlaps) {
            // One pixel at a time, in order: a texture sharing memory with
            // this buffer sees every pixel as earlier steps left it.
            for (int x = from; x <= to; ++x) {
                blendPixel(row_[x], texRow_[tx], p_.opacity);
                if (++tx == tw) {
                    tx = 0;
                }
            }
            return;
        }
        int x = from;
        while (x <= to) {
            const int n = std::min(to - x + 1, tw - tx);
            blendRow(row_ + x, texRow_ + tx, static_cast<std::size_t>(n));
            x += n;
            tx = 0;
        }
    }

    const Painter& p_;
    const RowKernels& kernels_;
    _VORNRGBAQUAD* row_;
    std::ptrdiff_t ahead_;
    const _VORNRGBAQUAD* texRow_ = nullptr;
};

} // namespace

// Covered runs of pixels, gathered while the cells that decide them are in
// the cache and painted afterwards, in the order they came: row by row from
// the top, left to right.
class CoveredRuns {
public:
    CoveredRuns(const Painter& painter, const RowKernels& kernels, _VORNRGBAQUAD* pixels, int width,
                int height)
        : painter_(painter), kernels_(kernels), pixels_(pixels), width_(width), height_(height) {}
    ~CoveredRuns() { paint(); }
    CoveredRuns(const CoveredRuns&) = delete;
    CoveredRuns& operator=(const CoveredRuns&) = delete;

    /// Pixels from..to of row y, both included.
    void add(int y, int from, int to) {
        if (count_ == kCapacity) {
            paint();
        }
        runs_[count_++] = Entry{y, from, to};
    }

    /// Pixels from..to of row y, both included, painted at once when the
    /// colour simply replaces them (no cells to keep in the cache then),
    /// else gathered as by add.
    void addNow(int y, int from, int to) {
        if (painter_.kind == Painter::Write) {
            write(y, from, to);
        } else {
            add(y, from, to);
        }
    }

    /// Every non-zero cell of [from, to] of row y.
    void addCells(int y, const unsigned short* cells, int from, int to) {
        const int end = to + 1;
        int x = from;
        while (x < end) {
            x = nextNonZero(cells, x, end);
            if (x >= end) {
                return;
            }
            const int z = nextZero(cells, x, end);
            add(y, x, z - 1);
            x = z;
        }
    }

    void paint() {
        if (painter_.kind == Painter::Write) {
            // The common case without the painter's dispatch.
            for (int i = 0; i < count_; ++i) {
                write(runs_[i].y, runs_[i].from, runs_[i].to);
            }
            count_ = 0;
            return;
        }
        int i = 0;
        while (i < count_) {
            const int y = runs_[i].y;
            const std::size_t offset =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
            RowPainter row(painter_, kernels_, pixels_ + offset, y, y + 1 < height_ ? width_ : 0);
            for (; i < count_ && runs_[i].y == y; ++i) {
                row.run(runs_[i].from, runs_[i].to);
            }
        }
        count_ = 0;
    }

private:
    void write(int y, int from, int to) {
        _VORNRGBAQUAD* p =
            pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + from;
        const int n = to - from + 1;
        if (n <= 4) {
            for (int k = 0; k < n; ++k) {
                p[k] = painter_.colour;
            }
        } else {
            kernels_.fillPixels(p, static_cast<std::size_t>(n), painter_.colour);
        }
    }

    struct Entry {
        int y;
        int from;
        int to;
    };
    static constexpr int kCapacity = 256;

    const Painter& painter_;
    const RowKernels& kernels_;
    _VORNRGBAQUAD* pixels_;
    int width_;
    int height_;
    Entry runs_[kCapacity];
    int count_ = 0;
};

namespace {} // namespace

// ---------------------------------------------------------------------------
// ScanFill
// ---------------------------------------------------------------------------

ScanFill::ScanFill(const ScanSurface& surface)
    : pixels_(surface.pixels), width_(surface.width), height_(surface.height),
      map_(surface.edgeMap), band_(surface.rowCarry + bandCellsOffset(surface.height)),
      cells_(surface.edgeMap), cellsRow0_(0), carry_(surface.rowCarry),
      records_(surface.rowCarry + rowRecordsOffset(surface.height)), rowsBegin_(0), rowsEnd_(0),
      rowLo_(0), rowHi_(surface.height - 1) {
    const std::size_t h = static_cast<std::size_t>(height_);
    if (carry_[h] != 0) {
        std::memset(map_, 0, static_cast<std::size_t>(width_) * h * sizeof *map_);
        std::memset(carry_, 0, rowCarryCells(width_, height_) * sizeof *carry_);
    }
}

void ScanFill::fillContour(const _VORNPOINT* points, int n, const Painter* painter) {
    const std::int64_t count = distinctContourSize(points, n);
    Bounds bounds;
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
    const int y0 = std::max(bounds.minY, 0);
    const int y1 = std::min(bounds.maxY, height_ - 1);
    const int x0 = std::max(bounds.minX, 0);
    const int x1 = std::min(bounds.maxX, width_ - 1);
    // Top to bottom: rows that earlier contours left above this one's
    // bounds, its own rows band by band, the rows below.
    const bool earlier = rowsEnd_ > rowsBegin_;
    const int above = earlier ? rowsBegin_ : y0;
    const int below = earlier ? rowsEnd_ - 1 : y1;
    if (!painter) {
        for (int b0 = y0; b0 <= y1; b0 += kBandRows) {
            rowLo_ = b0;
            rowHi_ = std::min(y1, b0 + (kBandRows - 1));
            traceEdges(points, count);
            for (int y = b0; y <= rowHi_; ++y) {
                mapRow(y, x0, x1);
            }
        }
        rowLo_ = 0;
        rowHi_ = height_ - 1;
        return;
    }
    CoveredRuns covered(*painter, rowKernels(), pixels_, width_, height_);
    for (int y = above; y < y0 && y <= below; ++y) {
        paintRow(y, false, x0, x1, covered);
    }
    for (int d0 = y0; d0 <= y1; d0 += kDescribedRows) {
        const int d1 = std::min(y1, d0 + (kDescribedRows - 1));
        // The last contour is traced without cells at all where no earlier
        // contour left cells and its edges do not crowd a row.
        if (!(earlier && d0 <= below && d1 >= above)) {
            unsigned short carries[kDescribedRows];
            std::copy(carry_ + d0, carry_ + d1 + 1, carries);
            rowLo_ = d0;
            rowHi_ = d1;
            describing_ = true;
            overflow_ = false;
            traceEdges(points, count);
            describing_ = false;
            if (!overflow_) {
                for (int y = d0; y <= d1; ++y) {
                    paintDescribed(y, x0, x1, covered);
                }
                covered.paint();
                continue;
            }
            std::copy(carries, carries + (d1 - d0 + 1), carry_ + d0);
            std::fill(describedCount_, describedCount_ + kDescribedRows, 0);
        }
        // Otherwise with cells, a smaller band at a time: the band's own
        // cells where no earlier contour left any, edgeMap where one did.
        for (int b0 = d0; b0 <= d1; b0 += kBandRows) {
            const int b1 = std::min(d1, b0 + (kBandRows - 1));
            rowLo_ = b0;
            rowHi_ = b1;
            const bool ownCells = !(earlier && b0 <= below && b1 >= above);
            cells_ = ownCells ? band_ : map_;
            cellsRow0_ = ownCells ? b0 : 0;
            traceEdges(points, count);
            for (int y = b0; y <= b1; ++y) {
                paintRow(y, true, x0, x1, covered);
            }
            covered.paint();
        }
    }
    rowLo_ = 0;
    rowHi_ = height_ - 1;
    cells_ = map_;
    cellsRow0_ = 0;
    for (int y = std::max(y1 + 1, above); y <= below; ++y) {
        paintRow(y, false, x0, x1, covered);
    }
    covered.paint();
    rowsBegin_ = 0;
    rowsEnd_ = 0;
}

// The map rule covers the contour's columns x0..x1 of a row, starting from
// the row's carry; the cells outside the row's ranges are 0, so between
// ranges the rule reduces to "covered while the winding is not 0".

void ScanFill::mapRow(int y, int x0, int x1) {
    unsigned short w = carry_[y];
    // Each contour has its own winding: what lies left of the buffer does
    // not reach the next contour.
    carry_[y] = 0;
    if (x0 > x1) {
        return;
    }
    Run runs[kRowRuns];
    const int n = takeRuns(y, runs);
    if (n == 0 && w == 0) {
        return;
    }
    unsigned short* row = cellRow(y);
    std::int32_t lo = n > 0 ? runs[0].begin : x0;
    std::int32_t hi = n > 0 ? runs[n - 1].end : x0;
    int pos = x0;
    auto fill = [&](int from, int to) { // zero cells under a winding
        std::fill(row + from, row + to + 1, static_cast<unsigned short>(512));
        lo = std::min(lo, from);
        hi = std::max(hi, to + 1);
    };
    for (int i = 0; i < n; ++i) {
        const int gapEnd = std::min(runs[i].begin, x1 + 1);
        if (w != 0 && gapEnd > pos) {
            fill(pos, gapEnd - 1);
        }
        const int b = std::max(runs[i].begin, x0);
        const int e = std::min(runs[i].end, x1 + 1);
        if (b < e) {
            w = mapCells(row, b, e - 1, w);
        }
        pos = std::max(pos, e);
    }
    if (w != 0 && pos <= x1) {
        fill(pos, x1);
    }
    addRun(y, lo, hi);
}

void ScanFill::paintDescribed(int y, int x0, int x1, CoveredRuns& covered) {
    unsigned short w = carry_[y];
    carry_[y] = 0;
    const std::size_t r = static_cast<std::size_t>(y - rowLo_);
    const int n = describedCount_[r];
    describedCount_[r] = 0;
    if (x0 > x1) {
        // No part of the box in the buffer: the edges wrote nothing here.
        return;
    }
    if (n == 0 && w == 0) {
        return;
    }
    // The written columns by where they begin (traced left to right, they
    // mostly come in order).
    Described* d = described_[r];
    for (int i = 1; i < n; ++i) {
        const Described v = d[i];
        int j = i;
        while (j > 0 && d[j - 1].begin > v.begin) {
            d[j] = d[j - 1];
            --j;
        }
        d[j] = v;
    }
    // Left to right over the written columns, overlapping or touching
    // ones taken together: they are covered, and so are the empty columns
    // before them (from x0 on) while the winding is not 0; after them the
    // winding has changed by their crossings. Groups neither overlap nor
    // touch, so a covered run ends exactly where a group is followed by a
    // winding of 0; it reaches x1 when the winding stays non-zero.
    int start = -1;
    int end = x0; // the covered run being gathered: start..end - 1
    int i = 0;
    while (i < n) {
        const int begin = d[i].begin;
        int stop = d[i].end;
        int turn = d[i].turn;
        for (++i; i < n && d[i].begin <= stop; ++i) {
            stop = std::max(stop, d[i].end);
            turn += d[i].turn;
        }
        if (start < 0) {
            start = w != 0 ? x0 : begin;
        } else if (w == 0) {
            covered.addNow(y, start, end - 1);
            start = begin;
        }
        end = stop;
        w = static_cast<unsigned short>(w + turn);
    }
    if (w != 0) {
        if (start < 0) {
            start = x0;
        }
        end = std::max(end, x1 + 1);
    }
    if (start >= 0) {
        covered.addNow(y, start, end - 1);
    }
}

void ScanFill::paintRow(int y, bool inBox, int x0, int x1, CoveredRuns& covered) {
    unsigned short w = 0;
    if (inBox) {
        w = carry_[y];
        carry_[y] = 0;
    }
    const bool mapping = inBox && x0 <= x1;
    Run runs[kRowRuns];
    const int n = takeRuns(y, runs);
    if (n == 0 && !(mapping && w != 0)) {
        return;
    }
    unsigned short* cells = cellRow(y);
    if (!mapping) {
        for (int i = 0; i < n; ++i) {
            covered.addCells(y, cells, runs[i].begin, runs[i].end - 1);
            std::fill(cells + runs[i].begin, cells + runs[i].end, static_cast<unsigned short>(0));
        }
        return;
    }
    // Left to right, with covered pixels gathered into runs that are
    // painted in one go (an edge's cells, the inside, the other edge's
    // cells): the parts of ranges left of the box as they are, the box
    // under the map rule, the parts right of it as they are.
    int start = -1; // the first pixel of the covered run being gathered
    auto flush = [&](int end) {
        if (start >= 0) {
            covered.add(y, start, end - 1);
            start = -1;
        }
    };
    int pos = x0;
    for (int i = 0; i < n; ++i) {
        const Run r = runs[i];
        if (r.begin < x0) {
            covered.addCells(y, cells, r.begin, std::min(r.end, x0) - 1);
        }
        const int gapEnd = std::min(r.begin, x1 + 1);
        if (gapEnd > pos) {
            // Zero cells: covered exactly while the winding is not 0.
            if (w == 0) {
                flush(pos);
            } else if (start < 0) {
                start = pos;
            }
        }
        const int b = std::max(r.begin, x0);
        const int e = std::min(r.end, x1 + 1);
        for (int x = b; x < e; ++x) {
            const unsigned short c = cells[x];
            cells[x] = 0;
            // A border mark stays covered whatever the winding; an empty
            // cell is covered under a winding; the rest take the map rule.
            if (c == 256 || (c == 0 ? w != 0 : mapCell(c, w) != 0)) {
                if (start < 0) {
                    start = x;
                }
            } else {
                flush(x);
            }
        }
        pos = std::max(pos, e);
        if (r.end > x1 + 1) {
            flush(pos);
            const int from = std::max(r.begin, x1 + 1);
            covered.addCells(y, cells, from, r.end - 1);
            std::fill(cells + from, cells + r.end, static_cast<unsigned short>(0));
        }
        if (r.begin < x0) {
            std::fill(cells + r.begin, cells + std::min(r.end, x0), static_cast<unsigned short>(0));
        }
    }
    if (w != 0 && pos <= x1) {
        if (start < 0) {
            start = pos;
        }
        pos = x1 + 1;
    }
    flush(pos);
}

// ---------------------------------------------------------------------------
// Painters and the fill driver
// ---------------------------------------------------------------------------

Painter modePainter(int mode, _VORNRGBAQUAD colour) {
    Painter p;
    p.colour = colour;
    switch (mode) {
    case 4:
    case 5:
        p.kind = Painter::Combine;
        break;
    case 9:
        p.kind = Painter::Toggle;
        break;
    default:
        p.kind = Painter::Write;
        break;
    }
    return p;
}

void scanFillPolygon(const ScanSurface& surface, const _VORNPOINT* points, const int* sizes,
                     int contours, const Painter& painter, bool perContour) {
    int lastContour = 0;
    for (int k = 0; k < contours; ++k) {
        if (sizes[k] > 0) {
            lastContour = k;
        }
    }
    ScanFill fill(surface);
    const _VORNPOINT* contour = points;
    for (int k = 0; k < contours; ++k) {
        const int n = sizes[k];
        if (n < 1) {
            continue;
        }
        fill.fillContour(contour, n, perContour || k == lastContour ? &painter : nullptr);
        contour += n;
    }
}

} // namespace vorn::detail
