// SPDX-License-Identifier: MIT
// Helpers of the line and polygon tests: polygons written as lists of
// contours, the fills called on them, and the scan converter's cells.
#ifndef VORN_TESTS_VECTOR_VECTOR_TEST_H
#define VORN_TESTS_VECTOR_VECTOR_TEST_H

#include "vector/vector.h"
#include "vorn_test.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

inline _VORNPOINT pt(int x, int y) {
    return _VORNPOINT{x, y};
}

const _VORNRGBAQUAD kClear = rgba(0, 0, 0, 0);

/// Contours one after another, as the polygon members take them.
struct Polygon {
    std::vector<_VORNPOINT> points;
    std::vector<int> sizes;

    Polygon() = default;
    Polygon(std::initializer_list<std::initializer_list<_VORNPOINT>> contours) {
        for (const auto& c : contours) {
            add(std::vector<_VORNPOINT>(c));
        }
    }
    void add(const std::vector<_VORNPOINT>& contour) {
        points.insert(points.end(), contour.begin(), contour.end());
        sizes.push_back(static_cast<int>(contour.size()));
    }
    int contours() const { return static_cast<int>(sizes.size()); }
};

// The public fills and their plain twins on a Polygon.
inline int fill(VornBuffer& b, const Polygon& p, _VORNRGBAQUAD c, int mode = 0) {
    return b.fillPolygon(p.points.data(), p.sizes.data(), p.contours(), c.red, c.green, c.blue,
                         c.alpha, mode);
}
inline int fillReference(VornBuffer& b, const Polygon& p, _VORNRGBAQUAD c, int mode = 0) {
    return vorn::detail::fillPolygonReference(b, p.points.data(), p.sizes.data(), p.contours(), c,
                                              mode);
}
inline int fillBlend(VornBuffer& b, const Polygon& p, _VORNRGBAQUAD c) {
    return b.fillPolygonBlend(p.points.data(), p.sizes.data(), p.contours(), c.red, c.green, c.blue,
                              c.alpha);
}
inline int fillBlendReference(VornBuffer& b, const Polygon& p, _VORNRGBAQUAD c) {
    return vorn::detail::fillPolygonBlendReference(b, p.points.data(), p.sizes.data(), p.contours(),
                                                   c);
}
inline int fillBitmap(VornBuffer& b, const Polygon& p, const VornBuffer* t, unsigned char opacity) {
    return b.fillPolygonBitmap(p.points.data(), p.sizes.data(), p.contours(), t, opacity);
}
inline int fillBitmapReference(VornBuffer& b, const Polygon& p, const VornBuffer* t,
                               unsigned char opacity) {
    return vorn::detail::fillPolygonBitmapReference(b, p.points.data(), p.sizes.data(),
                                                    p.contours(), t, opacity);
}

/// A picture as `picture` draws it, written as one string with the rows
/// separated by '|'.
inline std::string grid(const std::string& rows) {
    std::string out = rows + "\n";
    std::replace(out.begin(), out.end(), '|', '\n');
    return out;
}

/// Expects pixel (x, y) of `b` to be expected(x, y), for every pixel.
template <typename Expected>
void expectPixels(const VornBuffer& b, Expected expected, const std::string& what = "") {
    for (int y = 0; y < b.getHeight(); ++y) {
        for (int x = 0; x < b.getWidth(); ++x) {
            EXPECT_EQ(at(b, x, y), expected(x, y)) << what << " at " << x << ", " << y;
        }
    }
}

/// A buffer whose pixels all differ, with alpha spread over the range.
inline BufferPtr patterned(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            *b->getPixel(x, y) =
                rgba(x * 20 + 3, y * 20 + 7, (x * y) & 255, (x * 37 + y * 11) & 255);
        }
    }
    return b;
}

/// The edgeMap cells of a buffer, row-major.
inline std::vector<unsigned short> cells(VornBuffer& b) {
    const unsigned short* map = Access::edgeMapOf(b);
    return std::vector<unsigned short>(map, map + static_cast<std::size_t>(b.getWidth()) *
                                                      b.getHeight());
}

/// The rowCarry cells of a buffer, one per row.
inline std::vector<unsigned short> carries(VornBuffer& b) {
    const unsigned short* carry = Access::rowCarryOf(b);
    return std::vector<unsigned short>(carry, carry + b.getHeight());
}

#endif
