#include "platform/FileLocations.h"
#include "platform/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tabulonix;
using test::TempDir;

namespace {

// The writability of the executable's folder is a fact handed in, so the rule is checked
// the same way for a user and for the super-user (whom permission bits do not stop).
LocationFacts Facts(const std::string& exe, bool writable)
{
    LocationFacts f;
    f.executableFolder = exe;
    f.executableFolderWritable = writable;
    f.home = "/home/anna";
    f.downloadFolder = "/home/anna/Lataukset/";
    return f;
}

} // namespace

TEST(FileLocations, WritableFolderKeepsEverythingBesideTheExecutable)
{
    TempDir dir;
    FileLocations where = DecideLocations(Facts(dir.Path(), true));
    EXPECT_TRUE(where.portable);
    EXPECT_EQ(where.optionsFile, dir.File("Options.ini"));
    EXPECT_EQ(where.updateFolder, dir.Path());
    // Nothing installed anywhere: the folders a portable copy would create beside it.
    EXPECT_EQ(where.languageFolder, dir.File("Languages/"));
    EXPECT_EQ(where.helpFolder, dir.File("Helps/"));
}

TEST(FileLocations, ReadOnlyFolderKeepsSettingsInTheUsersHome)
{
    TempDir dir;
    LocationFacts facts = Facts(dir.Path(), false);
    FileLocations where = DecideLocations(facts);
    EXPECT_FALSE(where.portable);
    EXPECT_EQ(where.optionsFile, "/home/anna/.config/tabulonix/Options.ini");
    EXPECT_EQ(where.updateFolder, "/home/anna/Lataukset/");

    facts.xdgConfigHome = "/srv/conf";
    EXPECT_EQ(DecideLocations(facts).optionsFile, "/srv/conf/tabulonix/Options.ini");
    facts.xdgConfigHome = "relative/conf"; // invalid: ignored
    EXPECT_EQ(DecideLocations(facts).optionsFile, "/home/anna/.config/tabulonix/Options.ini");

    // No download folder known: the home folder.
    facts.downloadFolder.clear();
    EXPECT_EQ(DecideLocations(facts).updateFolder, "/home/anna/");
}

TEST(FileLocations, SystemFolderCountsAsInstalledEvenWhenWritable)
{
    FileLocations where = DecideLocations(Facts("/usr/bin/", true));
    EXPECT_FALSE(where.portable);
    EXPECT_EQ(where.optionsFile, "/home/anna/.config/tabulonix/Options.ini");
    EXPECT_EQ(DecideLocations(Facts("/usr/local/bin/", true)).optionsFile,
              "/home/anna/.config/tabulonix/Options.ini");
    EXPECT_TRUE(DecideLocations(Facts("/opt/usr/bin/", true)).portable);
}

TEST(FileLocations, DataBesideTheExecutableFirstThenInTheSharedFolder)
{
    TempDir prefix;
    ASSERT_TRUE(ForceDirectories(prefix.File("bin")));
    ASSERT_TRUE(ForceDirectories(prefix.File("share/tabulonix/Languages")));
    ASSERT_TRUE(ForceDirectories(prefix.File("share/tabulonix/Helps")));
    const std::string bin = prefix.File("bin/");

    for (bool writable : {true, false}) {
        FileLocations where = DecideLocations(Facts(bin, writable));
        // The shared folder is given without "bin/../", as the windows show it.
        EXPECT_EQ(where.languageFolder, prefix.File("share/tabulonix/Languages/"));
        EXPECT_EQ(where.helpFolder, prefix.File("share/tabulonix/Helps/"));
    }

    // Each folder on its own: a language folder beside the executable wins, the help
    // folder still comes from the shared one.
    ASSERT_TRUE(ForceDirectories(prefix.File("bin/Languages")));
    FileLocations where = DecideLocations(Facts(bin, false));
    EXPECT_EQ(where.languageFolder, prefix.File("bin/Languages/"));
    EXPECT_EQ(where.helpFolder, prefix.File("share/tabulonix/Helps/"));
}

TEST(FileLocations, DownloadFolderFromTheUsersFolderConfiguration)
{
    const std::string home = "/home/anna";
    EXPECT_EQ(DownloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", home),
              "/home/anna/Downloads/");
    EXPECT_EQ(DownloadFolderFromUserDirs("# written by xdg-user-dirs-update\n"
                                         "XDG_DESKTOP_DIR=\"$HOME/Työpöytä\"\r\n"
                                         "XDG_DOWNLOAD_DIR=\"/data/lataukset\"\r\n",
                                         home),
              "/data/lataukset/");
    EXPECT_EQ(DownloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"$HOME/\"\n", home), "/home/anna/");
    EXPECT_EQ(DownloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"$HOME\"\n", home), "/home/anna/");
    // A later line wins; relative paths, other variables and broken quoting are ignored.
    EXPECT_EQ(DownloadFolderFromUserDirs(
                  "XDG_DOWNLOAD_DIR=\"$HOME/a\"\nXDG_DOWNLOAD_DIR=\"$HOME/b\"\n", home),
              "/home/anna/b/");
    EXPECT_EQ(DownloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"Downloads\"\n", home), "");
    EXPECT_EQ(DownloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=$HOME/Downloads\n", home), "");
    EXPECT_EQ(DownloadFolderFromUserDirs("XDG_DOWNLOADS=\"/x\"\n", home), "");
    EXPECT_EQ(DownloadFolderFromUserDirs("", home), "");
}

TEST(FileLocations, ThisProcessFindsItsOwnFolder)
{
    // The test runs from the build folder, which it can write to: a portable copy.
    const FileLocations& where = Locations();
    EXPECT_EQ(where.executableFolder, ExecutableFolder());
    EXPECT_TRUE(where.portable);
    EXPECT_EQ(where.optionsFile, ExecutableFolder() + "Options.ini");
}

TEST(FileLocations, WritabilityOfAFolder)
{
    TempDir dir;
    EXPECT_TRUE(FolderIsWritable(dir.Path()));
    EXPECT_FALSE(FolderIsWritable(dir.File("missing/")));
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not bind the super-user; the rule itself is "
                        "checked above with the writability handed in";
    ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
    const bool writable = FolderIsWritable(dir.Path());
    chmod(dir.Path().c_str(), 0755);
    EXPECT_FALSE(writable);
}
