#pragma once
// Pictures and screen set-ups shared by the codec and engine tests (header only: the suites
// that use it link the codecs themselves).
#include "codecs/surface/Bitmap.h"
#include "platform/ScreenMetrics.h"

namespace tabulonix::test {

// The reference screen of the metafile sizing example (320 mm over 1280 px, 240 mm over
// 960 px) for the scope of the object.
struct ExampleScreen {
    ExampleScreen()
    {
        ScreenMetrics m;
        m.widthPixels = 1280;
        m.heightPixels = 960;
        m.widthMillimetres = 320;
        m.heightMillimetres = 240;
        SetScreenMetrics(m);
    }
    ~ExampleScreen() { ResetScreenMetrics(); }
    ExampleScreen(const ExampleScreen&) = delete;
    ExampleScreen& operator=(const ExampleScreen&) = delete;
};

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
