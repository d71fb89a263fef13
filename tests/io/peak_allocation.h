// Records the largest single heap allocation made while a watch is open,
// in a test program that links peak_allocation.cpp. Under
// AddressSanitizer the sanitizer's allocation hooks are used; elsewhere
// malloc, calloc and realloc are wrapped (glibc).
#ifndef VORN_TESTS_IO_PEAK_ALLOCATION_H
#define VORN_TESTS_IO_PEAK_ALLOCATION_H

#include <cstddef>

/// Whether allocations can be watched in this build.
bool peakAllocationSupported();

/// Starts a watch: the peak is reset to 0.
void startAllocationWatch();

/// Ends the watch and returns the largest single allocation it saw.
std::size_t stopAllocationWatch();

#endif
