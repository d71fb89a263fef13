// SPDX-License-Identifier: MIT
// Row kernels of the buffer core: the plain reference of each, and the
// dispatch to the fastest variant that this CPU runs (row_kernels_x86.cpp).

#include "core/core.h"
#include "core/row_kernels_x86.h"

#include <array>
#include <atomic>

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

KernelLevel detectLevel() {
    if (cpuHasAvx2()) {
        return KernelLevel::Avx2;
    }
    if (cpuHasSse2()) {
        return KernelLevel::Sse2;
    }
    return KernelLevel::Reference;
}

std::atomic<int> gLevel{-1};

KernelLevel currentLevel() {
    int level = gLevel.load(std::memory_order_relaxed);
    if (level < 0) {
        level = static_cast<int>(detectLevel());
        gLevel.store(level, std::memory_order_relaxed);
    }
    return static_cast<KernelLevel>(level);
}

} // namespace

void unpremultiplyRow(_VORNRGBAQUAD* p, std::size_t n) {
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

KernelLevel kernelLevel() {
    return currentLevel();
}

KernelLevel setKernelLevel(KernelLevel level) {
    const KernelLevel best = detectLevel();
    if (static_cast<int>(level) > static_cast<int>(best)) {
        level = best;
    }
    gLevel.store(static_cast<int>(level), std::memory_order_relaxed);
    return level;
}

void blendRow(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    switch (currentLevel()) {
    case KernelLevel::Avx2:
        blendRowAvx2(dst, src, n);
        return;
    case KernelLevel::Sse2:
        blendRowSse2(dst, src, n);
        return;
    case KernelLevel::Reference:
        break;
    }
    blendRowReference(dst, src, n);
}

void bitOpRow(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    switch (currentLevel()) {
    case KernelLevel::Avx2:
        bitOpRowAvx2(dst, src, n, op);
        return;
    case KernelLevel::Sse2:
        bitOpRowSse2(dst, src, n, op);
        return;
    case KernelLevel::Reference:
        break;
    }
    bitOpRowReference(dst, src, n, op);
}

void fillPixels(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    switch (currentLevel()) {
    case KernelLevel::Avx2:
        fillPixelsAvx2(dst, n, colour);
        return;
    case KernelLevel::Sse2:
        fillPixelsSse2(dst, n, colour);
        return;
    case KernelLevel::Reference:
        break;
    }
    for (std::size_t i = 0; i < n; ++i) {
        dst[i] = colour;
    }
}

} // namespace vorn::detail
