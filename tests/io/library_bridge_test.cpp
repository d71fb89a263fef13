// The image-library bridge: the third-party JPEG and GIF suites against an
// independent decoder, damaged files, density from the file's resolution,
// sizes refused before allocation, and JPEG writing.

#include "core/core.h"
#include "imagelib_files.h"
#include "io/io.h"
#include "text/text_string.h"

#include <cmath>

using vorn::detail::readLibraryImage;
using vorn::detail::writeLibraryImage;

namespace {

BufferPtr readPath(const std::string& path) {
    const std::wstring wide(path.begin(), path.end());
    return BufferPtr(readLibraryImage(wide.c_str()));
}

BufferPtr readBytes(const std::string& name, const Bytes& content) {
    TempFile file(name, content);
    return readPath(file.path());
}

struct DensityAccess : VornBuffer {
    static int unitOf(const VornBuffer& b) { return b.*(&DensityAccess::densityUnit); }
    static int xOf(const VornBuffer& b) { return b.*(&DensityAccess::densityX); }
    static int yOf(const VornBuffer& b) { return b.*(&DensityAccess::densityY); }
};

std::vector<std::string> manifestFiles(const std::string& prefix, const std::string& status) {
    std::vector<std::string> out;
    for (const auto& [file, what] : readManifest()) {
        if (file.compare(0, prefix.size(), prefix) == 0 &&
            what.compare(0, status.size(), status) == 0) {
            out.push_back(file);
        }
    }
    return out;
}

std::string referencePath(const std::string& file) {
    // gif/gifs/NAME.gif has its reference at reference/gif/NAME.pam.
    std::string stem = file.substr(0, file.rfind('.'));
    const std::string gifs = "gif/gifs/";
    if (stem.compare(0, gifs.size(), gifs) == 0) {
        stem = "gif/" + stem.substr(gifs.size());
    }
    return testdataDir() + "/reference/" + stem + ".pam";
}

// ---------------------------------------------------------------------------
// Third-party suites
// ---------------------------------------------------------------------------

TEST(LibraryBridgeSuites, JpegFilesEqualTheirReference) {
    VORN_REQUIRE_TESTDATA();
    const std::vector<std::string> files = manifestFiles("jpeg/", "reference");
    ASSERT_GT(files.size(), 150u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Pam ref;
        ASSERT_TRUE(readPam(referencePath(file), ref));
        BufferPtr b = readPath(testdataDir() + "/" + file);
        ASSERT_TRUE(b);
        // libjpeg-turbo with its default settings, like the reference.
        EXPECT_EQ(maxDifference(*b, ref), 0);
    }
}

TEST(LibraryBridgeSuites, JpegFilesOutsideTheDecodersReachGiveNull) {
    VORN_REQUIRE_TESTDATA();
    // Lossless, JPEG-LS, 12-bit samples, and the height given by a DNL
    // marker: none of them is read.
    const std::vector<std::string> files = manifestFiles("jpeg/", "independent decoder refused");
    ASSERT_GT(files.size(), 100u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(readPath(testdataDir() + "/" + file));
    }
}

TEST(LibraryBridgeSuites, GifFilesReadAsTheirFirstFrame) {
    VORN_REQUIRE_TESTDATA();
    const std::vector<std::string> files = manifestFiles("gif/", "reference");
    ASSERT_EQ(files.size(), 13u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Pam ref;
        ASSERT_TRUE(readPam(referencePath(file), ref));
        BufferPtr b = readPath(testdataDir() + "/" + file);
        ASSERT_TRUE(b);
        EXPECT_EQ(maxDifference(*b, ref), 0);
    }
}

// Good files of each kind, for the damaged variants below.
std::vector<std::string> sampleFiles() {
    return {"jpeg/baseline/32x32x8_ycbcr_2x2_1x1_1x1_interleaved.jpg",
            "jpeg/baseline/32x32x8_restarts.jpg",
            "jpeg/baseline/32x32x8_grayscale.jpg",
            "jpeg/baseline/32x32x8_cmyk_interleaved.jpg",
            "jpeg/extended_arithmetic/32x32x8_ycbcr_interleaved.jpg",
            "jpeg/progressive_huffman/32x32x8_ycbcr_2x2_2x1_1x2_interleaved.jpg",
            "jpeg/progressive_arithmetic/32x32x8_ycbcr_interleaved.jpg",
            "gif/gifs/static_transparent.gif",
            "gif/gifs/animated_loop_interlaced.gif",
            "gif/gifs/animated_transparent_loop_frames_out_of_bounds.gif"};
}

TEST(LibraryBridgeDamage, TruncatedFilesGiveNullOrTheWholePicture) {
    VORN_REQUIRE_TESTDATA();
    for (const std::string& file : sampleFiles()) {
        SCOPED_TRACE(file);
        const Bytes good = readFileBytes(testdataDir() + "/" + file);
        ASSERT_GT(good.size(), 100u);
        const BufferPtr whole = readPath(testdataDir() + "/" + file);
        ASSERT_TRUE(whole);
        // Sequential Huffman-coded files in one scan; the others may lose
        // whole scans (progressive) or end early legally (arithmetic).
        const bool oneScan = file.find("baseline/") != std::string::npos &&
                             file.find("interleaved") != std::string::npos;
        const bool gif = file.find(".gif") != std::string::npos;
        TempFile temp("truncated");
        // About 60 lengths spread over the file, and each of the last few.
        const std::size_t step = good.size() / 60 + 1;
        for (std::size_t cut = 0; cut < good.size(); cut += cut + 8 < good.size() ? step : 1) {
            SCOPED_TRACE(cut);
            temp.write(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
            const BufferPtr b = readPath(temp.path());
            if (b) {
                EXPECT_EQ(b->getWidth(), whole->getWidth());
                EXPECT_EQ(b->getHeight(), whole->getHeight());
            }
            if (oneScan) {
                // Only the end marker may be missing.
                EXPECT_EQ(b != nullptr, cut >= good.size() - 2);
            }
            if (b && (oneScan || gif)) {
                // Rows are never made up.
                EXPECT_EQ(words(*b), words(*whole));
            }
        }
    }
}

TEST(LibraryBridgeDamage, FlippedBytesGiveNullOrAPicture) {
    VORN_REQUIRE_TESTDATA();
    Rng rng(7);
    for (const std::string& file : sampleFiles()) {
        SCOPED_TRACE(file);
        const Bytes good = readFileBytes(testdataDir() + "/" + file);
        TempFile temp("flipped");
        int pictures = 0;
        for (int round = 0; round < 80; ++round) {
            Bytes bad = good;
            const int flips = rng.range(1, 4);
            for (int i = 0; i < flips; ++i) {
                const std::size_t at =
                    static_cast<std::size_t>(rng.range(0, static_cast<int>(bad.size()) - 1));
                bad[at] ^= static_cast<unsigned char>(rng.range(1, 255));
            }
            temp.write(bad);
            const BufferPtr b = readPath(temp.path());
            if (b) {
                ++pictures;
                EXPECT_GE(b->getWidth(), 1);
                EXPECT_GE(b->getHeight(), 1);
            }
        }
        // Most single flips land in entropy data, which decodes to a picture.
        EXPECT_GT(pictures, 0);
    }
}

// ---------------------------------------------------------------------------
// Density from the file's resolution
// ---------------------------------------------------------------------------

struct ResolutionCase {
    const char* name;
    JpegOptions options;
    int unit;
    int x;
    int y;
};

JpegOptions jfif(int unit, int x, int y) {
    JpegOptions o;
    o.densityUnit = unit;
    o.densityX = x;
    o.densityY = y;
    return o;
}

JpegOptions exif(std::uint32_t num, std::uint32_t den, unsigned unit, bool withJfif = false) {
    JpegOptions o;
    o.jfif = withJfif;
    o.exif = exifResolution(num, den, unit);
    return o;
}

TEST(LibraryBridgeDensity, ComesFromTheResolutionInDotsPerInch) {
    JpegOptions jfifAndExif = jfif(1, 96, 96);
    jfifAndExif.exif = exifResolution(300, 1, 2);
    const ResolutionCase cases[] = {
        {"300 dpi", jfif(1, 300, 300), 1, 300, 300},
        {"300 x 150 dpi", jfif(1, 300, 150), 1, 300, 150},
        {"118 dots per cm is 299.72 dpi", jfif(2, 118, 118), 1, 299, 299},
        {"aspect ratio only", jfif(0, 1, 1), 0, 3780, 3780},
        {"zero density", jfif(1, 0, 0), 0, 3780, 3780},
        {"no JFIF, no Exif", exif(0, 0, 2), 0, 3780, 3780},
        {"Exif 72 dpi", exif(72, 1, 2), 1, 72, 72},
        {"Exif 0.5 dpi truncates to 0", exif(1, 2, 2), 0, 3780, 3780},
        {"Exif 40 per cm", exif(40, 1, 3), 1, 101, 101},
        {"Exif without a unit of length", exif(72, 1, 1), 0, 3780, 3780},
        {"JFIF before Exif", jfifAndExif, 1, 96, 96},
    };
    const Bytes pixels = smoothRgb(16, 8);
    for (const ResolutionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const BufferPtr b = readBytes("density.jpg", encodeJpeg(16, 8, 3, pixels, c.options));
        ASSERT_TRUE(b);
        EXPECT_EQ(DensityAccess::unitOf(*b), c.unit);
        EXPECT_EQ(DensityAccess::xOf(*b), c.x);
        EXPECT_EQ(DensityAccess::yOf(*b), c.y);
    }
}

TEST(LibraryBridgeDensity, GifKeepsTheDefault) {
    GifSpec spec;
    spec.globalMap = {Rgb{10, 20, 30}, Rgb{40, 50, 60}};
    spec.frames.push_back(GifFrame{});
    spec.frames[0].pixels = {1};
    const BufferPtr b = readBytes("density.gif", encodeGif(spec));
    ASSERT_TRUE(b);
    EXPECT_EQ(at(*b, 0, 0), rgba(40, 50, 60));
    EXPECT_EQ(DensityAccess::unitOf(*b), 0);
    EXPECT_EQ(DensityAccess::xOf(*b), 3780);
}

// ---------------------------------------------------------------------------
// Failures and sizes
// ---------------------------------------------------------------------------

TEST(LibraryBridgeRead, UnreadableFilesGiveNull) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    const std::string text = "just some words, not a picture\n";
    struct Case {
        const char* name;
        Bytes content;
    } cases[] = {
        {"empty", {}},
        {"text", Bytes(text.begin(), text.end())},
        {"png signature", png},
        {"jpeg start marker only", {0xFF, 0xD8, 0xFF}},
        {"gif signature only", {'G', 'I', 'F', '8', '9', 'a'}},
        {"gif87 without image", {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(readBytes("unreadable.jpg", c.content));
    }
    EXPECT_FALSE(readPath(TempFile("missing.jpg").path()));
    EXPECT_FALSE(readLibraryImage(nullptr));
    EXPECT_FALSE(readLibraryImage(L""));
}

TEST(LibraryBridgeRead, TheBufferOwnsTheLibrarysPixelBlock) {
    const BufferPtr b = readBytes("owned.jpg", encodeJpeg(16, 8, 3, smoothRgb(16, 8)));
    ASSERT_TRUE(b);
    EXPECT_EQ(VornProtected::ownsPixelsOf(*b), 1);
    EXPECT_FALSE(b->hasTransparency());
    EXPECT_EQ(b->getBackground(nullptr, nullptr, nullptr), 0);
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

// A smooth picture with distinct channels and alpha running across it.
BufferPtr smoothBuffer(int width, int height) {
    BufferPtr b = makeBuffer(width, height);
    const Bytes rgb = smoothRgb(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* q = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            *b->getPixel(x, y) = rgba(q[0], q[1], q[2], static_cast<unsigned>((x * 7 + y) % 256));
        }
    }
    return b;
}

// The segment that starts with marker 0xFF `code`, without its length.
Bytes segment(const Bytes& file, unsigned char code) {
    for (std::size_t i = 2; i + 3 < file.size();) {
        if (file[i] != 0xFF) {
            break;
        }
        const std::size_t length = static_cast<std::size_t>(file[i + 2]) << 8 | file[i + 3];
        if (file[i + 1] == code) {
            return Bytes(file.begin() + static_cast<std::ptrdiff_t>(i + 4),
                         file.begin() + static_cast<std::ptrdiff_t>(i + 2 + length));
        }
        if (file[i + 1] == 0xDA) {
            break;
        }
        i += 2 + length;
    }
    return {};
}

TEST(LibraryBridgeWrite, ReadsBackCloseToTheOriginal) {
    const BufferPtr original = smoothBuffer(96, 64);
    TempFile file("smooth.jpg");
    ASSERT_EQ(writeLibraryImage(*original, file.wide().c_str()), 0);
    const BufferPtr back = readPath(file.path());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->getWidth(), 96);
    ASSERT_EQ(back->getHeight(), 64);
    double total = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) {
            const _VORNRGBAQUAD a = at(*original, x, y);
            const _VORNRGBAQUAD b = at(*back, x, y);
            // Alpha is dropped: every pixel comes back opaque.
            ASSERT_EQ(b.alpha, 255);
            total +=
                std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
        }
    }
    EXPECT_LT(total / (96 * 64 * 3), 2.5);
}

TEST(LibraryBridgeWrite, WritesBaseline420AtQuality50) {
    const BufferPtr original = smoothBuffer(40, 24);
    TempFile file("format.jpg");
    ASSERT_EQ(writeLibraryImage(*original, file.wide().c_str()), 0);
    const Bytes jpeg = file.read();
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    // Baseline frame: precision 8, 24 rows, 40 columns, three components,
    // luma sampled 2 x 2 and both chroma components 1 x 1.
    const Bytes sof = segment(jpeg, 0xC0);
    const Bytes expected = {8, 0, 24, 0, 40, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    EXPECT_EQ(sof, expected);
    // Quality 50 uses the example tables of the JPEG standard unscaled:
    // the luminance table starts 16, 11, 12 in zigzag order.
    const Bytes dqt = segment(jpeg, 0xDB);
    ASSERT_GE(dqt.size(), 4u);
    EXPECT_EQ(dqt[0], 0);
    EXPECT_EQ(dqt[1], 16);
    EXPECT_EQ(dqt[2], 11);
    EXPECT_EQ(dqt[3], 12);
    // JFIF without density: unit 0, ratio 1:1.
    const Bytes app0 = segment(jpeg, 0xE0);
    ASSERT_EQ(app0.size(), 14u);
    EXPECT_EQ(app0[7], 0);
    EXPECT_EQ(app0[8], 0);
    EXPECT_EQ(app0[9], 1);
}

TEST(LibraryBridgeWrite, FailuresGiveMinusOne) {
    const BufferPtr b = makeFilled(4, 4, rgba(1, 2, 3));
    const std::wstring noFolder = TempFile("no_such_folder").wide() + L"/out.jpg";
    EXPECT_EQ(writeLibraryImage(*b, noFolder.c_str()), -1);
    EXPECT_EQ(writeLibraryImage(*b, L""), -1);
    EXPECT_EQ(writeLibraryImage(*b, nullptr), -1);
}

TEST(LibraryBridgeWrite, SidesBeyondJpegLimitsGiveMinusOne) {
    // JPEG sides stop at 65,500.
    const BufferPtr wide = makeBuffer(65501, 1);
    TempFile file("too_wide.jpg");
    EXPECT_EQ(writeLibraryImage(*wide, file.wide().c_str()), -1);
}

// ---------------------------------------------------------------------------
// Through Read and write
// ---------------------------------------------------------------------------

TEST(LibraryThroughDispatch, ReadGivesTheLibrarysJpegAndGif) {
    JpegOptions noJfif;
    noJfif.jfif = false;
    noJfif.exif = exifResolution(72, 1, 2); // starts with APP1, not JFIF
    const Bytes jfif = encodeJpeg(16, 8, 3, smoothRgb(16, 8));
    const Bytes exifFirst = encodeJpeg(16, 8, 3, smoothRgb(16, 8), noJfif);
    GifSpec spec;
    spec.screenWidth = 2;
    spec.globalMap = {Rgb{10, 20, 30}, Rgb{40, 50, 60}};
    spec.frames.push_back(GifFrame{});
    spec.frames[0].width = 2;
    spec.frames[0].pixels = {1, 0};
    const Bytes gif = encodeGif(spec);
    struct Case {
        const char* name;
        const Bytes* content;
        int format;
        int code; // passed to Read
    } cases[] = {
        {"a.jpg", &jfif, 1, 0},       {"a.dat", &jfif, 1, 0}, {"b.JPG", &exifFirst, 1, 0},
        {"b.dat", &exifFirst, -1, 0}, {"c.gif", &gif, 4, 0},  {"c.png", &gif, 4, 0},
        {"d.dat", &jfif, 1, 1},       {"e.dat", &gif, 4, 1},  {"f.dat", &exifFirst, -1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.name, *c.content);
        EXPECT_EQ(VornBuffer::GetFormat(file.path().c_str()), c.format);
        const BufferPtr direct(readLibraryImage(file.wide().c_str()));
        ASSERT_TRUE(direct);
        const BufferPtr viaRead(VornBuffer::Read(file.path().c_str(), c.code));
        ASSERT_TRUE(viaRead);
        EXPECT_EQ(words(*viaRead), words(*direct));
        EXPECT_EQ(DensityAccess::xOf(*viaRead), DensityAccess::xOf(*direct));
    }
    EXPECT_FALSE(VornBuffer::Read(TempFile("missing.jpg").path().c_str()));
}

TEST(LibraryThroughDispatch, WriteMakesJpegForJpgOrCodeOne) {
    const BufferPtr b = smoothBuffer(33, 17);
    struct Case {
        const char* name;
        int code;
    } cases[] = {{"w.jpg", 0}, {"w.JPG", 0}, {"w.jpeg", 1}, {"w.png", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.name, Bytes{'o', 'l', 'd'});
        ASSERT_EQ(b->write(file.path().c_str(), c.code), 0);
        const Bytes written = file.read();
        ASSERT_GT(written.size(), 100u);
        EXPECT_EQ(written[0], 0xFF);
        EXPECT_EQ(written[1], 0xD8);
        EXPECT_EQ(VornBuffer::GetFormat(file.path().c_str()), 1);
        const BufferPtr back(VornBuffer::Read(file.wide().c_str(), 1));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->getWidth(), 33);
        EXPECT_EQ(back->getHeight(), 17);
    }
}

TEST(LibraryThroughDispatch, NonAsciiPathsThroughBothOverloads) {
    const BufferPtr b = makeFilled(8, 8, rgba(250, 20, 10));
    const std::string narrow = TempFile("x").path() + "_caf\xC3\xA9_\xE7\x94\xBB.jpg";
    const std::wstring wide = textlib::utf8ToWide(narrow);
    ASSERT_EQ(b->write(narrow.c_str()), 0);
    const BufferPtr viaWide(VornBuffer::Read(wide.c_str()));
    ASSERT_TRUE(viaWide);
    EXPECT_NEAR(at(*viaWide, 4, 4).red, 250, 3);
    std::remove(narrow.c_str());
    ASSERT_EQ(b->write(wide.c_str()), 0);
    const BufferPtr viaNarrow(VornBuffer::Read(narrow.c_str()));
    ASSERT_TRUE(viaNarrow);
    EXPECT_EQ(words(*viaNarrow), words(*viaWide));
    std::remove(narrow.c_str());
}

} // namespace
