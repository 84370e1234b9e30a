#pragma once
#include "codecs/core/Graphic.h"
#include "platform/Colors.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tabulonix {

class TBitmap;

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;
    TColor Color = clWindowText;
};

// Raster operations of block copies (the Windows ROP codes).
enum TCopyMode : uint32_t {
    cmBlackness = 0x00000042,
    cmNotSrcErase = 0x001100A6,
    cmNotSrcCopy = 0x00330008,
    cmSrcErase = 0x00440328,
    cmDstInvert = 0x00550009,
    cmSrcInvert = 0x00660046,
    cmSrcAnd = 0x008800C6,
    cmMergePaint = 0x00BB0226,
    cmSrcCopy = 0x00CC0020,
    cmSrcPaint = 0x00EE0086,
    cmWhiteness = 0x00FF0062,
};

// How a shrinking copy combines the source pixels that fall on one destination pixel.
enum TStretchMode {
    smBlackOnWhite, // AND of the colours (black wins); the surface's default
    smDeleteScans,  // one source pixel, the rest dropped
    smHalftone,     // the average colour
};

struct TPoint {
    int x = 0, y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Nearest-neighbour scaling: the source pixel that destination pixel `i` of a span of
// `destSpan` takes from a span of `sourceSpan`, the one under its centre.
inline int NearestSourceIndex(int64_t i, int64_t destSpan, int64_t sourceSpan)
{
    return static_cast<int>((2 * i + 1) * sourceSpan / (2 * destSpan));
}

// Drawing on a bitmap. Everything is clipped to the bitmap.
class TCanvas {
  public:
    explicit TCanvas(TBitmap& target);

    TPen Pen;
    TBrush Brush;
    TFont Font;
    TCopyMode CopyMode = cmSrcCopy;
    TStretchMode StretchMode = smBlackOnWhite;

    TBitmap& Target() { return target_; }
    // Bits per pixel of the surface behind the canvas.
    int DeviceBitsPerPixel() const;

    // Paints `graphic` at its own size with its top-left corner at (x, y).
    void DrawAt(int x, int y, TGraphic* graphic);
    // Paints `graphic` into `rect`, scaled. A graphic that can supply just the pixels the
    // draw takes (NearestSampleFor) decodes only those.
    void DrawScaled(const TRect& rect, TGraphic* graphic);
    // The pixels a scaled draw of `graphic` into `rect` takes, as a picture of the rectangle's
    // size, when this canvas draws it one source pixel per destination pixel and the graphic
    // can make them without decoding the rest (TGraphic::NearestSample); nullptr otherwise.
    // Drawing the result into `rect` gives exactly what drawing the graphic gives.
    std::unique_ptr<TBitmap> NearestSampleFor(const TRect& rect, const TGraphic& graphic) const;
    // Outline with the pen centred on the lines x1, y1, x2 - 1, y2 - 1 and the inside
    // filled with the brush (nothing when the brush is bsClear).
    void Rectangle(int x1, int y1, int x2, int y2);
    void FillRect(const TRect& rect); // with the brush
    void CopyArea(const TRect& dest, TCanvas& source, const TRect& sourceRect);

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Stretches the source rectangle of `source` into `dest` (nearest neighbour: destination
    // pixel i of a span of n takes source pixel floor((2i + 1) * m / (2n)) of a span of m,
    // the centre sample), combined with the destination by `rop`. Mirrored rectangles
    // (negative width or height) flip the copy. A plain copy of a picture with an alpha
    // channel onto a surface without one is blended over what the surface holds.
    void StretchBlit(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                     TCopyMode rop);
    // As StretchBlit with cmSrcCopy, leaving destination pixels unchanged wherever the
    // source pixel has the colour `transparent`.
    void StretchBlitTransparent(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                                TColor transparent);

    // Clip rectangle in surface coordinates (the whole surface by default).
    void SetClipRect(const TRect& rect);
    void ResetClip();
    TRect ClipRect() const;

    std::recursive_mutex& Lock() { return lock_; }

  private:
    void FillBand(int x1, int y1, int x2, int y2, TColor rgb); // half-open, clipped
    // The one stretch loop behind both blits: `key`, when set, is a colour left unpainted.
    void Stretch(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TCopyMode rop,
                 std::optional<TColor> key);
    void ShrinkCombining(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                         TCopyMode rop);
    // Whether a plain copy of `source` blends it by its alpha over this (opaque) surface.
    bool BlendsOnto(const TBitmap& source, TCopyMode rop, bool keyed) const;
    TBitmap& target_;
    std::optional<TRect> clip_;
    std::recursive_mutex lock_;
};

} // namespace tabulonix
