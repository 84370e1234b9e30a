// Reads arbitrary bytes as a GIF file, paints the first frame scaled and writes the picture
// back.
#include "FuzzBudget.h"
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Large animations take seconds each under the sanitizers; the conformance tests read
    // them once.
    if (size > (128u << 10))
        return 0;
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TGIFImage gif;
    gif.SetLimits(FuzzLimits());
    try {
        gif.ReadStream(in);
    } catch (const Exception&) {
        return 0;
    }
    try {
        TBitmap target;
        target.SetSize(48, 48);
        target.Canvas().DrawScaled(TRect{0, 0, 48, 48}, &gif);
    } catch (const GIFException&) {
        // no colour table to paint with
    }
    // Writing back is checked on pictures of modest size, which keeps the replay quick.
    uint64_t pixels = 0;
    for (int i = 0; i < gif.Count(); ++i)
        pixels += gif.Image(i).data.size();
    if (pixels > (256u << 10))
        return 0;
    try {
        TMemoryStream out;
        gif.WriteStream(out);
        TGIFImage again;
        again.SetLimits(FuzzLimits());
        out.Seek(0);
        again.ReadStream(out);
    } catch (const GIFException&) {
        // indices beyond their colour table, or no image at all
    }
    return 0;
}
