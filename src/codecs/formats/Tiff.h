#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// TIFF pictures (tif, tiff, fax): either byte order, one directory chosen by index, strips
// of grey, RGB, palette, CMYK, YCbCr or CIE L*a*b* samples of 1 to 16 bits, stored plainly
// or with PackBits, CCITT group 3 or modified Huffman, deflate, JPEG or Thunderscan.
class TTIFFGraphic : public TReaderGraphic {
  public:
    TTIFFGraphic();
    ~TTIFFGraphic() override;
    const char* ClassName() const override { return "TTIFFGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TTIFFGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;

    // Which directory ReadStream decodes (0 unless set).
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index) { imageIndex_ = index; }

  protected:
    // Decodes the TIFF file held in `data` (bytes of the TIFF alone).
    void LoadTIFF(const std::vector<uint8_t>& data);

  private:
    struct Directory;
    std::unique_ptr<Directory> directory_;
    int imageIndex_ = 0;
};

} // namespace tabulonix
