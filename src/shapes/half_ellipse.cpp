// SPDX-License-Identifier: MIT
// Half ellipses and half circles: the outline of the ellipse trace with only
// the two points of one side plotted at each step.

#include "shapes/shapes.h"

using namespace vorn::detail;

int VornBuffer::drawHalfEllipse(const _VORNPOINT& p1, const _VORNPOINT& p2, unsigned char red,
                                unsigned char green, unsigned char blue, unsigned char alpha,
                                int side) {
    // The centre row (offset 0) is plotted by both halves, so the two
    // halves of one ellipse together give exactly its outline.
    rasteriseEllipse(Canvas{pixels, width, height}, p1, p2,
                     side != 0 ? EllipseMode::UpperHalf : EllipseMode::LowerHalf,
                     packColour(red, green, blue, alpha));
    return 0;
}

int VornBuffer::drawHalfCircle(const _VORNPOINT& centre, double radius, unsigned char red,
                               unsigned char green, unsigned char blue, unsigned char alpha,
                               int side) {
    _VORNPOINT p1;
    _VORNPOINT p2;
    if (!circleBox(centre, radius, p1, p2)) {
        return 0;
    }
    return drawHalfEllipse(p1, p2, red, green, blue, alpha, side);
}
