// Icons: the directory check, the choice of entry, masks, and drawing at the icon's own size.
#include "codecs/formats/Icon.h"
#include "codecs/core/ByteReader.h"
#include "codecs/surface/Canvas.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tabulonix;

namespace {

// One 24-bit entry of the given size: colour `rgb` with a transparent left column.
std::vector<uint8_t> DibEntry(int size, TColor rgb)
{
    std::vector<uint8_t> e;
    ByteWriter w(e);
    w.U32LE(40);
    w.U32LE(static_cast<uint32_t>(size));
    w.U32LE(static_cast<uint32_t>(2 * size));
    w.U16LE(1);
    w.U16LE(24);
    for (int i = 0; i < 6; ++i)
        w.U32LE(0);
    size_t stride = ((size * 24 + 31) / 32) * 4, maskStride = ((size + 31) / 32) * 4;
    for (int y = 0; y < size; ++y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 1; x < size; ++x) { // the masked column stays black, as in real icons
            row[3 * x] = GetBValue(rgb);
            row[3 * x + 1] = GetGValue(rgb);
            row[3 * x + 2] = GetRValue(rgb);
        }
        w.Bytes(row.data(), row.size());
    }
    for (int y = 0; y < size; ++y) {
        std::vector<uint8_t> row(maskStride, 0);
        row[0] = 0x80; // x = 0 transparent
        w.Bytes(row.data(), row.size());
    }
    return e;
}

std::vector<uint8_t> IconFile(const std::vector<std::pair<int, TColor>>& entries, uint16_t type = 1)
{
    std::vector<std::vector<uint8_t>> images;
    for (const auto& [size, colour] : entries)
        images.push_back(DibEntry(size, colour));
    std::vector<uint8_t> f;
    ByteWriter w(f);
    w.U16LE(0);
    w.U16LE(type);
    w.U16LE(static_cast<uint16_t>(entries.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        w.U8(static_cast<uint8_t>(entries[i].first));
        w.U8(static_cast<uint8_t>(entries[i].first));
        w.U8(0);
        w.U8(0);
        w.U16LE(1);
        w.U16LE(24);
        w.U32LE(static_cast<uint32_t>(images[i].size()));
        w.U32LE(offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& img : images)
        w.Bytes(img.data(), img.size());
    return f;
}

std::unique_ptr<TIcon> Load(const std::vector<uint8_t>& bytes)
{
    auto icon = std::make_unique<TIcon>();
    TMemoryStream in(bytes);
    icon->ReadStream(in);
    return icon;
}

} // namespace

TEST(Icon, ChoosesTheEntryNearestThirtyTwo)
{
    auto icon = Load(IconFile({{16, clRed}, {48, clGreen}, {32, clBlue}}));
    EXPECT_EQ(icon->Width(), 32);
    EXPECT_EQ(icon->Height(), 32);
    EXPECT_EQ(icon->ColorImage().Pixel(5, 5), clBlue);
    auto small = Load(IconFile({{16, clRed}, {48, clGreen}}));
    EXPECT_EQ(small->Width(), 16) << "16 is as near as 48; the first wins";
}

TEST(Icon, IsDrawnAtItsOwnSizeThroughItsMask)
{
    auto icon = Load(IconFile({{32, clBlue}}));
    TBitmap big;
    big.SetSize(100, 100);
    big.Canvas().DrawScaled(TRect{0, 0, 100, 100}, icon.get());
    EXPECT_EQ(big.Pixel(0, 10), clWhite) << "masked column";
    EXPECT_EQ(big.Pixel(1, 10), clBlue);
    EXPECT_EQ(big.Pixel(31, 31), clBlue);
    EXPECT_EQ(big.Pixel(32, 31), clWhite) << "not scaled";
    TBitmap small;
    small.SetSize(16, 16);
    small.Canvas().DrawScaled(TRect{0, 0, 16, 16}, icon.get());
    EXPECT_EQ(small.Pixel(15, 15), clBlue) << "the top-left quarter fills the surface";
}

TEST(Icon, DirectoryChecks)
{
    auto bad = IconFile({{16, clRed}}, 3);
    try {
        Load(bad);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Icon image is not valid");
    }
    EXPECT_THROW(Load({0, 0, 1}), EInvalidGraphic);
    // An entry pointing past the end of the file is ignored; none left means invalid on use.
    auto f = IconFile({{16, clRed}});
    PutU32LE(&f[18], 0x7FFFFFF0);
    auto icon = Load(f);
    TBitmap target;
    target.SetSize(4, 4);
    EXPECT_THROW(target.Canvas().DrawAt(0, 0, icon.get()), EInvalidGraphic);
}

TEST(Icon, CorpusFilesReadOrFailCleanly)
{
    TABULONIX_NEED(!test::CorpusDir().empty(), "the test corpus");
    int drawn = 0;
    for (const char* folder :
         {"ico/pillow", "ico/oiio", "ico/gdk-pixbuf-fail", "ico/gdk-pixbuf-reftests"})
        for (const auto& name : test::CorpusFiles(folder, {"ico", "cur"})) {
            std::string path = test::CorpusDir() + folder + "/" + name;
            try {
                TIcon icon;
                icon.ReadFile(path);
                TBitmap target;
                target.SetSize(64, 64);
                target.Canvas().DrawAt(0, 0, &icon);
                ++drawn;
            } catch (const EInvalidGraphic& e) {
                const std::string text = e.what();
                EXPECT_TRUE(text == "Icon image is not valid" ||
                            text.starts_with("picture too large: "))
                    << path << ": " << text;
            }
        }
    EXPECT_GE(drawn, 5);
}

TEST(Icon, SingleEntryIconsMatchTheReferenceDecoder)
{
    TABULONIX_NEED(!test::CorpusDir().empty(), "the test corpus");
    for (const char* name : {"hopper.ico", "black_and_white.ico", "hopper_mask.ico"}) {
        std::string path = test::CorpusDir() + "ico/pillow/" + name;
        TIcon icon;
        icon.ReadFile(path);
        auto ref = test::DecodeWithPillow(path);
        ASSERT_TRUE(ref) << name;
        ASSERT_EQ(icon.Width(), ref->width) << name;
        const TBitmap& img = icon.ColorImage();
        int compared = 0;
        for (int y = 0; y < ref->height; ++y)
            for (int x = 0; x < ref->width; ++x) {
                const uint8_t* p = &ref->rgba[static_cast<size_t>(y * ref->width + x) * 4];
                bool opaque = !icon.Mask()[static_cast<size_t>(y * ref->width + x)];
                EXPECT_EQ(opaque, p[3] == 255) << name << " " << x << "," << y;
                if (opaque && p[3] == 255) {
                    EXPECT_EQ(img.Pixel(x, y), RGBColor(p[0], p[1], p[2]))
                        << name << " " << x << "," << y;
                    ++compared;
                }
            }
        EXPECT_GT(compared, 0) << name;
    }
}
