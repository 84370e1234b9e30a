#include "platform/Colors.h"

namespace tabulonix {

TColor GetSysColor(int index)
{
    // The classic Windows scheme (0x00BBGGRR).
    static const TColor scheme[31] = {
        0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
        0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
        0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
        0xE1FFFF, 0xB5B5B5, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0,
    };
    if (index < 0 || index > 30)
        return clBlack;
    return scheme[index];
}

TColor ColorToRGB(TColor color)
{
    if (color == clNone)
        return clBlack;
    if (color == clDefault)
        return clWhite;
    if ((static_cast<uint32_t>(color) & 0xFF000000u) == 0xFF000000u)
        return GetSysColor(static_cast<int>(static_cast<uint32_t>(color) & 0xFF));
    return static_cast<TColor>(static_cast<uint32_t>(color) & 0x00FFFFFFu);
}

} // namespace tabulonix
