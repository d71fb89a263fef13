// SPDX-License-Identifier: MIT
// The runtime's wide-path functions: path splitting with its error rules,
// case-insensitive comparison, and files at non-ASCII wide paths.

#include "runtime/wide_runtime.h"
#include "text/text_string.h"
#include "vorn_test.h"

#include <filesystem>
#include <random>

namespace {

// The four parts of a path, joined with '|'.
std::wstring split(const wchar_t* path) {
    wchar_t parts[4][_MAX_PATH] = {};
    EXPECT_EQ(_wsplitpath_s(path, parts[0], _MAX_PATH, parts[1], _MAX_PATH, parts[2], _MAX_PATH,
                            parts[3], _MAX_PATH),
              0);
    return std::wstring(parts[0]) + L"|" + parts[1] + L"|" + parts[2] + L"|" + parts[3];
}

TEST(WideSplitPath, PartsOfPaths) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"photo.png", L"||photo|.png"},
        {L"/home/me/photo.tar.PNG", L"|/home/me/|photo.tar|.PNG"},
        {L"C:\\pics\\a.b\\photo", L"C:|\\pics\\a.b\\|photo|"},
        {L"C:photo.jpg", L"C:||photo|.jpg"},
        {L"dir.d/", L"|dir.d/||"},
        {L".hidden", L"|||.hidden"},
        {L"name.", L"||name|."},
        {L"", L"|||"},
        {L"\u00fcber/\u65e5\u672c.gif", L"|\u00fcber/|\u65e5\u672c|.gif"}};
    for (const auto& [path, parts] : cases) {
        EXPECT_EQ(split(path), parts) << textlib::wideToUtf8(path);
    }
}

TEST(WideSplitPath, ExtensionAloneAndErrors) {
    wchar_t ext[8];
    ASSERT_EQ(_wsplitpath_s(L"/a/b.jpg", nullptr, 0, nullptr, 0, nullptr, 0, ext, 8), 0);
    EXPECT_EQ(std::wstring(ext), L".jpg");
    wchar_t fits[5]; // the extension and its terminator exactly
    EXPECT_EQ(_wsplitpath_s(L"b.jpg", nullptr, 0, nullptr, 0, nullptr, 0, fits, 5), 0);
    EXPECT_EQ(std::wstring(fits), L".jpg");
    // Too small: ERANGE and every part asked for emptied.
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    wchar_t name[8] = {L'y'};
    EXPECT_EQ(_wsplitpath_s(L"/a/b.jpeg", nullptr, 0, nullptr, 0, name, 8, small, 4), ERANGE);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(_wsplitpath_s(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, ext, 8), EINVAL);
    EXPECT_EQ(_wsplitpath_s(L"a.b", nullptr, 0, nullptr, 0, nullptr, 0, ext, 0), EINVAL);
    EXPECT_EQ(_wsplitpath_s(L"a.b", nullptr, 3, nullptr, 0, nullptr, 0, ext, 8), EINVAL);
}

// Only A to Z fold; '_' lies between the upper- and lower-case letters, and
// folding to lower case puts it below every letter.
TEST(WideCompare, IgnoresTheCaseOfAsciiLettersOnly) {
    EXPECT_EQ(_wcsicmp(L".JpG", L".jpg"), 0);
    EXPECT_EQ(_wcsicmp(L"", L""), 0);
    EXPECT_LT(_wcsicmp(L".bmp", L".png"), 0);
    EXPECT_GT(_wcsicmp(L".png", L".PN"), 0);
    EXPECT_LT(_wcsicmp(L".pn", L".PNG"), 0);
    EXPECT_NE(_wcsicmp(L"\u00c9", L"\u00e9"), 0);
    EXPECT_LT(_wcsicmp(L"_", L"A"), 0);
}

TEST(WideOpen, OpensFilesAtNonAsciiPaths) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("vorn-\xC3\xBC\xE6\x97\xA5-" + std::to_string(std::random_device()()) + ".txt");
    const std::wstring wide = textlib::utf8ToWide(path.string());
    std::FILE* f = nullptr;
    ASSERT_EQ(_wfopen_s(&f, wide.c_str(), L"wb"), 0);
    std::fputs("abc", f);
    std::fclose(f);
    EXPECT_EQ(std::filesystem::file_size(path), 3u); // at the path's UTF-8 name
    struct _stat info = {};
    ASSERT_EQ(_wstat(wide.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & _S_IFMT, _S_IFREG);
    EXPECT_EQ(info.st_size, 3);
    EXPECT_EQ(_wrename(wide.c_str(), (wide + L".2").c_str()), 0);
    EXPECT_EQ(_wremove((wide + L".2").c_str()), 0);
    f = reinterpret_cast<std::FILE*>(1);
    EXPECT_NE(_wfopen_s(&f, wide.c_str(), L"rb"), 0); // gone: an error and a null stream
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(_wfopen_s(nullptr, wide.c_str(), L"rb"), EINVAL);
}

} // namespace
