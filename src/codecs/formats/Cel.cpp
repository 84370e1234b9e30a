#include "codecs/formats/Cel.h"

namespace tabulonix {

namespace {

const char* const kAutodesk = "Autodesk";
constexpr size_t kHeaderSize = 32;
constexpr size_t kPaletteSize = 768;

} // namespace

bool TAutodeskGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.size() < kHeaderSize || GetU16LE(&data[0]) != 0x9119)
        return false;
    TImageProperties& p = Properties();
    p.width = GetU16LE(&data[2]);
    p.height = GetU16LE(&data[4]);
    p.colorScheme = csIndexed;
    p.bitsPerSample = 8;
    p.samplesPerPixel = 1;
    p.bitsPerPixel = 8;
    p.compression = ctNone;
    return true;
}

void TAutodeskGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kAutodesk);
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kAutodesk);
    ByteReader r = Reader(data, kAutodesk);
    r.Seek(kHeaderSize);
    // 256 entries of 6-bit red, green and blue.
    const uint8_t* raw = r.Bytes(kPaletteSize);
    TPalette palette(256);
    for (size_t i = 0; i < 256; ++i)
        palette[i] = RGBQuad{static_cast<uint8_t>((raw[3 * i + 2] & 63) * 4),
                             static_cast<uint8_t>((raw[3 * i + 1] & 63) * 4),
                             static_cast<uint8_t>((raw[3 * i] & 63) * 4), 0};
    SetPalette(palette);
    const int width = Properties().width;
    for (int y = 0; y < Properties().height; ++y)
        r.Copy(Row(y), static_cast<size_t>(width));
    FinishLoad();
}

} // namespace tabulonix
