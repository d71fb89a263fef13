// SPDX-License-Identifier: MIT
// The BMP writer: exact header bytes, padding, flattening onto the
// background, density, failures, and round trips through the reader.

#include "io/io.h"
#include "io_test.h"

namespace {

using vorn::detail::flattenChannelReference;

class BmpWrite : public ::testing::Test {
protected:
    Bytes write(const VornBuffer& b) { return encoded(b, 3); }
};

TEST_F(BmpWrite, OneByOneIsThe58ByteFile) {
    BufferPtr b = makeFilled(1, 1, rgba(0x30, 0x20, 0x10));
    EXPECT_EQ(write(*b), fromHex("424D 3A000000 0000 0000 36000000"     // file header
                                 "28000000 01000000 01000000 0100 1800" // 1 x 1, 24 bits
                                 "00000000 00000000 C40E0000 C40E0000"  // 3780 per metre
                                 "00000000 00000000 102030 00"));       // pixel and pad
}

// With alpha: a 124-byte header whose masks name the buffer's own bytes,
// which follow unflattened, bottom row first.
TEST_F(BmpWrite, WithAlphaIsTheV5FileOfTheBuffersBytes) {
    BufferPtr b = makeFilled(1, 2, rgba(0x30, 0x20, 0x10, 0x80));
    *b->getPixel(0, 1) = rgba(1, 2, 3, 0);
    vorn::detail::WriteOptions options;
    options.bmpAlpha = true;
    Bytes file;
    vorn::detail::MemorySink sink(file);
    ASSERT_EQ(vorn::detail::writeImage(*b, 3, sink, options), 0);
    ASSERT_TRUE(sink.commit());
    const Bytes header = fromHex("424D 92000000 0000 0000 8A000000"     // file header, 146 bytes
                                 "7C000000 01000000 02000000 0100 2000" // 124-byte header, 32 bits
                                 "03000000 08000000 C40E0000 C40E0000"  // bit fields
                                 "00000000 00000000"
                                 "0000FF00 00FF0000 FF000000 000000FF" // red, green, blue, alpha
                                 "42475273");                          // sRGB
    EXPECT_EQ(Bytes(file.begin(), file.begin() + header.size()), header);
    EXPECT_EQ(getLE(file, 14 + 108), 4u); // intent: pictures
    EXPECT_EQ(Bytes(file.begin() + 138, file.end()), fromHex("03020100 10203080"));
}

// The density in pixels per metre: 300 and 72 dots per inch.
TEST_F(BmpWrite, RowsArePaddedToFourBytesAndBottomUp) {
    BufferPtr b = makeFilled(5, 2, rgba(3, 2, 1));
    *b->getPixel(4, 0) = rgba(9, 8, 7);
    b->setDensity(1, 300, 72);
    const Bytes file = write(*b);
    ASSERT_EQ(file.size(), 54u + 2 * 16);
    EXPECT_EQ(getLE(file, 2), file.size());
    EXPECT_EQ(getLE(file, 18), 5u);
    EXPECT_EQ(getLE(file, 22), 2u);
    EXPECT_EQ(getLE(file, 38), 11811u);
    EXPECT_EQ(getLE(file, 42), 2834u);
    // 15 bytes and a pad byte per row, the bottom row first.
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()),
              fromHex("010203010203010203010203010203 00 010203010203010203010203070809 00"));
}

TEST_F(BmpWrite, PixelsAreFlattenedOntoTheBackground) {
    const struct {
        _VORNRGBAQUAD pixel;
        bool background; // 100, 150, 250
        _VORNRGBAQUAD expected;
    } cases[] = {
        {rgba(10, 20, 30, 255), true, rgba(10, 20, 30)},
        {rgba(10, 20, 30, 0), true, rgba(100, 150, 250)},
        {rgba(10, 20, 30, 0), false, rgba(0, 0, 0)},
        {rgba(0, 0, 200, 128), false, rgba(0, 0, 100)}, // 200 x 128 / 255 = 100.39
        {rgba(255, 0, 100, 128), true, rgba(177, 74, 174)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.pixel));
        BufferPtr b = makeFilled(1, 1, c.pixel);
        if (c.background) {
            b->setBackground(100, 150, 250);
        }
        const Bytes file = write(*b);
        ASSERT_EQ(file.size(), 58u);
        EXPECT_EQ(rgba(file[56], file[55], file[54]), c.expected);
    }
}

TEST(BmpFlatten, ShortcutsGiveTheFormulasBytesForEveryInput) {
    std::uint64_t mismatches = 0;
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned c = 0; c < 256; ++c) {
            for (unsigned bg = 0; bg < 256; ++bg) {
                mismatches +=
                    vorn::detail::flattenChannel(c, a, bg) != flattenChannelReference(c, a, bg);
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

// Random pixels come back flattened; the density read from a BMP is
// written back unchanged.
TEST_F(BmpWrite, RoundTripGivesTheFlattenedPixels) {
    Rng rng(6);
    for (int round = 0; round < 8; ++round) {
        BufferPtr b = makeBuffer(rng.range(1, 37), rng.range(1, 19));
        SCOPED_TRACE(::testing::Message() << b->getWidth() << "x" << b->getHeight());
        for (int i = 0; i < b->getWidth() * b->getHeight(); ++i) {
            b->getPixels()[i] = rng.pixel();
        }
        unsigned char bg[3] = {0, 0, 0};
        if (round % 2 == 1) {
            b->setBackground(rng.byte(), rng.byte(), rng.byte());
            b->getBackground(&bg[0], &bg[1], &bg[2]);
        }
        b->setDensity(0, 1000 + round, 2000 + round);
        BufferPtr back = readBytes(write(*b), 3);
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->getWidth(), b->getWidth());
        ASSERT_EQ(back->getHeight(), b->getHeight());
        for (int i = 0; i < b->getWidth() * b->getHeight(); ++i) {
            const _VORNRGBAQUAD p = b->getPixels()[i];
            ASSERT_EQ(back->getPixels()[i], rgba(flattenChannelReference(p.red, p.alpha, bg[0]),
                                                 flattenChannelReference(p.green, p.alpha, bg[1]),
                                                 flattenChannelReference(p.blue, p.alpha, bg[2])))
                << i;
        }
        const Bytes again = write(*back);
        EXPECT_EQ(getLE(again, 38), 1000u + round);
        EXPECT_EQ(getLE(again, 42), 2000u + round);
    }
}

} // namespace
