#pragma once
#include "settings/SettingsKeys.h"

#include <string>
#include <vector>

namespace tabulonix {

// A font as the program keeps it, independent of any window system. The character set is
// not stored in the settings file: after a start it is the platform default.
struct TFontSpec {
    static constexpr int kDefaultCharset = 1;
    std::string name;
    int size = 8; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charset = kDefaultCharset;
    friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// InterfaceFont as built at start-up from the "General" font keys.
TFontSpec InterfaceFontFrom(const GeneralSettings& general);
// The font keys of "General" taken from a font (the options dialog's OK).
void StoreInterfaceFont(const TFontSpec& font, GeneralSettings& general);

// The options dialog's font description: face, ", ", size, "pt", then ", Bold",
// ", Italic", ", Underline", ", Strike out" for the styles the font has.
std::string FontLabelText(const TFontSpec& font);

// Which parts of InterfaceFont the wizard's labels with fonts of their own take over.
enum class LabelFontPart {
    FaceAndCharset,          // size and style stay
    FaceCharsetAndSize,      // style stays
    FaceCharsetStyleAndSize, // everything but the colour
};
struct LabelFontRule {
    const char* label;
    LabelFontPart part;
};
const std::vector<LabelFontRule>& WizardLabelFontRules();

// `label` with the parts of `interfaceFont` that the rule gives it.
TFontSpec ApplyInterfaceFont(const TFontSpec& label, const TFontSpec& interfaceFont,
                             LabelFontPart part);

} // namespace tabulonix
