// SPDX-License-Identifier: MIT
// Internal to the library and its tests: the one way to reach the protected
// members of VornBuffer from outside the class.
#ifndef VORN_SRC_CORE_ACCESS_H
#define VORN_SRC_CORE_ACCESS_H

#include <vorn/buffer.h>

namespace vorn::detail {

/// Reaches the fields and protected workers of any VornBuffer. A member
/// pointer formed through a class derived from VornBuffer applies to every
/// VornBuffer, so the subsystems' free functions and the tests need neither
/// friendship nor a derived class of their own: fields through the `...Of`
/// functions, workers through the `...Fn` member pointers, e.g.
/// `(buffer.*Access::fillMapFn)(minX, minY, maxX, maxY)`.
///
/// An Access object is itself a buffer as the protected constructor makes
/// it: no pixels and no work areas.
struct Access : VornBuffer {
    Access(int width, int height) : VornBuffer(width, height) {}

    // Fields
    static int& ownsPixelsOf(VornBuffer& b) { return b.*(&Access::ownsPixels); }
    static _VORNRGBAQUAD*& pixelsOf(VornBuffer& b) { return b.*(&Access::pixels); }
    static int& widthOf(VornBuffer& b) { return b.*(&Access::width); }
    static int& heightOf(VornBuffer& b) { return b.*(&Access::height); }
    static int& densityUnitOf(VornBuffer& b) { return b.*(&Access::densityUnit); }
    static int& densityXOf(VornBuffer& b) { return b.*(&Access::densityX); }
    static int& densityYOf(VornBuffer& b) { return b.*(&Access::densityY); }
    static unsigned short*& edgeMapOf(VornBuffer& b) { return b.*(&Access::edgeMap); }
    static unsigned short*& rowCarryOf(VornBuffer& b) { return b.*(&Access::rowCarry); }

    // Pixel writes and compositing
    static constexpr void (VornBuffer::*pixelBlendFn)(_VORNRGBAQUAD&, const _VORNRGBAQUAD&,
                                                      unsigned char) = &Access::blend;
    static constexpr void (VornBuffer::*setPixelFn)(int, int,
                                                    const _VORNRGBAQUAD&) = &Access::setPixel;
    static constexpr void (VornBuffer::*setPixelBlendFn)(int, int, const _VORNRGBAQUAD&) =
        &Access::setPixelBlend;
    static constexpr int (VornBuffer::*ropFn)(const VornBuffer*, int, int, ROP) = &Access::rop;

    // Lines and the plain scan converter
    static constexpr int (VornBuffer::*strokeLoopFn)(const _VORNPOINT*, int, _VORNRGBAQUAD,
                                                     int) = &Access::strokeLoop;
    static constexpr int (VornBuffer::*fillLoopFn)(const _VORNPOINT*, int, int&, int&, int&,
                                                   int&) = &Access::fillLoop;
    static constexpr int (VornBuffer::*fillLineFn)(_VORNPOINT, _VORNPOINT, _VORNPOINT,
                                                   int) = &Access::fillLine;
    static constexpr int (VornBuffer::*fillMapFn)(int, int, int, int) = &Access::fillMap;
    static constexpr int (VornBuffer::*transferMapFn)(int, int,
                                                      _VORNRGBAQUAD) = &Access::transferMap;
    static constexpr int (VornBuffer::*transferMapBlendFn)(const _VORNRGBAQUAD&, int, int, int,
                                                           int) = &Access::transferMapBlend;
    static constexpr int (VornBuffer::*transferMapBitmapFn)(int, const VornBuffer*, unsigned char) =
        &Access::transferMapBitmap;

    // Resampling and the mesh warp
    static constexpr void (VornBuffer::*reducePixelFn)(const _VORNRGBAQUAD**, _VORNRGBAQUAD*, int,
                                                       int) const = &Access::getReducePixel;
    static constexpr void (VornBuffer::*resizePixelFn)(_VORNRGBAQUAD*, int, int, double,
                                                       double) const = &Access::getResizePixel;
    static constexpr bool (VornBuffer::*warpQuadFn)(VornBuffer*, const _VORNPOINT*,
                                                    const _VORNPOINT*) const = &Access::warp;
    static constexpr void (VornBuffer::*warpCoorFn)(double, double, double&, double&,
                                                    const double*) const = &Access::warpCoor;
    static constexpr double (VornBuffer::*warpPixelFn)(const _VORNRGBAQUAD*, int, int, double&,
                                                       double&, double&,
                                                       double) const = &Access::warpPixel;
};

} // namespace vorn::detail

#endif
