#include "engine/MetafileOutput.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "codecs/Picture.h"
#include "codecs/core/ByteReader.h"
#include "codecs/metafile/Metafile.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "engine/JobSettings.h"
#include "engine/OutputEncoders.h"
#include "platform/ScreenMetrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

// The records of an enhanced metafile: type and size of each, checking the chain.
std::vector<std::pair<uint32_t, uint32_t>> EmfRecords(const std::vector<uint8_t>& emf)
{
    std::vector<std::pair<uint32_t, uint32_t>> out;
    size_t pos = 0;
    while (pos + 8 <= emf.size()) {
        uint32_t type = GetU32LE(emf.data() + pos), size = GetU32LE(emf.data() + pos + 4);
        if (size < 8 || size % 4 || pos + size > emf.size()) {
            ADD_FAILURE() << "bad record size at " << pos;
            break;
        }
        out.emplace_back(type, size);
        pos += size;
    }
    EXPECT_EQ(pos, emf.size());
    return out;
}

} // namespace

TEST(MetafileOutput, RecordingSizesAndPlaceableHeaderOfTheWorkedExample)
{
    TBitmap surface = Pattern(200, 100);
    TMetafile metafile;
    metafile.SetLimits(ExampleScreen());
    RecordSurface(metafile, surface);
    EXPECT_EQ(metafile.MMWidth(), 5000);
    EXPECT_EQ(metafile.MMHeight(), 2500);
    EXPECT_EQ(metafile.Width(), 200);
    EXPECT_EQ(metafile.Height(), 100);

    std::vector<uint8_t> wmf = metafile.WindowsBytes();
    ASSERT_GE(wmf.size(), 22u);
    const uint16_t expected[11] = {0xCDD7, 0x9AC6, 0, 0, 0, 189, 94, 96, 0, 0, 0x5792};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(GetU16LE(wmf.data() + 2 * i), expected[i]) << "word " << i;
}

TEST(MetafileOutput, EnhancedOutputHeaderAndRecordChain)
{
    TBitmap surface = Pattern(200, 100);
    TMetafile metafile;
    metafile.SetLimits(ExampleScreen());
    RecordSurface(metafile, surface);
    std::vector<uint8_t> emf = metafile.EnhancedBytes();
    ASSERT_GT(emf.size(), 108u);
    const uint8_t* h = emf.data();
    EXPECT_EQ(GetU32LE(h), 1u);
    EXPECT_EQ(GetU32LE(h + 40), 0x464D4520u);
    EXPECT_EQ(GetU32LE(h + 48), emf.size());
    int32_t bounds[4], frame[4];
    for (int i = 0; i < 4; ++i) {
        bounds[i] = static_cast<int32_t>(GetU32LE(h + 8 + 4 * i));
        frame[i] = static_cast<int32_t>(GetU32LE(h + 24 + 4 * i));
    }
    EXPECT_EQ((std::vector<int32_t>(bounds, bounds + 4)), (std::vector<int32_t>{0, 0, 199, 99}));
    EXPECT_EQ((std::vector<int32_t>(frame, frame + 4)), (std::vector<int32_t>{0, 0, 5000, 2500}));
    EXPECT_EQ(GetU32LE(h + 72), 1280u);
    EXPECT_EQ(GetU32LE(h + 76), 960u);
    EXPECT_EQ(GetU32LE(h + 80), 320u);
    EXPECT_EQ(GetU32LE(h + 84), 240u);

    auto records = EmfRecords(emf);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(GetU32LE(h + 52), records.size());
    EXPECT_EQ(records.front().first, 1u);
    EXPECT_EQ(records.back().first, 14u);
    EXPECT_EQ(records.back().second, 20u);
    int bitmaps = 0;
    for (auto& r : records)
        bitmaps += r.first == 81; // stretched DIB
    EXPECT_EQ(bitmaps, 1);
    // Handles: index 0 is reserved, then the pen and brush.
    EXPECT_GE(GetU16LE(h + 56), 3);
}

TEST(MetafileOutput, FileNameDecidesTheWindowsForm)
{
    TempDir dir;
    TBitmap surface = Pattern(20, 10);
    TMetafile metafile;
    struct Case {
        const char* name;
        bool enhanced;
        bool expectPlaceable;
    } cases[] = {{"a.emf", true, false},
                 {"b.wmf", true, true},
                 {"c.WMF", true, true},
                 {"d.emf", false, true},
                 {"e.wmf", false, true}};
    for (const Case& c : cases) {
        SaveSurfaceAsMetafile(metafile, surface, c.enhanced, dir.File(c.name));
        EXPECT_EQ(metafile.Enhanced(), c.enhanced) << c.name;
        std::vector<uint8_t> bytes = tabulonix::test::ReadBytes(dir.File(c.name));
        ASSERT_GE(bytes.size(), 22u);
        EXPECT_EQ(GetU32LE(bytes.data()) == 0x9AC6CDD7, c.expectPlaceable) << c.name;
    }
}

TEST(MetafileOutput, SecondRecordingKeepsTheScale)
{
    TMetafile m;
    m.SetLimits(ExampleScreen());
    TBitmap a = Pattern(200, 100), b = Pattern(40, 30);
    RecordSurface(m, a);
    RecordSurface(m, b);
    EXPECT_EQ(m.MMWidth(), 1000);
    EXPECT_EQ(m.MMHeight(), 750);
    EXPECT_EQ(m.Width(), 40);
    EXPECT_EQ(m.Height(), 30);
}

namespace {

// Four solid quadrants, so a renderer that scales still shows where each colour went.
TBitmap Quadrants(int w, int h)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       x < w / 2 ? (y < h / 2 ? clRed : clLime) : (y < h / 2 ? clBlue : clYellow));
    return b;
}

// Pillow's own reading of a metafile header: its size at 72 dpi and the box it found.
std::string PillowHeader(const std::string& path)
{
    CommandResult r = RunCommand(
        "/usr/bin/python3 -c \"import sys;from PIL import Image;im=Image.open(sys.argv[1]);"
        "print(im.format, im.size[0], im.size[1], *im.info['wmf_bbox'])\" " +
        ShellQuote(path) + " 2>/dev/null");
    return r.exitCode == 0 ? r.out : "";
}

} // namespace

TEST(MetafileOutput, IndependentReadersAcceptBothForms)
{
    TABULONIX_NEED(test::HavePillow(), "python3-pil");
    TempDir dir;
    TBitmap surface = Quadrants(64, 32);
    TMetafile m;
    SaveSurfaceAsMetafile(m, surface, false, dir.File("q.wmf"));
    SaveSurfaceAsMetafile(m, surface, true, dir.File("q.emf"));
    // Placeable header: 64 x 32 units at 96 per inch, which Pillow gives at 72 dpi.
    EXPECT_EQ(PillowHeader(dir.File("q.wmf")), "WMF 48 24 0 0 64 32\n");
    // Pillow takes the inclusive device bounds as its size.
    EXPECT_EQ(PillowHeader(dir.File("q.emf")), "WMF 63 31 0 0 63 31\n");
}

TEST(MetafileOutput, IndependentRendererShowsTheBitmap)
{
    TABULONIX_NEED(test::HaveTool("wmf2gd"), "wmf2gd (libwmf-bin)");
    TempDir dir;
    TBitmap surface = Quadrants(64, 32);
    TMetafile m;
    SaveSurfaceAsMetafile(m, surface, false, dir.File("q.wmf"));
    CommandResult r = RunCommand("wmf2gd -o " + ShellQuote(dir.File("q.png")) + " " +
                                 ShellQuote(dir.File("q.wmf")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto image = DecodeWithPillow(dir.File("q.png"));
    ASSERT_TRUE(image);
    // The renderer works at 72 dpi: the 96-per-inch box of 64 x 32 becomes 48 x 24.
    ASSERT_EQ(image->width, 48);
    ASSERT_EQ(image->height, 24);
    auto at = [&](int x, int y) {
        const uint8_t* p = &image->rgba[4 * (static_cast<size_t>(y) * image->width + x)];
        return RGBColor(p[0], p[1], p[2]);
    };
    EXPECT_EQ(at(12, 6), clRed);
    EXPECT_EQ(at(12, 18), clLime);
    EXPECT_EQ(at(36, 6), clBlue);
    EXPECT_EQ(at(36, 18), clYellow);
}

TEST(MetafileOutput, BatchEncodersWriteBothForms)
{
    TempDir dir;
    TBitmap surface = Quadrants(30, 20);
    TOutputEncoders encoders;
    JobSettings settings;
    struct Case {
        int format;
        const char* name;
        const char* extension;
        bool placeable;
    } cases[] = {{ofWMF, "a.wmf", ".wmf", true},
                 {ofEMF, "b.emf", ".emf", false},
                 {ofEMF, "c.wmf", ".wmf", true}};
    for (const Case& c : cases) {
        ASSERT_TRUE(TOutputEncoders::Available(c.format));
        encoders.Save(c.format, surface, dir.File(c.name), c.extension, settings);
        TPicture picture;
        picture.OpenFile(dir.File(c.name));
        auto* m = dynamic_cast<TMetafile*>(picture.Graphic());
        ASSERT_NE(m, nullptr) << c.name;
        EXPECT_EQ(m->HoldsWindows(), c.placeable) << c.name;
        EXPECT_EQ(m->Width(), 30) << c.name;
        EXPECT_EQ(m->Height(), 20) << c.name;
        TBitmap played;
        played.SetSize(30, 20);
        played.Canvas().DrawAt(0, 0, m);
        EXPECT_EQ(played.Pixel(3, 3), clRed) << c.name;
        EXPECT_EQ(played.Pixel(29, 19), clYellow) << c.name;
    }
}

TEST(MetafileOutput, IndependentConverterFindsTheBitmapInTheEnhancedForm)
{
    TABULONIX_NEED(test::HaveTool("emf2svg-conv"), "emf2svg-conv (emf2svg)");
    TempDir dir;
    TBitmap surface = Quadrants(64, 32);
    surface.SetPixel(5, 3, RGBColor(1, 2, 3)); // one odd pixel, to catch a shifted row
    TMetafile m;
    SaveSurfaceAsMetafile(m, surface, true, dir.File("q.emf"));
    CommandResult r = RunCommand("emf2svg-conv -i " + ShellQuote(dir.File("q.emf")) + " -o " +
                                 ShellQuote(dir.File("q.svg")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The converter places the record's bitmap as an embedded PNG image: take it out.
    CommandResult image = RunCommand(
        "/usr/bin/python3 -c \"import sys,re,base64;s=open(sys.argv[1]).read();"
        "m=re.search(r'<image width=.([0-9.]+). height=.([0-9.]+). x=.([0-9.]+). y=.([0-9.]+). "
        "xlink:href=.data:image/png;base64,([A-Za-z0-9+/=]+)',s);"
        "open(sys.argv[2],'wb').write(base64.b64decode(m.group(5)));"
        "print(*[round(float(m.group(i))) for i in range(1,5)])\" " +
        ShellQuote(dir.File("q.svg")) + " " + ShellQuote(dir.File("q.png")));
    ASSERT_EQ(image.exitCode, 0) << image.err;
    EXPECT_EQ(image.out, "64 32 0 0\n"); // placed at (0, 0) at the recorded size
    auto decoded = DecodeWithPillow(dir.File("q.png"));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->width, 64);
    ASSERT_EQ(decoded->height, 32);
    int differing = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8_t* p = &decoded->rgba[4 * (static_cast<size_t>(y) * 64 + x)];
            differing += RGBColor(p[0], p[1], p[2]) != surface.Pixel(x, y);
        }
    EXPECT_EQ(differing, 0);
}

TEST(MetafileOutput, PictureTooWideForTheWindowsFormFailsWithoutAFile)
{
    // 16-bit coordinates cannot hold 40000 pixels: the save fails (the engine reports it)
    // and leaves no empty file behind; the enhanced form has no such limit.
    TempDir dir;
    TBitmap surface;
    surface.SetSize(40000, 1);
    TOutputEncoders encoders;
    JobSettings settings;
    EXPECT_THROW(encoders.Save(ofWMF, surface, dir.File("wide.wmf"), ".wmf", settings),
                 EInvalidGraphic);
    EXPECT_FALSE(std::filesystem::exists(dir.File("wide.wmf")));
    encoders.Save(ofEMF, surface, dir.File("wide.emf"), ".emf", settings);
    TPicture picture;
    picture.OpenFile(dir.File("wide.emf"));
    EXPECT_EQ(picture.Width(), 40000);
}
