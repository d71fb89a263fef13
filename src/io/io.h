// Internal to the library: the image-file handlers and the dispatch that
// chooses between them. All paths are wide text.
#ifndef VORN_SRC_IO_IO_H
#define VORN_SRC_IO_IO_H

#include <vorn/buffer.h>

namespace vorn::detail {

// Format codes, as VornBuffer::GetFormat returns them.
constexpr int kFormatJpeg = 1;
constexpr int kFormatPng = 2;
constexpr int kFormatBmp = 3;
constexpr int kFormatGif = 4;
constexpr int kFormatUnknown = -1;

/// The format code from the path's extension alone (.png, .gif, .jpg, .bmp,
/// case-insensitive), else -1.
int formatFromExtension(const wchar_t* path);
/// The format code from the file's first bytes, falling back to the
/// extension; -1 when the file cannot be opened.
int detectFormat(const wchar_t* path);
/// The write dispatcher behind VornBuffer::write: 0 or -1.
int writeFile(const VornBuffer& buffer, const wchar_t* path, int format);

// Readers return a new buffer owned by the caller, or null. Writers return
// 0 or -1.
VornBuffer* readBMP(const wchar_t* path);
int writeBMP(const VornBuffer& buffer, const wchar_t* path);
VornBuffer* readPNG(const wchar_t* path);
int writePNG(const VornBuffer& buffer, const wchar_t* path);
/// The image library's reader (JPEG, GIF and every file not recognised as
/// PNG or BMP) and its JPEG writer. Present when the library is built with
/// VORN_WITH_IMAGELIB (the macro VORN_HAVE_IMAGELIB is then defined for the
/// io sources).
VornBuffer* readLibraryImage(const wchar_t* path);
int writeLibraryImage(const VornBuffer& buffer, const wchar_t* path);

} // namespace vorn::detail

#endif
