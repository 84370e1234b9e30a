#pragma once
#include "codecs/surface/Canvas.h"

#include <cstdint>
#include <vector>

namespace tabulonix {

// Drawing primitives beyond what TCanvas has, for the metafile player. They draw with the
// canvas's Pen and Brush and clip to its ClipRect, so their work is bounded by the clipped
// area whatever the coordinates are. Points are pixel positions; a filled shape covers the
// pixels whose centre lies inside it (so the polygon (0,0) (4,0) (4,2) (0,2) covers columns
// 0..3 and rows 0..1), outlines run through the pixel positions themselves.

// The line from `from` to `to` without its last pixel (as a pen moving to `to` leaves it).
void LineSegment(TCanvas& canvas, TPoint from, TPoint to);
// Connected segments; the final point is drawn too.
void Polyline(TCanvas& canvas, const std::vector<TPoint>& points);
// Filled with the brush, outlined with the pen (closed). `winding` chooses the non-zero
// rule instead of even-odd.
void Polygon(TCanvas& canvas, const std::vector<TPoint>& points, bool winding = false);
void PolyPolygon(TCanvas& canvas, const std::vector<std::vector<TPoint>>& polygons,
                 bool winding = false);
// Inscribed in the rectangle whose right and bottom edges are exclusive.
void Ellipse(TCanvas& canvas, int x1, int y1, int x2, int y2);
void RoundRect(TCanvas& canvas, int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);

// Fills with the brush only (its hatch style honoured), no outline.
void FillPolygons(TCanvas& canvas, const std::vector<std::vector<TPoint>>& polygons, bool winding);

// The outline of an ellipse as a polygon (used for ellipses, rounded corners and round
// pen joins); at most 1024 points.
std::vector<TPoint> EllipsePoints(double cx, double cy, double rx, double ry);

// A rough cost of drawing: rows touched times edges, so callers can bound their work.
int64_t FillCost(const TCanvas& canvas, const std::vector<std::vector<TPoint>>& polygons);

} // namespace tabulonix
