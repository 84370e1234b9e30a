// Reads arbitrary bytes as a BMP file, then draws and writes what was read.
#include "FuzzBudget.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TBitmap bitmap;
    bitmap.SetLimits(FuzzLimits());
    try {
        bitmap.ReadStream(in);
    } catch (const Exception&) {
        return 0;
    }
    TBitmap target;
    target.SetSize(16, 16);
    target.Canvas().DrawScaled(TRect{0, 0, 16, 16}, &bitmap);
    TMemoryStream out;
    bitmap.WriteStream(out);
    return 0;
}
