#include "CliSupport.h"
#include "TestSupport.h"
#include "codecs/surface/Bitmap.h"
#include "engine/Gallery.h"
#include "platform/Files.h"
#include "platform/Version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

struct CliFixture : ::testing::Test {
    TempDir dir;
    std::string src, out;
    void SetUp() override
    {
        src = dir.Path() + "photos/";
        out = dir.Path() + "thumbs/";
        ASSERT_TRUE(ForceDirectories(src));
        MakeBmp(src + "b.bmp", 200, 100);
        MakeBmp(src + "A.bmp", 50, 300);
        WriteText(src + "notes.txt", "not a picture"); // not a readable extension: ignored
    }
    std::string Q(const std::string& s) const { return ShellQuote(s); }
};

TEST(CliUsageTest, HelpAndVersion)
{
    CommandResult help = Batch("--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--convert", "--aspect", "--frame-size", "--update-html", "--pages", "--quiet"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    CommandResult version = Batch("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tabulonix-batch " + ProgramVersion() + "\n");
}

TEST(CliUsageTest, BadUsageExitsWithTwoAndOneLine)
{
    TempDir dir;
    std::string d = ShellQuote(dir.Path());
    const char* bad[] = {"--no-such-option ",
                         "--quality 0 ",
                         "--quality 101 ",
                         "--png-level 10 ",
                         "--frame-size 0 ",
                         "--per-line 10001 ",
                         "--table-border 21 ",
                         "--aspect tall ",
                         "--format jpeg2000 ",
                         "--frame clNoSuchColour ",
                         "--width x ",
                         "--extension png ",
                         "--html a.htm --no-html ",
                         "-q "};
    for (const char* args : bad) {
        CommandResult r = Batch(std::string(args) + d + " " + d);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_EQ(r.err.substr(0, 17), "tabulonix-batch: ") << args;
        EXPECT_EQ(Lines(r.err), 2u) << args << r.err; // the reason and the pointer to --help
    }
    EXPECT_EQ(Batch(d).exitCode, 2);
    CommandResult missing = Batch(ShellQuote(dir.File("absent")) + " " + d);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err,
              "tabulonix-batch: source folder " + dir.File("absent") + " does not exist\n");
    WriteText(dir.File("photo.jpg"), "x");
    CommandResult file = Batch(ShellQuote(dir.File("photo.jpg")) + " " + d);
    EXPECT_EQ(file.exitCode, 2);
    EXPECT_EQ(file.err, "tabulonix-batch: source folder " + dir.File("photo.jpg") +
                            " is a file, not a folder\n");
}

TEST(CliUsageTest, HelpDescribesTheOptionsAsTheyWork)
{
    std::string help = Batch("--help").out;
    EXPECT_NE(help.find("  --no-overwrite                    never replace existing pictures"),
              std::string::npos);
    EXPECT_NE(help.find("\n  --                                "), std::string::npos);
}

TEST_F(CliFixture, ThumbnailsWithGalleryByDefault)
{
    CommandResult r = Batch(Q(src) + " " + Q(out));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Complete! 2 of 2 images processed!\n");
    EXPECT_EQ(r.err.find('\r'), std::string::npos); // no progress bar when stderr is no terminal
    auto a = DecodeWithPillow(out + "Atn.bmp");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->width, 17); // 100 * 50 / 300 = 16.67
    EXPECT_EQ(a->height, 100);
    std::string html = ReadText(out + "QVHTML.htm");
    EXPECT_LT(html.find("Atn.bmp"), html.find("btn.bmp")); // sorted without regard to case
    EXPECT_NE(html.find("<A HREF=\"file://" + src +
                        "b.bmp\"><IMG SRC=\"btn.bmp\" HEIGHT=\"100\" WIDTH=\"200\""),
              std::string::npos);
}

TEST_F(CliFixture, FitInTheBox)
{
    CommandResult r = Batch("--aspect fit --width 60 --height 60 " + Q(src) + " " + Q(out));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto wide = DecodeWithPillow(out + "btn.bmp"); // 200 x 100: the width limits
    auto tall = DecodeWithPillow(out + "Atn.bmp"); // 50 x 300: the height limits
    ASSERT_TRUE(wide && tall);
    EXPECT_EQ(wide->width, 60);
    EXPECT_EQ(wide->height, 30);
    EXPECT_EQ(tall->width, 10);
    EXPECT_EQ(tall->height, 60);
    EXPECT_NE(ReadText(out + "QVHTML.htm").find("HEIGHT=\"60\" WIDTH=\"10\""), std::string::npos);
}

TEST_F(CliFixture, ConvertToJpegWithoutHtml)
{
    CommandResult r =
        Batch("--convert --format jpg --quality 70 --baseline " + Q(src) + " " + Q(out) + " b.bmp");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(FileExists(out + "b.jpg"));
    EXPECT_FALSE(FileExists(out + "A.jpg"));
    EXPECT_FALSE(FileExists(out + "QVHTML.htm"));
    auto img = DecodeWithPillow(out + "b.jpg");
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 200);
    EXPECT_EQ(img->height, 100);
    CommandResult info = RunCommand("/usr/bin/python3 -c \"import sys\nfrom PIL import Image\n"
                                    "print(Image.open(sys.argv[1]).info.get('progressive', 0))\" " +
                                    Q(out + "b.jpg"));
    EXPECT_EQ(info.out, "0\n");
}

TEST_F(CliFixture, FailuresGiveOneLineEachAndExitOne)
{
    WriteText(src + "broken.bmp", "xx");
    CommandResult r =
        Batch("--name 'pic<inc>' --format bmp --extension BMP " + Q(src) + " " + Q(out));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error opening file " + src + "broken.bmp! (Bitmap image is not valid)\n");
    EXPECT_EQ(r.out, "Complete! 2 of 3 images processed!\n");
    EXPECT_TRUE(FileExists(out + "pic1.BMP"));
    EXPECT_TRUE(FileExists(out + "pic2.BMP"));
    EXPECT_FALSE(FileExists(out + "pic3.BMP")); // A.bmp, b.bmp, broken.bmp in that order
}

// The reason follows the message on its line. Root reads any file, so the tool then runs as
// an ordinary user to meet a permission error.
TEST_F(CliFixture, ReasonFollowsTheMessage)
{
    MakeBmp(src + "secret.bmp", 4, 4);
    ASSERT_EQ(chmod((src + "secret.bmp").c_str(), 0), 0);
    std::string asUser;
    if (geteuid() == 0) {
        for (const std::string& folder : {dir.Path(), src})
            ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    CommandResult r =
        RunCommand(asUser + Tool() + " --no-html " + Q(src) + " " + Q(out) + " secret.bmp b.bmp");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error opening file " + src + "secret.bmp! (Permission denied)\n");
    EXPECT_TRUE(FileExists(out + "btn.bmp"));
}

TEST_F(CliFixture, FormatInAnyLetterCase)
{
    for (const char* format : {"JPEG", "Jpg", "jpeg", "PNG"}) {
        TempDir target;
        CommandResult r = Batch(std::string("--no-html --format ") + format + " " + Q(src) + " " +
                                Q(target.Path()) + " b.bmp");
        EXPECT_EQ(r.exitCode, 0) << format << r.err;
        bool png = std::string(format) == "PNG";
        EXPECT_TRUE(FileExists(target.Path() + (png ? "btn.png" : "btn.jpg"))) << format;
    }
}

TEST_F(CliFixture, UnusableDestinationIsOneLineBeforeAnyFile)
{
    WriteText(dir.File("blocker"), "x");
    std::string target = dir.File("blocker") + "/thumbs/";
    CommandResult r = Batch(Q(src) + " " + Q(target));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "Error saving file " + target + "! (Not a directory)\n");
    EXPECT_EQ(r.out, "");
}

// Ctrl-C: the file in hand is finished, the gallery written, the count printed. The tool
// is held at a known point by not reading its error lines: two thousand missing files fill
// the pipe before it reaches the pictures.
TEST_F(CliFixture, StoppedRunStillPrintsItsCount)
{
    std::vector<std::string> args = {BinDir() + "tabulonix-batch", src, out};
    for (int i = 0; i < 2000; ++i)
        args.push_back("0-missing-" + std::to_string(1000 + i) + ".bmp");
    args.push_back("A.bmp");
    args.push_back("b.bmp");
    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0);
    std::string outFile = dir.File("stdout");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);

    // The first error line means the run, and its Ctrl-C handling, has begun; the tool
    // cannot get past the missing files until the pipe is read.
    pollfd ready{errPipe[0], POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, -1), 1);
    ASSERT_EQ(kill(pid, SIGINT), 0);
    std::string err;
    char buffer[65536];
    for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, static_cast<size_t>(n));
    close(errPipe[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Lines(err), 2000u);
    EXPECT_EQ(ReadText(outFile), "Stopped: 1 of 2002 images processed.\n");
    EXPECT_TRUE(FileExists(out + "Atn.bmp"));
    EXPECT_FALSE(FileExists(out + "btn.bmp"));
    EXPECT_NE(ReadText(out + "QVHTML.htm").find("Atn.bmp"), std::string::npos);
}

TEST_F(CliFixture, NoOverwriteAndFrame)
{
    ASSERT_TRUE(ForceDirectories(out));
    WriteText(out + "btn.bmp", "keep me");
    CommandResult r = Batch("--no-overwrite --no-html --frame '$000000FF' --height 20 " + Q(src) +
                            " " + Q(out) + " b.bmp");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(out + "btn.bmp"), "keep me");
    auto img = DecodeWithPillow(out + "btn(1).bmp");
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 40);
    const uint8_t* corner = img->rgba.data();
    EXPECT_EQ(corner[0], 255);
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[2], 0);
    CommandResult named =
        Batch("--no-html --frame clRed --name x " + Q(src) + " " + Q(out) + " b.bmp");
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_TRUE(FileExists(out + "x.bmp"));
}

TEST_F(CliFixture, UpdateHtml)
{
    // A hand-written page without the marker pair, or with one marker only, is refused
    // before the run and stays byte for byte.
    std::string page = dir.File("index.htm");
    for (const std::string& text :
         {std::string("<html>no markers here</html>\n"),
          "<html>\n" + std::string(kGalleryMarker) + "\nmine\n</html>\n"}) {
        WriteText(page, text);
        CommandResult refused = Batch("--update-html " + Q(page) + " " + Q(src) + " " + Q(out));
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_EQ(refused.err, "Can't update, no headers found!\n");
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(ReadText(page), text);
        EXPECT_FALSE(DirectoryExists(out)) << "nothing processed";
    }

    // A page that does not exist yet becomes a new gallery.
    std::string fresh = dir.File("new.htm");
    CommandResult r = Batch("--update-html " + Q(fresh) + " " + Q(src) + " " + Q(out));
    EXPECT_EQ(r.exitCode, 0);
    std::string created = ReadText(fresh);
    EXPECT_EQ(created.substr(0, 8), "<HTML>\r\n");
    // Relative to the page: the thumbnails lie in thumbs/, the sources in photos/.
    EXPECT_NE(created.find("<A HREF=\"photos/A.bmp\"><IMG SRC=\"thumbs/Atn.bmp\""),
              std::string::npos);

    WriteText(page, "top\n" + std::string(kGalleryMarker) + "\nold\n" +
                        std::string(kGalleryMarker) + "\nbottom\n");
    CommandResult u = Batch("--update-html " + Q(page) + " --no-table --no-link " + Q(src) + " " +
                            Q(out) + " b.bmp");
    EXPECT_EQ(u.exitCode, 0) << u.err;
    EXPECT_EQ(ReadText(page),
              "top\r\n" + std::string(kGalleryMarker) +
                  "\r\n<IMG SRC=\"thumbs/btn.bmp\" HEIGHT=\"100\" WIDTH=\"200\" BORDER=\"0\">\r\n" +
                  std::string(kGalleryMarker) + "\r\nbottom\r\n");
}

TEST_F(CliFixture, MultiplePages)
{
    CommandResult r =
        Batch("--pages 1 --html " + Q(dir.File("g.html")) + " " + Q(src) + " " + Q(out));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(FileExists(dir.File("g1.html")));
    EXPECT_TRUE(FileExists(dir.File("g2.html")));
    EXPECT_FALSE(FileExists(dir.File("g.html")));
    EXPECT_NE(ReadText(dir.File("g1.html")).find("<A HREF=\"g2.html\">Forward &gt;&gt;</A>"),
              std::string::npos);
}

TEST_F(CliFixture, NothingToProcess)
{
    TempDir empty;
    CommandResult r = Batch(Q(empty.Path()) + " " + Q(out));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "No images to process!\n");
    EXPECT_FALSE(DirectoryExists(out));
}

// Worker threads change nothing the tool prints, writes or returns.
TEST_F(CliFixture, JobsGiveTheSameRun)
{
    WriteText(src + "broken.bmp", "xx");
    MakeBmp(src + "b.dib", 30, 30); // becomes b.bmp as well: a second name for it
    auto run = [&](const std::string& jobs) {
        CommandResult r =
            Batch("--jobs " + jobs + " --name '<same>' --frame clRed " + Q(src) + " " + Q(out));
        std::vector<std::string> files;
        for (const auto& e : FindFiles(out, "*"))
            files.push_back(e.name + "=" + ReadText(out + e.name));
        std::sort(files.begin(), files.end());
        RunCommand("rm -rf " + Q(out));
        return std::make_pair(r, files);
    };
    auto [one, oneFiles] = run("1");
    auto [three, threeFiles] = run("3");
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(three.exitCode, one.exitCode);
    EXPECT_EQ(three.out, one.out);
    EXPECT_EQ(three.err, one.err);
    EXPECT_EQ(threeFiles, oneFiles);
    EXPECT_EQ(oneFiles.size(), 4u); // three thumbnails and the gallery
    EXPECT_EQ(Batch("--jobs 0 " + Q(src) + " " + Q(out)).exitCode, 2);
}

// Every output format through the whole tool; the raster ones read back independently.
TEST_F(CliFixture, EveryOutputFormat)
{
    struct Case {
        const char* format;
        const char* magic;
    } cases[] = {{"jpg", "\xFF\xD8"},
                 {"gif", "GIF8"},
                 {"png", "\x89PNG"},
                 {"bmp", "BM"},
                 {"wmf", "\xD7\xCD\xC6\x9A"},
                 {"emf", "\x01\x00\x00\x00"},
                 {"tga", ""}};
    for (const auto& c : cases) {
        std::string folder = out + c.format + "/";
        CommandResult r = Batch(std::string("--no-html --height 50 --format ") + c.format + " " +
                                Q(src) + " " + Q(folder) + " b.bmp");
        ASSERT_EQ(r.exitCode, 0) << c.format << ": " << r.err;
        std::string file = folder + "btn." + c.format;
        std::string bytes = ReadText(file);
        EXPECT_EQ(bytes.compare(0, std::strlen(c.magic), c.magic), 0) << c.format;
        if (std::string(c.format) == "wmf" || std::string(c.format) == "emf")
            continue;
        auto img = DecodeWithPillow(file);
        ASSERT_TRUE(img) << c.format;
        EXPECT_EQ(img->width, 100) << c.format;
        EXPECT_EQ(img->height, 50) << c.format;
    }
}

} // namespace
