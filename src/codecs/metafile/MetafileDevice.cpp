#include "codecs/metafile/MetafileDevice.h"

#include "codecs/metafile/EmfHeader.h"
#include "codecs/metafile/MetafileMath.h"
#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <cmath>

namespace tabulonix::metafile {

namespace {
constexpr size_t MaxSavedStates = 1024;
constexpr size_t MaxObjects = 65535;
} // namespace

BrushState LogicalBrush(uint32_t style, uint32_t colorRef, uint32_t hatch)
{
    TColor c = RecordColor(colorRef);
    if (style == BS_NULL)
        return BrushState{bsClear, c};
    if (style == BS_HATCHED)
        return BrushState{hatch <= 5 ? static_cast<TBrushStyle>(bsHorizontal + hatch) : bsSolid, c};
    return BrushState{bsSolid, c};
}

Xform Xform::After(const Xform& first) const
{
    return Xform{first.m11 * m11 + first.m12 * m21,    first.m11 * m12 + first.m12 * m22,
                 first.m21 * m11 + first.m22 * m21,    first.m21 * m12 + first.m22 * m22,
                 first.dx * m11 + first.dy * m21 + dx, first.dx * m12 + first.dy * m22 + dy};
}

bool DeviceMapping::SetEnhanced(const EmfHeader& header)
{
    const ScreenMetrics& screen = screen_;
    devX_ = header.devicePixelsX > 0 ? header.devicePixelsX : screen.widthPixels;
    devY_ = header.devicePixelsY > 0 ? header.devicePixelsY : screen.heightPixels;
    mmX_ = header.deviceMillimetresX > 0 ? header.deviceMillimetresX : screen.widthMillimetres;
    mmY_ = header.deviceMillimetresY > 0 ? header.deviceMillimetresY : screen.heightMillimetres;
    const EmfRect& frame = header.frame;
    // The frame in reference pixels maps onto the area.
    frameX_ = frame.left * devX_ / (mmX_ * 100);
    frameY_ = frame.top * devY_ / (mmY_ * 100);
    double fw = (double(frame.right) - frame.left) * devX_ / (mmX_ * 100),
           fh = (double(frame.bottom) - frame.top) * devY_ / (mmY_ * 100);
    if (std::abs(fw) < 1e-9 || std::abs(fh) < 1e-9) {
        // No usable frame: fall back on the bounds (device pixels, inclusive).
        const EmfRect& bounds = header.bounds;
        frameX_ = bounds.left;
        frameY_ = bounds.top;
        fw = double(bounds.right) - bounds.left + 1;
        fh = double(bounds.bottom) - bounds.top + 1;
        if (fw <= 0 || fh <= 0)
            return false;
    }
    toAreaX_ = (double(area_.right) - area_.left + 1) / fw;
    toAreaY_ = (double(area_.bottom) - area_.top + 1) / fh;
    return true;
}

void DeviceMapping::SetWindows()
{
    windows_ = true;
    spanX_ = double(area_.right) - area_.left + 1;
    spanY_ = double(area_.bottom) - area_.top + 1;
}

void DeviceMapping::Map(const DcState& s, double x, double y, double& ox, double& oy) const
{
    if (windows_) {
        double ex = s.winExtX == 0 ? 1 : s.winExtX, ey = s.winExtY == 0 ? 1 : s.winExtY;
        ox = area_.left + (x - s.winOrgX) * spanX_ / ex;
        oy = area_.top + (y - s.winOrgY) * spanY_ / ey;
        return;
    }
    const Xform& w = s.world;
    double wx = x * w.m11 + y * w.m21 + w.dx, wy = x * w.m12 + y * w.m22 + w.dy;
    double sx = 1, sy = 1;
    PageScale(s, sx, sy);
    double dx = (wx - s.winOrgX) * sx + s.vpOrgX, dy = (wy - s.winOrgY) * sy + s.vpOrgY;
    ox = area_.left + (dx - frameX_) * toAreaX_;
    oy = area_.top + (dy - frameY_) * toAreaY_;
}

void DeviceMapping::PageScale(const DcState& s, double& sx, double& sy) const
{
    double pxPerMmX = devX_ / mmX_, pxPerMmY = devY_ / mmY_;
    switch (s.mapMode) {
    case MM_LOMETRIC:
        sx = 0.1 * pxPerMmX, sy = -0.1 * pxPerMmY;
        break;
    case MM_HIMETRIC:
        sx = 0.01 * pxPerMmX, sy = -0.01 * pxPerMmY;
        break;
    case MM_LOENGLISH:
        sx = 0.254 * pxPerMmX, sy = -0.254 * pxPerMmY;
        break;
    case MM_HIENGLISH:
        sx = 0.0254 * pxPerMmX, sy = -0.0254 * pxPerMmY;
        break;
    case MM_TWIPS:
        sx = 25.4 / 1440 * pxPerMmX, sy = -25.4 / 1440 * pxPerMmY;
        break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC: {
        sx = s.winExtX == 0 ? 1 : s.vpExtX / s.winExtX;
        sy = s.winExtY == 0 ? 1 : s.vpExtY / s.winExtY;
        if (s.mapMode == MM_ISOTROPIC) {
            double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    }
    default:
        sx = sy = 1;
    }
}

TPoint DeviceMapping::Point(const DcState& s, double x, double y) const
{
    double ox, oy;
    Map(s, x, y, ox, oy);
    return TPoint{ToInt(ox), ToInt(oy)};
}

double DeviceMapping::ScaleX(const DcState& s, double v) const
{
    double a, b, c, d;
    Map(s, 0, 0, a, b);
    Map(s, v, 0, c, d);
    return std::hypot(c - a, d - b);
}

double DeviceMapping::ScaleY(const DcState& s, double v) const
{
    double a, b, c, d;
    Map(s, 0, 0, a, b);
    Map(s, 0, v, c, d);
    return std::hypot(c - a, d - b);
}

GdiObject* ObjectTable::Slot(size_t index)
{
    if (index >= limit_)
        return nullptr;
    if (index >= objects_.size())
        objects_.resize(index + 1);
    return &objects_[index];
}

GdiObject* ObjectTable::NextFree()
{
    size_t limit = std::min(limit_, MaxObjects);
    for (; freeHint_ < limit; ++freeHint_) {
        GdiObject* o = Slot(freeHint_);
        if (o && o->kind == GdiObject::None)
            return o;
    }
    return nullptr;
}

void ObjectTable::Delete(size_t index)
{
    if (GdiObject* o = Slot(index)) {
        *o = GdiObject{};
        freeHint_ = std::min(freeHint_, index);
    }
}

void StateStack::Save(const DcState& s)
{
    if (saved_.size() < MaxSavedStates)
        saved_.push_back(s);
}

bool StateStack::Restore(int which, DcState& s)
{
    if (which < 0) {
        size_t back = static_cast<size_t>(-static_cast<int64_t>(which));
        if (back > saved_.size())
            return false;
        s = saved_[saved_.size() - back];
        saved_.resize(saved_.size() - back);
        return true;
    }
    if (which > 0 && static_cast<size_t>(which) <= saved_.size()) {
        s = saved_[static_cast<size_t>(which) - 1];
        saved_.resize(static_cast<size_t>(which) - 1);
        return true;
    }
    return false;
}

} // namespace tabulonix::metafile
