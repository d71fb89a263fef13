// Resampling into a caller-built buffer: results, block averaging, the four
// per-pixel filters and their treatment of transparency.

#include "transform_test.h"

#include <cstring>

namespace {

using TP = TransformProtected;

// ---------------------------------------------------------------------------
// Arguments and results
// ---------------------------------------------------------------------------

TEST(Resize, NullDestinationIsRefused) {
    BufferPtr src = makeFilled(3, 3, rgba(1, 2, 3, 4));
    EXPECT_EQ(src->resize(nullptr), -3);
    EXPECT_EQ(at(*src, 1, 1), rgba(1, 2, 3, 4));
}

// A field is bent for the length of one call and then restored, so that
// the buffer is released as it was built.
struct BentField {
    int& field;
    int saved;
    BentField(int& f, int value) : field(f), saved(f) { field = value; }
    ~BentField() { field = saved; }
};

TEST(Resize, ChecksSourceThenDestination) {
    BufferPtr src = makeFilled(4, 4, rgba(9, 9, 9));
    BufferPtr dst = makeFilled(2, 2, rgba(5, 6, 7, 8));
    const auto before = words(*dst);
    {
        _VORNRGBAQUAD* saved = TP::pixelsOf(*src);
        TP::pixelsOf(*src) = nullptr;
        EXPECT_EQ(src->resize(dst.get()), -1);
        EXPECT_EQ(src->resize(nullptr), -1); // the source is checked first
        TP::pixelsOf(*src) = saved;
    }
    {
        BentField w(TP::widthOf(*src), -4);
        EXPECT_EQ(src->resize(dst.get()), -2);
    }
    {
        // An empty source has nothing to sample from.
        BentField w(TP::widthOf(*src), 0);
        EXPECT_EQ(src->resize(dst.get()), -1);
    }
    {
        BentField h(TP::heightOf(*src), -1);
        EXPECT_EQ(src->resize(dst.get()), -2);
    }
    {
        BentField w(TP::widthOf(*dst), -2);
        EXPECT_EQ(src->resize(dst.get()), -3);
    }
    {
        BentField h(TP::heightOf(*dst), -2);
        EXPECT_EQ(src->resize(dst.get()), -3);
    }
    EXPECT_EQ(words(*dst), before);
}

TEST(Resize, EmptyDestinationSucceedsWritingNothing) {
    BufferPtr src = makeFilled(4, 4, rgba(9, 9, 9));
    BufferPtr dst = makeFilled(2, 2, rgba(5, 6, 7, 8));
    const auto before = words(*dst);
    {
        BentField w(TP::widthOf(*dst), 0);
        EXPECT_EQ(src->resize(dst.get()), 0);
    }
    {
        BentField h(TP::heightOf(*dst), 0);
        EXPECT_EQ(src->resize(dst.get()), 0);
    }
    EXPECT_EQ(words(*dst), before);
}

TEST(Resize, DestinationWithoutPixelsIsRefused) {
    BufferPtr src = makeFilled(4, 4, rgba(9, 9, 9));
    BufferPtr dst = makeBuffer(2, 2);
    _VORNRGBAQUAD* saved = TP::pixelsOf(*dst);
    TP::pixelsOf(*dst) = nullptr;
    EXPECT_EQ(src->resize(dst.get()), -3);
    TP::pixelsOf(*dst) = saved;
}

TEST(Resize, LeavesTheSourceAndTheDestinationsSettingsAlone) {
    Rng rng(3);
    BufferPtr src = randomBuffer(rng, 7, 5);
    const auto source = words(*src);
    BufferPtr dst = makeBuffer(3, 8);
    dst->setDensity(1, 300, 150);
    dst->setBackground(1, 2, 3);
    dst->setHasTransparency(true);
    EXPECT_EQ(src->resize(dst.get()), 0);
    EXPECT_EQ(words(*src), source);
    EXPECT_EQ(dst->getPixelsPerInchX(), 300);
    EXPECT_EQ(dst->getPixelsPerInchY(), 150);
    unsigned char r = 0;
    unsigned char g = 0;
    unsigned char b = 0;
    EXPECT_EQ(dst->getBackground(&r, &g, &b), 1);
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(dst->hasTransparency());
}

// ---------------------------------------------------------------------------
// Block averaging, at every kernel level
// ---------------------------------------------------------------------------

class ResizeAtLevel : public KernelLevels {};

TEST_P(ResizeAtLevel, EqualSizesCopyEveryByte) {
    Rng rng(5);
    BufferPtr src = randomBuffer(rng, 13, 7);
    BufferPtr dst = makeBuffer(13, 7);
    EXPECT_EQ(src->resize(dst.get()), 0);
    EXPECT_EQ(words(*dst), words(*src));
    // Into itself: nothing changes.
    EXPECT_EQ(src->resize(src.get()), 0);
    EXPECT_EQ(words(*src), words(*dst));
}

// Opaque pixels with distinct channels; the expected block means are
// integer means, truncated.
BufferPtr gradient(int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            *b->getPixel(x, y) = rgba(x * 37 + y * 5, 200 - x * 11 - y * 13, (x * y * 29) % 256);
        }
    }
    return b;
}

_VORNRGBAQUAD blockMean(const VornBuffer& src, int x0, int y0, int fx, int fy) {
    unsigned r = 0;
    unsigned g = 0;
    unsigned b = 0;
    for (int y = y0; y < y0 + fy; ++y) {
        for (int x = x0; x < x0 + fx; ++x) {
            r += at(src, x, y).red;
            g += at(src, x, y).green;
            b += at(src, x, y).blue;
        }
    }
    const unsigned n = static_cast<unsigned>(fx * fy);
    return rgba(r / n, g / n, b / n, 255);
}

struct BlockCase {
    int sw, sh, dw, dh;
};

TEST_P(ResizeAtLevel, OpaqueBlocksAverageToTheirTruncatedMean) {
    for (const BlockCase c :
         {BlockCase{4, 4, 2, 2}, BlockCase{4, 2, 2, 1}, BlockCase{6, 3, 2, 3},
          BlockCase{4, 1, 2, 1}, BlockCase{5, 7, 1, 1}, BlockCase{9, 8, 3, 2}}) {
        SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " into " << c.dw << "x" << c.dh);
        BufferPtr src = gradient(c.sw, c.sh);
        BufferPtr dst = makeFilled(c.dw, c.dh, rgba(1, 1, 1, 1));
        ASSERT_EQ(src->resize(dst.get()), 0);
        const int fx = c.sw / c.dw;
        const int fy = c.sh / c.dh;
        for (int y = 0; y < c.dh; ++y) {
            for (int x = 0; x < c.dw; ++x) {
                EXPECT_EQ(at(*dst, x, y), blockMean(*src, x * fx, y * fy, fx, fy))
                    << "at " << x << ", " << y;
            }
        }
    }
}

TEST_P(ResizeAtLevel, TransparentPixelsDarkenTheBlockMean) {
    struct Case {
        _VORNRGBAQUAD p[4];
        _VORNRGBAQUAD expected;
    };
    const Case cases[] = {
        // All clear: nothing but zeros.
        {{rgba(200, 10, 30, 0), rgba(5, 6, 7, 0), rgba(9, 9, 9, 0), rgba(255, 255, 255, 0)},
         rgba(0, 0, 0, 0)},
        // Two opaque, two clear: alpha 510 / 4, colour half the pair's mean.
        {{rgba(100, 50, 21), rgba(9, 9, 9, 0), rgba(200, 200, 200, 0), rgba(60, 30, 10)},
         rgba(40, 20, 7, 127)},
        // Partial alphas: colour times alpha / 255, summed, over the count.
        // red (200 * 128 + 10 * 64) / 255 / 4 = 25.7; the same for the rest.
        {{rgba(200, 100, 50, 128), rgba(10, 20, 30, 64), rgba(0, 0, 0, 0), rgba(0, 0, 0, 0)},
         rgba(25, 13, 8, 48)},
    };
    for (const Case& c : cases) {
        BufferPtr src = makeBuffer(2, 2);
        for (int k = 0; k < 4; ++k) {
            *src->getPixel(k % 2, k / 2) = c.p[k];
        }
        BufferPtr dst = makeFilled(1, 1, rgba(1, 2, 3, 4));
        ASSERT_EQ(src->resize(dst.get()), 0);
        EXPECT_EQ(at(*dst, 0, 0), c.expected);
    }
}

// The cursor walk itself: one block consumes fx pixels from each of the fy
// cursors, column by column.
TEST(GetReducePixel, AdvancesEveryCursorByTheHorizontalFactor) {
    BufferPtr src = gradient(6, 3);
    const _VORNRGBAQUAD* base = src->getPixels();
    const _VORNRGBAQUAD* rows[3] = {base, base + 6, base + 12};
    _VORNRGBAQUAD out = rgba(0, 0, 0, 0);
    (src.get()->*TP::reducePixel)(rows, &out, 2, 3);
    EXPECT_EQ(rows[0], base + 2);
    EXPECT_EQ(rows[1], base + 8);
    EXPECT_EQ(rows[2], base + 14);
    EXPECT_EQ(out, blockMean(*src, 0, 0, 2, 3));
    // A horizontal factor below 1 does nothing at all.
    (src.get()->*TP::reducePixel)(rows, &out, 0, 3);
    EXPECT_EQ(rows[0], base + 2);
}

TEST(Reduce, WalksNonSquareBandsWithItsCursors) {
    struct Case {
        int sw, sh, fx, fy;
    };
    for (const Case c : {Case{4, 2, 2, 2}, Case{6, 3, 3, 1}, Case{6, 6, 1, 3}, Case{8, 6, 4, 3}}) {
        BufferPtr src = gradient(c.sw, c.sh);
        const int dw = c.sw / c.fx;
        const int dh = c.sh / c.fy;
        BufferPtr dst = makeBuffer(dw, dh);
        EXPECT_EQ((src.get()->*TP::reduceFn)(dst.get(), c.fx, c.fy), 0);
        for (int y = 0; y < dh; ++y) {
            for (int x = 0; x < dw; ++x) {
                EXPECT_EQ(at(*dst, x, y), blockMean(*src, x * c.fx, y * c.fy, c.fx, c.fy));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Per-pixel filters
// ---------------------------------------------------------------------------

// 3 x 3 into 2 x 2: factor 1.5 both ways. Destination column 0 covers
// source columns 0 (weight 1) and 1 (0.5); column 1 covers 1 (0.5) and 2
// (1). Red grows across, green down.
BufferPtr threeByThree() {
    BufferPtr b = makeBuffer(3, 3);
    const unsigned level[3] = {0, 90, 180};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            *b->getPixel(x, y) = rgba(level[x], level[y], 7);
        }
    }
    return b;
}

TEST(GetReduceRGBA, BoxWeightsCoverTheSpan) {
    BufferPtr src = threeByThree();
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double w = 0.0;
    (src.get()->*TP::reduceRgbaFn)(1, 1, 1.5, 1.5, r, g, b, w);
    // Weights 0.25, 0.5 (row 1); 0.5, 1 (row 2).
    EXPECT_EQ(w, 2.25);
    EXPECT_EQ(r, 90 * 0.25 + 180 * 0.5 + 90 * 0.5 + 180 * 1.0);
    EXPECT_EQ(g, 90 * 0.25 + 90 * 0.5 + 180 * 0.5 + 180 * 1.0);
    EXPECT_EQ(b, 7 * 2.25);
    // The filters add to what they are given.
    (src.get()->*TP::reduceRgbaFn)(0, 0, 1.5, 1.5, r, g, b, w);
    EXPECT_EQ(w, 2.25 + 2.25);
}

TEST_P(ResizeAtLevel, BoxFilterAveragesTheWeightedFootprint) {
    BufferPtr src = threeByThree();
    BufferPtr dst = makeBuffer(2, 2);
    ASSERT_EQ(src->resize(dst.get()), 0);
    EXPECT_EQ(at(*dst, 0, 0), rgba(30, 30, 7));
    EXPECT_EQ(at(*dst, 1, 0), rgba(150, 30, 7));
    EXPECT_EQ(at(*dst, 0, 1), rgba(30, 150, 7));
    EXPECT_EQ(at(*dst, 1, 1), rgba(150, 150, 7));

    // A clear corner leaves the colour to the rest of the footprint and the
    // alpha to the covered share: 1.25 of 2.25.
    src->getPixel(2, 2)->alpha = 0;
    ASSERT_EQ(src->resize(dst.get()), 0);
    EXPECT_EQ(at(*dst, 1, 1), rgba(126, 126, 7, 141));
    EXPECT_EQ(at(*dst, 1, 0), rgba(150, 30, 7));
    EXPECT_EQ(at(*dst, 0, 1), rgba(30, 150, 7));
}

TEST_P(ResizeAtLevel, GatedFiltersSkipClearPixelsAndScaleAlphaByCoverage) {
    // Across reduced by 1.5, down kept (the box-across filter), and the
    // same turned a quarter (the box-down filter).
    const _VORNRGBAQUAD line[3] = {rgba(90, 0, 0), rgba(0, 90, 0, 0), rgba(0, 0, 90)};
    BufferPtr across = makeBuffer(3, 1);
    BufferPtr down = makeBuffer(1, 3);
    for (int k = 0; k < 3; ++k) {
        *across->getPixel(k, 0) = line[k];
        *down->getPixel(0, k) = line[k];
    }
    BufferPtr a2 = makeBuffer(2, 1);
    BufferPtr d2 = makeBuffer(1, 2);
    ASSERT_EQ(across->resize(a2.get()), 0);
    ASSERT_EQ(down->resize(d2.get()), 0);
    // Each footprint covers 1.5 pixels of which 1 is not clear.
    EXPECT_EQ(at(*a2, 0, 0), rgba(90, 0, 0, 170));
    EXPECT_EQ(at(*a2, 1, 0), rgba(0, 0, 90, 170));
    EXPECT_EQ(at(*d2, 0, 0), rgba(90, 0, 0, 170));
    EXPECT_EQ(at(*d2, 0, 1), rgba(0, 0, 90, 170));

    // Nothing but clear pixels gives transparent black.
    BufferPtr clear = makeFilled(5, 5, rgba(200, 100, 50, 0));
    BufferPtr c3 = makeFilled(3, 3, rgba(1, 2, 3, 4));
    ASSERT_EQ(clear->resize(c3.get()), 0);
    EXPECT_EQ(changedPixels(*c3, rgba(0, 0, 0, 0)), PixelSet{});
}

// A reduced footprint of one alpha keeps that alpha, whichever directions
// are reduced and by whatever factor; the colour stays the flat colour.
TEST_P(ResizeAtLevel, GatedFiltersKeepAUniformAlpha) {
    struct Size {
        int sw, sh, dw, dh;
    };
    const Size sizes[] = {{15, 4, 10, 4},   // across only, by 1.5
                          {4, 15, 4, 10},   // down only, by 1.5
                          {15, 15, 10, 10}, // both, by 1.5
                          {16, 9, 7, 4},    // other factors
                          {100, 3, 71, 5}}; // reduced across, enlarged down
    for (const Size s : sizes) {
        for (const unsigned alpha : {1u, 77u, 128u, 200u, 254u, 255u}) {
            const _VORNRGBAQUAD colour = rgba(30, 140, 250, alpha);
            BufferPtr src = makeFilled(s.sw, s.sh, colour);
            BufferPtr dst = makeBuffer(s.dw, s.dh);
            ASSERT_EQ(src->resize(dst.get()), 0);
            EXPECT_EQ(changedPixels(*dst, colour), PixelSet{})
                << s.sw << "x" << s.sh << " into " << s.dw << "x" << s.dh << ", alpha " << alpha;
        }
    }
}

// A checker reduced by 1.5: every footprint has a heavy pixel (weight 1),
// two of weight 1/2 of the other colour and one of weight 1/4 of its own
// (or, reduced one way only, weights 1 and 1/2). Its alpha is the weighted
// mean of all alphas, clear pixels included; its colour the weighted mean
// of the colours of the pixels that are not clear.
TEST_P(ResizeAtLevel, GatedAlphaIsTheWeightedMeanOfTheFootprintsAlphas) {
    struct Case {
        int sw, sh, dw, dh;
        unsigned evenAlpha, oddAlpha;
        _VORNRGBAQUAD evenHeavy, oddHeavy; // by the parity of the heavy pixel
    };
    const _VORNRGBAQUAD even = rgba(200, 100, 40);
    const Case cases[] = {
        // Both ways: the heavy colour weighs 1.25 of 2.25, the other 1.
        // Opaque and clear: 1.25 / 2.25 and 1 / 2.25 of 255.
        {6, 6, 4, 4, 255, 0, rgba(200, 100, 40, 141), rgba(200, 100, 40, 113)},
        // (1.25 x 255 + 128) / 2.25 = 198.6 and (255 + 1.25 x 128) / 2.25 = 184.4.
        {6, 6, 4, 4, 255, 128, rgba(120, 82, 128, 198), rgba(100, 77, 151, 184)},
        {6, 6, 4, 4, 64, 192, rgba(120, 82, 128, 120), rgba(100, 77, 151, 135)},
        {6, 6, 4, 4, 128, 0, rgba(200, 100, 40, 71), rgba(200, 100, 40, 56)},
        // One way: weights 1 and 0.5 of 1.5.
        {6, 2, 4, 2, 255, 0, rgba(200, 100, 40, 170), rgba(200, 100, 40, 85)},
        {6, 2, 4, 2, 255, 128, rgba(140, 86, 106, 212), rgba(80, 73, 173, 170)},
        {6, 2, 4, 2, 64, 192, rgba(140, 86, 106, 106), rgba(80, 73, 173, 149)},
        {8, 6, 8, 4, 255, 128, rgba(140, 86, 106, 212), rgba(80, 73, 173, 170)},
        {8, 6, 8, 4, 128, 0, rgba(200, 100, 40, 85), rgba(200, 100, 40, 42)},
    };
    // The source index of weight 1 for destination index d.
    auto heavy = [](int d, int from, int to) { return from == to ? d : (3 * d + 1) / 2; };
    for (const Case& c : cases) {
        BufferPtr src = makeBuffer(c.sw, c.sh);
        for (int y = 0; y < c.sh; ++y) {
            for (int x = 0; x < c.sw; ++x) {
                _VORNRGBAQUAD p = (x + y) % 2 == 0 ? even : rgba(20, 60, 240);
                p.alpha = static_cast<unsigned char>((x + y) % 2 == 0 ? c.evenAlpha : c.oddAlpha);
                *src->getPixel(x, y) = p;
            }
        }
        BufferPtr dst = makeBuffer(c.dw, c.dh);
        ASSERT_EQ(src->resize(dst.get()), 0);
        for (int y = 0; y < c.dh; ++y) {
            for (int x = 0; x < c.dw; ++x) {
                const bool evenHeavy = (heavy(x, c.sw, c.dw) + heavy(y, c.sh, c.dh)) % 2 == 0;
                EXPECT_EQ(at(*dst, x, y), evenHeavy ? c.evenHeavy : c.oddHeavy)
                    << c.sw << "x" << c.sh << " alphas " << c.evenAlpha << ", " << c.oddAlpha
                    << " at " << x << ", " << y;
            }
        }
    }
}

// 2 x 2 into 4 x 4: u = x / 2, v = y / 2. Column weights by destination
// column, in quarters: x = 0 {4, 0}, 1 {2, 2}, 2 {0, 4}, 3 {0, 2} (its
// right tap lies outside the source).
TEST_P(ResizeAtLevel, BilinearEnlargementFadesAtTheFarEdges) {
    const _VORNRGBAQUAD q[2][2] = {{rgba(0, 10, 20), rgba(100, 110, 120)},
                                   {rgba(200, 30, 40), rgba(40, 50, 60)}};
    BufferPtr src = makeBuffer(2, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            *src->getPixel(x, y) = q[y][x];
        }
    }
    BufferPtr dst = makeBuffer(4, 4);
    ASSERT_EQ(src->resize(dst.get()), 0);
    const int weight[4][2] = {{4, 0}, {2, 2}, {0, 4}, {0, 2}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            int total = 0;
            int r = 0;
            int g = 0;
            int b = 0;
            for (int j = 0; j < 2; ++j) {
                for (int i = 0; i < 2; ++i) {
                    const int w = weight[x][i] * weight[y][j];
                    total += w;
                    r += w * q[j][i].red;
                    g += w * q[j][i].green;
                    b += w * q[j][i].blue;
                }
            }
            const _VORNRGBAQUAD expected = rgba(r / total, g / total, b / total, 255 * total / 16);
            EXPECT_EQ(at(*dst, x, y), expected) << "at " << x << ", " << y;
        }
    }
    EXPECT_EQ(at(*dst, 1, 0), rgba(50, 60, 70));
    EXPECT_EQ(at(*dst, 3, 0), rgba(100, 110, 120, 127));
    EXPECT_EQ(at(*dst, 3, 3), rgba(40, 50, 60, 63));
}

TEST_P(ResizeAtLevel, EnlargementWeighsColoursByAlpha) {
    struct Case {
        _VORNRGBAQUAD a, b;
        _VORNRGBAQUAD expected[4];
    };
    const Case cases[] = {
        // An opaque pixel beside a clear one: the clear one's colour does
        // not bleed in; the alpha halves.
        {rgba(200, 0, 0),
         rgba(0, 0, 200, 0),
         {rgba(200, 0, 0), rgba(200, 0, 0, 127), rgba(0, 0, 200, 0), rgba(0, 0, 100, 0)}},
        // Beside a faint one: shares 0.5 and 0.1, so red 200 * 0.5 / 0.6
        // and blue 250 * 0.1 / 0.6; a lone tap keeps its own colour.
        {rgba(200, 0, 0),
         rgba(0, 0, 250, 51),
         {rgba(200, 0, 0), rgba(166, 0, 41, 153), rgba(0, 0, 250, 51), rgba(0, 0, 250, 25)}},
        // Two clear pixels: the plain interpolation, alpha 0.
        {rgba(200, 0, 0, 0),
         rgba(0, 0, 200, 0),
         {rgba(200, 0, 0, 0), rgba(100, 0, 100, 0), rgba(0, 0, 200, 0), rgba(0, 0, 100, 0)}},
    };
    for (const Case& c : cases) {
        BufferPtr src = makeBuffer(2, 1);
        *src->getPixel(0, 0) = c.a;
        *src->getPixel(1, 0) = c.b;
        BufferPtr dst = makeBuffer(4, 1);
        ASSERT_EQ(src->resize(dst.get()), 0);
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(at(*dst, x, 0), c.expected[x]) << "at " << x;
        }
    }
}

// A flat colour is a whole number after any weighted mean; rounding in the
// last place must not turn it into the next lower byte.
TEST_P(ResizeAtLevel, FlatColoursStayFlatAtAnyScale) {
    struct Size {
        int sw, sh, dw, dh;
    };
    const Size sizes[] = {{7, 5, 19, 13},  {10, 10, 33, 7}, {13, 11, 9, 4},
                          {100, 3, 71, 5}, {3, 100, 8, 41}, {64, 48, 99, 77}};
    const _VORNRGBAQUAD colours[] = {rgba(100, 200, 255), rgba(1, 128, 77), rgba(255, 255, 255)};
    for (const Size s : sizes) {
        for (const _VORNRGBAQUAD colour : colours) {
            BufferPtr src = makeFilled(s.sw, s.sh, colour);
            BufferPtr dst = makeBuffer(s.dw, s.dh);
            ASSERT_EQ(src->resize(dst.get()), 0);
            const double sx = static_cast<double>(s.sw) / s.dw;
            const double sy = static_cast<double>(s.sh) / s.dh;
            for (int y = 0; y < s.dh; ++y) {
                for (int x = 0; x < s.dw; ++x) {
                    _VORNRGBAQUAD p = at(*dst, x, y);
                    // Enlarged directions fade beyond the last source pixel.
                    const bool inside =
                        (sx > 1.0 || x * sx <= s.sw - 1) && (sy > 1.0 || y * sy <= s.sh - 1);
                    if (inside) {
                        ASSERT_EQ(p, colour) << s.sw << "x" << s.sh << " into " << s.dw << "x"
                                             << s.dh << " at " << x << ", " << y;
                    }
                    p.alpha = 255;
                    ASSERT_EQ(p, colour);
                }
            }
        }
    }
}

VORN_ALL_KERNEL_LEVELS(ResizeAtLevel);

} // namespace
