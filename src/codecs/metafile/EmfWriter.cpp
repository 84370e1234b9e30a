#include "codecs/metafile/EmfWriter.h"

#include "codecs/core/ByteReader.h"
#include "codecs/metafile/MetafileRecords.h"
#include "codecs/surface/Bitmap.h"

#include <algorithm>

namespace tabulonix {

using namespace metafile;

namespace {

void PutS32(std::vector<uint8_t>& out, int32_t v)
{
    ByteWriter(out).U32LE(static_cast<uint32_t>(v));
}

void PutRect(std::vector<uint8_t>& out, const TRect& r)
{
    PutS32(out, r.left);
    PutS32(out, r.top);
    PutS32(out, r.right);
    PutS32(out, r.bottom);
}

uint32_t BrushStyleCode(TBrushStyle style, uint32_t& hatch)
{
    hatch = 0;
    if (style == bsSolid)
        return BS_SOLID;
    if (style == bsClear)
        return BS_NULL;
    hatch = static_cast<uint32_t>(style - bsHorizontal);
    return BS_HATCHED;
}

} // namespace

PackedDib PackDib(TBitmap& bitmap)
{
    PackedDib dib;
    dib.width = bitmap.Width();
    dib.height = bitmap.Height();
    if (!bitmap.HoldsRleFile() && bitmap.BitsPerPixel() <= 8) {
        // Palette pictures keep their indices and colour table, as the BMP writer lays them out.
        TMemoryStream stream;
        bitmap.WriteStream(stream);
        const auto& file = stream.Bytes();
        if (file.size() >= 54) {
            uint32_t offset = GetU32LE(file.data() + 10);
            if (offset >= 54 && offset <= file.size()) {
                dib.info.assign(file.begin() + 14, file.begin() + offset);
                dib.bits.assign(file.begin() + offset, file.end());
                return dib;
            }
        }
    }
    // Everything else as plain 24-bit rows (no colour masks), which every reader takes.
    size_t stride = RowBytes(dib.width, 24);
    ByteWriter w(dib.info);
    w.U32LE(40);
    w.U32LE(static_cast<uint32_t>(dib.width));
    w.U32LE(static_cast<uint32_t>(dib.height));
    w.U16LE(1);
    w.U16LE(24);
    w.U32LE(0);
    w.U32LE(static_cast<uint32_t>(stride * dib.height));
    for (int i = 0; i < 4; ++i)
        w.U32LE(0);
    dib.bits.assign(stride * dib.height, 0);
    const TBitmapImage& image = bitmap.Image();
    for (int y = 0; y < dib.height; ++y) {
        const uint8_t* src = bitmap.ConstRow(y);
        uint8_t* row = dib.bits.data() + stride * (dib.height - 1 - y);
        for (int x = 0; x < dib.width; ++x) {
            TColor c = ReadStorePixel(image, src, x);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return dib;
}

EmfRecorder::EmfRecorder(const TRect& frame, int devicePixelsX, int devicePixelsY, int deviceMmX,
                         int deviceMmY)
    : frame_(frame), devX_(devicePixelsX), devY_(devicePixelsY), mmX_(deviceMmX), mmY_(deviceMmY)
{
}

void EmfRecorder::Begin(uint32_t type, uint32_t size)
{
    ByteWriter w(body_);
    w.U32LE(type);
    w.U32LE(size);
    ++records_;
}

void EmfRecorder::Bounds(const TRect& r)
{
    if (!haveBounds_) {
        bounds_ = r;
        haveBounds_ = true;
        return;
    }
    bounds_.left = std::min(bounds_.left, r.left);
    bounds_.top = std::min(bounds_.top, r.top);
    bounds_.right = std::max(bounds_.right, r.right);
    bounds_.bottom = std::max(bounds_.bottom, r.bottom);
}

void EmfRecorder::SetBkColor(TColor rgb)
{
    Begin(EMR_SETBKCOLOR, 12);
    ByteWriter(body_).U32LE(static_cast<uint32_t>(ColorToRGB(rgb)));
}

void EmfRecorder::SetTextColor(TColor rgb)
{
    Begin(EMR_SETTEXTCOLOR, 12);
    ByteWriter(body_).U32LE(static_cast<uint32_t>(ColorToRGB(rgb)));
}

void EmfRecorder::SetStretchMode(int mode)
{
    Begin(EMR_SETSTRETCHBLTMODE, 12);
    ByteWriter(body_).U32LE(static_cast<uint32_t>(mode));
}

void EmfRecorder::UsePen(const TPen& pen)
{
    if (penMade_ && pen.Color == pen_.Color && pen.Width == pen_.Width && pen.Style == pen_.Style)
        return;
    uint32_t old = penHandle_;
    penHandle_ = nextHandle_++;
    maxHandle_ = std::max(maxHandle_, penHandle_);
    Begin(EMR_CREATEPEN, 28);
    ByteWriter w(body_);
    w.U32LE(penHandle_);
    w.U32LE(pen.Style == psClear ? uint32_t(PS_NULL) : static_cast<uint32_t>(pen.Style));
    w.U32LE(static_cast<uint32_t>(std::max(pen.Width, 0)));
    w.U32LE(0);
    w.U32LE(static_cast<uint32_t>(ColorToRGB(pen.Color)));
    Begin(EMR_SELECTOBJECT, 12);
    w.U32LE(penHandle_);
    if (penMade_) {
        Begin(EMR_DELETEOBJECT, 12);
        w.U32LE(old);
    }
    pen_ = pen;
    penMade_ = true;
}

void EmfRecorder::UseBrush(const TBrush& brush)
{
    if (brushMade_ && brush.Color == brush_.Color && brush.Style == brush_.Style)
        return;
    uint32_t old = brushHandle_;
    brushHandle_ = nextHandle_++;
    maxHandle_ = std::max(maxHandle_, brushHandle_);
    uint32_t hatch = 0;
    uint32_t style = BrushStyleCode(brush.Style, hatch);
    Begin(EMR_CREATEBRUSHINDIRECT, 24);
    ByteWriter w(body_);
    w.U32LE(brushHandle_);
    w.U32LE(style);
    w.U32LE(static_cast<uint32_t>(ColorToRGB(brush.Color)));
    w.U32LE(hatch);
    Begin(EMR_SELECTOBJECT, 12);
    w.U32LE(brushHandle_);
    if (brushMade_) {
        Begin(EMR_DELETEOBJECT, 12);
        w.U32LE(old);
    }
    brush_ = brush;
    brushMade_ = true;
}

void EmfRecorder::StretchDib(const TRect& dest, const PackedDib& dib, uint32_t rop)
{
    const uint32_t fixed = 80;
    uint32_t infoSize = static_cast<uint32_t>(dib.info.size());
    uint32_t bitsSize = static_cast<uint32_t>(dib.bits.size());
    uint32_t size = fixed + infoSize + bitsSize;
    size = (size + 3) & ~3u;
    TRect box{std::min(dest.left, dest.right), std::min(dest.top, dest.bottom),
              std::max(dest.left, dest.right) - 1, std::max(dest.top, dest.bottom) - 1};
    Begin(EMR_STRETCHDIBITS, size);
    PutRect(body_, box);
    ByteWriter w(body_);
    PutS32(body_, dest.left);
    PutS32(body_, dest.top);
    PutS32(body_, 0); // source x, y
    PutS32(body_, 0);
    PutS32(body_, dib.width);
    PutS32(body_, dib.height);
    w.U32LE(fixed);
    w.U32LE(infoSize);
    w.U32LE(fixed + infoSize);
    w.U32LE(bitsSize);
    w.U32LE(0); // colours are RGB values
    w.U32LE(rop);
    PutS32(body_, dest.Width());
    PutS32(body_, dest.Height());
    w.Bytes(dib.info.data(), dib.info.size());
    w.Bytes(dib.bits.data(), dib.bits.size());
    while (body_.size() % 4)
        body_.push_back(0);
    Bounds(box);
}

void EmfRecorder::Rectangle(const TRect& r)
{
    Begin(EMR_RECTANGLE, 24);
    PutRect(body_, r);
    Bounds(TRect{std::min(r.left, r.right), std::min(r.top, r.bottom),
                 std::max(r.left, r.right) - 1, std::max(r.top, r.bottom) - 1});
}

std::vector<uint8_t> EmfRecorder::Finish()
{
    ByteWriter w(body_);
    if (penMade_) {
        Begin(EMR_SELECTOBJECT, 12);
        w.U32LE(StockObject | BLACK_PEN);
        Begin(EMR_DELETEOBJECT, 12);
        w.U32LE(penHandle_);
    }
    if (brushMade_) {
        Begin(EMR_SELECTOBJECT, 12);
        w.U32LE(StockObject | WHITE_BRUSH);
        Begin(EMR_DELETEOBJECT, 12);
        w.U32LE(brushHandle_);
    }
    Begin(EMR_EOF, 20);
    w.U32LE(0);  // palette entries
    w.U32LE(16); // their offset
    w.U32LE(20); // size of this record, again

    const uint32_t headerSize = 108;
    std::vector<uint8_t> out;
    out.reserve(headerSize + body_.size());
    ByteWriter h(out);
    h.U32LE(EMR_HEADER);
    h.U32LE(headerSize);
    PutRect(out, haveBounds_ ? bounds_ : TRect{0, 0, -1, -1});
    PutRect(out, frame_);
    h.U32LE(EmfSignature);
    h.U32LE(0x00010000);
    h.U32LE(static_cast<uint32_t>(headerSize + body_.size()));
    h.U32LE(records_ + 1);
    h.U16LE(static_cast<uint16_t>(maxHandle_ + 1));
    h.U16LE(0);
    h.U32LE(0); // no description
    h.U32LE(0);
    h.U32LE(0); // palette entries
    PutS32(out, devX_);
    PutS32(out, devY_);
    PutS32(out, mmX_);
    PutS32(out, mmY_);
    h.U32LE(0); // no pixel format
    h.U32LE(0);
    h.U32LE(0); // not OpenGL
    // micrometres; a reference read from a file may be too large for them
    PutS32(out, static_cast<int32_t>(std::min<int64_t>(int64_t(mmX_) * 1000, INT32_MAX)));
    PutS32(out, static_cast<int32_t>(std::min<int64_t>(int64_t(mmY_) * 1000, INT32_MAX)));
    h.Bytes(body_.data(), body_.size());
    return out;
}

} // namespace tabulonix
