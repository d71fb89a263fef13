// The BMP writer: exact header bytes, padding, flattening onto the
// background, density, failures, and round trips through the reader.

#include "io/io.h"
#include "io_test.h"

#include <cmath>

namespace {

class BmpWrite : public ::testing::Test {
protected:
    Bytes write(const VornBuffer& b) {
        const std::string path = dir.file("out.bmp");
        EXPECT_EQ(vorn::detail::writeBMP(b, wideOf(path).c_str()), 0);
        return readFileBytes(path);
    }
    ScratchDir dir;
};

TEST_F(BmpWrite, OneByOneIsThe58ByteFile) {
    BufferPtr b = makeFilled(1, 1, rgba(0x30, 0x20, 0x10));
    const Bytes expected = {'B',  'M',  58,   0, 0,    0,    0, 0, 0, 0, 54, 0, 0, 0, // file header
                            40,   0,    0,    0,                                      // biSize
                            1,    0,    0,    0, 1,    0,    0, 0, // width, height
                            1,    0,    24,   0,                   // planes, bits
                            0,    0,    0,    0, 0,    0,    0, 0, // compression, image size
                            0xC4, 0x0E, 0,    0, 0xC4, 0x0E, 0, 0, // 3780 per metre
                            0,    0,    0,    0, 0,    0,    0, 0, // colours used, important
                            0x10, 0x20, 0x30, 0};                  // blue, green, red, pad
    EXPECT_EQ(write(*b), expected);
}

TEST_F(BmpWrite, RowsArePaddedToFourBytesAndBottomUp) {
    struct Case {
        int width;
        std::size_t rowBytes;
    };
    for (const Case c : {Case{1, 4}, Case{2, 8}, Case{3, 12}, Case{4, 12}, Case{5, 16}}) {
        SCOPED_TRACE(c.width);
        BufferPtr b = makeBuffer(c.width, 2);
        b->fill(1, 2, 3, 255);
        *b->getPixel(0, 0) = rgba(9, 8, 7);
        const Bytes file = write(*b);
        ASSERT_EQ(file.size(), 54 + 2 * c.rowBytes);
        EXPECT_EQ(get32(file, 2), file.size());
        EXPECT_EQ(get32(file, 18), static_cast<std::uint32_t>(c.width));
        EXPECT_EQ(get32(file, 22), 2u);
        // The top row comes second; its first pixel is (9, 8, 7).
        const std::size_t top = 54 + c.rowBytes;
        EXPECT_EQ(file[top], 7);
        EXPECT_EQ(file[top + 1], 8);
        EXPECT_EQ(file[top + 2], 9);
        EXPECT_EQ(file[54], 3);
        for (std::size_t i = 3 * c.width; i < c.rowBytes; ++i) {
            EXPECT_EQ(file[54 + i], 0);
        }
    }
}

TEST_F(BmpWrite, PixelsAreFlattenedOntoTheBackground) {
    struct Case {
        const char* what;
        _VORNRGBAQUAD pixel;
        bool background;
        _VORNRGBAQUAD expected;
    };
    const Case cases[] = {
        {"opaque keeps its colour", rgba(10, 20, 30, 255), true, rgba(10, 20, 30)},
        {"clear takes the background", rgba(10, 20, 30, 0), true, rgba(100, 150, 250)},
        {"clear without background is black", rgba(10, 20, 30, 0), false, rgba(0, 0, 0)},
        {"blue 200 at 128 over black", rgba(0, 0, 200, 128), false, rgba(0, 0, 100)},
        {"half over the background", rgba(255, 0, 100, 128), true,
         rgba(177, 74, 174)}, // 255*.50196+100*.49804, 150*.49804, 100*.50196+250*.49804
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BufferPtr b = makeFilled(1, 1, c.pixel);
        if (c.background) {
            b->setBackground(100, 150, 250);
        }
        const Bytes file = write(*b);
        ASSERT_EQ(file.size(), 58u);
        EXPECT_EQ(rgba(file[56], file[55], file[54]), c.expected);
    }
}

TEST_F(BmpWrite, DensityIsWrittenInPixelsPerMetre) {
    BufferPtr b = makeBuffer(1, 1);
    b->setDensity(1, 300, 72);
    Bytes file = write(*b);
    EXPECT_EQ(get32(file, 38), 11811u);
    EXPECT_EQ(get32(file, 42), 2834u);
    b->setDensity(2, 40, 1);
    file = write(*b);
    EXPECT_EQ(get32(file, 38), 4000u);
    EXPECT_EQ(get32(file, 42), 100u);
}

TEST_F(BmpWrite, DensityReadFromABmpIsWrittenBackUnchanged) {
    BufferPtr b = makeFilled(2, 1, rgba(1, 2, 3));
    b->setDensity(0, 1234, 4321);
    write(*b);
    BufferPtr back(vorn::detail::readBMP(wideOf(dir.file("out.bmp")).c_str()));
    ASSERT_NE(back, nullptr);
    const Bytes again = write(*back);
    EXPECT_EQ(get32(again, 38), 1234u);
    EXPECT_EQ(get32(again, 42), 4321u);
}

TEST_F(BmpWrite, FolderThatDoesNotExistGivesMinusOne) {
    BufferPtr b = makeBuffer(1, 1);
    EXPECT_EQ(vorn::detail::writeBMP(*b, wideOf(dir.file("no/such/folder.bmp")).c_str()), -1);
}

TEST_F(BmpWrite, FailedWritesAreReported) {
    if (!fileExists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    // /dev/full accepts the open and fails every write: small files fail
    // only when the close flushes, large ones already in fwrite.
    for (int side : {1, 600}) {
        SCOPED_TRACE(side);
        BufferPtr b = makeBuffer(side, side);
        EXPECT_EQ(vorn::detail::writeBMP(*b, L"/dev/full"), -1);
    }
}

TEST(BmpFlatten, ShortcutsGiveTheFormulasBytesForEveryInput) {
    using vorn::detail::flattenChannel;
    using vorn::detail::flattenChannelReference;
    std::uint64_t mismatches = 0;
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned c = 0; c < 256; ++c) {
            for (unsigned bg = 0; bg < 256; ++bg) {
                mismatches += flattenChannel(c, a, bg) != flattenChannelReference(c, a, bg);
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    // The formula itself, at a few points worked by hand.
    EXPECT_EQ(flattenChannelReference(200, 128, 0), 100);
    EXPECT_EQ(flattenChannelReference(255, 255, 0), 255);
    EXPECT_EQ(flattenChannelReference(0, 0, 255), 255);
    EXPECT_EQ(flattenChannelReference(255, 1, 0), 1);
    EXPECT_EQ(flattenChannelReference(100, 254, 255), 100);
}

TEST_F(BmpWrite, RoundTripGivesTheFlattenedPixels) {
    Rng rng(6);
    for (int round = 0; round < 12; ++round) {
        const int w = rng.range(1, 37);
        const int h = rng.range(1, 19);
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        BufferPtr b = makeBuffer(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                *b->getPixel(x, y) = rng.pixel();
            }
        }
        const bool background = round % 2 == 1;
        if (background) {
            b->setBackground(rng.byte(), rng.byte(), rng.byte());
        }
        unsigned char bg[3] = {0, 0, 0};
        b->getBackground(&bg[0], &bg[1], &bg[2]);
        write(*b);
        BufferPtr back(vorn::detail::readBMP(wideOf(dir.file("out.bmp")).c_str()));
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->getWidth(), w);
        ASSERT_EQ(back->getHeight(), h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const _VORNRGBAQUAD p = at(*b, x, y);
                const double a = p.alpha / 255.0;
                const _VORNRGBAQUAD expected =
                    rgba(static_cast<unsigned>(p.red * a + bg[0] * (1 - a)),
                         static_cast<unsigned>(p.green * a + bg[1] * (1 - a)),
                         static_cast<unsigned>(p.blue * a + bg[2] * (1 - a)));
                ASSERT_EQ(at(*back, x, y), expected) << x << ", " << y;
            }
        }
    }
}

} // namespace
