#pragma once
#include "platform/Colors.h"

#include <string>
#include <vector>

namespace tabulonix {

struct ColorName {
    TColor value;
    const char* name;
};

// Every named colour: the fixed colours, the system colours and clNone/clDefault.
const std::vector<ColorName>& ColorNameTable();

// The name of a colour value, when it has one.
bool ColorToIdent(TColor color, std::string& name);
// The value of a colour name (letter case ignored).
bool IdentToColor(const std::string& name, TColor& color);

// The name, or "$" and eight upper-case hexadecimal digits.
std::string ColorToString(TColor color);
// A colour name or integer text; anything else throws EConvertError with
// "'<text>' is not a valid integer value".
TColor StringToColor(const std::string& text);

} // namespace tabulonix
