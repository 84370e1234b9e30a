#include "codecs/formats/Sgi.h"

#include "codecs/compression/RunLength.h"

namespace tabulonix {

namespace {

const char* const kSGI = "sgi, bw or rgb(a)";
constexpr size_t kHeaderSize = 512;

} // namespace

bool TSGIGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    ByteReader r = Reader(data, kSGI);
    if (data.size() < 2 || GetU16BE(data.data()) != 474)
        return false;
    r.Skip(2);
    uint8_t storage = r.U8();
    uint8_t bytesPerSample = r.U8();
    uint16_t dimension = r.U16BE();
    int width = r.U16BE(), height = r.U16BE(), channels = r.U16BE();
    r.Seek(kHeaderSize); // the whole header must be there
    if (bytesPerSample != 1 && bytesPerSample != 2)
        return false;
    if (dimension == 1) {
        height = 1;
        channels = 1;
    } else if (dimension == 2) {
        channels = 1;
    }
    TImageProperties& p = Properties();
    p.width = width;
    p.height = height;
    p.samplesPerPixel = channels;
    p.bitsPerSample = 8 * bytesPerSample;
    p.bitsPerPixel = p.bitsPerSample * channels;
    p.compression = storage == 1 ? ctRLE : ctNone;
    p.options |= ioBigEndian;
    switch (channels) {
    case 1:
        p.colorScheme = csG;
        break;
    case 2:
        p.colorScheme = csGA;
        break; // the alpha is dropped with the indexed target
    case 3:
        p.colorScheme = csRGB;
        break;
    case 4:
        p.colorScheme = csRGBA;
        break;
    default:
        p.colorScheme = csUnknown;
        break;
    }
    return true;
}

void TSGIGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kSGI);
    const TImageProperties& p = Properties();
    if (p.colorScheme == csUnknown)
        Fail(kInvalidColorFormat, kSGI);
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kSGI);

    const int width = p.width, height = p.height, channels = p.samplesPerPixel;
    const size_t bps = static_cast<size_t>(p.bitsPerSample / 8);
    const size_t lineBytes = static_cast<size_t>(width) * bps;
    const size_t rowCount = static_cast<size_t>(height) * channels;
    std::vector<uint8_t> planes(lineBytes * channels);
    std::vector<const uint8_t*> sources;
    for (int c = 0; c < channels; ++c)
        sources.push_back(planes.data() + lineBytes * c);

    std::vector<uint32_t> starts, lengths;
    if (p.compression == ctRLE) {
        // Row start and row length tables, channels x height entries each.
        ByteReader r = Reader(data, kSGI);
        r.Seek(kHeaderSize);
        if (!r.Has(rowCount * 8))
            Fail(kStreamReadError, kSGI);
        starts.resize(rowCount);
        lengths.resize(rowCount);
        for (auto& s : starts)
            s = r.U32BE();
        for (auto& l : lengths)
            l = r.U32BE();
    }
    for (int y = 0; y < height; ++y) {
        for (int c = 0; c < channels; ++c) {
            uint8_t* plane = planes.data() + lineBytes * c;
            size_t index = static_cast<size_t>(c) * height + y;
            if (p.compression == ctRLE) {
                uint64_t start = starts[index], length = lengths[index];
                if (start > data.size() || length > data.size() - start)
                    Fail(kStreamReadError, kSGI);
                std::fill(plane, plane + lineBytes, 0);
                DecodeSGIRLE(data.data() + start, length, plane, lineBytes, static_cast<int>(bps));
            } else {
                uint64_t start = kHeaderSize + index * lineBytes;
                if (start > data.size() || lineBytes > data.size() - start)
                    Fail(kStreamReadError, kSGI);
                std::copy_n(data.data() + start, lineBytes, plane);
            }
        }
        // Rows are stored bottom-up.
        ColorManager().TranslateRow(sources, width, Row(height - 1 - y));
    }
    FinishLoad();
}

} // namespace tabulonix
