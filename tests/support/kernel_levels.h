// SPDX-License-Identifier: MIT
// A fixture that runs a test once per kernel level (Reference, Portable,
// Sse2, Avx2, Neon), skipping the levels this build or CPU lacks and
// restoring the level afterwards.
#ifndef VORN_TESTS_SUPPORT_KERNEL_LEVELS_H
#define VORN_TESTS_SUPPORT_KERNEL_LEVELS_H

#include "core/kernels.h"

#include <gtest/gtest.h>
#include <string>

class KernelLevels : public ::testing::TestWithParam<vorn::detail::KernelLevel> {
protected:
    void SetUp() override {
        saved_ = vorn::detail::kernelLevel();
        if (vorn::detail::setKernelLevel(GetParam()) != GetParam()) {
            GTEST_SKIP() << "this build or CPU lacks the instruction set";
        }
    }
    void TearDown() override { vorn::detail::setKernelLevel(saved_); }

private:
    vorn::detail::KernelLevel saved_ = vorn::detail::KernelLevel::Reference;
};

inline std::string levelName(const ::testing::TestParamInfo<vorn::detail::KernelLevel>& info) {
    return vorn::detail::kernelLevelName(info.param);
}

/// Instantiates a KernelLevels suite at every level.
#define VORN_ALL_KERNEL_LEVELS(suite)                                                              \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Levels, suite,                                                                             \
        ::testing::Values(vorn::detail::KernelLevel::Reference,                                    \
                          vorn::detail::KernelLevel::Portable, vorn::detail::KernelLevel::Sse2,    \
                          vorn::detail::KernelLevel::Avx2, vorn::detail::KernelLevel::Neon),       \
        levelName)

/// The levels above the reference only, for tests that compare them with
/// the plain code.
#define VORN_FAST_KERNEL_LEVELS(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Levels, suite,                                                                             \
        ::testing::Values(vorn::detail::KernelLevel::Portable, vorn::detail::KernelLevel::Sse2,    \
                          vorn::detail::KernelLevel::Avx2, vorn::detail::KernelLevel::Neon),       \
        levelName)

#endif
