#include "codecs/metafile/MetafilePlayer.h"

#include "codecs/surface/Bitmap.h"
#include "codecs/core/ByteReader.h"
#include "codecs/surface/CanvasShapes.h"
#include "codecs/metafile/MetafileRecords.h"
#include "codecs/core/PixelBudget.h"
#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace tabulonix {

using namespace metafile;

namespace {

std::atomic<int64_t> workBudget{200'000'000};

struct ShortRecord {};
struct OutOfWork {};

constexpr size_t MaxSavedStates = 1024;
// Device coordinates are kept within this, so that differences of two still fit an int.
constexpr double Huge = 4e8;

int Clamped(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, -int64_t(Huge), int64_t(Huge)));
}

int ToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::lround(std::clamp(v, -Huge, Huge)));
}

struct PenState {
    int style = 0;    // PS_SOLID .. PS_INSIDEFRAME; 5 draws nothing
    double width = 0; // logical units; 0 is one pixel
    bool cosmetic = true;
    TColor color = clBlack;
};

struct BrushState {
    TBrushStyle style = bsSolid;
    TColor color = clWhite;
};

struct GdiObject {
    enum Kind { None, Pen, Brush, Region, Other } kind = None;
    PenState pen;
    BrushState brush;
    std::vector<TRect> rects; // a region, in logical units
};

struct Xform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    // this applied after `first`
    Xform After(const Xform& first) const
    {
        return Xform{first.m11 * m11 + first.m12 * m21,    first.m11 * m12 + first.m12 * m22,
                     first.m21 * m11 + first.m22 * m21,    first.m21 * m12 + first.m22 * m22,
                     first.dx * m11 + first.dy * m21 + dx, first.dx * m12 + first.dy * m22 + dy};
    }
};

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

struct Figure {
    std::vector<TPoint> points;
    bool closed = false;
};

// Builds a BMP file around a packed bitmap so that the one BMP reader decodes it.
bool DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
               TBitmap& out)
{
    if (infoSize < 12)
        return false;
    uint32_t headerSize = GetU32LE(info);
    if (headerSize < 12 || headerSize > infoSize)
        return false;
    // Only the header, masks and colour table go in front of the pixels; the records may
    // pad the information block.
    size_t expected = headerSize;
    if (headerSize == 12) {
        int bpp = GetU16LE(info + 10);
        if (bpp <= 8)
            expected += 3u * (1u << bpp);
    } else if (headerSize >= 40) {
        int bpp = GetU16LE(info + 14);
        uint32_t compression = GetU32LE(info + 16), used = GetU32LE(info + 32);
        if (headerSize == 40 && compression == 3 && (bpp == 16 || bpp == 32))
            expected += 12;
        size_t colors = used ? std::min<uint32_t>(used, 256) : (bpp <= 8 ? (1u << bpp) : 0);
        expected += 4 * colors;
    }
    if (!bits) {
        // A packed bitmap: the pixels follow the colour table directly.
        if (expected > infoSize)
            return false;
        bits = info + expected;
        bitsSize = infoSize - expected;
    }
    infoSize = std::min(infoSize, expected);
    // A record carries all rows of its bitmap: a declared size far beyond the bytes there
    // would only make the reader allocate a picture of nothing.
    {
        bool core = headerSize == 12;
        int64_t width = core ? GetU16LE(info + 4) : int32_t(GetU32LE(info + 4));
        int64_t height = core ? int16_t(GetU16LE(info + 6)) : int32_t(GetU32LE(info + 8));
        int bpp = core ? GetU16LE(info + 10) : GetU16LE(info + 14);
        uint32_t compression = core || headerSize < 20 ? 0 : GetU32LE(info + 16);
        height = std::abs(height);
        if (width <= 0 || height == 0 || bpp <= 0 || bpp > 32)
            return false;
        if (compression == 0 || compression == 3) {
            if (static_cast<int64_t>(
                    RowBytes(static_cast<int>(std::min<int64_t>(width, 1 << 28)), bpp)) *
                    height >
                static_cast<int64_t>(bitsSize))
                return false;
        } else if (width * height > 4096 * static_cast<int64_t>(bitsSize) + (1 << 20)) {
            return false;
        }
    }
    std::vector<uint8_t> file;
    file.reserve(14 + infoSize + bitsSize);
    ByteWriter w(file);
    w.U8('B');
    w.U8('M');
    w.U32LE(static_cast<uint32_t>(14 + infoSize + bitsSize));
    w.U32LE(0);
    w.U32LE(static_cast<uint32_t>(14 + infoSize));
    w.Bytes(info, infoSize);
    w.Bytes(bits, bitsSize);
    try {
        TMemoryStream stream(std::move(file));
        out.ReadStream(stream);
    } catch (const Exception&) {
        return false;
    }
    return !out.IsEmpty();
}

// The old device-dependent bitmap of block transfers: one plane of 1, 16 (5-5-5), 24 or 32
// bits per pixel (palette depths have no colours to go by and are skipped), rows top-down padded to
// 16 bits. Monochrome pixels take the text colour (0) and the background colour (1), as they do
// when copied onto a colour surface.
bool DecodeBitmap16(const uint8_t* data, size_t size, TColor text, TColor background, TBitmap& out)
{
    if (size < 10)
        return false;
    int width = int16_t(GetU16LE(data + 2)), height = int16_t(GetU16LE(data + 4));
    int widthBytes = int16_t(GetU16LE(data + 6)), planes = data[8], bits = data[9];
    if (width <= 0 || height <= 0 || planes != 1 ||
        (bits != 1 && bits != 16 && bits != 24 && bits != 32))
        return false;
    if (widthBytes < (int64_t(width) * bits + 7) / 8 ||
        int64_t(widthBytes) * height > int64_t(size) - 10)
        return false;
    try {
        CheckPixelBudget(width, height, "Metafile is not valid");
    } catch (const Exception&) {
        return false;
    }
    out.NewImage(width, height, pf32bit);
    const uint8_t* p = data + 10;
    for (int y = 0; y < height; ++y, p += widthBytes)
        for (int x = 0; x < width; ++x) {
            TColor c;
            if (bits == 1) {
                c = (p[x / 8] >> (7 - x % 8)) & 1 ? background : text;
            } else if (bits == 16) {
                int v = GetU16LE(p + 2 * x);
                auto five = [](int f) { return static_cast<uint8_t>((f << 3) | (f >> 2)); };
                c = RGBColor(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
            } else {
                const uint8_t* q = p + x * (bits / 8);
                c = RGBColor(q[2], q[1], q[0]);
            }
            out.SetPixel(x, y, c);
        }
    return true;
}

class Player {
  public:
    Player(TCanvas& canvas, const TRect& area)
        : canvas_(canvas), area_(area), budget_(workBudget.load())
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
    ~Player()
    {
        canvas_.Pen = savedPen_;
        canvas_.Brush = savedBrush_;
        if (clipWasWhole_)
            canvas_.ResetClip();
        else
            canvas_.SetClipRect(savedClip_);
    }

    void PlayEmf(const uint8_t* data, size_t size);
    void PlayWmf(const uint8_t* data, size_t size, const TRect& box);

  private:
    // Coordinates -----------------------------------------------------------------------
    void Map(double x, double y, double& ox, double& oy) const
    {
        if (wmf_) {
            double ex = s_.winExtX == 0 ? 1 : s_.winExtX, ey = s_.winExtY == 0 ? 1 : s_.winExtY;
            ox = area_.left + (x - s_.winOrgX) * spanX_ / ex;
            oy = area_.top + (y - s_.winOrgY) * spanY_ / ey;
            return;
        }
        const Xform& w = s_.world;
        double wx = x * w.m11 + y * w.m21 + w.dx, wy = x * w.m12 + y * w.m22 + w.dy;
        double sx = 1, sy = 1;
        PageScale(sx, sy);
        double dx = (wx - s_.winOrgX) * sx + s_.vpOrgX, dy = (wy - s_.winOrgY) * sy + s_.vpOrgY;
        ox = area_.left + (dx - frameX_) * toAreaX_;
        oy = area_.top + (dy - frameY_) * toAreaY_;
    }
    void PageScale(double& sx, double& sy) const
    {
        double pxPerMmX = devX_ / mmX_, pxPerMmY = devY_ / mmY_;
        switch (s_.mapMode) {
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
            sx = s_.winExtX == 0 ? 1 : s_.vpExtX / s_.winExtX;
            sy = s_.winExtY == 0 ? 1 : s_.vpExtY / s_.winExtY;
            if (s_.mapMode == MM_ISOTROPIC) {
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
    TPoint Point(double x, double y) const
    {
        double ox, oy;
        Map(x, y, ox, oy);
        return TPoint{ToInt(ox), ToInt(oy)};
    }
    double ScaleX(double v) const
    {
        double a, b, c, d;
        Map(0, 0, a, b);
        Map(v, 0, c, d);
        return std::hypot(c - a, d - b);
    }
    double ScaleY(double v) const
    {
        double a, b, c, d;
        Map(0, 0, a, b);
        Map(0, v, c, d);
        return std::hypot(c - a, d - b);
    }

    // State -----------------------------------------------------------------------------
    void Charge(int64_t units)
    {
        budget_ -= std::max<int64_t>(units, 1);
        if (budget_ < 0)
            throw OutOfWork{};
    }
    void ApplyClip()
    {
        TRect r = outer_;
        if (s_.clip) {
            r.left = std::max(r.left, s_.clip->left);
            r.top = std::max(r.top, s_.clip->top);
            r.right = std::min(r.right, s_.clip->right);
            r.bottom = std::min(r.bottom, s_.clip->bottom);
        }
        if (r.right < r.left)
            r.right = r.left;
        if (r.bottom < r.top)
            r.bottom = r.top;
        canvas_.SetClipRect(r);
    }
    void IntersectClip(double l, double t, double r, double b)
    {
        TPoint p = Point(l, t), q = Point(r, b);
        TRect c{std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)};
        if (s_.clip)
            c = TRect{std::max(c.left, s_.clip->left), std::max(c.top, s_.clip->top),
                      std::min(c.right, s_.clip->right), std::min(c.bottom, s_.clip->bottom)};
        s_.clip = c;
        ApplyClip();
    }
    void Save()
    {
        if (saved_.size() < MaxSavedStates)
            saved_.push_back(s_);
    }
    void Restore(int n)
    {
        if (n < 0) {
            size_t back = static_cast<size_t>(-static_cast<int64_t>(n));
            if (back > saved_.size())
                return;
            s_ = saved_[saved_.size() - back];
            saved_.resize(saved_.size() - back);
        } else if (n > 0 && static_cast<size_t>(n) <= saved_.size()) {
            s_ = saved_[static_cast<size_t>(n) - 1];
            saved_.resize(static_cast<size_t>(n) - 1);
        } else {
            return;
        }
        ApplyClip();
    }
    GdiObject* Slot(size_t index)
    {
        if (index >= objectLimit_)
            return nullptr;
        if (index >= objects_.size())
            objects_.resize(index + 1);
        return &objects_[index];
    }
    void Select(const GdiObject& o)
    {
        if (o.kind == GdiObject::Pen)
            s_.pen = o.pen;
        else if (o.kind == GdiObject::Brush)
            s_.brush = o.brush;
    }
    void SelectStock(uint32_t n)
    {
        static const TColor brushes[] = {clWhite, RGBColor(192, 192, 192), RGBColor(128, 128, 128),
                                         RGBColor(64, 64, 64), clBlack};
        if (n <= 4)
            s_.brush = BrushState{bsSolid, brushes[n]};
        else if (n == 5)
            s_.brush = BrushState{bsClear, clBlack};
        else if (n == 6 || n == 7)
            s_.pen = PenState{0, 0, true, n == 6 ? clWhite : clBlack};
        else if (n == 8)
            s_.pen = PenState{5, 0, true, clBlack};
    }
    static BrushState MakeBrush(uint32_t style, uint32_t color, uint32_t hatch)
    {
        TColor c = static_cast<TColor>(color & 0xFFFFFF);
        if (style == 1)
            return BrushState{bsClear, c};
        if (style == 2)
            return BrushState{hatch <= 5 ? static_cast<TBrushStyle>(bsHorizontal + hatch) : bsSolid,
                              c};
        return BrushState{bsSolid, c};
    }

    // Drawing ---------------------------------------------------------------------------
    int PenPixels() const
    {
        if (s_.pen.cosmetic || s_.pen.width <= 1e-9)
            return 1;
        // Wider than the whole area draws the same as as wide as it.
        TRect c = canvas_.ClipRect();
        double limit = 2.0 * std::max(c.Width(), c.Height()) + 2;
        double w = ScaleX(s_.pen.width);
        return std::max(1, ToInt(std::min({w, 4096.0, limit})));
    }
    void PrepareCanvas(bool fill)
    {
        canvas_.Pen.Color = s_.pen.color;
        // Styled pens are dashed only when one pixel wide, as on the usual platform.
        int style = s_.pen.style;
        canvas_.Pen.Style = style == 5                 ? psClear
                            : style >= 1 && style <= 4 ? static_cast<TPenStyle>(style)
                                                       : psSolid;
        canvas_.Pen.Width = PenPixels();
        canvas_.Brush.Color = s_.brush.color;
        canvas_.Brush.Style = fill ? s_.brush.style : bsClear;
    }
    int64_t OutlineCost(size_t points) const
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
    void Fill(const std::vector<std::vector<TPoint>>& polys)
    {
        if (canvas_.Brush.Style >= bsHorizontal && s_.opaque) {
            TBrush hatch = canvas_.Brush;
            canvas_.Brush = TBrush{s_.bkColor, bsSolid};
            FillPolygons(canvas_, polys, s_.winding);
            canvas_.Brush = hatch;
        }
        FillPolygons(canvas_, polys, s_.winding);
    }
    void Outline(const std::vector<TPoint>& p, bool closed)
    {
        TBrush keep = canvas_.Brush;
        canvas_.Brush.Style = bsClear;
        if (closed)
            Polygon(canvas_, p);
        else
            Polyline(canvas_, p);
        canvas_.Brush = keep;
    }
    void DrawPolys(std::vector<std::vector<TPoint>> polys, bool closed, bool fill)
    {
        if (inPath_) {
            for (auto& p : polys)
                path_.push_back(Figure{std::move(p), closed});
            return;
        }
        PrepareCanvas(fill);
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
    void InsideFrame(int& x1, int& y1, int& x2, int& y2) const
    {
        if (s_.pen.style != 6 || canvas_.Pen.Width <= 1)
            return;
        int h = canvas_.Pen.Width / 2;
        x1 = std::min(x1 + h, (x1 + x2) / 2);
        y1 = std::min(y1 + h, (y1 + y2) / 2);
        x2 = std::max(x2 - h, x1);
        y2 = std::max(y2 - h, y1);
    }
    void DrawRect(double l, double t, double r, double b)
    {
        TPoint p = Point(l, t), q = Point(r, b);
        if (inPath_) {
            path_.push_back(Figure{{p, TPoint{q.x, p.y}, q, TPoint{p.x, q.y}}, true});
            return;
        }
        PrepareCanvas(true);
        int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
            y2 = std::max(p.y, q.y);
        InsideFrame(x1, y1, x2, y2);
        Charge(int64_t(std::min(x2 - x1, outer_.Width() + 2)) *
                   std::min(y2 - y1, outer_.Height() + 2) +
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
    void DrawEllipse(double l, double t, double r, double b)
    {
        TPoint p = Point(l, t), q = Point(r, b);
        int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
            y2 = std::max(p.y, q.y);
        if (inPath_) {
            path_.push_back(Figure{EllipsePoints((x1 + double(x2)) / 2, (y1 + double(y2)) / 2,
                                                 (x2 - double(x1)) / 2, (y2 - double(y1)) / 2),
                                   true});
            return;
        }
        PrepareCanvas(true);
        Charge(FillCost(canvas_, {{p, q}}) * 1024 / 16 + OutlineCost(1024));
        InsideFrame(x1, y1, x2, y2);
        Ellipse(canvas_, x1, y1, x2, y2);
    }
    void DrawRoundRect(double l, double t, double r, double b, double cw, double ch)
    {
        TPoint p = Point(l, t), q = Point(r, b);
        int x1 = std::min(p.x, q.x), x2 = std::max(p.x, q.x), y1 = std::min(p.y, q.y),
            y2 = std::max(p.y, q.y);
        int w = ToInt(std::min(ScaleX(cw), 4e8)), h = ToInt(std::min(ScaleY(ch), 4e8));
        if (inPath_) {
            path_.push_back(
                Figure{{TPoint{x1, y1}, TPoint{x2, y1}, TPoint{x2, y2}, TPoint{x1, y2}}, true});
            return;
        }
        PrepareCanvas(true);
        Charge(FillCost(canvas_, {{p, q}}) * 40 + OutlineCost(40));
        InsideFrame(x1, y1, x2, y2);
        RoundRect(canvas_, x1, y1, x2, y2, w, h);
    }
    // Arcs run counter-clockwise from the start to the end radial; a pie closes through the
    // centre, a chord straight between the ends.
    enum ArcKind { ArcOnly, ChordShape, PieShape };
    void DrawArc(double l, double t, double r, double b, double xs, double ys, double xe, double ye,
                 ArcKind kind)
    {
        double x1, y1, x2, y2, sx, sy, ex, ey;
        Map(l, t, x1, y1);
        Map(r, b, x2, y2);
        Map(xs, ys, sx, sy);
        Map(xe, ye, ex, ey);
        double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = std::abs(x2 - x1) / 2,
               ry = std::abs(y2 - y1) / 2;
        if (!std::isfinite(cx + cy + rx + ry + sx + sy + ex + ey) || rx < 1e-9 || ry < 1e-9)
            return;
        constexpr double TwoPi = 6.283185307179586;
        // Screen y grows downwards, so counter-clockwise on screen is a growing angle of -y.
        double a0 = std::atan2(-(sy - cy) / ry, (sx - cx) / rx),
               a1 = std::atan2(-(ey - cy) / ry, (ex - cx) / rx);
        double sweep = a1 - a0;
        while (sweep <= 0)
            sweep += TwoPi;
        // Flipped mappings turn the direction round.
        if ((x2 < x1) != (y2 < y1))
            sweep -= TwoPi;
        double perimeter = (rx + ry) * std::abs(sweep);
        int n = static_cast<int>(std::clamp(perimeter / 2, 4.0, 1024.0));
        std::vector<TPoint> pts;
        if (kind == PieShape)
            pts.push_back(TPoint{ToInt(cx), ToInt(cy)});
        for (int i = 0; i <= n; ++i) {
            double a = a0 + sweep * i / n;
            pts.push_back(TPoint{ToInt(cx + rx * std::cos(a)), ToInt(cy - ry * std::sin(a))});
        }
        if (kind == ArcOnly)
            DrawPolys({pts}, false, false);
        else
            DrawPolys({pts}, true, true);
    }
    void LineTo(double x, double y)
    {
        TPoint a = Point(s_.curX, s_.curY), b = Point(x, y);
        s_.curX = x;
        s_.curY = y;
        if (inPath_) {
            if (path_.empty() || path_.back().closed)
                path_.push_back(Figure{{a}, false});
            path_.back().points.push_back(b);
            return;
        }
        PrepareCanvas(false);
        Charge(OutlineCost(2));
        LineSegment(canvas_, a, b);
    }
    void MoveTo(double x, double y)
    {
        s_.curX = x;
        s_.curY = y;
        if (inPath_)
            path_.push_back(Figure{{Point(x, y)}, false});
    }
    std::vector<TPoint> Bezier(const std::vector<std::pair<double, double>>& pts)
    {
        // pts[0] is the start; then groups of three (two controls and an end).
        std::vector<TPoint> out;
        if (pts.empty())
            return out;
        double sx, sy;
        Map(pts[0].first, pts[0].second, sx, sy);
        out.push_back(TPoint{ToInt(sx), ToInt(sy)});
        for (size_t i = 1; i + 2 < pts.size(); i += 3) {
            double x1, y1, x2, y2, x3, y3;
            Map(pts[i].first, pts[i].second, x1, y1);
            Map(pts[i + 1].first, pts[i + 1].second, x2, y2);
            Map(pts[i + 2].first, pts[i + 2].second, x3, y3);
            for (int k = 1; k <= 16; ++k) {
                double t = k / 16.0, u = 1 - t;
                double x =
                    u * u * u * sx + 3 * u * u * t * x1 + 3 * u * t * t * x2 + t * t * t * x3;
                double y =
                    u * u * u * sy + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t * t * t * y3;
                out.push_back(TPoint{ToInt(x), ToInt(y)});
            }
            sx = x3;
            sy = y3;
        }
        return out;
    }
    void PolyTo(const std::vector<std::pair<double, double>>& pts, bool bezier)
    {
        std::vector<std::pair<double, double>> all;
        all.reserve(pts.size() + 1);
        all.emplace_back(s_.curX, s_.curY);
        all.insert(all.end(), pts.begin(), pts.end());
        std::vector<TPoint> dev;
        if (bezier)
            dev = Bezier(all);
        else
            for (const auto& p : all)
                dev.push_back(Point(p.first, p.second));
        if (!pts.empty()) {
            s_.curX = pts.back().first;
            s_.curY = pts.back().second;
        }
        if (inPath_) {
            if (path_.empty() || path_.back().closed)
                path_.push_back(Figure{{dev.front()}, false});
            path_.back().points.insert(path_.back().points.end(), dev.begin() + 1, dev.end());
            return;
        }
        DrawPolys({dev}, false, false);
    }
    void PathDraw(bool fill, bool stroke)
    {
        inPath_ = false;
        std::vector<std::vector<TPoint>> polys;
        for (auto& f : path_)
            if (!f.points.empty())
                polys.push_back(f.points);
        if (fill && !polys.empty()) {
            PrepareCanvas(true);
            canvas_.Pen.Style = psClear;
            Charge(FillCost(canvas_, polys));
            Fill(polys);
        }
        if (stroke) {
            PrepareCanvas(false);
            size_t points = 0;
            for (const auto& f : path_)
                points += f.points.size();
            Charge(OutlineCost(points));
            for (const auto& f : path_)
                Outline(f.points, f.closed || fill);
        }
        path_.clear();
    }
    void FillRects(const std::vector<TRect>& rects, const BrushState& brush)
    {
        if (inPath_)
            return;
        BrushState keep = s_.brush;
        s_.brush = brush;
        PrepareCanvas(true);
        s_.brush = keep;
        for (const TRect& r : rects) {
            TPoint p = Point(r.left, r.top), q = Point(r.right, r.bottom);
            std::vector<TPoint> quad{p, TPoint{q.x, p.y}, q, TPoint{p.x, q.y}};
            Charge(FillCost(canvas_, {quad}));
            FillPolygons(canvas_, {quad}, false);
        }
    }
    void Blit(double x, double y, double w, double h, const TBitmap* source, const TRect& src,
              uint32_t rop)
    {
        if (inPath_)
            return;
        TPoint p = Point(x, y), q = Point(x + w, y + h);
        TRect dest{p.x, p.y, q.x, q.y};
        int64_t area = int64_t(std::min(std::abs(dest.Width()), outer_.Width() + 1)) *
                       std::min(std::abs(dest.Height()), outer_.Height() + 1);
        Charge(area);
        if (source) {
            TCopyMode mode = static_cast<TCopyMode>(rop);
            canvas_.StretchBlit(dest, *source, src, mode);
            return;
        }
        // A block transfer without a source paints with the brush.
        TRect r{std::min(dest.left, dest.right), std::min(dest.top, dest.bottom),
                std::max(dest.left, dest.right), std::max(dest.top, dest.bottom)};
        if (rop == BLACKNESS || rop == WHITENESS) {
            canvas_.Brush.Style = bsSolid;
            canvas_.Brush.Color = rop == BLACKNESS ? clBlack : clWhite;
        } else {
            PrepareCanvas(true);
        }
        if (rop == DSTINVERT || rop == PATINVERT) {
            TRect c = canvas_.ClipRect();
            TColor pat = rop == PATINVERT ? ColorToRGB(s_.brush.color) : 0xFFFFFF;
            for (int yy = std::max(r.top, c.top); yy < std::min(r.bottom, c.bottom); ++yy)
                for (int xx = std::max(r.left, c.left); xx < std::min(r.right, c.right); ++xx)
                    canvas_.SetPixel(xx, yy, (canvas_.Pixel(xx, yy) ^ pat) & 0xFFFFFF);
            return;
        }
        canvas_.FillRect(r);
    }
    void SetPixelAt(double x, double y, uint32_t color)
    {
        if (inPath_)
            return;
        TPoint p = Point(x, y);
        Charge(1);
        canvas_.SetPixel(p.x, p.y, static_cast<TColor>(color & 0xFFFFFF));
    }

    void EmfRecord(uint32_t type, ByteReader& r, const uint8_t* rec, size_t size);
    void WmfRecord(uint16_t function, ByteReader& r, const uint8_t* rec, size_t size);
    std::vector<std::pair<double, double>> EmfPoints(ByteReader& r, uint32_t count, bool small)
    {
        if (count > r.Remaining() / (small ? 4 : 8))
            throw ShortRecord{};
        std::vector<std::pair<double, double>> pts;
        pts.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            double x = small ? r.S16LE() : r.S32LE();
            double y = small ? r.S16LE() : r.S32LE();
            pts.emplace_back(x, y);
        }
        return pts;
    }
    std::vector<TPoint> Mapped(const std::vector<std::pair<double, double>>& pts) const
    {
        std::vector<TPoint> out;
        out.reserve(pts.size());
        for (const auto& p : pts)
            out.push_back(Point(p.first, p.second));
        return out;
    }

    TCanvas& canvas_;
    TRect area_;  // inclusive
    TRect outer_; // half-open clip of the whole playing
    int64_t budget_;
    TPen savedPen_;
    TBrush savedBrush_;
    TRect savedClip_;
    bool clipWasWhole_ = true;

    bool wmf_ = false;
    double spanX_ = 1, spanY_ = 1;
    double devX_ = 1, devY_ = 1, mmX_ = 1, mmY_ = 1;
    double frameX_ = 0, frameY_ = 0, toAreaX_ = 1, toAreaY_ = 1;
    DcState s_;
    std::vector<DcState> saved_;
    std::vector<GdiObject> objects_;
    size_t objectLimit_ = 0;
    size_t freeHint_ = 0;
    bool inPath_ = false;
    std::vector<Figure> path_;
};

void Player::PlayEmf(const uint8_t* data, size_t size)
{
    if (size < 88)
        return;
    int32_t frameL = static_cast<int32_t>(GetU32LE(data + 24)),
            frameT = static_cast<int32_t>(GetU32LE(data + 28));
    int32_t frameR = static_cast<int32_t>(GetU32LE(data + 32)),
            frameB = static_cast<int32_t>(GetU32LE(data + 36));
    int32_t devX = static_cast<int32_t>(GetU32LE(data + 72)),
            devY = static_cast<int32_t>(GetU32LE(data + 76));
    int32_t mmX = static_cast<int32_t>(GetU32LE(data + 80)),
            mmY = static_cast<int32_t>(GetU32LE(data + 84));
    const ScreenMetrics& screen = Screen();
    devX_ = devX > 0 ? devX : screen.widthPixels;
    devY_ = devY > 0 ? devY : screen.heightPixels;
    mmX_ = mmX > 0 ? mmX : screen.widthMillimetres;
    mmY_ = mmY > 0 ? mmY : screen.heightMillimetres;
    objectLimit_ = GetU16LE(data + 56);
    // The frame in reference pixels maps onto the area.
    frameX_ = frameL * devX_ / (mmX_ * 100);
    frameY_ = frameT * devY_ / (mmY_ * 100);
    double fw = (double(frameR) - frameL) * devX_ / (mmX_ * 100),
           fh = (double(frameB) - frameT) * devY_ / (mmY_ * 100);
    if (std::abs(fw) < 1e-9 || std::abs(fh) < 1e-9) {
        // No usable frame: fall back on the bounds (device pixels, inclusive).
        int32_t bl = static_cast<int32_t>(GetU32LE(data + 8)),
                bt = static_cast<int32_t>(GetU32LE(data + 12));
        int32_t br = static_cast<int32_t>(GetU32LE(data + 16)),
                bb = static_cast<int32_t>(GetU32LE(data + 20));
        frameX_ = bl;
        frameY_ = bt;
        fw = double(br) - bl + 1;
        fh = double(bb) - bt + 1;
        if (fw <= 0 || fh <= 0)
            return;
    }
    toAreaX_ = (double(area_.right) - area_.left + 1) / fw;
    toAreaY_ = (double(area_.bottom) - area_.top + 1) / fh;
    ApplyClip();

    size_t pos = 0;
    try {
        while (pos + 8 <= size) {
            uint32_t type = GetU32LE(data + pos), recSize = GetU32LE(data + pos + 4);
            if (recSize < 8 || recSize > size - pos)
                break;
            if (pos == 0 && type != EMR_HEADER)
                break;
            Charge(1);
            ByteReader r(data + pos, recSize, [] { throw ShortRecord{}; });
            r.Skip(8);
            if (type == EMR_EOF)
                break;
            try {
                EmfRecord(type, r, data + pos, recSize);
            } catch (const ShortRecord&) {
                // a malformed record is skipped
            }
            pos += recSize;
        }
    } catch (const OutOfWork&) {
    }
}

void Player::EmfRecord(uint32_t type, ByteReader& r, const uint8_t* rec, size_t size)
{
    switch (type) {
    case EMR_SETMAPMODE: {
        uint32_t m = r.U32LE();
        if (m >= MM_TEXT && m <= MM_ANISOTROPIC)
            s_.mapMode = static_cast<int>(m);
        break;
    }
    case EMR_SETWINDOWEXTEX:
        s_.winExtX = r.S32LE(), s_.winExtY = r.S32LE();
        break;
    case EMR_SETWINDOWORGEX:
        s_.winOrgX = r.S32LE(), s_.winOrgY = r.S32LE();
        break;
    case EMR_SETVIEWPORTEXTEX:
        s_.vpExtX = r.S32LE(), s_.vpExtY = r.S32LE();
        break;
    case EMR_SETVIEWPORTORGEX:
        s_.vpOrgX = r.S32LE(), s_.vpOrgY = r.S32LE();
        break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        int32_t xn = r.S32LE(), xd = r.S32LE(), yn = r.S32LE(), yd = r.S32LE();
        if (xd == 0 || yd == 0)
            break;
        double& ex = type == EMR_SCALEWINDOWEXTEX ? s_.winExtX : s_.vpExtX;
        double& ey = type == EMR_SCALEWINDOWEXTEX ? s_.winExtY : s_.vpExtY;
        ex = ex * xn / xd;
        ey = ey * yn / yd;
        break;
    }
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: {
        float f[6];
        for (float& v : f) {
            uint32_t bits = r.U32LE();
            std::memcpy(&v, &bits, 4);
            if (!std::isfinite(v) || std::abs(v) > 1e7f)
                return;
        }
        Xform x{f[0], f[1], f[2], f[3], f[4], f[5]};
        uint32_t mode = type == EMR_SETWORLDTRANSFORM ? 4 : r.U32LE();
        if (mode == 1)
            s_.world = Xform{};
        else if (mode == 2)
            s_.world = s_.world.After(x); // x first, then the current one
        else if (mode == 3)
            s_.world = x.After(s_.world);
        else if (mode == 4)
            s_.world = x;
        break;
    }
    case EMR_SAVEDC:
        Save();
        break;
    case EMR_RESTOREDC:
        Restore(r.S32LE());
        break;
    case EMR_SETBKCOLOR:
        s_.bkColor = static_cast<TColor>(r.U32LE() & 0xFFFFFF);
        break;
    case EMR_SETTEXTCOLOR:
        s_.textColor = static_cast<TColor>(r.U32LE() & 0xFFFFFF);
        break;
    case EMR_SETBKMODE:
        s_.opaque = r.U32LE() != 1;
        break;
    case EMR_SETPOLYFILLMODE:
        s_.winding = r.U32LE() == 2;
        break;
    case EMR_CREATEPEN: {
        uint32_t ih = r.U32LE(), style = r.U32LE();
        int32_t width = r.S32LE();
        r.Skip(4);
        uint32_t color = r.U32LE();
        if (GdiObject* o = Slot(ih)) {
            o->kind = GdiObject::Pen;
            o->pen = PenState{static_cast<int>(style & 0xF), std::abs(double(width)), width <= 1,
                              static_cast<TColor>(color & 0xFFFFFF)};
        }
        break;
    }
    case EMR_EXTCREATEPEN: {
        uint32_t ih = r.U32LE();
        r.Skip(16);
        uint32_t style = r.U32LE(), width = r.U32LE(), brushStyle = r.U32LE(), color = r.U32LE();
        if (GdiObject* o = Slot(ih)) {
            o->kind = GdiObject::Pen;
            bool geometric = (style & 0x00010000) != 0;
            o->pen = PenState{brushStyle == 1 ? 5 : static_cast<int>(style & 0xF), double(width),
                              !geometric, static_cast<TColor>(color & 0xFFFFFF)};
        }
        break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
        uint32_t ih = r.U32LE(), style = r.U32LE(), color = r.U32LE(), hatch = r.U32LE();
        if (GdiObject* o = Slot(ih)) {
            o->kind = GdiObject::Brush;
            o->brush = MakeBrush(style, color, hatch);
        }
        break;
    }
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_CREATEMONOBRUSH: {
        // Patterns are painted as one solid colour: their first pixel.
        uint32_t ih = r.U32LE();
        r.Skip(4);
        uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
        GdiObject* o = Slot(ih);
        if (!o)
            break;
        o->kind = GdiObject::Brush;
        o->brush = BrushState{bsSolid, RGBColor(128, 128, 128)};
        if (offBmi <= size && cbBmi <= size - offBmi && offBits <= size &&
            cbBits <= size - offBits) {
            TBitmap pattern;
            Charge(cbBits);
            if (DecodeDib(rec + offBmi, cbBmi, rec + offBits, cbBits, pattern))
                o->brush.color = pattern.Pixel(0, 0);
        }
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW:
    case EMR_CREATEPALETTE:
        if (GdiObject* o = Slot(r.U32LE()))
            o->kind = GdiObject::Other;
        break;
    case EMR_SELECTOBJECT: {
        uint32_t ih = r.U32LE();
        if (ih & StockObject)
            SelectStock(ih & 0x7FFFFFFF);
        else if (GdiObject* o = Slot(ih))
            Select(*o);
        break;
    }
    case EMR_DELETEOBJECT:
        if (GdiObject* o = Slot(r.U32LE()))
            *o = GdiObject{};
        break;
    case EMR_INTERSECTCLIPRECT: {
        int32_t l = r.S32LE(), t = r.S32LE(), rr = r.S32LE(), b = r.S32LE();
        IntersectClip(l, t, rr, b);
        break;
    }
    case 75: { // EMR_EXTSELECTCLIPRGN: only "copy nothing" (reset) is understood
        uint32_t cb = r.U32LE(), mode = r.U32LE();
        if (mode == 5 && cb == 0) {
            s_.clip.reset();
            ApplyClip();
        }
        break;
    }
    case EMR_MOVETOEX: {
        double x = r.S32LE(), y = r.S32LE();
        MoveTo(x, y);
        break;
    }
    case EMR_LINETO: {
        double x = r.S32LE(), y = r.S32LE();
        LineTo(x, y);
        break;
    }
    case EMR_POLYLINE:
    case EMR_POLYGON:
    case EMR_POLYBEZIER:
    case EMR_POLYLINE16:
    case EMR_POLYGON16:
    case EMR_POLYBEZIER16:
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16: {
        r.Skip(16);
        bool small = type >= EMR_POLYBEZIER16;
        auto pts = EmfPoints(r, r.U32LE(), small);
        if (pts.empty())
            break;
        if (type == EMR_POLYLINETO || type == EMR_POLYLINETO16)
            PolyTo(pts, false);
        else if (type == EMR_POLYBEZIERTO || type == EMR_POLYBEZIERTO16)
            PolyTo(pts, true);
        else if (type == EMR_POLYBEZIER || type == EMR_POLYBEZIER16)
            DrawPolys({Bezier(pts)}, false, false);
        else if (type == EMR_POLYGON || type == EMR_POLYGON16)
            DrawPolys({Mapped(pts)}, true, true);
        else
            DrawPolys({Mapped(pts)}, false, false);
        break;
    }
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16: {
        r.Skip(16);
        bool small = type >= EMR_POLYBEZIER16;
        uint32_t polys = r.U32LE(), total = r.U32LE();
        if (polys > r.Remaining() / 4)
            throw ShortRecord{};
        std::vector<uint32_t> counts(polys);
        uint64_t sum = 0;
        for (auto& c : counts) {
            c = r.U32LE();
            sum += c;
        }
        if (sum > total)
            throw ShortRecord{};
        auto pts = EmfPoints(r, total, small);
        std::vector<std::vector<TPoint>> list;
        size_t at = 0;
        for (uint32_t c : counts) {
            std::vector<std::pair<double, double>> part(pts.begin() + static_cast<long>(at),
                                                        pts.begin() + static_cast<long>(at + c));
            at += c;
            list.push_back(Mapped(part));
        }
        bool polygon = type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16;
        DrawPolys(std::move(list), polygon, polygon);
        break;
    }
    case EMR_RECTANGLE:
    case EMR_ELLIPSE:
    case EMR_ROUNDRECT: {
        double l = r.S32LE(), t = r.S32LE(), rr = r.S32LE(), b = r.S32LE();
        if (type == EMR_RECTANGLE)
            DrawRect(l, t, rr, b);
        else if (type == EMR_ELLIPSE)
            DrawEllipse(l, t, rr, b);
        else {
            double cw = r.S32LE(), ch = r.S32LE();
            DrawRoundRect(l, t, rr, b, cw, ch);
        }
        break;
    }
    case 45:   // EMR_ARC
    case 46:   // EMR_CHORD
    case 47: { // EMR_PIE
        double l = r.S32LE(), t = r.S32LE(), rr = r.S32LE(), b = r.S32LE();
        double xs = r.S32LE(), ys = r.S32LE(), xe = r.S32LE(), ye = r.S32LE();
        DrawArc(l, t, rr, b, xs, ys, xe, ye,
                type == 45   ? ArcOnly
                : type == 46 ? ChordShape
                             : PieShape);
        break;
    }
    case EMR_SETPIXELV: {
        double x = r.S32LE(), y = r.S32LE();
        SetPixelAt(x, y, r.U32LE());
        break;
    }
    case EMR_BEGINPATH:
        inPath_ = true;
        path_.clear();
        break;
    case EMR_ENDPATH:
        inPath_ = false;
        break;
    case EMR_ABORTPATH:
        inPath_ = false;
        path_.clear();
        break;
    case EMR_CLOSEFIGURE:
        if (!path_.empty())
            path_.back().closed = true;
        break;
    case EMR_FILLPATH:
        PathDraw(true, false);
        break;
    case EMR_STROKEPATH:
        PathDraw(false, true);
        break;
    case EMR_STROKEANDFILLPATH:
        PathDraw(true, true);
        break;
    case EMR_FILLRGN:
    case EMR_PAINTRGN: {
        r.Skip(16);
        uint32_t cb = r.U32LE();
        BrushState brush = s_.brush;
        if (type == EMR_FILLRGN) {
            GdiObject* o = Slot(r.U32LE());
            if (!o || o->kind != GdiObject::Brush)
                break;
            brush = o->brush;
        }
        if (cb < 32 || cb > r.Remaining())
            throw ShortRecord{};
        ByteReader g = r.Sub(cb);
        g.Skip(8);
        uint32_t count = g.U32LE();
        g.Skip(20);
        if (count > g.Remaining() / 16)
            throw ShortRecord{};
        std::vector<TRect> rects(count);
        for (auto& x : rects)
            x = TRect{g.S32LE(), g.S32LE(), g.S32LE(), g.S32LE()};
        FillRects(rects, brush);
        break;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND: {
        r.Skip(16);
        int32_t xDest = r.S32LE(), yDest = r.S32LE(), cxDest = r.S32LE(), cyDest = r.S32LE();
        uint32_t rop = r.U32LE();
        int32_t xSrc = r.S32LE(), ySrc = r.S32LE();
        r.Skip(24 + 4 + 4); // source transform, background colour, usage
        uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
        int32_t cxSrc = cxDest, cySrc = cyDest;
        if (type != EMR_BITBLT) {
            cxSrc = r.S32LE();
            cySrc = r.S32LE();
        }
        if (type == EMR_ALPHABLEND)
            rop = SRCCOPY; // the blend function sits where the operation would; drawn opaque
        if (cbBmi == 0) {
            Blit(xDest, yDest, cxDest, cyDest, nullptr, TRect{}, rop);
            break;
        }
        if (offBmi > size || cbBmi > size - offBmi || offBits > size || cbBits > size - offBits)
            throw ShortRecord{};
        TBitmap bitmap;
        Charge(cbBits);
        if (!DecodeDib(rec + offBmi, cbBmi, rec + offBits, cbBits, bitmap))
            break;
        Blit(xDest, yDest, cxDest, cyDest, &bitmap,
             TRect{Clamped(xSrc), Clamped(ySrc), Clamped(int64_t(xSrc) + cxSrc),
                   Clamped(int64_t(ySrc) + cySrc)},
             rop);
        break;
    }
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: {
        r.Skip(16);
        int32_t xDest = r.S32LE(), yDest = r.S32LE(), xSrc = r.S32LE(), ySrc = r.S32LE();
        int32_t cxSrc = r.S32LE(), cySrc = r.S32LE();
        uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
        r.Skip(4); // usage
        uint32_t rop = SRCCOPY, startScan = 0, scans = 0;
        double cxDest = cxSrc, cyDest = cySrc;
        if (type == EMR_STRETCHDIBITS) {
            rop = r.U32LE();
            cxDest = r.S32LE();
            cyDest = r.S32LE();
        } else {
            startScan = r.U32LE();
            scans = r.U32LE();
        }
        if (offBmi > size || cbBmi > size - offBmi || offBits > size || cbBits > size - offBits ||
            cbBmi < 12)
            throw ShortRecord{};
        const uint8_t* info = rec + offBmi;
        bool core = GetU32LE(info) == 12;
        int64_t declared = core ? int16_t(GetU16LE(info + 6)) : int32_t(GetU32LE(info + 8));
        // Bottom-up pictures count the source rectangle from their bottom row.
        bool bottomUp = declared > 0;
        // Setting bits to the device may carry only a band of scan lines (counted from the
        // bottom): decode the band alone and place it where it belongs in the whole picture.
        std::vector<uint8_t> band;
        int64_t fullHeight = std::abs(declared), bandTop = 0;
        if (type == EMR_SETDIBITSTODEVICE && bottomUp && !core && scans > 0 && scans < fullHeight &&
            startScan < fullHeight - scans + 1) {
            band.assign(info, info + cbBmi);
            PutU32LE(band.data() + 8, scans);
            info = band.data();
            bandTop = fullHeight - startScan - scans;
        }
        TBitmap bitmap;
        Charge(cbBits);
        if (!DecodeDib(info, cbBmi, rec + offBits, cbBits, bitmap))
            break;
        if (band.empty())
            fullHeight = bitmap.Height();
        int64_t top = bottomUp ? fullHeight - ySrc - cySrc : ySrc;
        if (type == EMR_SETDIBITSTODEVICE) {
            // Unscaled on its own device, so only the origin is mapped; the playing's scale
            // still applies to the extent.
            int64_t r0 = std::max(top, bandTop),
                    r1 = std::min(top + cySrc, bandTop + bitmap.Height());
            if (r1 <= r0 || cxSrc <= 0)
                break;
            double ox, oy;
            Map(xDest, yDest, ox, oy);
            double sx = ScaleX(1), sy = ScaleY(1);
            TRect dest{ToInt(ox), ToInt(oy + (r0 - top) * sy), ToInt(ox + cxSrc * sx),
                       ToInt(oy + (r1 - top) * sy)};
            TRect src{Clamped(xSrc), Clamped(r0 - bandTop), Clamped(int64_t(xSrc) + cxSrc),
                      Clamped(r1 - bandTop)};
            Charge(std::min<int64_t>(std::abs(int64_t(dest.Width())), outer_.Width() + 1) *
                   std::min<int64_t>(std::abs(int64_t(dest.Height())), outer_.Height() + 1));
            canvas_.StretchBlit(dest, bitmap, src, cmSrcCopy);
            break;
        }
        TRect src{Clamped(xSrc), Clamped(top), Clamped(int64_t(xSrc) + cxSrc),
                  Clamped(top + cySrc)};
        Blit(xDest, yDest, cxDest, cyDest, &bitmap, src, rop);
        break;
    }
    default:
        break; // text, comments and everything else not drawn here
    }
}

void Player::PlayWmf(const uint8_t* data, size_t size, const TRect& box)
{
    if (size < 18)
        return;
    wmf_ = true;
    objectLimit_ = GetU16LE(data + 10);
    spanX_ = double(area_.right) - area_.left + 1;
    spanY_ = double(area_.bottom) - area_.top + 1;
    s_.winOrgX = box.left;
    s_.winOrgY = box.top;
    s_.winExtX = box.Width() == 0 ? 1 : box.Width();
    s_.winExtY = box.Height() == 0 ? 1 : box.Height();
    ApplyClip();
    size_t pos = size_t(GetU16LE(data + 2)) * 2;
    try {
        while (pos + 6 <= size) {
            uint64_t words = GetU32LE(data + pos);
            uint16_t function = GetU16LE(data + pos + 4);
            if (words < 3 || words * 2 > size - pos || function == META_EOF)
                break;
            size_t bytes = static_cast<size_t>(words * 2);
            Charge(1);
            ByteReader r(data + pos, bytes, [] { throw ShortRecord{}; });
            r.Skip(6);
            try {
                WmfRecord(function, r, data + pos, bytes);
            } catch (const ShortRecord&) {
            }
            pos += bytes;
        }
    } catch (const OutOfWork&) {
    }
}

void Player::WmfRecord(uint16_t function, ByteReader& r, const uint8_t* rec, size_t size)
{
    auto color = [&] { return r.U32LE(); };
    // New objects take the lowest free slot; every slot below the hint is taken, so a file
    // that creates many objects costs no more than one pass over the table.
    auto newSlot = [&]() -> GdiObject* {
        size_t limit = std::min<size_t>(objectLimit_, 65535);
        for (; freeHint_ < limit; ++freeHint_) {
            GdiObject* o = Slot(freeHint_);
            if (o && o->kind == GdiObject::None)
                return o;
        }
        return nullptr;
    };
    switch (function) {
    case META_SETWINDOWORG:
        s_.winOrgY = r.S16LE(), s_.winOrgX = r.S16LE();
        break;
    case META_SETWINDOWEXT:
        s_.winExtY = r.S16LE(), s_.winExtX = r.S16LE();
        break;
    case META_OFFSETWINDOWORG:
        s_.winOrgY += r.S16LE(), s_.winOrgX += r.S16LE();
        break;
    case META_SCALEWINDOWEXT: {
        int yd = r.S16LE(), yn = r.S16LE(), xd = r.S16LE(), xn = r.S16LE();
        if (xd != 0 && yd != 0) {
            s_.winExtX = s_.winExtX * xn / xd;
            s_.winExtY = s_.winExtY * yn / yd;
        }
        break;
    }
    case META_SAVEDC:
        Save();
        break;
    case META_RESTOREDC:
        Restore(r.S16LE());
        break;
    case META_SETBKCOLOR:
        s_.bkColor = static_cast<TColor>(color() & 0xFFFFFF);
        break;
    case META_SETTEXTCOLOR:
        s_.textColor = static_cast<TColor>(color() & 0xFFFFFF);
        break;
    case META_SETBKMODE:
        s_.opaque = r.U16LE() != 1;
        break;
    case META_SETPOLYFILLMODE:
        s_.winding = r.U16LE() == 2;
        break;
    case META_CREATEPENINDIRECT: {
        uint16_t style = r.U16LE();
        int16_t width = r.S16LE();
        r.Skip(2);
        uint32_t c = color();
        if (GdiObject* o = newSlot()) {
            o->kind = GdiObject::Pen;
            o->pen = PenState{style & 0xF, std::abs(double(width)), width <= 1,
                              static_cast<TColor>(c & 0xFFFFFF)};
        }
        break;
    }
    case META_CREATEBRUSHINDIRECT: {
        uint16_t style = r.U16LE();
        uint32_t c = color();
        uint16_t hatch = r.U16LE();
        if (GdiObject* o = newSlot()) {
            o->kind = GdiObject::Brush;
            o->brush = MakeBrush(style, c, hatch);
        }
        break;
    }
    case META_DIBCREATEPATTERNBRUSH: {
        GdiObject* o = newSlot();
        if (!o)
            break;
        o->kind = GdiObject::Brush;
        o->brush = BrushState{bsSolid, RGBColor(128, 128, 128)};
        r.Skip(4);
        TBitmap pattern;
        Charge(static_cast<int64_t>(r.Remaining()));
        if (DecodeDib(rec + r.Position(), r.Remaining(), nullptr, 0, pattern))
            o->brush.color = pattern.Pixel(0, 0);
        break;
    }
    case META_CREATEREGION: {
        GdiObject* o = newSlot();
        if (!o)
            break;
        o->kind = GdiObject::Region;
        // Header and bounding box, then bands: count, top, bottom, count / 2 spans, count.
        r.Skip(8);
        r.Skip(2);
        uint16_t scans = r.U16LE();
        r.Skip(2 + 8);
        for (uint16_t i = 0; i < scans && r.Remaining() >= 6; ++i) {
            uint16_t count = r.U16LE();
            int top = r.S16LE(), bottom = r.S16LE();
            if (count / 2 > r.Remaining() / 4)
                break;
            for (int k = 0; k < count / 2; ++k) {
                int left = r.S16LE(), right = r.S16LE();
                o->rects.push_back(TRect{left, top, right, bottom});
            }
            r.Skip(2);
        }
        break;
    }
    case META_FILLREGION:
    case META_PAINTREGION: {
        GdiObject* region = Slot(r.U16LE());
        BrushState brush = s_.brush;
        if (function == META_FILLREGION) {
            GdiObject* b = Slot(r.U16LE());
            if (!b || b->kind != GdiObject::Brush)
                break;
            brush = b->brush;
        }
        if (region && region->kind == GdiObject::Region)
            FillRects(region->rects, brush);
        break;
    }
    case META_CREATEPATTERNBRUSH:
    case META_CREATEFONTINDIRECT:
    case META_CREATEPALETTE:
        if (GdiObject* o = newSlot())
            o->kind = GdiObject::Other;
        break;
    case META_SELECTOBJECT:
        if (GdiObject* o = Slot(r.U16LE()))
            Select(*o);
        break;
    case META_DELETEOBJECT: {
        uint16_t index = r.U16LE();
        if (GdiObject* o = Slot(index)) {
            *o = GdiObject{};
            freeHint_ = std::min<size_t>(freeHint_, index);
        }
        break;
    }
    case META_INTERSECTCLIPRECT: {
        double b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(), l = r.S16LE();
        IntersectClip(l, t, rr, b);
        break;
    }
    case META_MOVETO: {
        double y = r.S16LE(), x = r.S16LE();
        MoveTo(x, y);
        break;
    }
    case META_LINETO: {
        double y = r.S16LE(), x = r.S16LE();
        LineTo(x, y);
        break;
    }
    case META_POLYGON:
    case META_POLYLINE: {
        uint16_t count = r.U16LE();
        if (count > r.Remaining() / 4)
            throw ShortRecord{};
        std::vector<std::pair<double, double>> pts;
        pts.reserve(count);
        for (int i = 0; i < count; ++i) {
            double x = r.S16LE(), y = r.S16LE();
            pts.emplace_back(x, y);
        }
        bool polygon = function == META_POLYGON;
        DrawPolys({Mapped(pts)}, polygon, polygon);
        break;
    }
    case META_POLYPOLYGON: {
        uint16_t polys = r.U16LE();
        if (polys > r.Remaining() / 2)
            throw ShortRecord{};
        std::vector<uint16_t> counts(polys);
        for (auto& c : counts)
            c = r.U16LE();
        std::vector<std::vector<TPoint>> list;
        for (uint16_t c : counts) {
            if (c > r.Remaining() / 4)
                throw ShortRecord{};
            std::vector<std::pair<double, double>> pts;
            pts.reserve(c);
            for (int i = 0; i < c; ++i) {
                double x = r.S16LE(), y = r.S16LE();
                pts.emplace_back(x, y);
            }
            list.push_back(Mapped(pts));
        }
        DrawPolys(std::move(list), true, true);
        break;
    }
    case META_RECTANGLE:
    case META_ELLIPSE: {
        double b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(), l = r.S16LE();
        if (function == META_RECTANGLE)
            DrawRect(l, t, rr, b);
        else
            DrawEllipse(l, t, rr, b);
        break;
    }
    case META_ARC:
    case META_CHORD:
    case META_PIE: {
        double ye = r.S16LE(), xe = r.S16LE(), ys = r.S16LE(), xs = r.S16LE();
        double b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(), l = r.S16LE();
        DrawArc(l, t, rr, b, xs, ys, xe, ye,
                function == META_ARC     ? ArcOnly
                : function == META_CHORD ? ChordShape
                                         : PieShape);
        break;
    }
    case META_ROUNDRECT: {
        double h = r.S16LE(), w = r.S16LE(), b = r.S16LE(), rr = r.S16LE(), t = r.S16LE(),
               l = r.S16LE();
        DrawRoundRect(l, t, rr, b, w, h);
        break;
    }
    case META_SETPIXEL: {
        uint32_t c = color();
        double y = r.S16LE(), x = r.S16LE();
        SetPixelAt(x, y, c);
        break;
    }
    case META_PATBLT: {
        uint32_t rop = r.U32LE();
        double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
        Blit(x, y, w, h, nullptr, TRect{}, rop);
        break;
    }
    case META_BITBLT:
    case META_STRETCHBLT: {
        bool noBitmap = size / 2 == size_t(function >> 8) + 3u;
        uint32_t rop = r.U32LE();
        double srcH = 0, srcW = 0;
        if (function == META_STRETCHBLT) {
            srcH = r.S16LE();
            srcW = r.S16LE();
        }
        double ySrc = r.S16LE(), xSrc = r.S16LE();
        if (noBitmap)
            r.Skip(2);
        double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
        if (function == META_BITBLT) {
            srcH = h;
            srcW = w;
        }
        if (noBitmap) {
            Blit(x, y, w, h, nullptr, TRect{}, rop);
            break;
        }
        TBitmap bitmap;
        Charge(static_cast<int64_t>(r.Remaining()));
        if (!DecodeBitmap16(rec + r.Position(), r.Remaining(), s_.textColor, s_.bkColor, bitmap))
            break;
        Blit(x, y, w, h, &bitmap,
             TRect{ToInt(xSrc), ToInt(ySrc), ToInt(xSrc + srcW), ToInt(ySrc + srcH)}, rop);
        break;
    }
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
    case META_SETDIBTODEV: {
        // Without a bitmap the record is one word longer than its base size and paints with
        // the brush.
        bool noBitmap = size / 2 == size_t(function >> 8) + 3u && function != META_STRETCHDIB &&
                        function != META_SETDIBTODEV;
        uint32_t rop = SRCCOPY;
        double srcH = 0, srcW = 0, ySrc = 0, xSrc = 0, h = 0, w = 0, y = 0, x = 0;
        if (function == META_SETDIBTODEV) {
            r.Skip(2); // colour usage
            r.Skip(4); // scan count, start scan
            ySrc = r.S16LE();
            xSrc = r.S16LE();
            h = srcH = r.S16LE();
            w = srcW = r.S16LE();
            y = r.S16LE();
            x = r.S16LE();
        } else {
            rop = r.U32LE();
            if (function == META_STRETCHDIB)
                r.Skip(2);
            if (function != META_DIBBITBLT) {
                srcH = r.S16LE();
                srcW = r.S16LE();
            }
            ySrc = r.S16LE();
            xSrc = r.S16LE();
            if (noBitmap)
                r.Skip(2);
            h = r.S16LE();
            w = r.S16LE();
            y = r.S16LE();
            x = r.S16LE();
            if (function == META_DIBBITBLT) {
                srcH = h;
                srcW = w;
            }
        }
        if (noBitmap) {
            Blit(x, y, w, h, nullptr, TRect{}, rop);
            break;
        }
        TBitmap bitmap;
        Charge(static_cast<int64_t>(r.Remaining()));
        const uint8_t* dib = rec + r.Position();
        size_t dibSize = r.Remaining();
        if (!DecodeDib(dib, dibSize, nullptr, 0, bitmap))
            break;
        bool bottomUp =
            GetU32LE(dib) == 12 ? int16_t(GetU16LE(dib + 6)) > 0 : int32_t(GetU32LE(dib + 8)) > 0;
        double top = bottomUp ? bitmap.Height() - ySrc - srcH : ySrc;
        TRect src{ToInt(xSrc), ToInt(top), ToInt(xSrc + srcW), ToInt(top + srcH)};
        Blit(x, y, w, h, &bitmap, src, rop);
        break;
    }
    default:
        break; // text, palettes, regions, escapes and the rest
    }
}

} // namespace

void SetMetafileWorkBudget(int64_t units)
{
    workBudget = units;
}
int64_t MetafileWorkBudget()
{
    return workBudget.load();
}

void PlayEnhancedMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& area)
{
    if (area.right < area.left || area.bottom < area.top)
        return;
    std::lock_guard<std::recursive_mutex> guard(canvas.Lock());
    Player(canvas, area).PlayEmf(data, size);
}

void PlayWindowsMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& box,
                         const TRect& area)
{
    if (area.right < area.left || area.bottom < area.top)
        return;
    std::lock_guard<std::recursive_mutex> guard(canvas.Lock());
    Player(canvas, area).PlayWmf(data, size, box);
}

} // namespace tabulonix
