// The image library allocates nothing large for a file that claims a huge
// image it cannot hold, and stays in proportion to its files otherwise.

#include "imagelib_files.h"
#include "io/io.h"
#include "peak_allocation.h"

#include <filesystem>

namespace {

/// Room for what every read allocates whatever the file: libjpeg's and
/// giflib's structures and the file's bytes.
constexpr std::size_t kFixedAllowance = 512 * 1024;

std::size_t peakOfRead(const TempFile& file, bool& gotBuffer) {
    startAllocationWatch();
    VornBuffer* b = VornBuffer::Read(file.path().c_str());
    const std::size_t peak = stopAllocationWatch();
    gotBuffer = b != nullptr;
    VornBuffer::Destroy(b);
    return peak;
}

class LibraryAllocation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!peakAllocationSupported()) {
            GTEST_SKIP() << "allocations cannot be watched in this build";
        }
    }
};

// A JPEG whose frame header claims width x height over 16 x 16 grey pixels
// of data, in the given coding.
Bytes jpegClaiming(int width, int height, bool progressive, bool arithmetic) {
    JpegOptions o;
    o.progressive = progressive;
    o.arithmetic = arithmetic;
    Bytes file = encodeJpeg(16, 16, 1, Bytes(256, 128), o);
    for (std::size_t i = 2; i + 8 < file.size(); ++i) {
        if (file[i] == 0xFF && (file[i + 1] & 0xF0) == 0xC0 && file[i + 1] != 0xC4 &&
            file[i + 1] != 0xCC) {
            file[i + 5] = static_cast<unsigned char>(height >> 8);
            file[i + 6] = static_cast<unsigned char>(height);
            file[i + 7] = static_cast<unsigned char>(width >> 8);
            file[i + 8] = static_cast<unsigned char>(width);
            return file;
        }
    }
    ADD_FAILURE() << "no frame header";
    return file;
}

Bytes gifScreen(int width, int height) {
    GifSpec spec;
    spec.screenWidth = width;
    spec.screenHeight = height;
    spec.globalMap = {Rgb{200, 100, 50}, Rgb{1, 2, 3}};
    spec.frames.push_back(GifFrame{});
    spec.frames[0].pixels = {1};
    return encodeGif(spec);
}

TEST_F(LibraryAllocation, TheWatchSeesThePixelBlock) {
    TempFile file("real.jpg", encodeJpeg(300, 200, 3, smoothRgb(300, 200)));
    bool gotBuffer = false;
    EXPECT_GE(peakOfRead(file, gotBuffer), 300u * 200u * 4u);
    EXPECT_TRUE(gotBuffer);
}

TEST_F(LibraryAllocation, HugeClaimsInSmallFilesAllocateNothingLarge) {
    struct Case {
        const char* name;
        Bytes content;
    } cases[] = {
        {"65535 x 65535 GIF screen", gifScreen(65535, 65535)},
        {"5000 x 5000 GIF screen", gifScreen(5000, 5000)},
        {"65500 x 65500 baseline JPEG", jpegClaiming(65500, 65500, false, false)},
        {"20000 x 20000 baseline JPEG", jpegClaiming(20000, 20000, false, false)},
        {"20000 x 20000 progressive JPEG", jpegClaiming(20000, 20000, true, false)},
        {"20000 x 20000 arithmetic JPEG", jpegClaiming(20000, 20000, false, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(c.content.size(), 1000u);
        TempFile file("claim.img", c.content);
        bool gotBuffer = true;
        EXPECT_LT(peakOfRead(file, gotBuffer), kFixedAllowance);
        EXPECT_FALSE(gotBuffer);
    }
}

TEST_F(LibraryAllocation, LargeScreensWithinTheAllowanceAreRead) {
    // 4096 x 4096 pixels are allowed whatever the file's size.
    TempFile file("screen.gif", gifScreen(4096, 4096));
    startAllocationWatch();
    const BufferPtr b(VornBuffer::Read(file.path().c_str()));
    EXPECT_GE(stopAllocationWatch(), 4096u * 4096u * 4u);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->getWidth(), 4096);
    EXPECT_EQ(at(*b, 0, 0), rgba(1, 2, 3));
    // The rest of the screen is the background colour, transparent.
    EXPECT_EQ(at(*b, 1, 0), rgba(200, 100, 50, 0));
    EXPECT_EQ(at(*b, 4095, 4095), rgba(200, 100, 50, 0));
}

TEST_F(LibraryAllocation, SuiteFilesStayInProportionToTheirPixels) {
    VORN_REQUIRE_TESTDATA();
    int files = 0;
    for (const char* folder : {"gif/gifs", "jpeg/baseline", "jpeg/extended_huffman",
                               "jpeg/extended_arithmetic", "jpeg/progressive_huffman",
                               "jpeg/progressive_arithmetic", "jpeg/lossless_huffman", "jpeg/ls"}) {
        for (const auto& e : std::filesystem::directory_iterator(testdataDir() + "/" + folder)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".gif" && ext != ".jpg") {
                continue;
            }
            SCOPED_TRACE(e.path().string());
            TempFile file("suite" + ext, readFileBytes(e.path().string()));
            bool gotBuffer = false;
            const std::size_t peak = peakOfRead(file, gotBuffer);
            // The suites' images are at most 256 x 256 pixels.
            EXPECT_LE(peak, 256u * 256u * 8u + kFixedAllowance);
            ++files;
        }
    }
    EXPECT_GT(files, 250);
}

} // namespace
