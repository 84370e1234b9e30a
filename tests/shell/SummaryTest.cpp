#include "WizardFixture.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

namespace tabulonix::test {
namespace {

using Summary = WizardFixture;
using Lines = std::vector<std::string>;

void ToSummary(TPaaIkkuna& w)
{
    while (w.VelhoVaihe->currentIndex() != 5)
        WizardFixture::Next(w);
}

TEST_F(Summary, DefaultThumbnails)
{
    WriteOptions();
    auto w = Start();
    w->SetSelectedFiles("/pics", {"a.jpg", "b.jpg"});
    Next(*w);
    w->DDir->setText("/out");
    ToSummary(*w);
    EXPECT_EQ(SummaryLines(*w), (Lines{"Source folder: /pics/",
                                       "Destination folder: /out/",
                                       "2 image(s) to process!",
                                       "Overwrite existing destination files",
                                       "",
                                       "Preserve aspect ratio: Yes - Favor height",
                                       "Width: X",
                                       "Height: 100",
                                       "Keep the same format that is used by source files",
                                       "JPEG compression quality: 80",
                                       "Progressive encoding",
                                       "PNG compression level: 9",
                                       "Destination file name format: <same>tn",
                                       "Extension of the destination files: default",
                                       "",
                                       "Create HTML-output file",
                                       "/out/QVHTML.htm",
                                       "Create and fill image width- and height-values",
                                       "Link to original file",
                                       "Image border: 0",
                                       "Create a table where images will be defined",
                                       "Table border: 1",
                                       "Image(s) on same cell: 1",
                                       "Image(s) to same row: 5",
                                       "Center images in the cells",
                                       "",
                                       "Destination names:",
                                       "atn.jpg",
                                       "btn.jpg"}));
    EXPECT_TRUE(w->btnNext->isEnabled());
}

TEST_F(Summary, FavourWidthFrameAndGifWithoutTable)
{
    WriteOptions();
    auto w = Start();
    w->Overwrite->setChecked(false);
    w->Aspect->setCurrentIndex(1);
    w->AspectChange();
    w->Leveys->setText("160");
    w->StretchSmall->setChecked(true);
    w->DrawFrame->setChecked(true);
    w->Color->SetSelected(clRed);
    w->UpDown->setValue(3);
    w->KeepFormat->setChecked(false);
    w->Format->setCurrentIndex(1);
    w->FormatChange();
    w->Progressive->setChecked(false);
    w->UseTable->setChecked(false);
    w->Link->setChecked(true);
    w->Target->setText("_blank");
    w->FillDimensions->setChecked(false);
    w->CreateMulti->setChecked(true);
    w->ImageCountUp->setValue(12);
    w->BRUp->setValue(4);
    w->HTMLFile->setText("/web/index.htm");
    ToSummary(*w);
    EXPECT_EQ(SummaryLines(*w), (Lines{"Source folder: ",
                                       "Destination folder: ",
                                       "No images to process!",
                                       "",
                                       "Preserve aspect ratio: Yes - Favor width",
                                       "Width: 160",
                                       "Height: X",
                                       "Enlarge smaller images",
                                       "Draw frame",
                                       "Frame color: Red",
                                       "Frame size (in pixels): 3",
                                       "Save destination files as: GIF",
                                       "Destination file name format: <same>tn",
                                       "Extension of the destination files: gif",
                                       "",
                                       "Create HTML-output file",
                                       "/web/index.htm",
                                       "Link to original file",
                                       "Target: _blank",
                                       "Image(s) on same line: 4",
                                       "Image border: 0",
                                       "Create multipaged",
                                       "Images per page: 12"}));
    EXPECT_FALSE(w->btnNext->isEnabled());
}

TEST_F(Summary, ConvertToPngWithoutHtml)
{
    WriteOptions();
    auto w = Start();
    ChooseTask(*w, 1);
    w->KeepFormat->setChecked(false);
    w->Format->setCurrentIndex(2);
    w->FormatChange();
    w->Extension->setText("PNG");
    w->PNGTrackBar->setValue(4);
    w->Link->setChecked(false);
    w->Target->setText("ignored without links");
    Next(*w);
    w->DDir->setText("/out/");
    ToSummary(*w); // leaving page 4 without an HTML file turns the output off
    EXPECT_EQ(SummaryLines(*w),
              (Lines{"Source folder: ", "Destination folder: /out/", "No images to process!",
                     "Overwrite existing destination files", "Save destination files as: PNG",
                     "PNG compression level: 4", "Destination file name format: <same>",
                     "Extension of the destination files: PNG"}));
    EXPECT_EQ(w->windowTitle(), "Tabulonix 1.2 by Merovane 5/5");
}

TEST_F(Summary, FavourHeightAndNoAspectShowWidthLine)
{
    WriteOptions();
    auto w = Start();
    w->Aspect->setCurrentIndex(2);
    w->AspectChange();
    w->Leveys->setText("64");
    w->Korkeus->setText("48");
    w->KeepFormat->setChecked(false);
    w->Format->setCurrentIndex(0);
    w->FormatChange();
    ToSummary(*w);
    const Lines lines = SummaryLines(*w);
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[3], "Overwrite existing destination files");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "Preserve aspect ratio: No");
    EXPECT_EQ(lines[6], "Width: 64");
    EXPECT_EQ(lines[7], "Height: 48");
    EXPECT_EQ(lines[8], "Save destination files as: JPG");
    EXPECT_EQ(lines[9], "JPEG compression quality: 80");
    EXPECT_EQ(lines[10], "Progressive encoding");
    EXPECT_EQ(lines[11], "Destination file name format: <same>tn");
}

TEST_F(Summary, FitInTheBoxShowsBothSizes)
{
    WriteOptions();
    auto w = Start();
    w->Aspect->setCurrentIndex(3);
    w->AspectChange();
    EXPECT_TRUE(w->Leveys->isEnabled());
    EXPECT_TRUE(w->Korkeus->isEnabled());
    w->Leveys->setText("160");
    w->Korkeus->setText("120");
    ToSummary(*w);
    const Lines lines = SummaryLines(*w);
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[5], "Preserve aspect ratio: Yes - Fit in the box");
    EXPECT_EQ(lines[6], "Width: 160");
    EXPECT_EQ(lines[7], "Height: 120");
}

TEST_F(Summary, SkipUnchangedIsNamedAndReachesTheJob)
{
    WriteOptions();
    auto w = Start();
    EXPECT_FALSE(w->CurrentJob().SkipUnchanged);
    w->SkipUnchanged->setChecked(true);
    EXPECT_TRUE(w->CurrentJob().SkipUnchanged);
    ToSummary(*w);
    const Lines lines = SummaryLines(*w);
    auto at = std::find(lines.begin(), lines.end(), "Skip pictures unchanged since the last run");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at - 1), "Extension of the destination files: default");
}

TEST_F(Summary, EndsWithTheFirstTenDestinationNames)
{
    WriteOptions();
    auto w = Start();
    std::vector<std::string> names = {"a.png", "a.jpg"};
    for (int i = 0; i < 10; ++i)
        names.push_back("p" + std::to_string(i) + ".gif");
    w->SetSelectedFiles("/pics", names);
    w->KeepFormat->setChecked(false); // a.jpg and a.png both become JPEG: a.jpg, then a(1).jpg
    w->Format->setCurrentIndex(ofJPEG);
    w->FormatChange();
    w->NameFormat->setText("<same>");
    ToSummary(*w);
    const Lines lines = SummaryLines(*w);
    ASSERT_GE(lines.size(), 12u);
    const Lines tail(lines.end() - 12, lines.end());
    EXPECT_EQ(tail, (Lines{"Destination names:", "a.jpg", "a(1).jpg", "p0.jpg", "p1.jpg", "p2.jpg",
                           "p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "p7.jpg", "and 2 more"}))
        << "12 selected";
}

} // namespace
} // namespace tabulonix::test
