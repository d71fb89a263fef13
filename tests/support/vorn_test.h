// SPDX-License-Identifier: MIT
// Helpers shared by the test programs: building pixels without writing the
// channel order by hand, owning buffers, comparing pixel sets and pictures,
// reaching protected members, and finding the third-party test images.
#ifndef VORN_TESTS_SUPPORT_VORN_TEST_H
#define VORN_TESTS_SUPPORT_VORN_TEST_H

#include "core/access.h"

#include <vorn/vorn.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// Pixels
// ---------------------------------------------------------------------------

/// A pixel from red, green, blue, alpha: the one place tests spell out the
/// buffer's channel order.
inline _VORNRGBAQUAD rgba(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
    return _VORNRGBAQUAD{static_cast<unsigned char>(b), static_cast<unsigned char>(g),
                         static_cast<unsigned char>(r), static_cast<unsigned char>(a)};
}

inline bool operator==(const _VORNRGBAQUAD& a, const _VORNRGBAQUAD& b) {
    return std::memcmp(&a, &b, 4) == 0;
}
inline bool operator!=(const _VORNRGBAQUAD& a, const _VORNRGBAQUAD& b) {
    return !(a == b);
}

inline void PrintTo(const _VORNRGBAQUAD& p, std::ostream* os) {
    *os << "rgba(" << int(p.red) << ", " << int(p.green) << ", " << int(p.blue) << ", "
        << int(p.alpha) << ")";
}

/// Small deterministic generator (xorshift64*), so that seeded tests give
/// the same cases on every machine.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    /// Uniform in [lo, hi], both included.
    int range(int lo, int hi) {
        const std::uint64_t span =
            static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
        return static_cast<int>(lo + static_cast<std::int64_t>(next() % span));
    }
    unsigned char byte() { return static_cast<unsigned char>(next() >> 56); }
    _VORNRGBAQUAD pixel() { return rgba(byte(), byte(), byte(), byte()); }

private:
    std::uint64_t state_;
};

// ---------------------------------------------------------------------------
// Buffers
// ---------------------------------------------------------------------------

struct BufferDeleter {
    void operator()(VornBuffer* b) const { VornBuffer::Destroy(b); }
};
using BufferPtr = std::unique_ptr<VornBuffer, BufferDeleter>;

inline BufferPtr makeBuffer(int width, int height) {
    return BufferPtr(VornBuffer::Build(width, height, nullptr));
}

inline BufferPtr makeFilled(int width, int height, _VORNRGBAQUAD colour) {
    BufferPtr b = makeBuffer(width, height);
    b->fill(colour.red, colour.green, colour.blue, colour.alpha);
    return b;
}

/// A buffer of random pixels, alpha included unless `opaque`.
inline BufferPtr makeRandom(Rng& rng, int width, int height, bool opaque = false) {
    BufferPtr b = makeBuffer(width, height);
    for (int i = 0; i < width * height; ++i) {
        b->getPixels()[i] = rng.pixel();
        b->getPixels()[i].alpha |= opaque ? 255 : 0;
    }
    return b;
}

inline _VORNRGBAQUAD at(const VornBuffer& b, int x, int y) {
    return *b.getPixel(x, y);
}

/// Every pixel of `b` as words, row-major, for whole-buffer comparisons.
inline std::vector<std::uint32_t> words(const VornBuffer& b) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(b.getWidth()) * b.getHeight());
    if (!out.empty()) {
        std::memcpy(out.data(), b.getPixels(), out.size() * 4);
    }
    return out;
}

using PixelSet = std::set<std::pair<int, int>>;

/// The positions (x, y) whose pixel differs from `blank`.
inline PixelSet changedPixels(const VornBuffer& b, _VORNRGBAQUAD blank = rgba(0, 0, 0, 0)) {
    PixelSet out;
    for (int i = 0; i < b.getWidth() * b.getHeight(); ++i) {
        if (b.getPixels()[i] != blank) {
            out.insert({i % b.getWidth(), i / b.getWidth()});
        }
    }
    return out;
}

/// The buffer as rows of text, '#' for pixels that differ from `blank`
/// and '.' for the others, so that expected shapes can be drawn in a test.
inline std::string picture(const VornBuffer& b, _VORNRGBAQUAD blank = rgba(0, 0, 0, 0)) {
    std::string out;
    for (int i = 0; i < b.getWidth() * b.getHeight(); ++i) {
        out += b.getPixels()[i] != blank ? '#' : '.';
        out += (i + 1) % b.getWidth() == 0 ? "\n" : "";
    }
    return out;
}

/// Joins picture rows written one per string literal.
inline std::string rows(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines) {
        out += line;
        out += '\n';
    }
    return out;
}

// ---------------------------------------------------------------------------
// Protected members
// ---------------------------------------------------------------------------

/// The fields and protected members of any buffer (src/core/access.h).
using vorn::detail::Access;

/// The pixel blend, called through any buffer (it does not look at it).
inline _VORNRGBAQUAD blended(_VORNRGBAQUAD dst, _VORNRGBAQUAD src, unsigned char alpha) {
    static BufferPtr host = makeBuffer(1, 1);
    (host.get()->*Access::pixelBlendFn)(dst, src, alpha);
    return dst;
}

// ---------------------------------------------------------------------------
// Third-party test images
// ---------------------------------------------------------------------------

inline std::string testdataDir() {
    return VORN_TESTDATA_DIR;
}

inline bool testdataPresent() {
    return std::ifstream(testdataDir() + "/README.md").good();
}

/// Skips the current test with a clear message when the test-image folder
/// is absent. When it is present, a missing file is a failure.
#define VORN_REQUIRE_TESTDATA()                                                                    \
    do {                                                                                           \
        if (!testdataPresent()) {                                                                  \
            GTEST_SKIP() << "third-party test images not found at " << testdataDir();              \
        }                                                                                          \
    } while (0)

inline std::vector<unsigned char> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

#endif
