// SPDX-License-Identifier: MIT
// Files through the byte seam: a write never destroys what it replaces
// (read-only files, folders where no temporary file can be made, failing
// writes), the replaced file's mode, owner and links, pipes read with
// detection, and names that are not UTF-8.

#include "io_test.h"

#include <functional>

#if !defined(_WIN32)
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using vorn::lastFailure;
using vorn::Status;

/// Runs `body` in a child process, as user and group 65534 when `dropRoot`
/// and the test runs as root (root bypasses permission bits), and returns
/// its result: 0 when it held, 77 when the child could not give up root,
/// anything else a failure. Directly where there are no child processes.
int inChild(bool dropRoot, const std::function<int()>& body) {
#if defined(_WIN32)
    (void)dropRoot;
    return body();
#else
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (dropRoot && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(77);
        }
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        return 77;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
#endif
}

class FileStream : public ::testing::Test {
protected:
    // The unprivileged child must be able to work in the folder.
    void SetUp() override { fs::permissions(dir.file(""), fs::perms::all); }
    ScratchDir dir;
    BufferPtr image = makeFilled(300, 200, rgba(10, 20, 30));
};

// Each case prepares a target holding "old" and a write that must fail;
// the target keeps its bytes and no other file is left behind.
TEST_F(FileStream, FailedWritesLeaveTheTargetAsItWas) {
    auto writeImage = [this](const std::string& path) { return image->write(path.c_str()); };
    const struct {
        const char* what;
        bool dropRoot;
        Status status;
        std::function<void(const std::string& path)> prepare;
        std::function<int(const std::string& path)> write;
    } cases[] = {
        {"read-only file", true, Status::AccessDenied,
         [](const std::string& path) { fs::permissions(path, fs::perms::owner_read); }, writeImage},
#if !defined(_WIN32)
        // Windows lets anyone make files in a read-only folder.
        {"read-only folder", true, Status::AccessDenied,
         [](const std::string& path) {
             fs::permissions(fs::path(path).parent_path(),
                             fs::perms::owner_read | fs::perms::owner_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
         },
         writeImage},
        // The system refuses every byte beyond 1 KiB: the write fails after
        // the file was opened.
        {"write failing midway", false, Status::WriteFailed, [](const std::string&) {},
         [&writeImage](const std::string& path) {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit = {1024, 1024};
             setrlimit(RLIMIT_FSIZE, &limit);
             return writeImage(path);
         }},
#endif
#if defined(VORN_HAVE_IMAGELIB)
        {"JPEG side beyond 65,500", false, Status::TooLarge, [](const std::string&) {},
         [](const std::string& path) { return makeBuffer(65501, 1)->write(path.c_str(), 1); }},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Each case in a folder of its own, under a long name.
        const fs::path folder = dir.file("case" + std::to_string(&c - cases));
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::all);
        const std::string path = (folder / (std::string(236, 'n') + ".bmp")).string();
        std::ofstream(path, std::ios::binary) << "old";
        c.prepare(path);
        const int result = inChild(c.dropRoot, [&] {
            return c.write(path) == -1 && lastFailure().status == c.status ? 0 : 1;
        });
        fs::permissions(folder, fs::perms::all);
        const Bytes content = readFileBytes(path);
        fs::permissions(path, fs::perms::all);
        if (result == 77) {
            GTEST_SKIP() << "cannot run as an unprivileged user here";
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(content, (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}

TEST_F(FileStream, ReplacementKeepsModeOwnerAndOtherLinks) {
    const std::string path = dir.file("kept.bmp", Bytes(7, 'o'));
    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, perms);
    std::error_code noLinks;
    fs::create_hard_link(path, dir.file("other-name.bmp"), noLinks);
#if !defined(_WIN32)
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || chown(path.c_str(), 65534, 65534) == 0);
#endif
    ASSERT_EQ(image->write(path.c_str()), 0);
    BufferPtr back(VornBuffer::Read(path.c_str()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(words(*back), words(*image));
    // The other name keeps the old content.
    EXPECT_TRUE(noLinks || readFileBytes(dir.file("other-name.bmp")) == Bytes(7, 'o'));
    EXPECT_EQ(dir.entries().size(), noLinks ? 1u : 2u);
#if !defined(_WIN32)
    EXPECT_EQ(fs::status(path).permissions(), perms);
    struct stat info = {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, root ? 65534u : geteuid());
    EXPECT_EQ(info.st_gid, root ? 65534u : getegid());
#endif
}

#if !defined(_WIN32)

// Links are written through; a device is written in place, and its
// failing writes (the link lives in the test's own folder, so the device
// is never at stake) show in the result.
TEST_F(FileStream, LinksAreWrittenThroughAndDevicesInPlace) {
    const std::string target = dir.file("target.bmp", Bytes{'o', 'l', 'd'});
    const std::string link = dir.file("link.bmp");
    fs::create_symlink(target, link);
    EXPECT_EQ(image->write(link.c_str()), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFileBytes(target).size(), 54u + 900u * 200u);
    const std::string full = dir.file("full.png");
    fs::create_symlink("/dev/full", full);
    for (int format : {2, 3}) {
        EXPECT_EQ(image->write(full.c_str(), format), -1);
        EXPECT_EQ(lastFailure().status, Status::WriteFailed);
    }
    EXPECT_TRUE(fs::is_symlink(full));
}

// A pipe is read with detection: its first bytes are read once and serve
// both detection and the reader. Narrow names are bytes: one that is not
// UTF-8 names exactly that file.
TEST_F(FileStream, PipesAndNamesThatAreNotUtf8) {
    BufferPtr small = makeFilled(7, 5, rgba(1, 2, 3, 4));
    for (int format : {2, 3}) {
        const Bytes bytes = encoded(*small, format);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(::write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(ends[1]);
        BufferPtr read(VornBuffer::Read(("/dev/fd/" + std::to_string(ends[0])).c_str()));
        close(ends[0]);
        ASSERT_NE(read, nullptr) << format;
        EXPECT_EQ(at(*read, 6, 4), format == 2 ? rgba(1, 2, 3, 4) : rgba(0, 0, 0));
    }
    const std::string path = dir.file("caf\xE9.bmp");
    ASSERT_EQ(image->write(path.c_str()), 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"caf\xE9.bmp"});
    EXPECT_EQ(VornBuffer::GetFormat(path.c_str()), 3);
    BufferPtr back(VornBuffer::Read(path.c_str()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(words(*back), words(*image));
}

#endif

} // namespace
