#pragma once
#include "i18n/IniLang.h"
#include "i18n/InterfaceFont.h"

#include <QString>

#include <string>
#include <vector>

class QObject;
class QWidget;
class QRadioButton;

namespace tabulonix {

// Translates a window from the current language file (nothing when none is open): its
// title from "<Window>.Caption", then every named component it holds, however deeply
// nested, in creation order: ".Caption", ".Hint", ".lines[i]" of multi-line text boxes,
// ".items[i]" of radio groups and plain combo boxes. The section and the key prefix are the
// window's objectName. Child windows (dialogs parented to it) are left to themselves.
void TranslateForms(QWidget& form);
void TranslateForms(QWidget& form, const TLanguageFile* file);

// Sets the text property `property` ("Caption" or "Hint", letter case ignored) of a
// component whose kind has one; an empty text or a kind without it changes nothing.
// "Caption" is the text of a label or a button, the title of a group box, the text of a
// tab page's tab, the title of a window, or a `caption` property a custom widget declares;
// "Hint" is the tool tip of any widget.
void AssignTextProperty(QObject& component, const std::string& property, const QString& text);

// The items of a radio group (a QGroupBox holding QRadioButtons), in order.
std::vector<QRadioButton*> RadioGroupItems(QWidget& group);
// A combo box whose items a language file may replace: exactly a QComboBox whose items
// carry no icons. Subclasses and lists with icons (flags, colour swatches) are extended
// lists and stay as they are.
bool IsPlainComboBox(const QObject& component);

// Gives a window InterfaceFont and the descendants named in `labels` the parts of it their
// rule says (each keeps its colour and the rest of its own font).
void ApplyInterfaceFont(QWidget& form, const TFontSpec& font,
                        const std::vector<LabelFontRule>& labels = {});

} // namespace tabulonix
