#pragma once
#include "i18n/InterfaceFont.h"
#include "i18n/LanguageList.h"
#include "settings/SettingsKeys.h"
#include "ui/FormSetup.h"

#include <QDialog>
#include <QMessageBox>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace tabulonix {

// Whether `folder` is `root` or lies below it; every folder is inside an empty root.
bool InsideRoot(const std::string& folder, const std::string& root);

// "Options": the splash screen, the interface language and font, and the network settings
// of the update service.
class TOptionsIkkuna : public QDialog {
    Q_OBJECT
  public:
    // FormCreate: with a language file chosen, the dialog is translated from it.
    explicit TOptionsIkkuna(const TFormSetup& setup = {}, QWidget* parent = nullptr);

    // The language list with its flags; `Language` shows its entries.
    void SetLanguages(const LanguageList& list);

    // The font dialog's font; KirjoitaFontti shows it.
    TFontSpec FontDialogFont;

    // The font dialog and the folder browser, replaceable in tests. ChooseFolder offers
    // only `root` and the folders below it ("" for the whole tree) and returns "" when
    // cancelled.
    std::function<std::optional<TFontSpec>(QWidget* parent, const TFontSpec& font)> ChooseFont;
    std::function<std::string(QWidget* parent, const QString& title, const std::string& root)>
        ChooseFolder;

    QFrame* Reunus;
    QTabWidget* Asetukset;
    QWidget* General;
    QCheckBox* ShowSplash;
    QLabel* Label5;
    QComboBox* Language;
    QLabel* Label6;
    QLabel* LangDir;
    QPushButton* btnFont;
    QLabel* FontLabel;
    QWidget* Update;
    QLabel* Label11;
    QLineEdit* Proxy;
    QLabel* Label13;
    QSpinBox* ProxyPortUpDown; // with its text field, `ProxyPort`
    QCheckBox* UseProxy;
    QLabel* Label17;
    QLineEdit* Address;
    QLabel* Label20;
    QSpinBox* PortUpDown; // with its text field, `Port`
    QLabel* Label21;
    QLineEdit* SaveTo;
    QToolButton* BrowseButton;
    QCheckBox* AutoUpdate;
    QCheckBox* AlwaysConnected;
    QPushButton* btnOk;
    QPushButton* btnCancel;

  public slots:
    void UseProxyClick();
    void AutoUpdateClick();
    void KirjoitaFontti();
    void btnFontClick();
    void BrowseButtonClick();
};

// What btnOptionsClick works on: the main window's memory and what it does after OK.
struct TOptionsContext {
    TOptionsContext(GeneralSettings& g, UpdateSettings& u, TFontSpec& font)
        : general(g), update(u), interfaceFont(font)
    {
    }
    GeneralSettings& general;
    UpdateSettings& update;
    TFontSpec& interfaceFont;
    QWidget* parent = nullptr;
    std::string optionsPath = OptionsFilePath();
    std::string languageFolder = LanguageFolder();

    // Another language file was chosen and is now the current one: translate the wizard,
    // set its lists again and choose the help file.
    std::function<void(const std::string& language)> languageChanged;
    // InterfaceFont changed: give it to the wizard.
    std::function<void()> applyInterfaceFont;
    // Arm the automatic update schedule from the values in memory.
    std::function<void()> rearmSchedule;

    // Message boxes and the modal run, replaceable in tests.
    std::function<void(QMessageBox::Icon icon, const QString& text)> showMessage;
    std::function<int(TOptionsIkkuna& dialog)> showModal;
};

// btnOptionsClick: fills a new dialog from memory, shows it, and on OK copies the values
// back, applies them and writes sections "General" and "Update".
void RunOptionsDialog(TOptionsContext& context);

// The fixed text shown after a change back to the built-in English.
extern const char* const kRestartMessage;

} // namespace tabulonix
