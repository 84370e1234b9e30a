#pragma once
#include <QPixmap>

class QPainter;
class QSize;
class QWidget;

namespace tabulonix {

// Covers a surface with `tile`, repeated from the top-left corner: columns at x = 0, tile
// width, ... until the surface's width is reached, then the next row one tile height lower.
void PaintTiles(QPainter& painter, const QSize& surface, const QPixmap& tile);

// Makes `window` paint the background tile (`OrgTausta`) over its whole surface before
// anything else of it is painted. Children that do not fill their own background (labels,
// frames, group boxes) show the tiles through.
void UseTiledBackground(QWidget& window, const QPixmap& tile);
void UseTiledBackground(QWidget& window);

} // namespace tabulonix
