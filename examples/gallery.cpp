// SPDX-License-Identifier: MIT
// The gallery: a poster of what the library draws, written as PNG and BMP.
//
//   gallery [folder]     writes folder/gallery.png and folder/gallery.bmp
//                        (folder "out" by default) and prints their paths

#include "gallery_poster.h"

#include <vorn/vorn.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "out";
    VornBuffer* poster = drawGalleryPoster(folder);
    const std::string png = folder + "/gallery.png";
    const std::string bmp = folder + "/gallery.bmp";
    const bool written = poster->write(png.c_str()) == 0 && poster->write(bmp.c_str()) == 0;
    VornBuffer::Destroy(poster);
    if (!written) {
        std::fprintf(stderr, "gallery: cannot write into %s\n", folder.c_str());
        return 1;
    }
    std::printf("%s\n%s\n", png.c_str(), bmp.c_str());
    return 0;
}
