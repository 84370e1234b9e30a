#include "i18n/LanguageList.h"
#include "i18n/HelpFile.h"
#include "platform/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tabulonix {
namespace {

using test::TempDir;
using test::WriteText;

void WriteFlag(const std::string& path, int width, int height, TColor color)
{
    TBitmap flag;
    flag.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            flag.SetPixel(x, y, color);
    flag.WriteFile(path);
}

const LanguageEntry* Find(const LanguageList& list, const std::string& text)
{
    auto it = std::find_if(list.entries.begin(), list.entries.end(),
                           [&](const LanguageEntry& e) { return e.text == text; });
    return it == list.entries.end() ? nullptr : &*it;
}

TEST(LanguageList, FilesFlagsAndTheBuiltInEntry)
{
    TempDir dir;
    WriteText(dir.File("Finnish.txt"), "[Misc]\r\n");
    WriteFlag(dir.File("Finnish.bmp"), 16, 16, clBlue);
    WriteText(dir.File("German.txt"), "");
    WriteText(dir.File(".Hidden.txt"), "");
    WriteText(dir.File("Broken.txt"), "");
    WriteText(dir.File("Broken.bmp"), "not a bitmap at all");
    WriteText(dir.File("notes.doc"), "");
    ASSERT_TRUE(ForceDirectories(dir.File("Folder.txt")));

    LanguageList list = BuildLanguageList(dir.Path(), FlagSize::AsLoaded);
    ASSERT_EQ(list.entries.size(), 5u);
    EXPECT_EQ(list.entries[0].text, kDefaultLanguageName);
    EXPECT_EQ(list.entries[0].icon, kEnglishFlagIcon);
    EXPECT_EQ(Find(list, "Folder"), nullptr);
    EXPECT_EQ(Find(list, "notes"), nullptr);
    ASSERT_NE(Find(list, ".Hidden"), nullptr);
    EXPECT_EQ(Find(list, ".Hidden")->icon, kBlankFlagIcon);
    ASSERT_NE(Find(list, "German"), nullptr);
    EXPECT_EQ(Find(list, "German")->icon, kBlankFlagIcon);
    ASSERT_NE(Find(list, "Broken"), nullptr);
    EXPECT_EQ(Find(list, "Broken")->icon, kBlankFlagIcon);
    const LanguageEntry* finnish = Find(list, "Finnish");
    ASSERT_NE(finnish, nullptr);
    ASSERT_EQ(list.icons.size(), 3u);
    EXPECT_EQ(finnish->icon, 2);
    EXPECT_EQ(list.icons[2].Pixel(5, 5), clBlue);

    // The order is the file system's, as FindFiles gives it.
    std::vector<std::string> expected;
    for (const auto& e : FindFiles(dir.Path(), "*.txt"))
        if (!e.isDirectory)
            expected.push_back(e.name.substr(0, e.name.size() - 4));
    std::vector<std::string> actual;
    for (size_t i = 1; i < list.entries.size(); ++i)
        actual.push_back(list.entries[i].text);
    EXPECT_EQ(actual, expected);
}

TEST(LanguageList, FlagSizes)
{
    TempDir dir;
    WriteText(dir.File("Big.txt"), "");
    WriteFlag(dir.File("Big.bmp"), 20, 12, clRed);
    WriteText(dir.File("Small.txt"), "");
    WriteFlag(dir.File("Small.bmp"), 8, 24, clGreen);

    LanguageList loaded = BuildLanguageList(dir.Path(), FlagSize::AsLoaded);
    LanguageList cut = BuildLanguageList(dir.Path(), FlagSize::Cut16);
    const TBitmap& bigLoaded = loaded.icons[Find(loaded, "Big")->icon];
    EXPECT_EQ(bigLoaded.Width(), 20);
    EXPECT_EQ(bigLoaded.Height(), 12);

    const TBitmap& big = cut.icons[Find(cut, "Big")->icon];
    const TBitmap& small = cut.icons[Find(cut, "Small")->icon];
    for (const TBitmap* flag : {&big, &small}) {
        EXPECT_EQ(flag->Width(), 16);
        EXPECT_EQ(flag->Height(), 16);
    }
    EXPECT_EQ(big.Pixel(15, 11), clRed);
    EXPECT_EQ(big.Pixel(0, 12), clWhite); // extended below the picture
    EXPECT_EQ(small.Pixel(7, 15), clGreen);
    EXPECT_EQ(small.Pixel(8, 0), clWhite); // extended right of it
}

TEST(LanguageList, NoFolderGivesOnlyEnglish)
{
    TempDir dir;
    LanguageList list = BuildLanguageList(dir.File("Languages/"), FlagSize::Cut16);
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].text, "Default (English)");
    ASSERT_EQ(list.icons.size(), 2u);
    for (const TBitmap& flag : list.icons) {
        EXPECT_EQ(flag.Width(), 16);
        EXPECT_EQ(flag.Height(), 16);
    }
    EXPECT_FALSE(list.icons[0].Equals(list.icons[1]));
}

TEST(HelpFile, OwnFileOrTheEnglishOne)
{
    TempDir dir;
    ASSERT_TRUE(ForceDirectories(dir.File("Helps")));
    WriteText(dir.File("Helps/QVFinnish.hlp"), "help");
    EXPECT_EQ(ChooseHelpFile("Finnish", dir.Path()), dir.File("Helps/QVFinnish.hlp"));
    EXPECT_EQ(ChooseHelpFile("German", dir.Path()), dir.File("Helps/QVEnglish.hlp"));
    EXPECT_EQ(ChooseHelpFile("Default (English)", dir.Path()), dir.File("Helps/QVEnglish.hlp"));
    EXPECT_EQ(ChooseHelpFile("German"), ExecutableFolder() + "Helps/QVEnglish.hlp");
}

TEST(FileList, QuotedCommaSeparatedItems)
{
    TempDir dir;
    WriteText(dir.File("a.txt"), "");
    ASSERT_TRUE(ForceDirectories(dir.File("sub.txt")));
    EXPECT_EQ(FileListText(dir.Path(), "*.txt", true), "\"" + dir.File("a.txt") + "\"");
    EXPECT_EQ(FileListText(dir.Path(), "*.txt", false), "\"a\"");
    WriteText(dir.File("b.c.txt"), "");
    std::string names = FileListText(dir.Path(), "*.txt", false);
    EXPECT_TRUE(names == "\"a\",\"b.c\"" || names == "\"b.c\",\"a\"") << names;
    EXPECT_EQ(FileListText(dir.File("missing"), "*", false), "");
}

} // namespace
} // namespace tabulonix
