// SPDX-License-Identifier: MIT
// The image-library bridge: the third-party JPEG and GIF suites against an
// independent decoder, damaged files, density from the file's resolution,
// JPEG writing, and the way through Read and write.

#include "imagelib_files.h"
#include "io/io.h"

#include <cmath>
#include <map>

namespace {

BufferPtr readPath(const std::string& path) {
    return readBytes(readFileBytes(path), 1);
}

std::vector<int> densityOf(VornBuffer& b) {
    return {Access::densityUnitOf(b), Access::densityXOf(b), Access::densityYOf(b)};
}

/// The entries of reference/manifest.json, one flat object of strings
/// without escapes: test file to what is known of it.
std::map<std::string, std::string> readManifest() {
    const Bytes bytes = readFileBytes(testdataDir() + "/reference/manifest.json");
    const std::string text(bytes.begin(), bytes.end());
    std::vector<std::string> strings;
    for (std::size_t open = text.find('"'); open != std::string::npos;) {
        const std::size_t close = text.find('"', open + 1);
        strings.push_back(text.substr(open + 1, close - open - 1));
        open = text.find('"', close + 1);
    }
    std::map<std::string, std::string> entries;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        entries[strings[i]] = strings[i + 1];
    }
    return entries;
}

// Every file the reference decoder read equals its reference, from a file
// and from memory alike (libjpeg-turbo
// with its default settings, and the first frame of a GIF); every file it
// refused (lossless, JPEG-LS, 12-bit samples, a height given by a DNL
// marker) gives null.
TEST(LibraryBridgeSuites, FilesEqualTheirReferenceOrGiveNull) {
    VORN_REQUIRE_TESTDATA();
    int compared = 0;
    int refused = 0;
    for (const auto& [file, what] : readManifest()) {
        const bool reference = what.rfind("reference", 0) == 0;
        if ((file.rfind("jpeg/", 0) != 0 && file.rfind("gif/", 0) != 0) ||
            (!reference && what.rfind("independent decoder refused", 0) != 0)) {
            continue;
        }
        SCOPED_TRACE(file);
        BufferPtr b = readBothWays(testdataDir() + "/" + file, 1);
        if (!reference) {
            EXPECT_FALSE(b);
            ++refused;
            continue;
        }
        ASSERT_TRUE(b);
        // gif/gifs/NAME.gif has its reference at reference/gif/NAME.pam.
        std::string stem = file.substr(0, file.rfind('.'));
        stem = stem.rfind("gif/gifs/", 0) == 0 ? "gif/" + stem.substr(9) : stem;
        EXPECT_EQ(firstDifference(*b, readPam(testdataDir() + "/reference/" + stem + ".pam")), "");
        ++compared;
    }
    EXPECT_EQ(compared, 189 + 13);
    EXPECT_EQ(refused, 175);
}

// Good files cut short or with flipped bytes give null or a picture, never
// a crash; a cut one-scan Huffman file or GIF never makes rows up.
TEST(LibraryBridgeSuites, DamagedFilesGiveNullOrAPicture) {
    VORN_REQUIRE_TESTDATA();
    Rng rng(7);
    for (const char* file :
         {"jpeg/baseline/32x32x8_ycbcr_2x2_1x1_1x1_interleaved.jpg",
          "jpeg/baseline/32x32x8_restarts.jpg", "jpeg/baseline/32x32x8_cmyk_interleaved.jpg",
          "jpeg/extended_arithmetic/32x32x8_ycbcr_interleaved.jpg",
          "jpeg/progressive_huffman/32x32x8_ycbcr_2x2_2x1_1x2_interleaved.jpg",
          "jpeg/progressive_arithmetic/32x32x8_ycbcr_interleaved.jpg",
          "gif/gifs/static_transparent.gif", "gif/gifs/animated_loop_interlaced.gif",
          "gif/gifs/animated_transparent_loop_frames_out_of_bounds.gif"}) {
        SCOPED_TRACE(file);
        const std::string name = file;
        const Bytes good = readFileBytes(testdataDir() + "/" + name);
        const BufferPtr whole = readPath(testdataDir() + "/" + name);
        ASSERT_TRUE(whole);
        const bool oneScan = name.find("baseline/") != std::string::npos &&
                             name.find("interleaved") != std::string::npos;
        const bool gif = name.find(".gif") != std::string::npos;
        // About 60 lengths spread over the file, and each of the last few.
        for (std::size_t cut = 0; cut < good.size();
             cut += cut + 8 < good.size() ? good.size() / 60 + 1 : 1) {
            const BufferPtr b =
                readBytes(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), 1);
            if (oneScan) {
                // Only the end marker may be missing.
                EXPECT_EQ(b != nullptr, cut >= good.size() - 2) << cut;
            }
            if (b) {
                EXPECT_EQ(b->getWidth(), whole->getWidth()) << cut;
                EXPECT_EQ(b->getHeight(), whole->getHeight()) << cut;
                EXPECT_TRUE(!(oneScan || gif) || words(*b) == words(*whole)) << cut;
            }
        }
        int pictures = 0;
        for (int round = 0; round < 80; ++round) {
            Bytes flipped = good;
            for (int i = rng.range(1, 4); i > 0; --i) {
                flipped[static_cast<std::size_t>(
                    rng.range(0, static_cast<int>(good.size()) - 1))] ^=
                    static_cast<unsigned char>(rng.range(1, 255));
            }
            const BufferPtr b = readBytes(flipped, 1);
            pictures += b && b->getWidth() >= 1 && b->getHeight() >= 1;
        }
        // Most flips land in entropy data, which decodes to a picture.
        EXPECT_GT(pictures, 0);
    }
}

JpegOptions resolution(int unit, int x, int y, Bytes exif = {}, bool jfif = true) {
    JpegOptions o;
    o.densityUnit = unit;
    o.densityX = x;
    o.densityY = y;
    o.exif = std::move(exif);
    o.jfif = jfif;
    return o;
}

// The resolution in dots per inch, truncated, becomes the density (unit 1)
// unless both values truncate to 0; else the default 3780 per metre stays.
TEST(LibraryBridgeRead, DensityComesFromTheResolutionInDotsPerInch) {
    const std::vector<int> none = {0, 3780, 3780};
    const struct {
        JpegOptions options;
        std::vector<int> density; // unit, x, y
    } cases[] = {
        {resolution(1, 300, 300), {1, 300, 300}},
        {resolution(1, 300, 150), {1, 300, 150}},
        {resolution(2, 118, 118), {1, 299, 299}}, // 299.72 dpi
        {resolution(0, 1, 1), none},              // aspect ratio only
        {resolution(1, 0, 0), none},
        {resolution(0, 1, 1, {}, false), none}, // neither JFIF nor Exif
        {resolution(0, 1, 1, exifResolution(72, 1, 2), false), {1, 72, 72}},
        {resolution(0, 1, 1, exifResolution(1, 2, 2), false), none}, // 0.5 dpi
        {resolution(0, 1, 1, exifResolution(300, 1, 2, true), false), {1, 300, 300}},
        {resolution(0, 1, 1, exifResolution(40, 1, 3), false), {1, 101, 101}}, // per cm
        {resolution(0, 1, 1, exifResolution(72, 1, 1), false), none},          // no unit of length
        {resolution(0, 1, 1, exifResolution(300, 0, 2), false), none},         // zero denominator
        {resolution(0, 1, 1, Bytes{'X', 'M', 'P', 0, 0, 0, 'I', 'I', 42, 0}, false), none},
        {resolution(1, 96, 96, exifResolution(300, 1, 2)), {1, 96, 96}}, // JFIF first
        {resolution(0, 1, 1, exifResolution(150, 1, 2)), {1, 150, 150}}, // JFIF ratio only
    };
    for (const auto& c : cases) {
        const BufferPtr b = readBytes(encodeJpeg(16, 8, 3, smoothRgb(16, 8), c.options), 1);
        ASSERT_TRUE(b);
        EXPECT_EQ(densityOf(*b), c.density) << &c - cases;
    }
}

TEST(LibraryBridgeRead, UnreadableFilesGiveNull) {
    using namespace std::string_literals;
    for (const std::string& content :
         {""s, "just some words, not a picture\n"s, "\x89PNG\r\n\x1A\n"s, "\xFF\xD8\xFF"s,
          "GIF89a"s, "GIF87a\1\0\1\0\0\0\0;"s}) {
        EXPECT_FALSE(readBytes(Bytes(content.begin(), content.end()), 1)) << content;
    }
}

TEST(LibraryBridgeRead, TheBufferOwnsTheLibrarysPixelBlock) {
    const BufferPtr b = readBytes(encodeJpeg(16, 8, 3, smoothRgb(16, 8)), 1);
    ASSERT_TRUE(b);
    EXPECT_EQ(Access::ownsPixelsOf(*b), 1);
    EXPECT_FALSE(b->hasTransparency());
    EXPECT_EQ(b->getBackground(nullptr, nullptr, nullptr), 0);
}

// A smooth picture with distinct channels and alpha running across it.
BufferPtr smoothBuffer(int width, int height) {
    BufferPtr b = makeBuffer(width, height);
    const Bytes rgb = smoothRgb(width, height);
    for (int i = 0; i < width * height; ++i) {
        b->getPixels()[i] = rgba(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], (i * 7) % 256);
    }
    return b;
}

// The segment that starts with marker 0xFF `code`, without its length.
Bytes segment(const Bytes& file, unsigned char code) {
    for (std::size_t i = 2; i + 3 < file.size() && file[i] == 0xFF && file[i + 1] != 0xDA;) {
        const std::size_t length = static_cast<std::size_t>(file[i + 2]) << 8 | file[i + 3];
        if (file[i + 1] == code) {
            return Bytes(file.begin() + static_cast<std::ptrdiff_t>(i + 4),
                         file.begin() + static_cast<std::ptrdiff_t>(i + 2 + length));
        }
        i += 2 + length;
    }
    return {};
}

TEST(LibraryBridgeWrite, BaselineAtQuality50ReadsBackCloseToTheOriginal) {
    const BufferPtr original = smoothBuffer(96, 64);
    const Bytes jpeg = encoded(*original, 1);
    // Baseline frame: precision 8, 64 rows, 96 columns, three components,
    // luma sampled 2 x 2 and both chroma components 1 x 1.
    EXPECT_EQ(segment(jpeg, 0xC0), fromHex("08 0040 0060 03 012200 021101 031101"));
    // Quality 50 uses the example tables of the JPEG standard unscaled: the
    // luminance table starts 16, 11, 12 in zigzag order.
    const Bytes dqt = segment(jpeg, 0xDB);
    EXPECT_EQ(Bytes(dqt.begin(), dqt.begin() + std::min<std::size_t>(dqt.size(), 4)),
              fromHex("00 10 0B 0C"));
    // JFIF without density: unit 0, ratio 1:1, no thumbnail.
    const Bytes app0 = segment(jpeg, 0xE0);
    ASSERT_EQ(app0.size(), 14u);
    EXPECT_EQ(Bytes(app0.begin() + 7, app0.end()), fromHex("00 0001 0001 0000"));
    const BufferPtr back = readBytes(jpeg, 1);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->getWidth(), 96);
    ASSERT_EQ(back->getHeight(), 64);
    double total = 0;
    for (int i = 0; i < 96 * 64; ++i) {
        const _VORNRGBAQUAD a = original->getPixels()[i];
        const _VORNRGBAQUAD b = back->getPixels()[i];
        ASSERT_EQ(b.alpha, 255); // alpha is dropped
        total += std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
    }
    EXPECT_LT(total / (96 * 64 * 3), 2.5);
}

TEST(LibraryThroughDispatch, ReadGivesTheLibrarysJpegAndGif) {
    ScratchDir dir;
    const Bytes jfif = encodeJpeg(16, 8, 3, smoothRgb(16, 8));
    // Starts with APP1, not JFIF.
    const Bytes exifFirst = encodeJpeg(16, 8, 3, smoothRgb(16, 8),
                                       resolution(0, 1, 1, exifResolution(72, 1, 2), false));
    const Bytes gif = encodeGif(
        gifPicture(2, 1, {Rgb{10, 20, 30}, Rgb{40, 50, 60}}, {gifFrame(0, 0, 2, 1, {1, 0})}));
    const struct {
        const char* name;
        const Bytes& content;
        int format; // detected
        int code;   // passed to Read
    } cases[] = {{"a.jpg", jfif, 1, 0},       {"a.dat", jfif, 1, 0}, {"b.JPG", exifFirst, 1, 0},
                 {"b.dat", exifFirst, -1, 0}, {"c.gif", gif, 4, 0},  {"c.png", gif, 4, 0},
                 {"d.dat", jfif, 1, 1},       {"e.dat", gif, 4, 1},  {"f.dat", exifFirst, -1, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name, c.content);
        EXPECT_EQ(VornBuffer::GetFormat(path.c_str()), c.format);
        const BufferPtr direct = readBytes(c.content, 1);
        const BufferPtr viaRead(VornBuffer::Read(path.c_str(), c.code));
        ASSERT_TRUE(direct && viaRead);
        EXPECT_EQ(words(*viaRead), words(*direct));
        EXPECT_EQ(densityOf(*viaRead), densityOf(*direct));
    }
    EXPECT_FALSE(VornBuffer::Read(dir.file("missing.jpg").c_str()));
}

TEST(LibraryThroughDispatch, WriteMakesJpegForJpgOrCodeOne) {
    ScratchDir dir;
    const BufferPtr b = smoothBuffer(33, 17);
    for (const auto& [name, code] :
         {std::pair{"w.jpg", 0}, {"w.JPG", 0}, {"w.jpeg", 1}, {"w.png", 1}}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name, Bytes{'o', 'l', 'd'});
        ASSERT_EQ(b->write(path.c_str(), code), 0);
        EXPECT_EQ(VornBuffer::GetFormat(path.c_str()), 1);
        const BufferPtr back(VornBuffer::Read(wideOf(path).c_str(), 1));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->getWidth(), 33);
        EXPECT_EQ(back->getHeight(), 17);
    }
}

TEST(LibraryThroughDispatch, NonAsciiPathsThroughBothOverloads) {
    ScratchDir dir;
    const BufferPtr b = makeFilled(8, 8, rgba(250, 20, 10));
    const std::string narrow = dir.file("caf\xC3\xA9_\xE7\x94\xBB.jpg");
    const std::wstring wide = wideOf(narrow);
    ASSERT_EQ(b->write(narrow.c_str()), 0);
    const BufferPtr viaWide(VornBuffer::Read(wide.c_str()));
    ASSERT_TRUE(viaWide);
    EXPECT_NEAR(at(*viaWide, 4, 4).red, 250, 3);
    std::remove(narrow.c_str());
    ASSERT_EQ(b->write(wide.c_str()), 0);
    const BufferPtr viaNarrow(VornBuffer::Read(narrow.c_str()));
    ASSERT_TRUE(viaNarrow);
    EXPECT_EQ(words(*viaNarrow), words(*viaWide));
}

} // namespace
