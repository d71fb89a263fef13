// Buffer lifecycle, ownership, accessors and density.

#include "alloc_counter.h"
#include "core/core.h"
#include "vorn_test.h"

#include <climits>
#include <limits>

namespace {

struct RefusedSize {
    int width;
    int height;
};

class BuildRefuses : public ::testing::TestWithParam<RefusedSize> {};

TEST_P(BuildRefuses, ReturnsNullWithoutAllocating) {
    const RefusedSize size = GetParam();
    const std::size_t before = allocationCount();
    VornBuffer* b = VornBuffer::Build(size.width, size.height, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(allocationCount(), before);
    _VORNRGBAQUAD block[4] = {};
    EXPECT_EQ(VornBuffer::Build(size.width, size.height, block), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BuildRefuses,
                         ::testing::Values(RefusedSize{0, 5}, RefusedSize{5, -1},
                                           RefusedSize{-3, -3}, RefusedSize{INT_MIN, 1},
                                           RefusedSize{32768, 16384},     // exactly 2^31 bytes
                                           RefusedSize{536870912, 1},     // 2^31 bytes in one row
                                           RefusedSize{1, 536870912},     // and in one column
                                           RefusedSize{65536, 65536},     // 2^32 pixels
                                           RefusedSize{INT_MAX, INT_MAX}, // overflows 64 bits x 4
                                           RefusedSize{46341, 46341}));

TEST(PixelBlockBytes, AcceptsUpToTheLargestSignedInt) {
    using vorn::detail::pixelBlockBytes;
    EXPECT_EQ(pixelBlockBytes(536870911, 1), 2147483644u);
    EXPECT_EQ(pixelBlockBytes(1, 536870911), 2147483644u);
    EXPECT_EQ(pixelBlockBytes(32767, 16384), 2147418112u);
    EXPECT_EQ(pixelBlockBytes(32768, 16384), 0u);
    EXPECT_EQ(pixelBlockBytes(1LL << 40, 1LL << 40), 0u);
    EXPECT_EQ(pixelBlockBytes(0, 7), 0u);
}

TEST(SaturateToInt, TruncatesAndClamps) {
    using vorn::detail::saturateToInt;
    EXPECT_EQ(saturateToInt(2.9), 2);
    EXPECT_EQ(saturateToInt(-2.9), -2);
    EXPECT_EQ(saturateToInt(1e300), INT_MAX);
    EXPECT_EQ(saturateToInt(-1e300), INT_MIN);
    EXPECT_EQ(saturateToInt(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(Build, OneByOneIsTransparentBlack) {
    BufferPtr b = makeBuffer(1, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getWidth(), 1);
    EXPECT_EQ(b->getHeight(), 1);
    EXPECT_EQ(at(*b, 0, 0), rgba(0, 0, 0, 0));
    EXPECT_EQ(VornProtected::ownsPixelsOf(*b), 1);
}

TEST(Build, NewBlockIsCleared) {
    BufferPtr b = makeBuffer(37, 23);
    for (std::uint32_t w : words(*b)) {
        ASSERT_EQ(w, 0u);
    }
}

TEST(Build, BorrowedBlockIsUsedInPlaceAndSurvivesDestroy) {
    std::vector<_VORNRGBAQUAD> block(6, rgba(1, 2, 3, 4));
    VornBuffer* b = VornBuffer::Build(3, 2, block.data());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->getPixels(), block.data());
    EXPECT_EQ(VornProtected::ownsPixelsOf(*b), 0);
    EXPECT_EQ(at(*b, 2, 1), rgba(1, 2, 3, 4)); // neither copied nor cleared
    b->fill(9, 9, 9, 9);
    VornBuffer::Destroy(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(block[5], rgba(9, 9, 9, 9));
}

TEST(Destroy, NullPointerIsANoOp) {
    VornBuffer* b = nullptr;
    VornBuffer::Destroy(b);
    EXPECT_EQ(b, nullptr);
}

TEST(BuildOwning, TakesOverAMallocBlock) {
    auto* block = static_cast<_VORNRGBAQUAD*>(std::malloc(4 * 4));
    VornBuffer* b = vorn::detail::buildOwning(2, 2, block);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(VornProtected::ownsPixelsOf(*b), 1);
    VornBuffer::Destroy(b); // frees the block; the sanitizers see any leak
    auto* refused = static_cast<_VORNRGBAQUAD*>(std::malloc(4));
    EXPECT_EQ(vorn::detail::buildOwning(0, 1, refused), nullptr);
    std::free(refused);
}

TEST(Defaults, FreshBufferMetadata) {
    BufferPtr b = makeBuffer(4, 3);
    EXPECT_EQ(b->getPixelsPerMetre(), 3780);
    EXPECT_EQ(b->getPixelsPerMetreX(), 3780);
    EXPECT_EQ(b->getPixelsPerMetreY(), 3780);
    EXPECT_EQ(b->getPixelsPerInchX(), 96);
    EXPECT_EQ(b->getPixelsPerInchY(), 96);
    EXPECT_FALSE(b->hasTransparency());
    unsigned char r = 11;
    unsigned char g = 22;
    unsigned char bl = 33;
    EXPECT_EQ(b->getBackground(&r, &g, &bl), 0);
    EXPECT_EQ(r, 11);
    EXPECT_EQ(g, 22);
    EXPECT_EQ(bl, 33);
}

struct DensityCase {
    int unit, x, y;
    int perMetreX, perMetreY, perInchX, perInchY;
};

class Density : public ::testing::TestWithParam<DensityCase> {};

TEST_P(Density, ConvertsByTruncation) {
    const DensityCase c = GetParam();
    BufferPtr b = makeBuffer(1, 1);
    b->setDensity(c.unit, c.x, c.y);
    EXPECT_EQ(b->getPixelsPerMetre(), c.perMetreX);
    EXPECT_EQ(b->getPixelsPerMetreX(), c.perMetreX);
    EXPECT_EQ(b->getPixelsPerMetreY(), c.perMetreY);
    EXPECT_EQ(b->getPixelsPerInchX(), c.perInchX);
    EXPECT_EQ(b->getPixelsPerInchY(), c.perInchY);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Density,
    ::testing::Values(DensityCase{1, 96, 72, 3779, 2834, 96, 72},
                      DensityCase{2, 38, 38, 3800, 3800, 96, 96}, DensityCase{7, 5, 6, 5, 6, 5, 6},
                      DensityCase{0, 3779, 3780, 3779, 3780, 95, 96},
                      DensityCase{0, -3780, 0, -3780, 0, -96, 0},
                      DensityCase{1, 300, 0, 11811, 0, 300, 0},
                      // Stored unchecked, converted with saturation.
                      DensityCase{2, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN},
                      DensityCase{1, INT_MAX, -INT_MAX, INT_MAX, INT_MIN, INT_MAX, -INT_MAX},
                      DensityCase{0, INT_MAX, 0, INT_MAX, 0, 54546084, 0}));

TEST(Metadata, BackgroundWritesOnlyThroughGivenPointers) {
    BufferPtr b = makeBuffer(1, 1);
    b->setBackground(10, 20, 30);
    unsigned char r = 0;
    unsigned char bl = 0;
    EXPECT_EQ(b->getBackground(&r, nullptr, &bl), 1);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(bl, 30);
    EXPECT_EQ(b->getBackground(nullptr, nullptr, nullptr), 1);
}

TEST(Metadata, TransparentColourHasAlphaZeroAndLeavesTheFlag) {
    BufferPtr b = makeBuffer(1, 1);
    b->setTransparentColour(1, 2, 3);
    EXPECT_EQ(b->getTransparentColour(), rgba(1, 2, 3, 0));
    EXPECT_FALSE(b->hasTransparency());
    b->setHasTransparency(true);
    b->setTransparentColour(4, 5, 6);
    EXPECT_TRUE(b->hasTransparency());
    EXPECT_EQ(b->getTransparentColour(), rgba(4, 5, 6, 0));
}

TEST(Accessors, GetPixelOutsideIsNull) {
    BufferPtr b = makeBuffer(5, 4);
    const VornBuffer& cb = *b;
    const std::pair<int, int> outside[] = {{-1, 0}, {5, 0},       {0, 4},
                                           {0, -1}, {INT_MIN, 0}, {0, INT_MAX}};
    for (auto [x, y] : outside) {
        EXPECT_EQ(b->getPixel(x, y), nullptr) << x << "," << y;
        EXPECT_EQ(cb.getPixel(x, y), nullptr) << x << "," << y;
    }
    EXPECT_EQ(b->getPixel(4, 3), b->getPixels() + 3 * 5 + 4);
    EXPECT_EQ(cb.getPixel(0, 0), cb.getPixels());
}

// A member-wise copy would make two objects free one block. A copy here is a
// view that owns nothing; the sanitizers check that both can be destroyed.
TEST(Copy, ConstructedCopySharesPixelsWithoutOwning) {
    BufferPtr source = makeBuffer(3, 3);
    source->setBackground(1, 2, 3);
    source->setDensity(1, 300, 200);
    VornProtected::edgeMapOf(*source) = new unsigned short[9]();
    VornProtected::rowCarryOf(*source) = new unsigned short[3]();

    VornBuffer* copy = new VornBuffer(*source);
    EXPECT_EQ(copy->getPixels(), source->getPixels());
    EXPECT_EQ(VornProtected::ownsPixelsOf(*copy), 0);
    EXPECT_EQ(VornProtected::edgeMapOf(*copy), nullptr);
    EXPECT_EQ(VornProtected::rowCarryOf(*copy), nullptr);
    EXPECT_EQ(copy->getPixelsPerInchX(), 300);
    EXPECT_EQ(copy->getBackground(nullptr, nullptr, nullptr), 1);
    copy->fill(5, 6, 7, 8);
    VornBuffer::Destroy(copy);
    EXPECT_EQ(at(*source, 2, 2), rgba(5, 6, 7, 8));
}

TEST(Copy, AssignmentReleasesTheTargetsOwnMemory) {
    BufferPtr source = makeFilled(2, 2, rgba(9, 8, 7, 6));
    BufferPtr target = makeBuffer(5, 5);
    VornProtected::edgeMapOf(*target) = new unsigned short[25]();
    *target = *source;
    EXPECT_EQ(target->getPixels(), source->getPixels());
    EXPECT_EQ(target->getWidth(), 2);
    EXPECT_EQ(VornProtected::ownsPixelsOf(*target), 0);
    EXPECT_EQ(VornProtected::edgeMapOf(*target), nullptr);
    EXPECT_EQ(at(*target, 1, 1), rgba(9, 8, 7, 6));
    VornBuffer& self = *source;
    *source = self; // self-assignment keeps ownership
    EXPECT_EQ(VornProtected::ownsPixelsOf(*source), 1);
}

} // namespace
