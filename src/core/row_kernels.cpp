// SPDX-License-Identifier: MIT
// Row kernels of the buffer core: the plain reference of each, the portable
// un-premultiplying by reciprocals, and the choice of table by level (the
// vector tables are in row_kernels_sse2.cpp, _avx2.cpp and _neon.cpp).

#include "core/core.h"

#include <array>
#include <cstdint>

namespace vorn::detail {

void blendRowReference(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        blendPixel(dst[i], src[i], 255);
    }
}

void bitOpRowReference(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    for (std::size_t i = 0; i < n; ++i) {
        switch (op) {
        case BitOp::Xor:
            dst[i].blue ^= src[i].blue;
            dst[i].green ^= src[i].green;
            dst[i].red ^= src[i].red;
            break;
        case BitOp::And:
            dst[i].blue &= src[i].blue;
            dst[i].green &= src[i].green;
            dst[i].red &= src[i].red;
            break;
        case BitOp::Or:
            dst[i].blue |= src[i].blue;
            dst[i].green |= src[i].green;
            dst[i].red |= src[i].red;
            break;
        }
    }
}

void fillPixelsReference(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    for (std::size_t i = 0; i < n; ++i) {
        dst[i] = colour;
    }
}

void blendColourRowReference(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour,
                             std::ptrdiff_t) {
    for (std::size_t i = 0; i < n; ++i) {
        blendPixel(dst[i], colour, 255);
    }
}

void unpremultiplyRowReference(_VORNRGBAQUAD* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned a = p[i].alpha;
        if (a == 0) {
            continue;
        }
        // Only the low 8 bits are kept when a colour byte exceeds its alpha.
        p[i].blue = static_cast<unsigned char>(p[i].blue * 255u / a);
        p[i].green = static_cast<unsigned char>(p[i].green * 255u / a);
        p[i].red = static_cast<unsigned char>(p[i].red * 255u / a);
    }
}

namespace {

// m[a] = ceil(2^32 / a). For n = c * 255 <= 65025 the error of m, below a,
// times n stays under 2^32, so (n * m[a]) >> 32 is exactly floor(n / a).
constexpr std::array<std::uint64_t, 256> makeReciprocals() {
    std::array<std::uint64_t, 256> m{};
    for (std::uint64_t a = 1; a < 256; ++a) {
        m[a] = ((std::uint64_t{1} << 32) + a - 1) / a;
    }
    return m;
}

constexpr std::array<std::uint64_t, 256> kReciprocal = makeReciprocals();

unsigned char divide255(unsigned c, unsigned a) {
    return static_cast<unsigned char>((c * 255u * kReciprocal[a]) >> 32);
}

} // namespace

void unpremultiplyRowPortable(_VORNRGBAQUAD* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned a = p[i].alpha;
        if (a == 0) {
            continue;
        }
        p[i].blue = divide255(p[i].blue, a);
        p[i].green = divide255(p[i].green, a);
        p[i].red = divide255(p[i].red, a);
    }
}

const RowKernels kRowKernelsReference = {blendRowReference, bitOpRowReference, fillPixelsReference,
                                         blendColourRowReference, unpremultiplyRowReference};

const RowKernels kRowKernelsPortable = {blendRowReference, bitOpRowReference, fillPixelsReference,
                                        blendColourRowReference, unpremultiplyRowPortable};

namespace {

constexpr KernelTables<RowKernels> kTables(&kRowKernelsReference, &kRowKernelsPortable,
                                           VORN_SSE2_TABLE(kRowKernelsSse2),
                                           VORN_AVX2_TABLE(kRowKernelsAvx2),
                                           VORN_NEON_TABLE(kRowKernelsNeon));

} // namespace

const RowKernels& rowKernels() {
    return kTables.current();
}

} // namespace vorn::detail
