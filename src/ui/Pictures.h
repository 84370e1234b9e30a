#pragma once
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tabulonix {

// The program's own pictures, compiled in under ":/pictures/". Button glyphs are 32 x 32
// with a 64 x 64 "@2x" twin for dense screens.
QPixmap SplashPicture();  // 636 x 318, the splash screen's `Kuva`
QPixmap WizardPicture();  // 301 x 216, page 1's `VelhoKuva`
QPixmap FinishPicture();  // 128 x 128, page 6's `GoKuva`
QPixmap BackgroundTile(); // 100 x 100, `OrgTausta`, seamless

// A button glyph by name: "previous", "next", "options", "updates", "about", "help",
// "close", "abort", "ready", "thumbnails", "folder".
QIcon ButtonGlyph(const QString& name);

// The Next button's glyphs "next" and "ready": pictures of two halves side by side, the
// left one for the normal and the right one for the disabled state.
QIcon TwoStateGlyph(const QString& name);

// The program icon in every size it is drawn at (16 to 256 pixels).
QIcon ProgramIcon();

} // namespace tabulonix
