#include "codecs/metafile/WmfDecoder.h"

#include "codecs/core/ByteReader.h"
#include "codecs/metafile/MetafileBitmaps.h"
#include "codecs/metafile/MetafileOps.h"

#include <cstdlib>
#include <vector>

namespace tabulonix::metafile {

namespace {

// A record too short for what it declares; it is skipped.
struct ShortRecord {};

// The next value, when the record still holds it.
std::optional<double> Optional16(ByteReader& r)
{
    if (r.Remaining() < 2)
        return std::nullopt;
    return r.S16LE();
}

class WmfRecordDecoder {
  public:
    WmfRecordDecoder(uint16_t function, const uint8_t* record, size_t size, MetafileOps& ops)
        : function_(function), rec_(record), size_(size),
          r_(record, size, [] { throw ShortRecord{}; }), ops_(ops)
    {
        r_.Skip(6);
    }
    void Decode();

  private:
    LogicalPoints Points(uint16_t count);
    // A transfer record without a bitmap is one word longer than its base size and paints
    // with the brush.
    bool WithoutBitmap() const { return size_ / 2 == size_t(function_ >> 8) + 3u; }
    void PatternBrush();
    void Region();
    void PolyPolygon();
    void BitBlt();
    void DibBlt();

    uint16_t function_;
    const uint8_t* rec_;
    size_t size_;
    ByteReader r_;
    MetafileOps& ops_;
};

LogicalPoints WmfRecordDecoder::Points(uint16_t count)
{
    if (count > r_.Remaining() / 4)
        throw ShortRecord{};
    LogicalPoints pts;
    pts.reserve(count);
    for (int i = 0; i < count; ++i) {
        double x = r_.S16LE(), y = r_.S16LE();
        pts.emplace_back(x, y);
    }
    return pts;
}

void WmfRecordDecoder::Decode()
{
    // Windows records store their parameters last first.
    ByteReader& r = r_;
    switch (function_) {
    case META_SETWINDOWORG: {
        std::optional<double> y = Optional16(r), x = Optional16(r);
        ops_.SetWindowOrg(x, y);
        break;
    }
    case META_SETWINDOWEXT: {
        std::optional<double> y = Optional16(r), x = Optional16(r);
        ops_.SetWindowExt(x, y);
        break;
    }
    case META_OFFSETWINDOWORG: {
        std::optional<double> y = Optional16(r), x = Optional16(r);
        ops_.OffsetWindowOrg(x, y);
        break;
    }
    case META_SCALEWINDOWEXT: {
        int yd = r.S16LE(), yn = r.S16LE(), xd = r.S16LE(), xn = r.S16LE();
        ops_.ScaleWindowExt(xn, xd, yn, yd);
        break;
    }
    case META_SAVEDC:
        ops_.SaveDC();
        break;
    case META_RESTOREDC:
        ops_.RestoreDC(r.S16LE());
        break;
    case META_SETBKCOLOR:
        ops_.SetBkColor(r.U32LE());
        break;
    case META_SETTEXTCOLOR:
        ops_.SetTextColor(r.U32LE());
        break;
    case META_SETBKMODE:
        ops_.SetBkMode(r.U16LE());
        break;
    case META_SETPOLYFILLMODE:
        ops_.SetPolyFillMode(r.U16LE());
        break;
    case META_CREATEPENINDIRECT: {
        uint16_t style = r.U16LE();
        int16_t width = r.S16LE();
        r.Skip(2);
        uint32_t color = r.U32LE();
        ops_.CreatePen(std::nullopt,
                       PenState{static_cast<int>(style & PS_STYLE_MASK), std::abs(double(width)),
                                width <= 1, RecordColor(color)});
        break;
    }
    case META_CREATEBRUSHINDIRECT: {
        uint16_t style = r.U16LE();
        uint32_t color = r.U32LE();
        uint16_t hatch = r.U16LE();
        ops_.CreateBrush(std::nullopt, LogicalBrush(style, color, hatch));
        break;
    }
    case META_DIBCREATEPATTERNBRUSH:
        PatternBrush();
        break;
    case META_CREATEREGION:
        Region();
        break;
    case META_FILLREGION:
    case META_PAINTREGION: {
        uint16_t region = r.U16LE();
        std::optional<uint32_t> brush;
        if (function_ == META_FILLREGION)
            brush = r.U16LE();
        ops_.FillRegion(region, brush);
        break;
    }
    case META_CREATEPATTERNBRUSH:
    case META_CREATEFONTINDIRECT:
    case META_CREATEPALETTE:
        ops_.CreateOtherObject(std::nullopt);
        break;
    case META_SELECTOBJECT:
        ops_.SelectObject(r.U16LE());
        break;
    case META_DELETEOBJECT:
        ops_.DeleteObject(r.U16LE());
        break;
    case META_INTERSECTCLIPRECT: {
        double b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(), l = r.S16LE();
        ops_.IntersectClipRect(l, t, rr, b);
        break;
    }
    case META_MOVETO: {
        double y = r.S16LE(), x = r.S16LE();
        ops_.MoveTo(x, y);
        break;
    }
    case META_LINETO: {
        double y = r.S16LE(), x = r.S16LE();
        ops_.LineTo(x, y);
        break;
    }
    case META_POLYGON:
    case META_POLYLINE:
        ops_.Polys({Points(r.U16LE())}, function_ == META_POLYGON);
        break;
    case META_POLYPOLYGON:
        PolyPolygon();
        break;
    case META_RECTANGLE:
    case META_ELLIPSE: {
        double b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(), l = r.S16LE();
        if (function_ == META_RECTANGLE)
            ops_.Rectangle(l, t, rr, b);
        else
            ops_.Ellipse(l, t, rr, b);
        break;
    }
    case META_ARC:
    case META_CHORD:
    case META_PIE: {
        double ye = r.S16LE(), xe = r.S16LE(), ys = r.S16LE(), xs = r.S16LE();
        double b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(), l = r.S16LE();
        ops_.Arc(l, t, rr, b, {xs, ys}, {xe, ye},
                 function_ == META_ARC     ? ArcKind::Arc
                 : function_ == META_CHORD ? ArcKind::Chord
                                           : ArcKind::Pie);
        break;
    }
    case META_ROUNDRECT: {
        double h = r.S16LE(), w = r.S16LE(), b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(),
               l = r.S16LE();
        ops_.RoundRect(l, t, rr, b, w, h);
        break;
    }
    case META_SETPIXEL: {
        uint32_t color = r.U32LE();
        double y = r.S16LE(), x = r.S16LE();
        ops_.SetPixel(x, y, color);
        break;
    }
    case META_PATBLT: {
        uint32_t rop = r.U32LE();
        double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
        ops_.PatBlt(x, y, w, h, rop);
        break;
    }
    case META_BITBLT:
    case META_STRETCHBLT:
        BitBlt();
        break;
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
    case META_SETDIBTODEV:
        DibBlt();
        break;
    default:
        break; // text, palettes, regions, escapes and the rest
    }
}

void WmfRecordDecoder::PatternBrush()
{
    // Usage and type, then a packed bitmap.
    std::optional<DibRef> pattern;
    if (r_.Remaining() >= 4)
        pattern = DibRef{rec_ + r_.Position() + 4, r_.Remaining() - 4};
    ops_.CreatePatternBrush(std::nullopt, pattern);
}

void WmfRecordDecoder::Region()
{
    // Header and bounding box, then bands: count, top, bottom, count / 2 spans, count. A
    // region cut short keeps the rectangles read until then.
    std::vector<TRect> rects;
    try {
        r_.Skip(8);
        r_.Skip(2);
        uint16_t scans = r_.U16LE();
        r_.Skip(2 + 8);
        for (uint16_t i = 0; i < scans && r_.Remaining() >= 6; ++i) {
            uint16_t count = r_.U16LE();
            int top = r_.S16LE(), bottom = r_.S16LE();
            if (count / 2 > r_.Remaining() / 4)
                break;
            for (int k = 0; k < count / 2; ++k) {
                int left = r_.S16LE(), right = r_.S16LE();
                rects.push_back(TRect{left, top, right, bottom});
            }
            r_.Skip(2);
        }
    } catch (const ShortRecord&) {
        // the region ends where its record does
    }
    ops_.CreateRegion(std::move(rects));
}

void WmfRecordDecoder::PolyPolygon()
{
    uint16_t polys = r_.U16LE();
    if (polys > r_.Remaining() / 2)
        throw ShortRecord{};
    std::vector<uint16_t> counts(polys);
    for (auto& c : counts)
        c = r_.U16LE();
    std::vector<LogicalPoints> figures;
    for (uint16_t c : counts)
        figures.push_back(Points(c));
    ops_.Polys(figures, true);
}

void WmfRecordDecoder::BitBlt()
{
    bool noBitmap = WithoutBitmap();
    uint32_t rop = r_.U32LE();
    double srcH = 0, srcW = 0;
    if (function_ == META_STRETCHBLT) {
        srcH = r_.S16LE();
        srcW = r_.S16LE();
    }
    double ySrc = r_.S16LE(), xSrc = r_.S16LE();
    if (noBitmap)
        r_.Skip(2);
    double h = r_.S16LE(), w = r_.S16LE(), y = r_.S16LE(), x = r_.S16LE();
    if (function_ == META_BITBLT) {
        srcH = h;
        srcW = w;
    }
    if (noBitmap) {
        ops_.PatBlt(x, y, w, h, rop);
        return;
    }
    ops_.StretchBitmap16(x, y, w, h, rec_ + r_.Position(), r_.Remaining(),
                         SourceRect{xSrc, ySrc, srcW, srcH, false}, rop);
}

void WmfRecordDecoder::DibBlt()
{
    bool noBitmap =
        WithoutBitmap() && function_ != META_STRETCHDIB && function_ != META_SETDIBTODEV;
    uint32_t rop = SRCCOPY;
    double srcH = 0, srcW = 0, ySrc = 0, xSrc = 0, h = 0, w = 0, y = 0, x = 0;
    if (function_ == META_SETDIBTODEV) {
        r_.Skip(2); // colour usage
        r_.Skip(4); // scan count, start scan
        ySrc = r_.S16LE();
        xSrc = r_.S16LE();
        h = srcH = r_.S16LE();
        w = srcW = r_.S16LE();
        y = r_.S16LE();
        x = r_.S16LE();
    } else {
        rop = r_.U32LE();
        if (function_ == META_STRETCHDIB)
            r_.Skip(2); // colour usage
        if (function_ != META_DIBBITBLT) {
            srcH = r_.S16LE();
            srcW = r_.S16LE();
        }
        ySrc = r_.S16LE();
        xSrc = r_.S16LE();
        if (noBitmap)
            r_.Skip(2);
        h = r_.S16LE();
        w = r_.S16LE();
        y = r_.S16LE();
        x = r_.S16LE();
        if (function_ == META_DIBBITBLT) {
            srcH = h;
            srcW = w;
        }
    }
    if (noBitmap) {
        ops_.PatBlt(x, y, w, h, rop);
        return;
    }
    const uint8_t* dib = rec_ + r_.Position();
    size_t dibSize = r_.Remaining();
    // Bottom-up pictures count the source rectangle from their bottom row (a block too short
    // for the header does not decode).
    bool bottomUp = dibSize >= 12 && DibBottomUp(dib);
    ops_.StretchDib(x, y, w, h, DibRef{dib, dibSize}, SourceRect{xSrc, ySrc, srcW, srcH, bottomUp},
                    rop);
}

} // namespace

void DecodeWmf(const uint8_t* data, size_t size, const TRect& box, MetafileOps& ops)
{
    if (size < 18)
        return;
    ops.BeginWindows(GetU16LE(data + 10), box);
    // The header's size is in words; records follow it.
    size_t pos = size_t(GetU16LE(data + 2)) * 2;
    while (pos + 6 <= size) {
        uint64_t words = GetU32LE(data + pos);
        uint16_t function = GetU16LE(data + pos + 4);
        if (words < 3 || words * 2 > size - pos || function == META_EOF)
            break;
        size_t bytes = static_cast<size_t>(words * 2);
        ops.CountRecord();
        try {
            WmfRecordDecoder(function, data + pos, bytes, ops).Decode();
        } catch (const ShortRecord&) {
            // a malformed record is skipped
        }
        pos += bytes;
    }
}

} // namespace tabulonix::metafile
