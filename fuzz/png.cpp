// Reads arbitrary bytes as a PNG file, then draws what was read and writes it again.
#include "codecs/formats/Png.h"
#include "FuzzBudget.h"
#include "codecs/formats/PngWriter.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TPNGGraphic picture;
    picture.SetLimits(FuzzLimits());
    try {
        picture.ReadStream(in);
    } catch (const Exception&) {
        return 0;
    }
    TBitmap target;
    target.SetSize(16, 16);
    target.Canvas().DrawScaled(TRect{0, 0, 16, 16}, &picture);
    TPNGWriter writer;
    writer.AssignFrom(picture);
    writer.SetDeflateLevel(1);
    TMemoryStream out;
    writer.WriteStream(out);
    return 0;
}
