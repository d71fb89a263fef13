// SPDX-License-Identifier: MIT
// The PNG reader and writer: bKGD and pHYs both ways, exact header chunks,
// exact round trips, refusals and failures.

#include "io/io.h"
#include "io/png_idat.h"
#include "io/stream.h"
#include "io_test.h"

#if defined(VORN_HAVE_PNG)

namespace {

/// The data of the first chunk of `type` in a PNG file; empty when there is
/// none.
Bytes chunk(const Bytes& file, const std::string& type) {
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t n = (std::size_t{file[at]} << 24) | (file[at + 1] << 16) |
                              (file[at + 2] << 8) | file[at + 3];
        if (std::string(file.begin() + at + 4, file.begin() + at + 8) == type) {
            return Bytes(file.begin() + at + 8, file.begin() + at + 8 + n);
        }
        at += 12 + n;
    }
    return {};
}

Bytes write(const VornBuffer& b) {
    return encoded(b, 2);
}

// bKGD holds samples at the file's depth; they reach the buffer as the
// pixels do: 16-bit samples keep their high byte, low-depth grey is scaled.
TEST(PngFiles, BackgroundAndDensityOfReadFiles) {
    // 1 x 1 pixel of 2-bit grey with bKGD grey 2, the row in a stored
    // deflate block.
    const Bytes idat = {0x78, 0x01, 0x01, 0x02, 0x00, 0xFD, 0xFF, 0, 0, 0x00, 0x02, 0x00, 0x01};
    const auto grey2 = [&idat](Bytes chunk, const char* type) {
        return pngFile(1, 1, 2, 0, {{"bKGD", {0, 2}}, {type, chunk}, {"IDAT", idat}});
    };
    const struct {
        std::string suiteFile; // empty: `bytes`
        Bytes bytes;
        int background; // grey or 0xRRGGBB; -1: none
        int x, y;
    } cases[] = {
        {"", grey2({}, "tEXt"), 0xAAAAAA, 3780, 3780},
        // pHYs values above 2^31 - 1 saturate.
        {"", grey2(fromHex("FFFFFFFF 80000000 01"), "pHYs"), 0xAAAAAA, 2147483647, 2147483647},
        {"", grey2(fromHex("7FFFFFFF 00000000 01"), "pHYs"), 0xAAAAAA, 2147483647, 0},
        {"bggn4a16.png", {}, 0xABABAB, 3780, 3780}, // grey 0xAB84
        {"bgyn6a16.png", {}, 0xFFFF00, 3780, 3780},
        {"tbwn3p08.png", {}, 0xFFFFFF, 3780, 3780}, // palette entry 0
        {"basn2c08.png", {}, -1, 3780, 3780},
        {"cdun2c08.png", {}, -1, 1000, 1000},
        {"cdfn2c08.png", {}, -1, 0, 0}, // unit not the metre
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        if (!c.suiteFile.empty() && !testdataPresent()) {
            continue;
        }
        BufferPtr b = readBytes(c.suiteFile.empty()
                                    ? c.bytes
                                    : readFileBytes(testdataDir() + "/pngsuite/" + c.suiteFile),
                                2);
        ASSERT_NE(b, nullptr);
        unsigned char rgb[3] = {0, 0, 0};
        EXPECT_EQ(b->getBackground(&rgb[0], &rgb[1], &rgb[2]), c.background >= 0 ? 1 : 0);
        EXPECT_EQ(c.background >= 0 ? (rgb[0] << 16 | rgb[1] << 8 | rgb[2]) : -1, c.background);
        EXPECT_EQ(b->getPixelsPerMetreX(), c.x);
        EXPECT_EQ(b->getPixelsPerMetreY(), c.y);
    }
}

TEST(PngFiles, WrittenFileHasRgbaPhysAndBackgroundOnlyWhenSet) {
    BufferPtr b = makeFilled(3, 2, rgba(1, 2, 3, 4));
    b->setDensity(1, 72, 300);
    const Bytes file = write(*b);
    // 3 x 2, depth 8, RGBA, compression, filter and interlace 0.
    EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 29),
              fromHex("49484452 00000003 00000002 0806000000"));
    EXPECT_EQ(chunk(file, "pHYs"), fromHex("00000B12 00002E23 01")); // 2834, 11811 per metre
    EXPECT_EQ(chunk(file, "bKGD"), Bytes{});
    EXPECT_EQ(chunk(file, "tRNS"), Bytes{});
    b->setBackground(10, 20, 30);
    EXPECT_EQ(chunk(write(*b), "bKGD"), fromHex("000A 0014 001E"));
    // pHYs holds 0 to 2^31 - 1: a negative density is written as 0.
    b->setDensity(0, -5, 2147483647);
    EXPECT_EQ(chunk(write(*b), "pHYs"), fromHex("00000000 7FFFFFFF 01"));
}

// Every size Build accepts is written, beyond libpng's default limit of a
// million pixels a side, and reads back.
TEST(PngFiles, SidesBeyondAMillionAreWritten) {
    for (const auto& [w, h] : {std::pair{1000001, 1}, {1, 1000001}}) {
        BufferPtr b = makeFilled(w, h, rgba(9, 8, 7, 6));
        b->getPixels()[w * h - 1] = rgba(1, 2, 3, 4);
        BufferPtr back = readBytes(write(*b), 2);
        ASSERT_NE(back, nullptr) << w;
        EXPECT_EQ(words(*back), words(*b));
    }
}

// At every compression the file reads back to every byte, the background
// and the density, whichever filters its rows take: noise, ramps, flat
// areas, over more rows than a band of rows that share a filter.
TEST(PngFiles, RoundTripKeepsEveryByteTheBackgroundAndTheDensity) {
    Rng rng(2);
    for (int round = 0; round < 12; ++round) {
        BufferPtr b =
            round == 0 ? makeBuffer(1, 1) : makeBuffer(rng.range(1, 70), rng.range(1, 300));
        for (int y = 0; y < b->getHeight(); ++y) {
            for (int x = 0; x < b->getWidth(); ++x) {
                const int kind = (y / 20 + round) % 3;
                *b->getPixel(x, y) = kind == 0   ? rng.pixel()
                                     : kind == 1 ? rgba(x * 3, y, x + y, 255 - x)
                                                 : rgba(7, 7, 7, 7);
            }
        }
        if (round % 3 == 0) {
            b->setBackground(rng.byte(), rng.byte(), rng.byte());
        }
        b->setDensity(0, 2835 + round, 1000);
        for (int compression : {-1, 0, 1, 9}) {
            Bytes file;
            vorn::detail::MemorySink sink(file);
            vorn::detail::WriteOptions options;
            options.pngCompression = compression;
            ASSERT_EQ(vorn::detail::writeImage(*b, 2, sink, options), 0);
            ASSERT_TRUE(sink.commit());
            EXPECT_EQ(fingerprint(readBytes(file, 2).get()), fingerprint(b.get()))
                << round << " " << compression;
        }
    }
}

// Each of PNG's filters, given to every row, decodes to the pixels (an
// odd width, so that rows end mid-vector; a first row, whose row above is
// zeros).
TEST(PngFiles, EveryFilterOfTheImageDataDecodes) {
    Rng rng(5);
    BufferPtr b = makeBuffer(37, 9);
    for (int i = 0; i < 37 * 9; ++i) {
        b->getPixels()[i] = i % 4 == 0 ? rng.pixel() : rgba(i, 255 - i, 3 * i, i / 2);
    }
    for (int filter = 0; filter < 5; ++filter) {
        vorn::detail::DeflatedData data;
        ASSERT_TRUE(vorn::detail::deflateImageData(*b, 6, data, filter));
        BufferPtr back = readBytes(
            pngFile(37, 9, 8, 6, {{"IDAT", Bytes(data.bytes.get(), data.bytes.get() + data.size)}}),
            2);
        ASSERT_NE(back, nullptr) << filter;
        EXPECT_EQ(words(*back), words(*b)) << filter;
    }
}

// Damaged image data, and a good file cut short, give null.
TEST(PngFiles, DamagedFilesGiveNull) {
    EXPECT_EQ(readBytes(pngFile(4, 4, 8, 6, {{"IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00}}}), 2),
              nullptr);
    const Bytes good = write(*makeFilled(40, 40, rgba(1, 2, 3, 4)));
    for (std::size_t keep : {std::size_t{8}, std::size_t{33}, good.size() / 2, good.size() - 13}) {
        EXPECT_EQ(readBytes(Bytes(good.begin(), good.begin() + keep), 2), nullptr) << keep;
    }
}

} // namespace

#endif
