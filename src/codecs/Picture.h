#pragma once
#include "codecs/core/Graphic.h"

#include <functional>
#include <memory>

namespace tabulonix {

class TBitmap;
class TCanvas;

// Holds at most one graphic.
class TPicture {
  public:
    TPicture() = default;
    ~TPicture();

    TGraphic* Graphic() const { return graphic_.get(); }
    int Width() const;
    int Height() const;

    // Opens the file through the registry by its extension; on failure the previous graphic
    // stays. Unknown extensions raise EInvalidGraphic "Unknown picture file extension (.%s)".
    void OpenFile(const std::string& path);
    void SaveToFile(const std::string& path);

    // The limits every graphic this holder opens or makes reads under.
    const DecodeLimits& Limits() const { return limits_; }
    void SetLimits(const DecodeLimits& limits) { limits_ = limits; }

    // The held graphic when it is a TBitmap; otherwise replaces it with a new empty TBitmap.
    TBitmap& AsBitmap();

    // A copy of the source's graphic (nullptr empties the holder).
    void Assign(const TPicture& source);
    void Assign(const TGraphic* source);
    // Takes ownership of `graphic` (may be null).
    void SetGraphic(std::unique_ptr<TGraphic> graphic);

    std::function<void(TPicture&)> OnChange;
    TGraphic::ProgressHandler OnProgress;

  private:
    void Hold(std::unique_ptr<TGraphic> graphic);
    void Notify();
    std::unique_ptr<TGraphic> graphic_;
    DecodeLimits limits_;
};

// The image control the engine uses as its drawing holder (never shown).
class TImage {
  public:
    TImage();

    TPicture& Picture() { return picture_; }
    bool AutoSize = false;
    bool Transparent = false;
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int width, int height)
    {
        width_ = width;
        height_ = height;
    }

    // The canvas of the held bitmap; creates a white bitmap of the control's size when the
    // picture is empty; "Can only modify an image if it contains a bitmap" otherwise.
    TCanvas& Canvas();

  private:
    void PictureChanged();
    TPicture picture_;
    int width_ = 105;
    int height_ = 105;
};

} // namespace tabulonix
