#include "WizardFixture.h"

#include "i18n/IniLang.h"
#include "i18n/QtText.h"
#include "shell/About.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace tabulonix::test {

void WizardFixture::WriteOptions(const std::string& text)
{
    WriteText(OptionsPath(), text);
}

std::string WizardFixture::OptionsText() const
{
    return ReadText(OptionsPath());
}

WizardServices WizardFixture::Services()
{
    WizardServices s;
    s.folder = dir.Path();
    s.allowSplash = false;
    s.chooseLanguage = [this] {
        ++chooserCalls;
        return chooserAnswer;
    };
    s.message = [this](QMessageBox::Icon icon, const QString& text) {
        messages.emplace_back(icon, text);
    };
    s.chooseFolder = [this](const QString&) { return folderAnswer; };
    s.chooseHtmlFile = [this](const std::string&) {
        ++htmlDialogs;
        return htmlFileAnswer;
    };
    s.chooseColor = [this](TColor) { return colorAnswer; };
    s.showHelp = [this](const std::string& file, const std::string& anchor) {
        helpShown.push_back(file + "#" + anchor);
    };
    s.showModal = [this](QDialog& dialog) {
        ++modalCalls;
        return onModal ? onModal(dialog) : int(QDialog::Rejected);
    };
    s.systemFacts = [] { return SystemFacts{}; };
    return s;
}

void WizardFixture::TearDown()
{
    SetCurrentLanguageFile(nullptr);
}

std::unique_ptr<TPaaIkkuna> WizardFixture::Start()
{
    return std::make_unique<TPaaIkkuna>(Services());
}

void WizardFixture::Next(TPaaIkkuna& w)
{
    ASSERT_TRUE(w.btnNext->isEnabled());
    QTest::mouseClick(w.btnNext, Qt::LeftButton);
}

void WizardFixture::Previous(TPaaIkkuna& w)
{
    ASSERT_TRUE(w.btnPrevious->isEnabled());
    QTest::mouseClick(w.btnPrevious, Qt::LeftButton);
}

void WizardFixture::ChooseTask(TPaaIkkuna& w, int index)
{
    w.ToDoItems->button(index)->click();
}

int WizardFixture::Page(const TPaaIkkuna& w)
{
    return w.VelhoVaihe->currentIndex() + 1;
}

std::vector<std::string> WizardFixture::SummaryLines(const TPaaIkkuna& w)
{
    std::vector<std::string> lines;
    for (const QString& line : w.Tiedot->toPlainText().split('\n'))
        lines.push_back(FromQString(line));
    return lines;
}

void WizardFixture::Type(QWidget& field, const QString& text)
{
    QTest::keyClicks(&field, text);
}

} // namespace tabulonix::test
