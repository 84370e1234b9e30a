#pragma once
#include "platform/SystemInfo.h"
#include "ui/FormSetup.h"
#include "ui/LinkLabel.h"

#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <functional>
#include <optional>

class QFrame;
class QPushButton;

namespace tabulonix {

// What the about box reports of the machine; tests give their own values.
struct SystemFacts {
    std::optional<OsVersion> os;
    uint64_t physicalMemory = 0; // bytes
    static SystemFacts OfThisMachine();
};

// The operating-system line, e.g. "Windows XP (Build 2600: Service Pack 2)"; empty
// without a version.
std::string SystemLine(const std::optional<OsVersion>& os);
// Total physical memory in kilobytes with the locale's thousands separators: "524,288 KB".
QString MemoryText(uint64_t bytes, const QLocale& locale = QLocale());
// The maker's notice; it ends with the year, which is never earlier than 2004.
QString MakerNotice(int year);
// The left edge that centres a button: (client width - button width) / 2, halves to even.
int CentredLeft(int clientWidth, int buttonWidth);

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    // `version` is the program version text.
    TAboutBox(const TFormSetup& setup, const SystemFacts& facts, const std::string& version,
              QWidget* parent = nullptr);

    // Opens a link with the desktop's default program; replaceable in tests.
    std::function<void(const QString& link)> OpenLink;

    QFrame* Reunus;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Label6;
    QLabel* Version;
    QLabel* Contact;
    QLabel* Label1;
    TLinkLabel* outLabel4;
    QLabel* Label2;
    TLinkLabel* outLabel5;
    QLabel* Label5;
    TLinkLabel* outLabel7;
    QLabel* Label11;
    TLinkLabel* Label12;
    QLabel* Label3;
    QFrame* Bevel2;
    QLabel* Windows;
    QLabel* Label4;
    QLabel* Memory;
    QPushButton* OkButton;

  public slots:
    void outLabel4Click();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void GetAllSystemInfo();

    SystemFacts facts_;
    QWidget* buttonRow_;
};

} // namespace tabulonix
