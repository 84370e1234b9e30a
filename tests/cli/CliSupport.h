#pragma once
#include "TestSupport.h"
#include "codecs/surface/Bitmap.h"

#include <algorithm>
#include <string>

namespace tabulonix::test {

inline std::string Tool()
{
    return ShellQuote(BinDir() + "tabulonix-batch");
}

inline CommandResult Batch(const std::string& args)
{
    return RunCommand(Tool() + " " + args);
}

// A picture whose pixels tell their position: red the column, green the row.
inline void MakeBmp(const std::string& path, int w, int h)
{
    TBitmap b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, RGBColor(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 200));
    b.WriteFile(path);
}

inline size_t Lines(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace tabulonix::test
