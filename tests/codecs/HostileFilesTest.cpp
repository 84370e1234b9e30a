// Hostile files: every reader under one pixel budget, and the files that once crashed or
// stalled a reader, each failing for its own reason.
#include "TestSupport.h"

#include "codecs/Picture.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/formats/Jpeg.h"
#include "codecs/formats/PngWriter.h"
#include "codecs/formats/Tga.h"
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

using Bytes = std::vector<uint8_t>;

std::string RegressDir()
{
    std::string here = __FILE__; // tests/codecs/ in the checkout
    return here.substr(0, here.rfind("/codecs/")) + "/data/regress/";
}

void Put16(Bytes& b, uint32_t v, bool be)
{
    for (int i = 0; i < 2; ++i)
        b.push_back(static_cast<uint8_t>(be ? v >> (8 - 8 * i) : v >> (8 * i)));
}

void Put32(Bytes& b, uint32_t v, bool be)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(be ? v >> (24 - 8 * i) : v >> (8 * i)));
}

// Opens bytes as a file of the given extension through the registry and draws the picture
// shrunk, as the engine would; the error text, or "" when both worked.
std::string OpenAndDraw(const Bytes& bytes, const std::string& extension,
                        const DecodeLimits& limits = {})
{
    TempDir dir;
    const std::string path = dir.File("picture." + extension);
    WriteBytes(path, bytes);
    TPicture picture;
    picture.SetLimits(limits);
    try {
        picture.OpenFile(path);
        TBitmap target;
        target.SetSize(16, 16);
        target.Canvas().DrawScaled(TRect{0, 0, 16, 16}, picture.Graphic());
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

DecodeLimits Budget(uint64_t pixels)
{
    DecodeLimits limits;
    limits.pixels = pixels;
    return limits;
}

// ---- one small file of each format, w × h, in code

TBitmap Gradient(int w, int h)
{
    TBitmap b;
    b.NewImage(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, RGBColor(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7));
    return b;
}

template <class Writer> Bytes Written(Writer& writer)
{
    TMemoryStream out;
    writer.WriteStream(out);
    return out.Bytes();
}

// A picture of one of the writable formats, written by our own writer.
template <class Writer> Bytes WrittenAs(int w, int h)
{
    Writer writer;
    writer.AssignFrom(Gradient(w, h));
    return Written(writer);
}

Bytes Gif(int w, int h)
{
    TBitmap b = Gradient(w, h);
    b.SetPixelFormat(pf8bit);
    TGIFImage gif;
    gif.AssignFrom(b);
    return Written(gif);
}

Bytes Pgm(int w, int h)
{
    std::string header = "P5 " + std::to_string(w) + " " + std::to_string(h) + " 255\n";
    Bytes f(header.begin(), header.end());
    f.resize(f.size() + static_cast<size_t>(w) * h, 0x80);
    return f;
}

Bytes Pcx(int w, int h)
{
    Bytes f(128, 0);
    f[0] = 10, f[1] = 5, f[2] = 0, f[3] = 8, f[65] = 1;
    f[8] = static_cast<uint8_t>(w - 1), f[9] = static_cast<uint8_t>((w - 1) >> 8);
    f[10] = static_cast<uint8_t>(h - 1), f[11] = static_cast<uint8_t>((h - 1) >> 8);
    f[66] = static_cast<uint8_t>(w), f[67] = static_cast<uint8_t>(w >> 8);
    f.resize(f.size() + static_cast<size_t>(w) * h, 3);
    return f;
}

Bytes Psd(int w, int h)
{
    Bytes f = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    Put16(f, 1, true); // one grey channel
    Put32(f, static_cast<uint32_t>(h), true);
    Put32(f, static_cast<uint32_t>(w), true);
    Put16(f, 8, true);
    Put16(f, 1, true);
    Put32(f, 0, true); // colour data, resources, layers: empty
    Put32(f, 0, true);
    Put32(f, 0, true);
    Put16(f, 0, true); // raw
    f.resize(f.size() + static_cast<size_t>(w) * h, 9);
    return f;
}

Bytes Sgi(int w, int h)
{
    Bytes f;
    Put16(f, 474, true);
    f.push_back(0); // verbatim
    f.push_back(1); // one byte per sample
    Put16(f, 2, true);
    Put16(f, static_cast<uint32_t>(w), true);
    Put16(f, static_cast<uint32_t>(h), true);
    Put16(f, 1, true);
    f.resize(512, 0);
    f.resize(f.size() + static_cast<size_t>(w) * h, 200);
    return f;
}

Bytes Tiff(int w, int h)
{
    Bytes f = {'I', 'I'};
    Put16(f, 42, false);
    Put32(f, 8, false);
    const uint16_t tags[][3] = {{256, 4, 0}, {257, 4, 0}, {258, 3, 8}, {259, 3, 1},
                                {262, 3, 1}, {273, 4, 0}, {277, 3, 1}, {279, 4, 0}};
    const uint32_t dataAt = 8 + 2 + 8 * 12 + 4;
    Put16(f, 8, false);
    for (const auto& t : tags) {
        Put16(f, t[0], false);
        Put16(f, t[1], false);
        Put32(f, 1, false);
        uint32_t v = t[2];
        if (t[0] == 256)
            v = static_cast<uint32_t>(w);
        else if (t[0] == 257)
            v = static_cast<uint32_t>(h);
        else if (t[0] == 273)
            v = dataAt;
        else if (t[0] == 279)
            v = static_cast<uint32_t>(w * h);
        Put32(f, v, false);
    }
    Put32(f, 0, false);
    f.resize(f.size() + static_cast<size_t>(w) * h, 40);
    return f;
}

struct FormatMaker {
    const char* extension;
    std::function<Bytes(int, int)> make;
};

const FormatMaker kFormats[] = {{"bmp", WrittenAs<TBitmap>},
                                {"png", WrittenAs<TPNGWriter>},
                                {"gif", Gif},
                                {"jpg", WrittenAs<TJPEGImage>},
                                {"tga", WrittenAs<TTargaGraphic>},
                                {"pgm", Pgm},
                                {"pcx", Pcx},
                                {"psd", Psd},
                                {"sgi", Sgi},
                                {"tif", Tiff}};

} // namespace

// The same budget, counted in pixels, holds for every reader: a picture of exactly the
// budget opens, one more row or column is refused with its size, whatever the format's
// bytes per pixel.
TEST(PixelBudget, OneBudgetInPixelsForEveryReader)
{
    for (const FormatMaker& f : kFormats) {
        SCOPED_TRACE(f.extension);
        const Bytes fits = f.make(60, 50), wider = f.make(61, 50), taller = f.make(60, 51);
        const DecodeLimits budget = Budget(60 * 50);
        EXPECT_EQ(OpenAndDraw(fits, f.extension, budget), "");
        EXPECT_EQ(OpenAndDraw(wider, f.extension, budget), "picture too large: 61 × 50");
        EXPECT_EQ(OpenAndDraw(taller, f.extension, budget), "picture too large: 60 × 51");
    }
}

TEST(PixelBudget, SurfacesAndWorkingBuffersShareIt)
{
    const DecodeLimits budget = Budget(1000);
    TBitmap b;
    b.SetLimits(budget);
    EXPECT_NO_THROW(b.SetSize(40, 25));
    try {
        b.SetSize(40, 26);
        FAIL() << "a surface above the budget was made";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "picture too large: 40 × 26");
    }
    EXPECT_EQ(b.Width(), 40); // the old store stays
    EXPECT_EQ(b.Height(), 25);
    EXPECT_NO_THROW(CheckBufferBudget(budget, 8000, 1, 1));
    EXPECT_THROW(CheckBufferBudget(budget, 8001, 1, 1), EInvalidGraphic);
    EXPECT_THROW(CheckPixelBudget(budget, INT64_MAX, INT64_MAX, "bad"), EInvalidGraphic);
    try {
        CheckPixelBudget(budget, 0, 5, "bad size");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "bad size");
    }
}

// Every file that once crashed, overflowed or stalled a reader, with what it must give now
// under the program's own budget ("" = it opens and draws).
TEST(HostileFiles, RegressionFilesFailForTheirOwnReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"nine-components-heap-overflow.jpg", "JPEG error #27"},
        {"bkgd-bitdepth0-divzero.png", "Invalid color format in PNG file."},
        {"trns-bitdepth32-shift.png", "Invalid color format in PNG file."},
        // 61937 bits per sample times 64515 samples: computed in 64 bits, then refused.
        {"bps-times-spp-overflow.tif",
         "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16."},
        {"tiff-preview-bps-overflow.eps",
         "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16."},
        {"depth-times-channels-overflow.psd",
         "Cannot load image. Invalid or unexpected PSD or PDD image format."},
        {"empty-1bit-92000x92000-1GiB.bmp", "picture too large: 92000 × 92000"},
        {"empty-1bit-4096x65536-slow-draw.bmp", "picture too large: 4096 × 65536"},
        {"fuzzer-timeout-127x2097216.bmp", "picture too large: 127 × 2097216"},
        {"16Mx1-tiny-idat-slow-draw.png", ""},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        const std::string file = name;
        Bytes bytes = ReadBytes(RegressDir() + file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(OpenAndDraw(bytes, file.substr(file.rfind('.') + 1)), expected);
    }
}

// A JPEG frame of two components decodes to nothing the surface can hold: refused before
// any row is written, whatever the output depth.
TEST(HostileFiles, JpegComponentCountsOutsideGreyRgbAndCmykAreRefused)
{
    Bytes nine = ReadBytes(RegressDir() + "nine-components-heap-overflow.jpg");
    for (TJPEGPixelFormat depth : {jf24Bit, jf8Bit}) {
        TJPEGImage jpeg;
        jpeg.PixelFormat = depth;
        TMemoryStream in(nine);
        jpeg.ReadStream(in);
        EXPECT_THROW(jpeg.DIBNeeded(), EJPEG);
        EXPECT_FALSE(jpeg.Bitmap());
    }
}

// Shrinking a one-bit picture keeps every black pixel (the colours of each block are
// ANDed); the byte-wise scan gives what a pixel-by-pixel AND gives, at every bit offset.
TEST(HostileFiles, MonochromeShrinkMatchesThePixelByPixelAnd)
{
    const int w = 203, h = 157, dw = 17, dh = 13;
    TBitmap source;
    source.NewImage(w, h, pf1bit);
    source.SetColorTable({RGBQuad{0x40, 0xF0, 0x30, 0}, RGBQuad{0xC0, 0x1F, 0xFC, 0}});
    std::mt19937 rng(5);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < (w + 7) / 8; ++x)
            // Mostly one index, so that many blocks hold a single colour.
            source.Row(y)[x] = static_cast<uint8_t>(y % 3 == 0 ? rng() : (rng() % 5 ? 0xFF : 0xFB));
    source.PixelsChanged();
    TBitmap target;
    target.SetSize(dw, dh);
    target.Canvas().DrawScaled(TRect{0, 0, dw, dh}, &source);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            const int x0 = x * w / dw, x1 = std::max(x0 + 1, (x + 1) * w / dw);
            const int y0 = y * h / dh, y1 = std::max(y0 + 1, (y + 1) * h / dh);
            uint32_t all = 0xFFFFFF;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    all &= static_cast<uint32_t>(source.Pixel(sx, sy));
            ASSERT_EQ(target.Pixel(x, y), static_cast<TColor>(all)) << x << "," << y;
        }
}

// A short file with a large header: the data decodes where it reaches, every row beyond
// stays empty, in every compression whose buffer is sized by the data.
TEST(HostileFiles, ShortDataFillsTheRowsItReachesAndNoMore)
{
    const int w = 300, h = 200;
    for (int compression : {1, 32773}) {
        SCOPED_TRACE(compression);
        Bytes strip;
        if (compression == 1) {
            strip.assign(w + 10, 7); // one row and a bit
        } else {
            for (int k = 0; k < 3; ++k) // PackBits: 3 x 128 repeats of 7
                strip.insert(strip.end(), {0x81, 7});
        }
        Bytes f = Tiff(w, h);
        f.resize(f.size() - static_cast<size_t>(w) * h);
        f.insert(f.end(), strip.begin(), strip.end());
        // Strip byte count, compression and min-is-white (zero is white) in the directory.
        const size_t entries = 8 + 2;
        for (size_t e = 0; e < 8; ++e) {
            uint8_t* entry = f.data() + entries + 12 * e;
            const int tag = entry[0] | entry[1] << 8;
            if (tag == 259)
                entry[8] = static_cast<uint8_t>(compression),
                entry[9] = static_cast<uint8_t>(compression >> 8);
            if (tag == 262)
                entry[8] = 0;
            if (tag == 279)
                entry[8] = static_cast<uint8_t>(strip.size()),
                entry[9] = static_cast<uint8_t>(strip.size() >> 8);
        }
        TempDir dir;
        WriteBytes(dir.File("short.tif"), f);
        TPicture picture;
        picture.OpenFile(dir.File("short.tif"));
        auto* b = dynamic_cast<TBitmap*>(picture.Graphic());
        ASSERT_TRUE(b);
        ASSERT_EQ(b->Width(), w);
        EXPECT_EQ(b->Pixel(0, 0), RGBColor(248, 248, 248));
        EXPECT_EQ(b->Pixel(w - 1, 0), RGBColor(248, 248, 248));
        // 310 or 384 bytes: one whole row and 10 or 84 pixels of the next.
        const int reached = compression == 1 ? 10 : 84;
        EXPECT_EQ(b->Pixel(reached - 1, 1), RGBColor(248, 248, 248));
        EXPECT_EQ(b->Pixel(reached, 1), RGBColor(255, 255, 255));
        EXPECT_EQ(b->Pixel(w - 1, h - 1), RGBColor(255, 255, 255));
    }

    // PCX: a run of two bytes decodes to 63; the rest of the rows show index 0.
    Bytes pcx = Pcx(w, h);
    pcx.resize(128);
    pcx[2] = 1;
    pcx.insert(pcx.end(), {0xFF, 5, 0xC2, 5});
    pcx.push_back(12); // the palette at the end: entry i is grey i
    for (int i = 0; i < 256; ++i)
        pcx.insert(pcx.end(), 3, static_cast<uint8_t>(i));
    TempDir dir;
    WriteBytes(dir.File("short.pcx"), pcx);
    TPicture picture;
    picture.OpenFile(dir.File("short.pcx"));
    auto* b = dynamic_cast<TBitmap*>(picture.Graphic());
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Pixel(64, 0), RGBColor(5, 5, 5));
    EXPECT_EQ(b->Pixel(65, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(b->Pixel(w - 1, h - 1), RGBColor(0, 0, 0));
}
