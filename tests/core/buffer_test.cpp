// SPDX-License-Identifier: MIT
// Buffer lifecycle, ownership, accessors and density.

#include "alloc_counter.h"
#include "core/core.h"
#include "vorn_test.h"

#include <climits>

namespace {

TEST(Build, RefusesBadSizesWithoutAllocating) {
    const std::pair<int, int> refused[] = {
        {0, 5},         {5, -1},        {INT_MIN, 1},   {32768, 16384}, // exactly 2^31 bytes
        {536870912, 1}, {1, 536870912}, {65536, 65536}, {46341, 46341}, {INT_MAX, INT_MAX}};
    _VORNRGBAQUAD block[4] = {};
    for (const auto& [w, h] : refused) {
        const std::size_t before = allocationCount();
        EXPECT_EQ(VornBuffer::Build(w, h, nullptr), nullptr) << w << " x " << h;
        EXPECT_EQ(VornBuffer::Build(w, h, block), nullptr) << w << " x " << h;
        EXPECT_EQ(allocationCount(), before) << w << " x " << h;
    }
    // The largest blocks accepted are just below 2^31 bytes.
    EXPECT_EQ(vorn::detail::pixelBlockBytes(536870911, 1), 2147483644u);
    EXPECT_EQ(vorn::detail::pixelBlockBytes(32767, 16384), 2147418112u);
}

TEST(Build, OwnsAClearedBlockOrBorrowsTheCallers) {
    BufferPtr b = makeBuffer(1, 1);
    EXPECT_EQ(at(*b, 0, 0), rgba(0, 0, 0, 0));
    EXPECT_EQ(Access::ownsPixelsOf(*b), 1);

    std::vector<_VORNRGBAQUAD> block(6, rgba(1, 2, 3, 4));
    VornBuffer* borrowed = VornBuffer::Build(3, 2, block.data());
    EXPECT_EQ(borrowed->getPixels(), block.data());
    EXPECT_EQ(Access::ownsPixelsOf(*borrowed), 0);
    EXPECT_EQ(at(*borrowed, 2, 1), rgba(1, 2, 3, 4)); // neither copied nor cleared
    borrowed->fill(9, 9, 9, 9);
    VornBuffer::Destroy(borrowed);
    EXPECT_EQ(borrowed, nullptr);
    EXPECT_EQ(block[5], rgba(9, 9, 9, 9)); // the caller's block, left alive
    VornBuffer::Destroy(borrowed);         // null: nothing happens

    // buildOwning takes over a malloc block; the sanitizers see any leak.
    VornBuffer* owning =
        vorn::detail::buildOwning(2, 2, static_cast<_VORNRGBAQUAD*>(std::malloc(16)));
    EXPECT_EQ(Access::ownsPixelsOf(*owning), 1);
    VornBuffer::Destroy(owning);
    auto* refused = static_cast<_VORNRGBAQUAD*>(std::malloc(4));
    EXPECT_EQ(vorn::detail::buildOwning(0, 1, refused), nullptr);
    std::free(refused);
}

// 96 dots per inch, no background (the outputs untouched), transparency
// off; the transparent colour has alpha 0 and does not switch it on.
TEST(Metadata, DefaultsAndSetters) {
    BufferPtr b = makeBuffer(4, 3);
    EXPECT_EQ(b->getPixelsPerMetreX() + b->getPixelsPerInchY(), 3780 + 96);
    unsigned char rgb[3] = {11, 22, 33};
    EXPECT_EQ(b->getBackground(&rgb[0], nullptr, &rgb[2]), 0);
    EXPECT_EQ(rgb[0] + rgb[2], 11 + 33);
    b->setBackground(10, 20, 30);
    EXPECT_EQ(b->getBackground(&rgb[0], &rgb[1], &rgb[2]), 1);
    EXPECT_EQ(rgba(rgb[0], rgb[1], rgb[2]), rgba(10, 20, 30));
    b->setTransparentColour(1, 2, 3);
    EXPECT_EQ(b->getTransparentColour(), rgba(1, 2, 3, 0));
    EXPECT_FALSE(b->hasTransparency());
}

TEST(Metadata, DensityConvertsByTruncation) {
    // Unit, x, y; then per metre x and y, per inch x and y. Values are
    // stored unchecked and converted with saturation.
    const int cases[][7] = {{1, 96, 72, 3779, 2834, 96, 72},
                            {2, 38, 38, 3800, 3800, 96, 96},
                            {7, 5, 6, 5, 6, 5, 6},
                            {0, 3779, 3780, 3779, 3780, 95, 96},
                            {0, -3780, 0, -3780, 0, -96, 0},
                            {2, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN},
                            {1, INT_MAX, -INT_MAX, INT_MAX, INT_MIN, INT_MAX, -INT_MAX}};
    BufferPtr b = makeBuffer(1, 1);
    for (const auto& c : cases) {
        b->setDensity(c[0], c[1], c[2]);
        EXPECT_EQ((std::vector<int>{b->getPixelsPerMetre(), b->getPixelsPerMetreY(),
                                    b->getPixelsPerInchX(), b->getPixelsPerInchY()}),
                  std::vector<int>(c + 3, c + 7))
            << c[0] << ": " << c[1] << ", " << c[2];
    }
}

TEST(Accessors, GetPixelOutsideIsNull) {
    BufferPtr b = makeBuffer(5, 4);
    const VornBuffer& cb = *b;
    for (auto [x, y] : {std::pair{-1, 0}, {5, 0}, {0, 4}, {0, -1}, {INT_MIN, 0}, {0, INT_MAX}}) {
        EXPECT_EQ(b->getPixel(x, y), nullptr) << x << "," << y;
        EXPECT_EQ(cb.getPixel(x, y), nullptr) << x << "," << y;
    }
    EXPECT_EQ(b->getPixel(4, 3), b->getPixels() + 3 * 5 + 4);
    EXPECT_EQ(cb.getPixel(4, 3), cb.getPixels() + 3 * 5 + 4);
}

// A member-wise copy would make two objects free one block. A copy here is a
// view that owns nothing; the sanitizers check that both can be destroyed.
TEST(Copy, SharesPixelsWithoutOwning) {
    BufferPtr source = makeFilled(3, 3, rgba(9, 8, 7, 6));
    source->setDensity(1, 300, 200);
    Access::edgeMapOf(*source) = new unsigned short[9]();
    Access::rowCarryOf(*source) = new unsigned short[3]();
    VornBuffer* copy = new VornBuffer(*source);
    EXPECT_EQ(copy->getPixels(), source->getPixels());
    EXPECT_EQ(Access::ownsPixelsOf(*copy), 0);
    EXPECT_EQ(Access::edgeMapOf(*copy), nullptr);
    EXPECT_EQ(Access::rowCarryOf(*copy), nullptr);
    EXPECT_EQ(copy->getPixelsPerInchX(), 300);
    VornBuffer::Destroy(copy);

    // Assignment releases the target's own memory first.
    BufferPtr target = makeBuffer(5, 5);
    Access::edgeMapOf(*target) = new unsigned short[25]();
    *target = *source;
    EXPECT_EQ(target->getPixels(), source->getPixels());
    EXPECT_EQ(target->getWidth(), 3);
    EXPECT_EQ(Access::ownsPixelsOf(*target), 0);
    EXPECT_EQ(Access::edgeMapOf(*target), nullptr);
    VornBuffer& self = *source;
    *source = self; // self-assignment keeps ownership
    EXPECT_EQ(Access::ownsPixelsOf(*source), 1);
    EXPECT_EQ(at(*source, 2, 2), rgba(9, 8, 7, 6));
    // A copy assigned back over its source, and a view assigned over
    // another view of the same block: the owner still owns it, once (the
    // sanitizers see a leak or a second free).
    VornBuffer* view = new VornBuffer(*source);
    *source = *view;
    *view = *source;
    EXPECT_EQ(Access::ownsPixelsOf(*source), 1);
    EXPECT_EQ(Access::ownsPixelsOf(*view), 0);
    VornBuffer::Destroy(view);
    *target = *source;
    EXPECT_EQ(Access::ownsPixelsOf(*target), 0);
}

} // namespace
