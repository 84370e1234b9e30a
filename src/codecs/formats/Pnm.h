#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// portable bit, grey and pixel maps (P1 to P6).
class TPPMGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TPPMGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPPMGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
