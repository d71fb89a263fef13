// SPDX-License-Identifier: MIT
// CDCBuffer: an off-screen buffer over a DIB section the size of an area of
// a device context, filled from the context and copied back in one call.

#include "core/core.h"
#include "gdi/gdi.h"

#include <climits>
#include <cstring>
#include <utility>

using namespace vorn::detail;

namespace {

int magnitude(LONG v) {
    return v == INT_MIN ? INT_MAX : (v < 0 ? -v : v);
}

// MM_TEXT with the window origin on the viewport origin: logical
// coordinates are device pixels until RestoreDC.
int enterDevicePixels(HDC hdc) {
    const int level = SaveDC(hdc);
    SetMapMode(hdc, MM_TEXT);
    POINT origin{0, 0};
    GetViewportOrgEx(hdc, &origin);
    SetWindowOrgEx(hdc, origin.x, origin.y, nullptr);
    return level;
}

void leaveDevicePixels(HDC hdc, int level) {
    if (level != 0) {
        RestoreDC(hdc, level);
    }
}

} // namespace

CDCBuffer::CDCBuffer(CDC* dc, int x, int y, int width, int height)
    : hdc(dc != nullptr ? dc->m_hDC : nullptr), bitmap(nullptr), header(), buffer(nullptr), left(x),
      top(y), cx(width), cy(height) {
    std::memset(&header, 0, sizeof header);
    if (hdc == nullptr) {
        return;
    }
    POINT corner{left, top};
    if (!LPtoDP(hdc, &corner, 1)) {
        return;
    }
    left = corner.x;
    top = corner.y;
    SIZE window{1, 1};
    SIZE viewport{1, 1};
    GetWindowExtEx(hdc, &window);
    GetViewportExtEx(hdc, &viewport);
    // Magnitudes keep the size positive where the axes point left or up;
    // MulDiv gives -1 for a zero extent or an overflow.
    cx = MulDiv(width, magnitude(viewport.cx), magnitude(window.cx));
    cy = MulDiv(height, magnitude(viewport.cy), magnitude(window.cy));

    // Top-down: memory row 0 is the area's top row.
    BITMAPINFO info = dibHeader(cx, -cy, 32);
    header = info.bmiHeader;
    if (pixelBlockBytes(cx, cy) == 0) {
        return;
    }
    void* bits = nullptr;
    bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        bits = nullptr;
    }
    // Over the section's memory; when there is no section, Build allocates
    // and clears a block of its own.
    buffer = VornBuffer::Build(cx, cy, static_cast<_VORNRGBAQUAD*>(bits));
    if (buffer == nullptr) {
        return;
    }
    if (dc->IsPrinting()) {
        buffer->fillColour(255, 255, 255);
        return;
    }
    if (bitmap == nullptr) {
        return;
    }
    const int level = enterDevicePixels(hdc);
    {
        MemoryContext memory(hdc, bitmap);
        if (memory.ok()) {
            BitBlt(memory.get(), 0, 0, cx, cy, hdc, left, top, SRCCOPY);
        }
    }
    leaveDevicePixels(hdc, level);
    // GDI may defer drawing into a section; its memory is read directly
    // from now on.
    GdiFlush();
}

CDCBuffer::~CDCBuffer() {
    release();
}

CDCBuffer::CDCBuffer(CDCBuffer&& other) noexcept
    : hdc(other.hdc), bitmap(other.bitmap), header(other.header), buffer(other.buffer),
      left(other.left), top(other.top), cx(other.cx), cy(other.cy) {
    other.bitmap = nullptr;
    other.buffer = nullptr;
}

CDCBuffer& CDCBuffer::operator=(CDCBuffer&& other) noexcept {
    if (this != &other) {
        release();
        hdc = other.hdc;
        bitmap = std::exchange(other.bitmap, nullptr);
        header = other.header;
        buffer = std::exchange(other.buffer, nullptr);
        left = other.left;
        top = other.top;
        cx = other.cx;
        cy = other.cy;
    }
    return *this;
}

void CDCBuffer::release() {
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    if (buffer != nullptr) {
        VornBuffer::Destroy(buffer);
    }
}

int CDCBuffer::blit(int) {
    if (buffer == nullptr) {
        return 1;
    }
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader = header;
    const int level = enterDevicePixels(hdc);
    StretchDIBits(hdc, left, top, cx, cy, 0, 0, cx, cy, buffer->getPixels(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
    leaveDevicePixels(hdc, level);
    return 0;
}
