// Every corpus file of the TIFF, EPS, PCX, RLA, SGI, PSD, portable map and Photo-CD
// readers as its own case: what an independent decoder reads must decode to the same
// pixels; what it refuses must fail cleanly (an error or an empty picture).
#include "TestSupport.h"

#include "codecs/formats/Eps.h"
#include "codecs/formats/Pcd.h"
#include "codecs/formats/Pcx.h"
#include "codecs/formats/Pnm.h"
#include "codecs/formats/Psd.h"
#include "codecs/formats/Rla.h"
#include "codecs/formats/Sgi.h"
#include "codecs/formats/Tiff.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

enum Reference {
    refAuto, // the ".png" twin beside the file (read by ImageMagick), else Pillow
    refPillow,
    refMagick,   // ImageMagick (libtiff inside for TIFF)
    refPlainPnm, // netpbm's plain form: the raw sample values, which the reader keeps
    refEpsSlice, // the TIFF preview cut out of the EPS file, read by ImageMagick
    refNone,     // no reference: the file must fail or come out empty
    refDecodes,  // the reference is known to be wrong here: the file must decode
    refSize,     // the reference's size only (colour formulas of our own)
    refRefused,  // a variant the reader refuses by design: `text` is its error ("" = empty picture)
};

struct Case {
    std::string folder;
    std::string file;
    Reference reference = refAuto;
    int tolerance = 0;
    std::string text;
    bool opaqueOnly = false; // compare only where the reference is opaque
};

const char* const kNotSupported =
    "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";

std::ostream& operator<<(std::ostream& os, const Case& c)
{
    return os << c.folder << "/" << c.file;
}

std::unique_ptr<TBitmap> ReaderFor(const std::string& folder)
{
    std::string top = folder.substr(0, folder.find('/'));
    if (top == "tiff")
        return std::make_unique<TTIFFGraphic>();
    if (top == "eps")
        return std::make_unique<TEPSGraphic>();
    if (top == "pcx")
        return std::make_unique<TPCXGraphic>();
    if (top == "rla")
        return std::make_unique<TRLAGraphic>();
    if (top == "sgi")
        return std::make_unique<TSGIGraphic>();
    if (top == "psd")
        return std::make_unique<TPSDGraphic>();
    if (top == "pnm")
        return std::make_unique<TPPMGraphic>();
    return std::make_unique<TPCDGraphic>();
}

std::optional<ReferenceImage> DecodeWithMagick(const std::string& path)
{
    RequireTool("/usr/bin/convert-im6.q16", "imagemagick");
    CommandResult r = RunCommand("/usr/bin/convert-im6.q16 " + ShellQuote(path + "[0]") +
                                 " -depth 8 -type TrueColorAlpha pam:- 2>/dev/null");
    if (r.exitCode != 0)
        return std::nullopt;
    size_t end = r.out.find("ENDHDR\n");
    if (end == std::string::npos)
        return std::nullopt;
    std::istringstream header(r.out.substr(0, end));
    ReferenceImage image;
    int depth = 0;
    for (std::string key; header >> key;) {
        if (key == "WIDTH")
            header >> image.width;
        else if (key == "HEIGHT")
            header >> image.height;
        else if (key == "DEPTH")
            header >> depth;
    }
    const uint8_t* p = reinterpret_cast<const uint8_t*>(r.out.data()) + end + 7;
    size_t pixels = static_cast<size_t>(image.width) * image.height;
    if (depth != 4 || image.width <= 0 || r.out.size() - end - 7 != pixels * 4)
        return std::nullopt;
    image.rgba.assign(p, p + pixels * 4);
    return image;
}

// netpbm's plain output keeps the stored values; the reader keeps them too (reduced to 8
// bits for two-byte samples).
std::optional<ReferenceImage> DecodePlainPnm(const std::string& path)
{
    RequireTool("/usr/bin/pamtopnm", "netpbm");
    CommandResult r = RunCommand("/usr/bin/pamtopnm -plain " + ShellQuote(path) + " 2>/dev/null");
    if (r.exitCode != 0)
        return std::nullopt;
    std::istringstream in(r.out);
    std::string magic;
    int width = 0, height = 0;
    long maxValue = 1;
    in >> magic >> width >> height;
    if (magic != "P1")
        in >> maxValue;
    ReferenceImage image;
    image.width = width;
    image.height = height;
    int samples = magic == "P3" ? 3 : 1;
    for (long i = 0; i < static_cast<long>(width) * height; ++i) {
        long v[3] = {0, 0, 0};
        for (int s = 0; s < samples; ++s) {
            if (magic == "P1") {
                char c;
                in >> c;
                v[s] = c == '1' ? 0 : 255;
            } else {
                in >> v[s];
                if (maxValue > 255)
                    v[s] = v[s] * 255 / 65535;
            }
        }
        if (samples == 1)
            v[1] = v[2] = v[0];
        for (long c : v)
            image.rgba.push_back(static_cast<uint8_t>(c));
        image.rgba.push_back(255);
    }
    return image;
}

std::optional<ReferenceImage> DecodeEpsPreview(const std::string& path, const TempDir& dir)
{
    std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.size() < 30)
        return std::nullopt;
    uint32_t offset =
        bytes[20] | bytes[21] << 8 | bytes[22] << 16 | static_cast<uint32_t>(bytes[23]) << 24;
    uint32_t length =
        bytes[24] | bytes[25] << 8 | bytes[26] << 16 | static_cast<uint32_t>(bytes[27]) << 24;
    if (offset > bytes.size() || length > bytes.size() - offset)
        return std::nullopt;
    WriteBytes(dir.File("preview.tif"),
               std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + length));
    return DecodeWithMagick(dir.File("preview.tif"));
}

Case Special(Reference reference, int tolerance = 0, std::string text = "", bool opaqueOnly = false)
{
    return Case{"", "", reference, tolerance, std::move(text), opaqueOnly};
}

std::vector<Case> AllCases()
{
    // Files whose reference differs from the folder's rule.
    const std::map<std::string, Case> special = {
        // ImageMagick misreads this one-bit picture; Pillow agrees with the format.
        {"pcx/pillow/pil184.pcx", Special(refPillow)},
        // libtiff 4.5 gives up on every row of this one-dimensional fax without end-of-line
        // codes and returns white; the page has text.
        {"tiff/libtiff-test/testfax3_bug54_1dnoEOL.tif", Special(refDecodes)},
        // Two-byte samples: the reader reduces by value x 255 div 65535, the references round.
        {"tiff/libtiff-test/minisblack-1c-16b.tiff", Special(refMagick, 1)},
        {"tiff/libtiff-test/rgb-3c-16b.tiff", Special(refMagick, 1)},
        {"tiff/libtiffpic/flower-rgb-contig-16.tif", Special(refMagick, 1)},
        {"tiff/libtiffpic/ladoga.tif", Special(refMagick, 1)},
        {"tiff/pillow/16bit.deflate.tif", Special(refMagick, 1)},
        {"tiff/libtiffpic/flower-separated-contig-08.tif", Special(refMagick, 1)},
        {"sgi/pillow/hopper16.rgb", Special(refMagick, 1)},
        {"psd/kimageformats/rgb16-raw-affinityphoto-1.8.5.psd", Special(refAuto, 1)},
        // Alpha stored premultiplied (extra sample 1) is kept as stored; the reference
        // divides it out. Compared where the picture is opaque only (below).
        {"tiff/libtiff-test/32bpp-None.tiff", Special(refMagick, 0, "", true)},
        // Grey and alpha in two planes: the alpha is dropped; ImageMagick spreads the two
        // samples over the colour channels, so there is no usable reference.
        {"tiff/libtiff-test/minisblack-2c-8b-alpha.tiff", Special(refDecodes)},
        // Variants outside the reader's list: refused with the not-supported text; tiles
        // give an empty picture; BigTIFF is not TIFF version 42.
        {"tiff/libtiff-test/logluv-3c-16b.tiff", Special(refRefused, 0, kNotSupported)},
        {"tiff/libtiff-test/testfax4.tiff", Special(refRefused, 0, kNotSupported)},
        {"tiff/libtiff-test/ojpeg_zackthecat_subsamp22_single_strip.tiff",
         Special(refRefused, 0, kNotSupported)},
        {"tiff/libtiffpic/smallliz.tif", Special(refRefused, 0, kNotSupported)},
        {"tiff/pillow/hopper_g4.tif", Special(refRefused, 0, kNotSupported)},
        {"tiff/pillow/crash-0da013a13571cc8eb457a39fee8db18f8a3c7127.tif",
         Special(refRefused, 0, kNotSupported)},
        {"tiff/libtiff-test/quad-tile.jpg.tiff", Special(refRefused, 0, "")},
        {"tiff/pillow/tiff_tiled_ycbcr_jpeg_1x1_sampling.tif", Special(refRefused, 0, "")},
        {"tiff/pillow/hopper_bigtiff.tif",
         Special(refRefused, 0, "Cannot load image. Invalid or unexpected TIF/TIFF image format.")},
        // Subsampled YCbCr behind a damaged deflate stream.
        {"tiff/pillow/crash-2020-10-test.tif",
         Special(refRefused, 0, "Cannot load image. Compression error found in TIF/TIFF file.")},
        // A damaged JPEG strip table: the strip lies beyond the file.
        {"tiff/pillow/crash-0c7e0e8e11ce787078f00b5b0ca409a167f070e0.tif",
         Special(refRefused, 0, "Stream read error in TIF/TIFF file.")},
        // Photo-YCC is converted with the program's own tables, not the reference's.
        {"pcd/pillow/hopper.pcd", Special(refSize)},
        // No RLA reference decoder is installed: the good files must decode, the two
        // malformed ones must not (RLA reports them as an empty picture).
        {"rla/oiio/ginsu_a_nc8.rla", Special(refDecodes)},
        {"rla/oiio/ginsu_rgb_nc16.rla", Special(refDecodes)},
        {"rla/oiio/ginsu_rgb_nc8.rla", Special(refDecodes)},
        {"rla/oiio/ginsu_rgba_nc8.rla", Special(refDecodes)},
        {"rla/oiio/imgmake_rgba_nc8.rla", Special(refDecodes)},
    };

    const std::vector<std::pair<std::string, Reference>> folders = {
        {"pcx/kimageformats", refAuto},
        {"pcx/pillow", refMagick},
        {"tiff/libtiff-test", refMagick},
        {"tiff/libtiffpic", refMagick},
        {"tiff/pillow", refMagick},
        {"tiff/gdk-pixbuf-fail", refMagick},
        {"eps/pillow", refEpsSlice},
        {"eps/kimageformats", refEpsSlice},
        {"sgi/kimageformats", refAuto},
        {"sgi/pillow", refMagick},
        {"sgi/cpython-imghdrdata", refMagick},
        {"psd/kimageformats", refAuto},
        {"psd/pillow", refMagick},
        {"pnm/pillow", refPlainPnm},
        {"pnm/stb", refPlainPnm},
        {"pnm/cpython-imghdrdata", refPlainPnm},
        {"pnm/gdk-pixbuf-fail", refPlainPnm},
        {"rla/oiio", refNone},
        {"pcd/pillow", refPillow},
    };
    std::vector<Case> cases;
    for (const auto& [folder, reference] : folders) {
        for (const std::string& file : CorpusFiles(folder)) {
            std::string ext = file.substr(file.rfind('.') + 1);
            // Reference pictures and the raw fax and netpbm twins are not inputs here.
            if (ext == "png" || ext == "json" || ext == "g3" ||
                (folder.rfind("tiff", 0) == 0 && ext != "tif" && ext != "tiff"))
                continue;
            Case c{folder, file, reference, 0, "", false};
            auto it = special.find(folder + "/" + file);
            if (it != special.end()) {
                c.reference = it->second.reference;
                c.tolerance = it->second.tolerance;
                c.text = it->second.text;
                c.opaqueOnly = it->second.opaqueOnly;
            }
            cases.push_back(c);
        }
    }
    return cases;
}

// Files the references refuse that decode here, each for a reason.
const std::set<std::string>& AcceptedAnyway()
{
    static const std::set<std::string> files = {
        // Two rows of group 3 data that older decoders misread; both rows decode here.
        "tiff/libtiff-test/testfax3_bug_513.tiff",
        // Run-length rows that end early or run long: the rows are cut at the picture's
        // width and the missing samples stay zero.
        "sgi/pillow/crash-754d9c7ec485ffb76a90eeaab191ef69a2a3a3cd.sgi",
        "sgi/pillow/ossfuzz-5730089102868480.sgi",
        // Samples above the maximum value: the maximum is not applied, so they are kept.
        "pnm/gdk-pixbuf-fail/invalid.4.ppm",
    };
    return files;
}

// The picture as 8-bit RGBA rows (alpha 255 unless the surface has one).
std::vector<uint8_t> ToRgba(const TBitmap& picture)
{
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(picture.Width()) * picture.Height() * 4);
    const TPixelFormat format = picture.PixelFormat();
    const std::vector<RGBQuad>* table = format <= pf8bit ? &picture.ColorTable() : nullptr;
    const int bits = picture.BitsPerPixel();
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* row = picture.ConstRow(y);
        for (int x = 0; x < picture.Width(); ++x) {
            uint8_t r, g, b, a = 255;
            if (table) {
                size_t bit = static_cast<size_t>(x) * bits;
                unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                RGBQuad q = index < table->size() ? (*table)[index] : RGBQuad{};
                r = q.red, g = q.green, b = q.blue;
            } else if (format == pf24bit || format == pf32bit) {
                const uint8_t* p = row + static_cast<size_t>(x) * (format == pf24bit ? 3 : 4);
                b = p[0], g = p[1], r = p[2];
                if (format == pf32bit)
                    a = p[3];
            } else {
                TColor color = picture.Pixel(x, y);
                r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
            }
            out.insert(out.end(), {r, g, b, a});
        }
    }
    return out;
}

class RasterConformance : public ::testing::TestWithParam<Case> {};

TEST_P(RasterConformance, DecodesLikeTheReference)
{
    const Case& c = GetParam();
    const std::string path = CorpusDir() + c.folder + "/" + c.file;
    TempDir dir;
    std::optional<ReferenceImage> expected;
    switch (c.reference) {
    case refAuto: {
        std::string twin = path.substr(0, path.rfind('.')) + ".png";
        expected = std::ifstream(twin).good() ? DecodeWithMagick(twin) : DecodeWithPillow(path);
        break;
    }
    case refPillow:
    case refSize:
        expected = DecodeWithPillow(path);
        break;
    case refMagick:
        expected = DecodeWithMagick(path);
        break;
    case refPlainPnm:
        expected = DecodePlainPnm(path);
        break;
    case refEpsSlice:
        expected = DecodeEpsPreview(path, dir);
        break;
    case refNone:
    case refDecodes:
    case refRefused:
        break;
    }

    std::unique_ptr<TBitmap> picture = ReaderFor(c.folder);
    std::string error;
    try {
        picture->ReadFile(path);
    } catch (const Exception& e) {
        error = e.Message();
    }
    if (c.reference == refRefused) {
        EXPECT_EQ(error, c.text);
        if (c.text.empty()) {
            EXPECT_TRUE(picture->IsEmpty());
        }
        return;
    }
    if (c.reference == refDecodes) {
        ASSERT_EQ(error, "");
        EXPECT_FALSE(picture->IsEmpty());
        return;
    }
    if (!expected) {
        // Refused by the reference: refused here too, with an error text or (PCX, RLA,
        // tiled TIFF) an empty picture.
        if (error.empty()) {
            EXPECT_TRUE(picture->IsEmpty() || AcceptedAnyway().count(c.folder + "/" + c.file))
                << "decoded a file the reference refuses";
        }
        return;
    }
    ASSERT_EQ(error, "") << "the reference decodes this file";
    ASSERT_EQ(picture->Width(), expected->width);
    ASSERT_EQ(picture->Height(), expected->height);
    if (c.reference == refSize)
        return;
    const bool alpha = picture->PixelFormat() == pf32bit;
    std::vector<uint8_t> ours = ToRgba(*picture);
    int worst = 0, wx = 0, wy = 0;
    for (size_t i = 0; i < ours.size(); i += 4) {
        const uint8_t* ref = &expected->rgba[i];
        if (c.opaqueOnly && ref[3] != 255)
            continue;
        for (size_t k = 0; k < (alpha ? 4u : 3u); ++k) {
            int d = std::abs(ours[i + k] - ref[k]);
            if (d > worst) {
                worst = d;
                wx = static_cast<int>(i / 4 % expected->width);
                wy = static_cast<int>(i / 4 / expected->width);
            }
        }
    }
    EXPECT_LE(worst, c.tolerance) << "first worst pixel at " << wx << "," << wy;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    std::string name = info.param.folder + "_" + info.param.file;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, RasterConformance, ::testing::ValuesIn(AllCases()), CaseName);

} // namespace
