// SPDX-License-Identifier: MIT
// Internal to the library: the transform subsystem's kernels, one table per
// instruction-set level (see core/kernels.h). The operations at the top of
// the table are whole resamplings, rotations and warps: the Reference table
// runs the plain members of VornBuffer, the others the fast drivers
// (resize_fast.cpp, resize_dyadic.cpp, rotate.cpp, warp_fast.cpp), which
// build tables and run the table's inner loops below. This header only
// declares, so that the instruction-set files can include it.
#ifndef VORN_SRC_TRANSFORM_TRANSFORM_KERNELS_H
#define VORN_SRC_TRANSFORM_TRANSFORM_KERNELS_H

#include <vorn/buffer.h>

#include <cstddef>
#include <cstdint>

namespace vorn::detail {

/// How far below a whole number a filtered value may fall and still count
/// as that number. A weighted mean of equal colours, or an alpha sum whose
/// weights add up to one, is a whole number in exact arithmetic but often
/// comes out a few units in the last place below it in double precision;
/// plain truncation would then turn 255 into 254 and a flat colour into a
/// speckled one. Summing a footprint of n pixels leaves noise of at most
/// about n x 255 x 2^-53 (in practice far less), below 1e-6 for footprints
/// of up to some 3 x 10^7 pixels. The snap cannot tell noise from a value
/// that genuinely lies within 1e-6 below a whole number (weights are
/// arbitrary fractions, so such values occur): those are rounded up too.
/// That is part of the defined result, which the fast paths reproduce.
constexpr double kByteSnap = 1e-6;

/// Weight sums below this count as "nothing opaque was taken".
constexpr double kWeightFloor = 1e-9;

/// The margin within which an approximation of a filtered value is too
/// close to the next whole number for its truncation to be certain (see
/// settleByte in transform.h).
constexpr double kSettleMargin = 1e-9;

/// The filter resize uses for a pair of scale factors.
enum class ResizeFilter {
    Enlarge, ///< linear across, linear down
    X,       ///< linear across, box down
    Y,       ///< box across, linear down
    Reduce   ///< box across, box down
};

/// The source columns (or rows) one destination pixel takes along one
/// direction, with their weights: index `first` has weight firstWeight,
/// index `last` lastWeight (the rule for `last` wins when they coincide),
/// every index between them 1 (spanWeight in transform.h). Empty when
/// last < first.
struct Span {
    int first = 0;
    int last = -1;
    double firstWeight = 0.0;
    double lastWeight = 0.0;
};

/// The rotation of rotateBuffer (see planRotation in transform.h).
struct RotationPlan {
    bool halfTurn;
    float sizeTheta;
    double t;
    double s;
    long long shiftX = 0;
    long long shiftY = 0;
};

// ---------------------------------------------------------------------------
// Jobs of the inner loops: plain data
// ---------------------------------------------------------------------------

/// Block averaging by whole factors fx, fy >= 1 (not both 1): destination
/// row y from source rows y * fy ... y * fy + fy - 1.
struct BlockJob {
    const _VORNRGBAQUAD* src;
    std::size_t width; ///< source width; the destination is width / fx wide
    _VORNRGBAQUAD* dst;
    int dw;
    int dh;
    int fx;
    int fy;
    std::uint16_t* scratch; ///< width * 4 cells for column sums
};

/// Per-pixel resampling in double precision with the plain members'
/// operations (any factors). The columns' taps lie side by side: tap k of
/// column x at [k * dw + x], columns with fewer taps repeating their last
/// one with weight 0.
struct ResampleJob {
    const VornBuffer* source;
    /// The plain member for one pixel, for lanes that cannot be settled.
    void (*exactPixel)(const VornBuffer& source, _VORNRGBAQUAD* out, int x, int y, double sx,
                       double sy);
    const _VORNRGBAQUAD* src;
    int sw;
    int sh;
    _VORNRGBAQUAD* dst;
    int dw;
    int dh;
    double sx;
    double sy;
    ResizeFilter filter;
    const Span* cols; ///< per destination column, limited to the source
    const Span* rows; ///< per destination row, likewise
    int taps;
    const int* index;
    const double* weight;
    /// Per group of four columns: the first of eight source pixels that
    /// hold all their taps, or -1.
    const int* windowStart;
    const double* opacity; ///< alpha / 255.0 for every alpha
};

/// One direction of a resampling whose weights are all whole multiples of
/// 2^-bits (see resize_dyadic.cpp): for destination index x, tap k is
/// source index index[k * n + x] with integer weight weight[k * n + x] (0
/// for the repeats of indices with fewer taps); spread holds each weight
/// four times over, [(k * n + x) * 4 + c]; sum[x] adds the weights of x.
/// Across, window[g] is the first of eight source pixels that hold every
/// tap of columns 8g..8g + 7; -2 - window[g] the first of sixteen; -1 when
/// they lie further apart.
struct DyadicAxis {
    int n;
    int taps;
    const std::int32_t* index;
    const std::int32_t* weight;
    const std::uint16_t* spread;
    const std::uint32_t* sum;
    const std::int32_t* window;
};

/// The filter family of an integer resampling.
enum class DyadicFilter {
    Enlarge, ///< taps take part whatever their alpha
    Gated    ///< pixels with alpha 0 take no part in the colour
};

/// The sums of one source row for every destination column x:
///  - plain[4x + c], channel c (blue, green, red, alpha) of the pixels
///    times their weights; for Gated the colour of pixels with alpha 0
///    counts as 0;
///  - for Enlarge, weighted[c * n + x]: blue, green and red (c = 0, 1, 2)
///    times alpha times weight;
///  - for Gated, gate[x]: the weights of the pixels with alpha.
/// The last two are written only when asked for.
struct DyadicSums {
    std::uint16_t* plain;
    std::uint32_t* weighted;
    std::uint16_t* gate;
};

/// One destination row of an integer resampling: sums[k] are those of the
/// source row of tap k, weights[k] its weight, rowSum their total. With
/// `opaque`, every tap of the row is opaque and only the plain sums are
/// read. The Enlarge footprints weigh 2^shift each; `inverse[x]` holds
/// the biased reciprocal (see resize_dyadic_loops.h) of the Gated
/// footprint of column x.
struct DyadicRow {
    const DyadicSums* sums;
    const std::int32_t* weights;
    int taps;
    std::uint32_t rowSum;
    DyadicFilter filter;
    bool opaque;
    int shift;
    const float* inverse;
};

/// The rotation of every source pixel (w x h) into a cleared result.
struct RotationJob {
    const _VORNRGBAQUAD* src;
    long long w;
    long long h;
    _VORNRGBAQUAD* dst;
    long long dw;
    long long dh;
    RotationPlan plan;
};

/// One quadrilateral of the mesh warp: columns xBegin..xEnd - 1 and rows
/// yBegin..yEnd - 1 of the destination, which does not share memory with
/// the source, painted as the plain member paints them (in any order).
struct WarpJob {
    const _VORNRGBAQUAD* src;
    int sw;
    int sh;
    _VORNRGBAQUAD* dst;
    int dw;
    double coeffs[6]; ///< a, b, c, d, e, f
    double ox;        ///< the quadrilateral's first corner
    double oy;
    double x0; ///< the source rectangle's corner and extent
    double y0;
    double spanX;
    double spanY;
    long long xBegin;
    long long xEnd;
    long long yBegin;
    long long yEnd;
};

// ---------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------

struct TransformKernels {
    // Whole operations (as VornBuffer::reduce, resize's per-pixel filters,
    // rotateBuffer's shears into the built result, the protected warp).
    void (*reduceBlocks)(const VornBuffer& src, VornBuffer& dst, int fx, int fy);
    void (*resample)(const VornBuffer& src, VornBuffer& dst, double sx, double sy);
    void (*rotate)(const VornBuffer& src, VornBuffer& dst, const RotationPlan& plan);
    void (*warpQuad)(const VornBuffer& src, VornBuffer& dst, const _VORNPOINT* rect,
                     const _VORNPOINT* quad);

    // Inner loops of the fast drivers (null in the Reference table).
    void (*blockRows)(const BlockJob& job);
    void (*resampleRows)(const ResampleJob& job);
    /// The sums of one source row for every destination column (the
    /// weighted or gate sums with `all`); true when every tap read is
    /// opaque.
    bool (*dyadicAcross)(const _VORNRGBAQUAD* row, const DyadicAxis& cols, DyadicFilter filter,
                         bool all, const DyadicSums& out);
    /// One destination row from its source rows' sums.
    void (*dyadicDown)(const DyadicRow& row, const DyadicAxis& cols, _VORNRGBAQUAD* out);
    void (*rotatePixels)(const RotationJob& job);
    void (*warpCell)(const WarpJob& job);
};

// The whole operations (defined beside the plain members and the drivers).
void reduceBlocksReference(const VornBuffer& src, VornBuffer& dst, int fx, int fy);
void reduceBlocksFast(const VornBuffer& src, VornBuffer& dst, int fx, int fy);
void resampleReference(const VornBuffer& src, VornBuffer& dst, double sx, double sy);
void resampleFast(const VornBuffer& src, VornBuffer& dst, double sx, double sy);
void rotateReference(const VornBuffer& src, VornBuffer& dst, const RotationPlan& plan);
void rotateFast(const VornBuffer& src, VornBuffer& dst, const RotationPlan& plan);
void warpQuadReference(const VornBuffer& src, VornBuffer& dst, const _VORNPOINT* rect,
                       const _VORNPOINT* quad);
void warpQuadFast(const VornBuffer& src, VornBuffer& dst, const _VORNPOINT* rect,
                  const _VORNPOINT* quad);

// The portable inner loops, which the instruction-set loops also fall back
// on for what they do not take.
void blockRowsPortable(const BlockJob& job);
void resampleRowsPortable(const ResampleJob& job);
bool dyadicAcrossPortable(const _VORNRGBAQUAD* row, const DyadicAxis& cols, DyadicFilter filter,
                          bool all, const DyadicSums& out);
void dyadicDownPortable(const DyadicRow& row, const DyadicAxis& cols, _VORNRGBAQUAD* out);
void rotatePixelsPortable(const RotationJob& job);
void warpCellPortable(const WarpJob& job);

/// One block of the block averaging, exactly as getReducePixel with
/// cursors on the block's rows: each colour the alpha-weighted mean,
/// floor(sum(colour x alpha) / sum(alpha)) (0 when no pixel has alpha), the
/// alpha the plain mean, in integers.
void reduceBlockExact(const _VORNRGBAQUAD* block, std::size_t width, int fx, int fy,
                      _VORNRGBAQUAD& out);

extern const TransformKernels kTransformReference;
extern const TransformKernels kTransformPortable;
extern const TransformKernels kTransformAvx2; // transform_avx2.cpp

/// The table of the level in force.
const TransformKernels& transformKernels();

} // namespace vorn::detail

#endif
