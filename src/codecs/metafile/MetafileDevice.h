#pragma once
#include "codecs/metafile/MetafileOps.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tabulonix::metafile {

// The state that saving and restoring the device context keeps.
struct DcState {
    int mapMode = MM_TEXT;
    double winOrgX = 0, winOrgY = 0, winExtX = 1, winExtY = 1;
    double vpOrgX = 0, vpOrgY = 0, vpExtX = 1, vpExtY = 1;
    Xform world;
    PenState pen;
    BrushState brush;
    TColor bkColor = clWhite;
    bool opaque = true; // background mode: hatch gaps take the background colour
    TColor textColor = clBlack;
    bool winding = false;
    std::optional<TRect> clip; // device pixels
    double curX = 0, curY = 0;
};

// Maps logical coordinates onto the playing's area (inclusive right and bottom edges).
// Enhanced metafiles go through the world transform, the mapping mode and the frame in
// reference pixels; Windows metafiles map their window straight onto the area.
class DeviceMapping {
  public:
    DeviceMapping(const TRect& area, const ScreenMetrics& screen) : area_(area), screen_(screen) {}
    // False when neither the frame nor the bounds give an extent.
    bool SetEnhanced(const EmfHeader& header);
    void SetWindows();

    void Map(const DcState& s, double x, double y, double& ox, double& oy) const;
    TPoint Point(const DcState& s, double x, double y) const;
    // The device length of `v` logical units along each axis.
    double ScaleX(const DcState& s, double v) const;
    double ScaleY(const DcState& s, double v) const;

  private:
    void PageScale(const DcState& s, double& sx, double& sy) const;

    TRect area_;
    ScreenMetrics screen_; // the reference device when the header names none
    bool windows_ = false;
    double spanX_ = 1, spanY_ = 1;
    double devX_ = 1, devY_ = 1, mmX_ = 1, mmY_ = 1;
    double frameX_ = 0, frameY_ = 0, toAreaX_ = 1, toAreaY_ = 1;
};

struct GdiObject {
    enum Kind { None, Pen, Brush, Region, Other } kind = None;
    PenState pen;
    BrushState brush;
    std::vector<TRect> rects; // a region, in logical units
};

// The metafile's object table, as large as its header says (at most 65535 entries).
class ObjectTable {
  public:
    void SetLimit(size_t limit) { limit_ = limit; }
    // Null outside the table.
    GdiObject* Slot(size_t index);
    // The lowest free slot, or null when the table is full.
    GdiObject* NextFree();
    GdiObject* At(const ObjectSlot& slot) { return slot ? Slot(*slot) : NextFree(); }
    void Delete(size_t index);

  private:
    std::vector<GdiObject> objects_;
    size_t limit_ = 0;
    // Every slot below the hint is taken, so a file that creates many objects costs no more
    // than one pass over the table.
    size_t freeHint_ = 0;
};

// Saved device states, bounded so that a file cannot grow it without end.
class StateStack {
  public:
    void Save(const DcState& s);
    // Restores by absolute level (positive) or relative to the top (negative); false, and
    // `s` unchanged, when there is no such level.
    bool Restore(int which, DcState& s);

  private:
    std::vector<DcState> saved_;
};

} // namespace tabulonix::metafile
