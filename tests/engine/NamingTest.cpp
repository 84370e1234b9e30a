#include "engine/DestinationNaming.h"
#include "engine/JobSettings.h"

#include "TestSupport.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

using namespace tabulonix;
using tabulonix::test::TempDir;
using tabulonix::test::WriteText;

namespace {

TEST(SelectedFilesTest, SortedWithoutCaseAndWithoutDuplicates)
{
    SelectedFileList list =
        MakeSelectedFiles({"b.jpg", "A.jpg", "a.JPG", "c.png", "B.jpg", "a.gif"});
    std::vector<std::string> expected = {"a.gif", "A.jpg", "b.jpg", "c.png"};
    EXPECT_EQ(list.Names(), expected);

    // A caller's collation decides both the order and what counts as the same name.
    auto exact = [](const std::string& a, const std::string& b) { return b.compare(a); };
    SelectedFileList reversed = MakeSelectedFiles({"b.jpg", "A.jpg", "a.jpg", "b.jpg"}, exact);
    EXPECT_EQ(reversed.Names(), (std::vector<std::string>{"b.jpg", "a.jpg", "A.jpg"}));
}

TEST(NamingTest, PatternTagsIgnoreCase)
{
    EXPECT_EQ(ApplyNamePattern("<same>tn", "Image", 1), "Imagetn");
    EXPECT_EQ(ApplyNamePattern("<SAME>-<Inc>", "x", 12), "x-12");
    EXPECT_EQ(ApplyNamePattern("pic<inc><inc>", "x", 3), "pic33");
    EXPECT_EQ(ApplyNamePattern("plain", "x", 3), "plain");
}

TEST(NamingTest, KeptFormatTable)
{
    struct Case {
        const char* ext;
        const char* written;
        int format;
    } cases[] = {
        {".JPEG", ".jpg", ofJPEG}, {".jfif", ".jpg", ofJPEG}, {".tif", ".jpg", ofJPEG},
        {"", ".jpg", ofJPEG},      {".VST", ".tga", ofTGA},   {".win", ".tga", ofTGA},
        {".Gif", ".gif", ofGIF},   {".png", ".png", ofPNG},   {".rle", ".bmp", ofBMP},
        {".dib", ".bmp", ofBMP},   {".WMF", ".wmf", ofWMF},   {".emf", ".emf", ofEMF},
    };
    for (const auto& c : cases) {
        std::string ext;
        int format = -1;
        KeptFormatFor(c.ext, ext, format);
        EXPECT_EQ(ext, c.written) << c.ext;
        EXPECT_EQ(format, c.format) << c.ext;
    }
    EXPECT_TRUE(ForcesWindowsMetafile(".WmF"));
    EXPECT_FALSE(ForcesWindowsMetafile(".emf"));
}

struct NamingFixture : ::testing::Test {
    TempDir dir;
    JobSettings s;
    void SetUp() override { s.DDir = dir.Path() + "out/sub/"; }
};

TEST_F(NamingFixture, KeepFormatNamesAndCreatesTheFolder)
{
    s.NameFormat = "<same>tn";
    TDestinationNaming naming(s);
    DestinationName a = naming.FormDestinationName("Image.jpg", 1);
    EXPECT_EQ(a.FileName(), "Imagetn.jpg");
    EXPECT_TRUE(a.folderReady);
    EXPECT_TRUE(DirectoryExists(s.DDir));
    EXPECT_EQ(naming.FormDestinationName("photo.JPEG", 2).FileName(), "phototn.jpg");
    EXPECT_EQ(naming.FormDestinationName("frame.VST", 3).FileName(), "frametn.tga");
    EXPECT_EQ(naming.FormDestinationName("frame.VST", 3).format, ofTGA);
    EXPECT_EQ(naming.FormDestinationName("noext", 4).FileName(), "noexttn.jpg");
    EXPECT_EQ(naming.FormDestinationName("a.b.c.png", 5).FileName(), "a.b.ctn.png");
}

TEST_F(NamingFixture, TypedExtensionKeepsItsCase)
{
    s.KeepFormat = false;
    s.Format = ofGIF;
    s.Extension = "GIF";
    TDestinationNaming naming(s);
    DestinationName d = naming.FormDestinationName("photo.jpg", 1);
    EXPECT_EQ(d.FileName(), "photo.GIF");
    EXPECT_EQ(d.format, ofGIF);
}

TEST_F(NamingFixture, RunCollisionsAccumulateAndIgnoreCase)
{
    s.NameFormat = "x";
    TDestinationNaming naming(s);
    EXPECT_EQ(naming.FormDestinationName("a.jpg", 1).FileName(), "x.jpg");
    EXPECT_EQ(naming.FormDestinationName("b.jpg", 2).FileName(), "x(1).jpg");
    EXPECT_EQ(naming.FormDestinationName("c.jpg", 3).FileName(), "x(1)(2).jpg");

    JobSettings png = s;
    png.NameFormat = "<same>";
    png.KeepFormat = false;
    png.Format = ofPNG;
    png.Extension = "png";
    TDestinationNaming second(png);
    EXPECT_EQ(second.FormDestinationName("a.gif", 1).FileName(), "a.png");
    EXPECT_EQ(second.FormDestinationName("A.jpg", 2).FileName(), "A(1).png");
}

TEST_F(NamingFixture, ExistingFilesNumberedOnlyWithoutOverwrite)
{
    ASSERT_TRUE(ForceDirectories(s.DDir));
    WriteText(s.DDir + "a.jpg", "x");
    WriteText(s.DDir + "a(1).jpg", "x");
    s.NameFormat = "a";
    s.Overwrite = false;
    TDestinationNaming keep(s);
    EXPECT_EQ(keep.FormDestinationName("p.jpg", 1).FileName(), "a(1)(2).jpg");

    s.Overwrite = true;
    TDestinationNaming replace(s);
    EXPECT_EQ(replace.FormDestinationName("p.jpg", 1).FileName(), "a.jpg");
    EXPECT_EQ(replace.FormDestinationName("q.jpg", 2).FileName(), "a(1).jpg");
    EXPECT_TRUE(replace.IsUsed("A.JPG"));
}

TEST_F(NamingFixture, FolderThatCannotBeMadeIsReported)
{
    WriteText(dir.File("file"), "x");
    s.DDir = dir.Path() + "file/below/";
    TDestinationNaming naming(s);
    DestinationName d = naming.FormDestinationName("a.jpg", 1);
    EXPECT_FALSE(d.folderReady);
    EXPECT_TRUE(naming.IsUsed("a.jpg"));
}

} // namespace
