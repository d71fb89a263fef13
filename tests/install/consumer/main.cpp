// SPDX-License-Identifier: MIT
// A program outside the library's tree, built against an installed copy.

#include <vorn/vorn.h>

#include <cstdio>
#include <cstring>

// The GDI interop, where the library was built with the in-memory GDI
// (VORN_WITH_GDI_STANDIN, which passes VORN_GDI_STANDIN on): the program
// makes its calls as it would on Windows.
#if defined(VORN_GDI_STANDIN)
#include <vorn/gdi.h>
#define VORN_CONSUMER_GDI 1
#endif

int main() {
    if (std::strcmp(vornVersion(), VORN_VERSION_STRING) != 0) {
        std::printf("headers %s, library %s\n", VORN_VERSION_STRING, vornVersion());
        return 1;
    }
    VornBuffer* image = VornBuffer::Build(4, 4, nullptr);
    if (!image) {
        return 1;
    }
    image->fill(255, 0, 0, 255);
    VornBuffer* spot = VornBuffer::Build(1, 1, nullptr);
    spot->fill(0, 0, 255, 128);
    image->blend(spot, 1, 1);
    const _VORNRGBAQUAD p = *image->getPixel(1, 1);
    const _VORNHLSAQUAD hls = RGBtoHLS(*image->getPixel(0, 0));
#if defined(VORN_CONSUMER_GDI)
    HBITMAP section = bufferToBitmap(image);
    VornBuffer* back = bitmapToBufferWithAlpha(section);
    const bool gdiOk = section != nullptr && back != nullptr &&
                       back->getPixel(1, 1)->red == p.red && DeleteObject(section);
    VornBuffer::Destroy(back);
    if (!gdiOk) {
        std::printf("unexpected GDI round trip\n");
        return 1;
    }
#endif
    VornBuffer::Destroy(spot);
    VornBuffer::Destroy(image);
    // Red under half-transparent blue: the blue takes weight 129 of 256.
    if (p.red != 126 || p.blue != 128 || p.alpha != 255 || hls.hue != 0) {
        std::printf("unexpected pixel\n");
        return 1;
    }
    std::printf("vorn consumer ok (version %s)\n", vornVersion());
    return 0;
}
