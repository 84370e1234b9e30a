// Reads arbitrary bytes as a JPEG file, decodes the pixels, draws them and encodes again.
#include "codecs/formats/Jpeg.h"
#include "FuzzBudget.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TJPEGImage jpeg;
    jpeg.SetLimits(FuzzLimits());
    try {
        jpeg.ReadStream(in);
        jpeg.DIBNeeded();
    } catch (const Exception&) {
        return 0;
    }
    TBitmap target;
    target.SetSize(16, 16);
    target.Canvas().DrawScaled(TRect{0, 0, 16, 16}, &jpeg);
    if (jpeg.Bitmap() && jpeg.Width() <= 64 && jpeg.Height() <= 64) {
        TJPEGImage again;
        again.AssignFrom(*jpeg.Bitmap());
        TMemoryStream out;
        again.WriteStream(out);
    }
    return 0;
}
