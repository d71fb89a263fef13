// Writing through a temporary name: a failed write leaves the old file as
// it was and no stray files; a good one replaces it, keeping its
// permission bits; links are written through, not replaced.

#include "io/io.h"
#include "io_test.h"

namespace {

namespace fs = std::filesystem;
using vorn::detail::writeReplacing;

// Writers that stand for a format writer.
int writeHello(const VornBuffer&, const wchar_t* path) {
    std::FILE* f = vorn::detail::openFile(path, L"wb");
    if (!f) {
        return -1;
    }
    const bool ok = vorn::detail::writeBytes(f, "hello", 5);
    return vorn::detail::closeFile(f) && ok ? 0 : -1;
}

int writeHalfThenFail(const VornBuffer&, const wchar_t* path) {
    std::FILE* f = vorn::detail::openFile(path, L"wb");
    if (!f) {
        return -1;
    }
    vorn::detail::writeBytes(f, "hal", 3);
    vorn::detail::closeFile(f);
    return -1;
}

class Replacing : public ::testing::Test {
protected:
    BufferPtr buffer = makeBuffer(1, 1);
    ScratchDir dir;
};

TEST_F(Replacing, NewFileAppearsWithNothingBeside) {
    const std::string path = dir.file("new.bin");
    EXPECT_EQ(writeReplacing(*buffer, wideOf(path).c_str(), writeHello), 0);
    EXPECT_EQ(readFileBytes(path), (Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"new.bin"});
}

TEST_F(Replacing, FailedWriteKeepsTheOldFileAndLeavesNoTrace) {
    const std::string path = dir.file("old.bin");
    writeFileBytes(path, Bytes{'o', 'l', 'd'});
    EXPECT_EQ(writeReplacing(*buffer, wideOf(path).c_str(), writeHalfThenFail), -1);
    EXPECT_EQ(readFileBytes(path), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.bin"});

    const std::string fresh = dir.file("fresh.bin");
    EXPECT_EQ(writeReplacing(*buffer, wideOf(fresh).c_str(), writeHalfThenFail), -1);
    EXPECT_FALSE(fileExists(fresh));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.bin"});
}

TEST_F(Replacing, GoodWriteReplacesTheFileAndKeepsItsPermissions) {
    const std::string path = dir.file("kept.bin");
    writeFileBytes(path, Bytes{'o', 'l', 'd', '!', '!', '!', '!'});
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(writeReplacing(*buffer, wideOf(path).c_str(), writeHello), 0);
    EXPECT_EQ(readFileBytes(path), (Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.bin"});
}

TEST_F(Replacing, LinkIsWrittenThroughAndStaysALink) {
    const std::string target = dir.file("target.bin");
    const std::string link = dir.file("link.bin");
    writeFileBytes(target, Bytes{'o', 'l', 'd'});
    std::error_code error;
    fs::create_symlink(target, link, error);
    if (error) {
        GTEST_SKIP() << "cannot make links here";
    }
    EXPECT_EQ(writeReplacing(*buffer, wideOf(link).c_str(), writeHello), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFileBytes(target), (Bytes{'h', 'e', 'l', 'l', 'o'}));
}

TEST_F(Replacing, MissingFolderGivesMinusOneAndCreatesNothing) {
    const std::string path = dir.file("missing/x.bin");
    EXPECT_EQ(writeReplacing(*buffer, wideOf(path).c_str(), writeHello), -1);
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Replacing, PublicWriteOfAFullDiskFails) {
    if (!fileExists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    // A link is written through where it is (never renamed over), and the
    // failure of the device behind it shows in the result. The link lives in
    // the test's own folder, so the device itself is never at stake.
    const std::string link = dir.file("full.png");
    fs::create_symlink("/dev/full", link);
    BufferPtr b = makeBuffer(64, 64);
    EXPECT_EQ(b->write(link.c_str(), 3), -1);
    EXPECT_EQ(b->write(link.c_str(), 2), -1);
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(Replacing, FileLengthIsTheByteCount) {
    const std::string path = dir.file("len.bin");
    writeFileBytes(path, Bytes(1234, 7));
    std::FILE* f = vorn::detail::openFile(wideOf(path).c_str(), L"rb");
    ASSERT_NE(f, nullptr);
    unsigned char first[10];
    ASSERT_EQ(std::fread(first, 1, 10, f), 10u);
    EXPECT_EQ(vorn::detail::fileLength(f), 1234);
    EXPECT_EQ(std::ftell(f), 10); // the position is kept
    std::fclose(f);
}

} // namespace
