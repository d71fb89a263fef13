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
//    begin and end, and its map and paint passes visit, row by row, only
//    the cells that the fill wrote.
// The plain form is reachable through the fill*Reference functions so that
// tests can compare the two.
#ifndef VORN_SRC_VECTOR_VECTOR_H
#define VORN_SRC_VECTOR_VECTOR_H

#include "core/access.h"
#include "core/core.h"

#include <cstddef>
#include <cstdint>
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
// rowCarry holds `height` carry cells, then kScanHeaderCells cells of state,
// then kRowRecordCells cells per row for the span scan converter. It is one
// new[] allocation, so that the destructor's delete[] releases it whole.
// Cell 0 of the state is 1 when the plain workers may have left cells
// anywhere (the span converter then clears everything once), else 0.

constexpr std::size_t kScanHeaderCells = 4;
constexpr std::size_t kRowRecordCells = 8;

/// Cells of the rowCarry allocation for a buffer `height` rows tall.
std::size_t rowCarryCells(int height);

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

    /// Traces one contour of n >= 1 points, as fillLoop does: the bounds
    /// become the contour's (left as given for a single distinct point).
    void traceContour(const _VORNPOINT* points, int n, Bounds& bounds);

    /// The map pass of a contour that is not the last one painted.
    void mapContour(const Bounds& bounds);

    /// The map pass of the last contour (bounds), then the paint pass over
    /// every cell that the fill left non-zero, row by row from the top and
    /// left to right; clears everything it visits.
    void finish(const Bounds& bounds, const Painter& painter);

    /// Traces one edge exactly as fillLine does (exposed for tests).
    void traceEdge(_VORNPOINT previous, _VORNPOINT start, _VORNPOINT end, int extremumRun);

private:
    struct RowRecord {
        std::int32_t crossBegin; ///< columns holding this contour's crossings
        std::int32_t crossEnd;
        std::int32_t spanBegin; ///< columns that may hold non-zero cells
        std::int32_t spanEnd;
    };

    RowRecord loadRecord(int y) const;
    void storeRecord(int y, const RowRecord& r);
    void extendSpan(int y, int lo, int hi);
    void extendCross(int y, int x);

    void cross(std::int64_t x, std::int64_t y, int direction);
    void mark(std::int64_t x, std::int64_t y);
    void markRun(std::int64_t y, std::int64_t from, std::int64_t to);
    void carryRow(std::int64_t y, int direction);

    void traceXMajor(_VORNPOINT a, _VORNPOINT b, bool turning);
    void traceYMajor(_VORNPOINT a, _VORNPOINT b, bool turning);
    void traceVertical(_VORNPOINT a, _VORNPOINT b, bool turning);

    void clampRows(const Bounds& bounds, int& y0, int& y1) const;
    void extendRows(int y0, int y1);

    _VORNRGBAQUAD* pixels_;
    int width_;
    int height_;
    unsigned short* map_;
    unsigned short* carry_;
    unsigned short* records_;
    int rowsBegin_; ///< rows that may hold non-zero cells or records
    int rowsEnd_;
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
