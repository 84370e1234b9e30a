#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// Kodak Photo-CD image packs (the plainly stored resolutions: Base, Base/4, Base/16) and
// overview files (their Base/16 thumbnails).
class TPCDGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TPCDGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPCDGraphic>();
    }
    void ReadStream(TStream& stream) override;
    // imageIndex 0 is the Base resolution (768 x 512), 1 Base/4, 2 Base/16; in an
    // overview file it is the number of the thumbnail.
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;

    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index) { imageIndex_ = index; }

  private:
    int imageIndex_ = 0;
    size_t dataOffset_ = 0;
    int storedWidth_ = 0, storedHeight_ = 0;
    int rotation_ = 0;
};

} // namespace tabulonix
