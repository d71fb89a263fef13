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

} // namespace vorn::detail
