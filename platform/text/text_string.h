// SPDX-License-Identifier: MIT
// Stand-in for the general string library's path conversions.
//
// The library handles file paths as wide text. A narrow path is UTF-8 on
// this platform and text in the active code page on Windows; wide text is
// UTF-32 where wchar_t has 32 bits and UTF-16 where it has 16 (Windows).
// Invalid input never fails: each bad sequence becomes U+FFFD.
#ifndef VORN_PLATFORM_TEXT_TEXT_STRING_H
#define VORN_PLATFORM_TEXT_TEXT_STRING_H

#include <string>

namespace textlib {

/// The string library's string: wide text.
class Str {
public:
    Str() = default;
    explicit Str(std::wstring text) : text_(std::move(text)) {}

    /// The wide text, null-terminated, valid while the string lives.
    const wchar_t* wide() const { return text_.c_str(); }
    const std::wstring& wstr() const { return text_; }

private:
    std::wstring text_;
};

/// Narrow text (UTF-8 here, the active code page on Windows) to a string.
/// A null pointer gives an empty string.
Str mbsToStr(const char* narrow);

/// Wide text to a string. A null pointer gives an empty string.
Str wideToStr(const wchar_t* wide);

/// The string as UTF-8.
std::string strToUtf8(const Str& s);

/// The general wide-to-narrow conversion: UTF-8 here, the active code page
/// on Windows. A null pointer gives an empty string.
std::string wideToNarrow(const wchar_t* wide);

/// UTF-8 and wide text, both ways, on every platform.
std::wstring utf8ToWide(const std::string& utf8);
std::string wideToUtf8(const std::wstring& wide);

} // namespace textlib

#endif
