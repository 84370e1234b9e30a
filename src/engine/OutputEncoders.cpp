// The per-format output step of the batch engine.
//
// How to hook a format in (one place per format, in this file only):
//   1. include the codec's header below;
//   2. add its encoder object to `Encoders` (made once per run and reused for every file:
//      giving it a new picture replaces what it held);
//   3. fill in the format's Encode... function with the steps of its row in the output table
//      (AssignFrom the surface, set the options from `settings`, write into memory);
//   4. return true for it in Available().
// A format whose function still throws NotAvailable fails each file (the engine shows
// "Error saving file %s!" for it and goes on).
#include "engine/OutputEncoders.h"

#include "codecs/formats/Jpeg.h"
#include "codecs/formats/PngWriter.h"
#include "codecs/formats/Tga.h"
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/metafile/Metafile.h"
#include "codecs/surface/Bitmap.h"
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
    throw EInvalidGraphic(std::string("Writing ") + format +
                          " files is not available in this build");
}

// What WriteFile would write.
std::vector<uint8_t> Bytes(TGraphic& graphic)
{
    TMemoryStream out;
    graphic.WriteStream(out);
    return std::move(out.Bytes());
}

std::vector<uint8_t> EncodeJPEG(Encoders& e, TBitmap& surface, const JobSettings& s)
{
    e.jpeg.ProgressiveScans = s.Progressive;
    e.jpeg.Quality = s.TrackBar;
    e.jpeg.EncodeFrom(surface); // no copy of a full-size surface beside it
    return Bytes(e.jpeg);
}

std::vector<uint8_t> EncodeGIF(Encoders& e, TBitmap& surface, const JobSettings&)
{
    surface.SetPixelFormat(pf8bit); // the halftone palette, nearest colours
    e.gif.AssignFrom(surface);      // a single image with its own table, nothing of the last file
    return Bytes(e.gif);
}

std::vector<uint8_t> EncodePNG(Encoders& e, TBitmap& surface, const JobSettings& s)
{
    e.png.AssignFrom(surface);
    e.png.SetDeflateLevel(s.PNGTrackBar);
    return Bytes(e.png);
}

std::vector<uint8_t> EncodeBMP(Encoders& e, TBitmap& surface, const JobSettings&)
{
    e.bmp.AssignFrom(surface);
    std::vector<uint8_t> bytes = Bytes(e.bmp);
    e.bmp.ReleaseCopy();
    return bytes;
}

// `enhanced` is false for WMF; an output whose extension is ".wmf" gets the Windows form too.
std::vector<uint8_t> EncodeMetafile(Encoders& e, TBitmap& surface, bool enhanced,
                                    const std::string& extension, const JobSettings&)
{
    // The extension decides the form as the whole file name would: it begins with the dot.
    return EncodeSurfaceAsMetafile(e.metafile, surface, enhanced, extension);
}

std::vector<uint8_t> EncodeTGA(Encoders& e, TBitmap& surface, const JobSettings&)
{
    e.tga.AssignFrom(surface);
    std::vector<uint8_t> bytes = Bytes(e.tga); // run-length compressed
    e.tga.ReleaseCopy();
    return bytes;
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
    case ofTGA:
        return true;
    default:
        return false;
    }
}

std::vector<uint8_t> TOutputEncoders::Encode(int format, TBitmap& surface,
                                             const std::string& extension,
                                             const JobSettings& settings)
{
    Encoders& e = *encoders_;
    switch (format) {
    case ofJPEG:
        return EncodeJPEG(e, surface, settings);
    case ofGIF:
        return EncodeGIF(e, surface, settings);
    case ofPNG:
        return EncodePNG(e, surface, settings);
    case ofBMP:
        return EncodeBMP(e, surface, settings);
    case ofWMF:
    case ofEMF:
        return EncodeMetafile(e, surface, format == ofEMF && !ForcesWindowsMetafile(extension),
                              extension, settings);
    case ofTGA:
        return EncodeTGA(e, surface, settings);
    default:
        throw EInvalidGraphic("Unknown output format " + std::to_string(format));
    }
}

void TOutputEncoders::Save(int format, TBitmap& surface, const std::string& path,
                           const std::string& extension, const JobSettings& settings)
{
    WriteOutputFile(path, Encode(format, surface, extension, settings));
}

void WriteOutputFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    TSafeFileStream stream(path); // written beside the file, renamed over it when complete
    stream.WriteBytes(bytes);
    stream.Commit();
}

} // namespace tabulonix
