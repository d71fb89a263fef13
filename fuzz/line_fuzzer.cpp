// SPDX-License-Identifier: MIT
// Fuzz target: lines and ClipLine. The Bresenham and dashed lines must
// light the pixels of a step-by-step walk in 64-bit integers from the
// clipped points (one step more onto an end that clipping moved); the
// anti-aliased line must only stay inside its buffer. ClipLine must leave
// accepted points inside the rectangle, and keep a segment through a
// point inside it whose far end lies more than 2^24 away, within a pixel
// of the true line (two when both ends were clipped).

#include "core/core.h"
#include "geometry_input.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The pixels a line of `kind` (0 solid, 1 dashed) lights, as blends of c.
void modelLine(VornBuffer& b, _VORNPOINT p1, _VORNPOINT p2, _VORNRGBAQUAD c, bool dash) {
    const _VORNPOINT end = p2;
    if (!b.ClipLine(p1, p2, 0, 0, b.getWidth(), b.getHeight())) {
        return;
    }
    const bool moved = end.x != p2.x || end.y != p2.y;
    long long x = p1.x;
    long long y = p1.y;
    const long long ax = std::llabs(static_cast<long long>(p2.x) - p1.x);
    const long long ay = std::llabs(static_cast<long long>(p2.y) - p1.y);
    const bool xMajor = ax > ay;
    const long long major = xMajor ? ax : ay;
    const long long minor = xMajor ? ay : ax;
    const int sx = p2.x < p1.x ? -1 : 1;
    const int sy = p2.y < p1.y ? -1 : 1;
    const long long steps = major == 0 ? 1 : major + (moved ? 1 : 0);
    long long e = -major;
    for (long long k = 0; k < steps; ++k) {
        if ((!dash || k % 4 < 2) && x >= 0 && y >= 0 && x < b.getWidth() && y < b.getHeight()) {
            vorn::detail::blendPixel(*b.getPixel(static_cast<int>(x), static_cast<int>(y)), c, 255);
        }
        e += 2 * minor;
        if (e > 0) {
            (xMajor ? y : x) += xMajor ? sy : sx;
            e -= 2 * major;
        }
        (xMajor ? x : y) += xMajor ? sx : sy;
    }
}

// Distance of q from the line through a and b.
long double offLine(_VORNPOINT a, _VORNPOINT b, _VORNPOINT q) {
    const long double ex = static_cast<long double>(b.x) - a.x;
    const long double ey = static_cast<long double>(b.y) - a.y;
    const long double cross =
        ex * (static_cast<long double>(q.y) - a.y) - ey * (static_cast<long double>(q.x) - a.x);
    return std::fabs(cross) / std::sqrt(ex * ex + ey * ey);
}

void checkLines(ParameterReader& in) {
    const int w = in.intIn(1, 48);
    const int h = in.intIn(1, 48);
    const _VORNPOINT p1{in.near(w), in.near(h)};
    const _VORNPOINT p2{in.near(w), in.near(h)};
    const _VORNRGBAQUAD c = in.pixel();
    const unsigned kind = in.byte() % 3;
    VornBuffer* got = VornBuffer::Build(w, h, nullptr);
    VornBuffer* want = VornBuffer::Build(w, h, nullptr);
    if (kind == 2) {
        got->drawSolidLine(p1, p2, c.red, c.green, c.blue, c.alpha, 1);
    } else {
        if (kind == 0) {
            got->drawSolidLine(p1, p2, c.red, c.green, c.blue, c.alpha);
        } else {
            got->drawDashedLine(p1, p2, c.red, c.green, c.blue, c.alpha);
        }
        modelLine(*want, p1, p2, c, kind == 1);
        if (std::memcmp(got->getPixels(), want->getPixels(), static_cast<std::size_t>(w) * h * 4)) {
            fail("line", "the line differs from the step-by-step walk");
        }
    }
    VornBuffer::Destroy(got);
    VornBuffer::Destroy(want);
}

void checkClip(ParameterReader& in) {
    VornBuffer* host = VornBuffer::Build(1, 1, nullptr);
    const int left = in.intIn(-4096, 4096);
    const int top = in.intIn(-4096, 4096);
    const int right = left + in.intIn(6, 4096);
    const int bottom = top + in.intIn(6, 4096);
    auto inside = [&](const _VORNPOINT& p) {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    };
    // Any segment: accepted points lie in the rectangle.
    _VORNPOINT a{in.anyInt(), in.anyInt()};
    _VORNPOINT b{in.byte() % 2 ? in.anyInt() : in.intIn(left, right), in.anyInt()};
    if (host->ClipLine(a, b, left, top, right, bottom) && !(inside(a) && inside(b))) {
        fail("line", "ClipLine accepted a point outside the rectangle");
    }
    // Through a point q inside: from a far p1 to q, or on beyond q. Each
    // crossing is truncated toward p1 and the second is formed from the
    // first clipped point, so the clipped ends can be two pixels off the
    // line: q keeps three pixels from the edges, or a segment passing just
    // inside a corner could be clipped to one just outside it.
    const _VORNPOINT q{in.intIn(left + 3, right - 3), in.intIn(top + 3, bottom - 3)};
    const _VORNPOINT p1{in.anyInt(), in.anyInt()};
    _VORNPOINT p2 = q;
    const bool beyond = in.byte() % 2 != 0;
    if (beyond) {
        const long double k = std::ldexp(1.0L, -in.intIn(1, 30));
        p2.x = static_cast<int>(q.x + std::llround((q.x - static_cast<long double>(p1.x)) * k));
        p2.y = static_cast<int>(q.y + std::llround((q.y - static_cast<long double>(p1.y)) * k));
    }
    const long long reach = std::max(std::llabs(static_cast<long long>(p2.x) - p1.x),
                                     std::llabs(static_cast<long long>(p2.y) - p1.y));
    _VORNPOINT c1 = p1;
    _VORNPOINT c2 = p2;
    if (reach > (1LL << 24)) {
        if (!host->ClipLine(c1, c2, left, top, right, bottom)) {
            fail("line", "ClipLine rejected a segment through the rectangle");
        }
        for (const _VORNPOINT& c : {c1, c2}) {
            if (!inside(c) || offLine(p1, p2, c) > (beyond ? 2.0L : 1.0L)) {
                fail("line", "ClipLine left the line: (" + std::to_string(c.x) + ", " +
                                 std::to_string(c.y) + ")");
            }
        }
    }
    VornBuffer::Destroy(host);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ParameterReader in(data, size);
    checkLines(in);
    checkClip(in);
    return 0;
}
