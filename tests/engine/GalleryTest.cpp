#include "engine/Gallery.h"

#include "FakeHost.h"
#include "TestSupport.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tabulonix;
using tabulonix::test::FakeHost;
using tabulonix::test::ReadText;
using tabulonix::test::TempDir;
using tabulonix::test::WriteText;

namespace {

const std::string M(kGalleryMarker);

struct GalleryFixture : ::testing::Test {
    TempDir dir;
    JobSettings s;
    SelectedFileList selected;
    FakeHost host;

    void SetUp() override
    {
        s.SDir = "/pictures/";
        s.DDir = dir.Path();
        s.HTMLFile = dir.File("QVHTML.htm");
    }
    // Runs the writer over images img1.jpg .. imgN.jpg, all successful unless listed.
    std::vector<std::string> Run(int count, std::vector<int> failing = {})
    {
        std::vector<std::string> names;
        for (int i = 1; i <= count; ++i)
            names.push_back("img" + std::to_string(100 + i) + ".jpg");
        selected = MakeSelectedFiles(names);
        TGalleryWriter writer(s, selected, host);
        for (int i = 1; i <= count; ++i)
            if (std::find(failing.begin(), failing.end(), i) == failing.end())
                writer.AddGalleryEntry("t" + std::to_string(100 + i) + ".jpg", 40, 30,
                                       names[i - 1]);
        writer.WriteGallery();
        return writer.Lines();
    }
};

std::string Cell(int i)
{
    std::string n = std::to_string(100 + i);
    return "<A HREF=\"file:///pictures/img" + n + ".jpg\"><IMG SRC=\"t" + n +
           ".jpg\" HEIGHT=\"30\" WIDTH=\"40\" BORDER=\"0\"></A>";
}

TEST_F(GalleryFixture, DefaultCreateModeWritesSixteenLines)
{
    Run(2);
    std::string expected = "<HTML>\r\n<BODY>\r\n" + M +
                           "\r\n<TABLE BORDER=\"1\">\r\n<TR>\r\n"
                           "<TD ALIGN=\"center\">\r\n" +
                           Cell(1) +
                           "\r\n</TD>\r\n"
                           "<TD ALIGN=\"center\">\r\n" +
                           Cell(2) +
                           "\r\n</TD>\r\n"
                           "</TR>\r\n</TABLE>\r\n" +
                           M + "\r\n</BODY>\r\n</HTML>\r\n";
    EXPECT_EQ(ReadText(s.HTMLFile), expected);
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(GalleryFixture, WithoutTableBreaksAfterEachFullLine)
{
    s.UseTable = false;
    s.Link = false;
    s.FillDimensions = false;
    s.Target = "x";
    auto lines = Run(7);
    std::vector<std::string> expected = {"<HTML>", "<BODY>", M};
    for (int i = 1; i <= 7; ++i) {
        expected.push_back("<IMG SRC=\"t" + std::to_string(100 + i) + ".jpg\" BORDER=\"0\">");
        if (i == 5)
            expected.push_back("<BR>");
    }
    expected.insert(expected.end(), {M, "</BODY>", "</HTML>"});
    EXPECT_EQ(lines, expected);
}

TEST_F(GalleryFixture, CellsAndRowsCloseIndependently)
{
    s.TDUp = 2;
    s.TRUp = 3;
    s.Link = false;
    s.CenterCell = false;
    s.FillDimensions = false;
    auto lines = Run(4);
    auto img = [](int i) {
        return "<IMG SRC=\"t" + std::to_string(100 + i) + ".jpg\" BORDER=\"0\">";
    };
    std::vector<std::string> expected = {"<HTML>",   "<BODY>", M,         "<TABLE BORDER=\"1\">",
                                         "<TR>",     "<TD>",   img(1),    img(2),
                                         "</TD>",    "<TD>",   img(3),    "</TR>",
                                         "<TR>",     img(4),   "</TD>",   "</TR>",
                                         "</TABLE>", M,        "</BODY>", "</HTML>"};
    EXPECT_EQ(lines, expected);
}

TEST_F(GalleryFixture, PathRule)
{
    s.HTMLFile = "/web/index.htm";
    s.SDir = "/WEB/originals/";
    JobSettings inside = s;
    inside.DDir = "/web/thumbs/";
    SelectedFileList one = MakeSelectedFiles({"a.jpg"});
    TGalleryWriter w1(inside, one, host);
    w1.AddGalleryEntry("a.jpg", 1, 2, "a.jpg");
    EXPECT_EQ(w1.Lines()[6], "<A HREF=\"originals/a.jpg\"><IMG SRC=\"thumbs/a.jpg\" HEIGHT=\"2\" "
                             "WIDTH=\"1\" BORDER=\"0\"></A>");

    JobSettings outside = s;
    outside.DDir = "/out/";
    outside.SDir = "/src/";
    TGalleryWriter w2(outside, one, host);
    w2.AddGalleryEntry("a.jpg", 1, 2, "a.jpg");
    EXPECT_EQ(w2.Lines()[6], "<A HREF=\"file:///src/a.jpg\"><IMG SRC=\"file:///out/a.jpg\" "
                             "HEIGHT=\"2\" WIDTH=\"1\" BORDER=\"0\"></A>");
}

TEST_F(GalleryFixture, AwkwardNamesAreEscaped)
{
    s.SDir = "/p&q/";
    s.Target = "a\"b";
    SelectedFileList one = MakeSelectedFiles({"x#1%\"<.jpg"});
    TGalleryWriter w(s, one, host);
    w.AddGalleryEntry("t?&.jpg", 1, 2, "x#1%\"<.jpg");
    EXPECT_EQ(w.Lines()[6],
              "<A HREF=\"file:///p&amp;q/x%231%25&quot;&lt;.jpg\" TARGET=\"a&quot;b\">"
              "<IMG SRC=\"t%3F&amp;.jpg\" HEIGHT=\"2\" WIDTH=\"1\" BORDER=\"0\"></A>");
}

// Every SRC and HREF value of a page, entities resolved.
std::vector<std::string> Links(const std::string& html)
{
    std::vector<std::string> links;
    for (const char* attribute : {"SRC=\"", "HREF=\""})
        for (size_t at = html.find(attribute); at != std::string::npos;
             at = html.find(attribute, at + 1)) {
            size_t start = at + std::strlen(attribute);
            std::string value = html.substr(start, html.find('"', start) - start);
            for (size_t amp; (amp = value.find("&amp;")) != std::string::npos;)
                value.replace(amp, 5, "&");
            links.push_back(value);
        }
    return links;
}

// Names with bytes of another character set, tabs and blanks: the links hold printable
// ASCII only and, decoded, name the files on disk.
TEST_F(GalleryFixture, EveryFileNameGivesAWorkingLink)
{
    const std::vector<std::string> names = {"caf\xC3\xA9 & co.jpg", "\xE6\x97\xA5\xE6\x9C\xAC.jpg",
                                            "tab\there.jpg", "latin\xE9 100%.jpg"};
    TempDir elsewhere; // the sources are linked by absolute paths, the thumbnails relatively
    s.SDir = elsewhere.Path() + "sources/";
    s.DDir = dir.Path() + "thumbs/";
    ASSERT_TRUE(ForceDirectories(s.SDir));
    ASSERT_TRUE(ForceDirectories(s.DDir));
    selected = MakeSelectedFiles(names);
    TGalleryWriter writer(s, selected, host);
    for (const auto& name : selected) {
        WriteText(s.SDir + name, "source");
        WriteText(s.DDir + "t " + name, "thumbnail");
        writer.AddGalleryEntry("t " + name, 4, 3, name);
    }
    writer.WriteGallery();
    std::string html = ReadText(s.HTMLFile);
    for (unsigned char c : html)
        ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c <= 0x7E)) << int(c);
    std::vector<std::string> links = Links(html);
    ASSERT_EQ(links.size(), 2 * names.size());
    EXPECT_EQ(std::count_if(links.begin(), links.end(),
                            [](const std::string& l) { return l.rfind("file://", 0) == 0; }),
              4);
    for (const auto& link : links) {
        std::string path = DecodeUrlPath(link);
        if (path.rfind("file://", 0) == 0)
            path = path.substr(7);
        else
            path = dir.Path() + path; // relative to the page
        EXPECT_TRUE(FileExists(path)) << link;
    }
    // Names of printable ASCII keep today's bytes.
    EXPECT_EQ(EscapeUrlPath("plain-name_1.jpg"), "plain-name_1.jpg");
    EXPECT_EQ(EscapeUrlPath("a b\x7F\x7E"), "a%20b%7F\x7E");
}

TEST_F(GalleryFixture, MultipageLinksThePages)
{
    s.CreateMulti = true;
    s.ImageCountUp = 20;
    Run(45);
    EXPECT_FALSE(FileExists(s.HTMLFile));
    std::string p1 = ReadText(dir.File("QVHTML1.htm")), p2 = ReadText(dir.File("QVHTML2.htm")),
                p3 = ReadText(dir.File("QVHTML3.htm"));
    EXPECT_FALSE(FileExists(dir.File("QVHTML4.htm")));
    auto count = [](const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(p1, "<IMG"), 20u);
    EXPECT_EQ(count(p2, "<IMG"), 20u);
    EXPECT_EQ(count(p3, "<IMG"), 5u);
    const std::string back = "<A HREF=\"QVHTML1.htm\">&lt;&lt; Back</A>";
    const std::string fwd3 = "<A HREF=\"QVHTML3.htm\">Forward &gt;&gt;</A>";
    EXPECT_EQ(count(p1, "Back</A>"), 0u);
    EXPECT_EQ(count(p1, "<A HREF=\"QVHTML2.htm\">Forward &gt;&gt;</A>"), 1u);
    EXPECT_EQ(count(p2, back), 1u);
    EXPECT_EQ(count(p2, fwd3), 1u);
    EXPECT_EQ(count(p3, "<A HREF=\"QVHTML2.htm\">&lt;&lt; Back</A>"), 1u);
    EXPECT_EQ(count(p3, "Forward"), 0u);
    // The navigation stands after the image table, just before the closing marker.
    std::string tail = "</TABLE>\r\n<BR><TABLE WIDTH=\"75%\">\r\n<TR>\r\n<TD ALIGN=\"left\">\r\n" +
                       back + "\r\n</TD>\r\n<TD ALIGN=\"right\">\r\n" + fwd3 +
                       "\r\n</TD>\r\n</TR>\r\n</TABLE>\r\n" + M + "\r\n</BODY>\r\n</HTML>\r\n";
    ASSERT_GE(p2.size(), tail.size());
    EXPECT_EQ(p2.substr(p2.size() - tail.size()), tail);
}

TEST_F(GalleryFixture, SinglePageOfMultipageHasAnEmptyRow)
{
    s.CreateMulti = true;
    Run(20);
    std::string p1 = ReadText(dir.File("QVHTML1.htm"));
    EXPECT_NE(p1.find("<BR><TABLE WIDTH=\"75%\">\r\n<TR>\r\n</TR>\r\n</TABLE>\r\n" + M),
              std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("QVHTML2.htm")));
    EXPECT_EQ(PageFileName("/a.b/noext", 3), "/a.b/noext3");
}

TEST_F(GalleryFixture, LastFileFailingStillClosesThePage)
{
    auto lines = Run(3, {3});
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines.back(), "</HTML>");
    EXPECT_EQ(lines[lines.size() - 3], M);
    EXPECT_EQ(lines[lines.size() - 4], "</TABLE>");
    EXPECT_TRUE(HasGalleryMarkers(s.HTMLFile));
}

TEST_F(GalleryFixture, UpdateReplacesTheMarkedSectionOnly)
{
    s.CreateHTML = 1;
    WriteText(s.HTMLFile, "<html>\nbefore\r\n" + M + "\nold stuff\n" + M + "\rafter\nend");
    ASSERT_TRUE(HasGalleryMarkers(s.HTMLFile));
    Run(1);
    std::string text = ReadText(s.HTMLFile);
    std::string expected = "<html>\r\nbefore\r\n" + M +
                           "\r\n<TABLE BORDER=\"1\">\r\n<TR>\r\n<TD ALIGN=\"center\">\r\n" +
                           Cell(1) + "\r\n</TD>\r\n</TR>\r\n</TABLE>\r\n" + M +
                           "\r\nafter\r\nend\r\n";
    EXPECT_EQ(text, expected);
    // The new section carries its own markers, so the page can be updated again.
    Run(2);
    EXPECT_NE(ReadText(s.HTMLFile).find(Cell(2)), std::string::npos);
    EXPECT_EQ(ReadText(s.HTMLFile).find("old stuff"), std::string::npos);
}

TEST_F(GalleryFixture, UpdateKeepsAPageThatLostItsMarkers)
{
    s.CreateHTML = 1;
    const std::string page = "<html>only one " + M + "\n";
    WriteText(s.HTMLFile, page);
    Run(2);
    EXPECT_EQ(ReadText(s.HTMLFile), page);
    ASSERT_EQ(host.infos.size(), 1u);
    EXPECT_EQ(host.infos[0], "Can't update, no headers found!");
}

TEST_F(GalleryFixture, NoSuccessfulImageKeepsTheExistingPage)
{
    const std::string page = "<html>" + M + "\n" + M + "\n";
    WriteText(s.HTMLFile, page);
    for (int mode : {0, 1}) {
        s.CreateHTML = mode;
        Run(2, {1, 2});
        EXPECT_EQ(ReadText(s.HTMLFile), page) << mode;
    }
}

TEST_F(GalleryFixture, UpdateOfAMissingFileCreatesIt)
{
    s.CreateHTML = 1;
    Run(1);
    std::string text = ReadText(s.HTMLFile);
    EXPECT_EQ(text.substr(0, M.size()), M); // no <HTML>/<BODY> in update mode
    EXPECT_TRUE(HasGalleryMarkers(s.HTMLFile));
}

TEST_F(GalleryFixture, FailuresAreReported)
{
    s.HTMLFile = dir.File("missing/folder/x.htm");
    Run(1);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Error saving HTML-output " + s.HTMLFile + "!");
    EXPECT_EQ(host.reasons[0], "No such file or directory");

    // An unreadable page in update mode: reported, nothing written.
    if (getuid() != 0) {
        host.errors.clear();
        s.CreateHTML = 1;
        s.HTMLFile = dir.File("locked.htm");
        WriteText(s.HTMLFile, M + "\n" + M + "\n");
        chmod(s.HTMLFile.c_str(), 0);
        Run(1);
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_EQ(host.errors[0], "Error opening file " + s.HTMLFile + "!");
    }
}

TEST(GalleryMarkersTest, NeedsTwoMarkersFarEnoughApart)
{
    TempDir dir;
    EXPECT_FALSE(HasGalleryMarkers(dir.File("none.htm")));
    WriteText(dir.File("one.htm"), "x" + M + "y");
    EXPECT_FALSE(HasGalleryMarkers(dir.File("one.htm")));
    // The second copy is looked for from the 51st character on: directly adjoining
    // copies are not a pair, copies on their own lines are.
    WriteText(dir.File("two.htm"), M + M);
    EXPECT_FALSE(HasGalleryMarkers(dir.File("two.htm")));
    WriteText(dir.File("lf.htm"), M + "\n" + M);
    EXPECT_TRUE(HasGalleryMarkers(dir.File("lf.htm")));
    EXPECT_EQ(SplitLines("a\r\nb\rc\n\nd"), (std::vector<std::string>{"a", "b", "c", "", "d"}));
}

} // namespace
