#include "codecs/metafile/Metafile.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "codecs/Picture.h"
#include "codecs/core/ByteReader.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "platform/ScreenMetrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

void ExpectSamePixels(const TBitmap& a, const TBitmap& b)
{
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    int differing = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y) && differing++ < 3)
                ADD_FAILURE() << "pixel " << x << "," << y;
    EXPECT_EQ(differing, 0);
}

void ReadInto(TMetafile& m, const std::vector<uint8_t>& bytes)
{
    TMemoryStream s(bytes);
    m.ReadStream(s);
}

std::string ReadError(const std::vector<uint8_t>& bytes)
{
    try {
        TMetafile m;
        ReadInto(m, bytes);
    } catch (const Exception& e) {
        return e.what();
    }
    return "(read)";
}

// Builders for hand-made drawings.
struct Emf {
    std::vector<uint8_t> body;
    uint32_t count = 0;
    void Rec(uint32_t type, std::initializer_list<int32_t> v)
    {
        ByteWriter w(body);
        w.U32LE(type);
        w.U32LE(static_cast<uint32_t>(8 + 4 * v.size()));
        for (int32_t x : v)
            w.U32LE(static_cast<uint32_t>(x));
        ++count;
    }
    // Frame in 0.01 mm on a 100 px = 10 mm device, so one pixel is 0.1 mm.
    std::vector<uint8_t> Finish(int frameW, int frameH, uint16_t handles = 8)
    {
        Rec(14, {0, 16, 20});
        std::vector<uint8_t> out;
        ByteWriter w(out);
        for (uint32_t v : {1u, 108u, 0u, 0u, 0u, 0u, 0u, 0u, uint32_t(frameW), uint32_t(frameH),
                           0x464D4520u, 0x10000u, uint32_t(108 + body.size()), count + 1})
            w.U32LE(v);
        w.U16LE(handles);
        w.U16LE(0);
        for (uint32_t v : {0u, 0u, 0u, 100u, 100u, 10u, 10u, 0u, 0u, 0u, 10000u, 10000u})
            w.U32LE(v);
        w.Bytes(body.data(), body.size());
        return out;
    }
};

struct Wmf {
    std::vector<uint8_t> body;
    void Rec(uint16_t function, std::initializer_list<int> params)
    {
        ByteWriter w(body);
        w.U32LE(static_cast<uint32_t>(3 + params.size()));
        w.U16LE(function);
        for (int p : params)
            w.U16LE(static_cast<uint16_t>(p));
    }
    std::vector<uint8_t> Finish(int16_t right, int16_t bottom, uint16_t inch)
    {
        Rec(0, {});
        std::vector<uint8_t> out;
        ByteWriter w(out);
        w.U32LE(0x9AC6CDD7);
        for (int v : {0, 0, 0, int(right), int(bottom), int(inch)})
            w.U16LE(static_cast<uint16_t>(v));
        w.U32LE(0);
        uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= GetU16LE(out.data() + 2 * i);
        w.U16LE(sum);
        for (int v : {1, 9, 0x300})
            w.U16LE(static_cast<uint16_t>(v));
        w.U32LE(static_cast<uint32_t>(9 + body.size() / 2));
        w.U16LE(8);
        w.U32LE(64);
        w.U16LE(0);
        w.Bytes(body.data(), body.size());
        return out;
    }
};

// What the engine does: the metafile sized to the surface, the surface drawn at (0, 0).
void RecordSurface(TMetafile& metafile, TBitmap& surface)
{
    metafile.SetHeight(surface.Height());
    metafile.SetWidth(surface.Width());
    TMetafileCanvas canvas(metafile);
    canvas.DrawAt(0, 0, &surface);
    canvas.Close();
}

TBitmap Play(TMetafile& m, int w, int h)
{
    TBitmap target;
    target.SetSize(w, h);
    target.Canvas().DrawScaled(TRect{0, 0, w, h}, &m);
    return target;
}

} // namespace

TEST(Metafile, RoundTripThroughOwnPlayerIsPixelExact)
{
    // Both forms, a few sizes; the default screen for the Windows form keeps whole pixels.
    for (bool enhanced : {true, false}) {
        for (auto [w, h] :
             {std::pair{1, 1}, std::pair{37, 23}, std::pair{200, 100}, std::pair{3, 61}}) {
            TBitmap surface = Pattern(w, h);
            TMetafile out;
            RecordSurface(out, surface);
            out.SetEnhanced(enhanced);
            TMemoryStream stream;
            out.WriteStream(stream);
            TMetafile back;
            ReadInto(back, stream.Bytes());
            EXPECT_EQ(back.HoldsEnhanced(), enhanced);
            ASSERT_EQ(back.Width(), w) << w << "x" << h << (enhanced ? " emf" : " wmf");
            ASSERT_EQ(back.Height(), h);
            TBitmap played;
            played.SetSize(w, h);
            played.Canvas().DrawAt(0, 0, &back);
            ExpectSamePixels(played, surface);
        }
    }
}

TEST(Metafile, PaintScalesWithTheRectangle)
{
    TBitmap surface = Pattern(10, 6);
    TMetafile m;
    RecordSurface(m, surface);
    TBitmap big = Play(m, 20, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(big.Pixel(x, y), surface.Pixel(x / 2, y / 2)) << x << "," << y;
    // Drawn at an offset it stays inside its rectangle.
    TBitmap target;
    target.SetSize(30, 20);
    target.Canvas().DrawAt(5, 4, &m);
    EXPECT_EQ(target.Pixel(4, 4), clWhite);
    EXPECT_EQ(target.Pixel(5, 4), surface.Pixel(0, 0));
    EXPECT_EQ(target.Pixel(14, 9), surface.Pixel(9, 5));
    EXPECT_EQ(target.Pixel(15, 9), clWhite);
    EXPECT_EQ(target.Pixel(14, 10), clWhite);
}

TEST(Metafile, ReadingChecksAndSizes)
{
    Wmf plain;
    std::vector<uint8_t> good = plain.Finish(1440, 720, 1440);
    TMetafile m;
    ReadInto(m, good);
    EXPECT_TRUE(m.HoldsWindows());
    EXPECT_EQ(m.MMWidth(), 2540);
    EXPECT_EQ(m.MMHeight(), 1270);
    EXPECT_EQ(m.Width(), 96);
    EXPECT_EQ(m.Height(), 48);
    EXPECT_EQ(m.Inch(), 1440);

    std::vector<uint8_t> badSum = good;
    badSum[20] ^= 1;
    std::vector<uint8_t> noPlaceable(good.begin() + 22, good.end());
    std::vector<uint8_t> badHeader = good;
    badHeader[22 + 2] = 7; // header words
    Emf e;
    std::vector<uint8_t> emf = e.Finish(1000, 500);
    std::vector<uint8_t> truncated(emf.begin(), emf.end() - 4);
    std::vector<uint8_t> shortTotal = emf;
    PutU32LE(shortTotal.data() + 48, 60);
    std::vector<uint8_t> negativeFrame = emf;
    PutU32LE(negativeFrame.data() + 32, static_cast<uint32_t>(-5));
    for (const auto* bytes :
         {&badSum, &noPlaceable, &badHeader, &truncated, &shortTotal, &negativeFrame})
        EXPECT_EQ(ReadError(*bytes), "Metafile is not valid");
    EXPECT_EQ(ReadError({}), "Metafile is not valid");

    TMetafile en;
    ReadInto(en, emf);
    EXPECT_TRUE(en.HoldsEnhanced());
    EXPECT_EQ(en.MMWidth(), 1000);
    EXPECT_EQ(en.Width(), 100); // 10 mm on a 10 mm / 100 px device
    EXPECT_EQ(en.Height(), 50);
}

TEST(Metafile, FailedReadKeepsThePreviousContent)
{
    TBitmap surface = Pattern(8, 8);
    TMetafile m;
    RecordSurface(m, surface);
    std::vector<uint8_t> before = m.Records();
    TMemoryStream bad(std::vector<uint8_t>(200, 0x41));
    EXPECT_THROW(m.ReadStream(bad), EInvalidGraphic);
    EXPECT_EQ(m.Records(), before);
    EXPECT_EQ(m.Width(), 8);
}

TEST(Metafile, OpensThroughTheRegistry)
{
    TempDir dir;
    TBitmap surface = Pattern(12, 7);
    TMetafile m;
    for (const char* name : {"x.wmf", "y.emf", "Z.EMF"}) {
        RecordSurface(m, surface);
        m.WriteFile(dir.File(name));
        TPicture picture;
        picture.OpenFile(dir.File(name));
        ASSERT_NE(picture.Graphic(), nullptr);
        EXPECT_STREQ(picture.Graphic()->ClassName(), "TMetafile");
        EXPECT_EQ(picture.Width(), 12) << name;
        EXPECT_EQ(picture.Height(), 7) << name;
    }
}

TEST(MetafilePlayer, EnhancedDrawingRecords)
{
    Emf e;
    // Anisotropic mapping: logical 0..1000 onto the 100 px device.
    e.Rec(17, {8});
    e.Rec(9, {1000, 1000});
    e.Rec(11, {100, 100});
    e.Rec(39, {1, 0, 0x0000FF, 0}); // red brush
    e.Rec(37, {1});
    e.Rec(37, {int32_t(0x80000008)});  // no pen
    e.Rec(43, {100, 100, 400, 300});   // rectangle 10..40 x 10..30 px
    e.Rec(38, {2, 0, 0, 0, 0x00FF00}); // green pen
    e.Rec(37, {2});
    e.Rec(27, {0, 900});
    e.Rec(54, {1000, 900});         // line along row 90
    e.Rec(39, {3, 0, 0xFF0000, 0}); // blue brush
    e.Rec(37, {3});
    e.Rec(37, {int32_t(0x80000008)});
    e.Rec(42, {500, 500, 900, 800}); // ellipse centred at (70, 65)
    // POLYGON16 triangle (bounds, count, points) at px (10,50) (30,50) (10,70)
    {
        ByteWriter w(e.body);
        w.U32LE(86);
        w.U32LE(8 + 16 + 4 + 12);
        for (int i = 0; i < 4; ++i)
            w.U32LE(0);
        w.U32LE(3);
        for (int v : {100, 500, 300, 500, 100, 700})
            w.U16LE(static_cast<uint16_t>(v));
        ++e.count;
    }
    e.Rec(34, {-1}); // restore without a save: ignored
    TMetafile m;
    ReadInto(m, e.Finish(1000, 1000));
    ASSERT_EQ(m.Width(), 100);
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(10, 10), clRed);
    EXPECT_EQ(out.Pixel(39, 29), clRed);
    EXPECT_EQ(out.Pixel(40, 29), clWhite);
    EXPECT_EQ(out.Pixel(39, 30), clWhite);
    EXPECT_EQ(out.Pixel(9, 10), clWhite);
    EXPECT_EQ(out.Pixel(50, 90), clLime);
    EXPECT_EQ(out.Pixel(50, 89), clWhite);
    EXPECT_EQ(out.Pixel(70, 65), clBlue);
    EXPECT_EQ(out.Pixel(52, 52), clWhite); // outside the ellipse, inside its box
    EXPECT_EQ(out.Pixel(12, 52), clBlue);  // the triangle keeps the blue brush
    EXPECT_EQ(out.Pixel(28, 68), clWhite);

    // Scaled to half size the same drawing lands at half the positions.
    TBitmap half = Play(m, 50, 50);
    EXPECT_EQ(half.Pixel(10, 10), clRed);
    EXPECT_EQ(half.Pixel(21, 10), clWhite);
    EXPECT_EQ(half.Pixel(35, 32), clBlue);
}

TEST(MetafilePlayer, WindowsDrawingRecordsAndState)
{
    Wmf w;
    w.Rec(0x020B, {0, 0});            // window origin
    w.Rec(0x020C, {200, 200});        // window extent 200 x 200
    w.Rec(0x02FC, {0, 0x00FF, 0, 0}); // slot 0: red brush
    w.Rec(0x012D, {0});
    w.Rec(0x02FA, {5, 0, 0, 0, 0}); // slot 1: no pen
    w.Rec(0x012D, {1});
    w.Rec(0x001E, {});              // save
    w.Rec(0x02FC, {0, 0, 0xFF, 0}); // slot 2: blue brush
    w.Rec(0x012D, {2});
    w.Rec(0x0127, {-1});              // restore: red again
    w.Rec(0x041B, {60, 80, 20, 40});  // rectangle (40,20)-(80,60) logical -> px /2
    w.Rec(0x01F0, {2});               // delete blue; the next brush reuses slot 2
    w.Rec(0x02FC, {0, 0xFF00, 0, 0}); // slot 2: green brush
    w.Rec(0x012D, {2});
    w.Rec(0x0538, {2, 3, 4, 0, 100, 40, 100, 0, 140, 100, 100, 140, 100, 140, 140, 100,
                   140}); // poly-polygon
    TMetafile m;
    ReadInto(m, w.Finish(200, 200, 192)); // 200 units at 192 per inch = 100 px
    ASSERT_EQ(m.Width(), 100);
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(20, 10), clRed);
    EXPECT_EQ(out.Pixel(39, 29), clRed);
    EXPECT_EQ(out.Pixel(40, 30), clWhite);
    EXPECT_EQ(out.Pixel(2, 55), clLime); // triangle (0,50)(20,50)(0,70) in px
    EXPECT_EQ(out.Pixel(18, 68), clWhite);
    EXPECT_EQ(out.Pixel(60, 60), clLime); // square (50,50)-(70,70)
    EXPECT_EQ(out.Pixel(70, 70), clWhite);
}

TEST(MetafilePlayer, HostileRecordsAreBounded)
{
    // A polyline claiming more points than the record holds, a huge extent, a selection
    // beyond the object table and a giant ellipse: nothing crashes, the rest still plays.
    Emf e;
    {
        ByteWriter w(e.body);
        w.U32LE(4);
        w.U32LE(8 + 16 + 4 + 8);
        for (int i = 0; i < 4; ++i)
            w.U32LE(0);
        w.U32LE(0x40000000);
        w.U32LE(1);
        w.U32LE(2);
        ++e.count;
    }
    e.Rec(37, {5000});
    e.Rec(42, {-2000000000, -2000000000, 2000000000, 2000000000});
    e.Rec(9, {0, 0});
    e.Rec(17, {8});
    e.Rec(17, {1});
    e.Rec(39, {1, 0, 0x0000FF, 0});
    e.Rec(37, {1});
    e.Rec(43, {0, 0, 50, 50});
    TMetafile m;
    std::vector<uint8_t> bytes = e.Finish(1000, 1000, 4);
    ReadInto(m, bytes);
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(25, 25), clRed);

    // A reference device of millions of millimetres still converts to the Windows form.
    PutU32LE(bytes.data() + 72, 2000000);
    PutU32LE(bytes.data() + 80, 2654208);
    PutU32LE(bytes.data() + 84, 2654208);
    TMetafile odd;
    ReadInto(odd, bytes);
    std::vector<uint8_t> wmf = odd.WindowsBytes();
    EXPECT_EQ(GetU32LE(wmf.data()), 0x9AC6CDD7u);
}

TEST(MetafileCorpus, EveryFileReadsAndPlays)
{
    std::string corpus = CorpusDir();
    TABULONIX_NEED(!corpus.empty(), "the test corpus");
    int read = 0, files = 0;
    std::vector<std::string> placeable;
    std::vector<int> widths;
    for (const char* folder : {"wmf/libwmf-examples", "wmf/libuemf", "wmf/pillow", "emf/libemf2svg",
                               "emf/libemf2svg-corrupted", "emf/libuemf", "emf/pillow"}) {
        bool corrupted = std::string(folder).find("corrupted") != std::string::npos;
        for (const std::string& name : CorpusFiles(folder, {"wmf", "emf"})) {
            ++files;
            std::string path = corpus + "/" + folder + "/" + name;
            std::vector<uint8_t> bytes = tabulonix::test::ReadBytes(path);
            bool isPlaceable = bytes.size() >= 22 && GetU32LE(bytes.data()) == 0x9AC6CDD7;
            bool isWmf = name.substr(name.size() - 4) == ".wmf";
            TMetafile m;
            try {
                TMemoryStream s(bytes);
                m.ReadStream(s);
            } catch (const EInvalidGraphic& e) {
                EXPECT_STREQ(e.what(), "Metafile is not valid") << name;
                // Only Windows metafiles without the placeable header, and damaged files, fail.
                EXPECT_TRUE(corrupted || (isWmf && !isPlaceable)) << name;
                continue;
            }
            EXPECT_FALSE(isWmf && !isPlaceable) << name;
            ++read;
            if (isPlaceable) {
                placeable.push_back(path);
                widths.push_back(m.Width());
            }
            TBitmap target;
            target.SetSize(64, 48);
            target.Canvas().DrawScaled(TRect{0, 0, 64, 48}, &m);
        }
    }
    EXPECT_GT(files, 60);
    EXPECT_GT(read, 50);
    ASSERT_FALSE(placeable.empty());

    // Pillow reads the placeable header on its own and gives the width at 72 dpi.
    std::string command = "/usr/bin/python3 -c \"import sys;from PIL import Image\n"
                          "for f in sys.argv[1:]: print(Image.open(f).size[0])\"";
    for (const auto& path : placeable)
        command += " " + ShellQuote(path);
    TABULONIX_NEED(tabulonix::test::HavePillow(), "python3-pil");
    CommandResult r = RunCommand(command);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream sizes(r.out);
    for (size_t i = 0; i < placeable.size(); ++i) {
        int pillow = -1;
        sizes >> pillow;
        EXPECT_NEAR(widths[i], pillow * 96.0 / 72.0, 2.0) << placeable[i];
    }
}

namespace {

double MeanDifference(const TBitmap& ours, const ReferenceImage& ref)
{
    double sum = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* p = &ref.rgba[4 * (static_cast<size_t>(y) * ref.width + x)];
            TColor c = ours.Pixel(x, y);
            sum += std::abs(GetRValue(c) - p[0]) + std::abs(GetGValue(c) - p[1]) +
                   std::abs(GetBValue(c) - p[2]);
        }
    return sum / (3.0 * ref.width * ref.height);
}

} // namespace

TEST(MetafileCorpus, MappingModesGiveTheSamePicture)
{
    // One drawing recorded under each mapping mode: every mode must land on the same pixels.
    std::string dir = CorpusDir() + "/emf/libuemf/";
    TABULONIX_NEED(!CorpusDir().empty(), "the test corpus");
    auto render = [&](const std::string& name) {
        TMetafile m;
        ReadInto(m, tabulonix::test::ReadBytes(dir + name));
        return Play(m, 140, 99);
    };
    TBitmap base = render("test_mm_text_ref.emf");
    for (const char* mode :
         {"anisotropic", "hienglish", "himetric", "isotropic", "loenglish", "lometric", "twips"}) {
        TBitmap other = render(std::string("test_mm_") + mode + "_ref.emf");
        int differing = 0;
        for (int y = 0; y < 99; ++y)
            for (int x = 0; x < 140; ++x)
                differing += other.Pixel(x, y) != base.Pixel(x, y);
        EXPECT_LT(differing, 140 * 99 / 50) << mode;
    }
    // And the picture is there: the ground takes the file's first brush, 0xADFFFF.
    EXPECT_EQ(base.Pixel(70, 60), RGBColor(255, 255, 173));
}

TEST(MetafileCorpus, WindowsFilesLookLikeTheReferenceRenderer)
{
    TABULONIX_NEED(!CorpusDir().empty(), "the test corpus");
    TABULONIX_NEED(tabulonix::test::HaveTool("wmf2gd"), "wmf2gd (libwmf-bin)");
    TempDir tmp;
    // Files whose placeable box is the drawing's extent (the reference frames every file by
    // the extent of what it draws, so others are framed differently).
    for (const char* name : {"arrow01", "cell", "sample", "sample2"}) {
        std::string path = CorpusDir() + "/wmf/libwmf-examples/" + name + ".wmf";
        std::string png = tmp.File(std::string(name) + ".png");
        ASSERT_EQ(RunCommand("wmf2gd -o " + ShellQuote(png) + " " + ShellQuote(path)).exitCode, 0)
            << name;
        auto ref = DecodeWithPillow(png);
        ASSERT_TRUE(ref) << name;
        TMetafile m;
        ReadInto(m, tabulonix::test::ReadBytes(path));
        TBitmap ours = Play(m, ref->width, ref->height);
        EXPECT_LT(MeanDifference(ours, *ref), 12.0) << name;
    }
}

TEST(MetafilePlayer, PieAndChordRunCounterClockwise)
{
    struct Case {
        uint32_t type;
        bool topRight, topLeft, bottomRight;
    } cases[] = {
        {47, true, false, false}, // pie from east to north: the top-right quarter
        {46, true, false, false}, // chord: only the segment beyond the line between the ends
    };
    for (const Case& c : cases) {
        Emf e;
        e.Rec(39, {1, 0, 0x0000FF, 0});
        e.Rec(37, {1});
        e.Rec(37, {int32_t(0x80000008)});
        e.Rec(c.type, {0, 0, 100, 100, 100, 50, 50, 0});
        TMetafile m;
        ReadInto(m, e.Finish(1000, 1000));
        TBitmap out = Play(m, 100, 100);
        EXPECT_EQ(out.Pixel(80, 20) == clRed, c.topRight) << c.type;
        EXPECT_EQ(out.Pixel(20, 20) == clRed, c.topLeft) << c.type;
        EXPECT_EQ(out.Pixel(80, 80) == clRed, c.bottomRight) << c.type;
    }
    // The chord leaves out the triangle towards the centre that the pie fills.
    Emf e;
    e.Rec(39, {1, 0, 0x0000FF, 0});
    e.Rec(37, {1});
    e.Rec(46, {0, 0, 100, 100, 100, 50, 50, 0});
    TMetafile m;
    ReadInto(m, e.Finish(1000, 1000));
    EXPECT_NE(Play(m, 100, 100).Pixel(60, 40), clRed);
}

TEST(Metafile, WindowsContentSavedAgainKeepsItsPlacement)
{
    // No window records: the drawing relies on the box (100, 50)-(300, 250) as its window.
    Wmf w;
    w.Rec(0x02FC, {0, 0x00FF, 0, 0});
    w.Rec(0x012D, {0});
    w.Rec(0x041B, {150, 200, 50, 100}); // the box's top-left quarter
    std::vector<uint8_t> bytes = w.Finish(0, 0, 192);
    // Move the box: left 100, top 50, right 300, bottom 250, and fix the checksum.
    for (auto [offset, value] :
         {std::pair{6, 100}, std::pair{8, 50}, std::pair{10, 300}, std::pair{12, 250}})
        PutU16LE(bytes.data() + offset, static_cast<uint16_t>(value));
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= GetU16LE(bytes.data() + 2 * i);
    PutU16LE(bytes.data() + 20, sum);

    TMetafile original;
    ReadInto(original, bytes);
    TMetafile again;
    ReadInto(again, original.WindowsBytes());
    EXPECT_EQ(GetU16LE(original.WindowsBytes().data() + 6), 0);
    TBitmap a = Play(original, 100, 100), b = Play(again, 100, 100);
    EXPECT_EQ(a.Pixel(25, 25), clRed);
    EXPECT_EQ(a.Pixel(75, 75), clWhite);
    ExpectSamePixels(a, b);
}

TEST(MetafilePlayer, HatchedBrushesAndBackgroundMode)
{
    // A cross hatch: lines every 8 pixels in the brush colour, the gaps in the background
    // colour when the mode is opaque and untouched when it is transparent.
    for (bool transparent : {false, true}) {
        Emf e;
        e.Rec(43, {0, 0, 100, 100}); // white ground with the default brush
        e.Rec(25, {0x00FF00});       // green background
        if (transparent)
            e.Rec(18, {1});
        e.Rec(39, {1, 2, 0x0000FF, 4}); // red cross hatch
        e.Rec(37, {1});
        e.Rec(37, {int32_t(0x80000008)});
        e.Rec(43, {10, 10, 60, 60});
        TMetafile m;
        ReadInto(m, e.Finish(1000, 1000));
        TBitmap out = Play(m, 100, 100);
        EXPECT_EQ(out.Pixel(16, 20), clRed) << transparent;
        EXPECT_EQ(out.Pixel(20, 16), clRed) << transparent;
        EXPECT_EQ(out.Pixel(19, 19), transparent ? clWhite : clLime);
        EXPECT_EQ(out.Pixel(70, 70), clWhite);
    }
}

TEST(MetafilePlayer, StyledThinPensAreDashed)
{
    Emf e;
    e.Rec(38, {1, 1, 0, 0, 0x0000FF}); // red dashed pen, one pixel
    e.Rec(37, {1});
    e.Rec(27, {0, 50});
    e.Rec(54, {100, 50});
    e.Rec(38, {2, 0, 0, 0, 0xFF0000}); // blue solid
    e.Rec(37, {2});
    e.Rec(27, {0, 70});
    e.Rec(54, {100, 70});
    TMetafile m;
    ReadInto(m, e.Finish(1000, 1000));
    TBitmap out = Play(m, 100, 100);
    int on = 0, solid = 0;
    for (int x = 0; x < 96; ++x) {
        on += out.Pixel(x, 50) == clRed;
        solid += out.Pixel(x, 70) == clBlue;
    }
    EXPECT_EQ(on, 4 * 18); // four dashes of 18 with gaps of 6
    EXPECT_EQ(out.Pixel(20, 50), clWhite);
    EXPECT_EQ(solid, 96);
}

TEST(MetafilePlayer, OldDeviceBitmapBlockTransfers)
{
    // A 2 x 1 bitmap of 24 bits (red, blue), copied as is and stretched to 20 x 10.
    const std::initializer_list<int> bitmap = {0, 2, 1, 6, 0x1801, 0x0000, 0xFFFF, 0x0000};
    Wmf w;
    std::vector<int> bitblt = {0x0020, 0x00CC, 0, 0, 1, 2, 20, 10};
    std::vector<int> stretch = {0x0020, 0x00CC, 1, 2, 0, 0, 10, 20, 50, 40};
    bitblt.insert(bitblt.end(), bitmap);
    stretch.insert(stretch.end(), bitmap);
    auto record = [&](uint16_t function, const std::vector<int>& params) {
        ByteWriter out(w.body);
        out.U32LE(static_cast<uint32_t>(3 + params.size()));
        out.U16LE(function);
        for (int p : params)
            out.U16LE(static_cast<uint16_t>(p));
    };
    record(0x0922, bitblt);
    record(0x0B23, stretch);
    TMetafile m;
    ReadInto(m, w.Finish(100, 100, 96));
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(10, 20), clRed);
    EXPECT_EQ(out.Pixel(11, 20), clBlue);
    EXPECT_EQ(out.Pixel(12, 20), clWhite);
    EXPECT_EQ(out.Pixel(49, 59), clRed);
    EXPECT_EQ(out.Pixel(50, 50), clBlue);
    EXPECT_EQ(out.Pixel(59, 59), clBlue);
    EXPECT_EQ(out.Pixel(60, 55), clWhite);
}

TEST(MetafilePlayer, ManyObjectsInAFullTableStayCheap)
{
    // 100 000 brushes into a table of 65 535 slots, none deleted, then a rectangle with the
    // last brush that found a slot. Looking for free slots must not rescan the table.
    Wmf w;
    for (int i = 0; i < 100000; ++i)
        w.Rec(0x02FC, {0, i < 65534 ? 0xFF00 : 0x00FF, 0, 0});
    w.Rec(0x012D, {65534});
    w.Rec(0x041B, {50, 50, 10, 10});
    std::vector<uint8_t> bytes = w.Finish(100, 100, 96);
    PutU16LE(bytes.data() + 22 + 10, 65535); // objects in the header
    TMetafile m;
    ReadInto(m, bytes);
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(20, 20), clRed); // slot 65534 holds the first red brush
}

TEST(MetafilePlayer, BitmapRecordsMustCarryTheirRows)
{
    // A stretched-bitmap record declaring 6000 x 6000 pixels with four bytes of data is
    // skipped rather than drawn as a black picture of nothing; a well-formed 1 x 1 one draws.
    auto record = [](Emf& e, int at, int width, int height, uint32_t pixel) {
        ByteWriter w(e.body);
        w.U32LE(81);
        w.U32LE(80 + 40 + 4);
        for (int v : {0, 0, 0, 0, at, at, 0, 0, width, height})
            w.U32LE(static_cast<uint32_t>(v));
        for (uint32_t v : {80u, 40u, 120u, 4u, 0u, 0x00CC0020u, 30u, 30u})
            w.U32LE(v);
        for (uint32_t v : {40u, uint32_t(width), uint32_t(height)})
            w.U32LE(v);
        w.U16LE(1);
        w.U16LE(32);
        for (int i = 0; i < 6; ++i)
            w.U32LE(0);
        w.U32LE(pixel);
        ++e.count;
    };
    Emf e;
    record(e, 10, 6000, 6000, 0x0000FF00);
    record(e, 50, 1, 1, 0x00FF0000);
    TMetafile m;
    ReadInto(m, e.Finish(1000, 1000));
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(20, 20), clWhite);
    EXPECT_EQ(out.Pixel(60, 60), clRed);
}

TEST(MetafilePlayer, WindowsRegionsAreFilled)
{
    Wmf w;
    w.Rec(0x02FC, {0, 0x00FF, 0, 0}); // slot 0: red brush
    // slot 1: a region of one band, rows 10..20, spans 10..20 and 40..50
    w.Rec(0x06FF, {0, 6, 0, 0, 0, 1, 1, 10, 10, 50, 20, 4, 10, 20, 10, 20, 40, 50, 4});
    w.Rec(0x0228, {1, 0});            // fill region 1 with brush 0
    w.Rec(0x02FC, {0, 0xFF00, 0, 0}); // slot 2: green brush, selected
    w.Rec(0x012D, {2});
    w.Rec(0x012B, {1}); // paint region 1 with the selected brush
    TMetafile m;
    ReadInto(m, w.Finish(100, 100, 96));
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(15, 15), clLime);
    EXPECT_EQ(out.Pixel(45, 15), clLime);
    EXPECT_EQ(out.Pixel(30, 15), clWhite);
    EXPECT_EQ(out.Pixel(15, 25), clWhite);

    Wmf fillOnly;
    fillOnly.Rec(0x02FC, {0, 0x00FF, 0, 0});
    fillOnly.Rec(0x06FF, {0, 6, 0, 0, 0, 1, 1, 10, 10, 50, 20, 4, 10, 20, 10, 20, 40, 50, 4});
    fillOnly.Rec(0x0228, {1, 0});
    TMetafile f;
    ReadInto(f, fillOnly.Finish(100, 100, 96));
    TBitmap red = Play(f, 100, 100);
    EXPECT_EQ(red.Pixel(19, 19), clRed);
    EXPECT_EQ(red.Pixel(20, 19), clWhite);
}

TEST(MetafilePlayer, InsideFramePensStayInTheBox)
{
    for (int style : {0, 6}) { // solid: centred on the outline; inside frame: within it
        Emf e;
        e.Rec(38, {1, style, 8, 0, 0x0000FF});
        e.Rec(37, {1});
        e.Rec(43, {20, 20, 60, 60});
        TMetafile m;
        ReadInto(m, e.Finish(1000, 1000));
        TBitmap out = Play(m, 100, 100);
        EXPECT_EQ(out.Pixel(17, 40) == clRed, style == 0) << style;
        EXPECT_EQ(out.Pixel(20, 40), clRed) << style;
        EXPECT_EQ(out.Pixel(26, 40) == clRed, style == 6) << style;
    }
}

TEST(MetafilePlayer, DeviceBitsInBands)
{
    // A 1 x 2 picture sent as two bands of one scan line each (counted from the bottom):
    // the bottom line blue, the top line red; drawn at (10, 10) it shows red over blue.
    auto band = [](Emf& e, uint32_t startScan, uint32_t pixel) {
        ByteWriter w(e.body);
        w.U32LE(80);
        w.U32LE(76 + 40 + 4);
        for (int v : {0, 0, 0, 0, 10, 10, 0, 0, 1, 2})
            w.U32LE(static_cast<uint32_t>(v));
        for (uint32_t v : {76u, 40u, 116u, 4u, 0u, startScan, 1u})
            w.U32LE(v);
        for (uint32_t v : {40u, 1u, 2u})
            w.U32LE(v);
        w.U16LE(1);
        w.U16LE(32);
        for (int i = 0; i < 6; ++i)
            w.U32LE(0);
        w.U32LE(pixel);
        ++e.count;
    };
    Emf e;
    band(e, 0, 0x000000FF); // blue
    band(e, 1, 0x00FF0000); // red
    TMetafile m;
    ReadInto(m, e.Finish(1000, 1000));
    TBitmap out = Play(m, 100, 100);
    EXPECT_EQ(out.Pixel(10, 10), clRed);
    EXPECT_EQ(out.Pixel(10, 11), clBlue);
    EXPECT_EQ(out.Pixel(10, 12), clWhite);
    EXPECT_EQ(out.Pixel(11, 10), clWhite);
}
