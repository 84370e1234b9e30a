#include "codecs/metafile/MetafileExecutor.h"

#include "codecs/metafile/EmfHeader.h"
#include "codecs/metafile/MetafileBitmaps.h"
#include "codecs/metafile/MetafileMath.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/CanvasShapes.h"

#include <algorithm>
#include <cmath>

namespace tabulonix::metafile {

MetafileExecutor::MetafileExecutor(TCanvas& canvas, const TRect& area, const DecodeLimits& limits)
    : limits_(limits), mapping_(area, limits.screen),
      painter_(canvas, area, limits.metafileWork, mapping_, s_)
{
}

bool MetafileExecutor::BeginEnhanced(const EmfHeader& header)
{
    objects_.SetLimit(header.handles);
    if (!mapping_.SetEnhanced(header))
        return false;
    painter_.ApplyClip();
    return true;
}

void MetafileExecutor::BeginWindows(size_t objectLimit, const TRect& box)
{
    objects_.SetLimit(objectLimit);
    mapping_.SetWindows();
    s_.winOrgX = box.left;
    s_.winOrgY = box.top;
    s_.winExtX = box.Width() == 0 ? 1 : box.Width();
    s_.winExtY = box.Height() == 0 ? 1 : box.Height();
    painter_.ApplyClip();
}

// State -------------------------------------------------------------------------------------

void MetafileExecutor::SetMapMode(uint32_t mode)
{
    if (mode >= MM_TEXT && mode <= MM_ANISOTROPIC)
        s_.mapMode = static_cast<int>(mode);
}

namespace {

void SetPair(double& x, double& y, std::optional<double> newX, std::optional<double> newY)
{
    if (newX)
        x = *newX;
    if (newY)
        y = *newY;
}

} // namespace

void MetafileExecutor::SetWindowOrg(std::optional<double> x, std::optional<double> y)
{
    SetPair(s_.winOrgX, s_.winOrgY, x, y);
}

void MetafileExecutor::SetWindowExt(std::optional<double> x, std::optional<double> y)
{
    SetPair(s_.winExtX, s_.winExtY, x, y);
}

void MetafileExecutor::SetViewportOrg(std::optional<double> x, std::optional<double> y)
{
    SetPair(s_.vpOrgX, s_.vpOrgY, x, y);
}

void MetafileExecutor::SetViewportExt(std::optional<double> x, std::optional<double> y)
{
    SetPair(s_.vpExtX, s_.vpExtY, x, y);
}

void MetafileExecutor::OffsetWindowOrg(std::optional<double> dx, std::optional<double> dy)
{
    SetPair(s_.winOrgX, s_.winOrgY, dx ? s_.winOrgX + *dx : dx, dy ? s_.winOrgY + *dy : dy);
}

void MetafileExecutor::ScaleWindowExt(int xNum, int xDenom, int yNum, int yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    s_.winExtX = s_.winExtX * xNum / xDenom;
    s_.winExtY = s_.winExtY * yNum / yDenom;
}

void MetafileExecutor::ScaleViewportExt(int xNum, int xDenom, int yNum, int yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    s_.vpExtX = s_.vpExtX * xNum / xDenom;
    s_.vpExtY = s_.vpExtY * yNum / yDenom;
}

void MetafileExecutor::SetWorldTransform(const Xform& xform, uint32_t mode)
{
    if (mode == MWT_IDENTITY)
        s_.world = Xform{};
    else if (mode == MWT_LEFTMULTIPLY)
        s_.world = s_.world.After(xform); // xform first, then the current one
    else if (mode == MWT_RIGHTMULTIPLY)
        s_.world = xform.After(s_.world);
    else if (mode == MWT_SET)
        s_.world = xform;
}

void MetafileExecutor::RestoreDC(int which)
{
    if (saved_.Restore(which, s_))
        painter_.ApplyClip();
}

void MetafileExecutor::IntersectClipRect(double left, double top, double right, double bottom)
{
    TPoint p = Point(left, top), q = Point(right, bottom);
    TRect c{std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)};
    if (s_.clip)
        c = TRect{std::max(c.left, s_.clip->left), std::max(c.top, s_.clip->top),
                  std::min(c.right, s_.clip->right), std::min(c.bottom, s_.clip->bottom)};
    s_.clip = c;
    painter_.ApplyClip();
}

void MetafileExecutor::ResetClip()
{
    s_.clip.reset();
    painter_.ApplyClip();
}

// Objects -----------------------------------------------------------------------------------

void MetafileExecutor::CreatePen(ObjectSlot slot, const PenState& pen)
{
    if (GdiObject* o = objects_.At(slot)) {
        o->kind = GdiObject::Pen;
        o->pen = pen;
    }
}

void MetafileExecutor::CreateBrush(ObjectSlot slot, const BrushState& brush)
{
    if (GdiObject* o = objects_.At(slot)) {
        o->kind = GdiObject::Brush;
        o->brush = brush;
    }
}

void MetafileExecutor::CreatePatternBrush(ObjectSlot slot, const std::optional<DibRef>& pattern)
{
    GdiObject* o = objects_.At(slot);
    if (!o)
        return;
    o->kind = GdiObject::Brush;
    o->brush = BrushState{bsSolid, RGBColor(128, 128, 128)};
    if (!pattern)
        return;
    TBitmap bitmap;
    bitmap.SetLimits(limits_);
    painter_.Charge(static_cast<int64_t>(pattern->PixelBytes()));
    if (DecodeDib(pattern->info, pattern->infoSize, pattern->bits, pattern->bitsSize, bitmap))
        o->brush.color = bitmap.Pixel(0, 0);
}

void MetafileExecutor::CreateRegion(std::vector<TRect> rects)
{
    if (GdiObject* o = objects_.NextFree()) {
        o->kind = GdiObject::Region;
        o->rects = std::move(rects);
    }
}

void MetafileExecutor::CreateOtherObject(ObjectSlot slot)
{
    if (GdiObject* o = objects_.At(slot))
        o->kind = GdiObject::Other;
}

void MetafileExecutor::SelectObject(uint32_t index)
{
    GdiObject* o = objects_.Slot(index);
    if (!o)
        return;
    if (o->kind == GdiObject::Pen)
        s_.pen = o->pen;
    else if (o->kind == GdiObject::Brush)
        s_.brush = o->brush;
}

void MetafileExecutor::SelectStockObject(uint32_t stock)
{
    static const TColor brushes[] = {clWhite, RGBColor(192, 192, 192), RGBColor(128, 128, 128),
                                     RGBColor(64, 64, 64), clBlack};
    if (stock <= BLACK_BRUSH)
        s_.brush = BrushState{bsSolid, brushes[stock]};
    else if (stock == NULL_BRUSH)
        s_.brush = BrushState{bsClear, clBlack};
    else if (stock == WHITE_PEN || stock == BLACK_PEN)
        s_.pen = PenState{PS_SOLID, 0, true, stock == WHITE_PEN ? clWhite : clBlack};
    else if (stock == NULL_PEN)
        s_.pen = PenState{PS_NULL, 0, true, clBlack};
}

std::optional<BrushState> MetafileExecutor::RegionBrush(std::optional<uint32_t> brush)
{
    if (!brush)
        return s_.brush;
    GdiObject* o = objects_.Slot(*brush);
    if (!o || o->kind != GdiObject::Brush)
        return std::nullopt;
    return o->brush;
}

void MetafileExecutor::FillRects(const std::vector<TRect>& rects, std::optional<uint32_t> brush)
{
    if (std::optional<BrushState> b = RegionBrush(brush))
        PaintRects(rects, *b);
}

void MetafileExecutor::FillRegion(uint32_t region, std::optional<uint32_t> brush)
{
    // The brush first: looking it up may grow the table, which would move the region.
    std::optional<BrushState> b = RegionBrush(brush);
    GdiObject* r = objects_.Slot(region);
    if (b && r && r->kind == GdiObject::Region)
        PaintRects(r->rects, *b);
}

// Drawing -----------------------------------------------------------------------------------

std::vector<TPoint> MetafileExecutor::Mapped(const LogicalPoints& points) const
{
    std::vector<TPoint> out;
    out.reserve(points.size());
    for (const auto& p : points)
        out.push_back(Point(p.first, p.second));
    return out;
}

void MetafileExecutor::DrawPolys(std::vector<std::vector<TPoint>> polys, bool closed, bool fill)
{
    if (inPath_) {
        for (auto& p : polys)
            path_.push_back(PathFigure{std::move(p), closed});
        return;
    }
    painter_.DrawPolys(polys, closed, fill);
}

void MetafileExecutor::Polys(const std::vector<LogicalPoints>& figures, bool polygon)
{
    std::vector<std::vector<TPoint>> list;
    list.reserve(figures.size());
    for (const auto& f : figures)
        list.push_back(Mapped(f));
    DrawPolys(std::move(list), polygon, polygon);
}

void MetafileExecutor::Rectangle(double left, double top, double right, double bottom)
{
    TPoint p = Point(left, top), q = Point(right, bottom);
    if (inPath_) {
        path_.push_back(PathFigure{{p, TPoint{q.x, p.y}, q, TPoint{p.x, q.y}}, true});
        return;
    }
    painter_.Rectangle(p, q);
}

void MetafileExecutor::Ellipse(double left, double top, double right, double bottom)
{
    TPoint p = Point(left, top), q = Point(right, bottom);
    int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
        y2 = std::max(p.y, q.y);
    if (inPath_) {
        path_.push_back(PathFigure{EllipsePoints((x1 + double(x2)) / 2, (y1 + double(y2)) / 2,
                                                 (x2 - double(x1)) / 2, (y2 - double(y1)) / 2),
                                   true});
        return;
    }
    painter_.Ellipse(p, q);
}

void MetafileExecutor::RoundRect(double left, double top, double right, double bottom,
                                 double cornerWidth, double cornerHeight)
{
    TPoint p = Point(left, top), q = Point(right, bottom);
    int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
        y2 = std::max(p.y, q.y);
    int w = ToInt(std::min(mapping_.ScaleX(s_, cornerWidth), 4e8)),
        h = ToInt(std::min(mapping_.ScaleY(s_, cornerHeight), 4e8));
    if (inPath_) {
        path_.push_back(
            PathFigure{{TPoint{x1, y1}, TPoint{x2, y1}, TPoint{x2, y2}, TPoint{x1, y2}}, true});
        return;
    }
    painter_.RoundRect(p, q, w, h);
}

// Arcs run counter-clockwise from the start to the end radial; a pie closes through the
// centre, a chord straight between the ends.
void MetafileExecutor::Arc(double left, double top, double right, double bottom, LogicalPoint start,
                           LogicalPoint end, ArcKind kind)
{
    double x1, y1, x2, y2, sx, sy, ex, ey;
    mapping_.Map(s_, left, top, x1, y1);
    mapping_.Map(s_, right, bottom, x2, y2);
    mapping_.Map(s_, start.first, start.second, sx, sy);
    mapping_.Map(s_, end.first, end.second, ex, ey);
    double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = std::abs(x2 - x1) / 2,
           ry = std::abs(y2 - y1) / 2;
    if (!std::isfinite(cx + cy + rx + ry + sx + sy + ex + ey) || rx < 1e-9 || ry < 1e-9)
        return;
    constexpr double TwoPi = 6.283185307179586;
    // Screen y grows downwards, so counter-clockwise on screen is a growing angle of -y.
    double a0 = std::atan2(-(sy - cy) / ry, (sx - cx) / rx),
           a1 = std::atan2(-(ey - cy) / ry, (ex - cx) / rx);
    double sweep = a1 - a0;
    while (sweep <= 0)
        sweep += TwoPi;
    // Flipped mappings turn the direction round.
    if ((x2 < x1) != (y2 < y1))
        sweep -= TwoPi;
    double perimeter = (rx + ry) * std::abs(sweep);
    int n = static_cast<int>(std::clamp(perimeter / 2, 4.0, 1024.0));
    std::vector<TPoint> pts;
    if (kind == ArcKind::Pie)
        pts.push_back(TPoint{ToInt(cx), ToInt(cy)});
    for (int i = 0; i <= n; ++i) {
        double a = a0 + sweep * i / n;
        pts.push_back(TPoint{ToInt(cx + rx * std::cos(a)), ToInt(cy - ry * std::sin(a))});
    }
    if (kind == ArcKind::Arc)
        DrawPolys({pts}, false, false);
    else
        DrawPolys({pts}, true, true);
}

void MetafileExecutor::LineTo(double x, double y)
{
    TPoint a = Point(s_.curX, s_.curY), b = Point(x, y);
    s_.curX = x;
    s_.curY = y;
    if (inPath_) {
        if (path_.empty() || path_.back().closed)
            path_.push_back(PathFigure{{a}, false});
        path_.back().points.push_back(b);
        return;
    }
    painter_.Line(a, b);
}

void MetafileExecutor::MoveTo(double x, double y)
{
    s_.curX = x;
    s_.curY = y;
    if (inPath_)
        path_.push_back(PathFigure{{Point(x, y)}, false});
}

// points[0] is the start; then groups of three (two controls and an end).
std::vector<TPoint> MetafileExecutor::Bezier(const LogicalPoints& points) const
{
    std::vector<TPoint> out;
    if (points.empty())
        return out;
    double sx, sy;
    mapping_.Map(s_, points[0].first, points[0].second, sx, sy);
    out.push_back(TPoint{ToInt(sx), ToInt(sy)});
    for (size_t i = 1; i + 2 < points.size(); i += 3) {
        double x1, y1, x2, y2, x3, y3;
        mapping_.Map(s_, points[i].first, points[i].second, x1, y1);
        mapping_.Map(s_, points[i + 1].first, points[i + 1].second, x2, y2);
        mapping_.Map(s_, points[i + 2].first, points[i + 2].second, x3, y3);
        for (int k = 1; k <= 16; ++k) {
            double t = k / 16.0, u = 1 - t;
            double x = u * u * u * sx + 3 * u * u * t * x1 + 3 * u * t * t * x2 + t * t * t * x3;
            double y = u * u * u * sy + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t * t * t * y3;
            out.push_back(TPoint{ToInt(x), ToInt(y)});
        }
        sx = x3;
        sy = y3;
    }
    return out;
}

void MetafileExecutor::PolyBezier(const LogicalPoints& points)
{
    DrawPolys({Bezier(points)}, false, false);
}

void MetafileExecutor::PolyTo(const LogicalPoints& points, bool bezier)
{
    LogicalPoints all;
    all.reserve(points.size() + 1);
    all.emplace_back(s_.curX, s_.curY);
    all.insert(all.end(), points.begin(), points.end());
    std::vector<TPoint> dev = bezier ? Bezier(all) : Mapped(all);
    if (!points.empty()) {
        s_.curX = points.back().first;
        s_.curY = points.back().second;
    }
    if (inPath_) {
        if (path_.empty() || path_.back().closed)
            path_.push_back(PathFigure{{dev.front()}, false});
        path_.back().points.insert(path_.back().points.end(), dev.begin() + 1, dev.end());
        return;
    }
    DrawPolys({dev}, false, false);
}

void MetafileExecutor::SetPixel(double x, double y, uint32_t colorRef)
{
    if (inPath_)
        return;
    painter_.SetPixel(Point(x, y), RecordColor(colorRef));
}

// Paths -------------------------------------------------------------------------------------

void MetafileExecutor::BeginPath()
{
    inPath_ = true;
    path_.clear();
}

void MetafileExecutor::AbortPath()
{
    inPath_ = false;
    path_.clear();
}

void MetafileExecutor::CloseFigure()
{
    if (!path_.empty())
        path_.back().closed = true;
}

void MetafileExecutor::DrawPath(bool fill, bool stroke)
{
    inPath_ = false;
    painter_.DrawPath(path_, fill, stroke);
    path_.clear();
}

void MetafileExecutor::PaintRects(const std::vector<TRect>& rects, const BrushState& brush)
{
    if (!inPath_)
        painter_.FillRects(rects, brush);
}

// Block transfers ---------------------------------------------------------------------------

namespace {

TRect SourceRectangle(const SourceRect& source, int bitmapHeight)
{
    double top = source.fromBottom ? bitmapHeight - source.y - source.height : source.y;
    return TRect{ToInt(source.x), ToInt(top), ToInt(source.x + source.width),
                 ToInt(top + source.height)};
}

} // namespace

void MetafileExecutor::Blit(double x, double y, double w, double h, const TBitmap* source,
                            const TRect& src, uint32_t rop)
{
    if (!inPath_)
        painter_.Blit(x, y, w, h, source, src, rop);
}

void MetafileExecutor::PatBlt(double x, double y, double width, double height, uint32_t rop)
{
    Blit(x, y, width, height, nullptr, TRect{}, rop);
}

void MetafileExecutor::StretchDib(double x, double y, double width, double height,
                                  const DibRef& dib, const SourceRect& source, uint32_t rop)
{
    TBitmap bitmap;
    bitmap.SetLimits(limits_);
    painter_.Charge(static_cast<int64_t>(dib.PixelBytes()));
    if (!DecodeDib(dib.info, dib.infoSize, dib.bits, dib.bitsSize, bitmap))
        return;
    Blit(x, y, width, height, &bitmap, SourceRectangle(source, bitmap.Height()), rop);
}

void MetafileExecutor::StretchBitmap16(double x, double y, double width, double height,
                                       const uint8_t* data, size_t size, const SourceRect& source,
                                       uint32_t rop)
{
    TBitmap bitmap;
    bitmap.SetLimits(limits_);
    painter_.Charge(static_cast<int64_t>(size));
    if (!DecodeBitmap16(data, size, s_.textColor, s_.bkColor, bitmap))
        return;
    Blit(x, y, width, height, &bitmap, SourceRectangle(source, bitmap.Height()), rop);
}

void MetafileExecutor::SetDibToDevice(double x, double y, const DibRef& dib,
                                      const SourceRect& source, const std::optional<ScanBand>& band)
{
    TBitmap bitmap;
    bitmap.SetLimits(limits_);
    painter_.Charge(static_cast<int64_t>(dib.PixelBytes()));
    if (!DecodeDib(dib.info, dib.infoSize, dib.bits, dib.bitsSize, bitmap))
        return;
    int64_t fullHeight = band ? band->fullHeight : bitmap.Height();
    int64_t bandTop = band ? band->top : 0;
    auto xSrc = static_cast<int64_t>(source.x), ySrc = static_cast<int64_t>(source.y);
    auto cxSrc = static_cast<int64_t>(source.width), cySrc = static_cast<int64_t>(source.height);
    int64_t top = source.fromBottom ? fullHeight - ySrc - cySrc : ySrc;
    int64_t r0 = std::max(top, bandTop), r1 = std::min(top + cySrc, bandTop + bitmap.Height());
    if (r1 <= r0 || cxSrc <= 0)
        return;
    double ox, oy;
    mapping_.Map(s_, x, y, ox, oy);
    double sx = mapping_.ScaleX(s_, 1), sy = mapping_.ScaleY(s_, 1);
    TRect dest{ToInt(ox), ToInt(oy + (r0 - top) * sy), ToInt(ox + cxSrc * sx),
               ToInt(oy + (r1 - top) * sy)};
    TRect src{Clamped(xSrc), Clamped(r0 - bandTop), Clamped(xSrc + cxSrc), Clamped(r1 - bandTop)};
    painter_.DeviceBlit(dest, bitmap, src);
}

} // namespace tabulonix::metafile
