#pragma once
#include "codecs/core/Graphic.h"
#include "codecs/surface/Canvas.h"

#include <cstdint>
#include <vector>

namespace tabulonix {

class TBitmap;

// A bitmap as the metafile bitmap records carry it: the information header with its colour
// table, and the pixel rows (bottom-up). Pictures of more than 8 bits per pixel go as plain
// 24-bit rows, those of 8 bits and fewer keep their indices and colour table.
struct PackedDib {
    std::vector<uint8_t> info;
    std::vector<uint8_t> bits;
    int width = 0, height = 0;
};
PackedDib PackDib(TBitmap& bitmap);

// Builds an enhanced metafile record by record. Coordinates are pixels of the reference
// device (the default text mapping mode); the frame is in 0.01 mm.
class EmfRecorder {
  public:
    EmfRecorder(const TRect& frame, int devicePixelsX, int devicePixelsY, int deviceMmX,
                int deviceMmY);

    void SetBkColor(TColor rgb);
    void SetTextColor(TColor rgb);
    void SetStretchMode(int mode);
    // Creates and selects a pen or brush when it differs from the selected one.
    void UsePen(const TPen& pen);
    void UseBrush(const TBrush& brush);
    void StretchDib(const TRect& dest, const PackedDib& dib, uint32_t rop);
    void Rectangle(const TRect& rect);

    // Selects the stock objects back, deletes what was created, adds the end record and
    // puts the header in front.
    std::vector<uint8_t> Finish();

  private:
    void Begin(uint32_t type, uint32_t size);
    void Bounds(const TRect& inclusive);
    std::vector<uint8_t> body_;
    uint32_t records_ = 0;
    TRect frame_;
    int devX_, devY_, mmX_, mmY_;
    bool haveBounds_ = false;
    TRect bounds_;
    bool penMade_ = false, brushMade_ = false;
    TPen pen_;
    TBrush brush_;
    uint32_t penHandle_ = 0, brushHandle_ = 0, nextHandle_ = 1, maxHandle_ = 0;
    bool finished_ = false;
};

} // namespace tabulonix
