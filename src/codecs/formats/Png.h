#pragma once
#include "codecs/formats/ReaderGraphic.h"

#include <optional>
#include <vector>

namespace tabulonix {

// Reads PNG files into the bitmap: every colour type and bit depth of the format, Adam7
// interlacing, gAMA, bKGD, tRNS and PLTE; 16-bit samples are reduced to 8 bits and alpha
// is kept in the fourth byte of 32-bit pictures (it is never used when painting).
class TPNGGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TPNGGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPNGGraphic>();
    }

    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;

    // What the last read found besides the pixels.
    TColor BackgroundColor() const { return background_; }
    const std::vector<uint8_t>& PaletteAlpha() const
    {
        return paletteAlpha_;
    } // tRNS of palette files
    std::optional<TColor> TransparentRGB() const { return transparentColor_; }
    // With KeepAlpha set before reading, grey-with-alpha files also record their alpha
    // (one byte per pixel, top-down) in AlphaPlane(); icons use it for their mask.
    void SetKeepAlpha(bool keep) { keepAlpha_ = keep; }
    const std::vector<uint8_t>& AlphaPlane() const { return alphaPlane_; }

  private:
    struct Decoder;
    friend struct Decoder;

    TColor background_ = clWhite;
    std::optional<TColor> transparentColor_;
    std::vector<uint8_t> paletteAlpha_;
    bool keepAlpha_ = false;
    std::vector<uint8_t> alphaPlane_;
};

// Decodes a PNG-compressed icon entry into a 32-bit picture whose fourth byte is alpha
// (255 where the file has no transparency); the icon reader calls it.
void DecodePngIconEntry(const uint8_t* data, size_t size, TBitmap& out);

} // namespace tabulonix
