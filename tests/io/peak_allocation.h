// SPDX-License-Identifier: MIT
// Records the largest single heap allocation made while a watch is open,
// in a test program that links peak_allocation.cpp. Under
// AddressSanitizer the sanitizer's allocation hooks are used; elsewhere
// malloc, calloc and realloc are wrapped (glibc).
#ifndef VORN_TESTS_IO_PEAK_ALLOCATION_H
#define VORN_TESTS_IO_PEAK_ALLOCATION_H

#include "vorn_test.h"

#include <cstddef>
#include <string>

/// Whether allocations can be watched in this build.
bool peakAllocationSupported();

/// Starts a watch: the peak is reset to 0.
void startAllocationWatch();

/// Ends the watch and returns the largest single allocation it saw.
std::size_t stopAllocationWatch();

/// Generous room for what every read allocates whatever the file: stdio's
/// buffer, the decoders' structures, zlib's window.
constexpr std::size_t kFixedAllowance = 512 * 1024;

/// The largest allocation of VornBuffer::Read on `path`; sets `gotBuffer`.
inline std::size_t peakOfRead(const std::string& path, bool& gotBuffer) {
    startAllocationWatch();
    VornBuffer* b = VornBuffer::Read(path.c_str());
    const std::size_t peak = stopAllocationWatch();
    gotBuffer = b != nullptr;
    VornBuffer::Destroy(b);
    return peak;
}

/// Tests that watch allocations; skipped where they cannot be watched.
class PeakAllocation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!peakAllocationSupported()) {
            GTEST_SKIP() << "allocations cannot be watched in this build";
        }
    }
};

#endif
