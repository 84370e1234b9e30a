#include "shell/Odota.h"

#include "i18n/QtText.h"
#include "platform/Version.h"
#include "ui/Pictures.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace tabulonix {

namespace {

QLabel* OverlayLabel(QWidget* parent, const char* name, const TFontSpec& font, const QColor& color)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(ToQFont(font));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

} // namespace

TOdota::TOdota(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("Odota");
    setWindowTitle("Odota... Ladataan ohjelmaa...");
    setCursor(Qt::BusyCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Kuva = new QLabel(this);
    Kuva->setObjectName("Kuva");
    Kuva->setPixmap(SplashPicture());
    Kuva->setAlignment(Qt::AlignCenter);
    layout->addWidget(Kuva);

    // The texts lie over fixed places of the picture, so they are placed on it.
    Version = OverlayLabel(Kuva, "Version", TFontSpec{"Comic Sans MS", 10, true}, Qt::blue);
    Version->setAlignment(Qt::AlignCenter);
    Version->setGeometry(72, 241, 497, 33);
    Notice =
        OverlayLabel(Kuva, "Notice", TFontSpec{"Comic Sans MS", 8, true}, QColor(0xC0, 0xC0, 0xC0));
    Notice->setWordWrap(true);
    Notice->setGeometry(432, 278, 205, 41);
}

std::string TOdota::GetVersion()
{
    return ProgramVersion();
}

QString TOdota::NoticeText(int year)
{
    year = std::max(year, 2004);
    if (year == 2004)
        return QStringLiteral("Made by Merovane, (c) 2004");
    return QStringLiteral("Made by Merovane, (c) 2004-%1").arg(year);
}

void TOdota::FormShow()
{
    Notice->setText(NoticeText(QDate::currentDate().year()));
    Version->setText(ToQString("Tabulonix " + GetVersion() + ", 100% freeware!"));
    const QSize size = Kuva->pixmap().size();
    setFixedSize(size);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(size.width() / 2, size.height() / 2));
    show();
    raise();
    // Painted now: the main window's creation keeps the event loop from running.
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace tabulonix
