#include "codecs/formats/Png.h"
#include "codecs/Registry.h"
#include "codecs/formats/Icon.h"
#include "codecs/formats/PngWriter.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <filesystem>
#include <random>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

const std::vector<uint8_t> kSig = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

std::vector<uint8_t> Chunk(const std::string& type, const std::vector<uint8_t>& data,
                           bool badCrc = false)
{
    std::vector<uint8_t> out(4);
    PutU32BE(out.data(), static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, out.data() + 4, static_cast<uInt>(4 + data.size()));
    if (badCrc)
        crc ^= 1;
    uint8_t c[4];
    PutU32BE(c, static_cast<uint32_t>(crc));
    out.insert(out.end(), c, c + 4);
    return out;
}

std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t type,
                          uint8_t interlace = 0, uint8_t compression = 0)
{
    std::vector<uint8_t> d(13);
    PutU32BE(d.data(), w);
    PutU32BE(d.data() + 4, h);
    d[8] = depth;
    d[9] = type;
    d[10] = compression;
    d[12] = interlace;
    return Chunk("IHDR", d);
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6);
    out.resize(size);
    return out;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& z, size_t expected)
{
    std::vector<uint8_t> out(expected + 16);
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, z.data(), static_cast<uLong>(z.size())) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

std::vector<uint8_t> File(std::initializer_list<std::vector<uint8_t>> chunks)
{
    std::vector<uint8_t> out = kSig;
    for (const auto& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

std::string ErrorOf(const std::vector<uint8_t>& bytes, TPNGGraphic* into = nullptr)
{
    TPNGGraphic local;
    TPNGGraphic& g = into ? *into : local;
    TMemoryStream s(bytes);
    try {
        g.ReadStream(s);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

struct ChunkInfo {
    std::string type;
    std::vector<uint8_t> data;
};

std::vector<ChunkInfo> Chunks(const std::vector<uint8_t>& file)
{
    std::vector<ChunkInfo> out;
    size_t at = 8;
    while (at + 12 <= file.size()) {
        uint32_t len = GetU32BE(file.data() + at);
        ChunkInfo c;
        c.type.assign(file.begin() + static_cast<long>(at) + 4,
                      file.begin() + static_cast<long>(at) + 8);
        c.data.assign(file.begin() + static_cast<long>(at) + 8,
                      file.begin() + static_cast<long>(at + 8 + len));
        out.push_back(c);
        at += 12 + len;
    }
    return out;
}

std::vector<uint8_t> Write(TBitmap& source, int level)
{
    TPNGWriter w;
    w.AssignFrom(source);
    w.SetDeflateLevel(level);
    TMemoryStream s;
    w.WriteStream(s);
    return s.Bytes();
}

// A 16-bit-capable independent decoding: netpbm's PAM output (samples big-endian).
struct Pam {
    int width = 0, height = 0, depth = 0, maxval = 0;
    std::vector<uint16_t> samples;
};

std::optional<Pam> DecodeWithNetpbm(const std::string& path)
{
    RequireTool("pngtopam", "netpbm");
    auto r = RunCommand("pngtopam -alphapam " + ShellQuote(path) + " 2>/dev/null");
    if (r.exitCode != 0)
        return std::nullopt;
    Pam p;
    size_t end = r.out.find("ENDHDR\n");
    if (end == std::string::npos)
        return std::nullopt;
    std::string header = r.out.substr(0, end);
    auto field = [&](const std::string& name) {
        size_t at = header.find(name + " ");
        return at == std::string::npos ? 0 : std::atoi(header.c_str() + at + name.size() + 1);
    };
    p.width = field("WIDTH");
    p.height = field("HEIGHT");
    p.depth = field("DEPTH");
    p.maxval = field("MAXVAL");
    const uint8_t* d = reinterpret_cast<const uint8_t*>(r.out.data()) + end + 7;
    size_t n = static_cast<size_t>(p.width) * p.height * p.depth;
    bool wide = p.maxval > 255;
    if (r.out.size() - end - 7 < n * (wide ? 2 : 1))
        return std::nullopt;
    p.samples.resize(n);
    for (size_t i = 0; i < n; ++i)
        p.samples[i] = wide ? GetU16BE(d + 2 * i) : d[i];
    return p;
}

// The expected 8-bit value after our reduction and gamma correction.
uint8_t Expected(unsigned value, bool wide, double fileGamma)
{
    unsigned v = wide ? value * 255 / 65535 : value;
    if (fileGamma <= 0)
        return static_cast<uint8_t>(v);
    double e = 1.0 / (fileGamma * 2.2);
    return static_cast<uint8_t>(
        std::clamp(static_cast<int>(std::nearbyint(std::pow(v / 255.0, e) * 255)), 0, 255));
}

// The gAMA value of a file that has one before its image data, else 0.
double FileGammaBeforeIdat(const std::vector<uint8_t>& file)
{
    for (const ChunkInfo& c : Chunks(file)) {
        if (c.type == "IDAT")
            return 0;
        if (c.type == "gAMA" && c.data.size() >= 4)
            return GetU32BE(c.data.data()) / 100000.0;
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Writer

TEST(PngWriter, OnePixelFileStructure)
{
    TBitmap b;
    b.SetSize(1, 1);
    b.SetPixel(0, 0, RGBColor(10, 20, 30));
    std::vector<uint8_t> f = Write(b, 9);
    ASSERT_TRUE(std::equal(kSig.begin(), kSig.end(), f.begin()));
    auto chunks = Chunks(f);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0}));
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(Inflate(chunks[1].data, 4), (std::vector<uint8_t>{1, 10, 20, 30}));
    EXPECT_EQ(chunks[2].type, "IEND");
    EXPECT_TRUE(chunks[2].data.empty());
    // Every CRC is right: our reader verifies them.
    TPNGGraphic back;
    EXPECT_EQ(ErrorOf(f, &back), "");
    EXPECT_EQ(back.Pixel(0, 0), RGBColor(10, 20, 30));
}

TEST(PngWriter, LargeStoredOutputSplitsIntoFullChunks)
{
    TBitmap b;
    b.SetSize(300, 300);
    std::mt19937 rng(7);
    for (int y = 0; y < 300; ++y) {
        uint8_t* row = b.Row(y);
        for (size_t i = 0; i < b.RowSize(); ++i)
            row[i] = static_cast<uint8_t>(rng());
    }
    std::vector<uint8_t> f = Write(b, 0);
    auto chunks = Chunks(f);
    std::vector<uint8_t> stream;
    size_t idat = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].type != "IDAT")
            continue;
        ++idat;
        bool last = i + 1 < chunks.size() && chunks[i + 1].type != "IDAT";
        if (!last)
            EXPECT_EQ(chunks[i].data.size(), 65535u) << i;
        else
            EXPECT_LT(chunks[i].data.size(), 65535u);
        stream.insert(stream.end(), chunks[i].data.begin(), chunks[i].data.end());
    }
    EXPECT_GT(idat, 4u);
    std::vector<uint8_t> raw = Inflate(stream, 300 * 901);
    ASSERT_EQ(raw.size(), 300u * 901);
    for (int y = 0; y < 300; ++y)
        EXPECT_EQ(raw[static_cast<size_t>(y) * 901], 1) << "filter byte of row " << y;
    // Sub filter: the second pixel's red is stored as the difference to the first one's.
    const uint8_t* row0 = b.ConstRow(0);
    EXPECT_EQ(raw[1], row0[2]);
    EXPECT_EQ(raw[4], static_cast<uint8_t>(row0[6] - row0[2]));
}

TEST(PngWriter, OutputReadsBackInTheReferenceDecoder)
{
    TempDir dir;
    struct Variant {
        const char* name;
        TPixelFormat format;
        int level;
    } variants[] = {{"device-0", pfDevice, 0}, {"device-6", pfDevice, 6}, {"device-9", pfDevice, 9},
                    {"24-6", pf24bit, 6},      {"8-9", pf8bit, 9},        {"4-6", pf4bit, 6},
                    {"1-0", pf1bit, 0}};
    for (const Variant& v : variants) {
        TBitmap b;
        b.SetSize(41, 23);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 41; ++x)
                b.SetPixel(x, y,
                           RGBColor(static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 11),
                                    static_cast<uint8_t>((x * y) % 256)));
        if (v.format != pfDevice)
            b.SetPixelFormat(v.format);
        std::string path = dir.File(std::string(v.name) + ".png");
        WriteBytes(path, Write(b, v.level));
        auto ref = DecodeWithPillow(path);
        ASSERT_TRUE(ref) << v.name;
        ASSERT_EQ(ref->width, 41);
        ASSERT_EQ(ref->height, 23);
        int wrong = 0;
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 41; ++x) {
                const uint8_t* p = &ref->rgba[(static_cast<size_t>(y) * 41 + x) * 4];
                wrong += RGBColor(p[0], p[1], p[2]) != b.Pixel(x, y);
            }
        EXPECT_EQ(wrong, 0) << v.name;
    }
}

TEST(PngWriter, EncoderIsReusableAndRejectsOtherGraphics)
{
    TBitmap big, small;
    big.SetSize(50, 40);
    small.SetSize(3, 2);
    small.SetPixel(2, 1, RGBColor(1, 2, 3));
    TPNGWriter w;
    w.AssignFrom(big);
    w.AssignFrom(small);
    EXPECT_EQ(w.Width(), 3);
    EXPECT_EQ(w.Height(), 2);
    TMemoryStream s;
    w.WriteStream(s);
    TPNGGraphic back;
    EXPECT_EQ(ErrorOf(s.Bytes(), &back), "");
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.Pixel(2, 1), RGBColor(1, 2, 3));

    TIcon icon;
    EXPECT_THROW(w.AssignFrom(icon), EConvertError);
    w.SetMaxIdatSize(100);
    EXPECT_EQ(w.MaxIdatSize(), 65535u);
}

// ---------------------------------------------------------------------------------------
// Reader: chunk rules and failures

TEST(PngReader, ChunkRules)
{
    std::vector<uint8_t> idat = Chunk("IDAT", Deflate({0, 200}));
    std::vector<uint8_t> iend = Chunk("IEND", {});
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        std::string error;
    } cases[] = {
        {"plain", File({Ihdr(1, 1, 8, 0), idat, iend}), ""},
        {"unknown critical", File({Ihdr(1, 1, 8, 0), Chunk("ABCD", {1}), idat, iend}),
         "Cannot load PNG image. Unexpected but critical chunk detected."},
        {"unknown ancillary, bad CRC",
         File({Ihdr(1, 1, 8, 0), Chunk("abCD", {1}, true), idat, iend}), ""},
        {"tEXt with bad CRC",
         File({Ihdr(1, 1, 8, 0), Chunk("tEXt", {'a', 0, 'b'}, true), idat, iend}), ""},
        {"PLTE with bad CRC", File({Ihdr(1, 1, 8, 3), Chunk("PLTE", {1, 2, 3}, true), idat, iend}),
         "Cannot load image. CRC error found in PNG file."},
        {"PLTE not triples", File({Ihdr(1, 1, 8, 3), Chunk("PLTE", {1, 2, 3, 4}), idat, iend}),
         "Cannot load image. Palette in PNG file is invalid."},
        {"IDAT with bad CRC",
         File({Ihdr(1, 1, 8, 0), Chunk("IDAT", Deflate({0, 200}), true), iend}),
         "Cannot load image. CRC error found in PNG file."},
        {"bad signature",
         [&] {
             auto f = File({Ihdr(1, 1, 8, 0), idat, iend});
             f[1] = 'Q';
             return f;
         }(),
         "Cannot load image. Invalid or unexpected PNG image format."},
        {"zero width", File({Ihdr(0, 1, 8, 0), idat, iend}),
         "Cannot load image. Invalid or unexpected PNG image format."},
        {"first chunk not IHDR", File({Chunk("gAMA", {0, 0, 0, 1}), Ihdr(1, 1, 8, 0), idat, iend}),
         "Cannot load image. Invalid or unexpected PNG image format."},
        {"compression method 1", File({Ihdr(1, 1, 8, 0, 0, 1), idat, iend}),
         "Cannot load image. The compression scheme is not supported for PNG files."},
        {"RGB at 4 bits", File({Ihdr(1, 1, 4, 2), idat, iend}),
         "Invalid color format in PNG file."},
        {"colour type 5", File({Ihdr(1, 1, 8, 5), idat, iend}),
         "Invalid color format in PNG file."},
        {"broken zlib",
         File({Ihdr(1, 1, 8, 0), Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF}), iend}),
         "Cannot load image. Compression error found in PNG file."},
        {"data after the zlib end",
         File({Ihdr(2, 2, 8, 0),
               Chunk("IDAT",
                     [] {
                         auto z = Deflate({0, 1, 2});
                         z.push_back(9);
                         return z;
                     }()),
               iend}),
         "Cannot load image. Extra compressed data found in PNG file."},
        {"no image data", File({Ihdr(1, 1, 8, 0), iend}),
         "Cannot load image. Invalid or unexpected PNG image format."},
        {"ends inside a chunk",
         [&] {
             auto f = File({Ihdr(1, 1, 8, 0), idat, iend});
             f.resize(f.size() - 14);
             return f;
         }(),
         "Stream read error"},
        {"no IEND", File({Ihdr(1, 1, 8, 0), idat}), "Stream read error"},
        {"chunk length past the end",
         File({Ihdr(1, 1, 8, 0),
               [] {
                   std::vector<uint8_t> c = {0x7F, 0xFF, 0xFF, 0xF0, 't', 'E', 'X', 't'};
                   return c;
               }()}),
         "Stream read error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf(c.file), c.error) << c.name;
}

TEST(PngReader, ColourTypesAndAncillaryChunks)
{
    std::vector<uint8_t> iend = Chunk("IEND", {});
    // 16-bit RGB gives a 24-bit bitmap with the reduced samples.
    {
        std::vector<uint8_t> raw = {0, 0x12, 0x34, 0xFF, 0xFF, 0x00, 0x00};
        TPNGGraphic g;
        ASSERT_EQ(ErrorOf(File({Ihdr(1, 1, 16, 2), Chunk("IDAT", Deflate(raw)), iend}), &g), "");
        EXPECT_EQ(g.PixelFormat(), pf24bit);
        EXPECT_EQ(g.Pixel(0, 0), RGBColor(18, 255, 0));
    }
    // gAMA 45455 leaves samples unchanged; gAMA 100000 brightens them.
    {
        std::vector<uint8_t> raw = {0, 100, 150, 200};
        TPNGGraphic same, bright;
        ASSERT_EQ(ErrorOf(File({Ihdr(1, 1, 8, 2), Chunk("gAMA", {0, 0, 0xB1, 0x8F}),
                                Chunk("IDAT", Deflate(raw)), iend}),
                          &same),
                  "");
        EXPECT_EQ(same.Pixel(0, 0), RGBColor(100, 150, 200));
        ASSERT_EQ(ErrorOf(File({Ihdr(1, 1, 8, 2), Chunk("gAMA", {0, 1, 0x86, 0xA0}),
                                Chunk("IDAT", Deflate(raw)), iend}),
                          &bright),
                  "");
        EXPECT_EQ(GetRValue(bright.Pixel(0, 0)), Expected(100, false, 1.0));
    }
    // Palette without PLTE: indices kept, no colours.
    {
        TPNGGraphic g;
        ASSERT_EQ(ErrorOf(File({Ihdr(2, 1, 8, 3), Chunk("IDAT", Deflate({0, 1, 2})), iend}), &g),
                  "");
        EXPECT_EQ(g.PixelFormat(), pf8bit);
        EXPECT_EQ(g.ConstRow(0)[1], 2);
        EXPECT_EQ(g.Pixel(1, 0), clBlack);
    }
    // 2-bit palette widened to 4-bit pixels with the file's indices; tRNS and bKGD kept.
    {
        TPNGGraphic g;
        std::vector<uint8_t> plte = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
        ASSERT_EQ(ErrorOf(File({Ihdr(4, 1, 2, 3), Chunk("PLTE", plte), Chunk("tRNS", {255, 0}),
                                Chunk("bKGD", {2}), Chunk("IDAT", Deflate({0, 0x1B})), iend}),
                          &g),
                  "");
        EXPECT_EQ(g.PixelFormat(), pf4bit);
        EXPECT_EQ(g.Pixel(1, 0), RGBColor(255, 0, 0));
        EXPECT_EQ(g.Pixel(3, 0), RGBColor(0, 0, 255));
        EXPECT_EQ(g.PaletteAlpha(), (std::vector<uint8_t>{255, 0}));
        EXPECT_EQ(g.BackgroundColor(), RGBColor(0, 255, 0));
    }
    // Grey with tRNS: transparent colour set; grey + alpha at 16 bits drops alpha.
    {
        TPNGGraphic g;
        ASSERT_EQ(ErrorOf(File({Ihdr(1, 1, 8, 0), Chunk("tRNS", {0, 7}),
                                Chunk("IDAT", Deflate({0, 7})), iend}),
                          &g),
                  "");
        EXPECT_TRUE(g.Transparent());
        EXPECT_EQ(g.TransparentColor(), RGBColor(7, 7, 7));
        TPNGGraphic ga;
        ASSERT_EQ(ErrorOf(File({Ihdr(1, 1, 16, 4),
                                Chunk("IDAT", Deflate({0, 0x80, 0x00, 0x00, 0x00})), iend}),
                          &ga),
                  "");
        EXPECT_EQ(ga.PixelFormat(), pf8bit);
        EXPECT_EQ(ga.Pixel(0, 0), RGBColor(127, 127, 127));
    }
    // RGBA keeps alpha in the fourth byte.
    {
        TPNGGraphic g;
        ASSERT_EQ(
            ErrorOf(File({Ihdr(1, 1, 8, 6), Chunk("IDAT", Deflate({0, 1, 2, 3, 0})), iend}), &g),
            "");
        EXPECT_EQ(g.PixelFormat(), pf32bit);
        EXPECT_EQ(g.ConstRow(0)[3], 0);
        EXPECT_EQ(g.Pixel(0, 0), RGBColor(1, 2, 3));
    }
}

TEST(PngReader, ShortImageDataKeepsDecodedRows)
{
    // 2 x 3 grey, data for one row only; the rest shows the background (bKGD grey 50).
    std::vector<uint8_t> f = File({Ihdr(2, 3, 8, 0), Chunk("bKGD", {0, 50}),
                                   Chunk("IDAT", Deflate({0, 9, 8})), Chunk("IEND", {})});
    TPNGGraphic g;
    ASSERT_EQ(ErrorOf(f, &g), "");
    EXPECT_EQ(g.Pixel(1, 0), RGBColor(8, 8, 8));
    EXPECT_EQ(g.Pixel(0, 2), RGBColor(50, 50, 50));
}

TEST(PngReader, ImageDataSplitOverManyChunks)
{
    // 64 x 8 grey rows of long repeats (long back-references in the zlib stream), the
    // stream cut into IDAT chunks of 1 byte and, separately, of 7 bytes.
    std::vector<uint8_t> raw;
    for (int y = 0; y < 8; ++y) {
        raw.push_back(0);
        for (int x = 0; x < 64; ++x)
            raw.push_back(static_cast<uint8_t>(x % 5 == 0 ? y * 30 : 200));
    }
    std::vector<uint8_t> z = Deflate(raw);
    for (size_t piece : {size_t{1}, size_t{7}}) {
        std::vector<uint8_t> f = kSig;
        auto add = [&](const std::vector<uint8_t>& c) { f.insert(f.end(), c.begin(), c.end()); };
        add(Ihdr(64, 8, 8, 0));
        for (size_t at = 0; at < z.size(); at += piece)
            add(Chunk("IDAT", std::vector<uint8_t>(
                                  z.begin() + static_cast<long>(at),
                                  z.begin() + static_cast<long>(std::min(z.size(), at + piece)))));
        add(Chunk("IEND", {}));
        TPNGGraphic g;
        ASSERT_EQ(ErrorOf(f, &g), "") << piece;
        int wrong = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 64; ++x) {
                uint8_t v = raw[static_cast<size_t>(y) * 65 + 1 + x];
                wrong += g.Pixel(x, y) != RGBColor(v, v, v);
            }
        EXPECT_EQ(wrong, 0) << piece;
    }
}

TEST(PngReader, InterlacedFilesMatchTheirTwins)
{
    // A 13 x 9 RGB picture, written plainly and with Adam7, every row of the interlaced
    // copy with a different filter (Up, Average and Paeth included on first pass rows).
    const int w = 13, h = 9;
    auto pixel = [](int x, int y, int c) {
        return static_cast<uint8_t>((x * 37 + y * 91 + c * 53) % 256);
    };
    std::vector<uint8_t> plain;
    for (int y = 0; y < h; ++y) {
        plain.push_back(0);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                plain.push_back(pixel(x, y, c));
    }
    static const int sr[7] = {0, 0, 4, 0, 2, 0, 1}, rs[7] = {8, 8, 8, 4, 4, 2, 2};
    static const int sc[7] = {0, 4, 0, 2, 0, 1, 0}, cs[7] = {8, 8, 4, 4, 2, 2, 1};
    std::vector<uint8_t> laced;
    int filterType = 2;
    for (int p = 0; p < 7; ++p) {
        if (sc[p] >= w)
            continue;
        std::vector<uint8_t> prev;
        for (int y = sr[p]; y < h; y += rs[p]) {
            std::vector<uint8_t> row;
            for (int x = sc[p]; x < w; x += cs[p])
                for (int c = 0; c < 3; ++c)
                    row.push_back(pixel(x, y, c));
            if (prev.empty())
                prev.assign(row.size(), 0);
            std::vector<uint8_t> out(row.size());
            for (size_t i = 0; i < row.size(); ++i) {
                int a = i >= 3 ? row[i - 3] : 0, b = prev[i], cc = i >= 3 ? prev[i - 3] : 0;
                int pred = 0;
                switch (filterType) {
                case 1:
                    pred = a;
                    break;
                case 2:
                    pred = b;
                    break;
                case 3:
                    pred = (a + b) / 2;
                    break;
                case 4: {
                    int pp = a + b - cc, pa = std::abs(pp - a), pb = std::abs(pp - b),
                        pc = std::abs(pp - cc);
                    pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : cc);
                    break;
                }
                default:
                    break;
                }
                out[i] = static_cast<uint8_t>(row[i] - pred);
            }
            laced.push_back(static_cast<uint8_t>(filterType));
            laced.insert(laced.end(), out.begin(), out.end());
            prev = row;
            filterType = filterType % 4 + 1;
        }
    }
    TPNGGraphic a, b;
    ASSERT_EQ(
        ErrorOf(File({Ihdr(w, h, 8, 2), Chunk("IDAT", Deflate(plain)), Chunk("IEND", {})}), &a),
        "");
    ASSERT_EQ(
        ErrorOf(File({Ihdr(w, h, 8, 2, 1), Chunk("IDAT", Deflate(laced)), Chunk("IEND", {})}), &b),
        "");
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            wrong += a.Pixel(x, y) != b.Pixel(x, y) ||
                     a.Pixel(x, y) != RGBColor(pixel(x, y, 0), pixel(x, y, 1), pixel(x, y, 2));
    EXPECT_EQ(wrong, 0);
}

TEST(PngReader, IconEntriesDecodeThroughThePngReader)
{
    // A 2 x 1 RGBA entry inside an icon directory.
    std::vector<uint8_t> png =
        File({Ihdr(2, 1, 8, 6), Chunk("IDAT", Deflate({0, 255, 0, 0, 255, 0, 0, 255, 0})),
              Chunk("IEND", {})});
    std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 2, 1, 0, 0, 1, 0, 32, 0};
    uint8_t size[4], offset[4];
    PutU32LE(size, static_cast<uint32_t>(png.size()));
    PutU32LE(offset, 22);
    ico.insert(ico.end(), size, size + 4);
    ico.insert(ico.end(), offset, offset + 4);
    ico.insert(ico.end(), png.begin(), png.end());
    TIcon icon;
    TMemoryStream s(ico);
    icon.ReadStream(s);
    const TBitmap& image = icon.ColorImage();
    ASSERT_EQ(image.Width(), 2);
    EXPECT_EQ(image.Pixel(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(image.ConstRow(0)[3], 255);
    EXPECT_EQ(image.ConstRow(0)[7], 0);
    EXPECT_EQ(icon.Mask(), (std::vector<uint8_t>{0, 1}));
}

TEST(PngReader, RegistryOpensPngAndTgaWithTheReaders)
{
    struct Case {
        const char* extension;
        const char* className;
    } cases[] = {{"png", "TPNGGraphic"},   {"PNG", "TPNGGraphic"},   {"tga", "TTargaGraphic"},
                 {"vst", "TTargaGraphic"}, {"icb", "TTargaGraphic"}, {"vda", "TTargaGraphic"},
                 {"win", "TTargaGraphic"}};
    for (const Case& c : cases) {
        const TGraphicClass* cls = FindExtension(c.extension);
        ASSERT_NE(cls, nullptr) << c.extension;
        EXPECT_EQ(cls->name, c.className) << c.extension;
    }
    // The writer's own entry comes first and stays shadowed.
    bool writerListed = false;
    for (const TFileFormat& f : FileFormats().Entries())
        writerListed |= f.extension == "png" && f.graphicClass.name == "TPNGWriter";
    EXPECT_TRUE(writerListed);
}

// ---------------------------------------------------------------------------------------
// The corpus, file by file.

namespace {

std::vector<std::string> PngFiles(const std::string& folder)
{
    return CorpusFiles("png/" + folder, {"png"});
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string n = info.param;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

} // namespace

class PngSuite : public ::testing::TestWithParam<std::string> {};

TEST_P(PngSuite, DecodesLikeTheReference)
{
    const std::string name = GetParam();
    const std::string path = CorpusDir() + "/png/pngsuite/" + name;
    std::vector<uint8_t> bytes = ReadBytes(path);
    TPNGGraphic g;
    std::string error = ErrorOf(bytes, &g);

    if (name[0] == 'x') {
        // Broken by design: each fails with its own text.
        static const std::map<std::string, std::string> expected = {
            {"xc1n0g08.png", "Invalid color format in PNG file."},
            {"xc9n2c08.png", "Invalid color format in PNG file."},
            {"xd0n2c08.png", "Invalid color format in PNG file."},
            {"xd3n2c08.png", "Invalid color format in PNG file."},
            {"xd9n2c08.png", "Invalid color format in PNG file."},
            {"xcsn0g01.png", "Cannot load image. CRC error found in PNG file."},
            {"xhdn0g08.png", "Cannot load image. Invalid or unexpected PNG image format."},
            {"xdtn0g01.png", "Cannot load image. Invalid or unexpected PNG image format."},
        };
        auto it = expected.find(name);
        EXPECT_EQ(error, it != expected.end()
                             ? it->second
                             : "Cannot load image. Invalid or unexpected PNG image format.");
        return;
    }
    ASSERT_EQ(error, "");
    const int depth = bytes[24], type = bytes[25];
    const double gamma = FileGammaBeforeIdat(bytes);
    std::vector<uint8_t> expected; // RGBA, 8 bits
    int w = 0, h = 0;
    if (depth == 16) {
        auto pam = DecodeWithNetpbm(path);
        ASSERT_TRUE(pam);
        w = pam->width;
        h = pam->height;
        bool grey = pam->depth <= 2, alpha = pam->depth == 2 || pam->depth == 4;
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
            const uint16_t* s = &pam->samples[i * static_cast<size_t>(pam->depth)];
            uint8_t r = Expected(s[0], true, gamma), gg = Expected(grey ? s[0] : s[1], true, gamma),
                    b = Expected(grey ? s[0] : s[2], true, gamma);
            uint8_t a = alpha ? static_cast<uint8_t>(s[pam->depth - 1] * 255u / 65535u) : 255;
            expected.insert(expected.end(), {r, gg, b, a});
        }
    } else {
        auto ref = DecodeWithPillow(path);
        ASSERT_TRUE(ref);
        w = ref->width;
        h = ref->height;
        for (size_t i = 0; i < ref->rgba.size(); i += 4)
            expected.insert(expected.end(),
                            {Expected(ref->rgba[i], false, gamma),
                             Expected(ref->rgba[i + 1], false, gamma),
                             Expected(ref->rgba[i + 2], false, gamma), ref->rgba[i + 3]});
    }
    ASSERT_EQ(g.Width(), w);
    ASSERT_EQ(g.Height(), h);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* e = &expected[(static_cast<size_t>(y) * w + x) * 4];
            bool same = g.Pixel(x, y) == RGBColor(e[0], e[1], e[2]);
            if (type == 6)
                same = same && g.ConstRow(y)[4 * x + 3] == e[3];
            if (!same && wrong++ == 0)
                ADD_FAILURE() << "first difference at " << x << "," << y;
        }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, PngSuite, ::testing::ValuesIn(PngFiles("pngsuite")), CaseName);

// Hostile files: an error text or a picture, never a crash, hang or huge allocation.
class PngHostile : public ::testing::TestWithParam<std::string> {};

TEST_P(PngHostile, FailsCleanly)
{
    std::vector<uint8_t> bytes = ReadBytes(CorpusDir() + "/png/" + GetParam());
    std::string error = ErrorOf(bytes);
    static const std::map<std::string, std::string> expected = {
        {"libpng-crashers/badadler.png", "Cannot load image. Compression error found in PNG file."},
        {"libpng-crashers/badcrc.png", "Cannot load image. CRC error found in PNG file."},
        {"libpng-crashers/empty_ancillary_chunks.png", ""},
        {"pillow-bad/png_decompression_dos.png", ""}, // its zTXt chunks are skipped, never inflated
    };
    auto it = expected.find(GetParam());
    if (it != expected.end()) {
        EXPECT_EQ(error, it->second);
    } else if (GetParam().find("huge_") != std::string::npos) {
        EXPECT_EQ(error, "Stream read error"); // a chunk length beyond the file's end
    } else {
        EXPECT_NE(error, "") << "accepted";
    }
    for (const auto& m : MutatedCopies(bytes, 20, 11))
        ErrorOf(m);
}

static std::vector<std::string> HostileFiles()
{
    std::vector<std::string> out;
    for (const char* folder : {"libpng-crashers", "gdk-pixbuf-fail", "pillow-bad"})
        for (const auto& f : PngFiles(folder))
            out.push_back(std::string(folder) + "/" + f);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Files, PngHostile, ::testing::ValuesIn(HostileFiles()), CaseName);
