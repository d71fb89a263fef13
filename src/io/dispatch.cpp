// SPDX-License-Identifier: MIT
// The public file operations of VornBuffer: format detection by content
// with the extension as fallback, and the read and write dispatch to the
// format handlers.

#include "io/io.h"
#include "runtime/wide_runtime.h"
#include "text/text_string.h"

#include <cstring>

#if defined(VORN_HAVE_PNG)
#include <png.h>
#endif

namespace vorn::detail {

namespace {

/// Number of bytes content detection looks at.
constexpr std::size_t kSignatureBytes = 8;

bool isPngSignature(const unsigned char* head) {
#if defined(VORN_HAVE_PNG)
    return png_sig_cmp(head, 0, kSignatureBytes) == 0;
#else
    static const unsigned char signature[kSignatureBytes] = {0x89, 'P',  'N',  'G',
                                                             '\r', '\n', 0x1A, '\n'};
    return std::memcmp(head, signature, kSignatureBytes) == 0;
#endif
}

bool isGifSignature(const unsigned char* head) {
    return head[0] == 'G' && head[1] == 'I' && head[2] == 'F' && head[3] == '8' &&
           (head[4] == '7' || head[4] == '9') && head[5] == 'a';
}

// A JPEG file that starts with the JFIF application segment; the segment
// length (bytes 4 and 5) is not examined.
bool isJfifSignature(const unsigned char* head) {
    return head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && head[3] == 0xE0 &&
           head[6] == 'J' && head[7] == 'F';
}

bool isBmpSignature(const unsigned char* head) {
    return head[0] == 'B' && head[1] == 'M';
}

/// A format code that Read and write know: 0 (decide) or 1 to 4.
bool knownCode(int format) {
    return format >= 0 && format <= kFormatGif;
}

VornBuffer* readLibrary(const wchar_t* path) {
#if defined(VORN_HAVE_IMAGELIB)
    return readLibraryImage(path);
#else
    (void)path;
    return nullptr;
#endif
}

VornBuffer* readWith(const wchar_t* path, int format) {
    if (!knownCode(format)) {
        return nullptr;
    }
    if (format == 0) {
        format = detectFormat(path);
        if (format < 0) {
            // Neither content nor extension says: the image library tries.
            return readLibrary(path);
        }
    }
    switch (format) {
    case kFormatJpeg:
    case kFormatGif:
        return readLibrary(path);
    case kFormatPng:
#if defined(VORN_HAVE_PNG)
        return readPNG(path);
#else
        return nullptr;
#endif
    case kFormatBmp:
        return readBMP(path);
    default:
        return nullptr;
    }
}

} // namespace

int formatFromExtension(const wchar_t* path) {
    wchar_t ext[_MAX_PATH] = {};
    if (_wsplitpath_s(path, nullptr, 0, nullptr, 0, nullptr, 0, ext, _MAX_PATH) != 0) {
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

int detectFormat(const wchar_t* path) {
    std::FILE* file = openFile(path, L"rb");
    if (!file) {
        return kFormatUnknown;
    }
    // Bytes a short file does not supply stay 0, which no signature test
    // accepts in the places it looks at.
    unsigned char head[kSignatureBytes] = {};
    const std::size_t got = std::fread(head, 1, kSignatureBytes, file);
    std::fclose(file);

    if (got >= 8 && isPngSignature(head)) {
        return kFormatPng;
    }
    if (got >= 6 && isGifSignature(head)) {
        return kFormatGif;
    }
    if (got >= 8 && isJfifSignature(head)) {
        return kFormatJpeg;
    }
    if (got >= 2 && isBmpSignature(head)) {
        return kFormatBmp;
    }
    return formatFromExtension(path);
}

int writeFile(const VornBuffer& buffer, const wchar_t* path, int format) {
    if (!knownCode(format)) {
        return -1;
    }
    if (format == 0) {
        format = formatFromExtension(path);
    }
    switch (format) {
    case kFormatPng:
#if defined(VORN_HAVE_PNG)
        return writeReplacing(buffer, path, writePNG);
#else
        return -1;
#endif
    case kFormatBmp:
        return writeReplacing(buffer, path, writeBMP);
    case kFormatJpeg:
#if defined(VORN_HAVE_IMAGELIB)
        return writeReplacing(buffer, path, writeLibraryImage);
#else
        return -1;
#endif
    default:
        return -1;
    }
}

} // namespace vorn::detail

using vorn::detail::detectFormat;
using vorn::detail::readWith;
using vorn::detail::writeFile;

// The path is brought into the string library's wide form; that string
// lives for the whole call.

int VornBuffer::GetFormat(const char* path) {
    const textlib::Str wide = textlib::mbsToStr(path);
    return detectFormat(wide.wide());
}

int VornBuffer::GetFormat(const wchar_t* path) {
    const textlib::Str wide = textlib::wideToStr(path);
    return detectFormat(wide.wide());
}

VornBuffer* VornBuffer::Read(const char* path, int format) {
    const textlib::Str wide = textlib::mbsToStr(path);
    return readWith(wide.wide(), format);
}

VornBuffer* VornBuffer::Read(const char* path) {
    return Read(path, 0);
}

VornBuffer* VornBuffer::Read(const wchar_t* path, int format) {
    const textlib::Str wide = textlib::wideToStr(path);
    return readWith(wide.wide(), format);
}

VornBuffer* VornBuffer::Read(const wchar_t* path) {
    return Read(path, 0);
}

int VornBuffer::write(const char* path, int format) const {
    const textlib::Str wide = textlib::mbsToStr(path);
    return writeFile(*this, wide.wide(), format);
}

int VornBuffer::write(const char* path) const {
    return write(path, 0);
}

int VornBuffer::write(const wchar_t* path, int format) const {
    const textlib::Str wide = textlib::wideToStr(path);
    return writeFile(*this, wide.wide(), format);
}

int VornBuffer::write(const wchar_t* path) const {
    return write(path, 0);
}
