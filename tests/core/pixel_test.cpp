// The pixel blend, single-pixel writes and whole-buffer fills.

#include "core/core.h"
#include "vorn_test.h"

namespace {

// The blend written out from its definition, independently of the library's
// code: effective alpha, the copy and keep cases, then the opaque and the
// general destination.
_VORNRGBAQUAD referenceBlend(_VORNRGBAQUAD d, _VORNRGBAQUAD s, int extra) {
    const long a = extra == 255 ? s.alpha : (long{s.alpha} * extra) / 256;
    if (extra == 0 || a == 0) {
        return d;
    }
    if (a == 255) {
        return s;
    }
    long w;
    long na;
    if (d.alpha == 255) {
        w = a + 1;
        na = 255;
    } else {
        const long t = ((256 - a) * d.alpha) / 256 + 1 + a;
        na = t < 256 ? t : 255;
        w = (a * 256) / na;
    }
    auto mix = [&](long sc, long dc) { return (sc * w + dc * (256 - w)) / 256; };
    return rgba(mix(s.red, d.red), mix(s.green, d.green), mix(s.blue, d.blue), na);
}

struct BlendCase {
    _VORNRGBAQUAD src;
    unsigned char alpha;
    _VORNRGBAQUAD dst;
    _VORNRGBAQUAD expected;
};

// Pixels are given here in the buffer's own order (blue, green, red, alpha)
// through a local helper, matching how the worked examples are written.
_VORNRGBAQUAD bgra(unsigned b, unsigned g, unsigned r, unsigned a) {
    return rgba(r, g, b, a);
}

class PixelBlend : public ::testing::TestWithParam<BlendCase> {};

TEST_P(PixelBlend, WorkedExamples) {
    const BlendCase c = GetParam();
    EXPECT_EQ(blended(c.dst, c.src, c.alpha), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PixelBlend,
    ::testing::Values(
        BlendCase{bgra(200, 100, 50, 128), 255, bgra(0, 0, 0, 0), bgra(198, 99, 49, 129)},
        BlendCase{bgra(255, 255, 255, 128), 255, bgra(0, 0, 0, 255), bgra(128, 128, 128, 255)},
        BlendCase{bgra(200, 100, 50, 255), 128, bgra(10, 20, 30, 255), bgra(105, 60, 40, 255)},
        BlendCase{bgra(200, 100, 50, 200), 255, bgra(10, 20, 30, 100), bgra(180, 91, 47, 222)},
        BlendCase{bgra(200, 100, 50, 255), 255, bgra(1, 2, 3, 4), bgra(200, 100, 50, 255)},
        BlendCase{bgra(200, 100, 50, 255), 254, bgra(10, 20, 30, 255), bgra(198, 99, 49, 255)},
        BlendCase{bgra(200, 100, 50, 1), 255, bgra(10, 20, 30, 40), bgra(14, 21, 30, 41)},
        BlendCase{bgra(200, 100, 50, 99), 0, bgra(1, 2, 3, 0), bgra(1, 2, 3, 0)},
        BlendCase{bgra(200, 100, 50, 0), 255, bgra(1, 2, 3, 0), bgra(1, 2, 3, 0)},
        // A transparent destination under alpha a ends with alpha a + 1.
        BlendCase{bgra(9, 9, 9, 77), 255, bgra(0, 0, 0, 0), bgra(8, 8, 8, 78)}));

// Every (source alpha, extra opacity, destination alpha) with a few colour
// pairs per combination, against the reference above.
TEST(PixelBlend, MatchesTheDefinitionOverTheWholeRange) {
    Rng rng(1);
    long mismatches = 0;
    for (int sa = 0; sa < 256; ++sa) {
        for (int extra = 0; extra < 256; ++extra) {
            for (int da = 0; da < 256; ++da) {
                for (int k = 0; k < 2; ++k) {
                    _VORNRGBAQUAD s = rng.pixel();
                    _VORNRGBAQUAD d = rng.pixel();
                    if (k == 0) { // the extremes of the colour range
                        s = (sa & 1) ? rgba(255, 0, 255) : rgba(0, 255, 0);
                        d = (da & 1) ? rgba(0, 255, 0) : rgba(255, 0, 255);
                    }
                    s.alpha = static_cast<unsigned char>(sa);
                    d.alpha = static_cast<unsigned char>(da);
                    _VORNRGBAQUAD got = d;
                    vorn::detail::blendPixel(got, s, static_cast<unsigned>(extra));
                    if (got != referenceBlend(d, s, extra) && ++mismatches < 5) {
                        ADD_FAILURE() << "sa " << sa << " extra " << extra << " da " << da;
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(PixelBlend, MemberEqualsTheInlineBlend) {
    Rng rng(2);
    for (int i = 0; i < 10000; ++i) {
        const _VORNRGBAQUAD s = rng.pixel();
        const _VORNRGBAQUAD d = rng.pixel();
        const unsigned char extra = rng.byte();
        _VORNRGBAQUAD expected = d;
        vorn::detail::blendPixel(expected, s, extra);
        ASSERT_EQ(blended(d, s, extra), expected);
    }
}

TEST(PixelWrites, OutsideTheBufferChangeNothing) {
    BufferPtr b = makeBuffer(3, 2);
    const std::pair<int, int> outside[] = {{-1, 0}, {3, 0}, {0, 2}, {0, -1}, {INT_MIN, INT_MAX}};
    for (auto [x, y] : outside) {
        (b.get()->*VornProtected::setPixelFn)(x, y, rgba(1, 2, 3, 4));
        (b.get()->*VornProtected::setPixelBlendFn)(x, y, rgba(1, 2, 3, 255));
    }
    EXPECT_TRUE(changedPixels(*b).empty());
}

TEST(PixelWrites, SetOverwritesAndSetBlendBlends) {
    BufferPtr b = makeFilled(3, 2, rgba(30, 20, 10, 255));
    (b.get()->*VornProtected::setPixelFn)(2, 1, rgba(1, 2, 3, 0));
    EXPECT_EQ(at(*b, 2, 1), rgba(1, 2, 3, 0));
    (b.get()->*VornProtected::setPixelBlendFn)(0, 1, rgba(255, 255, 255, 128));
    EXPECT_EQ(at(*b, 0, 1), blended(rgba(30, 20, 10, 255), rgba(255, 255, 255, 128), 255));
    EXPECT_EQ(changedPixels(*b, rgba(30, 20, 10, 255)), (PixelSet{{2, 1}, {0, 1}}));
}

TEST(Fill, EqualAndDifferentBytesGiveTheColourEverywhere) {
    const _VORNRGBAQUAD colours[] = {rgba(7, 7, 7, 7), rgba(7, 7, 7, 8), rgba(1, 2, 3, 4),
                                     rgba(0, 0, 0, 0), rgba(255, 255, 255, 255)};
    for (const auto& c : colours) {
        for (int width : {1, 3, 4, 5, 31, 33, 64, 67}) {
            BufferPtr b = makeFilled(width, 3, rgba(99, 98, 97, 96));
            b->fill(c.red, c.green, c.blue, c.alpha);
            for (std::uint32_t w : words(*b)) {
                ASSERT_EQ(w, word(c)) << width;
            }
        }
    }
}

TEST(Fill, ColourKeepsAlphaAndAlphaKeepsColour) {
    BufferPtr b = makeFilled(5, 5, rgba(9, 9, 9, 77));
    b->fillColour(1, 2, 3);
    EXPECT_EQ(at(*b, 4, 4), rgba(1, 2, 3, 77));
    b->fillAlpha(200);
    EXPECT_EQ(at(*b, 0, 0), rgba(1, 2, 3, 200));
}

TEST(Unpremultiply, WorkedExamples) {
    BufferPtr b = makeBuffer(4, 1);
    *b->getPixel(0, 0) = rgba(16, 32, 64, 128);
    *b->getPixel(1, 0) = rgba(7, 6, 5, 0);
    *b->getPixel(2, 0) = rgba(100, 100, 100, 100);
    *b->getPixel(3, 0) = rgba(200, 1, 255, 100); // above alpha: low 8 bits
    b->PBGRAtoBGRA();
    EXPECT_EQ(at(*b, 0, 0), rgba(31, 63, 127, 128));
    EXPECT_EQ(at(*b, 1, 0), rgba(7, 6, 5, 0));
    EXPECT_EQ(at(*b, 2, 0), rgba(255, 255, 255, 100));
    EXPECT_EQ(at(*b, 3, 0), rgba((200 * 255 / 100) & 255, 2, (255 * 255 / 100) & 255, 100));
}

// The table-driven division against plain division for every byte pair,
// and against the double-precision form the behaviour is defined by.
TEST(Unpremultiply, FastPathEqualsDivisionForEveryPair) {
    std::vector<_VORNRGBAQUAD> fast;
    for (int a = 0; a < 256; ++a) {
        for (int c = 0; c < 256; ++c) {
            fast.push_back(rgba(c, 255 - c, c ^ 0x5A, a));
        }
    }
    std::vector<_VORNRGBAQUAD> plain = fast;
    vorn::detail::unpremultiplyRow(fast.data(), fast.size());
    vorn::detail::unpremultiplyRowReference(plain.data(), plain.size());
    for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_EQ(fast[i], plain[i]) << i;
        const int a = plain[i].alpha;
        const int c = static_cast<int>(i % 256);
        if (a != 0 && c <= a) {
            ASSERT_EQ(fast[i].red, static_cast<int>((static_cast<double>(c) / a) * 255.0));
        }
    }
}

} // namespace
