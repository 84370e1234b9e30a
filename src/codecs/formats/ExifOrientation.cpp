#include "codecs/formats/ExifOrientation.h"

#include "codecs/surface/Bitmap.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace tabulonix {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

// Reads bytes at any offset of a file; a short read is an empty result.
class FileBytes {
  public:
    explicit FileBytes(const std::string& path) : in_(path, std::ios::binary) {}
    std::vector<uint8_t> At(uint64_t offset, size_t count)
    {
        std::vector<uint8_t> bytes(count);
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        if (!in_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count)))
            bytes.clear();
        return bytes;
    }

  private:
    std::ifstream in_;
};

struct ByteOrder {
    bool little = true;
    uint16_t U16(const uint8_t* p) const
    {
        return little ? static_cast<uint16_t>(p[0] | p[1] << 8)
                      : static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
    uint32_t U32(const uint8_t* p) const
    {
        return little ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                            uint32_t{p[3]} << 24
                      : uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 |
                            uint32_t{p[3]};
    }
};

// The TIFF header at `base` of the file: its byte order and the first directory's offset
// (from `base`). False for anything but a classic TIFF header.
bool TiffHeader(FileBytes& file, uint64_t base, ByteOrder& order, uint32_t& firstIfd)
{
    std::vector<uint8_t> h = file.At(base, 8);
    if (h.size() != 8)
        return false;
    if (h[0] == 'I' && h[1] == 'I')
        order.little = true;
    else if (h[0] == 'M' && h[1] == 'M')
        order.little = false;
    else
        return false;
    if (order.U16(&h[2]) != 42)
        return false;
    firstIfd = order.U32(&h[4]);
    return true;
}

// The Orientation entry of the directory at `base` + `ifd`; entries past `limit` (an end
// offset from `base`, the Exif segment's end for a JPEG) are not read.
int OrientationInDirectory(FileBytes& file, uint64_t base, uint32_t ifd, const ByteOrder& order,
                           uint64_t limit)
{
    std::vector<uint8_t> count = file.At(base + ifd, 2);
    if (count.size() != 2)
        return 1;
    const uint16_t entries = order.U16(count.data());
    if (uint64_t{ifd} + 2 + uint64_t{entries} * 12 > limit)
        return 1;
    std::vector<uint8_t> table = file.At(base + ifd + 2, size_t{entries} * 12);
    for (size_t i = 0; i + 12 <= table.size(); i += 12) {
        const uint8_t* e = &table[i];
        if (order.U16(e) != kOrientationTag)
            continue;
        if (order.U16(e + 2) != kShortType || order.U32(e + 4) != 1)
            return 1;
        const uint16_t value = order.U16(e + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int JpegOrientation(FileBytes& file)
{
    uint64_t at = 2;
    // Exif sits in an APP1 segment among the first ones, before the frame's data.
    for (int segments = 0; segments < 64; ++segments) {
        std::vector<uint8_t> marker = file.At(at, 4);
        if (marker.size() != 4 || marker[0] != 0xFF)
            return 1;
        const uint8_t code = marker[1];
        if (code == 0xDA || code == 0xD9)
            return 1;
        const uint16_t length = static_cast<uint16_t>(marker[2] << 8 | marker[3]);
        if (length < 2)
            return 1;
        if (code == 0xE1 && length >= 8 + 8) {
            std::vector<uint8_t> id = file.At(at + 4, 6);
            if (id.size() == 6 && std::memcmp(id.data(), "Exif\0\0", 6) == 0) {
                const uint64_t base = at + 10;
                ByteOrder order;
                uint32_t ifd = 0;
                if (!TiffHeader(file, base, order, ifd))
                    return 1;
                return OrientationInDirectory(file, base, ifd, order, length - 8u);
            }
        }
        at += 2 + uint64_t{length};
    }
    return 1;
}

} // namespace

int ReadExifOrientation(const std::string& path)
{
    FileBytes file(path);
    std::vector<uint8_t> start = file.At(0, 2);
    if (start.size() != 2)
        return 1;
    if (start[0] == 0xFF && start[1] == 0xD8)
        return JpegOrientation(file);
    ByteOrder order;
    uint32_t ifd = 0;
    if (!TiffHeader(file, 0, order, ifd))
        return 1;
    return OrientationInDirectory(file, 0, ifd, order, UINT64_MAX);
}

void TurnUpright(TBitmap& bitmap, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return;
    const int sw = bitmap.Width(), sh = bitmap.Height();
    const bool swap = OrientationSwapsSides(orientation);
    const int w = swap ? sh : sw, h = swap ? sw : sh;
    // The stored pixel that lands at upright (x, y).
    auto stored = [&](int x, int y, int& sx, int& sy) {
        switch (orientation) {
        case 2:
            sx = sw - 1 - x;
            sy = y;
            break;
        case 3:
            sx = sw - 1 - x;
            sy = sh - 1 - y;
            break;
        case 4:
            sx = x;
            sy = sh - 1 - y;
            break;
        case 5:
            sx = y;
            sy = x;
            break;
        case 6:
            sx = y;
            sy = sh - 1 - x;
            break;
        case 7:
            sx = sw - 1 - y;
            sy = sh - 1 - x;
            break;
        default:
            sx = sw - 1 - y;
            sy = x;
            break; // 8
        }
    };
    TBitmap upright;
    upright.SetLimits(bitmap.Limits());
    const TPixelFormat format = bitmap.PixelFormat();
    const int bits = bitmap.BitsPerPixel();
    if (bits % 8 != 0 || format == pfCustom) {
        upright.SetSize(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int sx = 0, sy = 0;
                stored(x, y, sx, sy);
                upright.SetPixel(x, y, bitmap.Pixel(sx, sy));
            }
    } else {
        upright.NewImage(w, h, format, false);
        if (bitmap.HasPalette())
            upright.SetColorTable(bitmap.ColorTable());
        upright.SetAlphaChannel(bitmap.HasAlphaChannel());
        const size_t bytes = static_cast<size_t>(bits / 8);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = upright.Row(y);
            for (int x = 0; x < w; ++x) {
                int sx = 0, sy = 0;
                stored(x, y, sx, sy);
                std::memcpy(row + x * bytes, bitmap.ConstRow(sy) + sx * bytes, bytes);
            }
        }
        upright.PixelsChanged();
    }
    bitmap = upright;
}

} // namespace tabulonix
