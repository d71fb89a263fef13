// SPDX-License-Identifier: MIT
// The image library and its bridge on the third-party JPEG and GIF suites:
// every file against the independent decoder, damaged and altered copies
// of suite files (density, CMYK conventions, scans, GIF screens and
// frames), the library's limits, JPEG writing, and the way through Read
// and write.

#include "imagelib/imagelib.h"
#include "io/io.h"
#include "io_test.h"

#include <cmath>
#include <jpeglib.h>
#include <map>

namespace {

using vorn::Status;

Bytes suiteFile(const std::string& name) {
    return readFileBytes(testdataDir() + "/" + name);
}

/// Ok when the bytes read as an image through the bridge, else the status
/// of the failure.
Status statusOf(const Bytes& file) {
    return readBytes(file, 1) ? Status::Ok : vorn::lastFailure().status;
}

std::vector<int> densityOf(VornBuffer& b) {
    return {Access::densityUnitOf(b), Access::densityXOf(b), Access::densityYOf(b)};
}

/// The entries of reference/manifest.json, one flat object of strings
/// without escapes: test file to what is known of it.
std::map<std::string, std::string> readManifest() {
    const Bytes bytes = suiteFile("reference/manifest.json");
    const std::string text(bytes.begin(), bytes.end());
    std::map<std::string, std::string> entries;
    std::string key;
    for (std::size_t open = text.find('"'); open != std::string::npos;) {
        const std::size_t close = text.find('"', open + 1);
        const std::string s = text.substr(open + 1, close - open - 1);
        key.empty() ? void(key = s) : void(entries[std::exchange(key, "")] = s);
        open = text.find('"', close + 1);
    }
    return entries;
}

// Every file the reference decoder read equals its reference, from a file
// and from memory alike (libjpeg-turbo with its default settings, and the
// first frame of a GIF), in a block the buffer owns; every file it refused
// (lossless, JPEG-LS, 12-bit samples, a height given by a DNL marker)
// gives null.
TEST(LibrarySuites, FilesEqualTheirReferenceOrGiveNull) {
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
        EXPECT_EQ(Access::ownsPixelsOf(*b), 1);
        // gif/gifs/NAME.gif has its reference at reference/gif/NAME.pam.
        std::string stem = file.substr(0, file.rfind('.'));
        stem = stem.rfind("gif/gifs/", 0) == 0 ? "gif/" + stem.substr(9) : stem;
        EXPECT_EQ(firstDifference(*b, stem), "");
        ++compared;
    }
    EXPECT_EQ(compared, 189 + 13);
    EXPECT_EQ(refused, 175);
}

// Good files cut short give null or a picture, never a crash; a cut
// one-scan Huffman file or GIF never makes rows up. Bytes that are no such
// file give null. (Bytes changed anywhere: the fuzz target.)
TEST(LibrarySuites, DamagedFilesGiveNullOrAPicture) {
    VORN_REQUIRE_TESTDATA();
    using namespace std::string_literals;
    for (const std::string& junk : {""s, "just words\n"s, "GIF87a\1\0\1\0\0\0\0;"s}) {
        EXPECT_FALSE(readBytes(Bytes(junk.begin(), junk.end()), 1)) << junk;
    }
    for (const std::string name :
         {"jpeg/baseline/32x32x8_ycbcr_2x2_1x1_1x1_interleaved.jpg",
          "jpeg/baseline/32x32x8_restarts.jpg",
          "jpeg/extended_arithmetic/32x32x8_ycbcr_interleaved.jpg",
          "jpeg/progressive_huffman/32x32x8_ycbcr_2x2_2x1_1x2_interleaved.jpg",
          "gif/gifs/static_transparent.gif", "gif/gifs/animated_loop_interlaced.gif"}) {
        SCOPED_TRACE(name);
        const Bytes good = suiteFile(name);
        const BufferPtr whole = readBytes(good, 1);
        ASSERT_TRUE(whole);
        const bool oneScan = name.find("baseline/") != std::string::npos &&
                             name.find("interleaved") != std::string::npos;
        const bool exact = oneScan || name.find(".gif") != std::string::npos;
        // About 60 lengths spread over the file, and each of the last few.
        for (std::size_t cut = 0; cut < good.size();
             cut += cut + 8 < good.size() ? good.size() / 60 + 1 : 1) {
            const BufferPtr b =
                readBytes(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), 1);
            // Only the end marker may be missing.
            EXPECT_TRUE(!oneScan || (b != nullptr) == (cut >= good.size() - 2)) << cut;
            EXPECT_TRUE(!b || (b->getWidth() == whole->getWidth() &&
                               b->getHeight() == whole->getHeight() &&
                               (!exact || words(*b) == words(*whole))))
                << cut;
        }
    }
}

/// An Exif APP1 payload whose first IFD states XResolution and
/// YResolution as num / den and ResolutionUnit `unit` (2 inch, 3 cm).
Bytes exifResolution(std::uint32_t num, std::uint32_t den, unsigned unit, bool bigEndian = false) {
    Bytes b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I'};
    if (bigEndian) {
        b[6] = b[7] = 'M';
    }
    // Value and size of each field: the TIFF header, three IFD entries
    // (type 5 is a rational, 3 a short), no next IFD, the two rationals.
    const std::pair<std::uint32_t, int> fields[] = {
        {42, 2},     {8, 4}, {3, 2}, {0x011A, 2}, {5, 2},      {1, 4},   {50, 4},
        {0x011B, 2}, {5, 2}, {1, 4}, {58, 4},     {0x0128, 2}, {3, 2},   {1, 4},
        {unit, 2},   {0, 2}, {0, 4}, {num, 4},    {den, 4},    {num, 4}, {den, 4}};
    for (const auto& [value, n] : fields) {
        for (int i = 0; i < n; ++i) {
            b.push_back(static_cast<unsigned char>(value >> 8 * (bigEndian ? n - 1 - i : i)));
        }
    }
    return b;
}

/// A suite JPEG whose JFIF header states density `unit`, x, y, with an
/// APP1 segment of `exif` after it when given; with `jfif` false, the
/// APP1 segment replaces the JFIF header.
Bytes jpegWith(int unit, int x, int y, Bytes exif = {}, bool jfif = true) {
    Bytes f = suiteFile("jpeg/baseline/32x32x8_ycbcr.jpg");
    const Bytes fields = {static_cast<unsigned char>(unit), static_cast<unsigned char>(x >> 8),
                          static_cast<unsigned char>(x), static_cast<unsigned char>(y >> 8),
                          static_cast<unsigned char>(y)};
    std::copy(fields.begin(), fields.end(), f.begin() + 13);
    if (!exif.empty()) {
        const std::size_t n = exif.size() + 2;
        exif.insert(exif.begin(), {0xFF, 0xE1, static_cast<unsigned char>(n >> 8),
                                   static_cast<unsigned char>(n)});
        f.insert(f.begin() + 20, exif.begin(), exif.end());
    }
    if (!jfif) {
        f.erase(f.begin() + 2, f.begin() + 20);
    }
    return f;
}

// The resolution in dots per inch, truncated, becomes the density (unit 1)
// unless both values truncate to 0; else the default 3780 per metre stays.
TEST(LibraryRead, DensityComesFromTheResolutionInDotsPerInch) {
    VORN_REQUIRE_TESTDATA();
    const std::vector<int> none = {0, 3780, 3780};
    const struct {
        Bytes file;
        std::vector<int> density; // unit, x, y
    } cases[] = {
        {jpegWith(1, 300, 300), {1, 300, 300}},
        {jpegWith(1, 300, 150), {1, 300, 150}},
        {jpegWith(2, 118, 118), {1, 299, 299}}, // 299.72 dpi
        {jpegWith(0, 1, 1), none},              // aspect ratio only
        {jpegWith(1, 0, 0), none},
        {jpegWith(0, 1, 1, {}, false), none}, // neither JFIF nor Exif
        {jpegWith(0, 1, 1, exifResolution(72, 1, 2), false), {1, 72, 72}},
        {jpegWith(0, 1, 1, exifResolution(300, 1, 2, true), false), {1, 300, 300}},
        {jpegWith(0, 1, 1, exifResolution(40, 1, 3), false), {1, 101, 101}}, // per cm
        {jpegWith(0, 1, 1, exifResolution(300, 0, 2), false), none},         // zero denominator
        {jpegWith(0, 1, 1, Bytes{'X', 'M', 'P', 0, 0, 0, 'I', 'I', 42, 0}, false), none},
        {jpegWith(1, 96, 96, exifResolution(300, 1, 2)), {1, 96, 96}}, // JFIF first
        {jpegWith(0, 1, 1, exifResolution(150, 1, 2)), {1, 150, 150}}, // JFIF ratio only
    };
    for (const auto& c : cases) {
        const BufferPtr b = readBytes(c.file, 1);
        ASSERT_TRUE(b);
        EXPECT_EQ(densityOf(*b), c.density) << &c - cases;
    }
}

// Damaged Exif blocks are never read outside: every shorter block loses
// the values (they sit at its end), and bytes changed anywhere are
// survived; copies on the heap let the address sanitizer see any read
// past the end.
TEST(LibraryRead, DamagedExifBlocksAreNeverReadOutside) {
    const Bytes good = exifResolution(300, 1, 2);
    const Bytes tiff(good.begin() + 6, good.end());
    double x = 0;
    double y = 0;
    ASSERT_TRUE(TalvoImage::detail::exifResolutionInch(tiff.data(), tiff.size(), x, y));
    EXPECT_EQ(x, 300.0);
    for (std::size_t n = 0; n < tiff.size(); ++n) {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[n + 1]);
        std::copy_n(tiff.begin(), n, copy.get());
        EXPECT_FALSE(TalvoImage::detail::exifResolutionInch(copy.get(), n, x, y)) << n;
    }
    Rng rng(3);
    for (int round = 0; round < 1000; ++round) {
        Bytes bad = tiff;
        bad[static_cast<std::size_t>(rng.range(0, static_cast<int>(bad.size()) - 1))] = rng.byte();
        TalvoImage::detail::exifResolutionInch(bad.data(), bad.size(), x, y);
    }
}

// The suite's CMYK files carry an Adobe marker, which means inverted inks
// (0 is full ink); without the marker the inks are read as stored; with
// the marker's transform 2 the data is YCCK. Each pixel is the colour that
// the inks libjpeg decodes leave of the light.
TEST(LibraryRead, CmykFollowsTheAdobeMarker) {
    VORN_REQUIRE_TESTDATA();
    const Bytes adobe = suiteFile("jpeg/baseline/32x32x8_cmyk.jpg");
    Bytes plain = adobe;
    plain.erase(plain.begin() + 2, plain.begin() + 18); // the Adobe segment
    Bytes ycck = adobe;
    ycck[17] = 2;
    const std::pair<const char*, Bytes> files[] = {
        {"Adobe", adobe},
        {"progressive", suiteFile("jpeg/progressive_arithmetic/32x32x8_cmyk_interleaved.jpg")},
        {"no marker", plain},
        {"YCCK", ycck}};
    for (const auto& [what, file] : files) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), file.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_CMYK;
        jpeg_start_decompress(&cinfo);
        std::vector<_VORNRGBAQUAD> expected;
        Bytes row(32 * 4);
        for (JSAMPROW r = row.data(); cinfo.output_scanline < 32;) {
            jpeg_read_scanlines(&cinfo, &r, 1);
            for (std::size_t i = 0; i < row.size(); i += 4) {
                auto left = [&](int k) {
                    const int c = cinfo.saw_Adobe_marker ? row[i + k] : 255 - row[i + k];
                    const int black = cinfo.saw_Adobe_marker ? row[i + 3] : 255 - row[i + 3];
                    return static_cast<unsigned>(std::lround(c * black / 255.0));
                };
                expected.push_back(rgba(left(0), left(1), left(2)));
            }
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        const BufferPtr b = readBytes(file, 1);
        ASSERT_TRUE(b) << what;
        EXPECT_EQ(std::vector<_VORNRGBAQUAD>(b->getPixels(), b->getPixels() + 32 * 32), expected)
            << what;
    }
}

/// An 8 x 8 grey progressive file of `scans` scans (65 to 128): DC in two
/// steps, each AC coefficient in a scan of its own, the first scans - 65 of
/// them in two steps. (No suite file has more than 64 scans.)
Bytes progressiveGrey(int scans) {
    std::vector<jpeg_scan_info> script = {{1, {0}, 0, 0, 0, 1}, {1, {0}, 0, 0, 1, 0}};
    for (int k = 1; k <= 63; ++k) {
        script.push_back({1, {0}, k, k, 0, k <= scans - 65 ? 1 : 0});
        if (k <= scans - 65) {
            script.push_back({1, {0}, k, k, 1, 0});
        }
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = cinfo.image_height = 8;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    cinfo.scan_info = script.data();
    cinfo.num_scans = static_cast<int>(script.size());
    jpeg_start_compress(&cinfo, TRUE);
    Bytes grey(8, 77);
    for (JSAMPROW row = grey.data(); cinfo.next_scanline < 8;) {
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const Bytes file(out, out + size);
    std::free(out);
    return file;
}

// At most 100 scans, and refinements in order: a suite file that repeats
// its last scan (which progresses no further) is refused.
TEST(LibraryRead, ScansAreLimitedAndMustProgress) {
    VORN_REQUIRE_TESTDATA();
    const BufferPtr hundred = readBytes(progressiveGrey(100), 1);
    ASSERT_TRUE(hundred);
    EXPECT_NEAR(at(*hundred, 0, 0).red, 77, 1);
    EXPECT_EQ(statusOf(progressiveGrey(101)), Status::Corrupt);
    const Bytes good = suiteFile("jpeg/progressive_huffman/32x32x8_grayscale_successive.jpg");
    const unsigned char sos[2] = {0xFF, 0xDA};
    const auto last = std::find_end(good.begin(), good.end(), sos, sos + 2);
    Bytes repeated(good.begin(), good.end() - 2);
    repeated.insert(repeated.end(), last, good.end());
    EXPECT_EQ(statusOf(good), Status::Ok);
    EXPECT_EQ(statusOf(repeated), Status::Corrupt);
}

// The suite's 100 x 100 GIF, one frame over the whole screen, altered: its
// first frame is composed onto the screen, the background colour at alpha
// 0 (transparent black when the background index lies beyond the map)
// where the frame does not reach; only what shows is decoded.
TEST(LibraryRead, GifFramesAreComposedOntoTheScreen) {
    VORN_REQUIRE_TESTDATA();
    const Bytes good = suiteFile("gif/gifs/static_nontransparent.gif");
    const std::size_t frame = 117; // the image descriptor, after the map and an extension
    ASSERT_EQ(good[frame], 0x2C);
    const BufferPtr original = readBytes(good, 1);
    ASSERT_TRUE(original);
    auto patched = [](Bytes f, std::size_t at, std::initializer_list<int> values) {
        for (const int v : values) {
            f[at++] = static_cast<unsigned char>(v);
        }
        return f;
    };
    // The frame at (60, 70) shows its top-left 40 x 30 pixels.
    const Bytes offset = patched(good, frame + 1, {60, 0, 70, 0});
    for (const auto& [file, background] : {std::pair{offset, rgba(good[13], good[14], good[15], 0)},
                                           {patched(offset, 11, {200}), rgba(0, 0, 0, 0)}}) {
        const BufferPtr b = readBytes(file, 1);
        ASSERT_TRUE(b);
        EXPECT_EQ(at(*b, 59, 99), background);
        EXPECT_EQ(at(*b, 99, 69), background);
        EXPECT_EQ(at(*b, 60, 70), at(*original, 0, 0));
        EXPECT_EQ(at(*b, 99, 99), at(*original, 39, 29));
    }
    // A smaller screen clips the frame; a frame of 10,000 rows stops at the
    // screen's last.
    const BufferPtr clipped = readBytes(patched(good, 6, {50, 0, 40, 0}), 1);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(clipped->getWidth(), 50);
    EXPECT_EQ(at(*clipped, 49, 39), at(*original, 49, 39));
    const BufferPtr tall = readBytes(patched(good, frame + 7, {10000 & 255, 10000 >> 8}), 1);
    ASSERT_TRUE(tall);
    EXPECT_EQ(words(*tall), words(*original));
    // Over a 1 x 2 screen, frames of up to 64 x 2 + 2^20 pixels are
    // decoded; larger ones are refused before their data is read.
    const Bytes tiny = patched(patched(good, 6, {1, 0, 2, 0}), frame + 5, {0, 4, 0, 4});
    EXPECT_EQ(statusOf(tiny), Status::Ok);
    EXPECT_EQ(statusOf(patched(tiny, frame + 5, {1})), Status::TooLarge);
    // Without the trailer the picture is whole; cut inside the data it is
    // refused.
    EXPECT_EQ(statusOf(Bytes(good.begin(), good.end() - 1)), Status::Ok);
    EXPECT_EQ(statusOf(Bytes(good.begin(), good.end() - 12)), Status::Corrupt);
}

// Baseline at quality 50: the frame, the standard's example tables
// unscaled, JFIF without density; read back close to the original, its
// alpha dropped.
TEST(LibraryWrite, BaselineAtQuality50ReadsBackCloseToTheOriginal) {
    BufferPtr original = makeBuffer(96, 64);
    for (int i = 0; i < 96 * 64; ++i) {
        const int x = i % 96;
        const int y = i / 96;
        original->getPixels()[i] =
            rgba(x * 255 / 95, y * 255 / 63, (x + y) * 255 / 158, i * 7 % 256);
    }
    const Bytes jpeg = encoded(*original, 1);
    auto segment = [&jpeg](unsigned char code, std::size_t n) {
        const std::size_t at = jpegSegment(jpeg, code);
        return at ? Bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(at),
                          jpeg.begin() + static_cast<std::ptrdiff_t>(at + n))
                  : Bytes{};
    };
    // Precision 8, 64 rows, 96 columns, luma sampled 2 x 2, chroma 1 x 1;
    // the luminance table starts 16, 11, 12 in zigzag order.
    EXPECT_EQ(segment(0xC0, 15), fromHex("08 0040 0060 03 012200 021101 031101"));
    EXPECT_EQ(segment(0xDB, 4), fromHex("00 10 0B 0C"));
    EXPECT_EQ(segment(0xE0, 14), fromHex("4A46494600 0101 00 0001 0001 0000"));
    const BufferPtr back = readBytes(jpeg, 1);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->getWidth(), 96);
    ASSERT_EQ(back->getHeight(), 64);
    double total = 0;
    for (int i = 0; i < 96 * 64; ++i) {
        const _VORNRGBAQUAD a = original->getPixels()[i];
        const _VORNRGBAQUAD b = back->getPixels()[i];
        ASSERT_EQ(b.alpha, 255);
        total += std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
    }
    EXPECT_LT(total / (96 * 64 * 3), 2.5);
}

// Detection and routing to the library by content or code, and writing
// by extension or code.
TEST(LibraryThroughDispatch, ReadAndWriteJpegAndGif) {
    VORN_REQUIRE_TESTDATA();
    ScratchDir dir;
    const Bytes jfif = suiteFile("jpeg/baseline/32x32x8_ycbcr.jpg");
    const Bytes exifFirst = jpegWith(0, 1, 1, exifResolution(72, 1, 2), false);
    const Bytes gif = suiteFile("gif/gifs/static_transparent.gif");
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
        EXPECT_EQ(fingerprint(viaRead.get()), fingerprint(direct.get()));
    }
    // Written as JPEG by extension or by code 1.
    const BufferPtr b = makeFilled(33, 17, rgba(250, 20, 10));
    for (const auto& [name, code] : {std::pair{"w.JPG", 0}, {"w.png", 1}}) {
        const std::string path = dir.file(name, Bytes{'o', 'l', 'd'});
        ASSERT_EQ(b->write(path.c_str(), code), 0);
        const BufferPtr back(VornBuffer::Read(path.c_str(), 1));
        ASSERT_TRUE(back);
        EXPECT_EQ(VornBuffer::GetFormat(path.c_str()), 1);
        EXPECT_NEAR(at(*back, 16, 8).red, 250, 3);
    }
}

} // namespace
