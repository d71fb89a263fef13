// SPDX-License-Identifier: MIT
// Helpers of the shape tests: tables of drawings with the pictures they must
// give, and the internal rasteriser's canvas over a test buffer.
#ifndef VORN_TESTS_SHAPES_SHAPE_TEST_H
#define VORN_TESTS_SHAPES_SHAPE_TEST_H

#include "shapes/shapes.h"
#include "vorn_test.h"

#include <functional>
#include <string>
#include <vector>

inline _VORNPOINT pt(int x, int y) {
    return _VORNPOINT{x, y};
}

inline vorn::detail::Canvas canvasOf(VornBuffer& b) {
    return vorn::detail::Canvas{b.getPixels(), b.getWidth(), b.getHeight()};
}

/// Drawings made with red 10, green 20, blue 30 and alpha 0, each into a
/// width x height buffer of its own, and their pictures side by side, one
/// space apart ('#' painted).
struct Worked {
    int width;
    int height;
    std::vector<std::function<int(VornBuffer&)>> draws;
    std::string expected;
};

/// Draws each case over opaque white: the painted pixels must form the
/// pictures and hold exactly the colour, alpha 0 included (the shapes
/// overwrite; a blend would leave the white).
inline void expectPictures(const std::vector<Worked>& cases) {
    const _VORNRGBAQUAD white = rgba(255, 255, 255, 255);
    for (const Worked& c : cases) {
        std::vector<std::string> lines(static_cast<std::size_t>(c.height));
        for (const auto& draw : c.draws) {
            BufferPtr b = makeFilled(c.width, c.height, white);
            EXPECT_EQ(draw(*b), 0);
            const std::string drawn = picture(*b, white);
            for (std::size_t y = 0; y < lines.size(); ++y) {
                lines[y] +=
                    (lines[y].empty() ? "" : " ") + drawn.substr(y * (c.width + 1), c.width);
            }
            for (const auto& [x, y] : changedPixels(*b, white)) {
                ASSERT_EQ(at(*b, x, y), rgba(10, 20, 30, 0)) << x << ", " << y;
            }
        }
        std::string all;
        for (const std::string& line : lines) {
            all += line + "\n";
        }
        EXPECT_EQ(all, c.expected);
    }
}

#endif
