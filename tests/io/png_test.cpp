// The PNG reader and writer: transformations of every colour type, pHYs
// and bKGD both ways, exact round trips, refusals and failures. Files that
// libpng must write in forms our writer never makes are written here with
// libpng directly.

#include "io/io.h"
#include "io_test.h"

#if defined(VORN_HAVE_PNG)

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace {

struct Chunk {
    std::string type;
    Bytes data;
};

// The chunks of a PNG file, in order (the signature skipped).
std::vector<Chunk> chunksOf(const Bytes& file) {
    std::vector<Chunk> out;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::size_t n = (std::size_t{file[at]} << 24) | (file[at + 1] << 16) |
                              (file[at + 2] << 8) | file[at + 3];
        Chunk c;
        c.type.assign(file.begin() + at + 4, file.begin() + at + 8);
        c.data.assign(file.begin() + at + 8, file.begin() + at + 8 + n);
        out.push_back(c);
        at += 12 + n;
    }
    return out;
}

const Chunk* findChunk(const std::vector<Chunk>& chunks, const std::string& type) {
    for (const Chunk& c : chunks) {
        if (c.type == type) {
            return &c;
        }
    }
    return nullptr;
}

std::uint32_t be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::uint32_t crc32Of(const unsigned char* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

void appendChunk(Bytes& file, const char* type, const Bytes& data) {
    const std::size_t start = file.size();
    file.resize(start + 12 + data.size());
    const std::uint32_t n = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) {
        file[start + i] = static_cast<unsigned char>(n >> (24 - 8 * i));
    }
    std::memcpy(&file[start + 4], type, 4);
    std::copy(data.begin(), data.end(), file.begin() + start + 8);
    const std::uint32_t crc = crc32Of(&file[start + 4], 4 + data.size());
    for (int i = 0; i < 4; ++i) {
        file[start + 8 + data.size() + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    }
}

/// A file with a valid header chunk for the size and a few bytes of
/// (invalid) image data: enough to reach the size checks.
Bytes pngClaiming(std::uint32_t width, std::uint32_t height, int depth, int colourType) {
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr(13, 0);
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    ihdr[8] = static_cast<unsigned char>(depth);
    ihdr[9] = static_cast<unsigned char>(colourType);
    appendChunk(file, "IHDR", ihdr);
    appendChunk(file, "IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00});
    appendChunk(file, "IEND", {});
    return file;
}

/// Writes a one-row PNG with libpng directly: raw samples at the given
/// depth and colour type, with a bKGD chunk.
struct RawPng {
    int width = 1;
    int depth = 8;
    int colourType = PNG_COLOR_TYPE_GRAY;
    Bytes row;
    png_color_16 background = {};
};

bool writeRawPng(const std::string& path, const RawPng& p) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_bytep rows[1] = {const_cast<png_bytep>(p.row.data())};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, p.width, 1, p.depth, p.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bKGD(png, info, &p.background);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

class PngFiles : public ::testing::Test {
protected:
    BufferPtr readRaw(const RawPng& p) {
        const std::string path = dir.file("raw.png");
        EXPECT_TRUE(writeRawPng(path, p));
        return BufferPtr(vorn::detail::readPNG(wideOf(path).c_str()));
    }
    BufferPtr readBytes(const Bytes& bytes) {
        const std::string path = dir.file("bytes.png");
        writeFileBytes(path, bytes);
        return BufferPtr(vorn::detail::readPNG(wideOf(path).c_str()));
    }
    Bytes write(const VornBuffer& b) {
        const std::string path = dir.file("out.png");
        EXPECT_EQ(vorn::detail::writePNG(b, wideOf(path).c_str()), 0);
        return readFileBytes(path);
    }
    BufferPtr readBack() {
        return BufferPtr(vorn::detail::readPNG(wideOf(dir.file("out.png")).c_str()));
    }
    ScratchDir dir;
};

// bKGD holds samples at the file's depth; they reach the buffer as the
// pixels do: 16-bit samples keep their high byte, low-depth grey is scaled.
TEST_F(PngFiles, BackgroundComesInEightBitsLikeThePixels) {
    RawPng rgb16;
    rgb16.depth = 16;
    rgb16.colourType = PNG_COLOR_TYPE_RGB;
    rgb16.row = Bytes(6, 0);
    rgb16.background.red = 0x1234;
    rgb16.background.green = 0xFF00;
    rgb16.background.blue = 0x00FF;
    RawPng grey2;
    grey2.depth = 2;
    grey2.row = {0};
    grey2.background.gray = 2;
    const struct {
        const char* what;
        RawPng png;
        _VORNRGBAQUAD expected;
    } cases[] = {{"16-bit RGB", rgb16, rgba(0x12, 0xFF, 0x00, 0)},
                 {"2-bit grey", grey2, rgba(170, 170, 170, 0)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BufferPtr b = readRaw(c.png);
        ASSERT_NE(b, nullptr);
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char bl = 0;
        ASSERT_EQ(b->getBackground(&r, &g, &bl), 1);
        EXPECT_EQ(rgba(r, g, bl, 0), c.expected);
    }
}

TEST_F(PngFiles, DensityComesFromPhysInMetres) {
    BufferPtr b = makeBuffer(1, 1);
    b->setDensity(0, 2835, 1000);
    write(*b);
    BufferPtr back = readBack();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getPixelsPerMetreX(), 2835);
    EXPECT_EQ(back->getPixelsPerMetreY(), 1000);
    EXPECT_EQ(back->getPixelsPerInchX(), 72);

    // Without pHYs the default stays.
    RawPng plain;
    plain.row = {0};
    BufferPtr noPhys = readRaw(plain);
    ASSERT_NE(noPhys, nullptr);
    EXPECT_EQ(noPhys->getPixelsPerMetreX(), 3780);
    EXPECT_EQ(noPhys->getPixelsPerMetreY(), 3780);
}

TEST_F(PngFiles, WrittenFileHasRgbaPhysAndBackgroundOnlyWhenSet) {
    BufferPtr b = makeFilled(3, 2, rgba(1, 2, 3, 4));
    b->setDensity(1, 72, 300);
    std::vector<Chunk> chunks = chunksOf(write(*b));
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.front().type, "IHDR");
    const Bytes& ihdr = chunks.front().data;
    EXPECT_EQ(be32(ihdr, 0), 3u);
    EXPECT_EQ(be32(ihdr, 4), 2u);
    EXPECT_EQ(ihdr[8], 8);  // bit depth
    EXPECT_EQ(ihdr[9], 6);  // RGBA
    EXPECT_EQ(ihdr[12], 0); // not interlaced
    const Chunk* phys = findChunk(chunks, "pHYs");
    ASSERT_NE(phys, nullptr);
    EXPECT_EQ(phys->data, (Bytes{0, 0, 0x0B, 0x12, 0, 0, 0x2E, 0x23, 1})); // 2834, 11811
    EXPECT_EQ(findChunk(chunks, "bKGD"), nullptr);
    EXPECT_EQ(findChunk(chunks, "tRNS"), nullptr);

    b->setBackground(10, 20, 30);
    chunks = chunksOf(write(*b));
    const Chunk* bkgd = findChunk(chunks, "bKGD");
    ASSERT_NE(bkgd, nullptr);
    EXPECT_EQ(bkgd->data, (Bytes{0, 10, 0, 20, 0, 30}));
}

TEST_F(PngFiles, RoundTripKeepsEveryByteAndTheBackground) {
    Rng rng(2);
    for (int round = 0; round < 10; ++round) {
        const int w = round == 0 ? 1 : rng.range(1, 70);
        const int h = round == 0 ? 1 : rng.range(1, 40);
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        BufferPtr b = makeBuffer(w, h);
        for (int i = 0; i < w * h; ++i) {
            b->getPixels()[i] = rng.pixel();
        }
        const bool background = round % 3 == 0;
        if (background) {
            b->setBackground(rng.byte(), rng.byte(), rng.byte());
        }
        write(*b);
        BufferPtr back = readBack();
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(words(*back), words(*b));
        EXPECT_EQ(back->getBackground(nullptr, nullptr, nullptr), background ? 1 : 0);
        unsigned char w1[3] = {};
        unsigned char w2[3] = {};
        b->getBackground(&w1[0], &w1[1], &w1[2]);
        back->getBackground(&w2[0], &w2[1], &w2[2]);
        EXPECT_EQ(std::memcmp(w1, w2, 3), 0);
    }
}

TEST_F(PngFiles, RefusedAndDamagedFilesGiveNull) {
    EXPECT_EQ(readBytes(Bytes{'h', 'e', 'l', 'l', 'o', '\n'}), nullptr);
    EXPECT_EQ(readBytes(Bytes{}), nullptr);
    EXPECT_EQ(vorn::detail::readPNG(wideOf(dir.file("missing.png")).c_str()), nullptr);
    // Sizes Build refuses, and sizes a file of a few dozen bytes cannot
    // hold even at deflate's best.
    EXPECT_EQ(readBytes(pngClaiming(30000, 30000, 8, 6)), nullptr);
    EXPECT_EQ(readBytes(pngClaiming(536870912, 1, 8, 6)), nullptr);
    EXPECT_EQ(readBytes(pngClaiming(20000, 20000, 1, 0)), nullptr);
    EXPECT_EQ(readBytes(pngClaiming(400000, 1, 8, 6)), nullptr);
    // A size the file can hold reaches the image data, which is damaged.
    EXPECT_EQ(readBytes(pngClaiming(4, 4, 8, 6)), nullptr);
    // A good file cut short.
    BufferPtr b = makeFilled(40, 40, rgba(1, 2, 3, 4));
    const Bytes good = write(*b);
    for (std::size_t keep : {std::size_t{8}, std::size_t{33}, good.size() / 2, good.size() - 13}) {
        SCOPED_TRACE(keep);
        EXPECT_EQ(readBytes(Bytes(good.begin(), good.begin() + keep)), nullptr);
    }
}

TEST_F(PngFiles, FailedWritesAreReported) {
    BufferPtr b = makeBuffer(2, 2);
    EXPECT_EQ(vorn::detail::writePNG(*b, wideOf(dir.file("no/folder.png")).c_str()), -1);
    if (fileExists("/dev/full")) {
        EXPECT_EQ(vorn::detail::writePNG(*b, L"/dev/full"), -1);
        BufferPtr big = makeBuffer(300, 300);
        EXPECT_EQ(vorn::detail::writePNG(*big, L"/dev/full"), -1);
    }
}

// PngSuite's 16-bit files with a tRNS key have no reference: their pixels
// are worked out here from libpng's untransformed samples (the key is
// compared at 16 bits, then each sample keeps its high byte).
TEST_F(PngFiles, SixteenBitFilesWithKeyMatchTheirSamples) {
    VORN_REQUIRE_TESTDATA();
    for (const char* name : {"tbbn2c16.png", "tbgn2c16.png", "tbwn0g16.png"}) {
        SCOPED_TRACE(name);
        const std::string path = testdataDir() + "/pngsuite/" + name;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, f);
        png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        const int w = static_cast<int>(png_get_image_width(png, info));
        const int h = static_cast<int>(png_get_image_height(png, info));
        const int channels = png_get_channels(png, info);
        png_color_16p key = nullptr;
        png_get_tRNS(png, info, nullptr, nullptr, &key);
        ASSERT_NE(key, nullptr);
        png_bytepp rowsIn = png_get_rows(png, info);
        std::vector<_VORNRGBAQUAD> expected;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const png_bytep s = rowsIn[y] + x * channels * 2;
                auto sample = [&](int i) { return (s[2 * i] << 8) | s[2 * i + 1]; };
                if (channels == 1) {
                    const bool keyed = sample(0) == key->gray;
                    expected.push_back(rgba(s[0], s[0], s[0], keyed ? 0 : 255));
                } else {
                    const bool keyed =
                        sample(0) == key->red && sample(1) == key->green && sample(2) == key->blue;
                    expected.push_back(rgba(s[0], s[2], s[4], keyed ? 0 : 255));
                }
            }
        }
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);

        BufferPtr b(VornBuffer::Read(path.c_str()));
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(b->getWidth(), w);
        ASSERT_EQ(b->getHeight(), h);
        std::vector<_VORNRGBAQUAD> got(b->getPixels(), b->getPixels() + w * h);
        EXPECT_EQ(got, expected);
    }
}

TEST_F(PngFiles, SuiteBackgroundsAndDensities) {
    VORN_REQUIRE_TESTDATA();
    const struct {
        const char* name;
        bool background;
        _VORNRGBAQUAD colour;
        int x;
        int y;
    } cases[] = {
        {"bgbn4a08.png", true, rgba(0, 0, 0, 0), 3780, 3780},
        {"bggn4a16.png", true, rgba(0xAB, 0xAB, 0xAB, 0), 3780, 3780}, // grey 0xAB84
        {"bgwn6a08.png", true, rgba(255, 255, 255, 0), 3780, 3780},
        {"bgyn6a16.png", true, rgba(255, 255, 0, 0), 3780, 3780},
        {"tbwn3p08.png", true, rgba(255, 255, 255, 0), 3780, 3780}, // palette entry 0
        {"basn2c08.png", false, rgba(0, 0, 0, 0), 3780, 3780},
        {"cdun2c08.png", false, rgba(0, 0, 0, 0), 1000, 1000},
        {"cdfn2c08.png", false, rgba(0, 0, 0, 0), 0, 0}, // unit not the metre
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BufferPtr b(VornBuffer::Read((testdataDir() + "/pngsuite/" + c.name).c_str()));
        ASSERT_NE(b, nullptr);
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char bl = 0;
        EXPECT_EQ(b->getBackground(&r, &g, &bl), c.background ? 1 : 0);
        if (c.background) {
            EXPECT_EQ(rgba(r, g, bl, 0), c.colour);
        }
        EXPECT_EQ(b->getPixelsPerMetreX(), c.x);
        EXPECT_EQ(b->getPixelsPerMetreY(), c.y);
    }
}

} // namespace

#endif
