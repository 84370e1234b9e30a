// Every output format end to end: a run over two pictures of different sizes through one
// reused encoder per format, each result read back by an independent decoder (or, for the
// metafiles, through the registry) with the pixels the surface had.
#include "engine/Batch.h"

#include "FakeHost.h"
#include "TestSupport.h"
#include "codecs/Picture.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace tabulonix;

namespace {

TBitmap Pattern(int w, int h, int seed)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 9 + seed), static_cast<uint8_t>(y * 13),
                                static_cast<uint8_t>(seed * 40)));
    return b;
}

struct Case {
    TOutputFormat format;
    const char* extension;
    bool exact; // lossless formats give the surface's pixels back
};

// A convert-only run (the output keeps the source size) from dir/src/ into dir/out/ under
// the source's own name, without HTML.
JobSettings ConvertJob(const test::TempDir& dir)
{
    JobSettings s;
    s.ToDo = 1;
    s.SDir = dir.Path() + "src/";
    s.DDir = dir.Path() + "out/";
    s.CreateHTML = 2;
    s.KeepFormat = false;
    s.NameFormat = "<same>";
    return s;
}

class OutputFormats : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(OutputFormats, ReusedEncoderWritesEachFileOnItsOwn)
{
    const Case& c = GetParam();
    test::TempDir dir;
    JobSettings s = ConvertJob(dir);
    s.Format = c.format;
    s.Extension = c.extension; // as the wizard fills it from the chosen format
    ASSERT_TRUE(ForceDirectories(s.SDir));
    TBitmap first = Pattern(23, 11, 1), second = Pattern(7, 19, 5);
    first.WriteFile(s.SDir + "a.bmp");
    second.WriteFile(s.SDir + "b.bmp");

    test::FakeHost host;
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"a.bmp", "b.bmp"}), host);
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_EQ(r.processed, 2);

    for (auto [name, source] : {std::pair{"a", &first}, std::pair{"b", &second}}) {
        std::string path = s.DDir + name + "." + c.extension;
        ASSERT_TRUE(FileExists(path)) << path;
        if (c.format == ofWMF || c.format == ofEMF) {
            TPicture p;
            p.OpenFile(path);
            EXPECT_NEAR(p.Width(), source->Width(), 1) << path;
            EXPECT_NEAR(p.Height(), source->Height(), 1) << path;
            // Played back at the surface's size, the recorded bitmap comes back as it was.
            TBitmap played;
            played.SetSize(source->Width(), source->Height());
            played.Canvas().DrawScaled(TRect{0, 0, source->Width(), source->Height()}, p.Graphic());
            for (int y = 0; y < source->Height(); ++y)
                for (int x = 0; x < source->Width(); ++x)
                    ASSERT_EQ(played.Pixel(x, y), source->Pixel(x, y))
                        << path << " at " << x << "," << y;
            continue;
        }
        auto ref = test::DecodeWithPillow(path);
        ASSERT_TRUE(ref) << path;
        ASSERT_EQ(ref->width, source->Width()) << path;
        ASSERT_EQ(ref->height, source->Height()) << path;
        // GIF output is the surface reduced onto the halftone palette.
        TBitmap expected(*source);
        if (c.format == ofGIF)
            expected.SetPixelFormat(pf8bit);
        int far = 0;
        for (int y = 0; y < ref->height; ++y)
            for (int x = 0; x < ref->width; ++x) {
                const uint8_t* p = &ref->rgba[static_cast<size_t>(y * ref->width + x) * 4];
                TColor want = expected.Pixel(x, y);
                if (c.exact) {
                    ASSERT_EQ(RGBColor(p[0], p[1], p[2]), want) << path << " at " << x << "," << y;
                    ASSERT_EQ(p[3], 255) << "opaque";
                } else if (std::abs(p[0] - GetRValue(want)) + std::abs(p[1] - GetGValue(want)) +
                               std::abs(p[2] - GetBValue(want)) >
                           60) {
                    ++far;
                }
            }
        EXPECT_LT(far, ref->width * ref->height / 10) << path;
    }
}

// A disk that fills up half-way through a picture: the write fails in the middle of the
// encoder's output (a file size limit stands in for the full disk).
TEST_P(OutputFormats, FailedSaveKeepsTheOldFileAndLeavesNoTemporary)
{
    const Case& c = GetParam();
    test::TempDir dir;
    JobSettings s = ConvertJob(dir);
    s.Format = c.format;
    s.Extension = c.extension;
    ASSERT_TRUE(ForceDirectories(s.SDir));
    ASSERT_TRUE(ForceDirectories(s.DDir));
    TBitmap noise;
    noise.SetSize(300, 200); // no format compresses it into the limit below
    uint32_t state = 12345;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            state = state * 1664525u + 1013904223u;
            noise.SetPixel(x, y, static_cast<TColor>(state >> 8));
        }
    noise.WriteFile(s.SDir + "a.bmp");
    const std::string old = s.DDir + "a." + c.extension;
    test::WriteText(old, "the earlier output");

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 3000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    test::FakeHost host;
    BatchResult r = DoTheHonkyPonky(s, MakeSelectedFiles({"a.bmp"}), host);
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(r.processed, 0);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error saving file " + old + "!");
    EXPECT_EQ(host.reasons[0], std::strerror(EFBIG));
    EXPECT_EQ(test::ReadText(old), "the earlier output");
    std::vector<std::string> left;
    for (const auto& e : FindFiles(s.DDir, "*"))
        left.push_back(e.name);
    EXPECT_EQ(left, std::vector<std::string>{std::string("a.") + c.extension});
}

INSTANTIATE_TEST_SUITE_P(Engine, OutputFormats,
                         ::testing::Values(Case{ofJPEG, "jpg", false}, Case{ofGIF, "gif", true},
                                           Case{ofPNG, "png", true}, Case{ofBMP, "bmp", true},
                                           Case{ofWMF, "wmf", false}, Case{ofEMF, "emf", false},
                                           Case{ofTGA, "tga", true}),
                         [](const auto& info) { return std::string(info.param.extension); });

TEST(OutputFormatsSize, WideMetafilesReadBackAtTheSurfaceSize)
{
    // The reference screen is exactly 96 pixels per inch, so no size drifts on the way
    // through 0.01 mm, whatever the width.
    test::TempDir dir;
    JobSettings s = ConvertJob(dir);
    ASSERT_TRUE(ForceDirectories(s.SDir));
    for (int w : {471, 997, 1601})
        Pattern(w, 3, w).WriteFile(s.SDir + "w" + std::to_string(w) + ".bmp");
    for (auto [format, ext] : {std::pair{ofWMF, "wmf"}, std::pair{ofEMF, "emf"}}) {
        s.Format = format;
        s.Extension = ext;
        test::FakeHost host;
        DoTheHonkyPonky(s, MakeSelectedFiles({"w471.bmp", "w997.bmp", "w1601.bmp"}), host);
        ASSERT_TRUE(host.errors.empty()) << host.errors.front();
        for (int w : {471, 997, 1601}) {
            TPicture p;
            p.OpenFile(s.DDir + "w" + std::to_string(w) + "." + ext);
            EXPECT_EQ(p.Width(), w) << ext;
            EXPECT_EQ(p.Height(), 3) << ext;
        }
    }
}
