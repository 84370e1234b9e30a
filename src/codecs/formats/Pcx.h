#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// ZSoft Paintbrush pictures (pcx, pcc, scr): 1, 2, 4 and 8 bits in one plane, up to four
// one-bit planes, three (or four) 8-bit colour planes; plain or run-length coded.
class TPCXGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TPCXGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPCXGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
