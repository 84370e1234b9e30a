#pragma once
#include "codecs/metafile/MetafileRecords.h"
#include "codecs/surface/Canvas.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tabulonix::metafile {

struct EmfHeader;

// What the record decoders hand to the one executor: the drawing operations of both metafile
// forms, in the logical units of the records. Values are passed as the records hold them;
// the executor owns every rule that depends on the device state.

using LogicalPoint = std::pair<double, double>;
using LogicalPoints = std::vector<LogicalPoint>;

inline TColor RecordColor(uint32_t colorRef)
{
    return static_cast<TColor>(colorRef & 0xFFFFFF);
}

struct PenState {
    int style = PS_SOLID; // PS_NULL draws nothing
    double width = 0;     // logical units; 0 is one pixel
    bool cosmetic = true;
    TColor color = clBlack;
};

struct BrushState {
    TBrushStyle style = bsSolid;
    TColor color = clWhite;
};

// A logical brush record: style, colour and hatch.
BrushState LogicalBrush(uint32_t style, uint32_t colorRef, uint32_t hatch);

struct Xform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    // this applied after `first`
    Xform After(const Xform& first) const;
};

// Where a created object goes: enhanced records name their slot, Windows records take the
// lowest free one.
using ObjectSlot = std::optional<uint32_t>;

// A bitmap inside a record: the information block (header, masks, colours) and its pixels,
// or a packed bitmap (no `bits`) whose pixels follow the colours.
struct DibRef {
    const uint8_t* info = nullptr;
    size_t infoSize = 0;
    const uint8_t* bits = nullptr;
    size_t bitsSize = 0;
    // The bytes whose decoding the work budget pays for.
    size_t PixelBytes() const { return bits ? bitsSize : infoSize; }
};

// The source rectangle of a transfer. Bottom-up bitmaps count it from their bottom row,
// which is known only once the bitmap is decoded.
struct SourceRect {
    double x = 0, y = 0, width = 0, height = 0;
    bool fromBottom = false;
};

// Setting bits to the device may carry a band of the picture's scan lines.
struct ScanBand {
    int64_t fullHeight = 0;
    int64_t top = 0; // of the band within the whole picture, from the top
};

enum class ArcKind { Arc, Chord, Pie };

class MetafileOps {
  public:
    virtual ~MetafileOps() = default;

    // The start of a playing; false when the enhanced header gives nothing to map.
    virtual bool BeginEnhanced(const EmfHeader& header) = 0;
    virtual void BeginWindows(size_t objectLimit, const TRect& box) = 0;
    // Every record costs work, understood or not.
    virtual void CountRecord() = 0;

    // Coordinate mapping.
    virtual void SetMapMode(uint32_t mode) = 0;
    // A record cut short sets only the values it holds.
    virtual void SetWindowOrg(std::optional<double> x, std::optional<double> y) = 0;
    virtual void SetWindowExt(std::optional<double> x, std::optional<double> y) = 0;
    virtual void SetViewportOrg(std::optional<double> x, std::optional<double> y) = 0;
    virtual void SetViewportExt(std::optional<double> x, std::optional<double> y) = 0;
    virtual void OffsetWindowOrg(std::optional<double> dx, std::optional<double> dy) = 0;
    virtual void ScaleWindowExt(int xNum, int xDenom, int yNum, int yDenom) = 0;
    virtual void ScaleViewportExt(int xNum, int xDenom, int yNum, int yDenom) = 0;
    virtual void SetWorldTransform(const Xform& xform, uint32_t mode) = 0;

    // Device state.
    virtual void SaveDC() = 0;
    virtual void RestoreDC(int which) = 0;
    virtual void SetBkColor(uint32_t colorRef) = 0;
    virtual void SetTextColor(uint32_t colorRef) = 0;
    virtual void SetBkMode(uint32_t mode) = 0;
    virtual void SetPolyFillMode(uint32_t mode) = 0;
    virtual void IntersectClipRect(double left, double top, double right, double bottom) = 0;
    virtual void ResetClip() = 0;

    // Objects.
    virtual void CreatePen(ObjectSlot slot, const PenState& pen) = 0;
    virtual void CreateBrush(ObjectSlot slot, const BrushState& brush) = 0;
    // Painted as one colour, the pattern's first pixel (grey without a usable pattern).
    virtual void CreatePatternBrush(ObjectSlot slot, const std::optional<DibRef>& pattern) = 0;
    virtual void CreateRegion(std::vector<TRect> rects) = 0;
    // Fonts, palettes and other objects that take a slot but draw nothing.
    virtual void CreateOtherObject(ObjectSlot slot) = 0;
    virtual void SelectObject(uint32_t index) = 0;
    virtual void SelectStockObject(uint32_t stock) = 0;
    virtual void DeleteObject(uint32_t index) = 0;

    // Lines and shapes.
    virtual void MoveTo(double x, double y) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void PolylineTo(const LogicalPoints& points) = 0;
    virtual void PolyBezierTo(const LogicalPoints& points) = 0;
    virtual void PolyBezier(const LogicalPoints& points) = 0;
    // Polygons are filled and closed, polylines neither.
    virtual void Polys(const std::vector<LogicalPoints>& figures, bool polygon) = 0;
    virtual void Rectangle(double left, double top, double right, double bottom) = 0;
    virtual void Ellipse(double left, double top, double right, double bottom) = 0;
    virtual void RoundRect(double left, double top, double right, double bottom, double cornerWidth,
                           double cornerHeight) = 0;
    virtual void Arc(double left, double top, double right, double bottom, LogicalPoint start,
                     LogicalPoint end, ArcKind kind) = 0;
    virtual void SetPixel(double x, double y, uint32_t colorRef) = 0;

    // Paths.
    virtual void BeginPath() = 0;
    virtual void EndPath() = 0;
    virtual void AbortPath() = 0;
    virtual void CloseFigure() = 0;
    virtual void DrawPath(bool fill, bool stroke) = 0;

    // Regions: rectangles in logical units, or a region object; with the selected brush
    // unless a brush object is named.
    virtual void FillRects(const std::vector<TRect>& rects, std::optional<uint32_t> brush) = 0;
    virtual void FillRegion(uint32_t region, std::optional<uint32_t> brush) = 0;

    // Block transfers into the logical rectangle (x, y, width, height).
    virtual void PatBlt(double x, double y, double width, double height, uint32_t rop) = 0;
    virtual void StretchDib(double x, double y, double width, double height, const DibRef& dib,
                            const SourceRect& source, uint32_t rop) = 0;
    // The old device-dependent bitmap of Windows block transfers.
    virtual void StretchBitmap16(double x, double y, double width, double height,
                                 const uint8_t* bitmap, size_t size, const SourceRect& source,
                                 uint32_t rop) = 0;
    // Unscaled on its own device: only the destination origin is mapped.
    virtual void SetDibToDevice(double x, double y, const DibRef& dib, const SourceRect& source,
                                const std::optional<ScanBand>& band) = 0;
};

} // namespace tabulonix::metafile
