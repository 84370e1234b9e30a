#include "codecs/formats/Tga.h"

#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

const char* const kFormatName = "TGA";
constexpr size_t kHeaderSize = 18;

[[noreturn]] void ReadError()
{
    throw EStreamError("Stream read error");
}

bool IsColorMapped(int type)
{
    return type == 1 || type == 9;
}
bool IsTrueColor(int type)
{
    return type == 2 || type == 10;
}
bool IsGrey(int type)
{
    return type == 3 || type == 11;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Run-length coder

TTargaRLEDecoder::TTargaRLEDecoder(int pixelBits)
    : pixelBytes_(std::clamp((pixelBits + 1) / 8, 1, 4))
{
}

void TTargaRLEDecoder::Reset()
{
    pendingRun_ = 0;
    pendingRaw_ = 0;
}

std::vector<uint8_t> TTargaRLEDecoder::EncodeRow(const uint8_t* pixels, int count) const
{
    const size_t pb = static_cast<size_t>(pixelBytes_);
    auto same = [&](int a, int b) {
        return std::memcmp(pixels + a * pb, pixels + b * pb, pb) == 0;
    };
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(count) * pb + static_cast<size_t>(count) / 128 + 1);
    int at = 0;
    while (at < count) {
        int n = count - at;
        // Raw pixels up to the first one that equals its successor; a packet holds 128
        // pixels at most, so neither count needs to look further.
        int limit = std::min(n, 128);
        int d = 0;
        while (d < limit && !(d + 1 < n && same(at + d, at + d + 1)))
            ++d;
        int s = 1;
        while (s < limit && same(at, at + s))
            ++s;
        if (d > 0) {
            out.push_back(static_cast<uint8_t>(d - 1));
            out.insert(out.end(), pixels + at * pb, pixels + (at + d) * pb);
            at += d;
        } else {
            out.push_back(static_cast<uint8_t>(0x80 + (s - 1)));
            out.insert(out.end(), pixels + at * pb, pixels + (at + 1) * pb);
            at += s;
        }
    }
    return out;
}

size_t TTargaRLEDecoder::Decode(const uint8_t* packed, size_t size, uint8_t* out, int count)
{
    const size_t pb = static_cast<size_t>(pixelBytes_);
    size_t p = 0;
    int x = 0;
    while (x < count) {
        if (pendingRun_ > 0) {
            int n = std::min(pendingRun_, count - x);
            for (int i = 0; i < n; ++i)
                std::memcpy(out + static_cast<size_t>(x + i) * pb, runPixel_, pb);
            pendingRun_ -= n;
            x += n;
            continue;
        }
        if (pendingRaw_ > 0) {
            int n = std::min(pendingRaw_, count - x);
            n = static_cast<int>(std::min<size_t>(static_cast<size_t>(n), (size - p) / pb));
            if (n == 0)
                break;
            std::memcpy(out + static_cast<size_t>(x) * pb, packed + p, static_cast<size_t>(n) * pb);
            p += static_cast<size_t>(n) * pb;
            pendingRaw_ -= n;
            x += n;
            continue;
        }
        if (p >= size)
            break;
        uint8_t head = packed[p];
        int length = (head & 0x7F) + 1;
        if (head & 0x80) {
            if (size - p - 1 < pb)
                break; // the pixel value is not within the bytes given: leave the packet unread
            std::memcpy(runPixel_, packed + p + 1, pb);
            p += 1 + pb;
            pendingRun_ = length;
        } else {
            p += 1;
            pendingRaw_ = length;
        }
    }
    return p;
}

// ---------------------------------------------------------------------------------------
// Reading

bool TTargaGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.size() < kHeaderSize)
        ReadError();
    const uint8_t* h = data.data();
    int type = h[2];
    int pixelSize = h[16];
    if (!IsColorMapped(type) && !IsTrueColor(type) && !IsGrey(type))
        return false;
    TImageProperties& p = Properties();
    p.width = GetU16LE(h + 12);
    p.height = GetU16LE(h + 14);
    p.bitsPerPixel = pixelSize;
    p.compression = type >= 9 ? ctRLE : ctNone;
    p.bottomUp = (h[17] & 0x20) == 0;
    p.hasAlpha = (h[17] & 0x0F) != 0;
    if (IsColorMapped(type)) {
        p.colorScheme = csIndexed;
        p.samplesPerPixel = 1;
        p.bitsPerSample = pixelSize;
    } else if (IsGrey(type)) {
        p.colorScheme = pixelSize == 16 ? csGA : csG;
        p.samplesPerPixel = pixelSize == 16 ? 2 : 1;
        p.bitsPerSample = 8;
    } else {
        p.colorScheme = pixelSize == 32 ? csBGRA : csBGR;
        p.samplesPerPixel = pixelSize == 32 ? 4 : 3;
        p.bitsPerSample = pixelSize >= 24 ? 8 : 5;
    }
    return true;
}

void TTargaGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    ByteReader in(data.data(), data.size(), [] { ReadError(); });
    RequireProperties(data, kFormatName);
    const TImageProperties& props = Properties();
    in.Skip(kHeaderSize);
    const uint8_t* h = data.data();
    int type = h[2];
    int mapType = h[1];
    int mapLength = GetU16LE(h + 5);
    int mapEntryBits = h[7];
    int pixelSize = h[16];
    in.Skip(h[0]); // image ID

    // The decoded layout follows the pixel size; stored and held pixels have the same
    // byte order, so rows are copied as they are. Grey pictures with an alpha byte keep
    // their grey level.
    TPixelFormat format;
    bool greyAlpha = false;
    if (IsGrey(type) && pixelSize == 16) {
        greyAlpha = true;
        format = pf8bit;
        TColorManager& cm = ColorManager();
        cm.SetSourceColorScheme(csGA);
        cm.SetSourceSamplesPerPixel(2);
        cm.SetSourceBitsPerSample(8);
        cm.SetTargetColorScheme(csIndexed);
        cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(8);
        cm.SetSourceOptions(coNone);
        cm.SetTargetOptions(coNone);
        cm.Prepare();
    } else {
        switch (pixelSize) {
        case 8:
            format = pf8bit;
            break;
        case 15:
        case 16:
            format = pf15bit;
            break;
        case 24:
            format = pf24bit;
            break;
        case 32:
            format = pf32bit;
            break;
        default:
            Fail(kInvalidColorFormat, kFormatName);
        }
        if (IsColorMapped(type) && pixelSize != 8)
            Fail(kInvalidColorFormat, kFormatName);
        if (IsGrey(type) && pixelSize != 8)
            Fail(kInvalidColorFormat, kFormatName);
    }

    // Colour map, or the grey ramp.
    std::optional<TPalette> palette;
    if (IsGrey(type)) {
        TPalette grey(256);
        for (int i = 0; i < 256; ++i)
            grey[static_cast<size_t>(i)] = RGBQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                                   static_cast<uint8_t>(i), 0};
        palette = grey;
        if (mapType == 1)
            in.Skip(static_cast<size_t>(mapLength) * ((mapEntryBits + 7) / 8));
    } else if (mapType == 1) {
        TPalette map;
        size_t entryBytes = static_cast<size_t>((mapEntryBits + 7) / 8);
        for (int i = 0; i < mapLength; ++i) {
            RGBQuad q;
            if (mapEntryBits == 24 || mapEntryBits == 32) {
                q.blue = in.U8();
                q.green = in.U8();
                q.red = in.U8();
                if (mapEntryBits == 32)
                    in.U8();
            } else if (mapEntryBits == 15 || mapEntryBits == 16) {
                uint16_t v = in.U16LE();
                q.blue = static_cast<uint8_t>((v & 31) * 8);
                q.green = static_cast<uint8_t>(((v >> 5) & 31) * 8);
                q.red = static_cast<uint8_t>(((v >> 10) & 31) * 8);
            } else {
                in.Skip(entryBytes);
                continue;
            }
            if (map.size() < 256)
                map.push_back(q);
        }
        if (!map.empty())
            palette = map;
    }

    const int width = props.width, height = props.height;
    if (width == 0 || height == 0) {
        FinishLoad();
        return;
    }
    const size_t pixelBytes = pixelSize == 15 ? 2 : static_cast<size_t>(pixelSize / 8);
    const size_t rowSize = static_cast<size_t>(width) * pixelBytes;
    // A plain file too short for its rows fails with the read error anyway; say so before
    // allocating the surface.
    if (props.compression == ctNone && static_cast<uint64_t>(rowSize) * height > in.Remaining())
        ReadError();
    CreateImage(width, height, format, kFormatName);
    if (format == pf8bit && palette)
        SetPalette(palette);
    // The fourth byte is alpha only when the descriptor counts attribute bits.
    if (format == pf32bit && props.hasAlpha)
        SetAlphaChannel(true);

    std::vector<uint8_t> greyRow(greyAlpha ? rowSize : 0);
    TTargaRLEDecoder decoder(pixelSize);
    for (int r = 0; r < height; ++r) {
        int y = props.bottomUp ? height - 1 - r : r;
        uint8_t* out = greyAlpha ? greyRow.data() : Row(y);
        if (props.compression == ctNone) {
            in.Copy(out, rowSize);
        } else {
            size_t window = static_cast<size_t>(
                std::min<uint64_t>(2 * static_cast<uint64_t>(rowSize), in.Remaining()));
            size_t used = decoder.Decode(in.Data() + in.Position(), window, out, width);
            in.Skip(used);
        }
        if (greyAlpha)
            ColorManager().TranslateRow(greyRow.data(), width, Row(y));
    }
    FinishLoad();
}

// ---------------------------------------------------------------------------------------
// Writing

void TTargaGraphic::WriteStream(TStream& stream, bool compressed)
{
    if (Width() == 0 || Height() == 0)
        return;
    const TBitmapImage& image = Image();
    const int width = Width(), height = Height();
    int bits = image.BitCount();
    TPixelFormat format = PixelFormat();
    size_t pixelBytes;
    switch (format) {
    case pf1bit:
    case pf4bit:
    case pf8bit:
        pixelBytes = 1;
        break;
    case pf15bit:
    case pf16bit:
        pixelBytes = 2;
        break;
    case pf24bit:
        pixelBytes = 3;
        break;
    case pfDevice:
        pixelBytes = static_cast<size_t>(Limits().screen.bitsPerPixel / 8);
        break;
    default:
        pixelBytes = 4;
        break;
    }
    bool mapped = pixelBytes == 1;

    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.U8(0);
    w.U8(mapped ? 1 : 0);
    w.U8(mapped ? (compressed ? 9 : 1) : (compressed ? 10 : 2));
    w.U16LE(0);
    w.U16LE(256);
    w.U8(24);
    w.U16LE(0);
    w.U16LE(0);
    w.U16LE(static_cast<uint16_t>(width));
    w.U16LE(static_cast<uint16_t>(height));
    w.U8(static_cast<uint8_t>(pixelBytes * 8));
    w.U8(0x20);
    if (mapped) {
        const auto& table = ColorTable();
        for (size_t i = 0; i < 256; ++i) {
            RGBQuad q = i < table.size() ? table[i] : RGBQuad{};
            w.U8(q.blue);
            w.U8(q.green);
            w.U8(q.red);
        }
    }
    stream.WriteBytes(out);

    TTargaRLEDecoder coder(static_cast<int>(pixelBytes * 8));
    std::vector<uint8_t> row(static_cast<size_t>(width) * pixelBytes);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = ConstRow(y);
        if (bits < 8) {
            // 1- and 4-bit pictures go out as 8-bit indices into the same colours.
            for (int x = 0; x < width; ++x)
                row[static_cast<size_t>(x)] =
                    bits == 1
                        ? static_cast<uint8_t>((src[x >> 3] >> (7 - (x & 7))) & 1)
                        : static_cast<uint8_t>((x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4));
        } else if (format == pf16bit) {
            // 5-6-5 pixels become the 5-5-5 layout of the file.
            for (int x = 0; x < width; ++x) {
                uint16_t v = GetU16LE(src + 2 * x);
                uint16_t r = (v >> 11) & 31, g = (v >> 6) & 31, b = v & 31;
                PutU16LE(row.data() + 2 * x, static_cast<uint16_t>((r << 10) | (g << 5) | b));
            }
        } else {
            std::memcpy(row.data(), src, row.size());
            // The fourth byte of a display-format surface is unused; many readers take it
            // as alpha whatever the descriptor says, so it goes out opaque.
            if (format == pfDevice && pixelBytes == 4)
                for (int x = 0; x < width; ++x)
                    row[4 * static_cast<size_t>(x) + 3] = 0xFF;
        }
        if (compressed) {
            std::vector<uint8_t> packed = coder.EncodeRow(row.data(), width);
            stream.WriteBytes(packed);
        } else {
            stream.WriteBytes(row);
        }
    }
}

} // namespace tabulonix
