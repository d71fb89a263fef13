// SPDX-License-Identifier: MIT
// GIF decoding through giflib: the first frame of the file, composed onto
// its logical screen.
//
// The screen starts as the background colour with alpha 0 (transparent
// black when the file names no background). The first frame replaces the
// pixels it covers: its colour, opaque, or transparent black for its
// transparent index. The parts of the frame outside the screen are dropped.
// Indices beyond the frame's colour table are black; without any table
// index 0 is black and index 1 white (the defaults GIF89a recommends), the
// others black.

#include "imagelib/imagelib.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace TalvoImage::detail {

namespace {

struct MemoryReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
    MemoryReader* reader = static_cast<MemoryReader*>(gif->UserData);
    if (wanted <= 0) {
        return 0;
    }
    std::size_t n = static_cast<std::size_t>(wanted);
    const std::size_t left = reader->size - reader->position;
    if (n > left) {
        n = left;
    }
    std::memcpy(out, reader->data + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        if (gif) {
            int error = 0;
            DGifCloseFile(gif, &error);
        }
    }
};

[[noreturn]] void failGif(int error) {
    const char* text = GifErrorString(error);
    fail(ERR_BAD_IMAGE, std::string("GIF: ") + (text ? text : "unknown error"));
}

std::uint32_t packBgra(unsigned r, unsigned g, unsigned b, unsigned a) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(b), static_cast<unsigned char>(g),
                                    static_cast<unsigned char>(r), static_cast<unsigned char>(a)};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// The 256 pixels the frame's indices stand for.
void buildPalette(const ColorMapObject* map, int transparent, std::uint32_t palette[256]) {
    const std::uint32_t black = packBgra(0, 0, 0, 255);
    for (int i = 0; i < 256; ++i) {
        palette[i] = black;
    }
    if (map && map->Colors) {
        const int count = map->ColorCount < 256 ? map->ColorCount : 256;
        for (int i = 0; i < count; ++i) {
            const GifColorType& c = map->Colors[i];
            palette[i] = packBgra(c.Red, c.Green, c.Blue, 255);
        }
    } else {
        palette[1] = packBgra(255, 255, 255, 255);
    }
    if (transparent >= 0 && transparent < 256) {
        palette[transparent] = 0;
    }
}

// Row of the frame that the k-th row of data fills.
int frameRow(int k, int height, bool interlaced) {
    if (!interlaced) {
        return k;
    }
    // Rows 0, 8, 16 ...; then 4, 12 ...; then 2, 6 ...; then 1, 3 ...
    static const int start[4] = {0, 4, 2, 1};
    static const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            start[pass] < height ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (k < rows) {
            return start[pass] + k * step[pass];
        }
        k -= rows;
    }
    return height; // not reached for k < height
}

// Reads the extension records before the first image; returns the
// transparent index of the last graphic control extension, or -1.
int readExtension(GifFileType* gif, int transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
        failGif(gif->Error);
    }
    if (code == GRAPHICS_EXT_FUNC_CODE && block) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
            transparent = gcb.TransparentColor;
        }
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
            failGif(gif->Error);
        }
    }
    return transparent;
}

} // namespace

void decodeGif(const unsigned char* data, std::size_t size, Decoded& out) {
    MemoryReader reader{data, size, 0};
    int error = 0;
    GifCloser closer{DGifOpen(&reader, readFromMemory, &error)};
    GifFileType* gif = closer.gif;
    if (!gif) {
        failGif(error);
    }
    // giflib reads the sides as unsigned 16-bit values.
    const unsigned screenWidth = static_cast<unsigned>(gif->SWidth);
    const unsigned screenHeight = static_cast<unsigned>(gif->SHeight);
    checkClaimedSize(screenWidth, screenHeight, size, kGifPixelsPerByte);

    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            failGif(gif->Error);
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            transparent = readExtension(gif, transparent);
            continue;
        }
        fail(ERR_BAD_IMAGE, "GIF: no image");
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
        failGif(gif->Error);
    }

    const GifImageDesc& frame = gif->Image;
    const std::uint64_t frameArea =
        static_cast<std::uint64_t>(std::max(frame.Width, 0)) * std::max(frame.Height, 0);
    if (frameArea > kGifFrameAreaPerScreen * screenWidth * screenHeight + kGifFrameAreaAllowance) {
        fail(ERR_TOO_LARGE, "GIF: frame far larger than the screen");
    }
    std::uint32_t palette[256];
    buildPalette(frame.ColorMap ? frame.ColorMap : gif->SColorMap, transparent, palette);
    std::uint32_t background = 0;
    if (gif->SColorMap && gif->SBackGroundColor >= 0 &&
        gif->SBackGroundColor < gif->SColorMap->ColorCount) {
        const GifColorType& c = gif->SColorMap->Colors[gif->SBackGroundColor];
        background = packBgra(c.Red, c.Green, c.Blue, 0);
    }

    const std::size_t screenPixels = std::size_t{screenWidth} * screenHeight;
    MallocBlock block(screenPixels * 4);
    std::uint32_t* screen = reinterpret_cast<std::uint32_t*>(block.get());
    for (std::size_t i = 0; i < screenPixels; ++i) {
        screen[i] = background;
    }

    // The part of the frame on the screen: columns [left, left + columns),
    // frame rows [0, rows).
    const int left = frame.Left;
    const int top = frame.Top;
    const int frameWidth = frame.Width;
    const int frameHeight = frame.Height;
    int columns = 0;
    int rows = 0;
    if (frameWidth > 0 && frameHeight > 0 && left >= 0 && top >= 0 &&
        static_cast<unsigned>(left) < screenWidth && static_cast<unsigned>(top) < screenHeight) {
        columns = std::min<int>(frameWidth, static_cast<int>(screenWidth) - left);
        rows = std::min<int>(frameHeight, static_cast<int>(screenHeight) - top);
    }

    // Rows arrive in file order; decoding stops once every row that shows
    // has arrived, so a frame far larger than the screen costs no more
    // than its visible part.
    std::vector<GifPixelType> line(rows > 0 ? static_cast<std::size_t>(frameWidth) : 0);
    int shown = 0;
    for (int k = 0; shown < rows && k < frameHeight; ++k) {
        if (DGifGetLine(gif, line.data(), frameWidth) == GIF_ERROR) {
            failGif(gif->Error);
        }
        const int r = frameRow(k, frameHeight, frame.Interlace);
        if (r >= rows) {
            continue;
        }
        std::uint32_t* dst = screen + static_cast<std::size_t>(top + r) * screenWidth + left;
        for (int x = 0; x < columns; ++x) {
            dst[x] = palette[line[static_cast<std::size_t>(x)]];
        }
        ++shown;
    }

    out.width = screenWidth;
    out.height = screenHeight;
    out.resolutionX = 0.0;
    out.resolutionY = 0.0;
    out.pixels.adopt(block.release());
}

} // namespace TalvoImage::detail
