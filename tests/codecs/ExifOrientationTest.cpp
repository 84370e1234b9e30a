#include "codecs/formats/ExifOrientation.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

// A big-endian TIFF block whose first directory holds one entry.
std::vector<uint8_t> TiffBlock(uint16_t tag, uint16_t type, uint32_t count, uint16_t value)
{
    return {'M',
            'M',
            0,
            42,
            0,
            0,
            0,
            8, // header, directory at 8
            0,
            1, // one entry
            static_cast<uint8_t>(tag >> 8),
            static_cast<uint8_t>(tag),
            0,
            static_cast<uint8_t>(type),
            0,
            0,
            0,
            static_cast<uint8_t>(count),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value),
            0,
            0,
            0,
            0,
            0,
            0};
}

// A JPEG start: SOI, an APP0, then APP1 "Exif" holding `tiff`, then SOS.
std::vector<uint8_t> JpegWithExif(const std::vector<uint8_t>& tiff)
{
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F'};
    const size_t length = 2 + 6 + tiff.size();
    out.insert(out.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8),
                           static_cast<uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0});
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), {0xFF, 0xDA, 0, 2});
    return out;
}

TEST(ExifOrientation, ReadsJpegAndTiffInEitherByteOrderAndRejectsOddTags)
{
    TempDir dir;
    auto orientation = [&](const std::vector<uint8_t>& bytes) {
        WriteBytes(dir.File("x"), bytes);
        return ReadExifOrientation(dir.File("x"));
    };
    EXPECT_EQ(orientation(JpegWithExif(TiffBlock(0x0112, 3, 1, 8))), 8);
    EXPECT_EQ(orientation(TiffBlock(0x0112, 3, 1, 6)), 6);
    EXPECT_EQ(orientation(TiffBlock(0x0112, 3, 1, 9)), 1) << "no such orientation";
    EXPECT_EQ(orientation(TiffBlock(0x0112, 4, 1, 6)), 1) << "not a SHORT";
    EXPECT_EQ(orientation(TiffBlock(0x0110, 3, 1, 6)), 1) << "another tag";
    std::vector<uint8_t> little = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                   0,   1,   0,  0, 0, 3, 0, 0, 0, 0, 0,    0,    0};
    EXPECT_EQ(orientation(little), 3);

    // A directory that runs past the Exif segment, or past the file, is not read.
    std::vector<uint8_t> cut = TiffBlock(0x0112, 3, 1, 6);
    cut[9] = 200; // 200 entries
    EXPECT_EQ(orientation(JpegWithExif(cut)), 1);
    EXPECT_EQ(orientation(cut), 1);
    EXPECT_EQ(orientation({0xFF, 0xD8, 0xFF}), 1);
    EXPECT_EQ(orientation({}), 1);
    EXPECT_EQ(ReadExifOrientation(dir.File("absent")), 1);
}

} // namespace
