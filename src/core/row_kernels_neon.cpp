// SPDX-License-Identifier: MIT
// NEON row kernels for 64-bit ARM, sixteen pixels at a time with the
// channels apart (vld4q_u8). The arithmetic is that of the references: the
// blend's 16-bit products never exceed 65,280, and its one division,
// a * 256 / A with A <= 255, is done in single precision, whose correctly
// rounded quotient truncates to the integer quotient (a quotient that is
// not whole lies at least 1/255 away from the next whole number).

#include "core/row_kernels.h"

#include <arm_neon.h>
#include <cstdint>
#include <cstring>

namespace vorn::detail {

namespace {

// a * 256 / A, truncated, for eight lanes (A >= 1).
uint16x8_t divideWeights(uint16x8_t a, uint16x8_t alpha) {
    const uint16x8_t num = vshlq_n_u16(a, 8);
    const float32x4_t lo = vdivq_f32(vcvtq_f32_u32(vmovl_u16(vget_low_u16(num))),
                                     vcvtq_f32_u32(vmovl_u16(vget_low_u16(alpha))));
    const float32x4_t hi = vdivq_f32(vcvtq_f32_u32(vmovl_u16(vget_high_u16(num))),
                                     vcvtq_f32_u32(vmovl_u16(vget_high_u16(alpha))));
    return vcombine_u16(vmovn_u32(vcvtq_u32_f32(lo)), vmovn_u32(vcvtq_u32_f32(hi)));
}

// The pixel blend of eight source pixels over eight destination pixels
// (channels apart, 16-bit lanes); writes the blended channels.
void blend8(const uint16x8_t s[4], const uint16x8_t d[4], uint16x8_t out[4]) {
    const uint16x8_t c255 = vdupq_n_u16(255);
    const uint16x8_t c256 = vdupq_n_u16(256);
    const uint16x8_t a = s[3];
    const uint16x8_t da = d[3];
    const uint16x8_t wOpaque = vaddq_u16(a, vdupq_n_u16(1));
    // t = (((256 - a) * da) >> 8) + 1 + a, A = min(t, 255).
    const uint16x8_t t = vaddq_u16(vshrq_n_u16(vmulq_u16(vsubq_u16(c256, a), da), 8), wOpaque);
    const uint16x8_t general = vminq_u16(t, c255);
    const uint16x8_t opaque = vceqq_u16(da, c255);
    const uint16x8_t w = vbslq_u16(opaque, wOpaque, divideWeights(a, general));
    const uint16x8_t rest = vsubq_u16(c256, w);
    const uint16x8_t keep = vceqq_u16(a, vdupq_n_u16(0));
    for (int c = 0; c < 3; ++c) {
        const uint16x8_t mixed = vshrq_n_u16(vmlaq_u16(vmulq_u16(s[c], w), d[c], rest), 8);
        out[c] = vbslq_u16(keep, d[c], mixed);
    }
    out[3] = vbslq_u16(keep, da, vbslq_u16(opaque, c255, general));
}

void blendRowNeon(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        std::uint8_t* dp = reinterpret_cast<std::uint8_t*>(dst + i);
        const std::uint8_t* sp = reinterpret_cast<const std::uint8_t*>(src + i);
        const uint8x16x4_t s = vld4q_u8(sp);
        // Wholly transparent or wholly opaque groups need no arithmetic.
        if (vmaxvq_u8(s.val[3]) == 0) {
            continue;
        }
        if (vminvq_u8(s.val[3]) == 255) {
            std::memcpy(dp, sp, 64);
            continue;
        }
        const uint8x16x4_t d = vld4q_u8(dp);
        uint8x16x4_t out;
        for (int half = 0; half < 2; ++half) {
            uint16x8_t s16[4];
            uint16x8_t d16[4];
            for (int c = 0; c < 4; ++c) {
                s16[c] = vmovl_u8(half == 0 ? vget_low_u8(s.val[c]) : vget_high_u8(s.val[c]));
                d16[c] = vmovl_u8(half == 0 ? vget_low_u8(d.val[c]) : vget_high_u8(d.val[c]));
            }
            uint16x8_t o16[4];
            blend8(s16, d16, o16);
            for (int c = 0; c < 4; ++c) {
                const uint8x8_t narrow = vmovn_u16(o16[c]);
                out.val[c] = half == 0 ? vcombine_u8(narrow, vget_high_u8(out.val[c]))
                                       : vcombine_u8(vget_low_u8(out.val[c]), narrow);
            }
        }
        vst4q_u8(dp, out);
    }
    blendRowReference(dst + i, src + i, n - i);
}

void bitOpRowNeon(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op) {
    const uint32x4_t alphaMask = vdupq_n_u32(0xFF000000u);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint32_t* dp = reinterpret_cast<std::uint32_t*>(dst + i);
        const uint32x4_t s = vld1q_u32(reinterpret_cast<const std::uint32_t*>(src + i));
        const uint32x4_t d = vld1q_u32(dp);
        uint32x4_t r;
        switch (op) {
        case BitOp::Xor:
            r = veorq_u32(d, vbicq_u32(s, alphaMask));
            break;
        case BitOp::And:
            r = vandq_u32(d, vorrq_u32(s, alphaMask));
            break;
        default:
            r = vorrq_u32(d, vbicq_u32(s, alphaMask));
            break;
        }
        vst1q_u32(dp, r);
    }
    bitOpRowReference(dst + i, src + i, n - i, op);
}

void fillPixelsNeon(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour) {
    std::uint32_t word;
    std::memcpy(&word, &colour, 4);
    const uint32x4_t v = vdupq_n_u32(word);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        std::uint32_t* p = reinterpret_cast<std::uint32_t*>(dst + i);
        vst1q_u32(p, v);
        vst1q_u32(p + 4, v);
        vst1q_u32(p + 8, v);
        vst1q_u32(p + 12, v);
    }
    for (; i + 4 <= n; i += 4) {
        vst1q_u32(reinterpret_cast<std::uint32_t*>(dst + i), v);
    }
    fillPixelsReference(dst + i, n - i, colour);
}

// Over opaque pixels the blend of one colour is (s * w + d * (256 - w)) >> 8
// per channel with w = alpha + 1 and s * w fixed; the alpha stays 255.
// Groups with a pixel that is not opaque go through the pixel blend.
void blendColourRowNeon(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour, std::ptrdiff_t) {
    if (colour.alpha == 0) {
        return;
    }
    const unsigned w = colour.alpha + 1u;
    const uint16x8_t fixed[3] = {vdupq_n_u16(static_cast<std::uint16_t>(colour.blue * w)),
                                 vdupq_n_u16(static_cast<std::uint16_t>(colour.green * w)),
                                 vdupq_n_u16(static_cast<std::uint16_t>(colour.red * w))};
    const uint8x8_t factor = vdup_n_u8(static_cast<std::uint8_t>(256 - w));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        std::uint8_t* dp = reinterpret_cast<std::uint8_t*>(dst + i);
        uint8x16x4_t d = vld4q_u8(dp);
        if (vminvq_u8(d.val[3]) != 255) {
            blendColourRowReference(dst + i, 16, colour, 0);
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const uint16x8_t lo = vmlal_u8(fixed[c], vget_low_u8(d.val[c]), factor);
            const uint16x8_t hi = vmlal_u8(fixed[c], vget_high_u8(d.val[c]), factor);
            d.val[c] = vcombine_u8(vshrn_n_u16(lo, 8), vshrn_n_u16(hi, 8));
        }
        vst4q_u8(dp, d);
    }
    blendColourRowReference(dst + i, n - i, colour, 0);
}

} // namespace

const RowKernels kRowKernelsNeon = {blendRowNeon, bitOpRowNeon, fillPixelsNeon, blendColourRowNeon,
                                    unpremultiplyRowPortable};

} // namespace vorn::detail
