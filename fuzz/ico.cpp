// Reads arbitrary bytes as an icon file and draws the chosen entry.
#include "FuzzBudget.h"
#include "codecs/formats/Icon.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TIcon icon;
    icon.SetLimits(FuzzLimits());
    try {
        icon.ReadStream(in);
        TBitmap target;
        target.SetSize(40, 40);
        target.Canvas().DrawAt(0, 0, &icon);
    } catch (const Exception&) {
    }
    return 0;
}
