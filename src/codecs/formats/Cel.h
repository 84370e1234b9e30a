#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// Autodesk Animator CEL and PIC pictures: 8-bit indices with a 6-bit palette.
class TAutodeskGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TAutodeskGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TAutodeskGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
