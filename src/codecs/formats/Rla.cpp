#include "codecs/formats/Rla.h"

#include "codecs/compression/RunLength.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tabulonix {

namespace {

const char* const kRLA = "RLA";
constexpr size_t kHeaderSize = 740;

std::string Field(const std::vector<uint8_t>& data, size_t offset, size_t size)
{
    std::string s(reinterpret_cast<const char*>(data.data() + offset), size);
    return s.substr(0, s.find('\0'));
}

struct RlaLayout {
    int colorChannels = 0, matteChannels = 0, auxChannels = 0;
    int colorBits = 8, matteBits = 8, auxBits = 8;
};

RlaLayout Layout(const std::vector<uint8_t>& data)
{
    const uint8_t* h = data.data();
    RlaLayout l;
    l.colorChannels = static_cast<int16_t>(GetU16BE(h + 20));
    l.matteChannels = static_cast<int16_t>(GetU16BE(h + 22));
    l.auxChannels = static_cast<int16_t>(GetU16BE(h + 24));
    l.colorBits = static_cast<int16_t>(GetU16BE(h + 658));
    l.matteBits = static_cast<int16_t>(GetU16BE(h + 662));
    l.auxBits = static_cast<int16_t>(GetU16BE(h + 666));
    return l;
}

} // namespace

bool TRLAGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.size() < kHeaderSize || GetU16BE(data.data() + 26) != 0xFFFE)
        return false;
    const uint8_t* h = data.data();
    // The active window gives the picture.
    int left = static_cast<int16_t>(GetU16BE(h + 8)),
        right = static_cast<int16_t>(GetU16BE(h + 10));
    int bottom = static_cast<int16_t>(GetU16BE(h + 12)),
        top = static_cast<int16_t>(GetU16BE(h + 14));
    TImageProperties& p = Properties();
    p.width = right - left + 1;
    p.height = std::abs(top - bottom) + 1;
    p.bottomUp = bottom < top;
    p.compression = ctRLE;
    p.options |= ioBigEndian;
    RlaLayout l = Layout(data);
    p.bitsPerSample = l.colorBits;
    std::string name = LowerCase(Field(data, 580, 32));
    if (name == "xyz")
        return false;
    bool alpha = l.matteChannels == 1 && l.matteBits == l.colorBits;
    if (name == "rgb" && l.colorChannels == 3) {
        p.colorScheme = alpha ? csRGBA : csRGB;
        p.samplesPerPixel = alpha ? 4 : 3;
    } else {
        p.colorScheme = csUnknown; // the converter refuses it
        p.samplesPerPixel = std::clamp(l.colorChannels, 0, 4);
    }
    p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;
    double gamma = std::atof(Field(data, 28, 16).c_str());
    if (gamma > 0 && gamma != 1.0) {
        p.fileGamma = gamma;
        p.options |= ioUseGamma;
    }
    return true;
}

void TRLAGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    if (!ReadImageProperties(data, 0)) {
        FinishLoad(); // not an RLA picture of ours: it stays empty
        return;
    }
    const TImageProperties& p = Properties();
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kRLA);

    const int width = p.width, height = p.height;
    const int samples = p.samplesPerPixel;
    const size_t bps = p.bitsPerSample > 8 ? 2 : 1;
    const size_t lineBytes = static_cast<size_t>(width) * bps;
    std::vector<uint8_t> packed(lineBytes), planes(lineBytes * samples);
    std::vector<const uint8_t*> sources;
    for (int c = 0; c < samples; ++c)
        sources.push_back(planes.data() + lineBytes * c);

    ByteReader table = Reader(data, kRLA);
    table.Seek(kHeaderSize);
    if (!table.Has(static_cast<size_t>(height) * 4))
        Fail(kStreamReadError, kRLA);
    for (int y = 0; y < height; ++y) {
        uint32_t offset = table.U32BE();
        ByteReader r = Reader(data, kRLA);
        r.Seek(offset);
        std::fill(planes.begin(), planes.end(), 0);
        for (int c = 0; c < samples; ++c) {
            uint16_t length = r.U16BE();
            const uint8_t* src = r.Bytes(length);
            std::fill(packed.begin(), packed.end(), 0);
            DecodeRLARLE(src, length, packed.data(), lineBytes);
            uint8_t* plane = planes.data() + lineBytes * c;
            if (bps == 2) {
                // Two-byte samples are stored as all high bytes of the row, then all
                // low bytes; the converter wants them big-endian side by side.
                for (int x = 0; x < width; ++x) {
                    plane[2 * x] = packed[static_cast<size_t>(x)];
                    plane[2 * x + 1] = packed[static_cast<size_t>(width) + x];
                }
            } else {
                std::copy(packed.begin(), packed.end(), plane);
            }
        }
        ColorManager().TranslateRow(sources, width, Row(p.bottomUp ? height - 1 - y : y));
    }
    FinishLoad();
}

} // namespace tabulonix
