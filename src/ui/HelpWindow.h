#pragma once
#include <QWidget>

#include <string>

class QTextBrowser;

namespace tabulonix {

// The help viewer: a help file is one HTML document, and a topic is an anchor in it
// ("contents", "101"). Links inside the file are followed in the window; links to the web
// or to mail open with the desktop's default program.
class THelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows `file` scrolled to `anchor`. False, with nothing changed, when the file cannot
    // be read.
    bool ShowTopic(const std::string& file, const std::string& anchor);

    QTextBrowser* Browser;
};

} // namespace tabulonix
