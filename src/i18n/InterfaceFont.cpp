#include "i18n/InterfaceFont.h"

namespace tabulonix {

TFontSpec InterfaceFontFrom(const GeneralSettings& general)
{
    TFontSpec font;
    font.name = general.FontName;
    font.size = general.FontSize;
    font.bold = general.FontBold;
    font.italic = general.FontItalic;
    font.underline = general.FontUnderline;
    font.strikeOut = general.FontStrikeout;
    return font;
}

void StoreInterfaceFont(const TFontSpec& font, GeneralSettings& general)
{
    general.FontName = font.name;
    general.FontSize = font.size;
    general.FontBold = font.bold;
    general.FontItalic = font.italic;
    general.FontUnderline = font.underline;
    general.FontStrikeout = font.strikeOut;
}

std::string FontLabelText(const TFontSpec& font)
{
    std::string text = font.name + ", " + std::to_string(font.size) + "pt";
    if (font.bold)
        text += ", Bold";
    if (font.italic)
        text += ", Italic";
    if (font.underline)
        text += ", Underline";
    if (font.strikeOut)
        text += ", Strike out";
    return text;
}

const std::vector<LabelFontRule>& WizardLabelFontRules()
{
    static const std::vector<LabelFontRule> rules = {
        // The two layers of the welcome title keep their size and weight.
        {"Label1", LabelFontPart::FaceAndCharset},
        {"Label8", LabelFontPart::FaceAndCharset},
        {"Label5", LabelFontPart::FaceCharsetAndSize},
        {"Label6", LabelFontPart::FaceCharsetAndSize},
        {"Label31", LabelFontPart::FaceCharsetAndSize},
        {"HTMLFile", LabelFontPart::FaceCharsetAndSize},
        // The quality and compression descriptions.
        {"Label20", LabelFontPart::FaceCharsetStyleAndSize},
        {"Label32", LabelFontPart::FaceCharsetStyleAndSize},
    };
    return rules;
}

TFontSpec ApplyInterfaceFont(const TFontSpec& label, const TFontSpec& interfaceFont,
                             LabelFontPart part)
{
    TFontSpec font = label;
    font.name = interfaceFont.name;
    font.charset = interfaceFont.charset;
    if (part != LabelFontPart::FaceAndCharset)
        font.size = interfaceFont.size;
    if (part == LabelFontPart::FaceCharsetStyleAndSize) {
        font.bold = interfaceFont.bold;
        font.italic = interfaceFont.italic;
        font.underline = interfaceFont.underline;
        font.strikeOut = interfaceFont.strikeOut;
    }
    return font;
}

} // namespace tabulonix
