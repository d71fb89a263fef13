// SPDX-License-Identifier: MIT
// The BMP writer: exact header bytes, padding, flattening onto the
// background, density, and round trips through the reader.

#include "io/io.h"
#include "io_test.h"

namespace {

using vorn::detail::flattenChannelReference;

// 1 x 1 pixel: 58 bytes, 3780 pixels per metre. Colour over the
// background, 255 x 128 / 255 and so on, truncated; onto black without one.
TEST(BmpWrite, OneByOneIsThe58ByteFileFlattened) {
    const Bytes headers =
        fromHex("424D 3A000000 0000 0000 36000000 28000000 01000000 01000000"
                "0100 1800 00000000 00000000 C40E0000 C40E0000 00000000 00000000");
    const std::pair<_VORNRGBAQUAD, const char*> cases[] = {{rgba(0x30, 0x20, 0x10), "102030 00"},
                                                           {rgba(10, 20, 30, 0), "FA9664 00"},
                                                           {rgba(255, 0, 100, 128), "AE4AB1 00"}};
    for (const auto& [pixel, bytes] : cases) {
        BufferPtr b = makeFilled(1, 1, pixel);
        b->setBackground(100, 150, pixel.alpha == 255 ? 7 : 250);
        Bytes file = headers;
        const Bytes data = fromHex(bytes);
        file.insert(file.end(), data.begin(), data.end());
        EXPECT_EQ(encoded(*b, 3), file) << bytes;
    }
    EXPECT_EQ(encoded(*makeFilled(1, 1, rgba(0, 0, 200, 128)), 3).at(54), 100); // 100.39
}

// Rows padded to four bytes, bottom row first; the density in pixels per
// metre: 300 and 72 dots per inch.
TEST(BmpWrite, RowsArePaddedToFourBytesAndBottomUp) {
    BufferPtr b = makeFilled(5, 2, rgba(3, 2, 1));
    *b->getPixel(4, 0) = rgba(9, 8, 7);
    b->setDensity(1, 300, 72);
    const Bytes file = encoded(*b, 3);
    ASSERT_EQ(file.size(), 54u + 2 * 16);
    EXPECT_EQ(getLE(file, 2), file.size());
    EXPECT_EQ(getLE(file, 18), 5u);
    EXPECT_EQ(getLE(file, 22), 2u);
    EXPECT_EQ(getLE(file, 38), 11811u);
    EXPECT_EQ(getLE(file, 42), 2834u);
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()),
              fromHex("010203010203010203010203010203 00 010203010203010203010203070809 00"));
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
TEST(BmpWrite, RoundTripGivesTheFlattenedPixels) {
    Rng rng(6);
    for (int round = 0; round < 8; ++round) {
        BufferPtr b = makeRandom(rng, rng.range(1, 37), rng.range(1, 19));
        SCOPED_TRACE(::testing::Message() << b->getWidth() << "x" << b->getHeight());
        unsigned char bg[3] = {0, 0, 0};
        if (round % 2 == 1) {
            b->setBackground(rng.byte(), rng.byte(), rng.byte());
            b->getBackground(&bg[0], &bg[1], &bg[2]);
        }
        b->setDensity(0, 1000 + round, 2000 + round);
        BufferPtr back = readBytes(encoded(*b, 3), 3);
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->getWidth() * back->getHeight(), b->getWidth() * b->getHeight());
        for (int i = 0; i < b->getWidth() * b->getHeight(); ++i) {
            const _VORNRGBAQUAD p = b->getPixels()[i];
            ASSERT_EQ(back->getPixels()[i], rgba(flattenChannelReference(p.red, p.alpha, bg[0]),
                                                 flattenChannelReference(p.green, p.alpha, bg[1]),
                                                 flattenChannelReference(p.blue, p.alpha, bg[2])))
                << i;
        }
        const Bytes again = encoded(*back, 3);
        EXPECT_EQ(getLE(again, 38), 1000u + round);
        EXPECT_EQ(getLE(again, 42), 2000u + round);
    }
}

} // namespace
