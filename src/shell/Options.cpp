#include "shell/Options.h"

#include "i18n/IniLang.h"
#include "i18n/Kieli.h"
#include "i18n/Messages.h"
#include "i18n/QtText.h"
#include "platform/Files.h"
#include "settings/IniFile.h"
#include "ui/Pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

namespace tabulonix {

const char* const kRestartMessage =
    "You need to restart Tabulonix so that the changes take effect...";

namespace {

constexpr int kReunusWidth = 418;
constexpr int kReunusHeight = 313;
constexpr int kPortMaximum = 32767;

template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent)
{
    return Named(new QLabel(text, parent), name);
}

QCheckBox* NewCheck(const char* name, const QString& text, QWidget* parent)
{
    return Named(new QCheckBox(text, parent), name);
}

QSpinBox* NewPort(const char* name, QWidget* parent)
{
    auto* spin = Named(new QSpinBox(parent), name);
    spin->setRange(0, kPortMaximum);
    return spin;
}

// A field named by the label before it, for the keyboard and screen readers.
void Describe(QLabel* label, QWidget* field)
{
    label->setBuddy(field);
    field->setAccessibleName(label->text());
}

std::optional<TFontSpec> AskFont(QWidget* parent, const TFontSpec& font)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, ToQFont(font), parent);
    if (!ok)
        return std::nullopt;
    TFontSpec spec = FromQFont(chosen);
    spec.charset = font.charset;
    return spec;
}

// The platform's folder browser rooted at `root`: the user cannot leave it.
std::string AskFolder(QWidget* parent, const QString& title, const std::string& root)
{
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!root.empty()) {
        const QString rootText = ToQString(root);
        dialog.setDirectory(rootText);
        dialog.setSidebarUrls({QUrl::fromLocalFile(rootText)});
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&](const QString& dir) {
            if (!InsideRoot(IncludeTrailingSlash(FromQString(dir)), root))
                dialog.setDirectory(rootText);
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const std::string chosen = IncludeTrailingSlash(FromQString(dialog.selectedFiles().front()));
    return InsideRoot(chosen, root) ? chosen : std::string();
}

} // namespace

bool InsideRoot(const std::string& folder, const std::string& root)
{
    if (root.empty())
        return true;
    const std::string base = IncludeTrailingSlash(root);
    return IncludeTrailingSlash(folder).compare(0, base.size(), base) == 0;
}

TOptionsIkkuna::TOptionsIkkuna(const TFormSetup& setup, QWidget* parent)
    : QDialog(parent), ChooseFont(AskFont), ChooseFolder(AskFolder)
{
    setObjectName("OptionsIkkuna");
    setWindowTitle("Options");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    Reunus = Named(new QFrame(this), "Reunus");
    Reunus->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Reunus->setMinimumSize(kReunusWidth, kReunusHeight);
    Asetukset = Named(new QTabWidget(Reunus), "Asetukset");

    General = Named(new QWidget, "General");
    ShowSplash = NewCheck("ShowSplash", "Show splashscreen on startup", General);
    Label5 = NewLabel("Label5", "Choose language:", General);
    Language = Named(new QComboBox(General), "Language");
    Language->setIconSize(QSize(16, 16));
    Describe(Label5, Language);
    Label6 = NewLabel("Label6", "Language dir:", General);
    LangDir = NewLabel("LangDir", QString(), General);
    LangDir->setWordWrap(true);
    btnFont = Named(new QPushButton("&Font...", General), "btnFont");
    FontLabel = NewLabel("FontLabel", QString(), General);
    FontLabel->setWordWrap(true);
    auto* general = new QGridLayout(General);
    general->addWidget(ShowSplash, 0, 0, 1, 2);
    general->addWidget(Label5, 1, 0);
    general->addWidget(Language, 1, 1);
    general->addWidget(Label6, 2, 0, Qt::AlignTop);
    general->addWidget(LangDir, 2, 1);
    general->addWidget(btnFont, 3, 0, Qt::AlignTop);
    general->addWidget(FontLabel, 3, 1);
    general->setColumnStretch(1, 1);
    general->setRowStretch(4, 1);

    Update = Named(new QWidget, "Update");
    Label11 = NewLabel("Label11", "Name or IP-address of the proxy-server:", Update);
    Proxy = Named(new QLineEdit(Update), "Proxy");
    Describe(Label11, Proxy);
    Label13 = NewLabel("Label13", "Proxy port (0 as default port):", Update);
    ProxyPortUpDown = NewPort("ProxyPortUpDown", Update);
    Describe(Label13, ProxyPortUpDown);
    UseProxy = NewCheck("UseProxy", "Use proxy server for the connection", Update);
    UseProxy->setToolTip("If you don't know what this is, leave this unchecked");
    Label17 = NewLabel("Label17", "Update info address:", Update);
    Address = Named(new QLineEdit(Update), "Address");
    Address->setToolTip("Do NOT modify unless Merovane tells you so!");
    Describe(Label17, Address);
    Label20 = NewLabel("Label20", "Port:", Update);
    PortUpDown = NewPort("PortUpDown", Update);
    Describe(Label20, PortUpDown);
    Label21 = NewLabel("Label21", "Save update to:", Update);
    SaveTo = Named(new QLineEdit(Update), "SaveTo");
    SaveTo->setToolTip("A directory to save the update to");
    Describe(Label21, SaveTo);
    BrowseButton = Named(new QToolButton(Update), "BrowseButton");
    BrowseButton->setAutoRaise(true);
    BrowseButton->setIcon(ButtonGlyph("folder"));
    BrowseButton->setToolTip("Browse for folder...");
    BrowseButton->setAccessibleName("Browse for folder...");
    BrowseButton->setFocusPolicy(Qt::StrongFocus);
    AutoUpdate = NewCheck("AutoUpdate", "Check for updates automatically", Update);
    AlwaysConnected = NewCheck("AlwaysConnected", "Always connected to the Internet", Update);
    auto* update = new QGridLayout(Update);
    update->addWidget(Label11, 0, 0, 1, 3);
    update->addWidget(Proxy, 1, 0, 1, 3);
    update->addWidget(Label13, 2, 0);
    update->addWidget(ProxyPortUpDown, 2, 1);
    update->addWidget(UseProxy, 3, 0, 1, 3);
    update->addWidget(Label17, 4, 0, 1, 3);
    update->addWidget(Address, 5, 0, 1, 3);
    update->addWidget(Label20, 6, 0);
    update->addWidget(PortUpDown, 6, 1);
    update->addWidget(Label21, 7, 0, 1, 3);
    update->addWidget(SaveTo, 8, 0, 1, 2);
    update->addWidget(BrowseButton, 8, 2);
    update->addWidget(AutoUpdate, 9, 0, 1, 3);
    update->addWidget(AlwaysConnected, 10, 0, 1, 3);
    update->setColumnStretch(1, 1);
    update->setRowStretch(11, 1);

    Asetukset->addTab(General, ButtonGlyph("options"), "General");
    Asetukset->addTab(Update, ButtonGlyph("updates"), "Update");

    btnOk = Named(new QPushButton("&Ok", Reunus), "btnOk");
    btnOk->setToolTip("Ok, save changes (ENTER)");
    btnOk->setDefault(true);
    btnCancel = Named(new QPushButton("&Cancel", Reunus), "btnCancel");
    btnCancel->setToolTip("Cancel, undo changes (ESC)");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* inside = new QVBoxLayout(Reunus);
    inside->addWidget(Asetukset, 1);
    inside->addLayout(buttons);
    // The client area is the bevel.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Reunus);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(UseProxy, &QCheckBox::clicked, this, &TOptionsIkkuna::UseProxyClick);
    connect(AutoUpdate, &QCheckBox::clicked, this, &TOptionsIkkuna::AutoUpdateClick);
    connect(btnFont, &QPushButton::clicked, this, &TOptionsIkkuna::btnFontClick);
    connect(BrowseButton, &QToolButton::clicked, this, &TOptionsIkkuna::BrowseButtonClick);

    // FormCreate. The dialog's font is the font dialog's (KirjoitaFontti), not InterfaceFont.
    TFormSetup language = setup;
    language.font.reset();
    SetUpForm(*this, language);
    Asetukset->setAccessibleName("Asetukset");
}

void TOptionsIkkuna::SetLanguages(const LanguageList& list)
{
    FillLanguageCombo(*Language, list); // the chooser's list, flags and all
}

void TOptionsIkkuna::UseProxyClick()
{
    const bool on = UseProxy->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(Label11), static_cast<QWidget*>(Proxy),
                       static_cast<QWidget*>(Label13), static_cast<QWidget*>(ProxyPortUpDown)})
        w->setEnabled(on);
}

void TOptionsIkkuna::AutoUpdateClick()
{
    AlwaysConnected->setEnabled(AutoUpdate->isChecked());
}

void TOptionsIkkuna::KirjoitaFontti()
{
    FontLabel->setText(ToQString(FontLabelText(FontDialogFont)));
    setFont(ToQFont(FontDialogFont));
}

void TOptionsIkkuna::btnFontClick()
{
    if (std::optional<TFontSpec> chosen = ChooseFont(this, FontDialogFont)) {
        FontDialogFont = *chosen;
        KirjoitaFontti();
    }
}

void TOptionsIkkuna::BrowseButtonClick()
{
    const std::string current = FromQString(SaveTo->text());
    const std::string root = DirectoryExists(current) ? current : std::string();
    const std::string chosen = ChooseFolder(this, ToQString(LangMessage("M001")), root);
    if (!chosen.empty())
        SaveTo->setText(ToQString(IncludeTrailingSlash(chosen)));
}

void RunOptionsDialog(TOptionsContext& c)
{
    GeneralSettings& general = c.general;
    UpdateSettings& update = c.update;
    auto message = [&](QMessageBox::Icon icon, const QString& text) {
        if (c.showMessage) {
            c.showMessage(icon, text);
            return;
        }
        QMessageBox box(icon, "Tabulonix", text, QMessageBox::Ok, c.parent);
        box.exec();
    };

    // 1. Create the dialog (FormCreate translates it).
    TOptionsIkkuna dialog(
        TFormSetup{std::nullopt, general.LanguageIndex, general.Language, c.languageFolder},
        c.parent);
    // 2.
    dialog.LangDir->setText(ToQString(c.languageFolder));
    dialog.LangDir->setToolTip(ToQString(c.languageFolder));
    // 3. Ports go in as signed 16-bit numbers (the up-downs then keep them in range).
    dialog.Proxy->setText(ToQString(update.Proxy));
    dialog.ProxyPortUpDown->setValue(static_cast<int16_t>(update.ProxyPort));
    dialog.UseProxy->setChecked(update.UseProxy);
    dialog.PortUpDown->setValue(static_cast<int16_t>(update.Port));
    dialog.Address->setText(ToQString(update.Address));
    dialog.SaveTo->setText(ToQString(update.SaveTo));
    // 4.
    dialog.SetLanguages(BuildLanguageList(c.languageFolder, FlagSize::Cut16));
    // 5.
    int selected = -1;
    if (general.LanguageIndex == 0) {
        selected = 0;
    } else {
        for (int i = 0; i < dialog.Language->count(); ++i)
            if (SameText(FromQString(dialog.Language->itemText(i)), general.Language)) {
                selected = i;
                break;
            }
    }
    dialog.Language->setCurrentIndex(selected);
    // 6.
    dialog.FontDialogFont = c.interfaceFont;
    dialog.ShowSplash->setChecked(general.ShowSplash);
    dialog.AutoUpdate->setChecked(update.AutoUpdate);
    dialog.AlwaysConnected->setChecked(update.AlwaysConnected);
    // 7.
    dialog.UseProxyClick();
    dialog.AutoUpdateClick();
    dialog.KirjoitaFontti();
    // 8.
    const int result = c.showModal ? c.showModal(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return;

    // 9.1
    general.ShowSplash = dialog.ShowSplash->isChecked();
    update.AutoUpdate = dialog.AutoUpdate->isChecked();
    update.AlwaysConnected = dialog.AlwaysConnected->isChecked();
    update.Proxy = FromQString(dialog.Proxy->text());
    update.ProxyPort = dialog.ProxyPortUpDown->value();
    update.UseProxy = dialog.UseProxy->isChecked();
    update.Port = dialog.PortUpDown->value();
    update.Address = FromQString(dialog.Address->text());
    update.SaveTo = FromQString(dialog.SaveTo->text());
    // 9.2 Without a selection (the stored language's file is gone and none was chosen) the
    // stored language stays.
    const int position = dialog.Language->currentIndex();
    if (position >= 0) {
        general.LanguageIndex = position;
        const std::string text = FromQString(dialog.Language->itemText(position));
        if (text != general.Language) {
            general.Language = text;
            if (position != 0) {
                SetCurrentLanguageFile(OpenLanguageFileAt(c.languageFolder + text + ".txt"));
                if (c.languageChanged)
                    c.languageChanged(text);
            } else {
                message(QMessageBox::Information, kRestartMessage);
            }
        }
    }
    // 9.3
    c.interfaceFont = dialog.FontDialogFont;
    StoreInterfaceFont(c.interfaceFont, general);
    if (c.applyInterfaceFont)
        c.applyInterfaceFont();
    // 9.4
    if (c.rearmSchedule)
        c.rearmSchedule();
    // 9.5 A failed write leaves the values in memory in effect.
    try {
        TIniFile file(c.optionsPath);
        WriteOptions(file, general, update);
    } catch (const std::exception& e) {
        message(QMessageBox::Critical, ToQString(e.what()));
    }
}

} // namespace tabulonix
