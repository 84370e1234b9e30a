#include "i18n/QtText.h"

#include <cmath>

namespace tabulonix {

QString ToQString(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text)
{
    return text.toUtf8().toStdString();
}

QFont ToQFont(const TFontSpec& spec)
{
    QFont font;
    if (!spec.name.empty())
        font.setFamily(ToQString(spec.name));
    // A size of 0 or less (a damaged settings file) keeps the platform's size.
    if (spec.size > 0)
        font.setPointSize(spec.size);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeOut);
    return font;
}

TFontSpec FromQFont(const QFont& font)
{
    TFontSpec spec;
    spec.name = FromQString(font.family());
    if (font.pointSizeF() > 0)
        spec.size = static_cast<int>(std::lround(font.pointSizeF()));
    else if (font.pixelSize() > 0)
        spec.size = static_cast<int>(std::lround(font.pixelSize() * 72.0 / 96.0));
    spec.bold = font.bold();
    spec.italic = font.italic();
    spec.underline = font.underline();
    spec.strikeOut = font.strikeOut();
    return spec;
}

} // namespace tabulonix
