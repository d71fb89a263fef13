// SPDX-License-Identifier: MIT
// Buffer-to-buffer compositing: at an offset (blend and raster operations)
// and stretched into a rectangle.

#include "core/core.h"

#include <algorithm>
#include <functional>

using namespace vorn::detail;

namespace {

bool blocksOverlap(const VornBuffer& a, const VornBuffer& b) {
    const std::size_t na = static_cast<std::size_t>(a.getWidth()) * a.getHeight();
    const std::size_t nb = static_cast<std::size_t>(b.getWidth()) * b.getHeight();
    const _VORNRGBAQUAD* pa = a.getPixels();
    const _VORNRGBAQUAD* pb = b.getPixels();
    const std::less<const _VORNRGBAQUAD*> before;
    return before(pa, pb + nb) && before(pb, pa + na);
}

// One pixel of a raster operation, in the order the loops visit them.
void applyPixel(_VORNRGBAQUAD& d, const _VORNRGBAQUAD& s, int op) {
    switch (op) {
    case VornBuffer::ROP_BLEND:
        blendPixel(d, s, 255);
        break;
    case VornBuffer::ROP_XOR:
        bitOpRowReference(&d, &s, 1, BitOp::Xor);
        break;
    case VornBuffer::ROP_AND:
        bitOpRowReference(&d, &s, 1, BitOp::And);
        break;
    case VornBuffer::ROP_OR:
        bitOpRowReference(&d, &s, 1, BitOp::Or);
        break;
    default:
        break;
    }
}

// Places src with its top-left pixel at (x, y) of dst. Rows above dst are
// skipped and the walk ends at the first row below it; within a row only
// the columns inside dst are visited. When the two pixel blocks overlap
// (a buffer composited onto itself, or onto a view of itself) the pixels are
// visited one at a time in row-major order, so that later steps read what
// earlier ones wrote; otherwise whole spans go to the row kernels.
int composite(VornBuffer& dst, const VornBuffer* src, int x, int y, int op) {
    if (!src) {
        return -1;
    }
    const long long w = src->getWidth();
    const long long h = src->getHeight();
    const long long W = dst.getWidth();
    const long long H = dst.getHeight();
    if (h < 1 || w < 1 || !src->getPixels() || !dst.getPixels()) {
        return 0;
    }
    if (op < VornBuffer::ROP_BLEND || op > VornBuffer::ROP_OR) {
        return 0;
    }
    const long long i0 = std::max(0LL, -static_cast<long long>(x));
    const long long i1 = std::min(w, W - x);
    const long long j0 = std::max(0LL, -static_cast<long long>(y));
    const long long j1 = std::min(h, H - y);
    if (i0 >= i1 || j0 >= j1) {
        return 0;
    }
    const bool sequential = blocksOverlap(dst, *src);
    const std::size_t span = static_cast<std::size_t>(i1 - i0);
    for (long long j = j0; j < j1; ++j) {
        const _VORNRGBAQUAD* s = src->getPixels() + j * w + i0;
        _VORNRGBAQUAD* d = dst.getPixels() + (y + j) * W + (x + i0);
        if (sequential) {
            for (std::size_t i = 0; i < span; ++i) {
                applyPixel(d[i], s[i], op);
            }
            continue;
        }
        switch (op) {
        case VornBuffer::ROP_BLEND:
            blendRow(d, s, span);
            break;
        case VornBuffer::ROP_XOR:
            bitOpRow(d, s, span, BitOp::Xor);
            break;
        case VornBuffer::ROP_AND:
            bitOpRow(d, s, span, BitOp::And);
            break;
        default:
            bitOpRow(d, s, span, BitOp::Or);
            break;
        }
    }
    return 0;
}

} // namespace

int VornBuffer::rop(const VornBuffer* src, int x, int y, ROP op) {
    return composite(*this, src, x, y, op);
}

int VornBuffer::blend(const VornBuffer* src, int x, int y) {
    return composite(*this, src, x, y, ROP_BLEND);
}

int VornBuffer::xorBlend(const VornBuffer* src, int x, int y) {
    return composite(*this, src, x, y, ROP_XOR);
}

int VornBuffer::andBlend(const VornBuffer* src, int x, int y) {
    return composite(*this, src, x, y, ROP_AND);
}

int VornBuffer::orBlend(const VornBuffer* src, int x, int y) {
    return composite(*this, src, x, y, ROP_OR);
}

int VornBuffer::blend(const VornBuffer* src, int x1, int y1, int x2, int y2) {
    if (!src) {
        return -1;
    }
    if (!pixels || !src->pixels) {
        return 0;
    }
    // The sampling is single precision on purpose: it decides which source
    // column and row each destination pixel takes. Differences are formed
    // in 64 bits so that extreme corners cannot overflow.
    const float kx = 1.0f / static_cast<float>(static_cast<long long>(x2) - x1 + 1);
    const float ky = 1.0f / static_cast<float>(static_cast<long long>(y2) - y1 + 1);
    const float w = static_cast<float>(src->width);
    const float h = static_cast<float>(src->height);
    for (long long dy = std::max(y1, 0); dy <= y2; ++dy) {
        if (dy >= height) {
            break;
        }
        const float fy = (static_cast<float>(dy - y1) * h) * ky;
        // trunc(fy) lies in [0, h) exactly when -1 < fy < h; testing the
        // float first keeps the conversion in range.
        if (!(fy > -1.0f && fy < h)) {
            continue;
        }
        const int sy = static_cast<int>(fy);
        const _VORNRGBAQUAD* srcRow = src->pixels + static_cast<std::size_t>(sy) * src->width;
        _VORNRGBAQUAD* dstRow = pixels + static_cast<std::size_t>(dy) * width;
        for (long long dx = std::max(x1, 0); dx <= x2; ++dx) {
            if (dx >= width) {
                break;
            }
            const float fx = (static_cast<float>(dx - x1) * w) * kx;
            if (!(fx > -1.0f && fx < w)) {
                continue;
            }
            blendPixel(dstRow[dx], srcRow[static_cast<int>(fx)], 255);
        }
    }
    return 0;
}
