#include "codecs/surface/Bitmap.h"

#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/surface/Canvas.h"
#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace tabulonix {

namespace {

// Creating, sharing and releasing pixel stores is serialised process-wide, so a surface can
// be shared with a second thread that draws on its own copy.
std::mutex& StoreLock()
{
    static std::mutex lock;
    return lock;
}

constexpr std::array<uint32_t, 3> kMasks565 = {0xF800, 0x07E0, 0x001F};
constexpr std::array<uint32_t, 3> kMasks555 = {0x7C00, 0x03E0, 0x001F};

// Bits per pixel of a store format; a device-format store takes the screen's depth.
int BitsOf(TPixelFormat format, int deviceBits)
{
    switch (format) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf15bit:
    case pf16bit:
        return 16;
    case pf24bit:
        return 24;
    case pfDevice:
        return deviceBits;
    case pf32bit:
    case pfCustom:
        return 32;
    }
    return 32;
}

// Extracts a colour channel described by a bit mask and scales it to 8 bits with
// rounding, so that the largest value is 255 whatever the channel's width.
uint8_t MaskChannel(uint32_t value, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = __builtin_ctz(mask);
    uint64_t m = mask >> shift;
    uint64_t v = (value >> shift) & m;
    if (m == 255)
        return static_cast<uint8_t>(v);
    return static_cast<uint8_t>((v * 255 + m / 2) / m);
}

uint32_t PackChannel(uint8_t value, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = __builtin_ctz(mask);
    uint64_t m = mask >> shift;
    uint64_t v = (value * m + 127) / 255;
    return static_cast<uint32_t>((v & m) << shift);
}

std::vector<RGBQuad> TableFromPalette(const TPalette& palette, int bits)
{
    size_t n = std::min<size_t>(palette.size(), size_t{1} << bits);
    return std::vector<RGBQuad>(palette.begin(), palette.begin() + static_cast<long>(n));
}

std::vector<RGBQuad> BlackWhite()
{
    return {RGBQuad{0, 0, 0, 0}, RGBQuad{255, 255, 255, 0}};
}

} // namespace

size_t RowBytes(int width, int bitsPerPixel)
{
    if (width <= 0)
        return 0;
    return ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
}

size_t TBitmapImage::Stride() const
{
    return RowBytes(width, header.bitCount);
}

namespace {

// Memory for every row of `image`, the pixels left unset for a caller that writes each of
// them. The bytes after the last whole pixel byte of a row are zeroed, since files carry
// them; rows of fewer than 8 bits per pixel are cleared whole, as pixels are set bit by bit.
void AllocateRows(TBitmapImage& image)
{
    size_t stride = image.Stride();
    size_t rows = static_cast<size_t>(image.height);
    if (image.header.bitCount < 8) {
        image.pixels.assign(stride * rows, 0);
        return;
    }
    image.pixels.Allocate(stride * rows);
    size_t used = static_cast<size_t>(image.width) * image.header.bitCount / 8;
    if (used < stride)
        for (size_t y = 0; y < rows; ++y)
            std::memset(image.pixels.data() + stride * y + used, 0, stride - used);
}

} // namespace

TColor ReadStorePixel(const TBitmapImage& image, const uint8_t* row, int x)
{
    auto fromTable = [&](unsigned index) -> TColor {
        if (index >= image.colorTable.size())
            return clBlack;
        const RGBQuad& q = image.colorTable[index];
        return RGBColor(q.red, q.green, q.blue);
    };
    switch (image.header.bitCount) {
    case 1:
        return fromTable((row[x >> 3] >> (7 - (x & 7))) & 1);
    case 4:
        return fromTable((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
    case 8:
        return fromTable(row[x]);
    case 16: {
        uint32_t v = GetU16LE(row + 2 * x);
        const auto& m = image.masks[0] ? image.masks : kMasks555;
        return RGBColor(MaskChannel(v, m[0]), MaskChannel(v, m[1]), MaskChannel(v, m[2]));
    }
    case 24: {
        const uint8_t* p = row + 3 * x;
        return RGBColor(p[2], p[1], p[0]);
    }
    case 32: {
        const uint8_t* p = row + 4 * x;
        if (image.masks[0] == 0 && image.masks[1] == 0 && image.masks[2] == 0)
            return RGBColor(p[2], p[1], p[0]);
        uint32_t v = GetU32LE(p);
        return RGBColor(MaskChannel(v, image.masks[0]), MaskChannel(v, image.masks[1]),
                        MaskChannel(v, image.masks[2]));
    }
    default:
        return clBlack;
    }
}

namespace {

int NearestIndex(const TBitmapImage& image, TColor rgb)
{
    uint8_t r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    if (image.colorTable.empty())
        return 0;
    if (image.halftone && image.colorTable.size() == 256)
        return NearestHalftoneIndex(r, g, b);
    return NearestColorIndex(image.colorTable.data(), static_cast<int>(image.colorTable.size()), r,
                             g, b);
}

} // namespace

void WriteStorePixel(TBitmapImage& image, uint8_t* row, int x, TColor color)
{
    TColor rgb = ColorToRGB(color);
    switch (image.header.bitCount) {
    case 1: {
        int i = NearestIndex(image, rgb) & 1;
        uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>(i ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
        break;
    }
    case 4: {
        int i = NearestIndex(image, rgb) & 0x0F;
        uint8_t& byte = row[x >> 1];
        byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | i)
                       : static_cast<uint8_t>((byte & 0x0F) | (i << 4));
        break;
    }
    case 8:
        row[x] = static_cast<uint8_t>(NearestIndex(image, rgb));
        break;
    case 16: {
        const auto& m = image.masks[0] ? image.masks : kMasks555;
        uint32_t v = PackChannel(GetRValue(rgb), m[0]) | PackChannel(GetGValue(rgb), m[1]) |
                     PackChannel(GetBValue(rgb), m[2]);
        PutU16LE(row + 2 * x, static_cast<uint16_t>(v));
        break;
    }
    case 24: {
        uint8_t* p = row + 3 * x;
        p[0] = GetBValue(rgb);
        p[1] = GetGValue(rgb);
        p[2] = GetRValue(rgb);
        break;
    }
    case 32: {
        uint8_t* p = row + 4 * x;
        if (image.masks[0] == 0 && image.masks[1] == 0 && image.masks[2] == 0) {
            p[0] = GetBValue(rgb);
            p[1] = GetGValue(rgb);
            p[2] = GetRValue(rgb);
            p[3] = 0;
        } else {
            PutU32LE(p, PackChannel(GetRValue(rgb), image.masks[0]) |
                            PackChannel(GetGValue(rgb), image.masks[1]) |
                            PackChannel(GetBValue(rgb), image.masks[2]));
        }
        break;
    }
    default:
        break;
    }
}

TBitmap::TBitmap() : image_(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() = default;

TBitmap::TBitmap(const TBitmap& other) : TGraphic(), image_(std::make_shared<TBitmapImage>())
{
    SetLimits(other.Limits());
    AssignFrom(other);
}

TBitmap& TBitmap::operator=(const TBitmap& other)
{
    SetLimits(other.Limits());
    AssignFrom(other);
    return *this;
}

int TBitmap::Width() const
{
    return image_->width;
}
int TBitmap::Height() const
{
    return image_->height;
}

void TBitmap::Unshare()
{
    {
        std::lock_guard<std::mutex> guard(StoreLock());
        if (image_.use_count() > 1)
            image_ = std::make_shared<TBitmapImage>(*image_);
    }
    // Any change invalidates the run-length file bytes kept for writing back.
    image_->rleFile.clear();
}

void TBitmap::SetWidth(int width)
{
    Resize(width, Height());
}
void TBitmap::SetHeight(int height)
{
    Resize(Width(), height);
}

void TBitmap::SetSize(int width, int height)
{
    Resize(width, height);
}

void TBitmap::Resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == image_->width && height == image_->height)
        return;
    auto fresh = std::make_shared<TBitmapImage>();
    const TBitmapImage& old = *image_;
    fresh->device = old.device;
    fresh->header = old.header;
    if (old.device) {
        fresh->header = TBitmapInfoHeader{};
        fresh->header.bitCount = static_cast<uint16_t>(Limits().screen.bitsPerPixel);
    }
    fresh->masks = old.masks;
    fresh->colorTable = old.colorTable;
    fresh->palette = old.palette;
    fresh->halftone = old.halftone;
    fresh->os2 = old.os2;
    if (fresh->header.bitCount <= 8 && fresh->colorTable.empty())
        fresh->colorTable = fresh->header.bitCount == 1
                                ? BlackWhite()
                                : std::vector<RGBQuad>(size_t{1} << fresh->header.bitCount);
    fresh->width = width;
    fresh->height = height;
    fresh->header.width = width;
    fresh->header.height = old.header.height < 0 ? -height : height;
    fresh->header.compression = fresh->masks[0] ? 3 : 0;
    fresh->header.sizeImage = 0;
    if (width > 0 && height > 0) {
        CheckPixelBudget(Limits(), width, height, "Out of system resources");
        size_t stride = fresh->Stride();
        AllocateRows(*fresh); // every pixel gets the fill below
        fresh->header.sizeImage =
            static_cast<uint32_t>(std::min<size_t>(stride * height, UINT32_MAX));
        TColor fill = canvas_ ? ColorToRGB(canvas_->Brush.Color) : clWhite;
        // The fill colour in the store's own encoding, then repeated along the first row.
        for (int x = 0; x < width; ++x)
            WriteStorePixel(*fresh, fresh->pixels.data(), x, fill);
        for (int y = 1; y < height; ++y)
            std::memcpy(fresh->pixels.data() + stride * y, fresh->pixels.data(), stride);
        // Old content into the top-left corner.
        int cw = std::min(width, old.width), ch = std::min(height, old.height);
        if (cw > 0 && ch > 0 && !old.pixels.empty()) {
            bool byteAligned = (static_cast<size_t>(cw) * fresh->header.bitCount) % 8 == 0;
            for (int y = 0; y < ch; ++y) {
                const uint8_t* src = old.pixels.data() + old.Stride() * y;
                uint8_t* dst = fresh->pixels.data() + stride * y;
                if (byteAligned)
                    std::memcpy(dst, src, static_cast<size_t>(cw) * fresh->header.bitCount / 8);
                else
                    for (int x = 0; x < cw; ++x)
                        WriteStorePixel(*fresh, dst, x, ReadStorePixel(old, src, x));
            }
        }
    }
    {
        std::lock_guard<std::mutex> guard(StoreLock());
        image_ = std::move(fresh);
    }
    Changed();
}

bool TBitmap::HasAlphaChannel() const
{
    return image_->alpha && image_->header.bitCount == 32;
}

void TBitmap::SetAlphaChannel(bool value)
{
    if (value == HasAlphaChannel())
        return;
    Unshare();
    image_->alpha = value;
    Changed();
}

TPixelFormat TBitmap::PixelFormat() const
{
    const TBitmapImage& im = *image_;
    if (im.device)
        return pfDevice;
    switch (im.header.bitCount) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 16:
        if (im.masks[0] == 0 && im.masks[1] == 0 && im.masks[2] == 0)
            return pf15bit;
        return im.masks == kMasks565 ? pf16bit : (im.masks == kMasks555 ? pf15bit : pfCustom);
    case 24:
        return pf24bit;
    case 32:
        return (im.masks[0] == 0 && im.masks[1] == 0 && im.masks[2] == 0) ? pf32bit : pfCustom;
    default:
        return pfCustom;
    }
}

int TBitmap::BitsPerPixel() const
{
    return image_->header.bitCount;
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == pfCustom)
        throw EInvalidGraphic("Invalid pixel format");
    if (format == PixelFormat())
        return;
    const TBitmapImage& old = *image_;
    auto fresh = std::make_shared<TBitmapImage>();
    fresh->width = old.width;
    fresh->height = old.height;
    fresh->device = format == pfDevice;
    fresh->header.width = old.width;
    fresh->header.height = old.header.height < 0 ? -old.height : old.height;
    fresh->header.bitCount = static_cast<uint16_t>(BitsOf(format, Limits().screen.bitsPerPixel));
    if (format == pf16bit) {
        fresh->masks = kMasks565;
        fresh->header.compression = 3;
    }
    // Palette of the new store.
    if (format == pf4bit) {
        const auto& std16 = StandardColors16();
        fresh->palette = TPalette(std16.begin(), std16.end());
    } else if (format == pf8bit) {
        const auto& halftone = HalftonePalette();
        fresh->palette = TPalette(halftone.begin(), halftone.end());
        fresh->halftone = true;
    } else {
        fresh->palette = old.palette;
        fresh->halftone = old.halftone;
    }
    if (fresh->header.bitCount <= 8) {
        if (fresh->palette)
            fresh->colorTable = TableFromPalette(*fresh->palette, fresh->header.bitCount);
        else
            fresh->colorTable = BlackWhite();
    }
    if (old.width > 0 && old.height > 0 && !old.pixels.empty()) {
        size_t stride = fresh->Stride();
        AllocateRows(*fresh); // every pixel is taken over below
        fresh->header.sizeImage =
            static_cast<uint32_t>(std::min<size_t>(fresh->pixels.size(), UINT32_MAX));
        // Same size: every pixel taken over in the new format; for 8 bits and fewer each
        // colour is mapped to the nearest table colour, without dithering.
        for (int y = 0; y < old.height; ++y) {
            const uint8_t* src = old.pixels.data() + old.Stride() * y;
            uint8_t* dst = fresh->pixels.data() + stride * y;
            for (int x = 0; x < old.width; ++x)
                WriteStorePixel(*fresh, dst, x, ReadStorePixel(old, src, x));
        }
    }
    {
        std::lock_guard<std::mutex> guard(StoreLock());
        image_ = std::move(fresh);
    }
    if (image_->palette)
        paletteModified_ = true;
    Changed();
}

void TBitmap::NewImage(int width, int height, TPixelFormat format, bool cleared)
{
    if (format == pfCustom)
        throw EInvalidGraphic("Invalid pixel format");
    auto fresh = std::make_shared<TBitmapImage>();
    fresh->device = format == pfDevice;
    fresh->header.bitCount = static_cast<uint16_t>(BitsOf(format, Limits().screen.bitsPerPixel));
    if (format == pf16bit) {
        fresh->masks = kMasks565;
        fresh->header.compression = 3;
    }
    if (fresh->header.bitCount <= 8)
        fresh->colorTable.assign(size_t{1} << fresh->header.bitCount, RGBQuad{});
    width = std::max(width, 0);
    height = std::max(height, 0);
    fresh->width = width;
    fresh->height = height;
    fresh->header.width = width;
    fresh->header.height = height;
    if (width > 0 && height > 0) {
        CheckPixelBudget(Limits(), width, height, "Out of system resources");
        if (cleared)
            fresh->pixels.assign(fresh->Stride() * static_cast<size_t>(height), 0);
        else
            AllocateRows(*fresh);
        fresh->header.sizeImage =
            static_cast<uint32_t>(std::min<size_t>(fresh->pixels.size(), UINT32_MAX));
    }
    {
        std::lock_guard<std::mutex> guard(StoreLock());
        image_ = std::move(fresh);
    }
    Changed();
}

uint8_t* TBitmap::Row(int r)
{
    if (r < 0 || r >= image_->height || image_->pixels.empty())
        throw EInvalidGraphic("Scan line index out of range");
    Unshare();
    return image_->pixels.data() + image_->Stride() * static_cast<size_t>(r);
}

const uint8_t* TBitmap::ConstRow(int r) const
{
    if (r < 0 || r >= image_->height || image_->pixels.empty())
        throw EInvalidGraphic("Scan line index out of range");
    return image_->pixels.data() + image_->Stride() * static_cast<size_t>(r);
}

size_t TBitmap::RowSize() const
{
    return image_->Stride();
}

const std::vector<RGBQuad>& TBitmap::ColorTable() const
{
    return image_->colorTable;
}

void TBitmap::SetColorTable(const std::vector<RGBQuad>& table)
{
    Unshare();
    size_t limit = image_->header.bitCount <= 8 ? (size_t{1} << image_->header.bitCount) : 256;
    image_->colorTable.assign(table.begin(),
                              table.begin() + static_cast<long>(std::min(table.size(), limit)));
    image_->halftone = false;
    Changed();
}

bool TBitmap::HasPalette() const
{
    return image_->palette.has_value();
}

TPalette TBitmap::Palette() const
{
    return image_->palette ? *image_->palette : TPalette{};
}

void TBitmap::SetPalette(const std::optional<TPalette>& palette)
{
    Unshare();
    image_->halftone = false;
    if (!palette) {
        image_->palette.reset();
    } else {
        image_->palette = *palette;
        if (image_->header.bitCount <= 8) {
            size_t n = std::min<size_t>(palette->size(), size_t{1} << image_->header.bitCount);
            if (image_->colorTable.size() < n)
                image_->colorTable.resize(n);
            std::copy(palette->begin(), palette->begin() + static_cast<long>(n),
                      image_->colorTable.begin());
        }
    }
    paletteModified_ = true;
    Changed();
}

bool TBitmap::HalftonePaletteSelected() const
{
    return image_->halftone;
}

void TBitmap::SetHalftonePalette()
{
    const auto& h = HalftonePalette();
    SetPalette(TPalette(h.begin(), h.end()));
    image_->halftone = true;
}

std::array<uint32_t, 3> TBitmap::ColorMasks() const
{
    return image_->masks;
}
bool TBitmap::IsOS2() const
{
    return image_->os2;
}
bool TBitmap::HoldsRleFile() const
{
    return !image_->rleFile.empty();
}

TColor TBitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= image_->width || y >= image_->height || image_->pixels.empty())
        return -1; // no such pixel
    return ReadStorePixel(*image_, ConstRow(y), x);
}

void TBitmap::SetPixel(int x, int y, TColor color)
{
    if (x < 0 || y < 0 || x >= image_->width || y >= image_->height || image_->pixels.empty())
        return;
    WriteStorePixel(*image_, Row(y), x, color);
    Changed();
}

TCanvas& TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(*this);
    return *canvas_;
}

TColor TBitmap::TransparentColor() const
{
    if (transparentColor_)
        return *transparentColor_;
    if (IsEmpty())
        return clBlack;
    return Pixel(0, Height() - 1);
}

void TBitmap::SetTransparentColor(TColor color)
{
    transparentColor_ = color;
}

void TBitmap::ReleaseCopy()
{
    std::lock_guard<std::mutex> guard(StoreLock());
    if (image_.use_count() > 1)
        image_ = std::make_shared<TBitmapImage>(*image_);
    // The store is the device-independent surface itself: nothing else to drop.
}

bool TBitmap::SharesStoreWith(const TBitmap& other) const
{
    std::lock_guard<std::mutex> guard(StoreLock());
    return image_ == other.image_;
}

const TBitmapImage& TBitmap::Image() const
{
    return *image_;
}

void TBitmap::Paint(TCanvas& canvas, const TRect& rect)
{
    if (IsEmpty())
        return;
    TRect all{0, 0, Width(), Height()};
    // Onto a palette surface of fewer bits the colours are averaged; otherwise, unless the
    // picture is monochrome, each destination pixel takes one source pixel.
    int destBits = canvas.DeviceBitsPerPixel(), sourceBits = BitsPerPixel();
    TStretchMode keep = canvas.StretchMode;
    if (destBits <= 8 && destBits < sourceBits)
        canvas.StretchMode = smHalftone;
    else if (sourceBits != 1)
        canvas.StretchMode = smDeleteScans;
    if (Transparent())
        canvas.StretchBlitTransparent(rect, *this, all, TransparentColor());
    else
        canvas.StretchBlit(rect, *this, all, canvas.CopyMode);
    canvas.StretchMode = keep;
}

void TBitmap::AssignFrom(const TGraphic& source)
{
    if (&source == this)
        return;
    if (auto* other = dynamic_cast<const TBitmap*>(&source)) {
        {
            std::lock_guard<std::mutex> guard(StoreLock());
            image_ = other->image_;
        }
        transparentColor_ = other->transparentColor_;
        paletteModified_ = other->paletteModified_;
        SetTransparent(other->Transparent());
        Changed();
        return;
    }
    if (source.AssignTo(*this))
        return;
    AssignError(source);
}

bool TBitmap::Equals(const TGraphic& other) const
{
    auto* b = dynamic_cast<const TBitmap*>(&other);
    if (!b)
        return false;
    if (SharesStoreWith(*b))
        return true;
    const TBitmapImage &x = *image_, &y = *b->image_;
    return x.width == y.width && x.height == y.height && x.header.bitCount == y.header.bitCount &&
           x.masks == y.masks && x.colorTable == y.colorTable && x.pixels == y.pixels;
}

} // namespace tabulonix
