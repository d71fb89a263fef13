// SPDX-License-Identifier: MIT
// Internal to the library: what the buffer core shares with the other
// subsystems. Nothing here is part of the public interface.
#ifndef VORN_SRC_CORE_CORE_H
#define VORN_SRC_CORE_CORE_H

#include "core/kernels.h"
#include "core/row_kernels.h"

#include <vorn/buffer.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorn::detail {

// ---------------------------------------------------------------------------
// Size arithmetic
// ---------------------------------------------------------------------------

/// The largest pixel block Build accepts, in bytes (the largest signed
/// 32-bit value).
constexpr long long kMaxPixelBytes = 2147483647LL;

/// Bytes of a width x height block of 4-byte pixels, or 0 when Build would
/// refuse that size (a side below 1, or more than kMaxPixelBytes bytes).
/// Takes 64-bit sides so that callers can pass file values unconverted.
inline std::size_t pixelBlockBytes(long long width, long long height) {
    if (width < 1 || height < 1) {
        return 0;
    }
    // width * height * 4 <= kMaxPixelBytes, tested by division so that the
    // product is only formed once it is known to fit.
    if (width > (kMaxPixelBytes / 4) / height) {
        return 0;
    }
    return static_cast<std::size_t>(width * height * 4);
}

/// out = a * b unless the product overflows size_t (then false, out kept).
inline bool mulSize(std::size_t a, std::size_t b, std::size_t& out) {
    if (a != 0 && b > SIZE_MAX / a) {
        return false;
    }
    out = a * b;
    return true;
}

/// Truncates a double toward zero into an int, saturating at the int range;
/// NaN gives 0. Plain conversion of an out-of-range double is undefined.
inline int saturateToInt(double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return INT_MAX;
    }
    if (v <= -2147483648.0) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

/// Builds a buffer over `block` that owns it from then on (it is released
/// with std::free, so it must come from std::malloc or std::calloc and hold
/// width x height pixels). Returns null, leaving the block to the caller,
/// when Build refuses the size.
VornBuffer* buildOwning(int width, int height, _VORNRGBAQUAD* block);

// ---------------------------------------------------------------------------
// Pixels as 32-bit words
// ---------------------------------------------------------------------------

inline std::uint32_t toWord(const _VORNRGBAQUAD& p) {
    std::uint32_t w;
    std::memcpy(&w, &p, 4);
    return w;
}

inline _VORNRGBAQUAD fromWord(std::uint32_t w) {
    _VORNRGBAQUAD p;
    std::memcpy(&p, &w, 4);
    return p;
}

inline _VORNRGBAQUAD packColour(unsigned char red, unsigned char green, unsigned char blue,
                                unsigned char alpha) {
    _VORNRGBAQUAD p;
    p.blue = blue;
    p.green = green;
    p.red = red;
    p.alpha = alpha;
    return p;
}

// ---------------------------------------------------------------------------
// The pixel blend
// ---------------------------------------------------------------------------

/// Lays src over dst with the extra opacity `extra` (255: the source alpha
/// unscaled). Integer-only; every intermediate fits in 32 bits. This is the
/// one definition of the blend: VornBuffer::blend and every drawing loop
/// call it, so that it inlines into their loops.
inline void blendPixel(_VORNRGBAQUAD& dst, const _VORNRGBAQUAD& src, unsigned extra) {
    const unsigned a = extra == 255 ? src.alpha : (src.alpha * extra) >> 8;
    if (a == 0) {
        return;
    }
    if (a == 255) {
        dst = src;
        return;
    }
    unsigned w;
    unsigned newAlpha;
    if (dst.alpha == 255) {
        // Opaque destination: the source takes weight a + 1 out of 256.
        w = a + 1;
        newAlpha = 255;
    } else {
        const unsigned t = (((256 - a) * dst.alpha) >> 8) + 1 + a;
        newAlpha = t < 256 ? t : 255;
        w = (a * 256) / newAlpha;
    }
    const unsigned rest = 256 - w;
    dst.blue = static_cast<unsigned char>((src.blue * w + dst.blue * rest) >> 8);
    dst.green = static_cast<unsigned char>((src.green * w + dst.green * rest) >> 8);
    dst.red = static_cast<unsigned char>((src.red * w + dst.red * rest) >> 8);
    dst.alpha = static_cast<unsigned char>(newAlpha);
}

// ---------------------------------------------------------------------------
// Row kernels (row_kernels.h) at the level in force
// ---------------------------------------------------------------------------

inline void blendRow(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    rowKernels().blendRow(dst, src, n);
}

inline void bitOpRow(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    rowKernels().bitOpRow(dst, src, n, op);
}

inline void fillPixels(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    rowKernels().fillPixels(dst, n, colour);
}

/// Blends `colour` (extra opacity 255) into n pixels; `ahead` as for
/// RowKernels::blendColourRow. A transparent colour changes nothing and an
/// opaque one is written as it is.
inline void blendColourRow(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                           std::ptrdiff_t ahead = 0) {
    if (colour.alpha == 0) {
        return;
    }
    if (colour.alpha == 255) {
        fillPixels(dst, n, colour);
        return;
    }
    rowKernels().blendColourRow(dst, n, colour, ahead);
}

inline void unpremultiplyRow(_VORNRGBAQUAD* p, std::size_t n) {
    rowKernels().unpremultiplyRow(p, n);
}

} // namespace vorn::detail

#endif
