#pragma once
// The pixel converter of the reader family. A reader describes its source rows (scheme,
// bits per sample, samples per pixel, options) and the bitmap rows it wants; the
// converter picks one routine and turns each decoded row into a bitmap row. It also
// builds the palettes indexed and grey pictures need.
//
// Typical use in a reader:
//     TColorManager& cm = ColorManager();
//     cm.SetSourceColorScheme(csRGB);      cm.SetTargetColorScheme(csBGR);
//     cm.SetSourceBitsPerSample(16);       cm.SetTargetBitsPerSample(8);
//     cm.SetSourceSamplesPerPixel(3);      cm.SetTargetSamplesPerPixel(3);
//     cm.SetSourceOptions(coNeedByteSwap); // 16-bit samples stored big-endian
//     NewImage(w, h, cm.PixelFormatOfTarget());
//     for each row: cm.TranslateRow({rowBytes}, 0xFF, w, Row(y));
// Planar sources pass one pointer per sample: cm.TranslateRow({r, g, b}, 0xFF, w, out).
#include "codecs/surface/Bitmap.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace tabulonix {

class EColorConversionError : public Exception {
  public:
    using Exception::Exception;
};

enum TColorScheme {
    csUnknown, // undefined
    csIndexed,
    csG,  // grey
    csGA, // grey with alpha
    csRGB,
    csRGBA,
    csBGR,
    csBGRA,
    csCMY,
    csCMYK,
    csCIELab,
    csYCbCr,
    csPhotoYCC,
};

// Option bits, combined with |.
enum TConvertOption : unsigned {
    coNone = 0,
    coAlpha = 1u << 0,           // the layout has an alpha sample (follows the scheme)
    coNeedByteSwap = 1u << 1,    // source: 16-bit samples stored big-endian
    coLabByteRange = 1u << 2,    // source: L* stored as 0..255 instead of 0..100
    coLabChromaOffset = 1u << 3, // source: a* and b* stored with an offset of 128
    coApplyGamma = 1u << 4,      // target: pass samples through the gamma table
};
using TConvertOptions = unsigned;

// Layouts of raw colour tables for MakePaletteFromTable.
enum TRawPaletteFormat {
    pfInterlaced8Triple,  // one table: v0 v1 v2 per entry, bytes
    pfInterlaced8Quad,    // one table: v0 v1 v2 x per entry, bytes (fourth skipped)
    pfPlane8Triple,       // three tables of `count` bytes each
    pfInterlaced16Triple, // as above with 16-bit values
    pfInterlaced16Quad,
    pfPlane16Triple,
};

// The rows a conversion reads: one pointer to interleaved samples, or one per plane.
using TRowSources = std::span<const uint8_t* const>;

class TColorManager {
  public:
    TColorManager();

    // Settings; any change marks the converter for preparation before the next row.
    void SetSourceBitsPerSample(int bits);
    void SetTargetBitsPerSample(int bits);
    void SetSourceSamplesPerPixel(int samples);
    void SetTargetSamplesPerPixel(int samples);
    void SetSourceColorScheme(TColorScheme scheme);
    void SetTargetColorScheme(TColorScheme scheme);
    void SetSourceOptions(TConvertOptions options);
    void SetTargetOptions(TConvertOptions options);

    TColorScheme TargetColorScheme() const { return targetScheme_; }
    TConvertOptions SourceOptions() const { return sourceOptions_; }
    TConvertOptions TargetOptions() const { return targetOptions_; }

    // Rebuilds the gamma table; values not above 0 become 1.0 (main) and 2.2 (display).
    void ConfigureGamma(double displayGamma, double mainGamma);
    double MainGamma() const { return mainGamma_; }
    double DisplayGamma() const { return displayGamma_; }
    // Coefficients (red, green, blue weights) and subsampling (1, 2 or 4 each, vertical
    // not above horizontal; raises EColorConversionError otherwise).
    void ConfigureYCbCr(double kr, double kg, double kb, int horizontal, int vertical);
    int HorizontalSubsampling() const { return hSubsampling_; }
    const std::array<uint8_t, 256>& GammaTable() const { return gammaTable_; }

    // The bitmap format of the target layout (pfCustom when there is none).
    TPixelFormat PixelFormatOfTarget() const;

    // Converts `count` pixels. `sources` holds one pointer to interleaved samples, or one
    // pointer per sample (planes). Raises EColorConversionError when the settings do not
    // describe a conversion.
    void TranslateRow(TRowSources sources, int count, uint8_t* target);
    void TranslateRow(std::initializer_list<const uint8_t*> sources, int count, uint8_t* target)
    {
        TranslateRow(TRowSources(sources.begin(), sources.size()), count, target);
    }
    // The same for one row of interleaved samples.
    void TranslateRow(const uint8_t* interleaved, int count, uint8_t* target)
    {
        const uint8_t* const sources[] = {interleaved};
        TranslateRow(TRowSources(sources), count, target);
    }

    // Grey ramp of 2^min(target bits x target samples, 8) entries, black to white
    // (white to black when the minimum is white).
    TPalette MakeGreyPalette(bool minimumIsWhite);
    // At most 256 entries from raw tables: one pointer for interleaved layouts, three for
    // planes. The caller guarantees that each table holds `count` entries.
    TPalette MakePaletteFromTable(std::initializer_list<const uint8_t*> tables,
                                  TRawPaletteFormat layout, int count, bool blueFirst)
    {
        return MakePaletteFromTable(TRowSources(tables.begin(), tables.size()), layout, count,
                                    blueFirst);
    }
    TPalette MakePaletteFromTable(TRowSources tables, TRawPaletteFormat layout, int count,
                                  bool blueFirst);

    // Makes sure the settings describe a conversion (raises the errors otherwise).
    void Prepare();

  private:
    enum Routine { rtNone, rtPacker, rtComponents, rtCMYK, rtLab, rtYCbCr };

    void Changed() { prepared_ = false; }
    void BuildGammaTable();
    void BuildYCbCrTables();

    // Component scaling of one sample to the target depth.
    uint16_t ScaleSample(uint32_t value, int bits, bool gamma) const;
    uint8_t To8(uint32_t value, int bits) const;
    uint8_t Gamma8(uint8_t value) const;
    void WriteColor(uint8_t* target, int x, uint32_t r, uint32_t g, uint32_t b, int bits,
                    const uint32_t* alpha) const;

    void RowPacker(TRowSources s, int count, uint8_t* t);
    void RowComponents(TRowSources s, int count, uint8_t* t);
    void RowCMYK(TRowSources s, int count, uint8_t* t);
    void RowLab(TRowSources s, int count, uint8_t* t);
    void RowYCbCr(TRowSources s, int count, uint8_t* t);

    int sourceBits_ = 8, targetBits_ = 8;
    int sourceSamples_ = 3, targetSamples_ = 3;
    TColorScheme sourceScheme_ = csRGB, targetScheme_ = csBGR;
    TConvertOptions sourceOptions_ = coNone, targetOptions_ = coNone;
    std::array<double, 3> coefficients_{0.299, 0.587, 0.114};
    int hSubsampling_ = 1, vSubsampling_ = 1;
    double mainGamma_ = 1.0, displayGamma_ = 2.2;
    std::array<uint8_t, 256> gammaTable_{};

    bool prepared_ = false;
    Routine routine_ = rtNone;
    bool swapRedBlue_ = false;
    std::array<int, 256> crToRed_{}, cbToBlue_{}, crToGreen_{}, cbToGreen_{};
};

// Message texts of the converter.
extern const char* const kIndexedConversionError;
extern const char* const kNoConversionMethod;
extern const char* const kInvalidColorDepth;
extern const char* const kSampleCountMismatch;
extern const char* const kInvalidSubsampling;
extern const char* const kVerticalSubsampling;

} // namespace tabulonix
