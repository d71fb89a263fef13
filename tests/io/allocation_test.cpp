// SPDX-License-Identifier: MIT
// No reader allocates more than its file can justify: a file that claims a
// huge image is refused before the pixels are allocated, and no file of the
// suites makes an allocation out of proportion to its length. The largest
// single heap allocation is watched through the sanitizer's allocation
// hooks under AddressSanitizer, elsewhere by wrapping glibc's malloc,
// calloc and realloc.

#include "io_test.h"

#include <atomic>

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
    std::size_t seen = gPeak.load(std::memory_order_relaxed);
    while (gWatching.load(std::memory_order_relaxed) && size > seen &&
           !gPeak.compare_exchange_weak(seen, size)) {
    }
}

} // namespace

#if defined(VORN_TEST_ASAN)
// Declared here: GCC does not install the sanitizer interface headers.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));
namespace {
[[maybe_unused]] const int gHooks = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, std::size_t size) { note(size); }, [](const volatile void*) {});
}
#elif defined(__GLIBC__)
// glibc's own allocator stays reachable under these names.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t size) {
    note(size);
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    // A saturating product for the note; the allocator checks the real one.
    note(size != 0 && n > static_cast<std::size_t>(-1) / size ? static_cast<std::size_t>(-1)
                                                              : n * size);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    note(size);
    return __libc_realloc(p, size);
}
}
#define VORN_TEST_WRAPPED 1
#endif

namespace {

namespace fs = std::filesystem;

/// Generous room for what every read allocates whatever the file: stdio's
/// buffer, the decoders' structures, zlib's window.
constexpr std::size_t kFixedAllowance = 512 * 1024;

/// The largest allocation of VornBuffer::Read on `path`, and the buffer.
std::size_t peakOfRead(const std::string& path, BufferPtr& b) {
    gPeak = 0;
    gWatching = true;
    b.reset(VornBuffer::Read(path.c_str()));
    gWatching = false;
    return gPeak;
}

class PeakAllocation : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(VORN_TEST_ASAN) && !defined(VORN_TEST_WRAPPED)
        GTEST_SKIP() << "allocations cannot be watched in this build";
#endif
    }
};

/// A suite file with the sides at `offset` (16-bit, big-endian for JPEG)
/// claiming width x height.
Bytes claiming(const char* name, std::size_t offset, bool bigEndian, int width, int height) {
    Bytes f = readFileBytes(testdataDir() + "/" + name);
    const int sides[2] = {bigEndian ? height : width, bigEndian ? width : height};
    for (int k = 0; k < 4; ++k) {
        f[offset + k] = static_cast<unsigned char>(sides[k / 2] >> (8 * ((k % 2) ^ bigEndian)));
    }
    return f;
}

TEST_F(PeakAllocation, HugeClaimsInSmallFilesAllocateNothingLarge) {
    VORN_REQUIRE_TESTDATA();
    ScratchDir dir;
    BufferPtr b;
    ASSERT_EQ(makeBuffer(300, 200)->write(dir.file("real.bmp").c_str()), 0);
    EXPECT_GE(peakOfRead(dir.file("real.bmp"), b), 300u * 200u * 4u); // the watch sees
    EXPECT_TRUE(b);
    std::vector<Bytes> claims;
    // Bits, compression, width, height.
    const int bmp[][4] = {{1, 0, 20000, 20000},  {8, 0, 20000, 20000}, {24, 0, 20000, 20000},
                          {32, 0, 20000, 20000}, {8, 1, 20000, 20000}, {8, 1, 500000000, 1}};
    for (const auto& c : bmp) {
        BmpFields f;
        f.bitCount = c[0];
        f.compression = static_cast<std::uint32_t>(c[1]);
        f.width = c[2];
        f.height = c[3];
        f.data = c[1] ? Bytes{0, 1} : Bytes(100 - 54, 0);
        claims.push_back(makeBmp(f));
    }
#if defined(VORN_HAVE_PNG)
    // A size Build refuses, and sizes a file of a few dozen bytes cannot
    // hold even at deflate's best.
    for (const auto& [w, h, depth] : {std::tuple{30000u, 30000u, 8},
                                      {536870912u, 1u, 8},
                                      {20000u, 20000u, 1},
                                      {400000u, 1u, 8}}) {
        claims.push_back(
            pngFile(w, h, depth, depth == 1 ? 0 : 6, {{"IDAT", {0x78, 0x9C, 0x63, 0, 0}}}));
    }
    // A text chunk claiming 1.7 GB (libpng reads such chunks whole): its
    // length 20 becomes 0x69000038, big-endian.
    claims.push_back(pngFile(4, 4, 8, 6, {{"iTXt", Bytes(20, 'a')}}));
    claims.back()[33] = 0x69;
    claims.back()[36] = 0x38;
#endif
#if defined(VORN_HAVE_IMAGELIB)
    const char* gif = "gif/gifs/static_nontransparent.gif";
    for (const auto& [name, sof] : {std::pair{"baseline/16x16x8_grayscale.jpg", 0xC0},
                                    {"progressive_huffman/16x16x8_grayscale.jpg", 0xC2},
                                    {"extended_arithmetic/16x16x8_grayscale.jpg", 0xC9}}) {
        const std::string path = std::string("jpeg/") + name;
        const std::size_t at = jpegSegment(readFileBytes(testdataDir() + "/" + path), sof) + 1;
        claims.push_back(claiming(path.c_str(), at, true, 20000, 20000));
        claims.push_back(claiming(path.c_str(), at, true, 65500, 65500));
    }
    claims.push_back(claiming(gif, 6, false, 65535, 65535));
    claims.push_back(claiming(gif, 6, false, 5000, 5000));
#endif
    for (const Bytes& c : claims) {
        SCOPED_TRACE(&c - claims.data());
        EXPECT_LT(peakOfRead(dir.file("claim.img", c), b), kFixedAllowance);
        EXPECT_FALSE(b);
    }
#if defined(VORN_HAVE_IMAGELIB)
    // A 300 MB file that is no image (sparse, so it costs no space) is
    // refused by its first bytes before it is read whole.
    const std::string big = dir.file("big.dat", Bytes{'n', 'o', 't'});
    fs::resize_file(big, 300u << 20);
    EXPECT_LT(peakOfRead(big, b), kFixedAllowance);
    EXPECT_FALSE(b);
    // 4096 x 4096 pixels are allowed whatever the file's size; the rest of
    // the screen is the background colour, transparent.
    BufferPtr small(VornBuffer::Read((testdataDir() + "/" + gif).c_str()));
    EXPECT_GE(peakOfRead(dir.file("screen.gif", claiming(gif, 6, false, 4096, 4096)), b),
              4096u * 4096u * 4u);
    ASSERT_TRUE(b && small);
    EXPECT_EQ(at(*b, 99, 99), at(*small, 99, 99));
    EXPECT_EQ(at(*b, 4095, 4095).alpha, 0);
#endif
}

TEST_F(PeakAllocation, SuiteFilesStayInProportionToTheirLength) {
    VORN_REQUIRE_TESTDATA();
    // 4-byte pixels from 1-bit data: 32 bytes per byte of the file; the
    // JPEG and GIF suites' images are at most 256 x 256 pixels.
    int files = 0;
    for (const std::string folder :
         {"bmpsuite/b", "bmpsuite/q", "bmpsuite/g", "pngsuite", "gif/gifs", "jpeg/baseline",
          "jpeg/extended_huffman", "jpeg/extended_arithmetic", "jpeg/progressive_huffman",
          "jpeg/progressive_arithmetic", "jpeg/lossless_huffman", "jpeg/ls"}) {
        const bool ownCode = folder.find("suite") != std::string::npos;
        for (const auto& e : fs::directory_iterator(testdataDir() + "/" + folder)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".bmp" && ext != ".png" && ext != ".gif" && ext != ".jpg") {
                continue;
            }
#if !defined(VORN_HAVE_IMAGELIB)
            if (!ownCode) {
                continue;
            }
#endif
            BufferPtr b;
            EXPECT_LE(peakOfRead(e.path().string(), b),
                      (ownCode ? 32 * fs::file_size(e.path()) : 256u * 256u * 8u) + kFixedAllowance)
                << e.path();
            ++files;
        }
    }
    EXPECT_GT(files, 200);
}

} // namespace
