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

/// Settings of the readers. VornBuffer::Read, GetFormat and readMemory use
/// the defaults.
struct ReadOptions {
    /// The C++ interface's reading: BMP files beyond the plain reader (see
    /// readBMP), JPEG recognised by FF D8 FF whatever its first segment,
    /// and the extensions .jpeg, .jpe and .jfif as JPEG.
    bool extended = false;
};

/// Settings of the writers. VornBuffer::write and writeMemory use the
/// defaults.
struct WriteOptions {
    int jpegQuality = 50; ///< 1 to 100
    /// JPEG: every pixel flattened onto the background colour (white
    /// without one) as the BMP writer flattens, instead of alpha dropped.
    bool jpegFlatten = false;
    /// JPEG: the density in dots per inch for the JFIF header, rounded to
    /// whole numbers (1 to 65,535); 0 or less writes none (aspect 1:1).
    double jpegDpiX = 0.0;
    double jpegDpiY = 0.0;
    /// PNG: zlib's compression level 0 to 9, -1 for libpng's default.
    int pngCompression = -1;
    /// BMP: 32 bits with alpha under a 124-byte header and bit-field masks,
    /// instead of 24 bits flattened onto the background.
    bool bmpAlpha = false;
};

/// The format code from the path's extension alone (.png, .gif, .jpg, .bmp,
/// case-insensitive; the text after the last dot of the file name), else
/// -1. Both '/' and '\\' end a folder name.
int formatFromExtension(const std::filesystem::path& path);
/// As formatFromExtension, with .jpeg, .jpe and .jfif also giving 1 when
/// `extended`.
int formatFromExtension(const std::filesystem::path& path, bool extended);
/// The format code from the first bytes of the source (which are not
/// consumed), -1 when no signature matches. `extended` takes every JPEG
/// (FF D8 FF), not only those starting with the JFIF segment.
int formatFromContent(ByteSource& source, bool extended = false);

/// Reads an image from the source. `format` 0 detects from the content,
/// with the extension of `name` as fallback when there is one; other codes
/// as VornBuffer::Read takes them. Null on failure (the reason noted).
VornBuffer* readImage(ByteSource& source, int format, const std::filesystem::path* name,
                      const ReadOptions& options = ReadOptions());
/// Encodes the buffer as format 1, 2 or 3 into the sink (not committed);
/// 0 or -1 (the reason noted).
int writeImage(const VornBuffer& buffer, int format, ByteSink& sink,
               const WriteOptions& options = WriteOptions());

/// Reads the file at `path` as readImage does (the extension as fallback).
/// Null on failure (the reason noted); a refused code never opens the file.
VornBuffer* readImageFile(const std::filesystem::path& path, int format,
                          const ReadOptions& options = ReadOptions());
/// Writes the buffer to the file at `path` as `format` (0: from the
/// extension, as formatFromExtension(path, options' extended) gives it),
/// replacing it safely; everything that can be refused without the file
/// is refused before it is opened. 0 or -1 (the reason noted).
int writeImageFile(const VornBuffer& buffer, const std::filesystem::path& path, int format,
                   const WriteOptions& options = WriteOptions(), bool extendedNames = false);

// Readers take the source positioned at the start of the image and return a
// new buffer owned by the caller, or null. Writers return 0 or -1 and leave
// committing to the caller. Every failure notes its reason.
/// readBMP reads what VornBuffer::Read reads; `extended` also takes the
/// 52-, 56-, 108- and 124-byte headers, top-down rows (a negative height,
/// uncompressed), 16 bits per pixel (5-5-5 without masks) and bit-field
/// masks of 16- and 32-bit pixels (compression 3 and 6), alpha included.
VornBuffer* readBMP(ByteSource& source, bool extended = false);
/// writeBMP writes 24 bits flattened, or with `alpha` 32 bits (blue,
/// green, red, alpha bytes) under a 124-byte header whose masks name them.
int writeBMP(const VornBuffer& buffer, ByteSink& sink, bool alpha = false);
VornBuffer* readPNG(ByteSource& source);
/// writePNG at zlib's `compression` level 0 to 9 (-1: libpng's default).
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
/// writeLibraryImage: a baseline JPEG at options.jpegQuality (50 for
/// VornBuffer::write) with 4:2:0 colour subsampling; alpha is dropped (or
/// the pixels flattened, jpegFlatten) and the density written only when
/// the options give one; background and transparency are not written.
int writeLibraryImage(const VornBuffer& buffer, ByteSink& sink, const WriteOptions& options);

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
