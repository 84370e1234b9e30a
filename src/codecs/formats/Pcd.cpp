#include "codecs/formats/Pcd.h"

#include <cstring>

namespace tabulonix {

namespace {

const char* const kPCD = "PCD";
constexpr size_t kSector = 2048;

// Where the plainly stored resolutions of an image pack start.
struct Resolution {
    size_t offset;
    int width, height;
};
constexpr Resolution kPackResolutions[] = {
    {96 * kSector, 768, 512}, // Base
    {23 * kSector, 384, 256}, // Base/4
    {4 * kSector, 192, 128},  // Base/16
};

// Overview files hold Base/16 thumbnails, each padded to whole sectors after a first
// sector of header data.
constexpr size_t kOverviewStart = kSector;
constexpr size_t kThumbnailBytes = 192 * 128 * 3 / 2;
constexpr size_t kThumbnailSectors = (kThumbnailBytes + kSector - 1) / kSector;

} // namespace

bool TPCDGraphic::ReadImageProperties(const std::vector<uint8_t>& data, int imageIndex)
{
    ResetProperties();
    const bool overview = data.size() >= 7 && std::memcmp(data.data(), "PCD_OPA", 7) == 0;
    const bool pack = data.size() >= 2048 + 3 && std::memcmp(data.data() + 2048, "PCD", 3) == 0;
    if ((!overview && !pack) || imageIndex < 0)
        return false;
    if (overview) {
        dataOffset_ =
            kOverviewStart + static_cast<size_t>(imageIndex) * kThumbnailSectors * kSector;
        storedWidth_ = 192;
        storedHeight_ = 128;
        rotation_ = 0;
    } else {
        if (imageIndex > 2)
            return false;
        const Resolution& r = kPackResolutions[imageIndex];
        dataOffset_ = r.offset;
        storedWidth_ = r.width;
        storedHeight_ = r.height;
        rotation_ = data.size() > 3586 ? data[3586] & 3 : 0;
    }
    TImageProperties& p = Properties();
    p.colorScheme = csPhotoYCC;
    p.bitsPerSample = 8;
    p.samplesPerPixel = 3;
    p.bitsPerPixel = 24;
    p.compression = ctNone;
    const bool turned = rotation_ == 1 || rotation_ == 3;
    p.width = turned ? storedHeight_ : storedWidth_;
    p.height = turned ? storedWidth_ : storedHeight_;
    return true;
}

void TPCDGraphic::ReadStream(TStream& stream)
{
    BeginLoad(stream);
    std::vector<uint8_t> data = ReadAll(stream);
    RequireProperties(data, kPCD, imageIndex_);
    TPixelFormat format = SetupColorManager();
    CreateImage(format, kPCD);

    const int w = storedWidth_, h = storedHeight_;
    const size_t pairBytes =
        static_cast<size_t>(w) * 3; // two luma rows and two half-width chroma rows
    ByteReader r = Reader(data, kPCD);
    r.Seek(dataOffset_);
    std::vector<uint8_t> ycc(static_cast<size_t>(w) * 3), bgr(static_cast<size_t>(w) * 3);
    // Turned pictures are written a pixel at a time: the rows are looked up once.
    std::vector<uint8_t*> rows(static_cast<size_t>(Height()));
    for (size_t k = 0; k < rows.size(); ++k)
        rows[k] = Row(static_cast<int>(k));
    for (int y = 0; y < h; y += 2) {
        const uint8_t* pair = r.Bytes(pairBytes);
        const uint8_t* c1 = pair + 2 * w;
        const uint8_t* c2 = c1 + w / 2;
        for (int k = 0; k < 2 && y + k < h; ++k) {
            const uint8_t* luma = pair + static_cast<size_t>(k) * w;
            // Chroma is stored at half resolution both ways: each value serves 2 x 2 pixels.
            for (int x = 0; x < w; ++x) {
                ycc[3 * x] = luma[x];
                ycc[3 * x + 1] = c1[x / 2];
                ycc[3 * x + 2] = c2[x / 2];
            }
            ColorManager().TranslateRow(ycc.data(), w, bgr.data());
            const int sy = y + k;
            for (int x = 0; x < w; ++x) {
                // Rotation 1 turns the stored picture a quarter counter-clockwise, 3 clockwise.
                int tx = x, ty = sy;
                switch (rotation_) {
                case 1:
                    tx = sy;
                    ty = w - 1 - x;
                    break;
                case 2:
                    tx = w - 1 - x;
                    ty = h - 1 - sy;
                    break;
                case 3:
                    tx = h - 1 - sy;
                    ty = x;
                    break;
                default:
                    break;
                }
                std::memcpy(rows[static_cast<size_t>(ty)] + 3 * static_cast<size_t>(tx),
                            &bgr[3 * static_cast<size_t>(x)], 3);
            }
        }
    }
    FinishLoad();
}

} // namespace tabulonix
