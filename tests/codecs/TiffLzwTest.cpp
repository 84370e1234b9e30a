// LZW TIFF files written by three other programs, read here and by netpbm's tifftopnm.
#include "TestSupport.h"
#include "codecs/formats/Tiff.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

TEST(TiffLzw, FilesOfThreeWritersDecodeLikeTifftopnm)
{
    TABULONIX_NEED(HavePillow(), "Pillow (python3-pil)");
    RequireTool("tifftopnm", "netpbm");
    RequireTool("tiffcp", "libtiff-tools");
    RequireTool("/usr/bin/convert-im6.q16", "imagemagick");
    TempDir dir;
    const std::string d = ShellQuote(dir.Path());
    // A pattern with smooth runs (long LZW strings, more than 4096 codes so the table is
    // cleared) and noise (short strings).
    const char* make = R"(
import random, sys
from PIL import Image
random.seed(7)
img = Image.new('RGB', (301, 123))
px = img.load()
for y in range(123):
    for x in range(301):
        noisy = (x // 16 + y // 16) % 3 == 0
        px[x, y] = ((x * 3 + y) % 256, (y * 5) % 256, random.randrange(256) if noisy else 90)
img.save(sys.argv[1] + '/pattern.png')
img.save(sys.argv[1] + '/pillow-rgb.tif', compression='tiff_lzw')
img.convert('L').save(sys.argv[1] + '/pillow-grey.tif', compression='tiff_lzw')
)";
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + ShellQuote(make) + " " + d).exitCode, 0);
    const std::string im = "/usr/bin/convert-im6.q16 " + d + "pattern.png -compress LZW ";
    for (const std::string& command :
         {im + "-define tiff:predictor=2 " + d + "magick-pred8.tif",
          im + "-define tiff:predictor=1 -define tiff:rows-per-strip=10 " + d + "magick-strips.tif",
          im + "-depth 16 -define tiff:predictor=2 -define tiff:rows-per-strip=7 " + d +
              "magick-pred16.tif",
          "tiffcp -c lzw:2 -r 5 " + d + "pillow-rgb.tif " + d + "tiffcp-pred8-strips.tif",
          "tiffcp -c lzw -r 1 " + d + "pillow-grey.tif " + d + "tiffcp-grey-rows.tif",
          "tiffcp -c lzw:2 -r 3 " + d + "magick-pred16.tif " + d + "tiffcp-pred16-strips.tif"})
        ASSERT_EQ(RunCommand(command).exitCode, 0) << command;

    for (const char* name :
         {"pillow-rgb", "pillow-grey", "magick-pred8", "magick-strips", "magick-pred16",
          "tiffcp-pred8-strips", "tiffcp-grey-rows", "tiffcp-pred16-strips"}) {
        const std::string tif = dir.Path() + name + ".tif", ppm = dir.Path() + name + ".ppm";
        ASSERT_EQ(RunCommand("tifftopnm " + ShellQuote(tif) + " 2>/dev/null | pamdepth 255 > " +
                             ShellQuote(ppm))
                      .exitCode,
                  0)
            << name;
        auto expected = DecodeWithPillow(ppm);
        ASSERT_TRUE(expected) << name;
        TTIFFGraphic tiff;
        ASSERT_NO_THROW(tiff.ReadFile(tif)) << name;
        ASSERT_EQ(tiff.Width(), expected->width) << name;
        ASSERT_EQ(tiff.Height(), expected->height) << name;
        // Sixteen-bit samples are reduced to eight bits here and by pamdepth, which may
        // round the other way.
        const int tolerance = std::string(name).find("16") != std::string::npos ? 1 : 0;
        int worst = 0;
        for (int y = 0; y < tiff.Height(); ++y)
            for (int x = 0; x < tiff.Width(); ++x) {
                const TColor c = tiff.Pixel(x, y);
                const uint8_t* ref =
                    &expected->rgba[(static_cast<size_t>(y) * tiff.Width() + x) * 4];
                worst =
                    std::max({worst, std::abs(GetRValue(c) - ref[0]),
                              std::abs(GetGValue(c) - ref[1]), std::abs(GetBValue(c) - ref[2])});
            }
        EXPECT_LE(worst, tolerance) << name;
    }
}

} // namespace
