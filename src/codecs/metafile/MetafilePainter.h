#pragma once
#include "codecs/metafile/MetafileDevice.h"

#include <cstdint>
#include <vector>

namespace tabulonix {
class TBitmap;
}

namespace tabulonix::metafile {

// Thrown when a playing has used up its work budget; ends the playing.
struct WorkExhausted {};

struct PathFigure {
    std::vector<TPoint> points;
    bool closed = false;
};

// Draws in device pixels onto the canvas with the pen, brush and modes of the current device
// state, and charges every drawing to the playing's work budget. The canvas's pen, brush and
// clip are given back when it ends.
class MetafilePainter {
  public:
    MetafilePainter(TCanvas& canvas, const TRect& area, int64_t workBudget,
                    const DeviceMapping& mapping, const DcState& state);
    ~MetafilePainter();
    MetafilePainter(const MetafilePainter&) = delete;
    MetafilePainter& operator=(const MetafilePainter&) = delete;

    void Charge(int64_t units);
    // The playing's area within the canvas's clip, narrowed by the state's clip.
    void ApplyClip();

    void DrawPolys(const std::vector<std::vector<TPoint>>& polys, bool closed, bool fill);
    void Rectangle(TPoint p, TPoint q);
    void Ellipse(TPoint p, TPoint q);
    void RoundRect(TPoint p, TPoint q, int cornerWidth, int cornerHeight);
    void Line(TPoint a, TPoint b);
    void SetPixel(TPoint p, TColor color);
    void DrawPath(const std::vector<PathFigure>& path, bool fill, bool stroke);
    // Rectangles in logical units, filled with `brush`.
    void FillRects(const std::vector<TRect>& rects, const BrushState& brush);
    // A block transfer into the logical rectangle; without a source it paints with the brush.
    void Blit(double x, double y, double w, double h, const TBitmap* source, const TRect& src,
              uint32_t rop);
    // A copy into device pixels, unmapped.
    void DeviceBlit(const TRect& dest, const TBitmap& source, const TRect& src);

  private:
    int PenPixels() const;
    void Prepare(bool fill) { Prepare(fill, state_.brush); }
    void Prepare(bool fill, const BrushState& brush);
    int64_t OutlineCost(size_t points) const;
    void Fill(const std::vector<std::vector<TPoint>>& polys);
    void Outline(const std::vector<TPoint>& points, bool closed);
    void InsideFrame(int& x1, int& y1, int& x2, int& y2) const;
    int64_t AreaCost(const TRect& dest) const;

    TCanvas& canvas_;
    const DeviceMapping& mapping_;
    const DcState& state_;
    TRect outer_; // half-open clip of the whole playing
    int64_t budget_;
    TPen savedPen_;
    TBrush savedBrush_;
    TRect savedClip_;
    bool clipWasWhole_ = true;
};

} // namespace tabulonix::metafile
