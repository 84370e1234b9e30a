#include "i18n/IniLang.h"
#include "i18n/Messages.h"
#include "i18n/TextEncoding.h"
#include "platform/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace tabulonix {
namespace {

using namespace std::string_literals;
using test::TempDir;
using test::WriteText;

std::string DataFolder()
{
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/../data/lang/";
}

// Makes a language file current for one test and restores "none" afterwards.
class CurrentLanguage {
  public:
    explicit CurrentLanguage(const std::string& text)
    {
        SetCurrentLanguageFile(std::make_shared<const TLanguageFile>(TLanguageFile::Parse(text)));
    }
    ~CurrentLanguage() { SetCurrentLanguageFile(nullptr); }
};

TEST(LanguageFile, BaselineParses)
{
    for (const char* name : {"Finnish", "German1252", "Bom"}) {
        LanguageFilePtr file = OpenLanguageFileAt(DataFolder() + name + ".txt");
        ASSERT_TRUE(file) << name;
        EXPECT_EQ(file->Dump(), test::ReadText(DataFolder() + name + ".baseline")) << name;
    }
}

TEST(LanguageFile, SyntaxRules)
{
    TLanguageFile f = TLanguageFile::Parse("; comment\r\n"
                                           "Key=before any section\r\n"
                                           "[PaaIkkuna]\n"
                                           "  paaikkuna.caption  =  Otsikko  \r"
                                           "PaaIkkuna.Label1.Caption=a=b\n"
                                           ";PaaIkkuna.Label2.Caption=commented\n"
                                           "PaaIkkuna.Label3.Caption\n"
                                           "PaaIkkuna.Label4.Caption=first\n"
                                           "PaaIkkuna.Label4.Caption=second\n"
                                           "[ [Odd] ]\n"
                                           "x=1\n");
    EXPECT_EQ(f.ReadString("PAAIKKUNA", "PaaIkkuna.Caption", "?"), "Otsikko");
    EXPECT_EQ(f.ReadString("PaaIkkuna", "PaaIkkuna.Label1.Caption", "?"), "a=b");
    EXPECT_EQ(f.ReadString("PaaIkkuna", ";PaaIkkuna.Label2.Caption", "?"), "?");
    EXPECT_EQ(f.ReadString("PaaIkkuna", "PaaIkkuna.Label3.Caption", "?"), "?");
    EXPECT_EQ(f.ReadString("PaaIkkuna", "PaaIkkuna.Label4.Caption", "?"), "second");
    EXPECT_EQ(f.ReadString("PaaIkkuna", "Key", "?"), "?");
    EXPECT_EQ(f.ReadString("[Odd]", "X", "?"), "1");
    EXPECT_FALSE(f.HasSection("Misc"));
}

TEST(LanguageFile, LastBlockOfRepeatedSectionWins)
{
    TLanguageFile f =
        TLanguageFile::Parse("[PaaIkkuna]\nA=1\nB=2\n[Misc]\nM001=x\n[paaikkuna]\nB=3\n");
    EXPECT_FALSE(f.HasKey("PaaIkkuna", "A"));
    EXPECT_EQ(f.ReadString("PaaIkkuna", "B", ""), "3");
    EXPECT_EQ(f.ReadString("Misc", "M001", ""), "x");
}

TEST(LanguageFile, LatinLettersMatchWithoutCase)
{
    TLanguageFile f = TLanguageFile::Parse("[Ääkköset]\nTÄSSÄ=kyllä\n");
    EXPECT_EQ(f.ReadString("ääkköset", "tässä", ""), "kyllä");
}

TEST(LanguageFile, Decoding)
{
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("P\xC3\xA4\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    for (const std::string& bad : {"\xE4"s, "\xC0\x80"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s,
                                   "\xE2\x82"s, "\x80"s, "\xF8\x88\x80\x80\x80"s})
        EXPECT_FALSE(IsValidUtf8(bad)) << testing::PrintToString(bad);
    EXPECT_EQ(Windows1252ToUtf8("\x80\x81\x9F\xA0\xE4\xFF"),
              "\xE2\x82\xAC\xEF\xBF\xBD\xC5\xB8\xC2\xA0\xC3\xA4\xC3\xBF");
    // One invalid byte makes the whole file Windows-1252.
    EXPECT_EQ(DecodeLanguageText("\xC3\xA4 \xE4"), "\xC3\x83\xC2\xA4 \xC3\xA4");
    EXPECT_EQ(DecodeLanguageText("\xEF\xBB\xBFx"), "x");
}

TEST(LanguageFile, OpeningReplacesCurrentFile)
{
    TempDir dir;
    WriteText(dir.File("Finnish.txt"), "[Misc]\r\nM038=Seuraava\r\n");
    LanguageFilePtr finnish = OpenLanguageFileAt(dir.File("Finnish.txt"));
    ASSERT_TRUE(finnish);
    SetCurrentLanguageFile(finnish);
    EXPECT_EQ(LangMessage("M038"), "Seuraava");

    // The whole file is read at opening: later changes on disk are not seen.
    WriteText(dir.File("Finnish.txt"), "[Misc]\r\nM038=Muutettu\r\n");
    EXPECT_EQ(LangMessage("M038"), "Seuraava");

    SetCurrentLanguageFile(OpenLanguageFileAt(dir.File("Missing.txt")));
    EXPECT_EQ(CurrentLanguageFile(), nullptr);
    EXPECT_EQ(LangMessage("M038"), "Next");

    // A folder named like a language file is no file.
    ASSERT_TRUE(ForceDirectories(dir.File("Folder.txt")));
    EXPECT_EQ(OpenLanguageFileAt(dir.File("Folder.txt")), nullptr);
    EXPECT_EQ(LanguageFileRelativePath("German"), "Languages/German.txt");
}

TEST(LanguageFile, HostileContentReadsWithoutCrash)
{
    std::string garbage;
    for (int i = 0; i < 200000; ++i)
        garbage += static_cast<char>((i * 2654435761u) >> 24);
    TLanguageFile::Parse(garbage).Dump();

    TLanguageFile nul = TLanguageFile::Parse("[Misc]\nM001=a\0b\n\0[x\n"s);
    EXPECT_EQ(nul.ReadString("Misc", "M001", ""), "a\0b"s);

    std::string huge = "[Misc]\nM001=" + std::string(10u << 20, 'x'); // no line end
    EXPECT_EQ(TLanguageFile::Parse(huge).ReadString("Misc", "M001", "").size(), 10u << 20);

    // Memory stays bounded however many keys a file names.
    std::string many = "[Misc]\n";
    for (size_t i = 0; i < kMaxLanguageEntries + 10; ++i)
        many += "K" + std::to_string(i) + "=\n";
    many += "M001=after the limit\n";
    TLanguageFile limited = TLanguageFile::Parse(many);
    EXPECT_TRUE(limited.HasKey("Misc", "K0"));
    EXPECT_FALSE(limited.HasKey("Misc", "M001"));

    TempDir dir;
    {
        std::ofstream out(dir.File("big.txt"), std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kMaxLanguageFileSize) + 1);
        out << "x";
    }
    EXPECT_EQ(OpenLanguageFileAt(dir.File("big.txt")), nullptr);
}

TEST(Messages, EnglishDefaultsWithoutLanguageFile)
{
    SetCurrentLanguageFile(nullptr);
    EXPECT_EQ(LangMessage("M001"), "Browse for folder...");
    EXPECT_EQ(LangMessage("M007"), "Complete! %d of %d images processed!");
    EXPECT_EQ(LangMessage("M032"), "Succesfully downloaded the program update!");
    EXPECT_EQ(LangMessage("M039"), "Process!");
    EXPECT_EQ(LangMessage("M043"), "and %d more");
    EXPECT_EQ(LangMessage("M044"), "");
    // Every ID from M001 to M043 has a text, and no two share one.
    std::vector<std::string> seen;
    for (int i = 1; i <= 43; ++i) {
        char id[8];
        std::snprintf(id, sizeof id, "M%03d", i);
        const std::string& text = DefaultMessage(id);
        EXPECT_FALSE(text.empty()) << id;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), text), 0) << id;
        seen.push_back(text);
    }
    EXPECT_EQ(DefaultMessage("m001"), "");
}

TEST(Messages, CurrentFileAndMissingKeys)
{
    CurrentLanguage lang("[misc]\r\n m004 = Virhe avattaessa tiedostoa %s! \r\nM038=\r\n");
    EXPECT_EQ(LangMessage("M004"), "Virhe avattaessa tiedostoa %s!");
    // A key the current file lacks gives an empty text, not the English one.
    EXPECT_EQ(LangMessage("M039"), "");
    EXPECT_EQ(LangMessage("M038"), "");
    EXPECT_EQ(DefaultMessage("M039"), "Process!");
}

TEST(Messages, LineBreakMarkers)
{
    struct Case {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"first*|*second", "first\r\nsecond"},
        {"*|**|*text", "\r\ntext"}, // leading markers: one line break
        {"*|*text", "\r\ntext"},
        {"a*|*b*|*c", "a\r\nb\r\nc"},
        {"a*|**|*b", "a\r\n\r\nb"}, // middle markers: one each
        {"end*|*", "end\r\n"},
        {"end*|**|*", "end\r\n\r\n"},
        {"*|*", "\r\n"},
        {"*|**|**|*", "\r\n"},
        {"no marker * | *", "no marker * | *"},
        {"*|", "*|"},
    };
    for (const auto& c : cases) {
        CurrentLanguage lang(std::string("[Misc]\nM002=") + c.value + "\n");
        EXPECT_EQ(LangMessage("M002"), c.expected) << c.value;
    }
}

} // namespace
} // namespace tabulonix
