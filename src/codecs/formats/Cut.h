#pragma once
#include "codecs/formats/ReaderGraphic.h"

namespace tabulonix {

// Dr. Halo CUT pictures: 8-bit indices, one run-length packet sequence per row; the
// colours come from the ".pal" file of the same name, or a grey ramp without one.
class TCUTGraphic : public TReaderGraphic {
  public:
    const char* ClassName() const override { return "TCUTGraphic"; }
    std::unique_ptr<TGraphic> NewInstance() const override
    {
        return std::make_unique<TCUTGraphic>();
    }
    // Remembers the path so that the palette file beside it can be found.
    void ReadFile(const std::string& path) override;
    void ReadStream(TStream& stream) override;
    bool ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex) override;

    // Reads a ".pal" palette (512-byte blocks; count at offset 12 plus 1; entries from
    // offset 40, three 16-bit values each, low bytes used, never split across blocks).
    static TPalette ReadPaletteFile(const std::vector<uint8_t>& bytes);

  private:
    std::string path_;
};

} // namespace tabulonix
