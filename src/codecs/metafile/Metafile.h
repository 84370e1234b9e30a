#pragma once
#include "codecs/core/Graphic.h"
#include "codecs/surface/Canvas.h"
#include "platform/ScreenMetrics.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tabulonix {

class TBitmap;
class EmfRecorder;

// A vector picture: an enhanced metafile, or a Windows metafile read from a file with a
// placeable header. Its size is kept in 0.01 mm; it paints by playing its records scaled
// into the rectangle, and saves either as an enhanced metafile or (with the enhanced flag
// cleared, or always for a ".wmf" file name) as a placeable Windows metafile.
class TMetafile : public TGraphic {
  public:
    TMetafile();
    ~TMetafile() override;

    const char* ClassName() const override { return "TMetafile"; }
    bool DrawsOwnTransparency() const override { return true; }
    std::unique_ptr<TGraphic> NewInstance() const override { return std::make_unique<TMetafile>(); }

    // Device pixels of the screen, from the size in 0.01 mm (the pending size while there is
    // no content).
    int Width() const override;
    int Height() const override;
    void SetWidth(int pixels) override;
    void SetHeight(int pixels) override;
    bool IsEmpty() const override { return data_.empty(); }

    int MMWidth() const { return mmWidth_; } // 0.01 mm
    int MMHeight() const { return mmHeight_; }
    void SetMMWidth(int value) { mmWidth_ = value; }
    void SetMMHeight(int value) { mmHeight_ = value; }
    int Inch() const { return inch_; }
    bool Enhanced() const { return enhanced_; }
    void SetEnhanced(bool value) { enhanced_ = value; }

    // Drops the content (size and pending size stay).
    void Clear();

    void Paint(TCanvas& canvas, const TRect& rect) override;
    void ReadStream(TStream& stream) override;
    // The enhanced form when the flag is set, else the placeable Windows form.
    void WriteStream(TStream& stream) override;
    // A ".wmf" name (any case) always gives the Windows form; the flag is left unchanged.
    void WriteFile(const std::string& path) override;
    // The bytes WriteFile writes to `path`.
    std::vector<uint8_t> FileBytes(const std::string& path) const;
    void AssignFrom(const TGraphic& source) override;

    // The bytes of either form, as WriteStream would write them.
    std::vector<uint8_t> EnhancedBytes() const;
    std::vector<uint8_t> WindowsBytes() const; // placeable header included

    bool HoldsEnhanced() const { return kind_ == Kind::Enhanced; }
    bool HoldsWindows() const { return kind_ == Kind::Windows; }
    // The records of the content as held (EMF bytes, or WMF bytes without the placeable
    // header).
    const std::vector<uint8_t>& Records() const { return data_; }

  private:
    friend class TMetafileCanvas;
    enum class Kind { None, Enhanced, Windows };
    void SetEnhancedContent(std::vector<uint8_t> emf);
    void ReadEnhanced(TStream& stream, const uint8_t* start, size_t available);
    void ReadWindows(TStream& stream);
    // The reference device of the content: pixels and millimetres per axis.
    void Reference(int& pixelsX, int& pixelsY, int& mmX, int& mmY) const;
    // The content as one bitmap (for conversions the record converter cannot do).
    std::unique_ptr<TBitmap> Rasterize() const;

    std::vector<uint8_t> data_;
    Kind kind_ = Kind::None;
    int mmWidth_ = 0, mmHeight_ = 0;
    int pendingWidth_ = 0, pendingHeight_ = 0;
    int inch_ = 0;
    bool enhanced_ = true;
    TRect box_; // the placeable header's bounding box (Windows content)
};

// Records drawing into a new enhanced metafile for a TMetafile; Close (or destruction)
// hands the finished metafile to it. The reference device is the screen unless given.
class TMetafileCanvas {
  public:
    explicit TMetafileCanvas(TMetafile& metafile);
    TMetafileCanvas(TMetafile& metafile, const ScreenMetrics& reference);
    ~TMetafileCanvas();
    TMetafileCanvas(const TMetafileCanvas&) = delete;
    TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

    TPen Pen;
    TBrush Brush;
    TFont Font;

    // Records `graphic` at its own size at (x, y): a bitmap as one stretched-DIB record
    // (colour-on-colour stretching), any other picture as the bitmap it paints.
    void DrawAt(int x, int y, TGraphic* graphic);
    void DrawScaled(const TRect& rect, TGraphic* graphic);
    // Outlined with the pen, filled with the brush.
    void Rectangle(int x1, int y1, int x2, int y2);

    // Ends the recording and gives the metafile its new content; later calls do nothing.
    void Close();

  private:
    void Init(const ScreenMetrics& reference);
    void Settings();
    void RecordBitmap(const TRect& dest, TBitmap& bitmap);
    TMetafile& metafile_;
    std::unique_ptr<EmfRecorder> recorder_;
};

} // namespace tabulonix
