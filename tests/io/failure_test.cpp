// SPDX-License-Identifier: MIT
// Why a call failed: every status provoked through the file and memory
// entry points, the file named in the message, success leaving the last
// failure alone, and memory exhausted while reading.

#include "io_test.h"

#include <functional>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using vorn::lastFailure;
using vorn::Status;

/// A BMP whose run-length stream stops at once, claiming width x height.
Bytes rleClaim(int width, int height, std::size_t padding) {
    BmpFields f;
    f.bitCount = 8;
    f.compression = 1;
    f.width = width;
    f.height = height;
    f.data = Bytes(padding, 0);
    f.data.push_back(0);
    f.data.push_back(1);
    return makeBmp(f);
}

TEST(Failure, EveryStatusHasItsCause) {
    ScratchDir dir;
    BufferPtr image = makeFilled(3, 2, rgba(1, 2, 3));
    const Bytes bmp = encoded(*image, 3);
    BmpFields sixteen;
    sixteen.bitCount = 16;
    sixteen.data = Bytes(4, 0);
    const std::string folder = dir.file("folder.bmp");
    std::filesystem::create_directory(folder);
    std::vector<unsigned char> out;
    // An end of line, then the stream ends before its end code.
    Bytes cutRle = rleClaim(4, 4, 2);
    cutRle.resize(cutRle.size() - 2);
    const std::pair<Status, std::function<bool()>> cases[] = {
        {Status::NotFound,
         [&] { return !BufferPtr(VornBuffer::Read(dir.file("none.png").c_str())); }},
        {Status::NotFound, [&] { return image->write(dir.file("no/x.bmp").c_str()) == -1; }},
        {Status::AccessDenied, [&] { return VornBuffer::GetFormat(folder.c_str()) == -1; }},
        {Status::AccessDenied, [&] { return image->write(folder.c_str()) == -1; }},
        {Status::UnknownFormat,
         [&] {
             return !readBytes(Bytes{'h', 'i', '!'});
         }},
        {Status::Corrupt, [&] { return !readBytes(Bytes(bmp.begin(), bmp.end() - 1), 3); }},
        {Status::Corrupt, [&] { return !readBytes(cutRle); }},
        {Status::Unsupported, [&] { return !readBytes(makeBmp(sixteen)); }},
        {Status::TooLarge, [&] { return !readBytes(rleClaim(60000, 60000, 8)); }},
        {Status::InvalidArgument,
         [&] { return !BufferPtr(VornBuffer::Read(dir.file("x.bmp").c_str(), 5)); }},
        {Status::InvalidArgument, [&] { return image->write(dir.file("x.gif").c_str()) == -1; }},
        {Status::InvalidArgument, [&] { return vorn::writeMemory(*image, 0, out) == -1; }},
        {Status::InvalidArgument, [&] { return vorn::formatOfMemory(nullptr, 1) == -1; }},
#if defined(VORN_HAVE_IMAGELIB)
        {Status::TooLarge, [&] { return vorn::writeMemory(*makeBuffer(1, 65501), 1, out) == -1; }},
        {Status::Corrupt,
         [&] {
             return !readBytes(Bytes{0xFF, 0xD8, 0xFF, 0xD9});
         }},
#endif
    };
    for (const auto& [status, call] : cases) {
        EXPECT_TRUE(call());
        EXPECT_EQ(lastFailure().status, status) << lastFailure().message;
    }
    EXPECT_TRUE(out.empty());
    // The file is named; success, and -1 as an answer, leave the record.
    BufferPtr(VornBuffer::Read(dir.file("missing.png").c_str()));
    const std::string message = lastFailure().message;
    EXPECT_NE(message.find(dir.file("missing.png")), std::string::npos);
    ASSERT_EQ(image->write(dir.file("good.bmp").c_str()), 0);
    EXPECT_NE(BufferPtr(VornBuffer::Read(dir.file("good.bmp").c_str())), nullptr);
    EXPECT_EQ(vorn::formatOfMemory("text", 4), -1);
    EXPECT_EQ(VornBuffer::GetFormat(dir.file("good.bmp").c_str()), 3);
    EXPECT_EQ(lastFailure().message, message);
}

// Reading a file that claims more pixels than memory holds gives null and
// OutOfMemory instead of an exception. Under an address-space limit in a
// child process; AddressSanitizer ends the process on a failed allocation
// instead, so the case is skipped there.
TEST(Failure, ExhaustedMemoryGivesNull) {
#if defined(_WIN32)
    GTEST_SKIP() << "needs a child process with an address-space limit";
#else
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed allocation";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer aborts on a failed allocation";
#endif
#endif
    // 20000 x 20000 pixels (1.6 GB) in files just long enough to claim
    // them: a run-length BMP, and a 1-bit PNG whose header is all that is
    // read before the pixels are allocated.
    std::vector<Bytes> files = {rleClaim(20000, 20000, 50000)};
#if defined(VORN_HAVE_PNG)
    files.push_back(pngFile(20000, 20000, 1, 0, {{"IDAT", Bytes(50000, 0)}}));
#endif
    for (const Bytes& file : files) {
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit limit = {std::size_t{1} << 30, std::size_t{1} << 30};
            setrlimit(RLIMIT_AS, &limit);
            VornBuffer* b = vorn::readMemory(file.data(), file.size());
            _exit(!b && lastFailure().status == Status::OutOfMemory ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << &file - files.data();
    }
#endif
}

} // namespace
