// GIF object model: colour maps, extensions, sub-images, taking over other graphics and
// painting the first image.
#include "codecs/formats/gif/GifCodec.h"

#include "codecs/compression/GifLzw.h"
#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/surface/Canvas.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace tabulonix {

// --- Colour maps -----------------------------------------------------------------------

int TGIFColorMap::Add(const TGIFColor& color)
{
    if (colors_.size() >= 256)
        throw GIFException(gif_text::ColorTableOverflow);
    if (Count() >= capacity_)
        capacity_ = capacity_ < 16 ? 16 : std::min(256, (Count() / 32 + 1) * 32);
    colors_.push_back(color);
    return Count() - 1;
}

void TGIFColorMap::Clear()
{
    colors_.clear();
    capacity_ = 0;
    Optimized = false;
}

int TGIFColorMap::BitsPerPixel() const
{
    if (colors_.empty())
        return 0;
    int n = 1;
    while ((1 << n) < Count())
        ++n;
    return n;
}

std::optional<TPalette> TGIFColorMap::ToPalette() const
{
    if (colors_.empty())
        return std::nullopt;
    TPalette palette;
    palette.reserve(colors_.size());
    for (const TGIFColor& c : colors_)
        palette.push_back(RGBQuad{c.blue, c.green, c.red, 0});
    return palette;
}

void TGIFColorMap::ReadMap(ByteReader& reader, int count)
{
    Clear();
    const uint8_t* p = reader.Bytes(static_cast<size_t>(count) * 3);
    for (int i = 0; i < count; ++i, p += 3)
        Add(TGIFColor{p[0], p[1], p[2]});
}

void TGIFColorMap::WriteMap(ByteWriter& writer) const
{
    for (const TGIFColor& c : colors_) {
        writer.U8(c.red);
        writer.U8(c.green);
        writer.U8(c.blue);
    }
    for (int i = Count(); i < (1 << BitsPerPixel()); ++i) {
        writer.U8(0);
        writer.U8(0);
        writer.U8(0);
    }
}

// --- Sub-images ------------------------------------------------------------------------

TGIFSubImage::TGIFSubImage(const TGIFSubImage& other, TGIFImage& owner)
    : descriptor(other.descriptor), colorMap(other.colorMap), data(other.data), owner_(&owner)
{
    for (const auto& e : other.extensions)
        extensions.push_back(e->Clone());
}

void TGIFSubImage::SetSize(int width, int height)
{
    if (width < 0 || height < 0 || width > 0xFFFF || height > 0xFFFF)
        throw GIFException(gif_text::ExceedsScreen);
    descriptor.width = static_cast<uint16_t>(width);
    descriptor.height = static_cast<uint16_t>(height);
    data.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    DropCaches();
}

const TGIFGraphicControlExtension* TGIFSubImage::GraphicControl() const
{
    for (const auto& e : extensions)
        if (e->Label() == TGIFGraphicControlExtension::kLabel)
            return static_cast<const TGIFGraphicControlExtension*>(e.get());
    return nullptr;
}

bool TGIFSubImage::Transparent() const
{
    const TGIFGraphicControlExtension* gce = GraphicControl();
    return gce && gce->HasTransparency();
}

int TGIFSubImage::TransparentIndex() const
{
    const TGIFGraphicControlExtension* gce = GraphicControl();
    return gce ? gce->transparentIndex : 0;
}

std::string TGIFSubImage::Version() const
{
    return colorMap.Optimized || !extensions.empty() ? "89a" : "87a";
}

const TGIFColorMap& TGIFSubImage::ActiveColorMap() const
{
    if (!colorMap.IsEmpty())
        return colorMap;
    if (!owner_->Header().colorMap.IsEmpty())
        return owner_->Header().colorMap;
    if (owner_->Count() > 0 && !owner_->Image(0).colorMap.IsEmpty())
        return owner_->Image(0).colorMap;
    throw GIFException(gif_text::NoColorTable);
}

const TBitmap& TGIFSubImage::Bitmap() const
{
    if (bitmap_)
        return *bitmap_;
    const TGIFColorMap& map = ActiveColorMap();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetLimits(owner_->Limits());
    bitmap->NewImage(Width(), Height(), pf8bit);
    bitmap->SetPalette(map.ToPalette());
    const size_t width = static_cast<size_t>(Width());
    bool transparent = Transparent() && !Empty();
    const uint8_t key = static_cast<uint8_t>(TransparentIndex());
    std::vector<uint8_t> mask;
    bool anyMasked = false;
    if (transparent)
        mask.assign(data.size(), 0);
    for (int y = 0; y < Height() && !Empty(); ++y) {
        const uint8_t* src = data.data() + static_cast<size_t>(y) * width;
        std::memcpy(bitmap->Row(y), src, width);
        if (transparent)
            for (size_t x = 0; x < width; ++x)
                if (src[x] == key) {
                    mask[static_cast<size_t>(y) * width + x] = 1;
                    anyMasked = true;
                }
    }
    mask_ = anyMasked ? std::move(mask) : std::vector<uint8_t>{};
    bitmap_ = std::move(bitmap);
    return *bitmap_;
}

const std::vector<uint8_t>& TGIFSubImage::Mask() const
{
    Bitmap();
    return mask_;
}

void TGIFSubImage::DropCaches()
{
    bitmap_.reset();
    mask_.clear();
}

// --- The picture -----------------------------------------------------------------------

TGIFImage::~TGIFImage() = default;

void TGIFImage::Warning(const std::string& message)
{
    if (OnWarning)
        OnWarning(*this, message);
}

void TGIFImage::Clear()
{
    images_.clear();
    header_.Clear();
    screenBitmap_.reset();
    allocated_ = 0;
}

void TGIFImage::SetWidth(int width)
{
    for (const auto& image : images_)
        if (image->Left() + image->Width() > width)
            throw GIFException(gif_text::WidthTooSmall);
    header_.width = static_cast<uint16_t>(std::clamp(width, 0, 0xFFFF));
    screenBitmap_.reset();
    Changed();
}

void TGIFImage::SetHeight(int height)
{
    for (const auto& image : images_)
        if (image->Top() + image->Height() > height)
            throw GIFException(gif_text::HeightTooSmall);
    header_.height = static_cast<uint16_t>(std::clamp(height, 0, 0xFFFF));
    screenBitmap_.reset();
    Changed();
}

std::string TGIFImage::Version() const
{
    std::string version;
    for (const auto& image : images_)
        version = std::max(version, image->Version());
    return version;
}

TGIFSubImage& TGIFImage::AddEmpty()
{
    images_.push_back(std::make_unique<TGIFSubImage>(*this));
    return *images_.back();
}

namespace {

// An 8-bit copy of a surface of more than 8 bits: its own colours when it has at most 256,
// else the nearest halftone colours.
TBitmap ReducedTo8Bits(const TBitmap& source)
{
    const int w = source.Width(), h = source.Height();
    std::unordered_map<uint32_t, int> index;
    std::vector<RGBQuad> table;
    bool fits = true;
    for (int y = 0; y < h && fits; ++y)
        for (int x = 0; x < w; ++x) {
            TColor c = source.Pixel(x, y);
            if (index.emplace(static_cast<uint32_t>(c), static_cast<int>(table.size())).second) {
                if (table.size() == 256) {
                    fits = false;
                    break;
                }
                table.push_back(RGBQuad{GetBValue(c), GetGValue(c), GetRValue(c), 0});
            }
        }
    TBitmap reduced;
    if (!fits) {
        reduced = source;
        reduced.SetPixelFormat(pf8bit);
        return reduced;
    }
    reduced.NewImage(w, h, pf8bit);
    reduced.SetPalette(TPalette(table.begin(), table.end()));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = reduced.Row(y);
        for (int x = 0; x < w; ++x)
            row[x] = static_cast<uint8_t>(index.at(static_cast<uint32_t>(source.Pixel(x, y))));
    }
    // The colour table lists exactly the colours in use.
    reduced.SetColorTable(table);
    return reduced;
}

// The colour index of pixel x of a row of 1, 4 or 8 bits per pixel.
uint8_t IndexAt(const uint8_t* row, int x, int bits)
{
    switch (bits) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
        return row[x];
    }
}

} // namespace

void TGIFImage::AddFromBitmap(const TBitmap& given)
{
    const TBitmap* source = &given;
    TBitmap reduced;
    int bits = given.BitsPerPixel();
    if (given.PixelFormat() == pfDevice || (bits != 1 && bits != 4 && bits != 8)) {
        reduced = ReducedTo8Bits(given);
        source = &reduced;
        bits = 8;
    }
    const int w = source->Width(), h = source->Height();
    if (w > 0xFFFF || h > 0xFFFF)
        throw GIFException(gif_text::ExceedsScreen);

    auto image = std::make_unique<TGIFSubImage>(*this);
    image->descriptor.left = 0;
    image->descriptor.top = 0;
    image->descriptor.width = static_cast<uint16_t>(w);
    image->descriptor.height = static_cast<uint16_t>(h);
    header_.width = std::max<uint16_t>(header_.width, image->descriptor.width);
    header_.height = std::max<uint16_t>(header_.height, image->descriptor.height);

    for (const RGBQuad& q : source->ColorTable())
        image->colorMap.Add(TGIFColor{q.red, q.green, q.blue});

    image->data.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    Progress(psStarting, 0, "Converting...");
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = source->ConstRow(y);
        uint8_t* out = image->data.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        if (bits == 8)
            std::memcpy(out, row, static_cast<size_t>(w));
        else
            for (int x = 0; x < w; ++x)
                out[x] = IndexAt(row, x, bits);
        if (y % 32 == 0)
            Progress(psRunning, h ? y * 100 / h : 0, "Converting...");
    }
    Progress(psEnding, 100, "Converting...");

    if (given.Transparent() && w > 0 && h > 0) {
        TColor key = ColorToRGB(given.TransparentColor());
        const auto& colors = image->colorMap.Colors();
        for (size_t i = 0; i < colors.size(); ++i)
            if (RGBColor(colors[i].red, colors[i].green, colors[i].blue) == key) {
                auto gce = std::make_unique<TGIFGraphicControlExtension>();
                gce->packed = 1;
                gce->transparentIndex = static_cast<uint8_t>(i);
                image->extensions.push_back(std::move(gce));
                break;
            }
    }
    images_.push_back(std::move(image));
}

TGIFSubImage& TGIFImage::Add(const TGraphic* source)
{
    if (!source)
        throw GIFException(gif_text::ObjectNotSupported);
    if (auto* gif = dynamic_cast<const TGIFImage*>(source)) {
        if (gif == this || gif->images_.empty())
            throw GIFException(gif_text::ObjectNotSupported);
        for (const auto& image : gif->images_)
            images_.push_back(std::make_unique<TGIFSubImage>(*image, *this));
        return *images_.back();
    }
    if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        AddFromBitmap(*bitmap);
        return *images_.back();
    }
    TBitmap drawn;
    if (source->DrawsOwnTransparency()) {
        drawn.SetSize(source->Width(), source->Height());
        drawn.Canvas().DrawAt(0, 0, const_cast<TGraphic*>(source));
    } else {
        try {
            drawn.AssignFrom(*source);
        } catch (const EConvertError&) {
            AssignError(*source);
        }
    }
    AddFromBitmap(drawn);
    return *images_.back();
}

void TGIFImage::AssignFrom(const TGraphic& source)
{
    if (&source == this)
        return;
    if (auto* gif = dynamic_cast<const TGIFImage*>(&source)) {
        Clear();
        header_ = gif->header_;
        for (const auto& image : gif->images_)
            images_.push_back(std::make_unique<TGIFSubImage>(*image, *this));
        Changed();
        return;
    }
    Clear();
    Add(&source);
    Changed();
}

bool TGIFImage::AssignTo(TGraphic& target) const
{
    auto* bitmap = dynamic_cast<TBitmap*>(&target);
    if (!bitmap || images_.empty() || Width() == 0 || Height() == 0)
        return false;
    TBitmap result;
    result.SetSize(Width(), Height());
    PaintInto(result.Canvas(), TRect{0, 0, Width(), Height()});
    bitmap->AssignFrom(result);
    return true;
}

// --- Painting --------------------------------------------------------------------------

namespace {

// a x b / c rounded to the nearest integer, halves to the even neighbour (c > 0).
int ScaleRound(int64_t a, int64_t b, int64_t c)
{
    int64_t n = a * b;
    int64_t q = n / c, r = n % c;
    if (r < 0) {
        r += c;
        --q;
    }
    if (2 * r > c || (2 * r == c && (q & 1)))
        ++q;
    return static_cast<int>(q);
}

bool IsPlainBgrx(const TBitmapImage& image)
{
    return image.header.bitCount == 32 && image.masks[0] == 0 && image.masks[1] == 0 &&
           image.masks[2] == 0;
}

// Nearest-neighbour stretch of `source` into `dest`, leaving the destination as it was
// wherever the mask is set.
void StretchMasked(TCanvas& canvas, const TRect& dest, const TBitmap& source,
                   const std::vector<uint8_t>& mask)
{
    const int dw = dest.Width(), dh = dest.Height(), sw = source.Width(), sh = source.Height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return;
    TBitmap& target = canvas.Target();
    TRect clip = canvas.ClipRect();
    int x0 = std::max(dest.left, clip.left), x1 = std::min(dest.right, clip.right);
    int y0 = std::max(dest.top, clip.top), y1 = std::min(dest.bottom, clip.bottom);
    if (x0 >= x1 || y0 >= y1)
        return;
    std::vector<int> xs;
    xs.reserve(static_cast<size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x)
        xs.push_back(static_cast<int>((2 * int64_t{x - dest.left} + 1) * sw / (2 * int64_t{dw})));
    const auto& table = source.ColorTable();
    const bool direct = IsPlainBgrx(target.Image());
    for (int y = y0; y < y1; ++y) {
        int sy = static_cast<int>((2 * int64_t{y - dest.top} + 1) * sh / (2 * int64_t{dh}));
        const uint8_t* srow = source.ConstRow(sy);
        const uint8_t* mrow = mask.data() + static_cast<size_t>(sy) * static_cast<size_t>(sw);
        uint8_t* drow = direct ? target.Row(y) : nullptr;
        for (int x = x0; x < x1; ++x) {
            int sx = xs[static_cast<size_t>(x - x0)];
            if (mrow[sx])
                continue;
            uint8_t index = srow[sx];
            RGBQuad q = index < table.size() ? table[index] : RGBQuad{};
            if (direct) {
                uint8_t* p = drow + 4 * static_cast<size_t>(x);
                p[0] = q.blue;
                p[1] = q.green;
                p[2] = q.red;
                p[3] = 0;
            } else {
                target.SetPixel(x, y, RGBColor(q.red, q.green, q.blue));
            }
        }
    }
    target.PixelsChanged();
}

} // namespace

void TGIFImage::PaintImage(TCanvas& canvas, const TRect& rect, const TGIFSubImage& image) const
{
    if (image.Empty() || Width() == 0 || Height() == 0)
        return;
    const int64_t rw = rect.Width(), rh = rect.Height();
    TRect dest{rect.left + ScaleRound(image.Left(), rw, Width()),
               rect.top + ScaleRound(image.Top(), rh, Height()),
               rect.left + ScaleRound(image.Left() + image.Width(), rw, Width()),
               rect.top + ScaleRound(image.Top() + image.Height(), rh, Height())};
    const TBitmap& bitmap = image.Bitmap();
    const std::vector<uint8_t>& mask = image.Mask();
    if (!mask.empty()) // transparent pixels leave the destination as it was
        StretchMasked(canvas, dest, bitmap, mask);
    else
        const_cast<TBitmap&>(bitmap).Paint(canvas, dest);
}

void TGIFImage::PaintInto(TCanvas& canvas, const TRect& rect) const
{
    if (images_.empty())
        return;
    const TGIFSubImage& image = *images_.front(); // every way of painting shows the first image
    // A screen too large for a private bitmap gets the first image painted directly, which
    // shows the same frame.
    const bool screenFits = uint64_t(Width()) * uint64_t(Height()) <= Limits().pixels;
    if (Count() == 1 || Width() == 0 || Height() == 0 || !screenFits) {
        PaintImage(canvas, rect, image);
        return;
    }
    // Several images: the first frame is composed over the destination in a bitmap of the
    // logical screen's size, which is then painted into the rectangle.
    screenBitmap_ = std::make_unique<TBitmap>();
    screenBitmap_->SetLimits(Limits());
    TBitmap& screen = *screenBitmap_;
    screen.SetSize(Width(), Height());
    TRect all{0, 0, Width(), Height()};
    TStretchMode keep = screen.Canvas().StretchMode;
    screen.Canvas().StretchMode = smDeleteScans;
    screen.Canvas().StretchBlit(all, canvas.Target(), rect, cmSrcCopy);
    screen.Canvas().StretchMode = keep;
    PaintImage(screen.Canvas(), all, image);
    screen.Paint(canvas, rect);
}

void TGIFImage::Paint(TCanvas& canvas, const TRect& rect)
{
    PaintInto(canvas, rect);
}

} // namespace tabulonix
