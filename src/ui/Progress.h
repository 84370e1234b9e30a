#pragma once
#include "i18n/InterfaceFont.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QProgressBar;
class QToolButton;

namespace tabulonix {

// What a translated window takes from the wizard when it is made: the user's interface
// font and the language (index 0 is the built-in English, which opens no file).
struct TWindowLanguage {
    TFontSpec interfaceFont;
    int languageIndex = 0;
    std::string languageName;
};

// The small window that follows a batch run: the file being processed, a bar, the
// percentage and "Abort". The engine's host creates it for the run, shows it without
// making it modal (a dialog without a parent is centred on the screen) and destroys it.
class TProgressIkkuna : public QDialog {
    Q_OBJECT
  public:
    explicit TProgressIkkuna(const TWindowLanguage& language, QWidget* parent = nullptr);

    // Set once "Abort" was pressed; the button can be pressed only once.
    bool Aborted() const { return aborted_; }

    QFrame* Reunus;
    QLabel* FileName;
    QProgressBar* ProgressBar;
    QLabel* Edistys;
    QToolButton* btnAbort;

  public slots:
    void btnAbortClick();
    // Esc does not end the window: only the run does.
    void reject() override {}

  protected:
    // The window has no close button; only the run ends it.
    void closeEvent(QCloseEvent* event) override;

  private:
    bool aborted_ = false;
};

} // namespace tabulonix
