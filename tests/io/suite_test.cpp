// The readers on the third-party suites: every valid PngSuite file equals
// the independent decoder's pixels and every corrupt one fails; the BMP
// Suite's good files within the reader's formats equal theirs, the others
// fail; questionable and bad files give a buffer or null, never a crash.

#include "io_test.h"

#include <filesystem>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> filesIn(const std::string& folder, const std::string& extension) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(testdataDir() + "/" + folder)) {
        if (e.path().extension() == extension) {
            out.push_back(e.path().filename().string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string stem(const std::string& name) {
    return name.substr(0, name.rfind('.'));
}

std::string referenceOf(const std::string& suite, const std::string& name) {
    return testdataDir() + "/reference/" + suite + "/" + stem(name) + ".pam";
}

BufferPtr readSuiteFile(const std::string& suite, const std::string& name) {
    return BufferPtr(VornBuffer::Read((testdataDir() + "/" + suite + "/" + name).c_str()));
}

// 16-bit files with tRNS have no reference; their pixels are checked by
// hand in png_test.cpp.
const std::set<std::string> kPngWithoutReference = {"tbbn2c16.png", "tbgn2c16.png", "tbwn0g16.png"};

TEST(PngSuite, EveryValidFileEqualsTheReferencePixels) {
    VORN_REQUIRE_TESTDATA();
#if !defined(VORN_HAVE_PNG)
    GTEST_SKIP() << "built without PNG support";
#endif
    int compared = 0;
    for (const std::string& name : filesIn("pngsuite", ".png")) {
        if (name[0] == 'x' || kPngWithoutReference.count(name)) {
            continue;
        }
        SCOPED_TRACE(name);
        const ReferenceImage ref = readPam(referenceOf("pngsuite", name));
        ASSERT_FALSE(ref.pixels.empty()) << "reference missing";
        BufferPtr b = readSuiteFile("pngsuite", name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(firstDifference(*b, ref), "");
        ++compared;
    }
    EXPECT_EQ(compared, 158);
}

TEST(PngSuite, EveryCorruptFileGivesNull) {
    VORN_REQUIRE_TESTDATA();
    int tried = 0;
    for (const std::string& name : filesIn("pngsuite", ".png")) {
        if (name[0] != 'x') {
            continue;
        }
        SCOPED_TRACE(name);
        EXPECT_EQ(readSuiteFile("pngsuite", name), nullptr);
        ++tried;
    }
    EXPECT_EQ(tried, 14);
}

// Good files outside what the reader covers: top-down rows, the 108- and
// 124-byte headers, 16 bits per pixel and bit-field masks.
const std::set<std::string> kGoodButNotCovered = {
    "pal8topdown.bmp",  "pal8v4.bmp", "pal8v5.bmp", "rgb16-565.bmp",
    "rgb16-565pal.bmp", "rgb16.bmp",  "rgb32bf.bmp"};

bool isRunLength(const std::string& name) {
    return name.find("rle") != std::string::npos;
}

// The independent decoder misreads the absolute runs of 4-bit run-length
// files, so those files are compared with the suite's uncompressed file of
// the same picture (likewise the oversized palette, which it refused).
const std::map<std::string, std::string> kSamePictureAs = {{"pal4rle.bmp", "g/pal4"},
                                                           {"pal4rletrns.bmp", "g/pal4"},
                                                           {"pal8rletrns.bmp", "g/pal8"},
                                                           {"pal8oversizepal.bmp", "g/pal8"}};

std::string bmpReference(const std::string& folder, const std::string& name) {
    const auto same = kSamePictureAs.find(name);
    if (same != kSamePictureAs.end()) {
        return testdataDir() + "/reference/bmpsuite/" + same->second + ".pam";
    }
    return referenceOf("bmpsuite/" + folder, name);
}

TEST(BmpSuite, GoodFilesWithinTheFormatsEqualTheReference) {
    VORN_REQUIRE_TESTDATA();
    int compared = 0;
    for (const std::string& name : filesIn("bmpsuite/g", ".bmp")) {
        SCOPED_TRACE(name);
        BufferPtr b = readSuiteFile("bmpsuite/g", name);
        if (kGoodButNotCovered.count(name)) {
            EXPECT_EQ(b, nullptr);
            continue;
        }
        ASSERT_NE(b, nullptr);
        const ReferenceImage ref = readPam(bmpReference("g", name));
        ASSERT_FALSE(ref.pixels.empty()) << "reference missing";
        EXPECT_EQ(firstDifference(*b, ref), "");
        ++compared;
    }
    EXPECT_EQ(compared, 16);
}

// Questionable files: those the reader accepts must show the reference's
// pixels; the others give null. The files with run-length "holes" leave
// exactly the 416 pixels their streams skip transparent black.
TEST(BmpSuite, QuestionableFilesGiveTheirPixelsOrNull) {
    VORN_REQUIRE_TESTDATA();
    const std::map<std::string, bool> accepted = {
        {"pal1p1.bmp", true},        {"pal2.bmp", false},           {"pal4rletrns.bmp", true},
        {"pal8offs.bmp", true},      {"pal8os2sp.bmp", false},      {"pal8os2v2-16.bmp", false},
        {"pal8os2v2.bmp", true},     {"pal8oversizepal.bmp", true}, {"pal8rletrns.bmp", true},
        {"rgb16-231.bmp", false},    {"rgb24jpeg.bmp", false},      {"rgb24largepal.bmp", true},
        {"rgb24lprof.bmp", false},   {"rgb24png.bmp", false},       {"rgb24prof.bmp", false},
        {"rgb32-111110.bmp", false}, {"rgb32bf-xbgr.bmp", false},   {"rgb32fakealpha.bmp", true},
        {"rgb32h52.bmp", false},     {"rgba16-4444.bmp", false},    {"rgba32.bmp", false},
        {"rgba32abf.bmp", false},    {"rgba32h56.bmp", false}};
    const std::vector<std::string> names = filesIn("bmpsuite/q", ".bmp");
    EXPECT_EQ(names.size(), accepted.size());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_EQ(accepted.count(name), 1u) << "file not in the table";
        BufferPtr b = readSuiteFile("bmpsuite/q", name);
        ASSERT_EQ(b != nullptr, accepted.at(name));
        if (!b) {
            continue;
        }
        const bool holes = isRunLength(name);
        EXPECT_EQ(firstDifference(*b, readPam(bmpReference("q", name)), holes), "");
        if (holes) {
            EXPECT_EQ(changedPixels(*b).size(), 127u * 64u - 416u);
        }
    }
}

// Bad files: null, or a buffer for damage the reader does not look at.
TEST(BmpSuite, BadFilesGiveNullOrABuffer) {
    VORN_REQUIRE_TESTDATA();
    const std::map<std::string, bool> accepted = {
        {"badbitcount.bmp", false},    {"badbitssize.bmp", true},  {"baddens1.bmp", true},
        {"baddens2.bmp", true},        {"badfilesize.bmp", true},  {"badheadersize.bmp", false},
        {"badpalettesize.bmp", false}, {"badplanes.bmp", false},   {"badrle.bmp", true},
        {"badwidth.bmp", false},       {"pal8badindex.bmp", true}, {"reallybig.bmp", false},
        {"rletopdown.bmp", false},     {"shortfile.bmp", false}};
    const std::vector<std::string> names = filesIn("bmpsuite/b", ".bmp");
    EXPECT_EQ(names.size(), accepted.size());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_EQ(accepted.count(name), 1u) << "file not in the table";
        BufferPtr b = readSuiteFile("bmpsuite/b", name);
        EXPECT_EQ(b != nullptr, accepted.at(name));
    }
}

} // namespace
