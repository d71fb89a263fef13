// SPDX-License-Identifier: MIT
// Internal to the library: the image-file handlers, the dispatch that
// chooses between them and what they share. Handlers read and write
// through the byte seam (stream.h).
#ifndef VORN_SRC_IO_IO_H
#define VORN_SRC_IO_IO_H

#include "io/failure.h"
#include "io/stream.h"

#include <vorn/buffer.h>

#include <cstddef>
#include <filesystem>

namespace vorn::detail {

// Format codes, as VornBuffer::GetFormat returns them.
constexpr int kFormatJpeg = 1;
constexpr int kFormatPng = 2;
constexpr int kFormatBmp = 3;
constexpr int kFormatGif = 4;
constexpr int kFormatUnknown = -1;

/// The largest side of a JPEG file (libjpeg's limit).
constexpr long long kMaxJpegSide = 65500;

/// Settings of the writers. VornBuffer::write and writeMemory use the
/// defaults.
struct WriteOptions {
    int jpegQuality = 50; ///< 1 to 100
    /// PNG compression as zlib counts it: 0 (stored) to 9 (smallest), -1
    /// the default. Only the compressed bytes depend on it.
    int pngCompression = -1;
};

/// The format code from the path's extension alone (.png, .gif, .jpg, .bmp,
/// case-insensitive; the text after the last dot of the file name), else
/// -1. Both '/' and '\\' end a folder name.
int formatFromExtension(const std::filesystem::path& path);
/// The format code from the first bytes of the source (which are not
/// consumed), -1 when no signature matches.
int formatFromContent(ByteSource& source);

/// Reads an image from the source. `format` 0 detects from the content,
/// with the extension of `name` as fallback when there is one; other codes
/// as VornBuffer::Read takes them. Null on failure (the reason noted).
VornBuffer* readImage(ByteSource& source, int format, const std::filesystem::path* name);
/// Encodes the buffer as format 1, 2 or 3 into the sink (not committed);
/// 0 or -1 (the reason noted).
int writeImage(const VornBuffer& buffer, int format, ByteSink& sink,
               const WriteOptions& options = WriteOptions());

// Readers take the source positioned at the start of the image and return a
// new buffer owned by the caller, or null. Writers return 0 or -1 and leave
// committing to the caller. Every failure notes its reason.
VornBuffer* readBMP(ByteSource& source);
int writeBMP(const VornBuffer& buffer, ByteSink& sink);
VornBuffer* readPNG(ByteSource& source);
/// writePNG: `compression` as WriteOptions::pngCompression.
int writePNG(const VornBuffer& buffer, ByteSink& sink, int compression = -1);
/// The image library's reader (JPEG, GIF and every file not recognised as
/// PNG or BMP) and its JPEG writer. Present when the library is built with
/// VORN_WITH_IMAGELIB (the macro VORN_HAVE_IMAGELIB is then defined for the
/// io sources).
///
/// readLibraryImage: content that is neither JPEG nor GIF by its first bytes
/// is refused before anything else is read. The library decodes the
/// content and hands over its pixel block, which the new buffer owns. The
/// file's resolution, truncated to whole dots per inch, becomes the density
/// (unit 1) unless both values truncate to 0; otherwise the density stays
/// 3780 pixels per metre. Background and transparency are not set.
VornBuffer* readLibraryImage(ByteSource& source);
/// writeLibraryImage: a baseline JPEG at the given quality (50 for
/// VornBuffer::write) with 4:2:0 colour subsampling; alpha, density,
/// background and transparency are not written.
int writeLibraryImage(const VornBuffer& buffer, ByteSink& sink, int quality);

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

/// Decode the run-length streams of 8-bit and 4-bit indices from the
/// source's current position into the buffer, the first row of the stream
/// being the bottom row. True when the end-of-bitmap code was reached, or when an end
/// of line or a delta moved above the top row (decoding stops there); false
/// when the source ended first. Nothing outside the buffer is written.
bool decodeRLE8(VornBuffer& buffer, const BmpColourTable& table, ByteSource& source);
bool decodeRLE4(VornBuffer& buffer, const BmpColourTable& table, ByteSource& source);

/// The flattening of the BMP writer: channel c at alpha a over the
/// background channel bg, as c x (a / 255) + bg x (1 - a / 255) in double
/// precision truncated toward zero. flattenChannel takes shortcuts for
/// alpha 0 and 255 that give the same bytes as the plain formula of
/// flattenChannelReference.
unsigned char flattenChannel(unsigned c, unsigned a, unsigned bg);
unsigned char flattenChannelReference(unsigned c, unsigned a, unsigned bg);

/// The most bytes deflate (PNG's compression) can expand one byte into.
constexpr long long kMaxDeflateExpansion = 1032;

/// The most pixels a run-length BMP may claim per byte of its file before
/// it is refused without allocating: as many as a deflated 1-bit image
/// could hold. A run covers at most 255 pixels per 2 bytes; only images
/// left almost entirely unwritten come near the bound.
constexpr long long kMaxPixelsPerFileByte = kMaxDeflateExpansion * 8;

} // namespace vorn::detail

#endif
