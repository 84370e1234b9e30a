#include "i18n/Kieli.h"

#include "codecs/Bitmap.h"

#include "QtTestApp.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tabulonix {
namespace {

using test::TempDir;

void WriteFlag(const std::string& path, TColor color)
{
    TBitmap flag;
    flag.SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            flag.SetPixel(x, y, color);
    flag.WriteFile(path);
}

// A folder with Finnish (and its red flag), German without a flag, a flag without a language,
// and a folder whose name ends in ".txt".
struct LanguageChooser : ::testing::Test {
    void SetUp() override
    {
        test::TestApplication();
        test::WriteText(dir.File("Finnish.txt"), "[Misc]\r\nM038=Seuraava\r\n");
        WriteFlag(dir.File("Finnish.bmp"), clRed);
        test::WriteText(dir.File("German.txt"), "[Misc]\r\n");
        WriteFlag(dir.File("Orphan.bmp"), clBlue);
        ::mkdir(dir.File("Folder.txt").c_str(), 0700);
    }
    int IndexOf(const TKieliIkkuna& chooser, const char* name)
    {
        return chooser.Language->findText(QString::fromLatin1(name));
    }
    TempDir dir;
};

QImage IconImage(const QComboBox& combo, int index)
{
    return combo.itemIcon(index)
        .pixmap(QSize(16, 16))
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

TEST_F(LanguageChooser, ListsEnglishThenEveryLanguageFileWithItsFlag)
{
    TKieliIkkuna chooser(dir.Path());
    QComboBox& list = *chooser.Language;
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.itemText(0), QStringLiteral("Default (English)"));
    EXPECT_EQ(list.currentIndex(), 0);
    const int finnish = IndexOf(chooser, "Finnish"), german = IndexOf(chooser, "German");
    EXPECT_GE(finnish, 1);
    EXPECT_GE(german, 1);
    EXPECT_EQ(list.findText(QStringLiteral("Folder")), -1);
    EXPECT_EQ(list.findText(QStringLiteral("Orphan")), -1);

    EXPECT_EQ(IconImage(list, finnish).pixel(8, 8), qRgb(255, 0, 0));
    EXPECT_EQ(IconImage(list, german),
              FlagPixmap(BlankFlag(), true).toImage().convertToFormat(QImage::Format_ARGB32));
    const QImage english = IconImage(list, 0);
    EXPECT_EQ(english,
              FlagPixmap(EnglishFlag(), true).toImage().convertToFormat(QImage::Format_ARGB32));
    EXPECT_NE(english, IconImage(list, german));
    // The built-in flags' background is see-through; a loaded flag is drawn as it is.
    EXPECT_EQ(qAlpha(english.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(IconImage(list, finnish).pixel(0, 0)), 255);

    EXPECT_EQ(chooser.LangDir->text(), QString::fromStdString(dir.Path()));
    EXPECT_EQ(chooser.LangDir->toolTip(), chooser.LangDir->text());
    EXPECT_EQ(list.maxVisibleItems(), 8);
    EXPECT_FALSE(list.isEditable());
}

TEST_F(LanguageChooser, EveryWayOfClosingTakesTheSelection)
{
    {
        TKieliIkkuna chooser(dir.Path());
        chooser.show();
        chooser.Ok->click();
        EXPECT_EQ(chooser.result(), QDialog::Accepted);
        EXPECT_EQ(chooser.SelectedIndex(), 0);
        EXPECT_EQ(chooser.SelectedName(), "Default (English)");
    }
    {
        TKieliIkkuna chooser(dir.Path());
        chooser.show();
        chooser.Language->setCurrentIndex(IndexOf(chooser, "German"));
        chooser.reject(); // Esc
        EXPECT_EQ(chooser.result(), QDialog::Accepted);
        EXPECT_EQ(chooser.SelectedName(), "German");
    }
    {
        TKieliIkkuna chooser(dir.Path());
        chooser.show();
        chooser.Language->setCurrentIndex(IndexOf(chooser, "Finnish"));
        EXPECT_TRUE(chooser.close()); // the window manager's close
        EXPECT_EQ(chooser.result(), QDialog::Accepted);
        EXPECT_EQ(chooser.SelectedName(), "Finnish");
    }
}

TEST_F(LanguageChooser, ChooseLanguageRunsTheChooserModallyAndReturnsThePosition)
{
    QTimer::singleShot(0, [] {
        auto* chooser = qobject_cast<TKieliIkkuna*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        chooser->Language->setCurrentIndex(chooser->Language->findText(QStringLiteral("German")));
        chooser->Ok->click();
    });
    const LanguageChoice choice = ChooseLanguage(dir.Path());
    EXPECT_GE(choice.index, 1);
    EXPECT_EQ(choice.name, "German");
}

TEST(TKieliIkkuna, WithoutLanguageFilesOffersOnlyEnglish)
{
    test::TestApplication();
    TempDir dir;
    TKieliIkkuna chooser(dir.File("missing/"));
    EXPECT_EQ(chooser.objectName(), QStringLiteral("KieliIkkuna"));
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Choose language"));
    EXPECT_FALSE(chooser.windowFlags() & Qt::WindowCloseButtonHint);
    ASSERT_EQ(chooser.Language->count(), 1);
    EXPECT_EQ(chooser.SelectedName(), "Default (English)");
    EXPECT_EQ(chooser.Language->accessibleName(), QStringLiteral("Choose language:"));
    EXPECT_EQ(chooser.Ok->toolTip(), QStringLiteral("Ok, use the selected language"));
    EXPECT_TRUE(chooser.Ok->isDefault());
}

TEST(TKieliIkkuna, TheDefaultFolderIsTheProgramsLanguageFolder)
{
    test::TestApplication();
    TKieliIkkuna chooser;
    EXPECT_EQ(chooser.LangDir->text(), QString::fromStdString(LanguageFolder()));
}

} // namespace
} // namespace tabulonix
