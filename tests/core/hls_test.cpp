// SPDX-License-Identifier: MIT
// Conversions between pixels and the 0-240 HLS model.

#include "vorn_test.h"

namespace {

struct HlsCase {
    int r, g, b; // pixel
    int h, l, s; // HLS
};

// The last two pin the rounding of lightness and of saturation.
TEST(RGBtoHLS, WorkedExamples) {
    const HlsCase cases[] = {
        {255, 0, 0, 0, 120, 240},       {0, 255, 0, 80, 120, 240}, {0, 0, 255, 160, 120, 240},
        {255, 255, 255, 160, 240, 0},   {0, 0, 0, 160, 0, 0},      {128, 128, 128, 160, 120, 0},
        {255, 0, 10, 238, 120, 240},    {255, 10, 0, 2, 120, 240}, {255, 128, 0, 20, 120, 240},
        {100, 150, 200, 140, 141, 114}, {2, 0, 0, 0, 1, 240},      {5, 2, 2, 0, 3, 103}};
    for (const auto& c : cases) {
        const _VORNHLSAQUAD h = RGBtoHLS(rgba(c.r, c.g, c.b, 77));
        EXPECT_EQ((std::vector<int>{h.hue, h.lightness, h.saturation, h.alpha}),
                  (std::vector<int>{c.h, c.l, c.s, 77}))
            << c.r << ", " << c.g << ", " << c.b;
    }
}

TEST(HLStoRGB, WorkedExamples) {
    const HlsCase cases[] = {
        {255, 0, 0, 0, 120, 240},     {0, 255, 0, 80, 120, 240},  {0, 0, 255, 160, 120, 240},
        {255, 0, 13, 238, 120, 240},  {255, 255, 255, 0, 240, 0}, {255, 255, 255, 97, 240, 0},
        {127, 127, 127, 200, 120, 0}, {96, 32, 96, 200, 60, 120}, {207, 191, 175, 20, 180, 60}};
    for (const auto& c : cases) {
        _VORNHLSAQUAD in;
        in.hue = static_cast<unsigned char>(c.h);
        in.lightness = static_cast<unsigned char>(c.l);
        in.saturation = static_cast<unsigned char>(c.s);
        in.alpha = 0;
        EXPECT_EQ(HLStoRGB(in), rgba(c.r, c.g, c.b, 0)) << c.h << ", " << c.l << ", " << c.s;
    }
}

} // namespace
