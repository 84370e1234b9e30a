#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// Alias/Wavefront RLA pictures: RGB (with alpha), 8 or 16 bits.
class TRLAGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TRLAGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TRLAGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
