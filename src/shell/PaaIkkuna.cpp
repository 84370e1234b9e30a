#include "shell/PaaIkkuna.h"

#include "codecs/Registry.h"
#include "engine/Batch.h"
#include "engine/DestinationNaming.h"
#include "engine/Gallery.h"
#include "engine/JobFromSettings.h"
#include "i18n/HelpFile.h"
#include "i18n/IniLang.h"
#include "i18n/Kieli.h"
#include "i18n/LanguageList.h"
#include "i18n/Messages.h"
#include "i18n/QtText.h"
#include "i18n/TranslateForms.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Version.h"
#include "settings/IniFile.h"
#include "shell/About.h"
#include "shell/ColorBox.h"
#include "shell/Odota.h"
#include "shell/Options.h"
#include "ui/HelpWindow.h"
#include "ui/ImageIkkuna.h"
#include "ui/Pictures.h"
#include "ui/PreviewIkkuna.h"
#include "ui/QtBatchHost.h"
#include "update/Schedule.h"
#include "update/Update.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCollator>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

namespace tabulonix {

namespace {

// The step numbers of the convert-only task, page by page (page 3 is never shown).
constexpr int kPageTags[] = {1, 2, 0, 3, 4, 5};
constexpr int kSizePage = 2;
constexpr int kHtmlPage = 4;
constexpr int kSummaryPage = 5;

QString Message(const char* id)
{
    return ToQString(LangMessage(id));
}

void SetTextColor(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    widget.setPalette(palette);
}

QWidget* DialogParent()
{
    return QApplication::activeWindow();
}

std::optional<std::string> ChooseFolderDialog(const QString& title)
{
    const QString folder = QFileDialog::getExistingDirectory(DialogParent(), title, QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return FromQString(folder);
}

std::optional<std::string> ChooseHtmlFileDialog(const std::string& current)
{
    QFileDialog dialog(DialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({"HTML files (*.htm *.html)", "All files (*)"});
    dialog.setDefaultSuffix("htm");
    // Choosing an existing page is how it is picked for updating: no "replace?" question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!current.empty())
        dialog.selectFile(ToQString(current));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return FromQString(dialog.selectedFiles().first());
}

std::optional<TColor> ChooseColorDialog(TColor current)
{
    const TColor rgb = ColorToRGB(current);
    const QColor chosen = QColorDialog::getColor(
        QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)), DialogParent());
    if (!chosen.isValid())
        return std::nullopt;
    return RGBColor(chosen.red(), chosen.green(), chosen.blue());
}

void ShowMessageBox(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                    DialogParent());
    box.exec();
}

// The value a "Main" key's control holds, in the key's stored form.
SettingValue ControlValue(const QWidget& form, const SettingKey& key)
{
    QObject* control = form.findChild<QObject*>(QString::fromLatin1(key.control));
    if (auto* colors = qobject_cast<TColorBox*>(control))
        return colors->Selected();
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return FromQString(edit->text());
    if (auto* check = qobject_cast<QCheckBox*>(control))
        return check->isChecked();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentIndex();
    if (auto* spin = qobject_cast<QSpinBox*>(control))
        return spin->value();
    if (auto* slider = qobject_cast<QSlider*>(control))
        return slider->value();
    return DefaultValue(key);
}

void PutIntoControl(QWidget& form, const SettingKey& key, const SettingValue& value)
{
    QObject* control = form.findChild<QObject*>(QString::fromLatin1(key.control));
    if (auto* colors = qobject_cast<TColorBox*>(control))
        colors->SetSelected(std::get<int>(value));
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(ToQString(std::get<std::string>(value)));
    else if (auto* check = qobject_cast<QCheckBox*>(control))
        check->setChecked(std::get<bool>(value));
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(std::get<int>(value));
    else if (auto* spin = qobject_cast<QSpinBox*>(control))
        spin->setValue(std::get<int>(value));
    else if (auto* slider = qobject_cast<QSlider*>(control))
        slider->setValue(std::get<int>(value));
}

std::vector<const SettingKey*> MainKeys()
{
    std::vector<const SettingKey*> keys;
    for (const SettingKey& key : SettingKeys())
        if (std::string(key.section) == "Main")
            keys.push_back(&key);
    return keys;
}

const char* JpegQualityMessage(int quality)
{
    if (quality <= 1)
        return "M010";
    if (quality <= 9)
        return "M011";
    if (quality <= 39)
        return "M012";
    if (quality <= 59)
        return "M013";
    if (quality <= 89)
        return "M014";
    if (quality <= 99)
        return "M015";
    return "M016";
}

const char* PngLevelMessage(int level)
{
    if (level <= 0)
        return "M021";
    if (level <= 3)
        return "M022";
    if (level <= 5)
        return "M023";
    if (level <= 8)
        return "M024";
    return "M025";
}

int CompareNames(const std::string& a, const std::string& b)
{
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(ToQString(a), ToQString(b));
}

} // namespace

WizardServices WizardServices::Defaults()
{
    WizardServices services;
    services.chooseLanguage = [] { return ChooseLanguage(); };
    services.message = ShowMessageBox;
    services.chooseFolder = ChooseFolderDialog;
    services.chooseHtmlFile = ChooseHtmlFileDialog;
    services.chooseColor = ChooseColorDialog;
    services.showModal = [](QDialog& dialog) { return dialog.exec(); };
    services.systemFacts = SystemFacts::OfThisMachine;
    return services;
}

TPaaIkkuna::TPaaIkkuna(WizardServices services)
    : services_(std::move(services)), selectedFiles_(CompareNames)
{
    BuildPages();
    Connect();
    // Made before start-up arms it: the connection detector records the addresses now.
    updateSchedule_ = std::make_unique<TUpdateSchedule>(UpdateStatus, this);
    updateSchedule_->SettingsPath = OptionsPath();
    updateSchedule_->ShowDialog = [this](TUpdateIkkuna& dialog) { services_.showModal(dialog); };
    FormCreate();
}

TPaaIkkuna::~TPaaIkkuna()
{
    if (!destroyed_)
        FormDestroy();
}

void TPaaIkkuna::Connect()
{
    connect(ToDoItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            ToDoClick();
    });
    connect(btnPrevious, &QToolButton::clicked, this, &TPaaIkkuna::btnPreviousClick);
    connect(btnNext, &QToolButton::clicked, this, &TPaaIkkuna::btnNextClick);
    connect(btnOptions, &QToolButton::clicked, this, &TPaaIkkuna::btnOptionsClick);
    connect(btnUpdate, &QToolButton::clicked, this, &TPaaIkkuna::btnUpdateClick);
    connect(btnAbout, &QToolButton::clicked, this, &TPaaIkkuna::btnAboutClick);
    connect(btnHelp, &QToolButton::clicked, this, &TPaaIkkuna::btnHelpClick);
    connect(btnClose, &QToolButton::clicked, this, &TPaaIkkuna::btnCloseClick);
    connect(BrowseSButton, &QToolButton::clicked, this, &TPaaIkkuna::BrowseSButtonClick);
    connect(BrowseDButton, &QToolButton::clicked, this, &TPaaIkkuna::BrowseDButtonClick);

    connect(Leveys, &QLineEdit::textChanged, this, &TPaaIkkuna::LeveysChange);
    connect(Korkeus, &QLineEdit::textChanged, this, &TPaaIkkuna::KorkeusChange);
    // Lists react to the user's choice only; the program sets them and runs the handler.
    connect(Aspect, &QComboBox::activated, this, &TPaaIkkuna::AspectChange);
    connect(DrawFrame, &QCheckBox::toggled, this, &TPaaIkkuna::DrawFrameClick);
    connect(Color, &TColorBox::colorSelected, this, &TPaaIkkuna::ColorChange);
    connect(UpDown, &QSpinBox::valueChanged, this, &TPaaIkkuna::ColorChange);
    connect(Format, &QComboBox::activated, this, &TPaaIkkuna::FormatChange);
    connect(KeepFormat, &QCheckBox::toggled, this, &TPaaIkkuna::KeepFormatClick);
    connect(TrackBar, &QSlider::valueChanged, this, &TPaaIkkuna::TrackBarChange);
    connect(PNGTrackBar, &QSlider::valueChanged, this, &TPaaIkkuna::PNGTrackBarChange);
    connect(CreateHTML, &QComboBox::activated, this, &TPaaIkkuna::CreateHTMLChange);
    connect(SaveHTML, &QToolButton::clicked, this, &TPaaIkkuna::SaveHTMLClick);
    connect(Link, &QCheckBox::toggled, this, &TPaaIkkuna::LinkClick);
    connect(UseTable, &QCheckBox::toggled, this, &TPaaIkkuna::UseTableClick);
    connect(CreateMulti, &QCheckBox::toggled, this, &TPaaIkkuna::CreateMultiClick);

    Color->chooseColor = [this](TColor current) { return services_.chooseColor(current); };

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { ShowHelp("101"); });
    // Close is the window's cancel button.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, btnClose, &QToolButton::click);
}

// --- Start-up and shutdown -------------------------------------------------------------

void TPaaIkkuna::FormCreate()
{
    HTMLFile->clear();
    TIniFile file(OptionsPath());
    if (services_.allowSplash && file.ReadBool("General", "Show splashscreen", true)) {
        splash_ = std::make_unique<TOdota>();
        splash_->FormShow();
    }
    Startup = ReadStartupSettings(file);
    InterfaceFont = InterfaceFontFrom(Startup.general);
    ApplyInterfaceFont(InterfaceFont);
    VelhoVaihe->setCurrentIndex(0);

    if (Startup.firstRun) {
        splash_.reset();
        const LanguageChoice choice = services_.chooseLanguage();
        Startup.general.LanguageIndex = choice.index;
        Startup.general.Language = choice.name;
        try {
            WriteLanguageChoice(file, choice.index, choice.name);
        } catch (const Exception& e) {
            ShowMessage(QMessageBox::Critical, e.Message());
        }
    }
    ArmUpdateSchedule();
    if (Startup.general.LanguageIndex != 0) {
        const std::string name = Startup.general.Language;
        if (services_.folder.empty())
            OpenCurrentLanguage(name);
        else
            SetCurrentLanguageFile(
                OpenLanguageFileAt(services_.folder + LanguageFileRelativePath(name)));
        TranslateForms(*this);
    }
    ChooseHelpFileFor(Startup.general.Language);
    ReadMainIntoControls();

    AspectChange();
    CreateHTMLChange();
    DrawFrameClick();
    KeepFormatClick();
    TrackBarChange();
    PNGTrackBarChange();
    selectedFiles_.Clear();
    BaseTitle = FromQString(windowTitle());
    ToDoClick();
    splash_.reset();
}

void TPaaIkkuna::ReadMainIntoControls()
{
    TIniFile file(OptionsPath());
    for (const SettingKey* key : MainKeys()) {
        SettingValue value;
        try {
            value = ReadSetting(file, *key);
        } catch (const EConvertError& e) {
            // An unusable "Frame color": the keys after it keep their design values.
            ShowMessage(QMessageBox::Critical, e.Message());
            return;
        }
        PutIntoControl(*this, *key, value);
    }
}

void TPaaIkkuna::FormDestroy()
{
    destroyed_ = true;
    selectedFiles_.Clear();
    TIniFile file(OptionsPath());
    try {
        WriteMain(file, MainFromControls());
    } catch (const Exception& e) {
        ShowMessage(QMessageBox::Critical, e.Message());
    }
}

MainSettings TPaaIkkuna::MainFromControls() const
{
    MainSettings main = DefaultMain();
    for (const SettingKey* key : MainKeys())
        StoreSetting(*key, main, ControlValue(*this, *key));
    return main;
}

JobSettings TPaaIkkuna::CurrentJob() const
{
    JobSettings job = JobFromMainSettings(MainFromControls(), ToDoIndex());
    // The fields that are not remembered, and the name pattern exactly as it stands.
    job.DDir = IncludeTrailingSlash(job.DDir);
    job.NameFormat = FromQString(NameFormat->text());
    job.Extension = FromQString(Extension->text());
    job.HTMLFile = FromQString(HTMLFile->text());
    return job;
}

void TPaaIkkuna::ApplyInterfaceFont(const TFontSpec& font)
{
    tabulonix::ApplyInterfaceFont(*this, font, WizardLabelFontRules());
}

void TPaaIkkuna::ChooseHelpFileFor(const std::string& languageName)
{
    helpFile_ = ChooseHelpFile(languageName, services_.folder);
}

void TPaaIkkuna::ArmUpdateSchedule()
{
    updateSchedule_->Arm(Startup.general, Startup.update, InterfaceFont);
}

std::string TPaaIkkuna::OptionsPath() const
{
    return services_.folder.empty() ? OptionsFilePath() : services_.folder + kOptionsFileName;
}

void TPaaIkkuna::ShowMessage(QMessageBox::Icon icon, const std::string& text)
{
    services_.message(icon, ToQString(text));
}

TFormSetup TPaaIkkuna::FormSetup() const
{
    TFormSetup setup;
    setup.font = InterfaceFont;
    setup.languageIndex = Startup.general.LanguageIndex;
    setup.language = Startup.general.Language;
    if (!services_.folder.empty())
        setup.languageFolder = services_.folder + "Languages/";
    return setup;
}

void TPaaIkkuna::ShowHelp(const std::string& anchor)
{
    if (services_.showHelp) {
        services_.showHelp(helpFile_, anchor);
        return;
    }
    if (!help_)
        help_ = std::make_unique<THelpWindow>();
    if (!help_->ShowTopic(helpFile_, anchor))
        ShowMessage(QMessageBox::Warning, "Cannot open the help file " + helpFile_ + ".");
}

void TPaaIkkuna::LanguageChanged(const std::string& language)
{
    TranslateForms(*this);
    // The translation leaves the lists without a selection.
    Aspect->setCurrentIndex(0); // "Yes - Favor height"
    AspectChange();
    CreateHTML->setCurrentIndex(HTMLFile->text().isEmpty() ? 2 : 0);
    CreateHTMLChange();
    DrawFrameClick();
    Format->setCurrentIndex(ofJPEG);
    KeepFormatClick();
    TrackBarChange();
    PNGTrackBarChange();
    ChooseHelpFileFor(language);
}

// --- Navigation ------------------------------------------------------------------------

int TPaaIkkuna::ToDoIndex() const
{
    return std::max(0, ToDoItems->checkedId());
}

int TPaaIkkuna::PageIndex() const
{
    return VelhoVaihe->currentIndex();
}

void TPaaIkkuna::GoToPage(int index)
{
    VelhoVaihe->setCurrentIndex(std::clamp(index, 0, VelhoVaihe->count() - 1));
}

void TPaaIkkuna::ToDoClick()
{
    Step = PageIndex() + 1;
    NameFormat->setText(ToQString(NameFormatForTask(FromQString(NameFormat->text()), ToDoIndex())));
    if (ToDoIndex() == 0) {
        StepCount = 6;
    } else {
        StepCount = 5;
        Step = kPageTags[PageIndex()];
    }
    PaivitaNavigointiNipukat();
}

void TPaaIkkuna::btnNextClick()
{
    const int page = PageIndex();
    if (page == 1 && !DDir->text().isEmpty() && !DDir->text().endsWith('/'))
        DDir->setText(DDir->text() + '/');
    if (page == kSummaryPage && btnNext->isEnabled())
        DoTheHonkyPonky();
    if (page == 1 && !DDir->text().isEmpty() && HTMLFile->text().isEmpty() && ToDoIndex() != 1)
        HTMLFile->setText(DDir->text() + "QVHTML.htm");
    if (page == 3 && HTMLFile->text().isEmpty()) {
        CreateHTML->setCurrentIndex(2);
        CreateHTMLChange();
    }
    if (page != kSummaryPage)
        GoToPage(page + 1);
    Step = PageIndex() + 1;
    if (ToDoIndex() == 1) {
        if (PageIndex() == kSizePage)
            GoToPage(kSizePage + 1);
        Step = kPageTags[PageIndex()];
    }
    PaivitaNavigointiNipukat();
}

void TPaaIkkuna::btnPreviousClick()
{
    if (PageIndex() == 0)
        return;
    GoToPage(PageIndex() - 1);
    Step = PageIndex() + 1;
    if (ToDoIndex() == 1) {
        if (PageIndex() == kSizePage)
            GoToPage(kSizePage - 1);
        Step = kPageTags[PageIndex()];
    }
    PaivitaNavigointiNipukat();
}

void TPaaIkkuna::SetNextMode(bool process)
{
    btnNext->setIcon(TwoStateGlyph(process ? "ready" : "next"));
    btnNextTag = process ? 1 : 0;
}

void TPaaIkkuna::PaivitaNavigointiNipukat()
{
    btnPrevious->setEnabled(PageIndex() != 0);
    if (PageIndex() == kSummaryPage) {
        SetNextMode(true);
        btnNext->setEnabled(!selectedFiles_.Empty() && !DDir->text().isEmpty());
        btnNext->setToolTip(Message("M008"));
        btnNext->setText(Message("M039"));
        RebuildSummary();
    } else if (btnNextTag == 1) {
        SetNextMode(false);
        btnNext->setEnabled(true);
        btnNext->setToolTip(Message("M009"));
        btnNext->setText(Message("M038"));
    }
    setWindowTitle(ToQString(BaseTitle) + ' ' + QString::number(Step) + '/' +
                   QString::number(StepCount));
}

void TPaaIkkuna::RebuildSummary()
{
    QStringList lines;
    auto pair = [&lines](const QLabel* caption, const QString& value) {
        lines << caption->text() + ' ' + value;
    };
    auto when = [&lines](const QAbstractButton* box) {
        if (box->isChecked())
            lines << box->text();
    };
    pair(Label5, SDir->text());
    pair(Label6, DDir->text());
    lines << Label31->text();
    when(Overwrite);
    if (ToDoIndex() == 0) {
        lines << QString();
        pair(Label10, Aspect->currentText());
        if (Aspect->currentIndex() == 0)
            lines << Width->text() + " X";
        else
            pair(Width, Leveys->text());
        if (Aspect->currentIndex() == 1)
            lines << Height->text() + " X";
        else
            pair(Height, Korkeus->text());
        when(StretchSmall);
        when(AutoRotate);
        when(Smooth);
        if (DrawFrame->isChecked()) {
            lines << DrawFrame->text();
            pair(Label9, Color->currentText());
            pair(Label11, UpDown->text());
        }
    } else {
        when(AutoRotate); // conversions turn photos upright too
    }
    if (KeepFormat->isChecked())
        lines << KeepFormat->text();
    else
        pair(Label30, Format->currentText());
    if (KeepFormat->isChecked() || Format->currentIndex() == ofJPEG) {
        pair(Label19, Compression->text());
        when(Progressive);
    }
    if (KeepFormat->isChecked() || Format->currentIndex() == ofPNG)
        pair(Label28, PNGCompression->text());
    pair(Label15, NameFormat->text());
    pair(Label12, Extension->text());
    when(SkipUnchanged);
    if (CreateHTML->currentIndex() != 2) {
        lines << QString() << CreateHTML->currentText() << HTMLFile->text();
        when(FillDimensions);
        when(Link);
        if (Link->isChecked() && !Target->text().isEmpty())
            pair(Label22, Target->text());
        if (!UseTable->isChecked())
            pair(Label27, BRUp->text());
        pair(Label29, IBorderUp->text());
        if (UseTable->isChecked()) {
            lines << UseTable->text();
            pair(Label23, BorderUp->text());
            pair(Label24, TDUp->text());
            pair(Label25, TRUp->text());
            when(CenterCell);
        }
        if (CreateMulti->isChecked()) {
            lines << CreateMulti->text();
            pair(Label26, ImageCountUp->text());
        }
    }
    // The names the run will give, made by the run's own naming (without creating folders).
    if (!selectedFiles_.Empty()) {
        constexpr int kShown = 10;
        const JobSettings job = CurrentJob();
        TDestinationNaming naming(job, false);
        lines << QString() << Message("M042");
        int position = 0;
        for (const std::string& name : selectedFiles_) {
            if (++position > kShown)
                break;
            lines << ToQString(naming.FormDestinationName(name, position).FileName());
        }
        const long long more = static_cast<long long>(selectedFiles_.Count()) - kShown;
        if (more > 0)
            lines << ToQString(tabulonix::Format(LangMessage("M043"), more));
    }
    Tiedot->setPlainText(lines.join('\n'));
}

// --- Page 2 ----------------------------------------------------------------------------

void TPaaIkkuna::BrowseSButtonClick()
{
    // The picker is made once and kept with its folder, list, ticks and thumbnails.
    if (!picker_) {
        picker_ = std::make_unique<TKuvaIkkuna>(FormSetup(), this);
        const std::string folder = FromQString(SDir->text());
        if (!folder.empty() && DirectoryExists(folder)) {
            picker_->SetFolder(folder);
            picker_->SetThumbnailsDown(false);
            picker_->ListFolder();
        }
    }
    if (services_.showModal(*picker_) != QDialog::Accepted)
        return;
    SetSelectedFiles(picker_->Folder(), picker_->CheckedNames());
}

void TPaaIkkuna::SetSelectedFiles(const std::string& folder, const std::vector<std::string>& names)
{
    SDir->setText(ToQString(IncludeTrailingSlash(folder)));
    selectedFiles_.Clear();
    for (const std::string& name : names)
        selectedFiles_.Add(name);
    ShowSelectionStatus();
}

void TPaaIkkuna::ShowSelectionStatus()
{
    if (selectedFiles_.Empty()) {
        Label31->setText(Message("M017"));
        SetTextColor(*Label31, Qt::red);
    } else {
        Label31->setText(ToQString(tabulonix::Format(
            LangMessage("M018"), static_cast<long long>(selectedFiles_.Count()))));
        SetTextColor(*Label31, Qt::blue);
    }
}

void TPaaIkkuna::BrowseDButtonClick()
{
    const std::optional<std::string> folder = services_.chooseFolder(Message("M001"));
    if (!folder)
        return;
    DDir->setText(ToQString(IncludeTrailingSlash(*folder)));
    HTMLFile->setText(DDir->text() + "QVHTML.htm");
}

// --- Page 3 ----------------------------------------------------------------------------

void TPaaIkkuna::SideChange(QLineEdit& field, bool width)
{
    const QString text = field.text();
    if (text.isEmpty())
        return;
    int value = 0;
    if (!TryStrToInt(FromQString(text), value)) {
        field.setText("100"); // runs this handler again
        return;
    }
    if (value > 6) {
        if (width)
            Preview->resize(value, Preview->height());
        else
            Preview->resize(Preview->width(), value);
    }
}

void TPaaIkkuna::LeveysChange()
{
    SideChange(*Leveys, true);
}

void TPaaIkkuna::KorkeusChange()
{
    SideChange(*Korkeus, false);
}

void TPaaIkkuna::AspectChange()
{
    Leveys->setEnabled(Aspect->currentIndex() != 0);
    Korkeus->setEnabled(Aspect->currentIndex() != 1);
}

void TPaaIkkuna::DrawFrameClick()
{
    const bool on = DrawFrame->isChecked();
    Color->setEnabled(on);
    UpDown->setEnabled(on);
    ColorChange();
}

// --- Page 4 ----------------------------------------------------------------------------

void TPaaIkkuna::FormatChange()
{
    Extension->setText(Format->currentText().toLower());
    Extension->setEnabled(true);
    const bool jpeg = Format->currentIndex() == ofJPEG;
    const bool png = Format->currentIndex() == ofPNG;
    Jpeg->setEnabled(jpeg);
    TrackBar->setEnabled(jpeg);
    Progressive->setEnabled(jpeg);
    Png->setEnabled(png);
    PNGTrackBar->setEnabled(png);
}

void TPaaIkkuna::KeepFormatClick()
{
    const bool keep = KeepFormat->isChecked();
    Extension->setEnabled(!keep);
    Format->setEnabled(!keep);
    // A kept format may be JPEG or PNG, so both sets of options apply.
    for (QWidget* w :
         std::initializer_list<QWidget*>{Jpeg, TrackBar, Progressive, Png, PNGTrackBar})
        w->setEnabled(keep);
    if (keep)
        Extension->setText(Message("M019"));
    else
        FormatChange();
}

void TPaaIkkuna::TrackBarChange()
{
    Compression->setText(QString::number(TrackBar->value()));
    Label20->setText(Message(JpegQualityMessage(TrackBar->value())));
}

void TPaaIkkuna::PNGTrackBarChange()
{
    PNGCompression->setText(QString::number(PNGTrackBar->value()));
    Label32->setText(Message(PngLevelMessage(PNGTrackBar->value())));
}

// --- Page 5 ----------------------------------------------------------------------------

void TPaaIkkuna::CreateHTMLChange()
{
    const bool onPage = PageIndex() == kHtmlPage;
    if (CreateHTML->currentIndex() == 2) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 FillDimensions, UseTable, Link, Target, Table, BorderUp, TDUp, TRUp, CenterCell,
                 General, IBorderUp, Multipage, CreateMulti, ImageCountUp})
            w->setEnabled(false);
        return;
    }
    bool askedForFile = false;
    if (!HTMLFile->text().isEmpty() || !onPage) {
        for (QWidget* w : std::initializer_list<QWidget*>{FillDimensions, UseTable, Link, IBorderUp,
                                                          General, Multipage, CreateMulti})
            w->setEnabled(true);
        LinkClick();
        UseTableClick();
        CreateMultiClick();
    } else {
        askedForFile = true;
        SaveHTMLClick();
    }
    if (CreateHTML->currentIndex() != 1)
        return;
    if (!HTMLFile->text().isEmpty() || !onPage) {
        bool marked = false;
        try {
            marked = HasGalleryMarkers(FromQString(HTMLFile->text()));
        } catch (const Exception&) {
            marked = false; // unreadable: it cannot be updated
        }
        if (marked) {
            for (QWidget* w : std::initializer_list<QWidget*>{Multipage, CreateMulti, ImageCountUp})
                w->setEnabled(false);
        } else {
            ShowMessage(QMessageBox::Information, LangMessage("M020"));
            CreateHTML->setCurrentIndex(0);
        }
    } else if (!askedForFile) {
        SaveHTMLClick();
    }
}

void TPaaIkkuna::SaveHTMLClick()
{
    const std::optional<std::string> path = services_.chooseHtmlFile(FromQString(HTMLFile->text()));
    if (!path)
        return;
    HTMLFile->setText(ToQString(*path));
    bool marked = false;
    try {
        marked = HasGalleryMarkers(*path);
    } catch (const Exception&) {
        marked = false;
    }
    CreateHTML->setCurrentIndex(marked ? 1 : 0);
    CreateHTMLChange();
}

void TPaaIkkuna::LinkClick()
{
    Target->setEnabled(Link->isChecked());
}

void TPaaIkkuna::UseTableClick()
{
    const bool table = UseTable->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{Table, BorderUp, TDUp, TRUp, CenterCell})
        w->setEnabled(table);
    BRUp->setEnabled(!table);
}

void TPaaIkkuna::CreateMultiClick()
{
    ImageCountUp->setEnabled(CreateMulti->isChecked());
}

// --- Button bar ------------------------------------------------------------------------

void TPaaIkkuna::btnOptionsClick()
{
    TOptionsContext context(Startup.general, Startup.update, InterfaceFont);
    context.parent = this;
    if (!services_.folder.empty()) {
        context.optionsPath = OptionsPath();
        context.languageFolder = services_.folder + "Languages/";
    }
    context.languageChanged = [this](const std::string& language) { LanguageChanged(language); };
    context.applyInterfaceFont = [this] { ApplyInterfaceFont(InterfaceFont); };
    context.rearmSchedule = [this] { ArmUpdateSchedule(); };
    context.showMessage = services_.message;
    context.showModal = [this](TOptionsIkkuna& dialog) { return services_.showModal(dialog); };
    RunOptionsDialog(context);
}

void TPaaIkkuna::btnUpdateClick()
{
    updateSchedule_->OpenDialog();
}

void TPaaIkkuna::btnAboutClick()
{
    TAboutBox about(FormSetup(), services_.systemFacts(), ProgramVersion(), this);
    services_.showModal(about);
}

void TPaaIkkuna::btnHelpClick()
{
    ShowHelp("contents");
}

void TPaaIkkuna::btnCloseClick()
{
    close();
}

void TPaaIkkuna::DoTheHonkyPonky()
{
    TQtBatchHost host(*this, FormSetup());
    try {
        tabulonix::DoTheHonkyPonky(CurrentJob(), selectedFiles_, host);
    } catch (const std::exception& e) {
        ShowMessage(QMessageBox::Critical, e.what());
    }
}

} // namespace tabulonix
