#pragma once
#include "codecs/metafile/MetafileDevice.h"
#include "codecs/metafile/MetafileOps.h"
#include "codecs/metafile/MetafilePainter.h"

#include <cstdint>
#include <vector>

namespace tabulonix {
class TBitmap;
}

namespace tabulonix::metafile {

// Carries out the operations of either metafile form. It owns the device state (coordinate
// mapping, the current and saved states, the object table, the path being built) and hands
// what is drawn to its painter.
class MetafileExecutor final : public MetafileOps {
  public:
    MetafileExecutor(TCanvas& canvas, const TRect& area, const DecodeLimits& limits);
    MetafileExecutor(const MetafileExecutor&) = delete;
    MetafileExecutor& operator=(const MetafileExecutor&) = delete;

    bool BeginEnhanced(const EmfHeader& header) override;
    void BeginWindows(size_t objectLimit, const TRect& box) override;
    void CountRecord() override { painter_.Charge(1); }

    void SetMapMode(uint32_t mode) override;
    void SetWindowOrg(std::optional<double> x, std::optional<double> y) override;
    void SetWindowExt(std::optional<double> x, std::optional<double> y) override;
    void SetViewportOrg(std::optional<double> x, std::optional<double> y) override;
    void SetViewportExt(std::optional<double> x, std::optional<double> y) override;
    void OffsetWindowOrg(std::optional<double> dx, std::optional<double> dy) override;
    void ScaleWindowExt(int xNum, int xDenom, int yNum, int yDenom) override;
    void ScaleViewportExt(int xNum, int xDenom, int yNum, int yDenom) override;
    void SetWorldTransform(const Xform& xform, uint32_t mode) override;

    void SaveDC() override { saved_.Save(s_); }
    void RestoreDC(int which) override;
    void SetBkColor(uint32_t colorRef) override { s_.bkColor = RecordColor(colorRef); }
    void SetTextColor(uint32_t colorRef) override { s_.textColor = RecordColor(colorRef); }
    void SetBkMode(uint32_t mode) override { s_.opaque = mode != TRANSPARENT; }
    void SetPolyFillMode(uint32_t mode) override { s_.winding = mode == WINDING; }
    void IntersectClipRect(double left, double top, double right, double bottom) override;
    void ResetClip() override;

    void CreatePen(ObjectSlot slot, const PenState& pen) override;
    void CreateBrush(ObjectSlot slot, const BrushState& brush) override;
    void CreatePatternBrush(ObjectSlot slot, const std::optional<DibRef>& pattern) override;
    void CreateRegion(std::vector<TRect> rects) override;
    void CreateOtherObject(ObjectSlot slot) override;
    void SelectObject(uint32_t index) override;
    void SelectStockObject(uint32_t stock) override;
    void DeleteObject(uint32_t index) override { objects_.Delete(index); }

    void MoveTo(double x, double y) override;
    void LineTo(double x, double y) override;
    void PolylineTo(const LogicalPoints& points) override { PolyTo(points, false); }
    void PolyBezierTo(const LogicalPoints& points) override { PolyTo(points, true); }
    void PolyBezier(const LogicalPoints& points) override;
    void Polys(const std::vector<LogicalPoints>& figures, bool polygon) override;
    void Rectangle(double left, double top, double right, double bottom) override;
    void Ellipse(double left, double top, double right, double bottom) override;
    void RoundRect(double left, double top, double right, double bottom, double cornerWidth,
                   double cornerHeight) override;
    void Arc(double left, double top, double right, double bottom, LogicalPoint start,
             LogicalPoint end, ArcKind kind) override;
    void SetPixel(double x, double y, uint32_t colorRef) override;

    void BeginPath() override;
    void EndPath() override { inPath_ = false; }
    void AbortPath() override;
    void CloseFigure() override;
    void DrawPath(bool fill, bool stroke) override;

    void FillRects(const std::vector<TRect>& rects, std::optional<uint32_t> brush) override;
    void FillRegion(uint32_t region, std::optional<uint32_t> brush) override;

    void PatBlt(double x, double y, double width, double height, uint32_t rop) override;
    void StretchDib(double x, double y, double width, double height, const DibRef& dib,
                    const SourceRect& source, uint32_t rop) override;
    void StretchBitmap16(double x, double y, double width, double height, const uint8_t* bitmap,
                         size_t size, const SourceRect& source, uint32_t rop) override;
    void SetDibToDevice(double x, double y, const DibRef& dib, const SourceRect& source,
                        const std::optional<ScanBand>& band) override;

  private:
    TPoint Point(double x, double y) const { return mapping_.Point(s_, x, y); }
    std::vector<TPoint> Mapped(const LogicalPoints& points) const;
    // The brush a region is filled with: the selected one, or the named brush object (none
    // when that is not a brush).
    std::optional<BrushState> RegionBrush(std::optional<uint32_t> brush);

    void DrawPolys(std::vector<std::vector<TPoint>> polys, bool closed, bool fill);
    std::vector<TPoint> Bezier(const LogicalPoints& points) const;
    void PolyTo(const LogicalPoints& points, bool bezier);
    void PaintRects(const std::vector<TRect>& rects, const BrushState& brush);
    void Blit(double x, double y, double w, double h, const TBitmap* source, const TRect& src,
              uint32_t rop);

    DecodeLimits limits_; // for the bitmaps of the records
    DeviceMapping mapping_;
    DcState s_;
    StateStack saved_;
    ObjectTable objects_;
    bool inPath_ = false;
    std::vector<PathFigure> path_;
    MetafilePainter painter_; // after the state it reads
};

} // namespace tabulonix::metafile
