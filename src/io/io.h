// SPDX-License-Identifier: MIT
// Internal to the library: the image-file handlers, the dispatch that
// chooses between them and what they share. All paths are wide text.
#ifndef VORN_SRC_IO_IO_H
#define VORN_SRC_IO_IO_H

#include <vorn/buffer.h>

#include <cstddef>
#include <cstdio>

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
///
/// readLibraryImage: the library loads the file (it tells JPEG and GIF
/// apart by content) and hands over its pixel block, which the new buffer
/// owns. The file's resolution, truncated to whole dots per inch, becomes
/// the density (unit 1) unless both values truncate to 0; otherwise the
/// density stays 3780 pixels per metre. Background and transparency are
/// not set. Null for any library failure, caught as std::exception.
VornBuffer* readLibraryImage(const wchar_t* path);
/// writeLibraryImage: a baseline JPEG at quality 50 with 4:2:0 colour
/// subsampling; alpha, density, background and transparency are not
/// written. 0, or -1 for any library failure (a file already created is
/// left as the library left it).
int writeLibraryImage(const VornBuffer& buffer, const wchar_t* path);

// ---------------------------------------------------------------------------
// BMP decoding steps
// ---------------------------------------------------------------------------

/// The colour table of a BMP file with up to 8 bits per pixel, one entry
/// for every index a pixel can carry. Entries are opaque (alpha 255);
/// entries the file does not supply are opaque black.
struct BmpColourTable {
    _VORNRGBAQUAD entry[256];
};

/// Stores one row of 1-bit file data (most significant bit first, width
/// pixels) as buffer row y.
void expandRow1(const unsigned char* row, int y, VornBuffer& buffer, const BmpColourTable& table);

/// Decode the run-length streams of 8-bit and 4-bit indices from the file's
/// current position into the buffer, the first row of the stream being the
/// bottom row. True when the end-of-bitmap code was reached, or when an end
/// of line or a delta moved above the top row (decoding stops there); false
/// when the file ended first. Nothing outside the buffer is written.
bool decodeRLE8(VornBuffer& buffer, const BmpColourTable& table, std::FILE* file);
bool decodeRLE4(VornBuffer& buffer, const BmpColourTable& table, std::FILE* file);

/// The flattening of the BMP writer: channel c at alpha a over the
/// background channel bg, as c x (a / 255) + bg x (1 - a / 255) in double
/// precision truncated toward zero. flattenChannel takes shortcuts for
/// alpha 0 and 255 that give the same bytes as the plain formula of
/// flattenChannelReference.
unsigned char flattenChannel(unsigned c, unsigned a, unsigned bg);
unsigned char flattenChannelReference(unsigned c, unsigned a, unsigned bg);

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

/// Opens a file at a wide path with the runtime's wide fopen; null when it
/// cannot be opened. `mode` is a wide fopen mode such as L"rb".
std::FILE* openFile(const wchar_t* path, const wchar_t* mode);

/// Length of an open file in bytes, -1 when it cannot be told (a pipe).
/// The file position is kept.
long long fileLength(std::FILE* file);

/// Writes n bytes; false unless all of them were written.
bool writeBytes(std::FILE* file, const void* data, std::size_t n);

/// Closes the file; false when the final flush or the close failed.
bool closeFile(std::FILE* file);

/// Closes a read-only file on scope exit.
class FileCloser {
public:
    explicit FileCloser(std::FILE* file) : file_(file) {}
    ~FileCloser() {
        if (file_) {
            std::fclose(file_);
        }
    }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    std::FILE* file_;
};

/// A writer of one format: buffer and wide path in, 0 or -1 out.
using FileWriter = int (*)(const VornBuffer&, const wchar_t*);

/// Runs `writer` so that a failure never leaves a half-written file under
/// `path`: the file is written under a temporary name in the same folder
/// and renamed over `path` once complete (an existing file keeps its
/// permission bits). Paths that are not plain files (devices, links) and
/// folders where no new file can be made are written in place.
int writeReplacing(const VornBuffer& buffer, const wchar_t* path, FileWriter writer);

/// The most bytes deflate (PNG's compression) can expand one byte into.
constexpr long long kMaxDeflateExpansion = 1032;

/// The most pixels a run-length BMP may claim per byte of its file before
/// it is refused without allocating: as many as a deflated 1-bit image
/// could hold. A run covers at most 255 pixels per 2 bytes; only images
/// left almost entirely unwritten come near the bound.
constexpr long long kMaxPixelsPerFileByte = kMaxDeflateExpansion * 8;

} // namespace vorn::detail

#endif
