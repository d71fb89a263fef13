// SPDX-License-Identifier: MIT
// The image library stand-in on its own: its error category, images over
// caller blocks, pixel orders and the hand-over of the block, JPEG colour
// spaces and scans, Exif blocks, size limits, GIF composition and writing.

#include "imagelib/imagelib.h"
#include "imagelib_files.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

using namespace TalvoImage;

namespace {

struct FreeBlock {
    void operator()(unsigned char* p) const { std::free(p); }
};
using Block = std::unique_ptr<unsigned char, FreeBlock>;

// The error code of the library exception that `f` throws, or 0 when it
// throws none; another exception type fails the test.
template <typename F>
int errorOf(F&& f) {
    try {
        f();
    } catch (const std::system_error& e) {
        EXPECT_EQ(&e.code().category(), &talvo_error_category());
        return e.code().value();
    }
    return 0;
}

// The pixels of an image as bytes in `order`.
Bytes pixelsOf(TalvoMainImage& image, const char* order = "RGBA") {
    unsigned int size = 0;
    Block block(image.GetPixels(order, &size));
    return Bytes(block.get(), block.get() + size);
}

// The pixels of the image a file holds as red, green, blue, alpha bytes.
Bytes rgbaOf(const Bytes& content) {
    ScratchDir dir;
    TalvoMainImage image(dir.file("image", content).c_str());
    return pixelsOf(image);
}

int loadError(const Bytes& content) {
    return errorOf([&] { rgbaOf(content); });
}

Bytes pixelAt(const Bytes& rgba, int width, int x, int y) {
    const auto at = rgba.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 4;
    return Bytes(at, at + 4);
}

TEST(TalvoImageInterface, ErrorMessagesAndSplit) {
    const std::error_category& c = talvo_error_category();
    EXPECT_EQ(c.message(1000), "Attempting to call functionality which is not implemented.");
    EXPECT_EQ(c.message(1002), "Null value found when expecting allocated memory.");
    for (int code : {0, -1, 999, 1001, 1003, 2000}) {
        EXPECT_EQ(c.message(code), "Unknown Error Code.") << code;
    }
    using V = std::vector<std::string>;
    EXPECT_EQ(TalvoMainImage::split("a,,b", ','), (V{"a", "", "b"}));
    EXPECT_EQ(TalvoMainImage::split(",a,", ','), (V{"", "a", ""}));
    EXPECT_EQ(TalvoMainImage::split("", ','), (V{""}));
}

// One column of two pixels, (1, 2, 3, 4) then (5, 6, 7, 8) as stored; the
// top one first unless the rows are stored bottom-up.
TEST(TalvoMainImagePixels, OrdersRearrangeTheBytes) {
    Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    TalvoMainImage topDown(1, 2, CS_RGBA, true, pixels.data(), 2, false);
    TalvoMainImage bottomUp(1, 2, CS_BGRA, false, pixels.data(), 2, false);
    EXPECT_EQ(pixelsOf(topDown, "ARGB"), (Bytes{4, 1, 2, 3, 8, 5, 6, 7}));
    EXPECT_EQ(pixelsOf(topDown, "GBR"), (Bytes{2, 3, 1, 6, 7, 5}));
    EXPECT_EQ(pixelsOf(bottomUp, "RGBA"), (Bytes{7, 6, 5, 8, 3, 2, 1, 4}));
    TalvoMainImage grey(1, 2, CS_GRAY, true, pixels.data(), 2, false);
    EXPECT_EQ(pixelsOf(grey, "BGRA"), (Bytes{1, 1, 1, 255, 2, 2, 2, 255}));
    for (const char* order : {"", "BG", "BGRAB", "BGGR", "BGRX", "bgra"}) {
        unsigned int size = 7;
        EXPECT_EQ(errorOf([&] { topDown.GetPixels(order, &size); }), ERR_NOT_IMPLEMENTED) << order;
        EXPECT_EQ(size, 7u);
    }
}

TEST(TalvoMainImagePixels, BlocksAreBorrowedCopiedOrHandedOver) {
    const Bytes two = {1, 2, 3, 4, 5, 6, 7, 8};
    // The six-argument constructor borrows: the caller's block is read in
    // place and never handed out.
    Bytes pixels = two;
    TalvoMainImage borrowing(2, 1, CS_BGRA, true, pixels.data(), 2);
    pixels[0] = 99;
    Block out(borrowing.GetPixels("BGRA", nullptr));
    EXPECT_NE(out.get(), pixels.data());
    EXPECT_EQ(out.get()[0], 99);
    EXPECT_EQ(pixelsOf(borrowing, "BGRA")[0], 99);

    // Copies own their pixels: they outlive the borrowed block.
    auto* block = static_cast<unsigned char*>(std::malloc(8));
    std::copy(two.begin(), two.end(), block);
    auto original = std::make_unique<TalvoMainImage>(2, 1, CS_BGRA, true, block, 2, true);
    TalvoMainImage copy(*original);
    TalvoMainImage assigned(1, 1, CS_GRAY, true, block, 1, false);
    assigned = *original;
    original.reset();
    std::free(block);
    EXPECT_EQ(pixelsOf(copy, "BGRA"), two);
    EXPECT_EQ(pixelsOf(assigned, "BGRA"), two);

    // An owned block in the layout asked for is handed over; the image
    // keeps its size but no pixels.
    pixels = two;
    TalvoMainImage owning(2, 1, CS_BGRA, true, pixels.data(), 2, false);
    pixels.assign(8, 0);
    EXPECT_EQ(pixelsOf(owning, "RGBA")[0], 3);
    EXPECT_EQ(pixelsOf(owning, "BGRA"), two);
    unsigned int size = 0;
    EXPECT_EQ(errorOf([&] { owning.GetPixels("BGRA", &size); }), ERR_NULL_VALUE);
    ScratchDir dir;
    EXPECT_EQ(errorOf([&] { owning.WriteImage(dir.file("x.jpg"), IT_JPEG, 50); }), ERR_NULL_VALUE);
    EXPECT_EQ(owning.GetWidth(), 2u);
    EXPECT_EQ(owning.GetHeight(), 1u);
}

TEST(TalvoMainImagePixels, ConstructorRefusesBadArguments) {
    Bytes pixels(64, 0);
    unsigned char* p = pixels.data();
    const std::pair<int, std::function<void()>> cases[] = {
        {ERR_NULL_VALUE, [] { TalvoMainImage(2, 2, CS_BGRA, true, nullptr, 4); }},
        {ERR_NOT_IMPLEMENTED, [p] { TalvoMainImage(2, 2, CS_UNKNOWN, true, p, 4); }},
        {ERR_NOT_IMPLEMENTED,
         [p] { TalvoMainImage(2, 2, static_cast<ColorSpace>(9), true, p, 4); }},
        {ERR_BAD_ARGUMENT, [p] { TalvoMainImage(0, 2, CS_BGRA, true, p, 0); }},
        {ERR_BAD_ARGUMENT, [p] { TalvoMainImage(2, 2, CS_BGRA, true, p, 16); }}, // bytes
        {ERR_BAD_ARGUMENT, [p] { TalvoMainImage(2, 2, CS_BGRA, true, p, -4); }},
        {ERR_TOO_LARGE, [p] { TalvoMainImage(70000, 70000, CS_BGRA, true, p, 70000L * 70000L); }}};
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf(c.second), c.first) << &c - cases;
    }
}

TEST(TalvoMainImageLoad, FailuresThrowWithTheirCode) {
    ScratchDir dir;
    EXPECT_EQ(errorOf([&] { TalvoMainImage(dir.file("missing").c_str()); }), ERR_FILE);
    EXPECT_EQ(errorOf([] { TalvoMainImage(static_cast<const char*>(nullptr)); }), ERR_FILE);
    EXPECT_EQ(errorOf([] { TalvoMainImage(""); }), ERR_FILE);
    EXPECT_EQ(loadError({}), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(loadError({'B', 'M', 0, 0}), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(loadError({'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0}), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(loadError({0xFF, 0xD8, 0xFF, 0xD9}), ERR_BAD_IMAGE);
    EXPECT_EQ(loadError({'G', 'I', 'F', '8', '9', 'a', 1, 0}), ERR_BAD_IMAGE);
}

// Red, green, blue of an ink combination (cyan, magenta, yellow, black):
// each colour is what its complementary ink and black leave of the light.
Bytes inkColour(const unsigned (&ink)[4]) {
    auto left = [&](int i) {
        return static_cast<unsigned char>(std::lround((255.0 - ink[i]) * (255.0 - ink[3]) / 255.0));
    };
    return {left(0), left(1), left(2), 255};
}

// A CMYK file of four 16 x 16 blocks side by side, one ink combination each
// (whole blocks, so that subsampled YCCK chroma stays inside them).
TEST(TalvoMainImageLoad, CmykAndYcckBecomeColour) {
    const unsigned inks[4][4] = {
        {0, 0, 0, 0}, {255, 0, 0, 0}, {40, 120, 200, 30}, {10, 250, 60, 128}};
    for (const auto& [adobe, ycck] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(::testing::Message() << adobe << ycck);
        Bytes pixels;
        for (int i = 0; i < 16 * 64; ++i) {
            for (unsigned ink : inks[i % 64 / 16]) {
                // Adobe files store the inks inverted.
                pixels.push_back(static_cast<unsigned char>(adobe ? 255 - ink : ink));
            }
        }
        JpegOptions o;
        o.quality = 100;
        o.adobe = adobe;
        o.ycck = ycck;
        const Bytes rgba = rgbaOf(encodeJpeg(64, 16, 4, pixels, o));
        ASSERT_EQ(rgba.size(), 64u * 16 * 4);
        for (int block = 0; block < 4; ++block) {
            const Bytes expected = inkColour(inks[block]);
            const Bytes got = pixelAt(rgba, 64, block * 16 + 7, 8);
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(got[k], expected[k], 2) << "block " << block << " channel " << k;
            }
        }
    }
}

// The suite's CMYK files carry an Adobe marker and have no reference; all
// ten hold the same picture, and each pixel is the inverted-ink reading of
// the raw inks libjpeg decodes.
TEST(TalvoMainImageLoad, SuiteCmykFilesFollowTheAdobeConvention) {
    VORN_REQUIRE_TESTDATA();
    const std::string first = testdataDir() + "/jpeg/baseline/32x32x8_cmyk.jpg";
    const Bytes file = readFileBytes(first);
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    ASSERT_TRUE(cinfo.saw_Adobe_marker);
    jpeg_start_decompress(&cinfo);
    Bytes expected;
    Bytes row(32 * 4);
    for (JSAMPROW r = row.data(); cinfo.output_scanline < 32;) {
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (int x = 0; x < 32; ++x) {
            const unsigned char* i = &row[static_cast<std::size_t>(x) * 4];
            const Bytes colour = inkColour({255u - i[0], 255u - i[1], 255u - i[2], 255u - i[3]});
            expected.insert(expected.end(), colour.begin(), colour.end());
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    for (const char* dir : {"baseline", "extended_huffman", "extended_arithmetic",
                            "progressive_huffman", "progressive_arithmetic"}) {
        for (const char* name : {"32x32x8_cmyk", "32x32x8_cmyk_interleaved"}) {
            const std::string path = testdataDir() + "/jpeg/" + dir + "/" + name + ".jpg";
            EXPECT_EQ(rgbaOf(readFileBytes(path)), expected) << path;
        }
    }
}

// A progressive flat grey file whose last scan (an AC refinement, which
// reads the same bits again on a flat picture) is repeated, `extra` times.
Bytes repeatedRefinement(std::size_t extra) {
    JpegOptions o;
    o.progressive = true;
    const Bytes base = encodeJpeg(8, 8, 1, Bytes(64, 77), o);
    const unsigned char sos[2] = {0xFF, 0xDA};
    const auto last = std::find_end(base.begin(), base.end(), sos, sos + 2);
    Bytes file(base.begin(), base.end() - 2);
    for (std::size_t n = 0; n < extra; ++n) {
        file.insert(file.end(), last, base.end() - 2);
    }
    file.push_back(0xFF);
    file.push_back(0xD9);
    return file;
}

// A valid progressive grey file of `scans` scans (65 to 128): DC in two
// steps, each AC coefficient in a scan of its own, the first scans - 65 of
// them in two steps of successive approximation.
Bytes progressiveWithScans(int scans) {
    JpegOptions o;
    o.scans.push_back({1, {0}, 0, 0, 0, 1});
    o.scans.push_back({1, {0}, 0, 0, 1, 0});
    for (int k = 1; k <= 63; ++k) {
        const bool twoSteps = k <= scans - 65;
        o.scans.push_back({1, {0}, k, k, 0, twoSteps ? 1 : 0});
        if (twoSteps) {
            o.scans.push_back({1, {0}, k, k, 1, 0});
        }
    }
    return encodeJpeg(8, 8, 1, Bytes(64, 77), o);
}

// At most 100 scans, and refinements in order: a file that repeats a scan
// is refused as soon as the decoder sees it.
TEST(TalvoMainImageLoad, ScansAreLimitedAndMustProgress) {
    const Bytes rgba = rgbaOf(progressiveWithScans(100));
    ASSERT_EQ(rgba.size(), 8u * 8 * 4);
    EXPECT_NEAR(rgba[0], 77, 1);
    EXPECT_EQ(loadError(progressiveWithScans(101)), ERR_BAD_IMAGE);
    EXPECT_EQ(loadError(repeatedRefinement(0)), 0);
    EXPECT_EQ(loadError(repeatedRefinement(1)), ERR_BAD_IMAGE);
}

TEST(ExifResolution, DamagedBlocksAreNeverReadOutside) {
    const Bytes good = exifResolution(300, 1, 2);
    const Bytes tiff(good.begin() + 6, good.end());
    double x = 0;
    double y = 0;
    ASSERT_TRUE(detail::exifResolutionInch(tiff.data(), tiff.size(), x, y));
    EXPECT_EQ(x, 300.0);
    // Every shorter block loses the values (they sit at its end); copies on
    // the heap let the address sanitizer see any read past the end.
    for (std::size_t n = 0; n < tiff.size(); ++n) {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[n + 1]);
        std::copy_n(tiff.begin(), n, copy.get());
        EXPECT_FALSE(detail::exifResolutionInch(copy.get(), n, x, y)) << n;
    }
    // Offsets and counts pointing anywhere.
    Rng rng(3);
    for (int round = 0; round < 1000; ++round) {
        Bytes bad = tiff;
        bad[static_cast<std::size_t>(rng.range(0, static_cast<int>(bad.size()) - 1))] = rng.byte();
        detail::exifResolutionInch(bad.data(), bad.size(), x, y);
    }
}

TEST(ClaimedSize, RefusesWhatNoBlockOrFileCouldHold) {
    const struct {
        std::uint64_t width, height;
        std::size_t fileBytes;
        int code; // 0: accepted
    } cases[] = {{1, 1, 0, 0},
                 {0, 5, 100, ERR_BAD_IMAGE},
                 {5, 0, 100, ERR_BAD_IMAGE},
                 {4096, 4096, 1, 0},     // within the allowance whatever the file
                 {4097, 4096, 16400, 0}, // 1,024 pixels per byte
                 {4097, 4096, 16388, ERR_TOO_LARGE},
                 {23170, 23170, 1u << 30, 0}, // 2,147,395,600 bytes
                 {23171, 23170, 1u << 30, ERR_TOO_LARGE},
                 {65535, 65535, 100, ERR_TOO_LARGE}};
    for (const auto& c : cases) {
        ErrorCode code = ERR_BAD_IMAGE;
        const char* problem = detail::claimedSizeProblem(c.width, c.height, c.fileBytes,
                                                         detail::kJpegPixelsPerByte, code);
        EXPECT_EQ(problem ? static_cast<int>(code) : 0, c.code) << c.width << " x " << c.height;
    }
}

const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};
const Rgb kGrey{128, 128, 128};

// The first frame of a GIF as text: rows joined by '/', one letter per
// pixel: R, G, B, K (black), W (white), g (grey); '.' for the grey
// background colour at alpha 0 and ' ' for transparent black.
std::string letters(const Bytes& gif) {
    const Bytes rgba = rgbaOf(gif);
    const int width = gif[6] | gif[7] << 8;
    const std::map<std::uint32_t, char> names = {
        {0xFF0000FF, 'R'}, {0x00FF00FF, 'G'}, {0x0000FFFF, 'B'}, {0x000000FF, 'K'},
        {0xFFFFFFFF, 'W'}, {0x808080FF, 'g'}, {0x80808000, '.'}, {0x00000000, ' '}};
    std::string out;
    for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
        const std::uint32_t p = std::uint32_t{rgba[4 * i]} << 24 | rgba[4 * i + 1] << 16 |
                                rgba[4 * i + 2] << 8 | rgba[4 * i + 3];
        out += (i > 0 && i % width == 0 ? "/" : "") +
               std::string(1, names.count(p) ? names.at(p) : '?');
    }
    return out;
}

TEST(TalvoMainImageGif, FirstFrameIsComposedOntoTheScreen) {
    const std::vector<Rgb> map = {kGrey, kRed, kGreen, kBlue};
    GifPicture local = gifPicture(2, 1, map, {gifFrame(0, 0, 2, 1, {0, 1})});
    local.frames[0].localMap = {kBlue, kGreen};
    GifPicture beyond = gifPicture(2, 1, {kGrey, kRed}, {gifFrame(0, 0, 1, 1, {1})});
    beyond.background = 3; // beyond the map: no background colour
    const std::pair<GifPicture, const char*> cases[] = {
        {gifPicture(3, 2, map, {gifFrame(0, 0, 3, 2, {1, 2, 3, 3, 2, 1})}), "RGB/BGR"},
        {gifPicture(4, 3, map, {gifFrame(1, 1, 2, 1, {3, 1})}), "..../.BR./...."},
        {gifPicture(3, 3, map, {gifFrame(2, 1, 3, 3, {1, 2, 3, 2, 3, 1, 3, 1, 2})}), ".../..R/..G"},
        {gifPicture(3, 2, map, {gifFrame(5, 0, 2, 2, {1, 1, 1, 1})}), ".../..."},
        {gifPicture(2, 1, map, {gifFrame(0, 0, 2, 1, {1, 0}), gifFrame(0, 0, 2, 1, {2, 2})}), "Rg"},
        {local, "BG"},
        {beyond, "R "}};
    for (const auto& c : cases) {
        EXPECT_EQ(letters(encodeGif(c.first)), c.second) << &c - cases;
    }
    // No map at all: index 0 black, 1 white, the others black, and no
    // background colour; a map of two entries: 2 and 3 are beyond it.
    const Bytes four = encodeGif(gifPicture(4, 1, map, {gifFrame(0, 0, 4, 1, {0, 1, 2, 3})}));
    Bytes none = four;
    none[10] &= 0x70;
    none.erase(none.begin() + 13, none.begin() + 25);
    EXPECT_EQ(letters(none), "KWKK");
    Bytes two = four;
    two[10] &= 0xF8;
    two.erase(two.begin() + 19, two.begin() + 25);
    EXPECT_EQ(letters(two), "gRKK");
}

TEST(TalvoMainImageGif, ShortFramesThrowAndHugeOnesDecodeOnlyWhatShows) {
    std::vector<unsigned char> pixels(256);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>(i * 7 % 4);
    }
    const std::vector<Rgb> map = {kGrey, kRed, kGreen, kBlue};
    const Bytes gif = encodeGif(gifPicture(16, 16, map, {gifFrame(0, 0, 16, 16, pixels)}));
    EXPECT_EQ(loadError(Bytes(gif.begin(), gif.end() - 1)), 0); // the trailer only
    EXPECT_EQ(loadError(Bytes(gif.begin(), gif.end() - 12)), ERR_BAD_IMAGE);
    // A 3 x 60000 frame whose data stops after its first rows: the 3 x 2
    // screen shows two rows, which is all that is read.
    Bytes tall = encodeGif(
        gifPicture(3, 2, map, {gifFrame(0, 0, 3, 4, {1, 2, 3, 3, 2, 1, 1, 1, 1, 2, 2, 2})}));
    ASSERT_EQ(tall[25], 0x2C); // the image descriptor after the header and map
    tall[32] = 60000 & 0xFF;
    tall[33] = 60000 >> 8;
    EXPECT_EQ(letters(tall), "RGB/BGR");
    // Over a 1 x 2 screen, frames of up to 64 x 2 + 2^20 pixels are
    // decoded; larger ones are refused before their data is read.
    const std::pair<std::pair<int, int>, int> frames[] = {
        {{1024, 1024}, 0}, {{1025, 1024}, ERR_TOO_LARGE}, {{65535, 16384}, ERR_TOO_LARGE}};
    for (const auto& [size, code] : frames) {
        Bytes big = encodeGif(gifPicture(
            1, 2, map,
            {gifFrame(0, 0, size.first, 2, std::vector<unsigned char>(size.first * 2, 1))}));
        big[32] = static_cast<unsigned char>(size.second & 0xFF);
        big[33] = static_cast<unsigned char>(size.second >> 8);
        EXPECT_EQ(loadError(big), code) << size.first;
    }
}

TEST(TalvoMainImageWrite, RefusesOtherTypesAndBadPaths) {
    Bytes pixels(16, 200);
    TalvoMainImage image(2, 2, CS_BGRA, true, pixels.data(), 4);
    ScratchDir dir;
    const std::string path = dir.file("refused.gif");
    EXPECT_EQ(errorOf([&] { image.WriteImage(path, IT_GIF, 50); }), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(errorOf([&] { image.WriteImage(path, IT_UNKNOWN, 50); }), ERR_NOT_IMPLEMENTED);
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(errorOf([&] { image.WriteImage("", IT_JPEG, 50); }), ERR_FILE);
    EXPECT_EQ(errorOf([&] { image.WriteImage(path + "/x.jpg", IT_JPEG, 50); }), ERR_FILE);
    EXPECT_EQ(errorOf([&] { image.WriteImage(std::string("a\0b", 3), IT_JPEG, 50); }), ERR_FILE);
}

} // namespace
