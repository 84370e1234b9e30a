#include "codecs/metafile/MetafilePainter.h"

#include "codecs/metafile/MetafileMath.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/CanvasShapes.h"

#include <algorithm>
#include <cmath>

namespace tabulonix::metafile {

MetafilePainter::MetafilePainter(TCanvas& canvas, const TRect& area, int64_t workBudget,
                                 const DeviceMapping& mapping, const DcState& state)
    : canvas_(canvas), mapping_(mapping), state_(state), budget_(workBudget)
{
    savedPen_ = canvas.Pen;
    savedBrush_ = canvas.Brush;
    TRect whole{0, 0, canvas.Target().Width(), canvas.Target().Height()};
    savedClip_ = canvas.ClipRect();
    clipWasWhole_ = savedClip_ == whole;
    outer_ = TRect{std::max(area.left, savedClip_.left), std::max(area.top, savedClip_.top),
                   std::min(area.right + 1, savedClip_.right),
                   std::min(area.bottom + 1, savedClip_.bottom)};
}

MetafilePainter::~MetafilePainter()
{
    canvas_.Pen = savedPen_;
    canvas_.Brush = savedBrush_;
    if (clipWasWhole_)
        canvas_.ResetClip();
    else
        canvas_.SetClipRect(savedClip_);
}

void MetafilePainter::Charge(int64_t units)
{
    budget_ -= std::max<int64_t>(units, 1);
    if (budget_ < 0)
        throw WorkExhausted{};
}

void MetafilePainter::ApplyClip()
{
    TRect r = outer_;
    if (state_.clip) {
        r.left = std::max(r.left, state_.clip->left);
        r.top = std::max(r.top, state_.clip->top);
        r.right = std::min(r.right, state_.clip->right);
        r.bottom = std::min(r.bottom, state_.clip->bottom);
    }
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    canvas_.SetClipRect(r);
}

int MetafilePainter::PenPixels() const
{
    if (state_.pen.cosmetic || state_.pen.width <= 1e-9)
        return 1;
    // Wider than the whole area draws the same as as wide as it.
    TRect c = canvas_.ClipRect();
    double limit = 2.0 * std::max(c.Width(), c.Height()) + 2;
    double w = mapping_.ScaleX(state_, state_.pen.width);
    return std::max(1, ToInt(std::min({w, 4096.0, limit})));
}

void MetafilePainter::Prepare(bool fill, const BrushState& brush)
{
    canvas_.Pen.Color = state_.pen.color;
    // Styled pens are dashed only when one pixel wide, as on the usual platform.
    int style = state_.pen.style;
    canvas_.Pen.Style = style == PS_NULL                             ? psClear
                        : style >= PS_DASH && style <= PS_DASHDOTDOT ? static_cast<TPenStyle>(style)
                                                                     : psSolid;
    canvas_.Pen.Width = PenPixels();
    canvas_.Brush.Color = brush.color;
    canvas_.Brush.Style = fill ? brush.style : bsClear;
}

int64_t MetafilePainter::OutlineCost(size_t points) const
{
    TRect c = canvas_.ClipRect();
    int64_t side = std::max<int64_t>(1, std::max(c.Width(), c.Height()));
    int64_t pen = canvas_.Pen.Width;
    // Wide pens fill a quad and two round joins per segment.
    int64_t joins = 0;
    if (pen > 1) {
        int64_t rows = std::min<int64_t>(pen + 2, std::max(c.Height(), 1));
        int64_t circle = std::clamp<int64_t>(pen * 3 / 2, 8, 1024);
        joins = rows * (2 * circle + 4);
    }
    return static_cast<int64_t>(points) * (2 * side + joins);
}

void MetafilePainter::Fill(const std::vector<std::vector<TPoint>>& polys)
{
    if (canvas_.Brush.Style >= bsHorizontal && state_.opaque) {
        TBrush hatch = canvas_.Brush;
        canvas_.Brush = TBrush{state_.bkColor, bsSolid};
        FillPolygons(canvas_, polys, state_.winding);
        canvas_.Brush = hatch;
    }
    FillPolygons(canvas_, polys, state_.winding);
}

void MetafilePainter::Outline(const std::vector<TPoint>& points, bool closed)
{
    TBrush keep = canvas_.Brush;
    canvas_.Brush.Style = bsClear;
    if (closed)
        Polygon(canvas_, points);
    else
        Polyline(canvas_, points);
    canvas_.Brush = keep;
}

void MetafilePainter::DrawPolys(const std::vector<std::vector<TPoint>>& polys, bool closed,
                                bool fill)
{
    Prepare(fill);
    size_t points = 0;
    for (const auto& p : polys)
        points += p.size();
    Charge(OutlineCost(points));
    if (fill && closed && canvas_.Brush.Style != bsClear) {
        Charge(FillCost(canvas_, polys));
        Fill(polys);
    }
    for (const auto& p : polys)
        Outline(p, closed);
}

// A wide inside-frame pen stays within the shape's box.
void MetafilePainter::InsideFrame(int& x1, int& y1, int& x2, int& y2) const
{
    if (state_.pen.style != PS_INSIDEFRAME || canvas_.Pen.Width <= 1)
        return;
    int h = canvas_.Pen.Width / 2;
    x1 = std::min(x1 + h, (x1 + x2) / 2);
    y1 = std::min(y1 + h, (y1 + y2) / 2);
    x2 = std::max(x2 - h, x1);
    y2 = std::max(y2 - h, y1);
}

void MetafilePainter::Rectangle(TPoint p, TPoint q)
{
    Prepare(true);
    int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
        y2 = std::max(p.y, q.y);
    InsideFrame(x1, y1, x2, y2);
    Charge(int64_t(std::min(x2 - x1, outer_.Width() + 2)) * std::min(y2 - y1, outer_.Height() + 2) +
           OutlineCost(4));
    // The canvas clips its fill; the outline is clipped band by band.
    TRect c = canvas_.ClipRect();
    x1 = std::max(x1, c.left - 4096);
    y1 = std::max(y1, c.top - 4096);
    x2 = std::min(x2, c.right + 4096);
    y2 = std::min(y2, c.bottom + 4096);
    if (x1 >= x2 || y1 >= y2)
        return;
    if (canvas_.Brush.Style >= bsHorizontal) {
        // The canvas fills solid only: hatches go through the polygon fill.
        Fill({{TPoint{x1, y1}, TPoint{x2, y1}, TPoint{x2, y2}, TPoint{x1, y2}}});
        canvas_.Brush.Style = bsClear;
    }
    canvas_.Rectangle(x1, y1, x2, y2);
}

void MetafilePainter::Ellipse(TPoint p, TPoint q)
{
    int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
        y2 = std::max(p.y, q.y);
    Prepare(true);
    Charge(FillCost(canvas_, {{p, q}}) * 1024 / 16 + OutlineCost(1024));
    InsideFrame(x1, y1, x2, y2);
    tabulonix::Ellipse(canvas_, x1, y1, x2, y2);
}

void MetafilePainter::RoundRect(TPoint p, TPoint q, int cornerWidth, int cornerHeight)
{
    int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
        y2 = std::max(p.y, q.y);
    Prepare(true);
    Charge(FillCost(canvas_, {{p, q}}) * 40 + OutlineCost(40));
    InsideFrame(x1, y1, x2, y2);
    tabulonix::RoundRect(canvas_, x1, y1, x2, y2, cornerWidth, cornerHeight);
}

void MetafilePainter::Line(TPoint a, TPoint b)
{
    Prepare(false);
    Charge(OutlineCost(2));
    LineSegment(canvas_, a, b);
}

void MetafilePainter::SetPixel(TPoint p, TColor color)
{
    Charge(1);
    canvas_.SetPixel(p.x, p.y, color);
}

void MetafilePainter::DrawPath(const std::vector<PathFigure>& path, bool fill, bool stroke)
{
    std::vector<std::vector<TPoint>> polys;
    for (const auto& f : path)
        if (!f.points.empty())
            polys.push_back(f.points);
    if (fill && !polys.empty()) {
        Prepare(true);
        canvas_.Pen.Style = psClear;
        Charge(FillCost(canvas_, polys));
        Fill(polys);
    }
    if (stroke) {
        Prepare(false);
        size_t points = 0;
        for (const auto& f : path)
            points += f.points.size();
        Charge(OutlineCost(points));
        for (const auto& f : path)
            Outline(f.points, f.closed || fill);
    }
}

void MetafilePainter::FillRects(const std::vector<TRect>& rects, const BrushState& brush)
{
    Prepare(true, brush);
    for (const TRect& r : rects) {
        TPoint p = mapping_.Point(state_, r.left, r.top),
               q = mapping_.Point(state_, r.right, r.bottom);
        std::vector<TPoint> quad{p, TPoint{q.x, p.y}, q, TPoint{p.x, q.y}};
        Charge(FillCost(canvas_, {quad}));
        FillPolygons(canvas_, {quad}, false);
    }
}

int64_t MetafilePainter::AreaCost(const TRect& dest) const
{
    return std::min<int64_t>(std::abs(int64_t(dest.Width())), outer_.Width() + 1) *
           std::min<int64_t>(std::abs(int64_t(dest.Height())), outer_.Height() + 1);
}

void MetafilePainter::Blit(double x, double y, double w, double h, const TBitmap* source,
                           const TRect& src, uint32_t rop)
{
    TPoint p = mapping_.Point(state_, x, y), q = mapping_.Point(state_, x + w, y + h);
    TRect dest{p.x, p.y, q.x, q.y};
    Charge(AreaCost(dest));
    if (source) {
        canvas_.StretchBlit(dest, *source, src, static_cast<TCopyMode>(rop));
        return;
    }
    TRect r{std::min(dest.left, dest.right), std::min(dest.top, dest.bottom),
            std::max(dest.left, dest.right), std::max(dest.top, dest.bottom)};
    if (rop == BLACKNESS || rop == WHITENESS) {
        canvas_.Brush.Style = bsSolid;
        canvas_.Brush.Color = rop == BLACKNESS ? clBlack : clWhite;
    } else {
        Prepare(true);
    }
    if (rop == DSTINVERT || rop == PATINVERT) {
        TRect c = canvas_.ClipRect();
        TColor pat = rop == PATINVERT ? ColorToRGB(state_.brush.color) : 0xFFFFFF;
        for (int yy = std::max(r.top, c.top); yy < std::min(r.bottom, c.bottom); ++yy)
            for (int xx = std::max(r.left, c.left); xx < std::min(r.right, c.right); ++xx)
                canvas_.SetPixel(xx, yy, (canvas_.Pixel(xx, yy) ^ pat) & 0xFFFFFF);
        return;
    }
    canvas_.FillRect(r);
}

void MetafilePainter::DeviceBlit(const TRect& dest, const TBitmap& source, const TRect& src)
{
    Charge(AreaCost(dest));
    canvas_.StretchBlit(dest, source, src, cmSrcCopy);
}

} // namespace tabulonix::metafile
