#include "codecs/formats/Psp.h"

#include "codecs/compression/Inflate.h"
#include "codecs/compression/RunLength.h"
#include "codecs/core/DecodeLimits.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

const char* const kPSP = "PSP";
const char kSignature[] = "Paint Shop Pro Image File";
constexpr size_t kHeaderSize = 36; // 32-byte signature field, major and minor version

enum BlockId : uint16_t {
    bkImage = 0,
    bkColor = 2,
    bkLayerStart = 3,
    bkLayer = 4,
    bkChannel = 5,
};

struct Block {
    uint16_t id;
    size_t start, end; // the block's data
};

// Walks the blocks of [begin, end). Version 3 headers carry an initial-data length before
// the total length; later versions only the total length.
class BlockReader {
  public:
    BlockReader(const std::vector<uint8_t>& data, size_t begin, size_t end, int major)
        : data_(data), pos_(begin), end_(end), major_(major)
    {
    }
    bool Next(Block& block)
    {
        size_t header = major_ <= 3 ? 14 : 10;
        if (pos_ + header > end_)
            return false;
        const uint8_t* p = &data_[pos_];
        if (p[0] != 0x7E)
            throw EInvalidGraphic(FormatError(kInvalidImageFormat, kPSP));
        block.id = GetU16LE(p + 4);
        uint32_t length = GetU32LE(p + header - 4);
        block.start = pos_ + header;
        if (length > end_ - block.start)
            throw EInvalidGraphic(FormatError(kStreamReadError, kPSP));
        block.end = block.start + length;
        pos_ = block.end;
        return true;
    }

  private:
    const std::vector<uint8_t>& data_;
    size_t pos_, end_;
    int major_;
};

struct ImageAttributes {
    int width = 0, height = 0;
    int compression = 0; // 0 none, 1 run-length, 2 deflate
    int bitDepth = 0;
    bool greyscale = false;
};

ByteReader BlockData(const std::vector<uint8_t>& data, const Block& b)
{
    return ByteReader(data.data() + b.start, b.end - b.start, FormatError(kStreamReadError, kPSP));
}

// Later versions start a block's fixed fields with the length of that chunk (counting
// its own four bytes); returns where the chunk ends, 0 for version 3.
size_t FieldsStart(ByteReader& r, int major)
{
    return major <= 3 ? 0 : r.U32LE();
}

} // namespace

bool TPSPGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    const size_t n = sizeof(kSignature) - 1;
    if (data.size() < kHeaderSize)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(data[i]) != std::tolower(static_cast<unsigned char>(kSignature[i])))
            return false;
    int major = GetU16LE(&data[32]);
    if (major < 3)
        return false;
    TImageProperties& p = Properties();
    p.version = major;
    BlockReader blocks(data, kHeaderSize, data.size(), major);
    Block b{};
    while (blocks.Next(b)) {
        if (b.id != bkImage)
            continue;
        ByteReader r = BlockData(data, b);
        FieldsStart(r, major);
        p.width = r.S32LE();
        p.height = r.S32LE();
        r.Skip(8 + 1); // resolution (double) and its unit
        int compression = r.U16LE();
        p.bitsPerPixel = r.U16LE();
        r.Skip(2 + 4); // plane count, colour count
        bool grey = r.U8() != 0;
        p.compression = compression == 0   ? ctNone
                        : compression == 1 ? ctRLE
                        : compression == 2 ? ctDeflate
                                           : ctUnknown;
        if (p.bitsPerPixel == 24) {
            p.colorScheme = csRGB;
            p.bitsPerSample = 8;
            p.samplesPerPixel = 3;
        } else {
            p.colorScheme = grey ? csG : csIndexed;
            p.bitsPerSample = p.bitsPerPixel;
            p.samplesPerPixel = 1;
        }
        return p.width > 0 && p.height > 0;
    }
    return false;
}

void TPSPGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kPSP);
    TImageProperties& p = Properties();
    if (p.compression == ctUnknown)
        throw EInvalidGraphic(UnsupportedError("The compression scheme is", kPSP));
    if (p.bitsPerPixel != 1 && p.bitsPerPixel != 4 && p.bitsPerPixel != 8 && p.bitsPerPixel != 24)
        Fail(kInvalidColorFormat, kPSP);
    const int major = p.version;
    const int width = p.width, height = p.height, bits = p.bitsPerSample;
    // The channels are decoded before the surface is made: check the budget first.
    CheckPixelBudget(Limits(), width, height, FormatError(kInvalidImageFormat, kPSP));

    // The palette and the first raster layer with its channels.
    std::optional<TPalette> palette;
    std::vector<std::vector<uint8_t>> channels(5); // composite, red, green, blue, transparency
    int layerLeft = 0, layerTop = 0, layerWidth = 0, layerHeight = 0;
    bool haveLayer = false;
    BlockReader blocks(data, kHeaderSize, data.size(), major);
    Block b{};
    while (blocks.Next(b) && !haveLayer) {
        if (b.id == bkColor) {
            ByteReader r = BlockData(data, b);
            size_t fields = FieldsStart(r, major);
            uint32_t count = std::min<uint32_t>(r.U32LE(), 256);
            if (major > 3)
                r.Seek(fields);
            const uint8_t* quads = r.Bytes(static_cast<size_t>(count) * 4);
            palette = ColorManager().MakePaletteFromTable({quads}, pfInterlaced8Quad,
                                                          static_cast<int>(count), true);
        } else if (b.id == bkLayerStart) {
            BlockReader layers(data, b.start, b.end, major);
            Block layer{};
            while (!haveLayer && layers.Next(layer)) {
                if (layer.id != bkLayer)
                    continue;
                ByteReader r = BlockData(data, layer);
                size_t fieldsEnd = 0;
                if (major <= 3) {
                    r.Skip(256); // name
                } else {
                    fieldsEnd = FieldsStart(r, major);
                    r.Skip(r.U16LE()); // name
                }
                int type = r.U8();
                int32_t rect[4];
                for (int32_t& v : rect)
                    v = r.S32LE();
                // Raster layers: "normal" (1) and floating selections (2) in version 3,
                // raster (1) and floating raster selections (2) later.
                if (type != 1 && type != 2)
                    continue;
                int channelCount;
                if (major <= 3) {
                    // Saved rectangle, opacity to link group, mask rectangles, mask flags,
                    // blend range count and the two blend range tables; then the counts.
                    r.Skip(16 + 5 + 16 + 16 + 3 + 2 + 40);
                    r.Skip(2); // bitmap count
                    channelCount = r.U16LE();
                } else {
                    // The bitmap information chunk follows the layer's own chunk.
                    r.Seek(fieldsEnd);
                    size_t at = r.Position();
                    uint32_t length = r.U32LE();
                    r.Skip(2); // bitmap count
                    channelCount = r.U16LE();
                    r.Seek(at + length);
                }
                // The layer's rectangle must have a size and fit the picture's size.
                int64_t w64 = int64_t{rect[2]} - rect[0], h64 = int64_t{rect[3]} - rect[1];
                if (w64 <= 0 || h64 <= 0 || w64 > width || h64 > height)
                    Fail(kInvalidImageFormat, kPSP);
                layerLeft = rect[0];
                layerTop = rect[1];
                layerWidth = static_cast<int>(w64);
                layerHeight = static_cast<int>(h64);
                const size_t rowBytes = bits < 8
                                            ? (static_cast<size_t>(layerWidth) * bits + 31) / 32 * 4
                                            : static_cast<size_t>(layerWidth);
                BlockReader channelBlocks(data, layer.start + r.Position(), layer.end, major);
                Block channel{};
                for (int c = 0; c < channelCount && channelBlocks.Next(channel); ++c) {
                    if (channel.id != bkChannel)
                        continue;
                    ByteReader cr = BlockData(data, channel);
                    size_t channelFields = FieldsStart(cr, major);
                    uint32_t packed = cr.U32LE();
                    cr.Skip(4); // unpacked length: the layer rectangle decides
                    int bitmapType = cr.U16LE();
                    int channelType = cr.U16LE();
                    if (major > 3)
                        cr.Seek(channelFields);
                    // Image channels by colour (composite, red, green, blue); the
                    // transparency mask becomes the alpha; other bitmaps are not used.
                    size_t slot;
                    if (bitmapType == 0)
                        slot = static_cast<size_t>(std::clamp(channelType, 0, 3));
                    else if (bitmapType == 1)
                        slot = 4;
                    else
                        continue;
                    size_t srcSize = std::min<size_t>(packed, cr.Remaining());
                    const uint8_t* src = cr.Bytes(srcSize);
                    std::vector<uint8_t>& out = channels[slot];
                    // Only the rows the data can reach are held (a run of two bytes gives
                    // at most 127); the rows beyond read as zero.
                    const uint64_t reach = p.compression == ctNone ? srcSize
                                           : p.compression == ctRLE
                                               ? (srcSize / 2 + 1) * 127
                                               : (uint64_t{srcSize} + 1) * 1032;
                    const size_t rows = static_cast<size_t>(std::min<uint64_t>(
                        reach / rowBytes + 1, static_cast<uint64_t>(layerHeight)));
                    out.assign(rowBytes * rows, 0);
                    switch (p.compression) {
                    case ctNone:
                        std::copy_n(src, std::min(srcSize, out.size()), out.begin());
                        break;
                    case ctRLE:
                        DecodePSPRLE(src, srcSize, out.data(), out.size());
                        break;
                    default:
                        InflateBounded(src, srcSize, out.data(), out.size(), kPSP);
                        break;
                    }
                }
                haveLayer = true;
            }
        }
    }
    if (!haveLayer)
        Fail(kInvalidImageFormat, kPSP);

    const bool color = p.colorScheme == csRGB;
    if (color && !channels[4].empty()) {
        p.colorScheme = csRGBA;
        p.samplesPerPixel = 4;
        p.hasAlpha = true;
    }
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kPSP);
    if (p.colorScheme == csIndexed)
        SetPalette(palette ? *palette : ColorManager().MakeGreyPalette(false));

    const size_t rowBytes = bits < 8 ? (static_cast<size_t>(layerWidth) * bits + 31) / 32 * 4
                                     : static_cast<size_t>(layerWidth);
    std::vector<uint8_t> empty(rowBytes, 0);
    std::vector<uint8_t> opaque(rowBytes, 255);
    for (int y = 0; y < layerHeight; ++y) {
        int64_t ty64 = int64_t{layerTop} + y;
        if (ty64 < 0 || ty64 >= height)
            continue;
        const int ty = static_cast<int>(ty64);
        auto plane = [&](size_t slot, const std::vector<uint8_t>& fallback) {
            const std::vector<uint8_t>& c = channels[slot];
            const size_t at = rowBytes * static_cast<size_t>(y);
            if (c.empty())
                return fallback.data();
            return at < c.size() ? c.data() + at : empty.data();
        };
        std::vector<uint8_t> converted(RowSize());
        if (color) {
            const uint8_t* sources[] = {plane(1, empty), plane(2, empty), plane(3, empty),
                                        plane(4, opaque)};
            ColorManager().TranslateRow(TRowSources(sources, p.samplesPerPixel == 4 ? 4 : 3),
                                        layerWidth, converted.data());
        } else {
            ColorManager().TranslateRow(plane(0, empty), layerWidth, converted.data());
        }
        // Place the layer at its position in the picture.
        const int bpp = BitsPerPixel();
        uint8_t* out = Row(ty);
        for (int x = 0; x < layerWidth; ++x) {
            int64_t tx64 = int64_t{layerLeft} + x;
            if (tx64 < 0 || tx64 >= width)
                continue;
            const size_t tx = static_cast<size_t>(tx64);
            if (bpp >= 8) {
                size_t n = static_cast<size_t>(bpp / 8);
                std::memcpy(out + n * tx, converted.data() + n * x, n);
            } else {
                unsigned mask = (1u << bpp) - 1;
                unsigned v =
                    (converted[static_cast<size_t>(x) * bpp / 8] >> (8 - bpp - (x * bpp) % 8)) &
                    mask;
                size_t bit = tx * bpp;
                unsigned shift = 8 - bpp - static_cast<unsigned>(bit % 8);
                out[bit / 8] =
                    static_cast<uint8_t>((out[bit / 8] & ~(mask << shift)) | (v << shift));
            }
        }
    }
    FinishLoad();
}

} // namespace tabulonix
