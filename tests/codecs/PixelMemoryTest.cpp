#include "codecs/surface/PixelMemory.h"

#include "codecs/surface/Bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tabulonix;

namespace {

constexpr size_t kMiB = size_t{1} << 20;

// A released block holding `value` in every byte, left for the next store of about that size.
void LeaveDirtyBlock(size_t size, uint8_t value)
{
    PixelMemory m;
    m.assign(size, value);
}

TEST(PixelMemoryTest, LargeBlocksAreReusedAndKeptWithinBounds)
{
    ReleaseCachedPixelMemory();
    const uint8_t* first;
    {
        PixelMemory m;
        m.Allocate(4 * kMiB);
        first = m.data();
    }
    EXPECT_EQ(CachedPixelMemory(), 4 * kMiB);
    PixelMemory again;
    again.Allocate(3 * kMiB); // fits without wasting half of the block
    EXPECT_EQ(again.data(), first);
    EXPECT_EQ(again.size(), 3 * kMiB);
    EXPECT_EQ(CachedPixelMemory(), 0u);

    PixelMemory small;
    small.Allocate(kMiB); // would waste most of a 4 MiB block: a new one
    again.clear();
    EXPECT_EQ(CachedPixelMemory(), 4 * kMiB);
    {
        PixelMemory tiny;
        tiny.Allocate(100); // left to malloc
    }
    EXPECT_EQ(CachedPixelMemory(), 4 * kMiB);

    // Many large blocks released at once: only a few are kept, the newest.
    {
        std::vector<PixelMemory> many(10);
        for (auto& m : many)
            m.Allocate(40 * kMiB);
    }
    EXPECT_LE(CachedPixelMemory(), 256 * kMiB);
    EXPECT_GE(CachedPixelMemory(), 120 * kMiB);
    ReleaseCachedPixelMemory();
    EXPECT_EQ(CachedPixelMemory(), 0u);
}

TEST(PixelMemoryTest, CopiesAreDeepAndCompareByContent)
{
    PixelMemory a;
    a.assign(2 * kMiB, 7);
    PixelMemory b = a;
    EXPECT_NE(a.data(), b.data());
    EXPECT_TRUE(a == b);
    b.data()[kMiB] = 8;
    EXPECT_FALSE(a == b);
    PixelMemory moved = std::move(b);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(moved.data()[kMiB], 8);
    EXPECT_TRUE(PixelMemory() == PixelMemory());
}

// Stores made on reused memory must not carry the last picture's bytes into their rows:
// the padding at the end of each row is written to files.
TEST(PixelMemoryTest, ReusedMemoryLeavesNothingOfTheLastPicture)
{
    ReleaseCachedPixelMemory();
    const int w = 1001, h = 700; // 24-bit rows of 3003 bytes and one byte of padding
    LeaveDirtyBlock(RowBytes(w, 24) * h, 0xAB);
    TBitmap decoded;
    decoded.NewImage(w, h, pf24bit, false);
    for (int y = 0; y < h; y += 99)
        EXPECT_EQ(decoded.ConstRow(y)[3003], 0) << y;

    LeaveDirtyBlock(RowBytes(w, 32) * h, 0xAB);
    TBitmap surface;
    surface.SetSize(w, h); // white, as every new surface
    for (int y = 0; y < h; y += 99)
        for (int x = 0; x < w; x += 97)
            ASSERT_EQ(surface.Pixel(x, y), clWhite);

    LeaveDirtyBlock(RowBytes(w, 24) * h, 0xAB);
    TBitmap cleared;
    cleared.NewImage(w, h, pf24bit);
    EXPECT_EQ(cleared.Pixel(500, 350), clBlack);

    // A format change writes every pixel; 1-bit rows are built bit by bit.
    LeaveDirtyBlock(RowBytes(w, 24) * h, 0xAB);
    surface.SetPixelFormat(pf24bit);
    EXPECT_EQ(surface.ConstRow(h - 1)[3003], 0);
    surface.SetPixel(3, 3, clBlack);
    surface.SetPixelFormat(pf1bit);
    EXPECT_EQ(surface.Pixel(3, 3), clBlack);
    EXPECT_EQ(surface.Pixel(4, 3), clWhite);
    EXPECT_EQ(surface.ConstRow(3)[RowBytes(w, 1) - 1], 0);
}

} // namespace
