#include "codecs/formats/Cut.h"

#include "codecs/compression/RunLength.h"
#include "platform/Files.h"

namespace tabulonix {

namespace {

const char* const kCUT = "CUT";
constexpr size_t kPaletteBlock = 512;

} // namespace

void TCUTGraphic::ReadFile(const std::string& path)
{
    path_ = path;
    TReaderGraphic::ReadFile(path);
}

bool TCUTGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.size() < 6)
        return false;
    TImageProperties& p = Properties();
    p.width = GetU16LE(&data[0]);
    p.height = GetU16LE(&data[2]);
    p.colorScheme = csIndexed;
    p.bitsPerSample = 8;
    p.samplesPerPixel = 1;
    p.bitsPerPixel = 8;
    p.compression = ctRLE;
    return p.width > 0 && p.height > 0;
}

TPalette TCUTGraphic::ReadPaletteFile(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 40)
        throw EInvalidGraphic(FormatError(kInvalidPalette, kCUT));
    size_t count = std::min<size_t>(GetU16LE(&bytes[12]) + 1u, 256);
    TPalette palette;
    size_t pos = 40;
    for (size_t i = 0; i < count; ++i) {
        if (pos % kPaletteBlock + 6 > kPaletteBlock)
            pos = (pos / kPaletteBlock + 1) * kPaletteBlock; // entries do not cross blocks
        if (pos + 6 > bytes.size())
            throw EInvalidGraphic(FormatError(kInvalidPalette, kCUT));
        const uint8_t* e = &bytes[pos];
        palette.push_back(RGBQuad{e[4], e[2], e[0], 0}); // red, green, blue words: low bytes
        pos += 6;
    }
    return palette;
}

void TCUTGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kCUT);
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kCUT);

    // The palette file beside the picture, if there is one.
    std::optional<TPalette> palette;
    if (!path_.empty()) {
        size_t slash = path_.rfind('/'), dot = path_.rfind('.');
        std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                               ? path_.substr(0, dot)
                               : path_;
        for (const char* ext : {".pal", ".PAL", ".Pal"}) {
            std::string candidate = base + ext;
            if (FileExists(candidate)) {
                TFileStream file(candidate, TFileStream::OpenRead);
                palette = ReadPaletteFile(file.ReadRemaining());
                break;
            }
        }
    }
    if (!palette)
        palette = ColorManager().MakeGreyPalette(false);
    SetPalette(palette);

    const int width = Properties().width, height = Properties().height;
    size_t pos = 6;
    for (int y = 0; y < height && pos < data.size(); ++y) {
        TDecodeResult r =
            DecodeCUTRow(data.data() + pos, data.size() - pos, Row(y), static_cast<size_t>(width));
        pos += r.consumed;
    }
    FinishLoad();
}

} // namespace tabulonix
