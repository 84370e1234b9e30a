#include "ui/Thumbnails.h"

#include "TestPictures.h"
#include "TestSupport.h"
#include "codecs/Picture.h"
#include "engine/OutputEncoders.h"

#include <gtest/gtest.h>

using namespace tabulonix;

TEST(ThumbnailSize, LongerSideBecomesHundredOthersKeepTheirSize)
{
    struct Case {
        int w, h, tw, th;
    };
    for (const Case& c : {Case{400, 300, 100, 75}, Case{300, 400, 75, 100}, Case{80, 60, 80, 60},
                          Case{201, 2, 100, 1}, Case{100, 100, 100, 100}, Case{101, 101, 100, 100},
                          Case{100, 40, 100, 40},
                          // 1.5 and 12.5 rounded half to even
                          Case{200, 3, 100, 2}, Case{600, 9, 100, 2}, Case{1000, 125, 100, 12},
                          // a side that would round to nothing (0.5) keeps one pixel
                          Case{200, 1, 100, 1}, Case{1000, 5, 100, 1}, Case{1, 300, 1, 100}}) {
        EXPECT_EQ(ThumbnailSizeFor(c.w, c.h), (ThumbnailSize{c.tw, c.th})) << c.w << " x " << c.h;
    }
}

namespace {

// The reduction rule written out independently: target pixel i of n takes source pixel
// floor((2i + 1) * m / (2n)) of m.
int SourceIndex(int i, int n, int m)
{
    return static_cast<int>((int64_t{2} * i + 1) * m / (2 * n));
}

struct Rgba {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels; // RGBA
    QRgb At(int x, int y) const
    {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        // Transparent pixels were drawn onto white.
        if (p[3] == 0)
            return qRgb(255, 255, 255);
        return qRgb(p[0], p[1], p[2]);
    }
};

Rgba Reference(const std::string& path)
{
    auto ref = test::DecodeWithPillow(path);
    if (!ref)
        return {};
    return Rgba{ref->width, ref->height, ref->rgba};
}

void ExpectRule(const QImage& thumb, const Rgba& source, const std::string& what)
{
    const ThumbnailSize size = ThumbnailSizeFor(source.width, source.height);
    ASSERT_EQ(thumb.width(), size.width) << what;
    ASSERT_EQ(thumb.height(), size.height) << what;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const QRgb want = source.At(SourceIndex(x, size.width, source.width),
                                        SourceIndex(y, size.height, source.height));
            ASSERT_EQ(thumb.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF)
                << what << " at " << x << "," << y;
        }
}

void Write(int format, TBitmap& picture, const std::string& path, const std::string& extension)
{
    JobSettings settings;
    settings.TrackBar = 90;
    TOutputEncoders encoders;
    encoders.Save(format, picture, path, extension, settings);
}

} // namespace

// Each format is read by its own class; the result must be the rule applied to what an
// independent decoder sees in the file.
TEST(MakeThumbnail, FollowsTheNearestNeighbourRuleForEveryFormat)
{
    test::TempDir dir;
    struct Case {
        TOutputFormat format;
        const char* extension;
        int w, h;
    };
    for (const Case& c :
         {Case{ofBMP, "bmp", 237, 151}, Case{ofPNG, "png", 151, 237}, Case{ofJPEG, "jpg", 320, 97},
          Case{ofGIF, "gif", 133, 133}, Case{ofTGA, "tga", 90, 250}, Case{ofBMP, "bmp", 83, 61}}) {
        const std::string path =
            dir.File(std::to_string(c.w) + "x" + std::to_string(c.h) + "." + c.extension);
        TBitmap picture = test::Pattern(c.w, c.h);
        Write(c.format, picture, path, c.extension);
        const Rgba source = Reference(path);
        ASSERT_EQ(source.width, c.w) << path;
        ThumbnailResult result = LoadThumbnail(path);
        ASSERT_FALSE(result.image.isNull()) << path;
        ExpectRule(result.image, source, path);
    }
}

// A GIF is not a bitmap: it is drawn onto white first, so its transparent pixels are white.
TEST(MakeThumbnail, TransparentPixelsOfOtherPictureClassesBecomeWhite)
{
    test::TempDir dir;
    const std::string path = dir.File("see-through.gif");
    const std::string script = "from PIL import Image\n"
                               "im = Image.new('P', (230, 70))\n"
                               "im.putpalette([0,0,0, 200,10,10, 10,200,10] + [0]*759)\n"
                               "for y in range(70):\n"
                               "    for x in range(230):\n"
                               "        im.putpixel((x, y), (x // 7 + y // 5) % 3)\n"
                               "im.save('" +
                               path + "', transparency=0)\n";
    test::WriteText(dir.File("make.py"), script);
    ASSERT_EQ(
        test::RunCommand("/usr/bin/python3 " + test::ShellQuote(dir.File("make.py"))).exitCode, 0);
    const Rgba source = Reference(path);
    ASSERT_EQ(source.width, 230);
    ThumbnailResult result = LoadThumbnail(path);
    ASSERT_FALSE(result.image.isNull());
    ExpectRule(result.image, source, path);
    EXPECT_EQ(result.image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(MakeThumbnail, SmallBitmapsStayAsTheyAre)
{
    test::TempDir dir;
    TBitmap picture = test::Pattern(100, 37);
    picture.SetPixelFormat(pf8bit);
    picture.WriteFile(dir.File("small.bmp"));
    TBitmap thumb = MakeThumbnail(dir.File("small.bmp"));
    EXPECT_EQ(thumb.BitsPerPixel(), 8);
    ASSERT_EQ(thumb.Width(), 100);
    ASSERT_EQ(thumb.Height(), 37);
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(thumb.Pixel(x, y), picture.Pixel(x, y)) << x << "," << y;
}

TEST(MakeThumbnail, ReducedCopiesAreTwentyFourBit)
{
    test::TempDir dir;
    TBitmap picture = test::Pattern(300, 200);
    picture.SetPixelFormat(pf8bit);
    picture.WriteFile(dir.File("big.bmp"));
    EXPECT_EQ(MakeThumbnail(dir.File("big.bmp")).BitsPerPixel(), 24);
}

TEST(MakeThumbnail, UnreadableFilesGiveNoThumbnail)
{
    test::TempDir dir;
    test::WriteText(dir.File("broken.jpg"), "not a picture at all");
    test::WriteText(dir.File("short.png"), "\x89PNG\r\n\x1a\n");
    EXPECT_THROW(MakeThumbnail(dir.File("broken.jpg")), std::exception);
    EXPECT_TRUE(LoadThumbnail(dir.File("broken.jpg")).image.isNull());
    EXPECT_TRUE(LoadThumbnail(dir.File("short.png")).image.isNull());
    EXPECT_TRUE(LoadThumbnail(dir.File("missing.bmp")).image.isNull());
}
