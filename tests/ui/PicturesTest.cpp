#include "ui/Pictures.h"
#include "ui/TiledBackground.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tabulonix;

namespace {

TEST(Pictures, HaveTheSizesTheWindowsAreLaidOutFor)
{
    EXPECT_EQ(SplashPicture().size(), QSize(636, 318));
    EXPECT_EQ(WizardPicture().size(), QSize(301, 216));
    EXPECT_EQ(FinishPicture().size(), QSize(128, 128));
    EXPECT_EQ(BackgroundTile().size(), QSize(100, 100));
    for (const char* name : {"previous", "next", "options", "updates", "about", "help", "close",
                             "abort", "ready", "thumbnails", "folder"}) {
        const QIcon glyph = ButtonGlyph(QString::fromLatin1(name));
        ASSERT_FALSE(glyph.isNull()) << name;
        EXPECT_EQ(glyph.pixmap(QSize(32, 32)).size(), QSize(32, 32)) << name;
    }
    for (int size : {16, 32, 48, 256})
        EXPECT_EQ(ProgramIcon().pixmap(QSize(size, size)).size(), QSize(size, size));
}

// Pixmaps may be held premultiplied; compare them the same way.
QImage Pixels(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(Pictures, TwoStateGlyphTakesTheRightHalfForTheDisabledState)
{
    for (const char* name : {"next", "ready"}) {
        const QPixmap pair(QStringLiteral(":/pictures/%1.png").arg(name));
        ASSERT_EQ(pair.size(), QSize(64, 32)) << name;
        const QIcon icon = TwoStateGlyph(QString::fromLatin1(name));
        const QImage normal = Pixels(icon.pixmap(QSize(32, 32), 1.0, QIcon::Normal));
        const QImage off = Pixels(icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled));
        EXPECT_EQ(normal, Pixels(pair.copy(0, 0, 32, 32))) << name;
        EXPECT_EQ(off, Pixels(pair.copy(32, 0, 32, 32))) << name;
        EXPECT_NE(normal, off) << name;
    }
}

TEST(Pictures, BackgroundTileMeetsItselfWithoutSeams)
{
    const QImage tile = BackgroundTile().toImage().convertToFormat(QImage::Format_RGB32);
    // A step across the tile's edge is no larger than the largest step inside it.
    auto step = [&](int x0, int y0, int x1, int y1) {
        const QRgb a = tile.pixel(x0, y0), b = tile.pixel(x1, y1);
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b));
    };
    int inside = 0, across = 0;
    for (int i = 0; i < 100; ++i) {
        for (int j = 0; j + 1 < 100; ++j)
            inside = std::max({inside, step(j, i, j + 1, i), step(i, j, i, j + 1)});
        across = std::max({across, step(99, i, 0, i), step(i, 99, i, 0)});
    }
    EXPECT_LE(across, inside);
}

// A tile whose every pixel tells its own position, so a wrong origin or step shows.
QPixmap PositionTile()
{
    QImage tile(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            tile.setPixel(x, y, qRgb(x, y, 7));
    return QPixmap::fromImage(tile);
}

TEST(TiledBackground, RepeatsTheTileFromTheTopLeftCornerOverTheWholeWindow)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("transparent"), &window);
    layout->addWidget(label);
    window.resize(257, 131);
    UseTiledBackground(window, PositionTile());
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(257, 131));
    for (QPoint p : {QPoint(0, 0), QPoint(99, 99), QPoint(100, 0), QPoint(150, 40),
                     QPoint(256, 130), QPoint(201, 101), QPoint(3, 120)})
        EXPECT_EQ(shot.pixel(p), qRgb(p.x() % 100, p.y() % 100, 7)) << p.x() << "," << p.y();
    // Under the label, away from its text, the tiles still show.
    const QPoint corner = label->geometry().topLeft();
    EXPECT_EQ(shot.pixel(corner), qRgb(corner.x() % 100, corner.y() % 100, 7));
}

TEST(TiledBackground, PaintTilesStopsAtTheSurfaceAndSkipsAnEmptyTile)
{
    QImage surface(30, 20, QImage::Format_RGB32);
    surface.fill(Qt::black);
    {
        QPainter painter(&surface);
        PaintTiles(painter, QSize(30, 20), QPixmap());
    }
    EXPECT_EQ(surface.pixel(10, 10), qRgb(0, 0, 0));
    {
        QPainter painter(&surface);
        PaintTiles(painter, QSize(30, 20), PositionTile());
    }
    EXPECT_EQ(surface.pixel(29, 19), qRgb(29, 19, 7));
}

} // namespace
