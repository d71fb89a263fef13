// SPDX-License-Identifier: MIT
// Compositing one buffer onto another: at an offset and stretched.

#include "vorn_test.h"

#include <climits>

namespace {

// The placement loop as the behaviour is defined, one pixel at a time: rows
// top to bottom, skipping those above and stopping at the first row below;
// columns left to right, skipping those left and leaving the row at the
// first one right. A buffer laid onto itself reads what earlier steps wrote.
void placeOneByOne(VornBuffer& dst, const VornBuffer& src, int x, int y, int op) {
    for (long long j = 0; j < src.getHeight() && y + j < dst.getHeight(); ++j) {
        for (long long i = 0; i < src.getWidth() && x + i < dst.getWidth(); ++i) {
            if (y + j < 0 || x + i < 0) {
                continue;
            }
            _VORNRGBAQUAD& d = *dst.getPixel(static_cast<int>(x + i), static_cast<int>(y + j));
            const _VORNRGBAQUAD s = *src.getPixel(static_cast<int>(i), static_cast<int>(j));
            auto bits = [op](int a, int b) { return op == 1 ? a ^ b : op == 2 ? a & b : a | b; };
            d = op == 0 ? blended(d, s, 255)
                        : rgba(bits(d.red, s.red), bits(d.green, s.green), bits(d.blue, s.blue),
                               d.alpha);
        }
    }
}

int place(VornBuffer& dst, const VornBuffer* src, int x, int y, int op) {
    using Member = int (VornBuffer::*)(const VornBuffer*, int, int);
    const Member members[] = {&VornBuffer::blend, &VornBuffer::xorBlend, &VornBuffer::andBlend,
                              &VornBuffer::orBlend};
    return (dst.*members[op])(src, x, y);
}

int callRop(VornBuffer& b, const VornBuffer* src, int x, int y, int op) {
    return (b.*Access::ropFn)(src, x, y, static_cast<VornBuffer::ROP>(op));
}

// Random sizes and offsets (now and then at the ends of the int range), each
// operation through its virtual member and through rop; one trial in five
// lays a buffer onto itself or onto a view that shares its pixels.
TEST(Place, MatchesThePixelByPixelWalk) {
    Rng rng(11);
    for (int trial = 0; trial < 800; ++trial) {
        const int op = rng.range(0, 3);
        BufferPtr dst = makeRandom(rng, rng.range(1, 23), rng.range(1, 17));
        BufferPtr src = makeRandom(rng, rng.range(1, 29), rng.range(1, 13));
        BufferPtr view(trial % 10 == 5 ? new VornBuffer(*dst) : nullptr);
        const VornBuffer* from = trial % 10 == 0 ? dst.get() : view ? view.get() : src.get();
        int x = from == src.get() ? rng.range(-30, 25) : rng.range(-3, 3);
        int y = from == src.get() ? rng.range(-15, 20) : rng.range(-3, 3);
        x = trial % 16 == 1 ? (rng.range(0, 1) ? INT_MIN : INT_MAX) : x;
        y = trial % 16 == 3 ? (rng.range(0, 1) ? INT_MIN : INT_MAX) : y;
        BufferPtr expected(dst->duplicate());
        placeOneByOne(*expected, from == src.get() ? *src : *expected, x, y, op);
        BufferPtr viaRop(dst->duplicate());
        if (from == src.get()) {
            ASSERT_EQ(callRop(*viaRop, src.get(), x, y, op), 0);
            ASSERT_EQ(words(*viaRop), words(*expected)) << "rop, trial " << trial;
        }
        ASSERT_EQ(place(*dst, from, x, y, op), 0);
        ASSERT_EQ(words(*dst), words(*expected)) << "trial " << trial;
    }
}

TEST(Place, UnknownOperationsChangeNothingAndNullSourcesAreRefused) {
    BufferPtr src = makeFilled(5, 4, rgba(1, 2, 3));
    BufferPtr dst = makeBuffer(6, 6);
    for (int op : {4, -1, 100}) {
        EXPECT_EQ(callRop(*dst, src.get(), 0, 0, op), 0);
    }
    EXPECT_EQ(changedPixels(*dst), PixelSet{});
    EXPECT_EQ(callRop(*dst, nullptr, 0, 0, 0), -1);
    for (int op = 0; op < 4; ++op) {
        EXPECT_EQ(place(*dst, nullptr, 0, 0, op), -1);
    }
    EXPECT_EQ(dst->blend(nullptr, 0, 0, 1, 1), -1);
}

// Nearest-neighbour sampling into a rectangle, corners included, clipped to
// the destination.
TEST(Stretch, SamplesIntoTheRectangle) {
    BufferPtr dst = makeBuffer(6, 5);
    BufferPtr red = makeFilled(1, 1, rgba(255, 0, 0));
    EXPECT_EQ(dst->blend(red.get(), 2, 2, 4, 3), 0);
    EXPECT_EQ(picture(*dst), rows({"......", "......", "..###.", "..###.", "......"}));
    EXPECT_EQ(at(*dst, 4, 3), rgba(255, 0, 0));

    BufferPtr two = makeBuffer(2, 2);
    two->getPixels()[1] = rgba(20, 0, 0); // (1, 0); the rest is transparent
    BufferPtr row = makeFilled(4, 1, rgba(10, 0, 0));
    row->blend(two.get(), 0, 0, 3, 0);
    EXPECT_EQ(picture(*row, rgba(10, 0, 0)), "..##\n");
    row->blend(two.get(), -4, 0, 1, 0); // clipped: columns 0 and 1 take source column 1
    EXPECT_EQ(picture(*row, rgba(10, 0, 0)), "####\n");

    // In single precision (1 x 41) x (1 / 41) falls just below 1, so a
    // rectangle of the source's own size does not sample column for column.
    BufferPtr ramp = makeBuffer(41, 1);
    for (int i = 0; i < 41; ++i) {
        *ramp->getPixel(i, 0) = rgba(i, 0, 0);
    }
    BufferPtr out = makeBuffer(50, 1);
    out->blend(ramp.get(), 3, 0, 43, 0);
    EXPECT_EQ((std::vector<int>{at(*out, 4, 0).red, at(*out, 5, 0).red, at(*out, 43, 0).red}),
              (std::vector<int>{0, 1, 40}));
}

TEST(Stretch, EmptyOrExtremeRectangles) {
    BufferPtr src = makeFilled(2, 2, rgba(1, 2, 3));
    BufferPtr dst = makeBuffer(4, 4);
    EXPECT_EQ(dst->blend(src.get(), 3, 0, 2, 3), 0);   // x2 < x1
    EXPECT_EQ(dst->blend(src.get(), -5, 0, -1, 3), 0); // x2 < 0
    EXPECT_EQ(dst->blend(src.get(), 0, 4, 3, 9), 0);   // below
    EXPECT_EQ(dst->blend(src.get(), INT_MAX, INT_MAX, INT_MIN, INT_MIN), 0);
    EXPECT_EQ(changedPixels(*dst), PixelSet{});
    EXPECT_EQ(dst->blend(src.get(), INT_MIN, INT_MIN, INT_MAX, INT_MAX), 0);
}

} // namespace
