// SPDX-License-Identifier: MIT
// The in-memory GDI's pixel transfers: DIB memory to and from bitmaps
// (GetDIBits, SetDIBits), copies between contexts (BitBlt, StretchBlt) and
// DIB memory onto a context (StretchDIBits).

#include "gdi_objects.h"

#include <cstring>

namespace gdistandin {
namespace {

// Nearest of black and white for a colour written into a monochrome
// bitmap: white when the colour is closer to white than to black.
std::uint32_t nearestMono(std::uint32_t word) {
    const unsigned sum = (word & 0xFF) + ((word >> 8) & 0xFF) + ((word >> 16) & 0xFF);
    return 2 * sum > 765 ? kWhite : kBlack;
}

// Colour to monochrome in a copy between contexts: the background colour
// (white) becomes white, every other colour black.
std::uint32_t colourToMono(std::uint32_t word) {
    return (word & kWhite) == kWhite ? kWhite : kBlack;
}

// Bytes per row of DIB memory: rows padded to 4 bytes.
bool dibStride(long long width, int bitCount, std::size_t& stride) {
    if (width <= 0 || width > INT32_MAX) {
        return false;
    }
    stride = static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
    return true;
}

bool supportedDib(const BITMAPINFOHEADER& h) {
    return h.biSize >= sizeof(BITMAPINFOHEADER) && (h.biBitCount == 24 || h.biBitCount == 32) &&
           h.biCompression == BI_RGB && h.biWidth > 0 && h.biHeight != 0;
}

long long dibRows(const BITMAPINFOHEADER& h) {
    return h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
}

std::uint32_t readDibPixel(const unsigned char* p, int bitCount) {
    if (bitCount == 32) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        return w;
    }
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}

void writeDibPixel(unsigned char* p, int bitCount, std::uint32_t w) {
    if (bitCount == 32) {
        std::memcpy(p, &w, 4);
        return;
    }
    p[0] = static_cast<unsigned char>(w);
    p[1] = static_cast<unsigned char>(w >> 8);
    p[2] = static_cast<unsigned char>(w >> 16);
}

// The image row of a DIB scan line: scan lines of a bottom-up image count
// from the bottom.
long long imageRow(const BITMAPINFOHEADER& h, long long scanLine) {
    return h.biHeight < 0 ? scanLine : dibRows(h) - 1 - scanLine;
}

// Where pixels come from in a copy: a bitmap or DIB memory.
struct Source {
    const Bitmap* bitmap = nullptr;
    const unsigned char* dib = nullptr;
    const BITMAPINFOHEADER* header = nullptr;
    std::size_t stride = 0;
    long long width = 0;
    long long height = 0;
    bool mono = false;

    std::uint32_t at(long long x, long long y) const {
        if (bitmap != nullptr) {
            return bitmap->row(static_cast<int>(y))[x];
        }
        const long long memoryRow = header->biHeight < 0 ? y : height - 1 - y;
        return readDibPixel(dib + static_cast<std::size_t>(memoryRow) * stride +
                                static_cast<std::size_t>(x) * (header->biBitCount / 8),
                            header->biBitCount);
    }
};

// One direction of a rectangle in device pixels: [start, start + length),
// and whether its extent was negative (a negative extent covers the pixels
// from the far corner + 1 up to the first corner).
struct Span {
    long long start;
    long long length;
    bool negative;
};

Span span(long long first, long long second) {
    if (second >= first) {
        return {first, second - first, false};
    }
    return {second + 1, first - second, true};
}

bool needsSource(DWORD rop) {
    return rop != BLACKNESS && rop != WHITENESS && rop != DSTINVERT;
}

bool knownRop(DWORD rop) {
    switch (rop) {
    case SRCCOPY:
    case SRCPAINT:
    case SRCAND:
    case SRCINVERT:
    case NOTSRCCOPY:
    case DSTINVERT:
    case BLACKNESS:
    case WHITENESS:
        return true;
    default:
        return false;
    }
}

std::uint32_t applyRop(DWORD rop, std::uint32_t s, std::uint32_t d) {
    switch (rop) {
    case SRCPAINT:
        return s | d;
    case SRCAND:
        return s & d;
    case SRCINVERT:
        return s ^ d;
    case NOTSRCCOPY:
        return ~s & kWhite;
    case DSTINVERT:
        return ~d & kWhite;
    case BLACKNESS:
        return kBlack;
    case WHITENESS:
        return kWhite;
    default: // SRCCOPY
        return s;
    }
}

// Copies the source rectangle onto the destination rectangle (both in
// device pixels of their surfaces), nearest-neighbour when the sizes
// differ, mirrored in a direction whose extents have opposite signs.
// Pixels outside either surface are left alone.
void transfer(Bitmap& dst, Span dx, Span dy, const Source* src, Span sx, Span sy, DWORD rop) {
    if (dx.length == 0 || dy.length == 0 ||
        (src != nullptr && (sx.length == 0 || sy.length == 0))) {
        return;
    }
    const long long i0 = dx.start < 0 ? -dx.start : 0;
    const long long i1 = dx.start + dx.length > dst.width ? dst.width - dx.start : dx.length;
    const long long j0 = dy.start < 0 ? -dy.start : 0;
    const long long j1 = dy.start + dy.length > dst.height ? dst.height - dy.start : dy.length;
    if (i0 >= i1 || j0 >= j1) {
        return;
    }
    const std::size_t w = static_cast<std::size_t>(i1 - i0);
    // The source column of each destination column, -1 where it falls
    // outside the source, worked out once for every row.
    std::vector<long long> columns(w, -1);
    if (src != nullptr) {
        for (long long i = i0; i < i1; ++i) {
            long long k = i * sx.length / dx.length;
            if (sx.negative != dx.negative) {
                k = sx.length - 1 - k;
            }
            const long long x = sx.start + k;
            columns[static_cast<std::size_t>(i - i0)] = x >= 0 && x < src->width ? x : -1;
        }
    }
    // A copy within one surface reads everything before writing, so that
    // it sees the pixels as they were.
    const bool sameSurface = src != nullptr && src->bitmap == &dst;
    std::vector<std::uint32_t> values(sameSurface ? w * static_cast<std::size_t>(j1 - j0) : w);
    for (int pass = sameSurface ? 0 : 1; pass < 2; ++pass) {
        for (long long j = j0; j < j1; ++j) {
            std::uint32_t* row = dst.row(static_cast<int>(dy.start + j)) + dx.start + i0;
            std::uint32_t* out =
                values.data() + (sameSurface ? static_cast<std::size_t>(j - j0) * w : 0);
            long long sourceRow = 0;
            if (src != nullptr) {
                long long k = j * sy.length / dy.length;
                if (sy.negative != dy.negative) {
                    k = sy.length - 1 - k;
                }
                sourceRow = sy.start + k;
                if (sourceRow < 0 || sourceRow >= src->height) {
                    continue;
                }
            }
            if (pass == 1 && sameSurface) {
                for (std::size_t i = 0; i < w; ++i) {
                    if (columns[i] >= 0) {
                        row[i] = out[i];
                    }
                }
                continue;
            }
            const std::uint32_t* sourceLine = src != nullptr && src->bitmap != nullptr
                                                  ? src->bitmap->row(static_cast<int>(sourceRow))
                                                  : nullptr;
            if (sourceLine != nullptr && rop == SRCCOPY && dst.bitsPixel == 32 && !src->mono) {
                // The common plain copy between 32-bit surfaces.
                for (std::size_t i = 0; i < w; ++i) {
                    if (columns[i] >= 0) {
                        out[i] = sourceLine[columns[i]];
                    }
                }
            } else {
                for (std::size_t i = 0; i < w; ++i) {
                    std::uint32_t v = 0;
                    if (src != nullptr) {
                        if (columns[i] < 0) {
                            continue;
                        }
                        v = sourceLine != nullptr ? sourceLine[columns[i]]
                                                  : src->at(columns[i], sourceRow);
                        if (dst.bitsPixel == 1 && !src->mono) {
                            v = colourToMono(v);
                        }
                    }
                    std::uint32_t r = applyRop(rop, v, row[i]);
                    if (dst.bitsPixel == 1) {
                        r = (r & kWhite) == kWhite ? kWhite : kBlack;
                    }
                    out[i] = r;
                }
            }
            if (!sameSurface) {
                for (std::size_t i = 0; i < w; ++i) {
                    if (src == nullptr || columns[i] >= 0) {
                        row[i] = out[i];
                    }
                }
            }
        }
    }
}

// The device rectangle of a logical rectangle of a context.
void deviceSpans(const DcState& s, int x, int y, int width, int height, Span& sx, Span& sy) {
    const POINT a = toDevice(s, x, y);
    const POINT b = toDevice(s, static_cast<LONG>(static_cast<long long>(x) + width),
                             static_cast<LONG>(static_cast<long long>(y) + height));
    sx = span(a.x, b.x);
    sy = span(a.y, b.y);
}

// Spans longer than this are refused, which keeps the products of the
// nearest-neighbour mapping (index x length) inside 63 bits.
bool tooLong(const Span& s) {
    return s.length > INT32_MAX;
}

// The surface of a context and the device spans of a logical rectangle on
// it; false for an invalid context, a context without a surface or spans
// that are too long.
bool deviceRect(Table& t, HDC hdc, int x, int y, int width, int height, Bitmap*& surface, Span& sx,
                Span& sy) {
    Dc* dc = findContext(t, hdc);
    if (dc == nullptr) {
        return false;
    }
    surface = surfaceOf(t, *dc);
    if (surface == nullptr) {
        return false;
    }
    deviceSpans(dc->state, x, y, width, height, sx, sy);
    return !tooLong(sx) && !tooLong(sy);
}

// Logical sums such as x + width may leave the int range; those rectangles
// are refused rather than wrapped.
bool fitsInt(long long a, long long b) {
    const long long s = a + b;
    return s >= INT32_MIN && s <= INT32_MAX;
}

BOOL stretch(HDC hdcDst, int x, int y, int width, int height, HDC hdcSrc, int srcX, int srcY,
             int srcWidth, int srcHeight, DWORD rop) {
    if (!knownRop(rop) || !fitsInt(x, width) || !fitsInt(y, height) || !fitsInt(srcX, srcWidth) ||
        !fitsInt(srcY, srcHeight)) {
        return FALSE;
    }
    Table& t = table();
    Lock lock(t.mutex);
    Bitmap* target = nullptr;
    Span dx;
    Span dy;
    if (!deviceRect(t, hdcDst, x, y, width, height, target, dx, dy)) {
        return FALSE;
    }
    if (!needsSource(rop)) {
        transfer(*target, dx, dy, nullptr, dx, dy, rop);
        return TRUE;
    }
    Bitmap* origin = nullptr;
    Span sx;
    Span sy;
    if (!deviceRect(t, hdcSrc, srcX, srcY, srcWidth, srcHeight, origin, sx, sy)) {
        return FALSE;
    }
    Source source;
    source.bitmap = origin;
    source.width = origin->width;
    source.height = origin->height;
    source.mono = origin->bitsPixel == 1;
    transfer(*target, dx, dy, &source, sx, sy, rop);
    return TRUE;
}

} // namespace
} // namespace gdistandin

using namespace gdistandin;

extern "C" {

int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info,
              UINT usage) {
    Table& t = table();
    Lock lock(t.mutex);
    const Bitmap* b = findBitmap(t, hbm);
    if (findContext(t, hdc) == nullptr || b == nullptr || info == nullptr ||
        (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        return 0;
    }
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER)) {
        return 0;
    }
    if (h.biBitCount == 0) {
        // Describe the bitmap itself.
        if (bits != nullptr) {
            return 0;
        }
        std::size_t stride = 0;
        dibStride(b->width, b->bitsPixel, stride);
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(b->bitsPixel);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(stride * static_cast<std::size_t>(b->height));
        return 1;
    }
    std::size_t stride = 0;
    if (!supportedDib(h) || !dibStride(h.biWidth, h.biBitCount, stride)) {
        return 0;
    }
    const long long rows = dibRows(h);
    if (static_cast<long long>(stride) * rows > 0xFFFFFFFFLL) {
        return 0;
    }
    h.biSizeImage = static_cast<DWORD>(stride * static_cast<std::size_t>(rows));
    if (bits == nullptr) {
        return 1;
    }
    unsigned char* out = static_cast<unsigned char*>(bits);
    const long long first = start;
    const long long last = first + lines < rows ? first + lines : rows;
    int copied = 0;
    for (long long line = first; line < last; ++line) {
        unsigned char* row = out + static_cast<std::size_t>(line - first) * stride;
        std::memset(row, 0, stride);
        const long long y = imageRow(h, line);
        if (y < b->height) {
            const std::uint32_t* in = b->row(static_cast<int>(y));
            const long long n = h.biWidth < b->width ? h.biWidth : b->width;
            if (h.biBitCount == 32) {
                std::memcpy(row, in, static_cast<std::size_t>(n) * 4);
            } else {
                for (long long x = 0; x < n; ++x) {
                    writeDibPixel(row + static_cast<std::size_t>(x) * 3, 24, in[x]);
                }
            }
        }
        ++copied;
    }
    h.biXPelsPerMeter = b->section ? b->header.biXPelsPerMeter : 0;
    h.biYPelsPerMeter = b->section ? b->header.biYPelsPerMeter : 0;
    return copied;
}

int SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, LPCVOID bits, const BITMAPINFO* info,
              UINT usage) {
    Table& t = table();
    Lock lock(t.mutex);
    Bitmap* b = findBitmap(t, hbm);
    if (findContext(t, hdc) == nullptr || b == nullptr || b->stock || bits == nullptr ||
        info == nullptr || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        return 0;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    std::size_t stride = 0;
    if (!supportedDib(h) || !dibStride(h.biWidth, h.biBitCount, stride)) {
        return 0;
    }
    const long long rows = dibRows(h);
    const int bytes = h.biBitCount / 8;
    const unsigned char* in = static_cast<const unsigned char*>(bits);
    const long long first = start;
    const long long last = first + lines < rows ? first + lines : rows;
    int copied = 0;
    for (long long line = first; line < last; ++line) {
        const unsigned char* row = in + static_cast<std::size_t>(line - first) * stride;
        const long long y = imageRow(h, line);
        if (y < b->height) {
            std::uint32_t* out = b->row(static_cast<int>(y));
            const long long n = h.biWidth < b->width ? h.biWidth : b->width;
            if (b->bitsPixel == 32 && h.biBitCount == 32) {
                std::memcpy(out, row, static_cast<std::size_t>(n) * 4);
            } else if (b->bitsPixel == 32) {
                for (long long x = 0; x < n; ++x) {
                    out[x] = readDibPixel(row + static_cast<std::size_t>(x) * 3, 24);
                }
            } else {
                for (long long x = 0; x < n; ++x) {
                    out[x] = nearestMono(
                        readDibPixel(row + static_cast<std::size_t>(x) * bytes, h.biBitCount));
                }
            }
        }
        ++copied;
    }
    return copied;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    return stretch(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
    return stretch(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
}

int StretchDIBits(HDC hdc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    if (bits == nullptr || info == nullptr || !knownRop(rop) ||
        (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) || !fitsInt(x, width) ||
        !fitsInt(y, height) || !fitsInt(srcX, srcWidth) || !fitsInt(srcY, srcHeight)) {
        return 0;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    Source source;
    if (!supportedDib(h) || !dibStride(h.biWidth, h.biBitCount, source.stride)) {
        return 0;
    }
    Table& t = table();
    Lock lock(t.mutex);
    Bitmap* target = nullptr;
    Span dx;
    Span dy;
    if (!deviceRect(t, hdc, x, y, width, height, target, dx, dy)) {
        return 0;
    }
    source.dib = static_cast<const unsigned char*>(bits);
    source.header = &h;
    source.width = h.biWidth;
    source.height = dibRows(h);
    const Span sx = span(srcX, static_cast<long long>(srcX) + srcWidth);
    // The source rectangle's y counts from the bottom row of a bottom-up
    // image; turn it into image rows counted from the top.
    const long long top = h.biHeight < 0 ? srcY : source.height - srcY - srcHeight;
    const Span sy = span(top, top + srcHeight);
    if (tooLong(sx) || tooLong(sy)) {
        return 0;
    }
    transfer(*target, dx, dy, &source, sx, sy, rop);
    const long long copied = srcHeight < 0 ? -static_cast<long long>(srcHeight) : srcHeight;
    return copied > INT32_MAX ? INT32_MAX : static_cast<int>(copied);
}

BOOL GdiFlush(void) {
    return TRUE;
}

} // extern "C"
