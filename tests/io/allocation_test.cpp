// SPDX-License-Identifier: MIT
// No reader allocates more than its file can justify: a file that claims a
// huge image is refused before the pixels are allocated, and no file of the
// suites makes an allocation out of proportion to its length.

#include "io_test.h"
#include "peak_allocation.h"

namespace {

namespace fs = std::filesystem;

TEST_F(PeakAllocation, HugeClaimsInSmallFilesAllocateNothingLarge) {
    ScratchDir dir;
    BufferPtr real = makeBuffer(300, 200);
    ASSERT_EQ(real->write(dir.file("real.bmp").c_str()), 0);
    bool gotBuffer = false;
    EXPECT_GE(peakOfRead(dir.file("real.bmp"), gotBuffer), 300u * 200u * 4u); // the watch sees
    EXPECT_TRUE(gotBuffer);

    const struct {
        int bits, compression, width, height;
    } cases[] = {{1, 0, 20000, 20000},  {8, 0, 20000, 20000}, {24, 0, 20000, 20000},
                 {32, 0, 20000, 20000}, {8, 1, 20000, 20000}, {8, 1, 500000000, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bits << " " << c.compression << " " << c.width);
        BmpFields f;
        f.bitCount = c.bits;
        f.compression = static_cast<std::uint32_t>(c.compression);
        f.width = c.width;
        f.height = c.height;
        f.data = c.compression ? Bytes{0, 1} : Bytes(100 - 54, 0);
        EXPECT_LT(peakOfRead(dir.file("claim.bmp", makeBmp(f)), gotBuffer), kFixedAllowance);
        EXPECT_FALSE(gotBuffer);
    }
#if defined(VORN_HAVE_PNG)
    // PNG: a size Build refuses, and sizes a file of a few dozen bytes
    // cannot hold even at deflate's best.
    const struct {
        std::uint32_t width, height;
        int depth, colourType;
    } pngCases[] = {
        {30000, 30000, 8, 6}, {536870912, 1, 8, 6}, {20000, 20000, 1, 0}, {400000, 1, 8, 6}};
    for (const auto& c : pngCases) {
        const Bytes png =
            pngFile(c.width, c.height, c.depth, c.colourType, {{"IDAT", {0x78, 0x9C, 0x63, 0, 0}}});
        EXPECT_LT(peakOfRead(dir.file("claim.png", png), gotBuffer), kFixedAllowance) << c.width;
        EXPECT_FALSE(gotBuffer);
    }
#endif
}

TEST_F(PeakAllocation, SuiteFilesStayInProportionToTheirLength) {
    VORN_REQUIRE_TESTDATA();
    int files = 0;
    for (const char* folder : {"bmpsuite/b", "bmpsuite/q", "bmpsuite/g", "pngsuite"}) {
        for (const auto& e : fs::directory_iterator(testdataDir() + "/" + folder)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".bmp" && ext != ".png") {
                continue;
            }
            bool gotBuffer = false;
            // 4-byte pixels from 1-bit data: 32 bytes per byte of the file.
            EXPECT_LE(peakOfRead(e.path().string(), gotBuffer),
                      32 * fs::file_size(e.path()) + kFixedAllowance)
                << e.path();
            ++files;
        }
    }
    EXPECT_GT(files, 200);
}

} // namespace
