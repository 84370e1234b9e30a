// The options that are off unless asked for: skipping unchanged files, folder trees, the dry
// run and its report.
#include "CliSupport.h"
#include "TestSupport.h"
#include "codecs/surface/Bitmap.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

timespec ModifiedTime(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mtim;
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void SetModifiedTime(const std::string& path, time_t seconds)
{
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

struct OptIn : ::testing::Test {
    TempDir dir;
    std::string src, out;
    void SetUp() override
    {
        src = dir.Path() + "src/";
        out = dir.Path() + "out/";
        ASSERT_TRUE(ForceDirectories(src));
        MakeBmp(src + "a.bmp", 40, 20);
        MakeBmp(src + "b.bmp", 20, 40);
        MakeBmp(src + "c.bmp", 30, 30);
    }
    std::string Q(const std::string& s) const { return ShellQuote(s); }
};

TEST_F(OptIn, SkipUnchangedRedoesExactlyWhatChanged)
{
    const std::string folders = Q(src) + " " + Q(out);
    CommandResult first = Batch("--skip-unchanged --jobs 2 " + folders);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "Complete! 3 of 3 images processed!\n");
    const timespec a = ModifiedTime(out + "atn.bmp"), c = ModifiedTime(out + "ctn.bmp");

    // b changes, so it is newer than its output; c's output is deleted.
    MakeBmp(src + "b.bmp", 50, 10);
    ASSERT_EQ(unlink((out + "ctn.bmp").c_str()), 0);
    CommandResult second = Batch("--skip-unchanged --jobs 2 " + folders);
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out, "Complete! 3 of 3 images processed!\n1 unchanged image(s) skipped!\n");
    EXPECT_TRUE(SameTime(ModifiedTime(out + "atn.bmp"), a));
    EXPECT_FALSE(SameTime(ModifiedTime(out + "ctn.bmp"), c));
    auto b = DecodeWithPillow(out + "btn.bmp");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->width, 50);
    // The gallery lists every picture, the kept one with its size.
    std::string html = ReadText(out + "QVHTML.htm");
    EXPECT_EQ(Count(html, "<IMG "), 3u);
    EXPECT_NE(html.find("SRC=\"atn.bmp\" HEIGHT=\"20\" WIDTH=\"40\""), std::string::npos);

    // An output older than its source is made again, even with its settings unchanged.
    SetModifiedTime(src + "a.bmp", time(nullptr) + 5);
    CommandResult touched = Batch("--skip-unchanged " + folders);
    EXPECT_EQ(touched.out, "Complete! 3 of 3 images processed!\n2 unchanged image(s) skipped!\n");
    SetModifiedTime(src + "a.bmp", time(nullptr) - 5);
    const timespec a2 = ModifiedTime(out + "atn.bmp");
    EXPECT_FALSE(SameTime(a2, a));

    CommandResult third = Batch("--skip-unchanged " + folders);
    EXPECT_EQ(third.out, "Complete! 3 of 3 images processed!\n3 unchanged image(s) skipped!\n");
    EXPECT_EQ(ReadText(out + "QVHTML.htm"), html);

    // Other settings make other outputs: nothing is kept.
    CommandResult framed = Batch("--skip-unchanged --frame clRed " + folders);
    EXPECT_EQ(framed.out, "Complete! 3 of 3 images processed!\n");
    EXPECT_FALSE(SameTime(ModifiedTime(out + "atn.bmp"), a2));
}

TEST_F(OptIn, SkipUnchangedKeepsNothingWhoseNameMoved)
{
    const std::string folders = Q(src) + " " + Q(out);
    ASSERT_EQ(Batch("--skip-unchanged --name 'p<inc>' " + folders).exitCode, 0);
    // a new first file moves every <inc> number: no output has the name it would get now.
    MakeBmp(src + "0.bmp", 10, 10);
    CommandResult r = Batch("--skip-unchanged --name 'p<inc>' " + folders);
    EXPECT_EQ(r.out, "Complete! 4 of 4 images processed!\n");
    auto p4 = DecodeWithPillow(out + "p4.bmp");
    ASSERT_TRUE(p4);
    EXPECT_EQ(p4->width, 30); // c.bmp
}

TEST_F(OptIn, DefaultRunLeavesNoStateFile)
{
    ASSERT_EQ(Batch(Q(src) + " " + Q(out)).exitCode, 0);
    EXPECT_FALSE(FileExists(out + ".tabulonix-state"));
    ASSERT_EQ(Batch("--skip-unchanged " + Q(src) + " " + Q(out)).exitCode, 0);
    EXPECT_TRUE(FileExists(out + ".tabulonix-state"));
}

TEST_F(OptIn, RecursiveTakesTheWholeTreeWithoutFollowingFolderLinks)
{
    ASSERT_TRUE(ForceDirectories(src + "sub/deeper/"));
    MakeBmp(src + "sub/a.bmp", 12, 10);
    MakeBmp(src + "sub/deeper/x.bmp", 14, 10);
    MakeBmp(src + "sub/y.bmp", 16, 10);
    MakeBmp(src + "sub/y.dib", 18, 10); // y.bmp as well: numbered within its folder
    ASSERT_EQ(symlink("..", (src + "sub/loop").c_str()), 0);
    ASSERT_EQ(symlink("sub", (src + "link").c_str()), 0);

    // Without the option only the top folder counts, as before.
    CommandResult flat = Batch("--no-html " + Q(src) + " " + Q(dir.Path() + "flat/"));
    EXPECT_EQ(flat.out, "Complete! 3 of 3 images processed!\n");

    CommandResult r = Batch("--recursive --name '<same>_<inc>' " + Q(src) + " " + Q(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Complete! 7 of 7 images processed!\n");
    // One number over the whole sorted list: a b c sub/a sub/deeper/x sub/y.bmp sub/y.dib.
    for (const char* name : {"a_1.bmp", "b_2.bmp", "c_3.bmp", "sub/a_4.bmp", "sub/deeper/x_5.bmp",
                             "sub/y_6.bmp", "sub/y_7.bmp"})
        EXPECT_TRUE(FileExists(out + name)) << name;
    EXPECT_FALSE(DirectoryExists(out + "link"));
    EXPECT_FALSE(DirectoryExists(out + "sub/loop"));
    auto dib = DecodeWithPillow(out + "sub/y_7.bmp");
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->width, 18);

    const std::string html = ReadText(out + "QVHTML.htm");
    EXPECT_NE(html.find("<A HREF=\"file://" + src +
                        "sub/deeper/x.bmp\"><IMG SRC=\"sub/deeper/x_5.bmp\" HEIGHT=\"10\""),
              std::string::npos)
        << html;
}

TEST_F(OptIn, RecursiveLeavesOutTheDestinationInsideTheSource)
{
    ASSERT_TRUE(ForceDirectories(src + "sub/"));
    MakeBmp(src + "sub/a.bmp", 12, 10);
    const std::string inside = src + "thumbs/";
    for (int run = 0; run < 2; ++run) {
        CommandResult r = Batch("--recursive " + Q(src) + " " + Q(inside));
        EXPECT_EQ(r.out, "Complete! 4 of 4 images processed!\n") << run;
    }
    EXPECT_FALSE(FileExists(inside + "thumbs/atntn.bmp"));
    EXPECT_TRUE(FileExists(inside + "sub/atn.bmp"));
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The dry run's names are those the run then gives: suffixes for this run's own outputs and
// for the files already there, failures left out, nothing written before the run.
TEST_F(OptIn, DryRunNamesAreTheRunsNames)
{
    MakeBmp(src + "b.dib", 22, 11); // b.bmp's name too
    WriteText(src + "broken.bmp", "xx");
    ASSERT_TRUE(ForceDirectories(out));
    MakeBmp(out + "atn.bmp", 3, 3); // kept by --no-overwrite
    const std::string args = "--no-overwrite --jobs 2 " + Q(src) + " " + Q(out);

    CommandResult plan = Batch("--dry-run --json " + Q(dir.Path() + "plan.json") + " " + args);
    EXPECT_EQ(plan.exitCode, 1); // broken.bmp cannot be opened
    EXPECT_EQ(plan.err, "Error opening file " + src + "broken.bmp! (Bitmap image is not valid)\n");
    EXPECT_EQ(plan.out, "a.bmp -> atn(1).bmp 40x20\n"
                        "b.bmp -> btn.bmp 20x40\n"
                        "b.dib -> btn(1).bmp 22x11\n"
                        "c.bmp -> ctn.bmp 30x30\n");
    EXPECT_EQ(FindFiles(out, "*").size(), 1u) << "a dry run writes nothing";

    CommandResult run = Batch("--json " + Q(dir.Path() + "run.json") + " " + args);
    EXPECT_EQ(run.exitCode, 1);
    for (const std::string& line : SplitLines(plan.out)) {
        std::istringstream fields(line);
        std::string source, arrow, destination, size;
        fields >> source >> arrow >> destination >> size;
        auto made = DecodeWithPillow(out + destination);
        ASSERT_TRUE(made) << line;
        EXPECT_EQ(std::to_string(made->width) + "x" + std::to_string(made->height), size) << line;
    }
    EXPECT_EQ(FindFiles(out, "*").size(), 6u); // the old picture, four new ones, the gallery

    // Both reports list the same destinations; the run's says what became of each file.
    RequireTool("python3", "python3");
    const std::string fields =
        "import json,sys\nr=json.load(open(sys.argv[1]))\nprint(r['total'],r['processed'])\n"
        "for f in r['files']: print(f['source'],f['destination'],f['outcome'],f['reason'])";
    auto report = [&](const char* file) {
        return RunCommand("python3 -c " + Q(fields) + " " + Q(dir.Path() + file)).out;
    };
    const std::string planned = report("plan.json"), ran = report("run.json");
    EXPECT_EQ(ran, "5 4\na.bmp atn(1).bmp written None\nb.bmp btn.bmp written None\n"
                   "b.dib btn(1).bmp written None\nbroken.bmp None failed Bitmap image is not "
                   "valid\nc.bmp ctn.bmp written None\n");
    std::string expected = ran;
    for (size_t at; (at = expected.find("written")) != std::string::npos;)
        expected.replace(at, 7, "planned");
    EXPECT_EQ(planned, expected);
}

TEST_F(OptIn, DryRunShowsWhatWouldBeKept)
{
    ASSERT_EQ(Batch("--skip-unchanged " + Q(src) + " " + Q(out)).exitCode, 0);
    MakeBmp(src + "b.bmp", 50, 10);
    CommandResult plan = Batch("--dry-run --skip-unchanged " + Q(src) + " " + Q(out));
    EXPECT_EQ(plan.exitCode, 0);
    EXPECT_EQ(plan.out, "a.bmp -> atn.bmp 40x20 (unchanged, kept)\n"
                        "b.bmp -> btn.bmp 50x10\n"
                        "c.bmp -> ctn.bmp 30x30 (unchanged, kept)\n");
}

// Pictures made by Pillow in all eight orientations of a four-colour pattern, turned upright
// and compared with the pattern turned by Pillow: TIFF exactly, JPEG on average.
TEST_F(OptIn, AutoRotateTurnsEveryOrientationUpright)
{
    TABULONIX_NEED(HavePillow(), "Pillow (python3-pil)");
    const std::string script = "/usr/bin/python3 " + Q(TABULONIX_CLI_TEST_DIR "orientation.py");
    const std::string photos = dir.Path() + "photos/";
    ASSERT_TRUE(ForceDirectories(photos));
    ASSERT_EQ(RunCommand(script + " make " + Q(photos)).exitCode, 0);

    CommandResult r = Batch("--convert --format bmp --auto-rotate " + Q(photos) + " " + Q(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    CommandResult check = RunCommand(script + " check " + Q(out));
    ASSERT_EQ(check.exitCode, 0) << check.err;
    const std::vector<std::string> lines = SplitLines(check.out);
    ASSERT_EQ(lines.size(), 16u) << check.out;
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        std::string name, size;
        int worst = -1;
        double mean = -1;
        fields >> name >> size >> worst >> mean;
        const int orientation = name[1] - '0';
        EXPECT_EQ(size, orientation >= 5 ? "32x48" : "48x32") << line;
        if (name[0] == 't')
            EXPECT_EQ(worst, 0) << line;
        else
            EXPECT_LE(mean, 6.0) << line; // a wrong turn is well above 100
    }

    // Thumbnails: the size and the gallery describe the upright picture.
    const std::string thumbs = dir.Path() + "thumbs/";
    ASSERT_EQ(
        Batch("--auto-rotate --height 16 " + Q(photos) + " " + Q(thumbs) + " j6.jpg").exitCode, 0);
    auto upright = DecodeWithPillow(thumbs + "j6tn.jpg");
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->width, 11); // 16 * 32 / 48
    EXPECT_EQ(upright->height, 16);
    EXPECT_NE(ReadText(thumbs + "QVHTML.htm").find("HEIGHT=\"16\" WIDTH=\"11\""),
              std::string::npos);
    ASSERT_EQ(Batch("--height 16 " + Q(photos) + " " + Q(thumbs) + " j6.jpg").exitCode, 0);
    auto stored = DecodeWithPillow(thumbs + "j6tn.jpg");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->width, 24); // without the option, as stored
}

// A line drawing: one black column in four. Nearest sampling keeps or loses whole lines;
// averaging gives the even grey the lines make together.
TEST_F(OptIn, SmoothScalingAveragesLineDrawings)
{
    TBitmap lines;
    lines.SetSize(400, 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x)
            lines.SetPixel(x, y, x % 4 == 1 ? clBlack : clWhite);
    lines.WriteFile(src + "lines.bmp");
    ASSERT_EQ(Batch("--smooth --height 50 " + Q(src) + " " + Q(out) + " lines.bmp").exitCode, 0);
    ASSERT_EQ(
        Batch("--height 50 " + Q(src) + " " + Q(dir.Path() + "near/") + " lines.bmp").exitCode, 0);
    auto smooth = DecodeWithPillow(out + "linestn.bmp");
    auto nearest = DecodeWithPillow(dir.Path() + "near/linestn.bmp");
    ASSERT_TRUE(smooth && nearest);
    EXPECT_EQ(smooth->width, 100);
    EXPECT_EQ(smooth->height, 50);
    int low = 255, high = 0;
    for (size_t i = 0; i < smooth->rgba.size(); i += 4) {
        low = std::min<int>(low, smooth->rgba[i]);
        high = std::max<int>(high, smooth->rgba[i]);
    }
    EXPECT_GE(low, 190); // (3 * 255 + 0) / 4 = 191.25
    EXPECT_LE(high, 192);
    EXPECT_NE(nearest->rgba, smooth->rgba);
    // The gallery is the same either way.
    EXPECT_EQ(ReadText(out + "QVHTML.htm").find("HEIGHT=\"50\" WIDTH=\"100\"") != std::string::npos,
              true);
}

// With every opt-in setting off, the outputs, messages and exit statuses are those the
// program gave before the settings existed (recorded in tests/data/defaults-outputs.txt).
TEST(OptInDefaults, OutputsAreThoseOfBefore)
{
    TempDir work;
    CommandResult r =
        RunCommand("bash " + ShellQuote(TABULONIX_CLI_TEST_DIR "defaults-outputs.sh") + " " +
                   Tool() + " " + ShellQuote(CorpusDir()) + " " + ShellQuote(work.Path()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ReadText(TABULONIX_CLI_TEST_DIR "../data/defaults-outputs.txt"));
}

} // namespace
