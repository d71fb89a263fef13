// SPDX-License-Identifier: MIT
// The README's first example: build a buffer, composite a translucent square
// onto it, look at a pixel, release everything.

#include <vorn/vorn.h>

#include <cstdio>

int main() {
    VornBuffer* canvas = VornBuffer::Build(64, 64, nullptr); // transparent black
    canvas->fill(255, 255, 255, 255);                        // opaque white

    VornBuffer* square = VornBuffer::Build(16, 16, nullptr);
    square->fill(0, 96, 255, 160); // red, green, blue, alpha
    canvas->blend(square, 24, 24); // alpha-blend it at (24, 24)

    const _VORNRGBAQUAD* p = canvas->getPixel(30, 30);
    std::printf("pixel (30, 30): red %d green %d blue %d alpha %d\n", p->red, p->green, p->blue,
                p->alpha);

    VornBuffer::Destroy(square);
    VornBuffer::Destroy(canvas);
    return 0;
}
