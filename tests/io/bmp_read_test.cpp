// The BMP reader on files built field by field: row order and padding,
// every depth, colour tables, offsets, run-length streams and refusals.

#include "io/io.h"
#include "io_test.h"

namespace {

const _VORNRGBAQUAD kClear = rgba(0, 0, 0, 0);

class BmpRead : public ::testing::Test {
protected:
    BufferPtr read(const BmpFields& fields) {
        const std::string path = dir.file("image.bmp");
        writeFileBytes(path, makeBmp(fields));
        return BufferPtr(vorn::detail::readBMP(wideOf(path).c_str()));
    }
    BufferPtr readBytes(const Bytes& bytes) {
        const std::string path = dir.file("image.bmp");
        writeFileBytes(path, bytes);
        return BufferPtr(vorn::detail::readBMP(wideOf(path).c_str()));
    }
    ScratchDir dir;
};

// A palette whose entry i is (i, 255 - i, 7 * i) (the low byte of each).
std::vector<_VORNRGBAQUAD> rampPalette(int n) {
    std::vector<_VORNRGBAQUAD> p;
    for (int i = 0; i < n; ++i) {
        p.push_back(rgba(i & 255, (255 - i) & 255, (7 * i) & 255));
    }
    return p;
}

_VORNRGBAQUAD ramp(int i) {
    return rgba(i & 255, (255 - i) & 255, (7 * i) & 255);
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
    ASSERT_EQ(b->getWidth(), 2);
    ASSERT_EQ(b->getHeight(), 2);
    EXPECT_EQ(at(*b, 0, 1), rgba(3, 2, 1));
    EXPECT_EQ(at(*b, 1, 1), rgba(6, 5, 4));
    EXPECT_EQ(at(*b, 0, 0), rgba(9, 8, 7));
    EXPECT_EQ(at(*b, 1, 0), rgba(12, 11, 10));
    EXPECT_EQ(b->getPixelsPerMetreX(), 2835);
    EXPECT_EQ(b->getPixelsPerMetreY(), 1234);
    EXPECT_FALSE(b->hasTransparency());
    EXPECT_EQ(b->getBackground(nullptr, nullptr, nullptr), 0);
}

TEST_F(BmpRead, ThirtyTwoBitIgnoresTheFourthByte) {
    BmpFields f;
    f.bitCount = 32;
    f.width = 3;
    f.data = {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), rgba(30, 20, 10));
    EXPECT_EQ(at(*b, 1, 0), rgba(60, 50, 40));
    EXPECT_EQ(at(*b, 2, 0), rgba(90, 80, 70));
}

TEST_F(BmpRead, OneBitRowsTakeTheHighBitFirst) {
    BmpFields f;
    f.bitCount = 1;
    f.width = 10;
    f.height = 2;
    f.palette = {rgba(200, 0, 0), rgba(0, 0, 200)};
    // Bottom row 10110001 11xxxxxx, top row 01001110 01xxxxxx; 4-byte rows.
    f.data = {0xB1, 0xFF, 0xAA, 0xAA, 0x4E, 0x40, 0, 0};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    const char* bottom = "1011000111";
    const char* top = "0100111001";
    for (int x = 0; x < 10; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(at(*b, x, 1), bottom[x] == '1' ? rgba(0, 0, 200) : rgba(200, 0, 0));
        EXPECT_EQ(at(*b, x, 0), top[x] == '1' ? rgba(0, 0, 200) : rgba(200, 0, 0));
    }
}

TEST_F(BmpRead, FourBitOddWidthIgnoresTheLastLowNibble) {
    BmpFields f;
    f.bitCount = 4;
    f.width = 3;
    f.palette = rampPalette(16);
    f.data = {0x1F, 0x7C, 0, 0};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(1));
    EXPECT_EQ(at(*b, 1, 0), ramp(15));
    EXPECT_EQ(at(*b, 2, 0), ramp(7));
}

TEST_F(BmpRead, EightBitWithoutColourCountReads256Entries) {
    BmpFields f;
    f.bitCount = 8;
    f.width = 4;
    f.palette = rampPalette(256);
    f.data = {0, 17, 254, 255};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(0));
    EXPECT_EQ(at(*b, 1, 0), ramp(17));
    EXPECT_EQ(at(*b, 2, 0), ramp(254));
    EXPECT_EQ(at(*b, 3, 0), ramp(255));
}

TEST_F(BmpRead, ColourCountAndAnOffsetBeyondTheTableAreHonoured) {
    BmpFields f;
    f.bitCount = 8;
    f.width = 4;
    f.coloursUsed = 16;
    f.palette = rampPalette(16);
    f.offset = 14 + 40 + 16 * 4 + 10; // ten bytes of gap
    f.data = {3, 15, 16, 200};
    Bytes bytes = makeBmp(f);
    for (std::size_t i = 14 + 40 + 64; i < f.offset; ++i) {
        bytes[i] = 0x55; // what the gap holds must not matter
    }
    BufferPtr b = readBytes(bytes);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(3));
    EXPECT_EQ(at(*b, 1, 0), ramp(15));
    // Indices beyond the entries the file defines are opaque black.
    EXPECT_EQ(at(*b, 2, 0), rgba(0, 0, 0));
    EXPECT_EQ(at(*b, 3, 0), rgba(0, 0, 0));
}

TEST_F(BmpRead, OffsetInsideTheTableReadsFromTheTableEnd) {
    BmpFields f;
    f.bitCount = 8;
    f.width = 2;
    f.coloursUsed = 4;
    f.palette = rampPalette(4);
    f.data = {2, 3, 0, 0};
    Bytes bytes = makeBmp(f);
    put32(bytes, 10, 20); // points into the header
    BufferPtr b = readBytes(bytes);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(2));
    EXPECT_EQ(at(*b, 1, 0), ramp(3));
}

TEST_F(BmpRead, ColourCountAboveTheDepthKeepsTheFirstEntriesAndSkipsTheRest) {
    BmpFields f;
    f.bitCount = 1;
    f.width = 2;
    f.coloursUsed = 5;
    f.palette = {rgba(1, 2, 3), rgba(4, 5, 6), rgba(7, 8, 9), rgba(10, 11, 12), rgba(13, 14, 15)};
    f.data = {0x40, 0, 0, 0}; // pixels 0, 1
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), rgba(1, 2, 3));
    EXPECT_EQ(at(*b, 1, 0), rgba(4, 5, 6));
}

TEST_F(BmpRead, TwentyFourBitFileWithATableReadsItPast) {
    BmpFields f;
    f.width = 1;
    f.coloursUsed = 3;
    f.palette = rampPalette(3);
    f.data = {9, 8, 7, 0};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), rgba(7, 8, 9));
}

TEST_F(BmpRead, CoreHeaderHasThreeByteEntriesAndNoDensity) {
    BmpFields f;
    f.headerSize = 12;
    f.bitCount = 4;
    f.width = 2;
    f.palette = rampPalette(16);
    f.data = {0x9A, 0, 0, 0};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(9));
    EXPECT_EQ(at(*b, 1, 0), ramp(10));
    EXPECT_EQ(b->getPixelsPerMetreX(), 0);
    EXPECT_EQ(b->getPixelsPerMetreY(), 0);
}

TEST_F(BmpRead, ExtendedHeaderSkipsItsLastBytes) {
    BmpFields f;
    f.headerSize = 64;
    f.width = 1;
    f.data = {1, 2, 3, 0};
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), rgba(3, 2, 1));
}

struct Refusal {
    const char* what;
    BmpFields fields;
};

BmpFields with(void (*change)(BmpFields&)) {
    BmpFields f;
    f.width = 2;
    f.height = 2;
    f.data = Bytes(16, 0x40);
    change(f);
    return f;
}

TEST_F(BmpRead, RefusedFilesGiveNull) {
    const Refusal cases[] = {
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
        {"4-bit run-length at 24 bits", with([](BmpFields& f) { f.compression = 2; })},
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
    };
    for (const Refusal& c : cases) {
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

TEST_F(BmpRead, HugeColourCountFailsWithoutReadingForever) {
    BmpFields f;
    f.bitCount = 8;
    f.width = 1;
    f.coloursUsed = 0xFFFFFFFFu;
    f.palette = rampPalette(256);
    f.data = {1, 0, 0, 0};
    EXPECT_EQ(read(f), nullptr);
}

// --- Run-length streams ----------------------------------------------------

BmpFields runLength(int bits, int width, int height, Bytes stream) {
    BmpFields f;
    f.bitCount = bits;
    f.compression = bits == 8 ? 1 : 2;
    f.width = width;
    f.height = height;
    f.palette = rampPalette(bits == 8 ? 256 : 16);
    f.data = std::move(stream);
    return f;
}

TEST_F(BmpRead, RunLength8EncodedRunFillsPartOfTheBottomRow) {
    BufferPtr b = read(runLength(8, 5, 3, {3, 4, 0, 0, 0, 1}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), rows({".....", ".....", "###.."}));
    EXPECT_EQ(at(*b, 0, 2), ramp(4));
    EXPECT_EQ(at(*b, 2, 2), ramp(4));
    EXPECT_EQ(at(*b, 3, 2), kClear);
}

TEST_F(BmpRead, RunLength8AbsoluteRunDropsItsPadByte) {
    // Absolute run of 3 indices, its pad byte (0x03, which would read as a
    // run), then a run of 1 pixel of entry 9.
    BufferPtr b = read(runLength(8, 6, 1, {0, 3, 10, 11, 12, 3, 1, 9, 0, 1}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(10));
    EXPECT_EQ(at(*b, 1, 0), ramp(11));
    EXPECT_EQ(at(*b, 2, 0), ramp(12));
    EXPECT_EQ(at(*b, 3, 0), ramp(9));
    EXPECT_EQ(at(*b, 4, 0), kClear);
}

TEST_F(BmpRead, RunLength8DeltaAndEndOfLineMove) {
    // Row 3 (bottom): 2 pixels; delta right 1, up 2 -> (3, 1): 1 pixel;
    // end of line -> row 0: 1 pixel.
    BufferPtr b = read(runLength(8, 5, 4, {2, 1, 0, 2, 1, 2, 1, 2, 0, 0, 1, 3, 0, 1}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), rows({"#....", "...#.", ".....", "##..."}));
    EXPECT_EQ(at(*b, 3, 1), ramp(2));
    EXPECT_EQ(at(*b, 0, 0), ramp(3));
}

TEST_F(BmpRead, RunLengthRunsStopAtTheWidth) {
    // A run of 9 on a row of 4 does not continue on the next row; the next
    // run starts at column 9 and stores nothing.
    BufferPtr b = read(runLength(8, 4, 2, {9, 1, 2, 2, 0, 0, 1, 3, 0, 1}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), rows({"#...", "####"}));
}

TEST_F(BmpRead, RunLengthWithoutEndOfBitmapGivesNull) {
    EXPECT_EQ(read(runLength(8, 4, 2, {2, 1, 0, 0})), nullptr);
    EXPECT_EQ(read(runLength(8, 4, 2, {2, 1, 0, 0, 0})), nullptr); // cut in a code
    EXPECT_EQ(read(runLength(8, 4, 2, {0, 5, 1, 2})), nullptr);    // cut in a run
    EXPECT_EQ(read(runLength(8, 4, 2, {0, 2, 1})), nullptr);       // cut in a delta
    EXPECT_EQ(read(runLength(4, 4, 2, {0, 3, 0x12})), nullptr);    // cut before the pad
    EXPECT_EQ(read(runLength(4, 4, 2, {})), nullptr);
}

TEST_F(BmpRead, RunLengthMovingAboveTheTopStopsWithTheRowsSoFar) {
    // Two rows; three ends of line leave the image. What follows (a run
    // that would land above the top, and no end of bitmap) is not read.
    BufferPtr b = read(runLength(8, 3, 2, {1, 5, 0, 0, 2, 6, 0, 0, 3, 7}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), rows({"##.", "#.."}));
    // A delta that jumps above the top does the same.
    b = read(runLength(4, 3, 2, {1, 0x55, 0, 2, 0, 9, 3, 0x77}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), rows({"...", "#.."}));
}

TEST_F(BmpRead, RunLength4AlternatesNibbles) {
    BufferPtr b = read(runLength(4, 6, 1, {5, 0x3A, 0, 1}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(3));
    EXPECT_EQ(at(*b, 1, 0), ramp(10));
    EXPECT_EQ(at(*b, 2, 0), ramp(3));
    EXPECT_EQ(at(*b, 3, 0), ramp(10));
    EXPECT_EQ(at(*b, 4, 0), ramp(3));
    EXPECT_EQ(at(*b, 5, 0), kClear);
}

TEST_F(BmpRead, RunLength4AbsoluteRunsReadWholeWords) {
    // 5 nibbles in 3 bytes and a pad byte, then a run of 1 pixel of 6.
    BufferPtr b = read(runLength(4, 8, 1, {0, 5, 0x12, 0x34, 0x5F, 0xEE, 1, 0x66, 0, 1}));
    ASSERT_NE(b, nullptr);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(at(*b, x, 0), ramp(x + 1));
    }
    EXPECT_EQ(at(*b, 5, 0), ramp(6));
    EXPECT_EQ(at(*b, 6, 0), kClear);
}

TEST_F(BmpRead, RunLength4AbsoluteRunPastTheWidthStaysInStep) {
    // Width 3: an absolute run of 8 nibbles (4 bytes, no pad) of which 3
    // are stored, then an end of line and a run on the upper row. Reading
    // fewer bytes than the run holds would take its data for codes.
    BufferPtr b = read(runLength(4, 3, 2, {0, 8, 0x12, 0x30, 0x00, 0x01, 0, 0, 2, 0x44, 0, 1}));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(picture(*b), rows({"##.", "###"}));
    EXPECT_EQ(at(*b, 0, 1), ramp(1));
    EXPECT_EQ(at(*b, 1, 1), ramp(2));
    EXPECT_EQ(at(*b, 2, 1), ramp(3));
    EXPECT_EQ(at(*b, 0, 0), ramp(4));
}

TEST_F(BmpRead, RunLengthIndicesBeyondTheDefinedEntriesAreBlack) {
    BmpFields f = runLength(8, 2, 1, {1, 1, 1, 200, 0, 1});
    f.coloursUsed = 2;
    f.palette = rampPalette(2);
    BufferPtr b = read(f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), ramp(1));
    EXPECT_EQ(at(*b, 1, 0), rgba(0, 0, 0));
}

TEST_F(BmpRead, ExpandRow1StoresOneRow) {
    BufferPtr b = makeBuffer(9, 2);
    vorn::detail::BmpColourTable table;
    table.entry[0] = rgba(1, 1, 1);
    table.entry[1] = rgba(9, 9, 9);
    const unsigned char row[2] = {0x81, 0x80};
    vorn::detail::expandRow1(row, 1, *b, table);
    EXPECT_EQ(picture(*b, rgba(1, 1, 1)), rows({"#########", "#......##"}));
}

} // namespace
