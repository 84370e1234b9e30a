#include "shell/About.h"

#include "QtTestApp.h"
#include "TestSupport.h"
#include "i18n/IniLang.h"
#include "platform/Files.h"
#include "ui/Pictures.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tabulonix;

namespace {

OsVersion Version(OsVersion::Family family, int major, int minor, uint32_t build,
                  std::string servicePack = {})
{
    return OsVersion{family, major, minor, build, std::move(servicePack)};
}

class AboutBox : public ::testing::Test {
  protected:
    void SetUp() override { test::TestApplication(); }
};

} // namespace

TEST(SystemLine, EveryFamily)
{
    using F = OsVersion::Family;
    EXPECT_EQ(SystemLine(Version(F::WindowsNT, 5, 1, 2600, "Service Pack 2")),
              "Windows XP (Build 2600: Service Pack 2)");
    EXPECT_EQ(SystemLine(Version(F::WindowsNT, 6, 2, 9200)), "Windows NT 6.2 (Build 9200)");
    EXPECT_EQ(SystemLine(Version(F::WindowsNT, 5, 0, 2195)), "Windows 2000 (Build 2195)");
    EXPECT_EQ(SystemLine(Version(F::Windows9x, 4, 10, 0x040A0883)), "Windows 98 (Build 2179)")
        << "only the low 16 bits of the build";
    EXPECT_EQ(SystemLine(Version(F::Windows9x, 4, 90, 3000)), "Windows ME (Build 3000)");
    EXPECT_EQ(SystemLine(Version(F::Windows9x, 4, 0, 950)), "Windows 95 (Build 950)");
    EXPECT_EQ(SystemLine(Version(F::Win32OnWin3x, 3, 11, 0)), "Win32 on Windows 3.xx (Build 0)");
    EXPECT_EQ(SystemLine(Version(F::Other, 6, 1, 55, "Debian GNU/Linux 12 (bookworm)")),
              "Unknown 6.1 (Build 55: Debian GNU/Linux 12 (bookworm))");
    EXPECT_EQ(SystemLine(std::nullopt), "");
}

TEST(SystemLine, KernelReleaseAndOsRelease)
{
    OsVersion v = OsVersionFrom(
        "6.1.55-13-amd64", "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\r\n");
    EXPECT_EQ(v.family, OsVersion::Other);
    EXPECT_EQ(v.major, 6);
    EXPECT_EQ(v.minor, 1);
    EXPECT_EQ(v.build, 55u);
    EXPECT_EQ(v.servicePack, "Debian GNU/Linux 12 (bookworm)");

    v = OsVersionFrom("5.10-rc1", "PRETTY_NAME=Plain\n");
    EXPECT_EQ(v.major, 5);
    EXPECT_EQ(v.minor, 10);
    EXPECT_EQ(v.build, 0u);
    EXPECT_EQ(v.servicePack, "Plain");

    v = OsVersionFrom("99999999999999.2.3", "");
    EXPECT_EQ(v.major, INT32_MAX) << "absurd numbers are capped, not wrapped";
    EXPECT_EQ(v.servicePack, "");

    ASSERT_TRUE(QueryOsVersion());
    EXPECT_GT(PhysicalMemoryBytes(), 0u);
}

TEST(MemoryText, KilobytesWithTheLocalesSeparators)
{
    const uint64_t mb512 = 512ull << 20;
    EXPECT_EQ(MemoryText(mb512, QLocale(QLocale::English, QLocale::UnitedStates)), "524,288 KB");
    EXPECT_EQ(MemoryText(mb512, QLocale(QLocale::German, QLocale::Germany)), "524.288 KB");
    EXPECT_EQ(MemoryText(16ull << 30, QLocale(QLocale::English, QLocale::UnitedStates)),
              "16,777,216 KB");
    EXPECT_EQ(MemoryText(1000, QLocale(QLocale::English, QLocale::UnitedStates)), "1 KB");
}

TEST(AboutArithmetic, NoticeYearAndCentredButton)
{
    EXPECT_TRUE(MakerNotice(2026).endsWith("2026"));
    EXPECT_TRUE(MakerNotice(1999).endsWith("2004")) << "a clock set too early";
    EXPECT_EQ(CentredLeft(297, 75), 111);
    EXPECT_EQ(CentredLeft(297, 74), 112) << "111.5 goes to the even neighbour";
    EXPECT_EQ(CentredLeft(297, 76), 110) << "110.5 goes to the even neighbour";
}

TEST_F(AboutBox, ShowsTheInjectedSystemAndSizesItself)
{
    SystemFacts facts{Version(OsVersion::WindowsNT, 5, 1, 2600, "Service Pack 2"), 512ull << 20};
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TAboutBox box({}, facts, "1.2.3.4");
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(box.objectName(), "AboutBox");
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.Windows->text(), "Windows XP (Build 2600: Service Pack 2)");
    EXPECT_EQ(box.Memory->text(), "524,288 KB");
    EXPECT_EQ(box.ProductName->text(), "Tabulonix 1.2.3.4");
    EXPECT_EQ(box.Label6->text(), "Tabulonix 1.2.3.4");

    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    // Client: twice the bevel's left edge plus its width; three times its top edge plus
    // its height and the button's.
    EXPECT_EQ(box.Reunus->geometry().topLeft(), QPoint(8, 8));
    EXPECT_EQ(box.width(), 2 * 8 + box.Reunus->width());
    EXPECT_EQ(box.height(), 3 * 8 + box.Reunus->height() + box.OkButton->height());
    EXPECT_GE(box.Reunus->width(), 281);
    EXPECT_GE(box.Reunus->height(), 345);
    EXPECT_EQ(box.OkButton->x(), CentredLeft(box.width(), box.OkButton->width()));
    EXPECT_TRUE(box.OkButton->isDefault());

    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(AboutBox, LinksOpenTheirHint)
{
    TAboutBox box({}, SystemFacts{}, "");
    EXPECT_EQ(box.ProductName->text(), "Tabulonix") << "no version: the design-time text stays";
    EXPECT_EQ(box.Windows->text(), "");
    std::vector<QString> opened;
    box.OpenLink = [&](const QString& link) { opened.push_back(link); };
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    for (TLinkLabel* link : {box.outLabel4, box.outLabel5, box.outLabel7, box.Label12}) {
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(link->font().underline());
        QTest::mouseClick(link, Qt::LeftButton);
    }
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], box.outLabel4->toolTip());
    EXPECT_TRUE(opened[1].startsWith("mailto:"));
    EXPECT_EQ(opened[3], box.Label12->toolTip());

    // From the keyboard as well.
    QTest::keyClick(box.outLabel5, Qt::Key_Space);
    EXPECT_EQ(opened.size(), 5u);
}

TEST_F(AboutBox, PaintsTheTileOverTheWholeDialog)
{
    const QImage tile = BackgroundTile().toImage();
    ASSERT_FALSE(tile.isNull());
    TAboutBox box({}, SystemFacts{}, "");
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QImage shot = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage reference = tile.convertToFormat(QImage::Format_RGB32);
    const int w = reference.width(), h = reference.height();
    // Outside the bevel and the button: the tile repeated from the top-left corner on.
    for (QPoint p : {QPoint(0, 0), QPoint(5, 3), QPoint(3, box.height() - 1),
                     QPoint(box.width() - 1, box.height() - 1), QPoint(box.width() - 2, 40)})
        EXPECT_EQ(shot.pixel(p), reference.pixel(p.x() % w, p.y() % h)) << p.x() << "," << p.y();
}

// The translator's credit comes from the language file, like every other text.
TEST_F(AboutBox, TranslatedWithTheLanguageFileAndTheInterfaceFont)
{
    test::TempDir folder;
    const std::string name = "Finnish";
    test::WriteText(folder.File(name + ".txt"),
                    "[AboutBox]\r\nAboutBox.Caption=Tietoja\r\n"
                    "AboutBox.Label11.Caption=Kielen teki:\r\n"
                    "AboutBox.Label12.Caption=Matti Meikäläinen\r\n"
                    "AboutBox.Label12.Hint=mailto:matti@example.org\r\n"
                    "AboutBox.Version.Caption=not shown: the notice is set afterwards\r\n");
    struct Forget {
        ~Forget() { SetCurrentLanguageFile(nullptr); }
    } forget;

    TFontSpec font;
    font.name = "DejaVu Serif";
    font.size = 11;
    font.italic = true;
    TAboutBox box(TFormSetup{font, 3, name, folder.Path()}, SystemFacts{}, "");
    EXPECT_EQ(box.windowTitle(), "Tietoja");
    EXPECT_EQ(box.Label11->text(), "Kielen teki:");
    EXPECT_EQ(box.Label12->text(), QString::fromUtf8("Matti Meikäläinen"));
    EXPECT_EQ(box.Label12->toolTip(), "mailto:matti@example.org");
    EXPECT_TRUE(box.Version->text().startsWith("Tabulonix is freeware"));
    EXPECT_NE(CurrentLanguageFile(), nullptr) << "the opened file becomes the current one";
    EXPECT_EQ(box.font().pointSize(), 11);
    EXPECT_TRUE(box.font().italic());
    EXPECT_TRUE(box.Label12->font().underline()) << "links stay underlined";
    EXPECT_EQ(box.ProductName->font().pointSize(), 16) << "the product line keeps its own font";

    std::vector<QString> opened;
    box.OpenLink = [&](const QString& link) { opened.push_back(link); };
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.Label12, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<QString>{"mailto:matti@example.org"});
}
