// SPDX-License-Identifier: MIT
// Internal: the x86 variants of the core's row kernels (SSE2 and AVX2), and
// the CPU checks that choose them. On other processors the checks report
// false and the variants are never called.
#ifndef VORN_SRC_CORE_ROW_KERNELS_X86_H
#define VORN_SRC_CORE_ROW_KERNELS_X86_H

#include "core/core.h"

namespace vorn::detail {

bool cpuHasSse2();
bool cpuHasAvx2();

void blendRowSse2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n);
void blendRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n);
void bitOpRowSse2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op);
void bitOpRowAvx2(_VORNRGBAQUAD* dst, const _VORNRGBAQUAD* src, std::size_t n, BitOp op);
void fillPixelsSse2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour);
void fillPixelsAvx2(_VORNRGBAQUAD* dst, std::size_t n, _VORNRGBAQUAD colour);

} // namespace vorn::detail

#endif
