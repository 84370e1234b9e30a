// Reads arbitrary bytes as a metafile, plays it into a small surface and writes it back in
// both forms when it is small enough to convert quickly.
#include "codecs/metafile/Metafile.h"
#include "FuzzBudget.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

using namespace tabulonix;

namespace {

DecodeLimits MetafileLimits()
{
    DecodeLimits limits = FuzzLimits();
    limits.metafileWork = 4'000'000;
    return limits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream in(std::vector<uint8_t>(data, data + size));
    TMetafile metafile;
    metafile.SetLimits(MetafileLimits());
    try {
        metafile.ReadStream(in);
    } catch (const Exception&) {
        return 0;
    }
    TBitmap target;
    target.SetSize(32, 24);
    target.Canvas().DrawScaled(TRect{0, 0, 32, 24}, &metafile);
    target.Canvas().DrawScaled(TRect{30, 20, -5, -3}, &metafile);
    int64_t w = metafile.Width(), h = metafile.Height();
    if (w > 0 && h > 0 && w * h <= 128 * 128) {
        try {
            std::vector<uint8_t> windows = metafile.WindowsBytes();
            std::vector<uint8_t> enhanced = metafile.EnhancedBytes();
            TMetafile back;
            back.SetLimits(MetafileLimits());
            TMemoryStream again(windows);
            back.ReadStream(again);
        } catch (const Exception&) {
        }
    }
    return 0;
}
