// SPDX-License-Identifier: MIT
// Conversion between buffers and bitmap handles: reading any bitmap into a
// buffer (opaque 24-bit or with its fourth byte as alpha), writing a buffer
// into a bitmap, and making compatible bitmaps and DIB sections from
// buffers. All pixels pass through DIB memory laid out here.

#include "core/core.h"
#include "gdi/gdi.h"

#include <cstring>
#include <vector>

using namespace vorn::detail;

namespace vorn::detail {

MemoryContext::MemoryContext(HDC hdc, HBITMAP bitmap)
    : hdc_(CreateCompatibleDC(hdc)), previous_(nullptr) {
    if (hdc_ != nullptr && bitmap != nullptr) {
        previous_ = SelectObject(hdc_, bitmap);
    }
}

MemoryContext::~MemoryContext() {
    if (hdc_ == nullptr) {
        return;
    }
    if (previous_ != nullptr) {
        SelectObject(hdc_, previous_);
    }
    DeleteDC(hdc_);
}

BITMAPINFO dibHeader(int width, int height, int bitCount) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace vorn::detail

namespace {

// Reads a bitmap through a top-down DIB of 24 bits (opaque) or 32 bits
// (fourth byte as alpha).
VornBuffer* readBitmap(HBITMAP bitmap, bool withAlpha) {
    if (bitmap == nullptr) {
        return nullptr;
    }
    BITMAP description;
    std::memset(&description, 0, sizeof description);
    if (GetObjectW(bitmap, sizeof description, &description) <
        static_cast<int>(sizeof description)) {
        return nullptr;
    }
    const int width = description.bmWidth;
    const int height = description.bmHeight;
    // Build would refuse the size: nothing is worth reading.
    if (pixelBlockBytes(width, height) == 0) {
        return nullptr;
    }
    DisplayContext display;
    if (display.get() == nullptr) {
        return nullptr;
    }
    const int bytesPerPixel = withAlpha ? 4 : 3;
    BITMAPINFO info = dibHeader(width, -height, bytesPerPixel * 8);
    GetDIBits(display.get(), bitmap, 0, static_cast<UINT>(height), nullptr, &info, DIB_RGB_COLORS);
    if (info.bmiHeader.biSizeImage == 0) {
        return nullptr;
    }
    // GDI writes stride x height bytes whatever size it reported, so the
    // block is never smaller than that.
    const std::size_t stride = dibStride(width, bytesPerPixel);
    const std::size_t needed = stride * static_cast<std::size_t>(height);
    std::vector<unsigned char> block(needed > info.bmiHeader.biSizeImage
                                         ? needed
                                         : static_cast<std::size_t>(info.bmiHeader.biSizeImage));
    GetDIBits(display.get(), bitmap, 0, static_cast<UINT>(height), block.data(), &info,
              DIB_RGB_COLORS);

    VornBuffer* buffer = VornBuffer::Build(width, height, nullptr);
    if (buffer == nullptr) {
        return nullptr;
    }
    _VORNRGBAQUAD* out = buffer->getPixels();
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = block.data() + static_cast<std::size_t>(y) * stride;
        _VORNRGBAQUAD* dst = out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        if (withAlpha) {
            std::memcpy(dst, row, static_cast<std::size_t>(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            dst[x] = packColour(row[3 * x + 2], row[3 * x + 1], row[3 * x], 255);
        }
    }
    if (info.bmiHeader.biXPelsPerMeter != 0 || info.bmiHeader.biYPelsPerMeter != 0) {
        buffer->setDensity(0, info.bmiHeader.biXPelsPerMeter, info.bmiHeader.biYPelsPerMeter);
    }
    return buffer;
}

// The 32-bit DIB section of a buffer, made with a memory context compatible
// with the screen.
HBITMAP makeSection(const VornBuffer& buffer) {
    HDC memory = CreateCompatibleDC(nullptr);
    if (memory == nullptr) {
        return nullptr;
    }
    BITMAPINFO info = dibHeader(buffer.getWidth(), buffer.getHeight(), 32);
    info.bmiHeader.biXPelsPerMeter = buffer.getPixelsPerMetreX();
    info.bmiHeader.biYPelsPerMeter = buffer.getPixelsPerMetreY();
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section != nullptr) {
        copyBufferToBitmap(memory, section, &buffer, true);
    }
    DeleteDC(memory);
    return section;
}

// A bitmap compatible with `hdc` holding the buffer; null when it cannot be
// made.
HBITMAP compatibleBitmap(HDC hdc, const VornBuffer& buffer, bool withAlpha) {
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, buffer.getWidth(), buffer.getHeight());
    if (bitmap != nullptr) {
        copyBufferToBitmap(hdc, bitmap, &buffer, withAlpha);
    }
    return bitmap;
}

// A buffer of the given size holding `buffer` resampled; null when Build
// refuses the size.
VornBuffer* resampled(const VornBuffer& buffer, int width, int height) {
    VornBuffer* scratch = VornBuffer::Build(width, height, nullptr);
    if (scratch != nullptr) {
        buffer.resize(scratch);
    }
    return scratch;
}

} // namespace

VornBuffer* bitmapToBuffer(HBITMAP bitmap) {
    return readBitmap(bitmap, false);
}

VornBuffer* bitmapToBufferWithAlpha(HBITMAP bitmap) {
    return readBitmap(bitmap, true);
}

bool copyBufferToBitmap(HDC hdc, HBITMAP bitmap, const VornBuffer* buffer, bool withAlpha) {
    if (hdc == nullptr) {
        return false;
    }
    if (bitmap == nullptr) {
        return false;
    }
    if (!hasPixels(buffer)) {
        return false;
    }
    const int width = buffer->getWidth();
    const int height = buffer->getHeight();
    const int bytesPerPixel = withAlpha ? 4 : 3;
    const std::size_t stride = dibStride(width, bytesPerPixel);
    // Zero-filled, so the padding at the end of each 24-bit row is 0.
    std::vector<unsigned char> block(stride * static_cast<std::size_t>(height));
    const _VORNRGBAQUAD* pixels = buffer->getPixels();
    // Bottom-up: the block's first row is the buffer's last.
    for (int y = height - 1, r = 0; y >= 0; --y, ++r) {
        unsigned char* row = block.data() + static_cast<std::size_t>(r) * stride;
        if (withAlpha) {
            std::memcpy(row, pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                        static_cast<std::size_t>(width) * 4);
        } else {
            buffer->getRowRGB(y, row, false);
        }
    }
    BITMAPINFO info = dibHeader(width, height, bytesPerPixel * 8);
    info.bmiHeader.biSizeImage = static_cast<DWORD>(block.size());
    info.bmiHeader.biXPelsPerMeter = buffer->getPixelsPerMetreX();
    info.bmiHeader.biYPelsPerMeter = buffer->getPixelsPerMetreY();
    SetDIBits(hdc, bitmap, 0, static_cast<UINT>(height), block.data(), &info, DIB_RGB_COLORS);
    return true;
}

HBITMAP bufferToBitmap(HDC hdc, const VornBuffer* buffer, bool withAlpha) {
    if (!hasPixels(buffer)) {
        return nullptr;
    }
    if (hdc == nullptr) {
        // The display's format, through a context closed before returning.
        DisplayContext display;
        return display.get() != nullptr ? compatibleBitmap(display.get(), *buffer, withAlpha)
                                        : nullptr;
    }
    return compatibleBitmap(hdc, *buffer, withAlpha);
}

HBITMAP bufferToBitmap(HDC hdc, int width, int height, const VornBuffer* buffer) {
    if (!hasPixels(buffer)) {
        return nullptr;
    }
    VornBuffer* scratch = resampled(*buffer, width, height);
    if (scratch == nullptr) {
        return nullptr;
    }
    HBITMAP bitmap = bufferToBitmap(hdc, scratch, false);
    VornBuffer::Destroy(scratch);
    return bitmap;
}

HBITMAP bufferToBitmap(const VornBuffer* buffer) {
    if (!hasPixels(buffer)) {
        return nullptr;
    }
    return makeSection(*buffer);
}

HBITMAP bufferToBitmap(int width, int height, const VornBuffer* buffer) {
    if (!hasPixels(buffer)) {
        return nullptr;
    }
    VornBuffer* scratch = resampled(*buffer, width, height);
    if (scratch == nullptr) {
        return nullptr;
    }
    HBITMAP section = makeSection(*scratch);
    VornBuffer::Destroy(scratch);
    return section;
}
