#include "codecs/Bitmap.h"
#include "codecs/ByteReader.h"
#include "codecs/Canvas.h"
#include "codecs/Metafile.h"
#include "codecs/Picture.h"
#include "engine/MetafileOutput.h"
#include "platform/ScreenMetrics.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

// The screen of the worked example: 320 mm over 1280 px, 240 mm over 960 px.
struct ExampleScreen {
    ExampleScreen()
    {
        ScreenMetrics m;
        m.widthPixels = 1280;
        m.heightPixels = 960;
        m.widthMillimetres = 320;
        m.heightMillimetres = 240;
        SetScreenMetrics(m);
    }
    ~ExampleScreen() { ResetScreenMetrics(); }
};

TBitmap Pattern(int w, int h)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, RGBColor(uint8_t(x * 37 + y), uint8_t(y * 53 + 7), uint8_t((x ^ y) * 11)));
    return b;
}

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
    ExampleScreen screen;
    TBitmap surface = Pattern(200, 100);
    TMetafile metafile;
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
    ExampleScreen screen;
    TBitmap surface = Pattern(200, 100);
    TMetafile metafile;
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
    } cases[] = {{"a.emf", true, false}, {"b.wmf", true, true}, {"c.WMF", true, true}, {"d.emf", false, true},
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
    ExampleScreen screen;
    TMetafile m;
    TBitmap a = Pattern(200, 100), b = Pattern(40, 30);
    RecordSurface(m, a);
    RecordSurface(m, b);
    EXPECT_EQ(m.MMWidth(), 1000);
    EXPECT_EQ(m.MMHeight(), 750);
    EXPECT_EQ(m.Width(), 40);
    EXPECT_EQ(m.Height(), 30);
}

