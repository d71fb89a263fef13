// SPDX-License-Identifier: MIT
// The drawing scripts of `vorn draw`: parsing and running one command a
// line.

#include "draw_script.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace vorntool {

namespace {

/// A whole number in the int range, all of `text`.
bool parseInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < -2147483647L - 1 || v > 2147483647L) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

/// A finite number, all of `text`.
bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

/// `count` integers separated by commas ("3,4" or "0,0,10,20").
bool parseInts(const std::string& text, int* values, int count) {
    std::size_t start = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t comma = i + 1 < count ? text.find(',', start) : std::string::npos;
        if (i + 1 < count && comma == std::string::npos) {
            return false;
        }
        if (!parseInt(text.substr(start, comma - start), values[i])) {
            return false;
        }
        start = comma + 1;
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

/// One line's words and what the commands need of them.
class Line {
public:
    Line(int number, std::vector<std::string> words) : number_(number), words_(std::move(words)) {}

    [[noreturn]] void fail(const std::string& why) const { throw ScriptError(number_, why); }

    std::size_t size() const { return words_.size(); }
    const std::string& word(std::size_t i) const { return words_[i]; }

    /// The line must have `n` words, or `n` and then `optional`.
    bool expect(std::size_t n, const char* usage, const char* optional = nullptr) const {
        if (words_.size() == n) {
            return false;
        }
        if (optional && words_.size() == n + 1 && words_[n] == optional) {
            return true;
        }
        fail(std::string("expected: ") + usage);
    }

    _VORNPOINT point(std::size_t i) const {
        int v[2];
        if (!parseInts(words_[i], v, 2)) {
            fail("not a point X,Y: '" + words_[i] + "'");
        }
        return _VORNPOINT{v[0], v[1]};
    }

    vorn::Rgba colour(std::size_t i) const {
        vorn::Rgba c;
        if (!parseColour(words_[i], c)) {
            fail("not a colour #rrggbb or #rrggbbaa: '" + words_[i] + "'");
        }
        return c;
    }

    double number(std::size_t i) const {
        double v;
        if (!parseNumber(words_[i], v)) {
            fail("not a number: '" + words_[i] + "'");
        }
        return v;
    }

private:
    int number_;
    std::vector<std::string> words_;
};

/// The points of a polyline or polygon: every word but the first and the
/// colour.
std::vector<_VORNPOINT> pointsOf(const Line& line, std::size_t least, const char* usage) {
    if (line.size() < least + 2) {
        line.fail(std::string("expected: ") + usage);
    }
    std::vector<_VORNPOINT> points;
    for (std::size_t i = 1; i + 1 < line.size(); ++i) {
        points.push_back(line.point(i));
    }
    return points;
}

void drawMarker(const Line& line, VornBuffer& canvas) {
    line.expect(5, "marker square|triangle|oval X,Y W,H COLOUR");
    const std::string& shape = line.word(1);
    const _VORNPOINT at = line.point(2);
    const std::string& size = line.word(3);
    const std::size_t comma = size.find(',');
    double w = 0.0;
    double h = 0.0;
    if (comma == std::string::npos || !parseNumber(size.substr(0, comma), w) ||
        !parseNumber(size.substr(comma + 1), h)) {
        line.fail("not a size W,H: '" + size + "'");
    }
    const vorn::Rgba c = line.colour(4);
    if (shape != "square" && shape != "triangle" && shape != "oval") {
        line.fail("unknown marker '" + shape + "' (square, triangle or oval)");
    }
    // The markers are drawn at the buffer's origin; a scratch image one
    // pixel larger than the size (the triangle's base row lies at h) holds
    // it. Sizes beyond the canvas would only be clipped.
    const double limit = 2.0 * (canvas.getWidth() + canvas.getHeight()) + 2.0;
    if (!(w >= 0.0 && h >= 0.0 && w <= limit && h <= limit)) {
        return;
    }
    vorn::Image mark(static_cast<int>(w) + 2, static_cast<int>(h) + 2);
    VornBuffer& m = *mark.get();
    if (shape == "square") {
        m.fillSquare(w, h, c.r, c.g, c.b, c.a);
    } else if (shape == "triangle") {
        m.fillTriangle(w, h, c.r, c.g, c.b, c.a);
    } else {
        m.fillOval(w, h, c.r, c.g, c.b, c.a);
    }
    canvas.blend(&m, at.x, at.y);
}

void runLine(const Line& line, VornBuffer& canvas) {
    const std::string& command = line.word(0);
    if (command == "fill") {
        line.expect(2, "fill COLOUR");
        const vorn::Rgba c = line.colour(1);
        canvas.fill(c.r, c.g, c.b, c.a);
    } else if (command == "line" || command == "aaline" || command == "dashline") {
        line.expect(4, (command + " X1,Y1 X2,Y2 COLOUR").c_str());
        const _VORNPOINT p1 = line.point(1);
        const _VORNPOINT p2 = line.point(2);
        const vorn::Rgba c = line.colour(3);
        if (command == "dashline") {
            canvas.drawDashedLine(p1, p2, c.r, c.g, c.b, c.a);
        } else {
            canvas.drawSolidLine(p1, p2, c.r, c.g, c.b, c.a, command == "aaline" ? 1 : 0);
        }
    } else if (command == "polyline") {
        const std::vector<_VORNPOINT> points =
            pointsOf(line, 2, "polyline X,Y X,Y ... COLOUR (two points or more)");
        const vorn::Rgba c = line.colour(line.size() - 1);
        canvas.strokePolyline(points.data(), static_cast<int>(points.size()), c.r, c.g, c.b, c.a);
    } else if (command == "polygon") {
        const std::vector<_VORNPOINT> points = pointsOf(line, 1, "polygon X,Y X,Y ... COLOUR");
        const vorn::Rgba c = line.colour(line.size() - 1);
        const int sizes[1] = {static_cast<int>(points.size())};
        if (c.a == 255) {
            canvas.fillPolygon(points.data(), sizes, 1, c.r, c.g, c.b, c.a, 0);
        } else {
            canvas.fillPolygonBlend(points.data(), sizes, 1, c.r, c.g, c.b, c.a);
        }
    } else if (command == "rect") {
        line.expect(3, "rect X,Y,W,H COLOUR");
        int r[4];
        if (!parseInts(line.word(1), r, 4)) {
            line.fail("not a rectangle X,Y,W,H: '" + line.word(1) + "'");
        }
        const vorn::Rgba c = line.colour(2);
        // The corners both included; the far one in 64 bits, clamped.
        const long long right = static_cast<long long>(r[0]) + r[2] - 1;
        const long long bottom = static_cast<long long>(r[1]) + r[3] - 1;
        if (r[2] > 0 && r[3] > 0) {
            const _VORNPOINT p1{r[0], r[1]};
            const _VORNPOINT p2{static_cast<int>(std::min(right, 2147483647LL)),
                                static_cast<int>(std::min(bottom, 2147483647LL))};
            canvas.fillRectangleBlend(p1, p2, c.r, c.g, c.b, c.a);
        }
    } else if (command == "ellipse") {
        const bool filled = line.expect(4, "ellipse X1,Y1 X2,Y2 COLOUR [filled]", "filled");
        const _VORNPOINT p1 = line.point(1);
        const _VORNPOINT p2 = line.point(2);
        const vorn::Rgba c = line.colour(3);
        if (filled) {
            canvas.fillEllipse(p1, p2, c.r, c.g, c.b, c.a);
        } else {
            canvas.drawEllipse(p1, p2, c.r, c.g, c.b, c.a);
        }
    } else if (command == "circle") {
        const bool filled = line.expect(4, "circle X,Y R COLOUR [filled]", "filled");
        const _VORNPOINT centre = line.point(1);
        const double radius = line.number(2);
        const vorn::Rgba c = line.colour(3);
        if (filled) {
            canvas.fillCircle(centre, radius, c.r, c.g, c.b, c.a);
        } else {
            canvas.drawCircle(centre, radius, c.r, c.g, c.b, c.a);
        }
    } else if (command == "marker") {
        drawMarker(line, canvas);
    } else {
        line.fail("unknown command '" + command + "'");
    }
}

} // namespace

bool parseColour(const std::string& text, vorn::Rgba& colour) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') {
        return false;
    }
    unsigned char bytes[4] = {0, 0, 0, 255};
    for (std::size_t i = 1; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
    colour = vorn::Rgba{bytes[0], bytes[1], bytes[2], bytes[3]};
    return true;
}

void runDrawScript(std::istream& script, VornBuffer& canvas) {
    std::string text;
    for (int number = 1; std::getline(script, text); ++number) {
        std::istringstream in(text);
        std::vector<std::string> words;
        for (std::string w; in >> w;) {
            words.push_back(w);
        }
        if (words.empty() || words[0][0] == ';') {
            continue;
        }
        runLine(Line(number, std::move(words)), canvas);
    }
}

} // namespace vorntool
