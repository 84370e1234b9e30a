#include "WizardFixture.h"

#include "i18n/QtText.h"
#include "ui/PreviewIkkuna.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace tabulonix::test {
namespace {

using Navigation = WizardFixture;

std::string Title(const TPaaIkkuna& w)
{
    return FromQString(w.windowTitle());
}

TEST_F(Navigation, ThumbnailTaskWalksAllSixPages)
{
    WriteOptions();
    auto w = Start();
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 1/6");
    EXPECT_FALSE(w->btnPrevious->isEnabled());
    for (int page = 2; page <= 6; ++page) {
        Next(*w);
        EXPECT_EQ(Page(*w), page);
        EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane " + std::to_string(page) + "/6");
        EXPECT_TRUE(w->btnPrevious->isEnabled());
    }
    // Page 6: the Next button is "Process!", disabled without images and a folder.
    EXPECT_EQ(w->btnNext->text(), "Process!");
    EXPECT_EQ(w->btnNext->toolTip(), "Process images!");
    EXPECT_FALSE(w->btnNext->isEnabled());
    EXPECT_EQ(w->btnNextTag, 1);

    Previous(*w);
    EXPECT_EQ(Page(*w), 5);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 5/6");
    EXPECT_EQ(w->btnNext->text(), "Next");
    EXPECT_EQ(w->btnNext->toolTip(), "Next step");
    EXPECT_TRUE(w->btnNext->isEnabled());
    EXPECT_EQ(w->btnNextTag, 0);
    for (int page = 4; page >= 1; --page) {
        Previous(*w);
        EXPECT_EQ(Page(*w), page);
    }
    EXPECT_FALSE(w->btnPrevious->isEnabled());
}

TEST_F(Navigation, ConvertTaskSkipsTheSizePage)
{
    WriteOptions();
    auto w = Start();
    ChooseTask(*w, 1);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 1/5");
    Next(*w);
    EXPECT_EQ(Page(*w), 2);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 2/5");
    Next(*w);
    EXPECT_EQ(Page(*w), 4);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 3/5");
    Next(*w);
    Next(*w);
    EXPECT_EQ(Page(*w), 6);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 5/5");
    Previous(*w);
    Previous(*w);
    EXPECT_EQ(Page(*w), 4);
    Previous(*w);
    EXPECT_EQ(Page(*w), 2);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 2/5");
    Previous(*w);
    ChooseTask(*w, 0);
    EXPECT_EQ(Title(*w), "Tabulonix 1.2 by Merovane 1/6");
    Next(*w);
    Next(*w);
    EXPECT_EQ(Page(*w), 3);
}

TEST_F(Navigation, TaskSwapsOnlyTheTwoNamePatterns)
{
    WriteOptions();
    auto w = Start();
    EXPECT_EQ(w->NameFormat->text(), "<same>tn") << "the stored default read for thumbnails";
    ChooseTask(*w, 1);
    EXPECT_EQ(w->NameFormat->text(), "<same>");
    ChooseTask(*w, 0);
    EXPECT_EQ(w->NameFormat->text(), "<same>tn");
    w->NameFormat->setText("<same>tn_<inc>");
    ChooseTask(*w, 1);
    EXPECT_EQ(w->NameFormat->text(), "<same>tn_<inc>");
    w->NameFormat->setText("<same>");
    ChooseTask(*w, 1); // already convert-only: nothing happens
    ChooseTask(*w, 0);
    EXPECT_EQ(w->NameFormat->text(), "<same>tn");
}

TEST_F(Navigation, DestinationFolderAndHtmlFile)
{
    WriteOptions();
    auto w = Start();
    Next(*w);
    w->DDir->setText("/tmp/out");
    Next(*w);
    EXPECT_EQ(w->DDir->text(), "/tmp/out/");
    EXPECT_EQ(w->HTMLFile->text(), "/tmp/out/QVHTML.htm");

    // Convert-only: leaving page 2 gives no HTML file, and leaving page 4 without one turns
    // the HTML output off.
    WriteOptions();
    auto c = Start();
    ChooseTask(*c, 1);
    Next(*c);
    c->DDir->setText("/tmp/out");
    Next(*c);
    EXPECT_TRUE(c->HTMLFile->text().isEmpty());
    EXPECT_EQ(c->CreateHTML->currentIndex(), 0);
    Next(*c);
    EXPECT_EQ(c->CreateHTML->currentIndex(), 2);
    EXPECT_FALSE(c->FillDimensions->isEnabled());
    EXPECT_FALSE(c->General->isEnabled());

    // The folder browser fills the HTML file whatever the task is.
    Previous(*c);
    Previous(*c);
    folderAnswer = "/srv/gallery";
    QTest::mouseClick(c->BrowseDButton, Qt::LeftButton);
    EXPECT_EQ(c->DDir->text(), "/srv/gallery/");
    EXPECT_EQ(c->HTMLFile->text(), "/srv/gallery/QVHTML.htm");
}

TEST_F(Navigation, ProcessNeedsImagesAndAFolder)
{
    WriteOptions();
    auto w = Start();
    w->SetSelectedFiles("/pictures", {"b.png", "A.jpg", "c.gif"});
    EXPECT_EQ(w->SDir->text(), "/pictures/");
    EXPECT_EQ(w->Label31->text(), "3 image(s) to process!");
    w->DDir->setText("/tmp/x/");
    for (int i = 0; i < 5; ++i)
        Next(*w);
    EXPECT_TRUE(w->btnNext->isEnabled());
    Previous(*w);
    Previous(*w);
    Previous(*w);
    Previous(*w);
    w->DDir->clear();
    for (int i = 0; i < 4; ++i)
        Next(*w);
    EXPECT_EQ(Page(*w), 6);
    EXPECT_FALSE(w->btnNext->isEnabled());

    w->SetSelectedFiles("/pictures", {});
    EXPECT_EQ(w->Label31->text(), "No images to process!");
    EXPECT_EQ(w->Label31->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(Navigation, WidthAndHeightFields)
{
    WriteOptions();
    auto w = Start();
    Next(*w);
    Next(*w);
    w->Aspect->setCurrentIndex(2); // both fields open for typing
    w->AspectChange();
    w->Leveys->clear();
    Type(*w->Leveys, "ab");
    EXPECT_EQ(w->Leveys->text(), "100") << "letters reset the field";
    EXPECT_EQ(w->Preview->width(), 100);
    w->Leveys->clear();
    Type(*w->Leveys, "5");
    EXPECT_EQ(w->Preview->width(), 100) << "6 or less leaves the pane";
    Type(*w->Leveys, "0");
    EXPECT_EQ(w->Preview->width(), 50);
    w->Leveys->setText("250");
    EXPECT_EQ(w->Preview->width(), 250);
    w->Korkeus->setText("x1");
    EXPECT_EQ(w->Korkeus->text(), "100");
    w->Korkeus->setText("180");
    EXPECT_EQ(w->Preview->height(), 180);
    w->Korkeus->clear();
    EXPECT_EQ(w->Korkeus->text(), "") << "an empty field changes nothing";
}

TEST_F(Navigation, EnablingRules)
{
    WriteOptions();
    auto w = Start();
    // Aspect ratio: the favoured side's field only.
    EXPECT_FALSE(w->Leveys->isEnabled());
    EXPECT_TRUE(w->Korkeus->isEnabled());
    w->Aspect->setCurrentIndex(1);
    w->AspectChange();
    EXPECT_TRUE(w->Leveys->isEnabled());
    EXPECT_FALSE(w->Korkeus->isEnabled());
    w->Aspect->setCurrentIndex(2);
    w->AspectChange();
    EXPECT_TRUE(w->Leveys->isEnabled() && w->Korkeus->isEnabled());

    // Frame.
    EXPECT_FALSE(w->Color->isEnabled());
    EXPECT_FALSE(w->UpDown->isEnabled());
    w->DrawFrame->click();
    EXPECT_TRUE(w->Color->isEnabled() && w->UpDown->isEnabled());

    // Format: a kept format enables both option groups and shows "default".
    EXPECT_TRUE(w->KeepFormat->isChecked());
    EXPECT_TRUE(w->Jpeg->isEnabled() && w->Png->isEnabled());
    EXPECT_FALSE(w->Format->isEnabled() || w->Extension->isEnabled());
    EXPECT_EQ(w->Extension->text(), "default");
    w->Format->setCurrentIndex(2);
    w->KeepFormat->click();
    EXPECT_TRUE(w->Png->isEnabled() && w->PNGTrackBar->isEnabled());
    EXPECT_FALSE(w->Jpeg->isEnabled() || w->TrackBar->isEnabled() || w->Progressive->isEnabled());
    EXPECT_EQ(w->Extension->text(), "png");
    EXPECT_TRUE(w->Extension->isEnabled() && w->Format->isEnabled());
    w->Format->setCurrentIndex(0);
    w->FormatChange();
    EXPECT_TRUE(w->Jpeg->isEnabled() && !w->Png->isEnabled());
    EXPECT_EQ(w->Extension->text(), "jpg");
    w->Format->setCurrentIndex(4);
    w->FormatChange();
    EXPECT_FALSE(w->Jpeg->isEnabled() || w->Png->isEnabled());
    EXPECT_EQ(w->Extension->text(), "wmf");

    // Slider descriptions.
    const std::pair<int, const char*> qualities[] = {
        {1, "The smallest file size, the worst quality"},
        {9, "Small file size, bad quality"},
        {10, "Quite small file size, poor quality"},
        {59, "Medium file size, medium quality"},
        {60, "Quite large file size, good quality"},
        {99, "Large file size, excellent quality"},
        {100, "The largest file size, the best quality"}};
    for (auto [value, text] : qualities) {
        w->TrackBar->setValue(value);
        EXPECT_EQ(w->Compression->text(), QString::number(value));
        EXPECT_EQ(FromQString(w->Label20->text()), text);
    }
    const std::pair<int, const char*> levels[] = {
        {0, "The largest file size, the fastest compression"},
        {3, "Large file size, fast compression"},
        {4, "Medium file size, medium compression"},
        {8, "Small file size, slow compression"},
        {9, "The smallest file size, the slowest compression"}};
    for (auto [value, text] : levels) {
        w->PNGTrackBar->setValue(value);
        EXPECT_EQ(w->PNGCompression->text(), QString::number(value));
        EXPECT_EQ(FromQString(w->Label32->text()), text);
    }
}

TEST_F(Navigation, HtmlPageRules)
{
    WriteOptions();
    auto w = Start();
    EXPECT_TRUE(w->UseTable->isChecked());
    EXPECT_TRUE(w->Table->isEnabled());
    EXPECT_FALSE(w->BRUp->isEnabled());
    EXPECT_FALSE(w->ImageCountUp->isEnabled());
    w->UseTable->click();
    EXPECT_FALSE(w->Table->isEnabled() || w->BorderUp->isEnabled() || w->CenterCell->isEnabled());
    EXPECT_TRUE(w->BRUp->isEnabled());
    w->Link->click();
    EXPECT_FALSE(w->Target->isEnabled());
    w->Link->click();
    EXPECT_TRUE(w->Target->isEnabled());
    w->CreateMulti->click();
    EXPECT_TRUE(w->ImageCountUp->isEnabled());

    w->CreateHTML->setCurrentIndex(2);
    w->CreateHTMLChange();
    for (QWidget* c :
         std::initializer_list<QWidget*>{w->FillDimensions, w->UseTable, w->Link, w->Target,
                                         w->Table, w->General, w->Multipage, w->CreateMulti})
        EXPECT_FALSE(c->isEnabled()) << FromQString(c->objectName());
    w->CreateHTML->setCurrentIndex(0);
    w->CreateHTMLChange();
    EXPECT_TRUE(w->General->isEnabled() && w->Multipage->isEnabled() && w->UseTable->isEnabled());
    EXPECT_TRUE(w->BRUp->isEnabled()) << "the table stays off";
    EXPECT_FALSE(w->Table->isEnabled());

    // Update mode on a page without markers falls back to creating one.
    const std::string page = dir.File("plain.htm");
    WriteText(page, "<HTML><BODY>no markers</BODY></HTML>\r\n");
    w->HTMLFile->setText(QString::fromStdString(page));
    w->CreateHTML->setCurrentIndex(1);
    w->CreateHTMLChange();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second, "Can't update, no headers found!");
    EXPECT_EQ(w->CreateHTML->currentIndex(), 0);

    // "Save to" a page with markers selects updating, which keeps a single page.
    const std::string marked = dir.File("gallery.htm");
    WriteText(marked, "<HTML>\r\n<!--HTML-code created by Tabulonix by Merovane-->\r\n"
                      "<!--HTML-code created by Tabulonix by Merovane-->\r\n</HTML>\r\n");
    htmlFileAnswer = marked;
    QTest::mouseClick(w->SaveHTML, Qt::LeftButton);
    EXPECT_EQ(w->HTMLFile->text().toStdString(), marked);
    EXPECT_EQ(w->CreateHTML->currentIndex(), 1);
    EXPECT_FALSE(w->Multipage->isEnabled() || w->ImageCountUp->isEnabled());
    htmlFileAnswer.reset();
    const int dialogs = htmlDialogs;
    QTest::mouseClick(w->SaveHTML, Qt::LeftButton);
    EXPECT_EQ(htmlDialogs, dialogs + 1);
    EXPECT_EQ(w->HTMLFile->text().toStdString(), marked) << "cancel changes nothing";
}

TEST_F(Navigation, UpdateModeOnThePageAsksForAFileOnce)
{
    WriteOptions();
    auto w = Start();
    for (int i = 0; i < 4; ++i)
        Next(*w);
    ASSERT_EQ(Page(*w), 5);
    ASSERT_TRUE(w->HTMLFile->text().isEmpty());
    w->CreateHTML->setCurrentIndex(1);
    w->CreateHTMLChange();
    EXPECT_EQ(htmlDialogs, 1);
    EXPECT_EQ(w->CreateHTML->currentIndex(), 1);
}

TEST_F(Navigation, KeysAndButtons)
{
    WriteOptions();
    auto w = Start();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F1);
    QTest::mouseClick(w->btnHelp, Qt::LeftButton);
    ASSERT_EQ(helpShown.size(), 2u);
    EXPECT_EQ(helpShown[0], dir.File("Helps/QVEnglish.hlp#101"));
    EXPECT_EQ(helpShown[1], dir.File("Helps/QVEnglish.hlp#contents"));
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

} // namespace
} // namespace tabulonix::test
