// SPDX-License-Identifier: MIT
// Marker shapes: a square with clipped corners, an upward triangle and a
// flat rounded oval, painted from the buffer's top-left corner. Sizes are
// doubles compared with pixel indices; every loop is limited to the buffer
// before it runs, so a huge size costs no more than the buffer's pixels.

#include "shapes/shapes.h"

#include <cmath>

using namespace vorn::detail;

namespace {

/// How many of the indices 0, 1, ..., count - 1 lie below `limit`: the
/// number of turns of "for i = 0, 1, ... while limit > i", cut at count.
long long indicesBelow(double limit, long long count) {
    if (!(limit > 0.0)) {
        return 0;
    }
    if (limit >= static_cast<double>(count)) {
        return count;
    }
    return static_cast<long long>(std::ceil(limit));
}

/// Rows first..last (both included) from column 0 to columns - 1.
void writeRows(const Canvas& canvas, long long first, long long last, long long columns,
               _VORNRGBAQUAD colour) {
    if (first < 0) {
        first = 0;
    }
    if (last >= canvas.height) {
        last = canvas.height - 1;
    }
    for (long long y = first; y <= last; ++y) {
        writeSpan(canvas, 0, columns - 1, y, colour);
    }
}

/// Whether a marker of size w x h can paint anything: finite sizes (an
/// infinite one has no last row or column) and a buffer with pixels.
bool paintable(double w, double h, const _VORNRGBAQUAD* pixels) {
    return std::isfinite(w) && std::isfinite(h) && pixels != nullptr;
}

} // namespace

int VornBuffer::fillSquare(double w, double h, unsigned char red, unsigned char green,
                           unsigned char blue, unsigned char alpha) {
    if (!paintable(w, h, pixels)) {
        return 0;
    }
    if (w != h) {
        return 0;
    }
    const Canvas canvas{pixels, width, height};
    const _VORNRGBAQUAD colour = packColour(red, green, blue, alpha);
    int inset = 0;
    if (w > 4.0) {
        // The top and bottom rows lose their end pixels:
        // x = 1, 2, ... while w - 1 > x.
        inset = 1;
        const long long end = indicesBelow(w - 1.0, width);
        writeSpan(canvas, 1, end - 1, 0, colour);
        writeSpan(canvas, 1, end - 1, saturateToInt(h - 1.0), colour);
    }
    // Full rows y = inset, inset + 1, ... while h - inset > y.
    const long long rowsEnd = indicesBelow(h - inset, height);
    writeRows(canvas, inset, rowsEnd - 1, indicesBelow(w, width), colour);
    return 0;
}

int VornBuffer::fillTriangle(double w, double h, unsigned char red, unsigned int green,
                             unsigned char blue, unsigned char alpha) {
    if (!paintable(w, h, pixels)) {
        return 0;
    }
    const Canvas canvas{pixels, width, height};
    const _VORNRGBAQUAD colour =
        packColour(red, static_cast<unsigned char>(green & 0xFFu), blue, alpha);
    const long long mid = saturateToInt((w + 1.0) * 0.5);
    const long long right = saturateToInt(w);
    const long long base = saturateToInt(h);
    // A triangle without height: nothing to paint, and the edge formulas
    // below would divide by zero.
    if (base == 0) {
        return 0;
    }
    if (base < 0) {
        // Pointing down from row base to the apex at row 0: only the apex
        // can fall in the buffer.
        writePixel(canvas, mid, 0, colour);
        return 0;
    }
    const long long lastRow = base < height - 1 ? base : height - 1;
    for (long long y = 0; y <= lastRow; ++y) {
        // The edges from the apex (mid, 0) to (0, base) and (right, base),
        // truncated toward zero. 64-bit products: y < 2^29 and the widths
        // below 2^32 keep them under 2^61, where 32 bits would overflow.
        const long long xa = mid + (y * (0 - mid)) / base;
        const long long xb = mid + (y * (right - mid)) / base;
        writeSpan(canvas, xa < xb ? xa : xb, xa < xb ? xb : xa, y, colour);
    }
    return 0;
}

int VornBuffer::fillOval(double w, double h, unsigned char red, unsigned char green,
                         unsigned char blue, unsigned char alpha) {
    if (!paintable(w, h, pixels)) {
        return 0;
    }
    const Canvas canvas{pixels, width, height};
    const _VORNRGBAQUAD colour = packColour(red, green, blue, alpha);
    const long long ovalHeight = saturateToInt((h + 1.0) * 0.5);
    const long long top = saturateToInt((h + 1.0) * 0.25);
    const long long bottom = top + ovalHeight; // the first row below the pill
    const long long columns = indicesBelow(w, width);
    if (ovalHeight < 6) {
        writeRows(canvas, top, bottom - 1, columns, colour);
        return 0;
    }

    // The two top and two bottom rows are shortened by two and by one
    // pixel at each end. The full rows end at column ceil(w) - 1; with a
    // fractional width trunc(w - 2) and trunc(w - 1) mirror columns 2 and
    // 1 about that. A whole-number width n would put the right ends one
    // column further out (n - 2, n - 1) than the mirror image and leave
    // (n - 2) unpainted in the second and second-last rows, so those ends
    // move in by one. Below 4 the moved ends would pass the left ones and
    // open a hole of their own, so those widths keep the formulas.
    long long outer = saturateToInt(w - 2.0); // right end of rows top, bottom - 1
    long long inner = saturateToInt(w - 1.0); // right end of rows top + 1, bottom - 2
    if (w >= 4.0 && w == std::trunc(w)) {
        --outer;
        --inner;
    }
    writePixel(canvas, 2, top, colour);
    writePixel(canvas, 1, top + 1, colour);
    writePixel(canvas, 1, bottom - 2, colour);
    writePixel(canvas, 2, bottom - 1, colour);
    writePixel(canvas, outer, top, colour);
    writePixel(canvas, inner, top + 1, colour);
    writePixel(canvas, inner, bottom - 2, colour);
    writePixel(canvas, outer, bottom - 1, colour);
    if (w - 2.0 > 2.0) {
        // x = 2, 3, ... while w - 2 > x, on the four shortened rows.
        const long long end = indicesBelow(w - 2.0, width);
        writeSpan(canvas, 2, end - 1, top, colour);
        writeSpan(canvas, 2, end - 1, top + 1, colour);
        writeSpan(canvas, 2, end - 1, bottom - 1, colour);
        writeSpan(canvas, 2, end - 1, bottom - 2, colour);
    }
    writeRows(canvas, top + 2, bottom - 3, columns, colour);
    return 0;
}
