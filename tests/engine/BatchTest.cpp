#include "engine/Batch.h"

#include "FakeHost.h"
#include "TestSupport.h"
#include "codecs/core/Stream.h"
#include "codecs/formats/Jpeg.h"
#include "codecs/surface/Bitmap.h"
#include "engine/Gallery.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tabulonix;
using tabulonix::test::FakeHost;
using tabulonix::test::ReadText;
using tabulonix::test::TempDir;
using tabulonix::test::WriteText;

namespace {

// A picture whose every pixel is distinct, saved as a BMP file.
void MakeBmp(const std::string& path, int w, int h)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 5), 0x40));
    b.WriteFile(path);
}

TBitmap ReadBmp(const std::string& path)
{
    TBitmap b;
    b.ReadFile(path);
    return b;
}

size_t Count(const std::vector<std::string>& events, const std::string& what)
{
    return static_cast<size_t>(std::count(events.begin(), events.end(), what));
}

struct BatchFixture : ::testing::Test {
    TempDir dir;
    JobSettings s;
    FakeHost host;

    void SetUp() override
    {
        s.SDir = dir.Path() + "src/";
        s.DDir = dir.Path() + "out/deeper/";
        s.HTMLFile = s.DDir + "QVHTML.htm";
        s.NameFormat = "<same>tn"; // as the wizard sets it for thumbnails
        ASSERT_TRUE(ForceDirectories(s.SDir));
    }
    std::vector<std::string> Outputs() const
    {
        std::vector<std::string> names;
        for (const auto& e : FindFiles(s.DDir, "*"))
            names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(BatchFixture, EventsAndMessagesOfARunWithAFailure)
{
    MakeBmp(s.SDir + "a.bmp", 30, 20);
    WriteText(s.SDir + "b.bmp", "not a bitmap");
    MakeBmp(s.SDir + "c.bmp", 30, 20);
    s.NameFormat = "pic<inc>";
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"c.bmp", "b.bmp", "a.bmp"}), host);
    EXPECT_EQ(r.processed, 2);
    EXPECT_EQ(r.total, 3);
    EXPECT_FALSE(r.aborted);

    std::vector<std::string> expected = {"disable",
                                         "begin 3",
                                         "file a.bmp",
                                         "messages",
                                         "step",
                                         "percent 33%",
                                         "abort?",
                                         "file b.bmp",
                                         "error Error opening file " + s.SDir + "b.bmp!",
                                         "step",
                                         "percent 67%",
                                         "messages",
                                         "file c.bmp",
                                         "messages",
                                         "step",
                                         "percent 100%",
                                         "abort?",
                                         "end",
                                         "enable",
                                         "info Complete! 2 of 3 images processed!"};
    EXPECT_EQ(host.events, expected);
    // Numbers follow the positions in the selection, not the count written.
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"QVHTML.htm", "pic1.bmp", "pic3.bmp"}));
    std::string html = ReadText(s.HTMLFile);
    // Smaller than the request and not enlarged: the source size.
    EXPECT_NE(html.find("<IMG SRC=\"pic1.bmp\" HEIGHT=\"20\" WIDTH=\"30\""), std::string::npos);
    EXPECT_NE(html.find("HREF=\"file://" + s.SDir + "c.bmp\""), std::string::npos);
}

TEST_F(BatchFixture, FirstOfEightFailingShowsTwelvePercent)
{
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back("f" + std::to_string(i) + ".bmp");
        if (i > 0)
            MakeBmp(s.SDir + names.back(), 4, 4);
    }
    std::vector<std::string> afterError;
    host.onProcessMessages = [&](FakeHost& h) {
        if (h.position == 1 && afterError.empty())
            afterError = h.events;
    };
    DoTheHonkyPonky(s, MakeSelectedFiles(names), host);
    ASSERT_GE(afterError.size(), 2u);
    EXPECT_EQ(afterError[afterError.size() - 2], "percent 12%");
    EXPECT_EQ(host.infos.back(), "Complete! 7 of 8 images processed!");
}

TEST_F(BatchFixture, AllFailingWritesNothing)
{
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"x.bmp", "y.xyz", "z"}), host);
    EXPECT_EQ(r.processed, 0);
    EXPECT_EQ(host.errors.size(), 3u);
    EXPECT_EQ(host.infos, (std::vector<std::string>{"Complete! 0 of 3 images processed!"}));
    EXPECT_FALSE(FileExists(s.HTMLFile));
}

TEST_F(BatchFixture, AbortDuringTheThirdOfTenFiles)
{
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) {
        names.push_back("p" + std::to_string(i) + ".bmp");
        MakeBmp(s.SDir + names.back(), 8, 8);
    }
    int seen = 0;
    host.onProcessMessages = [&](FakeHost& h) {
        if (++seen == 3)
            h.abort = true; // the click arrives while the third file is done
    };
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles(names), host);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.processed, 3);
    EXPECT_EQ(Count(host.events, "abort?"), 3u);
    EXPECT_TRUE(host.infos.empty());
    EXPECT_EQ(host.events.back(), "enable");
    EXPECT_EQ(Outputs(),
              (std::vector<std::string>{"QVHTML.htm", "p0tn.bmp", "p1tn.bmp", "p2tn.bmp"}));
    std::string html = ReadText(s.HTMLFile);
    EXPECT_NE(html.find("p2tn.bmp"), std::string::npos);
    EXPECT_TRUE(HasGalleryMarkers(s.HTMLFile));
    EXPECT_EQ(html.substr(html.size() - 9), "</HTML>\r\n");
}

TEST_F(BatchFixture, ThumbnailIsScaledAndFramedInside)
{
    MakeBmp(s.SDir + "pic.bmp", 40, 20);
    s.Korkeus = 10;
    s.DrawFrame = true;
    s.Color = clRed;
    s.Size = 1;
    s.CreateHTML = 2;
    DoTheHonkyPonky(s, MakeSelectedFiles({"pic.bmp"}), host);
    TBitmap out = ReadBmp(s.DDir + "pictn.bmp");
    ASSERT_EQ(out.Width(), 20);
    ASSERT_EQ(out.Height(), 10);
    EXPECT_EQ(out.BitsPerPixel(), 32);
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(out.Pixel(x, 0), clRed);
        EXPECT_EQ(out.Pixel(x, 9), clRed);
    }
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(out.Pixel(0, y), clRed);
        EXPECT_EQ(out.Pixel(19, y), clRed);
    }
    // Inside: nearest neighbour, source pixel under the centre: (2i+1)*40/40 = 2i+1.
    EXPECT_EQ(out.Pixel(5, 4), RGBColor(11 * 7, 9 * 5, 0x40));
    EXPECT_FALSE(FileExists(s.HTMLFile));
}

TEST_F(BatchFixture, WideFrameShowsAboutHalfItsWidth)
{
    MakeBmp(s.SDir + "pic.bmp", 20, 20);
    s.Korkeus = 20;
    s.DrawFrame = true;
    s.Size = 4;
    s.CreateHTML = 2;
    DoTheHonkyPonky(s, MakeSelectedFiles({"pic.bmp"}), host);
    // The pen is centred on rows 0 and 19: two rows show at the top, three at the bottom.
    TBitmap out = ReadBmp(s.DDir + "pictn.bmp");
    EXPECT_EQ(out.Pixel(10, 1), clBlack);
    EXPECT_NE(out.Pixel(10, 2), clBlack);
    EXPECT_NE(out.Pixel(10, 16), clBlack);
    EXPECT_EQ(out.Pixel(10, 17), clBlack);
    EXPECT_EQ(out.Pixel(1, 10), clBlack);
    EXPECT_NE(out.Pixel(2, 10), clBlack);
}

TEST_F(BatchFixture, ConvertOnlyKeepsTheSizeAndDrawsNoFrame)
{
    MakeBmp(s.SDir + "big.bmp", 300, 7);
    s.ToDo = 1;
    s.NameFormat = "<same>";
    s.DrawFrame = true;
    s.Color = clRed;
    s.CreateHTML = 2;
    DoTheHonkyPonky(s, MakeSelectedFiles({"big.bmp"}), host);
    TBitmap out = ReadBmp(s.DDir + "big.bmp");
    ASSERT_EQ(out.Width(), 300);
    ASSERT_EQ(out.Height(), 7);
    EXPECT_EQ(out.Pixel(0, 0), RGBColor(0, 0, 0x40));
    EXPECT_EQ(out.Pixel(299, 6), RGBColor(static_cast<uint8_t>(299 * 7), 30, 0x40));
}

TEST_F(BatchFixture, SideRoundingToZeroFailsTheFileOnly)
{
    MakeBmp(s.SDir + "a_thin.bmp", 1, 1000);
    MakeBmp(s.SDir + "b_fine.bmp", 10, 10);
    s.Korkeus = 1;
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"a_thin.bmp", "b_fine.bmp"}), host);
    EXPECT_EQ(r.processed, 1);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error saving file " + s.DDir + "a_thin.bmp!");
    EXPECT_TRUE(FileExists(s.DDir + "b_finetn.bmp"));
}

TEST_F(BatchFixture, SameOutputNameInOneRunIsNumbered)
{
    MakeBmp(s.SDir + "a.dib", 5, 5);
    MakeBmp(s.SDir + "a.bmp", 6, 6);
    s.NameFormat = "<same>";
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"a.dib", "a.bmp"}), host);
    EXPECT_EQ(r.processed, 2);
    EXPECT_EQ(ReadBmp(s.DDir + "a.bmp").Width(), 6);
    EXPECT_EQ(ReadBmp(s.DDir + "a(1).bmp").Width(), 5);
}

TEST_F(BatchFixture, UnusableDestinationIsReportedOnceBeforeAnyFile)
{
    MakeBmp(s.SDir + "a.bmp", 5, 5);
    MakeBmp(s.SDir + "b.bmp", 5, 5);
    WriteText(dir.File("blocker"), "x");
    s.DDir = dir.File("blocker") + "/out/";
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"a.bmp", "b.bmp"}), host);
    EXPECT_TRUE(r.destinationUnusable);
    EXPECT_EQ(r.processed, 0);
    EXPECT_EQ(host.events, (std::vector<std::string>{"disable", "begin 2",
                                                     "error Error saving file " + s.DDir + "!",
                                                     "end", "enable"}));
    EXPECT_EQ(host.reasons, std::vector<std::string>{"Not a directory"});
}

TEST_F(BatchFixture, JpegOutputFromAJpegSource)
{
    TBitmap b;
    b.SetSize(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5), 128));
    TJPEGImage source;
    source.AssignFrom(b);
    source.WriteFile(s.SDir + "photo.JPEG");
    s.Korkeus = 24;
    DoTheHonkyPonky(s, MakeSelectedFiles({"photo.JPEG"}), host);
    ASSERT_TRUE(host.errors.empty());
    TJPEGImage out;
    out.ReadFile(s.DDir + "phototn.jpg");
    EXPECT_EQ(out.Width(), 32);
    EXPECT_EQ(out.Height(), 24);
    EXPECT_TRUE(out.ProgressiveScans); // the wizard's default
}

TEST_F(BatchFixture, UnknownOutputFormatFailsWithTheSavingMessage)
{
    MakeBmp(s.SDir + "a.bmp", 5, 5);
    s.KeepFormat = false;
    s.Format = 9;
    s.Extension = "xyz";
    DoTheHonkyPonky(s, MakeSelectedFiles({"a.bmp"}), host);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error saving file " + s.DDir + "atn.xyz!");
}

// An icon-like TGA: transparent black around an opaque red pixel and a half-transparent blue.
TEST_F(BatchFixture, TransparentPicturesComeOutOnWhite)
{
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0x28};
    for (uint8_t v : {0, 0, 0, 0, /**/ 0, 0, 255, 255, /**/ 255, 0, 0, 128, /**/ 0, 0, 0, 0})
        tga.push_back(v); // blue, green, red, alpha; top row first
    tabulonix::test::WriteBytes(s.SDir + "icon.tga", tga);
    s.CreateHTML = 2;
    s.KeepFormat = false;
    s.Format = ofBMP;
    s.Extension = "bmp";
    for (int toDo : {1, 0}) {
        s.ToDo = toDo;
        s.NameFormat = toDo == 1 ? "<same>" : "<same>tn";
        s.Korkeus = 4;
        s.StretchSmall = true;
        DoTheHonkyPonky(s, MakeSelectedFiles({"icon.tga"}), host);
        TBitmap out = ReadBmp(s.DDir + (toDo == 1 ? "icon.bmp" : "icontn.bmp"));
        const int k = toDo == 1 ? 1 : 2; // source pixel (x, y) covers k x k output pixels
        EXPECT_EQ(out.Pixel(0, 0), clWhite) << toDo;
        EXPECT_EQ(out.Pixel(k, 0), clRed) << toDo;
        EXPECT_EQ(out.Pixel(0, k), RGBColor(127, 127, 255)) << toDo;
        EXPECT_EQ(out.Pixel(k, k), clWhite) << toDo;
    }
    EXPECT_TRUE(host.errors.empty());
}

// A little-endian TIFF of 2 x 2 grey pixels stored with the given compression code.
std::vector<uint8_t> GreyTiff(uint16_t compression)
{
    std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](unsigned v) {
        t.push_back(static_cast<uint8_t>(v));
        t.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](unsigned v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const unsigned entries[][3] = {{256, 3, 2},           {257, 3, 2}, {258, 3, 8},
                                   {259, 3, compression}, {262, 3, 1}, {273, 4, 8 + 2 + 9 * 12 + 4},
                                   {277, 3, 1},           {278, 3, 2}, {279, 4, 4}};
    u16(9);
    for (const auto& e : entries) {
        u16(e[0]);
        u16(e[1]);
        u32(1);
        u32(e[2]);
    }
    u32(0);
    for (uint8_t v : {0, 85, 170, 255})
        t.push_back(v);
    return t;
}

// A BMP header that announces a picture far beyond the pixel budget, and no pixels.
std::vector<uint8_t> HugeBmpHeader(int32_t w, int32_t h)
{
    TBitmap small;
    small.SetSize(1, 1);
    TMemoryStream m;
    small.WriteStream(m);
    std::vector<uint8_t> b = m.Bytes();
    for (int i = 0; i < 4; ++i) {
        b[18 + i] = static_cast<uint8_t>(w >> (8 * i));
        b[22 + i] = static_cast<uint8_t>(h >> (8 * i));
    }
    return b;
}

TEST_F(BatchFixture, EveryFailureSaysWhy)
{
    tabulonix::test::WriteBytes(s.SDir + "a_j2k.tif", GreyTiff(34712)); // JPEG 2000: not read
    tabulonix::test::WriteBytes(s.SDir + "b_huge.bmp", HugeBmpHeader(20000, 20000));
    MakeBmp(s.SDir + "d_fine.bmp", 3, 3);
    s.CreateHTML = 2;
    BatchResult r = DoTheHonkyPonky(
        s, MakeSelectedFiles({"a_j2k.tif", "b_huge.bmp", "c_missing.png", "d_fine.bmp"}), host);
    EXPECT_EQ(r.processed, 1);
    ASSERT_EQ(host.errors.size(), 3u);
    ASSERT_EQ(host.reasons.size(), 3u);
    // The messages keep their texts; the reasons come on their own.
    EXPECT_EQ(host.errors[0], "Error opening file " + s.SDir + "a_j2k.tif!");
    EXPECT_EQ(host.reasons[0],
              "Cannot load image. The compression scheme is not supported for TIF/TIFF files.");
    EXPECT_EQ(host.reasons[1], "picture too large: 20000 \u00d7 20000");
    EXPECT_EQ(host.reasons[2], "No such file or directory");
}

TEST_F(BatchFixture, OutputTooLargeSaysItsSize)
{
    MakeBmp(s.SDir + "strip.bmp", 1, 2);
    s.Korkeus = 1000000; // favouring the height: 500000 x 1000000 when enlarged
    s.StretchSmall = true;
    s.CreateHTML = 2;
    DoTheHonkyPonky(s, MakeSelectedFiles({"strip.bmp"}), host);
    ASSERT_EQ(host.reasons.size(), 1u);
    EXPECT_EQ(host.reasons[0], "picture too large: 500000 \u00d7 1000000");
}

// A failure outside the per-file handling still runs the end of the run, then escapes.
TEST_F(BatchFixture, UnexpectedFailureStillEndsTheRun)
{
    struct ThrowingHost : FakeHost {
        void SetFileName(const std::string& name) override
        {
            FakeHost::SetFileName(name);
            if (name == "b.bmp")
                throw std::runtime_error("window gone");
        }
    } throwing;
    MakeBmp(s.SDir + "a.bmp", 5, 5);
    MakeBmp(s.SDir + "b.bmp", 5, 5);
    EXPECT_THROW(DoTheHonkyPonky(s, MakeSelectedFiles({"a.bmp", "b.bmp"}), throwing),
                 std::runtime_error);
    ASSERT_GE(throwing.events.size(), 2u);
    EXPECT_EQ(throwing.events[throwing.events.size() - 2], "end");
    EXPECT_EQ(throwing.events.back(), "enable");
    EXPECT_TRUE(throwing.infos.empty());
    EXPECT_TRUE(HasGalleryMarkers(s.HTMLFile)); // the page with a.bmp was closed and written
    EXPECT_NE(ReadText(s.HTMLFile).find("atn.bmp"), std::string::npos);
}

} // namespace
