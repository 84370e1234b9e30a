#include "codecs/formats/Png.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

const char* const kName = "PNG";
const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

[[noreturn]] void StreamReadError()
{
    throw EStreamError("Stream read error");
}
[[noreturn]] void PngFail(const char* text)
{
    throw EInvalidGraphic(FormatError(text, kName));
}

// Chunk types compare without regard to letter case.
bool TypeIs(const uint8_t* type, const char* name)
{
    for (int i = 0; i < 4; ++i)
        if ((type[i] | 0x20) != (static_cast<uint8_t>(name[i]) | 0x20))
            return false;
    return true;
}

bool IsCritical(const uint8_t* type)
{
    return (type[0] & 0x20) == 0;
}

[[maybe_unused]] uint32_t ChunkCrc(const uint8_t* type, const uint8_t* data, size_t size)
{
    uLong crc = crc32(0L, type, 4);
    // zlib takes sizes as uInt; chunk data is below 2^31 bytes.
    return static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

struct ChunkHeader {
    uint32_t length = 0;
    uint8_t type[4] = {};
};

ChunkHeader ReadHeader(ByteReader& in)
{
    ChunkHeader h;
    h.length = in.U32BE();
    in.Copy(h.type, 4);
    return h;
}

// Fuzz builds read past wrong checksums, or almost no mutated file would get beyond them.
bool CrcMatches(uint32_t stored, const uint8_t* type, const uint8_t* data, size_t size)
{
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    (void)stored, (void)type, (void)data, (void)size;
    return true;
#else
    return stored == ChunkCrc(type, data, size);
#endif
}

// Reads the chunk's data and verifies its CRC.
const uint8_t* ReadData(ByteReader& in, const ChunkHeader& h)
{
    const uint8_t* data = in.Bytes(h.length);
    uint32_t crc = in.U32BE();
    if (!CrcMatches(crc, h.type, data, h.length))
        PngFail(kCRCError);
    return data;
}

void SkipData(ByteReader& in, const ChunkHeader& h)
{
    in.Skip(h.length);
    in.Skip(4);
}

uint8_t Paeth(int a, int b, int c)
{
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<uint8_t>(a);
    if (pb <= pc)
        return static_cast<uint8_t>(b);
    return static_cast<uint8_t>(c);
}

void Unfilter(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp)
{
    switch (type) {
    case 1:
        for (size_t i = bpp; i < n; ++i)
            row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
        break;
    case 2:
        for (size_t i = 0; i < n; ++i)
            row[i] = static_cast<uint8_t>(row[i] + prev[i]);
        break;
    case 3:
        for (size_t i = 0; i < n; ++i) {
            int left = i >= bpp ? row[i - bpp] : 0;
            row[i] = static_cast<uint8_t>(row[i] + ((left + prev[i]) >> 1));
        }
        break;
    case 4:
        for (size_t i = 0; i < n; ++i) {
            int left = i >= bpp ? row[i - bpp] : 0;
            int upLeft = i >= bpp ? prev[i - bpp] : 0;
            row[i] = static_cast<uint8_t>(row[i] + Paeth(left, prev[i], upLeft));
        }
        break;
    default:
        break; // 0, and unknown types leave the row as it is
    }
}

// Copies pixel `from` of `src` to pixel `to` of `dst`, both of `bits` bits per pixel.
void CopyPixel(const uint8_t* src, int from, uint8_t* dst, int to, int bits)
{
    if (bits >= 8) {
        size_t bytes = static_cast<size_t>(bits / 8);
        std::memcpy(dst + static_cast<size_t>(to) * bytes, src + static_cast<size_t>(from) * bytes,
                    bytes);
        return;
    }
    int perByte = 8 / bits;
    unsigned mask = (1u << bits) - 1;
    unsigned fromShift = 8 - bits * (from % perByte + 1);
    unsigned toShift = 8 - bits * (to % perByte + 1);
    unsigned v = (src[from / perByte] >> fromShift) & mask;
    uint8_t& d = dst[to / perByte];
    d = static_cast<uint8_t>((d & ~(mask << toShift)) | (v << toShift));
}

int BitsOfFormat(TPixelFormat f)
{
    switch (f) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf24bit:
        return 24;
    default:
        return 32;
    }
}

bool ValidColorFormat(int colorType, int bitDepth)
{
    switch (colorType) {
    case 0:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2:
    case 4:
    case 6:
        return bitDepth == 8 || bitDepth == 16;
    default:
        return false;
    }
}

struct Adam7Pass {
    int startRow, rowStep, startColumn, columnStep;
};
constexpr Adam7Pass kPasses[7] = {{0, 8, 0, 8}, {0, 8, 4, 8}, {4, 8, 0, 4}, {0, 4, 2, 4},
                                  {2, 4, 0, 2}, {0, 2, 1, 2}, {1, 2, 0, 1}};

} // namespace

// The state of one read: the chunk reader, the header fields and the inflater.
struct TPNGGraphic::Decoder {
    TPNGGraphic& png;
    ByteReader& in;
    int width = 0, height = 0, bitDepth = 0, colorType = 0, interlace = 0;
    bool outputReady = false;
    TPixelFormat format = pfCustom;
    std::optional<TPalette> palette;
    bool imageDone = false;

    z_stream zs{};
    bool zInit = false;
    bool streamEnded = false;
    bool idatOver = false;
    std::optional<ChunkHeader> following; // the chunk after the last IDAT, header read

    Decoder(TPNGGraphic& p, ByteReader& r) : png(p), in(r) {}
    ~Decoder()
    {
        if (zInit)
            inflateEnd(&zs);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    void SetupOutput()
    {
        if (outputReady)
            return;
        if (!ValidColorFormat(colorType, bitDepth))
            PngFail(kInvalidColorFormat);
        format = png.SetupColorManager();
        if (bitDepth == 2) {
            // 2-bit samples are widened to 4-bit pixels.
            png.ColorManager().SetTargetBitsPerSample(4);
            format = pf4bit;
        }
        png.ColorManager().Prepare();
        outputReady = true;
    }

    // Makes the inflater's next input the data of the IDAT chunk `h` (CRC verified).
    void Feed(const ChunkHeader& h)
    {
        const uint8_t* data = ReadData(in, h);
        zs.next_in = const_cast<Bytef*>(data);
        zs.avail_in = h.length;
    }

    // The next chunk when the current IDAT is used up: true and fed when it is an IDAT.
    bool NextIdat()
    {
        if (idatOver)
            return false;
        ChunkHeader h = ReadHeader(in);
        if (!TypeIs(h.type, "IDAT")) {
            following = h;
            idatOver = true;
            return false;
        }
        Feed(h);
        return true;
    }

    // Inflates exactly `n` bytes; false when the compressed data runs out first.
    bool Fill(uint8_t* out, size_t n)
    {
        if (streamEnded)
            return false;
        zs.next_out = out;
        zs.avail_out = static_cast<uInt>(n);
        while (zs.avail_out > 0) {
            // Inflate first even without input: it may still owe output from the last call.
            int rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                streamEnded = true;
                if (zs.avail_in > 0)
                    PngFail(kExtraCompressedData);
                return zs.avail_out == 0;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                PngFail(kCompressionError);
            if (zs.avail_out == 0)
                break;
            if (zs.avail_in == 0) {
                if (!NextIdat())
                    return false;
            } else if (rc == Z_BUF_ERROR) {
                PngFail(kCompressionError); // no progress although input and room are there
            }
        }
        return true;
    }

    // After the image: the IDAT chunks that are left are read (CRC verified) and dropped.
    ChunkHeader DrainIdat()
    {
        while (!idatOver) {
            ChunkHeader h = ReadHeader(in);
            if (!TypeIs(h.type, "IDAT")) {
                following = h;
                idatOver = true;
                break;
            }
            ReadData(in, h);
        }
        return *following;
    }

    void PrepareSurface()
    {
        SetupOutput();
        png.CreateImage(format, kName);
        if (palette)
            png.SetPalette(palette);
        // Background first, so rows the data does not reach show it.
        int fillCount = std::min(width, 8);
        for (int x = 0; x < fillCount; ++x)
            png.SetPixel(x, 0, png.background_);
        int bits = BitsOfFormat(format);
        size_t period = bits >= 8 ? static_cast<size_t>(bits / 8) : 1;
        size_t used = (static_cast<size_t>(width) * bits + 7) / 8;
        uint8_t* first = png.Row(0);
        for (size_t i = period; i < used; ++i)
            first[i] = first[i - period];
        for (int y = 1; y < height; ++y)
            std::memcpy(png.Row(y), first, used);
        if (png.transparentColor_) {
            png.SetTransparentColor(*png.transparentColor_);
            png.SetTransparent(true);
        }
        if (png.keepAlpha_ && colorType == 4)
            png.alphaPlane_.assign(static_cast<size_t>(width) * height, 255);
    }

    void ConvertRow(const uint8_t* samples, int y, int startColumn, int columnStep, int count,
                    std::vector<uint8_t>& scratch)
    {
        TColorManager& cm = png.ColorManager();
        uint8_t* target = png.Row(y);
        if (columnStep == 1) {
            cm.TranslateRow(samples, count, target);
        } else {
            cm.TranslateRow(samples, count, scratch.data());
            int bits = BitsOfFormat(format);
            for (int i = 0; i < count; ++i)
                CopyPixel(scratch.data(), i, target, startColumn + i * columnStep, bits);
        }
        if (!png.alphaPlane_.empty()) {
            for (int i = 0; i < count; ++i) {
                uint8_t a = bitDepth == 8
                                ? samples[2 * i + 1]
                                : static_cast<uint8_t>(GetU16BE(samples + 4 * i + 2) * 255 / 65535);
                png.alphaPlane_[static_cast<size_t>(y) * width + startColumn + i * columnStep] = a;
            }
        }
    }

    // Decodes the image from the IDAT chunk `first` on; returns the header of the chunk
    // after the last IDAT.
    ChunkHeader DecodeImage(const ChunkHeader& first)
    {
        PrepareSurface();
        if (inflateInit(&zs) != Z_OK)
            PngFail(kCompressionError);
        zInit = true;
        Feed(first);

        const TImageProperties& p = png.ImageProperties();
        const size_t pixelBits = static_cast<size_t>(p.bitsPerSample) * p.samplesPerPixel;
        const size_t bpp = std::max<size_t>(1, pixelBits / 8);
        const size_t fullRow = (static_cast<size_t>(width) * pixelBits + 7) / 8;
        std::vector<uint8_t> current(fullRow + 1), previous(fullRow + 1);
        std::vector<uint8_t> scratch((static_cast<size_t>(width) * BitsOfFormat(format) + 7) / 8 +
                                     4);

        bool running = true;
        if (interlace == 0) {
            for (int y = 0; y < height && running; ++y) {
                if (!Fill(current.data(), fullRow + 1)) {
                    running = false;
                    break;
                }
                Unfilter(current[0], current.data() + 1, previous.data() + 1, fullRow, bpp);
                ConvertRow(current.data() + 1, y, 0, 1, width, scratch);
                std::swap(current, previous);
            }
        } else {
            for (const Adam7Pass& pass : kPasses) {
                if (!running)
                    break;
                if (pass.startColumn >= width || pass.startRow >= height)
                    continue;
                int count = (width - pass.startColumn + pass.columnStep - 1) / pass.columnStep;
                size_t rowBytes = (static_cast<size_t>(count) * pixelBits + 7) / 8;
                std::fill(previous.begin(), previous.end(), 0);
                for (int y = pass.startRow; y < height; y += pass.rowStep) {
                    if (!Fill(current.data(), rowBytes + 1)) {
                        running = false;
                        break;
                    }
                    Unfilter(current[0], current.data() + 1, previous.data() + 1, rowBytes, bpp);
                    ConvertRow(current.data() + 1, y, pass.startColumn, pass.columnStep, count,
                               scratch);
                    std::swap(current, previous);
                }
            }
        }
        imageDone = true;
        return DrainIdat();
    }
};

bool TPNGGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int)
{
    ResetProperties();
    if (data.size() < 8 + 8 + 13 + 4 || std::memcmp(data.data(), kSignature, 8) != 0)
        return false;
    const uint8_t* h = data.data() + 8;
    if (GetU32BE(h) != 13 || !TypeIs(h + 4, "IHDR"))
        return false;
    const uint8_t* ihdr = h + 8;
    if (!CrcMatches(GetU32BE(ihdr + 13), h + 4, ihdr, 13))
        return false;
    uint32_t width = GetU32BE(ihdr), height = GetU32BE(ihdr + 4);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return false;
    TImageProperties& p = Properties();
    p.width = static_cast<int>(width);
    p.height = static_cast<int>(height);
    p.bitsPerSample = ihdr[8];
    switch (ihdr[9]) {
    case 0:
        p.colorScheme = csG;
        p.samplesPerPixel = 1;
        break;
    case 2:
        p.colorScheme = csRGB;
        p.samplesPerPixel = 3;
        break;
    case 3:
        p.colorScheme = csIndexed;
        p.samplesPerPixel = 1;
        break;
    case 4:
        p.colorScheme = csGA;
        p.samplesPerPixel = 2;
        break;
    case 6:
        p.colorScheme = csRGBA;
        p.samplesPerPixel = 4;
        break;
    default:
        p.colorScheme = csUnknown;
        p.samplesPerPixel = 1;
        break;
    }
    p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;
    p.hasAlpha = ihdr[9] == 4 || ihdr[9] == 6;
    p.interlaced = ihdr[12] != 0;
    p.compression = ctDeflate;
    p.options = ioBigEndian;
    // The file gamma, wherever its chunk is before IEND.
    size_t at = 8 + 25;
    while (data.size() - at >= 12) {
        uint32_t length = GetU32BE(data.data() + at);
        const uint8_t* type = data.data() + at + 4;
        if (TypeIs(type, "IEND") || length > data.size() - at - 12)
            break;
        if (TypeIs(type, "gAMA") && length >= 4)
            p.fileGamma = GetU32BE(data.data() + at + 8) / 100000.0;
        at += 12 + static_cast<size_t>(length);
    }
    return true;
}

void TPNGGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    background_ = clWhite;
    transparentColor_.reset();
    paletteAlpha_.clear();
    alphaPlane_.clear();
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kName);
    // The gamma switch comes with the gAMA chunk in the loop below.
    Properties().options &= ~ioUseGamma;

    ByteReader in(data.data(), data.size(), [] { StreamReadError(); });
    in.Skip(8);
    ChunkHeader ihdrHeader = ReadHeader(in);
    const uint8_t* ihdr = ReadData(in, ihdrHeader);
    if (ihdr[10] != 0)
        throw EInvalidGraphic(UnsupportedError("The compression scheme is", kName));

    Decoder d(*this, in);
    d.width = Properties().width;
    d.height = Properties().height;
    d.bitDepth = ihdr[8];
    d.colorType = ihdr[9];
    d.interlace = ihdr[12];
    // bKGD and tRNS values are scaled by the bit depth, so it must be sound before them.
    if (!ValidColorFormat(d.colorType, d.bitDepth))
        PngFail(kInvalidColorFormat);
    double fileGamma = Properties().fileGamma;

    auto scaleValue = [&](uint32_t v) -> uint8_t {
        if (d.bitDepth == 16)
            return static_cast<uint8_t>(v * 255 / 65535);
        if (d.bitDepth == 8)
            return static_cast<uint8_t>(v & 0xFF);
        uint32_t max = (1u << d.bitDepth) - 1;
        return static_cast<uint8_t>(std::min(v, max) * 255 / max);
    };

    for (;;) {
        ChunkHeader h = ReadHeader(in);
        if (TypeIs(h.type, "IDAT")) {
            if (d.imageDone) {
                ReadData(in, h); // a late IDAT after the image: dropped
                continue;
            }
            ChunkHeader next = d.DecodeImage(h);
            SkipData(in, next);
            if (TypeIs(next.type, "IEND"))
                break;
            if (IsCritical(next.type))
                throw EInvalidGraphic(kUnknownCriticalChunk);
        } else if (TypeIs(h.type, "PLTE")) {
            if (h.length % 3 != 0)
                PngFail(kInvalidPalette);
            const uint8_t* entries = ReadData(in, h);
            if (d.colorType == 3) {
                d.SetupOutput();
                d.palette = ColorManager().MakePaletteFromTable(
                    {entries}, pfInterlaced8Triple, static_cast<int>(h.length / 3), false);
            }
        } else if (TypeIs(h.type, "gAMA")) {
            ReadData(in, h);
            if (!d.outputReady) {
                Properties().options |= ioUseGamma;
                Properties().fileGamma = fileGamma;
            } else {
                // A gAMA after PLTE still applies to the pixels that follow.
                ColorManager().ConfigureGamma(2.2, fileGamma);
                ColorManager().SetTargetOptions(ColorManager().TargetOptions() | coApplyGamma);
            }
        } else if (TypeIs(h.type, "bKGD")) {
            const uint8_t* b = ReadData(in, h);
            if ((d.colorType == 0 || d.colorType == 4) && h.length >= 2) {
                uint8_t g = scaleValue(GetU16BE(b));
                background_ = RGBColor(g, g, g);
            } else if ((d.colorType == 2 || d.colorType == 6) && h.length >= 6) {
                background_ = RGBColor(scaleValue(GetU16BE(b)), scaleValue(GetU16BE(b + 2)),
                                       scaleValue(GetU16BE(b + 4)));
            } else if (d.colorType == 3 && h.length >= 1 && d.palette && b[0] < d.palette->size()) {
                const RGBQuad& q = (*d.palette)[b[0]];
                background_ = RGBColor(q.red, q.green, q.blue);
            }
        } else if (TypeIs(h.type, "tRNS")) {
            const uint8_t* t = ReadData(in, h);
            if (d.colorType == 0 && h.length >= 2) {
                uint8_t g = scaleValue(GetU16BE(t));
                transparentColor_ = RGBColor(g, g, g);
            } else if (d.colorType == 2 && h.length >= 6) {
                transparentColor_ = RGBColor(scaleValue(GetU16BE(t)), scaleValue(GetU16BE(t + 2)),
                                             scaleValue(GetU16BE(t + 4)));
            } else if (d.colorType == 3) {
                paletteAlpha_.assign(t, t + std::min<uint32_t>(h.length, 256));
            }
        } else {
            SkipData(in, h);
            if (TypeIs(h.type, "IEND"))
                break;
            if (IsCritical(h.type))
                throw EInvalidGraphic(kUnknownCriticalChunk);
        }
    }
    // A file without image data is not a picture.
    if (!d.imageDone)
        PngFail(kInvalidImageFormat);
    FinishLoad();
}

void DecodePngIconEntry(const uint8_t* data, size_t size, TBitmap& out)
{
    TPNGGraphic png;
    png.SetLimits(out.Limits());
    png.SetKeepAlpha(true);
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    png.ReadStream(stream);
    const int w = png.Width(), h = png.Height();
    const TColorScheme scheme = png.ImageProperties().colorScheme;
    const int bits = png.BitsPerPixel();
    out.NewImage(w, h, pf32bit);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = png.ConstRow(y);
        uint8_t* dst = out.Row(y);
        for (int x = 0; x < w; ++x) {
            TColor c = png.Pixel(x, y);
            uint8_t alpha = 255;
            if (scheme == csRGBA) {
                alpha = src[4 * x + 3];
            } else if (scheme == csGA && !png.AlphaPlane().empty()) {
                alpha = png.AlphaPlane()[static_cast<size_t>(y) * w + x];
            } else if (scheme == csIndexed) {
                unsigned index = bits == 8   ? src[x]
                                 : bits == 4 ? ((x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4))
                                             : ((src[x >> 3] >> (7 - (x & 7))) & 1);
                if (index < png.PaletteAlpha().size())
                    alpha = png.PaletteAlpha()[index];
            } else if (png.TransparentRGB() && c == *png.TransparentRGB()) {
                alpha = 0;
            }
            dst[4 * x] = GetBValue(c);
            dst[4 * x + 1] = GetGValue(c);
            dst[4 * x + 2] = GetRValue(c);
            dst[4 * x + 3] = alpha;
        }
    }
}

} // namespace tabulonix
