#include "codecs/formats/ColorManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

using namespace tabulonix;

namespace {

// A converter from `source` to a BGR(A) or indexed target of 8 bits.
TColorManager Converter(TColorScheme source, int bits, int samples, TColorScheme target,
                        int targetBits, int targetSamples)
{
    TColorManager cm;
    cm.SetSourceColorScheme(source);
    cm.SetSourceBitsPerSample(bits);
    cm.SetSourceSamplesPerPixel(samples);
    cm.SetTargetColorScheme(target);
    cm.SetTargetBitsPerSample(targetBits);
    cm.SetTargetSamplesPerPixel(targetSamples);
    return cm;
}

std::string ErrorOf(TColorManager& cm, const std::vector<uint8_t>& source, int count)
{
    std::vector<uint8_t> out(64);
    try {
        cm.TranslateRow(source.data(), count, out.data());
    } catch (const EColorConversionError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(ColorManager, SixteenBitSamplesScaleAndSwap)
{
    // Big-endian 0x12 0x34 = 4660 -> 4660 * 255 div 65535 = 18.
    TColorManager cm = Converter(csRGB, 16, 3, csBGR, 8, 3);
    cm.SetSourceOptions(coNeedByteSwap);
    std::vector<uint8_t> src = {0x12, 0x34, 0xFF, 0xFF, 0x00, 0x01};
    uint8_t out[3] = {};
    cm.TranslateRow(src.data(), 1, out);
    EXPECT_EQ(out[2], 18);  // red
    EXPECT_EQ(out[1], 255); // green
    EXPECT_EQ(out[0], 0);   // blue: 1 * 255 div 65535

    // Without the option the same bytes are little-endian: 0x3412 = 13330 -> 51.
    cm.SetSourceOptions(coNone);
    cm.TranslateRow(src.data(), 1, out);
    EXPECT_EQ(out[2], 51);

    // 8 -> 16 bits multiplies by 257.
    TColorManager wide = Converter(csRGB, 8, 3, csRGB, 16, 3);
    std::vector<uint8_t> eight = {200, 0, 255};
    uint16_t w[3] = {};
    wide.TranslateRow(eight.data(), 1, reinterpret_cast<uint8_t*>(w));
    EXPECT_EQ(w[0], 51400);
    EXPECT_EQ(w[1], 0);
    EXPECT_EQ(w[2], 65535);
}

TEST(ColorManager, ComponentCopierOrdersAndAlpha)
{
    std::vector<uint8_t> rgba = {10, 20, 30, 40, 50, 60, 70, 80};
    uint8_t out[8] = {};
    TColorManager toBgra = Converter(csRGBA, 8, 4, csBGRA, 8, 4);
    toBgra.TranslateRow(rgba.data(), 2, out);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 8)),
              (std::vector<uint8_t>{30, 20, 10, 40, 70, 60, 50, 80}));

    // Alpha dropped when only the source has it.
    uint8_t three[6] = {};
    TColorManager toBgr = Converter(csRGBA, 8, 4, csBGR, 8, 3);
    toBgr.TranslateRow(rgba.data(), 2, three);
    EXPECT_EQ((std::vector<uint8_t>(three, three + 6)),
              (std::vector<uint8_t>{30, 20, 10, 70, 60, 50}));

    // Not invented when only the target has it: the fourth byte stays as it was.
    uint8_t four[4] = {0, 0, 0, 99};
    TColorManager invent = Converter(csRGB, 8, 3, csBGRA, 8, 4);
    invent.TranslateRow(rgba.data(), 1, four);
    EXPECT_EQ((std::vector<uint8_t>(four, four + 4)), (std::vector<uint8_t>{30, 20, 10, 99}));

    // Planar source: one pointer per sample.
    std::vector<uint8_t> r = {1, 2}, g = {3, 4}, b = {5, 6};
    uint8_t planar[6] = {};
    TColorManager planes = Converter(csRGB, 8, 3, csBGR, 8, 3);
    planes.TranslateRow({r.data(), g.data(), b.data()}, 2, planar);
    EXPECT_EQ((std::vector<uint8_t>(planar, planar + 6)), (std::vector<uint8_t>{5, 3, 1, 6, 4, 2}));
}

TEST(ColorManager, PlanesAndInterleavedSamplesGiveTheSameRow)
{
    // The same pixels handed over once interleaved and once as one plane per sample.
    struct Case {
        TColorScheme source;
        int bits, samples;
        TColorScheme target;
        int targetSamples;
        TConvertOptions sourceOptions, targetOptions;
    };
    const Case cases[] = {
        {csRGB, 8, 3, csBGRA, 4, coNone, coNone},
        {csRGBA, 8, 4, csBGRA, 4, coAlpha, coAlpha},
        {csRGB, 16, 3, csBGR, 3, coNeedByteSwap, coNone},
        {csRGBA, 16, 4, csBGRA, 4, TConvertOptions(coAlpha | coNeedByteSwap), coAlpha},
        {csPhotoYCC, 8, 3, csRGBA, 4, coNone, coApplyGamma},
        {csCMYK, 8, 4, csBGR, 3, coNone, coNone},
    };
    const int count = 13;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        const size_t bytes = static_cast<size_t>(c.bits / 8), pixel = bytes * c.samples;
        std::vector<uint8_t> interleaved(count * pixel), planes(interleaved.size());
        for (size_t i = 0; i < interleaved.size(); ++i)
            interleaved[i] = static_cast<uint8_t>(i * 37 + 11);
        std::vector<const uint8_t*> sources;
        for (int s = 0; s < c.samples; ++s) {
            uint8_t* plane = planes.data() + static_cast<size_t>(s) * count * bytes;
            for (int x = 0; x < count; ++x)
                std::copy_n(&interleaved[x * pixel + s * bytes], bytes, plane + x * bytes);
            sources.push_back(plane);
        }
        TColorManager cm = Converter(c.source, c.bits, c.samples, c.target, 8, c.targetSamples);
        cm.SetSourceOptions(c.sourceOptions);
        cm.SetTargetOptions(c.targetOptions);
        cm.ConfigureGamma(1.0, 0.5);
        std::vector<uint8_t> fromRow(count * c.targetSamples, 0xEE), fromPlanes = fromRow;
        cm.TranslateRow(interleaved.data(), count, fromRow.data());
        cm.TranslateRow(sources, count, fromPlanes.data());
        EXPECT_EQ(fromRow, fromPlanes);
    }
}

TEST(ColorManager, SamplePackerRescalesGreyButKeepsIndices)
{
    // 2-bit grey 0, 1, 2, 3 -> 4-bit 0, 5, 10, 15.
    std::vector<uint8_t> src = {0x1B}; // 00 01 10 11
    uint8_t out[2] = {};
    TColorManager grey = Converter(csG, 2, 1, csIndexed, 4, 1);
    grey.TranslateRow(src.data(), 4, out);
    EXPECT_EQ(out[0], 0x05);
    EXPECT_EQ(out[1], 0xAF);

    // Palette indices are not levels: index 1 stays 1.
    TColorManager indexed = Converter(csIndexed, 2, 1, csIndexed, 4, 1);
    indexed.TranslateRow(src.data(), 4, out);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x23);

    // 16-bit grey is reduced; grey with alpha drops the alpha sample.
    std::vector<uint8_t> ga = {0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
    TColorManager wide = Converter(csGA, 16, 2, csIndexed, 8, 1);
    wide.SetSourceOptions(coNeedByteSwap);
    wide.TranslateRow(ga.data(), 2, out);
    EXPECT_EQ(out[0], 18);
    EXPECT_EQ(out[1], 255);

    // Equal depths copy the row unchanged.
    std::vector<uint8_t> bits = {0xA5, 0x3C};
    uint8_t copy[2] = {};
    TColorManager same = Converter(csIndexed, 1, 1, csIndexed, 1, 1);
    same.TranslateRow(bits.data(), 16, copy);
    EXPECT_EQ(copy[0], 0xA5);
    EXPECT_EQ(copy[1], 0x3C);
}

TEST(ColorManager, CmykFormula)
{
    struct Case {
        uint8_t c, m, y, k;
        uint8_t red, green, blue;
    } cases[] = {
        {0, 0, 0, 0, 255, 255, 255},
        {10, 200, 90, 255, 0, 0, 0},
        {255, 0, 0, 0, 0, 255, 255},
        {100, 50, 0, 100, 94, 124, 155}, // (255 - C)(255 - K) / 255, rounded down
    };
    TColorManager cm = Converter(csCMYK, 8, 4, csBGR, 8, 3);
    for (const Case& c : cases) {
        std::vector<uint8_t> src = {c.c, c.m, c.y, c.k};
        uint8_t out[3] = {};
        cm.TranslateRow(src.data(), 1, out);
        EXPECT_EQ(out[2], c.red) << int(c.c) << "," << int(c.k);
        EXPECT_EQ(out[1], c.green);
        EXPECT_EQ(out[0], c.blue);
    }
}

TEST(ColorManager, YCbCrAndPhotoYcc)
{
    TColorManager cm = Converter(csYCbCr, 8, 3, csRGB, 8, 3);
    std::vector<uint8_t> src = {128, 128, 128, 255, 128, 255, 100, 30, 200};
    uint8_t out[9] = {};
    cm.TranslateRow(src.data(), 3, out);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 3)), (std::vector<uint8_t>{128, 128, 128}));
    EXPECT_EQ(out[3], 255); // red clamped
    EXPECT_EQ(out[6], 201); // Cb 30, Cr 200
    EXPECT_EQ(out[7], 83);  // the tables round each term: 82.3 unrounded
    EXPECT_EQ(out[8], 0);

    // Against the published full-range conversion (R = Y + 1.402 Cr', G = Y - 0.344136 Cb' -
    // 0.714136 Cr', B = Y + 1.772 Cb'); the tables round each term, so one level apart.
    const std::array<uint8_t, 3> ycbcr[] = {{76, 85, 255},   {150, 44, 21}, {29, 255, 107},
                                            {200, 120, 140}, {0, 128, 128}, {255, 0, 0}};
    const std::array<int, 3> rgb[] = {{254, 0, 0},     {0, 255, 1}, {0, 0, 254},
                                      {217, 194, 186}, {0, 0, 0},   {76, 255, 28}};
    for (size_t i = 0; i < std::size(ycbcr); ++i) {
        uint8_t got[3] = {};
        cm.TranslateRow(ycbcr[i].data(), 1, got);
        for (size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(got[k], rgb[i][k], 1) << "case " << i << " channel " << k;
    }

    // Photo-YCC centres its chroma at 156 (blue) and 137 (red).
    TColorManager ycc = Converter(csPhotoYCC, 8, 3, csRGB, 8, 3);
    std::vector<uint8_t> neutral = {90, 156, 137};
    ycc.TranslateRow(neutral.data(), 1, out);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 3)), (std::vector<uint8_t>{90, 90, 90}));
}

TEST(ColorManager, CieLab)
{
    TColorManager cm = Converter(csCIELab, 8, 3, csRGB, 8, 3);
    std::vector<uint8_t> src = {100, 0, 0, 0, 0, 0, 50, 0, 0};
    uint8_t out[9] = {};
    cm.TranslateRow(src.data(), 3, out);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 6)), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));
    EXPECT_EQ((std::vector<uint8_t>(out + 6, out + 9)), (std::vector<uint8_t>{47, 47, 47}));

    // Chroma on both sides of the dark-end branch (L < 7.9996 is linear), values worked out
    // by hand from the conversion's matrix.
    std::vector<uint8_t> chroma = {50, 20, 226, 70, 216, 25, 5, 10, 246};
    cm.TranslateRow(chroma.data(), 3, out);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 9)),
              (std::vector<uint8_t>{53, 40, 101, 37, 130, 52, 2, 1, 3}));

    // Byte range and chroma offset options: 255 is L 100, 128 is a = b = 0.
    cm.SetSourceOptions(coLabByteRange | coLabChromaOffset);
    std::vector<uint8_t> scaled = {255, 128, 128};
    cm.TranslateRow(scaled.data(), 1, out);
    EXPECT_EQ((std::vector<uint8_t>(out, out + 3)), (std::vector<uint8_t>{255, 255, 255}));
}

TEST(ColorManager, GammaTableAndGreyPalette)
{
    TColorManager cm = Converter(csRGB, 8, 3, csBGR, 8, 3);
    cm.ConfigureGamma(1.0, 0.5);         // exponent 2
    EXPECT_EQ(cm.GammaTable()[128], 64); // (128/255)^2 * 255 = 64.25
    EXPECT_EQ(cm.GammaTable()[255], 255);
    cm.SetTargetOptions(coApplyGamma);
    std::vector<uint8_t> src = {128, 255, 0};
    uint8_t out[3] = {};
    cm.TranslateRow(src.data(), 1, out);
    EXPECT_EQ(out[2], 64);
    EXPECT_EQ(out[1], 255);

    // Non-positive gammas fall back to 1.0 and 2.2: the table is then the identity for
    // a main gamma of 1 / 2.2.
    cm.ConfigureGamma(0, -1);
    EXPECT_DOUBLE_EQ(cm.MainGamma(), 1.0);
    EXPECT_DOUBLE_EQ(cm.DisplayGamma(), 2.2);

    TColorManager grey = Converter(csG, 4, 1, csIndexed, 4, 1);
    TPalette p = grey.MakeGreyPalette(true);
    ASSERT_EQ(p.size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(p[static_cast<size_t>(i)].red, 255 - 17 * i);
    grey.SetTargetBitsPerSample(1);
    p = grey.MakeGreyPalette(false);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].green, 0);
    EXPECT_EQ(p[1].green, 255);
}

TEST(ColorManager, PaletteFromRawTables)
{
    // Interleaved triples, blue first, one entry.
    std::vector<uint8_t> bgr = {1, 2, 3};
    TColorManager cm;
    TPalette p = cm.MakePaletteFromTable({bgr.data()}, pfInterlaced8Triple, 1, true);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].red, 3);
    EXPECT_EQ(p[0].blue, 1);

    // Three planes of big-endian 16-bit values, as colour maps store them.
    std::vector<uint8_t> reds = {0xFF, 0xFF, 0x00, 0x00}, greens = {0x80, 0x00, 0x00, 0x00},
                         blues = {0x12, 0x34, 0xFF, 0xFF};
    cm.SetSourceOptions(coNeedByteSwap);
    p = cm.MakePaletteFromTable({reds.data(), greens.data(), blues.data()}, pfPlane16Triple, 2,
                                false);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].red, 255);
    EXPECT_EQ(p[0].green, 0x8000 * 255 / 65535);
    EXPECT_EQ(p[0].blue, 18);
    EXPECT_EQ(p[1].blue, 255);

    // Quads skip their fourth byte; more than 256 entries are cut.
    std::vector<uint8_t> quads(300 * 4, 7);
    p = cm.MakePaletteFromTable({quads.data()}, pfInterlaced8Quad, 300, false);
    EXPECT_EQ(p.size(), 256u);
}

TEST(ColorManager, ErrorsAndPixelFormats)
{
    std::vector<uint8_t> src(16, 0);
    TColorManager indexed = Converter(csIndexed, 8, 1, csBGR, 8, 3);
    EXPECT_EQ(ErrorOf(indexed, src, 1), kIndexedConversionError);
    TColorManager depth = Converter(csRGB, 3, 3, csBGR, 8, 3);
    EXPECT_EQ(ErrorOf(depth, src, 1), kInvalidColorDepth);
    TColorManager samples = Converter(csRGB, 8, 2, csBGR, 8, 3);
    EXPECT_EQ(ErrorOf(samples, src, 1), kSampleCountMismatch);
    TColorManager cmy = Converter(csCMY, 8, 3, csBGR, 8, 3);
    EXPECT_EQ(ErrorOf(cmy, src, 1), kNoConversionMethod);
    TColorManager ok = Converter(csRGB, 8, 3, csBGR, 8, 3);
    EXPECT_EQ(ErrorOf(ok, src, 1), "");

    TColorManager cm;
    EXPECT_THROW(cm.ConfigureYCbCr(0.299, 0.587, 0.114, 3, 1), EColorConversionError);
    try {
        cm.ConfigureYCbCr(0.299, 0.587, 0.114, 2, 4);
        FAIL();
    } catch (const EColorConversionError& e) {
        EXPECT_STREQ(e.what(), kVerticalSubsampling);
    }
    cm.ConfigureYCbCr(0.3, 0.6, 0.1, 4, 2);
    EXPECT_EQ(cm.HorizontalSubsampling(), 4);

    struct Layout {
        int samples, bits;
        TPixelFormat format;
    } layouts[] = {{1, 1, pf1bit},  {1, 2, pf4bit},   {1, 4, pf4bit},  {1, 8, pf8bit},
                   {1, 16, pf8bit}, {3, 4, pf15bit},  {3, 8, pf24bit}, {3, 16, pf24bit},
                   {4, 8, pf32bit}, {4, 4, pfCustom}, {2, 8, pfCustom}};
    for (const Layout& l : layouts) {
        cm.SetTargetSamplesPerPixel(l.samples);
        cm.SetTargetBitsPerSample(l.bits);
        EXPECT_EQ(cm.PixelFormatOfTarget(), l.format) << l.samples << "x" << l.bits;
    }
}
