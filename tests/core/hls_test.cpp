// Conversions between pixels and the 0-240 HLS model.

#include "vorn_test.h"

namespace {

struct HlsCase {
    int r, g, b; // pixel
    int h, l, s; // HLS
};

std::string show(const HlsCase& c) {
    return "rgb(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) +
           ") hls(" + std::to_string(c.h) + "," + std::to_string(c.l) + "," + std::to_string(c.s) +
           ")";
}

TEST(RGBtoHLS, WorkedExamples) {
    const HlsCase cases[] = {{255, 0, 0, 0, 120, 240},    {0, 255, 0, 80, 120, 240},
                             {0, 0, 255, 160, 120, 240},  {255, 255, 255, 160, 240, 0},
                             {0, 0, 0, 160, 0, 0},        {128, 128, 128, 160, 120, 0},
                             {255, 0, 10, 238, 120, 240}, {255, 10, 0, 2, 120, 240},
                             {255, 128, 0, 20, 120, 240}, {100, 150, 200, 140, 141, 114}};
    for (const auto& c : cases) {
        const _VORNHLSAQUAD h = RGBtoHLS(rgba(c.r, c.g, c.b, 77));
        EXPECT_EQ(h.hue, c.h) << show(c);
        EXPECT_EQ(h.lightness, c.l) << show(c);
        EXPECT_EQ(h.saturation, c.s) << show(c);
        EXPECT_EQ(h.alpha, 77);
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
        EXPECT_EQ(HLStoRGB(in), rgba(c.r, c.g, c.b, 0)) << show(c);
    }
}

// Every pixel colour converts into the model's range, and a grey keeps its
// hue of 160 and its saturation of 0.
TEST(RGBtoHLS, StaysInRangeForEveryColour) {
    for (int r = 0; r < 256; r += 3) {
        for (int g = 0; g < 256; g += 5) {
            for (int b = 0; b < 256; b += 7) {
                const _VORNHLSAQUAD h = RGBtoHLS(rgba(r, g, b, 0));
                ASSERT_LE(h.hue, 240);
                ASSERT_LE(h.lightness, 240);
                ASSERT_LE(h.saturation, 240);
                if (r == g && g == b) {
                    ASSERT_EQ(h.hue, 160);
                    ASSERT_EQ(h.saturation, 0);
                }
            }
        }
    }
}

} // namespace
