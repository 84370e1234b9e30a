#pragma once
#include "i18n/InterfaceFont.h"

#include <optional>
#include <string>

class QWidget;

namespace tabulonix {

// What a translated window takes from the main window when it is made: InterfaceFont and
// the chosen language ("Language index" 0 is the built-in English).
struct TFormSetup {
    std::optional<TFontSpec> font;
    int languageIndex = 0;
    std::string language;
    std::string languageFolder; // "" for the "Languages/" folder beside the executable
};

// The window takes the font; with a language file chosen, that file is opened, becomes the
// current one, and translates the window.
void SetUpForm(QWidget& form, const TFormSetup& setup);

} // namespace tabulonix
