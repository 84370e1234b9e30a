#pragma once
#include "codecs/surface/Bitmap.h"

#include <array>
#include <memory>
#include <vector>

namespace tabulonix {

class TPNGWriter;

// One chunk of the file being written.
class TChunk {
  public:
    virtual ~TChunk() = default;
    virtual const char* Type() const = 0;
    virtual std::unique_ptr<TChunk> Clone() const = 0;
    // Writes the chunk (or, for image data, the chunks) to the stream.
    virtual void Write(TStream& stream, const TPNGWriter& writer) const;

  protected:
    virtual std::vector<uint8_t> Data(const TPNGWriter& writer) const;
};

// Writes one chunk: length, type, data and CRC.
void WritePngChunk(TStream& stream, const char* type, const uint8_t* data, size_t size);

// The header and the pixels, held in the header's own format: 24 bits (blue, green, red)
// for RGB, or 1, 4 or 8 bits with a colour table for palette pictures.
class TChunkIHDR : public TChunk {
  public:
    const char* Type() const override { return "IHDR"; }
    std::unique_ptr<TChunk> Clone() const override;

    uint32_t width = 0, height = 0;
    uint8_t bitDepth = 8, colorType = 2, compression = 0, filter = 0, interlace = 0;
    TBitmap pixels;

  protected:
    std::vector<uint8_t> Data(const TPNGWriter& writer) const override;
};

class TChunkPLTE : public TChunk {
  public:
    const char* Type() const override { return "PLTE"; }
    std::unique_ptr<TChunk> Clone() const override { return std::make_unique<TChunkPLTE>(*this); }
    std::vector<RGBQuad> entries;

  protected:
    std::vector<uint8_t> Data(const TPNGWriter& writer) const override;
};

class TChunktRNS : public TChunk {
  public:
    const char* Type() const override { return "tRNS"; }
    std::unique_ptr<TChunk> Clone() const override { return std::make_unique<TChunktRNS>(*this); }
    std::vector<uint8_t> data;

  protected:
    std::vector<uint8_t> Data(const TPNGWriter&) const override { return data; }
};

class TChunkIDAT : public TChunk {
  public:
    const char* Type() const override { return "IDAT"; }
    std::unique_ptr<TChunk> Clone() const override { return std::make_unique<TChunkIDAT>(*this); }
    void Write(TStream& stream, const TPNGWriter& writer) const override;
};

class TChunkIEND : public TChunk {
  public:
    const char* Type() const override { return "IEND"; }
    std::unique_ptr<TChunk> Clone() const override { return std::make_unique<TChunkIEND>(*this); }
};

enum TPNGFilter { pfNoFilter, pfSub, pfUp, pfAverage, pfPaeth };

// The engine's PNG output: AssignFrom a bitmap, set DeflateLevel, WriteFile. Rows are
// written with the Sub filter into one zlib stream split over IDAT chunks of the maximum
// size.
class TPNGWriter : public TGraphic {
  public:
    TPNGWriter();
    ~TPNGWriter() override;

    const char* ClassName() const override { return "TPNGWriter"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPNGWriter>();
    }

    int Width() const override;
    int Height() const override;
    void Paint(TCanvas& canvas, const TRect& rect) override;
    void ReadStream(TStream& stream) override;
    void WriteStream(TStream& stream) override;
    void AssignFrom(const TGraphic& source) override;

    int DeflateLevel() const { return deflateLevel_; }
    void SetDeflateLevel(int level);
    size_t MaxIdatSize() const { return maxIdatSize_; }
    void SetMaxIdatSize(size_t size); // never below 65535
    int InterlaceMethod() const { return interlaceMethod_; }

    const std::vector<std::unique_ptr<TChunk>>& Chunks() const { return chunks_; }
    const TChunkIHDR* Header() const;
    const std::array<uint8_t, 256>& InverseGamma() const { return inverseGamma_; }

  private:
    void ClearChunks();

    std::vector<std::unique_ptr<TChunk>> chunks_;
    int deflateLevel_ = 7;
    std::vector<TPNGFilter> filters_{pfSub};
    int interlaceMethod_ = 0;
    size_t maxIdatSize_ = 65535;
    std::array<uint8_t, 256> gamma_{}, inverseGamma_{};
};

} // namespace tabulonix
