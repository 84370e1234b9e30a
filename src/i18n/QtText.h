#pragma once
#include "i18n/InterfaceFont.h"

#include <QFont>
#include <QString>

#include <string>

namespace tabulonix {

// The one conversion between core strings (UTF-8 bytes) and Qt text.
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);

// Fonts as the settings keep them and as Qt draws them. Qt has no character set, so a
// font coming back from Qt carries the platform default.
QFont ToQFont(const TFontSpec& spec);
TFontSpec FromQFont(const QFont& font);

} // namespace tabulonix
