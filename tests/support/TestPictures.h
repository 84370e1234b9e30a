#pragma once
// Pictures and screen set-ups shared by the codec and engine tests (header only: the suites
// that use it link the codecs themselves).
#include "codecs/surface/Bitmap.h"

namespace tabulonix::test {

// Limits with the reference screen of the metafile sizing example (320 mm over 1280 px,
// 240 mm over 960 px).
inline DecodeLimits ExampleScreen()
{
    DecodeLimits limits;
    limits.screen.widthPixels = 1280;
    limits.screen.heightPixels = 960;
    limits.screen.widthMillimetres = 320;
    limits.screen.heightMillimetres = 240;
    return limits;
}

// A true-colour picture of one colour.
inline TBitmap Filled(int w, int h, TColor color)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, color);
    return b;
}

// A true-colour picture whose neighbouring pixels all differ.
inline TBitmap Pattern(int w, int h)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       RGBColor(uint8_t(x * 37 + y), uint8_t(y * 53 + 7), uint8_t((x ^ y) * 11)));
    return b;
}

} // namespace tabulonix::test
