#include "codecs/surface/CanvasShapes.h"

#include "codecs/surface/Bitmap.h"

#include <algorithm>
#include <cmath>

namespace tabulonix {

namespace {

constexpr double Pi = 3.14159265358979323846;

bool HatchHit(TBrushStyle style, int x, int y)
{
    bool h = (y & 7) == 0, v = (x & 7) == 0;
    bool f = ((x - y) & 7) == 0, b = ((x + y) & 7) == 0;
    switch (style) {
    case bsHorizontal:
        return h;
    case bsVertical:
        return v;
    case bsFDiagonal:
        return f;
    case bsBDiagonal:
        return b;
    case bsCross:
        return h || v;
    case bsDiagCross:
        return f || b;
    default:
        return true;
    }
}

// Paints pixels [x1, x2) of row y with the brush.
void BrushSpan(TCanvas& canvas, int x1, int x2, int y)
{
    if (x1 >= x2 || canvas.Brush.Style == bsClear)
        return;
    if (canvas.Brush.Style == bsSolid) {
        canvas.FillRect(TRect{x1, y, x2, y + 1});
        return;
    }
    TColor rgb = ColorToRGB(canvas.Brush.Color);
    for (int x = x1; x < x2; ++x)
        if (HatchHit(canvas.Brush.Style, x, y))
            canvas.SetPixel(x, y, rgb);
}

struct Edge {
    double x0, y0, x1, y1;
    int dir;
};

// Pen pixels of a one-pixel line, with the end point drawn or not.
// On and off runs of the styled one-pixel pens, in pixels.
bool DashOn(TPenStyle style, int step)
{
    switch (style) {
    case psDash:
        return step % 24 < 18;
    case psDot:
        return step % 6 < 3;
    case psDashDot: {
        int k = step % 30;
        return k < 18 || (k >= 24 && k < 27);
    }
    case psDashDotDot: {
        int k = step % 36;
        return k < 18 || (k >= 24 && k < 27) || (k >= 30 && k < 33);
    }
    default:
        return true;
    }
}

void ThinLine(TCanvas& canvas, TPoint a, TPoint b, bool drawLast, TColor rgb)
{
    TPenStyle style = canvas.Pen.Style;
    int step = 0;
    TRect clip = canvas.ClipRect();
    if (clip.IsEmpty())
        return;
    double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
    auto within = [&](TPoint p) {
        return p.x >= clip.left && p.x < clip.right && p.y >= clip.top && p.y < clip.bottom;
    };
    bool inside = within(a) && within(b);
    if (!inside) {
        // Liang-Barsky against the clip box grown by one pixel, so the walk below stays
        // within the visible area plus a margin whatever the coordinates were.
        double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
        double lo[2] = {clip.left - 1.0, clip.top - 1.0},
               hi[2] = {double(clip.right), double(clip.bottom)};
        double p[4] = {-dx, dx, -dy, dy};
        double q[4] = {x0 - lo[0], hi[0] - x0, y0 - lo[1], hi[1] - y0};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0)
                    return;
                continue;
            }
            double r = q[i] / p[i];
            if (p[i] < 0)
                t0 = std::max(t0, r);
            else
                t1 = std::min(t1, r);
        }
        if (t0 > t1)
            return;
        double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
        if (t1 < 1)
            drawLast = true; // the true end lies outside anyway
        x0 = nx0;
        y0 = ny0;
        x1 = nx1;
        y1 = ny1;
    }
    int ix0 = static_cast<int>(std::lround(x0)), iy0 = static_cast<int>(std::lround(y0));
    int ix1 = static_cast<int>(std::lround(x1)), iy1 = static_cast<int>(std::lround(y1));
    int dx = std::abs(ix1 - ix0), dy = -std::abs(iy1 - iy0);
    int sx = ix0 < ix1 ? 1 : -1, sy = iy0 < iy1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        bool last = ix0 == ix1 && iy0 == iy1;
        if ((!last || drawLast) && DashOn(style, step++))
            canvas.SetPixel(ix0, iy0, rgb);
        if (last)
            break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            ix0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            iy0 += sy;
        }
    }
}

// The pen as a brush, for wide lines, which are drawn as filled quads and round joins.
void WideLine(TCanvas& canvas, TPoint a, TPoint b, int width, bool roundEnds)
{
    TBrush saved = canvas.Brush;
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = canvas.Pen.Color;
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y, len = std::hypot(dx, dy);
    double h = width / 2.0;
    std::vector<std::vector<TPoint>> shapes;
    auto pt = [](double x, double y) {
        return TPoint{static_cast<int>(std::lround(std::clamp(x, -1e9, 1e9))),
                      static_cast<int>(std::lround(std::clamp(y, -1e9, 1e9)))};
    };
    // Coordinates are pixel positions; filling samples pixel centres, hence the half shift.
    double ax = a.x + 0.5, ay = a.y + 0.5, bx = b.x + 0.5, by = b.y + 0.5;
    if (len > 0) {
        double nx = -dy / len * h, ny = dx / len * h;
        shapes.push_back({pt(ax + nx, ay + ny), pt(bx + nx, by + ny), pt(bx - nx, by - ny),
                          pt(ax - nx, ay - ny)});
    }
    if (roundEnds) {
        shapes.push_back(EllipsePoints(ax, ay, h, h));
        shapes.push_back(EllipsePoints(bx, by, h, h));
    }
    for (const auto& s : shapes)
        FillPolygons(canvas, {s}, true);
    canvas.Brush = saved;
}

void PenSegment(TCanvas& canvas, TPoint a, TPoint b, bool drawLast)
{
    if (canvas.Pen.Style == psClear)
        return;
    if (canvas.Pen.Width <= 1)
        ThinLine(canvas, a, b, drawLast, ColorToRGB(canvas.Pen.Color));
    else
        WideLine(canvas, a, b, canvas.Pen.Width, true);
}

void Outline(TCanvas& canvas, const std::vector<TPoint>& points, bool closed)
{
    if (canvas.Pen.Style == psClear || points.empty())
        return;
    if (points.size() == 1) {
        PenSegment(canvas, points[0], points[0], true);
        return;
    }
    for (size_t i = 0; i + 1 < points.size(); ++i)
        PenSegment(canvas, points[i], points[i + 1], !closed && i + 2 == points.size());
    if (closed)
        PenSegment(canvas, points.back(), points.front(), false);
}

} // namespace

std::vector<TPoint> EllipsePoints(double cx, double cy, double rx, double ry)
{
    rx = std::abs(rx);
    ry = std::abs(ry);
    double perimeter = 2 * Pi * std::sqrt((rx * rx + ry * ry) / 2);
    int n = static_cast<int>(std::clamp(perimeter / 2, 8.0, 1024.0));
    std::vector<TPoint> out;
    out.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        double t = 2 * Pi * i / n;
        double x = std::clamp(cx + rx * std::cos(t), -1e9, 1e9),
               y = std::clamp(cy + ry * std::sin(t), -1e9, 1e9);
        out.push_back(TPoint{static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))});
    }
    return out;
}

int64_t FillCost(const TCanvas& canvas, const std::vector<std::vector<TPoint>>& polygons)
{
    TRect clip = canvas.ClipRect();
    int64_t edges = 0;
    int minY = INT32_MAX, maxY = INT32_MIN;
    for (const auto& p : polygons) {
        edges += static_cast<int64_t>(p.size());
        for (const auto& q : p) {
            minY = std::min(minY, q.y);
            maxY = std::max(maxY, q.y);
        }
    }
    int64_t rows = std::max<int64_t>(0, std::min<int64_t>(maxY, clip.bottom) -
                                            std::max<int64_t>(minY, clip.top) + 1);
    return rows * (edges + 1) + edges;
}

void FillPolygons(TCanvas& canvas, const std::vector<std::vector<TPoint>>& polygons, bool winding)
{
    if (canvas.Brush.Style == bsClear)
        return;
    TRect clip = canvas.ClipRect();
    if (clip.IsEmpty())
        return;
    std::vector<Edge> edges;
    double minY = 1e300, maxY = -1e300;
    for (const auto& poly : polygons) {
        size_t n = poly.size();
        if (n < 2)
            continue;
        for (size_t i = 0; i < n; ++i) {
            TPoint a = poly[i], b = poly[(i + 1) % n];
            if (a.y == b.y)
                continue;
            if (a.y < b.y)
                edges.push_back(Edge{double(a.x), double(a.y), double(b.x), double(b.y), 1});
            else
                edges.push_back(Edge{double(b.x), double(b.y), double(a.x), double(a.y), -1});
            minY = std::min(minY, edges.back().y0);
            maxY = std::max(maxY, edges.back().y1);
        }
    }
    if (edges.empty())
        return;
    int yStart = std::max(clip.top, static_cast<int>(std::floor(std::max(minY, -2e9))));
    int yEnd = std::min(clip.bottom, static_cast<int>(std::ceil(std::min(maxY, 2e9))));
    std::vector<std::pair<double, int>> hits;
    for (int y = yStart; y < yEnd; ++y) {
        double yc = y + 0.5;
        hits.clear();
        for (const Edge& e : edges)
            if (yc >= e.y0 && yc < e.y1)
                hits.emplace_back(e.x0 + (yc - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir);
        std::sort(hits.begin(), hits.end());
        int count = 0;
        for (size_t i = 0; i + 1 < hits.size(); ++i) {
            count += winding ? hits[i].second : 1;
            bool in = winding ? count != 0 : (count & 1) != 0;
            if (!in)
                continue;
            // Pixels whose centre x + 0.5 lies in [xa, xb).
            double xa = std::max(hits[i].first, clip.left - 1.0),
                   xb = std::min(hits[i + 1].first, clip.right + 1.0);
            int x1 = static_cast<int>(std::ceil(xa - 0.5)),
                x2 = static_cast<int>(std::ceil(xb - 0.5));
            BrushSpan(canvas, std::max(x1, clip.left), std::min(x2, clip.right), y);
        }
    }
}

void LineSegment(TCanvas& canvas, TPoint from, TPoint to)
{
    PenSegment(canvas, from, to, false);
}

void Polyline(TCanvas& canvas, const std::vector<TPoint>& points)
{
    Outline(canvas, points, false);
}

void Polygon(TCanvas& canvas, const std::vector<TPoint>& points, bool winding)
{
    PolyPolygon(canvas, {points}, winding);
}

void PolyPolygon(TCanvas& canvas, const std::vector<std::vector<TPoint>>& polygons, bool winding)
{
    FillPolygons(canvas, polygons, winding);
    for (const auto& p : polygons)
        Outline(canvas, p, true);
}

void Ellipse(TCanvas& canvas, int x1, int y1, int x2, int y2)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    double cx = (double(x1) + x2) / 2, cy = (double(y1) + y2) / 2;
    double rx = (double(x2) - x1) / 2, ry = (double(y2) - y1) / 2;
    FillPolygons(canvas, {EllipsePoints(cx, cy, rx, ry)}, false);
    // The outline runs through the outermost pixel centres.
    Outline(canvas,
            EllipsePoints(cx - 0.5, cy - 0.5, std::max(0.0, rx - 0.5), std::max(0.0, ry - 0.5)),
            true);
}

void RoundRect(TCanvas& canvas, int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    auto shape = [&](double l, double t, double r, double b) {
        double rx = std::min(std::abs(double(cornerWidth)) / 2, (r - l) / 2);
        double ry = std::min(std::abs(double(cornerHeight)) / 2, (b - t) / 2);
        std::vector<TPoint> out;
        const double cs[4][2] = {
            {r - rx, t + ry}, {l + rx, t + ry}, {l + rx, b - ry}, {r - rx, b - ry}};
        for (int q = 0; q < 4; ++q) {
            for (int i = 0; i <= 8; ++i) {
                double a = Pi / 2 * (q + i / 8.0);
                double x = cs[q][0] + rx * std::cos(a), y = cs[q][1] - ry * std::sin(a);
                out.push_back(TPoint{static_cast<int>(std::lround(std::clamp(x, -1e9, 1e9))),
                                     static_cast<int>(std::lround(std::clamp(y, -1e9, 1e9)))});
            }
        }
        return out;
    };
    FillPolygons(canvas, {shape(x1, y1, x2, y2)}, false);
    Outline(canvas, shape(x1, y1, x2 - 1.0, y2 - 1.0), true);
}

} // namespace tabulonix
