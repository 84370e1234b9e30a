#include "update/Update.h"

#include "i18n/IniLang.h"
#include "i18n/Messages.h"
#include "i18n/QtText.h"
#include "i18n/TranslateForms.h"
#include "platform/Version.h"
#include "settings/IniFile.h"
#include "ui/TiledBackground.h"
#include "update/UpdateFiles.h"
#include "update/VersionCompare.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>

namespace tabulonix {

namespace {

const QColor kValueColor(0, 0, 255);

// Only web addresses go to the desktop: the labels hold whatever the server sent, and a
// file path or another scheme there would open a local program with the user's click.
void OpenWebLink(const QString& text)
{
    if (IsWebLink(text))
        QDesktopServices::openUrl(QUrl(text.trimmed(), QUrl::StrictMode));
}

QLabel* ValueLabel(const char* name, QWidget* parent, QLabel* label = nullptr)
{
    if (!label)
        label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText); // server text is never markup
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kValueColor);
    label->setPalette(palette);
    // A long address is cut at the edge instead of widening the dialog.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(60);
    return label;
}

QLabel* CaptionLabel(const char* name, const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(name);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return label;
}

QPushButton* Button(const char* name, const char* text, const char* hint, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(name);
    button->setToolTip(QString::fromLatin1(hint));
    button->setAutoDefault(false);
    return button;
}

} // namespace

bool IsWebLink(const QString& text)
{
    QUrl url(text.trimmed(), QUrl::StrictMode);
    QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == "http" || scheme == "https");
}

TUpdateIkkuna::TUpdateIkkuna(const GeneralSettings& general, const UpdateSettings& update,
                             const TFontSpec& interfaceFont, int& updateStatus, QWidget* parent)
    : QDialog(parent), general_(general), update_(update), interfaceFont_(interfaceFont),
      updateStatus_(updateStatus)
{
    OpenLink = OpenWebLink;
    ShowInformation = [this](const QString& text) {
        QMessageBox::information(this, QStringLiteral("Tabulonix"), text);
    };
    Http.OnDocData = [this](THttpClient& sender, const char* data, int len) {
        HttpDocData(sender, data, len);
    };

    setObjectName("UpdateIkkuna");
    setWindowTitle("Check for updates");
    UseTiledBackground(*this);

    Reunus = new QFrame(this);
    Reunus->setObjectName("Reunus");
    Reunus->setFrameShape(QFrame::Panel);
    Reunus->setFrameShadow(QFrame::Raised);
    Reunus->setMinimumSize(361, 297);

    Label8 = CaptionLabel("Label8", "Current program version:", Reunus);
    CurrentVersion = ValueLabel("CurrentVersion", Reunus);
    Label5 = CaptionLabel("Label5", "Address:", Reunus);
    RemoteAddress = ValueLabel("RemoteAddress", Reunus);
    Label9 = CaptionLabel("Label9", "Program version available:", Reunus);
    VersionAvailable = ValueLabel("VersionAvailable", Reunus);
    Label10 = CaptionLabel("Label10", "Program details:", Reunus);
    VersionDetails = ValueLabel("VersionDetails", Reunus);
    Label11 = CaptionLabel("Label11", "More program info at:", Reunus);
    MoreInfo = new TLinkLabel(Reunus);
    ValueLabel("MoreInfo", Reunus, MoreInfo);
    Label12 = CaptionLabel("Label12", "Program download URL:", Reunus);
    DownloadURL = new TLinkLabel(Reunus);
    ValueLabel("DownloadURL", Reunus, DownloadURL);
    Label6 = CaptionLabel("Label6", "Status:", Reunus);
    Status = ValueLabel("Status", Reunus);
    Status->setText("Idle!");
    Label7 = CaptionLabel("Label7", "Download progress:", Reunus);
    Edistys = new QProgressBar(Reunus);
    Edistys->setObjectName("Edistys");
    Edistys->setRange(0, 100);
    Edistys->setValue(0);
    Edistys->setTextVisible(false);
    // Screen readers name the link labels and the bar after their captions.
    Label11->setBuddy(MoreInfo);
    Label12->setBuddy(DownloadURL);
    Label7->setBuddy(Edistys);

    btnDownload = Button("btnDownload", "Update", "Download program update", Reunus);
    btnAbort = Button("btnAbort", "Abort", "Abort download", Reunus);
    btnCheck = Button("btnCheck", "Check", "Check for an update", Reunus);
    btnOk = Button("btnOk", "Close", "Close this dialog (ESC)", Reunus);

    // Each value label follows its caption at the distance of the caption's left edge, which
    // lies inside the frame's border.
    const int margin = 12;
    const int inset = margin - Reunus->frameWidth();
    auto* rows = new QVBoxLayout(Reunus);
    rows->setContentsMargins(inset, inset, inset, inset);
    QLabel* pairs[][2] = {
        {Label8, CurrentVersion},  {Label5, RemoteAddress}, {Label9, VersionAvailable},
        {Label10, VersionDetails}, {Label11, MoreInfo},     {Label12, DownloadURL},
        {Label6, Status}};
    for (auto& pair : pairs) {
        auto* row = new QHBoxLayout;
        row->setSpacing(margin);
        row->addWidget(pair[0]);
        row->addWidget(pair[1], 1);
        rows->addLayout(row);
    }
    rows->addSpacing(margin);
    auto* progressRow = new QHBoxLayout;
    progressRow->setSpacing(margin);
    progressRow->addWidget(Label7);
    progressRow->addWidget(Edistys, 1);
    rows->addLayout(progressRow);
    rows->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDownload);
    buttons->addWidget(btnAbort);
    buttons->addStretch(1);
    buttons->addWidget(btnCheck);
    buttons->addWidget(btnOk);
    rows->addLayout(buttons);

    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->addWidget(Reunus);

    connect(btnCheck, &QPushButton::clicked, this, [this] { btnCheckClick(); });
    connect(btnDownload, &QPushButton::clicked, this, [this] { btnDownloadClick(); });
    connect(btnAbort, &QPushButton::clicked, this, [this] { btnAbortClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(MoreInfo, &TLinkLabel::clicked, this, [this] { MoreInfoClick(); });
    connect(DownloadURL, &TLinkLabel::clicked, this, [this] { DownloadURLClick(); });

    FormCreate();
}

TUpdateIkkuna::~TUpdateIkkuna()
{
    Http.OnDocData = nullptr;
    if (Http.State() != THttpState::Idle)
        Http.Abort();
}

void TUpdateIkkuna::FormCreate()
{
    NewerFound = false;
    btnAbort->setEnabled(false);
    btnDownload->setEnabled(false);
    CurrentVersion->setText(ToQString(ProgramVersion()));
    RemoteAddress->setText(ToQString(update_.Address));
}

void TUpdateIkkuna::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TUpdateIkkuna::FormShow()
{
    std::vector<LabelFontRule> values;
    for (const char* name : {"Status", "VersionDetails", "RemoteAddress", "CurrentVersion",
                             "VersionAvailable", "MoreInfo", "DownloadURL"})
        values.push_back({name, LabelFontPart::FaceCharsetStyleAndSize});
    ApplyInterfaceFont(*this, interfaceFont_, values);
    if (general_.LanguageIndex != 0) {
        OpenCurrentLanguage(general_.Language);
        TranslateForms(*this);
    }
}

void TUpdateIkkuna::SetStatus(const std::string& text)
{
    Status->setText(ToQString(text));
}

void TUpdateIkkuna::SetUpdateStatus(int value)
{
    outcome_ = value;
    updateStatus_ = value;
}

void TUpdateIkkuna::btnCheckClick()
{
    const std::string localCopy = update_.SaveTo + kUpdateInfoCopyName;
    DeleteUnlessInUse(localCopy);
    if (update_.UseProxy) {
        Http.Proxy = update_.Proxy;
        Http.ProxyPort = std::to_string(update_.ProxyPort);
    } else {
        Http.Proxy.clear();
        Http.ProxyPort = "80";
    }
    Http.URL = update_.Address;
    SetStatus(LangMessage("M034"));
    for (QLabel* label : {VersionAvailable, VersionDetails, static_cast<QLabel*>(MoreInfo),
                          static_cast<QLabel*>(DownloadURL)})
        label->clear();

    bool ownFile = false;
    try {
        // A check already waiting for its transfer holds the local copy, so this one fails
        // here and leaves the other's file and transfer alone.
        if (Transferring())
            throw EFCreateError("The update information file is in use.");
        TExclusiveFile file(localCopy, kMaxUpdateInfoSize);
        ownFile = true;
        Http.ReceiveStream = &file;
        ++checks_;
        struct Done {
            TUpdateIkkuna& dialog;
            ~Done()
            {
                dialog.Http.ReceiveStream = nullptr;
                --dialog.checks_;
            }
        } done{*this};
        Http.Get();
        file.Close();
    } catch (const std::exception&) {
        SetStatus(Format(LangMessage("M035"), {Http.ReasonPhrase()}));
        if (ownFile)
            DeleteUnlessInUse(localCopy);
        SetUpdateStatus(usFailed);
        return;
    }
    SetUpdateStatus(usNothingNewer);

    TIniFile info(localCopy);
    VersionAvailable->setText(ToQString(info.ReadString("UpdateInfo", "Version", "N/A")));
    DownloadURL->setText(ToQString(info.ReadString("UpdateInfo", "UpdateURL", "N/A")));
    MoreInfo->setText(ToQString(info.ReadString("UpdateInfo", "ReadmeURL", "N/A")));
    VersionDetails->setText(ToQString(info.ReadString("UpdateInfo", "Details", "N/A")));
    CompareVersions(FromQString(CurrentVersion->text()), FromQString(VersionAvailable->text()));
    DeleteUnlessInUse(localCopy);

    if (NewerFound) {
        SetUpdateStatus(usNewerFound);
        SetStatus(LangMessage("M028"));
        btnDownload->setEnabled(true);
    } else if (outcome_ != usFailed) {
        SetStatus(LangMessage("M036"));
    }
}

void TUpdateIkkuna::CompareVersions(const std::string& running, const std::string& available)
{
    NewerFound = false;
    if (IsNewerVersion(running, available)) {
        NewerFound = true;
        btnDownload->setEnabled(true);
    }
}

void TUpdateIkkuna::SetTransferButtons(bool running)
{
    btnAbort->setEnabled(running);
    btnCheck->setEnabled(!running);
    btnOk->setEnabled(!running);
    if (running)
        btnDownload->setEnabled(false);
}

void TUpdateIkkuna::btnDownloadClick()
{
    const std::string url = FromQString(DownloadURL->text());
    const std::string path = update_.SaveTo + DownloadFileName(url);
    DeleteUnlessInUse(path);
    SetStatus(LangMessage("M030"));

    bool ownFile = false;
    try {
        // The client is the check's while one waits: neither its address nor its stream
        // may change under it.
        if (Transferring())
            throw EHttpException("HTTP component is busy", 1);
        Http.URL = url;
        TExclusiveFile file(path);
        ownFile = true;
        SetTransferButtons(true);
        downloading_ = true;
        Http.ReceiveStream = &file;
        struct Done {
            TUpdateIkkuna& dialog;
            ~Done()
            {
                dialog.Http.ReceiveStream = nullptr;
                dialog.downloading_ = false;
            }
        } done{*this};
        Http.Get();
        file.Close();
    } catch (const std::exception&) {
        if (ownFile)
            DeleteUnlessInUse(path);
        SetStatus(LangMessage("M031"));
        SetTransferButtons(false);
        btnDownload->setEnabled(true);
        if (Edistys->maximum() == 0)
            Edistys->setRange(0, 1); // an unknown length: stop the busy indicator, empty
        return;
    }
    SetStatus(LangMessage("M032"));
    SetTransferButtons(false);
    btnDownload->setEnabled(false);
    NewerFound = false;
    if (Edistys->maximum() == 0) {
        Edistys->setRange(0, 1); // an unknown length, now complete
        Edistys->setValue(1);
    }
    if (ShowInformation)
        ShowInformation(ToQString(LangMessage("M033")));
}

void TUpdateIkkuna::btnAbortClick()
{
    Http.Abort();
    SetStatus(LangMessage("M029"));
}

void TUpdateIkkuna::HttpDocData(THttpClient& sender, const char*, int)
{
    if (!btnAbort->isEnabled())
        return;
    const int64_t length = sender.ContentLength();
    const int64_t received = sender.ReceivedCount();
    if (length < 0) {
        // Length unknown: a busy indicator until the transfer ends.
        Edistys->setRange(0, 0);
    } else {
        // The bar counts in int; large files are shown in proportion.
        int64_t scale = 1;
        while (length / scale > INT_MAX)
            scale *= 2;
        Edistys->setRange(0, static_cast<int>(length / scale));
        Edistys->setValue(static_cast<int>(std::min(received, length) / scale));
    }
    SetStatus(Format(LangMessage("M037"), {std::to_string(received), std::to_string(length)}));
}

void TUpdateIkkuna::MoreInfoClick()
{
    if (OpenLink)
        OpenLink(MoreInfo->text());
}

void TUpdateIkkuna::DownloadURLClick()
{
    if (OpenLink)
        OpenLink(DownloadURL->text());
}

void TUpdateIkkuna::btnOkClick()
{
    // Closing ends a check that still waits (a server may never finish); the check then
    // reports the abort and the dialog goes.
    if (checks_ > 0)
        Http.Abort();
    done(QDialog::Accepted);
}

void TUpdateIkkuna::reject()
{
    // Esc and the window's close box act as the Close button, and like it do nothing
    // during a download.
    if (btnOk->isEnabled())
        btnOkClick();
}

void ShowUpdateDialog(const GeneralSettings& general, const UpdateSettings& update,
                      const TFontSpec& interfaceFont, int& updateStatus, QWidget* parent)
{
    TUpdateIkkuna dialog(general, update, interfaceFont, updateStatus, parent);
    dialog.exec();
}

} // namespace tabulonix
