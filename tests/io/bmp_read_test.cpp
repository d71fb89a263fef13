// SPDX-License-Identifier: MIT
// The BMP reader on files built field by field: row order and padding,
// every depth, colour tables, offsets, run-length streams and refusals.

#include "io/io.h"
#include "io_test.h"

namespace {

BufferPtr read(const BmpFields& fields) {
    return readBytes(makeBmp(fields), 3);
}

// Palette entry i is ramp(i): distinct in every channel.
_VORNRGBAQUAD ramp(int i) {
    return rgba(i & 255, (255 - i) & 255, (7 * i) & 255);
}

std::vector<_VORNRGBAQUAD> rampPalette(int n) {
    std::vector<_VORNRGBAQUAD> p;
    for (int i = 0; i < n; ++i) {
        p.push_back(ramp(i));
    }
    return p;
}

/// The buffer as rows of palette indices joined by '/': a hex digit for a
/// pixel equal to ramp(digit), 'k' for opaque black, '.' for transparent
/// black, '?' for anything else; "null" for no buffer.
std::string indexMap(const BufferPtr& b) {
    std::string out = b ? "" : "null";
    for (int i = 0; b && i < b->getWidth() * b->getHeight(); ++i) {
        const _VORNRGBAQUAD p = b->getPixels()[i];
        char c = p == rgba(0, 0, 0, 0) ? '.' : p == rgba(0, 0, 0) ? 'k' : '?';
        for (int k = 0; k < 16; ++k) {
            c = p == ramp(k) ? "0123456789abcdef"[k] : c;
        }
        out += (i > 0 && i % b->getWidth() == 0 ? "/" : "") + std::string(1, c);
    }
    return out;
}

// 2 x 2 pixels, bottom row first: 24-bit rows of 6 bytes padded to 8. The
// core header has no density fields: 0 x 0, not the default.
TEST(BmpRead, TrueColourRowsAreBottomUpAndOpaque) {
    for (int headerSize : {40, 12}) {
        BmpFields f;
        f.headerSize = headerSize;
        f.width = f.height = 2;
        f.data = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
        Bytes file = makeBmp(f);
        if (headerSize == 40) {
            putLE(file, 42, 1234);
        }
        BufferPtr b = readBytes(file, 3);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(std::vector<_VORNRGBAQUAD>(b->getPixels(), b->getPixels() + 4),
                  (std::vector<_VORNRGBAQUAD>{rgba(9, 8, 7), rgba(12, 11, 10), rgba(3, 2, 1),
                                              rgba(6, 5, 4)}));
        EXPECT_EQ(b->getPixelsPerMetreX(), headerSize == 12 ? 0 : 2835);
        EXPECT_EQ(b->getPixelsPerMetreY(), headerSize == 12 ? 0 : 1234);
        EXPECT_FALSE(b->hasTransparency());
        EXPECT_EQ(b->getBackground(nullptr, nullptr, nullptr), 0);
    }
}

TEST(BmpRead, IndexedDepthsAndColourTables) {
    const struct {
        int headerSize, bits, width;
        std::uint32_t colours; // biClrUsed
        int entries;           // entries in the file
        std::uint32_t offset;  // 0: right after the table
        Bytes data;
        const char* expected;
    } cases[] = {
        // 1 bit: pixels 8 and 9 of a 10-wide row come from the second byte.
        {40, 1, 10, 0, 2, 0, {0xB1, 0xC0, 0xAA, 0xAA}, "1011000111"},
        {40, 4, 3, 0, 16, 0, {0x1F, 0x7C, 0, 0}, "1f7"},   // odd width
        {40, 8, 4, 0, 256, 0, {0, 9, 14, 3}, "09e3"},      // 256 entries by default
        {12, 4, 2, 0, 16, 0, {0x9A, 0, 0, 0}, "9a"},       // core header, 3-byte entries
        {40, 8, 4, 16, 16, 128, {3, 15, 16, 200}, "3fkk"}, // 16 entries, gap before the data
        {40, 1, 2, 5, 5, 0, {0x40, 0, 0, 0}, "01"},        // colour count above the depth
        {40, 8, 2, 4, 4, 20, {2, 3, 0, 0}, "23"}};         // offset inside the header
    for (const auto& c : cases) {
        BmpFields f;
        f.headerSize = c.headerSize;
        f.bitCount = c.bits;
        f.width = c.width;
        f.coloursUsed = c.colours;
        f.palette = rampPalette(c.entries);
        f.data = c.data;
        f.offset = c.offset >= 54 ? c.offset : 0;
        Bytes bytes = makeBmp(f);
        putLE(bytes, 10, c.offset ? c.offset : getLE(bytes, 10));
        for (std::size_t i = 54 + 4 * c.entries; i < c.offset; ++i) {
            bytes[i] = 0x55; // what the gap holds must not matter
        }
        EXPECT_EQ(indexMap(readBytes(bytes, 3)), c.expected) << c.expected;
    }
}

TEST(BmpRead, RefusedFilesGiveNull) {
    const struct {
        int width, height, bits, compression, planes;
        std::uint32_t colours;
        std::size_t dataBytes;
    } cases[] = {{2, -2, 24, 0, 1, 0, 16},          // top-down rows
                 {0, 2, 24, 0, 1, 0, 16},           // zero width
                 {2, 2, 16, 0, 1, 0, 16},           // 16 bits
                 {2, 2, 2, 0, 1, 0, 16},            // 2 bits
                 {2, 2, 24, 3, 1, 0, 16},           // bit fields
                 {2, 2, 24, 0, 2, 0, 16},           // two planes
                 {2, 2, 4, 1, 1, 0, 16},            // 8-bit run-length at 4 bits
                 {2, 2, 8, 2, 1, 0, 16},            // 4-bit run-length at 8 bits
                 {2, 2, 24, 0, 1, 0, 15},           // short last row
                 {30000, 30000, 24, 0, 1, 0, 16},   // more than Build allows
                 {20000, 20000, 8, 1, 1, 0, 2},     // far more than the file holds
                 {2, 2, 8, 0, 1, 0xFFFFFFFFu, 16}}; // colour count of 2^32 - 1
    for (const auto& c : cases) {
        BmpFields f;
        f.width = c.width;
        f.height = c.height;
        f.bitCount = c.bits;
        f.compression = static_cast<std::uint32_t>(c.compression);
        f.planes = c.planes;
        f.coloursUsed = c.colours;
        f.palette.assign(c.bits <= 8 ? std::size_t{1} << c.bits : 0, rgba(1, 2, 3));
        // Run-length data is the end-of-bitmap code alone.
        f.data = c.compression ? Bytes{0, 1} : Bytes(c.dataBytes, 0x40);
        EXPECT_EQ(read(f), nullptr) << &c - cases;
    }
}

// The extended reader's 16-bit rows: through the masks given after the
// header; masks that are all zero give opaque black (and read no further
// than the 16-bit row).
TEST(BmpRead, ExtendedSixteenBitRowsThroughTheirMasks) {
    const struct {
        std::uint32_t masks[3];
        _VORNRGBAQUAD expected[3];
    } cases[] = {{{0xF800, 0x07E0, 0x001F}, {rgba(255, 0, 0), rgba(0, 255, 0), rgba(0, 0, 255)}},
                 {{0, 0, 0}, {rgba(0, 0, 0), rgba(0, 0, 0), rgba(0, 0, 0)}}};
    for (const auto& c : cases) {
        BmpFields f;
        f.width = 3;
        f.bitCount = 16;
        f.compression = 3;
        f.offset = 66;
        f.data = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xEE, 0xEE};
        Bytes bytes = makeBmp(f);
        for (int i = 0; i < 3; ++i) {
            putLE(bytes, 54 + 4 * i, c.masks[i]);
        }
        vorn::detail::ReadOptions extended;
        extended.extended = true;
        vorn::detail::MemorySource source(bytes.data(), bytes.size());
        BufferPtr b(vorn::detail::readImage(source, 3, nullptr, extended));
        ASSERT_NE(b, nullptr);
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(b->getPixels()[x], c.expected[x]) << x;
        }
    }
}

// Streams of 3 rows.
TEST(BmpRead, RunLengthStreams) {
    const struct {
        int bits, width;
        Bytes stream;
        const char* expected;
        int entries; // colour count and table size; 0: the whole table
    } cases[] = {
        // Run, end of line, end of bitmap.
        {8, 5, {3, 4, 0, 0, 0, 1}, "...../...../444..", 0},
        // Absolute run: the pad byte 03 would read as a run if kept.
        {8, 6, {0, 3, 10, 11, 12, 3, 1, 9, 0, 1}, "....../....../abc9..", 0},
        // Delta right 1 up 1.
        {8, 5, {2, 1, 0, 2, 1, 1, 1, 2, 0, 0, 1, 3, 0, 1}, "3..../...2./11...", 0},
        // A run of 9 on a row of 4 does not wrap; the next run starts at 9.
        {8, 4, {9, 1, 2, 2, 0, 0, 1, 3, 0, 1}, "..../3.../1111", 0},
        // Index beyond the defined entries.
        {8, 2, {1, 1, 1, 200, 0, 1}, "../../1k", 2},
        // Ends of line and a delta above the top: what follows is not read.
        {8, 3, {1, 5, 0, 0, 2, 6, 0, 0, 0, 0, 3, 7}, ".../66./5..", 0},
        {4, 3, {1, 0x55, 0, 2, 0, 9, 3, 0x77}, ".../.../5..", 0},
        // 4 bits: runs alternate nibbles; absolute runs pad to even bytes.
        {4, 6, {5, 0x3A, 0, 1}, "....../....../3a3a3.", 0},
        {4, 8, {0, 5, 0x12, 0x34, 0x5F, 0xEE, 1, 0x66, 0, 1}, "......../......../123456..", 0},
        // 8 nibbles on a row of 3: all 4 bytes are consumed, so the codes
        // after them stay codes.
        {4, 3, {0, 8, 0x12, 0x30, 0x00, 0x01, 0, 0, 2, 0x44, 0, 1}, ".../44./123", 0},
        // Streams that end early: no end of bitmap, cut inside an absolute
        // run, a delta, before a pad byte.
        {8, 4, {2, 1, 0, 0}, "null", 0},
        {8, 4, {0, 5, 1, 2}, "null", 0},
        {8, 4, {0, 2, 1}, "null", 0},
        {4, 4, {0, 3, 0x12}, "null", 0}};
    for (const auto& c : cases) {
        BmpFields f;
        f.bitCount = c.bits;
        f.compression = c.bits == 8 ? 1 : 2;
        f.width = c.width;
        f.height = 3;
        f.coloursUsed = static_cast<std::uint32_t>(c.entries);
        f.palette = rampPalette(c.entries ? c.entries : 1 << c.bits);
        f.data = c.stream;
        EXPECT_EQ(indexMap(read(f)), c.expected) << &c - cases;
    }
}

} // namespace
