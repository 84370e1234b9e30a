#include "codecs/metafile/EmfDecoder.h"

#include "codecs/core/ByteReader.h"
#include "codecs/metafile/EmfHeader.h"
#include "codecs/metafile/MetafileOps.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tabulonix::metafile {

namespace {

// A record too short for what it declares; it is skipped.
struct ShortRecord {};

class EmfRecordDecoder {
  public:
    EmfRecordDecoder(uint32_t type, const uint8_t* record, size_t size, MetafileOps& ops)
        : type_(type), rec_(record), size_(size), r_(record, size, [] { throw ShortRecord{}; }),
          ops_(ops)
    {
        r_.Skip(8);
    }
    void Decode();

  private:
    LogicalPoints Points(uint32_t count, bool small);
    bool Fits(uint32_t offset, uint32_t count) const
    {
        return offset <= size_ && count <= size_ - offset;
    }
    void Transform();
    void ExtCreatePen();
    void PatternBrush();
    void Poly();
    void PolyPoly();
    void Region();
    void BitBlt();
    void DibBits();

    uint32_t type_;
    const uint8_t* rec_;
    size_t size_;
    ByteReader r_;
    MetafileOps& ops_;
};

// The next value, when the record still holds it.
std::optional<double> Optional32(ByteReader& r)
{
    if (r.Remaining() < 4)
        return std::nullopt;
    return r.S32LE();
}

LogicalPoints EmfRecordDecoder::Points(uint32_t count, bool small)
{
    if (count > r_.Remaining() / (small ? 4 : 8))
        throw ShortRecord{};
    LogicalPoints pts;
    pts.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        double x = small ? r_.S16LE() : r_.S32LE();
        double y = small ? r_.S16LE() : r_.S32LE();
        pts.emplace_back(x, y);
    }
    return pts;
}

void EmfRecordDecoder::Decode()
{
    ByteReader& r = r_;
    switch (type_) {
    case EMR_SETMAPMODE:
        ops_.SetMapMode(r.U32LE());
        break;
    case EMR_SETWINDOWEXTEX: {
        std::optional<double> x = Optional32(r), y = Optional32(r);
        ops_.SetWindowExt(x, y);
        break;
    }
    case EMR_SETWINDOWORGEX: {
        std::optional<double> x = Optional32(r), y = Optional32(r);
        ops_.SetWindowOrg(x, y);
        break;
    }
    case EMR_SETVIEWPORTEXTEX: {
        std::optional<double> x = Optional32(r), y = Optional32(r);
        ops_.SetViewportExt(x, y);
        break;
    }
    case EMR_SETVIEWPORTORGEX: {
        std::optional<double> x = Optional32(r), y = Optional32(r);
        ops_.SetViewportOrg(x, y);
        break;
    }
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        int32_t xn = r.S32LE(), xd = r.S32LE(), yn = r.S32LE(), yd = r.S32LE();
        if (type_ == EMR_SCALEWINDOWEXTEX)
            ops_.ScaleWindowExt(xn, xd, yn, yd);
        else
            ops_.ScaleViewportExt(xn, xd, yn, yd);
        break;
    }
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM:
        Transform();
        break;
    case EMR_SAVEDC:
        ops_.SaveDC();
        break;
    case EMR_RESTOREDC:
        ops_.RestoreDC(r.S32LE());
        break;
    case EMR_SETBKCOLOR:
        ops_.SetBkColor(r.U32LE());
        break;
    case EMR_SETTEXTCOLOR:
        ops_.SetTextColor(r.U32LE());
        break;
    case EMR_SETBKMODE:
        ops_.SetBkMode(r.U32LE());
        break;
    case EMR_SETPOLYFILLMODE:
        ops_.SetPolyFillMode(r.U32LE());
        break;
    case EMR_CREATEPEN: {
        uint32_t ih = r.U32LE(), style = r.U32LE();
        int32_t width = r.S32LE();
        r.Skip(4);
        uint32_t color = r.U32LE();
        ops_.CreatePen(ih, PenState{static_cast<int>(style & PS_STYLE_MASK),
                                    std::abs(double(width)), width <= 1, RecordColor(color)});
        break;
    }
    case EMR_EXTCREATEPEN:
        ExtCreatePen();
        break;
    case EMR_CREATEBRUSHINDIRECT: {
        uint32_t ih = r.U32LE(), style = r.U32LE(), color = r.U32LE(), hatch = r.U32LE();
        ops_.CreateBrush(ih, LogicalBrush(style, color, hatch));
        break;
    }
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_CREATEMONOBRUSH:
        PatternBrush();
        break;
    case EMR_EXTCREATEFONTINDIRECTW:
    case EMR_CREATEPALETTE:
        ops_.CreateOtherObject(r.U32LE());
        break;
    case EMR_SELECTOBJECT: {
        uint32_t ih = r.U32LE();
        if (ih & StockObject)
            ops_.SelectStockObject(ih & ~StockObject);
        else
            ops_.SelectObject(ih);
        break;
    }
    case EMR_DELETEOBJECT:
        ops_.DeleteObject(r.U32LE());
        break;
    case EMR_INTERSECTCLIPRECT: {
        int32_t l = r.S32LE(), t = r.S32LE(), rr = r.S32LE(), b = r.S32LE();
        ops_.IntersectClipRect(l, t, rr, b);
        break;
    }
    case EMR_EXTSELECTCLIPRGN: {
        // Only copying no region (a reset) is understood.
        uint32_t cb = r.U32LE(), mode = r.U32LE();
        if (mode == RGN_COPY && cb == 0)
            ops_.ResetClip();
        break;
    }
    case EMR_MOVETOEX: {
        double x = r.S32LE(), y = r.S32LE();
        ops_.MoveTo(x, y);
        break;
    }
    case EMR_LINETO: {
        double x = r.S32LE(), y = r.S32LE();
        ops_.LineTo(x, y);
        break;
    }
    case EMR_POLYLINE:
    case EMR_POLYGON:
    case EMR_POLYBEZIER:
    case EMR_POLYLINE16:
    case EMR_POLYGON16:
    case EMR_POLYBEZIER16:
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16:
        Poly();
        break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        PolyPoly();
        break;
    case EMR_RECTANGLE:
    case EMR_ELLIPSE:
    case EMR_ROUNDRECT: {
        double l = r.S32LE(), t = r.S32LE(), rr = r.S32LE(), b = r.S32LE();
        if (type_ == EMR_RECTANGLE) {
            ops_.Rectangle(l, t, rr, b);
        } else if (type_ == EMR_ELLIPSE) {
            ops_.Ellipse(l, t, rr, b);
        } else {
            double cw = r.S32LE(), ch = r.S32LE();
            ops_.RoundRect(l, t, rr, b, cw, ch);
        }
        break;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE: {
        double l = r.S32LE(), t = r.S32LE(), rr = r.S32LE(), b = r.S32LE();
        double xs = r.S32LE(), ys = r.S32LE(), xe = r.S32LE(), ye = r.S32LE();
        ops_.Arc(l, t, rr, b, {xs, ys}, {xe, ye},
                 type_ == EMR_ARC     ? ArcKind::Arc
                 : type_ == EMR_CHORD ? ArcKind::Chord
                                      : ArcKind::Pie);
        break;
    }
    case EMR_SETPIXELV: {
        double x = r.S32LE(), y = r.S32LE();
        ops_.SetPixel(x, y, r.U32LE());
        break;
    }
    case EMR_BEGINPATH:
        ops_.BeginPath();
        break;
    case EMR_ENDPATH:
        ops_.EndPath();
        break;
    case EMR_ABORTPATH:
        ops_.AbortPath();
        break;
    case EMR_CLOSEFIGURE:
        ops_.CloseFigure();
        break;
    case EMR_FILLPATH:
        ops_.DrawPath(true, false);
        break;
    case EMR_STROKEPATH:
        ops_.DrawPath(false, true);
        break;
    case EMR_STROKEANDFILLPATH:
        ops_.DrawPath(true, true);
        break;
    case EMR_FILLRGN:
    case EMR_PAINTRGN:
        Region();
        break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND:
        BitBlt();
        break;
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE:
        DibBits();
        break;
    default:
        break; // text, comments and everything else not drawn here
    }
}

void EmfRecordDecoder::Transform()
{
    float f[6];
    for (float& v : f) {
        uint32_t bits = r_.U32LE();
        std::memcpy(&v, &bits, 4);
        if (!std::isfinite(v) || std::abs(v) > 1e7f)
            return;
    }
    Xform x{f[0], f[1], f[2], f[3], f[4], f[5]};
    uint32_t mode = type_ == EMR_SETWORLDTRANSFORM ? MWT_SET : r_.U32LE();
    ops_.SetWorldTransform(x, mode);
}

void EmfRecordDecoder::ExtCreatePen()
{
    uint32_t ih = r_.U32LE();
    r_.Skip(16);
    uint32_t style = r_.U32LE(), width = r_.U32LE(), brushStyle = r_.U32LE(), color = r_.U32LE();
    bool geometric = (style & PS_GEOMETRIC) != 0;
    // A pen drawn with a hollow brush draws nothing.
    int penStyle = brushStyle == BS_NULL ? PS_NULL : static_cast<int>(style & PS_STYLE_MASK);
    ops_.CreatePen(ih, PenState{penStyle, double(width), !geometric, RecordColor(color)});
}

void EmfRecordDecoder::PatternBrush()
{
    uint32_t ih = r_.U32LE();
    r_.Skip(4);
    uint32_t offBmi = r_.U32LE(), cbBmi = r_.U32LE(), offBits = r_.U32LE(), cbBits = r_.U32LE();
    std::optional<DibRef> pattern;
    if (Fits(offBmi, cbBmi) && Fits(offBits, cbBits))
        pattern = DibRef{rec_ + offBmi, cbBmi, rec_ + offBits, cbBits};
    ops_.CreatePatternBrush(ih, pattern);
}

void EmfRecordDecoder::Poly()
{
    r_.Skip(16); // bounds
    bool small = type_ >= EMR_POLYBEZIER16;
    LogicalPoints pts = Points(r_.U32LE(), small);
    if (pts.empty())
        return;
    if (type_ == EMR_POLYLINETO || type_ == EMR_POLYLINETO16)
        ops_.PolylineTo(pts);
    else if (type_ == EMR_POLYBEZIERTO || type_ == EMR_POLYBEZIERTO16)
        ops_.PolyBezierTo(pts);
    else if (type_ == EMR_POLYBEZIER || type_ == EMR_POLYBEZIER16)
        ops_.PolyBezier(pts);
    else
        ops_.Polys({pts}, type_ == EMR_POLYGON || type_ == EMR_POLYGON16);
}

void EmfRecordDecoder::PolyPoly()
{
    r_.Skip(16); // bounds
    bool small = type_ >= EMR_POLYBEZIER16;
    uint32_t polys = r_.U32LE(), total = r_.U32LE();
    if (polys > r_.Remaining() / 4)
        throw ShortRecord{};
    std::vector<uint32_t> counts(polys);
    uint64_t sum = 0;
    for (auto& c : counts) {
        c = r_.U32LE();
        sum += c;
    }
    if (sum > total)
        throw ShortRecord{};
    LogicalPoints pts = Points(total, small);
    std::vector<LogicalPoints> figures;
    size_t at = 0;
    for (uint32_t c : counts) {
        figures.emplace_back(pts.begin() + static_cast<long>(at),
                             pts.begin() + static_cast<long>(at + c));
        at += c;
    }
    ops_.Polys(figures, type_ == EMR_POLYPOLYGON || type_ == EMR_POLYPOLYGON16);
}

void EmfRecordDecoder::Region()
{
    r_.Skip(16); // bounds
    uint32_t cb = r_.U32LE();
    std::optional<uint32_t> brush;
    if (type_ == EMR_FILLRGN)
        brush = r_.U32LE();
    if (cb < 32 || cb > r_.Remaining())
        throw ShortRecord{};
    // The region's header, then its rectangles.
    ByteReader g = r_.Sub(cb);
    g.Skip(8);
    uint32_t count = g.U32LE();
    g.Skip(20);
    if (count > g.Remaining() / 16)
        throw ShortRecord{};
    std::vector<TRect> rects(count);
    for (auto& x : rects)
        x = TRect{g.S32LE(), g.S32LE(), g.S32LE(), g.S32LE()};
    ops_.FillRects(rects, brush);
}

void EmfRecordDecoder::BitBlt()
{
    r_.Skip(16); // bounds
    int32_t xDest = r_.S32LE(), yDest = r_.S32LE(), cxDest = r_.S32LE(), cyDest = r_.S32LE();
    uint32_t rop = r_.U32LE();
    int32_t xSrc = r_.S32LE(), ySrc = r_.S32LE();
    r_.Skip(24 + 4 + 4); // source transform, background colour, usage
    uint32_t offBmi = r_.U32LE(), cbBmi = r_.U32LE(), offBits = r_.U32LE(), cbBits = r_.U32LE();
    int32_t cxSrc = cxDest, cySrc = cyDest;
    if (type_ != EMR_BITBLT) {
        cxSrc = r_.S32LE();
        cySrc = r_.S32LE();
    }
    if (type_ == EMR_ALPHABLEND)
        rop = SRCCOPY; // the blend function sits where the operation would; drawn opaque
    if (cbBmi == 0) {
        ops_.PatBlt(xDest, yDest, cxDest, cyDest, rop);
        return;
    }
    if (!Fits(offBmi, cbBmi) || !Fits(offBits, cbBits))
        throw ShortRecord{};
    ops_.StretchDib(
        xDest, yDest, cxDest, cyDest, DibRef{rec_ + offBmi, cbBmi, rec_ + offBits, cbBits},
        SourceRect{double(xSrc), double(ySrc), double(cxSrc), double(cySrc), false}, rop);
}

void EmfRecordDecoder::DibBits()
{
    r_.Skip(16); // bounds
    int32_t xDest = r_.S32LE(), yDest = r_.S32LE(), xSrc = r_.S32LE(), ySrc = r_.S32LE();
    int32_t cxSrc = r_.S32LE(), cySrc = r_.S32LE();
    uint32_t offBmi = r_.U32LE(), cbBmi = r_.U32LE(), offBits = r_.U32LE(), cbBits = r_.U32LE();
    r_.Skip(4); // usage
    uint32_t rop = SRCCOPY, startScan = 0, scans = 0;
    double cxDest = cxSrc, cyDest = cySrc;
    if (type_ == EMR_STRETCHDIBITS) {
        rop = r_.U32LE();
        cxDest = r_.S32LE();
        cyDest = r_.S32LE();
    } else {
        startScan = r_.U32LE();
        scans = r_.U32LE();
    }
    if (!Fits(offBmi, cbBmi) || !Fits(offBits, cbBits) || cbBmi < 12)
        throw ShortRecord{};
    const uint8_t* info = rec_ + offBmi;
    bool core = GetU32LE(info) == 12;
    int64_t declared = core ? int16_t(GetU16LE(info + 6)) : int32_t(GetU32LE(info + 8));
    // Bottom-up pictures count the source rectangle from their bottom row.
    bool bottomUp = declared > 0;
    SourceRect source{double(xSrc), double(ySrc), double(cxSrc), double(cySrc), bottomUp};
    if (type_ == EMR_STRETCHDIBITS) {
        ops_.StretchDib(xDest, yDest, cxDest, cyDest, DibRef{info, cbBmi, rec_ + offBits, cbBits},
                        source, rop);
        return;
    }
    // Setting bits to the device may carry only a band of scan lines (counted from the
    // bottom): the band is decoded alone and placed where it belongs in the whole picture.
    std::vector<uint8_t> bandInfo;
    std::optional<ScanBand> band;
    int64_t fullHeight = std::abs(declared);
    if (bottomUp && !core && scans > 0 && scans < fullHeight &&
        startScan < fullHeight - scans + 1) {
        bandInfo.assign(info, info + cbBmi);
        PutU32LE(bandInfo.data() + 8, scans);
        info = bandInfo.data();
        band = ScanBand{fullHeight, fullHeight - startScan - scans};
    }
    ops_.SetDibToDevice(xDest, yDest, DibRef{info, cbBmi, rec_ + offBits, cbBits}, source, band);
}

} // namespace

void DecodeEmf(const uint8_t* data, size_t size, MetafileOps& ops)
{
    std::optional<EmfHeader> header = ReadEmfHeader(data, size);
    if (!header || !ops.BeginEnhanced(*header))
        return;
    size_t pos = 0;
    while (pos + 8 <= size) {
        uint32_t type = GetU32LE(data + pos), recSize = GetU32LE(data + pos + 4);
        if (recSize < 8 || recSize > size - pos)
            break;
        if (pos == 0 && type != EMR_HEADER)
            break;
        ops.CountRecord();
        if (type == EMR_EOF)
            break;
        try {
            EmfRecordDecoder(type, data + pos, recSize, ops).Decode();
        } catch (const ShortRecord&) {
            // a malformed record is skipped
        }
        pos += recSize;
    }
}

} // namespace tabulonix::metafile
