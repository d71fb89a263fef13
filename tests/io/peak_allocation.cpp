// SPDX-License-Identifier: MIT
// The largest single allocation while a watch is open (peak_allocation.h).

#include "peak_allocation.h"

#include <atomic>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VORN_TEST_ASAN 1
#endif

namespace {

std::atomic<bool> gWatching{false};
std::atomic<std::size_t> gPeak{0};

void note(std::size_t size) {
    if (!gWatching.load(std::memory_order_relaxed)) {
        return;
    }
    std::size_t seen = gPeak.load(std::memory_order_relaxed);
    while (size > seen && !gPeak.compare_exchange_weak(seen, size)) {
    }
}

} // namespace

#if defined(VORN_TEST_ASAN)

// Declared here: GCC does not install the sanitizer interface headers.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace {

void onMalloc(const volatile void*, std::size_t size) {
    note(size);
}
void onFree(const volatile void*) {}

struct InstallHooks {
    InstallHooks() { __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree); }
} gInstall;

} // namespace

bool peakAllocationSupported() {
    return true;
}

#elif defined(__GLIBC__) || defined(__linux__)

// glibc's own allocator stays reachable under these names, so the program's
// malloc, calloc and realloc can be wrappers that note the size.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);

void* malloc(std::size_t size) {
    note(size);
    return __libc_malloc(size);
}

void* calloc(std::size_t n, std::size_t size) {
    // Bounded (saturating) product for the note; the allocator checks the
    // real product itself.
    note(size != 0 && n > static_cast<std::size_t>(-1) / size ? static_cast<std::size_t>(-1)
                                                              : n * size);
    return __libc_calloc(n, size);
}

void* realloc(void* p, std::size_t size) {
    note(size);
    return __libc_realloc(p, size);
}
}

bool peakAllocationSupported() {
    return true;
}

#else

bool peakAllocationSupported() {
    return false;
}

#endif

void startAllocationWatch() {
    gPeak.store(0);
    gWatching.store(true);
}

std::size_t stopAllocationWatch() {
    gWatching.store(false);
    return gPeak.load();
}
