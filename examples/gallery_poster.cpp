// SPDX-License-Identifier: MIT
// The gallery poster: a picture of what the library draws, shared by the
// gallery example and the `vorn gallery` command.
//
// Every panel is drawn into a buffer of its own and laid onto the poster
// with the library's compositing, so each one shows a feature on its own.
// Lettering uses a small 5 x 7 pixel font kept in this file.

#include "gallery_poster.h"

#include <vorn/vorn.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Small helpers over the public interface
// ---------------------------------------------------------------------------

/// Owns a buffer for the length of a scope.
class Image {
public:
    Image(int width, int height) : buffer_(VornBuffer::Build(width, height, nullptr)) {}
    explicit Image(VornBuffer* adopted) : buffer_(adopted) {}
    ~Image() { VornBuffer::Destroy(buffer_); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    VornBuffer* get() const { return buffer_; }
    VornBuffer* operator->() const { return buffer_; }
    VornBuffer& operator*() const { return *buffer_; }
    explicit operator bool() const { return buffer_ != nullptr; }

private:
    VornBuffer* buffer_;
};

_VORNRGBAQUAD colour(int red, int green, int blue, int alpha = 255) {
    _VORNRGBAQUAD c;
    c.red = static_cast<unsigned char>(red);
    c.green = static_cast<unsigned char>(green);
    c.blue = static_cast<unsigned char>(blue);
    c.alpha = static_cast<unsigned char>(alpha);
    return c;
}

unsigned char clampByte(double v) {
    return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5);
}

/// Writes a pixel directly (the buffer's pixels are the caller's to use).
void put(VornBuffer& b, int x, int y, _VORNRGBAQUAD c) {
    if (_VORNRGBAQUAD* p = b.getPixel(x, y)) {
        *p = c;
    }
}

/// A buffer of one colour, laid over `dst` at (x, y) with the pixel blend.
void blendRect(VornBuffer& dst, int x, int y, int w, int h, _VORNRGBAQUAD c) {
    if (w < 1 || h < 1) {
        return;
    }
    Image patch(w, h);
    patch->fill(c.red, c.green, c.blue, c.alpha);
    dst.blend(patch.get(), x, y);
}

/// A disc with a soft (anti-aliased) edge, as a buffer of its own.
VornBuffer* disc(double radius, _VORNRGBAQUAD c) {
    const int size = static_cast<int>(std::ceil(radius * 2)) + 2;
    VornBuffer* b = VornBuffer::Build(size, size, nullptr);
    const double centre = size / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
            const double cover = std::fmin(1.0, std::fmax(0.0, radius + 0.5 - d));
            if (cover > 0) {
                put(*b, x, y, colour(c.red, c.green, c.blue, clampByte(c.alpha * cover)));
            }
        }
    }
    return b;
}

/// A grey checkerboard, the usual backdrop that shows transparency.
void checker(VornBuffer& b, int cell, _VORNRGBAQUAD light, _VORNRGBAQUAD dark) {
    for (int y = 0; y < b.getHeight(); ++y) {
        for (int x = 0; x < b.getWidth(); ++x) {
            put(b, x, y, ((x / cell) + (y / cell)) % 2 ? dark : light);
        }
    }
}

// ---------------------------------------------------------------------------
// Lettering: a 5 x 7 pixel font, one byte per row, bit 4 the left column
// ---------------------------------------------------------------------------

struct Glyph {
    char c;
    unsigned char rows[7];
};

const Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'&', {0x0C, 0x12, 0x14, 0x08, 0x15, 0x12, 0x0D}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* glyphOf(char c) {
    if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
    }
    for (const Glyph& g : kFont) {
        if (g.c == c) {
            return &g;
        }
    }
    return nullptr;
}

/// The text in `c` at `scale` pixels per font pixel, on a clear buffer.
VornBuffer* lettering(const std::string& text, int scale, _VORNRGBAQUAD c) {
    const int advance = 6 * scale;
    const int width = static_cast<int>(text.size()) * advance;
    VornBuffer* b = VornBuffer::Build(width > 0 ? width : 1, 7 * scale, nullptr);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* g = glyphOf(text[i]);
        if (!g) {
            continue;
        }
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (!(g->rows[row] & (0x10 >> col))) {
                    continue;
                }
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        put(*b, static_cast<int>(i) * advance + col * scale + dx, row * scale + dy,
                            c);
                    }
                }
            }
        }
    }
    return b;
}

/// Lays text with a soft shadow over `dst` at (x, y).
void writeText(VornBuffer& dst, int x, int y, const std::string& text, int scale, _VORNRGBAQUAD c) {
    Image shadow(lettering(text, scale, colour(0, 0, 0, 110)));
    Image ink(lettering(text, scale, c));
    const int offset = scale > 1 ? scale / 2 + 1 : 1;
    dst.blend(shadow.get(), x + offset, y + offset);
    dst.blend(ink.get(), x, y);
}

// ---------------------------------------------------------------------------
// Panels
// ---------------------------------------------------------------------------

constexpr int kPanelWidth = 380;
constexpr int kPanelHeight = 300;

/// The HLS colour wheel: hue around, saturation outwards, and a ring of
/// lightness steps around it.
void drawColourWheel(VornBuffer& panel) {
    const double cx = kPanelWidth / 2.0;
    const double cy = kPanelHeight / 2.0 + 8;
    const double radius = 110;
    Image wheel(kPanelWidth, kPanelHeight);
    for (int y = 0; y < kPanelHeight; ++y) {
        for (int x = 0; x < kPanelWidth; ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double d = std::hypot(dx, dy);
            const double cover = std::fmin(1.0, std::fmax(0.0, radius + 0.5 - d));
            if (cover <= 0) {
                continue;
            }
            double angle = std::atan2(-dy, dx) / (2 * kPi);
            if (angle < 0) {
                angle += 1;
            }
            _VORNHLSAQUAD hls;
            hls.hue = static_cast<unsigned char>(angle * 240) % 240;
            hls.lightness = static_cast<unsigned char>(205 - 85 * std::fmin(1.0, d / radius));
            hls.saturation = static_cast<unsigned char>(240 * std::fmin(1.0, d / radius));
            hls.alpha = clampByte(255 * cover);
            put(*wheel, x, y, HLStoRGB(hls));
        }
    }
    // Lightness steps of one hue around the wheel.
    for (int i = 0; i < 24; ++i) {
        const double a = 2 * kPi * i / 24;
        _VORNHLSAQUAD hls;
        hls.hue = static_cast<unsigned char>(i * 10);
        hls.lightness = 120;
        hls.saturation = 240;
        hls.alpha = 255;
        const _VORNRGBAQUAD c = HLStoRGB(hls);
        Image dot(disc(6, colour(c.red, c.green, c.blue, 235)));
        panel.blend(dot.get(), static_cast<int>(cx + 128 * std::cos(a)) - 7,
                    static_cast<int>(cy - 128 * std::sin(a)) - 7);
    }
    panel.blend(wheel.get(), 0, 0);
}

/// Three translucent discs over a checkerboard: the pixel blend.
void drawAlphaBlending(VornBuffer& panel) {
    Image back(kPanelWidth - 40, kPanelHeight - 40);
    checker(*back, 16, colour(235, 235, 240), colour(200, 200, 210));
    panel.blend(back.get(), 20, 28);
    const struct {
        double x, y;
        _VORNRGBAQUAD c;
    } discs[] = {{0.36, 0.42, colour(235, 40, 80, 170)},
                 {0.64, 0.42, colour(40, 190, 90, 170)},
                 {0.50, 0.66, colour(40, 110, 240, 170)}};
    for (const auto& d : discs) {
        Image shape(disc(78, d.c));
        panel.blend(shape.get(), static_cast<int>(d.x * kPanelWidth) - 79,
                    static_cast<int>(d.y * kPanelHeight) - 79);
    }
}

/// A smooth gradient combined with rings by XOR, AND and OR.
void drawRasterOperations(VornBuffer& panel) {
    const int w = (kPanelWidth - 50) / 3;
    const int h = 200;
    Image rings(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool on = static_cast<int>(std::hypot(x - w / 2.0, y - h / 2.0) / 11) % 2 == 0;
            put(*rings, x, y, on ? colour(255, 255, 255) : colour(70, 0, 150));
        }
    }
    static const char* const names[] = {"XOR", "AND", "OR"};
    for (int k = 0; k < 3; ++k) {
        Image tile(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                put(*tile, x, y,
                    colour(clampByte(255.0 * x / w), clampByte(60 + 195.0 * y / h),
                           clampByte(255 - 200.0 * x / w)));
            }
        }
        if (k == 0) {
            tile->xorBlend(rings.get(), 0, 0);
        } else if (k == 1) {
            tile->andBlend(rings.get(), 0, 0);
        } else {
            tile->orBlend(rings.get(), 0, 0);
        }
        const int x = 15 + k * (w + 10);
        panel.blend(tile.get(), x, 44);
        const int textWidth = 12 * static_cast<int>(std::strlen(names[k])) - 2;
        writeText(panel, x + (w - textWidth) / 2, 44 + h + 16, names[k], 2, colour(255, 255, 255));
    }
}

/// A 12 x 12 sprite enlarged twice: nearest-neighbour by the stretched
/// blend, and filtered by resize.
void drawResampling(VornBuffer& panel) {
    static const char* const sprite[12] = {
        "....####....", "..########..", ".##########.", ".###.##.###.",
        "############", "############", "##.######.##", "###.####.###",
        ".###....###.", ".##########.", "..########..", "....####....",
    };
    Image small(12, 12);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            if (sprite[y][x] == '#') {
                const double t = (x + y) / 22.0;
                put(*small, x, y, colour(clampByte(250 - 60 * t), clampByte(200 - 120 * t), 40));
            } else if (sprite[y][x] == '.' && std::hypot(x - 5.5, y - 5.5) < 6.2) {
                put(*small, x, y, colour(60, 30, 20));
            }
        }
    }
    const int side = 156;
    panel.blend(small.get(), 22, 54, 22 + side - 1, 54 + side - 1);
    Image smooth(side, side);
    small->resize(smooth.get());
    panel.blend(smooth.get(), kPanelWidth - 22 - side, 54);
    writeText(panel, 22 + side / 2 - 42, 54 + side + 14, "NEAREST", 2, colour(255, 255, 255));
    writeText(panel, kPanelWidth - 22 - side / 2 - 42, 54 + side + 14, "FILTERED", 2,
              colour(255, 255, 255));
}

/// A zone plate (rings whose frequency grows outwards, in colour) reduced
/// to a half and a quarter by block averaging.
void drawReduction(VornBuffer& panel) {
    const int big = 440;
    Image fine(big, big);
    for (int y = 0; y < big; ++y) {
        for (int x = 0; x < big; ++x) {
            const double dx = x + 0.5 - big / 2.0;
            const double dy = y + 0.5 - big / 2.0;
            const double r2 = dx * dx + dy * dy;
            const double v = 0.5 + 0.5 * std::cos(0.0046 * r2);
            double angle = std::atan2(dy, dx) / (2 * kPi);
            if (angle < 0) {
                angle += 1;
            }
            _VORNHLSAQUAD hls;
            hls.hue = static_cast<unsigned char>(angle * 240) % 240;
            hls.lightness = static_cast<unsigned char>(30 + 180 * v);
            hls.saturation = 200;
            hls.alpha = 255;
            put(*fine, x, y, HLStoRGB(hls));
        }
    }
    Image half(big / 2, big / 2);
    fine->resize(half.get());
    Image quarter(big / 4, big / 4);
    fine->resize(quarter.get());
    panel.blend(half.get(), 20, 40);
    panel.blend(quarter.get(), 20 + big / 2 + 20, 40);
    writeText(panel, 20 + big / 4 - 17, 40 + big / 2 + 12, "1/2", 2, colour(255, 255, 255));
    writeText(panel, 20 + big / 2 + 20 + big / 8 - 17, 40 + big / 4 + 12, "1/4", 2,
              colour(255, 255, 255));
}

/// Filled circles, one inside the other, and outlined ellipses from wide
/// to tall.
void drawCirclesAndEllipses(VornBuffer& panel) {
    const _VORNPOINT sun = {100, 165};
    for (int i = 0; i < 8; ++i) {
        const double t = i / 7.0;
        panel.fillCircle(sun, 86 - 10 * i, clampByte(255 - 20 * t), clampByte(70 + 160 * t),
                         clampByte(60 + 40 * t), 255);
    }
    const int cx = 282;
    const int cy = 165;
    for (int i = 0; i < 10; ++i) {
        const int a = 10 + 7 * i;
        const int b = 80 - 7 * i;
        _VORNHLSAQUAD hls;
        hls.hue = static_cast<unsigned char>(120 + 8 * i);
        hls.lightness = 150;
        hls.saturation = 220;
        hls.alpha = 255;
        const _VORNRGBAQUAD c = HLStoRGB(hls);
        const _VORNPOINT p1 = {cx - a, cy - b};
        const _VORNPOINT p2 = {cx + a, cy + b};
        panel.drawEllipse(p1, p2, c.red, c.green, c.blue, 255);
    }
}

/// A rainbow of half discs (its lower half clipped away by the buffer's
/// edge), its rim traced by half circles, and rows of marker shapes.
void drawHalvesAndMarkers(VornBuffer& panel) {
    const int radius = 96;
    Image rainbow(2 * radius + 1, radius + 1);
    const _VORNPOINT centre = {radius, radius};
    for (int i = 0; i < 7; ++i) {
        _VORNHLSAQUAD hls;
        hls.hue = static_cast<unsigned char>(200 - 33 * i);
        hls.lightness = 125;
        hls.saturation = 235;
        hls.alpha = 255;
        const _VORNRGBAQUAD c = HLStoRGB(hls);
        rainbow->fillCircle(centre, radius - 8 * i, c.red, c.green, c.blue, 255);
    }
    rainbow->fillCircle(centre, radius - 56, 0, 0, 0, 0); // cuts the hole
    rainbow->drawHalfCircle(centre, radius, 255, 255, 255, 255, 1);
    rainbow->drawHalfCircle(centre, radius - 57, 255, 255, 255, 255, 1);
    panel.blend(rainbow.get(), kPanelWidth / 2 - radius, 40);

    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 6; ++i) {
            const int size = 10 + 4 * i;
            _VORNHLSAQUAD hls;
            hls.hue = static_cast<unsigned char>((40 * i + 80 * k) % 240);
            hls.lightness = 140;
            hls.saturation = 230;
            hls.alpha = 255;
            const _VORNRGBAQUAD c = HLStoRGB(hls);
            Image marker(size + 1, size + 1);
            if (k == 0) {
                marker->fillSquare(size, size, c.red, c.green, c.blue, 255);
            } else if (k == 1) {
                marker->fillTriangle(size, size, c.red, c.green, c.blue, 255);
            } else {
                marker->fillOval(size, size, c.red, c.green, c.blue, 255);
            }
            panel.blend(marker.get(), 30 + i * 56 + (34 - size) / 2,
                        160 + k * 42 + (34 - size) / 2);
        }
    }
}

/// Points on a circle: n corners, the first at `turn` (radians).
std::vector<_VORNPOINT> regularPolygon(double cx, double cy, double r, int n, double turn) {
    std::vector<_VORNPOINT> points;
    for (int i = 0; i < n; ++i) {
        const double a = turn + 2 * kPi * i / n;
        points.push_back({static_cast<int>(std::lround(cx + r * std::cos(a))),
                          static_cast<int>(std::lround(cy + r * std::sin(a)))});
    }
    return points;
}

/// A star of n points as one self-crossing contour (every second corner).
std::vector<_VORNPOINT> star(double cx, double cy, double r, int n) {
    const std::vector<_VORNPOINT> corners = regularPolygon(cx, cy, r, n, -kPi / 2);
    std::vector<_VORNPOINT> points;
    for (int i = 0; i < n; ++i) {
        points.push_back(corners[(i * 2) % n]);
    }
    return points;
}

_VORNRGBAQUAD hue(int h, int lightness = 130, int saturation = 230) {
    _VORNHLSAQUAD hls;
    hls.hue = static_cast<unsigned char>(h % 240);
    hls.lightness = static_cast<unsigned char>(lightness);
    hls.saturation = static_cast<unsigned char>(saturation);
    hls.alpha = 255;
    return HLStoRGB(hls);
}

/// Two fans of lines, anti-aliased and aliased, and dashed lines above.
void drawLines(VornBuffer& panel) {
    for (int i = 0; i < 4; ++i) {
        const _VORNRGBAQUAD c = hue(60 * i, 170);
        const _VORNPOINT a = {20, 48 + 10 * i};
        const _VORNPOINT b = {kPanelWidth - 20, 78 - 10 * i};
        panel.drawDashedLine(a, b, c.red, c.green, c.blue, 255);
    }
    for (int side = 0; side < 2; ++side) {
        const _VORNPOINT origin = {24 + side * 186, 250};
        for (int i = 0; i <= 16; ++i) {
            const double a = -kPi / 2 * i / 16;
            const _VORNRGBAQUAD c = hue(150 * i / 16);
            const _VORNPOINT end = {origin.x + static_cast<int>(std::lround(150 * std::cos(a))),
                                    origin.y + static_cast<int>(std::lround(150 * std::sin(a)))};
            panel.drawSolidLine(origin, end, c.red, c.green, c.blue, 255, side == 0);
        }
    }
    writeText(panel, 24, 266, "ANTI-ALIASED", 2, colour(255, 255, 255));
    writeText(panel, 210, 266, "ALIASED", 2, colour(255, 255, 255));
}

/// Polylines along waves, and the outlines of stars and of a ring.
void drawOutlines(VornBuffer& panel) {
    for (int k = 0; k < 3; ++k) {
        std::vector<_VORNPOINT> wave;
        for (int x = 16; x <= kPanelWidth - 16; x += 4) {
            const double y = 80 + 30 * std::sin(x / 34.0 + 2.1 * k) * std::cos(x / 150.0);
            wave.push_back({x, static_cast<int>(std::lround(y))});
        }
        const _VORNRGBAQUAD c = hue(80 * k + 20, 160);
        panel.strokePolyline(wave.data(), static_cast<int>(wave.size()), c.red, c.green, c.blue,
                             255, 1);
    }
    for (int i = 0; i < 3; ++i) {
        const std::vector<_VORNPOINT> s = star(70 + 120 * i, 210, 52 - 4 * i, 5 + 2 * i);
        const int size = static_cast<int>(s.size());
        const _VORNRGBAQUAD c = hue(160 + 30 * i, 170);
        panel.strokePolygon(s.data(), &size, 1, c.red, c.green, c.blue, 255, 1);
    }
}

/// Solid fills: a star with a pentagonal hole, a ring (a contour inside
/// another), and squares filled contour by contour in the toggling mode.
void drawPolygonFills(VornBuffer& panel) {
    std::vector<_VORNPOINT> points = star(95, 160, 90, 5);
    const std::vector<_VORNPOINT> hole = regularPolygon(95, 167, 26, 5, kPi / 2);
    points.insert(points.end(), hole.begin(), hole.end());
    const int starSizes[2] = {5, 5};
    panel.fillPolygon(points.data(), starSizes, 2, 255, 196, 40, 255, 0);

    std::vector<_VORNPOINT> ring = regularPolygon(285, 100, 60, 48, 0);
    const std::vector<_VORNPOINT> inner = regularPolygon(285, 100, 34, 48, 0);
    ring.insert(ring.end(), inner.begin(), inner.end());
    const int ringSizes[2] = {48, 48};
    panel.fillPolygon(ring.data(), ringSizes, 2, 80, 200, 255, 255, 0);

    std::vector<_VORNPOINT> squares;
    std::vector<int> sizes;
    for (int i = 0; i < 4; ++i) {
        const int x = 220 + 22 * i;
        const int y = 180 + 10 * i;
        squares.insert(squares.end(), {{x, y}, {x + 70, y}, {x + 70, y + 70}, {x, y + 70}});
        sizes.push_back(4);
    }
    panel.fillPolygon(squares.data(), sizes.data(), static_cast<int>(sizes.size()), 240, 90, 160,
                      255, 9);
}

/// Translucent hexagons and bars blended over each other, and a flower
/// filled with a tiled texture.
void drawBlendedFills(VornBuffer& panel) {
    for (int i = 0; i < 5; ++i) {
        const _VORNRGBAQUAD c = hue(48 * i, 150);
        const _VORNPOINT p1 = {16 + 62 * i, 40 + 6 * i};
        const _VORNPOINT p2 = {16 + 62 * i + 100, 40 + 6 * i + 30};
        panel.fillRectangleBlend(p1, p2, c.red, c.green, c.blue, 120);
    }
    for (int i = 0; i < 3; ++i) {
        const double a = 2 * kPi * i / 3 - kPi / 2;
        const std::vector<_VORNPOINT> hexagon =
            regularPolygon(100 + 34 * std::cos(a), 192 + 34 * std::sin(a), 56, 6, 0);
        const int size = 6;
        const _VORNRGBAQUAD c = hue(80 * i);
        panel.fillPolygonBlend(hexagon.data(), &size, 1, c.red, c.green, c.blue, 150);
    }

    Image texture(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool dot = std::hypot(x - 7.5, y - 7.5) < 5;
            put(*texture, x, y, dot ? hue(20 + 4 * y, 150) : colour(40, 30, 90, 220));
        }
    }
    std::vector<_VORNPOINT> flower;
    for (int i = 0; i < 72; ++i) {
        const double a = 2 * kPi * i / 72;
        const double r = 70 + 26 * std::cos(5 * a);
        flower.push_back({static_cast<int>(std::lround(285 + r * std::cos(a))),
                          static_cast<int>(std::lround(196 + r * std::sin(a)))});
    }
    const int size = static_cast<int>(flower.size());
    panel.fillPolygonBitmap(flower.data(), &size, 1, texture.get(), 255);
    panel.strokePolygon(flower.data(), &size, 1, 255, 255, 255, 200, 1);
}

/// A small card to turn and bend: a diagonal gradient with a frame and a
/// large letter, so that its orientation shows.
VornBuffer* card(int w, int h, int hueBase) {
    VornBuffer* b = VornBuffer::Build(w, h, nullptr);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool frame = x < 3 || y < 3 || x >= w - 3 || y >= h - 3;
            put(*b, x, y,
                frame ? colour(255, 255, 255)
                      : hue(hueBase + 60 * (x + y) / (w + h), 110 + 50 * y / h, 200));
        }
    }
    Image letter(lettering("F", h / 10, colour(255, 255, 255)));
    b->blend(letter.get(), w / 2 - 3 * (h / 10), h / 2 - 7 * (h / 10) / 2);
    return b;
}

/// A card turned by whole degrees: each turn is a new, larger buffer.
void drawRotation(VornBuffer& panel) {
    Image source(card(96, 64, 140));
    const int angles[] = {0, 30, 75, 135, 200, 290};
    for (int i = 0; i < 6; ++i) {
        Image turned(source->rotateBuffer(angles[i]));
        if (!turned) {
            continue;
        }
        const int cx = 70 + (i % 3) * 120;
        const int cy = 105 + (i / 3) * 125;
        panel.blend(turned.get(), cx - turned->getWidth() / 2, cy - turned->getHeight() / 2);
    }
}

/// A card and the zone of rings painted over bent meshes.
void drawWarp(VornBuffer& panel) {
    Image source(card(120, 80, 20));
    const int nx = 9;
    const int ny = 7;
    std::vector<_VORNPOINT> grid;
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            const double u = i / static_cast<double>(nx - 1);
            const double v = j / static_cast<double>(ny - 1);
            // A flag in the wind: columns sway, rows wave.
            const double x = 30 + 320 * u + 14 * std::sin(3 * kPi * v + 2 * u);
            const double y = 55 + 200 * v + 26 * std::sin(2 * kPi * u) * (0.3 + u);
            grid.push_back({static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))});
        }
    }
    source->warp(&panel, grid.data(), nx, ny);
}

/// The opening panel: what the library is, in a few lines.
void drawAbout(VornBuffer& panel) {
    const char* const lines[] = {"32-bit BGRA buffers",    "exact integer blending",
                                 "shapes, lines, fills",   "resize, rotate, warp",
                                 "BMP, PNG, JPEG and GIF", "Windows GDI interop"};
    int y = 44;
    for (const char* line : lines) {
        blendRect(panel, 22, y + 4, 8, 8, colour(255, 200, 90));
        writeText(panel, 42, y, line, 2, colour(225, 230, 255));
        y += 38;
    }
}

/// A translucent picture written as PNG and as BMP and read back: PNG
/// keeps alpha, BMP flattens onto the background colour.
void drawFiles(VornBuffer& panel, const std::string& folder) {
    const int side = 150;
    Image art(side, side);
    for (int i = 0; i < 6; ++i) {
        _VORNHLSAQUAD hls;
        hls.hue = static_cast<unsigned char>(i * 40);
        hls.lightness = 130;
        hls.saturation = 220;
        hls.alpha = 255;
        const _VORNRGBAQUAD c = HLStoRGB(hls);
        Image dot(disc(34, colour(c.red, c.green, c.blue, 190)));
        const double a = 2 * kPi * i / 6;
        art->blend(dot.get(), static_cast<int>(side / 2 + 40 * std::cos(a)) - 35,
                   static_cast<int>(side / 2 + 40 * std::sin(a)) - 35);
    }
    art->setBackground(250, 240, 200);

    const std::string png = folder + "/gallery-part.png";
    const std::string bmp = folder + "/gallery-part.bmp";
    Image backdrop(side, side);
    checker(*backdrop, 10, colour(235, 235, 240), colour(200, 200, 210));
    int x = 24;
    for (const std::string& path : {png, bmp}) {
        if (art->write(path.c_str()) == 0) {
            Image back(VornBuffer::Read(path.c_str()));
            if (back) {
                panel.blend(backdrop.get(), x, 40);
                panel.blend(back.get(), x, 40);
            }
        }
        std::remove(path.c_str());
        x = kPanelWidth - 24 - side;
    }
    writeText(panel, 24 + side / 2 - 21, 40 + side + 14, "PNG", 3, colour(255, 255, 255));
    writeText(panel, kPanelWidth - 24 - side / 2 - 21, 40 + side + 14, "BMP", 3,
              colour(255, 255, 255));
}

// ---------------------------------------------------------------------------
// The poster
// ---------------------------------------------------------------------------

/// A deep diagonal gradient with a soft glow.
void drawBackdrop(VornBuffer& poster) {
    const int w = poster.getWidth();
    const int h = poster.getHeight();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double t = (x + y) / static_cast<double>(w + h);
            const double glow = std::exp(-std::pow(std::hypot(x - 0.8 * w, y - 0.15 * h) / 420, 2));
            put(poster, x, y,
                colour(clampByte(22 + 40 * t + 70 * glow), clampByte(24 + 10 * t + 40 * glow),
                       clampByte(58 + 50 * (1 - t) + 60 * glow)));
        }
    }
}

/// Lays a panel onto the poster in a translucent frame with a shadow.
void placePanel(VornBuffer& poster, const VornBuffer& panel, int x, int y,
                const std::string& title) {
    blendRect(poster, x + 6, y + 8, kPanelWidth, kPanelHeight, colour(0, 0, 0, 90));
    blendRect(poster, x, y, kPanelWidth, kPanelHeight, colour(255, 255, 255, 28));
    blendRect(poster, x, y, kPanelWidth, 2, colour(255, 255, 255, 90));
    poster.blend(&panel, x, y);
    writeText(poster, x + 12, y + 10, title, 2, colour(255, 236, 180));
}

} // namespace

VornBuffer* drawGalleryPoster(const std::string& folder) {
    const int columns = 5;
    const int gap = 28;
    const int top = 120;

    struct Panel {
        const char* title;
        void (*draw)(VornBuffer&);
    };
    const Panel panels[] = {
        {"About", drawAbout},
        {"HLS colour wheel", drawColourWheel},
        {"Alpha blending", drawAlphaBlending},
        {"Raster operations", drawRasterOperations},
        {"Resampling", drawResampling},
        {"Block reduction", drawReduction},
        {"Circles and ellipses", drawCirclesAndEllipses},
        {"Half circles and markers", drawHalvesAndMarkers},
        {"Lines", drawLines},
        {"Polylines and outlines", drawOutlines},
        {"Polygon fills", drawPolygonFills},
        {"Translucent and textured", drawBlendedFills},
        {"Rotation", drawRotation},
        {"Mesh warp", drawWarp},
        {"Files: PNG and BMP", nullptr},
    };
    const int count = static_cast<int>(sizeof panels / sizeof panels[0]);
    const int rowsOfPanels = (count + columns - 1) / columns;
    const int width = columns * kPanelWidth + (columns + 1) * gap;
    const int height = top + rowsOfPanels * (kPanelHeight + gap) + 40;

    VornBuffer* poster = VornBuffer::Build(width, height, nullptr);
    drawBackdrop(*poster);
    writeText(*poster, gap, 30, "VORN", 7, colour(255, 255, 255));
    writeText(*poster, gap + 190, 44, "raster drawing library - gallery", 3, colour(200, 210, 255));

    for (int i = 0; i < count; ++i) {
        Image panel(kPanelWidth, kPanelHeight);
        if (panels[i].draw) {
            panels[i].draw(*panel);
        } else {
            drawFiles(*panel, folder);
        }
        placePanel(*poster, *panel, gap + (i % columns) * (kPanelWidth + gap),
                   top + (i / columns) * (kPanelHeight + gap), panels[i].title);
    }

    return poster;
}
