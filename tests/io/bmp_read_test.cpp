// The BMP reader on files built field by field: row order and padding,
// every depth, colour tables, offsets, run-length streams and refusals.

#include "io/io.h"
#include "io_test.h"

namespace {

class BmpRead : public ::testing::Test {
protected:
    BufferPtr read(const BmpFields& fields) { return readBytes(makeBmp(fields)); }
    BufferPtr readBytes(const Bytes& bytes) {
        const std::string path = dir.file("image.bmp");
        writeFileBytes(path, bytes);
        return BufferPtr(vorn::detail::readBMP(wideOf(path).c_str()));
    }
    ScratchDir dir;
};

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

/// The buffer as rows of palette indices: a hex digit for a pixel equal to
/// ramp(digit), 'k' for opaque black, '.' for transparent black, '?' for
/// anything else.
std::string indexMap(const VornBuffer& b) {
    std::string out;
    for (int y = 0; y < b.getHeight(); ++y) {
        for (int x = 0; x < b.getWidth(); ++x) {
            const _VORNRGBAQUAD p = at(b, x, y);
            char c = '?';
            if (p == rgba(0, 0, 0, 0)) {
                c = '.';
            } else if (p == rgba(0, 0, 0)) {
                c = 'k';
            }
            for (int i = 0; i < 16; ++i) {
                if (p == ramp(i)) {
                    c = "0123456789abcdef"[i];
                }
            }
            out += c;
        }
        out += '\n';
    }
    return out;
}

TEST_F(BmpRead, TwoByTwo24BitRowsAreBottomUpAndPadded) {
    BmpFields f;
    f.width = 2;
    f.height = 2;
    // Rows of 6 bytes padded to 8; blue, green, red per pixel.
    f.data = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    f.densityX = 2835;
    f.densityY = 1234;
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(words(*b), (std::vector<std::uint32_t>{word(rgba(9, 8, 7)), word(rgba(12, 11, 10)),
                                                     word(rgba(3, 2, 1)), word(rgba(6, 5, 4))}));
    EXPECT_EQ(b->getPixelsPerMetreX(), 2835);
    EXPECT_EQ(b->getPixelsPerMetreY(), 1234);
    EXPECT_FALSE(b->hasTransparency());
    EXPECT_EQ(b->getBackground(nullptr, nullptr, nullptr), 0);
}

TEST_F(BmpRead, TrueColourVariants) {
    struct Case {
        const char* what;
        int headerSize;
        int bits;
        std::uint32_t colours;
        Bytes data;
    };
    const Case cases[] = {
        {"32 bits, fourth bytes ignored", 40, 32, 0, {10, 20, 30, 0, 40, 50, 60, 128}},
        {"24 bits with a table read past", 40, 24, 3, {10, 20, 30, 40, 50, 60, 0, 0}},
        {"extended header", 64, 24, 0, {10, 20, 30, 40, 50, 60, 0, 0}},
        {"core header", 12, 24, 0, {10, 20, 30, 40, 50, 60, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpFields f;
        f.headerSize = c.headerSize;
        f.bitCount = c.bits;
        f.width = 2;
        f.coloursUsed = c.colours;
        f.palette = rampPalette(static_cast<int>(c.colours));
        f.data = c.data;
        BufferPtr b = read(f);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(at(*b, 0, 0), rgba(30, 20, 10));
        EXPECT_EQ(at(*b, 1, 0), rgba(60, 50, 40));
        // The core header has no density fields: 0 x 0, not the default.
        EXPECT_EQ(b->getPixelsPerMetreX(), c.headerSize == 12 ? 0 : 2835);
    }
}

TEST_F(BmpRead, IndexedDepthsAndColourTables) {
    struct Case {
        const char* what;
        int headerSize;
        int bits;
        int width;
        std::uint32_t colours; // biClrUsed
        int entries;           // entries in the file
        std::uint32_t offset;  // 0: right after the table
        Bytes data;
        std::string expected;
    };
    const Case cases[] = {
        // Pixels 8 and 9 of a 10-wide 1-bit row come from the second byte.
        {"1 bit, high bit first", 40, 1, 10, 0, 2, 0, {0xB1, 0xC0, 0xAA, 0xAA}, "1011000111\n"},
        {"4 bits, odd width", 40, 4, 3, 0, 16, 0, {0x1F, 0x7C, 0, 0}, "1f7\n"},
        {"8 bits, 256 entries by default", 40, 8, 4, 0, 256, 0, {0, 9, 14, 3}, "09e3\n"},
        {"core header, 3-byte entries", 12, 4, 2, 0, 16, 0, {0x9A, 0, 0, 0}, "9a\n"},
        {"colour count 16, gap before the data",
         40,
         8,
         4,
         16,
         16,
         14 + 40 + 64 + 10,
         {3, 15, 16, 200},
         "3fkk\n"},
        {"colour count above the depth", 40, 1, 2, 5, 5, 0, {0x40, 0, 0, 0}, "01\n"},
        {"offset inside the header", 40, 8, 2, 4, 4, 20, {2, 3, 0, 0}, "23\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpFields f;
        f.headerSize = c.headerSize;
        f.bitCount = c.bits;
        f.width = c.width;
        f.coloursUsed = c.colours;
        f.palette = rampPalette(c.entries);
        f.data = c.data;
        Bytes bytes;
        if (c.offset > 0 && c.offset < 54) {
            bytes = makeBmp(f);
            put32(bytes, 10, c.offset);
        } else {
            f.offset = c.offset;
            bytes = makeBmp(f);
            // What the gap holds must not matter.
            for (std::size_t i = 54 + 4 * c.entries; i < c.offset; ++i) {
                bytes[i] = 0x55;
            }
        }
        BufferPtr b = readBytes(bytes);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(indexMap(*b), c.expected);
    }
}

BmpFields with(void (*change)(BmpFields&)) {
    BmpFields f;
    f.width = 2;
    f.height = 2;
    f.data = Bytes(16, 0x40);
    change(f);
    return f;
}

TEST_F(BmpRead, RefusedFilesGiveNull) {
    const struct {
        const char* what;
        BmpFields fields;
    } cases[] = {
        {"top-down rows", with([](BmpFields& f) { f.height = -2; })},
        {"zero width", with([](BmpFields& f) { f.width = 0; })},
        {"16 bits", with([](BmpFields& f) { f.bitCount = 16; })},
        {"2 bits", with([](BmpFields& f) { f.bitCount = 2; })},
        {"bit fields", with([](BmpFields& f) { f.compression = 3; })},
        {"embedded PNG", with([](BmpFields& f) { f.compression = 5; })},
        {"two planes", with([](BmpFields& f) { f.planes = 2; })},
        {"8-bit run-length at 4 bits", with([](BmpFields& f) {
             f.bitCount = 4;
             f.compression = 1;
         })},
        {"4-bit run-length at 8 bits", with([](BmpFields& f) {
             f.bitCount = 8;
             f.compression = 2;
         })},
        {"short last row", with([](BmpFields& f) { f.data.resize(15); })},
        {"30000 x 30000 pixels", with([](BmpFields& f) { f.width = f.height = 30000; })},
        {"20000 x 20000 pixels in a small file",
         with([](BmpFields& f) { f.width = f.height = 20000; })},
        {"run-length image far larger than its file", with([](BmpFields& f) {
             f.bitCount = 8;
             f.compression = 1;
             f.width = f.height = 20000;
             f.data = {0, 1};
         })},
        {"colour count of 2^32 - 1", with([](BmpFields& f) {
             f.bitCount = 8;
             f.coloursUsed = 0xFFFFFFFFu;
             f.palette = rampPalette(256);
         })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(read(c.fields), nullptr);
    }
}

TEST_F(BmpRead, DamagedHeadersGiveNull) {
    BmpFields f;
    f.width = 1;
    f.data = {1, 2, 3, 0};
    const Bytes good = makeBmp(f);
    ASSERT_NE(readBytes(good), nullptr);

    Bytes badSignature = good;
    badSignature[1] = 'A';
    EXPECT_EQ(readBytes(badSignature), nullptr);
    for (std::uint32_t size : {0u, 11u, 13u, 39u, 41u, 56u, 63u, 65u, 108u, 124u}) {
        SCOPED_TRACE(size);
        Bytes b = good;
        put32(b, 14, size);
        EXPECT_EQ(readBytes(b), nullptr);
    }
    for (std::size_t length : {0u, 1u, 13u, 14u, 17u, 30u, 54u}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(readBytes(Bytes(good.begin(), good.begin() + length)), nullptr);
    }
    EXPECT_EQ(vorn::detail::readBMP(wideOf(dir.file("missing.bmp")).c_str()), nullptr);
}

// --- Run-length streams ----------------------------------------------------

TEST_F(BmpRead, RunLengthStreams) {
    struct Case {
        const char* what;
        int bits;
        int width;
        Bytes stream;
        std::string expected; // null result when empty
        int entries = 0;      // colour count and table size; 0: the whole table
    };
    const Case cases[] = {
        {"encoded run, end of line, end of bitmap",
         8,
         5,
         {3, 4, 0, 0, 0, 1},
         ".....\n.....\n444..\n"},
        // The pad byte 03 would read as a run if it were not dropped.
        {"absolute run of 3 and its pad byte",
         8,
         6,
         {0, 3, 10, 11, 12, 3, 1, 9, 0, 1},
         "......\n......\nabc9..\n"},
        {"delta right 1 up 1, end of line",
         8,
         5,
         {2, 1, 0, 2, 1, 1, 1, 2, 0, 0, 1, 3, 0, 1},
         "3....\n...2.\n11...\n"},
        // A run of 9 on a row of 4 does not wrap; the next run starts at 9.
        {"runs stop at the width", 8, 4, {9, 1, 2, 2, 0, 0, 1, 3, 0, 1}, "....\n3...\n1111\n"},
        {"index beyond the defined entries", 8, 2, {1, 1, 1, 200, 0, 1}, "..\n..\n1k\n", 2},
        // Three ends of line leave the image: what follows is not read.
        {"end of line above the top", 8, 3, {1, 5, 0, 0, 2, 6, 0, 0, 0, 0, 3, 7}, ".\n66.\n5..\n"},
        {"delta above the top", 4, 3, {1, 0x55, 0, 2, 0, 9, 3, 0x77}, "...\n...\n5..\n"},
        {"4-bit run alternates nibbles", 4, 6, {5, 0x3A, 0, 1}, "......\n......\n3a3a3.\n"},
        {"4-bit absolute run: whole bytes and a pad",
         4,
         8,
         {0, 5, 0x12, 0x34, 0x5F, 0xEE, 1, 0x66, 0, 1},
         "........\n........\n123456..\n"},
        // 8 nibbles on a row of 3: all 4 bytes are consumed, so the codes
        // after them stay codes.
        {"4-bit absolute run past the width",
         4,
         3,
         {0, 8, 0x12, 0x30, 0x00, 0x01, 0, 0, 2, 0x44, 0, 1},
         "...\n44.\n123\n"},
        {"no end of bitmap", 8, 4, {2, 1, 0, 0}, ""},
        {"cut inside a code", 8, 4, {2, 1, 0, 0, 0}, ""},
        {"cut inside an absolute run", 8, 4, {0, 5, 1, 2}, ""},
        {"cut inside a delta", 8, 4, {0, 2, 1}, ""},
        {"cut before the pad byte", 4, 4, {0, 3, 0x12}, ""},
        {"empty stream", 4, 4, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpFields f;
        f.bitCount = c.bits;
        f.compression = c.bits == 8 ? 1 : 2;
        f.width = c.width;
        f.height = 3;
        f.coloursUsed = static_cast<std::uint32_t>(c.entries);
        f.palette = rampPalette(c.entries ? c.entries : 1 << c.bits);
        f.data = c.stream;
        BufferPtr b = read(f);
        if (c.expected.empty()) {
            EXPECT_EQ(b, nullptr);
            continue;
        }
        ASSERT_NE(b, nullptr);
        // A one-character first row stands for a row left untouched.
        std::string expected = c.expected;
        if (expected.rfind(".\n", 0) == 0) {
            expected.replace(0, 2, std::string(static_cast<std::size_t>(c.width), '.') + "\n");
        }
        EXPECT_EQ(indexMap(*b), expected);
    }
}

} // namespace
