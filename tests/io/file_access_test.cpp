// SPDX-License-Identifier: MIT
// Writing through a temporary name: a failed write leaves the old file as
// it was and no stray files; a good one replaces it, keeping its
// permission bits; links are written through, not replaced.

#include "io/io.h"
#include "io_test.h"

namespace {

namespace fs = std::filesystem;
using vorn::detail::writeReplacing;

// Writers that stand for a format writer: one writes "hello", the other
// writes part of a file and fails.
int writeHello(const VornBuffer&, const wchar_t* path) {
    std::FILE* f = vorn::detail::openFile(path, L"wb");
    if (!f) {
        return -1;
    }
    const bool ok = vorn::detail::writeBytes(f, "hello", 5);
    return vorn::detail::closeFile(f) && ok ? 0 : -1;
}

int writeHalfThenFail(const VornBuffer& b, const wchar_t* path) {
    writeHello(b, path);
    return -1;
}

class Replacing : public ::testing::Test {
protected:
    int write(const std::string& path, vorn::detail::FileWriter writer) {
        return writeReplacing(*buffer, wideOf(path).c_str(), writer);
    }
    BufferPtr buffer = makeBuffer(1, 1);
    ScratchDir dir;
    const Bytes hello = {'h', 'e', 'l', 'l', 'o'};
};

TEST_F(Replacing, FailedWriteKeepsTheOldFileAndLeavesNoTrace) {
    const std::string path = dir.file("old.bin", Bytes{'o', 'l', 'd'});
    EXPECT_EQ(write(path, writeHalfThenFail), -1);
    EXPECT_EQ(readFileBytes(path), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(write(dir.file("fresh.bin"), writeHalfThenFail), -1);
    EXPECT_EQ(write(dir.file("missing/x.bin"), writeHello), -1);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.bin"});
}

TEST_F(Replacing, GoodWriteReplacesTheFileAndKeepsItsPermissions) {
    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    const std::string path = dir.file("kept.bin", Bytes(7, 'o'));
    fs::permissions(path, perms);
    EXPECT_EQ(write(path, writeHello), 0);
    EXPECT_EQ(write(dir.file("new.bin"), writeHello), 0);
    EXPECT_EQ(readFileBytes(path), hello);
    EXPECT_EQ(readFileBytes(dir.file("new.bin")), hello);
    EXPECT_EQ(fs::status(path).permissions(), perms);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kept.bin", "new.bin"}));
}

TEST_F(Replacing, LinkIsWrittenThroughAndStaysALink) {
    const std::string target = dir.file("target.bin", Bytes{'o', 'l', 'd'});
    const std::string link = dir.file("link.bin");
    std::error_code error;
    fs::create_symlink(target, link, error);
    if (error) {
        GTEST_SKIP() << "cannot make links here";
    }
    EXPECT_EQ(write(link, writeHello), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFileBytes(target), hello);
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

} // namespace
