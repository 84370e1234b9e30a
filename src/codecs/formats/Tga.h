#pragma once
#include "codecs/formats/ReaderGraphic.h"

#include <vector>

namespace tabulonix {

// Run-length packets of TGA files, in both directions. A packet byte with the top bit set
// repeats one pixel (low 7 bits + 1) times; otherwise that many pixels follow raw.
class TTargaRLEDecoder {
  public:
    explicit TTargaRLEDecoder(int pixelBits);

    int PixelBytes() const { return pixelBytes_; }

    // Packs one row of `count` pixels; no packet reaches beyond the row.
    std::vector<uint8_t> EncodeRow(const uint8_t* pixels, int count) const;

    // Unpacks up to `count` pixels into `out` from at most `size` packed bytes and returns
    // the number of packed bytes consumed. A packet that reaches past `count` pixels is
    // kept and continues at the next call; decoding stops early when the packed bytes run
    // out (the rest of `out` is left as it was).
    size_t Decode(const uint8_t* packed, size_t size, uint8_t* out, int count);
    // Forgets a packet carried over from the previous call.
    void Reset();

  private:
    int pixelBytes_;
    int pendingRun_ = 0; // pixels still to repeat from runPixel_
    int pendingRaw_ = 0; // raw pixels still to copy
    uint8_t runPixel_[4] = {};
};

// Truevision TGA pictures: reads types 1, 2, 3 (plain) and 9, 10, 11 (run-length), writes
// run-length (or, on request, plain) colour-mapped 8-bit and true-colour files.
class TTargaGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TTargaGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TTargaGraphic>();
    }

    void ReadStream(TStream& stream) override;
    // Run-length compressed.
    void WriteStream(TStream& stream) override { WriteStream(stream, true); }
    // With `compressed` false the rows are written plainly (image types 1 and 2).
    void WriteStream(TStream& stream, bool compressed);

    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
