// SPDX-License-Identifier: MIT
// Converts an image file into another format.
//
//   image_convert INPUT OUTPUT [FORMAT]
//
// The input's format is found from its content; the output's from its
// extension (.png, .bmp, .jpg) unless FORMAT is given (1 JPEG, 2 PNG,
// 3 BMP). Writing BMP flattens transparency onto the image's background
// colour (black without one).

#include <vorn/vorn.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: image_convert INPUT OUTPUT [FORMAT]\n");
        return 2;
    }
    const int format = argc == 4 ? std::atoi(argv[3]) : 0;
    VornBuffer* image = VornBuffer::Read(argv[1]);
    if (!image) {
        std::fprintf(stderr, "image_convert: cannot read %s\n", argv[1]);
        return 1;
    }
    const int result = image->write(argv[2], format);
    if (result == 0) {
        std::printf("%s (%d x %d) -> %s\n", argv[1], image->getWidth(), image->getHeight(),
                    argv[2]);
    } else {
        std::fprintf(stderr, "image_convert: cannot write %s\n", argv[2]);
    }
    VornBuffer::Destroy(image);
    return result == 0 ? 0 : 1;
}
