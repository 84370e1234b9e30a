#include "codecs/formats/Tiff.h"

#include "codecs/compression/Ccitt.h"
#include "codecs/compression/Inflate.h"
#include "codecs/compression/LzwTable.h"
#include "codecs/compression/RunLength.h"
#include "codecs/compression/Thunderscan.h"
#include "codecs/compression/TiffJpeg.h"
#include "codecs/compression/TiffLzw.h"
#include "codecs/core/DecodeLimits.h"

#include <algorithm>
#include <set>

namespace tabulonix {

namespace {

const char* const kTIFF = "TIF/TIFF";

// Directory chains longer than this are taken as hostile.
constexpr int kMaxDirectories = 4096;

enum TiffTag : uint16_t {
    tgNewSubfileType = 254,
    tgWidth = 256,
    tgLength = 257,
    tgBitsPerSample = 258,
    tgCompression = 259,
    tgPhotometric = 262,
    tgFillOrder = 266,
    tgStripOffsets = 273,
    tgSamplesPerPixel = 277,
    tgRowsPerStrip = 278,
    tgStripByteCounts = 279,
    tgXResolution = 282,
    tgYResolution = 283,
    tgPlanarConfig = 284,
    tgResolutionUnit = 296,
    tgT4Options = 292,
    tgPredictor = 317,
    tgColorMap = 320,
    tgTileWidth = 322,
    tgTileLength = 323,
    tgTileOffsets = 324,
    tgExtraSamples = 338,
    tgJPEGTables = 347,
    tgYCbCrCoefficients = 529,
    tgYCbCrSubsampling = 530,
    tgYCbCrPositioning = 531,
};

uint8_t ReverseBits(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (b & (1 << i))
            r = static_cast<uint8_t>(r | (0x80 >> i));
    return r;
}

size_t TypeSize(uint16_t type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
    case 13:
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 0;
    }
}

} // namespace

// One image directory as far as the reader needs it.
struct TTIFFGraphic::Directory {
    bool bigEndian = false;
    uint32_t width = 0, length = 0;
    int bitsPerSample = 1, samplesPerPixel = 1;
    int compression = 1, photometric = -1, fillOrder = 1, planar = 1, predictor = 1;
    uint32_t t4Options = 0;
    uint32_t rowsPerStrip = UINT32_MAX;
    std::vector<uint32_t> stripOffsets, stripByteCounts;
    bool tiled = false;
    std::vector<uint16_t> colorMap;
    std::vector<uint8_t> jpegTables;
    std::vector<uint16_t> extraSamples;
    int subH = 2, subV = 2;
    double xResolution = 0, yResolution = 0;
    int resolutionUnit = 2;
    std::array<double, 3> coefficients{0.299, 0.587, 0.114};
};

namespace {

class TiffParser {
  public:
    TiffParser(const std::vector<uint8_t>& data, bool bigEndian)
        : data_(data), r_(data.data(), data.size(), FormatError(kStreamReadError, kTIFF)),
          be_(bigEndian)
    {
    }
    uint16_t U16() { return be_ ? r_.U16BE() : r_.U16LE(); }
    uint32_t U32() { return be_ ? r_.U32BE() : r_.U32LE(); }
    ByteReader& Reader() { return r_; }

    // The values of one entry, as unsigned numbers (rationals as numerator/denominator
    // pairs), read from the entry or from its offset.
    struct Entry {
        uint16_t tag, type;
        uint32_t count;
        size_t valueOffset; // where the value bytes start in the file
    };

    Entry ReadEntry()
    {
        Entry e{};
        e.tag = U16();
        e.type = U16();
        e.count = U32();
        size_t valuePos = r_.Position();
        uint64_t bytes = static_cast<uint64_t>(TypeSize(e.type)) * e.count;
        if (bytes > 4)
            e.valueOffset = U32();
        else {
            e.valueOffset = valuePos;
            r_.Skip(4);
        }
        return e;
    }

    bool Fits(const Entry& e) const
    {
        uint64_t bytes = static_cast<uint64_t>(TypeSize(e.type)) * e.count;
        return TypeSize(e.type) != 0 && e.valueOffset <= data_.size() &&
               bytes <= data_.size() - e.valueOffset;
    }

    uint64_t Value(const Entry& e, uint32_t index) const
    {
        const uint8_t* p = data_.data() + e.valueOffset + TypeSize(e.type) * index;
        switch (e.type) {
        case 1:
        case 2:
        case 6:
        case 7:
            return p[0];
        case 3:
        case 8:
            return be_ ? GetU16BE(p) : GetU16LE(p);
        case 4:
        case 9:
        case 13:
            return be_ ? GetU32BE(p) : GetU32LE(p);
        default:
            return 0;
        }
    }

    double Rational(const Entry& e, uint32_t index) const
    {
        if (e.type != 5 && e.type != 10)
            return static_cast<double>(Value(e, index));
        const uint8_t* p = data_.data() + e.valueOffset + 8 * index;
        uint32_t num = be_ ? GetU32BE(p) : GetU32LE(p),
                 den = be_ ? GetU32BE(p + 4) : GetU32LE(p + 4);
        if (e.type == 10)
            return den == 0
                       ? 0
                       : static_cast<double>(static_cast<int32_t>(num)) / static_cast<int32_t>(den);
        return den == 0 ? 0 : static_cast<double>(num) / den;
    }

  private:
    const std::vector<uint8_t>& data_;
    ByteReader r_;
    bool be_;
};

} // namespace

TTIFFGraphic::TTIFFGraphic() = default;
TTIFFGraphic::~TTIFFGraphic() = default;

bool TTIFFGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex)
{
    ResetProperties();
    directory_.reset();
    if (data.size() < 8)
        return false;
    bool be;
    if (data[0] == 'I' && data[1] == 'I')
        be = false;
    else if (data[0] == 'M' && data[1] == 'M')
        be = true;
    else
        return false;
    TiffParser parser(data, be);
    ByteReader& r = parser.Reader();
    r.Seek(2);
    if (parser.U16() != 42)
        return false;
    uint32_t first = parser.U32();
    Properties().firstIFD = first;

    // Walk the chain to the wanted directory; a loop or a directory outside the file ends it.
    uint32_t offset = first;
    std::set<uint32_t> seen;
    for (int i = 0; i < imageIndex; ++i) {
        if (offset == 0 || offset >= data.size() || !seen.insert(offset).second ||
            i >= kMaxDirectories)
            return false;
        r.Seek(offset);
        uint16_t count = parser.U16();
        r.Skip(static_cast<size_t>(count) * 12);
        offset = parser.U32();
    }
    if (offset == 0 || offset >= data.size())
        return false;
    r.Seek(offset);
    auto dir = std::make_unique<Directory>();
    dir->bigEndian = be;
    uint16_t count = parser.U16();
    if (!r.Has(static_cast<size_t>(count) * 12))
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        TiffParser::Entry e = parser.ReadEntry();
        if (!parser.Fits(e) || e.count == 0)
            continue; // entries that point outside the file are ignored
        auto first32 = [&] { return static_cast<uint32_t>(parser.Value(e, 0)); };
        auto all32 = [&](std::vector<uint32_t>& out) {
            out.resize(e.count);
            for (uint32_t k = 0; k < e.count; ++k)
                out[k] = static_cast<uint32_t>(parser.Value(e, k));
        };
        switch (e.tag) {
        case tgWidth:
            dir->width = first32();
            break;
        case tgLength:
            dir->length = first32();
            break;
        case tgBitsPerSample:
            dir->bitsPerSample = static_cast<int>(first32());
            break;
        case tgCompression:
            dir->compression = static_cast<int>(first32());
            break;
        case tgPhotometric:
            dir->photometric = static_cast<int>(first32());
            break;
        case tgFillOrder:
            dir->fillOrder = static_cast<int>(first32());
            break;
        case tgStripOffsets:
            all32(dir->stripOffsets);
            break;
        case tgSamplesPerPixel:
            dir->samplesPerPixel = static_cast<int>(first32());
            break;
        case tgRowsPerStrip:
            dir->rowsPerStrip = first32();
            break;
        case tgStripByteCounts:
            all32(dir->stripByteCounts);
            break;
        case tgXResolution:
            dir->xResolution = parser.Rational(e, 0);
            break;
        case tgYResolution:
            dir->yResolution = parser.Rational(e, 0);
            break;
        case tgResolutionUnit:
            dir->resolutionUnit = static_cast<int>(first32());
            break;
        case tgPlanarConfig:
            dir->planar = static_cast<int>(first32());
            break;
        case tgT4Options:
            dir->t4Options = first32();
            break;
        case tgPredictor:
            dir->predictor = static_cast<int>(first32());
            break;
        case tgColorMap:
            dir->colorMap.resize(e.count);
            for (uint32_t k = 0; k < e.count; ++k)
                dir->colorMap[k] = static_cast<uint16_t>(parser.Value(e, k));
            break;
        case tgTileWidth:
        case tgTileLength:
        case tgTileOffsets:
            dir->tiled = true;
            break;
        case tgExtraSamples:
            for (uint32_t k = 0; k < e.count && k < 16; ++k)
                dir->extraSamples.push_back(static_cast<uint16_t>(parser.Value(e, k)));
            break;
        case tgJPEGTables:
            if (e.type == 7 || e.type == 1)
                dir->jpegTables.assign(data.begin() + static_cast<long>(e.valueOffset),
                                       data.begin() + static_cast<long>(e.valueOffset + e.count));
            break;
        case tgYCbCrCoefficients:
            if (e.count >= 3)
                for (uint32_t k = 0; k < 3; ++k)
                    dir->coefficients[k] = parser.Rational(e, k);
            break;
        case tgYCbCrSubsampling:
            dir->subH = static_cast<int>(first32());
            dir->subV = e.count > 1 ? static_cast<int>(parser.Value(e, 1)) : dir->subH;
            break;
        default:
            break;
        }
    }
    if (dir->width == 0 || dir->length == 0 || dir->width > INT32_MAX || dir->length > INT32_MAX)
        return false;
    // Both are 16-bit fields; larger values (taken from a wider entry type) are no TIFF.
    if (dir->bitsPerSample < 0 || dir->bitsPerSample > 0xFFFF || dir->samplesPerPixel < 0 ||
        dir->samplesPerPixel > 0xFFFF)
        return false;

    TImageProperties& p = Properties();
    p.width = static_cast<int>(dir->width);
    p.height = static_cast<int>(dir->length);
    p.bitsPerSample = dir->bitsPerSample;
    p.samplesPerPixel = dir->samplesPerPixel;
    p.bitsPerPixel = static_cast<int>(
        std::min<int64_t>(int64_t{dir->bitsPerSample} * dir->samplesPerPixel, INT32_MAX));
    p.rowsPerStrip = dir->rowsPerStrip;
    p.planarConfig = dir->planar;
    p.predictor = dir->predictor;
    p.ycbcrSubsamplingH = dir->subH;
    p.ycbcrSubsamplingV = dir->subV;
    p.ycbcrCoefficients = dir->coefficients;
    double toInch = dir->resolutionUnit == 3 ? 2.54 : 1.0;
    p.xResolution = dir->xResolution * toInch;
    p.yResolution = dir->yResolution * toInch;
    if (be)
        p.options |= ioBigEndian;
    if (dir->tiled)
        p.options |= ioTiled;
    if (dir->fillOrder == 2)
        p.options |= ioReversed;
    p.extraSampleIsAlpha =
        !dir->extraSamples.empty() && (dir->extraSamples[0] == 1 || dir->extraSamples[0] == 2);
    switch (dir->compression) {
    case 1:
        p.compression = ctNone;
        break;
    case 2:
        p.compression = ctCCITTMH;
        break;
    case 3:
        p.compression = ctCCITT3;
        break;
    case 4:
        p.compression = ctCCITT4;
        break;
    case 5:
        p.compression = ctLZW;
        break;
    case 6:
        p.compression = ctOJPEG;
        break;
    case 7:
        p.compression = ctJPEG;
        break;
    case 8:
    case 32946:
        p.compression = ctDeflate;
        break;
    case 32771:
        p.compression = ctCCITTMHW;
        break;
    case 32773:
        p.compression = ctPackedBits;
        break;
    case 32809:
        p.compression = ctThunderscan;
        break;
    default:
        p.compression = ctUnknown;
        break;
    }
    int photometric = dir->photometric;
    if (photometric < 0) // absent: what the data suggests
        photometric = dir->samplesPerPixel >= 3
                          ? 2
                          : (p.compression >= ctCCITT3 && p.compression <= ctCCITT4 ? 0 : 1);
    switch (photometric) {
    case 0:
    case 1:
        p.colorScheme = dir->samplesPerPixel == 2 ? csGA : csG;
        if (photometric == 0)
            p.options |= ioMinIsWhite;
        break;
    case 2:
        p.colorScheme = dir->samplesPerPixel >= 4 ? csRGBA : csRGB;
        break;
    case 3:
        p.colorScheme = csIndexed;
        break;
    case 5:
        p.colorScheme = csCMYK;
        break;
    case 6:
        p.colorScheme = csYCbCr;
        break;
    case 8:
        p.colorScheme = csCIELab;
        break;
    default:
        p.colorScheme = csUnknown;
        break;
    }
    p.hasAlpha = p.colorScheme == csRGBA;
    directory_ = std::move(dir);
    return true;
}

void TTIFFGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    LoadTIFF(ReadAll(stream));
}

void TTIFFGraphic::LoadTIFF(const std::vector<uint8_t>& data)
{
    RequireProperties(data, kTIFF, imageIndex_);
    const Directory& dir = *directory_;
    TImageProperties& p = Properties();
    switch (p.compression) {
    case ctNone:
    case ctPackedBits:
    case ctCCITT3:
    case ctCCITTMH:
    case ctCCITTMHW:
    case ctDeflate:
    case ctJPEG:
    case ctThunderscan:
    case ctLZW:
        break;
    default:
        throw EInvalidGraphic(UnsupportedError("The compression scheme is", kTIFF));
    }
    if (p.options & ioTiled) {
        FinishLoad(); // tiled pictures are not decoded: the picture stays empty
        return;
    }
    const bool jpeg = p.compression == ctJPEG;
    const bool fax =
        p.compression == ctCCITT3 || p.compression == ctCCITTMH || p.compression == ctCCITTMHW;
    if (fax && (p.bitsPerSample != 1 || p.samplesPerPixel != 1))
        Fail(kInvalidColorFormat, kTIFF);
    if (p.compression == ctThunderscan && (p.bitsPerSample != 4 || p.samplesPerPixel != 1))
        Fail(kInvalidColorFormat, kTIFF);
    if (p.colorScheme == csUnknown)
        Fail(kInvalidColorFormat, kTIFF);
    if (p.colorScheme == csCIELab)
        p.options &= ~ioBigEndian; // 8-bit samples only in practice; a* and b* are signed
    const int samples = p.samplesPerPixel;
    if (jpeg) {
        if (p.bitsPerSample != 8)
            Fail(kInvalidColorFormat, kTIFF);
        if (p.colorScheme == csYCbCr)
            p.colorScheme = csRGB; // the JPEG decoder converts to RGB
    }
    // Plain YCbCr data is stored in blocks of h x v luma samples followed by one Cb and
    // one Cr sample; such blocks are the decoding unit here.
    const bool ycc = p.colorScheme == csYCbCr;
    const int subH = ycc ? p.ycbcrSubsamplingH : 1, subV = ycc ? p.ycbcrSubsamplingV : 1;
    if (ycc && (p.bitsPerSample != 8 || samples != 3 || p.planarConfig == 2))
        Fail(kInvalidColorFormat, kTIFF);

    TPixelFormat format = SetupColorManager();
    TColorManager& cm = ColorManager();
    // Two-bit samples live in 4-bit pixels: grey values are rescaled to the 16-step ramp,
    // palette indices are widened unchanged (below).
    const bool widenIndices = p.bitsPerSample == 2 && p.colorScheme == csIndexed;
    if (p.bitsPerSample == 2 && p.colorScheme != csIndexed)
        cm.SetTargetBitsPerSample(4);
    if (widenIndices) {
        cm.SetSourceBitsPerSample(4);
        cm.SetTargetBitsPerSample(4);
    }
    if (ycc)
        cm.ConfigureYCbCr(p.ycbcrCoefficients[0], p.ycbcrCoefficients[1], p.ycbcrCoefficients[2],
                          subH, subV);
    CreateImage(format, kTIFF);
    if (p.colorScheme == csIndexed) {
        size_t entries = size_t{1} << std::min(p.bitsPerSample, 16);
        if (dir.colorMap.size() < 3 * entries)
            Fail(kInvalidPalette, kTIFF);
        size_t n = std::min<size_t>(entries, 256);
        // Three runs of 16-bit values: reds, greens, blues.
        std::vector<uint8_t> table(6 * n);
        for (size_t c = 0; c < 3; ++c)
            for (size_t i = 0; i < n; ++i)
                PutU16LE(&table[2 * (c * n + i)], dir.colorMap[c * entries + i]);
        TConvertOptions saved = cm.SourceOptions();
        cm.SetSourceOptions(coNone);
        SetPalette(cm.MakePaletteFromTable({&table[0], &table[2 * n], &table[4 * n]},
                                           pfPlane16Triple, static_cast<int>(n), false));
        cm.SetSourceOptions(saved);
    }

    const int width = p.width, height = p.height;
    const int planes = p.planarConfig == 2 ? samples : 1;
    const int samplesPerPlane = planes == 1 ? samples : 1;
    // A decoded row is one row of pixels, or one row of YCbCr blocks (subV pixel rows).
    const size_t blockBytes = static_cast<size_t>(subH) * subV + 2;
    const size_t rowBytes =
        ycc ? (static_cast<size_t>(width) + subH - 1) / subH * blockBytes
            : (static_cast<size_t>(width) * samplesPerPlane * p.bitsPerSample + 7) / 8;
    // One band of strips (the same strip of every plane) is decoded at a time, into a
    // buffer of the rows its data can reach, so that a short file with a huge header costs
    // no more than its data; the rows beyond stay zero.
    CheckBufferBudget(Limits(), uint64_t{rowBytes} * static_cast<uint64_t>(planes), width, height);
    auto reach = [&](uint64_t count) -> uint64_t {
        switch (p.compression) {
        case ctNone:
            return count;
        case ctPackedBits:
            return (count / 2 + 1) * 128; // a repeat packet: two bytes, 128 out
        case ctDeflate:
            return (count + 1) * 1032; // deflate's largest ratio
        case ctLZW: {
            // A string is one value longer than an earlier one, and at most 4096 long.
            const uint64_t codes = count * 8 / 9 + 1;
            return codes > uint64_t{TLzwTable::kCodes} ? codes * uint64_t{TLzwTable::kCodes}
                                                       : codes * (codes + 1) / 2;
        }
        default:
            return UINT64_MAX; // the fax, JPEG and Thunderscan decoders fill their rows
        }
    };

    // Strips of YCbCr blocks hold whole blocks.
    const uint32_t rowsPerStrip = static_cast<uint32_t>(
        (std::clamp<uint32_t>(dir.rowsPerStrip, 1, static_cast<uint32_t>(height)) + subV - 1) /
        subV * subV);
    const size_t stripsPerPlane = (static_cast<size_t>(height) + rowsPerStrip - 1) / rowsPerStrip;
    std::vector<uint8_t> band, raw;
    const std::vector<uint8_t> zeroRow(rowBytes, 0);
    std::vector<uint8_t> zeroConverted; // a zero row as pixels, made once
    std::vector<const uint8_t*> sources(static_cast<size_t>(planes));
    std::vector<uint8_t> wide(widenIndices ? (static_cast<size_t>(width) + 1) / 2 : 0);
    std::vector<uint8_t> expanded(ycc ? static_cast<size_t>(width) * 3 : 0);
    for (size_t s = 0; s < stripsPerPlane; ++s) {
        const size_t firstRow = s * rowsPerStrip;
        const int pixelRows = static_cast<int>(
            std::min<size_t>(rowsPerStrip, static_cast<size_t>(height) - firstRow));
        const size_t unitRows = static_cast<size_t>((pixelRows + subV - 1) / subV);
        // Each plane's strip, and the rows the band's data reaches.
        std::vector<std::pair<const uint8_t*, uint64_t>> strips(static_cast<size_t>(planes));
        size_t reached = 0;
        for (int plane = 0; plane < planes; ++plane) {
            size_t index = static_cast<size_t>(plane) * stripsPerPlane + s;
            if (index >= dir.stripOffsets.size())
                continue; // strips the file does not list stay zero
            uint64_t offset = dir.stripOffsets[index];
            if (offset >= data.size())
                Fail(kStreamReadError, kTIFF);
            uint64_t count = index < dir.stripByteCounts.size() ? dir.stripByteCounts[index]
                                                                : data.size() - offset;
            count = std::min<uint64_t>(count, data.size() - offset);
            strips[static_cast<size_t>(plane)] = {data.data() + offset, count};
            const uint64_t rows = reach(count) / rowBytes + 1;
            reached = std::max<size_t>(reached, std::min<uint64_t>(rows, unitRows));
        }
        CheckBufferBudget(Limits(), uint64_t{rowBytes} * reached * static_cast<uint64_t>(planes),
                          width, height);
        band.assign(rowBytes * reached * static_cast<size_t>(planes), 0);
        const size_t bandPlaneBytes = rowBytes * reached;
        for (int plane = 0; plane < planes && reached > 0; ++plane) {
            const uint8_t* src = strips[static_cast<size_t>(plane)].first;
            const size_t count = strips[static_cast<size_t>(plane)].second;
            if (!src)
                continue;
            uint8_t* out = band.data() + bandPlaneBytes * static_cast<size_t>(plane);
            const int rows = static_cast<int>(reached);
            if (p.options & ioReversed) {
                raw.assign(src, src + count);
                for (auto& b : raw)
                    b = ReverseBits(b);
                src = raw.data();
            }
            switch (p.compression) {
            case ctNone:
                std::copy_n(src, std::min<uint64_t>(count, bandPlaneBytes), out);
                break;
            case ctPackedBits:
                DecodePackBits(src, count, out, bandPlaneBytes);
                break;
            case ctDeflate:
                InflateBounded(src, count, out, bandPlaneBytes, kTIFF);
                break;
            case ctLZW:
                DecodeTiffLzw(src, count, out, bandPlaneBytes, kTIFF);
                break;
            case ctThunderscan:
                DecodeThunderscan(src, count, width, rows, out, rowBytes);
                break;
            case ctJPEG:
                DecodeTIFFJPEG(dir.jpegTables.data(), dir.jpegTables.size(), src, count, width,
                               rows, samples, dir.photometric == 6, out, rowBytes, kTIFF, Limits());
                break;
            default: {
                TCCITTOptions o;
                o.mode = p.compression == ctCCITT3    ? cmGroup3
                         : p.compression == ctCCITTMH ? cmMH
                                                      : cmMHWord;
                o.twoDimensional = (dir.t4Options & 1) != 0;
                o.uncompressed = (dir.t4Options & 2) != 0;
                DecodeCCITT(src, count, o, width, rows, out, rowBytes, kTIFF);
                break;
            }
            }
        }

        // Horizontal differencing.
        if (p.predictor == 2 && !ycc && (p.bitsPerSample == 8 || p.bitsPerSample == 16)) {
            const size_t stride = static_cast<size_t>(samplesPerPlane);
            const bool be = (p.options & ioBigEndian) != 0;
            for (size_t row = 0; row < reached * static_cast<size_t>(planes); ++row) {
                uint8_t* line = band.data() + rowBytes * row;
                if (p.bitsPerSample == 8) {
                    for (size_t i = stride; i < static_cast<size_t>(width) * stride; ++i)
                        line[i] = static_cast<uint8_t>(line[i] + line[i - stride]);
                } else {
                    for (size_t i = stride; i < static_cast<size_t>(width) * stride; ++i) {
                        uint8_t* a = line + 2 * i;
                        const uint8_t* b = line + 2 * (i - stride);
                        uint16_t v = static_cast<uint16_t>((be ? GetU16BE(a) : GetU16LE(a)) +
                                                           (be ? GetU16BE(b) : GetU16LE(b)));
                        a[be ? 0 : 1] = static_cast<uint8_t>(v >> 8);
                        a[be ? 1 : 0] = static_cast<uint8_t>(v);
                    }
                }
            }
        }

        for (int r = 0; r < pixelRows; ++r) {
            const int y = static_cast<int>(firstRow) + r;
            const size_t unit = static_cast<size_t>(r / subV);
            if (unit >= reached && !zeroConverted.empty()) {
                std::copy(zeroConverted.begin(), zeroConverted.end(), Row(y));
                continue;
            }
            for (int k = 0; k < planes; ++k)
                sources[static_cast<size_t>(k)] =
                    unit < reached ? band.data() + bandPlaneBytes * k + rowBytes * unit
                                   : zeroRow.data();
            if (ycc) {
                // One Y, Cb, Cr triple per pixel from the block the pixel lies in.
                const uint8_t* blocks = sources[0];
                for (int x = 0; x < width; ++x) {
                    const uint8_t* block = blocks + static_cast<size_t>(x / subH) * blockBytes;
                    expanded[3 * static_cast<size_t>(x)] = block[(r % subV) * subH + x % subH];
                    expanded[3 * static_cast<size_t>(x) + 1] = block[blockBytes - 2];
                    expanded[3 * static_cast<size_t>(x) + 2] = block[blockBytes - 1];
                }
                sources[0] = expanded.data();
            }
            if (widenIndices) {
                std::fill(wide.begin(), wide.end(), 0);
                for (int x = 0; x < width; ++x) {
                    unsigned v = (sources[0][x >> 2] >> (6 - 2 * (x & 3))) & 3u;
                    wide[static_cast<size_t>(x) >> 1] |= static_cast<uint8_t>(x & 1 ? v : v << 4);
                }
                sources[0] = wide.data();
            }
            cm.TranslateRow(sources, width, Row(y));
            // Every zero row converts alike: the rows no data reaches are copies.
            if (unit >= reached)
                zeroConverted.assign(Row(y), Row(y) + RowSize());
        }
    }
    FinishLoad();
}

} // namespace tabulonix
