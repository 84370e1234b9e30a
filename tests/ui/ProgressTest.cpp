#include "ui/Progress.h"
#include "codecs/surface/Bitmap.h"
#include "engine/Batch.h"
#include "i18n/IniLang.h"
#include "i18n/LanguageList.h"
#include "platform/Files.h"
#include "ui/QtBatchHost.h"

#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

using namespace tabulonix;
using tabulonix::test::TempDir;

namespace {

TFormSetup English()
{
    TFormSetup setup;
    setup.font = TFontSpec{};
    setup.font->name = "DejaVu Sans";
    setup.font->size = 11;
    return setup;
}

void WritePicture(const std::string& path, TColor color)
{
    TBitmap bitmap;
    bitmap.SetSize(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            bitmap.SetPixel(x, y, color);
    bitmap.WriteFile(path);
}

struct ShownBox {
    QMessageBox::Icon icon;
    QString text;
    QString detailedText;
    bool wizardEnabled;
    int barValue;
    QString percent;
};

// Runs one batch through the real host. While the run lets messages through, `onPass` sees
// the progress window and every modal message box is recorded and closed with OK.
struct BatchRun {
    QWidget wizard;
    TQtBatchHost host{wizard, English()};
    std::vector<ShownBox> boxes;
    BatchResult result;

    void Go(const JobSettings& settings, const SelectedFileList& files,
            std::function<void(TProgressIkkuna&)> onPass = {})
    {
        wizard.show();
        QTimer watcher;
        // An interval of 0 runs the check at every pass of the event loop, including the
        // engine's own passes between files and the loops of the message boxes.
        watcher.setInterval(0);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                TProgressIkkuna* progress = host.ProgressWindow();
                boxes.push_back({box->icon(), box->text(), box->detailedText(), wizard.isEnabled(),
                                 progress ? progress->ProgressBar->value() : -1,
                                 progress ? progress->Edistys->text() : QString()});
                box->button(QMessageBox::Ok)->click();
                return;
            }
            if (onPass && host.ProgressWindow())
                onPass(*host.ProgressWindow());
        });
        watcher.start();
        result = DoTheHonkyPonky(settings, files, host);
    }
};

JobSettings Settings(const TempDir& dir)
{
    JobSettings s;
    s.SDir = dir.Path();
    s.DDir = dir.Path() + "out/";
    s.NameFormat = "<same>tn";
    s.HTMLFile = s.DDir + "QVHTML.htm";
    return s;
}

int CountOf(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(QtBatchHost, AbortDuringTheThirdOfTenFilesFinishesItWritesTheGalleryAndStops)
{
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 1; i <= 10; ++i) {
        names.push_back("pic" + std::to_string(i + 10) + ".bmp");
        WritePicture(dir.File(names.back()), clBlue);
    }
    BatchRun run;
    bool wizardDisabledDuringRun = false;
    int clicks = 0;
    QString clickedAt;
    run.Go(Settings(dir), MakeSelectedFiles(names), [&](TProgressIkkuna& progress) {
        wizardDisabledDuringRun = !run.wizard.isEnabled();
        if (clicks == 0 && progress.FileName->text() == QStringLiteral("pic13.bmp")) {
            clickedAt = progress.FileName->text();
            QTest::mouseClick(progress.btnAbort, Qt::LeftButton);
            ++clicks;
            // It works once: the button is disabled and a second press changes nothing.
            EXPECT_TRUE(progress.Aborted());
            EXPECT_FALSE(progress.btnAbort->isEnabled());
            progress.btnAbort->click();
            EXPECT_TRUE(progress.Aborted());
            EXPECT_EQ(progress.ProgressBar->maximum(), 10);
        }
    });

    EXPECT_EQ(clickedAt, QStringLiteral("pic13.bmp"));
    EXPECT_TRUE(wizardDisabledDuringRun);
    EXPECT_TRUE(run.result.aborted);
    EXPECT_EQ(run.result.processed, 3);
    for (int i = 11; i <= 13; ++i)
        EXPECT_TRUE(FileExists(dir.File("out/pic" + std::to_string(i) + "tn.bmp"))) << i;
    EXPECT_FALSE(FileExists(dir.File("out/pic14tn.bmp")));
    const std::string html = test::ReadText(dir.File("out/QVHTML.htm"));
    EXPECT_EQ(CountOf(html, "<IMG SRC="), 3);
    EXPECT_EQ(CountOf(html, "<!--HTML-code created by Tabulonix by Merovane-->"), 2);
    // No completion box after an abort; the window is gone and the wizard usable again.
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.host.ProgressWindow(), nullptr);
    EXPECT_TRUE(run.wizard.isEnabled());
}

TEST(QtBatchHost, EveryFailedFileGetsAnErrorBoxAndTheEndTheCount)
{
    TempDir dir;
    WritePicture(dir.File("a.bmp"), clRed);
    test::WriteText(dir.File("b.bmp"), "not a picture");
    WritePicture(dir.File("c.bmp"), clGreen);
    JobSettings s = Settings(dir);
    s.CreateHTML = 2;
    BatchRun run;
    run.Go(s, MakeSelectedFiles({"a.bmp", "b.bmp", "c.bmp"}));

    ASSERT_EQ(run.boxes.size(), 2u);
    const ShownBox& error = run.boxes[0];
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_EQ(error.text, QString::fromStdString("Error opening file " + dir.File("b.bmp") + "!"));
    EXPECT_EQ(error.detailedText, QStringLiteral("Bitmap image is not valid")); // why it failed
    EXPECT_FALSE(error.wizardEnabled);
    EXPECT_EQ(error.barValue, 1); // the failed file is stepped after its box
    EXPECT_EQ(error.percent, QStringLiteral("33%"));
    const ShownBox& done = run.boxes[1];
    EXPECT_EQ(done.icon, QMessageBox::Information);
    EXPECT_EQ(done.text, QStringLiteral("Complete! 2 of 3 images processed!"));
    EXPECT_TRUE(done.detailedText.isEmpty());
    EXPECT_TRUE(done.wizardEnabled);
    EXPECT_EQ(done.barValue, -1); // shown after the progress window is gone
    EXPECT_EQ(run.result.processed, 2);
    EXPECT_FALSE(FileExists(dir.File("out/QVHTML.htm")));
}

TEST(TProgressIkkuna, OpensEmptyWithTheInterfaceFontAndABoldBluePercentage)
{
    TFormSetup language = English();
    language.font->italic = true;
    TProgressIkkuna window(language);
    EXPECT_EQ(window.objectName(), QStringLiteral("ProgressIkkuna"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Working..."));
    EXPECT_TRUE(window.FileName->text().isEmpty());
    EXPECT_EQ(window.Edistys->text(), QStringLiteral("0%"));
    EXPECT_EQ(window.btnAbort->text(), QStringLiteral("Abort"));
    EXPECT_EQ(window.btnAbort->toolTip(), QStringLiteral("Cancel process"));
    EXPECT_FALSE(window.Aborted());

    EXPECT_TRUE(window.font().italic());
    EXPECT_EQ(window.font().pointSize(), 11);
    const QFont percent = window.Edistys->font();
    EXPECT_EQ(percent.family(), window.font().family());
    EXPECT_EQ(percent.pointSize(), 11);
    EXPECT_TRUE(percent.bold());
    EXPECT_FALSE(percent.italic()); // its own style stays bold only
    EXPECT_EQ(window.Edistys->palette().color(QPalette::WindowText), QColor(Qt::blue));

    // A larger font makes the window larger rather than clipping its texts.
    TFormSetup large = language;
    large.font->size = 22;
    TProgressIkkuna big(large);
    EXPECT_GT(big.sizeHint().height(), window.sizeHint().height());
    EXPECT_GE(big.btnAbort->sizeHint().width(), 80);
}

TEST(TProgressIkkuna, CannotBeClosedByTheUser)
{
    TProgressIkkuna window(English());
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST(TProgressIkkuna, TranslatesItselfWhenALanguageFileIsChosen)
{
    const std::string name = "ProgressTest" + std::to_string(::getpid());
    const std::string path = LanguageFolder() + name + ".txt";
    ForceDirectories(ExtractFilePath(path));
    test::WriteText(path, "[ProgressIkkuna]\r\n"
                          "ProgressIkkuna.Caption=Työskentelen...\r\n"
                          "progressikkuna.btnAbort.caption = Keskeytä\r\n"
                          "ProgressIkkuna.btnAbort.Hint=Keskeytä käsittely\r\n"
                          "ProgressIkkuna.FileName.Caption=ei tyhjennetä?\r\n");
    TFormSetup language = English();
    language.languageIndex = 3;
    language.language = name;
    {
        TProgressIkkuna window(language);
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Työskentelen..."));
        EXPECT_EQ(window.btnAbort->text(), QStringLiteral("Keskeytä"));
        EXPECT_EQ(window.btnAbort->toolTip(), QStringLiteral("Keskeytä käsittely"));
        // The file label is emptied after the translation.
        EXPECT_TRUE(window.FileName->text().isEmpty());
        EXPECT_NE(CurrentLanguageFile(), nullptr);
    }
    ::unlink(path.c_str());
    SetCurrentLanguageFile(nullptr);

    // Index 0 is the built-in English: no file is opened, nothing is translated.
    TProgressIkkuna english(English());
    EXPECT_EQ(english.btnAbort->text(), QStringLiteral("Abort"));
}

} // namespace
