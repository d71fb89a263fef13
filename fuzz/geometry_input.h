// SPDX-License-Identifier: MIT
// What the geometry fuzz targets share: their input is a string of
// parameters (sizes, points, angles, colours), read in order; every string
// of bytes is a valid input, and one that runs out reads as zeros.
#ifndef VORN_FUZZ_GEOMETRY_INPUT_H
#define VORN_FUZZ_GEOMETRY_INPUT_H

#include <vorn/buffer.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

class ParameterReader {
public:
    ParameterReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    /// The next byte; 0 once the input is used up.
    unsigned byte() { return at_ < size_ ? data_[at_++] : 0u; }

    /// A value in [lo, hi] (lo <= hi), from as many bytes as the span needs.
    long long range(long long lo, long long hi) {
        const unsigned long long span =
            static_cast<unsigned long long>(hi) - static_cast<unsigned long long>(lo) + 1;
        unsigned long long v = 0;
        for (unsigned long long left = span - 1; left != 0; left >>= 8) {
            v = (v << 8) | byte();
        }
        return span == 0 ? lo + static_cast<long long>(v)
                         : static_cast<long long>(static_cast<unsigned long long>(lo) + v % span);
    }

    int intIn(long long lo, long long hi) { return static_cast<int>(range(lo, hi)); }

    /// Any int, the ends of the range and values near 0 often.
    int anyInt() {
        switch (byte() % 4) {
        case 0:
            return INT_MIN + intIn(0, 3);
        case 1:
            return INT_MAX - intIn(0, 3);
        case 2:
            return intIn(-70000, 70000);
        default:
            return intIn(INT_MIN, INT_MAX);
        }
    }

    /// A coordinate near an extent of n pixels (within 8 of it), and now
    /// and then anywhere.
    int near(int n) { return byte() % 8 == 0 ? anyInt() : intIn(-8, n + 8); }

    _VORNRGBAQUAD pixel() {
        _VORNRGBAQUAD p;
        p.blue = static_cast<unsigned char>(byte());
        p.green = static_cast<unsigned char>(byte());
        p.red = static_cast<unsigned char>(byte());
        p.alpha = static_cast<unsigned char>(byte());
        return p;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

/// Reports a broken property and stops the run, so that the fuzzer keeps
/// the input.
[[noreturn]] inline void fail(const char* target, const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", target, what.c_str());
    std::abort();
}

#endif
