// SPDX-License-Identifier: MIT
// The image library allocates nothing large for a file that claims a huge
// image it cannot hold, and stays in proportion to its files otherwise.

#include "imagelib/talvo_image.h"
#include "imagelib_files.h"
#include "peak_allocation.h"

namespace {

// A JPEG whose frame header claims width x height over 16 x 16 grey pixels
// of data, in the given coding.
Bytes jpegClaiming(int width, int height, bool progressive, bool arithmetic) {
    JpegOptions o;
    o.progressive = progressive;
    o.arithmetic = arithmetic;
    Bytes file = encodeJpeg(16, 16, 1, Bytes(256, 128), o);
    for (std::size_t i = 2; i + 8 < file.size(); ++i) {
        // A start-of-frame marker: 0xC0 to 0xCF but for 0xC4 and 0xCC.
        if (file[i] == 0xFF && (file[i + 1] & 0xF0) == 0xC0 && file[i + 1] != 0xC4 &&
            file[i + 1] != 0xCC) {
            const int sides[4] = {height >> 8, height, width >> 8, width};
            std::copy(sides, sides + 4, file.begin() + static_cast<std::ptrdiff_t>(i + 5));
            return file;
        }
    }
    ADD_FAILURE() << "no frame header";
    return file;
}

Bytes gifScreen(int width, int height) {
    return encodeGif(
        gifPicture(width, height, {Rgb{200, 100, 50}, Rgb{1, 2, 3}}, {gifFrame(0, 0, 1, 1, {1})}));
}

TEST_F(PeakAllocation, HugeClaimsInSmallFilesAllocateNothingLarge) {
    ScratchDir dir;
    const Bytes cases[] = {gifScreen(65535, 65535),
                           gifScreen(5000, 5000),
                           jpegClaiming(65500, 65500, false, false),
                           jpegClaiming(20000, 20000, false, false),
                           jpegClaiming(20000, 20000, true, false),
                           jpegClaiming(20000, 20000, false, true)};
    for (const Bytes& c : cases) {
        SCOPED_TRACE(&c - cases);
        ASSERT_LT(c.size(), 1000u);
        bool gotBuffer = true;
        EXPECT_LT(peakOfRead(dir.file("claim.img", c), gotBuffer), kFixedAllowance);
        EXPECT_FALSE(gotBuffer);
    }
    // A 300 MB file that is no image (sparse, so it costs no space) is
    // refused by its first bytes, by the bridge and by the library itself,
    // before it is read whole.
    const std::string big = dir.file("big.dat", Bytes{'n', 'o', 't'});
    std::filesystem::resize_file(big, 300u << 20);
    bool gotBuffer = true;
    EXPECT_LT(peakOfRead(big, gotBuffer), kFixedAllowance);
    EXPECT_FALSE(gotBuffer);
    startAllocationWatch();
    EXPECT_THROW(TalvoImage::TalvoMainImage image(big.c_str()), std::system_error);
    EXPECT_LT(stopAllocationWatch(), kFixedAllowance);

    // 4096 x 4096 pixels are allowed whatever the file's size, and the
    // watch sees their block. The rest of the screen is the background
    // colour, transparent.
    startAllocationWatch();
    const BufferPtr b(VornBuffer::Read(dir.file("screen.gif", gifScreen(4096, 4096)).c_str()));
    EXPECT_GE(stopAllocationWatch(), 4096u * 4096u * 4u);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->getWidth(), 4096);
    EXPECT_EQ(at(*b, 0, 0), rgba(1, 2, 3));
    EXPECT_EQ(at(*b, 1, 0), rgba(200, 100, 50, 0));
    EXPECT_EQ(at(*b, 4095, 4095), rgba(200, 100, 50, 0));
}

TEST_F(PeakAllocation, SuiteFilesStayInProportionToTheirPixels) {
    VORN_REQUIRE_TESTDATA();
    int files = 0;
    for (const char* folder : {"gif/gifs", "jpeg/baseline", "jpeg/extended_huffman",
                               "jpeg/extended_arithmetic", "jpeg/progressive_huffman",
                               "jpeg/progressive_arithmetic", "jpeg/lossless_huffman", "jpeg/ls"}) {
        for (const auto& e : std::filesystem::directory_iterator(testdataDir() + "/" + folder)) {
            const std::string ext = e.path().extension().string();
            if (ext == ".gif" || ext == ".jpg") {
                bool gotBuffer = false;
                // The suites' images are at most 256 x 256 pixels.
                EXPECT_LE(peakOfRead(e.path().string(), gotBuffer),
                          256u * 256u * 8u + kFixedAllowance)
                    << e.path();
                ++files;
            }
        }
    }
    EXPECT_GT(files, 250);
}

} // namespace
