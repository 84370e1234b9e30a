// The installed program: the install tree, the desktop metadata, the man page and the
// Debian package, each checked as a user's machine would see it.
#include "TestSupport.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

using namespace tabulonix;
using namespace tabulonix::test;
namespace fs = std::filesystem;

namespace {

const std::string kSource = TABULONIX_SOURCE_DIR "/";
const std::string kBuild = TABULONIX_BUILD_DIR "/";
const std::string kAppId = "org.tabulonix.Tabulonix";
const char* const kLanguages[] = {"Finnish", "German", "French", "Spanish"};

// Every file a user's machine gets, relative to the prefix.
std::vector<std::string> ShippedFiles()
{
    std::vector<std::string> files = {
        "bin/tabulonix",
        "bin/tabulonix-batch",
        "share/applications/" + kAppId + ".desktop",
        "share/metainfo/" + kAppId + ".metainfo.xml",
        "share/man/man1/tabulonix-batch.1",
    };
    for (const char* language : kLanguages) {
        files.push_back(std::string("share/tabulonix/Languages/") + language + ".txt");
        files.push_back(std::string("share/tabulonix/Languages/") + language + ".bmp");
    }
    files.push_back("share/tabulonix/Helps/QVEnglish.hlp");
    files.push_back("share/icons/hicolor/scalable/apps/tabulonix.svg");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files.push_back("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                        "/apps/tabulonix.png");
    return files;
}

// Files of the source tree that never belong in an installation.
bool Unwanted(const std::string& path)
{
    static const std::regex pattern(R"(\.(py|a|h|cpp|o)$|corpus|CMake)");
    return std::regex_search(path, pattern);
}

CommandResult Install(const std::string& prefix)
{
    return RunCommand(ShellQuote(TABULONIX_CMAKE) + " --install " + ShellQuote(kBuild) +
                      " --prefix " + ShellQuote(prefix));
}

} // namespace

TEST(InstallTree, HoldsEveryFileAndRunsFromItsPrefix)
{
    TempDir prefix;
    CommandResult r = Install(prefix.Path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const std::string& file : ShippedFiles())
        EXPECT_TRUE(FileExists(prefix.File(file))) << file;
    for (const auto& entry : fs::recursive_directory_iterator(prefix.Path()))
        EXPECT_FALSE(Unwanted(entry.path().string())) << entry.path();

    // The installed tool answers, and finds its language files in ../share/tabulonix/.
    const std::string tool = ShellQuote(prefix.File("bin/tabulonix-batch"));
    r = RunCommand(tool + " --version");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    TempDir work;
    ASSERT_TRUE(ForceDirectories(work.File("in")));
    WriteText(work.File("in/broken.bmp"), "not a picture");
    r = RunCommand(tool + " --quiet --no-html --language Finnish " + ShellQuote(work.File("in")) +
                   " " + ShellQuote(work.File("out")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Virhe avattaessa tiedostoa"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Valmis! 0 / 1"), std::string::npos) << r.out;
    // A portable copy under a writable prefix: nothing was written beside the tool.
    EXPECT_FALSE(FileExists(prefix.File("bin/Options.ini")));
}

TEST(DesktopMetadata, EntryAndAppStreamFileValidate)
{
    TABULONIX_NEED(HaveTool("desktop-file-validate"), "desktop-file-validate (desktop-file-utils)");
    CommandResult r = RunCommand("desktop-file-validate " +
                                 ShellQuote(kSource + "packaging/" + kAppId + ".desktop"));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "") << "warnings or hints";

    TABULONIX_NEED(HaveTool("appstreamcli"), "appstreamcli (appstream)");
    r = RunCommand("appstreamcli validate --no-net " +
                   ShellQuote(kSource + "packaging/" + kAppId + ".metainfo.xml"));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("W:"), std::string::npos) << r.out;
    const std::string metainfo = ReadText(kSource + "packaging/" + kAppId + ".metainfo.xml");
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop"),
              std::string::npos);
    EXPECT_NE(metainfo.find("<screenshot type=\"default\">"), std::string::npos);
}

TEST(ManPage, FormatsCleanlyAndDescribesEveryOption)
{
    const std::string page = kSource + "packaging/tabulonix-batch.1";
    TABULONIX_NEED(HaveTool("groff"), "groff (groff-base)");
    CommandResult r = RunCommand("LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z " + ShellQuote(page));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "") << "groff warnings";

    // Every option that --help lists is written in the page (roff spells "-" as "\-").
    r = RunCommand(ShellQuote(BinDir() + "tabulonix-batch") + " --help");
    ASSERT_EQ(r.exitCode, 0);
    const std::string text = ReadText(page);
    const std::regex option(R"(^  (--[a-z-]+))");
    int options = 0;
    std::istringstream help(r.out);
    for (std::string line; std::getline(help, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, option))
            continue;
        ++options;
        std::string roff;
        for (char c : m[1].str())
            roff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(text.find(roff), std::string::npos) << m[1] << " is not in the man page";
    }
    EXPECT_GT(options, 30);
}

TEST(DebianPackage, HoldsTheInstallTreeAndItsLibraries)
{
    TABULONIX_NEED(HaveTool("dpkg-deb"), "dpkg-deb (dpkg)");
    TempDir out;
    CommandResult r =
        RunCommand(ShellQuote(TABULONIX_CPACK) + " -G DEB --config " +
                   ShellQuote(kBuild + "CPackConfig.cmake") + " -B " + ShellQuote(out.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    ASSERT_FALSE(deb.empty()) << r.out;

    r = RunCommand("dpkg-deb --contents " + ShellQuote(deb));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::set<std::string> listed;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(" ./");
        if (at != std::string::npos)
            listed.insert(line.substr(at + 3));
    }
    for (const std::string& file : ShippedFiles())
        EXPECT_TRUE(listed.count("usr/" + file)) << file;
    for (const std::string& file : listed)
        EXPECT_FALSE(Unwanted(file)) << file;

    r = RunCommand("dpkg-deb --field " + ShellQuote(deb) + " Package Depends Section");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Package: tabulonix"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Section: graphics"), std::string::npos) << r.out;
    // The library packages come from the executables themselves.
    for (const char* library : {"libc6", "libjpeg62-turbo", "zlib1g", "libstdc++6"})
        EXPECT_NE(r.out.find(library), std::string::npos) << library << " in " << r.out;
    EXPECT_NE(r.out.find("libqt6widgets6"), std::string::npos) << r.out;
}
