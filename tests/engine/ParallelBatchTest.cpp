// Worker threads must not change anything a run produces: files, names, messages, gallery.
#include "engine/Batch.h"

#include "FakeHost.h"
#include "TestSupport.h"
#include "codecs/Picture.h"
#include "codecs/formats/Jpeg.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <unistd.h>

using namespace tabulonix;
using tabulonix::test::FakeHost;
using tabulonix::test::ReadBytes;
using tabulonix::test::TempDir;
using tabulonix::test::WriteBytes;
using tabulonix::test::WriteText;

namespace {

TBitmap Photo(int w, int h, int seed)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(static_cast<uint8_t>(x * 3 + seed), static_cast<uint8_t>(y * 5),
                                static_cast<uint8_t>((x ^ y) + seed * 7)));
    return b;
}

void SaveJpeg(const TBitmap& b, const std::string& path, bool progressive = false)
{
    TJPEGImage j;
    j.AssignFrom(b);
    j.Quality = 90;
    j.ProgressiveScans = progressive;
    j.WriteFile(path);
}

void SaveBmp(const TBitmap& b, const std::string& path)
{
    TBitmap copy(b);
    copy.WriteFile(path);
}

size_t Find(const std::vector<uint8_t>& bytes, uint8_t marker, size_t from)
{
    for (size_t i = from; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == marker)
            return i;
    return bytes.size();
}

// A progressive file whose header reads well but which fails once its scans are decoded:
// a second frame header before the second scan.
std::vector<uint8_t> FailingWhenDecoded(std::vector<uint8_t> bytes)
{
    size_t sof = Find(bytes, 0xC2, 2);
    size_t length = static_cast<size_t>(bytes[sof + 2] << 8 | bytes[sof + 3]);
    std::vector<uint8_t> frame(bytes.begin() + static_cast<long>(sof),
                               bytes.begin() + static_cast<long>(sof + 2 + length));
    size_t secondScan = Find(bytes, 0xDA, Find(bytes, 0xDA, 2) + 2);
    bytes.insert(bytes.begin() + static_cast<long>(secondScan), frame.begin(), frame.end());
    return bytes;
}

// Every file of a folder (the gallery included) with its bytes.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& folder)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : FindFiles(folder, "*"))
        if (!e.isDirectory)
            files[e.name] = ReadBytes(folder + e.name);
    return files;
}

struct Outcome {
    std::vector<std::string> events;
    std::map<std::string, std::vector<uint8_t>> files;
    BatchResult result;
};

struct ParallelBatch : ::testing::Test {
    TempDir dir;
    JobSettings s;
    std::vector<std::string> names;

    void SetUp() override
    {
        s.SDir = dir.Path() + "src/";
        s.DDir = dir.Path() + "out/";
        s.HTMLFile = s.DDir + "QVHTML.htm";
        s.NameFormat = "<same>";
        s.Korkeus = 40;
        s.DrawFrame = true;
        s.Color = clRed;
        ASSERT_TRUE(ForceDirectories(s.SDir));
        // Good files of several readers and sizes, a name shared by two sources, a JPEG
        // that fails while its pixels are decoded, files that are not pictures, a picture too
        // thin to be made a thumbnail, and a name that leads nowhere.
        SaveJpeg(Photo(320, 200, 1), s.SDir + "a.jpg");
        SaveBmp(Photo(90, 120, 2), s.SDir + "a.bmp");
        SaveJpeg(Photo(640, 480, 3), s.SDir + "big.jpeg", true);
        WriteBytes(s.SDir + "broken.jpg", FailingWhenDecoded(ReadBytes(s.SDir + "big.jpeg")));
        WriteText(s.SDir + "c.bmp", "not a bitmap");
        SaveBmp(Photo(33, 17, 4), s.SDir + "d.dib");
        SaveBmp(Photo(2, 900, 5), s.SDir + "e_thin.bmp");
        ASSERT_EQ(symlink("nowhere.png", (s.SDir + "gone.png").c_str()), 0);
        SaveJpeg(Photo(50, 50, 6), s.SDir + "g.jpg");
        names = {"a.jpg", "a.bmp",      "big.jpeg", "broken.jpg", "c.bmp",
                 "d.dib", "e_thin.bmp", "gone.png", "g.jpg"};
    }

    Outcome Run(int jobs, std::function<void(FakeHost&)> onMessages = nullptr)
    {
        Outcome o;
        FakeHost host;
        host.onProcessMessages = std::move(onMessages);
        o.result = DoTheHonkyPonky(s, MakeSelectedFiles(names), host, jobs);
        o.events = host.events;
        o.files = Snapshot(s.DDir);
        std::filesystem::remove_all(s.DDir);
        return o;
    }

    void ExpectSameRuns(const std::string& what)
    {
        Outcome one = Run(1);
        Outcome four = Run(4);
        EXPECT_EQ(four.events, one.events) << what;
        EXPECT_EQ(four.result.processed, one.result.processed) << what;
        EXPECT_EQ(four.result.aborted, one.result.aborted) << what;
        ASSERT_EQ(four.files.size(), one.files.size()) << what;
        for (const auto& [name, bytes] : one.files) {
            ASSERT_EQ(four.files.count(name), 1u) << what << " " << name;
            EXPECT_TRUE(four.files.at(name) == bytes) << what << " " << name;
        }
        // The mix reaches every kind of outcome.
        EXPECT_GE(one.result.processed, 4) << what;
        EXPECT_GE(one.result.total - one.result.processed, 3) << what;
    }
};

TEST_F(ParallelBatch, EveryFormatAndTaskGivesTheOneThreadResult)
{
    for (int todo : {0, 1}) {
        s.ToDo = todo;
        s.KeepFormat = true;
        ExpectSameRuns("kept formats, task " + std::to_string(todo));
        s.KeepFormat = false;
        for (int format = 0; format < kOutputFormatCount; ++format) {
            s.Format = format;
            s.Extension = format == ofJPEG ? "jpg" : "out";
            ExpectSameRuns("format " + std::to_string(format) + ", task " + std::to_string(todo));
        }
    }
}

TEST_F(ParallelBatch, NumberedNamesAndExistingFilesGiveTheOneThreadResult)
{
    s.KeepFormat = false;
    s.Format = ofPNG;
    s.Extension = "png";
    s.NameFormat = "pic<inc>_<same>";
    ExpectSameRuns("numbered");

    // Files already there are kept: every new one gets a suffix, in file order.
    s.NameFormat = "<same>";
    s.Overwrite = false;
    s.CreateHTML = 1; // update the marked block of an existing page
    auto prepare = [&] {
        ASSERT_TRUE(ForceDirectories(s.DDir));
        WriteText(s.DDir + "a.png", "old");
        WriteText(s.DDir + "a(1).png", "old");
        WriteText(s.HTMLFile, "<HTML>\r\n<!--HTML-code created by Tabulonix by Merovane-->\r\n"
                              "<!--HTML-code created by Tabulonix by Merovane-->\r\n</HTML>\r\n");
    };
    prepare();
    Outcome one = Run(1);
    prepare();
    Outcome four = Run(4);
    EXPECT_EQ(four.events, one.events);
    EXPECT_TRUE(four.files == one.files);
    EXPECT_EQ(one.files.at("a.png"), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(one.files.count("a(1)(2).png"), 1u);
}

TEST_F(ParallelBatch, AbortAfterTheThirdFileLeavesWhatOneThreadLeaves)
{
    names = {"a.jpg", "a.bmp", "big.jpeg", "d.dib", "g.jpg"};
    auto abortAtThird = [](int* seen) {
        return [seen](FakeHost& h) {
            if (++*seen == 3)
                h.abort = true;
        };
    };
    int seenOne = 0, seenFour = 0;
    Outcome one = Run(1, abortAtThird(&seenOne));
    Outcome four = Run(4, abortAtThird(&seenFour));
    EXPECT_TRUE(four.result.aborted);
    EXPECT_EQ(four.result.processed, 3);
    EXPECT_EQ(four.events, one.events);
    EXPECT_TRUE(four.files == one.files);
    std::vector<std::string> written;
    for (const auto& f : four.files)
        written.push_back(f.first);
    EXPECT_EQ(written, (std::vector<std::string>{"QVHTML.htm", "a.bmp", "a.jpg", "big.jpg"}));
}

// Thumbnails of JPEG sources decode only the rows they show; their pixels are those of the
// whole picture drawn to scale.
TEST_F(ParallelBatch, JpegThumbnailsHoldTheScaledPixelsOfTheWholePicture)
{
    names = {"a.jpg", "big.jpeg"};
    s.KeepFormat = false;
    s.Format = ofBMP;
    s.Extension = "bmp";
    s.DrawFrame = false;
    s.Korkeus = 37;
    FakeHost host;
    DoTheHonkyPonky(s, MakeSelectedFiles(names), host, 2);
    for (const std::string name : {"a.jpg", "big.jpeg"}) {
        TJPEGImage source;
        source.ReadFile(s.SDir + name);
        source.DIBNeeded();
        TBitmap out;
        out.ReadFile(s.DDir + ExtractFileName(name).substr(0, name.find('.')) + ".bmp");
        ASSERT_EQ(out.Height(), 37) << name;
        TBitmap expected;
        expected.SetSize(out.Width(), out.Height());
        expected.Canvas().StretchMode = smDeleteScans;
        expected.Canvas().StretchBlit(TRect{0, 0, out.Width(), out.Height()}, *source.Bitmap(),
                                      TRect{0, 0, source.Width(), source.Height()}, cmSrcCopy);
        for (int y = 0; y < out.Height(); ++y)
            for (int x = 0; x < out.Width(); ++x)
                ASSERT_EQ(out.Pixel(x, y), expected.Pixel(x, y)) << name << " " << x << "," << y;
    }
}

} // namespace
