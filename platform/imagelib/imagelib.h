// SPDX-License-Identifier: MIT
// Internal to the image library stand-in: what its decoders, its encoder
// and its image class share.
#ifndef VORN_PLATFORM_IMAGELIB_IMAGELIB_H
#define VORN_PLATFORM_IMAGELIB_IMAGELIB_H

#include "imagelib/talvo_image.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace TalvoImage::detail {

/// Throws std::system_error with the library's category.
[[noreturn]] void fail(ErrorCode code, const std::string& what);

/// The largest pixel block the library hands out, in bytes: its size must
/// fit the unsigned int of GetPixels and the signed 32-bit sizes of
/// callers.
constexpr std::uint64_t kMaxBlockBytes = 2147483647u;

/// Images up to this many pixels are never refused for their file size.
constexpr std::uint64_t kPixelsAlwaysAllowed = std::uint64_t{1} << 24;

/// How many pixels one byte of a file may claim beyond kPixelsAlwaysAllowed.
/// The densest sequential JPEG needs about 2 bits per 8 x 8 block (256
/// pixels per byte); LZW reaches about 2,700 pixels per byte on a flat
/// area. Progressive and arithmetic-coded JPEGs and GIFs whose frame is far
/// smaller than their screen could go further, but such claims are refused
/// as implausible.
constexpr std::uint64_t kJpegPixelsPerByte = 1024;
constexpr std::uint64_t kGifPixelsPerByte = 4096;

/// The largest GIF frame, in pixels: 64 times the screen plus 2^20.
constexpr std::uint64_t kGifFrameAreaPerScreen = 64;
constexpr std::uint64_t kGifFrameAreaAllowance = std::uint64_t{1} << 20;

/// Whether a width x height image of 4-byte pixels is acceptable: it must
/// fit kMaxBlockBytes and, beyond kPixelsAlwaysAllowed, claim at most
/// pixelsPerByte pixels per byte of a file of fileBytes bytes. Returns null
/// when it is, else the reason, with its code in `code`.
const char* claimedSizeProblem(std::uint64_t width, std::uint64_t height, std::size_t fileBytes,
                               std::uint64_t pixelsPerByte, ErrorCode& code);

/// The same, throwing the reason.
void checkClaimedSize(std::uint64_t width, std::uint64_t height, std::size_t fileBytes,
                      std::uint64_t pixelsPerByte);

/// Bytes of one pixel in a layout, 0 for CS_UNKNOWN and unknown values.
std::size_t bytesPerPixel(ColorSpace colorSpace);

/// A block from std::malloc, released with std::free unless handed over.
class MallocBlock {
public:
    MallocBlock() = default;
    explicit MallocBlock(std::size_t bytes);
    ~MallocBlock() { std::free(data_); }
    MallocBlock(const MallocBlock&) = delete;
    MallocBlock& operator=(const MallocBlock&) = delete;
    MallocBlock(MallocBlock&& other) noexcept : data_(other.release()) {}
    MallocBlock& operator=(MallocBlock&&) = delete;

    unsigned char* get() const { return data_; }
    /// Takes over a block from std::malloc (the one held is released).
    void adopt(unsigned char* block) {
        std::free(data_);
        data_ = block;
    }
    /// Gives up the block to the caller.
    unsigned char* release() {
        unsigned char* p = data_;
        data_ = nullptr;
        return p;
    }

private:
    unsigned char* data_ = nullptr;
};

/// A decoded image: width x height BGRA pixels, rows from the top down,
/// and the resolution in dots per inch (0 when unknown).
struct Decoded {
    MallocBlock pixels;
    unsigned int width = 0;
    unsigned int height = 0;
    double resolutionX = 0.0;
    double resolutionY = 0.0;
};

/// Decodes a whole JPEG file held in memory. Throws on failure.
void decodeJpeg(const unsigned char* data, std::size_t size, Decoded& out);

/// Decodes the first frame of a whole GIF file held in memory onto its
/// logical screen. A frame whose area exceeds kGifFrameAreaPerScreen times
/// the screen's plus kGifFrameAreaAllowance pixels is refused: an
/// interlaced frame delivers its rows spread over its whole height, so
/// decoding what reaches the screen costs work in proportion to the frame.
/// Throws on failure.
void decodeGif(const unsigned char* data, std::size_t size, Decoded& out);

/// The resolution stated by an Exif block (the content of an APP1 segment
/// after its "Exif\0\0" identifier: a TIFF header and its first IFD), in
/// dots per inch. False, leaving x and y alone, when the block holds no
/// usable XResolution and YResolution.
bool exifResolutionInch(const unsigned char* tiff, std::size_t size, double& x, double& y);

/// Writes width x height pixels of layout `colorSpace` (rows from the top
/// when topDown) through `write` as a baseline JPEG; a resolution in dots
/// per inch above 0 in both directions becomes the JFIF density (rounded,
/// at most 65,535), else the header says aspect 1:1. Throws on failure.
void encodeJpeg(const TalvoMainImage::ByteWriter& write, const unsigned char* pixels,
                unsigned int width, unsigned int height, ColorSpace colorSpace, bool topDown,
                int quality, double dpiX = 0.0, double dpiY = 0.0);

/// Whether the first bytes are those of a JPEG (FF D8 FF) or a GIF
/// ("GIF87a", "GIF89a") file.
bool isJpeg(const unsigned char* data, std::size_t size);
bool isGif(const unsigned char* data, std::size_t size);

/// The longest side of a JPEG file (libjpeg's limit).
constexpr unsigned int kMaxJpegSide = 65500;

/// The most bytes the library looks at to tell its formats apart.
constexpr std::size_t kSignatureBytes = 6;

} // namespace TalvoImage::detail

#endif
