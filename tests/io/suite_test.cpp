// SPDX-License-Identifier: MIT
// The readers on the third-party suites, from files and from memory alike:
// every valid PngSuite file equals the independent decoder's pixels and
// every corrupt one fails; the BMP
// Suite's good files within the reader's formats equal theirs, the others
// fail (the C++ interface reads them all: tests/api); questionable and bad
// files give a buffer or null, never a crash, through the plain and the
// extended readers.

#include "io/io.h"
#include "io_test.h"

#include <map>
#include <set>

namespace {

std::vector<std::string> filesIn(const std::string& folder, const std::string& extension) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(testdataDir() + "/" + folder)) {
        if (e.path().extension() == extension) {
            out.push_back(e.path().filename().string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

/// The suite file as Read gives it, checked against readMemory and written
/// both ways in its own format.
BufferPtr readSuiteFile(const std::string& folder, const std::string& name) {
    return readBothWays(testdataDir() + "/" + folder + "/" + name, folder == "pngsuite" ? 2 : 3);
}

/// The suite file as the C++ interface reads it (vorn::Image::read and
/// decode: the extended readers), from the file and from memory alike; null
/// when they refuse it.
BufferPtr readExtended(const std::string& folder, const std::string& name) {
    const std::string path = testdataDir() + "/" + folder + "/" + name;
    vorn::detail::ReadOptions extended;
    extended.extended = true;
    BufferPtr fromFile(vorn::detail::readImageFile(path, 0, extended));
    const Bytes bytes = readFileBytes(path);
    vorn::detail::MemorySource source(bytes.data(), bytes.size());
    BufferPtr fromMemory(vorn::detail::readImage(source, 0, nullptr, extended));
    EXPECT_EQ(fingerprint(fromFile.get()), fingerprint(fromMemory.get()));
    return fromFile;
}

/// The reference of a suite file; some files are compared with the
/// suite's uncompressed file of the same picture (the independent decoder
/// misreads the absolute runs of 4-bit run-length files and refused the
/// oversized palette).
std::string referenceOf(const std::string& folder, const std::string& name) {
    static const std::map<std::string, std::string> samePictureAs = {
        {"pal4rle.bmp", "g/pal4"},
        {"pal4rletrns.bmp", "g/pal4"},
        {"pal8rletrns.bmp", "g/pal8"},
        {"pal8oversizepal.bmp", "g/pal8"}};
    const auto same = samePictureAs.find(name);
    return same != samePictureAs.end() ? "bmpsuite/" + same->second
                                       : folder + "/" + name.substr(0, name.rfind('.'));
}

TEST(PngSuite, ValidFilesEqualTheReferenceAndCorruptOnesGiveNull) {
    VORN_REQUIRE_TESTDATA();
#if !defined(VORN_HAVE_PNG)
    GTEST_SKIP() << "built without PNG support";
#endif
    // 16-bit files with a tRNS key have no reference. Their pixels, worked
    // out from libpng's untransformed samples (the key compared at 16 bits,
    // then each sample's high byte), are kept as a checksum of the bytes
    // (FNV-1a); 453 pixels of each are keyed.
    const std::map<std::string, std::uint32_t> checksums = {
        {"tbbn2c16.png", 0xEFF683C0}, {"tbgn2c16.png", 0xEFF683C0}, {"tbwn0g16.png", 0x36BE9DBE}};
    int compared = 0;
    int corrupt = 0;
    for (const std::string& name : filesIn("pngsuite", ".png")) {
        SCOPED_TRACE(name);
        BufferPtr b = readSuiteFile("pngsuite", name);
        if (name[0] == 'x') {
            EXPECT_EQ(b, nullptr);
            ++corrupt;
            continue;
        }
        ASSERT_NE(b, nullptr);
        if (checksums.count(name)) {
            const auto* p = reinterpret_cast<const unsigned char*>(b->getPixels());
            std::uint32_t sum = 2166136261u;
            int keyed = 0;
            for (int i = 0; i < 4 * b->getWidth() * b->getHeight(); ++i) {
                sum = (sum ^ p[i]) * 16777619u;
                keyed += i % 4 == 3 && p[i] == 0;
            }
            EXPECT_EQ(sum, checksums.at(name));
            EXPECT_EQ(keyed, 453);
        } else {
            EXPECT_EQ(firstDifference(*b, referenceOf("pngsuite", name)), "");
            ++compared;
        }
    }
    EXPECT_EQ(compared, 158);
    EXPECT_EQ(corrupt, 14);
}

TEST(BmpSuite, GoodFilesWithinTheFormatsEqualTheReference) {
    VORN_REQUIRE_TESTDATA();
    // Top-down rows, the 108- and 124-byte headers, 16 bits per pixel and
    // bit-field masks are not read.
    const std::set<std::string> notCovered = {"pal8topdown.bmp", "pal8v4.bmp",       "pal8v5.bmp",
                                              "rgb16-565.bmp",   "rgb16-565pal.bmp", "rgb16.bmp",
                                              "rgb32bf.bmp"};
    int compared = 0;
    for (const std::string& name : filesIn("bmpsuite/g", ".bmp")) {
        SCOPED_TRACE(name);
        BufferPtr b = readSuiteFile("bmpsuite/g", name);
        if (notCovered.count(name)) {
            EXPECT_EQ(b, nullptr);
            continue;
        }
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(firstDifference(*b, referenceOf("bmpsuite/g", name)), "");
        ++compared;
    }
    EXPECT_EQ(compared, 16);
}

// Questionable and bad files: those the reader accepts (true) give the
// reference's pixels where there is one; the others give null. The
// questionable run-length files leave exactly the 416 pixels their streams
// skip transparent black. The extended reader also accepts the files named
// in `extendedOnly`.
TEST(BmpSuite, QuestionableAndBadFilesGiveTheirPixelsOrNull) {
    VORN_REQUIRE_TESTDATA();
    const std::set<std::string> extendedOnly = {
        "q/rgb16-231.bmp",    "q/rgb24lprof.bmp", "q/rgb24prof.bmp",   "q/rgb32-111110.bmp",
        "q/rgb32bf-xbgr.bmp", "q/rgb32h52.bmp",   "q/rgba16-4444.bmp", "q/rgba32.bmp",
        "q/rgba32abf.bmp",    "q/rgba32h56.bmp"};
    // The others are refused by both readers.
    const std::set<std::string> accepted = {
        "q/pal1p1.bmp",          "q/pal4rletrns.bmp", "q/pal8offs.bmp",      "q/pal8os2v2.bmp",
        "q/pal8oversizepal.bmp", "q/pal8rletrns.bmp", "q/rgb24largepal.bmp", "q/rgb32fakealpha.bmp",
        "b/badbitssize.bmp",     "b/baddens1.bmp",    "b/baddens2.bmp",      "b/badfilesize.bmp",
        "b/badrle.bmp",          "b/pal8badindex.bmp"};
    std::size_t files = 0;
    for (const char* folder : {"q", "b"}) {
        for (const std::string& name : filesIn(std::string("bmpsuite/") + folder, ".bmp")) {
            const std::string key = folder + ("/" + name);
            SCOPED_TRACE(key);
            BufferPtr b = readSuiteFile(std::string("bmpsuite/") + folder, name);
            ASSERT_EQ(b != nullptr, accepted.count(key) == 1);
            const BufferPtr extended = readExtended(std::string("bmpsuite/") + folder, name);
            ASSERT_EQ(extended != nullptr, accepted.count(key) + extendedOnly.count(key) == 1);
            if (b) {
                EXPECT_EQ(words(*b), words(*extended));
            } else if (extended && *folder == 'q' &&
                       std::filesystem::exists(testdataDir() + "/reference/bmpsuite/q/" +
                                               name.substr(0, name.size() - 4) + ".pam")) {
                EXPECT_EQ(firstDifference(*extended, referenceOf("bmpsuite/q", name)), "");
            }
            ++files;
            if (!b || *folder == 'b') {
                continue;
            }
            const bool holes = name.find("rle") != std::string::npos;
            EXPECT_EQ(firstDifference(*b, referenceOf("bmpsuite/q", name), holes), "");
            if (holes) {
                EXPECT_EQ(changedPixels(*b).size(), 127u * 64u - 416u);
            }
        }
    }
    EXPECT_EQ(files, 37u);
}

} // namespace
