// Runs the batch engine on arbitrary bytes as a source file, then reads every picture it
// wrote back with our own readers: the PNG, BMP and TGA outputs must hold exactly the same
// pixels, and the GIF output those pixels reduced to the halftone palette. A source that
// opens is converted at its own size and must also read back as itself drawn on white.
#include "FuzzBudget.h"
#include "codecs/Picture.h"
#include "codecs/Registry.h"
#include "codecs/formats/Png.h"
#include "codecs/formats/Tga.h"
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/surface/Bitmap.h"
#include "codecs/surface/Canvas.h"
#include "engine/Batch.h"
#include "engine/BatchHost.h"
#include "platform/Files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace tabulonix;

namespace {

class QuietHost : public BatchHost {
  public:
    void BeginProgress(int) override {}
    void SetFileName(const std::string&) override {}
    void StepProgress() override {}
    void SetPercentText(const std::string&) override {}
    bool AbortRequested() override { return false; }
    void EndProgress() override {}
    void ShowError(const std::string&, const std::string&) override {}
    void ShowInformation(const std::string&) override {}
    void ProcessMessages() override {}
};

std::string workDir;

// The extension the engine opens the bytes by: the format their signature names, else one
// of the readable extensions picked by the first byte.
std::string ExtensionFor(const uint8_t* data, size_t size)
{
    auto starts = [&](const char* magic, size_t at = 0) {
        size_t n = std::strlen(magic);
        return size >= at + n && std::memcmp(data + at, magic, n) == 0;
    };
    if (starts("\x89PNG"))
        return "png";
    if (starts("GIF"))
        return "gif";
    if (starts("BM"))
        return "bmp";
    if (starts("\xFF\xD8"))
        return "jpg";
    if (starts("II*") || starts("MM"))
        return "tif";
    if (size > 18 && data[1] <= 1 && (data[2] % 8 >= 1 && data[2] % 8 <= 3) && data[2] <= 11)
        return "tga"; // no signature: a colour-map flag and an image type it knows
    static const std::vector<std::string> all = ReadableExtensions();
    return all[size ? data[0] % all.size() : 0];
}

TBitmap ReadBack(const std::string& path, TGraphic& reader)
{
    reader.ReadFile(path);
    TBitmap b;
    b.SetSize(reader.Width(), reader.Height());
    b.Canvas().DrawAt(0, 0, &reader);
    return b;
}

void RequireSame(const TBitmap& a, const TBitmap& b, const char* what)
{
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        std::fprintf(stderr, "%s: %dx%d read back as %dx%d\n", what, a.Width(), a.Height(),
                     b.Width(), b.Height());
        std::abort();
    }
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) {
                std::fprintf(stderr, "%s: pixel %d,%d is %06X, read back %06X\n", what, x, y,
                             static_cast<unsigned>(a.Pixel(x, y)),
                             static_cast<unsigned>(b.Pixel(x, y)));
                std::abort();
            }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tabulonix-fuzz-engine-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        std::abort();
    workDir = std::string(name.data()) + "/";
    ForceDirectories(workDir + "in/");
    ForceDirectories(workDir + "out/");
    std::atexit([] { std::system(("rm -rf '" + workDir + "'").c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name = "picture." + ExtensionFor(data, size);
    for (const char* ext : {"png", "bmp", "tga", "gif"})
        std::remove((workDir + "out/picture." + ext).c_str());
    {
        std::ofstream out(workDir + "in/" + name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // The source as the engine sees it; the oracle for a conversion at its own size.
    TPicture source;
    source.SetLimits(FuzzLimits());
    // Icons are decoded when their size is first asked for, so the size can throw too; the
    // engine asks inside its own per-file handler and reports such a file as unopenable.
    int w = 0, h = 0;
    try {
        source.OpenFile(workDir + "in/" + name);
        w = source.Width();
        h = source.Height();
    } catch (const Exception&) {
        w = h = 0;
    }
    const bool small = w > 0 && h > 0 && int64_t{w} * h <= 128 * 128;

    JobSettings s;
    s.SDir = workDir + "in/";
    s.DDir = workDir + "out/";
    s.CreateHTML = 2;
    s.KeepFormat = false;
    // Thumbnails with a frame for some inputs, conversions at full size for the others.
    const bool thumbnail = size > 0 && (data[size - 1] & 1);
    s.ToDo = thumbnail ? 0 : 1;
    s.NameFormat = "<same>";
    s.Leveys = 1 + (size > 1 ? data[size - 2] % 64 : 0);
    s.Korkeus = 1 + (size > 2 ? data[size - 3] % 64 : 0);
    s.Aspect = size > 3 ? data[size - 4] % 3 : 0;
    s.StretchSmall = size > 4 && (data[size - 5] & 1);
    s.DrawFrame = thumbnail;
    s.Size = static_cast<int16_t>(1 + (size > 5 ? data[size - 6] % 9 : 0));
    s.Color = clRed;
    SelectedFileList files;
    files.Add(name);
    QuietHost host;
    const TOutputFormat formats[] = {ofPNG, ofBMP, ofTGA, ofGIF};
    for (TOutputFormat f : formats) {
        s.Format = f;
        if (!small && f != ofPNG)
            break; // large pictures: one output is enough to exercise the engine
        // One job: a single file gains nothing from worker threads, whose start-up under
        // the sanitizers cost more than the file itself. The engine tests compare the
        // threaded runs with this plain loop.
        DoTheHonkyPonky(s, files, host, 1, FuzzLimits());
    }
    if (!small)
        return 0;

    TBitmap png, bmp, tga, gif;
    try {
        TPNGGraphic pngReader;
        pngReader.SetLimits(FuzzLimits());
        png = ReadBack(s.DDir + "picture.png", pngReader);
    } catch (const Exception&) {
        return 0; // the engine could not draw the source: nothing was written
    }
    TBitmap bmpReader;
    bmpReader.SetLimits(FuzzLimits());
    TTargaGraphic tgaReader;
    tgaReader.SetLimits(FuzzLimits());
    TGIFImage gifReader;
    gifReader.SetLimits(FuzzLimits());
    try {
        bmp = ReadBack(s.DDir + "picture.bmp", bmpReader);
        tga = ReadBack(s.DDir + "picture.tga", tgaReader);
        gif = ReadBack(s.DDir + "picture.gif", gifReader);
    } catch (const Exception& e) {
        std::fprintf(stderr, "an output of the engine does not read back: %s\n",
                     e.Message().c_str());
        std::abort();
    }
    RequireSame(png, bmp, "BMP");
    RequireSame(png, tga, "TGA");
    TBitmap reduced(png);
    reduced.SetPixelFormat(pf8bit);
    RequireSame(reduced, gif, "GIF");
    if (!thumbnail) {
        TBitmap drawn;
        drawn.SetSize(w, h);
        drawn.Canvas().DrawAt(0, 0, source.Graphic());
        RequireSame(drawn, png, "PNG");
    }
    return 0;
}
