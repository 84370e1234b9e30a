#include "codecs/surface/BoxScale.h"
#include "TestSupport.h"
#include "codecs/Picture.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

// Pillow's box filter takes, as this does, the source pixels whose centres lie inside each
// destination pixel; it keeps its weights in fixed point, so values may differ by one.
TEST(BoxScale, AveragesLikePillowsBoxFilter)
{
    TABULONIX_NEED(HavePillow(), "Pillow (python3-pil)");
    TempDir dir;
    const char* script = R"(
import random, sys
from PIL import Image
random.seed(11)
img = Image.new('RGB', (1000, 431))
px = img.load()
for y in range(431):
    for x in range(1000):
        # fine lines, gradients and noise: what nearest sampling gets wrong
        line = 255 if x % 7 == 0 or y % 5 == 0 else 0
        px[x, y] = (line, (x + y) % 256, random.randrange(256))
img.save(sys.argv[1] + '/in.png')
for w, h in ((137, 59), (500, 431), (1000, 100), (333, 1000)):
    img.resize((w, h), Image.BOX).save(f'{sys.argv[1]}/box-{w}x{h}.png')
)";
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + ShellQuote(script) + " " + ShellQuote(dir.Path()))
                  .exitCode,
              0);
    TPicture picture;
    picture.OpenFile(dir.File("in.png"));
    const TBitmap full = TrueColorCopy(*picture.Graphic());
    struct Size {
        int w, h;
    };
    // Both sides shrinking by a fraction, one side only, and one side growing.
    for (Size size : {Size{137, 59}, Size{500, 431}, Size{1000, 100}, Size{333, 1000}}) {
        const std::string name = "box-" + std::to_string(size.w) + "x" + std::to_string(size.h);
        auto expected = DecodeWithPillow(dir.File(name + ".png"));
        ASSERT_TRUE(expected) << name;
        const TBitmap ours = BoxScaled(full, size.w, size.h);
        ASSERT_EQ(ours.Width(), size.w);
        ASSERT_EQ(ours.Height(), size.h);
        int worst = 0;
        for (int y = 0; y < size.h; ++y)
            for (int x = 0; x < size.w; ++x) {
                const TColor c = ours.Pixel(x, y);
                const uint8_t* ref = &expected->rgba[(static_cast<size_t>(y) * size.w + x) * 4];
                worst =
                    std::max({worst, std::abs(GetRValue(c) - ref[0]),
                              std::abs(GetGValue(c) - ref[1]), std::abs(GetBValue(c) - ref[2])});
            }
        EXPECT_LE(worst, 1) << name;
    }
}

} // namespace
