// The runtime's wide-path functions: path splitting with its error rules,
// case-insensitive comparison, and files at non-ASCII wide paths.

#include "runtime/wide_runtime.h"
#include "text/text_string.h"
#include "vorn_test.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

struct Split {
    std::wstring drive;
    std::wstring dir;
    std::wstring fname;
    std::wstring ext;
};

Split split(const wchar_t* path) {
    wchar_t drive[_MAX_PATH] = {};
    wchar_t dir[_MAX_PATH] = {};
    wchar_t fname[_MAX_PATH] = {};
    wchar_t ext[_MAX_PATH] = {};
    EXPECT_EQ(
        _wsplitpath_s(path, drive, _MAX_PATH, dir, _MAX_PATH, fname, _MAX_PATH, ext, _MAX_PATH), 0);
    return {drive, dir, fname, ext};
}

TEST(WideSplitPath, PartsOfPaths) {
    struct Case {
        const wchar_t* path;
        Split parts;
    };
    const Case cases[] = {
        {L"photo.png", {L"", L"", L"photo", L".png"}},
        {L"/home/me/photo.tar.PNG", {L"", L"/home/me/", L"photo.tar", L".PNG"}},
        {L"C:\\pics\\a.b\\photo", {L"C:", L"\\pics\\a.b\\", L"photo", L""}},
        {L"C:photo.jpg", {L"C:", L"", L"photo", L".jpg"}},
        {L"dir.d/", {L"", L"dir.d/", L"", L""}},
        {L".hidden", {L"", L"", L"", L".hidden"}},
        {L"name.", {L"", L"", L"name", L"."}},
        {L"", {L"", L"", L"", L""}},
        {L"\u00fcber/\u65e5\u672c.gif", {L"", L"\u00fcber/", L"\u65e5\u672c", L".gif"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(textlib::wideToUtf8(c.path));
        const Split s = split(c.path);
        EXPECT_EQ(s.drive, c.parts.drive);
        EXPECT_EQ(s.dir, c.parts.dir);
        EXPECT_EQ(s.fname, c.parts.fname);
        EXPECT_EQ(s.ext, c.parts.ext);
    }
}

TEST(WideSplitPath, ExtensionAloneAndErrors) {
    wchar_t ext[8];
    ASSERT_EQ(_wsplitpath_s(L"/a/b.jpg", nullptr, 0, nullptr, 0, nullptr, 0, ext, 8), 0);
    EXPECT_EQ(std::wstring(ext), L".jpg");

    // Too small: ERANGE and every part asked for emptied.
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    wchar_t name[8] = {L'y'};
    EXPECT_EQ(_wsplitpath_s(L"/a/b.jpeg", nullptr, 0, nullptr, 0, name, 8, small, 4), ERANGE);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(name[0], 0);
    // Exactly fitting with the terminator is fine.
    wchar_t fits[5];
    EXPECT_EQ(_wsplitpath_s(L"b.jpg", nullptr, 0, nullptr, 0, nullptr, 0, fits, 5), 0);
    EXPECT_EQ(std::wstring(fits), L".jpg");

    EXPECT_EQ(_wsplitpath_s(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, ext, 8), EINVAL);
    EXPECT_EQ(_wsplitpath_s(L"a.b", nullptr, 0, nullptr, 0, nullptr, 0, ext, 0), EINVAL);
    EXPECT_EQ(_wsplitpath_s(L"a.b", nullptr, 3, nullptr, 0, nullptr, 0, ext, 8), EINVAL);
}

TEST(WideCompare, IgnoresTheCaseOfAsciiLettersOnly) {
    EXPECT_EQ(_wcsicmp(L".PNG", L".png"), 0);
    EXPECT_EQ(_wcsicmp(L".JpG", L".jpg"), 0);
    EXPECT_EQ(_wcsicmp(L"", L""), 0);
    EXPECT_LT(_wcsicmp(L".bmp", L".png"), 0);
    EXPECT_GT(_wcsicmp(L".png", L".PN"), 0);
    EXPECT_LT(_wcsicmp(L".pn", L".PNG"), 0);
    EXPECT_NE(_wcsicmp(L"\u00c9", L"\u00e9"), 0);
    // '_' lies between the upper- and lower-case letters: folding to lower
    // case puts it below every letter.
    EXPECT_LT(_wcsicmp(L"_", L"A"), 0);
}

TEST(WideOpen, OpensFilesAtNonAsciiPaths) {
    std::random_device device;
    const std::string utf8 = (std::filesystem::temp_directory_path() /
                              ("vorn-\xC3\xBC\xE6\x97\xA5-" + std::to_string(device()) + ".txt"))
                                 .string();
    const std::wstring wide = textlib::utf8ToWide(utf8);

    std::FILE* f = nullptr;
    ASSERT_EQ(_wfopen_s(&f, wide.c_str(), L"wb"), 0);
    ASSERT_NE(f, nullptr);
    std::fputs("abc", f);
    std::fclose(f);
    std::ifstream check(utf8, std::ios::binary);
    std::string content;
    check >> content;
    EXPECT_EQ(content, "abc");

    struct _stat info = {};
    ASSERT_EQ(_wstat(wide.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & _S_IFMT, _S_IFREG);
    EXPECT_EQ(info.st_size, 3);

    const std::wstring renamed = wide + L".2";
    EXPECT_EQ(_wrename(wide.c_str(), renamed.c_str()), 0);
    EXPECT_NE(_wstat(wide.c_str(), &info), 0);
    EXPECT_EQ(_wremove(renamed.c_str()), 0);

    f = reinterpret_cast<std::FILE*>(1);
    EXPECT_NE(_wfopen_s(&f, wide.c_str(), L"rb"), 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(_wfopen_s(nullptr, wide.c_str(), L"rb"), EINVAL);
}

} // namespace
