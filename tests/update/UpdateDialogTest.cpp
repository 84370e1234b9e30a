#include "update/Update.h"
#include "update/UpdateFiles.h"

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "i18n/IniLang.h"
#include "platform/Files.h"
#include "platform/Version.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

std::string Ok(const std::string& body, bool withLength = true)
{
    return "HTTP/1.0 200 OK\r\n" +
           (withLength ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "") + "\r\n" +
           body;
}

std::string InfoFile(const std::string& version,
                     const std::string& updateUrl = "http://127.0.0.1:1/files/setup.exe")
{
    return "[UpdateInfo]\r\nVersion=" + version + "\r\nUpdateURL=" + updateUrl +
           "\r\nReadmeURL=http://127.0.0.1:1/readme.html\r\nDetails=Faster thumbnails\r\n";
}

// A version a check always finds newer than the running one.
const std::string kNewer = "9999.0.0.0";

std::string Text(const QLabel* label)
{
    return label->text().toStdString();
}

// The enabled state of btnDownload, btnAbort, btnCheck and btnOk, as "1001".
std::string Buttons(const TUpdateIkkuna& d)
{
    std::string s;
    for (const QPushButton* b : {d.btnDownload, d.btnAbort, d.btnCheck, d.btnOk})
        s += b->isEnabled() ? '1' : '0';
    return s;
}

// Runs `act` once, from inside the event loop that a blocking transfer keeps running, as
// soon as `when` holds.
class DuringTransfer {
  public:
    DuringTransfer(std::function<bool()> when, std::function<void()> act)
        : when_(std::move(when)), act_(std::move(act))
    {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!fired_ && when_()) {
                fired_ = true;
                timer_.stop();
                act_();
            }
        });
        timer_.start();
    }
    bool Fired() const { return fired_; }

  private:
    std::function<bool()> when_;
    std::function<void()> act_;
    QTimer timer_;
    bool fired_ = false;
};

class UpdateDialogTest : public ::testing::Test {
  protected:
    TempDir dir;
    TestResolver resolver;
    GeneralSettings general = DefaultGeneral();
    UpdateSettings update = DefaultUpdate();
    TFontSpec font = InterfaceFontFrom(DefaultGeneral());
    int updateStatus = -1;
    std::vector<std::string> opened, information;
    std::unique_ptr<TUpdateIkkuna> dialog;

    void SetUp() override { update.SaveTo = dir.Path(); }
    void TearDown() override
    {
        dialog.reset();
        resolver.Release();
    }

    TUpdateIkkuna& Make()
    {
        dialog = std::make_unique<TUpdateIkkuna>(general, update, font, updateStatus);
        dialog->Http.Socket().SetNameResolver(resolver.Function());
        dialog->OpenLink = [this](const QString& url) { opened.push_back(url.toStdString()); };
        dialog->ShowInformation = [this](const QString& text) {
            information.push_back(text.toStdString());
        };
        return *dialog;
    }

    // A safety abort so that a fault cannot hang the suite.
    void Run(const std::function<void()>& click)
    {
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [this] { dialog->Http.Abort(); });
        safety.start(20000);
        click();
        EXPECT_TRUE(safety.isActive()) << "the transfer hung and was aborted";
    }
    void Check()
    {
        Run([this] { dialog->btnCheckClick(); });
    }
    void Download()
    {
        Run([this] { dialog->btnDownloadClick(); });
    }

    std::string LocalCopy() const { return dir.File(kUpdateInfoCopyName); }
    void ExpectValueLabels(const std::string& version, const std::string& details,
                           const std::string& more, const std::string& url)
    {
        EXPECT_EQ(Text(dialog->VersionAvailable), version);
        EXPECT_EQ(Text(dialog->VersionDetails), details);
        EXPECT_EQ(Text(dialog->MoreInfo), more);
        EXPECT_EQ(Text(dialog->DownloadURL), url);
    }

    // A dialog whose check has found a newer version offering `downloadUrl`.
    TUpdateIkkuna& AfterNewerFound(const std::string& downloadUrl)
    {
        auto server = FixedResponseServer(Ok(InfoFile(kNewer, downloadUrl)));
        update.Address = server->Url("/Tabulonix.ini");
        Make();
        Check();
        EXPECT_EQ(Buttons(*dialog), "1011");
        return *dialog;
    }
};

} // namespace

TEST_F(UpdateDialogTest, CreationShowsTheVersionsAndTheAddress)
{
    update.Address = "http://127.0.0.1:1/business/merovane/Tabulonix.ini";
    TUpdateIkkuna& d = Make();
    EXPECT_EQ(d.objectName(), "UpdateIkkuna");
    EXPECT_EQ(d.windowTitle(), "Check for updates");
    EXPECT_EQ(Text(d.CurrentVersion), ProgramVersion());
    EXPECT_EQ(Text(d.RemoteAddress), update.Address);
    EXPECT_EQ(Text(d.Status), "Idle!");
    EXPECT_EQ(Buttons(d), "0011");
    EXPECT_FALSE(d.NewerFound);
    EXPECT_EQ(updateStatus, -1); // nothing checked yet

    struct Control {
        QWidget* widget;
        const char* name;
        const char* caption;
        const char* hint;
    } controls[] = {
        {d.Label8, "Label8", "Current program version:", ""},
        {d.Label5, "Label5", "Address:", ""},
        {d.Label9, "Label9", "Program version available:", ""},
        {d.Label10, "Label10", "Program details:", ""},
        {d.Label11, "Label11", "More program info at:", ""},
        {d.Label12, "Label12", "Program download URL:", ""},
        {d.Label6, "Label6", "Status:", ""},
        {d.Label7, "Label7", "Download progress:", ""},
        {d.btnDownload, "btnDownload", "Update", "Download program update"},
        {d.btnAbort, "btnAbort", "Abort", "Abort download"},
        {d.btnCheck, "btnCheck", "Check", "Check for an update"},
        {d.btnOk, "btnOk", "Close", "Close this dialog (ESC)"},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.widget->objectName().toStdString(), c.name);
        if (auto* label = qobject_cast<QLabel*>(c.widget))
            EXPECT_EQ(label->text().toStdString(), c.caption);
        else
            EXPECT_EQ(static_cast<QPushButton*>(c.widget)->text().toStdString(), c.caption);
        EXPECT_EQ(c.widget->toolTip().toStdString(), c.hint) << c.name;
    }
    for (QLabel* value :
         {d.CurrentVersion, d.RemoteAddress, d.VersionAvailable, d.VersionDetails, d.Status,
          static_cast<QLabel*>(d.MoreInfo), static_cast<QLabel*>(d.DownloadURL)}) {
        EXPECT_EQ(value->palette().color(QPalette::WindowText), QColor(0, 0, 255))
            << value->objectName().toStdString();
        EXPECT_EQ(value->textFormat(), Qt::PlainText);
    }
    EXPECT_TRUE(d.MoreInfo->font().underline());
    EXPECT_EQ(d.MoreInfo->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(UpdateDialogTest, NewerVersionFillsTheLabelsAndOffersTheDownload)
{
    auto server = FixedResponseServer(Ok(InfoFile(kNewer)));
    update.Address = server->Url("/business/merovane/Tabulonix.ini");
    TUpdateIkkuna& d = Make();
    WriteText(LocalCopy(), "left over from an earlier run");
    Check();
    ExpectValueLabels(kNewer, "Faster thumbnails", "http://127.0.0.1:1/readme.html",
                      "http://127.0.0.1:1/files/setup.exe");
    EXPECT_EQ(Text(d.Status), "A newer program version is available!");
    EXPECT_EQ(updateStatus, usNewerFound);
    EXPECT_EQ(d.CheckOutcome(), usNewerFound);
    EXPECT_TRUE(d.NewerFound);
    EXPECT_EQ(Buttons(d), "1011");
    EXPECT_FALSE(FileExists(LocalCopy()));
    ASSERT_EQ(server->Requests().size(), 1u);
    const std::string request = server->Requests().front();
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "GET /business/merovane/Tabulonix.ini HTTP/1.0");
    EXPECT_NE(request.find("User-Agent: Mozilla/3.0 (compatible)\r\n"), std::string::npos);
}

TEST_F(UpdateDialogTest, AnswersWithNothingNewerEndInNoUpdatesFound)
{
    struct Case {
        const char* what;
        std::string response;
        std::string version, details, more, url;
    } cases[] = {
        {"the same version", Ok(InfoFile(ProgramVersion())), ProgramVersion(), "Faster thumbnails",
         "http://127.0.0.1:1/readme.html", "http://127.0.0.1:1/files/setup.exe"},
        {"no UpdateInfo section", Ok("[Other]\r\nVersion=" + kNewer + "\r\n"), "N/A", "N/A", "N/A",
         "N/A"},
        {"an HTML page with 200", Ok("<html><body>Welcome</body></html>", false), "N/A", "N/A",
         "N/A", "N/A"},
        {"keys in other letter case, quoted",
         Ok("[updateinfo]\nversion='0.0.0.1'\nDETAILS=\"x\"\n"), "0.0.0.1", "x", "N/A", "N/A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto server = FixedResponseServer(c.response);
        update.Address = server->Url("/Tabulonix.ini");
        TUpdateIkkuna& d = Make();
        Check();
        ExpectValueLabels(c.version, c.details, c.more, c.url);
        EXPECT_EQ(Text(d.Status), "No updates found!");
        EXPECT_EQ(updateStatus, usNothingNewer);
        EXPECT_FALSE(d.NewerFound);
        EXPECT_EQ(Buttons(d), "0011");
        EXPECT_FALSE(FileExists(LocalCopy()));
    }
}

TEST_F(UpdateDialogTest, LongValuesAreCutAtTheReadersLimit)
{
    auto server = FixedResponseServer(Ok("[UpdateInfo]\nDetails=" + std::string(5000, 'd') + "\n"));
    update.Address = server->Url("/Tabulonix.ini");
    Make();
    Check();
    EXPECT_EQ(Text(dialog->VersionDetails), std::string(2047, 'd'));
}

TEST_F(UpdateDialogTest, FailedChecksShowTheReasonAndLeaveNoCopy)
{
    int closed = ClosedPort();
    auto notFound = FixedResponseServer("HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>");
    auto huge = FixedResponseServer(Ok(std::string(kMaxUpdateInfoSize + 10, 'x')));
    struct Case {
        std::string address;
        std::string status;
    } cases[] = {
        {notFound->Url("/Tabulonix.ini"), "Error occured! (Not Found)"},
        {"http://127.0.0.1:" + std::to_string(closed) + "/Tabulonix.ini",
         "Error occured! (Connection refused (Error #10061))"},
        {"http://nosuchhost.invalid/Tabulonix.ini",
         "Error occured! (can't resolve hostname to IP address)"},
        {huge->Url("/Tabulonix.ini"), "Error occured! (Document too large)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        update.Address = c.address;
        TUpdateIkkuna& d = Make();
        WriteText(LocalCopy(), "old");
        Check();
        EXPECT_EQ(Text(d.Status), c.status);
        ExpectValueLabels("", "", "", "");
        EXPECT_EQ(updateStatus, usFailed);
        EXPECT_EQ(d.CheckOutcome(), usFailed);
        EXPECT_EQ(Buttons(d), "0011");
        EXPECT_FALSE(FileExists(LocalCopy()));
    }
}

TEST_F(UpdateDialogTest, LocalCopyThatCannotBeCreatedFailsWithTheLastReason)
{
    update.SaveTo = dir.File("missing/");
    update.Address = "http://127.0.0.1:1/Tabulonix.ini";
    TUpdateIkkuna& d = Make();
    Check();
    EXPECT_EQ(Text(d.Status), "Error occured! ()"); // no request has been made yet
    EXPECT_EQ(updateStatus, usFailed);
    EXPECT_TRUE(resolver.Asked().empty());
}

TEST_F(UpdateDialogTest, RedirectionToTheFileIsFollowed)
{
    auto file = FixedResponseServer(Ok(InfoFile(kNewer)));
    auto moved = FixedResponseServer(
        "HTTP/1.0 302 Found\r\nLocation: " + file->Url("/real/Tabulonix.ini") + "\r\n\r\n");
    update.Address = moved->Url("/Tabulonix.ini");
    TUpdateIkkuna& d = Make();
    Check();
    EXPECT_EQ(Text(d.VersionAvailable), kNewer);
    EXPECT_EQ(updateStatus, usNewerFound);
}

TEST_F(UpdateDialogTest, ProxySettingsDecideHowTheCheckGoes)
{
    auto origin = FixedResponseServer(Ok(InfoFile(kNewer)));
    TestServer proxy(ForwardToLoopback);
    update.Address = origin->Url("/Tabulonix.ini");
    update.UseProxy = true;
    update.Proxy = "127.0.0.1:" + proxy.PortText(); // the port in the text wins over 0
    update.ProxyPort = 0;
    TUpdateIkkuna& d = Make();
    Check();
    EXPECT_EQ(d.Http.ProxyPort, "0");
    EXPECT_EQ(updateStatus, usNewerFound);
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests().front().rfind("GET " + update.Address + " HTTP/1.0", 0), 0u);

    update.UseProxy = false;
    TUpdateIkkuna& direct = Make();
    direct.Http.Proxy = "127.0.0.1:1";
    Check();
    EXPECT_EQ(direct.Http.Proxy, "");
    EXPECT_EQ(direct.Http.ProxyPort, "80");
    EXPECT_EQ(updateStatus, usNewerFound);
    EXPECT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(origin->Requests().size(), 2u);
}

TEST_F(UpdateDialogTest, SecondCheckWhileOneWaitsFailsAloneAndTheFirstCompletes)
{
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    TestServer server([&](Connection& c) {
        c.ReadRequest();
        released.wait();
        c.Write(Ok(InfoFile(kNewer)));
    });
    update.Address = server.Url("/Tabulonix.ini");
    TUpdateIkkuna& d = Make();
    std::string secondStatus, secondLabels;
    int secondUpdateStatus = -1;
    DuringTransfer second([&] { return server.Requests().size() == 1; },
                          [&] {
                              EXPECT_EQ(Buttons(d), "0011"); // Check stays usable
                              d.VersionAvailable->setText("stale");
                              d.btnCheck->click();
                              secondStatus = Text(d.Status);
                              secondLabels = Text(d.VersionAvailable);
                              secondUpdateStatus = updateStatus;
                              EXPECT_TRUE(FileExists(LocalCopy())); // the first one's
                              go.set_value();
                          });
    Check();
    EXPECT_TRUE(second.Fired());
    EXPECT_EQ(secondStatus, "Error occured! ()");
    EXPECT_EQ(secondLabels, "");
    EXPECT_EQ(secondUpdateStatus, usFailed);
    EXPECT_EQ(Text(d.Status), "A newer program version is available!");
    EXPECT_EQ(Text(d.VersionAvailable), kNewer);
    EXPECT_EQ(updateStatus, usNewerFound);
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_FALSE(FileExists(LocalCopy()));
}

TEST_F(UpdateDialogTest, NothingNewerAfterANewerFindKeepsTheDownloadButton)
{
    TUpdateIkkuna& d = AfterNewerFound("http://127.0.0.1:1/setup.exe");
    auto same = FixedResponseServer(Ok(InfoFile(ProgramVersion())));
    // The dialog reads its address at creation; point the client there directly.
    d.Http.URL.clear();
    update.Address = same->Url("/Tabulonix.ini");
    TUpdateIkkuna& again = Make();
    again.btnDownload->setEnabled(true);
    again.NewerFound = true;
    Check();
    EXPECT_EQ(Text(again.Status), "No updates found!");
    EXPECT_FALSE(again.NewerFound);
    EXPECT_EQ(Buttons(again), "1011");
}

TEST_F(UpdateDialogTest, DownloadStoresTheFileUnderItsLastPathSegment)
{
    std::string body(300000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 + i / 251);
    std::atomic<bool> withLength{false};
    TestServer files([&](Connection& c) {
        c.ReadRequest();
        c.Write(Ok(body, withLength));
    });
    for (bool length : {false, true}) {
        SCOPED_TRACE(length ? "with Content-Length" : "without Content-Length");
        withLength = length;
        TUpdateIkkuna& d = AfterNewerFound(files.Url("/files/setup.exe"));
        WriteText(dir.File("setup.exe"), "an older download");
        information.clear();
        std::vector<std::string> states;
        int blocks = 0, largestMaximum = -1;
        bool indeterminate = false;
        std::string lastProgress;
        DuringTransfer watch([&] { return Text(d.Status).rfind("Downloading", 0) == 0; },
                             [&] {
                                 states.push_back(Buttons(d));
                                 indeterminate = d.Edistys->maximum() == 0;
                                 largestMaximum = d.Edistys->maximum();
                             });
        d.Http.OnDocData = [&, inner = d.Http.OnDocData](THttpClient& c, const char* p, int n) {
            inner(c, p, n);
            ++blocks;
            lastProgress = Text(d.Status);
        };
        Download();
        EXPECT_TRUE(watch.Fired());
        EXPECT_GT(blocks, 1);
        EXPECT_EQ(states, std::vector<std::string>{"0100"});
        const std::string total = length ? std::to_string(body.size()) : "-1";
        EXPECT_EQ(lastProgress,
                  "Downloading " + std::to_string(body.size()) + " of " + total + "!");
        EXPECT_EQ(indeterminate, !length);
        if (length) {
            EXPECT_EQ(largestMaximum, static_cast<int>(body.size()));
            EXPECT_EQ(d.Edistys->value(), static_cast<int>(body.size()));
        } else {
            EXPECT_EQ(d.Edistys->value(), d.Edistys->maximum()); // shown complete
        }
        EXPECT_EQ(Text(d.Status), "Succesfully downloaded the program update!");
        EXPECT_EQ(information,
                  std::vector<std::string>{"To install the update you need first to close "
                                           "Tabulonix, uninstall it and execute the downloaded "
                                           "file!"});
        EXPECT_EQ(Buttons(d), "0011");
        EXPECT_FALSE(d.NewerFound);
        EXPECT_EQ(ReadText(dir.File("setup.exe")), body);
    }
}

TEST_F(UpdateDialogTest, AbortInTheMiddleLeavesNoFile)
{
    std::atomic<bool> closedByClient{false};
    TestServer files([&](Connection& c) {
        c.ReadRequest();
        c.Write("HTTP/1.0 200 OK\r\nContent-Length: 10000000\r\n\r\n" + std::string(50000, 'u'));
        closedByClient = c.WaitForClose();
    });
    TUpdateIkkuna& d = AfterNewerFound(files.Url("/files/setup.exe"));
    std::string statusAfterAbort;
    DuringTransfer abort([&] { return Text(d.Status).rfind("Downloading", 0) == 0; },
                         [&] {
                             EXPECT_TRUE(FileExists(dir.File("setup.exe")));
                             d.btnAbort->click();
                             statusAfterAbort = Text(d.Status);
                         });
    Download();
    EXPECT_TRUE(abort.Fired());
    EXPECT_EQ(statusAfterAbort, "Aborted!");
    EXPECT_EQ(Text(d.Status), "Error occured!");
    EXPECT_EQ(Buttons(d), "1011");
    EXPECT_FALSE(FileExists(dir.File("setup.exe")));
    EXPECT_TRUE(d.NewerFound);
    EXPECT_TRUE(information.empty());
    EXPECT_TRUE(WaitUntil([&] { return closedByClient.load(); }));
}

TEST_F(UpdateDialogTest, FailedDownloadsStoreNothing)
{
    auto notFound = FixedResponseServer("HTTP/1.0 404 Not Found\r\n\r\n");
    struct Case {
        std::string url, leftOver;
    } cases[] = {
        {notFound->Url("/files/setup.exe"), "setup.exe"},
        {notFound->Url("/files/"), ""}, // no name to store under
        {"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/files/setup.exe", "setup.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        TUpdateIkkuna& d = AfterNewerFound(c.url);
        if (!c.leftOver.empty())
            WriteText(dir.File(c.leftOver), "older");
        Download();
        EXPECT_EQ(Text(d.Status), "Error occured!");
        EXPECT_EQ(Buttons(d), "1011");
        if (!c.leftOver.empty()) {
            EXPECT_FALSE(FileExists(dir.File(c.leftOver)));
        }
        EXPECT_TRUE(DirectoryExists(dir.Path()));
        EXPECT_TRUE(information.empty());
    }
}

TEST_F(UpdateDialogTest, ClosingDuringACheckAbortsItButNotDuringADownload)
{
    TestServer drip([](Connection& c) {
        c.ReadRequest();
        c.Write("HTTP/1.0 200 OK\r\n\r\n[UpdateInfo]\r\n");
        c.WaitForClose();
    });
    update.Address = drip.Url("/Tabulonix.ini");
    TUpdateIkkuna& d = Make();
    DuringTransfer close([&] { return d.Http.State() == THttpState::ReceivingBody; },
                         [&] { d.reject(); });
    Check();
    EXPECT_TRUE(close.Fired());
    EXPECT_EQ(Text(d.Status), "Error occured! (Connection aborted on request)");
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(updateStatus, usFailed);

    TUpdateIkkuna& downloading = AfterNewerFound(drip.Url("/files/setup.exe"));
    bool stillOpen = false;
    DuringTransfer refuse([&] { return downloading.Http.State() == THttpState::ReceivingBody; },
                          [&] {
                              downloading.setResult(-1);
                              downloading.reject();
                              stillOpen = downloading.result() == -1;
                              downloading.btnAbort->click();
                          });
    Download();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Text(downloading.Status), "Error occured!");
}

TEST_F(UpdateDialogTest, LinkLabelsHandTheirTextToTheDesktop)
{
    TUpdateIkkuna& d = AfterNewerFound("http://127.0.0.1:1/files/setup.exe");
    d.MoreInfoClick();
    d.DownloadURLClick();
    d.MoreInfo->setText("N/A");
    d.MoreInfoClick();
    EXPECT_EQ(opened, (std::vector<std::string>{"http://127.0.0.1:1/readme.html",
                                                "http://127.0.0.1:1/files/setup.exe", "N/A"}));
    for (const char* link : {"http://127.0.0.1/readme.html", "HTTPS://127.0.0.1/x"})
        EXPECT_TRUE(IsWebLink(link)) << link;
    for (const char* other : {"N/A", "", "file:///bin/sh", "/usr/bin/xterm", "javascript:x",
                              "smb://127.0.0.1/share", "http://"})
        EXPECT_FALSE(IsWebLink(other)) << other;
}

TEST_F(UpdateDialogTest, ShowingPlacesTheValuesAfterTheirCaptionsInTheInterfaceFont)
{
    font.name = "DejaVu Serif";
    font.size = 13;
    font.italic = true;
    TUpdateIkkuna& d = Make();
    d.show();
    std::pair<QLabel*, QLabel*> pairs[] = {
        {d.Label8, d.CurrentVersion},  {d.Label5, d.RemoteAddress}, {d.Label9, d.VersionAvailable},
        {d.Label10, d.VersionDetails}, {d.Label11, d.MoreInfo},     {d.Label12, d.DownloadURL},
        {d.Label6, d.Status}};
    for (auto [caption, value] : pairs) {
        SCOPED_TRACE(value->objectName().toStdString());
        EXPECT_EQ(value->x(), 2 * caption->x() + caption->width());
        EXPECT_EQ(value->font().pointSize(), 13);
        EXPECT_TRUE(value->font().italic());
        EXPECT_FALSE(value->font().underline()); // the copied style replaces the link's
        EXPECT_EQ(value->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    }
    d.hide();
}

TEST_F(UpdateDialogTest, ShowingTranslatesFromTheChosenLanguage)
{
    const std::string name = "ZzUpdateTest" + std::to_string(::getpid());
    ASSERT_TRUE(ForceDirectories(ExecutableFolder() + "Languages"));
    const std::string path = ExecutableFolder() + LanguageFileRelativePath(name);
    WriteText(path,
              "[UpdateIkkuna]\nUpdateIkkuna.Caption=Nach Updates suchen\n"
              "UpdateIkkuna.btnCheck.Caption=Pruefen\nUpdateIkkuna.Label6.Caption=Zustand:\n");
    general.LanguageIndex = 1;
    general.Language = name;
    TUpdateIkkuna& d = Make();
    d.show();
    std::remove(path.c_str());
    EXPECT_EQ(d.windowTitle().toStdString(), "Nach Updates suchen");
    EXPECT_EQ(d.btnCheck->text().toStdString(), "Pruefen");
    EXPECT_EQ(Text(d.Label6), "Zustand:");
    EXPECT_EQ(d.Status->x(), 2 * d.Label6->x() + d.Label6->width());
    d.hide();
    SetCurrentLanguageFile(nullptr);
}
