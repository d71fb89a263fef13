// Format detection and the read and write dispatch: extension table,
// detection order, routing, refused codes and paths with non-ASCII
// characters through the narrow and the wide overloads.

#include "io/io.h"
#include "io_test.h"
#include "text/text_string.h"

namespace {

using vorn::detail::formatFromExtension;

#if defined(VORN_HAVE_PNG)
#define VORN_REQUIRE_PNG() (void)0
#else
#define VORN_REQUIRE_PNG() GTEST_SKIP() << "built without PNG support"
#endif

const Bytes kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

TEST(FormatFromExtension, TableOfExtensions) {
    struct Case {
        const wchar_t* path;
        int format;
    };
    const Case cases[] = {
        {L"a.png", 2},
        {L"a.PNG", 2},
        {L"a.gif", 4},
        {L"a.Gif", 4},
        {L"a.jpg", 1},
        {L"A.JPG", 1},
        {L"a.bmp", 3},
        {L"a.bMp", 3},
        {L"a.jpeg", -1},
        {L"a.jpe", -1},
        {L"a.tif", -1},
        {L"a", -1},
        {L"", -1},
        {L"a.", -1},
        {L"archive.bmp.png", 2},
        {L"dir.png/file", -1},
        {L"dir.png\\file", -1},
        {L"C:\\images\\photo.jpg", 1},
        {L"/tmp/.png", 2},
        {L"a.png ", -1},
        {L"a.p\u00f1g", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(textlib::wideToUtf8(c.path));
        EXPECT_EQ(formatFromExtension(c.path), c.format);
    }
}

class Dispatch : public ::testing::Test {
protected:
    std::string make(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.file(name);
        writeFileBytes(path, bytes);
        return path;
    }
    std::string pngFile(const std::string& name) {
        BufferPtr b = makeFilled(3, 2, rgba(10, 20, 30, 40));
        const std::string path = dir.file(name);
        EXPECT_EQ(b->write(path.c_str(), 2), 0);
        return path;
    }
    std::string bmpFile(const std::string& name) {
        BufferPtr b = makeFilled(2, 3, rgba(50, 60, 70));
        const std::string path = dir.file(name);
        EXPECT_EQ(vorn::detail::writeBMP(*b, wideOf(path).c_str()), 0);
        return path;
    }
    ScratchDir dir;
};

TEST_F(Dispatch, DetectionTriesContentInOrderThenTheExtension) {
    struct Case {
        const char* what;
        std::string name;
        Bytes content;
        int format;
    };
    Bytes pngThenBm = kPngSignature;
    const Case cases[] = {
        {"PNG named .bmp", "picture.bmp", kPngSignature, 2},
        {"GIF87a", "a.dat", Bytes{'G', 'I', 'F', '8', '7', 'a', 0, 0}, 4},
        {"GIF89a named .png", "a.png", Bytes{'G', 'I', 'F', '8', '9', 'a'}, 4},
        {"GIF88a is no GIF", "a.dat", Bytes{'G', 'I', 'F', '8', '8', 'a', 0, 0}, -1},
        {"JFIF named .jpeg", "picture.jpeg",
         Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x12, 0x34, 'J', 'F', 'I', 'F'}, 1},
        {"Exif named .JPG", "picture.JPG", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 16, 'E', 'x', 'i', 'f'},
         1},
        {"Exif named .jpeg", "picture.jpeg",
         Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 16, 'E', 'x', 'i', 'f'}, -1},
        {"BM named .png", "x.png", Bytes{'B', 'M', 1, 2, 3, 4, 5, 6}, 3},
        {"text named notes.png", "notes.png", Bytes{'h', 'e', 'l', 'l', 'o', '!', '\n', '\n'}, 2},
        {"text named notes.txt", "notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', '!', '\n', '\n'}, -1},
        // Short files: what was not read never completes a signature.
        {"empty named .bmp", "e.bmp", Bytes{}, 3},
        {"4 bytes of PNG signature", "s.dat", Bytes{0x89, 'P', 'N', 'G'}, -1},
        {"7 bytes of PNG signature", "s.gif", Bytes(kPngSignature.begin(), kPngSignature.end() - 1),
         4},
        {"GIF cut at 5 bytes", "s.dat", Bytes{'G', 'I', 'F', '8', '9'}, -1},
        {"JFIF cut at 7 bytes", "s.dat", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J'}, -1},
        {"B alone", "s.dat", Bytes{'B'}, -1},
        {"BM alone", "s.dat", Bytes{'B', 'M'}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = make(c.name, c.content);
        EXPECT_EQ(VornBuffer::GetFormat(path.c_str()), c.format);
        EXPECT_EQ(VornBuffer::GetFormat(wideOf(path).c_str()), c.format);
    }
}

TEST_F(Dispatch, FileThatCannotBeOpenedIsNotRecognised) {
    EXPECT_EQ(VornBuffer::GetFormat(dir.file("missing.png").c_str()), -1);
    EXPECT_EQ(VornBuffer::GetFormat(L""), -1);
    EXPECT_EQ(VornBuffer::GetFormat(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(VornBuffer::GetFormat(dir.path().string().c_str()), -1); // a folder
}

TEST_F(Dispatch, ReadRoutesByContentOrByTheGivenCode) {
    VORN_REQUIRE_PNG();
    const std::string pngAsBmp = pngFile("picture.bmp");
    BufferPtr b(VornBuffer::Read(pngAsBmp.c_str()));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(at(*b, 0, 0), rgba(10, 20, 30, 40)); // decoded as PNG: alpha kept
    EXPECT_EQ(VornBuffer::Read(pngAsBmp.c_str(), 3), nullptr);
    b.reset(VornBuffer::Read(pngAsBmp.c_str(), 2));
    EXPECT_NE(b, nullptr);

    const std::string bmpAsPng = bmpFile("x.png");
    b.reset(VornBuffer::Read(bmpAsPng.c_str()));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getWidth(), 2);
    EXPECT_EQ(VornBuffer::Read(bmpAsPng.c_str(), 2), nullptr);

    const std::string notes = make("notes.png", Bytes{'h', 'e', 'l', 'l', 'o', '!', '\n', '\n'});
    EXPECT_EQ(VornBuffer::Read(notes.c_str()), nullptr);
    EXPECT_EQ(VornBuffer::Read(notes.c_str(), 2), nullptr);

    const std::string missing = dir.file("missing.png");
    EXPECT_EQ(VornBuffer::Read(missing.c_str()), nullptr);
    EXPECT_EQ(VornBuffer::Read(missing.c_str(), 2), nullptr);
}

TEST_F(Dispatch, RefusedReadCodesGiveNullEvenForGoodFiles) {
    VORN_REQUIRE_PNG();
    const std::string png = pngFile("good.png");
    for (int code : {-1, -2, 5, 7, 1000, -2147483647 - 1}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(VornBuffer::Read(png.c_str(), code), nullptr);
        EXPECT_EQ(VornBuffer::Read(wideOf(png).c_str(), code), nullptr);
    }
}

TEST_F(Dispatch, WriteChoosesByExtensionOrByCode) {
    VORN_REQUIRE_PNG();
    BufferPtr b = makeFilled(2, 2, rgba(1, 2, 3, 255));
    struct Case {
        const char* name;
        int code;
        int result;
        const char* magic; // first bytes of the file, null when none is made
    };
    const Case cases[] = {
        {"a.bmp", 0, 0, "BM"},
        {"a.BMP", 0, 0, "BM"},
        {"a.png", 0, 0, "\x89PNG"},
        {"b.png", 3, 0, "BM"},
        {"b.bmp", 2, 0, "\x89PNG"},
        {"noext", 2, 0, "\x89PNG"},
        {"a.gif", 0, -1, nullptr},
        {"a.jpeg", 0, -1, nullptr},
        {"a.tif", 0, -1, nullptr},
        {"noext2", 0, -1, nullptr},
        {"c.bmp", 4, -1, nullptr},
        {"c.png", 7, -1, nullptr},
        {"d.png", -1, -1, nullptr},
        {"e.png", 5, -1, nullptr},
#if !defined(VORN_HAVE_IMAGELIB)
        {"a.jpg", 0, -1, nullptr},
        {"f.png", 1, -1, nullptr},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        EXPECT_EQ(b->write(path.c_str(), c.code), c.result);
        if (!c.magic) {
            EXPECT_FALSE(fileExists(path));
            continue;
        }
        const Bytes file = readFileBytes(path);
        const std::string magic(c.magic);
        ASSERT_GE(file.size(), magic.size());
        EXPECT_EQ(std::string(file.begin(), file.begin() + magic.size()), magic);
    }
    // Nothing else was left in the folder.
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"a.BMP", "a.bmp", "a.png", "b.bmp", "b.png", "noext"}));
}

TEST_F(Dispatch, WriteWithoutCodeIsWriteWithZero) {
    VORN_REQUIRE_PNG();
    BufferPtr b = makeFilled(1, 1, rgba(9, 9, 9));
    EXPECT_EQ(b->write(dir.file("one.bmp").c_str()), 0);
    EXPECT_EQ(b->write(wideOf(dir.file("two.png")).c_str()), 0);
    EXPECT_EQ(b->write(dir.file("three.gif").c_str()), -1);
    EXPECT_EQ(VornBuffer::GetFormat(dir.file("one.bmp").c_str()), 3);
    EXPECT_EQ(VornBuffer::GetFormat(dir.file("two.png").c_str()), 2);
}

TEST_F(Dispatch, NonAsciiPathsWorkThroughBothOverloads) {
    VORN_REQUIRE_PNG();
    const std::string names[] = {"Gr\xC3\xBC\xC3\x9F"
                                 "e.png",
                                 "\xE7\x94\xBB\xE5\x83\x8F.bmp",
                                 "caf\xC3\xA9 \xF0\x9F\x8E\xA8.png"};
    BufferPtr b = makeFilled(4, 3, rgba(200, 100, 50, 255));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string narrow = dir.file(name);
        const std::wstring wide = wideOf(narrow);
        const int format = name.find(".png") != std::string::npos ? 2 : 3;

        ASSERT_EQ(b->write(narrow.c_str()), 0);
        EXPECT_TRUE(fileExists(narrow)); // the file bears the name as given
        EXPECT_EQ(VornBuffer::GetFormat(wide.c_str()), format);
        BufferPtr back(VornBuffer::Read(wide.c_str()));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(words(*back), words(*b));
        std::filesystem::remove(narrow);

        ASSERT_EQ(b->write(wide.c_str()), 0);
        EXPECT_TRUE(fileExists(narrow));
        EXPECT_EQ(VornBuffer::GetFormat(narrow.c_str()), format);
        back.reset(VornBuffer::Read(narrow.c_str(), format));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(words(*back), words(*b));
    }
}

} // namespace
