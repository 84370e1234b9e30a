// Reads arbitrary bytes as an Autodesk CEL or PIC file, then draws what was read.
#include "codecs/formats/Cel.h"
#include "FuzzBudget.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TAutodeskGraphic picture;
    picture.SetLimits(FuzzLimits());
    try {
        picture.ReadStream(in);
    } catch (const Exception&) {
        return 0;
    }
    TBitmap target;
    target.SetSize(16, 16);
    target.Canvas().DrawScaled(TRect{0, 0, 16, 16}, &picture);
    return 0;
}
