// SPDX-License-Identifier: MIT
// Transfer between buffers and device contexts: opaque copies onto a
// context, alpha-blended painting over a captured background, and
// captures of what a context shows.

#include "core/core.h"
#include "gdi/gdi.h"

#include <climits>

using namespace vorn::detail;

namespace vorn::detail {

DevicePixelState::DevicePixelState(HDC hdc)
    : hdc_(hdc), level_(SaveDC(hdc)),
      mode_(MM_TEXT), windowOrg_{0, 0}, viewportOrg_{0, 0}, windowExt_{1, 1}, viewportExt_{1, 1} {
    if (level_ == 0) {
        // Without a saved level the state is put back by hand; the extents
        // are read first, since MM_TEXT replaces them.
        GetWindowExtEx(hdc_, &windowExt_);
        GetViewportExtEx(hdc_, &viewportExt_);
    }
    mode_ = SetMapMode(hdc_, MM_TEXT);
    SetWindowOrgEx(hdc_, 0, 0, &windowOrg_);
    SetViewportOrgEx(hdc_, 0, 0, &viewportOrg_);
    SetWindowExtEx(hdc_, 100, 100, nullptr);
    SetViewportExtEx(hdc_, 100, 100, nullptr);
}

DevicePixelState::~DevicePixelState() {
    if (level_ != 0) {
        RestoreDC(hdc_, level_);
        return;
    }
    SetMapMode(hdc_, mode_);
    SetWindowExtEx(hdc_, windowExt_.cx, windowExt_.cy, nullptr);
    SetViewportExtEx(hdc_, viewportExt_.cx, viewportExt_.cy, nullptr);
    SetWindowOrgEx(hdc_, windowOrg_.x, windowOrg_.y, nullptr);
    SetViewportOrgEx(hdc_, viewportOrg_.x, viewportOrg_.y, nullptr);
}

bool deviceArea(HDC hdc, int x, int y, int width, int height, DeviceArea& area, bool& flipX,
                bool& flipY) {
    // Sizes are negated below; INT_MIN has no negative.
    if (width == INT_MIN || height == INT_MIN) {
        return false;
    }
    const long long x2 = static_cast<long long>(x) + width;
    const long long y2 = static_cast<long long>(y) + height;
    if (x2 < INT_MIN || x2 > INT_MAX || y2 < INT_MIN || y2 > INT_MAX) {
        return false;
    }
    POINT corners[2] = {{x, y}, {static_cast<LONG>(x2), static_cast<LONG>(y2)}};
    if (!LPtoDP(hdc, corners, 2)) {
        return false;
    }
    const long long dw = static_cast<long long>(corners[1].x) - corners[0].x;
    const long long dh = static_cast<long long>(corners[1].y) - corners[0].y;
    const long long w = dw < 0 ? -dw : dw;
    const long long h = dh < 0 ? -dh : dh;
    if (w > INT_MAX || h > INT_MAX) {
        return false;
    }
    // A device extent whose sign differs from the logical one means the
    // axis is reversed.
    flipX = (dw < 0) != (width < 0);
    flipY = (dh < 0) != (height < 0);
    area.x = dw < 0 ? corners[1].x : corners[0].x;
    area.y = dh < 0 ? corners[1].y : corners[0].y;
    area.width = static_cast<int>(w);
    area.height = static_cast<int>(h);
    return true;
}

} // namespace vorn::detail

namespace {

// What every transfer onto a context needs: the context, and a buffer with
// pixels.
bool transferable(HDC hdc, const VornBuffer* buffer) {
    if (hdc == nullptr) {
        return false;
    }
    return hasPixels(buffer);
}

// Reads a compatible bitmap filled by `fill` (given the memory context the
// bitmap is selected into) back into a buffer.
template <typename Fill>
VornBuffer* captureInto(HDC hdc, int width, int height, Fill fill) {
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, width, height);
    if (bitmap == nullptr) {
        return nullptr;
    }
    {
        MemoryContext memory(hdc, bitmap);
        if (memory.ok()) {
            fill(memory.get());
        }
    }
    VornBuffer* buffer = bitmapToBuffer(bitmap);
    DeleteObject(bitmap);
    return buffer;
}

} // namespace

bool bitBlt(HDC hdc, int x, int y, const VornBuffer* buffer) {
    if (!transferable(hdc, buffer)) {
        return false;
    }
    const int width = buffer->getWidth();
    const int height = buffer->getHeight();
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, width, height);
    if (bitmap == nullptr) {
        return false;
    }
    copyBufferToBitmap(hdc, bitmap, buffer, false);
    BOOL copied = FALSE;
    {
        MemoryContext memory(hdc, bitmap);
        if (memory.ok()) {
            copied = BitBlt(hdc, x, y, width, height, memory.get(), 0, 0, SRCCOPY);
        }
    }
    DeleteObject(bitmap);
    return copied != FALSE;
}

VornBuffer* captureFromDC(HDC hdc, int x, int y, int width, int height) {
    if (hdc == nullptr) {
        return nullptr;
    }
    DeviceArea area;
    bool flipX = false;
    bool flipY = false;
    if (!deviceArea(hdc, x, y, width, height, area, flipX, flipY)) {
        return nullptr;
    }
    if (pixelBlockBytes(area.width, area.height) == 0) {
        return nullptr;
    }
    // The source rectangle starts at the logical corner that lands on the
    // area's top-left pixel, so that its device extents are positive and
    // the copy is not mirrored.
    const int sx = flipX != (width < 0) ? x + width : x;
    const int sw = flipX != (width < 0) ? -width : width;
    const int sy = flipY != (height < 0) ? y + height : y;
    const int sh = flipY != (height < 0) ? -height : height;
    return captureInto(hdc, area.width, area.height, [&](HDC memory) {
        StretchBlt(memory, 0, 0, area.width, area.height, hdc, sx, sy, sw, sh, SRCCOPY);
    });
}

VornBuffer* _captureFromDC(HDC hdc, int width, int height) {
    if (hdc == nullptr) {
        return nullptr;
    }
    if (pixelBlockBytes(width, height) == 0) {
        return nullptr;
    }
    return captureInto(hdc, width, height, [&](HDC memory) {
        BitBlt(memory, 0, 0, width, height, hdc, 0, 0, SRCCOPY);
    });
}

bool alphaBlt(HDC hdc, int x, int y, const VornBuffer* buffer) {
    if (!transferable(hdc, buffer)) {
        return false;
    }
    const int width = buffer->getWidth();
    const int height = buffer->getHeight();
    VornBuffer* capture = captureFromDC(hdc, x, y, width, height);
    if (capture == nullptr) {
        return false;
    }
    DeviceArea area;
    bool flipX = false;
    bool flipY = false;
    deviceArea(hdc, x, y, width, height, area, flipX, flipY);
    if (area.width == width && area.height == height) {
        capture->blend(buffer, 0, 0);
    } else {
        VornBuffer* scratch = VornBuffer::Build(area.width, area.height, nullptr);
        if (scratch == nullptr) {
            VornBuffer::Destroy(capture);
            return false;
        }
        buffer->resize(scratch);
        capture->blend(scratch, 0, 0);
        VornBuffer::Destroy(scratch);
    }
    bool copied = false;
    {
        DevicePixelState state(hdc);
        copied = bitBlt(hdc, area.x, area.y, capture);
    }
    VornBuffer::Destroy(capture);
    return copied;
}

void blendToDC(HDC hdc, const VornBuffer* buffer) {
    if (!transferable(hdc, buffer)) {
        return;
    }
    DevicePixelState state(hdc);
    VornBuffer* capture = _captureFromDC(hdc, buffer->getWidth(), buffer->getHeight());
    if (capture == nullptr) {
        return;
    }
    capture->blend(buffer, 0, 0);
    bitBlt(hdc, 0, 0, capture);
    VornBuffer::Destroy(capture);
}
