// SPDX-License-Identifier: MIT
// Internal to the library: what the GDI interop files share. Nothing here
// is part of the public interface.
#ifndef VORN_SRC_GDI_GDI_H
#define VORN_SRC_GDI_GDI_H

#include "gdi/platform.h"

#include <vorn/gdi.h>

#include <cstddef>

namespace vorn::detail {

/// A context on the whole display, opened for one call and closed when the
/// object goes. get() is null when the display cannot be opened.
class DisplayContext {
public:
    DisplayContext() : hdc_(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)) {}
    ~DisplayContext() {
        if (hdc_ != nullptr) {
            DeleteDC(hdc_);
        }
    }
    DisplayContext(const DisplayContext&) = delete;
    DisplayContext& operator=(const DisplayContext&) = delete;
    HDC get() const { return hdc_; }

private:
    HDC hdc_;
};

/// A memory context compatible with `hdc` with one bitmap selected into
/// it; the previous bitmap is selected back and the context deleted when
/// the object goes. ok() is false when either step failed.
class MemoryContext {
public:
    MemoryContext(HDC hdc, HBITMAP bitmap);
    ~MemoryContext();
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;
    bool ok() const { return previous_ != nullptr; }
    HDC get() const { return hdc_; }

private:
    HDC hdc_;
    HGDIOBJ previous_;
};

/// Puts a context into device-pixel addressing for the object's lifetime:
/// MM_TEXT with both origins at (0, 0), so that logical coordinates are
/// device pixels. The context's whole state (mapping mode, origins,
/// extents) comes back when the object goes, through SaveDC and RestoreDC,
/// which also gives back the extents of a scaling mode exactly.
class DevicePixelState {
public:
    explicit DevicePixelState(HDC hdc);
    ~DevicePixelState();
    DevicePixelState(const DevicePixelState&) = delete;
    DevicePixelState& operator=(const DevicePixelState&) = delete;

private:
    HDC hdc_;
    int level_;
    // Used only when SaveDC fails.
    int mode_;
    POINT windowOrg_;
    POINT viewportOrg_;
    SIZE windowExt_;
    SIZE viewportExt_;
};

/// Bytes per row of DIB memory of `width` pixels of `bytesPerPixel` bytes:
/// rounded up to a multiple of 4.
inline std::size_t dibStride(int width, int bytesPerPixel) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel) + 3) &
           ~static_cast<std::size_t>(3);
}

/// The header of a DIB of `width` x `height` pixels (a negative height is
/// top-down) at `bitCount` bits, uncompressed, every other field 0.
BITMAPINFO dibHeader(int width, int height, int bitCount);

/// True for a buffer that exists and has pixels to transfer.
inline bool hasPixels(const VornBuffer* buffer) {
    return buffer != nullptr && buffer->getPixels() != nullptr;
}

/// A rectangle of device pixels, with a positive width and height.
struct DeviceArea {
    int x;
    int y;
    int width;
    int height;
};

/// The device rectangle between the converted corners (x, y) and
/// (x + width, y + height) of a logical rectangle of `hdc`, normalised to
/// its top-left pixel and a positive size. `flipX` and `flipY` tell which
/// directions the context's axes reverse. False when the conversion fails
/// or a sum leaves the int range.
bool deviceArea(HDC hdc, int x, int y, int width, int height, DeviceArea& area, bool& flipX,
                bool& flipY);

} // namespace vorn::detail

#endif
