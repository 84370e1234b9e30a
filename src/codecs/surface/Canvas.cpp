#include "codecs/surface/Canvas.h"

#include "codecs/core/ByteReader.h"
#include "codecs/surface/Bitmap.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

uint32_t ApplyRop(TCopyMode rop, uint32_t src, uint32_t dst)
{
    switch (rop) {
    case cmBlackness:
        return 0;
    case cmWhiteness:
        return 0xFFFFFF;
    case cmNotSrcCopy:
        return ~src & 0xFFFFFF;
    case cmSrcInvert:
        return src ^ dst;
    case cmSrcAnd:
        return src & dst;
    case cmSrcPaint:
        return src | dst;
    case cmSrcErase:
        return src & ~dst & 0xFFFFFF;
    case cmNotSrcErase:
        return ~(src | dst) & 0xFFFFFF;
    case cmMergePaint:
        return (~src & 0xFFFFFF) | dst;
    case cmDstInvert:
        return ~dst & 0xFFFFFF;
    case cmSrcCopy:
    default:
        return src;
    }
}

bool IsPlainBgrx(const TBitmapImage& im)
{
    return im.header.bitCount == 32 && im.masks[0] == 0 && im.masks[1] == 0 && im.masks[2] == 0;
}

TColor Blend(TColor over, TColor under, int alpha)
{
    return RGBColor(BlendOver(GetRValue(over), GetRValue(under), alpha),
                    BlendOver(GetGValue(over), GetGValue(under), alpha),
                    BlendOver(GetBValue(over), GetBValue(under), alpha));
}

// For every destination position of a span, the source position (centre sampling), or -1.
std::vector<int> SampleMap(int destStart, int destSpan, int srcStart, int srcSpan, bool flip,
                           int clipLo, int clipHi, int srcLimit, int& first, int& last)
{
    first = std::max(destStart, clipLo);
    last = std::min(destStart + destSpan, clipHi);
    std::vector<int> map(static_cast<size_t>(std::max(0, last - first)), -1);
    for (int d = first; d < last; ++d) {
        int64_t s = NearestSourceIndex(d - destStart, destSpan, srcSpan);
        if (flip)
            s = srcSpan - 1 - s;
        int64_t sx = srcStart + s;
        if (sx >= 0 && sx < srcLimit)
            map[static_cast<size_t>(d - first)] = static_cast<int>(sx);
    }
    return map;
}

// Notes which of the two indices occur in pixels from..to-1 of a one-bit row, a byte at a
// time, so that shrinking a huge monochrome picture costs its bytes, not its pixels.
void NoteBitsInSpan(const uint8_t* row, int from, int to, bool seen[2])
{
    int x = from;
    for (; x < to && (x & 7); ++x)
        seen[(row[x >> 3] >> (7 - (x & 7))) & 1] = true;
    for (; x + 8 <= to && !(seen[0] && seen[1]); x += 8) {
        const uint8_t b = row[x >> 3];
        seen[1] = seen[1] || b != 0;
        seen[0] = seen[0] || b != 0xFF;
    }
    for (; x < to && !(seen[0] && seen[1]); ++x)
        seen[(row[x >> 3] >> (7 - (x & 7))) & 1] = true;
}

TColor TableColor(const TBitmapImage& image, unsigned index)
{
    if (index >= image.colorTable.size())
        return clBlack;
    const RGBQuad& q = image.colorTable[index];
    return RGBColor(q.red, q.green, q.blue);
}

} // namespace

TCanvas::TCanvas(TBitmap& target) : target_(target) {}

int TCanvas::DeviceBitsPerPixel() const
{
    return target_.BitsPerPixel();
}

void TCanvas::DrawAt(int x, int y, TGraphic* graphic)
{
    if (!graphic || graphic->IsEmpty())
        return;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    graphic->Paint(*this, TRect{x, y, x + graphic->Width(), y + graphic->Height()});
}

void TCanvas::DrawScaled(const TRect& rect, TGraphic* graphic)
{
    if (!graphic)
        return;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (std::unique_ptr<TBitmap> sample = NearestSampleFor(rect, *graphic)) {
        sample->Paint(*this, rect);
        return;
    }
    graphic->Paint(*this, rect);
}

std::unique_ptr<TBitmap> TCanvas::NearestSampleFor(const TRect& rect, const TGraphic& graphic) const
{
    // Samples are true colour, which a surface of more than 8 bits takes pixel for pixel.
    // A transparent graphic is left out: its key colour is a pixel of the whole picture.
    if (rect.Width() <= 0 || rect.Height() <= 0 || DeviceBitsPerPixel() <= 8 ||
        graphic.Transparent())
        return nullptr;
    auto sample = std::make_unique<TBitmap>();
    if (!graphic.NearestSample(rect.Width(), rect.Height(), *sample) ||
        sample->Width() != rect.Width() || sample->Height() != rect.Height() ||
        sample->BitsPerPixel() != 24)
        return nullptr;
    return sample;
}

TRect TCanvas::ClipRect() const
{
    TRect all{0, 0, target_.Width(), target_.Height()};
    if (!clip_)
        return all;
    return TRect{std::max(all.left, clip_->left), std::max(all.top, clip_->top),
                 std::min(all.right, clip_->right), std::min(all.bottom, clip_->bottom)};
}

void TCanvas::SetClipRect(const TRect& rect)
{
    clip_ = rect;
}
void TCanvas::ResetClip()
{
    clip_.reset();
}

void TCanvas::FillBand(int x1, int y1, int x2, int y2, TColor rgb)
{
    TRect clip = ClipRect();
    x1 = std::max(x1, clip.left);
    y1 = std::max(y1, clip.top);
    x2 = std::min(x2, clip.right);
    y2 = std::min(y2, clip.bottom);
    if (x1 >= x2 || y1 >= y2)
        return;
    for (int y = y1; y < y2; ++y) {
        uint8_t* row = target_.Row(y);
        if (IsPlainBgrx(target_.Image())) {
            uint32_t v = static_cast<uint32_t>(GetBValue(rgb)) | (GetGValue(rgb) << 8) |
                         (GetRValue(rgb) << 16);
            for (int x = x1; x < x2; ++x)
                PutU32LE(row + 4 * x, v);
        } else {
            for (int x = x1; x < x2; ++x)
                WriteStorePixel(*target_.image_, row, x, rgb);
        }
    }
}

void TCanvas::FillRect(const TRect& rect)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (Brush.Style == bsClear)
        return;
    FillBand(rect.left, rect.top, rect.right, rect.bottom, ColorToRGB(Brush.Color));
    target_.PixelsChanged();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    if (Brush.Style != bsClear)
        FillBand(x1, y1, x2, y2, ColorToRGB(Brush.Color));
    if (Pen.Style != psClear && x2 > x1 && y2 > y1) {
        int w = std::max(Pen.Width, 1);
        int before = w / 2; // the band of a line c covers c - before .. c - before + w - 1
        TColor rgb = ColorToRGB(Pen.Color);
        int left = x1 - before, top = y1 - before;
        int right = x2 - 1 - before + w, bottom = y2 - 1 - before + w; // exclusive
        FillBand(left, top, right, top + w, rgb);                      // top edge
        FillBand(left, y2 - 1 - before, right, bottom, rgb);           // bottom edge
        FillBand(left, top, left + w, bottom, rgb);                    // left edge
        FillBand(x2 - 1 - before, top, right, bottom, rgb);            // right edge
    }
    target_.PixelsChanged();
}

TColor TCanvas::Pixel(int x, int y) const
{
    return target_.Pixel(x, y);
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    TRect clip = ClipRect();
    if (x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom)
        return;
    target_.SetPixel(x, y, color);
}

void TCanvas::CopyArea(const TRect& dest, TCanvas& source, const TRect& sourceRect)
{
    StretchBlit(dest, source.Target(), sourceRect, CopyMode);
}

void TCanvas::StretchBlit(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                          TCopyMode rop)
{
    Stretch(dest, source, sourceRect, rop, std::nullopt);
}

void TCanvas::StretchBlitTransparent(const TRect& dest, const TBitmap& source,
                                     const TRect& sourceRect, TColor transparent)
{
    Stretch(dest, source, sourceRect, cmSrcCopy, ColorToRGB(transparent));
}

void TCanvas::Stretch(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                      TCopyMode rop, std::optional<TColor> key)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    int dw = dest.Width(), dh = dest.Height(), sw = sourceRect.Width(), sh = sourceRect.Height();
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0 || source.IsEmpty() || target_.IsEmpty())
        return;
    // Copying from the surface onto itself needs a snapshot of the source first.
    if (&source == &target_ || source.SharesStoreWith(target_)) {
        TBitmap snapshot;
        snapshot.AssignFrom(source);
        snapshot.Row(0); // private copy before the target changes
        Stretch(dest, snapshot, sourceRect, rop, key);
        return;
    }
    bool flipX = (dw < 0) != (sw < 0), flipY = (dh < 0) != (sh < 0);
    int dx0 = std::min(dest.left, dest.right), dy0 = std::min(dest.top, dest.bottom);
    int sx0 = std::min(sourceRect.left, sourceRect.right),
        sy0 = std::min(sourceRect.top, sourceRect.bottom);
    TRect clip = ClipRect();
    int xFirst, xLast, yFirst, yLast;
    std::vector<int> xs = SampleMap(dx0, std::abs(dw), sx0, std::abs(sw), flipX, clip.left,
                                    clip.right, source.Width(), xFirst, xLast);
    std::vector<int> ys = SampleMap(dy0, std::abs(dh), sy0, std::abs(sh), flipY, clip.top,
                                    clip.bottom, source.Height(), yFirst, yLast);
    if (xs.empty() || ys.empty())
        return;
    const TBitmapImage& src = source.Image();
    if (StretchMode != smDeleteScans &&
        (std::abs(sw) > std::abs(dw) || std::abs(sh) > std::abs(dh)) && !key) {
        ShrinkCombining(dest, source, sourceRect, rop);
        return;
    }
    // Plain copies between true-colour stores move bytes; everything else goes through colours.
    const bool blend = BlendsOnto(source, rop, key.has_value());
    int fastBytes = 0;
    if (rop == cmSrcCopy && !key && !blend && IsPlainBgrx(target_.Image()))
        fastBytes = IsPlainBgrx(src) ? 4 : (src.header.bitCount == 24 ? 3 : 0);
    for (int y = yFirst; y < yLast; ++y) {
        int sy = ys[static_cast<size_t>(y - yFirst)];
        if (sy < 0)
            continue;
        const uint8_t* srow = source.ConstRow(sy);
        uint8_t* drow = target_.Row(y);
        TBitmapImage& dst = *target_.image_;
        for (int x = xFirst; x < xLast; ++x) {
            int sx = xs[static_cast<size_t>(x - xFirst)];
            if (sx < 0)
                continue;
            if (fastBytes) {
                std::memcpy(drow + 4 * x, srow + fastBytes * sx, 3);
                drow[4 * x + 3] = 0;
                continue;
            }
            TColor s = ReadStorePixel(src, srow, sx);
            if (key && s == *key)
                continue;
            if (blend) {
                int alpha = srow[4 * sx + 3];
                if (alpha == 0)
                    continue;
                if (alpha < 255)
                    s = Blend(s, ReadStorePixel(dst, drow, x), alpha);
            } else if (rop != cmSrcCopy)
                s = static_cast<TColor>(
                    ApplyRop(rop, static_cast<uint32_t>(s),
                             static_cast<uint32_t>(ReadStorePixel(dst, drow, x))));
            WriteStorePixel(dst, drow, x, s);
        }
    }
    target_.PixelsChanged();
}

bool TCanvas::BlendsOnto(const TBitmap& source, TCopyMode rop, bool keyed) const
{
    // A picture with alpha shows the opaque surface beneath through its transparent parts.
    return rop == cmSrcCopy && !keyed && source.HasAlphaChannel() && !target_.HasAlphaChannel();
}

void TCanvas::ShrinkCombining(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                              TCopyMode rop)
{
    // Normalised rectangles only: mirrored shrinking copies are drawn by dropping scans.
    TRect d = dest, s = sourceRect;
    if (d.Width() < 0 || d.Height() < 0 || s.Width() < 0 || s.Height() < 0) {
        TStretchMode keep = StretchMode;
        StretchMode = smDeleteScans;
        Stretch(dest, source, sourceRect, rop, std::nullopt);
        StretchMode = keep;
        return;
    }
    int n = d.Width(), m = s.Width(), nh = d.Height(), mh = s.Height();
    TRect clip = ClipRect();
    // Block of source positions under destination index i of a span (at least one pixel).
    auto block = [](int i, int destSpan, int srcSpan, int& lo, int& hi) {
        if (srcSpan <= destSpan) {
            lo = static_cast<int>((2 * int64_t{i} + 1) * srcSpan / (2 * int64_t{destSpan}));
            hi = lo + 1;
            return;
        }
        lo = static_cast<int>(int64_t{i} * srcSpan / destSpan);
        hi = std::max(lo + 1, static_cast<int>((int64_t{i} + 1) * srcSpan / destSpan));
    };
    const TBitmapImage& src = source.Image();
    const bool blend = BlendsOnto(source, rop, false);
    // The common colour of a one-bit block is the AND of the two colours that occur in it.
    const bool monochrome = src.header.bitCount == 1 && StretchMode != smHalftone;
    for (int y = std::max(d.top, clip.top); y < std::min(d.bottom, clip.bottom); ++y) {
        int ylo, yhi;
        block(y - d.top, nh, mh, ylo, yhi);
        uint8_t* drow = target_.Row(y);
        TBitmapImage& dst = *target_.image_;
        for (int x = std::max(d.left, clip.left); x < std::min(d.right, clip.right); ++x) {
            int xlo, xhi;
            block(x - d.left, n, m, xlo, xhi);
            if (monochrome) {
                bool seen[2] = {false, false};
                const int from = std::max(s.left + xlo, 0);
                const int to = std::min(s.left + xhi, source.Width());
                const int rowEnd = std::min(s.top + yhi, source.Height());
                for (int sy = std::max(s.top + ylo, 0); sy < rowEnd && from < to; ++sy) {
                    NoteBitsInSpan(source.ConstRow(sy), from, to, seen);
                    if (seen[0] && seen[1])
                        break;
                }
                if (!seen[0] && !seen[1])
                    continue;
                uint32_t all = 0xFFFFFF;
                for (unsigned i = 0; i < 2; ++i)
                    if (seen[i])
                        all &= static_cast<uint32_t>(TableColor(src, i));
                TColor out = static_cast<TColor>(all);
                if (rop != cmSrcCopy)
                    out = static_cast<TColor>(
                        ApplyRop(rop, all, static_cast<uint32_t>(ReadStorePixel(dst, drow, x))));
                WriteStorePixel(dst, drow, x, out);
                continue;
            }
            uint64_t r = 0, g = 0, b = 0, count = 0;
            uint32_t all = 0xFFFFFF;
            const TColor under = blend ? ReadStorePixel(dst, drow, x) : clBlack;
            for (int sy = s.top + ylo; sy < s.top + yhi; ++sy) {
                if (sy < 0 || sy >= source.Height())
                    continue;
                const uint8_t* srow = source.ConstRow(sy);
                for (int sx = s.left + xlo; sx < s.left + xhi; ++sx) {
                    if (sx < 0 || sx >= source.Width())
                        continue;
                    TColor c = ReadStorePixel(src, srow, sx);
                    if (blend)
                        c = Blend(c, under, srow[4 * sx + 3]);
                    r += GetRValue(c);
                    g += GetGValue(c);
                    b += GetBValue(c);
                    all &= static_cast<uint32_t>(c);
                    ++count;
                }
            }
            if (count == 0)
                continue;
            TColor out = StretchMode == smHalftone
                             ? RGBColor(static_cast<uint8_t>((r + count / 2) / count),
                                        static_cast<uint8_t>((g + count / 2) / count),
                                        static_cast<uint8_t>((b + count / 2) / count))
                             : static_cast<TColor>(all);
            if (rop != cmSrcCopy)
                out = static_cast<TColor>(
                    ApplyRop(rop, static_cast<uint32_t>(out),
                             static_cast<uint32_t>(ReadStorePixel(dst, drow, x))));
            WriteStorePixel(dst, drow, x, out);
        }
    }
    target_.PixelsChanged();
}

} // namespace tabulonix
