#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// SGI pictures: grey, RGB and RGB with alpha, 8 or 16 bits, plain or run-length.
class TSGIGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TSGIGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TSGIGraphic>();
    }
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;
};

} // namespace tabulonix
