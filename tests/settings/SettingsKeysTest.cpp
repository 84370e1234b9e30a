#include "settings/SettingsKeys.h"
#include "platform/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tabulonix {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

const char* const kDefaultMainText = "[Main]\r\n"
                                     "Source directory=\r\n"
                                     "Destination directory=\r\n"
                                     "Overwrite=1\r\n"
                                     "Width=100\r\n"
                                     "Height=100\r\n"
                                     "Preserve aspect ratio=0\r\n"
                                     "Enlarge images=0\r\n"
                                     "Draw frame=0\r\n"
                                     "Frame color=clBlack\r\n"
                                     "Frame size=1\r\n"
                                     "Keep format=1\r\n"
                                     "Format=0\r\n"
                                     "Name format=<same>\r\n"
                                     "JPG compression=80\r\n"
                                     "Progressive encoding=1\r\n"
                                     "PNG compression=9\r\n"
                                     "Create HTML=0\r\n"
                                     "Fill dimensions=1\r\n"
                                     "Use table=1\r\n"
                                     "Link to original=1\r\n"
                                     "Target=\r\n"
                                     "Images on same line=5\r\n"
                                     "Image border=0\r\n"
                                     "Table border=1\r\n"
                                     "Images on same cell=1\r\n"
                                     "Center in cell=1\r\n"
                                     "Images on same row=5\r\n"
                                     "Multipaged=0\r\n"
                                     "Images on same page=20\r\n"
                                     "Skip unchanged=0\r\n"
                                     "Auto rotate=0\r\n"
                                     "Smooth scaling=0\r\n";

TEST(SettingsKeys, MainWrittenInTableOrderAndReadBack)
{
    TempDir dir;
    TIniFile ini(dir.File("Options.ini"));
    WriteMain(ini, DefaultMain());
    EXPECT_EQ(ReadText(dir.File("Options.ini")), kDefaultMainText);

    MainSettings changed = DefaultMain();
    changed.SDir = "/pictures/";
    changed.Leveys = "abc";
    changed.Color = RGBColor(1, 2, 3);
    changed.CreateHTML = 2;
    changed.ImageCountUp = 300;
    changed.Target = "_blank";
    WriteMain(ini, changed);
    MainSettings back = DefaultMain();
    ReadMain(ini, back);
    EXPECT_EQ(back.SDir, "/pictures/");
    EXPECT_EQ(back.Leveys, "abc"); // raw text: the wizard's field handler replaces it
    EXPECT_EQ(back.Color, RGBColor(1, 2, 3));
    EXPECT_EQ(back.CreateHTML, 2);
    EXPECT_EQ(back.ImageCountUp, 300);
    EXPECT_EQ(back.Target, "_blank");
    EXPECT_NE(ReadText(dir.File("Options.ini")).find("Frame color=$00030201\r\n"),
              std::string::npos);
}

TEST(SettingsKeys, DefaultsWithoutAFile)
{
    TempDir dir;
    TIniFile ini(dir.File("Options.ini"));
    GeneralSettings g = DefaultGeneral();
    ReadGeneral(ini, g);
    EXPECT_TRUE(g.ShowSplash);
    EXPECT_EQ(g.LanguageIndex, 0);
    EXPECT_EQ(g.FontName, "MS Sans Serif");
    EXPECT_EQ(g.FontSize, 8);
    EXPECT_FALSE(g.FontBold || g.FontItalic || g.FontUnderline || g.FontStrikeout);

    UpdateSettings u = DefaultUpdate();
    ReadUpdate(ini, u, true);
    EXPECT_EQ(u.SaveTo, ExecutableFolder());
    EXPECT_EQ(u.LastChecked, Yesterday());
    EXPECT_EQ(u.ErrorCount, 0);
    const std::string suffix = "/business/merovane/Tabulonix.ini";
    ASSERT_GT(u.Address.size(), suffix.size());
    EXPECT_EQ(u.Address.compare(0, 7, "http://"), 0);
    EXPECT_EQ(u.Address.substr(u.Address.size() - suffix.size()), suffix);

    MainSettings m = ReadMainSection(dir.File("Options.ini"));
    EXPECT_EQ(m.NameFormat, "<same>tn");
    EXPECT_EQ(m.Color, clBlack);
    EXPECT_EQ(m.TrackBar, 80);
    EXPECT_EQ(m.PNGTrackBar, 9);
    EXPECT_TRUE(m.Overwrite && m.KeepFormat && m.Progressive && m.CenterCell);
    EXPECT_FALSE(FileExists(dir.File("Options.ini"))) << "a read created the file";
}

TEST(SettingsKeys, SpecialReadingsOfMain)
{
    TempDir dir;
    struct Case {
        const char* key;
        const char* stored;
        int MainSettings::*field;
        int expected;
    };
    const Case cases[] = {
        {"Create HTML", "1", &MainSettings::CreateHTML, 0},
        {"Create HTML", "2", &MainSettings::CreateHTML, 2},
        {"Create HTML", "0", &MainSettings::CreateHTML, 0},
        {"Frame size", "65537", &MainSettings::UpDown, 1},   // low 16 bits
        {"Frame size", "70000", &MainSettings::UpDown, 100}, // 4464, then the control's end
        {"Frame size", "65535", &MainSettings::UpDown, 1},   // -1, then the control's start
        {"Images on same page", "65536", &MainSettings::ImageCountUp, 1},
        {"Image border", "25", &MainSettings::IBorderUp, 20},
        {"JPG compression", "150", &MainSettings::TrackBar, 100},
        {"JPG compression", "0", &MainSettings::TrackBar, 1},
        {"PNG compression", "-3", &MainSettings::PNGTrackBar, 0},
        {"Format", "9", &MainSettings::Format, 0}, // unknown list position
        {"Format", "6", &MainSettings::Format, 6},
        {"Preserve aspect ratio", "$2", &MainSettings::Aspect, 2},
        {"Preserve aspect ratio", "many", &MainSettings::Aspect, 0},
        {"Preserve aspect ratio", "3", &MainSettings::Aspect, 3}, // fit in the box
        {"Preserve aspect ratio", "4", &MainSettings::Aspect, 0},
    };
    for (const auto& c : cases) {
        WriteText(dir.File("o.ini"), std::string("[Main]\r\n") + c.key + "=" + c.stored + "\r\n");
        MainSettings m = ReadMainSection(dir.File("o.ini"));
        EXPECT_EQ(m.*(c.field), c.expected) << c.key << "=" << c.stored;
    }

    WriteText(dir.File("o.ini"), "[Update]\r\nProxy port=40000\r\nPort=65616\r\n");
    UpdateSettings u = DefaultUpdate();
    ReadUpdate(TIniFile(dir.File("o.ini")), u);
    EXPECT_EQ(u.ProxyPort, 0); // -25536 as a signed 16-bit number, held at the control's start
    EXPECT_EQ(u.Port, 80);     // 65536 + 80: only the low 16 bits count
}

TEST(SettingsKeys, FrameColour)
{
    TempDir dir;
    const std::string path = dir.File("o.ini");
    WriteText(path, "[Main]\r\nFrame color=clred\r\n");
    EXPECT_EQ(ReadMainSection(path).Color, clRed);

    WriteText(path, "[Main]\r\nFrame color=$000000FF\r\n");
    MainSettings m = ReadMainSection(path);
    EXPECT_EQ(m.Color, clRed);
    TIniFile ini(path);
    WriteMain(ini, m);
    EXPECT_NE(ReadText(path).find("Frame color=clRed\r\n"), std::string::npos);

    // An unusable colour is an error; the keys after it keep their defaults.
    WriteText(path, "[Main]\r\nWidth=64\r\nFrame color=reddish\r\nFormat=3\r\n");
    EXPECT_THROW(ReadMainSection(path), EConvertError);
    std::string error;
    m = ReadMainSection(path, true, &error);
    EXPECT_EQ(error, "'reddish' is not a valid integer value");
    EXPECT_EQ(m.Leveys, "64");
    EXPECT_EQ(m.Color, clBlack);
    EXPECT_EQ(m.Format, 0);
}

TEST(SettingsKeys, NameFormatAfterTheTaskHandler)
{
    TempDir dir;
    const std::string path = dir.File("o.ini");
    WriteText(path, "[Main]\r\nName format=<same>\r\n");
    EXPECT_EQ(ReadMainSection(path, true).NameFormat, "<same>tn");
    EXPECT_EQ(ReadMainSection(path, false).NameFormat, "<same>");
    WriteText(path, "[Main]\r\nName format=<same>_small\r\n");
    EXPECT_EQ(ReadMainSection(path, true).NameFormat, "<same>_small");
    WriteText(path, "[Main]\r\nName format=<same>tn\r\n");
    EXPECT_EQ(ReadMainSection(path, false).NameFormat, "<same>");

    // The rule alone, both ways; only the two exact patterns change.
    EXPECT_EQ(NameFormatForTask("<same>", 0), "<same>tn");
    EXPECT_EQ(NameFormatForTask("<same>tn", 0), "<same>tn");
    EXPECT_EQ(NameFormatForTask("<same>tn", 1), "<same>");
    EXPECT_EQ(NameFormatForTask("<same>", 1), "<same>");
    EXPECT_EQ(NameFormatForTask("<same>tnx", 1), "<same>tnx");
    EXPECT_EQ(NameFormatForTask("<SAME>", 0), "<SAME>");
    EXPECT_EQ(NameFormatForTask("<same><inc>", 0), "<same><inc>");
}

TEST(SettingsKeys, RangesComeFromTheTable)
{
    const IntRange frame = SettingRange("main", "FRAME SIZE");
    EXPECT_EQ(frame.low, 1);
    EXPECT_EQ(frame.high, 100);
    EXPECT_TRUE(frame.Contains(100) && !frame.Contains(101) && !frame.Contains(0));
    EXPECT_EQ(SettingRange("Main", "Images on same page").high, 10000);
    EXPECT_EQ(SettingRange("Main", "PNG compression").low, 0);
    EXPECT_EQ(SettingRange("Update", "Proxy port").high, 32767);
}

TEST(SettingsKeys, FirstRunAndLanguageChoice)
{
    TempDir dir;
    const std::string path = dir.File("Options.ini");
    TIniFile ini(path);
    EXPECT_TRUE(IsFirstRun(ini)); // no file
    for (const char* stored : {"", "letters", "-69", "$FFFFFFBB"}) {
        WriteText(path, std::string("[General]\r\nLanguage index=") + stored + "\r\n");
        EXPECT_TRUE(IsFirstRun(ini)) << stored;
    }
    for (const char* stored : {"0", "2", "-1"}) {
        WriteText(path, std::string("[General]\r\nLanguage index=") + stored + "\r\n");
        EXPECT_FALSE(IsFirstRun(ini)) << stored;
    }
    ::unlink(path.c_str());
    WriteLanguageChoice(ini, 0, "Default (English)");
    EXPECT_EQ(ReadText(path), "[General]\r\nLanguage index=0\r\nLanguage=Default (English)\r\n");
    EXPECT_FALSE(IsFirstRun(ini));
}

TEST(SettingsKeys, StartupReading)
{
    TempDir dir;
    const std::string path = dir.File("Options.ini");
    StartupSettings fresh = ReadStartupSettings(TIniFile(path));
    EXPECT_TRUE(fresh.firstRun);
    EXPECT_EQ(fresh.general.FontName, "MS Sans Serif");

    WriteText(path, "[General]\r\nLanguage index=2\r\nLanguage=German\r\nShow splashscreen=0\r\n"
                    "[Update]\r\nUse proxy=1\r\nProxy server=cache\r\nError type 1 count=7\r\n");
    StartupSettings s = ReadStartupSettings(TIniFile(path));
    EXPECT_FALSE(s.firstRun);
    EXPECT_EQ(s.general.LanguageIndex, 2);
    EXPECT_EQ(s.general.Language, "German");
    EXPECT_FALSE(s.general.ShowSplash);
    EXPECT_TRUE(s.update.UseProxy);
    EXPECT_EQ(s.update.Proxy, "cache");
    EXPECT_EQ(s.update.ErrorCount, 0); // left to the schedule
}

TEST(SettingsKeys, OptionsDialogSaveOrder)
{
    TempDir dir;
    TIniFile ini(dir.File("Options.ini"));
    GeneralSettings g = DefaultGeneral();
    g.LanguageIndex = 1;
    g.Language = "Finnish";
    g.FontBold = true;
    UpdateSettings u = DefaultUpdate();
    u.Address = "http://example.org/business/merovane/Tabulonix.ini";
    u.SaveTo = "/tmp/";
    u.ProxyPort = 8080;
    WriteOptions(ini, g, u);
    EXPECT_EQ(ReadText(dir.File("Options.ini")),
              "[General]\r\n"
              "Show splashscreen=1\r\n"
              "Language index=1\r\n"
              "Language=Finnish\r\n"
              "Font name=MS Sans Serif\r\n"
              "Font size=8\r\n"
              "Font bold=1\r\n"
              "Font italic=0\r\n"
              "Font underline=0\r\n"
              "Font strikeout=0\r\n"
              "[Update]\r\n"
              "Automatic update=0\r\n"
              "Always connected to the Internet=0\r\n"
              "Proxy server=\r\n"
              "Proxy port=8080\r\n"
              "Use proxy=0\r\n"
              "Port=0\r\n"
              "Update address=http://example.org/business/merovane/Tabulonix.ini\r\n"
              "Save update directory=/tmp/\r\n");
}

TEST(SettingsKeys, ScheduleValuesReadOnlyWhenAsked)
{
    TempDir dir;
    const std::string path = dir.File("o.ini");
    WriteText(path, "[Update]\r\nLast checked=" + FormatShortDate(TDate{2020, 5, 17}) +
                        "\r\nError type 1 count=4\r\n");
    UpdateSettings u = DefaultUpdate();
    u.ErrorCount = 99;
    ReadUpdate(TIniFile(path), u, false);
    EXPECT_EQ(u.ErrorCount, 99);
    ReadUpdate(TIniFile(path), u, true);
    EXPECT_EQ(u.ErrorCount, 4);
    EXPECT_EQ(u.LastChecked, (TDate{2020, 5, 17}));

    for (const char* stored : {"garbage", "2020-05-17T00:00", "99.99.9999", ""}) {
        WriteText(path, std::string("[Update]\r\nLast checked=") + stored + "\r\n");
        const SettingKey* key = FindSettingKey("update", "LAST CHECKED");
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(std::get<TDate>(ReadSetting(TIniFile(path), *key)), Yesterday()) << stored;
    }
}

TEST(SettingsKeys, TableIsComplete)
{
    size_t general = 0, update = 0, main = 0;
    for (const auto& key : SettingKeys()) {
        std::string section = key.section;
        general += section == "General";
        update += section == "Update";
        main += section == "Main";
        EXPECT_EQ(FindSettingKey(UpperCase(key.section), LowerCase(key.key)), &key);
        // Only the schedule's own values have no control.
        EXPECT_EQ(std::string(key.control).empty(), !key.editable) << key.key;
    }
    EXPECT_EQ(general, 9u);
    EXPECT_EQ(update, 10u);
    EXPECT_EQ(main, 32u);
    EXPECT_EQ(FindSettingKey("Main", "Extension"), nullptr);
}

TEST(SettingsKeys, FailedSaveRaisesWithPath)
{
    TempDir dir;
    ASSERT_TRUE(ForceDirectories(dir.File("Options.ini")));
    TIniFile ini(dir.File("Options.ini"));
    try {
        WriteMain(ini, DefaultMain());
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("Options.ini"));
    }
}

} // namespace
} // namespace tabulonix
