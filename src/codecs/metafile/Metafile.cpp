#include "codecs/metafile/Metafile.h"

#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/metafile/EmfHeader.h"
#include "codecs/metafile/EmfWriter.h"
#include "codecs/metafile/MetafilePlayer.h"
#include "codecs/metafile/MetafileRecords.h"
#include "codecs/metafile/WmfWriter.h"
#include "codecs/surface/Bitmap.h"
#include "platform/Files.h"

#include <algorithm>
#include <climits>
#include <tuple>

namespace tabulonix {

using namespace metafile;

namespace {

const char* const NotValid = "Metafile is not valid";

// a * b / c rounded to the nearest integer, halves away from zero; 0 when c is 0.
int MulDiv(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return 0;
    __int128 p = static_cast<__int128>(a) * b;
    bool negative = (p < 0) != (c < 0);
    __int128 ap = p < 0 ? -p : p, ac = c < 0 ? -c : c;
    __int128 q = (ap + ac / 2) / ac;
    __int128 r = negative ? -q : q;
    return static_cast<int>(std::clamp<__int128>(r, INT_MIN, INT_MAX));
}

// Pixel sizes stay far enough below the int range for callers to add positions to them.
constexpr int MaxPixels = 1 << 30;
int PixelSize(int v)
{
    return std::min(v, MaxPixels);
}

std::string Extension(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot + 1);
}

} // namespace

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

void TMetafile::Reference(int& pixelsX, int& pixelsY, int& mmX, int& mmY) const
{
    const ScreenMetrics& screen = Limits().screen;
    pixelsX = screen.widthPixels;
    pixelsY = screen.heightPixels;
    mmX = screen.widthMillimetres;
    mmY = screen.heightMillimetres;
    if (kind_ != Kind::Enhanced)
        return;
    std::optional<EmfHeader> header = ReadEmfHeader(data_.data(), data_.size());
    if (header && header->HasReferenceDevice()) {
        pixelsX = header->devicePixelsX;
        pixelsY = header->devicePixelsY;
        mmX = header->deviceMillimetresX;
        mmY = header->deviceMillimetresY;
    }
}

int TMetafile::Width() const
{
    if (data_.empty())
        return pendingWidth_;
    if (inch_ != 0)
        return PixelSize(MulDiv(mmWidth_, Limits().screen.pixelsPerInch, 2540));
    int px, py, mx, my;
    Reference(px, py, mx, my);
    return PixelSize(MulDiv(mmWidth_, px, int64_t(mx) * 100));
}

int TMetafile::Height() const
{
    if (data_.empty())
        return pendingHeight_;
    if (inch_ != 0)
        return PixelSize(MulDiv(mmHeight_, Limits().screen.pixelsPerInch, 2540));
    int px, py, mx, my;
    Reference(px, py, mx, my);
    return PixelSize(MulDiv(mmHeight_, py, int64_t(my) * 100));
}

void TMetafile::SetWidth(int pixels)
{
    if (data_.empty()) {
        pendingWidth_ = pixels;
    } else if (inch_ != 0) {
        mmWidth_ = MulDiv(pixels, 2540, Limits().screen.pixelsPerInch);
    } else {
        int px, py, mx, my;
        Reference(px, py, mx, my);
        mmWidth_ = MulDiv(pixels, int64_t(mx) * 100, px);
    }
    Changed();
}

void TMetafile::SetHeight(int pixels)
{
    if (data_.empty()) {
        pendingHeight_ = pixels;
    } else if (inch_ != 0) {
        mmHeight_ = MulDiv(pixels, 2540, Limits().screen.pixelsPerInch);
    } else {
        int px, py, mx, my;
        Reference(px, py, mx, my);
        mmHeight_ = MulDiv(pixels, int64_t(my) * 100, py);
    }
    Changed();
}

void TMetafile::Clear()
{
    data_.clear();
    kind_ = Kind::None;
    inch_ = 0;
    box_ = TRect{};
    Changed();
}

void TMetafile::SetEnhancedContent(std::vector<uint8_t> emf)
{
    data_ = std::move(emf);
    kind_ = Kind::Enhanced;
    inch_ = 0;
    box_ = TRect{};
    // The recorder always writes a whole header.
    EmfRect frame = ReadEmfHeader(data_.data(), data_.size()).value_or(EmfHeader{}).frame;
    mmWidth_ = MulDiv(int64_t(frame.right) - frame.left, 1, 1);
    mmHeight_ = MulDiv(int64_t(frame.bottom) - frame.top, 1, 1);
    Changed();
}

void TMetafile::Paint(TCanvas& canvas, const TRect& rect)
{
    if (data_.empty())
        return;
    // Played with the right and bottom edges moved in by one pixel; the player counts
    // them inclusive, so the picture covers exactly the rectangle.
    TRect area{rect.left, rect.top, rect.right - 1, rect.bottom - 1};
    if (kind_ == Kind::Enhanced)
        PlayEnhancedMetafile(canvas, data_.data(), data_.size(), area, Limits());
    else
        PlayWindowsMetafile(canvas, data_.data(), data_.size(), box_, area, Limits());
}

void TMetafile::ReadStream(TStream& stream)
{
    uint64_t remaining = stream.Remaining();
    uint64_t start = stream.Position();
    if (remaining > 100) {
        uint8_t head[100];
        stream.ReadBuffer(head, sizeof head);
        if (ReadEmfHeader(head, sizeof head)->HasSignature()) {
            ReadEnhanced(stream, head, static_cast<size_t>(remaining));
            return;
        }
        stream.Seek(start);
    }
    ReadWindows(stream);
}

void TMetafile::ReadEnhanced(TStream& stream, const uint8_t* head, size_t available)
{
    EmfHeader header = *ReadEmfHeader(head, 100);
    uint32_t total = header.totalSize;
    uint32_t headerSize = header.recordSize;
    if (total < 100 || total > available || headerSize < EmfHeader::Size || headerSize > total)
        throw EInvalidGraphic(NotValid);
    // The description, when there is one, must lie inside the file.
    uint32_t chars = header.descriptionChars, offset = header.descriptionOffset;
    if (chars != 0 && (offset > total || chars > (total - offset) / 2))
        throw EInvalidGraphic(NotValid);
    const EmfRect& frame = header.frame;
    int64_t w = int64_t(frame.right) - frame.left, h = int64_t(frame.bottom) - frame.top;
    if (w < 0 || h < 0 || w > INT_MAX || h > INT_MAX)
        throw EInvalidGraphic(NotValid);
    std::vector<uint8_t> bytes(head, head + 100);
    bytes.resize(total);
    stream.ReadBuffer(bytes.data() + 100, total - 100);
    data_ = std::move(bytes);
    kind_ = Kind::Enhanced;
    inch_ = 0;
    box_ = TRect{};
    mmWidth_ = static_cast<int>(w);
    mmHeight_ = static_cast<int>(h);
    Changed();
}

void TMetafile::ReadWindows(TStream& stream)
{
    uint8_t header[22];
    if (stream.Remaining() < sizeof header)
        throw EInvalidGraphic(NotValid);
    stream.ReadBuffer(header, sizeof header);
    if (GetU32LE(header) != PlaceableKey || GetU16LE(header + 20) != PlaceableChecksum(header))
        throw EInvalidGraphic(NotValid);
    TRect box{int16_t(GetU16LE(header + 6)), int16_t(GetU16LE(header + 8)),
              int16_t(GetU16LE(header + 10)), int16_t(GetU16LE(header + 12))};
    int inch = GetU16LE(header + 14);
    if (inch == 0)
        inch = 96;
    std::vector<uint8_t> records = stream.ReadRemaining();
    // The Windows metafile header: in memory or on disk, nine words, a known version.
    if (records.size() < 18)
        throw EInvalidGraphic(NotValid);
    uint16_t type = GetU16LE(records.data()), words = GetU16LE(records.data() + 2);
    uint16_t version = GetU16LE(records.data() + 4);
    if ((type != 1 && type != 2) || words != 9 || (version != 0x0100 && version != 0x0300))
        throw EInvalidGraphic(NotValid);
    data_ = std::move(records);
    kind_ = Kind::Windows;
    inch_ = inch;
    box_ = box;
    mmWidth_ = MulDiv(std::abs(box.Width()), 2540, inch);
    mmHeight_ = MulDiv(std::abs(box.Height()), 2540, inch);
    Changed();
}

std::unique_ptr<TBitmap> TMetafile::Rasterize() const
{
    // A picture smaller than a pixel still converts, as one pixel.
    int w = std::max(Width(), 1), h = std::max(Height(), 1);
    CheckPixelBudget(Limits(), w, h, NotValid);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetLimits(Limits());
    bitmap->SetSize(w, h);
    const_cast<TMetafile*>(this)->Paint(bitmap->Canvas(), TRect{0, 0, w, h});
    return bitmap;
}

std::vector<uint8_t> TMetafile::EnhancedBytes() const
{
    if (kind_ == Kind::Enhanced)
        return data_;
    if (kind_ == Kind::None)
        return {};
    // Windows content: recorded again as one bitmap at the picture's size.
    auto bitmap = Rasterize();
    const ScreenMetrics& screen = Limits().screen;
    EmfRecorder recorder(TRect{0, 0, mmWidth_, mmHeight_}, screen.widthPixels, screen.heightPixels,
                         screen.widthMillimetres, screen.heightMillimetres);
    recorder.SetStretchMode(COLORONCOLOR);
    recorder.StretchDib(TRect{0, 0, bitmap->Width(), bitmap->Height()}, PackDib(*bitmap), SRCCOPY);
    return recorder.Finish();
}

std::vector<uint8_t> TMetafile::WindowsBytes() const
{
    if (kind_ == Kind::None)
        return {};
    int inch = inch_ != 0 ? inch_ : 96;
    int right = MulDiv(mmWidth_, inch, 2540), bottom = MulDiv(mmHeight_, inch, 2540);
    std::vector<uint8_t> out = PlaceableHeader(right, bottom, inch);
    if (kind_ == Kind::Windows) {
        size_t headerBytes = size_t(GetU16LE(data_.data() + 2)) * 2;
        if (box_.left == 0 && box_.top == 0) {
            out.insert(out.end(), data_.begin(), data_.end());
            return out;
        }
        // The new header's box starts at (0, 0): state the old box as the window first, so
        // records that relied on it as their default window still land in the same place.
        std::vector<uint8_t> records(data_.begin(), data_.begin() + static_cast<long>(headerBytes));
        ByteWriter w(records);
        for (auto [function, a, b] : {std::tuple{META_SETWINDOWORG, box_.top, box_.left},
                                      std::tuple{META_SETWINDOWEXT, box_.Height(), box_.Width()}}) {
            w.U32LE(5);
            w.U16LE(function);
            w.U16LE(static_cast<uint16_t>(a));
            w.U16LE(static_cast<uint16_t>(b));
        }
        records.insert(records.end(), data_.begin() + static_cast<long>(headerBytes), data_.end());
        PutU32LE(records.data() + 6, GetU32LE(records.data() + 6) + 10); // size in words
        if (GetU32LE(records.data() + 12) < 5)
            PutU32LE(records.data() + 12, 5);
        out.insert(out.end(), records.begin(), records.end());
        return out;
    }
    std::optional<std::vector<uint8_t>> records = ConvertToWmf(data_, right, bottom);
    if (!records) {
        // Records the converter does not know: convert the picture they paint instead.
        auto bitmap = Rasterize();
        int px, py, mx, my;
        Reference(px, py, mx, my);
        EmfRecorder recorder(TRect{0, 0, mmWidth_, mmHeight_}, px, py, mx, my);
        recorder.SetStretchMode(COLORONCOLOR);
        int w = MulDiv(mmWidth_, px, int64_t(mx) * 100),
            h = MulDiv(mmHeight_, py, int64_t(my) * 100);
        recorder.StretchDib(TRect{0, 0, w, h}, PackDib(*bitmap), SRCCOPY);
        records = ConvertToWmf(recorder.Finish(), right, bottom);
        if (!records)
            throw EInvalidGraphic("Cannot write the picture as a Windows metafile");
    }
    out.insert(out.end(), records->begin(), records->end());
    return out;
}

void TMetafile::WriteStream(TStream& stream)
{
    stream.WriteBytes(enhanced_ ? EnhancedBytes() : WindowsBytes());
}

std::vector<uint8_t> TMetafile::FileBytes(const std::string& path) const
{
    bool windows = !enhanced_ || LowerCase(Extension(path)) == "wmf";
    return windows ? WindowsBytes() : EnhancedBytes();
}

void TMetafile::WriteFile(const std::string& path)
{
    // Made before the file is created, so a failed conversion leaves no empty file behind.
    std::vector<uint8_t> bytes = FileBytes(path);
    TSafeFileStream stream(path);
    stream.WriteBytes(bytes);
    stream.Commit();
}

void TMetafile::AssignFrom(const TGraphic& source)
{
    if (&source == this)
        return;
    if (auto* other = dynamic_cast<const TMetafile*>(&source)) {
        data_ = other->data_;
        kind_ = other->kind_;
        mmWidth_ = other->mmWidth_;
        mmHeight_ = other->mmHeight_;
        pendingWidth_ = other->pendingWidth_;
        pendingHeight_ = other->pendingHeight_;
        inch_ = other->inch_;
        enhanced_ = other->enhanced_;
        box_ = other->box_;
        Changed();
        return;
    }
    if (source.AssignTo(*this))
        return;
    AssignError(source);
}

// ---------------------------------------------------------------------------------------

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile) : metafile_(metafile)
{
    Init(metafile.Limits().screen);
}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, const ScreenMetrics& reference)
    : metafile_(metafile)
{
    Init(reference);
}

TMetafileCanvas::~TMetafileCanvas()
{
    try {
        Close();
    } catch (...) {
        // nothing can be reported from here; Close() raises for callers that want to know
    }
}

void TMetafileCanvas::Init(const ScreenMetrics& reference)
{
    int w = metafile_.Width(), h = metafile_.Height();
    if (metafile_.mmWidth_ == 0)
        metafile_.mmWidth_ =
            w != 0 ? MulDiv(w, int64_t(reference.widthMillimetres) * 100, reference.widthPixels)
                   : reference.widthMillimetres * 100;
    if (metafile_.mmHeight_ == 0)
        metafile_.mmHeight_ =
            h != 0 ? MulDiv(h, int64_t(reference.heightMillimetres) * 100, reference.heightPixels)
                   : reference.heightMillimetres * 100;
    recorder_ = std::make_unique<EmfRecorder>(
        TRect{0, 0, metafile_.mmWidth_, metafile_.mmHeight_}, reference.widthPixels,
        reference.heightPixels, reference.widthMillimetres, reference.heightMillimetres);
}

void TMetafileCanvas::Settings()
{
    recorder_->UsePen(Pen);
    recorder_->UseBrush(Brush);
}

void TMetafileCanvas::RecordBitmap(const TRect& dest, TBitmap& bitmap)
{
    recorder_->SetStretchMode(COLORONCOLOR);
    recorder_->StretchDib(dest, PackDib(bitmap), SRCCOPY);
}

void TMetafileCanvas::DrawAt(int x, int y, TGraphic* graphic)
{
    if (!recorder_ || !graphic || graphic->IsEmpty())
        return;
    recorder_->SetBkColor(Brush.Color);
    recorder_->SetTextColor(Font.Color);
    DrawScaled(TRect{x, y, x + graphic->Width(), y + graphic->Height()}, graphic);
}

void TMetafileCanvas::DrawScaled(const TRect& rect, TGraphic* graphic)
{
    if (!recorder_ || !graphic || graphic->IsEmpty())
        return;
    Settings();
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic)) {
        RecordBitmap(rect, *bitmap);
        return;
    }
    // Other pictures are recorded as the bitmap they paint at their own size.
    int w = graphic->Width(), h = graphic->Height();
    CheckPixelBudget(metafile_.Limits(), w, h, "Metafile is not valid");
    TBitmap copy;
    copy.SetLimits(metafile_.Limits());
    copy.SetSize(w, h);
    copy.Canvas().DrawAt(0, 0, graphic);
    RecordBitmap(rect, copy);
}

void TMetafileCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    if (!recorder_)
        return;
    Settings();
    recorder_->Rectangle(TRect{x1, y1, x2, y2});
}

void TMetafileCanvas::Close()
{
    if (!recorder_)
        return;
    std::unique_ptr<EmfRecorder> recorder = std::move(recorder_);
    metafile_.SetEnhancedContent(recorder->Finish());
}

} // namespace tabulonix
