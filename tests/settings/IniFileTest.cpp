#include "settings/IniFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulonix {
namespace {

using namespace std::string_literals;
using test::ReadText;
using test::TempDir;
using test::WriteText;

struct ReadCase {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    bool found;
    std::string value;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, FindsValueAsRead)
{
    const ReadCase& c = GetParam();
    std::string value = "untouched";
    EXPECT_EQ(ini::FindValue(c.content, c.section, c.key, value), c.found);
    EXPECT_EQ(value, c.found ? c.value : "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniReadTest,
    ::testing::Values(
        ReadCase{"plain", "[Main]\r\nWidth=120\r\n", "Main", "Width", true, "120"},
        ReadCase{"case_of_section_and_key", "[mAIN]\r\nwidth=7\r\n", "Main", "WIDTH", true, "7"},
        ReadCase{"blanks_trimmed", "  [ Main ]  \r\n \t Width \t=  12 34 \t\r\n", "Main", "Width",
                 true, "12 34"},
        ReadCase{"double_quotes", "[Main]\r\nTarget=\"_blank\"\r\n", "Main", "Target", true,
                 "_blank"},
        ReadCase{"single_quotes", "[Main]\r\nTarget=' a '\r\n", "Main", "Target", true, " a "},
        ReadCase{"one_pair_only", "[Main]\r\nTarget=\"\"x\"\"\r\n", "Main", "Target", true,
                 "\"x\""},
        ReadCase{"unmatched_quotes", "[Main]\r\nTarget=\"x'\r\n", "Main", "Target", true, "\"x'"},
        ReadCase{"lone_quote", "[Main]\r\nTarget=\"\r\n", "Main", "Target", true, "\""},
        ReadCase{"value_with_equals", "[Main]\r\nk=a=b\r\n", "Main", "k", true, "a=b"},
        ReadCase{"empty_value", "[Main]\r\nk=\r\n", "Main", "k", true, ""},
        ReadCase{"lf_only", "[Main]\nA=1\nB=2\n", "Main", "B", true, "2"},
        ReadCase{"cr_only", "[Main]\rA=1\rB=2", "Main", "B", true, "2"},
        ReadCase{"no_final_line_end", "[Main]\r\nA=last", "Main", "A", true, "last"},
        ReadCase{"other_section", "[General]\r\nA=1\r\n[Main]\r\nB=2\r\n", "General", "B", false,
                 ""},
        ReadCase{"missing_section", "[General]\r\nA=1\r\n", "Main", "A", false, ""},
        ReadCase{"key_before_any_header", "A=1\r\n[Main]\r\n", "Main", "A", false, ""},
        ReadCase{"comment_line", "[Main]\r\n;A=1\r\n", "Main", ";A", false, ""},
        ReadCase{"foreign_line_ignored", "[Main]\r\njust words\r\nA=1\r\n", "Main", "A", true, "1"},
        ReadCase{"first_of_repeated_key", "[Main]\r\nA=1\r\nA=2\r\n", "Main", "A", true, "1"},
        ReadCase{"first_block_of_repeated_section", "[Main]\r\nA=1\r\n[Main]\r\nA=2\r\nB=3\r\n",
                 "Main", "A", true, "1"},
        ReadCase{"later_block_not_seen", "[Main]\r\nA=1\r\n[main]\r\nB=3\r\n", "Main", "B", false,
                 ""},
        ReadCase{"unclosed_header_is_foreign", "[Main]\r\n[Other\r\nA=1\r\n", "Main", "A", true,
                 "1"},
        ReadCase{"empty_file", "", "Main", "A", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

std::string DataFolder()
{
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/../data/ini/";
}

std::string DumpEntries(const std::string& content)
{
    std::string out;
    for (const auto& e : ini::Entries(content))
        out += e.section + "|" + e.key + "|" + e.value + "\n";
    return out;
}

TEST(IniRead, BaselineParses)
{
    EXPECT_EQ(DumpEntries(ReadText(DataFolder() + "odd.ini")),
              ReadText(DataFolder() + "odd.baseline"));

    // The full file the program writes: every key seen once, in order, with its value.
    const std::string options = ReadText(DataFolder() + "options.ini");
    auto entries = ini::Entries(options);
    ASSERT_EQ(entries.size(), 48u);
    EXPECT_EQ(entries[0].section + "|" + entries[0].key + "|" + entries[0].value,
              "General|Show splashscreen|1");
    EXPECT_EQ(entries.back().key, "Images on same page");
    for (const auto& e : entries) {
        std::string value;
        ASSERT_TRUE(ini::FindValue(options, e.section, e.key, value)) << e.key;
        EXPECT_EQ(value, e.value) << e.key;
    }
    // A write that changes nothing keeps the file byte for byte.
    EXPECT_EQ(ini::SetValue(options, "Main", "Frame color", "clRed"), options);
}

TEST(IniRead, ValueLimitedTo2047Characters)
{
    const std::string longValue(5000, 'x');
    std::string value;
    ASSERT_TRUE(ini::FindValue("[S]\r\nK=" + longValue + "\r\n", "S", "K", value));
    EXPECT_EQ(value, std::string(kMaxIniValueLength, 'x'));
    // The limit applies after the quotation marks are removed.
    ASSERT_TRUE(ini::FindValue("[S]\r\nK=\"" + std::string(2047, 'y') + "\"\r\n", "S", "K", value));
    EXPECT_EQ(value, std::string(2047, 'y'));
}

TEST(IniRead, HostileContentDoesNotCrash)
{
    std::string garbage;
    for (int i = 0; i < 100000; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    std::string value;
    ini::FindValue(garbage, "Main", "Width", value);
    ini::Entries(garbage);

    // One 10 MB line with no line end, then NUL bytes in keys and values.
    std::string huge = "[Main]\r\nWidth=" + std::string(10u << 20, 'a');
    ASSERT_TRUE(ini::FindValue(huge, "Main", "Width", value));
    EXPECT_EQ(value.size(), kMaxIniValueLength);
    std::string nul = "[Main]\r\nA\0B=1\r\nC=x\0y\r\n"s;
    ASSERT_TRUE(ini::FindValue(nul, "Main", "C", value));
    EXPECT_EQ(value, std::string("x\0y", 3));
    EXPECT_FALSE(ini::FindValue(nul, "Main", "A", value));

    // Many lines without "=" must stay linear (this would take minutes if quadratic).
    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += "[a\n";
    EXPECT_FALSE(ini::FindValue(many, "Main", "A", value));
}

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os)
{
    *os << c.name;
}

class IniWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, ChangesOnlyWhatItMust)
{
    const WriteCase& c = GetParam();
    EXPECT_EQ(ini::SetValue(c.before, c.section, c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniWriteTest,
    ::testing::Values(WriteCase{"creates_content", "", "General", "Language index", "0",
                                "[General]\r\nLanguage index=0\r\n"},
                      WriteCase{"replaces_in_place_keeping_key_spelling_and_line_end",
                                "; mine\n[main]\n  WIDTH = 5 \nHeight=7\n", "Main", "Width", "120",
                                "; mine\n[main]\nWIDTH=120\nHeight=7\n"},
                      WriteCase{"appends_key_after_last_line_of_section",
                                "[General]\r\nA=1\r\n\r\n[Main]\r\nB=2\r\n", "General", "C", "3",
                                "[General]\r\nA=1\r\nC=3\r\n\r\n[Main]\r\nB=2\r\n"},
                      WriteCase{"keeps_foreign_lines_in_section",
                                "[General]\r\nA=1\r\nfree text\r\n;note\r\n\r\n", "General", "C",
                                "3", "[General]\r\nA=1\r\nfree text\r\n;note\r\nC=3\r\n\r\n"},
                      WriteCase{"appends_after_header_of_empty_section", "[General]\r\n[Main]\r\n",
                                "General", "A", "1", "[General]\r\nA=1\r\n[Main]\r\n"},
                      WriteCase{"appends_section_at_end", "[General]\r\nA=1\r\n", "Main", "B", "2",
                                "[General]\r\nA=1\r\n[Main]\r\nB=2\r\n"},
                      WriteCase{"ends_unterminated_last_line_first", "[General]\r\nA=1", "Main",
                                "B", "2", "[General]\r\nA=1\r\n[Main]\r\nB=2\r\n"},
                      WriteCase{"key_into_unterminated_section", "[General]\r\nA=1", "General", "B",
                                "2", "[General]\r\nA=1\r\nB=2\r\n"},
                      WriteCase{"writes_first_of_repeated_key", "[S]\r\nA=1\r\nA=2\r\n", "S", "A",
                                "9", "[S]\r\nA=9\r\nA=2\r\n"},
                      WriteCase{"writes_into_first_block_of_repeated_section",
                                "[S]\r\nA=1\r\n[T]\r\n[S]\r\nB=2\r\n", "S", "B", "9",
                                "[S]\r\nA=1\r\nB=9\r\n[T]\r\n[S]\r\nB=2\r\n"},
                      WriteCase{"line_breaks_in_value_cannot_add_lines", "[Main]\r\n", "Main",
                                "Target", "a\r\nLanguage index=5",
                                "[Main]\r\nTarget=a  Language index=5\r\n"},
                      WriteCase{"binary_lines_kept", "\x01\xFF\x00z\r\n[S]\r\n"s, "S", "K", "v",
                                "\x01\xFF\x00z\r\n[S]\r\nK=v\r\n"s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, FirstWriteCreatesFileAndReadsBack)
{
    TempDir dir;
    TIniFile ini(dir.File("Options.ini"));
    EXPECT_EQ(ini.ReadString("General", "Language", "none"), "none");
    EXPECT_FALSE(ini.ValueExists("General", "Language"));
    ini.WriteInteger("General", "Language index", 2);
    ini.WriteString("General", "Language", "German");
    EXPECT_EQ(ReadText(dir.File("Options.ini")),
              "[General]\r\nLanguage index=2\r\nLanguage=German\r\n");
    // Nothing is cached: another object, and a change made behind our back, are seen.
    EXPECT_EQ(TIniFile(dir.File("Options.ini")).ReadInteger("general", "language INDEX", 0), 2);
    WriteText(dir.File("Options.ini"), "[General]\nLanguage=Finnish\n");
    EXPECT_EQ(ini.ReadString("General", "Language", ""), "Finnish");
}

TEST(IniFile, TypedValuesRoundTrip)
{
    TempDir dir;
    TIniFile ini(dir.File("Options.ini"));
    ini.WriteBool("S", "T", true);
    ini.WriteBool("S", "F", false);
    ini.WriteInteger("S", "N", -42);
    ini.WriteColor("S", "Named", clRed);
    ini.WriteColor("S", "Other", RGBColor(0x56, 0x34, 0x12));
    ini.WriteDate("S", "D", TDate{2026, 3, 7}, "%d.%m.%Y");
    EXPECT_EQ(ReadText(dir.File("Options.ini")),
              "[S]\r\nT=1\r\nF=0\r\nN=-42\r\nNamed=clRed\r\nOther=$00123456\r\nD=07.03.2026\r\n");
    EXPECT_TRUE(ini.ReadBool("S", "T", false));
    EXPECT_FALSE(ini.ReadBool("S", "F", true));
    EXPECT_EQ(ini.ReadInteger("S", "N", 0), -42);
    EXPECT_EQ(ini.ReadColor("S", "Named", clBlack), clRed);
    EXPECT_EQ(ini.ReadColor("S", "Other", clBlack), RGBColor(0x56, 0x34, 0x12));
    EXPECT_EQ(ini.ReadDate("S", "D", TDate{}, "%d.%m.%Y"), (TDate{2026, 3, 7}));
    EXPECT_EQ(ini.ReadColor("S", "Absent", clNavy), clNavy);
}

TEST(IniFile, BooleansAndIntegersFromHandEditedText)
{
    TempDir dir;
    WriteText(dir.File("o.ini"), "[Main]\r\nA=0x0\r\nB=2\r\nC=yes\r\nD=$1F\r\nE=\r\nF= -7 \r\n");
    TIniFile ini(dir.File("o.ini"));
    EXPECT_FALSE(ini.ReadBool("Main", "A", true));
    EXPECT_TRUE(ini.ReadBool("Main", "B", false));
    EXPECT_TRUE(ini.ReadBool("Main", "C", true));
    EXPECT_FALSE(ini.ReadBool("Main", "C", false));
    EXPECT_EQ(ini.ReadInteger("Main", "D", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Main", "E", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Main", "F", 0), -7);
}

TEST(IniFile, RoundTripLeavesForeignLinesByteForByte)
{
    TempDir dir;
    const std::string path = dir.File("Options.ini");
    const std::string original = "; kept comment\n"
                                 "[General]\r\n"
                                 "Language index = 1 \r\n"
                                 "odd line without equals\r"
                                 "[Custom]\n"
                                 "Mine=\"quoted\"\n"
                                 "\n"
                                 "[Main]\r\n"
                                 "Width=100";
    WriteText(path, original);
    TIniFile ini(path);
    ini.WriteInteger("General", "Language index", 3);
    ini.WriteString("Main", "Width", "64");
    ini.WriteString("Main", "Height", "48");
    ini.WriteString("Update", "Proxy server", "proxy");
    EXPECT_EQ(ReadText(path), "; kept comment\n"
                              "[General]\r\n"
                              "Language index=3\r\n"
                              "odd line without equals\r"
                              "[Custom]\n"
                              "Mine=\"quoted\"\n"
                              "\n"
                              "[Main]\r\n"
                              "Width=64\r\n"
                              "Height=48\r\n"
                              "[Update]\r\n"
                              "Proxy server=proxy\r\n");
    EXPECT_EQ(ini.ReadString("Custom", "Mine", ""), "quoted");
}

TEST(IniFile, FailedWriteReportsFullPathAndKeepsFile)
{
    TempDir dir;
    // A folder in the way of the file: it can be neither read nor replaced.
    ASSERT_EQ(mkdir(dir.File("Options.ini").c_str(), 0777), 0);
    TIniFile blocked(dir.File("Options.ini"));
    try {
        blocked.WriteString("General", "Language", "x");
        FAIL() << "write into a folder succeeded";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("Options.ini"));
    }
    EXPECT_EQ(blocked.ReadString("General", "Language", "default"), "default");

    // A folder that cannot hold files (/proc refuses new files even to root).
    TIniFile impossible("/proc/Options.ini");
    EXPECT_THROW(impossible.WriteBool("General", "Show splashscreen", true), EIniFileException);
    TIniFile missingFolder(dir.File("no/such/folder/Options.ini"));
    EXPECT_THROW(missingFolder.WriteBool("General", "Show splashscreen", true), EIniFileException);
}

TEST(IniFile, PermissionFailuresLeaveFileIntact)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    TempDir dir;
    const std::string path = dir.File("Options.ini");
    WriteText(path, "[General]\r\nLanguage=Finnish\r\n");
    chmod(path.c_str(), 0444);
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteString("General", "Language", "German"), EIniFileException);
    EXPECT_EQ(ReadText(path), "[General]\r\nLanguage=Finnish\r\n");

    // An unreadable file is never replaced by one holding just the new key.
    chmod(path.c_str(), 0200);
    EXPECT_THROW(ini.WriteString("General", "Language", "German"), EIniFileException);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(ReadText(path), "[General]\r\nLanguage=Finnish\r\n");

    // A folder where nothing can be created.
    chmod(dir.Path().c_str(), 0555);
    EXPECT_THROW(ini.WriteString("General", "Language", "German"), EIniFileException);
    chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(ReadText(path), "[General]\r\nLanguage=Finnish\r\n");
}

TEST(IniFile, WriteReplacesAtomicallyAndKeepsModeAndLinks)
{
    TempDir dir;
    const std::string real = dir.File("real.ini");
    WriteText(real, "[General]\r\nA=1\r\n");
    chmod(real.c_str(), 0640);
    ASSERT_EQ(symlink(real.c_str(), dir.File("Options.ini").c_str()), 0);
    TIniFile ini(dir.File("Options.ini"));
    ini.WriteString("General", "A", "2");

    struct stat st {};
    ASSERT_EQ(lstat(dir.File("Options.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadText(real), "[General]\r\nA=2\r\n");
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

TEST(IniFile, OversizedFileIsNotLoaded)
{
    TempDir dir;
    const std::string path = dir.File("big.ini");
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Main]\r\nWidth=5\r\n";
        out.seekp(static_cast<std::streamoff>(kMaxIniFileSize) + 10);
        out << "x";
    }
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Main", "Width", "default"), "default");
    EXPECT_THROW(ini.WriteString("Main", "Width", "6"), EIniFileException);
    EXPECT_EQ(std::filesystem::file_size(path), kMaxIniFileSize + 11);
}

} // namespace
} // namespace tabulonix
