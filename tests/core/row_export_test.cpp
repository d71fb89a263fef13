// Row export in other layouts, duplicate and flip.

#include "vorn_test.h"

namespace {

std::vector<int> bytes(const unsigned char* p, int n) {
    return std::vector<int>(p, p + n);
}

TEST(RowRGB, FlattensOntoBlackWithoutBackground) {
    BufferPtr b = makeBuffer(2, 2);
    *b->getPixel(0, 1) = rgba(30, 20, 10, 255);
    *b->getPixel(1, 1) = rgba(3, 2, 1, 0);
    unsigned char out[6] = {};
    EXPECT_EQ(b->getRowRGB(1, out, false), 6);
    EXPECT_EQ(bytes(out, 6), (std::vector<int>{10, 20, 30, 0, 0, 0}));
    EXPECT_EQ(b->getRowRGB(1, out, true), 6);
    EXPECT_EQ(bytes(out, 6), (std::vector<int>{30, 20, 10, 0, 0, 0}));
}

TEST(RowRGB, FlatteningNeverReachesFullBelowOpacity) {
    BufferPtr b = makeBuffer(3, 1);
    b->setBackground(255, 255, 255);
    *b->getPixel(0, 0) = rgba(0, 0, 0, 128);
    *b->getPixel(1, 0) = rgba(255, 255, 255, 254);
    *b->getPixel(2, 0) = rgba(100, 50, 0, 0);
    unsigned char out[9] = {};
    b->getRowRGB(0, out, true);
    EXPECT_EQ(bytes(out, 9), (std::vector<int>{126, 126, 126, 254, 254, 254, 255, 255, 255}));
}

TEST(RowRGB, RowsOutsideWriteNothing) {
    BufferPtr b = makeBuffer(2, 2);
    unsigned char out[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_EQ(b->getRowRGB(-1, out, false), 0);
    EXPECT_EQ(b->getRowRGB(2, out, false), 0);
    EXPECT_EQ(bytes(out, 6), (std::vector<int>(6, 7)));
}

struct OrderCase {
    int order;
    std::vector<int> expected;
};

TEST(RowRGBA, RawOrders) {
    BufferPtr b = makeFilled(1, 1, rgba(3, 2, 1, 4)); // memory order 1, 2, 3, 4
    const OrderCase cases[] = {{VornBuffer::ORDER_BGRA, {1, 2, 3, 4}},
                               {VornBuffer::ORDER_RGBA, {3, 2, 1, 4}},
                               {VornBuffer::ORDER_AGBR, {4, 2, 1, 3}},
                               {VornBuffer::ORDER_ARGB, {4, 3, 2, 1}}};
    for (const auto& c : cases) {
        unsigned char out[4] = {};
        EXPECT_EQ(b->getRowRGBA(0, out, static_cast<VornBuffer::RGBA_ORDER>(c.order)), 4);
        EXPECT_EQ(bytes(out, 4), c.expected) << c.order;
    }
}

TEST(RowRGBA, FlattenedOrdersCarryTheGivenAlpha) {
    BufferPtr b = makeBuffer(2, 1);
    b->setBackground(10, 20, 30);
    *b->getPixel(0, 0) = rgba(100, 0, 200, 0); // transparent: background colour
    *b->getPixel(1, 0) = rgba(255, 0, 0, 128);
    const int red = (255 * 128 + 10 * 127) >> 8;
    const int green = (20 * 127) >> 8;
    const int blue = (30 * 127) >> 8;
    const OrderCase cases[] = {{VornBuffer::ORDER_RGBA, {10, 20, 30, 200, red, green, blue, 200}},
                               {VornBuffer::ORDER_BGRA, {30, 20, 10, 200, blue, green, red, 200}},
                               {VornBuffer::ORDER_AGBR, {200, 20, 30, 10, 200, green, blue, red}},
                               {VornBuffer::ORDER_ARGB, {200, 10, 20, 30, 200, red, green, blue}}};
    for (const auto& c : cases) {
        unsigned char out[8] = {};
        EXPECT_EQ(b->getRowRGBA(0, out, static_cast<VornBuffer::RGBA_ORDER>(c.order), 200), 8);
        EXPECT_EQ(bytes(out, 8), c.expected) << c.order;
    }
}

TEST(RowRGBA, InvalidOrderAfterTheRowCheck) {
    BufferPtr b = makeBuffer(2, 3);
    unsigned char out[8] = {5, 5, 5, 5, 5, 5, 5, 5};
    for (int order : {4, -1}) {
        const auto o = static_cast<VornBuffer::RGBA_ORDER>(order);
        EXPECT_EQ(b->getRowRGBA(0, out, o), -1);
        EXPECT_EQ(b->getRowRGBA(0, out, o, 9), -1);
        EXPECT_EQ(b->getRowRGBA(3, out, o), 0);
        EXPECT_EQ(b->getRowRGBA(-1, out, o, 9), 0);
    }
    EXPECT_EQ(bytes(out, 8), (std::vector<int>(8, 5)));
}

TEST(Duplicate, CopiesPixelsAndTransparencyOnly) {
    Rng rng(3);
    BufferPtr b = makeBuffer(7, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            *b->getPixel(x, y) = rng.pixel();
        }
    }
    b->setDensity(1, 96, 96);
    b->setBackground(1, 2, 3);
    b->setHasTransparency(true);
    b->setTransparentColour(4, 5, 6);
    BufferPtr copy(b->duplicate());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->getPixels(), b->getPixels());
    EXPECT_EQ(words(*copy), words(*b));
    EXPECT_EQ(copy->getPixelsPerMetreX(), 3780);
    EXPECT_EQ(copy->getBackground(nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(copy->hasTransparency());
    EXPECT_EQ(copy->getTransparentColour(), rgba(4, 5, 6, 0));
    EXPECT_EQ(VornProtected::ownsPixelsOf(*copy), 1);
}

TEST(Flip, SwapsRowsAndKeepsTheMiddle) {
    for (int height : {1, 2, 3, 4, 7}) {
        BufferPtr b = makeBuffer(3, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 3; ++x) {
                *b->getPixel(x, y) = rgba(x, y, 7);
            }
        }
        const auto original = words(*b);
        b->flip();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 3; ++x) {
                ASSERT_EQ(at(*b, x, y), rgba(x, height - 1 - y, 7)) << height;
            }
        }
        b->flip();
        EXPECT_EQ(words(*b), original);
    }
}

} // namespace
