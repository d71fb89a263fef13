// SPDX-License-Identifier: MIT
// Conversions between pixels and the 0-240 hue, lightness, saturation model.

#include <vorn/hls.h>

#include <algorithm>

namespace {

constexpr int kHlsMax = 240;                   // full scale of hue, lightness and saturation
constexpr int kRgbMax = 255;                   // full scale of a colour byte
constexpr int kUndefinedHue = kHlsMax * 2 / 3; // the hue given to greys

// One channel of an HLS colour: the value of the piecewise-linear hue ramp
// between `low` and `high` at `hue`, on the 0-240 scale.
int hueToRgb(int low, int high, int hue) {
    if (hue < 0) {
        hue += kHlsMax;
    }
    if (hue > kHlsMax) {
        hue -= kHlsMax;
    }
    if (hue < kHlsMax / 6) {
        return low + ((high - low) * hue + kHlsMax / 12) / (kHlsMax / 6);
    }
    if (hue < kHlsMax / 2) {
        return high;
    }
    if (hue < kHlsMax * 2 / 3) {
        return low + ((high - low) * (kHlsMax * 2 / 3 - hue) + kHlsMax / 12) / (kHlsMax / 6);
    }
    return low;
}

unsigned char toByte(int v) {
    return static_cast<unsigned char>(v);
}

} // namespace

_VORNHLSAQUAD RGBtoHLS(_VORNRGBAQUAD colour) {
    const int r = colour.red;
    const int g = colour.green;
    const int b = colour.blue;
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    const int sum = mx + mn;
    const int l = (sum * kHlsMax + kRgbMax) / (2 * kRgbMax);
    int h = kUndefinedHue;
    int s = 0;
    if (mx != mn) {
        const int d = mx - mn;
        if (l <= kHlsMax / 2) {
            s = (d * kHlsMax + sum / 2) / sum;
        } else {
            const int rest = 2 * kRgbMax - sum;
            s = (d * kHlsMax + rest / 2) / rest;
        }
        const int rd = ((mx - r) * (kHlsMax / 6) + d / 2) / d;
        const int gd = ((mx - g) * (kHlsMax / 6) + d / 2) / d;
        const int bd = ((mx - b) * (kHlsMax / 6) + d / 2) / d;
        if (r == mx) {
            h = bd - gd;
        } else if (g == mx) {
            h = kHlsMax / 3 + rd - bd;
        } else {
            h = kHlsMax * 2 / 3 + gd - rd;
        }
        if (h < 0) {
            h += kHlsMax;
        }
        if (h > kHlsMax) {
            h -= kHlsMax;
        }
    }
    _VORNHLSAQUAD out;
    out.hue = toByte(h);
    out.lightness = toByte(l);
    out.saturation = toByte(s);
    out.alpha = colour.alpha;
    return out;
}

_VORNRGBAQUAD HLStoRGB(_VORNHLSAQUAD colour) {
    const int h = colour.hue;
    const int l = colour.lightness;
    const int s = colour.saturation;
    _VORNRGBAQUAD out;
    out.alpha = colour.alpha;
    if (s == 0) {
        const unsigned char grey = toByte(l * kRgbMax / kHlsMax);
        out.red = grey;
        out.green = grey;
        out.blue = grey;
        return out;
    }
    int magic2;
    if (l <= kHlsMax / 2) {
        magic2 = (l * (kHlsMax + s) + kHlsMax / 2) / kHlsMax;
    } else {
        magic2 = l + s - (l * s + kHlsMax / 2) / kHlsMax;
    }
    const int magic1 = 2 * l - magic2;
    const auto channel = [&](int hue) {
        return toByte((hueToRgb(magic1, magic2, hue) * kRgbMax + kHlsMax / 2) / kHlsMax);
    };
    out.red = channel(h + kHlsMax / 3);
    out.green = channel(h);
    out.blue = channel(h - kHlsMax / 3);
    return out;
}
