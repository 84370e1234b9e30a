#include "codecs/formats/Jpeg.h"

#include "TestSupport.h"
#include "codecs/Picture.h"
#include "codecs/surface/Canvas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

TBitmap Gradient(int w, int h)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 255 / std::max(w - 1, 1)),
                                static_cast<uint8_t>(y * 255 / std::max(h - 1, 1)), 90));
    return b;
}

std::vector<uint8_t> Encode(const TBitmap& b, int quality, bool progressive)
{
    TJPEGImage j;
    j.AssignFrom(b);
    j.Quality = quality;
    j.ProgressiveScans = progressive;
    j.Encode();
    TMemoryStream out;
    j.WriteStream(out);
    return out.Bytes();
}

// Pillow's view of a JPEG file: "progressive" flag and the largest and smallest
// quantisation value over all tables.
struct PillowJpegInfo {
    bool progressive = false;
    int qmin = 0, qmax = 0;
};

std::optional<PillowJpegInfo> PillowInfo(const std::string& path)
{
    CommandResult r = RunCommand(
        "/usr/bin/python3 -c \"import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\n"
        "q=[v for t in im.quantization.values() for v in t]\n"
        "print(1 if im.info.get('progressive') else 0, min(q), max(q))\" " +
        ShellQuote(path));
    if (r.exitCode != 0)
        return std::nullopt;
    PillowJpegInfo info;
    int p = 0;
    if (std::sscanf(r.out.c_str(), "%d %d %d", &p, &info.qmin, &info.qmax) != 3)
        return std::nullopt;
    info.progressive = p != 0;
    return info;
}

double MeanDifference(const TBitmap& ours, const ReferenceImage& ref)
{
    double sum = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            TColor c = ours.Pixel(x, y);
            const uint8_t* p = &ref.rgba[(static_cast<size_t>(y) * ref.width + x) * 4];
            sum += std::abs(GetRValue(c) - p[0]) + std::abs(GetGValue(c) - p[1]) +
                   std::abs(GetBValue(c) - p[2]);
        }
    return sum / (3.0 * ref.width * ref.height);
}

TEST(JpegTest, ProgressiveAndBaselineOutputAsPillowSeesIt)
{
    TempDir dir;
    TBitmap b = Gradient(61, 37);
    for (bool progressive : {true, false}) {
        std::string path = dir.File(progressive ? "p.jpg" : "b.jpg");
        WriteBytes(path, Encode(b, 80, progressive));
        auto info = PillowInfo(path);
        ASSERT_TRUE(info) << path;
        EXPECT_EQ(info->progressive, progressive);
        auto ref = DecodeWithPillow(path);
        ASSERT_TRUE(ref);
        ASSERT_EQ(ref->width, 61);
        ASSERT_EQ(ref->height, 37);
        EXPECT_LT(MeanDifference(b, *ref), 3.0); // red and green run the right way round
    }
}

TEST(JpegTest, QualityExtremesKeepQuantisationWithinOneByte)
{
    TempDir dir;
    TBitmap b = Gradient(16, 16);
    struct Case {
        int quality, qmin, qmax;
    } cases[] = {{1, 255, 255}, {100, 1, 1}};
    for (const auto& c : cases) {
        std::string path = dir.File("q" + std::to_string(c.quality) + ".jpg");
        WriteBytes(path, Encode(b, c.quality, false));
        auto info = PillowInfo(path);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->qmin, c.qmin) << c.quality;
        EXPECT_EQ(info->qmax, c.qmax) << c.quality;
    }
    EXPECT_GT(Encode(b, 100, false).size(), Encode(b, 1, false).size());
}

TEST(JpegTest, RoundTripsKeepSizeAndBytes)
{
    for (auto [w, h] : {std::pair{40, 1}, std::pair{1, 33}, std::pair{17, 9}}) {
        TBitmap b = Gradient(w, h);
        TJPEGImage j;
        j.AssignFrom(b);
        TMemoryStream first, second;
        j.WriteStream(first);
        j.WriteStream(second);
        EXPECT_EQ(first.Bytes(), second.Bytes()); // the data stays until the next AssignFrom

        TJPEGImage back;
        first.Seek(0);
        back.ReadStream(first);
        EXPECT_EQ(back.Width(), w);
        EXPECT_EQ(back.Height(), h);
        EXPECT_EQ(back.Bitmap(), nullptr); // not decoded until needed
        back.DIBNeeded();
        ASSERT_NE(back.Bitmap(), nullptr);
        EXPECT_EQ(back.Bitmap()->PixelFormat(), pf24bit);
        EXPECT_EQ(back.Bitmap()->Width(), w);
    }
}

TEST(JpegTest, EncodingFromPixelsKeepsNoCopyAndWritesTheSameBytes)
{
    TBitmap colour = Gradient(37, 21), indexed = Gradient(37, 21);
    indexed.SetPixelFormat(pf8bit);
    for (const TBitmap* b : {&colour, &indexed}) {
        TJPEGImage j;
        j.Quality = 75;
        j.EncodeFrom(*b);
        EXPECT_EQ(j.Bitmap(), nullptr);
        EXPECT_EQ(j.Width(), 37);
        TMemoryStream out;
        j.WriteStream(out);
        EXPECT_EQ(out.Bytes(), Encode(*b, 75, false));
    }
}

TEST(JpegTest, EmptyPictures)
{
    TJPEGImage j;
    EXPECT_TRUE(j.IsEmpty());
    j.AssignFrom(TBitmap());
    TMemoryStream out;
    j.WriteStream(out);
    EXPECT_EQ(out.Size(), 0u);

    TMemoryStream nothing;
    TJPEGImage read;
    read.ReadStream(nothing);
    EXPECT_EQ(read.Width(), 0);
    EXPECT_TRUE(read.IsEmpty());
    TBitmap target;
    target.SetSize(4, 4);
    target.Canvas().DrawScaled(TRect{0, 0, 4, 4}, &read);
    EXPECT_EQ(target.Pixel(2, 2), clWhite);
}

TEST(JpegTest, SizeCannotBeChanged)
{
    TJPEGImage j;
    try {
        j.SetWidth(5);
        FAIL();
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Cannot change the size of a JPEG image");
    }
    EXPECT_THROW(j.SetHeight(5), EInvalidGraphicOperation);
}

TEST(JpegTest, CorruptAndTruncatedData)
{
    const std::regex message("JPEG error #[0-9]+");
    for (std::vector<uint8_t> bad : {std::vector<uint8_t>{0xFF, 0xD8, 'j', 'u', 'n', 'k'},
                                     std::vector<uint8_t>{'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'},
                                     std::vector<uint8_t>{0xFF}}) {
        TMemoryStream in(bad);
        TJPEGImage j;
        try {
            j.ReadStream(in);
            j.DIBNeeded();
            FAIL() << "accepted corrupt data";
        } catch (const EJPEG& e) {
            EXPECT_TRUE(std::regex_match(e.what(), message)) << e.what();
        }
    }

    // Cut inside the scan data (the tables take the first ~600 bytes).
    TBitmap b = Gradient(256, 256);
    std::vector<uint8_t> bytes = Encode(b, 90, false);
    ASSERT_GT(bytes.size(), 4000u);
    bytes.resize(bytes.size() / 2);
    TMemoryStream in(bytes);
    TJPEGImage j;
    j.ReadStream(in);
    ASSERT_NO_THROW(j.DIBNeeded());
    EXPECT_EQ(j.Bitmap()->Height(), 256);
    EXPECT_NEAR(GetRValue(j.Bitmap()->Pixel(10, 2)), GetRValue(b.Pixel(10, 2)),
                12); // the top rows arrived
}

TEST(JpegTest, GreyscaleDecodesToAtMost236GreyLevels)
{
    TBitmap b = Gradient(300, 3);
    TJPEGImage grey;
    grey.AssignFrom(b);
    grey.Grayscale = true;
    grey.Encode();
    TMemoryStream data;
    grey.WriteStream(data);
    data.Seek(0);
    TJPEGImage read;
    read.ReadStream(data);
    read.DIBNeeded();
    const TBitmap& bits = *read.Bitmap();
    EXPECT_EQ(bits.PixelFormat(), pf8bit);
    EXPECT_LE(bits.ColorTable().size(), 236u);
    for (const auto& q : bits.ColorTable())
        EXPECT_TRUE(q.red == q.green && q.green == q.blue);
    // Painted onto a true-colour surface it is grey.
    TBitmap surface;
    surface.SetSize(300, 3);
    surface.Canvas().DrawScaled(TRect{0, 0, 300, 3}, &read);
    std::set<TColor> levels;
    for (int x = 0; x < 300; ++x) {
        TColor c = surface.Pixel(x, 1);
        EXPECT_EQ(GetRValue(c), GetGValue(c));
        EXPECT_EQ(GetGValue(c), GetBValue(c));
        levels.insert(c);
    }
    EXPECT_GT(levels.size(), 60u); // the red ramp alone spans about 76 grey levels
}

TEST(JpegTest, AssigningSharesOrDropsTheCompressedData)
{
    TBitmap b = Gradient(8, 8);
    TJPEGImage a;
    a.AssignFrom(b);
    a.Encode();
    TJPEGImage shared;
    shared.AssignFrom(a);
    EXPECT_EQ(shared.CompressedBytes().data(), a.CompressedBytes().data());
    shared.AssignFrom(b);
    EXPECT_TRUE(shared.CompressedBytes().empty());

    TBitmap target;
    target.AssignFrom(a);
    EXPECT_EQ(target.Width(), 8);
}

// Every corpus file decodes or fails with the library's error text; decoding matches an
// independent decoder built on the same library family.
TEST(JpegTest, CorpusFiles)
{
    TABULONIX_NEED(!CorpusDir().empty(), "the test corpus");
    const std::regex message("JPEG error #[0-9]+");
    int decoded = 0;
    for (const char* folder : {"jpeg/pillow", "jpeg/libjpeg-turbo", "jpeg/gdk-pixbuf-fail"}) {
        for (const auto& name : CorpusFiles(folder, {"jpg"})) {
            std::string path = CorpusDir() + "/" + folder + "/" + name;
            TPicture picture;
            try {
                picture.OpenFile(path);
                auto* j = dynamic_cast<TJPEGImage*>(picture.Graphic());
                ASSERT_NE(j, nullptr);
                j->DIBNeeded();
            } catch (const EJPEG& e) {
                EXPECT_TRUE(std::regex_match(e.what(), message)) << name << ": " << e.what();
                continue;
            }
            ++decoded;
            auto* j = static_cast<TJPEGImage*>(picture.Graphic());
            if (name == "testorig.jpg" || name == "hopper.jpg" || name == "flower.jpg") {
                auto ref = DecodeWithPillow(path);
                ASSERT_TRUE(ref);
                ASSERT_EQ(ref->width, j->Width());
                EXPECT_LT(MeanDifference(*j->Bitmap(), *ref), 0.5) << name;
            }
            if (name == "pil_sample_cmyk.jpg") {
                auto ref = DecodeWithPillow(CorpusDir() + "/jpeg/pillow/pil_sample_rgb.jpg");
                ASSERT_TRUE(ref);
                EXPECT_LT(MeanDifference(*j->Bitmap(), *ref), 12.0) << "CMYK converted to RGB";
            }
        }
    }
    EXPECT_GE(decoded, 15);
}

} // namespace
