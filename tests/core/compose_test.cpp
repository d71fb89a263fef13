// Compositing one buffer onto another: at an offset and stretched.

#include "vorn_test.h"

#include <climits>

namespace {

// The placement loop as the behaviour is defined: rows top to bottom,
// skipping rows above and stopping at the first row below; columns left to
// right, skipping those left and leaving the row at the first one right.
// Pixels are changed one at a time, so a buffer laid onto itself reads what
// earlier steps wrote.
void placeOneByOne(VornBuffer& dst, const VornBuffer& src, int x, int y, int op) {
    for (long long j = 0; j < src.getHeight(); ++j) {
        const long long dy = y + j;
        if (dy < 0) {
            continue;
        }
        if (dy >= dst.getHeight()) {
            return;
        }
        for (long long i = 0; i < src.getWidth(); ++i) {
            const long long dx = x + i;
            if (dx < 0) {
                continue;
            }
            if (dx >= dst.getWidth()) {
                break;
            }
            _VORNRGBAQUAD& d = *dst.getPixel(static_cast<int>(dx), static_cast<int>(dy));
            const _VORNRGBAQUAD s = *src.getPixel(static_cast<int>(i), static_cast<int>(j));
            switch (op) {
            case 0:
                d = blended(d, s, 255);
                break;
            case 1:
                d = rgba(d.red ^ s.red, d.green ^ s.green, d.blue ^ s.blue, d.alpha);
                break;
            case 2:
                d = rgba(d.red & s.red, d.green & s.green, d.blue & s.blue, d.alpha);
                break;
            case 3:
                d = rgba(d.red | s.red, d.green | s.green, d.blue | s.blue, d.alpha);
                break;
            }
        }
    }
}

int place(VornBuffer& dst, const VornBuffer* src, int x, int y, int op) {
    switch (op) {
    case 0:
        return dst.blend(src, x, y);
    case 1:
        return dst.xorBlend(src, x, y);
    case 2:
        return dst.andBlend(src, x, y);
    default:
        return dst.orBlend(src, x, y);
    }
}

BufferPtr randomBuffer(Rng& rng, int w, int h) {
    BufferPtr b = makeBuffer(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            *b->getPixel(x, y) = rng.pixel();
        }
    }
    return b;
}

TEST(Place, MatchesThePixelByPixelWalkAtRandomOffsets) {
    Rng rng(11);
    for (int trial = 0; trial < 600; ++trial) {
        const int op = trial % 4;
        BufferPtr dst = randomBuffer(rng, rng.range(1, 23), rng.range(1, 17));
        BufferPtr src = randomBuffer(rng, rng.range(1, 29), rng.range(1, 13));
        const int x = rng.range(-30, 25);
        const int y = rng.range(-15, 20);
        BufferPtr expected(dst->duplicate());
        placeOneByOne(*expected, *src, x, y, op);
        ASSERT_EQ(place(*dst, src.get(), x, y, op), 0);
        ASSERT_EQ(words(*dst), words(*expected)) << "trial " << trial;
    }
}

TEST(Place, OntoItselfReadsPixelsChangedEarlier) {
    Rng rng(12);
    for (int op = 0; op < 4; ++op) {
        for (auto [x, y] : {std::pair{1, 0}, {0, 1}, {-1, 0}, {2, -1}, {-2, 2}}) {
            BufferPtr b = randomBuffer(rng, 9, 6);
            BufferPtr expected(b->duplicate());
            BufferPtr snapshot(b->duplicate());
            // The expected result reads from the buffer being changed.
            placeOneByOne(*expected, *expected, x, y, op);
            place(*b, b.get(), x, y, op);
            ASSERT_EQ(words(*b), words(*expected)) << op << " " << x << "," << y;
        }
    }
}

TEST(Place, OnlyTheOverlapChanges) {
    BufferPtr dst = makeFilled(3, 3, rgba(0, 0, 0, 255));
    BufferPtr src = makeBuffer(2, 2);
    *src->getPixel(0, 0) = rgba(1, 1, 1);
    *src->getPixel(1, 0) = rgba(2, 2, 2);
    *src->getPixel(0, 1) = rgba(3, 3, 3);
    *src->getPixel(1, 1) = rgba(4, 4, 4);
    EXPECT_EQ(dst->blend(src.get(), -1, -1), 0);
    EXPECT_EQ(at(*dst, 0, 0), rgba(4, 4, 4));
    EXPECT_EQ(changedPixels(*dst, rgba(0, 0, 0, 255)), (PixelSet{{0, 0}}));
}

TEST(Place, OutsideOrExtremeOffsetsChangeNothing) {
    BufferPtr dst = makeBuffer(4, 3);
    BufferPtr src = makeFilled(2, 2, rgba(9, 9, 9));
    const std::pair<int, int> offsets[] = {{4, 0},       {0, 3},       {-2, 0},
                                           {0, -2},      {INT_MAX, 0}, {0, INT_MAX},
                                           {INT_MIN, 0}, {0, INT_MIN}, {INT_MIN, INT_MIN}};
    for (int op = 0; op < 4; ++op) {
        for (auto [x, y] : offsets) {
            EXPECT_EQ(place(*dst, src.get(), x, y, op), 0);
        }
    }
    EXPECT_TRUE(changedPixels(*dst).empty());
}

TEST(Place, TransparentSourceBlendsNothingButStillXors) {
    BufferPtr dst = makeFilled(2, 2, rgba(0x0F, 0xF0, 0x33, 200));
    BufferPtr src = makeFilled(2, 2, rgba(0xFF, 0x0F, 0x01, 0));
    dst->blend(src.get(), 0, 0);
    EXPECT_EQ(at(*dst, 1, 1), rgba(0x0F, 0xF0, 0x33, 200));
    dst->xorBlend(src.get(), 0, 0);
    EXPECT_EQ(at(*dst, 1, 1), rgba(0xF0, 0xFF, 0x32, 200));
    dst->xorBlend(src.get(), 0, 0);
    EXPECT_EQ(at(*dst, 1, 1), rgba(0x0F, 0xF0, 0x33, 200));
    dst->andBlend(src.get(), 0, 0);
    EXPECT_EQ(at(*dst, 0, 0), rgba(0x0F, 0x00, 0x01, 200));
    dst->orBlend(src.get(), 0, 0);
    EXPECT_EQ(at(*dst, 0, 0), rgba(0xFF, 0x0F, 0x01, 200));
}

int callRop(VornBuffer& b, const VornBuffer* src, int x, int y, int op) {
    return (b.*VornProtected::ropFn)(src, x, y, static_cast<VornBuffer::ROP>(op));
}

TEST(Place, RopDispatchesAndIgnoresUnknownOperations) {
    Rng rng(13);
    BufferPtr src = randomBuffer(rng, 5, 4);
    for (int op = 0; op < 4; ++op) {
        BufferPtr a = randomBuffer(rng, 6, 6);
        BufferPtr b(a->duplicate());
        EXPECT_EQ(callRop(*a, src.get(), 1, 2, op), 0);
        place(*b, src.get(), 1, 2, op);
        EXPECT_EQ(words(*a), words(*b));
    }
    BufferPtr dst = randomBuffer(rng, 6, 6);
    const auto before = words(*dst);
    for (int op : {4, -1, 100}) {
        EXPECT_EQ(callRop(*dst, src.get(), 0, 0, op), 0);
    }
    EXPECT_EQ(words(*dst), before);
    EXPECT_EQ(callRop(*dst, nullptr, 0, 0, 0), -1);
}

TEST(Place, NullSourceIsRefusedByEveryForm) {
    BufferPtr dst = makeBuffer(2, 2);
    for (int op = 0; op < 4; ++op) {
        EXPECT_EQ(place(*dst, nullptr, 0, 0, op), -1);
    }
    EXPECT_EQ(dst->blend(nullptr, 0, 0, 1, 1), -1);
}

TEST(Stretch, OnePixelFillsTheRectangleCornersIncluded) {
    BufferPtr dst = makeBuffer(6, 5);
    BufferPtr red = makeFilled(1, 1, rgba(255, 0, 0));
    EXPECT_EQ(dst->blend(red.get(), 2, 2, 4, 3), 0);
    EXPECT_EQ(picture(*dst), rows({"......", "......", "..###.", "..###.", "......"}));
    EXPECT_EQ(at(*dst, 4, 3), rgba(255, 0, 0));
}

TEST(Stretch, TwoColumnsDoubled) {
    BufferPtr dst = makeBuffer(4, 1);
    BufferPtr src = makeBuffer(2, 1);
    *src->getPixel(0, 0) = rgba(10, 0, 0);
    *src->getPixel(1, 0) = rgba(20, 0, 0);
    dst->blend(src.get(), 0, 0, 3, 0);
    EXPECT_EQ(at(*dst, 0, 0), rgba(10, 0, 0));
    EXPECT_EQ(at(*dst, 1, 0), rgba(10, 0, 0));
    EXPECT_EQ(at(*dst, 2, 0), rgba(20, 0, 0));
    EXPECT_EQ(at(*dst, 3, 0), rgba(20, 0, 0));
}

// In single precision (1 * 41) * (1 / 41) falls just below 1, so the same
// size does not always sample the same column.
TEST(Stretch, SamplesInSinglePrecision) {
    BufferPtr src = makeBuffer(41, 1);
    for (int i = 0; i < 41; ++i) {
        *src->getPixel(i, 0) = rgba(i, 0, 0);
    }
    BufferPtr dst = makeBuffer(50, 1);
    dst->blend(src.get(), 3, 0, 43, 0);
    EXPECT_EQ(at(*dst, 3, 0).red, 0);
    EXPECT_EQ(at(*dst, 4, 0).red, 0);
    EXPECT_EQ(at(*dst, 5, 0).red, 1);
    for (int dx = 3; dx <= 43; ++dx) {
        const float f = (static_cast<float>(dx - 3) * 41.0f) * (1.0f / 41.0f);
        EXPECT_EQ(at(*dst, dx, 0).red, static_cast<int>(f)) << dx;
    }
}

TEST(Stretch, ClipsAndIgnoresEmptyOrExtremeRectangles) {
    BufferPtr src = makeFilled(2, 2, rgba(1, 2, 3));
    BufferPtr dst = makeBuffer(4, 4);
    dst->blend(src.get(), -2, -2, 1, 1);
    EXPECT_EQ(picture(*dst), rows({"##..", "##..", "....", "...."}));
    EXPECT_EQ(at(*dst, 0, 0), rgba(1, 2, 3)); // source (1, 1)
    BufferPtr empty = makeBuffer(4, 4);
    empty->blend(src.get(), 3, 0, 2, 3);   // x2 < x1
    empty->blend(src.get(), -5, 0, -1, 3); // x2 < 0
    empty->blend(src.get(), 0, 4, 3, 9);   // below
    EXPECT_TRUE(changedPixels(*empty).empty());
    BufferPtr huge = makeBuffer(4, 4);
    EXPECT_EQ(huge->blend(src.get(), INT_MIN, INT_MIN, INT_MAX, INT_MAX), 0);
    EXPECT_EQ(huge->blend(src.get(), INT_MAX, INT_MAX, INT_MIN, INT_MIN), 0);
}

} // namespace
