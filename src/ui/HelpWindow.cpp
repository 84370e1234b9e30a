#include "ui/HelpWindow.h"

#include "i18n/QtText.h"
#include "platform/Files.h"
#include "ui/Pictures.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tabulonix {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("HelpWindow");
    setWindowTitle("Tabulonix Help");
    setWindowIcon(ProgramIcon());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Browser = new QTextBrowser(this);
    Browser->setObjectName("Browser");
    Browser->setAccessibleName("Help");
    Browser->setOpenLinks(true);
    Browser->setOpenExternalLinks(true); // http, https and mailto go to the desktop
    layout->addWidget(Browser);
    // A comfortable reading width for the font in use, and most of the screen's height.
    const int width = 100 * fontMetrics().averageCharWidth();
    int height = 40 * fontMetrics().height();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        height = std::min(height, screen->availableGeometry().height() * 4 / 5);
    resize(width, height);
}

bool THelpWindow::ShowTopic(const std::string& file, const std::string& anchor)
{
    const QFileInfo info(ToQString(file));
    if (!info.isFile() || !info.isReadable())
        return false;
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setFragment(ToQString(anchor));
    // ".hlp" says nothing of the content: the help files are HTML.
    Browser->setSource(url, QTextDocument::HtmlResource);
    Browser->scrollToAnchor(ToQString(anchor));
    show();
    raise();
    activateWindow();
    return true;
}

} // namespace tabulonix
