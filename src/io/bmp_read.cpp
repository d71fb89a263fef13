// SPDX-License-Identifier: MIT
// The BMP reader: the 14-byte file header, the 12-, 40- and 64-byte
// information headers, colour tables, uncompressed rows of 1, 4, 8, 24 and
// 32 bits and the 8-bit and 4-bit run-length encodings. Extended reading
// (the C++ interface) also takes the 52-, 56-, 108- and 124-byte headers,
// top-down rows, 16 bits per pixel and bit-field masks with alpha.

#include "core/core.h"
#include "io/io.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace vorn::detail {

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kCoreHeaderBytes = 12;
constexpr int kInfoHeaderBytes = 40;
constexpr int kExtendedHeaderBytes = 64;
// Headers with bit-field masks in them (red, green, blue; alpha from 56
// bytes on): the V2 and V3 headers, BITMAPV4HEADER and BITMAPV5HEADER.
constexpr int kMaskHeaderBytes = 52;
constexpr int kAlphaMaskHeaderBytes = 56;
constexpr int kV4HeaderBytes = 108;
constexpr int kV5HeaderBytes = 124;

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::uint32_t kCompressionAlphaBitFields = 6;

std::uint16_t u16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int16_t s16(const unsigned char* p) {
    return static_cast<std::int16_t>(u16(p));
}

std::int32_t s32(const unsigned char* p) {
    return static_cast<std::int32_t>(u32(p));
}

/// The fields of the information header the reader uses, whichever
/// generation supplied them; 0 where the file was too short.
struct BmpHeader {
    std::uint32_t dataOffset = 0;
    std::uint32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    int planes = 0;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::int32_t densityX = 0;
    std::int32_t densityY = 0;
    std::uint32_t coloursUsed = 0;
    /// Rows stored from the top down (a negative height; extended only).
    bool topDown = false;
    /// Red, green, blue and alpha masks of 16- and 32-bit pixels (extended
    /// only; an alpha mask of 0 means opaque).
    std::uint32_t mask[4] = {};
};

/// Whether extended reading knows the header size.
bool extendedHeaderSize(std::uint32_t size) {
    return size == kMaskHeaderBytes || size == kAlphaMaskHeaderBytes || size == kV4HeaderBytes ||
           size == kV5HeaderBytes;
}

/// The fields that every header from the 40-byte one on has, at the same
/// offsets.
void takeInfoFields(const unsigned char* raw, BmpHeader& header) {
    header.width = s32(raw + 4);
    header.height = s32(raw + 8);
    header.planes = u16(raw + 12);
    header.bitCount = s16(raw + 14);
    header.compression = u32(raw + 16);
    header.densityX = s32(raw + 24);
    header.densityY = s32(raw + 28);
    header.coloursUsed = u32(raw + 32);
}

/// Reads the header of the generation `header.headerSize` names, whose
/// first four bytes (the size) were already read. False for a generation
/// the reader does not know.
bool readInfoHeader(ByteSource& source, BmpHeader& header, bool extended) {
    unsigned char raw[kV5HeaderBytes] = {};
    if (extended && extendedHeaderSize(header.headerSize)) {
        source.read(raw + 4, header.headerSize - 4);
        takeInfoFields(raw, header);
        const int masks = header.headerSize >= kAlphaMaskHeaderBytes ? 4 : 3;
        for (int i = 0; i < masks; ++i) {
            header.mask[i] = u32(raw + 40 + 4 * i);
        }
        return true;
    }
    switch (header.headerSize) {
    case kCoreHeaderBytes:
        source.read(raw + 4, kCoreHeaderBytes - 4);
        header.width = s16(raw + 4);
        header.height = s16(raw + 6);
        header.planes = u16(raw + 8);
        header.bitCount = u16(raw + 10);
        return true;
    case kInfoHeaderBytes:
    case kExtendedHeaderBytes:
        // The extended header's last 24 bytes are read past unused.
        source.read(raw + 4, header.headerSize - 4);
        takeInfoFields(raw, header);
        return true;
    default:
        return false;
    }
}

/// Reads the colour table that follows the header into `table` and returns
/// the number of bytes it took in the file (entries beyond what the pixel
/// depth can index are read past).
long long readColourTable(ByteSource& source, const BmpHeader& header, BmpColourTable& table) {
    const bool core = header.headerSize == kCoreHeaderBytes;
    const bool indexed = header.bitCount >= 1 && header.bitCount <= 8;
    long long count = 0;
    if (!core && header.coloursUsed > 0) {
        count = header.coloursUsed;
    } else if (indexed) {
        count = 1LL << header.bitCount;
    }
    const int entryBytes = core ? 3 : 4;
    const long long usable = indexed ? std::min(count, 1LL << header.bitCount) : 0;

    for (_VORNRGBAQUAD& e : table.entry) {
        e = packColour(0, 0, 0, 255);
    }
    if (usable > 0) {
        unsigned char raw[256 * 4] = {};
        const std::size_t bytes = static_cast<std::size_t>(usable) * entryBytes;
        source.read(raw, bytes);
        for (long long i = 0; i < usable; ++i) {
            const unsigned char* e = raw + i * entryBytes;
            table.entry[i] = packColour(e[2], e[1], e[0], 255);
        }
    }
    source.skip(static_cast<unsigned long long>((count - usable) * entryBytes));
    return count * entryBytes;
}

/// Bytes of one uncompressed row before padding, for a supported depth.
long long rowDataBytes(long long width, int bitCount) {
    switch (bitCount) {
    case 1:
        return (width + 7) / 8;
    case 4:
        return (width + 1) / 2;
    case 8:
        return width;
    case 16:
        return 2 * width;
    case 24:
        return 3 * width;
    default:
        return 4 * width;
    }
}

void expandRow4(const unsigned char* row, _VORNRGBAQUAD* out, int width,
                const BmpColourTable& table) {
    int x = 0;
    for (; x + 1 < width; x += 2) {
        const unsigned char b = row[x >> 1];
        out[x] = table.entry[b >> 4];
        out[x + 1] = table.entry[b & 15];
    }
    if (x < width) {
        out[x] = table.entry[row[x >> 1] >> 4];
    }
}

void expandRow8(const unsigned char* row, _VORNRGBAQUAD* out, int width,
                const BmpColourTable& table) {
    for (int x = 0; x < width; ++x) {
        out[x] = table.entry[row[x]];
    }
}

void expandRow24(const unsigned char* row, _VORNRGBAQUAD* out, int width) {
    for (int x = 0; x < width; ++x) {
        out[x] = packColour(row[2], row[1], row[0], 255);
        row += 3;
    }
}

void expandRow32(const unsigned char* row, _VORNRGBAQUAD* out, int width) {
    for (int x = 0; x < width; ++x) {
        out[x] = packColour(row[2], row[1], row[0], 255);
        row += 4;
    }
}

/// One channel of a bit-field mask: the value (pixel & mask) >> shift,
/// scaled from 0..max to 0..255 by v x 255 / max, truncated.
struct MaskChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;

    explicit MaskChannel(std::uint32_t m) : mask(m) {
        if (m != 0) {
            while (!((m >> shift) & 1)) {
                ++shift;
            }
            max = m >> shift;
        }
    }
    unsigned char operator()(std::uint32_t pixel, unsigned char absent) const {
        if (max == 0) {
            return absent;
        }
        return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / max);
    }
};

/// Pixels of 16 or 32 bits through the header's masks; alpha 255 where
/// there is no alpha mask.
void expandRowMasked(const unsigned char* row, _VORNRGBAQUAD* out, int width,
                     const BmpHeader& header) {
    const MaskChannel red(header.mask[0]);
    const MaskChannel green(header.mask[1]);
    const MaskChannel blue(header.mask[2]);
    const MaskChannel alpha(header.mask[3]);
    const int bytes = header.bitCount / 8;
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = bytes == 2 ? u16(row) : u32(row);
        out[x] = packColour(red(p, 0), green(p, 0), blue(p, 0), alpha(p, 255));
        row += bytes;
    }
}

/// Decodes uncompressed rows, the first in the file being the bottom row
/// (the top row for a top-down file). False for a short row.
bool decodeRows(ByteSource& source, const BmpHeader& header, VornBuffer& buffer,
                const BmpColourTable& table) {
    const int width = buffer.getWidth();
    const int height = buffer.getHeight();
    const std::size_t padded = static_cast<std::size_t>((rowDataBytes(width, header.bitCount) + 3) &
                                                        ~static_cast<long long>(3));
    std::vector<unsigned char> storage(padded);
    unsigned char* row = storage.data();
    // 16-bit rows always go through the masks (all zero masks give opaque
    // black): the row was sized for 16-bit pixels, not the 32-bit default.
    const bool masked = header.bitCount == 16 || header.mask[0] || header.mask[1] ||
                        header.mask[2] || header.mask[3];
    bool ok = true;
    for (int i = 0; i < height && ok; ++i) {
        const int y = header.topDown ? i : height - 1 - i;
        if (source.read(row, padded) != padded) {
            noteFailure(Status::Corrupt, "BMP: the pixel rows end early");
            ok = false;
            break;
        }
        _VORNRGBAQUAD* out = buffer.getPixels() + static_cast<std::size_t>(y) * width;
        if (masked) {
            expandRowMasked(row, out, width, header);
            continue;
        }
        switch (header.bitCount) {
        case 1:
            expandRow1(row, y, buffer, table);
            break;
        case 4:
            expandRow4(row, out, width, table);
            break;
        case 8:
            expandRow8(row, out, width, table);
            break;
        case 24:
            expandRow24(row, out, width);
            break;
        default:
            expandRow32(row, out, width);
            break;
        }
    }
    return ok;
}

/// Bytes of a run-length stream, read from the source a block at a time.
class ByteStream {
public:
    explicit ByteStream(ByteSource& source) : source_(source) {}

    /// The next byte; false at the end of the source.
    bool next(unsigned char& out) {
        if (pos_ == end_) {
            end_ = source_.read(block_, sizeof block_);
            pos_ = 0;
            if (end_ == 0) {
                return false;
            }
        }
        out = block_[pos_++];
        return true;
    }

private:
    ByteSource& source_;
    unsigned char block_[4096];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

/// Position of the run-length decoders. Columns grow without bound (runs
/// beyond the width are dropped, not wrapped), so they are kept in 64 bits.
struct RlePosition {
    long long x = 0;
    long long y = 0;
};

/// Applies escape codes 0 (end of line) and 2 (delta). Returns false when
/// the stream ended inside the delta; sets `above` when the position left
/// the image through its top.
bool moveDown(ByteStream& in, unsigned char escape, RlePosition& at, bool& above) {
    if (escape == 0) {
        at.x = 0;
        at.y -= 1;
    } else {
        unsigned char dx;
        unsigned char dy;
        if (!in.next(dx) || !in.next(dy)) {
            return false;
        }
        at.x += dx;
        at.y -= dy;
    }
    above = at.y < 0;
    return true;
}

/// Row y of the buffer (y is known to be inside).
_VORNRGBAQUAD* rowOf(VornBuffer& buffer, long long y) {
    return buffer.getPixels() + static_cast<std::size_t>(y) * buffer.getWidth();
}

/// The loop both run-length decoders share: counts, escape codes and the
/// position. `encoded(row, x, end, v)` stores an encoded run at columns x
/// to end - 1 (already cut at the width); `absolute(in, row, x, width, v)`
/// reads an absolute run of v pixels with its pad byte, storing what lies
/// below the width, and returns false when the stream ended inside it.
template <typename EncodedRun, typename AbsoluteRun>
bool decodeRunLength(VornBuffer& buffer, ByteSource& source, EncodedRun encoded,
                     AbsoluteRun absolute) {
    ByteStream in(source);
    const long long width = buffer.getWidth();
    RlePosition at;
    at.y = buffer.getHeight() - 1;
    for (;;) {
        unsigned char n;
        unsigned char v;
        if (!in.next(n) || !in.next(v)) {
            return false;
        }
        if (n > 0) {
            encoded(rowOf(buffer, at.y), at.x, std::min(at.x + n, width), v);
            at.x += n;
            continue;
        }
        if (v == 1) {
            return true;
        }
        if (v == 0 || v == 2) {
            bool above = false;
            if (!moveDown(in, v, at, above)) {
                return false;
            }
            if (above) {
                return true;
            }
            continue;
        }
        if (!absolute(in, rowOf(buffer, at.y), at.x, width, v)) {
            return false;
        }
        at.x += v;
    }
}

} // namespace

void expandRow1(const unsigned char* row, int y, VornBuffer& buffer, const BmpColourTable& table) {
    const int width = buffer.getWidth();
    _VORNRGBAQUAD* out = buffer.getPixels() + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
        out[x] = table.entry[(row[x >> 3] >> (7 - (x & 7))) & 1];
    }
}

bool decodeRLE8(VornBuffer& buffer, const BmpColourTable& table, ByteSource& source) {
    const auto encoded = [&table](_VORNRGBAQUAD* row, long long x, long long end, unsigned char v) {
        for (; x < end; ++x) {
            row[x] = table.entry[v];
        }
    };
    // Absolute run of v indices, padded to an even number of bytes.
    const auto absolute = [&table](ByteStream& in, _VORNRGBAQUAD* row, long long x, long long width,
                                   unsigned char v) {
        for (int i = 0; i < v; ++i) {
            unsigned char index;
            if (!in.next(index)) {
                return false;
            }
            if (x + i < width) {
                row[x + i] = table.entry[index];
            }
        }
        unsigned char pad;
        return !(v & 1) || in.next(pad);
    };
    return decodeRunLength(buffer, source, encoded, absolute);
}

bool decodeRLE4(VornBuffer& buffer, const BmpColourTable& table, ByteSource& source) {
    // Alternates the two nibbles, high first.
    const auto encoded = [&table](_VORNRGBAQUAD* row, long long x, long long end, unsigned char v) {
        const _VORNRGBAQUAD colours[2] = {table.entry[v >> 4], table.entry[v & 15]};
        for (const long long start = x; x < end; ++x) {
            row[x] = colours[(x - start) & 1];
        }
    };
    // Absolute run of v nibbles: (v + 1) / 2 bytes, padded to an even
    // number of bytes. Every byte of the run is consumed, also where its
    // pixels lie beyond the width, so that the stream stays in step.
    const auto absolute = [&table](ByteStream& in, _VORNRGBAQUAD* row, long long x, long long width,
                                   unsigned char v) {
        const int bytes = (v + 1) / 2;
        for (int i = 0; i < bytes; ++i) {
            unsigned char pair;
            if (!in.next(pair)) {
                return false;
            }
            if (x + 2 * i < width) {
                row[x + 2 * i] = table.entry[pair >> 4];
            }
            if (2 * i + 1 < v && x + 2 * i + 1 < width) {
                row[x + 2 * i + 1] = table.entry[pair & 15];
            }
        }
        unsigned char pad;
        return !(bytes & 1) || in.next(pad);
    };
    return decodeRunLength(buffer, source, encoded, absolute);
}

VornBuffer* readBMP(ByteSource& source, bool extended) {
    unsigned char fileHeader[kFileHeaderBytes];
    if (source.read(fileHeader, kFileHeaderBytes) != kFileHeaderBytes) {
        noteFailure(Status::Corrupt, "BMP: file header cut short");
        return nullptr;
    }
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') {
        noteFailure(Status::UnknownFormat, "BMP: no 'BM' signature");
        return nullptr;
    }
    BmpHeader header;
    header.dataOffset = u32(fileHeader + 10);

    unsigned char sizeField[4];
    if (source.read(sizeField, 4) != 4) {
        noteFailure(Status::Corrupt, "BMP: header size cut short");
        return nullptr;
    }
    header.headerSize = u32(sizeField);
    if (!readInfoHeader(source, header, extended)) {
        noteFailure(header.headerSize >= kCoreHeaderBytes && header.headerSize <= kV5HeaderBytes
                        ? Status::Unsupported
                        : Status::Corrupt,
                    "BMP: header size " + std::to_string(header.headerSize));
        return nullptr;
    }

    // Bit fields: the masks follow a 40-byte header (three, or four with
    // alpha), or lie in the larger headers. Without them 16-bit pixels are
    // 5-5-5 and 32-bit ones are read as the plain reader does.
    const bool bitFields = header.compression == kCompressionBitFields ||
                           header.compression == kCompressionAlphaBitFields;
    const bool masked = extended && bitFields && (header.bitCount == 16 || header.bitCount == 32);
    long long maskBytes = 0;
    if (masked && header.headerSize == kInfoHeaderBytes) {
        unsigned char raw[16] = {};
        maskBytes = header.compression == kCompressionAlphaBitFields ? 16 : 12;
        source.read(raw, static_cast<std::size_t>(maskBytes));
        for (int i = 0; i < 4; ++i) {
            header.mask[i] = i * 4 < maskBytes ? u32(raw + 4 * i) : 0;
        }
    } else if (extended && header.compression == kCompressionNone && header.bitCount == 16) {
        header.mask[0] = 0x7C00;
        header.mask[1] = 0x03E0;
        header.mask[2] = 0x001F;
        header.mask[3] = 0;
    } else if (!masked) {
        std::fill(std::begin(header.mask), std::end(header.mask), 0);
    }

    BmpColourTable table;
    const long long tableBytes = readColourTable(source, header, table);
    // The pixel data starts at the file header's offset, or right after
    // the table when the offset points into the headers or the table.
    const long long tableEnd =
        kFileHeaderBytes + static_cast<long long>(header.headerSize) + maskBytes + tableBytes;
    const long long gap = static_cast<long long>(header.dataOffset) - tableEnd;
    if (gap > 0) {
        source.skip(static_cast<unsigned long long>(gap));
    }
    const long long dataStart = tableEnd + std::max(gap, 0LL);

    if (header.planes != 1) {
        noteFailure(Status::Corrupt, "BMP: planes " + std::to_string(header.planes));
        return nullptr;
    }
    const bool rle8 = header.compression == kCompressionRle8;
    const bool rle4 = header.compression == kCompressionRle4;
    if (header.compression == kCompressionNone) {
        const int b = header.bitCount;
        if (b != 1 && b != 4 && b != 8 && b != 24 && b != 32 && !(extended && b == 16)) {
            noteFailure(Status::Unsupported, "BMP: " + std::to_string(b) + " bits per pixel");
            return nullptr;
        }
    } else if (!masked && !(rle8 && header.bitCount == 8) && !(rle4 && header.bitCount == 4)) {
        // Bit fields (for the plain reader), embedded JPEG or PNG, and
        // run-length codes at a depth they were not made for.
        noteFailure(Status::Unsupported, "BMP: compression " + std::to_string(header.compression) +
                                             " at " + std::to_string(header.bitCount) +
                                             " bits per pixel");
        return nullptr;
    }
    // A negative height stores the rows from the top down; run-length
    // streams are bottom-up by definition.
    if (extended && header.height < 0 && header.height != INT32_MIN && !rle8 && !rle4) {
        header.height = -header.height;
        header.topDown = true;
    }

    // The size must be one Build accepts and one the file can justify,
    // before anything is allocated.
    if (header.width < 1 || header.height < 1) {
        noteFailure(header.height < 0 ? Status::Unsupported : Status::Corrupt,
                    "BMP: size " + std::to_string(header.width) + " x " +
                        std::to_string(header.height));
        return nullptr;
    }
    if (pixelBlockBytes(header.width, header.height) == 0) {
        noteFailure(Status::TooLarge, "BMP: size " + std::to_string(header.width) + " x " +
                                          std::to_string(header.height));
        return nullptr;
    }
    const long long length = source.size();
    if (length >= 0) {
        const long long available = std::max(length - dataStart, 0LL);
        const long long pixels = static_cast<long long>(header.width) * header.height;
        if (header.compression == kCompressionNone) {
            const long long padded = (rowDataBytes(header.width, header.bitCount) + 3) & ~3LL;
            if (padded > available / header.height) {
                noteFailure(Status::Corrupt, "BMP: file too short for its pixel rows");
                return nullptr;
            }
        } else if (pixels / kMaxPixelsPerFileByte > length) {
            noteFailure(Status::TooLarge, "BMP: size far beyond what the file could hold");
            return nullptr;
        }
    }

    VornBuffer* buffer = VornBuffer::Build(header.width, header.height, nullptr);
    if (!buffer) {
        noteFailure(Status::TooLarge, "BMP: size beyond the library's limits");
        return nullptr;
    }
    buffer->setDensity(0, header.densityX, header.densityY);

    bool ok = false;
    try {
        if (rle8) {
            ok = decodeRLE8(*buffer, table, source);
        } else if (rle4) {
            ok = decodeRLE4(*buffer, table, source);
        } else {
            ok = decodeRows(source, header, *buffer, table);
        }
    } catch (...) {
        // Out of memory for the row: the caller gets the exception, not a
        // leaked buffer.
        VornBuffer::Destroy(buffer);
        throw;
    }
    if (!ok) {
        noteFailure(Status::Corrupt, "BMP: run-length data ends before its end code");
        VornBuffer::Destroy(buffer);
    }
    return buffer;
}

} // namespace vorn::detail
