#include "shell/About.h"

#include "engine/Geometry.h"
#include "i18n/QtText.h"
#include "ui/Pictures.h"
#include "ui/TiledBackground.h"

#include <QDate>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tabulonix {

namespace {

constexpr int kReunusEdge = 8;
constexpr int kReunusWidth = 281;
constexpr int kReunusHeight = 345;
constexpr int kFirstYear = 2004;

const char* const kHomepage = "http://www.merovane.example/";
const char* const kMail = "mailto:tabulonix@merovane.example";
const char* const kThanksLink = "http://www.merovane.example/thanks.html";

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

SystemFacts SystemFacts::OfThisMachine()
{
    return SystemFacts{QueryOsVersion(), PhysicalMemoryBytes()};
}

std::string SystemLine(const std::optional<OsVersion>& os)
{
    if (!os)
        return {};
    const std::string numbers = std::to_string(os->major) + "." + std::to_string(os->minor);
    std::string line;
    switch (os->family) {
    case OsVersion::Win32OnWin3x:
        line = "Win32 on Windows 3.xx";
        break;
    case OsVersion::Windows9x:
        line = "Windows";
        if (os->major == 4 && os->minor == 10)
            line += " 98";
        else if (os->major == 4 && os->minor == 90)
            line += " ME";
        else if (os->major == 4)
            line += " 95";
        else
            line += " " + numbers;
        break;
    case OsVersion::WindowsNT:
        line = "Windows";
        if (os->major == 5 && os->minor == 0)
            line += " 2000";
        else if (os->major == 5 && os->minor == 1)
            line += " XP";
        else
            line += " NT " + numbers;
        break;
    case OsVersion::Other:
        line = "Unknown " + numbers;
        break;
    }
    line += " (Build " + std::to_string(os->build & 0xFFFF);
    if (!os->servicePack.empty())
        line += ": " + os->servicePack;
    return line + ")";
}

QString MemoryText(uint64_t bytes, const QLocale& locale)
{
    const uint64_t kilobytes = (bytes + 512) / 1024;
    return locale.toString(static_cast<qulonglong>(kilobytes)) + " KB";
}

QString MakerNotice(int year)
{
    return QString("Tabulonix is freeware made by Merovane. You may use and share it freely. "
                   "Copyright (C) Merovane %1")
        .arg(std::max(year, kFirstYear));
}

int CentredLeft(int clientWidth, int buttonWidth)
{
    return static_cast<int>(RoundDivHalfEven(int64_t{clientWidth} - buttonWidth, 2));
}

TAboutBox::TAboutBox(const TFormSetup& setup, const SystemFacts& facts, const std::string& version,
                     QWidget* parent)
    : QDialog(parent), OpenLink([](const QString& link) { QDesktopServices::openUrl(QUrl(link)); }),
      facts_(facts)
{
    setObjectName("AboutBox");
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    Reunus = new QFrame(this);
    Reunus->setObjectName("Reunus");
    Reunus->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Reunus->setMinimumSize(kReunusWidth, kReunusHeight);

    ProgramIcon = NewLabel("ProgramIcon", QString(), Reunus);
    ProgramIcon->setFixedSize(32, 32);
    ProgramIcon->setPixmap(tabulonix::ProgramIcon().pixmap(32, 32));

    // The product line and its white shadow 4 pixels right and lower share one cell; the
    // margins shift the two texts against each other.
    auto* title = new QWidget(Reunus);
    auto* titleLayout = new QGridLayout(title);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    QFont productFont("Arial", 16, QFont::Bold);
    Label6 = NewLabel("Label6", "Tabulonix", title);
    ProductName = NewLabel("ProductName", "Tabulonix", title);
    for (QLabel* label : {Label6, ProductName}) {
        label->setFont(productFont);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    Label6->setContentsMargins(4, 4, 0, 0);
    ProductName->setContentsMargins(0, 0, 4, 4);
    QPalette white = Label6->palette(), black = ProductName->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    black.setColor(QPalette::WindowText, Qt::black);
    Label6->setPalette(white);
    ProductName->setPalette(black);
    titleLayout->addWidget(Label6, 0, 0);
    titleLayout->addWidget(ProductName, 0, 0);
    ProductName->raise();

    Version = NewLabel("Version", QString(), Reunus);
    Version->setWordWrap(true);
    Contact = NewLabel("Contact", "Merovane contact info:", Reunus);
    Label1 = NewLabel("Label1", "Homepage:", Reunus);
    outLabel4 = new TLinkLabel("www.merovane.example", kHomepage, Reunus);
    outLabel4->setObjectName("outLabel4");
    Label2 = NewLabel("Label2", "E-mail:", Reunus);
    outLabel5 = new TLinkLabel("tabulonix@merovane.example", kMail, Reunus);
    outLabel5->setObjectName("outLabel5");
    Label5 = NewLabel("Label5", "Special thanks to:", Reunus);
    outLabel7 = new TLinkLabel("Everyone who tested Tabulonix", kThanksLink, Reunus);
    outLabel7->setObjectName("outLabel7");
    Label11 = NewLabel("Label11", "Language by:", Reunus);
    Label12 = new TLinkLabel("Merovane", kHomepage, Reunus);
    Label12->setObjectName("Label12");
    Label3 = NewLabel("Label3", QString(), Reunus);
    Bevel2 = new QFrame(Reunus);
    Bevel2->setObjectName("Bevel2");
    Bevel2->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Windows = NewLabel("Windows", QString(), Reunus);
    Windows->setWordWrap(true);
    Label4 = NewLabel("Label4", "Memory available to Windows:", Reunus);
    Memory = NewLabel("Memory", QString(), Reunus);
    Memory->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    for (TLinkLabel* link : {outLabel4, outLabel5, outLabel7, Label12})
        connect(link, &TLinkLabel::clicked, this, &TAboutBox::outLabel4Click);

    auto* grid = new QGridLayout(Reunus);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setVerticalSpacing(4);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(10);
    heading->addWidget(ProgramIcon, 0, Qt::AlignTop);
    heading->addWidget(title, 1);
    grid->addLayout(heading, 0, 0, 1, 2);
    grid->addWidget(Version, 1, 0, 1, 2);
    grid->addWidget(Contact, 2, 0, 1, 2);
    grid->addWidget(Label1, 3, 0);
    grid->addWidget(outLabel4, 3, 1);
    grid->addWidget(Label2, 4, 0);
    grid->addWidget(outLabel5, 4, 1);
    grid->addWidget(Label5, 5, 0);
    grid->addWidget(outLabel7, 5, 1);
    grid->addWidget(Label11, 6, 0);
    grid->addWidget(Label12, 6, 1);
    grid->addWidget(Label3, 7, 0, 1, 2);
    grid->setRowStretch(8, 1);
    grid->addWidget(Bevel2, 9, 0, 1, 2);
    grid->addWidget(Windows, 10, 0, 1, 2);
    grid->addWidget(Label4, 11, 0);
    grid->addWidget(Memory, 11, 1);
    grid->setColumnStretch(1, 1);

    OkButton = new QPushButton("&Ok", this);
    OkButton->setObjectName("OkButton");
    OkButton->setToolTip("Close this dialog (ENTER)");
    OkButton->setAccessibleName("Ok");
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    // The client area is the bevel with one edge's margin around it and one more between
    // it and the button row.
    buttonRow_ = new QWidget(this);
    buttonRow_->setFixedHeight(OkButton->sizeHint().height());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kReunusEdge, kReunusEdge, kReunusEdge, kReunusEdge);
    layout->setSpacing(kReunusEdge);
    layout->addWidget(Reunus);
    layout->addWidget(buttonRow_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // FormCreate.
    SetUpForm(*this, setup);
    UseTiledBackground(*this);
    Version->setText(MakerNotice(QDate::currentDate().year()));
    if (!version.empty()) {
        const QString product = "Tabulonix " + ToQString(version);
        ProductName->setText(product);
        Label6->setText(product);
    }
    GetAllSystemInfo();
    layout->activate();
}

void TAboutBox::GetAllSystemInfo()
{
    Windows->setText(ToQString(SystemLine(facts_.os)));
    Memory->setText(MemoryText(facts_.physicalMemory));
}

void TAboutBox::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    OkButton->resize(OkButton->sizeHint());
    OkButton->move(CentredLeft(width(), OkButton->width()), buttonRow_->y());
}

void TAboutBox::outLabel4Click()
{
    if (auto* label = qobject_cast<QLabel*>(sender()))
        OpenLink(label->toolTip());
}

} // namespace tabulonix
