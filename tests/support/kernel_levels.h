// SPDX-License-Identifier: MIT
// A fixture that runs a test once per row-kernel level (plain, SSE2, AVX2),
// skipping the levels this CPU lacks and restoring the level afterwards.
#ifndef VORN_TESTS_SUPPORT_KERNEL_LEVELS_H
#define VORN_TESTS_SUPPORT_KERNEL_LEVELS_H

#include "core/core.h"

#include <gtest/gtest.h>
#include <string>

class KernelLevels : public ::testing::TestWithParam<vorn::detail::KernelLevel> {
protected:
    void SetUp() override {
        saved_ = vorn::detail::kernelLevel();
        if (vorn::detail::setKernelLevel(GetParam()) != GetParam()) {
            vorn::detail::setKernelLevel(saved_);
            GTEST_SKIP() << "this CPU lacks the instruction set";
        }
    }
    void TearDown() override { vorn::detail::setKernelLevel(saved_); }

private:
    vorn::detail::KernelLevel saved_ = vorn::detail::KernelLevel::Reference;
};

inline std::string levelName(const ::testing::TestParamInfo<vorn::detail::KernelLevel>& info) {
    switch (info.param) {
    case vorn::detail::KernelLevel::Sse2:
        return "Sse2";
    case vorn::detail::KernelLevel::Avx2:
        return "Avx2";
    default:
        return "Reference";
    }
}

/// Instantiates a KernelLevels suite at every level.
#define VORN_ALL_KERNEL_LEVELS(suite)                                                              \
    INSTANTIATE_TEST_SUITE_P(Levels, suite,                                                        \
                             ::testing::Values(vorn::detail::KernelLevel::Reference,               \
                                               vorn::detail::KernelLevel::Sse2,                    \
                                               vorn::detail::KernelLevel::Avx2),                   \
                             levelName)

/// The fast levels only, for tests that compare them with the plain code.
#define VORN_FAST_KERNEL_LEVELS(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Levels, suite,                                                                             \
        ::testing::Values(vorn::detail::KernelLevel::Sse2, vorn::detail::KernelLevel::Avx2),       \
        levelName)

#endif
