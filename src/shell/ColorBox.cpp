#include "shell/ColorBox.h"

#include "i18n/QtText.h"
#include "settings/ColorNames.h"

#include <QPixmap>

namespace tabulonix {

namespace {

QColor ToQColor(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

QIcon Swatch(TColor color)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(ToQColor(color));
    return QIcon(pixmap);
}

bool Listed(const ColorName& entry)
{
    // Every named colour but the two special values.
    return entry.value != clNone && entry.value != clDefault;
}

} // namespace

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent)
{
    addItem(Swatch(clBlack), QStringLiteral("Custom..."), QVariant::fromValue<int>(clBlack));
    for (const ColorName& entry : ColorNameTable()) {
        if (!Listed(entry))
            continue;
        std::string name = entry.name;
        if (name.rfind("cl", 0) == 0)
            name.erase(0, 2);
        addItem(Swatch(entry.value), ToQString(name), QVariant::fromValue<int>(entry.value));
    }
    SetSelected(clBlack);
    connect(this, &QComboBox::activated, this, &TColorBox::OnActivated);
}

TColor TColorBox::Selected() const
{
    return currentIndex() < 0 ? clBlack : currentData().toInt();
}

void TColorBox::SetSelected(TColor color)
{
    for (int i = 1; i < count(); ++i) {
        if (itemData(i).toInt() == color) {
            setCurrentIndex(i);
            lastIndex_ = i;
            return;
        }
    }
    SetCustom(color);
}

void TColorBox::SetCustom(TColor color)
{
    setItemData(0, QVariant::fromValue<int>(color));
    setItemIcon(0, Swatch(color));
    setCurrentIndex(0);
    lastIndex_ = 0;
}

void TColorBox::OnActivated(int index)
{
    if (index == 0) {
        const std::optional<TColor> chosen =
            chooseColor ? chooseColor(itemData(0).toInt()) : std::nullopt;
        if (!chosen) {
            // A cancelled dialog leaves the colour as it was.
            setCurrentIndex(lastIndex_);
            return;
        }
        SetCustom(*chosen);
    }
    lastIndex_ = currentIndex();
    emit colorSelected();
}

} // namespace tabulonix
