#pragma once
#include "platform/Colors.h"

#include <QComboBox>

#include <functional>
#include <optional>

namespace tabulonix {

// The frame colour list: "Custom..." first (it opens the colour dialog), then the standard,
// extended and system colours by name without their "cl". A colour the list does not hold
// is kept as the custom entry's colour. It draws its own entries and is never translated.
class TColorBox : public QComboBox {
    Q_OBJECT

  public:
    explicit TColorBox(QWidget* parent = nullptr);

    TColor Selected() const;
    // Selects the first entry of that colour, else the custom entry with that colour.
    void SetSelected(TColor color);

    // Asked for a colour when the user picks "Custom..."; nothing means cancelled.
    std::function<std::optional<TColor>(TColor current)> chooseColor;

  signals:
    // The user chose a colour (the "Custom..." dialog confirmed or an entry picked).
    void colorSelected();

  private:
    void SetCustom(TColor color);
    void OnActivated(int index);

    int lastIndex_ = 1;
};

} // namespace tabulonix
