// SPDX-License-Identifier: MIT
// The span scan converter's row passes: the map pass that turns a contour's
// crossings into covered cells, and the last pass that paints every
// non-zero cell and clears the work areas behind it. Both visit only the
// columns that each row's record names, and treat a run of zero cells in
// one go; the rule applied to every cell is the map pass of fillMap.

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

// The rule over [from, to] where no cell carries a crossing and the
// winding is not 0: a covered cell is uncovered, every other one covered.
void toggleCells(unsigned short* row, int from, int to) {
    for (int x = from; x <= to; ++x) {
        row[x] = row[x] == 512 ? 0 : 512;
    }
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
    RowPainter(const Painter& painter, _VORNRGBAQUAD* row, int y, std::ptrdiff_t ahead)
        : p_(painter), row_(row), ahead_(ahead) {
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
            fillPixels(row_ + from, n, p_.colour);
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
    _VORNRGBAQUAD* row_;
    std::ptrdiff_t ahead_;
    const _VORNRGBAQUAD* texRow_ = nullptr;
};

// Paints every non-zero cell of [from, to].
void paintCells(RowPainter& paint, const unsigned short* row, int from, int to) {
    const int end = to + 1;
    int x = from;
    while (x < end) {
        x = nextNonZero(row, x, end);
        if (x >= end) {
            return;
        }
        const int z = nextZero(row, x, end);
        paint.run(x, z - 1);
        x = z;
    }
}

// The map rule over [from, to], painting the cells it leaves non-zero
// instead of storing them; returns the winding after `to`.
unsigned short mapAndPaint(RowPainter& paint, const unsigned short* row, int from, int to,
                           unsigned short w) {
    const int end = to + 1;
    int x = from;
    while (x < end) {
        const int z = nextNonZero(row, x, end);
        if (w != 0 && z > x) {
            paint.run(x, z - 1);
        }
        if (z >= end) {
            break;
        }
        if (mapCell(row[z], w) != 0) {
            paint.pixel(z);
        }
        x = z + 1;
    }
    return w;
}

// toggleCells over [from, to], painting the cells that end covered: every
// cell but a covered one. Runs of zero cells are painted in one go.
void toggleAndPaint(RowPainter& paint, const unsigned short* row, int from, int to) {
    const int end = to + 1;
    int x = from;
    while (x < end) {
        const int z = nextNonZero(row, x, end);
        if (z > x) {
            paint.run(x, z - 1);
        }
        if (z >= end) {
            break;
        }
        if (row[z] != 512) {
            paint.pixel(z);
        }
        x = z + 1;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// ScanFill
// ---------------------------------------------------------------------------

ScanFill::ScanFill(const ScanSurface& surface)
    : pixels_(surface.pixels), width_(surface.width), height_(surface.height),
      map_(surface.edgeMap), carry_(surface.rowCarry),
      records_(surface.rowCarry + surface.height + kScanHeaderCells), rowsBegin_(0), rowsEnd_(0) {
    const std::size_t h = static_cast<std::size_t>(height_);
    if (carry_[h] != 0) {
        std::memset(map_, 0, static_cast<std::size_t>(width_) * h * sizeof *map_);
        std::memset(carry_, 0, rowCarryCells(height_) * sizeof *carry_);
    }
}

void ScanFill::clampRows(const Bounds& bounds, int& y0, int& y1) const {
    y0 = std::max(bounds.minY, 0);
    y1 = std::min(bounds.maxY, height_ - 1);
}

void ScanFill::mapContour(const Bounds& bounds) {
    int y0;
    int y1;
    clampRows(bounds, y0, y1);
    const int x0 = std::max(bounds.minX, 0);
    const int x1 = std::min(bounds.maxX, width_ - 1);
    for (int y = y0; y <= y1; ++y) {
        RowRecord r = loadRecord(y);
        unsigned short w = carry_[y];
        // Each contour has its own winding: what lies left of the buffer
        // does not reach the next contour.
        carry_[y] = 0;
        const bool crossed = r.crossEnd > r.crossBegin;
        const int crossBegin = r.crossBegin;
        const int crossLast = r.crossEnd - 1;
        r.crossBegin = 0;
        r.crossEnd = 0;
        storeRecord(y, r);
        if (x0 > x1 || (w == 0 && !crossed)) {
            continue;
        }
        unsigned short* row = map_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        // Left of the first crossing the winding is the carry, and right of
        // the last one it stays as it ends; those stretches change only when
        // it is not 0.
        const int from = w != 0 ? x0 : crossBegin;
        const int last = crossed ? crossLast : from - 1;
        w = mapCells(row, from, last, w);
        int to = last;
        if (w != 0) {
            toggleCells(row, last + 1, x1);
            to = x1;
        }
        if (to >= from) {
            extendSpan(y, from, to);
        }
    }
}

void ScanFill::finish(const Bounds& bounds, const Painter& painter) {
    int y0;
    int y1;
    clampRows(bounds, y0, y1);
    const int x0 = std::max(bounds.minX, 0);
    const int x1 = std::min(bounds.maxX, width_ - 1);
    int first = y0;
    int last = y1;
    if (rowsEnd_ > rowsBegin_) {
        first = std::min(first, rowsBegin_);
        last = std::max(last, rowsEnd_ - 1);
    }
    const RowRecord empty{0, 0, 0, 0};
    for (int y = first; y <= last; ++y) {
        const RowRecord r = loadRecord(y);
        const bool inBox = y >= y0 && y <= y1;
        unsigned short w = 0;
        if (inBox) {
            w = carry_[y];
            carry_[y] = 0;
        }
        const bool crossed = r.crossEnd > r.crossBegin;
        const bool mapping = inBox && x0 <= x1 && (w != 0 || crossed);
        const bool spanned = r.spanEnd > r.spanBegin;
        if (!mapping && !spanned) {
            continue;
        }
        storeRecord(y, empty);
        const std::size_t offset = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        unsigned short* cells = map_ + offset;
        RowPainter paint(painter, pixels_ + offset, y, y + 1 < height_ ? width_ : 0);
        int lo = spanned ? r.spanBegin : INT_MAX;
        int hi = spanned ? r.spanEnd - 1 : INT_MIN;
        if (mapping) {
            // Left to right: cells before the map pass's columns, the map
            // pass itself, then the cells after it.
            const int from = w != 0 ? x0 : r.crossBegin;
            const int crossLast = crossed ? r.crossEnd - 1 : from - 1;
            lo = std::min(lo, from);
            paintCells(paint, cells, lo, from - 1);
            w = mapAndPaint(paint, cells, from, crossLast, w);
            int after = crossLast + 1;
            if (w != 0) {
                toggleAndPaint(paint, cells, crossLast + 1, x1);
                after = x1 + 1;
            }
            hi = std::max(hi, after - 1);
            paintCells(paint, cells, after, hi);
        } else {
            paintCells(paint, cells, lo, hi);
        }
        std::memset(cells + lo, 0, static_cast<std::size_t>(hi - lo + 1) * sizeof *cells);
    }
    rowsBegin_ = 0;
    rowsEnd_ = 0;
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
        ScanFill::Bounds bounds;
        fill.traceContour(contour, n, bounds);
        if (perContour || k == lastContour) {
            fill.finish(bounds, painter);
        } else {
            fill.mapContour(bounds);
        }
        contour += n;
    }
}

} // namespace vorn::detail
