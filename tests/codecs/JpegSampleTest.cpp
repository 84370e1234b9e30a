// A thumbnail decodes only the source rows it shows: its pixels must be exactly those of a
// full decode followed by the scaled draw, for every kind of JPEG file.
#include "codecs/formats/Jpeg.h"

#include "TestSupport.h"
#include "codecs/surface/Canvas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

// The graphic's nearest-neighbour sample, or nullptr when it offers none.
std::unique_ptr<TBitmap> SampleOf(const TGraphic& graphic, int width, int height)
{
    auto sample = std::make_unique<TBitmap>();
    if (!graphic.NearestSample(width, height, *sample))
        return nullptr;
    return sample;
}

struct Kind {
    std::string name;
    int h0 = 2, v0 = 2; // sampling factors of the first component
    bool progressive = false;
    int restartRows = 0; // restart marker every n MCU rows
    int restartMcus = 0; // or every n MCUs
    bool cmyk = false;
    bool adobe = true; // CMYK: write the Adobe marker (inverted samples)
    bool grey = false;
    bool smoothingOff = false;
};

// Noise with some structure, so that neighbouring blocks and chroma differ.
uint8_t Sample(int x, int y, int c)
{
    uint32_t v = static_cast<uint32_t>(x * 73856093u) ^ static_cast<uint32_t>(y * 19349663u) ^
                 static_cast<uint32_t>(c * 83492791u);
    v ^= v >> 13;
    return static_cast<uint8_t>(((x * (c + 1) * 3 + y * 5) & 0xFF) / 2 + (v & 0x7F));
}

std::vector<uint8_t> MakeJpeg(const Kind& k, int w, int h)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = k.cmyk ? 4 : (k.grey ? 1 : 3);
    c.in_color_space = k.cmyk ? JCS_CMYK : (k.grey ? JCS_GRAYSCALE : JCS_RGB);
    jpeg_set_defaults(&c);
    if (k.cmyk) {
        jpeg_set_colorspace(&c, JCS_YCCK);
        c.write_Adobe_marker = k.adobe ? TRUE : FALSE;
        if (!k.adobe)
            jpeg_set_colorspace(&c, JCS_CMYK), c.write_Adobe_marker = FALSE;
    }
    jpeg_set_quality(&c, 85, TRUE);
    c.comp_info[0].h_samp_factor = k.h0;
    c.comp_info[0].v_samp_factor = k.v0;
    c.restart_in_rows = k.restartRows;
    c.restart_interval = static_cast<unsigned>(k.restartMcus);
    if (k.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(w) * c.input_components);
    while (c.next_scanline < c.image_height) {
        int y = static_cast<int>(c.next_scanline);
        for (int x = 0; x < w; ++x)
            for (int ch = 0; ch < c.input_components; ++ch)
                row[static_cast<size_t>(x * c.input_components + ch)] = Sample(x, y, ch);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

void Load(TJPEGImage& j, const std::vector<uint8_t>& bytes, bool smoothing = true)
{
    TMemoryStream in(bytes);
    j.Smoothing = smoothing;
    j.ReadStream(in);
}

// What the draw takes from the fully decoded picture.
TBitmap Expected(const TBitmap& full, int w, int h)
{
    TBitmap out;
    out.NewImage(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.SetPixel(x, y,
                         full.Pixel(NearestSourceIndex(x, w, full.Width()),
                                    NearestSourceIndex(y, h, full.Height())));
    return out;
}

// Compares the sample with the full decode; returns the first differing pixel as text.
std::string Difference(const std::vector<uint8_t>& bytes, int w, int h, bool smoothing = true)
{
    TJPEGImage full;
    Load(full, bytes, smoothing);
    full.DIBNeeded();
    TBitmap expected = Expected(*full.Bitmap(), w, h);
    TJPEGImage sampled;
    Load(sampled, bytes, smoothing);
    std::unique_ptr<TBitmap> sample = SampleOf(sampled, w, h);
    if (!sample)
        return "no sample";
    if (sample->Width() != w || sample->Height() != h || sample->BitsPerPixel() != 24)
        return "wrong shape";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (sample->Pixel(x, y) != expected.Pixel(x, y))
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
    if (sampled.Bitmap() != nullptr)
        return "decoded whole";
    return "";
}

const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = {
        {"420", 2, 2},
        {"422", 2, 1},
        {"440", 1, 2},
        {"444", 1, 1},
        {"420 restart rows", 2, 2, false, 1},
        {"444 restart mcus", 1, 1, false, 0, 3},
        {"420 progressive", 2, 2, true},
        {"444 progressive", 1, 1, true},
        {"422 progressive restart", 2, 1, true, 2},
        {"cmyk adobe", 1, 1, false, 0, 0, true, true},
        {"cmyk plain", 2, 2, false, 0, 0, true, false},
        {"420 progressive unsmoothed", 2, 2, true, 0, 0, false, true, false, true},
        {"411", 4, 1},
    };
    return kinds;
}

TEST(JpegSampleTest, SampleEqualsFullDecodeAndScaledDraw)
{
    // Sizes: odd edges, thumbnails of one row or column, a sample larger than the source in
    // one direction, neighbouring output rows inside one block row, and columns far enough
    // apart that whole block columns go untransformed (at widths that fill the last block
    // and widths that do not).
    const std::vector<std::pair<int, int>> sources = {
        {203, 157}, {64, 48}, {17, 300}, {72, 40}, {640, 24}};
    const std::vector<std::pair<int, int>> targets = {{1, 1},   {13, 9},  {40, 30}, {100, 2},
                                                      {2, 100}, {202, 5}, {3, 156}};
    for (const Kind& k : Kinds())
        for (auto [sw, sh] : sources) {
            std::vector<uint8_t> bytes = MakeJpeg(k, sw, sh);
            for (auto [w, h] : targets) {
                if (int64_t{w} * h >= int64_t{sw} * sh)
                    continue;
                EXPECT_EQ(Difference(bytes, w, h, !k.smoothingOff), "")
                    << k.name << " " << sw << "x" << sh << " -> " << w << "x" << h;
            }
        }
}

TEST(JpegSampleTest, TruncatedFilesSampleAsTheyDecode)
{
    for (const Kind& k : Kinds()) {
        std::vector<uint8_t> bytes = MakeJpeg(k, 203, 157);
        for (size_t keep : {bytes.size() * 3 / 10, bytes.size() * 7 / 10, bytes.size() - 2}) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(keep));
            EXPECT_EQ(Difference(cut, 40, 30, !k.smoothingOff), "") << k.name << " " << keep;
        }
    }
}

// Whatever a damaged file does to a full decode, a sample does too: the same error text, or
// the same pixels.
TEST(JpegSampleTest, DamagedFilesFailOrSucceedAlike)
{
    int failures = 0;
    for (const Kind& k : {Kinds()[0], Kinds()[4], Kinds()[6]}) {
        std::vector<uint8_t> bytes = MakeJpeg(k, 96, 80);
        for (const auto& copy : MutatedCopies(bytes, 60, 15)) {
            std::string fullError, sampleError;
            TJPEGImage full, sampled;
            try {
                Load(full, copy);
                Load(sampled, copy);
            } catch (const EJPEG&) {
                continue; // the header itself is unreadable
            }
            std::unique_ptr<TBitmap> sample;
            try {
                full.DIBNeeded();
            } catch (const EJPEG& e) {
                fullError = e.what();
            }
            try {
                sample = SampleOf(sampled, 20, 15);
            } catch (const EJPEG& e) {
                sampleError = e.what();
            }
            EXPECT_EQ(sampleError, fullError) << k.name;
            if (!fullError.empty()) {
                ++failures;
                continue;
            }
            if (full.Width() * full.Height() <= 20 * 15)
                continue; // a mutated header may have shrunk the picture below the sample
            ASSERT_TRUE(sample) << k.name;
            EXPECT_TRUE(sample->Equals(Expected(*full.Bitmap(), 20, 15))) << k.name;
        }
    }
    EXPECT_GT(failures, 0); // the mutations reached the error paths
}

TEST(JpegSampleTest, NoSampleWhereItCannotBeExactOrSaveWork)
{
    std::vector<uint8_t> colour = MakeJpeg(Kinds()[0], 64, 48);
    TJPEGImage j;
    Load(j, colour);
    EXPECT_EQ(SampleOf(j, 64, 48), nullptr); // as large as the picture
    EXPECT_EQ(SampleOf(j, 0, 10), nullptr);
    j.PixelFormat = jf8Bit; // dithered output
    EXPECT_EQ(SampleOf(j, 8, 6), nullptr);
    j.PixelFormat = jf24Bit;
    j.DIBNeeded(); // already decoded: drawing the pixels is cheaper
    EXPECT_EQ(SampleOf(j, 8, 6), nullptr);

    Kind grey{"grey", 1, 1};
    grey.grey = true;
    TJPEGImage g;
    Load(g, MakeJpeg(grey, 64, 48));
    EXPECT_EQ(SampleOf(g, 8, 6), nullptr); // reduced to 236 dithered levels
}

// The canvas uses a sample only where its draw takes one pixel per pixel, and the result is
// the draw of the whole picture.
TEST(JpegSampleTest, CanvasDrawsTheSampleOnlyWhereItIsExact)
{
    std::vector<uint8_t> bytes = MakeJpeg(Kinds()[1], 203, 157);
    auto draw = [&](TJPEGImage& j, bool decodeFirst, int bits) {
        if (decodeFirst)
            j.DIBNeeded();
        TBitmap surface;
        surface.NewImage(31, 23, bits == 32 ? pf32bit : pf8bit);
        surface.Canvas().DrawScaled(TRect{0, 0, 31, 23}, &j);
        return surface;
    };
    TJPEGImage a, b;
    Load(a, bytes);
    Load(b, bytes);
    EXPECT_TRUE(draw(a, false, 32).Equals(draw(b, true, 32)));
    EXPECT_EQ(a.Bitmap(), nullptr); // the sample was drawn, not the whole picture

    TJPEGImage c, d;
    Load(c, bytes);
    Load(d, bytes);
    TBitmap onPalette = draw(c, false, 8); // averaged: the whole picture is needed
    EXPECT_NE(c.Bitmap(), nullptr);
    EXPECT_TRUE(onPalette.Equals(draw(d, true, 8)));

    TJPEGImage e;
    Load(e, bytes);
    e.SetTransparent(true);
    TBitmap surface;
    surface.NewImage(31, 23, pf32bit);
    EXPECT_EQ(surface.Canvas().NearestSampleFor(TRect{0, 0, 31, 23}, e), nullptr);
}

} // namespace
