#include "settings/ColorNames.h"

#include "platform/Exception.h"
#include "platform/Files.h"
#include "settings/SettingsValues.h"

#include <cstdio>

namespace tabulonix {

const std::vector<ColorName>& ColorNameTable()
{
    static const std::vector<ColorName> table = {
        {clBlack, "clBlack"},
        {clMaroon, "clMaroon"},
        {clGreen, "clGreen"},
        {clOlive, "clOlive"},
        {clNavy, "clNavy"},
        {clPurple, "clPurple"},
        {clTeal, "clTeal"},
        {clGray, "clGray"},
        {clSilver, "clSilver"},
        {clRed, "clRed"},
        {clLime, "clLime"},
        {clYellow, "clYellow"},
        {clBlue, "clBlue"},
        {clFuchsia, "clFuchsia"},
        {clAqua, "clAqua"},
        {clWhite, "clWhite"},
        {clMoneyGreen, "clMoneyGreen"},
        {clSkyBlue, "clSkyBlue"},
        {clCream, "clCream"},
        {clMedGray, "clMedGray"},
        {SystemColor(COLOR_SCROLLBAR), "clScrollBar"},
        {SystemColor(COLOR_BACKGROUND), "clBackground"},
        {SystemColor(COLOR_ACTIVECAPTION), "clActiveCaption"},
        {SystemColor(COLOR_INACTIVECAPTION), "clInactiveCaption"},
        {SystemColor(COLOR_MENU), "clMenu"},
        {SystemColor(COLOR_WINDOW), "clWindow"},
        {SystemColor(COLOR_WINDOWFRAME), "clWindowFrame"},
        {SystemColor(COLOR_MENUTEXT), "clMenuText"},
        {SystemColor(COLOR_WINDOWTEXT), "clWindowText"},
        {SystemColor(COLOR_CAPTIONTEXT), "clCaptionText"},
        {SystemColor(COLOR_ACTIVEBORDER), "clActiveBorder"},
        {SystemColor(COLOR_INACTIVEBORDER), "clInactiveBorder"},
        {SystemColor(COLOR_APPWORKSPACE), "clAppWorkSpace"},
        {SystemColor(COLOR_HIGHLIGHT), "clHighlight"},
        {SystemColor(COLOR_HIGHLIGHTTEXT), "clHighlightText"},
        {SystemColor(COLOR_BTNFACE), "clBtnFace"},
        {SystemColor(COLOR_BTNSHADOW), "clBtnShadow"},
        {SystemColor(COLOR_GRAYTEXT), "clGrayText"},
        {SystemColor(COLOR_BTNTEXT), "clBtnText"},
        {SystemColor(COLOR_INACTIVECAPTIONTEXT), "clInactiveCaptionText"},
        {SystemColor(COLOR_BTNHIGHLIGHT), "clBtnHighlight"},
        {SystemColor(COLOR_3DDKSHADOW), "cl3DDkShadow"},
        {SystemColor(COLOR_3DLIGHT), "cl3DLight"},
        {SystemColor(COLOR_INFOTEXT), "clInfoText"},
        {SystemColor(COLOR_INFOBK), "clInfoBk"},
        {SystemColor(COLOR_HOTLIGHT), "clHotLight"},
        {SystemColor(COLOR_GRADIENTACTIVECAPTION), "clGradientActiveCaption"},
        {SystemColor(COLOR_GRADIENTINACTIVECAPTION), "clGradientInactiveCaption"},
        {SystemColor(COLOR_MENUHILIGHT), "clMenuHighlight"},
        {SystemColor(COLOR_MENUBAR), "clMenuBar"},
        {clNone, "clNone"},
        {clDefault, "clDefault"},
    };
    return table;
}

bool ColorToIdent(TColor color, std::string& name)
{
    for (const auto& entry : ColorNameTable())
        if (entry.value == color) {
            name = entry.name;
            return true;
        }
    return false;
}

bool IdentToColor(const std::string& name, TColor& color)
{
    for (const auto& entry : ColorNameTable())
        if (SameText(name, entry.name)) {
            color = entry.value;
            return true;
        }
    return false;
}

std::string ColorToString(TColor color)
{
    std::string name;
    if (ColorToIdent(color, name))
        return name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "$%08X",
                  static_cast<unsigned>(static_cast<uint32_t>(color)));
    return buffer;
}

TColor StringToColor(const std::string& text)
{
    TColor color;
    if (IdentToColor(text, color))
        return color;
    int value;
    if (TryStrToInt(text, value))
        return value;
    throw EConvertError(Format("'%s' is not a valid integer value", {text}));
}

} // namespace tabulonix
