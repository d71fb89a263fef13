// SPDX-License-Identifier: MIT
// Internal to the library: how the fast paths are chosen. Every subsystem
// that has kernels (the inner loops of its fast paths) gathers them in a
// table of function pointers, one table per instruction-set level:
//
//   Reference  the plain reference of every kernel, step by step as the
//              behaviour is defined (the members of VornBuffer);
//   Portable   the fast paths in standard C++, for every processor;
//   Sse2, Avx2 x86 (SSE2 is the x86-64 baseline);
//   Neon       64-bit ARM.
//
// The tables of one instruction set live in source files of their own
// (`*_sse2.cpp`, `*_avx2.cpp`, `*_neon.cpp`), which the build compiles with
// that instruction set's flags and only for the processors that have it
// (VORN_KERNELS_X86, VORN_KERNELS_NEON). The level is resolved once, on
// first use, as the best one that this build has and this CPU runs; a
// subsystem without kernels of its own at a level uses those of the level
// below it (Avx2 -> Sse2 -> Portable, Neon -> Portable). Tests force each
// level in turn; every level gives the reference's bytes.
//
// The instruction-set files call no inline function or template that a
// header shares with other files (one instantiated there would be compiled
// for that instruction set, and the linker may keep that copy for callers
// on processors without it): the headers they include only declare, or
// define in an anonymous namespace, which gives every file copies of its
// own. A test checks their objects for shared (weak) definitions.
#ifndef VORN_SRC_CORE_KERNELS_H
#define VORN_SRC_CORE_KERNELS_H

#include <atomic>

namespace vorn::detail {

enum class KernelLevel : int { Reference, Portable, Sse2, Avx2, Neon };

constexpr int kKernelLevelCount = 5;

/// The level whose kernels stand in at `level` for a subsystem that has
/// none of its own there (Reference stands for itself).
constexpr KernelLevel lowerKernelLevel(KernelLevel level) {
    switch (level) {
    case KernelLevel::Avx2:
        return KernelLevel::Sse2;
    case KernelLevel::Sse2:
    case KernelLevel::Neon:
        return KernelLevel::Portable;
    case KernelLevel::Portable:
    case KernelLevel::Reference:
        break;
    }
    return KernelLevel::Reference;
}

/// "Reference", "Portable", "Sse2", "Avx2", "Neon".
const char* kernelLevelName(KernelLevel level);

/// Whether this build has the level's kernels and this CPU runs them.
bool kernelLevelAvailable(KernelLevel level);

/// The level in force as an int; -1 until it is first resolved.
extern std::atomic<int> gKernelLevel;
KernelLevel resolveKernelLevel();

/// The level in force: the best available, unless a test forced another.
inline KernelLevel kernelLevel() {
    const int level = gKernelLevel.load(std::memory_order_relaxed);
    return level >= 0 ? static_cast<KernelLevel>(level) : resolveKernelLevel();
}

/// Forces a level when it is available (else nothing changes); returns the
/// level in force afterwards.
KernelLevel setKernelLevel(KernelLevel level);

/// A subsystem's kernel tables by level: given the tables it has (null for
/// the levels it has none of its own, or this build lacks), every level
/// takes the table of the nearest level below it that has one. The
/// Reference table must be given.
template <typename Table>
class KernelTables {
public:
    constexpr KernelTables(const Table* reference, const Table* portable, const Table* sse2,
                           const Table* avx2, const Table* neon)
        : table_{reference, portable, sse2, avx2, neon} {}

    /// The table of the level in force, or of the nearest level below it
    /// that has one.
    const Table& current() const {
        KernelLevel level = kernelLevel();
        while (!table_[static_cast<int>(level)]) {
            level = lowerKernelLevel(level);
        }
        return *table_[static_cast<int>(level)];
    }

private:
    const Table* table_[kKernelLevelCount];
};

} // namespace vorn::detail

// The address of an instruction set's table where the build has it, else
// null (for the KernelTables of a subsystem).
#if defined(VORN_KERNELS_X86)
#define VORN_SSE2_TABLE(table) (&(table))
#define VORN_AVX2_TABLE(table) (&(table))
#else
#define VORN_SSE2_TABLE(table) nullptr
#define VORN_AVX2_TABLE(table) nullptr
#endif
#if defined(VORN_KERNELS_NEON)
#define VORN_NEON_TABLE(table) (&(table))
#else
#define VORN_NEON_TABLE(table) nullptr
#endif

#endif
