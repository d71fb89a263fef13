// SPDX-License-Identifier: MIT
// Internal to the image files: the image data (IDAT) of the PNG writer.
#ifndef VORN_SRC_IO_PNG_IDAT_H
#define VORN_SRC_IO_PNG_IDAT_H

#include <vorn/buffer.h>

#include <cstddef>
#include <memory>

namespace vorn::detail {

/// The compression WriteOptions::pngCompression -1 stands for.
constexpr int kDefaultPngCompression = 6;

/// Images whose filtered rows take more bytes than this are written through
/// libpng's own row-by-row compression, which holds a row at a time; the
/// others are filtered and deflated whole.
constexpr std::size_t kMaxWholeImageData = std::size_t{1} << 27;

/// Bytes of the buffer's filtered rows (a filter byte and 4 bytes per pixel
/// per row).
inline std::size_t filteredBytes(const VornBuffer& buffer) {
    return (4 * static_cast<std::size_t>(buffer.getWidth()) + 1) *
           static_cast<std::size_t>(buffer.getHeight());
}

/// A block of bytes from allocateLarge, released with releaseLarge.
struct LargeRelease {
    void operator()(unsigned char* p) const;
};
using LargeBlock = std::unique_ptr<unsigned char[], LargeRelease>;

/// n bytes (n > 0) for scratch data of several megabytes: where the system
/// can (Linux), in pages of 2 MiB, so that writing it the first time costs
/// one page fault per 2 MiB instead of one per 4 KiB. Null when the memory
/// cannot be had.
LargeBlock allocateLarge(std::size_t n);

/// A zlib stream: `size` bytes from `bytes`.
struct DeflatedData {
    LargeBlock bytes;
    std::size_t size = 0;
};

/// The zlib stream of the buffer's image data as an 8-bit RGBA PNG file
/// holds it (rows from the top, each filtered), deflated at `compression`
/// (zlib's levels 0 to 9; -1 the default). `filter` 0 to 4 gives every row
/// that PNG filter instead of the one chosen (for tests). False when
/// memory runs out. The buffer must have pixels.
bool deflateImageData(const VornBuffer& buffer, int compression, DeflatedData& out,
                      int filter = -1);

} // namespace vorn::detail

#endif
