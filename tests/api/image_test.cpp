// SPDX-License-Identifier: MIT
// vorn::Image where the program outside the tree (tests/install) cannot
// look: the BMP Suite's good files against their references, densities in
// every unit the buffer stores, and the failure record of VornBuffer's file
// operations left alone.

#include "../io/io_test.h"

#include <vorn/vorn.hpp>

namespace {

TEST(ImageRead, BmpSuiteGoodFilesEqualTheReference) {
    VORN_REQUIRE_TESTDATA();
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(testdataDir() + "/bmpsuite/g")) {
        // The independent decoder misreads 4-bit run-length files: the
        // uncompressed file of the same picture is the reference.
        std::string stem = e.path().stem().string();
        stem = stem == "pal4rle" ? "pal4" : stem;
        SCOPED_TRACE(stem);
        const vorn::Image image = vorn::Image::read(e.path());
        EXPECT_EQ(firstDifference(*image.get(), "bmpsuite/g/" + stem), "");
        ++files;
    }
    EXPECT_EQ(files, 23);
}

// Dots per inch from each unit; pixels per metre that a whole number of
// dots per inch gives, truncated or rounded, report that number.
TEST(ImageDpi, EveryUnitGivesDotsPerInch) {
    const struct {
        int unit;
        int value;
        double dpi;
    } cases[] = {
        {0, 11811, 300.0},          // 300 dpi written by the PNG and BMP writers
        {0, 3780, 96.0},            // the default, 96 dpi rounded
        {0, 2834, 72.0},            // 72 dpi truncated
        {0, 11812, 11812 * 0.0254}, // no whole number near
        {0, 0, 0.0},
        {1, 300, 300.0},
        {2, 118, 118 * 2.54},
        {7, 5, 5.0}, // an unknown unit, as getPixelsPerInchX takes it
    };
    for (const auto& c : cases) {
        vorn::Image image(1, 1);
        image.get()->setDensity(c.unit, c.value, 1);
        EXPECT_DOUBLE_EQ(image.dpiX(), c.dpi) << c.unit << " " << c.value;
    }
    vorn::Image image(1, 1);
    image.setDpi(72.5, 300);
    EXPECT_EQ(image.get()->getPixelsPerMetreX(), 2854); // 72.5 / 0.0254 = 2854.3
    // One unit for both: 300 dpi is kept as 11811 per metre, which the
    // buffer's integer accessor truncates and dpiY() does not.
    EXPECT_EQ(image.get()->getPixelsPerInchY(), 299);
    EXPECT_EQ(image.dpiY(), 300.0);
    EXPECT_THROW(image.setDpi(-1, 1), vorn::Error);
    image.setDpi(2147483646.5, 1); // per metre beyond the int range: limited
    EXPECT_EQ(image.get()->getPixelsPerMetreX(), 2147483647);
}

TEST(ImageErrors, LeaveTheLastFailureAlone) {
    EXPECT_EQ(VornBuffer::Read("no-such-file.png"), nullptr);
    const std::string before = vorn::lastFailure().message;
    try {
        vorn::Image::read("other-missing.bmp");
        FAIL() << "no exception";
    } catch (const vorn::Error& e) {
        EXPECT_EQ(e.status(), vorn::Status::NotFound);
        EXPECT_STREQ(e.what(), "not found: other-missing.bmp");
    }
    EXPECT_EQ(vorn::lastFailure().message, before);
}

} // namespace
