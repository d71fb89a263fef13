// SPDX-License-Identifier: MIT
// The transform subsystem's Reference and Portable kernel tables, and the
// choice of table by level (the AVX2 table is in transform_avx2.cpp; SSE2
// and NEON take the Portable one, which compilers vectorise for them).

#include "transform/transform_kernels.h"

#include "core/kernels.h"

namespace vorn::detail {

const TransformKernels kTransformReference = {reduceBlocksReference, resampleReference,
                                              rotateReference, warpQuadReference,
                                              // The plain members have no inner loops of their own.
                                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

const TransformKernels kTransformPortable = {
    reduceBlocksFast,     resampleFast,         rotateFast,           warpQuadFast,
    blockRowsPortable,    resampleRowsPortable, dyadicAcrossPortable, dyadicDownPortable,
    rotatePixelsPortable, warpCellPortable};

namespace {

constexpr KernelTables<TransformKernels> kTables(&kTransformReference, &kTransformPortable, nullptr,
                                                 VORN_AVX2_TABLE(kTransformAvx2),
                                                 nullptr);

} // namespace

const TransformKernels& transformKernels() {
    return kTables.current();
}

} // namespace vorn::detail
