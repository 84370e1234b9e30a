#pragma once
#include "codecs/formats/Tiff.h"

namespace tabulonix {

// Encapsulated PostScript with a binary preview header: the TIFF preview is shown.
class TEPSGraphic : public TTIFFGraphic {
  public:
    const char* ClassName() const override { return "TEPSGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TEPSGraphic>();
    }
    void ReadStream(TStream& stream) override;
};

} // namespace tabulonix
