#pragma once
#include <QLabel>

namespace tabulonix {

// A label that is a link: hand cursor, blue underlined text, and, when given, the link in
// its hint (tool tip). Clicking it, or Enter or Space while it has the focus, raises
// `clicked`; what the click opens is the owner's business.
class TLinkLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TLinkLabel(QWidget* parent = nullptr);
    TLinkLabel(const QString& text, const QString& link, QWidget* parent);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tabulonix
