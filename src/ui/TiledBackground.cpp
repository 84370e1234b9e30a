#include "ui/TiledBackground.h"

#include "ui/Pictures.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace tabulonix {

namespace {

// Paints the tiles when the window gets its paint event, before the window's own painting.
class TiledBackgroundPainter : public QObject {
  public:
    TiledBackgroundPainter(QWidget& window, const QPixmap& tile) : QObject(&window), tile_(tile) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched == parent()) {
            auto* window = static_cast<QWidget*>(watched);
            QPainter painter(window);
            PaintTiles(painter, window->size(), tile_);
        }
        return false;
    }

  private:
    QPixmap tile_;
};

} // namespace

void PaintTiles(QPainter& painter, const QSize& surface, const QPixmap& tile)
{
    // Logical size, so that a tile keeps its 100 x 100 on dense screens too.
    const QSizeF step = tile.deviceIndependentSize();
    const int w = qRound(step.width()), h = qRound(step.height());
    if (w <= 0 || h <= 0)
        return;
    for (int y = 0; y < surface.height(); y += h)
        for (int x = 0; x < surface.width(); x += w)
            painter.drawPixmap(x, y, tile);
}

void UseTiledBackground(QWidget& window, const QPixmap& tile)
{
    window.installEventFilter(new TiledBackgroundPainter(window, tile));
    window.update();
}

void UseTiledBackground(QWidget& window)
{
    UseTiledBackground(window, BackgroundTile());
}

} // namespace tabulonix
