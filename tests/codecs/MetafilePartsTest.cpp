// The pieces of the metafile player that stand on their own: the enhanced header reader and
// the bitmap decoder of records.
#include "codecs/core/ByteReader.h"
#include "codecs/metafile/EmfHeader.h"
#include "codecs/metafile/Metafile.h"
#include "codecs/metafile/MetafileBitmaps.h"
#include "codecs/metafile/MetafileRecords.h"
#include "codecs/surface/Bitmap.h"

#include <gtest/gtest.h>

using namespace tabulonix;
using namespace tabulonix::metafile;

namespace {

// A header as a recorder writes it, values chosen so that no two fields look alike.
std::vector<uint8_t> HeaderBytes()
{
    std::vector<uint8_t> h(EmfHeader::Size, 0);
    PutU32LE(h.data(), EMR_HEADER);
    PutU32LE(h.data() + 4, 108);
    for (int i = 0; i < 4; ++i)
        PutU32LE(h.data() + 8 + 4 * i, static_cast<uint32_t>(-10 + i));
    for (int i = 0; i < 4; ++i)
        PutU32LE(h.data() + 24 + 4 * i, static_cast<uint32_t>(100 * (i + 1)));
    PutU32LE(h.data() + 40, EmfSignature);
    PutU32LE(h.data() + 48, 4242);
    h[56] = 7;
    PutU32LE(h.data() + 72, 1280);
    PutU32LE(h.data() + 76, 960);
    PutU32LE(h.data() + 80, 320);
    PutU32LE(h.data() + 84, 240);
    return h;
}

} // namespace

TEST(EmfHeader, ReadsEveryFieldFromItsPlace)
{
    std::vector<uint8_t> bytes = HeaderBytes();
    std::optional<EmfHeader> h = ReadEmfHeader(bytes.data(), bytes.size());
    ASSERT_TRUE(h);
    EXPECT_TRUE(h->HasSignature());
    EXPECT_TRUE(h->HasReferenceDevice());
    EXPECT_EQ(h->recordSize, 108u);
    EXPECT_EQ(h->bounds.left, -10);
    EXPECT_EQ(h->bounds.bottom, -7);
    EXPECT_EQ(h->frame.left, 100);
    EXPECT_EQ(h->frame.top, 200);
    EXPECT_EQ(h->frame.right, 300);
    EXPECT_EQ(h->frame.bottom, 400);
    EXPECT_EQ(h->totalSize, 4242u);
    EXPECT_EQ(h->handles, 7);
    EXPECT_EQ(h->devicePixelsX, 1280);
    EXPECT_EQ(h->devicePixelsY, 960);
    EXPECT_EQ(h->deviceMillimetresX, 320);
    EXPECT_EQ(h->deviceMillimetresY, 240);
}

TEST(EmfHeader, TruncatedOrLyingHeaders)
{
    std::vector<uint8_t> bytes = HeaderBytes();
    EXPECT_FALSE(ReadEmfHeader(bytes.data(), EmfHeader::Size - 1));

    // A wrong type or signature is read as it stands and only fails the signature check.
    std::vector<uint8_t> wrongType = bytes;
    PutU32LE(wrongType.data(), EMR_EOF);
    EXPECT_FALSE(ReadEmfHeader(wrongType.data(), wrongType.size())->HasSignature());
    std::vector<uint8_t> wrongSignature = bytes;
    wrongSignature[40] ^= 1;
    EXPECT_FALSE(ReadEmfHeader(wrongSignature.data(), wrongSignature.size())->HasSignature());

    // A reference device with a zero or negative value is not one to go by.
    for (size_t offset : {72, 76, 80, 84})
        for (uint32_t value : {0u, 0xFFFFFFFFu}) {
            std::vector<uint8_t> lying = bytes;
            PutU32LE(lying.data() + offset, value);
            EXPECT_FALSE(ReadEmfHeader(lying.data(), lying.size())->HasReferenceDevice())
                << offset << " " << value;
        }
}

TEST(EmfHeader, LyingReferenceDeviceFallsBackOnTheScreen)
{
    // The recorded metafile keeps its size in pixels whatever its header claims, once the
    // claim is one that cannot be a device.
    TBitmap picture;
    picture.SetSize(40, 20);
    TMetafile recorded;
    recorded.SetHeight(20);
    recorded.SetWidth(40);
    {
        TMetafileCanvas canvas(recorded);
        canvas.DrawAt(0, 0, &picture);
    }
    std::vector<uint8_t> bytes = recorded.EnhancedBytes();
    PutU32LE(bytes.data() + 80, 0xFFFFFFFFu); // millimetres: -1
    TMetafile lying;
    TMemoryStream in(bytes);
    lying.ReadStream(in);
    EXPECT_EQ(lying.Width(), recorded.Width());
    EXPECT_EQ(lying.Height(), recorded.Height());
}

TEST(MetafileBitmaps, InformationBlocksTooShortForTheirFieldsAreRefused)
{
    // Header sizes between the core's 12 bytes and 16 declare fields the block does not
    // hold; the block is exactly as long as its header, so reading on would leave it.
    for (uint32_t headerSize : {13u, 14u, 15u}) {
        std::vector<uint8_t> block(headerSize, 0);
        PutU32LE(block.data(), headerSize);
        PutU32LE(block.data() + 4, 1);
        PutU32LE(block.data() + 8, 1);
        TBitmap out;
        EXPECT_FALSE(DecodeDib(block.data(), block.size(), nullptr, 0, out)) << headerSize;
    }
    // The smallest block that is a picture: a core header and one 24-bit pixel.
    std::vector<uint8_t> core(12 + 4, 0);
    PutU32LE(core.data(), 12);
    PutU16LE(core.data() + 4, 1);
    PutU16LE(core.data() + 6, 1);
    PutU16LE(core.data() + 8, 1);
    PutU16LE(core.data() + 10, 24);
    core[12] = 0x30, core[13] = 0x20, core[14] = 0x10; // blue, green, red
    TBitmap out;
    ASSERT_TRUE(DecodeDib(core.data(), core.size(), nullptr, 0, out));
    EXPECT_EQ(out.Pixel(0, 0), RGBColor(0x10, 0x20, 0x30));
    EXPECT_TRUE(DibBottomUp(core.data()));
}
