#include "codecs/formats/Tga.h"

#include "TestSupport.h"
#include "codecs/core/DecodeLimits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

std::vector<uint8_t> Px(std::initializer_list<uint8_t> bytes)
{
    return std::vector<uint8_t>(bytes);
}

std::vector<uint8_t> Header(int type, int width, int height, int pixelSize, int descriptor,
                            int mapType = 0, int mapLength = 0, int mapBits = 0)
{
    std::vector<uint8_t> h(18, 0);
    h[1] = static_cast<uint8_t>(mapType);
    h[2] = static_cast<uint8_t>(type);
    h[5] = static_cast<uint8_t>(mapLength);
    h[6] = static_cast<uint8_t>(mapLength >> 8);
    h[7] = static_cast<uint8_t>(mapBits);
    h[12] = static_cast<uint8_t>(width);
    h[13] = static_cast<uint8_t>(width >> 8);
    h[14] = static_cast<uint8_t>(height);
    h[15] = static_cast<uint8_t>(height >> 8);
    h[16] = static_cast<uint8_t>(pixelSize);
    h[17] = static_cast<uint8_t>(descriptor);
    return h;
}

void Append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
}

void Load(TTargaGraphic& g, const std::vector<uint8_t>& bytes)
{
    TMemoryStream s(bytes);
    g.ReadStream(s);
}

std::vector<uint8_t> Save(TBitmap& source, bool compressed)
{
    TTargaGraphic g;
    g.AssignFrom(source);
    TMemoryStream s;
    g.WriteStream(s, compressed);
    return s.Bytes();
}

// A picture with pixels of a few colours so that rows have runs and raw stretches.
void Paint(TBitmap& b, int width, int height)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int k = (x / 3 + y) % 5;
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(40 * k), static_cast<uint8_t>(x * 7 % 256),
                                static_cast<uint8_t>(255 - 50 * k)));
        }
}

} // namespace

TEST(Targa, RunLengthPacketsAreByteExact)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> pixels; // 24-bit pixels
        std::vector<uint8_t> packed;
    };
    std::vector<uint8_t> a = {1, 2, 3}, b = {4, 5, 6}, c = {7, 8, 9};
    auto cat = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> out;
        for (const auto& p : parts)
            Append(out, p);
        return out;
    };
    std::vector<Case> cases = {
        {"ABC", cat({a, b, c}), cat({Px({2}), a, b, c})},
        {"AAAB", cat({a, a, a, b}), cat({Px({0x82}), a, Px({0x00}), b})},
        {"ABB", cat({a, b, b}), cat({Px({0x00}), a, Px({0x81}), b})},
        {"A", a, cat({Px({0x00}), a})},
    };
    std::vector<uint8_t> same300;
    for (int i = 0; i < 300; ++i)
        Append(same300, a);
    cases.push_back({"300 equal", same300, cat({Px({0xFF}), a, Px({0xFF}), a, Px({0xAB}), a})});
    std::vector<uint8_t> raw130;
    for (int i = 0; i < 130; ++i)
        Append(raw130, {static_cast<uint8_t>(i), 0, 0});
    std::vector<uint8_t> rawPacked = {0x7F};
    rawPacked.insert(rawPacked.end(), raw130.begin(), raw130.begin() + 128 * 3);
    rawPacked.push_back(0x01);
    rawPacked.insert(rawPacked.end(), raw130.begin() + 128 * 3, raw130.end());
    cases.push_back({"130 different", raw130, rawPacked});

    TTargaRLEDecoder coder(24);
    for (const Case& k : cases) {
        int count = static_cast<int>(k.pixels.size() / 3);
        EXPECT_EQ(coder.EncodeRow(k.pixels.data(), count), k.packed) << k.name;
        // And back.
        std::vector<uint8_t> decoded(k.pixels.size());
        TTargaRLEDecoder decoder(24);
        EXPECT_EQ(decoder.Decode(k.packed.data(), k.packed.size(), decoded.data(), count),
                  k.packed.size());
        EXPECT_EQ(decoded, k.pixels) << k.name;
    }
}

TEST(Targa, DecoderStaysWithinRowAndInput)
{
    TTargaRLEDecoder d(8);
    // A run of 5 over a row of 3: the rest continues in the next row, nothing beyond.
    std::vector<uint8_t> packed = {0x84, 9, 0x01, 1, 2};
    uint8_t row[4] = {0, 0, 0, 0xEE};
    size_t used = d.Decode(packed.data(), packed.size(), row, 3);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ((std::vector<uint8_t>(row, row + 4)), (std::vector<uint8_t>{9, 9, 9, 0xEE}));
    used = d.Decode(packed.data() + 2, packed.size() - 2, row, 3);
    EXPECT_EQ(used, 2u); // header and first raw pixel; one raw pixel would follow
    EXPECT_EQ((std::vector<uint8_t>(row, row + 3)), (std::vector<uint8_t>{9, 9, 1}));

    // Truncated input: a raw packet promising 4 pixels with 2 bytes present.
    TTargaRLEDecoder t(8);
    std::vector<uint8_t> cut = {0x03, 5, 6};
    uint8_t out[4] = {0, 0, 0, 0};
    EXPECT_EQ(t.Decode(cut.data(), cut.size(), out, 4), 3u);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 4)), (std::vector<uint8_t>{5, 6, 0, 0}));
    // A run packet whose value is missing is not consumed.
    TTargaRLEDecoder r(24);
    std::vector<uint8_t> noValue = {0x85, 1, 2};
    uint8_t px[6] = {};
    EXPECT_EQ(r.Decode(noValue.data(), noValue.size(), px, 2), 0u);
}

TEST(Targa, WritesHeaderAndRowsTopFirst)
{
    TBitmap b;
    b.SetSize(2, 2);
    b.SetPixel(0, 0, RGBColor(255, 0, 0));
    b.SetPixel(1, 0, RGBColor(255, 0, 0));
    b.SetPixel(0, 1, RGBColor(0, 0, 255));
    b.SetPixel(1, 1, RGBColor(0, 255, 0));
    ASSERT_EQ(b.PixelFormat(), pfDevice);
    std::vector<uint8_t> f = Save(b, true);
    ASSERT_GE(f.size(), 18u);
    EXPECT_EQ(f[2], 10);
    EXPECT_EQ(f[16], 32);
    EXPECT_EQ(f[17], 0x20);
    EXPECT_EQ(f[1], 0);
    EXPECT_EQ(f[5] | (f[6] << 8), 256);
    EXPECT_EQ(f[7], 24);
    // Top row (two red pixels) first as one run packet, then a raw packet of two.
    ASSERT_EQ(f.size(), 18u + 5 + 9);
    EXPECT_EQ(f[18], 0x81);
    EXPECT_EQ(f[21], 255); // red in blue, green, red, x order
    EXPECT_EQ(f[22], 255); // the unused fourth byte goes out opaque
    EXPECT_EQ(f[23], 0x01);

    std::vector<uint8_t> plain = Save(b, false);
    EXPECT_EQ(plain[2], 2);
    EXPECT_EQ(plain.size(), 18u + 16);

    TBitmap empty;
    EXPECT_TRUE(Save(empty, true).empty());
}

TEST(Targa, EightBitPicturesCarryTheirColourMap)
{
    TBitmap b;
    b.NewImage(4, 1, pf8bit);
    TPalette pal(256);
    pal[3] = RGBQuad{10, 20, 30, 0};
    b.SetPalette(pal);
    b.Row(0)[0] = 3;
    std::vector<uint8_t> f = Save(b, true);
    EXPECT_EQ(f[1], 1);
    EXPECT_EQ(f[2], 9);
    EXPECT_EQ(f[16], 8);
    ASSERT_GE(f.size(), 18u + 768);
    EXPECT_EQ(f[18 + 9], 10); // entry 3: blue, green, red
    EXPECT_EQ(f[18 + 11], 30);
    TTargaGraphic back;
    Load(back, f);
    EXPECT_EQ(back.PixelFormat(), pf8bit);
    EXPECT_EQ(back.Pixel(0, 0), RGBColor(30, 20, 10));
}

TEST(Targa, BottomUpAndTopDownGiveTheSamePicture)
{
    // Two rows of 24-bit pixels: top row red, bottom row blue.
    std::vector<uint8_t> top = {0, 0, 255}, bottom = {255, 0, 0};
    std::vector<uint8_t> topDown = Header(2, 1, 2, 24, 0x20), bottomUp = Header(2, 1, 2, 24, 0x00);
    Append(topDown, top);
    Append(topDown, bottom);
    Append(bottomUp, bottom);
    Append(bottomUp, top);
    // Run-length, with the image ID skipped.
    std::vector<uint8_t> rle = Header(10, 1, 2, 24, 0x20);
    rle[0] = 3;
    Append(rle, {'i', 'd', '!'});
    Append(rle, Px({0x00}));
    Append(rle, top);
    Append(rle, Px({0x80}));
    Append(rle, bottom);
    for (const auto* file : {&topDown, &bottomUp, &rle}) {
        TTargaGraphic g;
        Load(g, *file);
        ASSERT_EQ(g.Width(), 1);
        ASSERT_EQ(g.Height(), 2);
        EXPECT_EQ(g.PixelFormat(), pf24bit);
        EXPECT_EQ(g.Pixel(0, 0), RGBColor(255, 0, 0));
        EXPECT_EQ(g.Pixel(0, 1), RGBColor(0, 0, 255));
    }
}

TEST(Targa, ColourMapEntriesAndGreyPictures)
{
    // 16-bit map entries: 5-bit values times 8 (31 -> 248). The first-entry index is not applied.
    std::vector<uint8_t> f = Header(1, 2, 1, 8, 0x20, 1, 2, 16);
    f[3] = 5;                                // first entry index, ignored
    Append(f, Px({0x1F, 0x00, 0x00, 0x7C})); // blue 31; red 31
    Append(f, Px({0, 1}));
    TTargaGraphic g;
    Load(g, f);
    EXPECT_EQ(g.Pixel(0, 0), RGBColor(0, 0, 248));
    EXPECT_EQ(g.Pixel(1, 0), RGBColor(248, 0, 0));

    // Grey: the map in the file is skipped, the palette is a ramp.
    std::vector<uint8_t> grey = Header(3, 2, 1, 8, 0x20, 1, 2, 24);
    Append(grey, Px({9, 9, 9, 9, 9, 9}));
    Append(grey, Px({0, 200}));
    TTargaGraphic gg;
    Load(gg, grey);
    EXPECT_EQ(gg.Pixel(1, 0), RGBColor(200, 200, 200));

    // Grey with an alpha byte keeps the grey level.
    std::vector<uint8_t> ga = Header(3, 2, 1, 16, 0x28);
    Append(ga, Px({77, 255, 130, 0}));
    TTargaGraphic gga;
    Load(gga, ga);
    EXPECT_EQ(gga.PixelFormat(), pf8bit);
    EXPECT_EQ(gga.Pixel(0, 0), RGBColor(77, 77, 77));
    EXPECT_EQ(gga.Pixel(1, 0), RGBColor(130, 130, 130));
}

TEST(Targa, ShortAndHostileFiles)
{
    auto errorOf = [](const std::vector<uint8_t>& bytes,
                      const DecodeLimits& limits = {}) -> std::string {
        TTargaGraphic g;
        g.SetLimits(limits);
        try {
            Load(g, bytes);
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(errorOf({}), "Stream read error");
    EXPECT_EQ(errorOf(Px({0, 0, 2})), "Stream read error");
    std::vector<uint8_t> shortRows = Header(2, 4, 4, 24, 0x20);
    Append(shortRows, std::vector<uint8_t>(20, 1));
    EXPECT_EQ(errorOf(shortRows), "Stream read error");
    std::vector<uint8_t> shortMap = Header(1, 1, 1, 8, 0, 1, 10, 24);
    EXPECT_EQ(errorOf(shortMap), "Stream read error");
    EXPECT_EQ(errorOf(Header(7, 1, 1, 8, 0)),
              "Cannot load image. Invalid or unexpected TGA image format.");
    EXPECT_EQ(errorOf(Header(2, 1, 1, 12, 0)), "Invalid color format in TGA file.");

    // Huge dimensions with run-length data: refused by the pixel budget, not allocated.
    DecodeLimits small;
    small.pixels = 1u << 20;
    std::vector<uint8_t> huge = Header(10, 65535, 65535, 32, 0);
    Append(huge, Px({0xFF, 1, 2, 3, 4}));
    EXPECT_EQ(errorOf(huge, small), "picture too large: 65535 × 65535");

    // Truncated run-length data: the rows decoded so far stay, the rest is zero.
    std::vector<uint8_t> cut = Header(10, 2, 2, 24, 0x20);
    Append(cut, Px({0x81, 1, 2, 3}));
    TTargaGraphic g;
    Load(g, cut);
    EXPECT_EQ(g.Pixel(1, 0), RGBColor(3, 2, 1));
    EXPECT_EQ(g.Pixel(1, 1), RGBColor(0, 0, 0));
}

// Every file the writer produces is read back by an independent decoder with exactly the
// surface's pixels.
TEST(Targa, WrittenFilesMatchTheReferenceDecoder)
{
    TempDir dir;
    struct Variant {
        const char* name;
        TPixelFormat format;
        bool compressed;
    } variants[] = {{"device-rle", pfDevice, true}, {"device-raw", pfDevice, false},
                    {"24-rle", pf24bit, true},      {"15-rle", pf15bit, true},
                    {"8-rle", pf8bit, true},        {"8-raw", pf8bit, false},
                    {"4-rle", pf4bit, true}};
    for (const Variant& v : variants) {
        TBitmap b;
        b.SetSize(37, 11);
        Paint(b, 37, 11);
        if (v.format != pfDevice)
            b.SetPixelFormat(v.format);
        std::string path = dir.File(std::string(v.name) + ".tga");
        WriteBytes(path, Save(b, v.compressed));
        auto ref = DecodeWithPillow(path);
        ASSERT_TRUE(ref) << v.name;
        ASSERT_EQ(ref->width, 37);
        ASSERT_EQ(ref->height, 11);
        int wrong = 0;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x) {
                const uint8_t* p = &ref->rgba[(static_cast<size_t>(y) * 37 + x) * 4];
                TColor expected = b.Pixel(x, y);
                if (v.format == pf15bit) // five bits per channel, widened by the decoder
                    expected = RGBColor(GetRValue(expected) & 0xF8, GetGValue(expected) & 0xF8,
                                        GetBValue(expected) & 0xF8);
                TColor got = RGBColor(p[0], p[1], p[2]);
                if (v.format == pf15bit)
                    got = RGBColor(p[0] & 0xF8, p[1] & 0xF8, p[2] & 0xF8);
                wrong += got != expected;
            }
        EXPECT_EQ(wrong, 0) << v.name;
        // And our own reader agrees.
        TTargaGraphic back;
        Load(back, ReadBytes(path));
        int mismatch = 0;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x)
                mismatch += back.Pixel(x, y) != b.Pixel(x, y);
        EXPECT_EQ(mismatch, 0) << v.name;
    }
}

// The corpus: every file the reference decoder reads gives the same pixels.
class TargaCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(TargaCorpus, MatchesReference)
{
    std::string path = CorpusDir() + "/tga/" + GetParam();
    std::vector<uint8_t> bytes = ReadBytes(path);
    // Where the suite ships the expected picture, that is the reference.
    std::string expectedPicture = path + ".ref.png";
    auto ref = DecodeWithPillow(std::filesystem::exists(expectedPicture) ? expectedPicture : path);
    TTargaGraphic g;
    try {
        Load(g, bytes);
    } catch (const Exception& e) {
        EXPECT_FALSE(ref) << "reference reads it, we fail: " << e.what();
        return;
    }
    // Files that are broken by design may decode to something (a colour-mapped picture
    // without its map comes out black); they must only be handled without a crash.
    if (!ref || GetParam().rfind("gdk-pixbuf-fail/", 0) == 0)
        return;
    ASSERT_EQ(g.Width(), ref->width);
    ASSERT_EQ(g.Height(), ref->height);
    const bool alpha = g.PixelFormat() == pf32bit && (bytes[17] & 0x0F) != 0;
    int wrong = 0;
    for (int y = 0; y < g.Height(); ++y)
        for (int x = 0; x < g.Width(); ++x) {
            const uint8_t* p = &ref->rgba[(static_cast<size_t>(y) * ref->width + x) * 4];
            TColor c = g.Pixel(x, y);
            bool same = c == RGBColor(p[0], p[1], p[2]);
            if (g.PixelFormat() == pf15bit) // the reference widens 5-bit values its own way
                same = (GetRValue(c) >> 3) == (p[0] >> 3) && (GetGValue(c) >> 3) == (p[1] >> 3) &&
                       (GetBValue(c) >> 3) == (p[2] >> 3);
            if (alpha)
                same = same && g.ConstRow(y)[4 * x + 3] == p[3];
            wrong += !same;
        }
    EXPECT_EQ(wrong, 0);
}

static std::vector<std::string> TargaFiles()
{
    std::vector<std::string> out;
    std::string root = CorpusDir() + "tga";
    if (CorpusDir().empty() || !std::filesystem::exists(root)) {
        if (InCi())
            throw std::runtime_error("corpus folder missing: " + root);
        return out;
    }
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".tga")
            out.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(Files, TargaCorpus, ::testing::ValuesIn(TargaFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });
