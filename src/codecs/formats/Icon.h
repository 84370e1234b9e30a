#pragma once
#include "codecs/surface/Bitmap.h"

#include <memory>
#include <vector>

namespace tabulonix {

// A Windows icon or cursor file. The entry that best fits 32 x 32 among those with no
// more colours than the display shows is chosen when the picture is first needed; it is
// always drawn at its own size through its mask, never scaled.
class TIcon : public TGraphic {
  public:
    const char* ClassName() const override { return "TIcon"; }
    bool DrawsOwnTransparency() const override { return true; }
    std::unique_ptr<TGraphic> NewInstance() const override { return std::make_unique<TIcon>(); }

    int Width() const override;
    int Height() const override;
    void SetWidth(int) override;
    void SetHeight(int) override;
    bool IsEmpty() const override { return data_.empty(); }

    void Paint(TCanvas& canvas, const TRect& rect) override;
    void ReadStream(TStream& stream) override;
    void WriteStream(TStream& stream) override;
    void AssignFrom(const TGraphic& source) override;

    // The chosen entry's colour image (32-bit, alpha in the fourth byte when the entry has
    // one) and its mask (1 = transparent), both top-down, made on first use.
    const TBitmap& ColorImage() const;
    const std::vector<uint8_t>& Mask() const; // one byte per pixel
    bool HasAlpha() const;

  private:
    struct Entry {
        int width = 0, height = 0, colorCount = 0, bitCount = 0;
        uint32_t size = 0, offset = 0;
    };
    struct TSize {
        int width, height;
    };
    TSize ChosenSize() const;
    void Choose() const;
    void Decode() const;

    std::vector<uint8_t> data_;
    std::vector<Entry> entries_;
    mutable int chosen_ = -1;
    mutable std::unique_ptr<TBitmap> image_;
    mutable std::vector<uint8_t> mask_;
    mutable bool alpha_ = false;
    mutable bool decoded_ = false;
};

} // namespace tabulonix
