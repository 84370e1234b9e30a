// Hand-made files for the raster readers: the worked PCX cases, TIFF variants built in
// code, and the formats without public samples (CUT, CEL/PIC, PSP).
#include "TestSupport.h"

#include "codecs/Picture.h"
#include "codecs/Registry.h"
#include "codecs/formats/Cel.h"
#include "codecs/formats/Cut.h"
#include "codecs/formats/Pcd.h"
#include "codecs/formats/Pcx.h"
#include "codecs/formats/Pnm.h"
#include "codecs/formats/Psd.h"
#include "codecs/formats/Psp.h"
#include "codecs/formats/Rla.h"
#include "codecs/formats/Tiff.h"
#include "codecs/surface/Canvas.h"
#include "platform/Files.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <sstream>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

using Bytes = std::vector<uint8_t>;

TColor RGB(int r, int g, int b)
{
    return RGBColor(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
}

void Put16(Bytes& b, uint16_t v, bool be = false)
{
    if (be) {
        b.push_back(static_cast<uint8_t>(v >> 8));
        b.push_back(static_cast<uint8_t>(v));
    } else {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
}

void Put32(Bytes& b, uint32_t v, bool be = false)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(be ? v >> (24 - 8 * i) : v >> (8 * i)));
}

template <class T> std::string Load(T& picture, const Bytes& bytes)
{
    TMemoryStream stream(bytes);
    try {
        picture.ReadStream(stream);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

uint8_t Index(const TBitmap& b, int x, int y)
{
    const int bits = b.BitsPerPixel();
    size_t bit = static_cast<size_t>(x) * bits;
    return static_cast<uint8_t>((b.ConstRow(y)[bit / 8] >> (8 - bits - bit % 8)) &
                                ((1u << bits) - 1));
}

// ---- PCX

Bytes PcxHeader(int bits, int planes, int width, int height, int bytesPerLine, int version = 5)
{
    Bytes h(128, 0);
    h[0] = 10;
    h[1] = static_cast<uint8_t>(version);
    h[2] = 1;
    h[3] = static_cast<uint8_t>(bits);
    h[8] = static_cast<uint8_t>(width - 1);
    h[10] = static_cast<uint8_t>(height - 1);
    h[65] = static_cast<uint8_t>(planes);
    h[66] = static_cast<uint8_t>(bytesPerLine);
    return h;
}

TEST(PcxReader, EightBitPaletteComesFromTheEndOfTheFile)
{
    Bytes file = PcxHeader(8, 1, 3, 2, 4);
    // Row 0: run of three 1s and a pad byte; row 1: 2, 0xC1-escaped 200, 3, pad.
    Bytes data = {0xC3, 1, 0, 2, 0xC1, 200, 3, 0};
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(12);
    for (int i = 0; i < 256; ++i) {
        file.push_back(static_cast<uint8_t>(i));
        file.push_back(static_cast<uint8_t>(255 - i));
        file.push_back(7);
    }
    TPCXGraphic pcx;
    ASSERT_EQ(Load(pcx, file), "");
    ASSERT_EQ(pcx.Width(), 3);
    ASSERT_EQ(pcx.Height(), 2);
    EXPECT_EQ(pcx.PixelFormat(), pf8bit);
    EXPECT_EQ(Index(pcx, 0, 0), 1);
    EXPECT_EQ(Index(pcx, 2, 0), 1);
    EXPECT_EQ(Index(pcx, 0, 1), 2);
    EXPECT_EQ(Index(pcx, 1, 1), 200);
    EXPECT_EQ(Index(pcx, 2, 1), 3);
    EXPECT_EQ(pcx.Pixel(1, 1), RGB(200, 55, 7));
}

TEST(PcxReader, SixteenColourPlanesCombineLowPlaneFirst)
{
    Bytes file = PcxHeader(1, 4, 8, 1, 2);
    for (int i = 0; i < 16; ++i) { // header palette: entry i = (i * 16, i, 255 - i)
        file[16 + 3 * i] = static_cast<uint8_t>(i * 16);
        file[17 + 3 * i] = static_cast<uint8_t>(i);
        file[18 + 3 * i] = static_cast<uint8_t>(255 - i);
    }
    // Planes 0..3, two bytes each: 0x80, 0x00, 0x80, 0x00 in the first bytes.
    Bytes planes = {0x80, 0, 0x00, 0, 0x80, 0, 0x00, 0};
    for (uint8_t b : planes) {
        file.push_back(0xC1);
        file.push_back(b);
    }
    TPCXGraphic pcx;
    ASSERT_EQ(Load(pcx, file), "");
    EXPECT_EQ(pcx.PixelFormat(), pf4bit);
    EXPECT_EQ(Index(pcx, 0, 0), 5);
    EXPECT_EQ(Index(pcx, 1, 0), 0);
    EXPECT_EQ(pcx.Pixel(0, 0), RGB(80, 5, 250));
}

TEST(PcxReader, OtherMakerBytesLeaveThePictureEmptyAndTheHolderReportsIt)
{
    Bytes file = PcxHeader(8, 1, 3, 2, 4);
    file[0] = 11;
    TPCXGraphic pcx;
    EXPECT_EQ(Load(pcx, file), "");
    EXPECT_TRUE(pcx.IsEmpty());

    // Two bits per pixel are widened to 4-bit pixels with the indices unchanged.
    Bytes cga = PcxHeader(2, 1, 4, 1, 2);
    cga.insert(cga.end(), {0x1B, 0x00}); // pixels 0, 1, 2, 3
    ASSERT_EQ(Load(pcx, cga), "");
    EXPECT_EQ(pcx.PixelFormat(), pf4bit);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(Index(pcx, x, 0), x);
}

// A one-pixel-wide picture whose rows claim 65535 bytes each and no data (the two bytes
// after the header count as its palette's place): only the rows data could reach are held,
// not 4 GiB of decoded rows, and every row stays zero.
TEST(PcxReader, HugeBytesPerLineCostsOnlyWhatTheDataReaches)
{
    std::string here = __FILE__; // tests/codecs/ in the checkout
    std::string data = here.substr(0, here.rfind("/codecs/")) + "/data/regress/";
    Bytes file = ReadBytes(data + "pcx-wide-lines-tall-picture.pcx");
    ASSERT_FALSE(file.empty());
    TPCXGraphic pcx;
    ASSERT_EQ(Load(pcx, file), "");
    EXPECT_EQ(pcx.Width(), 1);
    EXPECT_EQ(pcx.Height(), 65536);
    EXPECT_EQ(Index(pcx, 0, 0), 0);
    EXPECT_EQ(Index(pcx, 0, 65535), 0);
}

// ---- portable maps

TEST(PpmReader, MaximumValueIsNotAppliedAndPlainBitsMayRunTogether)
{
    TPPMGraphic pnm;
    ASSERT_EQ(Load(pnm, Bytes{'P', '2', ' ', '3', ' ', '1', '\n', '#', ' ', 'x', '\n',
                              '1', '5', ' ', '0', ' ', '7', ' ',  '1', '5', '\n'}),
              "");
    ASSERT_EQ(pnm.Width(), 3);
    EXPECT_EQ(pnm.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(pnm.Pixel(1, 0), RGB(7, 7, 7));
    EXPECT_EQ(pnm.Pixel(2, 0), RGB(15, 15, 15));

    std::string plain = "P1\n3 2\n101\n0 1 0\n";
    ASSERT_EQ(Load(pnm, Bytes(plain.begin(), plain.end())), "");
    EXPECT_EQ(pnm.Pixel(0, 0), RGB(0, 0, 0)); // 1 is black
    EXPECT_EQ(pnm.Pixel(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(pnm.Pixel(1, 1), RGB(0, 0, 0));

    std::string truncated = "P6 4 4 255\nabc";
    EXPECT_EQ(Load(pnm, Bytes(truncated.begin(), truncated.end())),
              "Stream read error in PBM, PGM or PPM file.");
    std::string bad = "P7 4 4 255\n";
    EXPECT_EQ(Load(pnm, Bytes(bad.begin(), bad.end())),
              "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.");
}

// ---- TIFF

struct TiffEntry {
    uint16_t tag, type;
    std::vector<uint32_t> values;
};

// One or more directories, each with its strips placed before it.
class TiffBuilder {
  public:
    explicit TiffBuilder(bool bigEndian) : be_(bigEndian) {}
    void Directory(std::vector<TiffEntry> entries, std::vector<Bytes> strips)
    {
        dirs_.push_back({std::move(entries), std::move(strips)});
    }
    Bytes Build() const
    {
        Bytes out = {static_cast<uint8_t>(be_ ? 'M' : 'I'), static_cast<uint8_t>(be_ ? 'M' : 'I')};
        Put16(out, 42, be_);
        size_t firstLink = out.size();
        Put32(out, 0, be_);
        size_t link = firstLink;
        for (const auto& [entries, strips] : dirs_) {
            std::vector<uint32_t> offsets, counts;
            for (const Bytes& s : strips) {
                offsets.push_back(static_cast<uint32_t>(out.size()));
                counts.push_back(static_cast<uint32_t>(s.size()));
                out.insert(out.end(), s.begin(), s.end());
                if (out.size() & 1)
                    out.push_back(0);
            }
            std::vector<TiffEntry> all = entries;
            all.push_back({273, 4, offsets});
            all.push_back({279, 4, counts});
            std::sort(all.begin(), all.end(),
                      [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
            // Values that do not fit into an entry go before the directory.
            std::vector<uint32_t> valueOffsets;
            for (const TiffEntry& e : all) {
                size_t size = (e.type == 3 ? 2 : 4) * e.values.size();
                valueOffsets.push_back(static_cast<uint32_t>(out.size()));
                if (size > 4)
                    for (uint32_t v : e.values)
                        e.type == 3 ? Put16(out, static_cast<uint16_t>(v), be_)
                                    : Put32(out, v, be_);
            }
            uint32_t dir = static_cast<uint32_t>(out.size());
            Patch(out, link, dir);
            Put16(out, static_cast<uint16_t>(all.size()), be_);
            for (size_t i = 0; i < all.size(); ++i) {
                const TiffEntry& e = all[i];
                Put16(out, e.tag, be_);
                Put16(out, e.type, be_);
                Put32(out, static_cast<uint32_t>(e.values.size()), be_);
                size_t size = (e.type == 3 ? 2 : 4) * e.values.size();
                if (size > 4) {
                    Put32(out, valueOffsets[i], be_);
                } else {
                    Bytes inline4;
                    for (uint32_t v : e.values)
                        e.type == 3 ? Put16(inline4, static_cast<uint16_t>(v), be_)
                                    : Put32(inline4, v, be_);
                    inline4.resize(4, 0);
                    out.insert(out.end(), inline4.begin(), inline4.end());
                }
            }
            link = out.size();
            Put32(out, 0, be_);
        }
        return out;
    }

  private:
    void Patch(Bytes& out, size_t at, uint32_t v) const
    {
        Bytes b;
        Put32(b, v, be_);
        std::copy(b.begin(), b.end(), out.begin() + static_cast<long>(at));
    }
    bool be_;
    std::vector<std::pair<std::vector<TiffEntry>, std::vector<Bytes>>> dirs_;
};

std::vector<TiffEntry> BasicTags(uint32_t width, uint32_t height, uint32_t bits, uint32_t samples,
                                 uint32_t photometric, uint32_t compression = 1)
{
    std::vector<uint32_t> bps(samples, bits);
    return {{256, 4, {width}},       {257, 4, {height}},      {258, 3, bps},
            {259, 3, {compression}}, {262, 3, {photometric}}, {277, 3, {samples}}};
}

Bytes DeflateBytes(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress(out.data(), &size, data.data(), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

TEST(TiffReader, DeflateWithHorizontalDifferencingInEitherByteOrder)
{
    // 3 x 2 RGB; the stored samples are differences from the pixel to the left.
    const Bytes pixels = {10, 20, 30, 15, 25, 35, 200, 100, 0, 1, 2, 3, 4, 5, 6, 250, 251, 252};
    Bytes differenced = pixels;
    for (int y = 0; y < 2; ++y)
        for (int i = 8; i >= 3; --i)
            differenced[9 * y + i] =
                static_cast<uint8_t>(pixels[9 * y + i] - pixels[9 * y + i - 3]);
    for (bool be : {false, true}) {
        SCOPED_TRACE(be ? "MM" : "II");
        TiffBuilder b(be);
        auto tags = BasicTags(3, 2, 8, 3, 2, 8);
        tags.push_back({317, 3, {2}});
        tags.push_back({278, 4, {1}}); // one row per strip
        b.Directory(tags, {DeflateBytes(Bytes(differenced.begin(), differenced.begin() + 9)),
                           DeflateBytes(Bytes(differenced.begin() + 9, differenced.end()))});
        TTIFFGraphic tiff;
        ASSERT_EQ(Load(tiff, b.Build()), "");
        ASSERT_EQ(tiff.PixelFormat(), pf24bit);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const uint8_t* p = &pixels[9 * y + 3 * x];
                EXPECT_EQ(tiff.Pixel(x, y), RGB(p[0], p[1], p[2])) << x << "," << y;
            }
    }
}

TEST(TiffReader, SixteenBitBigEndianGreyIsReducedAndMinIsWhiteInverts)
{
    TiffBuilder b(true);
    Bytes strip;
    for (uint16_t v : {0x0000, 0x1234, 0xFFFF})
        Put16(strip, v, true);
    b.Directory(BasicTags(3, 1, 16, 1, 0), {strip});
    TTIFFGraphic tiff;
    ASSERT_EQ(Load(tiff, b.Build()), "");
    EXPECT_EQ(tiff.PixelFormat(), pf8bit);
    // Reduced by value x 255 div 65535: 0, 18, 255; photometric 0 shows 0 as white.
    EXPECT_EQ(Index(tiff, 1, 0), 18);
    EXPECT_EQ(tiff.Pixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(tiff.Pixel(2, 0), RGB(0, 0, 0));
}

TEST(TiffReader, PaletteTwoBitIndicesAndDirectoryByIndex)
{
    TiffBuilder b(false);
    std::vector<uint32_t> map(12);
    for (int i = 0; i < 4; ++i) {
        map[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 85 * 257);  // reds
        map[static_cast<size_t>(4 + i)] = 0;                                // greens
        map[static_cast<size_t>(8 + i)] = static_cast<uint32_t>(255 * 257); // blues
    }
    auto tags = BasicTags(4, 1, 2, 1, 3);
    tags.push_back({320, 3, map});
    b.Directory(tags, {Bytes{0x1B}}); // 0, 1, 2, 3
    b.Directory(BasicTags(2, 1, 8, 1, 1), {Bytes{9, 99}});
    Bytes file = b.Build();

    TTIFFGraphic first;
    ASSERT_EQ(Load(first, file), "");
    EXPECT_EQ(first.PixelFormat(), pf4bit);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(first.Pixel(x, 0), RGB(x * 85, 0, 255));

    TTIFFGraphic second;
    second.SetImageIndex(1);
    ASSERT_EQ(Load(second, file), "");
    EXPECT_EQ(second.Width(), 2);
    EXPECT_EQ(second.Pixel(1, 0), RGB(99, 99, 99));

    TTIFFGraphic missing;
    missing.SetImageIndex(2);
    EXPECT_EQ(Load(missing, file),
              "Cannot load image. Invalid or unexpected TIF/TIFF image format.");
}

TEST(TiffReader, LzwDecodesTilesGiveAnEmptyPictureAndBadStripsFail)
{
    // Clear, 10, 20, 30, 40, end: nine-bit codes, most significant bit first.
    TiffBuilder lzw(false);
    lzw.Directory(BasicTags(2, 2, 8, 1, 1, 5), {Bytes{0x80, 0x02, 0x82, 0x81, 0xE1, 0x44, 0x04}});
    TTIFFGraphic tiff;
    ASSERT_EQ(Load(tiff, lzw.Build()), "");
    EXPECT_EQ(tiff.Pixel(0, 0), RGB(10, 10, 10));
    EXPECT_EQ(tiff.Pixel(1, 1), RGB(40, 40, 40));
    // Code 300 names no string yet.
    TiffBuilder damaged(false);
    damaged.Directory(BasicTags(2, 2, 8, 1, 1, 5), {Bytes{0x80, 0x02, 0xA5, 0x90, 0x10}});
    EXPECT_EQ(Load(tiff, damaged.Build()),
              "Cannot load image. Compression error found in TIF/TIFF file.");
    // The old form, packed least significant bit first, is not read.
    TiffBuilder old(false);
    old.Directory(BasicTags(2, 2, 8, 1, 1, 5), {Bytes{0x00, 0x01, 0x0A}});
    EXPECT_EQ(Load(tiff, old.Build()),
              "Cannot load image. Old-style LZW compression is not supported for TIF/TIFF files.");

    TiffBuilder tiled(false);
    auto tags = BasicTags(16, 16, 8, 1, 1);
    tags.push_back({322, 4, {16}});
    tags.push_back({323, 4, {16}});
    tiled.Directory(tags, {Bytes(256, 7)});
    EXPECT_EQ(Load(tiff, tiled.Build()), "");
    EXPECT_TRUE(tiff.IsEmpty());

    // A strip offset beyond the end of the file.
    TiffBuilder bad(false);
    auto badTags = BasicTags(2, 2, 8, 1, 1);
    badTags.push_back({273, 4, {100000}});
    bad.Directory(badTags, {});
    Bytes file = bad.Build();
    EXPECT_EQ(Load(tiff, file), "Stream read error in TIF/TIFF file.");
}

TEST(TiffReader, SubsampledYCbCrBlocksGiveEachPixelItsBlocksChroma)
{
    // 3 x 2 pixels in two 2 x 2 blocks: four luma samples, then Cb and Cr.
    TiffBuilder b(false);
    auto tags = BasicTags(3, 2, 8, 3, 6);
    tags.push_back({530, 3, {2, 2}});
    b.Directory(tags, {Bytes{50, 161, 32, 81, 115, 194, 100, 100, 100, 100, 128, 128}});
    TTIFFGraphic tiff;
    ASSERT_EQ(Load(tiff, b.Build()), "");
    EXPECT_EQ(tiff.Pixel(0, 0), RGB(143, 7, 27));
    EXPECT_EQ(tiff.Pixel(1, 0), RGB(254, 118, 138));
    EXPECT_EQ(tiff.Pixel(0, 1), RGB(125, 0, 9));
    EXPECT_EQ(tiff.Pixel(2, 1), RGB(100, 100, 100));
}

// Group 3 and modified Huffman files written by an independent encoder (Pillow through
// libtiff): two-dimensional coding, fill bits, reversed bit order.
TEST(TiffReader, FaxVariantsFromAnIndependentEncoder)
{
    TempDir dir;
    std::string script =
        "import sys\n"
        "from PIL import Image, ImageDraw, TiffImagePlugin\n"
        "TiffImagePlugin.WRITE_LIBTIFF = True\n"
        "im = Image.new('1', (203, 41), 1)\n"
        "d = ImageDraw.Draw(im)\n"
        "d.ellipse((5, 3, 90, 38), fill=0); d.rectangle((120, 5, 190, 35), outline=0, width=3)\n"
        "d.line((0, 0, 202, 40), fill=0)\n"
        "im.save(sys.argv[1] + 'ref.png')\n"
        "im.save(sys.argv[1] + 'g3-2d.tif', compression='group3', tiffinfo={292: 1})\n"
        "im.save(sys.argv[1] + 'g3-2d-fill.tif', compression='group3', tiffinfo={292: 5})\n"
        "im.save(sys.argv[1] + 'g3-1d.tif', compression='group3')\n"
        "im.save(sys.argv[1] + 'mh.tif', compression='tiff_ccitt')\n"
        "im.save(sys.argv[1] + 'g3-lsb.tif', compression='group3', tiffinfo={266: 2, 292: 1})\n";
    WriteText(dir.File("make.py"), script);
    CommandResult made = RunCommand("/usr/bin/python3 " + ShellQuote(dir.File("make.py")) + " " +
                                    ShellQuote(dir.Path()));
    TABULONIX_NEED(made.exitCode == 0, "python3-pil with fax compression: " << made.err);
    auto reference = DecodeWithPillow(dir.File("ref.png"));
    ASSERT_TRUE(reference);
    for (const char* name : {"g3-2d.tif", "g3-2d-fill.tif", "g3-1d.tif", "mh.tif", "g3-lsb.tif"}) {
        SCOPED_TRACE(name);
        TTIFFGraphic tiff;
        std::string error;
        try {
            tiff.ReadFile(dir.File(name));
        } catch (const Exception& e) {
            error = e.Message();
        }
        ASSERT_EQ(error, "");
        ASSERT_EQ(tiff.Width(), 203);
        ASSERT_EQ(tiff.Height(), 41);
        int wrong = 0;
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 203; ++x)
                wrong += GetRValue(tiff.Pixel(x, y)) !=
                         reference->rgba[(static_cast<size_t>(y) * 203 + x) * 4];
        EXPECT_EQ(wrong, 0);
    }
}

// ---- PSD

Bytes PsdFile(int channels, int depth, int mode, const Bytes& colorData, const Bytes& image,
              int width, int height)
{
    Bytes f = {'8', 'B', 'P', 'S'};
    Put16(f, 1, true);
    f.insert(f.end(), 6, 0);
    Put16(f, static_cast<uint16_t>(channels), true);
    Put32(f, static_cast<uint32_t>(height), true);
    Put32(f, static_cast<uint32_t>(width), true);
    Put16(f, static_cast<uint16_t>(depth), true);
    Put16(f, static_cast<uint16_t>(mode), true);
    Put32(f, static_cast<uint32_t>(colorData.size()), true);
    f.insert(f.end(), colorData.begin(), colorData.end());
    Put32(f, 4, true); // image resources, skipped by length
    f.insert(f.end(), {1, 2, 3, 4});
    Put32(f, 0, true); // no layers
    f.insert(f.end(), image.begin(), image.end());
    return f;
}

TEST(PsdReader, SixteenBitRgbIsTwentyFourBitAndCmykIsInverted)
{
    Bytes raw = {0, 0};
    for (uint16_t v : {0x1234, 0xFFFF, 0x0000, 0x8000, 0xFFFF, 0x00FF}) // R plane, G plane, B plane
        Put16(raw, v, true);
    TPSDGraphic psd;
    ASSERT_EQ(Load(psd, PsdFile(3, 16, 3, {}, raw, 2, 1)), "");
    EXPECT_EQ(psd.PixelFormat(), pf24bit);
    EXPECT_EQ(psd.Pixel(0, 0), RGB(18, 0, 255));
    EXPECT_EQ(psd.Pixel(1, 0), RGB(255, 127, 0));

    // CMYK stored as 255 = no ink, PackBits rows: C = 255 (none), M = 0 (full), Y = 255, K = 255.
    Bytes packed = {0, 1};
    for (int i = 0; i < 4; ++i)
        Put16(packed, 2, true);
    for (uint8_t v : {255, 0, 255, 255}) {
        packed.push_back(0xFF); // repeat twice
        packed.push_back(v);
    }
    ASSERT_EQ(Load(psd, PsdFile(4, 8, 4, {}, packed, 2, 1)), "");
    EXPECT_EQ(psd.Pixel(1, 0), RGB(255, 0, 255));

    Bytes shortPalette(100, 0);
    EXPECT_EQ(Load(psd, PsdFile(1, 8, 2, shortPalette, Bytes{0, 0, 1}, 1, 1)),
              "Cannot load image. Palette in PSD or PDD file is invalid.");
}

// ---- CUT, CEL/PIC, PSP

Bytes CutFile()
{
    // 4 x 2: row 0 = run of 4 x index 2; row 1 = literal 0, 1, 2, 3.
    Bytes f;
    Put16(f, 4);
    Put16(f, 2);
    Put16(f, 0);
    f.insert(f.end(), {3, 0, 0x84, 2, 0});
    f.insert(f.end(), {6, 0, 0x04, 0, 1, 2, 3, 0});
    return f;
}

Bytes HaloPalette(int count)
{
    Bytes p(40, 0);
    p[0] = 'A';
    p[1] = 'H';
    p[12] = static_cast<uint8_t>(count - 1);
    for (int i = 0; i < count; ++i) {
        if (p.size() % 512 + 6 > 512)
            p.resize((p.size() / 512 + 1) * 512, 0);
        Put16(p, static_cast<uint16_t>(0x100 | (i * 3))); // red: the low byte counts
        Put16(p, static_cast<uint16_t>(i));
        Put16(p, static_cast<uint16_t>(255 - i));
    }
    return p;
}

TEST(CutReader, PaletteFileBesideThePictureOrAGreyRamp)
{
    TempDir dir;
    WriteBytes(dir.File("grey.cut"), CutFile());
    TCUTGraphic grey;
    grey.ReadFile(dir.File("grey.cut"));
    ASSERT_EQ(grey.Width(), 4);
    EXPECT_EQ(grey.PixelFormat(), pf8bit);
    EXPECT_EQ(grey.Pixel(0, 0), RGB(2, 2, 2));
    EXPECT_EQ(grey.Pixel(3, 1), RGB(3, 3, 3));

    // 100 colours cross the first 512-byte block: entry 78 starts the second block.
    WriteBytes(dir.File("col.cut"), CutFile());
    WriteBytes(dir.File("col.pal"), HaloPalette(100));
    TCUTGraphic color;
    color.ReadFile(dir.File("col.cut"));
    EXPECT_EQ(color.Pixel(0, 0), RGB(6, 2, 253));
    EXPECT_EQ(color.Pixel(3, 1), RGB(9, 3, 252));
    TPalette palette = TCUTGraphic::ReadPaletteFile(HaloPalette(100));
    ASSERT_EQ(palette.size(), 100u);
    EXPECT_EQ(palette[78].green, 78);
    EXPECT_EQ(palette[99].blue, 156);

    // An independent reader of the format agrees on the grey picture's indices.
    TABULONIX_NEED(HaveTool("/usr/bin/convert-im6.q16"), "ImageMagick (imagemagick)");
    CommandResult r = RunCommand("/usr/bin/convert-im6.q16 " + ShellQuote(dir.File("grey.cut")) +
                                 " -depth 8 gray:- 2>/dev/null");
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.out.size(), 8u);
    EXPECT_EQ(static_cast<uint8_t>(r.out[0]), 2);
    EXPECT_EQ(static_cast<uint8_t>(r.out[7]), 3);
}

TEST(AutodeskReader, SixBitPaletteTimesFourAndRowsTopDown)
{
    Bytes f;
    Put16(f, 0x9119);
    Put16(f, 2);
    Put16(f, 2);
    f.resize(32, 0);
    f[10] = 8;
    for (int i = 0; i < 256; ++i)
        f.insert(f.end(), {static_cast<uint8_t>(i & 63), 63, 0});
    f.insert(f.end(), {1, 2, 3, 4});
    TAutodeskGraphic cel;
    ASSERT_EQ(Load(cel, f), "");
    EXPECT_EQ(cel.Pixel(0, 0), RGB(4, 252, 0));
    EXPECT_EQ(cel.Pixel(1, 1), RGB(16, 252, 0));
    f.resize(f.size() - 1);
    EXPECT_EQ(Load(cel, f), "Stream read error in Autodesk file.");
    f[0] = 0;
    EXPECT_EQ(Load(cel, f), "Cannot load image. Invalid or unexpected Autodesk image format.");
}

// A picture of version 3 or later: image block, palette block, one raster layer with
// its channels.
struct PspChannel {
    int bitmapType, channelType;
    Bytes data; // as stored (packed by the file's compression)
};

Bytes PspBlock(int major, uint16_t id, const Bytes& body)
{
    Bytes b = {0x7E, 'B', 'K', 0};
    Put16(b, id);
    if (major <= 3)
        Put32(b, static_cast<uint32_t>(body.size()));
    Put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes PspFile(int major, int width, int height, int bits, int compression, bool grey,
              const std::vector<PspChannel>& channels, const Bytes& paletteQuads = {})
{
    std::string sig = "Paint Shop Pro Image File\n\x1a";
    Bytes f(sig.begin(), sig.end());
    f.resize(32, 0);
    Put16(f, static_cast<uint16_t>(major));
    Put16(f, 0);
    auto chunk = [&](Bytes fields) {
        if (major > 3) {
            Bytes c;
            Put32(c, static_cast<uint32_t>(fields.size() + 4));
            c.insert(c.end(), fields.begin(), fields.end());
            return c;
        }
        return fields;
    };
    Bytes image;
    Put32(image, static_cast<uint32_t>(width));
    Put32(image, static_cast<uint32_t>(height));
    image.insert(image.end(), 9, 0);
    Put16(image, static_cast<uint16_t>(compression));
    Put16(image, static_cast<uint16_t>(bits));
    Put16(image, 1);
    Put32(image, bits <= 8 ? 1u << bits : 0);
    image.push_back(grey ? 1 : 0);
    image.insert(image.end(), 10, 0);
    Bytes imageBlock = PspBlock(major, 0, chunk(image));
    f.insert(f.end(), imageBlock.begin(), imageBlock.end());
    if (!paletteQuads.empty()) {
        Bytes pal;
        Put32(pal, static_cast<uint32_t>(paletteQuads.size() / 4));
        Bytes body = chunk(pal);
        body.insert(body.end(), paletteQuads.begin(), paletteQuads.end());
        Bytes b = PspBlock(major, 2, body);
        f.insert(f.end(), b.begin(), b.end());
    }
    // The layer: its information, then the bitmap information, then the channels.
    Bytes info;
    if (major <= 3) {
        info.resize(256, 0);
    } else {
        Put16(info, 5);
        info.insert(info.end(), {'L', 'a', 'y', 'e', 'r'});
    }
    info.push_back(1); // raster layer
    for (int v : {0, 0, width, height, 0, 0, width, height})
        Put32(info, static_cast<uint32_t>(v));
    info.insert(info.end(), {255, 0, 1, 0, 0});
    for (int i = 0; i < 8; ++i)
        Put32(info, 0);
    info.insert(info.end(), {0, 0, 0});
    Put16(info, 5);
    info.insert(info.end(), 40, 0);
    Bytes layer;
    Bytes counts;
    Put16(counts, 1);
    Put16(counts, static_cast<uint16_t>(channels.size()));
    if (major <= 3) {
        layer = info;
        layer.insert(layer.end(), counts.begin(), counts.end());
    } else {
        layer = chunk(info);
        Bytes bitmapInfo = chunk(counts);
        layer.insert(layer.end(), bitmapInfo.begin(), bitmapInfo.end());
    }
    for (const PspChannel& c : channels) {
        Bytes fields;
        Put32(fields, static_cast<uint32_t>(c.data.size()));
        Put32(fields, 0);
        Put16(fields, static_cast<uint16_t>(c.bitmapType));
        Put16(fields, static_cast<uint16_t>(c.channelType));
        Bytes body = chunk(fields);
        body.insert(body.end(), c.data.begin(), c.data.end());
        Bytes b = PspBlock(major, 5, body);
        layer.insert(layer.end(), b.begin(), b.end());
    }
    Bytes layerBlock = PspBlock(major, 4, layer);
    Bytes start = PspBlock(major, 3, layerBlock);
    f.insert(f.end(), start.begin(), start.end());
    return f;
}

TEST(PspReader, FirstRasterLayerInEachCompressionAndVersion)
{
    const Bytes red = {10, 20, 30, 40}, green = {1, 2, 3, 4}, blue = {100, 110, 120, 130},
                alpha = {255, 0, 128, 64};
    auto rle = [](const Bytes& v) {
        Bytes out = {static_cast<uint8_t>(v.size())};
        out.insert(out.end(), v.begin(), v.end());
        return out;
    };
    for (int major : {3, 5}) {
        for (int compression : {0, 1, 2}) {
            SCOPED_TRACE("version " + std::to_string(major) + ", compression " +
                         std::to_string(compression));
            auto pack = [&](const Bytes& v) {
                return compression == 0 ? v : compression == 1 ? rle(v) : DeflateBytes(v);
            };
            Bytes file = PspFile(
                major, 2, 2, 24, compression, false,
                {{0, 1, pack(red)}, {0, 2, pack(green)}, {0, 3, pack(blue)}, {1, 0, pack(alpha)}});
            TPSPGraphic psp;
            ASSERT_EQ(Load(psp, file), "");
            ASSERT_EQ(psp.PixelFormat(), pf32bit);
            EXPECT_EQ(psp.Pixel(0, 0), RGB(10, 1, 100));
            EXPECT_EQ(psp.Pixel(1, 1), RGB(40, 4, 130));
            EXPECT_EQ(psp.ConstRow(1)[3], 128); // pixel (0, 1) alpha
        }
    }

    // 8-bit indexed with a palette block of blue, green, red, reserved quads.
    Bytes quads;
    for (int i = 0; i < 256; ++i)
        quads.insert(quads.end(), {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i), 0});
    Bytes indexed = PspFile(5, 2, 1, 8, 0, false, {{0, 0, Bytes{7, 9}}}, quads);
    TPSPGraphic psp;
    ASSERT_EQ(Load(psp, indexed), "");
    EXPECT_EQ(psp.PixelFormat(), pf8bit);
    EXPECT_EQ(psp.Pixel(1, 0), RGB(246, 0, 9));

    Bytes wrong = indexed;
    wrong[0] = 'X';
    EXPECT_EQ(Load(psp, wrong), "Cannot load image. Invalid or unexpected PSP image format.");
}

// The transparency channel is the picture's alpha: drawn onto white, blended over it.
TEST(PspReader, TransparencyBlendsOverWhiteWhenDrawn)
{
    const Bytes red = {10, 20, 30, 40}, green = {1, 2, 3, 4}, blue = {100, 110, 120, 130},
                alpha = {255, 0, 128, 64};
    Bytes file =
        PspFile(5, 2, 2, 24, 0, false, {{0, 1, red}, {0, 2, green}, {0, 3, blue}, {1, 0, alpha}});
    TPSPGraphic psp;
    ASSERT_EQ(Load(psp, file), "");
    ASSERT_TRUE(psp.HasAlphaChannel());
    TBitmap surface;
    surface.SetSize(2, 2);
    surface.Canvas().DrawAt(0, 0, &psp);
    for (int i = 0; i < 4; ++i) {
        double a = alpha[i] / 255.0;
        auto over = [&](int v) { return static_cast<int>(std::lround(v * a + 255 * (1 - a))); };
        EXPECT_EQ(surface.Pixel(i % 2, i / 2), RGB(over(red[i]), over(green[i]), over(blue[i])))
            << i;
    }
}

// Files the PSP harness found: a layer rectangle whose width overflows, and a bit depth
// whose samples are wider than the channel rows.
TEST(PspReader, RegressionFilesFailCleanly)
{
    std::string here = __FILE__;
    std::string data = here.substr(0, here.rfind("/codecs/")) + "/data/regress/";
    TPSPGraphic psp;
    EXPECT_EQ(Load(psp, ReadBytes(data + "psp-layer-rectangle-overflow.psp")),
              "Cannot load image. Invalid or unexpected PSP image format.");
    EXPECT_EQ(Load(psp, ReadBytes(data + "psp-sixteen-bit-depth.psp")),
              "Invalid color format in PSP file.");
}

// ---- Photo-CD and RLA

TEST(PcdReader, RotationBitsTurnThePicture)
{
    TABULONIX_NEED(FileExists(CorpusDir() + "pcd/pillow/hopper.pcd"),
                   "corpus file pcd/pillow/hopper.pcd");
    Bytes file = ReadBytes(CorpusDir() + "pcd/pillow/hopper.pcd");
    TPCDGraphic upright;
    ASSERT_EQ(Load(upright, file), "");
    ASSERT_EQ(upright.Width(), 768);
    for (int rotation : {1, 3}) {
        Bytes turned = file;
        turned[3586] = static_cast<uint8_t>((turned[3586] & ~3) | rotation);
        TPCDGraphic pcd;
        ASSERT_EQ(Load(pcd, turned), "");
        ASSERT_EQ(pcd.Width(), 512);
        ASSERT_EQ(pcd.Height(), 768);
        // A quarter turn counter-clockwise (1) or clockwise (3) of the upright picture.
        for (auto [x, y] : {std::pair{0, 0}, std::pair{100, 30}, std::pair{767, 511}}) {
            TColor expected = upright.Pixel(x, y);
            TColor got = rotation == 1 ? pcd.Pixel(y, 767 - x) : pcd.Pixel(511 - y, x);
            EXPECT_EQ(got, expected) << x << "," << y;
        }
    }
    TPCDGraphic thumbnail;
    thumbnail.SetImageIndex(2);
    ASSERT_EQ(Load(thumbnail, file), "");
    EXPECT_EQ(thumbnail.Width(), 192);
}

TEST(RlaReader, SixteenBitSamplesMatchTheEightBitTwin)
{
    std::string dir = CorpusDir() + "rla/oiio/";
    TABULONIX_NEED(FileExists(dir + "ginsu_rgb_nc8.rla"), "corpus folder rla/oiio");
    TRLAGraphic eight, sixteen;
    eight.ReadFile(dir + "ginsu_rgb_nc8.rla");
    sixteen.ReadFile(dir + "ginsu_rgb_nc16.rla");
    ASSERT_EQ(eight.Width(), 512);
    ASSERT_EQ(sixteen.Width(), 512);
    int worst = 0;
    for (int y = 0; y < 512; y += 3)
        for (int x = 0; x < 512; x += 3) {
            TColor a = eight.Pixel(x, y), b = sixteen.Pixel(x, y);
            worst = std::max({worst, std::abs(GetRValue(a) - GetRValue(b)),
                              std::abs(GetGValue(a) - GetGValue(b)),
                              std::abs(GetBValue(a) - GetBValue(b))});
        }
    EXPECT_LE(worst, 1);
    // The picture is not blank: the bottom-up rows were placed.
    EXPECT_NE(eight.Pixel(100, 200), eight.Pixel(0, 0));
}

// ---- registry

TEST(RasterRegistry, EveryExtensionOpensItsReader)
{
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"tiff", "TTIFFGraphic"},    {"tif", "TTIFFGraphic"},     {"fax", "TTIFFGraphic"},
        {"eps", "TEPSGraphic"},      {"pcx", "TPCXGraphic"},      {"pcc", "TPCXGraphic"},
        {"scr", "TPCXGraphic"},      {"rpf", "TRLAGraphic"},      {"rla", "TRLAGraphic"},
        {"sgi", "TSGIGraphic"},      {"rgba", "TSGIGraphic"},     {"rgb", "TSGIGraphic"},
        {"bw", "TSGIGraphic"},       {"psd", "TPSDGraphic"},      {"pdd", "TPSDGraphic"},
        {"ppm", "TPPMGraphic"},      {"pgm", "TPPMGraphic"},      {"pbm", "TPPMGraphic"},
        {"cel", "TAutodeskGraphic"}, {"pic", "TAutodeskGraphic"}, {"pcd", "TPCDGraphic"},
        {"cut", "TCUTGraphic"},      {"psp", "TPSPGraphic"},
    };
    for (const auto& [ext, cls] : expected) {
        const TGraphicClass* found = FindExtension(ext);
        ASSERT_NE(found, nullptr) << ext;
        EXPECT_EQ(found->name, cls) << ext;
    }
    // The engine's way in: a holder opening a file by its extension.
    TempDir dir;
    WriteBytes(dir.File("picture.CUT"), CutFile());
    TPicture picture;
    picture.OpenFile(dir.File("picture.CUT"));
    EXPECT_EQ(picture.Width(), 4);
}

} // namespace
