#pragma once
#include "i18n/InterfaceFont.h"
#include "net/HttpClient.h"
#include "settings/SettingsKeys.h"
#include "ui/LinkLabel.h"

#include <QDialog>
#include <QLabel>

#include <functional>
#include <string>

class QFrame;
class QProgressBar;
class QPushButton;

namespace tabulonix {

// The outcome of an update check, as the main window keeps it in UpdateStatus.
enum TUpdateStatus : int {
    usNone = 0,
    usFailed = 1,
    usNothingNewer = 2,
    usNewerFound = 3,
};

// The update dialog: fetches the update information file, tells whether the version it
// offers is newer than this one, and downloads the update.
class TUpdateIkkuna : public QDialog {
    Q_OBJECT
  public:
    // `updateStatus` is the main window's UpdateStatus, which every check sets.
    TUpdateIkkuna(const GeneralSettings& general, const UpdateSettings& update,
                  const TFontSpec& interfaceFont, int& updateStatus, QWidget* parent = nullptr);
    ~TUpdateIkkuna() override;

    void btnCheckClick();
    void btnDownloadClick();
    void btnAbortClick();
    void btnOkClick();
    void MoreInfoClick();
    void DownloadURLClick();
    void CompareVersions(const std::string& running, const std::string& available);

    bool NewerFound = false;
    THttpClient Http;

    // What this dialog's last check found (a TUpdateStatus), whatever another dialog has
    // written to UpdateStatus since.
    int CheckOutcome() const { return outcome_; }
    // A check or a download is waiting for its transfer.
    bool Transferring() const { return checks_ > 0 || downloading_; }

    // How a link is opened (the desktop's default program) and how the closing information
    // box is shown; tests replace them.
    std::function<void(const QString& url)> OpenLink;
    std::function<void(const QString& text)> ShowInformation;

    QFrame* Reunus;
    QLabel *Label5, *Label6, *Label7, *Label8, *Label9, *Label10, *Label11, *Label12;
    QLabel *CurrentVersion, *RemoteAddress, *VersionAvailable, *VersionDetails, *Status;
    TLinkLabel *MoreInfo, *DownloadURL;
    QProgressBar* Edistys;
    QPushButton *btnDownload, *btnAbort, *btnCheck, *btnOk;

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    void HttpDocData(THttpClient& sender, const char* data, int len);
    void SetStatus(const std::string& text);
    void SetUpdateStatus(int value);
    void SetTransferButtons(bool running);

    GeneralSettings general_;
    UpdateSettings update_;
    TFontSpec interfaceFont_;
    int& updateStatus_;
    int outcome_ = usNone;
    int checks_ = 0;
    bool downloading_ = false;
};

// A text the link labels hand to the desktop: an absolute http or https URL with a host.
bool IsWebLink(const QString& text);

// The main window's btnUpdate: creates the dialog, shows it modally and destroys it.
void ShowUpdateDialog(const GeneralSettings& general, const UpdateSettings& update,
                      const TFontSpec& interfaceFont, int& updateStatus, QWidget* parent);

} // namespace tabulonix
