// SPDX-License-Identifier: MIT
// The BMP writer: an uncompressed 24-bit file with a 40-byte information
// header, every pixel flattened onto the background colour (black without
// one); or, asked for alpha, a 32-bit file with a 124-byte header whose
// bit-field masks name the blue, green, red and alpha bytes.

#include "core/core.h"
#include "io/io.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorn::detail {

namespace {

constexpr std::uint32_t kHeadersBytes = 54;
constexpr std::uint32_t kV5HeaderBytes = 124;
constexpr std::uint32_t kV5HeadersBytes = 14 + kV5HeaderBytes;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::uint32_t kColourSpaceSrgb = 0x73524742; // 'sRGB'
constexpr std::uint32_t kIntentImages = 4;             // LCS_GM_IMAGES

/// Bytes of converted rows gathered before each write.
constexpr std::size_t kBlockBytes = 256 * 1024;

void put16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

/// Converts one buffer row into file bytes: blue, green, red per pixel,
/// flattened onto `bg`, then zero padding up to `padded` bytes.
void flattenRow(const _VORNRGBAQUAD* in, int width, _VORNRGBAQUAD bg, unsigned char* out,
                std::size_t padded) {
    unsigned char* o = out;
    for (int x = 0; x < width; ++x) {
        const _VORNRGBAQUAD p = in[x];
        if (p.alpha == 255) {
            // The common case, taken whole: flattenChannel gives c at 255.
            o[0] = p.blue;
            o[1] = p.green;
            o[2] = p.red;
            o += 3;
            continue;
        }
        o[0] = flattenChannel(p.blue, p.alpha, bg.blue);
        o[1] = flattenChannel(p.green, p.alpha, bg.green);
        o[2] = flattenChannel(p.red, p.alpha, bg.red);
        o += 3;
    }
    for (unsigned char* end = out + padded; o < end; ++o) {
        *o = 0;
    }
}

/// The 32-bit file: the buffer's own bytes (blue, green, red, alpha, not
/// premultiplied), bottom row first, under a BITMAPV5HEADER in the sRGB
/// colour space.
int writeBMPWithAlpha(const VornBuffer& buffer, ByteSink& sink) {
    const int width = buffer.getWidth();
    const int height = buffer.getHeight();
    // Build keeps the pixel block below 2^31 bytes.
    const std::uint32_t rowBytes = 4 * static_cast<std::uint32_t>(width);
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);

    unsigned char headers[kV5HeadersBytes] = {};
    headers[0] = 'B';
    headers[1] = 'M';
    put32(headers + 2, kV5HeadersBytes + imageBytes);
    put32(headers + 10, kV5HeadersBytes);
    unsigned char* info = headers + 14;
    put32(info + 0, kV5HeaderBytes);
    put32(info + 4, static_cast<std::uint32_t>(width));
    put32(info + 8, static_cast<std::uint32_t>(height));
    put16(info + 12, 1);
    put16(info + 14, 32);
    put32(info + 16, kCompressionBitFields);
    put32(info + 20, imageBytes);
    put32(info + 24, static_cast<std::uint32_t>(buffer.getPixelsPerMetreX()));
    put32(info + 28, static_cast<std::uint32_t>(buffer.getPixelsPerMetreY()));
    put32(info + 40, 0x00FF0000); // red
    put32(info + 44, 0x0000FF00); // green
    put32(info + 48, 0x000000FF); // blue
    put32(info + 52, 0xFF000000); // alpha
    put32(info + 56, kColourSpaceSrgb);
    put32(info + 108, kIntentImages);

    bool ok = sink.write(headers, kV5HeadersBytes);
    const _VORNRGBAQUAD* pixels = buffer.getPixels();
    for (int y = height - 1; y >= 0 && ok; --y) {
        ok = sink.write(pixels + static_cast<std::size_t>(y) * width, rowBytes);
    }
    return ok ? 0 : -1;
}

} // namespace

unsigned char flattenChannelReference(unsigned c, unsigned a, unsigned bg) {
    const double f = a / 255.0;
    return static_cast<unsigned char>(c * f + bg * (1.0 - f));
}

unsigned char flattenChannel(unsigned c, unsigned a, unsigned bg) {
    // a / 255 is exactly 1 or 0 at the ends, so the formula gives c or bg.
    if (a == 255) {
        return static_cast<unsigned char>(c);
    }
    if (a == 0) {
        return static_cast<unsigned char>(bg);
    }
    return flattenChannelReference(c, a, bg);
}

int writeBMP(const VornBuffer& buffer, ByteSink& sink, bool alpha) {
    const int width = buffer.getWidth();
    const int height = buffer.getHeight();
    const _VORNRGBAQUAD* pixels = buffer.getPixels();
    if (!pixels || width < 1 || height < 1) {
        noteFailure(Status::InvalidArgument, "BMP: buffer without pixels");
        return -1;
    }
    if (alpha) {
        return writeBMPWithAlpha(buffer, sink);
    }
    // A buffer holds at most 2^31 - 1 bytes of 4-byte pixels, so 3-byte
    // rows with padding and the 54 header bytes stay below 2^32.
    const std::size_t padded = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::uint64_t fileBytes = kHeadersBytes + static_cast<std::uint64_t>(padded) * height;

    // Rows are converted into a block of several rows and written a block
    // at a time.
    const std::size_t rowsPerBlock = std::max<std::size_t>(1, kBlockBytes / padded);
    std::vector<unsigned char> block(rowsPerBlock * padded);

    unsigned char headers[kHeadersBytes] = {};
    headers[0] = 'B';
    headers[1] = 'M';
    put32(headers + 2, static_cast<std::uint32_t>(fileBytes));
    put32(headers + 10, kHeadersBytes);
    put32(headers + 14, 40);
    put32(headers + 18, static_cast<std::uint32_t>(width));
    put32(headers + 22, static_cast<std::uint32_t>(height));
    put16(headers + 26, 1);
    put16(headers + 28, 24);
    put32(headers + 38, static_cast<std::uint32_t>(buffer.getPixelsPerMetreX()));
    put32(headers + 42, static_cast<std::uint32_t>(buffer.getPixelsPerMetreY()));

    _VORNRGBAQUAD bg = packColour(0, 0, 0, 0);
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    if (buffer.getBackground(&red, &green, &blue)) {
        bg = packColour(red, green, blue, 0);
    }

    bool ok = sink.write(headers, kHeadersBytes);
    int y = height - 1;
    while (y >= 0 && ok) {
        std::size_t filled = 0;
        for (; y >= 0 && filled < block.size(); --y, filled += padded) {
            flattenRow(pixels + static_cast<std::size_t>(y) * width, width, bg,
                       block.data() + filled, padded);
        }
        ok = sink.write(block.data(), filled);
    }
    return ok ? 0 : -1;
}

} // namespace vorn::detail
