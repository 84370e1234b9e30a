// The wizard's buttons open the real windows: the source picker, the size preview, the
// options dialog, the about box and a batch run through the progress window.
#include "WizardFixture.h"

#include "TestPictures.h"
#include "codecs/surface/Bitmap.h"
#include "i18n/IniLang.h"
#include "platform/Files.h"
#include "shell/About.h"
#include "shell/Options.h"
#include "ui/ImageIkkuna.h"
#include "ui/PreviewIkkuna.h"
#include "update/Update.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace tabulonix::test {
namespace {

class Windows : public WizardFixture {
  protected:
    // A folder of pictures beside Options.ini.
    std::string Pictures(const std::vector<std::string>& names)
    {
        const std::string folder = dir.File("pictures/");
        ForceDirectories(folder);
        for (const std::string& name : names)
            Filled(40, 30, clRed).WriteFile(folder + name);
        return folder;
    }
};

TEST_F(Windows, PickerIsMadeOnceListsTheSourceFolderAndHandsBackTheTicks)
{
    WriteOptions();
    const std::string folder = Pictures({"b.bmp", "a.bmp", "c.bmp"});
    WriteText(folder + "notes.txt", "not a picture");
    auto w = Start();
    w->SDir->setText(QString::fromStdString(folder));

    TKuvaIkkuna* seen = nullptr;
    onModal = [&](QDialog& dialog) {
        seen = qobject_cast<TKuvaIkkuna*>(&dialog);
        if (!seen)
            return int(QDialog::Rejected);
        // The existing source folder was listed at creation, without thumbnails.
        EXPECT_EQ(seen->Folder(), folder);
        EXPECT_FALSE(seen->btnThumbnails->isChecked());
        EXPECT_EQ(seen->KuvaLista->count(), 3);
        seen->KuvaLista->item(1)->setCheckState(Qt::Unchecked);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(w->BrowseSButton, Qt::LeftButton);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(w->Picker(), seen);
    ASSERT_EQ(w->SelectedFiles().Count(), 2u);
    const std::vector<std::string> unticked{seen->KuvaLista->item(1)->text().toStdString()};
    for (size_t i = 0; i < w->SelectedFiles().Count(); ++i)
        EXPECT_NE(w->SelectedFiles()[i], unticked[0]);
    EXPECT_LT(w->SelectedFiles()[0], w->SelectedFiles()[1]) << "sorted";
    EXPECT_EQ(w->Label31->text(), "2 image(s) to process!");
    EXPECT_EQ(w->Label31->palette().color(QPalette::WindowText), QColor(Qt::blue));

    // Cancel changes nothing in the wizard; the picker keeps what was done in it.
    onModal = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, seen) << "the same window, kept";
        EXPECT_EQ(seen->KuvaLista->item(1)->checkState(), Qt::Unchecked);
        seen->KuvaLista->item(0)->setCheckState(Qt::Unchecked);
        return int(QDialog::Rejected);
    };
    w->SDir->setText("/elsewhere/");
    QTest::mouseClick(w->BrowseSButton, Qt::LeftButton);
    EXPECT_EQ(w->SDir->text(), "/elsewhere/");
    EXPECT_EQ(w->SelectedFiles().Count(), 2u);

    // OK with nothing ticked: no images, in red.
    onModal = [&](QDialog&) {
        for (int i = 0; i < seen->KuvaLista->count(); ++i)
            seen->KuvaLista->item(i)->setCheckState(Qt::Unchecked);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(w->BrowseSButton, Qt::LeftButton);
    EXPECT_EQ(w->SDir->text(), QString::fromStdString(folder));
    EXPECT_TRUE(w->SelectedFiles().Empty());
    EXPECT_EQ(w->Label31->text(), "No images to process!");
    EXPECT_EQ(modalCalls, 3);
}

TEST_F(Windows, DraggingThePreviewWritesTheSizeFields)
{
    WriteOptions();
    auto w = Start();
    Next(*w);
    Next(*w);
    w->Aspect->setCurrentIndex(2);
    w->AspectChange();
    w->Preview->setFocus();
    QTest::keyClick(w->Preview, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(w->Preview, Qt::Key_Up);
    EXPECT_EQ(w->Leveys->text(), "110");
    EXPECT_EQ(w->Korkeus->text(), "99");
    EXPECT_EQ(w->Preview->size(), QSize(110, 99));

    // The sample shows the frame a run would draw, in the chosen colour.
    w->DrawFrame->setChecked(true);
    w->UpDown->setValue(3);
    const QImage& sample = w->Preview->Picture();
    ASSERT_EQ(sample.size(), QSize(110, 99));
    EXPECT_EQ(sample.pixelColor(1, 1), QColor(Qt::black));
    EXPECT_EQ(sample.pixelColor(55, 50), QColor(Qt::white));
    w->DrawFrame->setChecked(false);
    EXPECT_EQ(w->Preview->Picture().pixelColor(1, 1), QColor(Qt::white));
}

TEST_F(Windows, OptionsOkChangesTheLanguageAndWritesTheOptions)
{
    WriteOptions();
    ForceDirectories(dir.File("Languages/"));
    WriteText(dir.File("Languages/Suomi.txt"), "[PaaIkkuna]\r\n"
                                               "PaaIkkuna.btnOptions.Caption=Asetukset\r\n");
    ForceDirectories(dir.File("Helps/"));
    WriteText(dir.File("Helps/QVSuomi.hlp"), "<html><a name=\"contents\"></a></html>");
    auto w = Start();
    w->HTMLFile->setText("gallery.htm");
    onModal = [](QDialog& dialog) {
        auto* options = qobject_cast<TOptionsIkkuna*>(&dialog);
        if (!options)
            return int(QDialog::Rejected);
        const int suomi = options->Language->findText("Suomi");
        EXPECT_GT(suomi, 0);
        options->Language->setCurrentIndex(suomi);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(w->btnOptions, Qt::LeftButton);
    EXPECT_EQ(w->btnOptions->text(), "Asetukset");
    EXPECT_EQ(w->Aspect->currentIndex(), 0);
    EXPECT_EQ(w->CreateHTML->currentIndex(), 0) << "an HTML file is named";
    EXPECT_EQ(w->Format->currentIndex(), 0);
    EXPECT_EQ(w->HelpFile(), dir.File("Helps/QVSuomi.hlp"));
    EXPECT_EQ(w->Startup.general.Language, "Suomi");
    const std::string options = OptionsText();
    EXPECT_NE(options.find("Language=Suomi"), std::string::npos) << options;

    // Cancel: nothing written, nothing changed.
    onModal = [](QDialog&) { return int(QDialog::Rejected); };
    WriteText(OptionsPath(), "[General]\r\nLanguage index=1\r\nLanguage=Suomi\r\n");
    QTest::mouseClick(w->btnOptions, Qt::LeftButton);
    EXPECT_EQ(OptionsText(), "[General]\r\nLanguage index=1\r\nLanguage=Suomi\r\n");
}

TEST_F(Windows, AboutBoxShowsTheProgramAndTheMachine)
{
    WriteOptions();
    auto w = Start();
    QString product;
    onModal = [&](QDialog& dialog) {
        auto* about = qobject_cast<TAboutBox*>(&dialog);
        EXPECT_NE(about, nullptr);
        if (about)
            product = about->ProductName->text();
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(w->btnAbout, Qt::LeftButton);
    EXPECT_TRUE(product.startsWith("Tabulonix ")) << product.toStdString();
}

TEST_F(Windows, UpdatesButtonOpensTheUpdateDialog)
{
    WriteOptions();
    auto w = Start();
    QString title;
    onModal = [&](QDialog& dialog) {
        auto* update = qobject_cast<TUpdateIkkuna*>(&dialog);
        EXPECT_NE(update, nullptr);
        if (update) {
            title = update->windowTitle();
            EXPECT_FALSE(update->Transferring()) << "nothing is fetched before Check";
        }
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(w->btnUpdate, Qt::LeftButton);
    EXPECT_EQ(modalCalls, 1);
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(w->UpdateStatus, 0);
}

TEST_F(Windows, ProcessRunsTheBatchThroughTheProgressWindow)
{
    WriteOptions();
    const std::string folder = Pictures({"a.bmp", "b.bmp", "c.bmp"});
    WriteText(folder + "d.bmp", "broken");
    auto w = Start();
    w->SetSelectedFiles(folder, {"a.bmp", "b.bmp", "c.bmp", "d.bmp"});
    w->DDir->setText(QString::fromStdString(dir.File("out/")));
    w->CreateHTML->setCurrentIndex(2);
    w->CreateHTMLChange();
    w->show();
    for (int i = 0; i < 5; ++i)
        Next(*w);
    ASSERT_EQ(w->btnNextTag, 1) << "Next has become Process";

    // Every modal box of the run is recorded, with whether the wizard was usable then,
    // and answered with OK.
    std::vector<std::pair<QString, bool>> boxes;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.emplace_back(box->text(), w->isEnabled());
            box->button(QMessageBox::Ok)->click();
        }
    });
    watcher.start(5);
    QTest::mouseClick(w->btnNext, Qt::LeftButton);
    watcher.stop();

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first, QString::fromStdString("Error opening file " + folder + "d.bmp!"));
    EXPECT_FALSE(boxes[0].second) << "the wizard is disabled during the run";
    EXPECT_EQ(boxes[1].first, "Complete! 3 of 4 images processed!");
    EXPECT_TRUE(boxes[1].second);
    EXPECT_TRUE(w->isEnabled());
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(FileExists(dir.File("out/") + name + "tn.bmp")) << name; // keeps its format
}

} // namespace
} // namespace tabulonix::test
