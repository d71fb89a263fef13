// SPDX-License-Identifier: MIT
// The string library's conversions, written for UTF-8 narrow text (and the
// active code page on Windows).

#include "text/text_string.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace textlib {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Decodes one code point at s[i], advancing i; malformed input (bad lead
// byte, missing continuation, overlong form, surrogate, beyond U+10FFFF)
// gives U+FFFD and skips one byte.
char32_t decodeUtf8(const std::string& s, std::size_t& i) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra;
    char32_t cp;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        least = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if (!isContinuation(c)) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) >= 4) {
        out += static_cast<wchar_t>(cp);
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

// Decodes one code point of wide text at w[i], advancing i; lone surrogates
// and values beyond U+10FFFF give U+FFFD.
char32_t decodeWide(const std::wstring& w, std::size_t& i) {
    const char32_t c = static_cast<char32_t>(w[i]) & (sizeof(wchar_t) >= 4 ? 0xFFFFFFFFu : 0xFFFFu);
    ++i;
    if (c >= 0xD800 && c <= 0xDBFF && sizeof(wchar_t) < 4 && i < w.size()) {
        const char32_t low = static_cast<char32_t>(w[i]) & 0xFFFFu;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        return kReplacement;
    }
    return c;
}

} // namespace

std::wstring utf8ToWide(const std::string& utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        appendWide(out, decodeUtf8(utf8, i));
    }
    return out;
}

std::string wideToUtf8(const std::wstring& wide) {
    std::string out;
    out.reserve(wide.size());
    std::size_t i = 0;
    while (i < wide.size()) {
        appendUtf8(out, decodeWide(wide, i));
    }
    return out;
}

#if defined(_WIN32)

Str mbsToStr(const char* narrow) {
    if (!narrow || !*narrow) {
        return Str();
    }
    const int n = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
    if (n <= 0) {
        return Str();
    }
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow, -1, &out[0], n);
    out.resize(static_cast<std::size_t>(n - 1));
    return Str(std::move(out));
}

std::string wideToNarrow(const wchar_t* wide) {
    if (!wide || !*wide) {
        return std::string();
    }
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        return std::string();
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

#else

Str mbsToStr(const char* narrow) {
    return Str(narrow ? utf8ToWide(narrow) : std::wstring());
}

std::string wideToNarrow(const wchar_t* wide) {
    return wide ? wideToUtf8(wide) : std::string();
}

#endif

Str wideToStr(const wchar_t* wide) {
    return Str(wide ? std::wstring(wide) : std::wstring());
}

std::string strToUtf8(const Str& s) {
    return wideToUtf8(s.wstr());
}

} // namespace textlib
