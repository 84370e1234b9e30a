#include "codecs/formats/Pnm.h"

#include <algorithm>

namespace tabulonix {

namespace {

const char* const kPNM = "PBM, PGM or PPM";

// The text header: numbers separated by white space, "#" comments to the end of the line.
struct HeaderScanner {
    const std::vector<uint8_t>& data;
    size_t pos;

    static bool Space(uint8_t c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    }
    void SkipSpaceAndComments()
    {
        while (pos < data.size()) {
            if (data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n' && data[pos] != '\r')
                    ++pos;
            } else if (Space(data[pos])) {
                ++pos;
            } else {
                break;
            }
        }
    }
    // A decimal number; false when there is none or it exceeds `limit`.
    bool Number(uint64_t limit, uint64_t& value)
    {
        SkipSpaceAndComments();
        if (pos >= data.size() || data[pos] < '0' || data[pos] > '9')
            return false;
        value = 0;
        while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9') {
            value = value * 10 + (data[pos] - '0');
            if (value > limit)
                return false;
            ++pos;
        }
        return true;
    }
};

struct PnmHeader {
    int kind = 0; // 1..6
    uint64_t width = 0, height = 0, maxValue = 1;
    size_t dataStart = 0;
};

bool ParseHeader(const std::vector<uint8_t>& data, PnmHeader& h)
{
    if (data.size() < 2 || data[0] != 'P' || data[1] < '1' || data[1] > '6')
        return false;
    h.kind = data[1] - '0';
    HeaderScanner s{data, 2};
    if (!s.Number(INT32_MAX, h.width) || !s.Number(INT32_MAX, h.height))
        return false;
    if (h.kind != 1 && h.kind != 4) {
        if (!s.Number(65535, h.maxValue) || h.maxValue == 0)
            return false;
    }
    // One white-space byte separates the header from binary data; a comment may come
    // first and then ends with its line.
    if (s.pos < data.size() && data[s.pos] == '#') {
        while (s.pos < data.size() && data[s.pos] != '\n' && data[s.pos] != '\r')
            ++s.pos;
    }
    if (s.pos < data.size() && HeaderScanner::Space(data[s.pos]))
        ++s.pos;
    else if (h.kind >= 4)
        return false;
    h.dataStart = s.pos;
    return true;
}

} // namespace

bool TPPMGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    PnmHeader h;
    if (!ParseHeader(data, h) || h.width == 0 || h.height == 0)
        return false;
    TImageProperties& p = Properties();
    p.version = h.kind;
    p.width = static_cast<int>(h.width);
    p.height = static_cast<int>(h.height);
    p.compression = ctNone;
    switch (h.kind) {
    case 1:
    case 4:
        p.colorScheme = csG;
        p.bitsPerSample = 1;
        p.samplesPerPixel = 1;
        p.options |= ioMinIsWhite; // 1 is black
        break;
    case 2:
    case 5:
        p.colorScheme = csG;
        p.samplesPerPixel = 1;
        break;
    default:
        p.colorScheme = csRGB;
        p.samplesPerPixel = 3;
        break;
    }
    if (h.kind != 1 && h.kind != 4) {
        // Samples are taken as they are stored, without scaling by the maximum value;
        // a maximum above 255 means two-byte samples.
        p.bitsPerSample = h.maxValue > 255 ? 16 : 8;
        if (p.bitsPerSample == 16)
            p.options |= ioBigEndian;
    }
    p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;
    return true;
}

void TPPMGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kPNM);
    PnmHeader h;
    ParseHeader(data, h);
    const TImageProperties& p = Properties();
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kPNM);

    const int width = p.width, height = p.height;
    const int samples = p.samplesPerPixel;
    const size_t bytesPerSample = p.bitsPerSample == 16 ? 2 : 1;
    const size_t rowBytes = p.bitsPerSample == 1
                                ? (static_cast<size_t>(width) + 7) / 8
                                : static_cast<size_t>(width) * samples * bytesPerSample;
    std::vector<uint8_t> line(rowBytes);
    ByteReader r = Reader(data, kPNM);
    r.Seek(h.dataStart);
    HeaderScanner text{data, h.dataStart};
    for (int y = 0; y < height; ++y) {
        if (h.kind >= 4) {
            r.Copy(line.data(), rowBytes);
        } else {
            std::fill(line.begin(), line.end(), 0);
            const size_t count = static_cast<size_t>(width) * samples;
            for (size_t i = 0; i < count; ++i) {
                uint64_t v = 0;
                if (h.kind == 1) {
                    // Plain bitmaps may run their digits together.
                    text.SkipSpaceAndComments();
                    if (text.pos >= data.size() || (data[text.pos] != '0' && data[text.pos] != '1'))
                        Fail(kStreamReadError, kPNM);
                    if (data[text.pos++] == '1')
                        line[i >> 3] = static_cast<uint8_t>(line[i >> 3] | (0x80 >> (i & 7)));
                    continue;
                }
                if (!text.Number(65535, v))
                    Fail(kStreamReadError, kPNM);
                if (bytesPerSample == 2)
                    PutU16LE(line.data() + 2 * i,
                             static_cast<uint16_t>((v >> 8) | ((v & 0xFF) << 8)));
                else
                    line[i] = static_cast<uint8_t>(std::min<uint64_t>(v, 255));
            }
        }
        ColorManager().TranslateRow(line.data(), width, Row(y));
    }
    FinishLoad();
}

} // namespace tabulonix
