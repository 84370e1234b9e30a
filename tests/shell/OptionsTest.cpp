#include "shell/Options.h"

#include "QtTestApp.h"
#include "TestSupport.h"
#include "i18n/IniLang.h"
#include "platform/Files.h"
#include "settings/IniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <map>

using namespace tabulonix;

namespace {

// The seventeen keys as an unusual but valid file holds them.
const char* const kStoredOptions = "; kept as it is\r\n"
                                   "[General]\r\n"
                                   "Show splashscreen = 0x1\r\n"
                                   "Language index=$0\r\n"
                                   "Language=Default (English)\r\n"
                                   "Font name=\"MS Sans Serif\"\r\n"
                                   "Font size=0010\r\n"
                                   "Font bold=1\r\n"
                                   "Font italic=0\r\n"
                                   "Font underline=1\r\n"
                                   "Font strikeout=0\r\n"
                                   "[Update]\r\n"
                                   "Automatic update=0\r\n"
                                   "Always connected to the Internet=1\r\n"
                                   "Proxy server=proxy.example\r\n"
                                   "Proxy port=0x1F90\r\n"
                                   "Use proxy=0\r\n"
                                   "Port=$50\r\n"
                                   "Update address=http://updates.example/Tabulonix.ini\r\n"
                                   "Save update directory=/tmp/\r\n"
                                   "Last checked=1.1.2020\r\n"
                                   "[Main]\r\n"
                                   "SDir=/somewhere/\r\n";

// A run of btnOptionsClick over a settings file and a language folder of its own.
struct OptionsRun {
    QApplication& app = test::TestApplication();
    test::TempDir dir;
    GeneralSettings general;
    UpdateSettings update;
    TFontSpec font;
    std::vector<std::pair<QMessageBox::Icon, QString>> messages;
    std::vector<std::string> languageChanges;
    int fontApplied = 0;
    int rearmed = 0;
    std::function<int(TOptionsIkkuna&)> user = [](TOptionsIkkuna&) { return QDialog::Accepted; };

    OptionsRun()
    {
        SetCurrentLanguageFile(nullptr);
        ForceDirectories(dir.File("Languages/"));
        test::WriteText(OptionsPath(), kStoredOptions);
        TIniFile file(OptionsPath());
        StartupSettings start = ReadStartupSettings(file);
        general = start.general;
        update = start.update;
        font = InterfaceFontFrom(general);
    }
    ~OptionsRun() { SetCurrentLanguageFile(nullptr); }

    std::string OptionsPath() const { return dir.File("Options.ini"); }
    std::string LanguageFolder() const { return dir.File("Languages/"); }

    void Run()
    {
        TOptionsContext c{general, update, font};
        c.optionsPath = OptionsPath();
        c.languageFolder = LanguageFolder();
        c.languageChanged = [this](const std::string& name) { languageChanges.push_back(name); };
        c.applyInterfaceFont = [this] { ++fontApplied; };
        c.rearmSchedule = [this] { ++rearmed; };
        c.showMessage = [this](QMessageBox::Icon icon, const QString& text) {
            messages.emplace_back(icon, text);
        };
        c.showModal = user;
        RunOptionsDialog(c);
    }

    std::string Stored(const std::string& section, const std::string& key) const
    {
        return TIniFile(OptionsPath()).ReadString(section, key, "<missing>");
    }
};

int IndexOf(const QComboBox& combo, const char* text)
{
    return combo.findText(QString::fromUtf8(text));
}

} // namespace

TEST(Options, OkWithoutChangesRewritesTheSeventeenKeys)
{
    OptionsRun run;
    run.Run();
    const std::string text = test::ReadText(run.OptionsPath());
    const std::map<std::string, std::string> general{
        {"Show splashscreen", "1"},     {"Language index", "0"}, {"Language", "Default (English)"},
        {"Font name", "MS Sans Serif"}, {"Font size", "10"},     {"Font bold", "1"},
        {"Font italic", "0"},           {"Font underline", "1"}, {"Font strikeout", "0"}};
    const std::map<std::string, std::string> update{
        {"Automatic update", "0"},
        {"Always connected to the Internet", "1"},
        {"Proxy server", "proxy.example"},
        {"Proxy port", "8080"},
        {"Use proxy", "0"},
        {"Port", "80"},
        {"Update address", "http://updates.example/Tabulonix.ini"},
        {"Save update directory", "/tmp/"}};
    for (const auto& [key, value] : general)
        EXPECT_NE(text.find(key + "=" + value + "\r\n"), std::string::npos) << key;
    for (const auto& [key, value] : update)
        EXPECT_NE(text.find(key + "=" + value + "\r\n"), std::string::npos) << key;
    EXPECT_EQ(general.size() + update.size(), 17u);
    EXPECT_NE(text.find("; kept as it is\r\n"), std::string::npos);
    EXPECT_NE(text.find("Last checked=1.1.2020\r\n"), std::string::npos) << "not the dialog's";
    EXPECT_NE(text.find("SDir=/somewhere/\r\n"), std::string::npos);
    EXPECT_TRUE(run.languageChanges.empty());
    EXPECT_TRUE(run.messages.empty());
    EXPECT_EQ(run.fontApplied, 1);
    EXPECT_EQ(run.rearmed, 1);
}

TEST(Options, CancelChangesNothingAndWritesNothing)
{
    OptionsRun run;
    test::WriteText(run.LanguageFolder() + "German.txt", "[Misc]\r\n");
    const GeneralSettings generalBefore = run.general;
    const UpdateSettings updateBefore = run.update;
    run.user = [](TOptionsIkkuna& d) {
        d.ShowSplash->setChecked(false);
        d.Proxy->setText("other");
        d.Language->setCurrentIndex(IndexOf(*d.Language, "German"));
        d.FontDialogFont.name = "Changed";
        return QDialog::Rejected;
    };
    run.Run();
    EXPECT_EQ(test::ReadText(run.OptionsPath()), kStoredOptions);
    EXPECT_EQ(run.general.ShowSplash, generalBefore.ShowSplash);
    EXPECT_EQ(run.general.Language, generalBefore.Language);
    EXPECT_EQ(run.update.Proxy, updateBefore.Proxy);
    EXPECT_EQ(run.font.name, "MS Sans Serif");
    EXPECT_EQ(run.fontApplied + run.rearmed, 0);
    EXPECT_EQ(CurrentLanguageFile(), nullptr);
}

TEST(Options, FillsTheDialogFromMemory)
{
    OptionsRun run;
    run.update.AutoUpdate = false;
    run.update.AlwaysConnected = true;
    run.update.ProxyPort = 70000; // as a signed 16-bit number: 4464
    bool checked = false;
    run.user = [&](TOptionsIkkuna& d) {
        checked = true;
        EXPECT_EQ(d.LangDir->text().toStdString(), run.LanguageFolder());
        EXPECT_EQ(d.LangDir->toolTip().toStdString(), run.LanguageFolder());
        EXPECT_EQ(d.Proxy->text(), "proxy.example");
        EXPECT_EQ(d.ProxyPortUpDown->value(), 4464);
        EXPECT_EQ(d.PortUpDown->value(), 80);
        EXPECT_EQ(d.Address->text(), "http://updates.example/Tabulonix.ini");
        EXPECT_EQ(d.SaveTo->text(), "/tmp/");
        EXPECT_TRUE(d.ShowSplash->isChecked());
        EXPECT_EQ(d.Language->currentIndex(), 0);
        EXPECT_EQ(d.Language->currentText(), "Default (English)");
        // With "Use proxy" off the proxy fields are disabled but keep their values; with
        // automatic updates off "Always connected" is disabled and keeps its tick.
        EXPECT_FALSE(d.Proxy->isEnabled());
        EXPECT_FALSE(d.ProxyPortUpDown->isEnabled());
        EXPECT_FALSE(d.Label11->isEnabled());
        EXPECT_FALSE(d.Label13->isEnabled());
        EXPECT_FALSE(d.AlwaysConnected->isEnabled());
        EXPECT_TRUE(d.AlwaysConnected->isChecked());
        EXPECT_EQ(d.FontLabel->text(), "MS Sans Serif, 10pt, Bold, Underline");
        EXPECT_EQ(d.font().pointSize(), 10);
        EXPECT_TRUE(d.font().bold());
        EXPECT_TRUE(d.font().underline());

        d.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
        QTest::mouseClick(d.UseProxy, Qt::LeftButton);
        EXPECT_TRUE(d.Proxy->isEnabled());
        EXPECT_TRUE(d.ProxyPortUpDown->isEnabled());
        QTest::mouseClick(d.UseProxy, Qt::LeftButton);
        EXPECT_FALSE(d.Proxy->isEnabled());
        QTest::mouseClick(d.AutoUpdate, Qt::LeftButton);
        EXPECT_TRUE(d.AlwaysConnected->isEnabled());
        QTest::mouseClick(d.AutoUpdate, Qt::LeftButton);
        return QDialog::Accepted;
    };
    run.Run();
    ASSERT_TRUE(checked);
    EXPECT_EQ(run.Stored("Update", "Proxy server"), "proxy.example");
    EXPECT_EQ(run.Stored("Update", "Proxy port"), "4464");
    EXPECT_EQ(run.Stored("Update", "Always connected to the Internet"), "1");
}

TEST(Options, ChangingTheLanguageTranslatesAndEnglishAsksForARestart)
{
    OptionsRun run;
    test::WriteText(
        run.LanguageFolder() + "Finnish.txt",
        "[OptionsIkkuna]\r\nOptionsIkkuna.Caption=Asetukset\r\n"
        "OptionsIkkuna.ShowSplash.Caption=Näytä aloituskuva\r\n[Misc]\r\nM038=Seuraava\r\n");
    test::WriteText(run.LanguageFolder() + "German.txt", "[Misc]\r\nM038=Weiter\r\n");

    run.user = [](TOptionsIkkuna& d) {
        EXPECT_EQ(d.windowTitle(), "Options") << "English: not translated";
        d.Language->setCurrentIndex(IndexOf(*d.Language, "Finnish"));
        return QDialog::Accepted;
    };
    run.Run();
    EXPECT_EQ(run.general.Language, "Finnish");
    // The position in the list: English first, then the files in the folder's order.
    const LanguageList list = BuildLanguageList(run.LanguageFolder(), FlagSize::Cut16);
    ASSERT_EQ(list.entries[run.general.LanguageIndex].text, "Finnish");
    EXPECT_EQ(run.languageChanges, std::vector<std::string>{"Finnish"});
    ASSERT_NE(CurrentLanguageFile(), nullptr);
    EXPECT_EQ(CurrentLanguageFile()->ReadString("Misc", "M038", ""), "Seuraava");
    EXPECT_TRUE(run.messages.empty());
    EXPECT_EQ(run.Stored("General", "Language"), "Finnish");
    EXPECT_EQ(run.Stored("General", "Language index"), std::to_string(run.general.LanguageIndex));

    // Opened again, the dialog is in Finnish; back to English needs a restart, and the
    // Finnish messages stay until then.
    run.user = [](TOptionsIkkuna& d) {
        EXPECT_EQ(d.windowTitle(), "Asetukset");
        EXPECT_EQ(d.ShowSplash->text(), QString::fromUtf8("Näytä aloituskuva"));
        EXPECT_EQ(d.Language->currentText(), "Finnish");
        d.Language->setCurrentIndex(0);
        return QDialog::Accepted;
    };
    run.Run();
    EXPECT_EQ(run.general.LanguageIndex, 0);
    EXPECT_EQ(run.general.Language, "Default (English)");
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].first, QMessageBox::Information);
    EXPECT_EQ(run.messages[0].second, kRestartMessage);
    EXPECT_EQ(run.languageChanges.size(), 1u);
    ASSERT_NE(CurrentLanguageFile(), nullptr);
    EXPECT_EQ(CurrentLanguageFile()->ReadString("Misc", "M038", ""), "Seuraava");
}

TEST(Options, ARemovedLanguageFileShowsNoSelectionAndOkKeepsTheLanguage)
{
    OptionsRun run;
    test::WriteText(run.LanguageFolder() + "German.txt", "[Misc]\r\n");
    run.general.LanguageIndex = 2;
    run.general.Language = "Klingon";
    int shown = -2;
    run.user = [&](TOptionsIkkuna& d) {
        shown = d.Language->currentIndex();
        return QDialog::Accepted;
    };
    run.Run();
    EXPECT_EQ(shown, -1);
    EXPECT_EQ(run.general.LanguageIndex, 2);
    EXPECT_EQ(run.general.Language, "Klingon");
    EXPECT_TRUE(run.languageChanges.empty());
    EXPECT_TRUE(run.messages.empty());
    EXPECT_EQ(run.Stored("General", "Language"), "Klingon");
    EXPECT_EQ(run.Stored("General", "Language index"), "2");

    // Choosing an entry then works as usual.
    run.user = [](TOptionsIkkuna& d) {
        d.Language->setCurrentIndex(IndexOf(*d.Language, "German"));
        return QDialog::Accepted;
    };
    run.Run();
    EXPECT_EQ(run.general.Language, "German");
    EXPECT_EQ(run.languageChanges, std::vector<std::string>{"German"});
}

TEST(Options, FontDialogAndBrowseButton)
{
    OptionsRun run;
    TFontSpec chosen;
    chosen.name = "DejaVu Sans";
    chosen.size = 12;
    chosen.italic = true;
    chosen.strikeOut = true;
    test::TempDir saveRoot;
    std::string askedRoot = "<not asked>";
    run.user = [&](TOptionsIkkuna& d) {
        d.ChooseFont = [](QWidget*, const TFontSpec&) { return std::optional<TFontSpec>(); };
        d.btnFont->click();
        EXPECT_EQ(d.FontLabel->text(), "MS Sans Serif, 10pt, Bold, Underline") << "cancelled";
        d.ChooseFont = [&](QWidget*, const TFontSpec& current) {
            EXPECT_EQ(current.name, "MS Sans Serif");
            return std::optional<TFontSpec>(chosen);
        };
        d.btnFont->click();
        EXPECT_EQ(d.FontLabel->text(), "DejaVu Sans, 12pt, Italic, Strike out");
        EXPECT_EQ(d.font().pointSize(), 12);
        EXPECT_TRUE(d.font().italic());

        d.SaveTo->setText(QString::fromStdString(saveRoot.Path()));
        d.ChooseFolder = [&](QWidget*, const QString& title, const std::string& root) {
            EXPECT_EQ(title, "Browse for folder...");
            askedRoot = root;
            return saveRoot.Path() + "updates";
        };
        d.BrowseButton->click();
        EXPECT_EQ(askedRoot, saveRoot.Path());
        EXPECT_EQ(d.SaveTo->text().toStdString(), saveRoot.Path() + "updates/");
        d.SaveTo->setText("/no/such/folder/");
        d.BrowseButton->click();
        EXPECT_EQ(askedRoot, "") << "no folder: the whole tree";
        return QDialog::Accepted;
    };
    run.Run();
    EXPECT_EQ(run.font, chosen);
    EXPECT_EQ(run.general.FontName, "DejaVu Sans");
    EXPECT_EQ(run.Stored("General", "Font size"), "12");
    EXPECT_EQ(run.Stored("General", "Font strikeout"), "1");
    EXPECT_EQ(run.Stored("General", "Font bold"), "0");
    EXPECT_EQ(run.Stored("Update", "Save update directory"), saveRoot.Path() + "updates/");
}

TEST(Options, AFailedWriteIsReportedAndTheValuesStayInMemory)
{
    OptionsRun run;
    run.user = [](TOptionsIkkuna& d) {
        d.ShowSplash->setChecked(false);
        return QDialog::Accepted;
    };
    TOptionsContext c{run.general, run.update, run.font};
    c.optionsPath = run.dir.File("missing-folder/Options.ini");
    c.languageFolder = run.LanguageFolder();
    c.showMessage = [&](QMessageBox::Icon icon, const QString& text) {
        run.messages.emplace_back(icon, text);
    };
    c.showModal = run.user;
    RunOptionsDialog(c);
    EXPECT_FALSE(run.general.ShowSplash);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].first, QMessageBox::Critical);
    EXPECT_EQ(run.messages[0].second.toStdString(), "Unable to write to " + c.optionsPath);
}

TEST(Options, SaveFolderRoot)
{
    EXPECT_TRUE(InsideRoot("/a/b/", ""));
    EXPECT_TRUE(InsideRoot("/a/b/", "/a/b/"));
    EXPECT_TRUE(InsideRoot("/a/b", "/a/b/"));
    EXPECT_TRUE(InsideRoot("/a/b/c/", "/a/b"));
    EXPECT_FALSE(InsideRoot("/a/bc/", "/a/b"));
    EXPECT_FALSE(InsideRoot("/a/", "/a/b/"));
}
