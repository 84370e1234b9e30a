#include "platform/Colors.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Halftone.h"
#include "platform/SafeFile.h"
#include "platform/Version.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace tabulonix;

TEST(Files, WildcardMasks)
{
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"English.txt", "*.txt", true},
        {"English.TXT", "*.txt", true},
        {"English.txt.bak", "*.txt", false},
        {".hidden.txt", "*.txt", true},
        {"a.txt", "?.txt", true},
        {"ab.txt", "?.txt", false},
        {"noext", "*.*", true},
        {"noext", "*", true},
        {"photo.jpeg", "*.jp*g", true},
        {"photo.jpg", "*.jp*g", true},
        {"photo.png", "*.jp*g", false},
        {"aXbXc", "a*b*c", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST(Files, ForceDirectoriesAndEnumeration)
{
    test::TempDir dir;
    std::string deep = dir.File("a/b/c/");
    ASSERT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep)) << "an existing folder is fine";
    test::WriteText(dir.File("a/one.txt"), "1");
    test::WriteText(dir.File("a/.two.txt"), "2");
    test::WriteText(dir.File("a/three.bmp"), "3");
    auto entries = FindFiles(dir.File("a/"), "*.txt");
    std::set<std::string> names;
    for (const auto& e : entries)
        names.insert(e.name);
    EXPECT_EQ(names, (std::set<std::string>{"one.txt", ".two.txt"}));
    auto all = FindFiles(dir.File("a"), "*");
    auto b =
        std::find_if(all.begin(), all.end(), [](const FolderEntry& e) { return e.name == "b"; });
    ASSERT_NE(b, all.end());
    EXPECT_TRUE(b->isDirectory);
    EXPECT_TRUE(FileExists(dir.File("a/one.txt")));
    EXPECT_FALSE(FileExists(dir.File("a/b")));
    // A file in the way of a folder cannot become one.
    EXPECT_FALSE(ForceDirectories(dir.File("a/one.txt/x")));
}

TEST(Files, PathParts)
{
    EXPECT_EQ(ExtractFileExt("/x/photo.Jpeg"), ".Jpeg");
    EXPECT_EQ(ExtractFileExt("/x.y/photo"), "");
    EXPECT_EQ(ExtractFilePath("/x/y/z.png"), "/x/y/");
    EXPECT_EQ(ExtractFileName("/x/y/z.png"), "z.png");
    EXPECT_EQ(IncludeTrailingSlash("/x"), "/x/");
    EXPECT_EQ(IncludeTrailingSlash("/x/"), "/x/");
    EXPECT_TRUE(SameText("ÄBC.JPG", "äbc.jpg")); // Latin-1 letters fold as well
    EXPECT_LT(CompareText("apple", "Banana"), 0);
}

TEST(Version, FourNumbersJoinedByDots)
{
    EXPECT_TRUE(std::regex_match(ProgramVersion(), std::regex(R"(\d+\.\d+\.\d+\.\d+)")))
        << ProgramVersion();
}

TEST(Format, PlaceholdersInOrder)
{
    EXPECT_EQ(Format("Complete! %d of %d images processed!", {"3", "4"}),
              "Complete! 3 of 4 images processed!");
    EXPECT_EQ(Format("100%% of %s", {"x"}), "100% of x");
    EXPECT_EQ(Format("Error opening file %s!", {}), "Error opening file !");
}

TEST(Colors, SystemColoursResolveToRgb)
{
    EXPECT_EQ(ColorToRGB(clRed), clRed);
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clNone), clBlack);
    EXPECT_EQ(GetRValue(RGBColor(1, 2, 3)), 1);
    EXPECT_EQ(GetBValue(RGBColor(1, 2, 3)), 3);
}

TEST(Halftone, DistinctEntriesStartingWithTheStandardColours)
{
    const auto& palette = HalftonePalette();
    std::set<uint32_t> seen;
    for (const auto& q : palette)
        seen.insert(q.red | (q.green << 8) | (q.blue << 16));
    EXPECT_EQ(seen.size(), 256u);
    const auto& std16 = StandardColors16();
    EXPECT_TRUE(std::equal(std16.begin(), std16.end(), palette.begin()));
}

TEST(Halftone, FastNearestAgreesWithLinearSearch)
{
    const auto& palette = HalftonePalette();
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        auto r = static_cast<uint8_t>(rng()), g = static_cast<uint8_t>(rng()),
             b = static_cast<uint8_t>(rng());
        ASSERT_EQ(NearestHalftoneIndex(r, g, b), NearestColorIndex(palette.data(), 256, r, g, b))
            << int(r) << "," << int(g) << "," << int(b);
    }
    // Every palette colour maps to itself.
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(NearestHalftoneIndex(palette[i].red, palette[i].green, palette[i].blue), i);
    // Where the search is cut short and near ties live: colours made of values at the cube
    // cells' edges and at the standard colours' levels, and colours near the greys.
    auto agree = [&](int r, int g, int b) {
        const auto r8 = static_cast<uint8_t>(r), g8 = static_cast<uint8_t>(g),
                   b8 = static_cast<uint8_t>(b);
        return NearestHalftoneIndex(r8, g8, b8) ==
               NearestColorIndex(palette.data(), 256, r8, g8, b8);
    };
    std::vector<int> values;
    for (int v = 0; v < 256; ++v)
        if (v % 51 == 0 || (v % 51 >= 24 && v % 51 <= 27) || (v >= 127 && v <= 129) ||
            (v >= 191 && v <= 193))
            values.push_back(v);
    for (int r : values)
        for (int g : values)
            for (int b : values)
                ASSERT_TRUE(agree(r, g, b)) << r << "," << g << "," << b;
    for (int v = 0; v < 256; ++v)
        for (int dg = -3; dg <= 3; ++dg)
            for (int db = -3; db <= 3; ++db)
                ASSERT_TRUE(agree(v, std::clamp(v + dg, 0, 255), std::clamp(v + db, 0, 255)))
                    << v << " " << dg << " " << db;
}

TEST(SafeFile, ReplacesWholeOrNotAtAll)
{
    test::TempDir dir;
    std::string page = dir.File("page.htm");
    ASSERT_TRUE(ReplaceFileContent(page, "first\r\n"));
    EXPECT_EQ(test::ReadText(page), "first\r\n");
    ASSERT_EQ(chmod(page.c_str(), 0640), 0);
    ASSERT_TRUE(ReplaceFileContent(page, "second"));
    EXPECT_EQ(test::ReadText(page), "second");
    struct stat st {};
    ASSERT_EQ(stat(page.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the mode is kept";
    // Through a link the link stays and its target changes.
    std::string link = dir.File("link.htm");
    ASSERT_EQ(symlink(page.c_str(), link.c_str()), 0);
    ASSERT_TRUE(ReplaceFileContent(ResolveLink(link), "third"));
    EXPECT_EQ(test::ReadText(page), "third");
    struct stat lst {};
    ASSERT_EQ(lstat(link.c_str(), &lst), 0);
    EXPECT_TRUE(S_ISLNK(lst.st_mode));
    // A folder in the way, or a missing folder: refused, nothing left behind.
    ASSERT_TRUE(ForceDirectories(dir.File("sub")));
    EXPECT_FALSE(ReplaceFileContent(dir.File("sub"), "x"));
    EXPECT_FALSE(ReplaceFileContent(dir.File("missing/page.htm"), "x"));
    EXPECT_EQ(FindFiles(dir.Path(), ".page.htm.*").size(), 0u) << "no temporary file left";
}

// A writer that fails or is dropped half-way leaves the old file and nothing else; a
// signal handler can remove what is being written at that moment.
TEST(SafeFile, HalfWrittenContentNeverReplacesTheFile)
{
    test::TempDir dir;
    std::string photo = dir.File("photo.jpg");
    test::WriteText(photo, "the original photo");
    auto onlyThePhoto = [&] {
        std::vector<std::string> names;
        for (const auto& e : FindFiles(dir.Path(), "*"))
            names.push_back(e.name);
        return names == std::vector<std::string>{"photo.jpg"};
    };
    {
        SafeFileWriter file(photo);
        file.Write("half of", 7);
        EXPECT_EQ(file.Position(), 7u);
        EXPECT_EQ(ExtractFilePath(file.TemporaryPath()), dir.Path());
        EXPECT_TRUE(FileExists(file.TemporaryPath()));
        // no Commit: an encoder failed
    }
    EXPECT_EQ(test::ReadText(photo), "the original photo");
    EXPECT_TRUE(onlyThePhoto());

    {
        SafeFileWriter file(photo);
        file.Write("interrupted", 11);
        std::string temp = file.TemporaryPath();
        RemovePendingTemporaryFiles();
        EXPECT_FALSE(FileExists(temp));
        EXPECT_THROW(file.Commit(), EStreamError);
    }
    EXPECT_EQ(test::ReadText(photo), "the original photo");
    EXPECT_TRUE(onlyThePhoto());

    SafeFileWriter done(photo);
    done.Write("new", 3);
    done.Commit();
    RemovePendingTemporaryFiles(); // a committed file is no longer pending
    EXPECT_EQ(test::ReadText(photo), "new");
    EXPECT_TRUE(onlyThePhoto());
}

TEST(SafeFile, NewFilesTakeTheDefaultModeAndRefusalsSayWhy)
{
    test::TempDir dir;
    mode_t mask = umask(022);
    {
        SafeFileWriter file(dir.File("new.png"));
        file.Commit();
    }
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat(dir.File("new.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "not the 0600 of a temporary file";

    try {
        SafeFileWriter file(dir.File("missing/new.png"));
        ADD_FAILURE() << "a missing folder is refused";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.ErrorNumber(), ENOENT);
    }
    ASSERT_TRUE(ForceDirectories(dir.File("folder.png")));
    try {
        SafeFileWriter file(dir.File("folder.png"));
        ADD_FAILURE() << "a folder is not replaced";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.ErrorNumber(), EISDIR);
    }
}
