// No reader allocates more than its file can justify: a file that claims a
// huge image is refused before the pixels are allocated, and no file of the
// suites makes an allocation out of proportion to its length.

#include "io/io.h"
#include "io_test.h"
#include "peak_allocation.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

/// Generous room for what every read allocates whatever the file: stdio's
/// buffer, libpng's structures and zlib's window.
constexpr std::size_t kFixedAllowance = 512 * 1024;

std::size_t peakOfRead(const std::string& path, bool& gotBuffer) {
    startAllocationWatch();
    VornBuffer* b = VornBuffer::Read(path.c_str());
    const std::size_t peak = stopAllocationWatch();
    gotBuffer = b != nullptr;
    VornBuffer::Destroy(b);
    return peak;
}

class Allocation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!peakAllocationSupported()) {
            GTEST_SKIP() << "allocations cannot be watched in this build";
        }
    }
    ScratchDir dir;
};

TEST_F(Allocation, TheWatchSeesThePixelBlock) {
    BufferPtr b = makeBuffer(300, 200);
    const std::string path = dir.file("real.bmp");
    ASSERT_EQ(b->write(path.c_str()), 0);
    bool gotBuffer = false;
    EXPECT_GE(peakOfRead(path, gotBuffer), 300u * 200u * 4u);
    EXPECT_TRUE(gotBuffer);
}

TEST_F(Allocation, HugeClaimsInSmallFilesAllocateNothingLarge) {
    struct Case {
        const char* what;
        BmpFields fields;
    };
    std::vector<Case> cases;
    for (int bits : {1, 8, 24, 32}) {
        BmpFields f;
        f.bitCount = bits;
        f.width = 20000;
        f.height = 20000;
        f.data = Bytes(100 - 54, 0);
        cases.push_back({"uncompressed", f});
    }
    BmpFields rle;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.width = 20000;
    rle.height = 20000;
    rle.data = {0, 1};
    cases.push_back({"run-length", rle});
    BmpFields wide = rle;
    wide.width = 500000000;
    wide.height = 1;
    cases.push_back({"run-length, one row", wide});

    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.what << " " << c.fields.bitCount);
        const std::string path = dir.file("claim.bmp");
        writeFileBytes(path, makeBmp(c.fields));
        bool gotBuffer = true;
        EXPECT_LT(peakOfRead(path, gotBuffer), kFixedAllowance);
        EXPECT_FALSE(gotBuffer);
    }
}

TEST_F(Allocation, SuiteFilesStayInProportionToTheirLength) {
    VORN_REQUIRE_TESTDATA();
    int files = 0;
    for (const char* folder : {"bmpsuite/b", "bmpsuite/q", "bmpsuite/g", "pngsuite"}) {
        for (const auto& e : fs::directory_iterator(testdataDir() + "/" + folder)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".bmp" && ext != ".png") {
                continue;
            }
            SCOPED_TRACE(e.path().string());
            const std::size_t length = static_cast<std::size_t>(fs::file_size(e.path()));
            bool gotBuffer = false;
            const std::size_t peak = peakOfRead(e.path().string(), gotBuffer);
            // 4-byte pixels from 1-bit data: 32 bytes per byte of the file.
            EXPECT_LE(peak, 32 * length + kFixedAllowance);
            ++files;
        }
    }
    EXPECT_GT(files, 200);
}

} // namespace
