#pragma once
// Base of the raster readers (TGA, PNG, PCX, TIFF, SGI, PSD, ...). A reader derives from
// TReaderGraphic, reads its header into `ImageProperties` and lets the base set up the
// converter and the surface. The usual ReadStream:
//
//     void TFooGraphic::ReadStream(TStream& stream)
//     {
//         BeginLoad(stream);                       // step 1: start position remembered
//         std::vector<uint8_t> data = ReadAll(stream); // the bytes from the start on
//         RequireProperties(data, "FOO");          // step 2: false -> "Invalid or unexpected"
//         TPixelFormat format = SetupColorManager(); // step 4 (raises for a bad layout)
//         // special cases may change `format` here (e.g. 2 bits widened to 4)
//         CreateImage(format, "FOO");              // steps 5-6: budget, palette, size
//         for each row: ColorManager().TranslateRow(src, width, Row(y));
//         FinishLoad();
//     }
//
// ReadImageProperties is the per-format properties reader: it resets the record
// (ResetProperties), parses the header through a ByteReader and returns false when the
// bytes are not of its format. Errors use the texts below with the format name filled in
// (FormatError(kInvalidColorFormat, "PCX") and so on).
#include "codecs/core/ByteReader.h"
#include "codecs/core/CodecErrors.h"
#include "codecs/formats/ColorManager.h"
#include "codecs/surface/Bitmap.h"

#include <string>
#include <vector>

namespace tabulonix {

// Option flags of the properties record, combined with |.
enum TImageOption : unsigned {
    ioNone = 0,
    ioBigEndian = 1u << 0,  // multi-byte samples stored big-endian
    ioTiled = 1u << 1,      // tiled layout (TIFF)
    ioMinIsWhite = 1u << 2, // the smallest sample value is white
    ioReversed = 1u << 3,   // bit order within bytes reversed (TIFF fill order 2)
    ioUseGamma = 1u << 4,   // the file gamma is applied
};
using TImageOptions = unsigned;

enum TCompressionType {
    ctUnknown,
    ctNone,
    ctRLE, // a format's own run-length scheme (PCX, TGA, SGI, CUT, PSP, RLA)
    ctPackedBits,
    ctLZW,
    ctCCITT3,   // group 3, one- or two-dimensional (T.4 options)
    ctCCITTMH,  // modified Huffman
    ctCCITTMHW, // modified Huffman, word-aligned
    ctCCITT4,
    ctDeflate,
    ctJPEG,
    ctOJPEG,
    ctThunderscan,
    ctPCDHuffman,
};

struct TImageProperties {
    int version = 0;
    TImageOptions options = ioNone;
    int width = 0;
    int height = 0;
    TColorScheme colorScheme = csUnknown;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int bitsPerPixel = 0;
    TCompressionType compression = ctUnknown;
    double fileGamma = 1.0;
    double xResolution = 0; // pixels per inch
    double yResolution = 0;
    bool interlaced = false;
    bool hasAlpha = false;

    // TIFF
    uint32_t firstIFD = 0;
    uint32_t rowsPerStrip = 0;
    uint32_t tileWidth = 0;
    uint32_t tileLength = 0;
    int planarConfig = 1;
    int predictor = 1;
    bool extraSampleIsAlpha = false;
    int ycbcrSubsamplingH = 2, ycbcrSubsamplingV = 2;
    int ycbcrPositioning = 1;
    std::array<double, 3> ycbcrCoefficients{0.299, 0.587, 0.114};
    int jpegColorMode = 0;
    int jpegTablesMode = 0;

    // RLA
    bool bottomUp = false;
};

class TReaderGraphic : public TBitmap {
  public:
    TReaderGraphic() = default;

    const TImageProperties& ImageProperties() const { return properties_; }
    // Position in the stream where the picture started.
    uint64_t BasePosition() const { return basePosition_; }

    // Per format: reads the header of `data` (bytes from the picture's start) into the
    // properties record; false when the data is not of this format. `imageIndex` chooses
    // the directory (TIFF) or resolution (Photo-CD); others ignore it.
    virtual bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex);

  protected:
    TColorManager& ColorManager() { return colorManager_; }
    TImageProperties& Properties() { return properties_; }

    // Step 1: releases the current pixels and remembers the stream position (progress:
    // "Loading data...").
    void BeginLoad(TStream& stream);
    // The bytes from the picture's start to the end of the stream (steps 2-3 then work
    // on them with ByteReader).
    std::vector<uint8_t> ReadAll(TStream& stream);
    // Back to the picture's start.
    void Rewind(TStream& stream) { stream.Seek(basePosition_); }
    // Resets the record (file gamma 1.0); properties readers call it first.
    void ResetProperties() { properties_ = TImageProperties{}; }
    // Step 2: runs ReadImageProperties; false raises kInvalidImageFormat with `formatName`.
    void RequireProperties(const std::vector<uint8_t>& data, const std::string& formatName,
                           int imageIndex = 0);
    // Step 4: the converter from the properties (source scheme, bits, samples; target
    // indexed for indexed and grey sources, else BGR or BGR with alpha; 16-bit sources
    // reduced to 8 bits, big-endian samples swapped, gamma when ioUseGamma). Returns the
    // bitmap format of the target; raises the converter's errors for impossible layouts.
    TPixelFormat SetupColorManager();
    // Steps 5-6: checks the pixel budget (kInvalidImageFormat text of `formatName` when it
    // is exceeded), makes the zero-filled surface (marked as having alpha for a BGR target
    // with alpha) and, for indexed targets of grey sources, the grey palette. Other indexed
    // pictures set their palette afterwards with SetPalette.
    void CreateImage(TPixelFormat format, const std::string& formatName);
    // The surface without touching the palette rules (for readers with special cases).
    void CreateImage(int width, int height, TPixelFormat format, const std::string& formatName);
    // After the rows: ends the progress and tells subscribers the picture changed.
    void FinishLoad();

    // A ByteReader whose short reads raise "Stream read error in <format> file.".
    static ByteReader Reader(const std::vector<uint8_t>& data, const std::string& formatName);
    [[noreturn]] static void Fail(const char* text, const std::string& formatName);

  private:
    TImageProperties properties_;
    TColorManager colorManager_;
    uint64_t basePosition_ = 0;
};

} // namespace tabulonix
