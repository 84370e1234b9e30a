#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// Paint Shop Pro pictures (major version 3 and later): the first raster layer, 1-, 4- or
// 8-bit indexed or grey, or 24-bit colour with its transparency as alpha; channels plain,
// run-length or deflate coded.
class TPSPGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TPSPGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TPSPGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
