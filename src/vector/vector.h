// SPDX-License-Identifier: MIT
// Internal to the library: what the line, outline and polygon files share.
// Nothing here is part of the public interface.
//
// The polygon fills come in two forms that give the same pixels:
//  - the plain scan converter, the protected members fillLoop, fillLine,
//    fillMap and the transfers, which walk every step of every edge and
//    visit every cell of the buffer (scan_convert.cpp, fill_blend.cpp);
//  - the span scan converter below (ScanFill), which the public fills use:
//    its edge walks start and stop where the buffer's rows and columns
//    begin and end; the last contour is taken a band of rows at a time,
//    where its edges do not crowd a row without cells at all (each edge
//    describes the columns it writes on a row and where it crosses it, and
//    the covered runs follow), elsewhere into cells of which each row
//    lists the ranges written, so that the work of a row follows its
//    spans, not its cells.
// The plain form is reachable through the fill*Reference functions so that
// tests can compare the two.
#ifndef VORN_SRC_VECTOR_VECTOR_H
#define VORN_SRC_VECTOR_VECTOR_H

#include "core/access.h"
#include "core/core.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

namespace vorn::detail {

// ---------------------------------------------------------------------------
// Bresenham steps in closed form
// ---------------------------------------------------------------------------
//
// The edge tracer's integer walk (that of the lines) steps along a major axis
// `major` times and along the minor axis `minor` times (minor <= major,
// major >= 1): the error starts at -major, grows by 2 * minor per step, and
// when it is above 0 the walk takes a minor step and the error drops by
// 2 * major. The functions below give the state after k steps without
// walking, so that an edge can be entered where it reaches the buffer.
// Both counts are below 2^32, so every product fits 64 bits unsigned.

/// Minor steps taken during the first k major steps (0 <= k <= major).
std::uint64_t bresenhamMinorSteps(std::uint64_t major, std::uint64_t minor, std::uint64_t k);

/// The error after the first k major steps (0 <= k <= major).
std::int64_t bresenhamError(std::uint64_t major, std::uint64_t minor, std::uint64_t k);

/// The least k in [0, major] after which at least `target` minor steps have
/// been taken; major + 1 when even the whole walk takes fewer.
std::uint64_t bresenhamStepsToReach(std::uint64_t major, std::uint64_t minor, std::int64_t target);

// ---------------------------------------------------------------------------
// Polygon layout
// ---------------------------------------------------------------------------

/// The extremum-run flag of the edge from points[i] to points[(i + 1) % n]
/// of a closed contour of n >= 2 points: 1 when the edge begins a run of
/// equal y that the contour enters and leaves on the same side of the row.
int extremumRunFlag(const _VORNPOINT* points, std::int64_t n, std::int64_t i);

/// The contour size after dropping points that repeat the first point at
/// the end (at least 1 when n >= 1).
std::int64_t distinctContourSize(const _VORNPOINT* points, std::int64_t n);

// ---------------------------------------------------------------------------
// Work areas
// ---------------------------------------------------------------------------
//
// rowCarry holds `height` carry cells, then kScanHeaderCells cells of state
// (and one more when `height` is odd, so that the records start on a
// 32-bit boundary), then kRowRecordCells cells per row for the span scan
// converter, then cells for a band of kBandRows rows (fewer when the buffer
// has fewer) that the span scan converter traces into instead of edgeMap
// when no earlier contour left cells there: they stay in the cache from
// one band to the next. It is one new[] allocation, so that the
// destructor's delete[] releases it whole. Cell 0 of the state is 1 when
// the plain workers may have left cells anywhere (the span converter then
// clears everything once), else 0.

constexpr std::size_t kScanHeaderCells = 4;

/// Rows that the span scan converter traces and maps together.
constexpr int kBandRows = 16;

/// Column ranges a row record lists before it folds them into one.
constexpr int kRowRuns = 6;
constexpr std::size_t kRowRecordCells = 2 + 4 * kRowRuns;

/// Where the row records start in the rowCarry allocation, in cells.
inline std::size_t rowRecordsOffset(int height) {
    const std::size_t h = static_cast<std::size_t>(height);
    return h + kScanHeaderCells + (h & 1);
}

/// Where the band's cells start in the rowCarry allocation, in cells.
inline std::size_t bandCellsOffset(int height) {
    return rowRecordsOffset(height) + kRowRecordCells * static_cast<std::size_t>(height);
}

/// Cells of the rowCarry allocation for a width x height buffer.
std::size_t rowCarryCells(int width, int height);

/// Notes that the work areas may hold cells outside any tracked span.
inline void markWorkAreasDirty(unsigned short* rowCarry, int height) {
    rowCarry[static_cast<std::size_t>(height)] = 1;
}

/// A buffer's pixels and polygon work areas, as plain pointers.
struct ScanSurface {
    _VORNRGBAQUAD* pixels;
    int width;
    int height;
    unsigned short* edgeMap;
    unsigned short* rowCarry;
};

/// True when the buffer has pixels to fill.
bool hasPixels(const VornBuffer& buffer);

/// Allocates the work areas that are null (zeroed, and marked dirty if only
/// one of the two was missing) and returns the surface. The buffer must
/// have pixels.
ScanSurface prepareScanSurface(VornBuffer& buffer);

/// Clears both work areas in full, as the plain fills do before use.
void clearWorkAreas(const ScanSurface& surface);

// ---------------------------------------------------------------------------
// What the last pass of a fill does to a covered pixel
// ---------------------------------------------------------------------------

struct Painter {
    enum Kind {
        Write,   ///< the colour replaces the pixel
        Combine, ///< per byte: AND when both are non-zero, else OR
        Toggle,  ///< a pixel equal to the colour becomes 0, any other the colour
        Blend,   ///< the pixel blend of the colour, extra opacity 255
        Texture  ///< the pixel blend of the tiled texel, extra opacity `opacity`
    };
    Kind kind = Write;
    _VORNRGBAQUAD colour{0, 0, 0, 0};
    const _VORNRGBAQUAD* texels = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    unsigned char opacity = 255;
    /// True when the texture shares memory with the destination, so that
    /// pixels must be read and written one at a time in row-major order.
    bool textureOverlaps = false;
};

/// The painter of fillPolygon's mode.
Painter modePainter(int mode, _VORNRGBAQUAD colour);

// ---------------------------------------------------------------------------
// The span scan converter
// ---------------------------------------------------------------------------

class CoveredRuns;

/// One polygon fill through the span scan converter. The cells, carries and
/// row records are exactly those of the plain scan converter wherever the
/// plain one would write them; every cell outside the rows' recorded spans
/// is 0, and everything is 0 again once finish has run.
class ScanFill {
public:
    struct Bounds {
        int minX = 0;
        int minY = 0;
        int maxX = 0;
        int maxY = 0;
    };

    /// Starts a fill; clears the work areas in full if the plain workers
    /// may have left anything in them.
    explicit ScanFill(const ScanSurface& surface);

    /// Traces one contour of n >= 1 points, as fillLoop does (its bounds
    /// are the contour's, (0, 0, 0, 0) for a single distinct point), and
    /// runs the map pass over its bounds. With a painter the contour is the
    /// last one painted: the paint pass then follows over every cell that
    /// the fill left non-zero, row by row from the top and left to right,
    /// and clears everything it visits. The rows are taken a band at a
    /// time, traced and then mapped while their cells are in the cache;
    /// each cell receives the same writes, in the same order, as from a
    /// trace of the whole contour.
    void fillContour(const _VORNPOINT* points, int n, const Painter* painter);

    /// Traces one edge exactly as fillLine does (exposed for tests).
    void traceEdge(_VORNPOINT previous, _VORNPOINT start, _VORNPOINT end, int extremumRun);

private:
    // Each row's record lists column ranges [begin, end) outside which its
    // cells are 0: the cells this contour's edges wrote, and those earlier
    // contours' map passes left. When a record is full its ranges fold into
    // one that covers them all (and may hold zero cells between them).
    struct Run {
        std::int32_t begin;
        std::int32_t end;
    };

    unsigned short* cellRow(std::int64_t y) const {
        return cells_ + (y - cellsRow0_) * static_cast<std::int64_t>(width_);
    }

    unsigned short* recordOf(int y) const {
        return records_ + static_cast<std::size_t>(y) * kRowRecordCells;
    }
    static std::int32_t runCount(const unsigned short* record) {
        std::int32_t n;
        std::memcpy(&n, record, 4);
        return n;
    }
    static void setRunCount(unsigned short* record, std::int32_t n) { std::memcpy(record, &n, 4); }
    static Run runAt(const unsigned short* record, int i) {
        Run r;
        std::memcpy(&r, record + 2 + 4 * i, sizeof r);
        return r;
    }
    static void setRunAt(unsigned short* record, int i, Run r) {
        std::memcpy(record + 2 + 4 * i, &r, sizeof r);
    }

    /// Lists columns begin..end - 1 of row y as possibly non-zero.
    void addRun(int y, std::int32_t begin, std::int32_t end) {
        unsigned short* record = recordOf(y);
        const std::int32_t n = runCount(record);
        if (n > 0) {
            Run last = runAt(record, n - 1);
            if (begin <= last.end && end >= last.begin) {
                last.begin = std::min(last.begin, begin);
                last.end = std::max(last.end, end);
                setRunAt(record, n - 1, last);
                return;
            }
        }
        if (n < kRowRuns) {
            setRunAt(record, n, Run{begin, end});
            setRunCount(record, n + 1);
        } else {
            foldRuns(record, begin, end);
        }
        if (rowsEnd_ <= rowsBegin_) {
            rowsBegin_ = y;
            rowsEnd_ = y + 1;
        } else {
            rowsBegin_ = std::min(rowsBegin_, y);
            rowsEnd_ = std::max(rowsEnd_, y + 1);
        }
    }

    static void foldRuns(unsigned short* record, std::int32_t begin, std::int32_t end);

    /// The row's ranges sorted and merged (overlapping or adjacent ones
    /// become one) into `runs`; returns how many. Empties the record.
    int takeRuns(int y, Run* runs);

    void cross(std::int64_t x, std::int64_t y, int direction);
    void mark(std::int64_t x, std::int64_t y);
    void markRun(std::int64_t y, std::int64_t from, std::int64_t to);
    void carryRow(std::int64_t y, int direction);

    void traceXMajor(_VORNPOINT a, _VORNPOINT b, bool turning);
    void traceYMajor(_VORNPOINT a, _VORNPOINT b, bool turning);
    void traceVertical(_VORNPOINT a, _VORNPOINT b, bool turning);

    // A band may first be traced without cells, each edge describing what
    // it writes on a row: the columns [begin, end) and, when it counts a
    // crossing there, the crossing's direction (turn is 0 otherwise).
    // While a row has no cells of earlier contours and fewer than 16
    // crossings, these describe its cells exactly: marked and crossed
    // cells are covered, empty ones while the winding is not 0.
    struct Described {
        std::int32_t begin;
        std::int32_t end;
        std::int32_t turn;
    };
    static constexpr int kDescribed = 8;
    /// Rows traced together without cells.
    static constexpr int kDescribedRows = 64;
    /// Contours of at most this many edges are traced left to right.
    static constexpr int kOrderedEdges = 32;

    void describe(std::int64_t y, std::int64_t begin, std::int64_t end, int turn) {
        const std::size_t r = static_cast<std::size_t>(y - rowLo_);
        const std::int32_t n = describedCount_[r];
        if (n == kDescribed) {
            overflow_ = true; // the band is traced again, with cells
            return;
        }
        described_[r][n] =
            Described{static_cast<std::int32_t>(begin), static_cast<std::int32_t>(end), turn};
        describedCount_[r] = n + 1;
    }

    void paintDescribed(int y, int x0, int x1, CoveredRuns& covered);
    void traceEdges(const _VORNPOINT* points, std::int64_t count);
    void mapRow(int y, int x0, int x1);
    void paintRow(int y, bool inBox, int x0, int x1, CoveredRuns& covered);

    _VORNRGBAQUAD* pixels_;
    int width_;
    int height_;
    unsigned short* map_;
    unsigned short* band_;  ///< the band's cells, kBandRows rows of width_
    unsigned short* cells_; ///< where the edges write: map_ or band_
    int cellsRow0_;         ///< the row whose cells start at cells_
    unsigned short* carry_;
    unsigned short* records_;
    int rowsBegin_;      ///< rows that may hold non-zero cells or records (empty
    int rowsEnd_;        ///< when rowsEnd_ <= rowsBegin_)
    std::int64_t rowLo_; ///< the rows the edges are traced into, both included
    std::int64_t rowHi_;
    bool describing_ = false;
    bool overflow_ = false;
    std::int32_t describedCount_[kDescribedRows] = {};
    Described described_[kDescribedRows][kDescribed];
};

// ---------------------------------------------------------------------------
// The plain fills, step by step as the behaviour is defined
// ---------------------------------------------------------------------------

/// The plain fills' contour loop: each contour of 1 or more points is traced
/// by fillLoop from carries of 0 and mapped by fillMap, and `mapped` then
/// sees its bounds. Contours of size 0 or less are skipped.
void mapContoursReference(VornBuffer& buffer, const ScanSurface& surface, const _VORNPOINT* points,
                          const int* sizes, int contours,
                          const std::function<void(const ScanFill::Bounds&)>& mapped);

int fillPolygonReference(VornBuffer& buffer, const _VORNPOINT* points, const int* sizes,
                         int contours, _VORNRGBAQUAD colour, int mode);
int fillPolygonBlendReference(VornBuffer& buffer, const _VORNPOINT* points, const int* sizes,
                              int contours, _VORNRGBAQUAD colour);
int fillPolygonBitmapReference(VornBuffer& buffer, const _VORNPOINT* points, const int* sizes,
                               int contours, const VornBuffer* texture, unsigned char opacity);

/// Traces, maps and paints a polygon through the span scan converter.
/// Contours of size 0 or less are skipped. With perContour every contour is
/// mapped and painted on its own (fillPolygon's mode 9); otherwise the
/// contours share one map, painted after the last of them.
void scanFillPolygon(const ScanSurface& surface, const _VORNPOINT* points, const int* sizes,
                     int contours, const Painter& painter, bool perContour);

/// True when a polygon's arrays can be read: at least one contour, the first
/// of at least one point, and neither array null.
bool readablePolygon(const _VORNPOINT* points, const int* sizes, int contours);

/// True when the texture can be used: it exists and has pixels.
bool usableTexture(const VornBuffer* texture);

} // namespace vorn::detail

#endif
