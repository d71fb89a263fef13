// SPDX-License-Identifier: MIT
// Counts the calls of the global operator new in a test program that links
// alloc_counter.cpp, so that tests can check that a call allocated nothing.
#ifndef VORN_TESTS_SUPPORT_ALLOC_COUNTER_H
#define VORN_TESTS_SUPPORT_ALLOC_COUNTER_H

#include <cstddef>

/// Number of operator new calls so far in this program.
std::size_t allocationCount();

#endif
