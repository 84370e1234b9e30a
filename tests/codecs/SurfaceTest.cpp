// The raster surface and its canvas: sizes, fills, formats, sharing, scaling and frames.
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

using namespace tabulonix;

namespace {

// A true-colour surface whose every pixel has its own colour.
TBitmap Gradient(int w, int h)
{
    TBitmap b;
    b.SetWidth(w);
    b.SetHeight(h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 2), static_cast<uint8_t>(y * 3),
                                static_cast<uint8_t>(x + y)));
    return b;
}

} // namespace

TEST(Surface, NewSurfaceIsWhiteTrueColour)
{
    TBitmap b;
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.PixelFormat(), pfDevice);
    b.SetWidth(1);
    EXPECT_TRUE(b.IsEmpty()) << "no store until both sides are set";
    b.SetHeight(1);
    EXPECT_EQ(b.Pixel(0, 0), clWhite);
    EXPECT_EQ(b.BitsPerPixel(), 32);
    EXPECT_EQ(b.RowSize(), 4u);
}

TEST(Surface, ResizeKeepsTopLeftAndFillsWithBrushColour)
{
    TBitmap b = Gradient(4, 3);
    TColor corner = b.Pixel(3, 2);
    b.Canvas().Brush.Color = clRed;
    b.SetWidth(6);
    b.SetHeight(5);
    EXPECT_EQ(b.Pixel(3, 2), corner);
    EXPECT_EQ(b.Pixel(5, 0), clRed);
    EXPECT_EQ(b.Pixel(0, 4), clRed);
    b.SetWidth(2);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Pixel(1, 1), Gradient(4, 3).Pixel(1, 1));
}

TEST(Surface, RowIndexOutsideTheSurfaceIsAnError)
{
    TBitmap b = Gradient(3, 2);
    EXPECT_NO_THROW(b.Row(1));
    for (int r : {-1, 2, 1000}) {
        try {
            b.Row(r);
            FAIL() << "row " << r;
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Scan line index out of range");
        }
    }
}

TEST(Surface, AssignmentSharesTheStoreUntilOneSideChanges)
{
    TBitmap a = Gradient(8, 8);
    TBitmap b;
    b.AssignFrom(a);
    EXPECT_TRUE(b.SharesStoreWith(a));
    b.SetPixel(0, 0, clBlue);
    EXPECT_FALSE(b.SharesStoreWith(a));
    EXPECT_EQ(b.Pixel(0, 0), clBlue);
    EXPECT_NE(a.Pixel(0, 0), clBlue);
    // ReleaseCopy on a shared store gives a private copy.
    TBitmap c;
    c.AssignFrom(a);
    c.ReleaseCopy();
    EXPECT_FALSE(c.SharesStoreWith(a));
    EXPECT_TRUE(c.Equals(a));
}

TEST(Surface, SharingAcrossThreadsKeepsEachCopyIntact)
{
    TBitmap source = Gradient(32, 32);
    std::vector<std::thread> threads;
    std::vector<TColor> seen(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            TBitmap mine;
            mine.AssignFrom(source);
            for (int i = 0; i < 200; ++i)
                mine.SetPixel(t, 0, RGBColor(static_cast<uint8_t>(t), 0, 0));
            seen[static_cast<size_t>(t)] = mine.Pixel(t, 0);
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(seen[static_cast<size_t>(t)], RGBColor(static_cast<uint8_t>(t), 0, 0));
    EXPECT_EQ(source.Pixel(1, 0), Gradient(32, 32).Pixel(1, 0));
}

TEST(Surface, PixelFormatsAndTheirConversions)
{
    TBitmap b = Gradient(20, 10);
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.RowSize(), 60u);
    EXPECT_EQ(b.Pixel(7, 3), Gradient(20, 10).Pixel(7, 3)) << "exact above 8 bits";
    b.SetPixelFormat(pf16bit);
    EXPECT_EQ(b.ColorMasks(), (std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}));
    b.SetPixelFormat(pf15bit);
    EXPECT_EQ(b.PixelFormat(), pf15bit);
    EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphic);

    // 4 bit maps onto the 16 standard colours.
    TBitmap c;
    c.SetSize(2, 1);
    c.SetPixel(0, 0, RGBColor(250, 10, 10));
    c.SetPixel(1, 0, RGBColor(120, 120, 130));
    c.SetPixelFormat(pf4bit);
    EXPECT_EQ(c.ColorTable().size(), 16u);
    EXPECT_EQ(c.Pixel(0, 0), clRed);
    EXPECT_EQ(c.Pixel(1, 0), clGray);
    EXPECT_TRUE(c.PaletteModified());
}

TEST(Surface, EightBitUsesTheHalftonePaletteAndNearestColours)
{
    TBitmap b;
    b.SetSize(64, 64);
    std::mt19937 rng(3);
    std::vector<TColor> colours;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            TColor c = RGBColor(static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                static_cast<uint8_t>(rng()));
            colours.push_back(c);
            b.SetPixel(x, y, c);
        }
    b.SetPixelFormat(pf8bit);
    ASSERT_EQ(b.ColorTable().size(), 256u);
    EXPECT_TRUE(b.HalftonePaletteSelected());
    const auto& h = HalftonePalette();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            TColor c = colours[static_cast<size_t>(y * 64 + x)];
            int want = NearestColorIndex(h.data(), 256, GetRValue(c), GetGValue(c), GetBValue(c));
            ASSERT_EQ(b.ConstRow(y)[x], want);
        }
}

TEST(Surface, SettingAPaletteRewritesTheColourTableOnly)
{
    TBitmap b;
    b.NewImage(2, 1, pf8bit);
    b.Row(0)[0] = 1;
    b.SetPalette(TPalette{RGBQuad{0, 0, 0, 0}, RGBQuad{255, 0, 0, 0}});
    EXPECT_EQ(b.Pixel(0, 0), clBlue);
    EXPECT_EQ(b.ConstRow(0)[0], 1);
    b.SetPalette(std::nullopt);
    EXPECT_FALSE(b.HasPalette());
    EXPECT_EQ(b.Pixel(0, 0), clBlue) << "removing the palette keeps the table";
}

TEST(Canvas, ShrinkingPicksSourcePixelsWithoutBlending)
{
    TBitmap src = Gradient(100, 50);
    TBitmap dst;
    dst.SetSize(10, 5);
    dst.Canvas().DrawScaled(TRect{0, 0, 10, 5}, &src);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x)
            // Centre sampling: destination pixel i of 10 takes source pixel 10 i + 5.
            EXPECT_EQ(dst.Pixel(x, y), src.Pixel(10 * x + 5, 10 * y + 5)) << x << "," << y;
}

TEST(Canvas, EnlargingRepeatsPixelsAndEqualSizeCopiesExactly)
{
    TBitmap src = Gradient(3, 2);
    TBitmap big;
    big.SetSize(9, 4);
    big.Canvas().DrawScaled(TRect{0, 0, 9, 4}, &src);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(big.Pixel(x, y), src.Pixel(x / 3, y / 2));
    TBitmap same;
    same.SetSize(3, 2);
    same.Canvas().DrawAt(0, 0, &src);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(same.Pixel(x, y), src.Pixel(x, y));
}

TEST(Canvas, DrawingFromOtherFormatsOntoTrueColour)
{
    TBitmap src = Gradient(5, 4);
    for (TPixelFormat f : {pf24bit, pf16bit, pf8bit, pf4bit, pf1bit}) {
        TBitmap converted;
        converted.AssignFrom(src);
        converted.SetPixelFormat(f);
        TBitmap dst;
        dst.SetSize(5, 4);
        dst.Canvas().DrawAt(0, 0, &converted);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(dst.Pixel(x, y), converted.Pixel(x, y)) << "format " << f;
    }
}

TEST(Canvas, OnePixelFrameOutlinesTheSurface)
{
    TBitmap b;
    b.SetSize(20, 10);
    TCanvas& c = b.Canvas();
    c.Brush.Style = bsClear;
    c.Pen.Color = clRed;
    c.Pen.Width = 1;
    c.Rectangle(0, 0, 20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            bool edge = x == 0 || x == 19 || y == 0 || y == 9;
            ASSERT_EQ(b.Pixel(x, y), edge ? clRed : clWhite) << x << "," << y;
        }
}

TEST(Canvas, WidePenIsCentredAndClipped)
{
    TBitmap b;
    b.SetSize(20, 20);
    TCanvas& c = b.Canvas();
    c.Brush.Style = bsClear;
    c.Pen.Color = clBlue;
    c.Pen.Width = 4; // covers c-2 .. c+1 around each line: 2 pixels inside on the left/top
    c.Rectangle(0, 0, 20, 20);
    EXPECT_EQ(b.Pixel(1, 10), clBlue);
    EXPECT_EQ(b.Pixel(2, 10), clWhite);
    EXPECT_EQ(b.Pixel(18, 10), clBlue);
    EXPECT_EQ(b.Pixel(17, 10), clBlue);
    EXPECT_EQ(b.Pixel(16, 10), clWhite);
    EXPECT_EQ(b.Pixel(10, 1), clBlue);
    EXPECT_EQ(b.Pixel(10, 2), clWhite);
    // A solid brush fills the inside; system colours are resolved.
    c.Brush.Style = bsSolid;
    c.Brush.Color = clBtnFace;
    c.Pen.Width = 1;
    c.Rectangle(5, 5, 10, 10);
    EXPECT_EQ(b.Pixel(7, 7), ColorToRGB(clBtnFace));
    EXPECT_EQ(b.Pixel(5, 7), clBlue);
}

TEST(Canvas, CopyAreaWithRasterOperations)
{
    TBitmap a, m;
    a.SetSize(2, 1);
    m.SetSize(2, 1);
    a.SetPixel(0, 0, RGBColor(0xF0, 0x0F, 0xFF));
    a.SetPixel(1, 0, RGBColor(0x12, 0x34, 0x56));
    m.SetPixel(0, 0, RGBColor(0x0F, 0xFF, 0x00));
    m.SetPixel(1, 0, RGBColor(0x12, 0x34, 0x56));
    a.Canvas().CopyMode = cmSrcAnd;
    a.Canvas().CopyArea(TRect{0, 0, 2, 1}, m.Canvas(), TRect{0, 0, 2, 1});
    EXPECT_EQ(a.Pixel(0, 0), RGBColor(0x00, 0x0F, 0x00));
    a.Canvas().CopyMode = cmSrcInvert;
    a.Canvas().CopyArea(TRect{0, 0, 2, 1}, m.Canvas(), TRect{0, 0, 2, 1});
    EXPECT_EQ(a.Pixel(1, 0), clBlack);
    // Copying a surface onto itself, shifted, reads the original pixels.
    TBitmap g = Gradient(4, 1);
    TBitmap copy = Gradient(4, 1);
    g.Canvas().CopyArea(TRect{1, 0, 4, 1}, g.Canvas(), TRect{0, 0, 3, 1});
    EXPECT_EQ(g.Pixel(1, 0), copy.Pixel(0, 0));
    EXPECT_EQ(g.Pixel(3, 0), copy.Pixel(2, 0));
}

TEST(Canvas, TransparentBitmapsLeaveKeyColouredPixelsAlone)
{
    TBitmap src;
    src.SetSize(2, 2);
    src.SetPixel(0, 0, clRed);
    src.SetPixel(1, 1, clGreen); // bottom-left (0, 1) stays white: the transparent colour
    src.SetTransparent(true);
    EXPECT_EQ(src.TransparentColor(), clWhite);
    TBitmap dst;
    dst.SetSize(2, 2);
    dst.Canvas().Brush.Color = clBlue;
    dst.Canvas().FillRect(TRect{0, 0, 2, 2});
    dst.Canvas().DrawAt(0, 0, &src);
    EXPECT_EQ(dst.Pixel(0, 0), clRed);
    EXPECT_EQ(dst.Pixel(1, 0), clBlue);
    EXPECT_EQ(dst.Pixel(1, 1), clGreen);
}

TEST(Canvas, ShrinkingModesOfOtherDestinations)
{
    // A black-and-white checkerboard of single pixels.
    TBitmap checker;
    checker.SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker.SetPixel(x, y, ((x + y) % 2) ? clBlack : clWhite);
    // Onto an 8-bit surface the colours of each block are averaged to grey.
    TBitmap palette;
    palette.SetSize(2, 2);
    palette.SetPixelFormat(pf8bit);
    palette.Canvas().DrawScaled(TRect{0, 0, 2, 2}, &checker);
    TColor grey = palette.Pixel(0, 0);
    EXPECT_NE(grey, clBlack);
    EXPECT_NE(grey, clWhite);
    EXPECT_EQ(GetRValue(grey), GetGValue(grey));
    // A monochrome picture shrunk onto true colour keeps its black.
    TBitmap mono;
    mono.AssignFrom(checker);
    mono.SetPixelFormat(pf1bit);
    TBitmap out;
    out.SetSize(2, 2);
    out.Canvas().DrawScaled(TRect{0, 0, 2, 2}, &mono);
    EXPECT_EQ(out.Pixel(1, 1), clBlack);
}
