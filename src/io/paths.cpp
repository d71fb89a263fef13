// SPDX-License-Identifier: MIT
// File names: the path a narrow or wide name stands for, and the format
// its extension names. On Windows paths are UTF-16 and the runtime's wide
// path functions split and compare them; elsewhere a narrow name's bytes
// are the path, unconverted, so that names that are not UTF-8 work.

#include "io/paths.h"

#include "io/io.h"
#include "text/text_string.h"

#include <string>

#if defined(_WIN32)
#include <stdlib.h>
#include <wchar.h>
#endif

namespace vorn::detail {

#if defined(_WIN32)

std::filesystem::path pathFromNarrow(const char* name) {
    // The active code page, as the string library reads narrow text.
    return std::filesystem::path(textlib::mbsToStr(name).wstr());
}

std::filesystem::path pathFromWide(const wchar_t* name) {
    return std::filesystem::path(textlib::wideToStr(name).wstr());
}

int formatFromExtension(const std::filesystem::path& path) {
    wchar_t ext[_MAX_PATH] = {};
    if (_wsplitpath_s(path.c_str(), nullptr, 0, nullptr, 0, nullptr, 0, ext, _MAX_PATH) != 0) {
        return kFormatUnknown;
    }
    if (_wcsicmp(ext, L".png") == 0) {
        return kFormatPng;
    }
    if (_wcsicmp(ext, L".gif") == 0) {
        return kFormatGif;
    }
    if (_wcsicmp(ext, L".jpg") == 0) {
        return kFormatJpeg;
    }
    if (_wcsicmp(ext, L".bmp") == 0) {
        return kFormatBmp;
    }
    return kFormatUnknown;
}

#else

std::filesystem::path pathFromNarrow(const char* name) {
    return std::filesystem::path(std::string(name));
}

std::filesystem::path pathFromWide(const wchar_t* name) {
    return std::filesystem::path(textlib::wideToUtf8(name));
}

namespace {

/// Whether `text` equals the lower-case ASCII `lower`, ignoring the case of
/// A to Z only.
bool equalsIgnoringCase(const std::string& text, const char* lower) {
    std::size_t i = 0;
    for (; i < text.size() && lower[i]; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lower[i]) {
            return false;
        }
    }
    return i == text.size() && !lower[i];
}

} // namespace

int formatFromExtension(const std::filesystem::path& path) {
    // The extension runs from the last dot of the file name, which starts
    // after the last '/' or '\\', as the Windows runtime splits paths.
    const std::string& text = path.native();
    const std::size_t separator = text.find_last_of("/\\");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = text.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) {
        return kFormatUnknown;
    }
    const std::string ext = text.substr(dot);
    if (equalsIgnoringCase(ext, ".png")) {
        return kFormatPng;
    }
    if (equalsIgnoringCase(ext, ".gif")) {
        return kFormatGif;
    }
    if (equalsIgnoringCase(ext, ".jpg")) {
        return kFormatJpeg;
    }
    if (equalsIgnoringCase(ext, ".bmp")) {
        return kFormatBmp;
    }
    return kFormatUnknown;
}

#endif

namespace {

/// Whether the file name's text after its last dot equals `lower` (ASCII,
/// lower case) but for the case of A to Z; for narrow and wide paths alike.
template <typename Char>
bool extensionIs(const std::basic_string<Char>& text, const char* lower) {
    const Char separators[] = {Char('/'), Char('\\'), Char(0)};
    const std::size_t separator = text.find_last_of(separators);
    const std::size_t dot = text.find_last_of(Char('.'));
    if (dot == std::basic_string<Char>::npos ||
        (separator != std::basic_string<Char>::npos && dot < separator)) {
        return false;
    }
    std::size_t i = dot;
    for (; i < text.size() && *lower; ++i, ++lower) {
        Char c = text[i];
        if (c >= Char('A') && c <= Char('Z')) {
            c = static_cast<Char>(c - Char('A') + Char('a'));
        }
        if (c != static_cast<Char>(*lower)) {
            return false;
        }
    }
    return i == text.size() && !*lower;
}

} // namespace

int formatFromExtension(const std::filesystem::path& path, bool extended) {
    const int format = formatFromExtension(path);
    if (format != kFormatUnknown || !extended) {
        return format;
    }
    for (const char* jpeg : {".jpeg", ".jpe", ".jfif"}) {
        if (extensionIs(path.native(), jpeg)) {
            return kFormatJpeg;
        }
    }
    return kFormatUnknown;
}

} // namespace vorn::detail
