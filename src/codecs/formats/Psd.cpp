#include "codecs/formats/Psd.h"

#include "codecs/compression/RunLength.h"

#include <algorithm>

namespace tabulonix {

namespace {

const char* const kPSD = "PSD or PDD";
constexpr int kMaxChannels = 56;

enum PsdMode {
    pmBitmap = 0,
    pmGrey = 1,
    pmIndexed = 2,
    pmRGB = 3,
    pmCMYK = 4,
    pmMultichannel = 7,
    pmDuotone = 8,
    pmLab = 9
};

struct PsdLayout {
    int channels = 0;
    int mode = 0;
    int depth = 0;
    size_t colorData = 0, colorDataSize = 0;
    size_t imageData = 0; // the compression word of the merged image
};

PsdLayout ParseLayout(const std::vector<uint8_t>& data)
{
    ByteReader r(data.data(), data.size(), FormatError(kStreamReadError, kPSD));
    PsdLayout l;
    r.Seek(12);
    l.channels = r.U16BE();
    r.Skip(8);
    l.depth = r.U16BE();
    l.mode = r.U16BE();
    uint32_t colorSize = r.U32BE();
    l.colorData = r.Position();
    l.colorDataSize = colorSize;
    r.Skip(colorSize);
    r.Skip(r.U32BE()); // image resources
    r.Skip(r.U32BE()); // layer and mask data
    l.imageData = r.Position();
    return l;
}

} // namespace

bool TPSDGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.size() < 26 || std::string(data.begin(), data.begin() + 4) != "8BPS" ||
        GetU16BE(&data[4]) != 1)
        return false;
    TImageProperties& p = Properties();
    const uint8_t* h = data.data();
    int channels = GetU16BE(h + 12);
    uint32_t height = GetU32BE(h + 14), width = GetU32BE(h + 18);
    if (width > INT32_MAX || height > INT32_MAX)
        return false;
    // The format allows 1 to 56 channels; the depth is checked by the pixel converter.
    if (channels < 1 || channels > kMaxChannels)
        return false;
    p.version = 1;
    p.height = static_cast<int>(height);
    p.width = static_cast<int>(width);
    p.bitsPerSample = GetU16BE(h + 22);
    p.options |= ioBigEndian;
    int mode = GetU16BE(h + 24);
    switch (mode) {
    case pmBitmap:
        p.colorScheme = csG;
        p.options |= ioMinIsWhite;
        p.samplesPerPixel = 1;
        break;
    case pmGrey:
    case pmDuotone:
        p.colorScheme = csG;
        p.samplesPerPixel = 1;
        break;
    case pmIndexed:
        p.colorScheme = csIndexed;
        p.samplesPerPixel = 1;
        break;
    case pmRGB:
    case pmMultichannel:
        if (channels >= 4) {
            p.colorScheme = csRGBA;
            p.samplesPerPixel = 4;
        } else {
            p.colorScheme = csRGB;
            p.samplesPerPixel = channels;
        }
        break;
    case pmCMYK:
        p.colorScheme = csCMYK;
        p.samplesPerPixel = std::min(channels, 4);
        break;
    case pmLab:
        p.colorScheme = csCIELab;
        p.samplesPerPixel = std::min(channels, 3);
        break;
    default:
        p.colorScheme = csUnknown;
        p.samplesPerPixel = channels;
        break;
    }
    if (channels < p.samplesPerPixel)
        p.samplesPerPixel = channels;
    p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;
    return true;
}

void TPSDGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kPSD);
    PsdLayout layout = ParseLayout(data);
    const TImageProperties& p = Properties();
    if (p.colorScheme == csUnknown || p.samplesPerPixel < 1)
        Fail(kInvalidColorFormat, kPSD);
    TPixelFormat format = SetupColorManager();
    TColorManager& cm = ColorManager();
    if (p.colorScheme == csCIELab)
        cm.SetSourceOptions(cm.SourceOptions() | coLabByteRange | coLabChromaOffset);
    CreateImage(format, kPSD);
    if (p.colorScheme == csIndexed) {
        if (layout.colorDataSize < 768)
            Fail(kInvalidPalette, kPSD);
        const uint8_t* c = data.data() + layout.colorData;
        SetPalette(cm.MakePaletteFromTable({c, c + 256, c + 512}, pfPlane8Triple, 256, false));
    }

    const int width = p.width, height = p.height;
    const int used = p.samplesPerPixel; // channels converted
    const int stored = layout.channels; // channels in the file
    const size_t lineBytes = (static_cast<size_t>(width) * p.bitsPerSample + 7) / 8;
    ByteReader r = Reader(data, kPSD);
    r.Seek(layout.imageData);
    int compression = r.U16BE();
    if (compression != 0 && compression != 1)
        Fail(kCompressionError, kPSD);

    // Where each (channel, row) starts; PackBits data has a table of row lengths first.
    const size_t rows = static_cast<size_t>(height) * stored;
    std::vector<uint16_t> lengths;
    if (compression == 1) {
        if (!r.Has(rows * 2))
            Fail(kStreamReadError, kPSD);
        lengths.resize(rows);
        for (auto& l : lengths)
            l = r.U16BE();
    }
    const size_t pixelStart = r.Position();
    // Only the channels that are used are decoded; their rows are found by walking the
    // lengths (PackBits) or by arithmetic (raw).
    std::vector<size_t> channelStart(static_cast<size_t>(used));
    {
        size_t offset = pixelStart;
        for (int c = 0; c < used; ++c) {
            channelStart[static_cast<size_t>(c)] = offset;
            if (compression == 1) {
                for (int y = 0; y < height; ++y)
                    offset += lengths[static_cast<size_t>(c) * height + y];
            } else {
                offset += lineBytes * static_cast<size_t>(height);
            }
        }
    }
    std::vector<size_t> cursor = channelStart;
    std::vector<uint8_t> planes(lineBytes * used);
    std::vector<const uint8_t*> sources;
    for (int c = 0; c < used; ++c)
        sources.push_back(planes.data() + lineBytes * c);
    for (int y = 0; y < height; ++y) {
        for (int c = 0; c < used; ++c) {
            uint8_t* plane = planes.data() + lineBytes * c;
            size_t& at = cursor[static_cast<size_t>(c)];
            size_t length =
                compression == 1 ? lengths[static_cast<size_t>(c) * height + y] : lineBytes;
            if (at > data.size() || length > data.size() - at)
                Fail(kStreamReadError, kPSD);
            if (compression == 1) {
                std::fill(plane, plane + lineBytes, 0);
                DecodePackBits(data.data() + at, length, plane, lineBytes);
            } else {
                std::copy_n(data.data() + at, lineBytes, plane);
            }
            at += length;
            if (p.colorScheme == csCMYK)
                for (size_t i = 0; i < lineBytes; ++i)
                    plane[i] = static_cast<uint8_t>(~plane[i]); // stored as 255 = no ink
        }
        cm.TranslateRow(sources, width, Row(y));
    }
    FinishLoad();
}

} // namespace tabulonix
