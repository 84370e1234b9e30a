#include "ui/Pictures.h"

namespace tabulonix {

QPixmap SplashPicture()
{
    return QPixmap(QStringLiteral(":/pictures/splash.jpg"));
}

QPixmap WizardPicture()
{
    return QPixmap(QStringLiteral(":/pictures/wizard.png"));
}

QPixmap FinishPicture()
{
    return QPixmap(QStringLiteral(":/pictures/go.png"));
}

QPixmap BackgroundTile()
{
    return QPixmap(QStringLiteral(":/pictures/tile.png"));
}

QIcon ButtonGlyph(const QString& name)
{
    // QIcon finds the "@2x" twin by itself.
    return QIcon(QStringLiteral(":/pictures/glyphs/%1.png").arg(name));
}

QIcon TwoStateGlyph(const QString& name)
{
    QIcon icon;
    for (const QString& suffix : {QString(), QStringLiteral("@2x")}) {
        const QPixmap pair(QStringLiteral(":/pictures/%1%2.png").arg(name, suffix));
        if (pair.isNull())
            continue;
        const int half = pair.width() / 2;
        icon.addPixmap(pair.copy(0, 0, half, pair.height()), QIcon::Normal);
        icon.addPixmap(pair.copy(half, 0, half, pair.height()), QIcon::Disabled);
    }
    return icon;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/pictures/icon/tabulonix-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}

} // namespace tabulonix
