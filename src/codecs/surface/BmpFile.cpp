// Reading and writing BMP files for TBitmap, and the run-length decoder for RLE4/RLE8.
#include "codecs/surface/Bitmap.h"

#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

const char* const kInvalidBitmap = "Bitmap image is not valid";

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidBitmap);
}

struct ParsedHeader {
    TBitmapInfoHeader info;
    bool os2 = false;
    std::array<uint32_t, 3> masks{};
    uint32_t alphaMask = 0; // from headers of 56 bytes and more
    size_t headerSize = 0;
};

// Reads the information header (after the 14-byte file header).
ParsedHeader ReadInfoHeader(ByteReader& in)
{
    ParsedHeader h;
    uint32_t size = in.U32LE();
    h.headerSize = size;
    if (size == 12) {
        h.os2 = true;
        h.info.size = 12;
        h.info.width = in.U16LE();
        h.info.height = in.U16LE();
        h.info.planes = in.U16LE();
        h.info.bitCount = in.U16LE();
        return h;
    }
    if (size < 16 || size > in.Remaining() + 4)
        Invalid();
    // Headers of any other length are read whole; the first 40 bytes are used (missing
    // fields of shorter ones count as zero).
    uint8_t fields[40] = {};
    PutU32LE(fields, size);
    size_t rest = size - 4;
    const uint8_t* body = in.Bytes(rest);
    std::memcpy(fields + 4, body, std::min<size_t>(rest, 36));
    TBitmapInfoHeader& i = h.info;
    i.size = size;
    i.width = static_cast<int32_t>(GetU32LE(fields + 4));
    i.height = static_cast<int32_t>(GetU32LE(fields + 8));
    i.planes = GetU16LE(fields + 12);
    i.bitCount = GetU16LE(fields + 14);
    i.compression = GetU32LE(fields + 16);
    i.sizeImage = GetU32LE(fields + 20);
    i.xPelsPerMeter = static_cast<int32_t>(GetU32LE(fields + 24));
    i.yPelsPerMeter = static_cast<int32_t>(GetU32LE(fields + 28));
    i.clrUsed = GetU32LE(fields + 32);
    i.clrImportant = GetU32LE(fields + 36);
    // Longer headers carry the colour masks inside themselves; without them a bit-field
    // picture would show wrong colours.
    if (size >= 52 && i.compression == 3)
        for (int k = 0; k < 3; ++k)
            h.masks[k] = GetU32LE(body + 36 + 4 * k);
    if (size >= 56 && i.compression == 3)
        h.alphaMask = GetU32LE(body + 48);
    return h;
}

bool ValidBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads the colour table that follows the header. For more than 8 bits a table is only
// present when the colours-used count says so.
std::vector<RGBQuad> ReadColorTable(ByteReader& in, const ParsedHeader& h)
{
    int bits = h.info.bitCount;
    uint64_t declared = h.info.clrUsed;
    if (h.os2 || declared == 0)
        declared = bits <= 8 ? (uint64_t{1} << bits) : 0;
    size_t entrySize = h.os2 ? 3 : 4;
    if (declared > in.Remaining() / entrySize) {
        // A table longer than the file: what is there is read, the rest stays black.
        declared = std::min<uint64_t>(declared, in.Remaining() / entrySize);
    }
    std::vector<RGBQuad> table;
    size_t keep = static_cast<size_t>(std::min<uint64_t>(declared, 256));
    table.reserve(keep);
    for (uint64_t k = 0; k < declared; ++k) {
        const uint8_t* e = in.Bytes(entrySize);
        if (k < keep)
            table.push_back(RGBQuad{e[0], e[1], e[2], 0});
    }
    if (bits <= 8 && table.size() < (size_t{1} << bits))
        table.resize(size_t{1} << bits);
    return table;
}

// Decodes RLE8 (compression 1) or RLE4 (compression 2) into colour indices, one byte per
// pixel, rows in file order (bottom row first for a positive height). Pixels the data
// skips keep index 0; nothing is written outside the picture nor read past the data.
std::vector<uint8_t> DecodeRunLength(const uint8_t* data, size_t size, int width, int height,
                                     bool rle4)
{
    std::vector<uint8_t> out(static_cast<size_t>(width) * height, 0);
    size_t p = 0;
    int x = 0, y = 0;
    auto put = [&](uint8_t index) {
        if (x < width && y < height)
            out[static_cast<size_t>(y) * width + x] = index;
        ++x;
    };
    while (p + 1 < size && y < height) {
        uint8_t count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k)
                put(rle4 ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of picture
            break;
        } else if (value == 2) { // delta
            if (p + 1 >= size)
                break;
            x += data[p];
            y += data[p + 1];
            p += 2;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            size_t bytes = rle4 ? (value + 1u) / 2u : value;
            size_t padded = (bytes + 1) & ~size_t{1};
            size_t available = std::min(bytes, size - p);
            for (size_t k = 0; k < static_cast<size_t>(value); ++k) {
                size_t byte = rle4 ? k / 2 : k;
                if (byte >= available)
                    break;
                uint8_t b = data[p + byte];
                put(rle4 ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            p += std::min(padded, size - p);
        }
    }
    return out;
}

} // namespace

void TBitmap::ReadStream(TStream& stream)
{
    std::vector<uint8_t> file = stream.ReadRemaining();
    if (file.empty()) {
        NewImage(0, 0, pfDevice);
        return;
    }
    ByteReader in(file.data(), file.size(), kInvalidBitmap);
    if (in.Remaining() < 14)
        Invalid();
    if (in.U16LE() != 0x4D42)
        Invalid();
    in.Skip(12); // file size, reserved, pixel offset (the offset is not used)
    ParsedHeader h = ReadInfoHeader(in);
    const TBitmapInfoHeader& info = h.info;

    int64_t width = info.width;
    int64_t height = info.height < 0 ? -static_cast<int64_t>(info.height) : info.height;
    if (info.compression != 0 && info.compression != 3) {
        DecodeRle(file, 14);
        return;
    }
    if (info.planes != 1 || !ValidBitCount(info.bitCount))
        Invalid();
    if (info.compression == 3 && info.bitCount != 16 && info.bitCount != 32)
        Invalid();
    CheckPixelBudget(Limits(), width, height, kInvalidBitmap);

    auto image = std::make_shared<TBitmapImage>();
    image->device = false;
    image->os2 = h.os2;
    image->header = info;
    image->header.size = 40;
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->masks = h.masks;
    if (h.headerSize == 40 && info.compression == 3) {
        for (auto& m : image->masks)
            m = in.U32LE();
    }
    if (info.compression == 3 && image->masks[0] == 0 && image->masks[1] == 0 &&
        image->masks[2] == 0)
        image->header.compression = 0;
    image->colorTable = ReadColorTable(in, h);
    if (!image->colorTable.empty())
        image->palette = image->colorTable;
    if (info.bitCount > 8)
        image->colorTable.clear();
    if (h.os2)
        image->header.clrUsed = 0;

    // Pixel data directly after the colour table: the smallest of the declared size, what
    // the file holds and the store's size. Missing rows stay zero.
    size_t stride = image->Stride();
    size_t storeSize = stride * static_cast<size_t>(height);
    size_t declared = info.sizeImage ? info.sizeImage : storeSize;
    size_t take = std::min({declared, in.Remaining(), storeSize});
    image->pixels.assign(storeSize, 0);
    const uint8_t* src = in.Bytes(take);
    bool bottomUp = info.height > 0;
    for (size_t row = 0; row * stride < take; ++row) {
        size_t n = std::min(stride, take - row * stride);
        size_t target = bottomUp ? static_cast<size_t>(height) - 1 - row : row;
        std::memcpy(image->pixels.data() + target * stride, src + row * stride, n);
    }
    image->header.sizeImage = static_cast<uint32_t>(storeSize);
    // Only a declared alpha mask makes the fourth byte alpha: in other 32-bit files it is
    // unused and often zero.
    image->alpha = info.bitCount == 32 && h.alphaMask == 0xFF000000u &&
                   image->masks == std::array<uint32_t, 3>{0x00FF0000u, 0x0000FF00u, 0x000000FFu};
    image_ = std::move(image);
    paletteModified_ = false;
    Changed();
}

void TBitmap::DecodeRle(const std::vector<uint8_t>& file, size_t infoOffset)
{
    ByteReader in(file.data(), file.size(), kInvalidBitmap);
    in.Seek(infoOffset);
    ParsedHeader h = ReadInfoHeader(in);
    const TBitmapInfoHeader& info = h.info;
    bool rle8 = info.compression == 1 && info.bitCount == 8;
    bool rle4 = info.compression == 2 && info.bitCount == 4;
    if (!rle8 && !rle4)
        Invalid();
    int64_t width = info.width;
    int64_t height = info.height < 0 ? -static_cast<int64_t>(info.height) : info.height;
    CheckPixelBudget(Limits(), width, height, kInvalidBitmap);
    std::vector<RGBQuad> table = ReadColorTable(in, h);
    size_t dataSize =
        info.sizeImage ? std::min<size_t>(info.sizeImage, in.Remaining()) : in.Remaining();
    std::vector<uint8_t> indices = DecodeRunLength(
        in.Bytes(dataSize), dataSize, static_cast<int>(width), static_cast<int>(height), rle4);

    // The decoded picture becomes a device surface; the file's bytes are kept so that an
    // unchanged picture is written back exactly.
    auto image = std::make_shared<TBitmapImage>();
    image->device = true;
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->header.width = image->width;
    image->header.height = image->height;
    image->header.bitCount = static_cast<uint16_t>(Limits().screen.bitsPerPixel);
    image->palette = table;
    size_t stride = image->Stride();
    image->pixels.assign(stride * static_cast<size_t>(height), 0);
    bool bottomUp = info.height > 0;
    for (int64_t row = 0; row < height; ++row) {
        int64_t target = bottomUp ? height - 1 - row : row;
        uint8_t* dst = image->pixels.data() + static_cast<size_t>(target) * stride;
        const uint8_t* idx = indices.data() + static_cast<size_t>(row * width);
        for (int64_t x = 0; x < width; ++x) {
            RGBQuad q = idx[x] < table.size() ? table[idx[x]] : RGBQuad{};
            WriteStorePixel(*image, dst, static_cast<int>(x), RGBColor(q.red, q.green, q.blue));
        }
    }
    image->rleFile = file;
    image_ = std::move(image);
    Changed();
}

void TBitmap::WriteStream(TStream& stream)
{
    const TBitmapImage& im = *image_;
    if (!im.rleFile.empty()) {
        stream.WriteBytes(im.rleFile);
        return;
    }
    if (im.width == 0 || im.height == 0) {
        // An empty surface writes nothing.
        return;
    }
    TBitmapInfoHeader info;
    if (im.device) {
        info.width = im.width;
        info.height = im.height;
        info.bitCount = static_cast<uint16_t>(Limits().screen.bitsPerPixel);
    } else {
        info = im.header;
        info.size = 40;
        info.width = im.width;
        info.height = im.header.height < 0 ? -im.height : im.height;
    }
    size_t stride = im.Stride();
    info.sizeImage = static_cast<uint32_t>(stride * static_cast<size_t>(im.height));

    // Colour table: the store's (limited to the colours-used count when that is set), or a
    // palette that is not the halftone palette when there is no table.
    std::vector<RGBQuad> table;
    if (info.bitCount <= 8 && !im.colorTable.empty()) {
        table = im.colorTable;
        if (!im.device && im.header.clrUsed != 0 && im.header.clrUsed < table.size())
            table.resize(im.header.clrUsed);
    } else if (im.palette && !im.halftone) {
        table = *im.palette;
    }
    bool masks = !im.device && (info.bitCount == 16 || info.bitCount == 32) &&
                 (im.masks[0] || im.masks[1] || im.masks[2] || im.header.compression == 3);
    std::array<uint32_t, 3> maskValues = im.masks;
    if (masks && !(maskValues[0] || maskValues[1] || maskValues[2]))
        maskValues = info.bitCount == 16
                         ? std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}
                         : std::array<uint32_t, 3>{0x00FF0000, 0x0000FF00, 0x000000FF};

    std::vector<uint8_t> out;
    ByteWriter w(out);
    auto fileHeader = [&](uint32_t headerSize) {
        w.U16LE(0x4D42);
        w.U32LE(14 + headerSize + info.sizeImage);
        w.U32LE(0);
        w.U32LE(14 + headerSize);
    };
    if (im.os2) {
        size_t entries = info.bitCount <= 8 ? (size_t{1} << info.bitCount) : 0;
        table.resize(entries);
        fileHeader(12 + 3 * static_cast<uint32_t>(entries));
        w.U32LE(12);
        w.U16LE(static_cast<uint16_t>(im.width));
        w.U16LE(static_cast<uint16_t>(im.height));
        w.U16LE(1);
        w.U16LE(info.bitCount);
        for (const auto& q : table) {
            w.U8(q.blue);
            w.U8(q.green);
            w.U8(q.red);
        }
    } else {
        fileHeader(40 + (masks ? 12 : 0) + 4 * static_cast<uint32_t>(table.size()));
        w.U32LE(40);
        w.U32LE(static_cast<uint32_t>(info.width));
        w.U32LE(static_cast<uint32_t>(info.height));
        w.U16LE(1);
        w.U16LE(info.bitCount);
        w.U32LE(masks ? 3 : 0);
        w.U32LE(info.sizeImage);
        w.U32LE(im.device ? 0 : static_cast<uint32_t>(info.xPelsPerMeter));
        w.U32LE(im.device ? 0 : static_cast<uint32_t>(info.yPelsPerMeter));
        w.U32LE(static_cast<uint32_t>(table.size()));
        w.U32LE(im.device ? 0 : info.clrImportant);
        if (masks)
            for (uint32_t m : maskValues)
                w.U32LE(m);
        for (const auto& q : table) {
            w.U8(q.blue);
            w.U8(q.green);
            w.U8(q.red);
            w.U8(0);
        }
    }
    bool bottomUp = info.height > 0;
    size_t at = out.size();
    out.resize(at + info.sizeImage);
    for (int row = 0; row < im.height; ++row) {
        int source = bottomUp ? im.height - 1 - row : row;
        std::memcpy(out.data() + at + static_cast<size_t>(row) * stride,
                    im.pixels.data() + static_cast<size_t>(source) * stride, stride);
    }
    stream.WriteBytes(out);
}

} // namespace tabulonix
