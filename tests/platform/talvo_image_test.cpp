// The image library stand-in on its own: its error category, images over
// caller blocks, pixel orders and the hand-over of the block, JPEG colour
// spaces, scans and resolution, GIF composition, size limits and writing.

#include "imagelib/imagelib.h"
#include "imagelib_files.h"

#include <cmath>
#include <cstdlib>
#include <functional>
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

TalvoMainImage loadBytes(const Bytes& content, const std::string& name = "image") {
    TempFile file(name, content);
    return TalvoMainImage(file.path().c_str());
}

int loadError(const Bytes& content) {
    return errorOf([&] { loadBytes(content); });
}

// The image's pixels as red, green, blue, alpha bytes.
Bytes rgbaOf(TalvoMainImage& image) {
    unsigned int size = 0;
    Block block(image.GetPixels("RGBA", &size));
    return Bytes(block.get(), block.get() + size);
}

Bytes rgbaOf(const Bytes& content) {
    TalvoMainImage image = loadBytes(content);
    return rgbaOf(image);
}

Bytes pixelAt(const Bytes& rgba, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return Bytes(rgba.begin() + static_cast<std::ptrdiff_t>(at),
                 rgba.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// ---------------------------------------------------------------------------
// Error category and split
// ---------------------------------------------------------------------------

TEST(TalvoErrorCategory, HasThreeMessages) {
    const std::error_category& c = talvo_error_category();
    EXPECT_EQ(c.message(1000), "Attempting to call functionality which is not implemented.");
    EXPECT_EQ(c.message(1002), "Null value found when expecting allocated memory.");
    for (int code : {0, -1, 1, 999, 1001, 1003, 1004, 1005, 2000}) {
        EXPECT_EQ(c.message(code), "Unknown Error Code.") << code;
    }
    EXPECT_STREQ(c.name(), "TalvoImage");
}

TEST(TalvoMainImageSplit, CutsAtEveryDelimiter) {
    using V = std::vector<std::string>;
    EXPECT_EQ(TalvoMainImage::split("a,b,c", ','), (V{"a", "b", "c"}));
    EXPECT_EQ(TalvoMainImage::split("a,,b", ','), (V{"a", "", "b"}));
    EXPECT_EQ(TalvoMainImage::split(",a,", ','), (V{"", "a", ""}));
    EXPECT_EQ(TalvoMainImage::split("", ','), (V{""}));
    EXPECT_EQ(TalvoMainImage::split("abc", ';'), (V{"abc"}));
}

// ---------------------------------------------------------------------------
// Images over caller blocks, pixel orders
// ---------------------------------------------------------------------------

// Two pixels in BGRA: (b 1, g 2, r 3, a 4) and (b 5, g 6, r 7, a 8).
Bytes twoPixels() {
    return {1, 2, 3, 4, 5, 6, 7, 8};
}

TEST(TalvoMainImagePixels, OrdersRearrangeTheBytes) {
    struct Case {
        ColorSpace stored;
        Bytes pixels;
        const char* order;
        Bytes expected;
    } cases[] = {
        {CS_BGRA, twoPixels(), "BGRA", {1, 2, 3, 4, 5, 6, 7, 8}},
        {CS_BGRA, twoPixels(), "RGBA", {3, 2, 1, 4, 7, 6, 5, 8}},
        {CS_BGRA, twoPixels(), "ARGB", {4, 3, 2, 1, 8, 7, 6, 5}},
        {CS_BGRA, twoPixels(), "RGB", {3, 2, 1, 7, 6, 5}},
        {CS_BGRA, twoPixels(), "GBR", {2, 1, 3, 6, 5, 7}},
        {CS_RGBA, twoPixels(), "BGRA", {3, 2, 1, 4, 7, 6, 5, 8}},
        {CS_RGB, {1, 2, 3, 4, 5, 6}, "BGRA", {3, 2, 1, 255, 6, 5, 4, 255}},
        {CS_BGR, {1, 2, 3, 4, 5, 6}, "RGBA", {3, 2, 1, 255, 6, 5, 4, 255}},
        {CS_GRAY, {9, 200}, "ABGR", {255, 9, 9, 9, 255, 200, 200, 200}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.order);
        TalvoMainImage image(2, 1, c.stored, true, c.pixels.data(), 2, false);
        unsigned int size = 0;
        Block out(image.GetPixels(c.order, &size));
        ASSERT_TRUE(out);
        ASSERT_EQ(size, c.expected.size());
        EXPECT_EQ(Bytes(out.get(), out.get() + size), c.expected);
    }
}

TEST(TalvoMainImagePixels, UnknownOrdersThrowNotImplemented) {
    Bytes pixels = twoPixels();
    TalvoMainImage image(2, 1, CS_BGRA, true, pixels.data(), 2, true);
    for (const char* order : {"", "BG", "BGRAB", "BGGR", "BGRX", "bgra", "RGBL", "AAGB"}) {
        unsigned int size = 7;
        EXPECT_EQ(errorOf([&] { image.GetPixels(order, &size); }), ERR_NOT_IMPLEMENTED) << order;
        EXPECT_EQ(size, 7u);
    }
    EXPECT_EQ(errorOf([&] { image.GetPixels(std::string("BGR\0", 4), nullptr); }),
              ERR_NOT_IMPLEMENTED);
}

TEST(TalvoMainImagePixels, BottomUpRowsComeOutTopDown) {
    // Row 0 of the block is the bottom row.
    Bytes pixels = {10, 11, 12, 20, 21, 22};
    TalvoMainImage image(1, 2, CS_RGB, false, pixels.data(), 2, true);
    unsigned int size = 0;
    Block out(image.GetPixels("RGB", &size));
    EXPECT_EQ(Bytes(out.get(), out.get() + size), (Bytes{20, 21, 22, 10, 11, 12}));
}

TEST(TalvoMainImagePixels, BorrowedBlocksAreReadInPlace) {
    Bytes pixels = twoPixels();
    // The six-argument constructor borrows.
    TalvoMainImage image(2, 1, CS_BGRA, true, pixels.data(), 2);
    pixels[0] = 99;
    unsigned int size = 0;
    Block out(image.GetPixels("BGRA", &size));
    // Borrowed pixels are copied out, never handed over.
    EXPECT_NE(out.get(), pixels.data());
    EXPECT_EQ(out.get()[0], 99);
    Block again(image.GetPixels("BGRA", &size));
    EXPECT_TRUE(again);
}

TEST(TalvoMainImagePixels, OwnedBlockInTheSameLayoutIsHandedOver) {
    Bytes pixels = twoPixels();
    TalvoMainImage image(2, 1, CS_BGRA, true, pixels.data(), 2, false);
    pixels.assign(pixels.size(), 0); // the image holds its own copy
    Block converted(image.GetPixels("RGBA", nullptr));
    EXPECT_EQ(converted.get()[0], 3);

    unsigned int size = 0;
    Block handed(image.GetPixels("BGRA", &size));
    ASSERT_TRUE(handed);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(Bytes(handed.get(), handed.get() + 8), twoPixels());
    // The image no longer has pixels, but keeps its size.
    EXPECT_EQ(errorOf([&] { image.GetPixels("BGRA", &size); }), ERR_NULL_VALUE);
    TempFile file("handed_over.jpg");
    EXPECT_EQ(errorOf([&] { image.WriteImage(file.path(), IT_JPEG, 50); }), ERR_NULL_VALUE);
    EXPECT_EQ(image.GetWidth(), 2u);
    EXPECT_EQ(image.GetHeight(), 1u);
}

TEST(TalvoMainImagePixels, CopiesOwnTheirPixels) {
    auto* pixels = static_cast<unsigned char*>(std::malloc(8));
    std::memcpy(pixels, twoPixels().data(), 8);
    auto borrowing = std::make_unique<TalvoMainImage>(2, 1, CS_BGRA, true, pixels, 2, true);
    TalvoMainImage copy(*borrowing);
    TalvoMainImage assigned(1, 1, CS_GRAY, true, pixels, 1, false);
    assigned = *borrowing;
    borrowing.reset();
    std::free(pixels);
    for (TalvoMainImage* image : {&copy, &assigned}) {
        EXPECT_EQ(image->GetWidth(), 2u);
        Block out(image->GetPixels("BGRA", nullptr));
        EXPECT_EQ(Bytes(out.get(), out.get() + 8), twoPixels());
    }
    TalvoMainImage& same = assigned;
    assigned = same;
    EXPECT_EQ(assigned.GetWidth(), 2u);
}

TEST(TalvoMainImagePixels, ConstructorRefusesBadArguments) {
    Bytes pixels(64, 0);
    unsigned char* p = pixels.data();
    struct Case {
        const char* name;
        int code;
        std::function<void()> make;
    } cases[] = {
        {"null block", ERR_NULL_VALUE, [] { TalvoMainImage(2, 2, CS_BGRA, true, nullptr, 4); }},
        {"unknown layout", ERR_NOT_IMPLEMENTED,
         [p] { TalvoMainImage(2, 2, CS_UNKNOWN, true, p, 4); }},
        {"layout out of range", ERR_NOT_IMPLEMENTED,
         [p] { TalvoMainImage(2, 2, static_cast<ColorSpace>(9), true, p, 4); }},
        {"zero width", ERR_BAD_ARGUMENT, [p] { TalvoMainImage(0, 2, CS_BGRA, true, p, 0); }},
        {"count is bytes", ERR_BAD_ARGUMENT, [p] { TalvoMainImage(2, 2, CS_BGRA, true, p, 16); }},
        {"negative count", ERR_BAD_ARGUMENT, [p] { TalvoMainImage(2, 2, CS_BGRA, true, p, -4); }},
        {"over 2 GB", ERR_TOO_LARGE,
         [p] { TalvoMainImage(70000, 70000, CS_BGRA, true, p, 70000L * 70000L); }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(c.make), c.code) << c.name;
    }
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST(TalvoMainImageLoad, FailuresThrowWithTheirCode) {
    EXPECT_EQ(errorOf([] { TalvoMainImage(TempFile("missing").path().c_str()); }), ERR_FILE);
    EXPECT_EQ(errorOf([] { TalvoMainImage(static_cast<const char*>(nullptr)); }), ERR_FILE);
    EXPECT_EQ(errorOf([] { TalvoMainImage(""); }), ERR_FILE);
    EXPECT_EQ(loadError({}), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(loadError({'B', 'M', 0, 0}), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(loadError({'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0}), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(loadError({0xFF, 0xD8, 0xFF, 0xD9}), ERR_BAD_IMAGE);
    EXPECT_EQ(loadError({'G', 'I', 'F', '8', '9', 'a', 1, 0}), ERR_BAD_IMAGE);
}

TEST(TalvoMainImageLoad, GreyJpegFillsThreeChannels) {
    Bytes grey(8 * 8);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<unsigned char>(i * 4);
    }
    JpegOptions o;
    o.quality = 100;
    TalvoMainImage image = loadBytes(encodeJpeg(8, 8, 1, grey, o));
    const Bytes rgba = rgbaOf(image);
    for (std::size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(rgba[i * 4], rgba[i * 4 + 1]);
        EXPECT_EQ(rgba[i * 4], rgba[i * 4 + 2]);
        EXPECT_NEAR(rgba[i * 4], grey[i], 1);
        EXPECT_EQ(rgba[i * 4 + 3], 255);
    }
}

// A CMYK file of four 16 x 16 blocks side by side, one ink combination
// each (whole blocks, so that subsampled YCCK chroma stays inside them).
struct Inks {
    unsigned c, m, y, k;
};
const Inks kInks[4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {40, 120, 200, 30}, {10, 250, 60, 128}};

// Red, green, blue of an ink combination: each colour is what its
// complementary ink and black leave of the light.
Bytes inkColour(const Inks& i) {
    auto left = [](unsigned ink, unsigned k) {
        return static_cast<unsigned char>(std::lround((255.0 - ink) * (255.0 - k) / 255.0));
    };
    return {left(i.c, i.k), left(i.m, i.k), left(i.y, i.k), 255};
}

Bytes cmykFile(bool adobe, bool ycck) {
    Bytes pixels;
    for (int y = 0; y < 16; ++y) {
        for (const Inks& i : kInks) {
            for (int x = 0; x < 16; ++x) {
                // Adobe files store the inks inverted.
                const unsigned v[4] = {i.c, i.m, i.y, i.k};
                for (unsigned ink : v) {
                    pixels.push_back(static_cast<unsigned char>(adobe ? 255 - ink : ink));
                }
            }
        }
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 64;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < 16) {
        JSAMPROW row = &pixels[cinfo.next_scanline * 64 * 4];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

TEST(TalvoMainImageLoad, CmykAndYcckBecomeColour) {
    struct Case {
        const char* name;
        bool adobe;
        bool ycck;
    } cases[] = {{"plain CMYK", false, false},
                 {"Adobe inverted CMYK", true, false},
                 {"Adobe YCCK", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes rgba = rgbaOf(cmykFile(c.adobe, c.ycck));
        ASSERT_EQ(rgba.size(), 64u * 16 * 4);
        for (int block = 0; block < 4; ++block) {
            const Bytes expected = inkColour(kInks[block]);
            const Bytes got = pixelAt(rgba, 64, block * 16 + 7, 8);
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(got[k], expected[k], 2) << "block " << block << " channel " << k;
            }
        }
    }
}

TEST(TalvoMainImageLoad, SuiteCmykFilesFollowTheAdobeConvention) {
    VORN_REQUIRE_TESTDATA();
    // The suite's CMYK files carry an Adobe marker; all ten hold the same
    // picture, and each pixel is the inverted-ink reading of the raw inks
    // libjpeg decodes.
    Bytes first;
    for (const char* dir : {"baseline", "extended_huffman", "extended_arithmetic",
                            "progressive_huffman", "progressive_arithmetic"}) {
        for (const char* name : {"32x32x8_cmyk", "32x32x8_cmyk_interleaved"}) {
            const std::string path = testdataDir() + "/jpeg/" + dir + "/" + name + ".jpg";
            SCOPED_TRACE(path);
            const Bytes file = readFileBytes(path);
            const Bytes rgba = rgbaOf(file);
            ASSERT_EQ(rgba.size(), 32u * 32 * 4);
            if (first.empty()) {
                first = rgba;
                jpeg_decompress_struct cinfo;
                jpeg_error_mgr err;
                cinfo.err = jpeg_std_error(&err);
                jpeg_create_decompress(&cinfo);
                jpeg_mem_src(&cinfo, file.data(), file.size());
                jpeg_read_header(&cinfo, TRUE);
                ASSERT_TRUE(cinfo.saw_Adobe_marker);
                jpeg_start_decompress(&cinfo);
                Bytes row(32 * 4);
                for (int y = 0; y < 32; ++y) {
                    JSAMPROW r = row.data();
                    jpeg_read_scanlines(&cinfo, &r, 1);
                    for (int x = 0; x < 32; ++x) {
                        const unsigned char* ink = &row[static_cast<std::size_t>(x) * 4];
                        const Bytes expected =
                            inkColour({255u - ink[0], 255u - ink[1], 255u - ink[2], 255u - ink[3]});
                        EXPECT_EQ(pixelAt(rgba, 32, x, y), expected) << x << "," << y;
                    }
                }
                jpeg_finish_decompress(&cinfo);
                jpeg_destroy_decompress(&cinfo);
            }
            EXPECT_EQ(rgba, first);
        }
    }
}

// A progressive flat grey file with `scans` scans: its last scan (an AC
// refinement, which reads the same bits again on a flat picture) repeated.
Bytes progressiveWithScans(std::size_t scans) {
    JpegOptions o;
    o.progressive = true;
    const Bytes base = encodeJpeg(8, 8, 1, Bytes(64, 77), o);
    std::size_t eoi = 0;
    const std::vector<std::size_t> starts = scanStarts(base, eoi);
    EXPECT_EQ(starts.size(), 6u);
    Bytes file(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(eoi));
    const Bytes last(base.begin() + static_cast<std::ptrdiff_t>(starts.back()),
                     base.begin() + static_cast<std::ptrdiff_t>(eoi));
    for (std::size_t n = starts.size(); n < scans; ++n) {
        file.insert(file.end(), last.begin(), last.end());
    }
    file.push_back(0xFF);
    file.push_back(0xD9);
    return file;
}

TEST(TalvoMainImageLoad, AtMostAThousandScans) {
    const Bytes rgba = rgbaOf(progressiveWithScans(1000));
    ASSERT_EQ(rgba.size(), 8u * 8 * 4);
    EXPECT_NEAR(rgba[0], 77, 1);
    EXPECT_EQ(loadError(progressiveWithScans(1001)), ERR_BAD_IMAGE);
}

TEST(TalvoMainImageLoad, ResolutionInDotsPerInch) {
    auto withExif = [](Bytes exif, bool jfif = false) {
        JpegOptions o;
        o.jfif = jfif;
        o.exif = std::move(exif);
        return o;
    };
    JpegOptions dpi;
    dpi.densityUnit = 1;
    dpi.densityX = 300;
    dpi.densityY = 72;
    JpegOptions perCm;
    perCm.densityUnit = 2;
    perCm.densityX = 118;
    perCm.densityY = 1;
    struct Case {
        const char* name;
        JpegOptions options;
        double x;
        double y;
    } cases[] = {
        {"JFIF per inch", dpi, 300.0, 72.0},
        {"JFIF per centimetre", perCm, 118 * 2.54, 2.54},
        {"JFIF ratio only", JpegOptions(), 0.0, 0.0},
        {"Exif half a dot per inch", withExif(exifResolution(1, 2, 2)), 0.5, 0.5},
        {"Exif big-endian", withExif(exifResolution(300, 1, 2, true)), 300.0, 300.0},
        {"Exif per centimetre", withExif(exifResolution(10, 1, 3)), 25.4, 25.4},
        {"Exif zero denominator", withExif(exifResolution(300, 0, 2)), 0.0, 0.0},
        {"Exif after JFIF ratio", withExif(exifResolution(150, 1, 2), true), 150.0, 150.0},
        {"not Exif", withExif(Bytes{'X', 'M', 'P', 0, 0, 0, 'I', 'I', 42, 0}), 0.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TalvoMainImage image = loadBytes(encodeJpeg(8, 8, 3, smoothRgb(8, 8), c.options));
        double x = -1;
        double y = -1;
        image.GetResolutionInch(&x, &y);
        EXPECT_DOUBLE_EQ(x, c.x);
        EXPECT_DOUBLE_EQ(y, c.y);
        image.GetResolutionInch(nullptr, nullptr);
    }
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
        std::memcpy(copy.get(), tiff.data(), n);
        EXPECT_FALSE(detail::exifResolutionInch(copy.get(), n, x, y)) << n;
    }
    // Offsets and counts pointing anywhere.
    Rng rng(3);
    for (int round = 0; round < 2000; ++round) {
        Bytes bad = tiff;
        bad[static_cast<std::size_t>(rng.range(0, static_cast<int>(bad.size()) - 1))] = rng.byte();
        std::unique_ptr<unsigned char[]> copy(new unsigned char[bad.size()]);
        std::memcpy(copy.get(), bad.data(), bad.size());
        detail::exifResolutionInch(copy.get(), bad.size(), x, y);
    }
}

TEST(ClaimedSize, RefusesWhatNoBlockOrFileCouldHold) {
    struct Case {
        std::uint64_t width;
        std::uint64_t height;
        std::size_t fileBytes;
        int code; // 0: accepted
    } cases[] = {
        {1, 1, 0, 0},
        {0, 5, 100, ERR_BAD_IMAGE},
        {5, 0, 100, ERR_BAD_IMAGE},
        {4096, 4096, 1, 0},     // within the allowance whatever the file
        {4097, 4096, 16400, 0}, // 1,024 pixels per byte
        {4097, 4096, 16388, ERR_TOO_LARGE},
        {23170, 23170, 1u << 30, 0}, // 2,147,395,600 bytes
        {23171, 23170, 1u << 30, ERR_TOO_LARGE},
        {65535, 65535, 100, ERR_TOO_LARGE},
    };
    for (const Case& c : cases) {
        ErrorCode code = ERR_BAD_IMAGE;
        const char* problem = detail::claimedSizeProblem(c.width, c.height, c.fileBytes,
                                                         detail::kJpegPixelsPerByte, code);
        EXPECT_EQ(problem ? static_cast<int>(code) : 0, c.code) << c.width << " x " << c.height;
    }
}

// ---------------------------------------------------------------------------
// GIF composition
// ---------------------------------------------------------------------------

const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};
const Rgb kGrey{128, 128, 128};

GifFrame frameOf(int left, int top, int width, int height, std::vector<unsigned char> pixels) {
    GifFrame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels = std::move(pixels);
    return f;
}

// The image as text: one letter per pixel, rows separated by '/'.
// R, G, B, K (black), W (white), g (grey); lower case '.' for the
// background colour at alpha 0 and ' ' for transparent black.
std::string letters(const Bytes& rgba, int width) {
    std::string out;
    for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
        if (i > 0 && i % static_cast<std::size_t>(width) == 0) {
            out += '/';
        }
        const unsigned char* p = &rgba[i * 4];
        const auto is = [p](int r, int g, int b, int a) {
            return p[0] == r && p[1] == g && p[2] == b && p[3] == a;
        };
        out += is(255, 0, 0, 255)       ? 'R'
               : is(0, 255, 0, 255)     ? 'G'
               : is(0, 0, 255, 255)     ? 'B'
               : is(0, 0, 0, 255)       ? 'K'
               : is(255, 255, 255, 255) ? 'W'
               : is(128, 128, 128, 255) ? 'g'
               : is(128, 128, 128, 0)   ? '.'
               : is(0, 0, 0, 0)         ? ' '
                                        : '?';
    }
    return out;
}

std::string gifLetters(const GifSpec& spec) {
    return letters(rgbaOf(encodeGif(spec)), spec.screenWidth);
}

GifSpec screen(int width, int height) {
    GifSpec spec;
    spec.screenWidth = width;
    spec.screenHeight = height;
    spec.globalMap = {kGrey, kRed, kGreen, kBlue};
    spec.background = 0;
    return spec;
}

TEST(TalvoMainImageGif, FirstFrameIsComposedOntoTheScreen) {
    struct Case {
        const char* name;
        GifSpec spec;
        std::string expected;
    };
    std::vector<Case> cases;
    {
        GifSpec s = screen(3, 2);
        s.frames = {frameOf(0, 0, 3, 2, {1, 2, 3, 3, 2, 1})};
        cases.push_back({"whole screen", s, "RGB/BGR"});
    }
    {
        GifSpec s = screen(4, 3);
        s.frames = {frameOf(1, 1, 2, 1, {3, 1})};
        cases.push_back({"inside", s, "..../.BR./...."});
    }
    {
        GifSpec s = screen(3, 3);
        s.frames = {frameOf(2, 1, 3, 3, {1, 2, 3, 2, 3, 1, 3, 1, 2})};
        cases.push_back({"clipped right and bottom", s, ".../..R/..G"});
    }
    {
        GifSpec s = screen(3, 2);
        s.frames = {frameOf(5, 0, 2, 2, {1, 1, 1, 1})};
        cases.push_back({"outside", s, ".../..."});
    }
    {
        GifSpec s = screen(3, 1);
        s.frames = {frameOf(0, 0, 3, 1, {1, 2, 3})};
        s.frames[0].transparent = 2;
        cases.push_back({"transparent index", s, "R B"});
    }
    {
        GifSpec s = screen(2, 1);
        s.frames = {frameOf(0, 0, 2, 1, {1, 0}), frameOf(0, 0, 2, 1, {2, 2})};
        cases.push_back({"later frames ignored", s, "Rg"});
    }
    {
        GifSpec s = screen(2, 1);
        s.frames = {frameOf(0, 0, 2, 1, {0, 1})};
        s.frames[0].localMap = {kBlue, kGreen};
        cases.push_back({"local map first", s, "BG"});
    }
    {
        GifSpec s = screen(1, 10);
        std::vector<unsigned char> rows = {1, 2, 3, 0, 1, 2, 3, 0, 1, 2};
        s.frames = {frameOf(0, 0, 1, 10, rows)};
        s.frames[0].interlaced = true;
        cases.push_back({"interlaced", s, "R/G/B/g/R/G/B/g/R/G"});
    }
    {
        GifSpec s = screen(2, 1);
        s.globalMap = {kGrey, kRed};
        s.background = 3; // beyond the map: no background colour
        s.frames = {frameOf(0, 0, 1, 1, {1})};
        cases.push_back({"background beyond the map", s, "R "});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(gifLetters(c.spec), c.expected) << c.name;
    }
}

TEST(TalvoMainImageGif, MissingAndShortColourMaps) {
    GifSpec s = screen(4, 1);
    s.frames = {frameOf(0, 0, 4, 1, {0, 1, 2, 3})};
    const Bytes gif = encodeGif(s);
    // No map at all: index 0 black, 1 white, the others black; without a
    // map there is no background colour either.
    EXPECT_EQ(letters(rgbaOf(replaceGlobalMap(gif, {})), 4), "KWKK");
    // A map of two entries: indices 2 and 3 are beyond it.
    EXPECT_EQ(letters(rgbaOf(replaceGlobalMap(gif, {kBlue, kRed})), 4), "BRKK");
}

TEST(TalvoMainImageGif, FrameThatEndsEarlyThrows) {
    GifSpec s = screen(16, 16);
    std::vector<unsigned char> pixels(256);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>(i * 7 % 4);
    }
    s.frames = {frameOf(0, 0, 16, 16, pixels)};
    const Bytes gif = encodeGif(s);
    EXPECT_EQ(loadError(Bytes(gif.begin(), gif.end() - 1)), 0); // the trailer only
    EXPECT_EQ(loadError(Bytes(gif.begin(), gif.end() - 12)), ERR_BAD_IMAGE);
}

TEST(TalvoMainImageGif, OnlyTheVisibleRowsOfAHugeFrameAreDecoded) {
    // A 3 x 60000 frame whose data stops after its first rows: the 3 x 2
    // screen shows two rows, which is all that is read.
    GifSpec s = screen(3, 2);
    s.frames = {frameOf(0, 0, 3, 4, {1, 2, 3, 3, 2, 1, 1, 1, 1, 2, 2, 2})};
    Bytes gif = encodeGif(s);
    // The image descriptor follows the 13-byte header and 12-byte map.
    ASSERT_EQ(gif[25], 0x2C);
    gif[25 + 7] = static_cast<unsigned char>(60000 & 0xFF);
    gif[25 + 8] = static_cast<unsigned char>(60000 >> 8);
    EXPECT_EQ(letters(rgbaOf(gif), 3), "RGB/BGR");
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

TEST(TalvoMainImageWrite, RefusesOtherTypesAndBadPaths) {
    Bytes pixels(16, 200);
    TalvoMainImage image(2, 2, CS_BGRA, true, pixels.data(), 4);
    TempFile file("refused.gif");
    EXPECT_EQ(errorOf([&] { image.WriteImage(file.path(), IT_GIF, 50); }), ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(errorOf([&] { image.WriteImage(file.path(), IT_UNKNOWN, 50); }), ERR_NOT_IMPLEMENTED);
    EXPECT_TRUE(file.read().empty());
    EXPECT_EQ(errorOf([&] { image.WriteImage("", IT_JPEG, 50); }), ERR_FILE);
    EXPECT_EQ(errorOf([&] { image.WriteImage(file.path() + "/x.jpg", IT_JPEG, 50); }), ERR_FILE);
    EXPECT_EQ(errorOf([&] { image.WriteImage(std::string("a\0b", 3), IT_JPEG, 50); }), ERR_FILE);
}

TEST(TalvoMainImageWrite, LayoutsAndRowOrderSurviveARoundTrip) {
    // Top half red, bottom half blue, 16 x 16.
    auto picture = [](ColorSpace cs, bool topDown) {
        const std::size_t bpp = detail::bytesPerPixel(cs);
        Bytes p(16 * 16 * bpp);
        for (int y = 0; y < 16; ++y) {
            const bool red = (y < 8) == topDown;
            for (int x = 0; x < 16; ++x) {
                unsigned char* q = &p[(static_cast<std::size_t>(y) * 16 + x) * bpp];
                const unsigned char r = red ? 255 : 0;
                const unsigned char b = red ? 0 : 255;
                if (cs == CS_GRAY) {
                    q[0] = red ? 200 : 40;
                } else {
                    const bool bgr = cs == CS_BGRA || cs == CS_BGR;
                    q[0] = bgr ? b : r;
                    q[1] = 0;
                    q[2] = bgr ? r : b;
                }
                if (bpp == 4) {
                    q[3] = 0; // alpha is dropped
                }
            }
        }
        return p;
    };
    struct Case {
        ColorSpace cs;
        bool topDown;
    } cases[] = {{CS_BGRA, true}, {CS_BGRA, false}, {CS_RGBA, true},
                 {CS_BGR, true},  {CS_RGB, false},  {CS_GRAY, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.cs) * 10 + c.topDown);
        Bytes pixels = picture(c.cs, c.topDown);
        TalvoMainImage image(16, 16, c.cs, c.topDown, pixels.data(), 256, false);
        TempFile file("layout.jpg");
        image.WriteImage(file.path(), IT_JPEG, 90);
        const Bytes back = rgbaOf(file.read());
        const Bytes top = pixelAt(back, 16, 4, 2);
        const Bytes bottom = pixelAt(back, 16, 4, 13);
        if (c.cs == CS_GRAY) {
            EXPECT_NEAR(top[0], 200, 3);
            EXPECT_NEAR(bottom[0], 40, 3);
        } else {
            EXPECT_NEAR(top[0], 255, 3);
            EXPECT_NEAR(top[2], 0, 3);
            EXPECT_NEAR(bottom[0], 0, 3);
            EXPECT_NEAR(bottom[2], 255, 3);
        }
        EXPECT_EQ(top[3], 255);
    }
}

TEST(TalvoMainImageWrite, QualityIsClampedToOneToHundred) {
    Bytes pixels(8 * 8 * 4, 90);
    TalvoMainImage image(8, 8, CS_BGRA, true, pixels.data(), 64);
    // The first entry of the luminance table: 16 scaled by the quality.
    struct Case {
        int quality;
        unsigned char first;
    } cases[] = {{-5, 255}, {1, 255}, {50, 16}, {100, 1}, {1000, 1}};
    for (const Case& c : cases) {
        TempFile file("quality.jpg");
        image.WriteImage(file.path(), IT_JPEG, c.quality);
        const Bytes jpeg = file.read();
        bool found = false;
        for (std::size_t i = 2; i + 5 < jpeg.size() && !found; ++i) {
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) {
                EXPECT_EQ(jpeg[i + 5], c.first) << c.quality;
                found = true;
            }
        }
        EXPECT_TRUE(found);
    }
}

} // namespace
