#include "codecs/formats/Pcx.h"

#include "codecs/compression/RunLength.h"
#include "codecs/core/DecodeLimits.h"

#include <algorithm>

namespace tabulonix {

namespace {

const char* const kPCX = "PCX";
constexpr size_t kHeaderSize = 128;
constexpr size_t kEndPaletteSize = 769; // the marker 12 and 256 triples

struct PcxHeader {
    uint8_t maker, version, encoding, bits;
    uint8_t planes;
    uint16_t bytesPerLine, paletteKind;
    const uint8_t* palette16;
};

PcxHeader ParseHeader(const std::vector<uint8_t>& data)
{
    ByteReader r(data.data(), data.size(), FormatError(kStreamReadError, kPCX));
    r.Seek(0);
    PcxHeader h{};
    const uint8_t* p = r.Bytes(kHeaderSize);
    h.maker = p[0];
    h.version = p[1];
    h.encoding = p[2];
    h.bits = p[3];
    h.palette16 = p + 16;
    h.planes = p[65];
    h.bytesPerLine = GetU16LE(p + 66);
    h.paletteKind = GetU16LE(p + 68);
    return h;
}

TPalette GreyRamp(int entries)
{
    TPalette palette(static_cast<size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        auto v = static_cast<uint8_t>(i * (255 / (entries - 1)));
        palette[static_cast<size_t>(i)] = RGBQuad{v, v, v, 0};
    }
    return palette;
}

TPalette FromTriples(const uint8_t* p, int count)
{
    TPalette palette(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        palette[static_cast<size_t>(i)] = RGBQuad{p[3 * i + 2], p[3 * i + 1], p[3 * i], 0};
    return palette;
}

} // namespace

bool TPCXGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.empty() || (data[0] != 10 && data[0] != 205))
        return false;
    PcxHeader h = ParseHeader(data);
    const uint8_t* p = data.data();
    TImageProperties& props = Properties();
    props.version = h.version;
    props.width = GetU16LE(p + 8) - GetU16LE(p + 4) + 1;
    props.height = GetU16LE(p + 10) - GetU16LE(p + 6) + 1;
    props.samplesPerPixel = h.planes;
    props.bitsPerSample = h.bits;
    props.bitsPerPixel = h.planes * h.bits;
    props.colorScheme = props.bitsPerPixel > 8 ? csRGB : csIndexed;
    props.compression = h.encoding == 1 ? ctRLE : ctNone;
    props.xResolution = GetU16LE(p + 12);
    props.yResolution = GetU16LE(p + 14);
    return true;
}

void TPCXGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    if (!ReadImageProperties(data, 0)) {
        FinishLoad(); // not a PCX file: the picture stays empty
        return;
    }
    const TImageProperties& props = Properties();
    PcxHeader h = ParseHeader(data);
    const int width = props.width, height = props.height;
    const int planes = h.planes, bits = h.bits;
    if (planes < 1 || width <= 0 || height <= 0)
        Fail(kInvalidImageFormat, kPCX);

    // The layouts this reader decodes: one plane of 1, 2, 4 or 8 bits; up to four planes
    // of one bit, combined into 4-bit pixels; three or four 8-bit colour planes.
    enum { Single, BitPlanes, ColorPlanes } layout;
    TPixelFormat format;
    if (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) {
        layout = Single;
        format = bits == 1 ? pf1bit : bits == 8 ? pf8bit : pf4bit; // 2 bits widened to 4
    } else if (bits == 1 && planes <= 4) {
        layout = BitPlanes;
        format = pf4bit;
    } else if (bits == 8 && (planes == 3 || planes == 4)) {
        layout = ColorPlanes;
        format = pf24bit;
    } else {
        Fail(kInvalidColorFormat, kPCX);
    }
    const size_t bytesPerLine = h.bytesPerLine;
    if (bytesPerLine * 8 < static_cast<size_t>(width) * bits)
        Fail(kInvalidImageFormat, kPCX);
    const size_t rowSize = bytesPerLine * static_cast<size_t>(planes);

    CreateImage(width, height, format, kPCX);
    // The decoded rows may be far wider than the pixels they hold.
    CheckBufferBudget(Limits(), rowSize, width, height);

    // Palette.
    if (format != pf24bit) {
        int pictureBits = layout == Single ? bits : 4;
        if (h.version == 3 && props.bitsPerPixel > 1) {
            const auto& standard = StandardColors16();
            SetPalette(TPalette(standard.begin(), standard.end()));
        } else if (pictureBits == 1) {
            SetPalette(TPalette{RGBQuad{0, 0, 0, 0}, RGBQuad{255, 255, 255, 0}});
        } else if (pictureBits == 2 || pictureBits == 4) {
            SetPalette(h.paletteKind == 2 ? GreyRamp(16) : FromTriples(h.palette16, 16));
        } else if (data.size() >= kHeaderSize + kEndPaletteSize &&
                   data[data.size() - kEndPaletteSize] == 12) {
            SetPalette(FromTriples(data.data() + data.size() - kEndPaletteSize + 1, 256));
        } else {
            // The file has no colour table: grey rather than an all-black picture.
            SetPalette(GreyRamp(256));
        }
    }

    // Pixel data: everything after the header, less the final palette of 8-bit pictures.
    size_t end = data.size();
    if (layout == Single && bits == 8)
        end = end >= kHeaderSize + kEndPaletteSize ? end - kEndPaletteSize : kHeaderSize;
    const uint8_t* src = data.data() + kHeaderSize;
    size_t srcSize = end > kHeaderSize ? end - kHeaderSize : 0;

    // Decoded in one piece; rows the data does not reach stay zero. The buffer holds only
    // the rows the data can reach (a run of two bytes gives at most 63), so a short file
    // with a huge header costs no more than its data.
    const size_t reach = props.compression == ctRLE ? (srcSize / 2 + 1) * 63 : srcSize;
    const size_t reachedRows = std::min<size_t>(reach / rowSize + 1, static_cast<size_t>(height));
    std::vector<uint8_t> pixels(rowSize * reachedRows, 0);
    if (props.compression == ctRLE)
        DecodePCXRLE(src, srcSize, pixels.data(), pixels.size());
    else
        std::copy_n(src, std::min(srcSize, pixels.size()), pixels.begin());
    const std::vector<uint8_t> zeroLine(rowSize, 0);

    TColorManager& cm = ColorManager();
    if (layout == Single) {
        cm.SetSourceColorScheme(csIndexed);
        cm.SetTargetColorScheme(csIndexed);
        cm.SetSourceSamplesPerPixel(1);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetSourceBitsPerSample(bits == 2 ? 8 : bits);
        cm.SetTargetBitsPerSample(bits == 2 ? 8 : bits);
    }
    std::vector<uint8_t> widened(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uint8_t* line = static_cast<size_t>(y) < reachedRows
                                  ? pixels.data() + rowSize * static_cast<size_t>(y)
                                  : zeroLine.data();
        uint8_t* out = Row(y);
        switch (layout) {
        case Single:
            if (bits == 2) {
                // Indices keep their values: 2-bit pixels become the low bits of 4-bit ones.
                for (int x = 0; x < width; ++x) {
                    uint8_t v = (line[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                    if (x & 1)
                        out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | v);
                    else
                        out[x >> 1] = static_cast<uint8_t>(v << 4);
                }
            } else {
                cm.TranslateRow(line, width, out);
            }
            break;
        case BitPlanes:
            for (int x = 0; x < width; ++x) {
                unsigned v = 0;
                for (int k = 0; k < planes; ++k)
                    if (line[bytesPerLine * static_cast<size_t>(k) + (x >> 3)] & (0x80 >> (x & 7)))
                        v |= 1u << k;
                if (x & 1)
                    out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | v);
                else
                    out[x >> 1] = static_cast<uint8_t>(v << 4);
            }
            break;
        case ColorPlanes:
            for (int x = 0; x < width; ++x) {
                out[3 * x] = line[2 * bytesPerLine + x];
                out[3 * x + 1] = line[bytesPerLine + x];
                out[3 * x + 2] = line[x];
            }
            break;
        }
    }
    FinishLoad();
}

} // namespace tabulonix
