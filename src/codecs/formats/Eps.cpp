#include "codecs/formats/Eps.h"

namespace tabulonix {

void TEPSGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    // 30-byte header: signature, PostScript, metafile and TIFF sections (offset, length).
    static const uint8_t kSignature[4] = {0xC5, 0xD0, 0xD3, 0xC6};
    if (data.size() < 30 || !std::equal(kSignature, kSignature + 4, data.begin()))
        Fail(kInvalidImageFormat, "EPS");
    uint32_t offset = GetU32LE(&data[20]), length = GetU32LE(&data[24]);
    if (length == 0 || offset > data.size() || length > data.size() - offset)
        Fail(kInvalidImageFormat, "EPS");
    LoadTIFF(std::vector<uint8_t>(data.begin() + offset, data.begin() + offset + length));
}

} // namespace tabulonix
