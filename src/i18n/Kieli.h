#pragma once
#include "i18n/LanguageList.h"

#include <QDialog>

#include <string>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace tabulonix {

// A 16 x 16 flag of the language list as Qt draws it. The two built-in flags carry a
// transparent background colour; flags loaded from files are shown as they are.
QPixmap FlagPixmap(const TBitmap& flag, bool transparentBackground);

// Puts the entries of `list` with their flags into `combo` (emptied first), entry by entry.
void FillLanguageCombo(QComboBox& combo, const LanguageList& list);

// The first-run language chooser. It is never translated and has no cancel: however it is
// closed, the entry selected at that moment is the choice.
class TKieliIkkuna : public QDialog {
    Q_OBJECT
  public:
    // Lists the languages of `languageFolder` ("Languages/" beside the program when empty).
    explicit TKieliIkkuna(const std::string& languageFolder = {}, QWidget* parent = nullptr);

    // The choice: the entry's position (0 is the built-in English) and its text.
    int SelectedIndex() const;
    std::string SelectedName() const;

    QFrame* Bevel1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* LangDir;
    QComboBox* Language;
    QPushButton* Ok;

  public slots:
    void OkClick();
    // Esc and the window's close box end the dialog like "Ok".
    void reject() override;

  private:
    LanguageList list_;
};

// What the first start stores: the chooser shown modally, then its choice.
struct LanguageChoice {
    int index = 0;
    std::string name = kDefaultLanguageName;
};
LanguageChoice ChooseLanguage(const std::string& languageFolder = {}, QWidget* parent = nullptr);

} // namespace tabulonix
