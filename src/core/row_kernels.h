// SPDX-License-Identifier: MIT
// Internal to the library: the buffer core's row kernels, one table per
// instruction-set level (see kernels.h). This header only declares, so
// that the instruction-set files can include it.
#ifndef VORN_SRC_CORE_ROW_KERNELS_H
#define VORN_SRC_CORE_ROW_KERNELS_H

#include <vorn/buffer.h>

#include <cstddef>

namespace vorn::detail {

/// Raster operations on blue, green and red; the destination alpha stays.
enum class BitOp { Xor, And, Or };

/// The row kernels. Ranges of one call never overlap; every kernel gives
/// exactly the bytes of its reference below.
struct RowKernels {
    /// dst[i] = the pixel blend of src[i] over dst[i], extra opacity 255.
    void (*blendRow)(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n);
    /// dst[i] = dst[i] op src[i] on blue, green and red.
    void (*bitOpRow)(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op);
    /// dst[i] = colour.
    void (*fillPixels)(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour);
    /// dst[i] = the pixel blend of `colour` over dst[i], extra opacity 255.
    /// With `ahead` not 0, the pixels `ahead` elements further on (in the
    /// same pixel block) may be fetched into the cache on the way.
    void (*blendColourRow)(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                           std::ptrdiff_t ahead);
    /// Un-premultiplies n pixels in place (see VornBuffer::PBGRAtoBGRA).
    void (*unpremultiplyRow)(_VORNRGBAQUAD* p, std::size_t n);
};

// The plain references (row_kernels.cpp), which the Reference level runs
// and the faster kernels fall back on for the pixels they leave.
void blendRowReference(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n);
void bitOpRowReference(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op);
void fillPixelsReference(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour);
void blendColourRowReference(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                             std::ptrdiff_t ahead);
void unpremultiplyRowReference(_VORNRGBAQUAD* p, std::size_t n);

/// Un-premultiplying by reciprocals instead of divisions, for every level
/// above the reference.
void unpremultiplyRowPortable(_VORNRGBAQUAD* p, std::size_t n);

extern const RowKernels kRowKernelsReference;
extern const RowKernels kRowKernelsPortable;
extern const RowKernels kRowKernelsSse2; // row_kernels_sse2.cpp
extern const RowKernels kRowKernelsAvx2; // row_kernels_avx2.cpp
extern const RowKernels kRowKernelsNeon; // row_kernels_neon.cpp

/// The table of the level in force.
const RowKernels& rowKernels();

} // namespace vorn::detail

#endif
