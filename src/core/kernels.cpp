// SPDX-License-Identifier: MIT
// The kernel level: what this build has, what this CPU runs, and the one
// level in force (see kernels.h).

#include "core/kernels.h"

#include <initializer_list>

#if defined(VORN_KERNELS_X86) && defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace vorn::detail {

std::atomic<int> gKernelLevel{-1};

namespace {

#if defined(VORN_KERNELS_X86)
#if defined(_MSC_VER) && !defined(__clang__)
// CPUID leaf 7 for AVX2, leaf 1 for SSE2 and for the operating system's
// saving of the AVX registers (OSXSAVE and XCR0 bits 1 and 2).
bool cpuHasSse2() {
    int info[4];
    __cpuid(info, 1);
    return (info[3] & (1 << 26)) != 0;
}
bool cpuHasAvx2() {
    int info[4];
    __cpuid(info, 0);
    if (info[0] < 7) {
        return false;
    }
    __cpuid(info, 1);
    const bool osSaves = (info[2] & (1 << 27)) != 0 && (info[2] & (1 << 28)) != 0;
    if (!osSaves || (_xgetbv(0) & 6) != 6) {
        return false;
    }
    __cpuidex(info, 7, 0);
    return (info[1] & (1 << 5)) != 0;
}
#else
bool cpuHasSse2() {
    return __builtin_cpu_supports("sse2");
}
bool cpuHasAvx2() {
    return __builtin_cpu_supports("avx2");
}
#endif
#endif

} // namespace

const char* kernelLevelName(KernelLevel level) {
    switch (level) {
    case KernelLevel::Reference:
        return "Reference";
    case KernelLevel::Portable:
        return "Portable";
    case KernelLevel::Sse2:
        return "Sse2";
    case KernelLevel::Avx2:
        return "Avx2";
    case KernelLevel::Neon:
        return "Neon";
    }
    return "?";
}

bool kernelLevelAvailable(KernelLevel level) {
    switch (level) {
    case KernelLevel::Reference:
    case KernelLevel::Portable:
        return true;
    case KernelLevel::Sse2:
#if defined(VORN_KERNELS_X86)
        return cpuHasSse2();
#else
        return false;
#endif
    case KernelLevel::Avx2:
#if defined(VORN_KERNELS_X86)
        return cpuHasAvx2();
#else
        return false;
#endif
    case KernelLevel::Neon:
#if defined(VORN_KERNELS_NEON)
        return true; // part of every 64-bit ARM processor
#else
        return false;
#endif
    }
    return false;
}

KernelLevel resolveKernelLevel() {
    KernelLevel best = KernelLevel::Portable;
    for (KernelLevel level : {KernelLevel::Neon, KernelLevel::Sse2, KernelLevel::Avx2}) {
        if (kernelLevelAvailable(level)) {
            best = level;
        }
    }
    // Concurrent first calls all find the same level.
    gKernelLevel.store(static_cast<int>(best), std::memory_order_relaxed);
    return best;
}

KernelLevel setKernelLevel(KernelLevel level) {
    if (kernelLevelAvailable(level)) {
        gKernelLevel.store(static_cast<int>(level), std::memory_order_relaxed);
        return level;
    }
    return kernelLevel();
}

} // namespace vorn::detail
