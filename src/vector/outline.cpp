// SPDX-License-Identifier: MIT
// Polylines and polygon outlines: sequences of one-pixel segments, each
// drawn, clipped on its own, exactly as a single line.

#include "vector/vector.h"

using vorn::detail::packColour;

int VornBuffer::strokePolyline(const _VORNPOINT* points, int count, unsigned char red,
                               unsigned char green, unsigned char blue, unsigned char alpha) {
    return strokePolyline(points, count, red, green, blue, alpha, 0);
}

int VornBuffer::strokePolyline(const _VORNPOINT* points, int count, unsigned char red,
                               unsigned char green, unsigned char blue, unsigned char alpha,
                               int antiAlias) {
    if (!points) {
        return 0;
    }
    if (count < 2) {
        return 0;
    }
    const _VORNRGBAQUAD colour = packColour(red, green, blue, alpha);
    // Each segment gets its own copies of the points: a point clipped for
    // one segment is whole again for the next.
    for (int i = 0; i + 1 < count; ++i) {
        strokeLine(points[i], points[i + 1], colour, antiAlias);
    }
    return 0;
}

int VornBuffer::strokePolygon(const _VORNPOINT* points, const int* sizes, int contours,
                              unsigned char red, unsigned char green, unsigned char blue,
                              unsigned char alpha) {
    return strokePolygon(points, sizes, contours, red, green, blue, alpha, 0);
}

int VornBuffer::strokePolygon(const _VORNPOINT* points, const int* sizes, int contours,
                              unsigned char red, unsigned char green, unsigned char blue,
                              unsigned char alpha, int antiAlias) {
    if (!points) {
        return 0;
    }
    if (!sizes) {
        return 0;
    }
    const _VORNRGBAQUAD colour = packColour(red, green, blue, alpha);
    const _VORNPOINT* contour = points;
    for (int k = 0; k < contours; ++k) {
        const int n = sizes[k];
        // A contour without points draws nothing and does not move the
        // position, so nothing before or after the caller's points is read.
        if (n < 1) {
            continue;
        }
        for (int i = 0; i + 1 < n; ++i) {
            strokeLine(contour[i], contour[i + 1], colour, antiAlias);
        }
        // The closing segment; for one point it plots that point.
        strokeLine(contour[n - 1], contour[0], colour, antiAlias);
        contour += n;
    }
    return 0;
}

int VornBuffer::strokeLoop(const _VORNPOINT* points, int count, _VORNRGBAQUAD colour,
                           int antiAlias) {
    if (!points) {
        return 0;
    }
    if (count < 1) {
        return 0;
    }
    for (int i = 0; i + 1 < count; ++i) {
        strokeLine(points[i], points[i + 1], colour, antiAlias);
    }
    strokeLine(points[count - 1], points[0], colour, antiAlias);
    return 0;
}
