#include "codecs/metafile/MetafileBitmaps.h"

#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/core/Stream.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tabulonix::metafile {

// The bitmap is wrapped in a BMP file header so that the one BMP reader decodes it. What goes
// in front of the pixels is measured here, by the rules of records rather than of files: the
// colour table holds at most 256 entries, a core header's height is signed, and the
// information block may be padded. The BMP reader's own header parsing counts these
// differently (all declared colours, an unsigned core height), so it cannot place the pixels.
bool DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
               TBitmap& out)
{
    if (infoSize < 12)
        return false;
    uint32_t headerSize = GetU32LE(info);
    // Headers between the core's 12 bytes and 16 are refused by the BMP reader too; turned
    // away here, before the fields at 14 and 16 are read past a short block.
    if (headerSize < 12 || headerSize > infoSize || (headerSize != 12 && headerSize < 16))
        return false;
    // Only the header, masks and colour table go in front of the pixels; the records may
    // pad the information block.
    size_t expected = headerSize;
    if (headerSize == 12) {
        int bpp = GetU16LE(info + 10);
        if (bpp <= 8)
            expected += 3u * (1u << bpp);
    } else if (headerSize >= 40) {
        int bpp = GetU16LE(info + 14);
        uint32_t compression = GetU32LE(info + 16), used = GetU32LE(info + 32);
        if (headerSize == 40 && compression == 3 && (bpp == 16 || bpp == 32))
            expected += 12;
        size_t colors = used ? std::min<uint32_t>(used, 256) : (bpp <= 8 ? (1u << bpp) : 0);
        expected += 4 * colors;
    }
    if (!bits) {
        // A packed bitmap: the pixels follow the colour table directly.
        if (expected > infoSize)
            return false;
        bits = info + expected;
        bitsSize = infoSize - expected;
    }
    infoSize = std::min(infoSize, expected);
    // A record carries all rows of its bitmap: a declared size far beyond the bytes there
    // would only make the reader allocate a picture of nothing.
    {
        bool core = headerSize == 12;
        int64_t width = core ? GetU16LE(info + 4) : int32_t(GetU32LE(info + 4));
        int64_t height = core ? int16_t(GetU16LE(info + 6)) : int32_t(GetU32LE(info + 8));
        int bpp = core ? GetU16LE(info + 10) : GetU16LE(info + 14);
        uint32_t compression = core || headerSize < 20 ? 0 : GetU32LE(info + 16);
        height = std::abs(height);
        if (width <= 0 || height == 0 || bpp <= 0 || bpp > 32)
            return false;
        if (compression == 0 || compression == 3) {
            if (static_cast<int64_t>(
                    RowBytes(static_cast<int>(std::min<int64_t>(width, 1 << 28)), bpp)) *
                    height >
                static_cast<int64_t>(bitsSize))
                return false;
        } else if (width * height > 4096 * static_cast<int64_t>(bitsSize) + (1 << 20)) {
            return false;
        }
    }
    std::vector<uint8_t> file;
    file.reserve(14 + infoSize + bitsSize);
    ByteWriter w(file);
    w.U8('B');
    w.U8('M');
    w.U32LE(static_cast<uint32_t>(14 + infoSize + bitsSize));
    w.U32LE(0);
    w.U32LE(static_cast<uint32_t>(14 + infoSize));
    w.Bytes(info, infoSize);
    w.Bytes(bits, bitsSize);
    try {
        TMemoryStream stream(std::move(file));
        out.ReadStream(stream);
    } catch (const Exception&) {
        return false;
    }
    return !out.IsEmpty();
}

bool DibBottomUp(const uint8_t* info)
{
    return GetU32LE(info) == 12 ? int16_t(GetU16LE(info + 6)) > 0 : int32_t(GetU32LE(info + 8)) > 0;
}

// The old device-dependent bitmap of block transfers: one plane of 1, 16 (5-5-5), 24 or 32
// bits per pixel (palette depths have no colours to go by and are skipped), rows top-down padded to
// 16 bits. Monochrome pixels take the text colour (0) and the background colour (1), as they do
// when copied onto a colour surface.
bool DecodeBitmap16(const uint8_t* data, size_t size, TColor text, TColor background, TBitmap& out)
{
    if (size < 10)
        return false;
    int width = int16_t(GetU16LE(data + 2)), height = int16_t(GetU16LE(data + 4));
    int widthBytes = int16_t(GetU16LE(data + 6)), planes = data[8], bits = data[9];
    if (width <= 0 || height <= 0 || planes != 1 ||
        (bits != 1 && bits != 16 && bits != 24 && bits != 32))
        return false;
    if (widthBytes < (int64_t(width) * bits + 7) / 8 ||
        int64_t(widthBytes) * height > int64_t(size) - 10)
        return false;
    try {
        CheckPixelBudget(out.Limits(), width, height, "Metafile is not valid");
    } catch (const Exception&) {
        return false;
    }
    out.NewImage(width, height, pf32bit);
    const uint8_t* p = data + 10;
    for (int y = 0; y < height; ++y, p += widthBytes)
        for (int x = 0; x < width; ++x) {
            TColor c;
            if (bits == 1) {
                c = (p[x / 8] >> (7 - x % 8)) & 1 ? background : text;
            } else if (bits == 16) {
                int v = GetU16LE(p + 2 * x);
                auto five = [](int f) { return static_cast<uint8_t>((f << 3) | (f >> 2)); };
                c = RGBColor(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
            } else {
                const uint8_t* q = p + x * (bits / 8);
                c = RGBColor(q[2], q[1], q[0]);
            }
            out.SetPixel(x, y, c);
        }
    return true;
}

} // namespace tabulonix::metafile
