// The format registry, the picture holder and the image control.
#include "codecs/Picture.h"
#include "codecs/Registry.h"
#include "codecs/formats/Icon.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tabulonix;

namespace {

void WriteBmp(const std::string& path, int w, int h, TColor colour)
{
    TBitmap b;
    b.SetSize(w, h);
    b.Canvas().Brush.Color = colour;
    b.Canvas().FillRect(TRect{0, 0, w, h});
    b.WriteFile(path);
}

std::string OpenError(TPicture& picture, const std::string& path)
{
    try {
        picture.OpenFile(path);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Registry, LookupIsCaseInsensitiveAndTheLastEntryWins)
{
    TFileFormatsList list;
    list.Add("XYZ", "first", TGraphicClass{"First", nullptr});
    list.Add("xyz", "second", TGraphicClass{"Second", nullptr});
    list.Add("abc", "other", TGraphicClass{"Other", nullptr});
    ASSERT_NE(list.FindExtension("xYz"), nullptr);
    EXPECT_EQ(list.FindExtension("xYz")->name, "Second");
    EXPECT_EQ(list.Entries()[0].extension, "xyz") << "stored in lower case";
    EXPECT_EQ(list.FindExtension("png"), nullptr);
    EXPECT_EQ(FindExtension("BMP")->name, "TBitmap");
    EXPECT_EQ(FindExtension("ico")->name, "TIcon");
    EXPECT_EQ(FindExtension("dib")->name, "TBitmap");
}

TEST(Picture, OpensByExtensionInAnyCase)
{
    test::TempDir dir;
    for (const char* name : {"a.bmp", "b.BMP", "c.Dib", "d.rle"}) {
        WriteBmp(dir.File(name), 3, 2, clRed);
        TPicture p;
        p.OpenFile(dir.File(name));
        ASSERT_NE(p.Graphic(), nullptr) << name;
        EXPECT_STREQ(p.Graphic()->ClassName(), "TBitmap");
        EXPECT_EQ(p.Width(), 3);
        EXPECT_EQ(p.Height(), 2);
    }
}

TEST(Picture, UnknownExtensionsAreNamedAsWritten)
{
    test::TempDir dir;
    WriteBmp(dir.File("photo"), 1, 1, clRed);
    WriteBmp(dir.File("photo.XyZ"), 1, 1, clRed);
    TPicture p;
    EXPECT_EQ(OpenError(p, dir.File("photo")), "Unknown picture file extension (.)");
    EXPECT_EQ(OpenError(p, dir.File("photo.XyZ")), "Unknown picture file extension (.XyZ)");
    EXPECT_EQ(p.Graphic(), nullptr);
}

TEST(Picture, AFailedOpenKeepsThePreviousPictureAndSize)
{
    test::TempDir dir;
    WriteBmp(dir.File("good.bmp"), 40, 30, clBlue);
    test::WriteText(dir.File("bad.bmp"), "not a bitmap at all");
    TImage image;
    image.AutoSize = true;
    image.Picture().OpenFile(dir.File("good.bmp"));
    EXPECT_EQ(image.Width(), 40);
    EXPECT_EQ(OpenError(image.Picture(), dir.File("bad.bmp")), "Bitmap image is not valid");
    EXPECT_EQ(OpenError(image.Picture(), dir.File("missing.bmp")).rfind("Cannot open file", 0), 0u);
    ASSERT_NE(image.Picture().Graphic(), nullptr);
    EXPECT_EQ(image.Picture().Width(), 40);
    EXPECT_EQ(image.Width(), 40);
    EXPECT_EQ(image.Height(), 30);
}

TEST(Picture, EmptyPicturesLeaveAnAutoSizedControlAlone)
{
    test::TempDir dir;
    test::WriteBytes(dir.File("empty.bmp"), {});
    TImage image;
    image.AutoSize = true;
    image.Picture().OpenFile(dir.File("empty.bmp"));
    EXPECT_EQ(image.Width(), 105);
    EXPECT_EQ(image.Height(), 105);
}

TEST(Picture, AssignmentCopiesAndEmptyAssignmentFrees)
{
    TPicture a, b;
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(4, 4);
    a.SetGraphic(std::move(bitmap));
    int notifications = 0;
    b.OnChange = [&](TPicture&) { ++notifications; };
    b.Assign(a);
    ASSERT_NE(b.Graphic(), nullptr);
    EXPECT_NE(b.Graphic(), a.Graphic());
    EXPECT_EQ(b.Width(), 4);
    EXPECT_GE(notifications, 1);
    TPicture empty;
    b.Assign(empty);
    EXPECT_EQ(b.Graphic(), nullptr);
}

TEST(Picture, AsBitmapReplacesOtherGraphics)
{
    TPicture p;
    p.SetGraphic(std::make_unique<TIcon>());
    TBitmap& b = p.AsBitmap();
    EXPECT_EQ(p.Graphic(), &b);
    EXPECT_EQ(&p.AsBitmap(), &b) << "a held bitmap is returned as it is";
}

TEST(Image, CanvasMakesAWhiteBitmapOfTheControlSize)
{
    TImage image;
    TCanvas& c = image.Canvas();
    EXPECT_EQ(c.Target().Width(), 105);
    EXPECT_EQ(c.Target().Height(), 105);
    EXPECT_EQ(c.Target().Pixel(104, 104), clWhite);
    TImage withIcon;
    withIcon.Picture().SetGraphic(std::make_unique<TIcon>());
    try {
        withIcon.Canvas();
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Can only modify an image if it contains a bitmap");
    }
}

TEST(Image, RasterSourcesArePaintedOpaque)
{
    test::TempDir dir;
    WriteBmp(dir.File("x.bmp"), 2, 2, clRed);
    TImage image;
    auto b = std::make_unique<TBitmap>();
    b->SetTransparent(true);
    image.Picture().SetGraphic(std::move(b));
    EXPECT_FALSE(image.Picture().Graphic()->Transparent());
    image.Picture().OpenFile(dir.File("x.bmp"));
    EXPECT_FALSE(image.Picture().Graphic()->Transparent());
}

TEST(Registry, OpensExactlyTheFortyExtensions)
{
    const std::vector<std::string> expected = {
        "bmp", "bw",   "cel", "cut",  "dib", "emf",  "eps", "fax",  "gif", "icb",
        "ico", "jfif", "jpe", "jpeg", "jpg", "pbm",  "pcc", "pcd",  "pcx", "pdd",
        "pgm", "pic",  "png", "ppm",  "psd", "psp",  "rgb", "rgba", "rla", "rle",
        "rpf", "scr",  "sgi", "tga",  "tif", "tiff", "vda", "vst",  "win", "wmf"};
    EXPECT_EQ(ReadableExtensions(), expected);
    // The last registration decides: PNG files are read by the reader, not the writer.
    EXPECT_EQ(FindExtension("png")->name, "TPNGGraphic");
    EXPECT_EQ(FindExtension("PNG")->name, "TPNGGraphic");
    EXPECT_EQ(FindExtension("jpg")->name, "TJPEGImage");
    EXPECT_EQ(FindExtension("gif")->name, "TGIFImage");
    EXPECT_EQ(FindExtension("tga")->name, "TTargaGraphic");
    EXPECT_EQ(FindExtension("emf")->name, "TMetafile");
    // Registration order of the first entries.
    const auto& entries = FileFormats().Entries();
    ASSERT_GE(entries.size(), 5u);
    EXPECT_EQ(entries[0].extension, "wmf");
    EXPECT_EQ(entries[1].extension, "emf");
    EXPECT_EQ(entries[2].extension, "ico");
    EXPECT_EQ(entries[3].extension, "bmp");
    EXPECT_EQ(entries[4].extension, "png");
    EXPECT_EQ(entries[4].graphicClass.name, "TPNGWriter");
}

TEST(Picture, AGifNamedPngIsRefusedByThePngReader)
{
    TABULONIX_NEED(!test::CorpusDir().empty(), "the test corpus");
    auto gifs = test::CorpusFiles("gif/giflib-pic", {"gif"});
    TABULONIX_NEED(!gifs.empty(), "GIF files in gif/giflib-pic");
    test::TempDir dir;
    test::WriteBytes(dir.File("fake.png"),
                     test::ReadBytes(test::CorpusDir() + "gif/giflib-pic/" + gifs[0]));
    TPicture p;
    EXPECT_NE(OpenError(p, dir.File("fake.png")), "");
    EXPECT_EQ(p.Graphic(), nullptr);
}
