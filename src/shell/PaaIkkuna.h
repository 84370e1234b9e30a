#pragma once
#include "engine/JobSettings.h"
#include "i18n/InterfaceFont.h"
#include "i18n/Kieli.h"
#include "settings/SettingsKeys.h"
#include "ui/FormSetup.h"

#include <QMessageBox>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QButtonGroup;
class QDialog;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace tabulonix {

class TColorBox;
class THelpWindow;
class TKuvaIkkuna;
class TOdota;
class TPreview;
class TUpdateSchedule;
struct SystemFacts;

// The program's title, and the wizard's caption before any translation.
constexpr const char* kApplicationTitle = "Tabulonix 1.2 by Merovane";

// What the wizard asks of its surroundings. The defaults are the real dialogs and files;
// tests replace what they need to answer themselves.
struct WizardServices {
    // A folder (ending with "/") that holds Options.ini, Languages/ and Helps/ together;
    // empty: where the program keeps them (beside it, or the user's folders when installed).
    std::string folder;
    // The first run's language chooser: shown modally, its selection is the answer.
    std::function<LanguageChoice()> chooseLanguage;
    // Modal message boxes with one "OK" button.
    std::function<void(QMessageBox::Icon, const QString& text)> message;
    // The folder browser (title given); nothing when cancelled.
    std::function<std::optional<std::string>(const QString& title)> chooseFolder;
    // The save dialog of the HTML output; nothing when cancelled.
    std::function<std::optional<std::string>(const std::string& current)> chooseHtmlFile;
    // The colour dialog of the colour list's "Custom..." entry.
    std::function<std::optional<TColor>(TColor current)> chooseColor;
    // Shows a help file at an anchor ("contents" or "101").
    std::function<void(const std::string& helpFile, const std::string& anchor)> showHelp;
    // Shows a dialog modally and returns its result (the picker, options and about box).
    std::function<int(QDialog& dialog)> showModal;
    // What the about box reports of the machine.
    std::function<SystemFacts()> systemFacts;
    // Whether the splash screen may be shown at all (the settings decide when it is).
    bool allowSplash = true;

    // The real dialogs and the program's own files.
    static WizardServices Defaults();
};

// The main window: a six-step wizard whose controls are the only copy of the job's fields
// between start-up and shutdown. Members are the components, named as the language files
// and the settings table know them.
class TPaaIkkuna : public QWidget {
    Q_OBJECT

  public:
    explicit TPaaIkkuna(WizardServices services = WizardServices::Defaults());
    ~TPaaIkkuna() override;

    // Start-up: reads Options.ini, shows the splash screen, asks for a language on the
    // first run, translates the window and restores the remembered fields. The
    // constructor runs it.
    void FormCreate();
    // Shutdown: writes section "Main" from the controls (the destructor runs it when it has
    // not run yet). A failed write is shown in a message box.
    void FormDestroy();

    // Page 1 and navigation.
    void ToDoClick();
    void btnPreviousClick();
    void btnNextClick();
    void PaivitaNavigointiNipukat();
    // Page 2.
    void BrowseSButtonClick();
    void BrowseDButtonClick();
    // Page 3.
    void LeveysChange();
    void KorkeusChange();
    void AspectChange();
    void DrawFrameClick();
    void ColorChange();
    // Page 4.
    void FormatChange();
    void KeepFormatClick();
    void TrackBarChange();
    void PNGTrackBarChange();
    // Page 5.
    void CreateHTMLChange();
    void SaveHTMLClick();
    void LinkClick();
    void UseTableClick();
    void CreateMultiClick();
    // Button bar.
    void btnOptionsClick();
    void btnUpdateClick();
    void btnAboutClick();
    void btnHelpClick();
    void btnCloseClick();
    // Runs the batch with the job the controls describe.
    void DoTheHonkyPonky();

    // The task: 0 thumbnails, 1 convert only.
    int ToDoIndex() const;
    // The job as the controls describe it right now.
    JobSettings CurrentJob() const;
    // Every "Main" value as its control holds it.
    MainSettings MainFromControls() const;
    // Makes `names` (in `folder`) the selected source files and shows their count.
    void SetSelectedFiles(const std::string& folder, const std::vector<std::string>& names);
    const SelectedFileList& SelectedFiles() const { return selectedFiles_; }

    // Gives the wizard InterfaceFont, its labels the parts their rules say.
    void ApplyInterfaceFont(const TFontSpec& font);
    // Chooses the help file for a language name.
    void ChooseHelpFileFor(const std::string& languageName);
    const std::string& HelpFile() const { return helpFile_; }
    // The automatic update schedule as start-up arms it.
    void ArmUpdateSchedule();
    // After the options dialog made another language file the current one: translates the
    // wizard, sets its lists again and chooses the help file.
    void LanguageChanged(const std::string& language);
    // What a window made by the wizard takes from it: the font and the language.
    TFormSetup FormSetup() const;
    // The source image picker, made at its first use and kept (null before).
    TKuvaIkkuna* Picker() const { return picker_.get(); }
    // The automatic update check: its timer and connection detector.
    TUpdateSchedule& UpdateSchedule() const { return *updateSchedule_; }

    // What start-up read from "General" and "Update"; the options dialog edits it.
    StartupSettings Startup;
    // The outcome of the last update check (0 none, 1 failed, 2 nothing newer, 3 newer).
    int UpdateStatus = 0;
    TFontSpec InterfaceFont;
    std::string BaseTitle;
    // Navigation state: the step count (ToDo's tag), the current step and the Next
    // button's mode (its tag: 0 normal, 1 process).
    int StepCount = 6;
    int Step = 1;
    int btnNextTag = 0;

    // Components, page by page.
    QWidget* AlusPaneeli;
    QTabWidget* VelhoVaihe;
    QWidget* Vaihe1;
    QWidget* Vaihe2;
    QWidget* Vaihe3;
    QWidget* Vaihe4;
    QWidget* Vaihe5;
    QWidget* Vaihe6;

    QLabel* VelhoKuva;
    QLabel* Label1;
    QLabel* Label8;
    QLabel* Label2;
    QGroupBox* ToDo;
    QButtonGroup* ToDoItems;

    QLabel* Label3;
    QLabel* Label4;
    QGroupBox* DirGroup;
    QLabel* Label5;
    QLineEdit* SDir;
    QToolButton* BrowseSButton;
    QLabel* Label6;
    QLineEdit* DDir;
    QToolButton* BrowseDButton;
    QCheckBox* Overwrite;
    QLabel* Label31;

    QLabel* Label7;
    QLabel* KuvaPaneeli;
    TPreview* Preview;
    QGroupBox* Dimensions;
    QLabel* Width;
    QLineEdit* Leveys;
    QLabel* Height;
    QLineEdit* Korkeus;
    QLabel* Label10;
    QComboBox* Aspect;
    QCheckBox* StretchSmall;
    QCheckBox* SkipUnchanged;
    QCheckBox* AutoRotate;
    QCheckBox* Smooth;
    QGroupBox* Frame;
    QCheckBox* DrawFrame;
    QLabel* Label9;
    TColorBox* Color;
    QLabel* Label11;
    QSpinBox* UpDown; // its text field is `Size`

    QLabel* Label13;
    QLabel* Label17;
    QLabel* Label18;
    QGroupBox* FileTypeGroup;
    QCheckBox* KeepFormat;
    QLabel* Label30;
    QComboBox* Format;
    QLabel* Label15;
    QLineEdit* NameFormat;
    QLabel* Label12;
    QLineEdit* Extension;
    QGroupBox* Jpeg;
    QLabel* Label19;
    QLabel* Compression;
    QLabel* Label20;
    QSlider* TrackBar;
    QCheckBox* Progressive;
    QGroupBox* Png;
    QLabel* Label28;
    QLabel* PNGCompression;
    QLabel* Label32;
    QSlider* PNGTrackBar;

    QLabel* Label21;
    QComboBox* CreateHTML;
    QToolButton* SaveHTML;
    QLabel* HTMLFile;
    QGroupBox* General;
    QCheckBox* FillDimensions;
    QCheckBox* UseTable;
    QCheckBox* Link;
    QLabel* Label22;
    QLineEdit* Target;
    QLabel* Label27;
    QSpinBox* BRUp; // field `OnBR`
    QLabel* Label29;
    QSpinBox* IBorderUp; // field `IBorder`
    QGroupBox* Table;
    QLabel* Label23;
    QSpinBox* BorderUp; // field `Border`
    QLabel* Label24;
    QSpinBox* TDUp; // field `OnTD`
    QLabel* Label25;
    QSpinBox* TRUp; // field `OnTR`
    QCheckBox* CenterCell;
    QGroupBox* Multipage;
    QCheckBox* CreateMulti;
    QLabel* Label26;
    QSpinBox* ImageCountUp; // field `ImageCount`

    QFrame* GoPanel;
    QLabel* GoKuva;
    QLabel* Label14;
    QPlainTextEdit* Tiedot;

    QFrame* NappiPaneeli;
    QToolButton* btnPrevious;
    QToolButton* btnNext;
    QToolButton* btnOptions;
    QToolButton* btnUpdate;
    QToolButton* btnAbout;
    QToolButton* btnHelp;
    QToolButton* btnClose;

  private:
    void BuildPages();
    QWidget* BuildPage1();
    QWidget* BuildPage2();
    QWidget* BuildPage3();
    QWidget* BuildPage4();
    QWidget* BuildPage5();
    QWidget* BuildPage6();
    QFrame* BuildButtonBar();
    TPreview* CreatePreviewPane(QWidget& panel);
    void Connect();

    int PageIndex() const;
    void GoToPage(int index);
    void SetNextMode(bool process);
    void RebuildSummary();
    void ShowSelectionStatus();
    void SideChange(QLineEdit& field, bool width);
    void ReadMainIntoControls();
    void ShowMessage(QMessageBox::Icon icon, const std::string& text);
    std::string OptionsPath() const;
    void ShowHelp(const std::string& anchor);

    WizardServices services_;
    SelectedFileList selectedFiles_;
    std::string helpFile_;
    std::unique_ptr<TOdota> splash_;
    std::unique_ptr<TKuvaIkkuna> picker_;
    std::unique_ptr<THelpWindow> help_;
    std::unique_ptr<TUpdateSchedule> updateSchedule_;
    bool destroyed_ = false;
    bool inCreateHtmlChange_ = false;
};

} // namespace tabulonix
