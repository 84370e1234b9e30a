#pragma once
#include "codecs/core/Graphic.h"
#include "codecs/surface/Bitmap.h"

#include <memory>
#include <vector>

namespace tabulonix {

// A failure reported by the JPEG library: "JPEG error #<library message code>".
class EJPEG : public EInvalidGraphic {
  public:
    using EInvalidGraphic::EInvalidGraphic;
};

// The compressed file, shared by pictures assigned from each other.
struct TJPEGData {
    ByteBuffer bytes;     // SOI .. EOI
    bool present = false; // read or encoded (an empty encoding is present but 0 bytes)
    int width = 0;        // the frame size from the header
    int height = 0;
    bool grayscale = false; // one-component file
};

enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };

// A JPEG picture over the JPEG library: keeps the compressed bytes and decodes the pixels
// on first need.
class TJPEGImage : public TGraphic {
  public:
    TJPEGImage();
    ~TJPEGImage() override;

    const char* ClassName() const override { return "TJPEGImage"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TJPEGImage>();
    }

    int Width() const override;
    int Height() const override;
    // A JPEG's size follows its data: both raise "Cannot change the size of a JPEG image".
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    bool IsEmpty() const override;

    void Paint(TCanvas& canvas, const TRect& rect) override;
    // Decodes only the rows the sample needs; nullptr once the pixels are decoded (drawing
    // them is cheaper) and for 8-bit or greyscale output, which is dithered across rows.
    bool NearestSample(int width, int height, TBitmap& sample) const override;
    void ReadStream(TStream& stream) override;
    void WriteStream(TStream& stream) override;
    void AssignFrom(const TGraphic& source) override;
    bool AssignTo(TGraphic& target) const override;

    // Compresses the held bitmap into new compressed data.
    void Encode();
    // Compresses `pixels` into new compressed data without keeping a copy of them; the
    // picture is then that data alone, as if read from a file.
    void EncodeFrom(const TBitmap& pixels);
    // Decodes the compressed data into the bitmap unless that was done already.
    void DIBNeeded() const;
    // The decoded (or assigned) pixels; nullptr when there are none yet.
    const TBitmap* Bitmap() const { return bitmap_.get(); }
    const ByteBuffer& CompressedBytes() const { return data_->bytes; }

    int Quality = 90;              // 1..100
    bool ProgressiveScans = false; // set by reading a file with several scans
    bool Grayscale = false;
    TJPEGPerformance Performance = jpBestQuality;
    TJPEGPixelFormat PixelFormat = jf24Bit;
    bool ProgressiveDisplay = false;
    int Scale = 1; // decoding scale denominator: 1, 2, 4 or 8
    bool Smoothing = true;

  private:
    void NewData();
    void Compress(const TBitmap* source);
    std::shared_ptr<TJPEGData> data_;
    mutable std::unique_ptr<TBitmap> bitmap_;
};

} // namespace tabulonix
