#include "WizardFixture.h"

#include "i18n/IniLang.h"
#include "i18n/QtText.h"
#include "platform/Files.h"
#include "shell/ColorBox.h"
#include "shell/Odota.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

namespace tabulonix::test {
namespace {

using Startup = WizardFixture;

TEST_F(Startup, OptionsRoundTripWithTheSpecialReadings)
{
    WriteOptions("[General]\r\nLanguage index=0\r\n"
                 "[Main]\r\n"
                 "Source directory=/pictures/\r\n"
                 "Destination directory=\"/web/thumbs/\"\r\n"
                 "Overwrite=0x0\r\n"
                 "Width=abc\r\n"
                 "Height=75\r\n"
                 "Preserve aspect ratio=9\r\n"
                 "Draw frame=2\r\n"
                 "Frame color=$000000FF\r\n"
                 "Frame size=65537\r\n"
                 "Keep format=0\r\n"
                 "Format=2\r\n"
                 "Name format=<same>\r\n"
                 "JPG compression=150\r\n"
                 "Create HTML=1\r\n"
                 "Target='_blank'\r\n"
                 "Images on same page=7\r\n");
    {
        auto w = Start();
        EXPECT_EQ(chooserCalls, 0);
        EXPECT_EQ(w->SDir->text(), "/pictures/");
        EXPECT_EQ(w->DDir->text(), "/web/thumbs/");
        EXPECT_FALSE(w->Overwrite->isChecked());
        EXPECT_EQ(w->Leveys->text(), "100") << "a width that is no number";
        EXPECT_EQ(w->Korkeus->text(), "75");
        EXPECT_EQ(w->Aspect->currentIndex(), 0) << "an unknown position selects the default";
        EXPECT_TRUE(w->DrawFrame->isChecked());
        EXPECT_EQ(w->Color->Selected(), clRed);
        EXPECT_EQ(w->Color->currentText(), "Red");
        EXPECT_EQ(w->UpDown->value(), 1) << "65537 is 1 as a 16-bit number";
        EXPECT_FALSE(w->KeepFormat->isChecked());
        EXPECT_EQ(w->Format->currentIndex(), 2);
        EXPECT_EQ(w->Extension->text(), "png");
        EXPECT_EQ(w->NameFormat->text(), "<same>tn");
        EXPECT_EQ(w->TrackBar->value(), 100);
        EXPECT_EQ(w->CreateHTML->currentIndex(), 0) << "updating is never restored";
        EXPECT_EQ(w->Target->text(), "_blank");
        EXPECT_EQ(w->ImageCountUp->value(), 7);
        EXPECT_TRUE(w->SelectedFiles().Empty());
        EXPECT_TRUE(w->HTMLFile->text().isEmpty());
    }
    EXPECT_EQ(OptionsText(), "[General]\r\nLanguage index=0\r\n"
                             "[Main]\r\n"
                             "Source directory=/pictures/\r\n"
                             "Destination directory=/web/thumbs/\r\n"
                             "Overwrite=0\r\n"
                             "Width=100\r\n"
                             "Height=75\r\n"
                             "Preserve aspect ratio=0\r\n"
                             "Draw frame=1\r\n"
                             "Frame color=clRed\r\n"
                             "Frame size=1\r\n"
                             "Keep format=0\r\n"
                             "Format=2\r\n"
                             "Name format=<same>tn\r\n"
                             "JPG compression=100\r\n"
                             "Create HTML=0\r\n"
                             "Target=_blank\r\n"
                             "Images on same page=7\r\n"
                             "Enlarge images=0\r\n"
                             "Progressive encoding=1\r\n"
                             "PNG compression=9\r\n"
                             "Fill dimensions=1\r\n"
                             "Use table=1\r\n"
                             "Link to original=1\r\n"
                             "Images on same line=5\r\n"
                             "Image border=0\r\n"
                             "Table border=1\r\n"
                             "Images on same cell=1\r\n"
                             "Center in cell=1\r\n"
                             "Images on same row=5\r\n"
                             "Multipaged=0\r\n"
                             "Skip unchanged=0\r\n"
                             "Auto rotate=0\r\n"
                             "Smooth scaling=0\r\n");
}

TEST_F(Startup, ShutdownWritesMainInTableOrder)
{
    WriteOptions();
    {
        auto w = Start();
        w->Leveys->setText("321");
        w->ChooseHelpFileFor("x");
    }
    const std::string text = OptionsText();
    const char* keys[] = {"Source directory",
                          "Destination directory",
                          "Overwrite",
                          "Width",
                          "Height",
                          "Preserve aspect ratio",
                          "Enlarge images",
                          "Draw frame",
                          "Frame color",
                          "Frame size",
                          "Keep format",
                          "Format",
                          "Name format",
                          "JPG compression",
                          "Progressive encoding",
                          "PNG compression",
                          "Create HTML",
                          "Fill dimensions",
                          "Use table",
                          "Link to original",
                          "Target",
                          "Images on same line",
                          "Image border",
                          "Table border",
                          "Images on same cell",
                          "Center in cell",
                          "Images on same row",
                          "Multipaged",
                          "Images on same page"};
    size_t at = text.find("[Main]\r\n");
    ASSERT_NE(at, std::string::npos);
    for (const char* key : keys) {
        const size_t next = text.find(std::string("\r\n") + key + "=", at);
        ASSERT_NE(next, std::string::npos) << key;
        at = next + 1;
    }
    EXPECT_NE(text.find("Width=321\r\n"), std::string::npos);
    EXPECT_NE(text.find("Frame color=clBlack\r\n"), std::string::npos);
}

TEST_F(Startup, FirstRunAsksOnceAndWritesTheChoiceAtOnce)
{
    ASSERT_TRUE(ForceDirectories(dir.File("Languages")));
    WriteText(dir.File("Languages/Suomi.txt"),
              "[PaaIkkuna]\r\nPaaIkkuna.Caption=Tabulonix suomeksi\r\n"
              "PaaIkkuna.Label31.Caption=Ei kuvia!\r\n");
    chooserAnswer = {2, "Suomi"};
    auto w = Start();
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_EQ(OptionsText(), "[General]\r\nLanguage index=2\r\nLanguage=Suomi\r\n");
    EXPECT_EQ(w->Startup.general.LanguageIndex, 2);
    EXPECT_EQ(w->windowTitle(), "Tabulonix suomeksi 1/6");
    EXPECT_EQ(w->Label31->text(), "Ei kuvia!");
    w.reset();

    // The next start is no first run and translates again.
    auto again = Start();
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_EQ(again->Label31->text(), "Ei kuvia!");
    again.reset();
    SetCurrentLanguageFile(nullptr);
}

TEST_F(Startup, LettersInLanguageIndexMeanAFirstRun)
{
    WriteOptions("[General]\r\nLanguage index=abc\r\nLanguage=German\r\n");
    auto w = Start();
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_EQ(w->Startup.general.Language, "Default (English)");
    EXPECT_EQ(w->HelpFile(), dir.File("Helps/QVEnglish.hlp"));
}

TEST_F(Startup, UnusableFrameColourIsReported)
{
    WriteOptions("[General]\r\nLanguage index=0\r\n"
                 "[Main]\r\nWidth=64\r\nFrame color=reddish\r\nFormat=3\r\n");
    auto w = Start();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, QMessageBox::Critical);
    EXPECT_EQ(messages[0].second, "'reddish' is not a valid integer value");
    EXPECT_EQ(w->Leveys->text(), "64") << "keys before it are read";
    EXPECT_EQ(w->Format->currentIndex(), 0) << "keys after it keep their design values";
}

TEST_F(Startup, FailedShutdownWriteIsShownAndTheProgramGoesOn)
{
    WriteOptions();
    auto w = Start();
    // The settings file turns into a folder: nothing can be written over it.
    std::remove(OptionsPath().c_str());
    ASSERT_TRUE(ForceDirectories(OptionsPath()));
    w->FormDestroy();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, QMessageBox::Critical);
    EXPECT_EQ(FromQString(messages[0].second), "Unable to write to " + OptionsPath());
    w.reset();
    EXPECT_EQ(messages.size(), 1u) << "the destructor does not save twice";
}

TEST_F(Startup, HelpFileFollowsTheLanguage)
{
    ASSERT_TRUE(ForceDirectories(dir.File("Helps")));
    WriteText(dir.File("Helps/QVSuomi.hlp"), "<html></html>");
    WriteOptions("[General]\r\nLanguage index=1\r\nLanguage=Suomi\r\n");
    auto w = Start();
    EXPECT_EQ(w->HelpFile(), dir.File("Helps/QVSuomi.hlp"));
    w->ChooseHelpFileFor("Default (English)");
    EXPECT_EQ(w->HelpFile(), dir.File("Helps/QVEnglish.hlp"));
    EXPECT_EQ(CurrentLanguageFile(), nullptr) << "no Suomi.txt: nothing is current";
}

TEST_F(Startup, InterfaceFontReachesTheWindowAndTheLabels)
{
    WriteOptions("[General]\r\nLanguage index=0\r\nFont name=Verdana\r\nFont size=14\r\n"
                 "Font italic=1\r\n");
    auto w = Start();
    EXPECT_EQ(w->InterfaceFont, (TFontSpec{"Verdana", 14, false, true}));
    EXPECT_EQ(FromQFont(w->font()), (TFontSpec{"Verdana", 14, false, true}));
    EXPECT_EQ(FromQFont(w->Label1->font()), (TFontSpec{"Verdana", 12, true, false}));
    EXPECT_EQ(FromQFont(w->Label5->font()), (TFontSpec{"Verdana", 14, true, false}));
    EXPECT_EQ(FromQFont(w->Label20->font()), (TFontSpec{"Verdana", 14, false, true}));
    EXPECT_EQ(w->Label1->palette().color(QPalette::WindowText), QColor(Qt::blue));
}

TEST_F(Startup, SplashScreen)
{
    EXPECT_EQ(TOdota::NoticeText(2003).right(4), "2004");
    EXPECT_EQ(TOdota::NoticeText(2010).right(4), "2010");
    TOdota splash;
    splash.FormShow();
    EXPECT_EQ(splash.Version->text(),
              QString::fromStdString("Tabulonix " + TOdota::GetVersion() + ", 100% freeware!"));
    EXPECT_EQ(splash.size(), QSize(636, 318));
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
}

// The whole wizard through a language file that touches every kind of text it has.
TEST_F(Startup, TranslatesTheWholeWizard)
{
    ASSERT_TRUE(ForceDirectories(dir.File("Languages")));
    WriteText(dir.File("Languages/Test.txt"),
              "[PaaIkkuna]\r\n"
              "PaaIkkuna.Label2.Caption=first block only\r\n"
              "[Misc]\r\n"
              "M009=Seuraava vaihe\r\n"
              "M039=Käsittele!\r\n"
              "M019=oletus\r\n"
              "[paaikkuna]\r\n"
              "PaaIkkuna.Caption=Testi\r\n"
              "paaikkuna.label1.caption = Tervetuloa!\r\n"
              "PaaIkkuna.Label8.Caption=\r\n"
              "PaaIkkuna.ToDo.Caption=Mitä tehdään?\r\n"
              "PaaIkkuna.ToDo.items[1]=Muunnetaan\r\n"
              "PaaIkkuna.Aspect.items[0]=Korkeus\r\n"
              "PaaIkkuna.Format.items[6]=TARGA\r\n"
              "PaaIkkuna.Color.items[1]=Musta\r\n"
              "PaaIkkuna.DirGroup.Caption=Kansiot\r\n"
              "PaaIkkuna.BrowseSButton.Hint=Selaa lähdettä\r\n"
              "PaaIkkuna.Overwrite.Caption=Korvaa\r\n"
              "PaaIkkuna.btnClose.Caption=Sulje\r\n"
              "PaaIkkuna.btnClose.Hint=Sulje ohjelma\r\n"
              "PaaIkkuna.Tiedot.lines[0]=never: the summary is empty\r\n"
              "PaaIkkuna.Jpeg.Caption=JPEG-asetukset\r\n"
              "PaaIkkuna.HTMLFile.Caption=ei tiedostoa\r\n"
              "PaaIkkuna.Vaihe3.Caption=Koko\r\n");
    WriteOptions("[General]\r\nLanguage index=3\r\nLanguage=Test\r\n"
                 "[Main]\r\nPreserve aspect ratio=1\r\nFormat=6\r\n");
    auto w = Start();
    EXPECT_EQ(w->BaseTitle, "Testi");
    EXPECT_EQ(w->windowTitle(), "Testi 1/6");
    EXPECT_EQ(w->Label1->text(), "Tervetuloa!");
    EXPECT_EQ(w->Label8->text(), "Welcome to Tabulonix!") << "an empty caption changes nothing";
    EXPECT_EQ(w->Label2->text().left(9), "Tabulonix") << "only the last block is seen";
    EXPECT_EQ(w->ToDo->title(), "Mitä tehdään?");
    EXPECT_EQ(w->ToDoItems->button(1)->text(), "Muunnetaan");
    EXPECT_EQ(w->ToDoItems->checkedId(), 0);
    EXPECT_EQ(w->Aspect->itemText(0), "Korkeus");
    EXPECT_EQ(w->Aspect->currentIndex(), 1) << "the remembered position is set after translation";
    EXPECT_EQ(w->Format->itemText(6), "TARGA");
    EXPECT_EQ(w->Color->itemText(1), "Black") << "the colour list is not translated";
    EXPECT_EQ(w->DirGroup->title(), "Kansiot");
    EXPECT_EQ(w->BrowseSButton->toolTip(), "Selaa lähdettä");
    EXPECT_EQ(w->Overwrite->text(), "Korvaa");
    EXPECT_EQ(w->btnClose->text(), "Sulje");
    EXPECT_EQ(w->btnClose->toolTip(), "Sulje ohjelma");
    EXPECT_EQ(w->Jpeg->title(), "JPEG-asetukset");
    EXPECT_EQ(w->HTMLFile->text(), "ei tiedostoa");
    EXPECT_EQ(w->VelhoVaihe->tabText(2), "Koko");
    EXPECT_EQ(w->Extension->text(), "oletus");

    // "M038" is missing: after the last page the Next button has no caption.
    for (int i = 0; i < 5; ++i)
        Next(*w);
    EXPECT_EQ(w->btnNext->text(), "Käsittele!");
    Previous(*w);
    EXPECT_EQ(w->btnNext->text(), "");
    EXPECT_EQ(w->btnNext->toolTip(), "Seuraava vaihe");
    w.reset();
    SetCurrentLanguageFile(nullptr);
}

} // namespace
} // namespace tabulonix::test
