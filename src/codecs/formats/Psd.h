#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// Photoshop pictures: the merged image in every colour mode, 8 or 16 bits.
class TPSDGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TPSDGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPSDGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
