#pragma once
#include "codecs/core/Graphic.h"
#include "codecs/surface/PixelMemory.h"
#include "platform/Colors.h"
#include "platform/Halftone.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tabulonix {

class TCanvas;

enum TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};

struct TBitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0; // positive: rows stored bottom-up in files
    uint16_t planes = 1;
    uint16_t bitCount = 32;
    uint32_t compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 colour masks
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

using TPalette = std::vector<RGBQuad>;

// The pixel store, shared between bitmaps by reference (copy on write). Rows are kept
// top-down in memory whatever the file order; `header.height` keeps the file's sign.
struct TBitmapImage {
    int width = 0;
    int height = 0;
    bool device = true; // a device surface (display depth) rather than a DIB of its own format
    TBitmapInfoHeader header;
    std::array<uint32_t, 3> masks{}; // red, green, blue; zero when the store has none
    PixelMemory pixels;              // height rows of RowBytes(width, bitCount)
    std::vector<RGBQuad> colorTable; // for 8 bits per pixel and fewer
    std::optional<TPalette> palette;
    bool os2 = false;             // read from a file with an OS/2 core header
    bool halftone = false;        // the palette is the halftone palette
    std::vector<uint8_t> rleFile; // the file's bytes, for run-length pictures only
    bool alpha = false; // 32-bit pixels carry alpha in their fourth byte (decoded pictures)

    int BitCount() const { return header.bitCount; }
    size_t Stride() const;
};

// Bytes per row of a device-independent surface: padded to a multiple of 4.
size_t RowBytes(int width, int bitsPerPixel);

// The raster surface. New surfaces are true colour in the display format (32 bits: blue,
// green, red, unused).
class TBitmap : public TGraphic {
  public:
    TBitmap();
    ~TBitmap() override;
    // Copies share the pixel store (copy on write), as AssignFrom does; handlers are not
    // copied.
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);

    const char* ClassName() const override { return "TBitmap"; }
    std::unique_ptr<TGraphic> NewInstance() const override { return std::make_unique<TBitmap>(); }

    int Width() const override;
    int Height() const override;
    // Both make a new store once width and height are non-zero: filled with the canvas
    // brush colour (white without a canvas), the old content kept in the top-left corner.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    void SetSize(int width, int height);

    TPixelFormat PixelFormat() const;
    // Converts the pixels into a store of the given format; pfCustom raises
    // EInvalidGraphic "Invalid pixel format".
    void SetPixelFormat(TPixelFormat format);
    int BitsPerPixel() const;

    // For readers: replaces the store with a zero-filled device-independent surface of the
    // given format (colour table of 2^bits black entries for 8 bits and fewer). A reader
    // that writes every pixel passes cleared = false: only the row padding is zeroed then.
    void NewImage(int width, int height, TPixelFormat format, bool cleared = true);

    // Row r counted from the top; "Scan line index out of range" outside 0..height-1.
    // The writable form gives this bitmap a private store first.
    uint8_t* Row(int r);
    const uint8_t* ConstRow(int r) const;
    size_t RowSize() const;

    // Whether the fourth byte of this 32-bit picture is alpha (set by the readers of formats
    // that have an alpha channel). Such a picture is blended over an opaque surface it is
    // drawn on. A new store has none.
    bool HasAlphaChannel() const;
    void SetAlphaChannel(bool value);

    // Colour table of a surface of 8 bits per pixel or fewer.
    const std::vector<RGBQuad>& ColorTable() const;
    void SetColorTable(const std::vector<RGBQuad>& table);

    bool HasPalette() const;
    TPalette Palette() const; // empty when there is none
    // A copy of the palette; for 8 bits and fewer the colour-table entries are rewritten
    // from it (indices stay). std::nullopt removes the palette.
    void SetPalette(const std::optional<TPalette>& palette);
    bool HalftonePaletteSelected() const;
    void SetHalftonePalette(); // the halftone palette, flagged as such
    bool PaletteModified() const { return paletteModified_; }
    void SetPaletteModified(bool value) { paletteModified_ = value; }

    std::array<uint32_t, 3> ColorMasks() const;
    bool IsOS2() const;
    bool HoldsRleFile() const;

    // The colour of one pixel (0x00BBGGRR) and setting it, in any format.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    TCanvas& Canvas();
    bool HasCanvas() const { return canvas_ != nullptr; }

    // The transparent colour: by default the colour of the bottom-left pixel.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);

    // After a write: drops the device-independent copy; on a shared store gives this
    // bitmap a private copy instead.
    void ReleaseCopy();
    bool SharesStoreWith(const TBitmap& other) const;

    void Paint(TCanvas& canvas, const TRect& rect) override;
    void ReadStream(TStream& stream) override;
    void WriteStream(TStream& stream) override;
    void AssignFrom(const TGraphic& source) override;
    bool Equals(const TGraphic& other) const override;

    // The store (read-only) for code that blits or encodes.
    const TBitmapImage& Image() const;

    // Called by code that changed pixels through Row() directly.
    void PixelsChanged() { Changed(); }

  private:
    friend class TCanvas;
    void Unshare(); // private store before a change
    void Resize(int width, int height);
    void ReadBmp(TStream& stream);
    void DecodeRle(const std::vector<uint8_t>& file, size_t infoOffset);

    std::shared_ptr<TBitmapImage> image_;
    std::unique_ptr<TCanvas> canvas_;
    std::optional<TColor> transparentColor_;
    bool paletteModified_ = false;
};

// `over` drawn over `under` with opacity `alpha` (0..255), rounded to the nearest value.
inline uint8_t BlendOver(int over, int under, int alpha)
{
    return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

// Reads the colour of pixel x of a row of any store format.
TColor ReadStorePixel(const TBitmapImage& image, const uint8_t* row, int x);
// Writes a colour into pixel x of a row (nearest table colour for 8 bits and fewer).
void WriteStorePixel(TBitmapImage& image, uint8_t* row, int x, TColor color);

} // namespace tabulonix
