// SPDX-License-Identifier: MIT
// The pictures of the guide (docs/guide.md): the code of each section, run.
//
//   guide_pictures FOLDER    writes drawing.png, compositing.png,
//                            resampling.png and files.jpg into FOLDER
//
// The guide shows the code between the "//! [name]" markers as it stands
// here (Doxygen's \snippet), so what it shows is what drew its pictures.

#include <vorn/vorn.h>

#include <cstdio>
#include <string>

namespace {

bool drawing(const std::string& folder) {
    //! [drawing]
    VornBuffer* canvas = VornBuffer::Build(240, 160); // transparent black
    canvas->fill(255, 255, 255, 255);                 // opaque white

    // A polygon of two contours, one after the other in `points`: the
    // second cuts a hole into the first. Blended at alpha 200.
    const _VORNPOINT points[] = {{20, 15}, {120, 15}, {120, 95}, {20, 95},
                                 {50, 40}, {90, 40},  {90, 70},  {50, 70}};
    const int sizes[] = {4, 4};
    canvas->fillPolygonBlend(points, sizes, 2, 30, 110, 220, 200);

    // Circles and ellipses overwrite the pixels they cover.
    canvas->fillCircle({180, 50}, 30.0, 250, 190, 20, 255);
    canvas->drawEllipse({135, 10}, {235, 100}, 20, 120, 40, 255);

    // Lines: aliased, anti-aliased (last argument not 0), dashed.
    canvas->drawSolidLine({10, 115}, {230, 105}, 200, 40, 40, 255);
    canvas->drawSolidLine({10, 130}, {230, 120}, 200, 40, 40, 255, 1);
    canvas->drawDashedLine({10, 145}, {230, 135}, 0, 0, 0, 255);

    const int result = canvas->write((folder + "/drawing.png").c_str()); // 0 or -1
    VornBuffer::Destroy(canvas);
    //! [drawing]
    return result == 0;
}

bool compositing(const std::string& folder) {
    //! [compositing]
    VornBuffer* base = VornBuffer::Build(240, 160);
    base->fill(245, 240, 225, 255);
    for (int x = 0; x < 240; x += 40) {
        base->fillRectangleBlend({x, 0}, {x + 19, 159}, 70, 70, 90, 255); // dark stripes
    }

    VornBuffer* disc = VornBuffer::Build(100, 100); // transparent black
    disc->fillCircle({50, 50}, 45.0, 220, 30, 30, 160);

    base->blend(disc, 10, 30);           // alpha-blended, top-left at (10, 30)
    base->xorBlend(disc, 115, 30);       // colour bytes XOR the disc's
    base->blend(disc, 200, 5, 235, 155); // stretched onto a 36 x 151 rectangle

    const int result = base->write((folder + "/compositing.png").c_str());
    VornBuffer::Destroy(disc);
    VornBuffer::Destroy(base);
    //! [compositing]
    return result == 0;
}

/// A small asymmetric source picture: an "F" on a checked ground.
VornBuffer* sourcePicture() {
    VornBuffer* tile = VornBuffer::Build(24, 16);
    tile->fill(235, 235, 235, 255);
    for (int y = 0; y < 16; y += 4) {
        for (int x = (y / 4) % 2 * 4; x < 24; x += 8) {
            tile->fillRectangleBlend({x, y}, {x + 3, y + 3}, 150, 190, 230, 255);
        }
    }
    tile->fillRectangleBlend({6, 2}, {8, 13}, 200, 30, 30, 255);
    tile->fillRectangleBlend({9, 2}, {16, 4}, 200, 30, 30, 255);
    tile->fillRectangleBlend({9, 7}, {14, 8}, 200, 30, 30, 255);
    return tile;
}

bool resampling(const std::string& folder) {
    VornBuffer* tile = sourcePicture();
    //! [resampling]
    // resize fills a buffer that the caller built at the size it wants.
    VornBuffer* large = VornBuffer::Build(72, 48);
    tile->resize(large); // three times larger, interpolated

    // rotateBuffer returns a new buffer, large enough for the turned image.
    VornBuffer* turned = large->rotateBuffer(30); // 30 degrees clockwise

    // warp paints the source over a mesh of 3 x 2 destination points.
    VornBuffer* bent = VornBuffer::Build(80, 60);
    const _VORNPOINT grid[] = {{0, 12}, {40, 0}, {79, 12}, {6, 59}, {40, 45}, {73, 59}};
    large->warp(bent, grid, 3, 2);
    //! [resampling]

    VornBuffer* poster = VornBuffer::Build(304, 96);
    poster->fill(255, 255, 255, 255);
    poster->blend(tile, 6, 40);
    poster->blend(large, 40, 24);
    poster->blend(turned, 122, 6);
    poster->blend(bent, 218, 18);
    const int result = poster->write((folder + "/resampling.png").c_str());
    for (VornBuffer* b : {tile, large, turned, bent, poster}) {
        VornBuffer::Destroy(b);
    }
    return result == 0;
}

bool files(const std::string& folder) {
    //! [files]
    const std::string png = folder + "/drawing.png";
    const int format = VornBuffer::GetFormat(png.c_str()); // 2: PNG, by its signature
    VornBuffer* image = VornBuffer::Read(png.c_str());     // null when unreadable
    if (image == nullptr) {
        return false;
    }
    // JPEG has no alpha: pixels that are not opaque are flattened onto
    // the background colour (black unless one is set).
    image->setBackground(255, 255, 255);
    const int result = image->write((folder + "/files.jpg").c_str()); // by the extension
    VornBuffer::Destroy(image);
    //! [files]
    return format == 2 && result == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: guide_pictures FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!drawing(folder) || !compositing(folder) || !resampling(folder) || !files(folder)) {
        std::fprintf(stderr, "guide_pictures: cannot write into %s\n", folder.c_str());
        return 1;
    }
    std::printf("%s/drawing.png, compositing.png, resampling.png, files.jpg\n", folder.c_str());
    return 0;
}
