// SPDX-License-Identifier: MIT
// Row export in other layouts, duplicate and flip.

#include "vorn_test.h"

#include <algorithm>

namespace {

std::vector<int> bytes(const unsigned char* p, int n) {
    return std::vector<int>(p, p + n);
}

TEST(RowRGB, FlattensOntoTheBackground) {
    BufferPtr b = makeBuffer(3, 2);
    *b->getPixel(0, 1) = rgba(30, 20, 10, 255);
    *b->getPixel(1, 1) = rgba(3, 2, 1, 0);
    unsigned char out[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(b->getRowRGB(-1, out, false), 0);
    EXPECT_EQ(b->getRowRGB(2, out, false), 0);
    EXPECT_EQ(bytes(out, 9), std::vector<int>(9, 7)); // nothing written
    EXPECT_EQ(b->getRowRGB(1, out, false), 9);        // no background: black
    EXPECT_EQ(bytes(out, 6), (std::vector<int>{10, 20, 30, 0, 0, 0}));
    EXPECT_EQ(b->getRowRGB(1, out, true), 9);
    EXPECT_EQ(bytes(out, 6), (std::vector<int>{30, 20, 10, 0, 0, 0}));
    // Below full opacity flattening never reaches 255.
    b->setBackground(255, 255, 255);
    *b->getPixel(0, 0) = rgba(0, 0, 0, 128);
    *b->getPixel(1, 0) = rgba(255, 255, 255, 254);
    *b->getPixel(2, 0) = rgba(100, 50, 0, 0);
    b->getRowRGB(0, out, true);
    EXPECT_EQ(bytes(out, 9), (std::vector<int>{126, 126, 126, 254, 254, 254, 255, 255, 255}));
}

// Each order raw and flattened with the given alpha; an invalid order gives
// -1, but only after the row check (0 for a row outside), writing nothing.
TEST(RowRGBA, Orders) {
    BufferPtr raw = makeFilled(1, 1, rgba(3, 2, 1, 4)); // memory order 1, 2, 3, 4
    BufferPtr b = makeBuffer(2, 1);
    b->setBackground(10, 20, 30);
    *b->getPixel(0, 0) = rgba(100, 0, 200, 0); // transparent: the background colour
    *b->getPixel(1, 0) = rgba(255, 0, 0, 128); // (p a + bg (255 - a)) >> 8: 132, 9, 14
    struct Case {
        VornBuffer::RGBA_ORDER order;
        std::vector<int> raw;
        std::vector<int> flattened;
    };
    const Case cases[] = {
        {VornBuffer::ORDER_BGRA, {1, 2, 3, 4}, {30, 20, 10, 200, 14, 9, 132, 200}},
        {VornBuffer::ORDER_RGBA, {3, 2, 1, 4}, {10, 20, 30, 200, 132, 9, 14, 200}},
        {VornBuffer::ORDER_AGBR, {4, 2, 1, 3}, {200, 20, 30, 10, 200, 9, 14, 132}},
        {VornBuffer::ORDER_ARGB, {4, 3, 2, 1}, {200, 10, 20, 30, 200, 132, 9, 14}}};
    for (const Case& c : cases) {
        unsigned char out[8] = {};
        EXPECT_EQ(raw->getRowRGBA(0, out, c.order), 4);
        EXPECT_EQ(bytes(out, 4), c.raw) << c.order;
        EXPECT_EQ(b->getRowRGBA(0, out, c.order, 200), 8);
        EXPECT_EQ(bytes(out, 8), c.flattened) << c.order;
    }
    unsigned char out[8] = {5, 5, 5, 5, 5, 5, 5, 5};
    for (int invalid : {4, -1}) {
        const auto order = static_cast<VornBuffer::RGBA_ORDER>(invalid);
        EXPECT_EQ(b->getRowRGBA(0, out, order), -1);
        EXPECT_EQ(b->getRowRGBA(0, out, order, 9), -1);
        EXPECT_EQ(b->getRowRGBA(1, out, order), 0);
        EXPECT_EQ(b->getRowRGBA(-1, out, order, 9), 0);
    }
    EXPECT_EQ(bytes(out, 8), std::vector<int>(8, 5));
    // A null output gets nothing written (the order is still checked).
    EXPECT_EQ(b->getRowRGB(0, nullptr, false), 0);
    EXPECT_EQ(b->getRowRGBA(0, nullptr, VornBuffer::ORDER_RGBA), 0);
    EXPECT_EQ(b->getRowRGBA(0, nullptr, VornBuffer::ORDER_BGRA, 9), 0);
    EXPECT_EQ(b->getRowRGBA(0, nullptr, static_cast<VornBuffer::RGBA_ORDER>(4)), -1);
}

TEST(Duplicate, CopiesPixelsAndTransparencyOnly) {
    Rng rng(3);
    BufferPtr b = makeRandom(rng, 7, 5);
    b->setDensity(1, 96, 96);
    b->setBackground(1, 2, 3);
    b->setHasTransparency(true);
    b->setTransparentColour(4, 5, 6);
    BufferPtr copy(b->duplicate());
    EXPECT_NE(copy->getPixels(), b->getPixels());
    EXPECT_EQ(Access::ownsPixelsOf(*copy), 1);
    EXPECT_EQ(words(*copy), words(*b));
    EXPECT_EQ(copy->getPixelsPerMetreX(), 3780);
    EXPECT_EQ(copy->getBackground(nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(copy->hasTransparency());
    EXPECT_EQ(copy->getTransparentColour(), rgba(4, 5, 6, 0));
}

TEST(Flip, SwapsRowsAndKeepsTheMiddle) {
    Rng rng(4);
    for (int height : {1, 2, 3, 4, 7}) {
        BufferPtr b = makeRandom(rng, 3, height);
        const std::vector<std::uint32_t> before = words(*b);
        b->flip();
        const std::vector<std::uint32_t> after = words(*b);
        for (int y = 0; y < height; ++y) {
            EXPECT_TRUE(std::equal(&after[3 * y], &after[3 * y + 3], &before[3 * (height - 1 - y)]))
                << "height " << height << ", row " << y;
        }
    }
}

} // namespace
