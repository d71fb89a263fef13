// SPDX-License-Identifier: MIT
// The string library stand-in's conversions between UTF-8 and wide text.

#include "text/text_string.h"
#include "vorn_test.h"

namespace {

TEST(TextString, RoundTripsEveryPlaneThroughUtf8) {
    const std::wstring samples[] = {L"", L"picture.png", L"\u00e9t\u00e9/\u00fcber.bmp",
                                    L"\u65e5\u672c\u8a9e.jpg", L"emoji-\U0001F3A8.gif"};
    for (const auto& wide : samples) {
        const std::string utf8 = textlib::wideToUtf8(wide);
        EXPECT_EQ(textlib::utf8ToWide(utf8), wide);
        EXPECT_EQ(textlib::strToUtf8(textlib::mbsToStr(utf8.c_str())), utf8);
        EXPECT_EQ(textlib::wideToStr(wide.c_str()).wstr(), wide);
    }
    EXPECT_EQ(textlib::wideToUtf8(L"\u00e9"), "\xC3\xA9");
    EXPECT_EQ(textlib::wideToUtf8(L"\U0001F3A8"), "\xF0\x9F\x8E\xA8");
}

// Truncated, stray and invalid bytes, an overlong form, a surrogate and a
// code point above U+10FFFF each become U+FFFD; null pointers empty text.
TEST(TextString, MalformedInputAndNullPointers) {
    for (const char* bad : {"\xC3", "\xE2\x82", "\xF0\x9F\x8E", "\x80", "\xFF", "\xC0\xAF",
                            "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        const std::wstring wide = textlib::utf8ToWide(bad);
        EXPECT_EQ(wide, std::wstring(wide.empty() ? 1 : wide.size(), L'\uFFFD')) << bad;
    }
    EXPECT_EQ(textlib::utf8ToWide("a\xC3"
                                  "b"),
              L"a\uFFFDb");
    EXPECT_TRUE(textlib::mbsToStr(nullptr).wstr().empty());
    EXPECT_TRUE(textlib::wideToStr(nullptr).wstr().empty());
    EXPECT_TRUE(textlib::wideToNarrow(nullptr).empty());
}

} // namespace
