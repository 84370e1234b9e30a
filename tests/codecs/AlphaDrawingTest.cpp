// Pictures with an alpha channel drawn onto an opaque white surface, as the batch draws
// every picture: compared with an independent blend of the same files over white.
#include "TestSupport.h"

#include "codecs/Picture.h"
#include "codecs/formats/Rla.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kW = 13, kH = 7;

// The test picture: row 0 fully transparent over black (what icons store under their
// transparent parts), row 1 opaque, the other rows every kind of partial alpha.
void Sample(int x, int y, uint8_t& r, uint8_t& g, uint8_t& b, uint8_t& a)
{
    r = static_cast<uint8_t>(y == 0 ? 0 : x * 19 + y * 3);
    g = static_cast<uint8_t>(y == 0 ? 0 : 255 - x * 11);
    b = static_cast<uint8_t>(y == 0 ? 0 : (x + y) * 29);
    a = static_cast<uint8_t>(y == 0 ? 0 : y == 1 ? 255 : (x * 41 + y * 17) % 256);
}

const char* kWriteWithPillow = "import sys\n"
                               "from PIL import Image\n"
                               "w, h = int(sys.argv[1]), int(sys.argv[2])\n"
                               "data = sys.stdin.buffer.read()\n"
                               "im = Image.frombytes('RGBA', (w, h), data)\n"
                               "for path in sys.argv[3:]:\n"
                               "    im.save(path)\n";

const char* kOverWhiteWithPillow =
    "import sys\n"
    "from PIL import Image\n"
    "im = Image.open(sys.argv[1]).convert('RGBA')\n"
    "white = Image.new('RGBA', im.size, (255, 255, 255, 255))\n"
    "sys.stdout.buffer.write(Image.alpha_composite(white, im).convert('RGB').tobytes())\n";

Bytes SampleRgba()
{
    Bytes rgba;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t r, g, b, a;
            Sample(x, y, r, g, b, a);
            rgba.insert(rgba.end(), {r, g, b, a});
        }
    return rgba;
}

std::string Python(const char* script, const std::string& args, const std::string& dir,
                   const Bytes& input = {})
{
    WriteText(dir + "script.py", script);
    WriteBytes(dir + "stdin", input);
    CommandResult r = RunCommand("/usr/bin/python3 " + ShellQuote(dir + "script.py") + " " + args +
                                 " <" + ShellQuote(dir + "stdin"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

void Put16(Bytes& b, uint32_t v, bool bigEndian)
{
    b.push_back(static_cast<uint8_t>(bigEndian ? v >> 8 : v));
    b.push_back(static_cast<uint8_t>(bigEndian ? v : v >> 8));
}

void Put32(Bytes& b, uint32_t v, bool bigEndian)
{
    Put16(b, bigEndian ? v >> 16 : v & 0xFFFF, bigEndian);
    Put16(b, bigEndian ? v & 0xFFFF : v >> 16, bigEndian);
}

// A BMP with a version 4 header whose masks declare the fourth byte as alpha.
Bytes BmpWithAlphaMask()
{
    Bytes f = {'B', 'M'};
    const uint32_t image = 4 * kW * kH;
    Put32(f, 14 + 108 + image, false);
    Put32(f, 0, false);
    Put32(f, 14 + 108, false);
    for (uint32_t v : {108u, uint32_t(kW), uint32_t(kH)})
        Put32(f, v, false);
    Put16(f, 1, false);
    Put16(f, 32, false);
    for (uint32_t v : {3u, image, 0u, 0u, 0u, 0u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu,
                       0xFF000000u, 0x73524742u})
        Put32(f, v, false);
    f.resize(14 + 108, 0); // colour space end points and gamma
    for (int y = kH - 1; y >= 0; --y)
        for (int x = 0; x < kW; ++x) {
            uint8_t r, g, b, a;
            Sample(x, y, r, g, b, a);
            f.insert(f.end(), {b, g, r, a});
        }
    return f;
}

// An uncompressed RGB PSD with a fourth channel, its alpha.
Bytes PsdWithFourChannels()
{
    Bytes f = {'8', 'B', 'P', 'S'};
    Put16(f, 1, true);
    f.resize(f.size() + 6, 0);
    Put16(f, 4, true);
    Put32(f, kH, true);
    Put32(f, kW, true);
    Put16(f, 8, true);
    Put16(f, 3, true);
    for (int i = 0; i < 3; ++i)
        Put32(f, 0, true); // colour mode data, image resources, layers
    Put16(f, 0, true);
    for (int channel = 0; channel < 4; ++channel)
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                uint8_t v[4];
                Sample(x, y, v[0], v[1], v[2], v[3]);
                f.push_back(v[channel]);
            }
    return f;
}

TBitmap DrawnOnWhite(TGraphic& picture)
{
    TBitmap surface;
    surface.SetWidth(picture.Width());
    surface.SetHeight(picture.Height());
    surface.Canvas().DrawAt(0, 0, &picture);
    return surface;
}

// Largest difference of any channel of any pixel from the RGB rows.
int Difference(const TBitmap& drawn, const std::string& rgb)
{
    int worst = 0;
    for (int y = 0; y < drawn.Height(); ++y)
        for (int x = 0; x < drawn.Width(); ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (y * kW + x);
            TColor c = drawn.Pixel(x, y);
            worst = std::max({worst, std::abs(GetRValue(c) - p[0]), std::abs(GetGValue(c) - p[1]),
                              std::abs(GetBValue(c) - p[2])});
        }
    return worst;
}

TEST(AlphaDrawing, EveryReaderWithAlphaBlendsOverWhite)
{
    TempDir dir;
    const std::vector<std::string> written = {"alpha.png", "alpha.tga", "alpha.sgi", "alpha.tif"};
    std::string paths;
    for (const auto& name : written)
        paths += " " + ShellQuote(dir.File(name));
    Python(kWriteWithPillow, std::to_string(kW) + " " + std::to_string(kH) + paths, dir.Path(),
           SampleRgba());
    WriteBytes(dir.File("alpha.bmp"), BmpWithAlphaMask());
    WriteBytes(dir.File("alpha.psd"), PsdWithFourChannels());

    std::vector<std::string> files = written;
    files.push_back("alpha.bmp");
    files.push_back("alpha.psd");
    for (const auto& name : files) {
        SCOPED_TRACE(name);
        std::string expected = Python(kOverWhiteWithPillow, ShellQuote(dir.File(name)), dir.Path());
        ASSERT_EQ(expected.size(), size_t{3 * kW * kH});
        TPicture picture;
        picture.OpenFile(dir.File(name));
        ASSERT_EQ(picture.Width(), kW);
        ASSERT_EQ(picture.Height(), kH);
        TBitmap drawn = DrawnOnWhite(*picture.Graphic());
        EXPECT_LE(Difference(drawn, expected), 1);
        EXPECT_EQ(drawn.Pixel(4, 0), clWhite) << "transparent black shows the white beneath";
        // Decoding keeps the alpha as it was: the picture itself still holds it.
        auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
        ASSERT_TRUE(bitmap);
        EXPECT_TRUE(bitmap->HasAlphaChannel());
        EXPECT_EQ(bitmap->Pixel(4, 0), clBlack);
    }
}

// Alpha over something other than white, scaled: blended with what lies beneath.
TEST(AlphaDrawing, ScaledDrawingBlendsOverTheSurface)
{
    TBitmap picture;
    picture.NewImage(2, 1, pf32bit);
    uint8_t* row = picture.Row(0);
    const uint8_t pixels[] = {0, 0, 255, 128, 255, 0, 0, 0}; // half red, invisible blue
    std::copy(std::begin(pixels), std::end(pixels), row);
    picture.SetAlphaChannel(true);
    TBitmap surface;
    surface.SetSize(4, 2);
    surface.Canvas().Brush.Color = clLime;
    surface.Canvas().FillRect(TRect{0, 0, 4, 2});
    surface.Canvas().DrawScaled(TRect{0, 0, 4, 2}, &picture);
    EXPECT_EQ(surface.Pixel(0, 0), RGBColor(128, 127, 0));
    EXPECT_EQ(surface.Pixel(1, 1), RGBColor(128, 127, 0));
    EXPECT_EQ(surface.Pixel(3, 1), clLime);

    // Without the alpha flag the same bytes are copied opaque, as before.
    picture.SetAlphaChannel(false);
    surface.Canvas().DrawScaled(TRect{0, 0, 4, 2}, &picture);
    EXPECT_EQ(surface.Pixel(0, 0), clRed);
    EXPECT_EQ(surface.Pixel(3, 1), clBlue);
}

// 32-bit pictures whose fourth byte is not declared alpha stay opaque: the program's own
// BMP output (fourth byte 0) and a TGA without attribute bits.
TEST(AlphaDrawing, FourthBytesThatAreNotAlphaStayOpaque)
{
    TempDir dir;
    TBitmap source;
    source.SetSize(3, 2);
    source.SetPixel(1, 1, RGBColor(10, 20, 30));
    source.WriteFile(dir.File("plain.bmp"));
    TPicture bmp;
    bmp.OpenFile(dir.File("plain.bmp"));
    EXPECT_EQ(DrawnOnWhite(*bmp.Graphic()).Pixel(1, 1), RGBColor(10, 20, 30));

    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0x20, 30, 20, 10, 0};
    WriteBytes(dir.File("plain.tga"), tga);
    TPicture targa;
    targa.OpenFile(dir.File("plain.tga"));
    EXPECT_EQ(DrawnOnWhite(*targa.Graphic()).Pixel(0, 0), RGBColor(10, 20, 30));
}

// Readers without a reference decoder here: the decoded alpha blended by hand.
TEST(AlphaDrawing, RlaAlphaBlendsOverWhite)
{
    TRLAGraphic rla;
    rla.ReadFile(TABULONIX_TEST_DATA "/seeds/rgba-16x8.rla");
    ASSERT_TRUE(rla.HasAlphaChannel());
    TBitmap drawn = DrawnOnWhite(rla);
    int partial = 0;
    for (int y = 0; y < rla.Height(); ++y)
        for (int x = 0; x < rla.Width(); ++x) {
            const uint8_t* p = rla.ConstRow(y) + 4 * x;
            double a = p[3] / 255.0;
            partial += p[3] > 0 && p[3] < 255;
            TColor c = drawn.Pixel(x, y);
            EXPECT_NEAR(GetBValue(c), p[0] * a + 255 * (1 - a), 0.5) << x << "," << y;
            EXPECT_NEAR(GetGValue(c), p[1] * a + 255 * (1 - a), 0.5) << x << "," << y;
            EXPECT_NEAR(GetRValue(c), p[2] * a + 255 * (1 - a), 0.5) << x << "," << y;
        }
    EXPECT_GT(partial, 0);
}

} // namespace
