// The per-format output step of the batch engine.
//
// How to hook a format in (one place per format, in this file only):
//   1. include the codec's header below;
//   2. add its encoder object to `Encoders` (made once per run and reused for every file:
//      giving it a new picture replaces what it held);
//   3. fill in the format's Save... function with the steps of its row in the output table
//      (AssignFrom the surface, set the options from `settings`, WriteFile);
//   4. return true for it in Available().
// A format whose function still throws NotAvailable fails each file (the engine shows
// "Error saving file %s!" for it and goes on).
#include "engine/OutputEncoders.h"

#include "codecs/Bitmap.h"
#include "codecs/GifCodec.h"
#include "codecs/Metafile.h"
#include "codecs/Jpeg.h"
#include "codecs/PngWriter.h"
#include "codecs/Tga.h"
#include "engine/DestinationNaming.h"
#include "engine/MetafileOutput.h"
#include "platform/Exception.h"

namespace tabulonix {

struct TOutputEncoders::Encoders {
    TJPEGImage jpeg;
    TBitmap bmp;
    TGIFImage gif;
    TPNGWriter png;
    TMetafile metafile; // one object for both forms and every file
    TTargaGraphic tga;
};

namespace {

using Encoders = TOutputEncoders::Encoders;

[[noreturn, maybe_unused]] void NotAvailable(const char* format)
{
    throw EInvalidGraphic(std::string("Writing ") + format + " files is not available in this build");
}

void SaveJPEG(Encoders& e, TBitmap& surface, const std::string& path, const JobSettings& s)
{
    e.jpeg.AssignFrom(surface);
    e.jpeg.ProgressiveScans = s.Progressive;
    e.jpeg.Quality = s.TrackBar;
    e.jpeg.Encode();
    e.jpeg.WriteFile(path);
}

void SaveGIF(Encoders& e, TBitmap& surface, const std::string& path, const JobSettings&)
{
    surface.SetPixelFormat(pf8bit); // the halftone palette, nearest colours
    e.gif.AssignFrom(surface);      // a single image with its own table, nothing of the last file
    e.gif.WriteFile(path);
}

void SavePNG(Encoders& e, TBitmap& surface, const std::string& path, const JobSettings& s)
{
    e.png.AssignFrom(surface);
    e.png.SetDeflateLevel(s.PNGTrackBar);
    e.png.WriteFile(path);
}

void SaveBMP(Encoders& e, TBitmap& surface, const std::string& path, const JobSettings&)
{
    e.bmp.AssignFrom(surface);
    e.bmp.WriteFile(path);
    e.bmp.ReleaseCopy();
}

// `enhanced` is false for WMF and for any output whose extension is ".wmf".
void SaveMetafile(Encoders& e, TBitmap& surface, const std::string& path, bool enhanced, const JobSettings&)
{
    SaveSurfaceAsMetafile(e.metafile, surface, enhanced, path);
}

void SaveTGA(Encoders& e, TBitmap& surface, const std::string& path, const JobSettings&)
{
    e.tga.AssignFrom(surface);
    e.tga.WriteFile(path); // run-length compressed
    e.tga.ReleaseCopy();
}

} // namespace

TOutputEncoders::TOutputEncoders() : encoders_(std::make_unique<Encoders>()) {}
TOutputEncoders::~TOutputEncoders() = default;

bool TOutputEncoders::Available(int format)
{
    switch (format) {
    case ofJPEG:
    case ofGIF:
    case ofPNG:
    case ofBMP:
    case ofWMF:
    case ofEMF:
    case ofTGA: return true;
    default: return false;
    }
}

void TOutputEncoders::Save(int format, TBitmap& surface, const std::string& path, const std::string& extension,
                           const JobSettings& settings)
{
    Encoders& e = *encoders_;
    switch (format) {
    case ofJPEG: SaveJPEG(e, surface, path, settings); break;
    case ofGIF: SaveGIF(e, surface, path, settings); break;
    case ofPNG: SavePNG(e, surface, path, settings); break;
    case ofBMP: SaveBMP(e, surface, path, settings); break;
    case ofWMF:
    case ofEMF:
        SaveMetafile(e, surface, path, format == ofEMF && !ForcesWindowsMetafile(extension), settings);
        break;
    case ofTGA: SaveTGA(e, surface, path, settings); break;
    default: throw EInvalidGraphic("Unknown output format " + std::to_string(format));
    }
}

} // namespace tabulonix
