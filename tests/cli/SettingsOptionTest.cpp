// tabulonix-batch with --settings and --language, run as a program.
#include "codecs/surface/Bitmap.h"
#include "platform/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tabulonix {
namespace {

using test::RunCommand;
using test::ShellQuote;
using test::TempDir;
using test::WriteText;

class SettingsOption : public ::testing::Test {
  protected:
    void SetUp() override
    {
        TABULONIX_NEED(FileExists(Batch()), "tabulonix-batch is not built");
        ASSERT_TRUE(ForceDirectories(dir.File("src")));
        TBitmap picture;
        picture.SetSize(40, 20);
        picture.WriteFile(dir.File("src/photo.bmp"));
    }

    static std::string Batch() { return test::BinDir() + "tabulonix-batch"; }

    test::CommandResult Run(const std::string& options)
    {
        return RunCommand(ShellQuote(Batch()) + " --quiet " + options);
    }

    void WriteOptions(const std::string& mainKeys)
    {
        WriteText(dir.File("Options.ini"), "[General]\r\nLanguage index=0\r\n[Main]\r\n"
                                           "Source directory=" +
                                               dir.File("src/") +
                                               "\r\n"
                                               "Destination directory=" +
                                               dir.File("out/") + "\r\n" + mainKeys);
    }

    std::string Options() { return "--settings " + ShellQuote(dir.File("Options.ini")); }

    TempDir dir;
};

TEST_F(SettingsOption, TakesMainFieldsAsTheWizardWould)
{
    // "<same>" becomes "<same>tn" for thumbnails; the width text that is no number is 100.
    WriteOptions("Width=abc\r\nHeight=10\r\nKeep format=0\r\nFormat=2\r\nName format=<same>\r\n"
                 "Create HTML=2\r\n");
    auto r = Run(Options());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(FileExists(dir.File("out/phototn.png"))) << r.out << r.err;
    EXPECT_FALSE(FileExists(dir.File("out/QVHTML.htm")));
    auto png = test::DecodeWithPillow(dir.File("out/phototn.png"));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->height, 10); // favour height: 40 x 20 to 20 x 10
    EXPECT_EQ(png->width, 20);
}

TEST_F(SettingsOption, CommandLineOptionsApplyOverTheFile)
{
    WriteOptions("Keep format=0\r\nFormat=2\r\nName format=<same>tn\r\nCreate HTML=1\r\n");
    // Convert-only turns the stored "<same>tn" back into "<same>"; --format wins over the file.
    auto r = Run("--convert --format bmp " + Options());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(FileExists(dir.File("out/photo.bmp"))) << r.out << r.err;
    EXPECT_FALSE(FileExists(dir.File("out/phototn.png")));

    // Positional folders replace the stored ones; a stored "update" reads as "create".
    r = Run(Options() + " " + ShellQuote(dir.File("src")) + " " + ShellQuote(dir.File("other")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(FileExists(dir.File("other/phototn.png")));
    EXPECT_TRUE(FileExists(dir.File("other/QVHTML.htm")));
}

TEST_F(SettingsOption, BadFilesAreUsageErrors)
{
    WriteOptions("Frame color=reddish\r\n");
    auto r = Run(Options());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("'reddish' is not a valid integer value"), std::string::npos) << r.err;

    r = Run("--settings " + ShellQuote(dir.File("missing.ini")));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(dir.File("missing.ini")), std::string::npos) << r.err;
    EXPECT_EQ(Run("--help --settings " + ShellQuote(dir.File("missing.ini"))).exitCode, 0);
    r = Run("--language " + ShellQuote(dir.File("missing.txt")) + " " +
            ShellQuote(dir.File("src")) + " " + ShellQuote(dir.File("out")));
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(SettingsOption, LanguageFileSpeaksTheMessages)
{
    WriteText(dir.File("Finnish.txt"), "[Misc]\r\nM007=Valmis! %d / %d kuvaa*|*loppu\r\n");
    auto r = Run("--no-html --language " + ShellQuote(dir.File("Finnish.txt")) + " " +
                 ShellQuote(dir.File("src")) + " " + ShellQuote(dir.File("out")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Valmis! 1 / 1 kuvaa\r\nloppu"), std::string::npos) << r.out;
}

} // namespace
} // namespace tabulonix
