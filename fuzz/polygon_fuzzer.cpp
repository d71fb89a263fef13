// SPDX-License-Identifier: MIT
// Fuzz target: the polygon fills. Each input is a buffer, two polygons and
// their fills (every mode of fillPolygon, the blended and the textured
// fill); the span scan converter that the public members use must give
// the bytes of the plain scan converter, fill after fill on the same work
// areas.

#include "geometry_input.h"
#include "vector/vector.h"

#include <cstring>
#include <vector>

namespace {

struct Buffers {
    VornBuffer* fast;
    VornBuffer* plain;
    ~Buffers() {
        VornBuffer::Destroy(fast);
        VornBuffer::Destroy(plain);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ParameterReader in(data, size);
    const int w = in.intIn(1, 48);
    const int h = in.intIn(1, 48);
    Buffers b{VornBuffer::Build(w, h, nullptr), VornBuffer::Build(w, h, nullptr)};
    for (int i = 0; i < w * h; ++i) {
        b.fast->getPixels()[i] = in.pixel();
    }
    std::memcpy(b.plain->getPixels(), b.fast->getPixels(), static_cast<std::size_t>(w) * h * 4);
    VornBuffer* texture = VornBuffer::Build(in.intIn(1, 5), in.intIn(1, 5), nullptr);
    for (int i = 0; i < texture->getWidth() * texture->getHeight(); ++i) {
        texture->getPixels()[i] = in.pixel();
    }
    for (int fill = 0; fill < 2; ++fill) {
        // The plain converter walks every step of an edge, so vertices stay
        // within a few thousand pixels of the buffer.
        const int contours = in.intIn(1, 4);
        std::vector<int> sizes;
        std::vector<_VORNPOINT> points;
        for (int c = 0; c < contours; ++c) {
            const int n = in.intIn(c == 0 ? 1 : -1, 9);
            sizes.push_back(n);
            for (int k = 0; k < n; ++k) {
                const bool far = in.byte() % 8 == 0;
                points.push_back({far ? in.intIn(-3000, 3000) : in.intIn(-6, w + 6),
                                  far ? in.intIn(-3000, 3000) : in.intIn(-6, h + 6)});
            }
        }
        const _VORNRGBAQUAD c = in.pixel();
        const unsigned kind = in.byte() % 6;
        const int modes[] = {0, 4, 5, 9};
        int fast = 0;
        int plain = 0;
        if (kind < 4) {
            fast = b.fast->fillPolygon(points.data(), sizes.data(), contours, c.red, c.green,
                                       c.blue, c.alpha, modes[kind]);
            plain = vorn::detail::fillPolygonReference(*b.plain, points.data(), sizes.data(),
                                                       contours, c, modes[kind]);
        } else if (kind == 4) {
            fast = b.fast->fillPolygonBlend(points.data(), sizes.data(), contours, c.red, c.green,
                                            c.blue, c.alpha);
            plain = vorn::detail::fillPolygonBlendReference(*b.plain, points.data(), sizes.data(),
                                                            contours, c);
        } else {
            fast =
                b.fast->fillPolygonBitmap(points.data(), sizes.data(), contours, texture, c.alpha);
            plain = vorn::detail::fillPolygonBitmapReference(*b.plain, points.data(), sizes.data(),
                                                             contours, texture, c.alpha);
        }
        if (fast != plain || std::memcmp(b.fast->getPixels(), b.plain->getPixels(),
                                         static_cast<std::size_t>(w) * h * 4) != 0) {
            fail("polygon", "the span fill differs from the plain fill, kind " +
                                std::to_string(kind) + ", fill " + std::to_string(fill));
        }
    }
    VornBuffer::Destroy(texture);
    return 0;
}
