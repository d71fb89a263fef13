// SPDX-License-Identifier: MIT
// Format detection and the read and write dispatch: extension table,
// detection order, routing, refused codes and paths with non-ASCII
// characters through the narrow and the wide overloads.

#include "io/io.h"
#include "io/paths.h"
#include "io_test.h"

namespace {

#if defined(VORN_HAVE_PNG)
#define VORN_REQUIRE_PNG() (void)0
#else
#define VORN_REQUIRE_PNG() GTEST_SKIP() << "built without PNG support"
#endif

TEST(FormatFromExtension, TableOfExtensions) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"a.PNG", 2},     {L"a.Gif", 4},           {L"A.JPG", 1},    {L"a.bMp", 3},
        {L"a.jpeg", -1},   {L"a.tif", -1},          {L"a", -1},       {L"", -1},
        {L"a.", -1},       {L"archive.bmp.png", 2}, {L"d.png/f", -1}, {L"d.png\\f", -1},
        {L"C:\\p.jpg", 1}, {L"/tmp/.png", 2},       {L"a.png ", -1},  {L"a.p\u00f1g", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(vorn::detail::formatFromExtension(vorn::detail::pathFromWide(c.first)), c.second)
            << &c - cases;
    }
}

class Dispatch : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(Dispatch, DetectionTriesContentInOrderThenTheExtension) {
    const struct {
        const char* name;
        const char* content;
        int format;
    } cases[] = {{"picture.bmp", "\x89PNG\r\n\x1A\n", 2},
                 {"a.dat", "GIF87a..", 4},
                 {"a.png", "GIF89a", 4},
                 {"b.dat", "GIF88a..", -1},
                 {"picture.jpeg", "\xFF\xD8\xFF\xE0\x12\x34JFIF", 1},
                 // An Exif segment first: only the extension can tell.
                 {"picture.JPG", "\xFF\xD8\xFF\xE1\x01\x10\x45xif", 1},
                 {"exif.jpeg", "\xFF\xD8\xFF\xE1\x01\x10\x45xif", -1},
                 {"x.png", "BM123456", 3},
                 {"notes.png", "hello!\n\n", 2},
                 {"notes.txt", "hello!\n\n", -1},
                 // Short files: what was not read never completes a signature.
                 {"e.bmp", "", 3},
                 {"s.gif", "\x89PNG\r\n\x1A", 4},
                 {"s1.dat", "GIF89", -1},
                 {"s2.dat", "\xFF\xD8\xFF\xE0\x01\x10J", -1},
                 {"s3.dat", "B", -1},
                 {"s4.dat", "BM", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            dir.file(c.name, Bytes(c.content, c.content + std::strlen(c.content)));
        EXPECT_EQ(VornBuffer::GetFormat(path.c_str()), c.format);
        EXPECT_EQ(VornBuffer::GetFormat(wideOf(path).c_str()), c.format);
    }
    EXPECT_EQ(VornBuffer::GetFormat(dir.file("missing.png").c_str()), -1);
    EXPECT_EQ(VornBuffer::GetFormat(static_cast<const char*>(nullptr)), -1);
    // Folders cannot be opened as files, whatever their name says.
    std::filesystem::create_directory(dir.file("folder.png"));
    EXPECT_EQ(VornBuffer::GetFormat(dir.file("folder.png").c_str()), -1);
    EXPECT_EQ(VornBuffer::Read(dir.file("folder.png").c_str()), nullptr);
    EXPECT_EQ(vorn::lastFailure().status, vorn::Status::AccessDenied);
}

TEST_F(Dispatch, WriteChoosesByExtensionOrByCode) {
    VORN_REQUIRE_PNG();
    BufferPtr b = makeFilled(2, 2, rgba(1, 2, 3, 255));
    const struct {
        const char* name;
        int code;
        const char* magic; // first bytes of the file; null: -1 and no file
    } cases[] = {{"a.bmp", 0, "BM"},    {"a.BMP", 0, "BM"},      {"a.png", 0, "\x89PNG"},
                 {"b.png", 3, "BM"},    {"b.bmp", 2, "\x89PNG"}, {"noext", 2, "\x89PNG"},
                 {"a.gif", 0, nullptr}, {"a.jpeg", 0, nullptr},  {"noext2", 0, nullptr},
                 {"c.bmp", 4, nullptr}, {"c.png", 7, nullptr},   {"d.png", -1, nullptr},
                 {"e.png", 5, nullptr}};
#if !defined(VORN_HAVE_IMAGELIB)
    EXPECT_EQ(b->write(dir.file("a.jpg").c_str()), -1);
    EXPECT_EQ(b->write(dir.file("f.png").c_str(), 1), -1);
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        EXPECT_EQ(c.code == 0 ? b->write(path.c_str()) : b->write(path.c_str(), c.code),
                  c.magic ? 0 : -1);
        const std::string magic = c.magic ? c.magic : "";
        const Bytes file = readFileBytes(path);
        EXPECT_EQ(std::string(file.begin(), file.end()).substr(0, magic.size()), magic);
    }
    // Nothing else was left in the folder.
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"a.BMP", "a.bmp", "a.png", "b.bmp", "b.png", "noext"}));
}

// Written through one overload and read through the other, where narrow
// names are UTF-8; Windows reads narrow names in the active code page, so
// there the wide overloads carry every character.
TEST_F(Dispatch, NonAsciiPathsWorkThroughBothOverloads) {
    BufferPtr b = makeFilled(4, 3, rgba(200, 100, 50, 255));
    for (const char* name : {"Gr\xC3\xBC\xC3\x9F"
                             "e.bmp",
                             "\xE7\x94\xBB\xE5\x83\x8F.bmp", "caf\xC3\xA9 \xF0\x9F\x8E\xA8.bmp"}) {
        const std::string narrow = dir.file(name);
        const std::wstring wide = wideOf(narrow);
#if defined(_WIN32)
        const bool narrowToo = false;
        const std::filesystem::path native(wide);
#else
        const bool narrowToo = true;
        const std::filesystem::path native(narrow);
#endif
        for (const bool wideWrite : {true, !narrowToo}) {
            SCOPED_TRACE(::testing::Message() << name << wideWrite);
            // Narrow read after a wide write, and wide after narrow.
            const bool narrowRead = wideWrite && narrowToo;
            ASSERT_EQ(wideWrite ? b->write(wide.c_str()) : b->write(narrow.c_str()), 0);
            EXPECT_TRUE(std::filesystem::exists(native)); // the file bears the name as given
            EXPECT_EQ(narrowRead ? VornBuffer::GetFormat(narrow.c_str())
                                 : VornBuffer::GetFormat(wide.c_str()),
                      3);
            BufferPtr back(narrowRead ? VornBuffer::Read(narrow.c_str(), 3)
                                      : VornBuffer::Read(wide.c_str()));
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(words(*back), words(*b));
            std::filesystem::remove(native);
        }
    }
}

} // namespace
