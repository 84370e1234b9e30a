// GIF writing (golden bytes, LZW code stream, reference decoding of what we write) and
// reading (header variants, colour tables, transparency, placement, truncation, errors).
#include "codecs/Picture.h"
#include "codecs/Registry.h"
#include "codecs/compression/GifLzw.h"
#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "platform/Halftone.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace tabulonix;

namespace {

std::vector<uint8_t> WriteGif(TGIFImage& gif)
{
    TMemoryStream out;
    gif.WriteStream(out);
    return out.Bytes();
}

// The engine's sequence: the surface reduced to the halftone palette, taken over, written.
std::vector<uint8_t> EngineGif(TGIFImage& gif, TBitmap& surface)
{
    surface.SetPixelFormat(pf8bit);
    gif.AssignFrom(surface);
    return WriteGif(gif);
}

TBitmap Surface(int w, int h, uint32_t seed)
{
    TBitmap b;
    b.SetSize(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 255 / std::max(1, w - 1)),
                                static_cast<uint8_t>(y * 255 / std::max(1, h - 1)),
                                static_cast<uint8_t>(rng() % 256)));
    return b;
}

// The data sub-blocks after the minimum code size byte at `at`: their lengths, and the
// joined data.
struct SubBlocks {
    std::vector<int> lengths;
    std::vector<uint8_t> data;
    size_t end = 0; // just after the terminator
};

SubBlocks ParseSubBlocks(const std::vector<uint8_t>& bytes, size_t at)
{
    SubBlocks s;
    while (at < bytes.size()) {
        int n = bytes[at++];
        if (n == 0)
            break;
        s.lengths.push_back(n);
        s.data.insert(s.data.end(), bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(at + n));
        at += static_cast<size_t>(n);
    }
    s.end = at;
    return s;
}

struct Code {
    int value, width;
};

// Reads a GIF code stream with the usual decoder's width rule.
std::vector<Code> ParseCodes(const std::vector<uint8_t>& data, int minCodeSize)
{
    std::vector<Code> codes;
    const int clear = 1 << minCodeSize, end = clear + 1;
    int width = minCodeSize + 1, next = clear + 2;
    bool afterClear = true;
    size_t bit = 0;
    while (bit + static_cast<size_t>(width) <= data.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
        codes.push_back({code, width});
        if (code == end)
            break;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            afterClear = true;
            continue;
        }
        if (!afterClear && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        afterClear = false;
    }
    return codes;
}

// A GIF assembled byte by byte for the reader tests.
struct GifBuilder {
    std::vector<uint8_t> bytes;

    GifBuilder& Raw(std::initializer_list<int> values)
    {
        for (int v : values)
            bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    GifBuilder& U16(int v) { return Raw({v & 0xFF, (v >> 8) & 0xFF}); }
    GifBuilder& Text(const std::string& s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    // Header and logical screen; a global table of 2^bits colours when `global` is given.
    GifBuilder& Screen(int w, int h, const std::vector<TGIFColor>& global,
                       const std::string& signature = "GIF89a")
    {
        Text(signature).U16(w).U16(h);
        int bits = 1;
        while ((1 << bits) < static_cast<int>(global.size()))
            ++bits;
        Raw({global.empty() ? 0 : 0x80 | (bits - 1), 0, 0});
        Colors(global, bits);
        return *this;
    }
    GifBuilder& Colors(const std::vector<TGIFColor>& colors, int bits)
    {
        if (colors.empty())
            return *this;
        for (int i = 0; i < (1 << bits); ++i) {
            TGIFColor c =
                i < static_cast<int>(colors.size()) ? colors[static_cast<size_t>(i)] : TGIFColor{};
            Raw({c.red, c.green, c.blue});
        }
        return *this;
    }
    GifBuilder& Transparent(int index) { return Raw({0x21, 0xF9, 4, 1, 0, 0, index, 0}); }
    GifBuilder& Comment(const std::string& text)
    {
        Raw({0x21, 0xFE, static_cast<int>(text.size())}).Text(text);
        return Raw({0});
    }
    // An image descriptor, optional local table and LZW data of `pixels` (rows from the
    // top; written in interlaced order when asked).
    GifBuilder& Image(int left, int top, int w, int h, const std::vector<uint8_t>& pixels,
                      const std::vector<TGIFColor>& local = {}, bool interlaced = false,
                      int colorCount = 256)
    {
        int bits = 1;
        while ((1 << bits) < static_cast<int>(local.size()))
            ++bits;
        Raw({0x2C}).U16(left).U16(top).U16(w).U16(h);
        Raw({(local.empty() ? 0 : 0x80 | (bits - 1)) | (interlaced ? 0x40 : 0)});
        Colors(local, bits);
        TLZWEncoder encoder;
        encoder.Encode(bytes, TGIFPixels{pixels.data(), w, h, interlaced}, 8, colorCount);
        return *this;
    }
    GifBuilder& Trailer() { return Raw({0x3B}); }
};

const std::vector<TGIFColor> kFour = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

struct ReadResult {
    std::string error;
    std::vector<std::string> warnings;
};

ReadResult Read(TGIFImage& gif, const std::vector<uint8_t>& bytes)
{
    ReadResult r;
    gif.OnWarning = [&r](TGIFImage&, const std::string& w) { r.warnings.push_back(w); };
    TMemoryStream in(bytes);
    try {
        gif.ReadStream(in);
    } catch (const GIFException& e) {
        r.error = e.what();
        EXPECT_EQ(in.Position(), 0u) << "position restored after a failure";
    }
    return r;
}

bool Has(const std::vector<std::string>& list, const std::string& text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

// The picture painted into a w x h white surface.
TBitmap PaintOnWhite(TGIFImage& gif, int w, int h, TRect rect)
{
    TBitmap surface;
    surface.SetSize(w, h);
    surface.Canvas().DrawScaled(rect, &gif);
    return surface;
}

} // namespace

// --- Writing ----------------------------------------------------------------------------

TEST(GifWriter, OnePixelEngineGifIsByteExact)
{
    ASSERT_EQ(HalftonePalette()[15], (RGBQuad{255, 255, 255, 0})) << "white is halftone entry 15";
    TBitmap surface;
    surface.SetSize(1, 1); // white
    TGIFImage gif;
    std::vector<uint8_t> bytes = EngineGif(gif, surface);
    ASSERT_EQ(surface.Row(0)[0], 15);

    std::vector<uint8_t> expected = {'G', 'I',  'F', '8', '7', 'a', 1, 0, 1, 0, 0x77, 0,
                                     0,   0x2C, 0,   0,   0,   0,   1, 0, 1, 0, 0x87};
    for (const RGBQuad& q : HalftonePalette()) {
        expected.push_back(q.red);
        expected.push_back(q.green);
        expected.push_back(q.blue);
    }
    // Codes 256, 15, 257 at 9 bits each, least significant bit first.
    for (int b : {0x08, 0x04, 0x00, 0x1F, 0x04, 0x04, 0x00, 0x3B})
        expected.push_back(static_cast<uint8_t>(b));
    EXPECT_EQ(bytes, expected);
}

TEST(GifWriter, ClearCodeFollowsTheLastAssignableCode)
{
    TBitmap surface = Surface(200, 200, 7);
    TGIFImage gif;
    std::vector<uint8_t> bytes = EngineGif(gif, surface);
    const size_t dataAt = 6 + 7 + 10 + 768;
    ASSERT_EQ(bytes[dataAt], 8);
    SubBlocks blocks = ParseSubBlocks(bytes, dataAt + 1);
    std::vector<Code> codes = ParseCodes(blocks.data, 8);
    ASSERT_GT(codes.size(), 3840u);
    EXPECT_EQ(codes[0].value, 256);
    EXPECT_EQ(codes[0].width, 9);
    for (size_t i = 1; i <= 3838; ++i)
        ASSERT_NE(codes[i].value, 256) << "no clear before the table is full, code " << i;
    // 3837 strings entered (258..4094), then the next miss: its prefix, then a clear code
    // at 12 bits, then codes of 9 bits again.
    EXPECT_EQ(codes[3839].value, 256);
    EXPECT_EQ(codes[3839].width, 12);
    EXPECT_EQ(codes[3840].width, 9);
    EXPECT_EQ(codes.back().value, 257);
    EXPECT_EQ(blocks.end, bytes.size() - 1);
    EXPECT_EQ(bytes.back(), 0x3B);
}

TEST(GifWriter, SubBlocksAreFullExceptTheLastAndNeverEmpty)
{
    // A single-colour row compresses far below one sub-block.
    TBitmap row;
    row.SetSize(255, 1);
    TGIFImage gif;
    std::vector<uint8_t> bytes = EngineGif(gif, row);
    SubBlocks single = ParseSubBlocks(bytes, 6 + 7 + 10 + 768 + 1);
    ASSERT_EQ(single.lengths.size(), 1u);
    EXPECT_LT(single.lengths[0], 64);

    // Find a noise row whose code stream is exactly 255 bytes: one full sub-block, then
    // the terminator straight away.
    bool found = false;
    for (int w = 150; w < 320 && !found; ++w) {
        TBitmap noise = Surface(w, 1, 99);
        bytes = EngineGif(gif, noise);
        SubBlocks s = ParseSubBlocks(bytes, 6 + 7 + 10 + 768 + 1);
        if (s.data.size() != 255)
            continue;
        found = true;
        EXPECT_EQ(s.lengths, std::vector<int>{255});
        EXPECT_EQ(s.end, bytes.size() - 1);
    }
    EXPECT_TRUE(found) << "no width gave exactly 255 bytes";
}

TEST(GifWriter, ReusedPictureKeepsNothingOfThePreviousFile)
{
    TBitmap first = Surface(30, 20, 1), second;
    second.SetSize(7, 5);
    second.Canvas().Brush.Color = clRed;
    second.Canvas().FillRect(TRect{0, 0, 7, 5});
    TGIFImage reused;
    EngineGif(reused, first);
    std::vector<uint8_t> again = EngineGif(reused, second);
    TBitmap secondCopy;
    secondCopy.SetSize(7, 5);
    secondCopy.Canvas().Brush.Color = clRed;
    secondCopy.Canvas().FillRect(TRect{0, 0, 7, 5});
    TGIFImage fresh;
    EXPECT_EQ(again, EngineGif(fresh, secondCopy));
    EXPECT_EQ(reused.Count(), 1);
    EXPECT_EQ(reused.Width(), 7);
    EXPECT_EQ(reused.Height(), 5);
    EXPECT_TRUE(reused.Header().colorMap.IsEmpty());
}

TEST(GifWriter, ReferenceDecoderSeesTheSurfaceIndicesAndColours)
{
    test::TempDir dir;
    struct Shape {
        int w, h;
        TPixelFormat format;
    };
    // 8 bits as the engine writes; 1 and 4 bits unpacked into one index per pixel.
    for (Shape s : {Shape{1, 1, pf8bit}, Shape{97, 61, pf8bit}, Shape{300, 3, pf8bit},
                    Shape{33, 17, pf4bit}, Shape{45, 9, pf1bit}}) {
        TBitmap surface = Surface(s.w, s.h, static_cast<uint32_t>(s.w));
        surface.SetPixelFormat(s.format);
        TGIFImage gif;
        gif.AssignFrom(surface);
        std::string path = dir.File("out.gif");
        gif.WriteFile(path);
        auto ref = test::DecodeIndexedWithPillow(path);
        ASSERT_TRUE(ref.has_value()) << s.w << "x" << s.h;
        ASSERT_EQ(ref->width, s.w);
        ASSERT_EQ(ref->height, s.h);
        const auto& table = surface.ColorTable();
        for (size_t i = 0; i < table.size(); ++i) {
            ASSERT_GE(ref->paletteRgb.size(), 3 * (i + 1));
            EXPECT_EQ(ref->paletteRgb[3 * i], table[i].red);
            EXPECT_EQ(ref->paletteRgb[3 * i + 1], table[i].green);
            EXPECT_EQ(ref->paletteRgb[3 * i + 2], table[i].blue);
        }
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) {
                TColor c = surface.Pixel(x, y);
                uint8_t index = ref->indices[static_cast<size_t>(y) * s.w + x];
                ASSERT_LT(index, table.size());
                ASSERT_EQ(RGBColor(table[index].red, table[index].green, table[index].blue), c)
                    << s.w << "x" << s.h << " at " << x << "," << y;
                if (s.format == pf8bit) {
                    ASSERT_EQ(index, surface.ConstRow(y)[x]);
                }
            }
    }
}

TEST(GifWriter, InterlacedImageRoundTripsThroughTheReference)
{
    // An image without a local map keeps its interlace flag and uses the global map.
    TGIFImage gif;
    for (const TGIFColor& c : kFour)
        gif.Header().colorMap.Add(c);
    TGIFSubImage& image = gif.AddEmpty();
    image.SetSize(5, 19);
    image.descriptor.packed = 0x40;
    for (size_t i = 0; i < image.data.size(); ++i)
        image.data[i] = static_cast<uint8_t>((i * 7 / 5) % 4);
    gif.Header().width = 5;
    gif.Header().height = 19;
    test::TempDir dir;
    gif.WriteFile(dir.File("i.gif"));
    auto ref = test::DecodeIndexedWithPillow(dir.File("i.gif"));
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(ref->indices, image.data);

    TGIFImage back;
    ASSERT_EQ(Read(back, test::ReadBytes(dir.File("i.gif"))).error, "");
    EXPECT_TRUE(back.Image(0).Interlaced());
    EXPECT_EQ(back.Image(0).data, image.data);
}

TEST(GifWriter, FailuresCarryTheirTexts)
{
    TGIFImage empty;
    TMemoryStream out;
    try {
        empty.WriteStream(out);
        ADD_FAILURE() << "an empty picture has no version";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Unsupported GIF version");
    }

    TGIFImage gif;
    TGIFSubImage& image = gif.AddEmpty();
    image.colorMap.Add({0, 0, 0});
    image.colorMap.Add({9, 9, 9});
    image.SetSize(2, 1);
    image.data[1] = 2; // beyond the two entries
    try {
        WriteGif(gif);
        ADD_FAILURE() << "index 2 of a 2-entry map";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color not in color table");
    }

    try {
        gif.Add(nullptr);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Object type not supported for operation");
    }

    gif.Header().width = 2;
    gif.Header().height = 1;
    try {
        gif.SetWidth(1);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Image width too small for contained frames");
    }
    try {
        gif.SetHeight(0);
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Image height too small for contained frames");
    }
    gif.SetWidth(10);
    EXPECT_EQ(gif.Width(), 10);
}

TEST(GifWriter, VersionFollowsExtensionsAndSortedMaps)
{
    TBitmap surface;
    surface.SetSize(2, 2);
    surface.SetPixelFormat(pf8bit);
    TGIFImage gif;
    gif.AssignFrom(surface);
    EXPECT_EQ(gif.Version(), "87a");
    gif.Image(0).colorMap.Optimized = true;
    EXPECT_EQ(gif.Version(), "89a");
    std::vector<uint8_t> bytes = WriteGif(gif);
    EXPECT_EQ(bytes[5], 'a');
    EXPECT_EQ(bytes[4], '9');
    EXPECT_EQ(bytes[13 + 9], 0x80 | 0x20 | 7) << "local table flag, sort flag, 8 bits";

    // A transparent source gets a graphic control extension naming its colour.
    TBitmap keyed;
    keyed.SetSize(3, 1);
    keyed.SetPixel(0, 0, clBlack);
    keyed.SetPixelFormat(pf8bit);
    keyed.SetTransparent(true);
    keyed.SetTransparentColor(clBlack);
    TGIFImage transparent;
    transparent.AssignFrom(keyed);
    ASSERT_TRUE(transparent.Image(0).Transparent());
    EXPECT_EQ(transparent.Image(0).TransparentIndex(), keyed.ConstRow(0)[0]);
    EXPECT_EQ(transparent.Version(), "89a");
}

TEST(GifColorMap, CapacityGrowsInStepsAndStopsAt256)
{
    TGIFColorMap map;
    EXPECT_EQ(map.BitsPerPixel(), 0);
    struct Step {
        int count, capacity, bits;
    };
    int added = 0;
    for (Step s : {Step{1, 16, 1}, Step{2, 16, 1}, Step{3, 16, 2}, Step{16, 16, 4}, Step{17, 32, 5},
                   Step{33, 64, 6}, Step{129, 160, 8}, Step{256, 256, 8}}) {
        while (added < s.count)
            map.Add(TGIFColor{static_cast<uint8_t>(added++), 0, 0});
        EXPECT_EQ(map.Capacity(), s.capacity) << s.count;
        EXPECT_EQ(map.BitsPerPixel(), s.bits) << s.count;
    }
    try {
        map.Add({});
        ADD_FAILURE() << "a 257th colour";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table overflow");
    }
    EXPECT_EQ(map.Count(), 256);
    auto palette = map.ToPalette();
    ASSERT_TRUE(palette.has_value());
    EXPECT_EQ((*palette)[5].red, 5);
    EXPECT_FALSE(TGIFColorMap().ToPalette().has_value());
}

// --- Reading ----------------------------------------------------------------------------

TEST(GifReader, SignatureVariants)
{
    std::vector<uint8_t> pixels = {1, 2, 3, 0};
    auto body = [&](const std::string& signature) {
        return GifBuilder()
            .Screen(2, 2, kFour, signature)
            .Image(0, 0, 2, 2, pixels, {}, false, 4)
            .Trailer()
            .bytes;
    };
    for (const char* signature : {"GIF89a", "gif89a", "GiF87a", "GIFxyz"}) {
        TGIFImage gif;
        ReadResult r = Read(gif, body(signature));
        EXPECT_EQ(r.error, "") << signature;
        ASSERT_EQ(gif.Count(), 1) << signature;
        EXPECT_EQ(gif.Image(0).data, pixels);
    }
    std::vector<uint8_t> prefixed = {'J', 'U', 'N', 'K'};
    std::vector<uint8_t> plain = body("GIF89a");
    prefixed.insert(prefixed.end(), plain.begin(), plain.end());
    TGIFImage gif;
    EXPECT_EQ(Read(gif, prefixed).error, "");
    EXPECT_EQ(gif.Width(), 2);

    struct Bad {
        std::vector<uint8_t> bytes;
        const char* error;
    };
    for (const Bad& b :
         {Bad{{'G', 'I', 'F'}, "Premature end of data"},
          Bad{{'P', 'N', 'G', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0}, "Invalid GIF signature"},
          Bad{{'G', 'I', 'F', '8', '9', 'a', 2, 0}, "Premature end of data"},
          Bad{{'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0, 1, 2},
              "Premature end of data"}}) {
        TGIFImage g;
        EXPECT_EQ(Read(g, b.bytes).error, b.error);
        EXPECT_TRUE(g.IsEmpty());
    }
}

TEST(GifReader, LocalTableWinsOverGlobal)
{
    std::vector<uint8_t> pixels = {0, 1};
    std::vector<TGIFColor> local = {{10, 20, 30}, {40, 50, 60}};
    for (bool withLocal : {true, false}) {
        GifBuilder b;
        b.Screen(2, 1, kFour)
            .Image(0, 0, 2, 1, pixels, withLocal ? local : std::vector<TGIFColor>{})
            .Trailer();
        TGIFImage gif;
        ASSERT_EQ(Read(gif, b.bytes).error, "");
        TBitmap out = PaintOnWhite(gif, 2, 1, TRect{0, 0, 2, 1});
        EXPECT_EQ(out.Pixel(1, 0), withLocal ? RGBColor(40, 50, 60) : RGBColor(255, 0, 0));
    }
    // Without any table painting fails; a later image borrows the first image's table.
    GifBuilder none;
    none.Screen(2, 1, {}).Image(0, 0, 2, 1, pixels).Trailer();
    TGIFImage gif;
    ASSERT_EQ(Read(gif, none.bytes).error, "");
    try {
        PaintOnWhite(gif, 2, 1, TRect{0, 0, 2, 1});
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
    GifBuilder borrow;
    borrow.Screen(2, 1, {}).Image(0, 0, 2, 1, pixels, local).Image(0, 0, 2, 1, pixels).Trailer();
    ASSERT_EQ(Read(gif, borrow.bytes).error, "");
    EXPECT_EQ(gif.Image(1).ActiveColorMap().Colors(), local);
}

TEST(GifReader, TransparentImageInsideTheScreenLeavesTheSurface)
{
    // 10 x 10 at (5, 5) on a 20 x 20 screen, painted into 40 x 40: covers (10,10)-(30,30);
    // index 1 is transparent.
    std::vector<uint8_t> pixels(100, 2);
    pixels[0] = 1;
    GifBuilder b;
    b.Screen(20, 20, kFour).Transparent(1).Image(5, 5, 10, 10, pixels, {}, false, 4).Trailer();
    TGIFImage gif;
    ASSERT_EQ(Read(gif, b.bytes).error, "");
    ASSERT_TRUE(gif.Image(0).Transparent());
    TBitmap out = PaintOnWhite(gif, 40, 40, TRect{0, 0, 40, 40});
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 10 && x < 30 && y >= 10 && y < 30;
            bool transparentCorner = x >= 10 && x < 12 && y >= 10 && y < 12;
            TColor want = inside && !transparentCorner ? RGBColor(0, 255, 0) : clWhite;
            ASSERT_EQ(out.Pixel(x, y), want) << x << "," << y;
        }
}

TEST(GifReader, InterlacedAndPlainTwinsAreIdentical)
{
    std::vector<uint8_t> pixels(7 * 13);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i % 3 + (i / 7) % 2);
    TGIFImage plain, interlaced;
    ASSERT_EQ(
        Read(plain, GifBuilder().Screen(7, 13, kFour).Image(0, 0, 7, 13, pixels).Trailer().bytes)
            .error,
        "");
    ASSERT_EQ(
        Read(interlaced,
             GifBuilder().Screen(7, 13, kFour).Image(0, 0, 7, 13, pixels, {}, true).Trailer().bytes)
            .error,
        "");
    EXPECT_EQ(plain.Image(0).data, pixels);
    EXPECT_EQ(interlaced.Image(0).data, pixels);
}

TEST(GifReader, TruncatedDataKeepsTheFillValue)
{
    std::vector<uint8_t> pixels(64 * 4, 3);
    for (int transparentIndex : {-1, 2}) {
        GifBuilder b;
        b.Screen(64, 4, kFour);
        if (transparentIndex >= 0)
            b.Transparent(transparentIndex);
        b.Image(0, 0, 64, 4, pixels);
        // Cut the file in the middle of the image data.
        b.bytes.resize(b.bytes.size() - 6);
        TGIFImage gif;
        ReadResult r = Read(gif, b.bytes);
        ASSERT_EQ(r.error, "");
        EXPECT_TRUE(Has(r.warnings, "Premature end of data"));
        const auto& data = gif.Image(0).data;
        EXPECT_EQ(data.front(), 3);
        EXPECT_EQ(data.back(), transparentIndex >= 0 ? transparentIndex : 0);
    }
}

TEST(GifReader, BlockLevelWarningsAndExtraGroups)
{
    std::vector<uint8_t> pixels = {1, 2};
    struct Variant {
        std::vector<int> tail;
        int images;
        std::vector<std::string> warnings;
    };
    for (const Variant& v :
         {Variant{{0x3B}, 1, {}}, Variant{{}, 1, {}}, // no trailer
          Variant{{0, 0, 0x3B}, 1, {}},               // zero bytes skipped
          Variant{{0x55}, 1, {"Unknown GIF block type", "Invalid Image trailer"}},
          Variant{{0x21, 0xFE, 2, 'h', 'i', 0, 0x3B}, 2, {}}}) { // trailing comment group
        GifBuilder b;
        b.Screen(2, 1, kFour).Image(0, 0, 2, 1, pixels, {}, false, 4);
        for (int t : v.tail)
            b.bytes.push_back(static_cast<uint8_t>(t));
        TGIFImage gif;
        ReadResult r = Read(gif, b.bytes);
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(gif.Count(), v.images);
        for (const std::string& w : v.warnings)
            EXPECT_TRUE(Has(r.warnings, w)) << w;
        // The first image is what paints, whatever follows it.
        TBitmap out = PaintOnWhite(gif, 2, 1, TRect{0, 0, 2, 1});
        EXPECT_EQ(out.Pixel(0, 0), RGBColor(255, 0, 0));
        EXPECT_EQ(out.Pixel(1, 0), RGBColor(0, 255, 0));
    }
    // A stray byte after an extension is warned about and then read as the separator.
    GifBuilder b;
    b.Screen(2, 1, kFour).Comment("x");
    size_t separator = b.bytes.size();
    b.Image(0, 0, 2, 1, pixels).Trailer();
    b.bytes[separator] = 0x77;
    TGIFImage gif;
    ReadResult r = Read(gif, b.bytes);
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(Has(r.warnings, "Invalid extension introducer"));
    ASSERT_EQ(gif.Count(), 1);
    EXPECT_EQ(gif.Image(0).data, pixels);
}

TEST(GifReader, FatalExtensionErrors)
{
    std::vector<uint8_t> pixels = {1};
    struct Bad {
        std::vector<int> extension;
        const char* error;
        bool imageFollows = true;
    };
    for (const Bad& b :
         {Bad{{0x21, 0x42, 0}, "Unknown extension type"},
          Bad{{0x21, 0xFF, 9, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', 0},
              "Unsupported Application Extension block size"},
          // a loop sub-block of two bytes where three are needed
          Bad{{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 2, 1, 0, 0},
              "Invalid GIF data"},
          // an introducer at the end of the file; a plain-text header cut short
          Bad{{0x21}, "Premature end of data", false},
          Bad{{0x21, 0x01, 12, 0, 0}, "Premature end of data", false}}) {
        GifBuilder g;
        g.Screen(1, 1, kFour);
        for (int v : b.extension)
            g.bytes.push_back(static_cast<uint8_t>(v));
        if (b.imageFollows)
            g.Image(0, 0, 1, 1, pixels).Trailer();
        TGIFImage gif;
        EXPECT_EQ(Read(gif, g.bytes).error, b.error);
        EXPECT_TRUE(gif.IsEmpty()) << "nothing half-read is kept";
    }
    // The loop extension and an unknown application are kept; both make the file 89a.
    GifBuilder ok;
    ok.Screen(1, 1, kFour).Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0").Raw({3, 1, 5, 0, 0});
    ok.Raw({0x21, 0xFF, 11}).Text("XMP DataXMP").Raw({2, 'a', 'b', 0});
    ok.Image(0, 0, 1, 1, pixels).Trailer();
    TGIFImage gif;
    ASSERT_EQ(Read(gif, ok.bytes).error, "");
    ASSERT_EQ(gif.Image(0).extensions.size(), 2u);
    auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(gif.Image(0).extensions[0].get());
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops, 5);
    auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(gif.Image(0).extensions[1].get());
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->Blocks, (std::vector<std::vector<uint8_t>>{{'a', 'b'}}));
    // Written again, they read back the same.
    TGIFImage again;
    ASSERT_EQ(Read(again, WriteGif(gif)).error, "");
    EXPECT_EQ(WriteGif(again), WriteGif(gif));
}

TEST(GifReader, CorruptCodeStreams)
{
    auto withData = [](std::initializer_list<int> data) {
        GifBuilder b;
        b.Screen(2, 2, kFour).Raw({0x2C}).U16(0).U16(0).U16(2).U16(2).Raw({0});
        b.Raw(data);
        return b.Trailer().bytes;
    };
    struct Stream {
        std::vector<uint8_t> bytes;
        std::string error;
        std::string warning;
    };
    // Code size 2: clear 4, end 5, 3-bit codes.
    for (const Stream& s : {
             // clear, then code 7 (beyond the table)
             Stream{withData({2, 1, 0x3C, 0}), "Circular decoder table entry", ""},
             // code size 12 and 0: no table can hold them
             Stream{withData({12, 1, 0, 0}), "Invalid GIF data", ""},
             Stream{withData({0, 1, 0, 0}), "Invalid GIF data", ""},
             // clear, 1 and a stray bit: the rest keeps the fill value
             Stream{withData({2, 1, 0x0C, 0}), "", "Decoder bit buffer under-run"},
             // clear clear 1 end: consecutive clears are skipped
             Stream{withData({2, 2, 0x64, 0x0A, 0}), "", ""},
         }) {
        TGIFImage gif;
        ReadResult r = Read(gif, s.bytes);
        EXPECT_EQ(r.error, s.error);
        if (!s.warning.empty()) {
            EXPECT_TRUE(Has(r.warnings, s.warning)) << s.warning;
        }
        if (s.error.empty()) {
            EXPECT_EQ(gif.Image(0).data[0], 1);
        }
    }
}

TEST(GifReader, FramesShareOnePixelBudget)
{
    // Two 600 x 600 frames of a few bytes each: each fits a budget of 512 Ki pixels, both do not.
    DecodeLimits limits;
    limits.pixels = 512u << 10;
    GifBuilder b;
    b.Screen(600, 600, kFour);
    for (int i = 0; i < 2; ++i)
        b.Raw({0x2C}).U16(0).U16(0).U16(600).U16(600).Raw({0, 2, 1, 0x05, 0}); // end code only
    b.Trailer();
    TGIFImage gif;
    gif.SetLimits(limits);
    ReadResult two = Read(gif, b.bytes);
    b.bytes.resize(b.bytes.size() - 15);
    b.Trailer();
    ReadResult one = Read(gif, b.bytes);
    EXPECT_EQ(two.error, "picture too large: 600 × 600");
    EXPECT_EQ(one.error, "");
    EXPECT_EQ(gif.Count(), 1);
}

TEST(GifReader, MutatedFilesFailOnlyWithGifErrors)
{
    std::vector<std::string> seeds;
    for (const char* name : {"gif-test-suite/interlace.gif", "gif-test-suite/animation.gif",
                             "giflib-pic/treescap-interlaced.gif", "pillow/hopper.gif"})
        seeds.push_back(test::CorpusDir() + "gif/" + name);
    TABULONIX_NEED(!test::CorpusDir().empty(), "the test corpus");
    int failures = 0, reads = 0;
    for (const std::string& seed : seeds) {
        for (const auto& bytes : test::MutatedCopies(test::ReadBytes(seed), 60, 5)) {
            TGIFImage gif;
            TMemoryStream in(bytes);
            try {
                gif.ReadStream(in);
                ++reads;
                if (gif.Width() > 0 && gif.Height() > 0 && gif.Width() * gif.Height() < 1 << 20)
                    PaintOnWhite(gif, gif.Width(), gif.Height(),
                                 TRect{0, 0, gif.Width(), gif.Height()});
            } catch (const GIFException&) {
                ++failures;
            }
        }
    }
    EXPECT_GT(reads, 0);
    EXPECT_GT(failures, 0);
}

TEST(GifRegistry, GifIsTheLastFormatAndOpensThroughThePictureHolder)
{
    const auto& entries = FileFormats().Entries();
    ASSERT_GE(entries.size(), 2u);
    for (size_t i : {entries.size() - 2, entries.size() - 1}) {
        EXPECT_EQ(entries[i].extension, "gif");
        EXPECT_EQ(entries[i].description, "GIF Image");
        EXPECT_EQ(entries[i].graphicClass.name, "TGIFImage");
    }
    test::TempDir dir;
    std::vector<uint8_t> bytes =
        GifBuilder().Screen(3, 2, kFour).Image(0, 0, 3, 2, {0, 1, 2, 3, 2, 1}).Trailer().bytes;
    test::WriteBytes(dir.File("a.GIF"), bytes);
    test::WriteBytes(dir.File("a.png"), bytes);
    TPicture picture;
    picture.OpenFile(dir.File("a.GIF"));
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TGIFImage");
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(picture.Height(), 2);
    EXPECT_THROW(picture.OpenFile(dir.File("a.png")), Exception);
    EXPECT_STREQ(picture.Graphic()->ClassName(), "TGIFImage") << "the previous picture stays";
}
