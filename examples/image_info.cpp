// SPDX-License-Identifier: MIT
// Prints what the library sees in image files: format, size, density and
// background colour.
//
//   image_info FILE...

#include <vorn/vorn.h>

#include <cstdio>

namespace {

const char* formatName(int format) {
    switch (format) {
    case 1:
        return "JPEG";
    case 2:
        return "PNG";
    case 3:
        return "BMP";
    case 4:
        return "GIF";
    default:
        return "not recognised";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: image_info FILE...\n");
        return 2;
    }
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        const char* path = argv[i];
        const int format = VornBuffer::GetFormat(path);
        VornBuffer* image = VornBuffer::Read(path);
        if (!image) {
            std::printf("%s: %s, cannot be read\n", path, formatName(format));
            ++failures;
            continue;
        }
        std::printf("%s: %s, %d x %d pixels, %d x %d pixels per metre (%d x %d per inch)", path,
                    formatName(format), image->getWidth(), image->getHeight(),
                    image->getPixelsPerMetreX(), image->getPixelsPerMetreY(),
                    image->getPixelsPerInchX(), image->getPixelsPerInchY());
        unsigned char red;
        unsigned char green;
        unsigned char blue;
        if (image->getBackground(&red, &green, &blue)) {
            std::printf(", background %d %d %d", red, green, blue);
        }
        std::printf("\n");
        VornBuffer::Destroy(image);
    }
    return failures == 0 ? 0 : 1;
}
