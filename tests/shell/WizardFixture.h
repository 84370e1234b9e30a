#pragma once
#include "shell/ColorBox.h"
#include "shell/PaaIkkuna.h"

#include "QtTestApp.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QDialog;
class QWidget;

namespace tabulonix::test {

// A wizard started on a folder of its own, with every dialog answered by the test.
class WizardFixture : public ::testing::Test {
  protected:
    QApplication& app = TestApplication();
    TempDir dir;
    std::vector<std::pair<QMessageBox::Icon, QString>> messages;
    std::vector<std::string> helpShown;
    int chooserCalls = 0;
    LanguageChoice chooserAnswer{0, "Default (English)"};
    std::optional<std::string> folderAnswer;
    std::optional<std::string> htmlFileAnswer;
    int htmlDialogs = 0;
    std::optional<TColor> colorAnswer;
    // Answers every modal dialog the wizard opens (the picker, options, about box); without
    // it they are cancelled.
    std::function<int(QDialog&)> onModal;
    int modalCalls = 0;

    // Options.ini of a program that has run before (no first-run chooser).
    void WriteOptions(const std::string& text = "[General]\r\nLanguage index=0\r\n");
    std::string OptionsPath() const { return dir.File("Options.ini"); }
    std::string OptionsText() const;

    WizardServices Services();
    std::unique_ptr<TPaaIkkuna> Start();
    // The language file a test made current does not outlive it.
    void TearDown() override;

  public:
    // Drives the real buttons.
    static void Next(TPaaIkkuna& w);
    static void Previous(TPaaIkkuna& w);
    static void ChooseTask(TPaaIkkuna& w, int index);
    static int Page(const TPaaIkkuna& w);
    static std::vector<std::string> SummaryLines(const TPaaIkkuna& w);
    // Types into a line edit as a user does (every keystroke a change).
    static void Type(QWidget& field, const QString& text);
};

} // namespace tabulonix::test
