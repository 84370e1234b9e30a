// Every GIF of the corpus, one case each: the first frame as our reader composes it on a
// white surface against an independent decoding (the suite's expected frames, the .rgb
// dumps, or python3-pil), and the files that are broken by design against their errors.
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace tabulonix;
namespace fs = std::filesystem;

namespace {

enum class Expect {
    Pixels,     // same pixels as the reference
    Fails,      // fails with `text`
    ReadsOnly,  // reads without error; pixels not comparable (reason given)
    PaintFails, // reads, but painting fails with `text`
    Pillow,     // same pixels as python3-pil's first frame (the suite's frame is not ours)
};

struct Case {
    std::string file; // folder/name under the gif corpus
    Expect expect = Expect::Pixels;
    std::string text; // the error for Fails and PaintFails, the reason for the others
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.file;
}

// Files whose outcome differs from "same pixels as the reference", with the reason.
const std::map<std::string, Case>& Exceptions()
{
    static const std::map<std::string, Case> table = [] {
        std::map<std::string, Case> t;
        auto add = [&](const std::string& file, Expect e, const std::string& text) {
            t[file] = Case{file, e, text};
        };
        const std::string invalidData = "Invalid GIF data",
                          circular = "Circular decoder table entry",
                          premature = "Premature end of data";
        // Broken by design: the reference decoder refuses them as well.
        add("gif-test-suite/unknown-extension.gif", Expect::Fails, "Unknown extension type");
        add("gif-test-suite/invalid-code.gif", Expect::Fails, circular);
        add("gdk-pixbuf-fail/hang_114.gif", Expect::Fails, circular);
        add("gdk-pixbuf-fail/invalid.4.gif", Expect::Fails, circular);
        // Minimum code sizes of 12, 255, 143 and 59 (after a descriptor of width 0).
        add("gif-test-suite/overflow-codes.gif", Expect::Fails, invalidData);
        add("gdk-pixbuf-fail/overflow-codes.gif", Expect::Fails, invalidData);
        add("gif-test-suite/overflow-codes-max.gif", Expect::Fails, invalidData);
        add("gdk-pixbuf-fail/overflow-codes-max.gif", Expect::Fails, invalidData);
        add("pillow/decompression_bomb.gif", Expect::Fails, invalidData);
        add("pillow/zero_width.gif", Expect::Fails, invalidData);
        add("gif-test-suite/image-zero-width.gif", Expect::Fails, invalidData);
        // A local colour table cut off by the end of the file.
        add("gif-test-suite/image-zero-height.gif", Expect::Fails, premature);
        add("gif-test-suite/image-zero-size.gif", Expect::Fails, premature);
        add("gdk-pixbuf-fail/bug778584.gif", Expect::Fails, "Invalid GIF signature");
        // A 65308 x 65386 image: beyond the pixel budget.
        add("gdk-pixbuf-fail/bug785973.gif", Expect::Fails, "picture too large: 65308 × 65386");
        // Pictures without an area: the engine reports them as not opened.
        add("gif-test-suite/zero-width.gif", Expect::ReadsOnly, "0 x 1 screen");
        add("gif-test-suite/zero-height.gif", Expect::ReadsOnly, "1 x 0 screen");
        add("gif-test-suite/zero-size.gif", Expect::ReadsOnly, "0 x 0 screen");
        // Random bytes after the signature: an unknown block ends the picture, no image.
        add("gdk-pixbuf-fail/invalid.1.gif", Expect::ReadsOnly,
            "no image; the reference refuses the screen size");
        add("gdk-pixbuf-fail/invalid.2.gif", Expect::ReadsOnly,
            "no image; the reference refuses the screen size");
        add("gdk-pixbuf-fail/invalid.3.gif", Expect::ReadsOnly,
            "no image; the reference refuses the screen size");
        add("gif-test-suite/max-size.gif", Expect::ReadsOnly,
            "65535 x 65535 screen; the reference refuses it");
        // An index beyond the colour table: the reference pads its palette with greys.
        add("gif-test-suite/invalid-colors.gif", Expect::ReadsOnly,
            "index outside the colour table");
        add("pillow/no_palette.gif", Expect::PaintFails, "No global or local color table defined");
        // The suite's frame combines several images (the suite itself disables these
        // tests); the first image alone is what the reference's first frame shows.
        add("gif-test-suite/high-color.gif", Expect::Pillow, "");
        add("gif-test-suite/images-combine.gif", Expect::Pillow, "");
        add("gif-test-suite/images-overlap.gif", Expect::Pillow, "");
        add("gif-test-suite/dispose-restore-previous.gif", Expect::Pillow, "");
        return t;
    }();
    return table;
}

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (const char* folder : {"gif-test-suite", "giflib-pic", "pillow", "gdk-pixbuf-fail"})
        for (const std::string& name : test::CorpusFiles(std::string("gif/") + folder, {"gif"})) {
            std::string file = std::string(folder) + "/" + name;
            auto it = Exceptions().find(file);
            cases.push_back(it != Exceptions().end() ? it->second : Case{file, Expect::Pixels, ""});
        }
    return cases;
}

std::string CaseName(const testing::TestParamInfo<Case>& info)
{
    std::string name = info.param.file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

// RGB rows composed on white.
struct Rgb {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

Rgb OnWhite(int w, int h, const std::vector<uint8_t>& rgba)
{
    Rgb out{w, h, {}};
    out.pixels.reserve(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        int a = rgba[i + 3];
        for (int c = 0; c < 3; ++c)
            out.pixels.push_back(
                static_cast<uint8_t>((rgba[i + c] * a + 255 * (255 - a) + 127) / 255));
    }
    return out;
}

// The suite's .conf: the expected first frame, when it names one.
std::optional<Rgb> SuiteFrame(const std::string& gifPath)
{
    std::string conf = gifPath.substr(0, gifPath.size() - 4) + ".conf";
    std::ifstream in(conf);
    if (!in)
        return std::nullopt;
    std::string line, frame0;
    int w = 0, h = 0;
    bool inFrame0 = false;
    while (std::getline(in, line)) {
        if (line.rfind("[", 0) == 0)
            inFrame0 = line == "[frame0]";
        else if (line.rfind("width = ", 0) == 0 && !inFrame0)
            w = std::stoi(line.substr(8));
        else if (line.rfind("height = ", 0) == 0 && !inFrame0)
            h = std::stoi(line.substr(9));
        else if (inFrame0 && line.rfind("pixels = ", 0) == 0)
            frame0 = line.substr(9);
    }
    if (frame0.empty())
        return std::nullopt;
    std::string rgbaPath = fs::path(gifPath).parent_path().string() + "/" + frame0;
    if (!fs::exists(rgbaPath))
        return std::nullopt;
    std::vector<uint8_t> rgba = test::ReadBytes(rgbaPath);
    if (rgba.size() != static_cast<size_t>(w) * h * 4)
        return std::nullopt;
    return OnWhite(w, h, rgba);
}

// Files whose .rgb dump was checked equal to an independent decoder.
std::optional<Rgb> GiflibFrame(const std::string& gifPath, int w, int h)
{
    std::string name = fs::path(gifPath).stem().string();
    if (name == "fire" || name == "welcome2")
        return std::nullopt; // animations: the dumps are not of the first frame
    std::string rgbPath = gifPath.substr(0, gifPath.size() - 4) + ".rgb";
    if (!fs::exists(rgbPath))
        return std::nullopt;
    std::vector<uint8_t> rgb = test::ReadBytes(rgbPath);
    if (rgb.size() != static_cast<size_t>(w) * h * 3)
        return std::nullopt;
    return Rgb{w, h, rgb};
}

std::optional<Rgb> PillowFrame(const std::string& gifPath)
{
    auto ref = test::DecodeWithPillow(gifPath);
    if (!ref)
        return std::nullopt;
    return OnWhite(ref->width, ref->height, ref->rgba);
}

Rgb Render(TGIFImage& gif)
{
    TBitmap surface;
    surface.SetSize(gif.Width(), gif.Height());
    surface.Canvas().DrawAt(0, 0, &gif);
    Rgb out{gif.Width(), gif.Height(), {}};
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            TColor c = surface.Pixel(x, y);
            out.pixels.push_back(GetRValue(c));
            out.pixels.push_back(GetGValue(c));
            out.pixels.push_back(GetBValue(c));
        }
    return out;
}

size_t Differences(const Rgb& a, const Rgb& b)
{
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
        return SIZE_MAX;
    size_t n = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 3)
        n += a.pixels[i] != b.pixels[i] || a.pixels[i + 1] != b.pixels[i + 1] ||
             a.pixels[i + 2] != b.pixels[i + 2];
    return n;
}

class GifCorpus : public testing::TestWithParam<Case> {};

TEST_P(GifCorpus, FirstFrameMatchesTheReference)
{
    const Case& c = GetParam();
    std::string path = test::CorpusDir() + "gif/" + c.file;
    TGIFImage gif;
    std::string error;
    try {
        gif.ReadFile(path);
    } catch (const GIFException& e) {
        error = e.what();
    }
    if (c.expect == Expect::Fails) {
        EXPECT_EQ(error, c.text);
        return;
    }
    ASSERT_EQ(error, "") << "reading failed";
    if (c.expect == Expect::ReadsOnly || gif.Width() == 0 || gif.Height() == 0) {
        ASSERT_TRUE(c.expect == Expect::ReadsOnly)
            << "reads as " << gif.Width() << " x " << gif.Height();
        return;
    }
    std::string source = "suite";
    std::optional<Rgb> ref;
    if (c.expect != Expect::Pillow)
        ref = SuiteFrame(path);
    if (!ref) {
        source = "rgb dump";
        ref = GiflibFrame(path, gif.Width(), gif.Height());
    }
    if (!ref) {
        source = "pillow";
        ref = PillowFrame(path);
    }
    ASSERT_TRUE(ref.has_value()) << "no reference decoding";
    std::string paintError;
    Rgb ours;
    try {
        ours = Render(gif);
    } catch (const GIFException& e) {
        paintError = e.what();
    }
    if (c.expect == Expect::PaintFails) {
        EXPECT_EQ(paintError, c.text);
        return;
    }
    ASSERT_EQ(paintError, "");
    if (c.expect == Expect::Pillow && ref->width == ours.width && ref->height == ours.height) {
        // The reference fills what the first image leaves uncovered with a colour of its
        // own; ours leaves the white surface there.
        const TGIFSubImage& first = gif.Image(0);
        for (int y = 0; y < ours.height; ++y)
            for (int x = 0; x < ours.width; ++x)
                if (x < first.Left() || y < first.Top() || x >= first.Left() + first.Width() ||
                    y >= first.Top() + first.Height())
                    for (int k = 0; k < 3; ++k)
                        ref->pixels[(static_cast<size_t>(y) * ours.width + x) * 3 + k] = 255;
    }
    size_t diff = Differences(ours, *ref);
    EXPECT_EQ(diff, 0u) << source << ": ours " << ours.width << "x" << ours.height << ", reference "
                        << ref->width << "x" << ref->height;
}

INSTANTIATE_TEST_SUITE_P(Corpus, GifCorpus, testing::ValuesIn(AllCases()), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GifCorpus); // no corpus on this machine

// The suite above has no cases without the corpus; this says so (and fails in CI).
TEST(GifCorpusPresent, HasCases)
{
    TABULONIX_NEED(!AllCases().empty(), "the GIF corpus");
}

} // namespace
