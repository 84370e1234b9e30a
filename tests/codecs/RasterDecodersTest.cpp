#include "TestSupport.h"

#include "codecs/compression/Ccitt.h"
#include "codecs/compression/Inflate.h"
#include "codecs/compression/RunLength.h"
#include "codecs/compression/Thunderscan.h"
#include "codecs/compression/TiffJpeg.h"
#include "codecs/core/Graphic.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

using namespace tabulonix;
using namespace tabulonix::test;

namespace {

using Bytes = std::vector<uint8_t>;
using RunLength = std::function<TDecodeResult(const uint8_t*, size_t, uint8_t*, size_t)>;

struct RunLengthCase {
    const char* name;
    RunLength decode;
    Bytes packed;
    size_t outputSize;
    Bytes expected; // the output buffer afterwards (it starts zero-filled)
};

std::vector<RunLengthCase> RunLengthCases()
{
    auto sgi16 = [](const uint8_t* s, size_t n, uint8_t* d, size_t m) {
        return DecodeSGIRLE(s, n, d, m, 2);
    };
    auto sgi8 = [](const uint8_t* s, size_t n, uint8_t* d, size_t m) {
        return DecodeSGIRLE(s, n, d, m, 1);
    };
    return {
        // Literal run, repeat run, the skipped 128, another literal.
        {"PackBits",
         DecodePackBits,
         {0x02, 'a', 'b', 'c', 0xFE, 'x', 0x80, 0x00, 'z'},
         7,
         {'a', 'b', 'c', 'x', 'x', 'x', 'z'}},
        {"PackBitsCutAtOutput", DecodePackBits, {0xFD, 'x', 0x01, 'a', 'b'}, 3, {'x', 'x', 'x'}},
        {"PackBitsShortInput", DecodePackBits, {0x05, 'a', 'b'}, 6, {'a', 'b', 0, 0, 0, 0}},
        // 0xC3 repeats three times; 0xC0 repeats zero times and still takes its byte.
        {"PCX", DecodePCXRLE, {0xC3, 7, 5, 0xC0, 9, 0xC1, 0xC5}, 5, {7, 7, 7, 5, 0xC5}},
        {"PCXRunLongerThanOutput", DecodePCXRLE, {0xFF, 1}, 4, {1, 1, 1, 1}},
        // Copy three, repeat 9 twice, a zero count ends the row.
        {"SGI8", sgi8, {0x83, 1, 2, 3, 0x02, 9, 0x00, 5}, 6, {1, 2, 3, 9, 9, 0}},
        {"SGI16",
         sgi16,
         {0x00, 0x82, 0x12, 0x34, 0x56, 0x78, 0x00, 0x02, 0xAB, 0xCD, 0, 0},
         8,
         {0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD, 0xAB, 0xCD}},
        // The row's two length bytes are skipped; top bit repeats, clear copies.
        {"CUT", DecodeCUTRow, {9, 0, 0x83, 7, 0x02, 1, 2, 0x00, 4}, 6, {7, 7, 7, 1, 2, 0}},
        {"PSP", DecodePSPRLE, {0x83, 4, 0x02, 1, 2}, 5, {4, 4, 4, 1, 2}},
        // Non-negative repeats the next byte c + 1 times, negative copies -c bytes.
        {"RLA", DecodeRLARLE, {0x02, 6, 0xFE, 1, 2}, 5, {6, 6, 6, 1, 2}},
    };
}

class RunLengthDecoder : public ::testing::TestWithParam<RunLengthCase> {};

TEST_P(RunLengthDecoder, DecodesWithinTheOutput)
{
    const RunLengthCase& c = GetParam();
    // A guard byte after the output must never be written.
    Bytes out(c.outputSize + 1, 0);
    out.back() = 0xEE;
    TDecodeResult r = c.decode(c.packed.data(), c.packed.size(), out.data(), c.outputSize);
    EXPECT_EQ(out.back(), 0xEE);
    out.pop_back();
    EXPECT_EQ(out, c.expected);
    EXPECT_LE(r.consumed, c.packed.size());
    EXPECT_LE(r.produced, c.outputSize);
}

INSTANTIATE_TEST_SUITE_P(Packets, RunLengthDecoder, ::testing::ValuesIn(RunLengthCases()),
                         [](const auto& info) { return std::string(info.param.name); });

Bytes Deflate(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress(out.data(), &size, data.data(), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

TEST(Inflate, StopsAtTheOutputSizeAndReportsCorruptStreams)
{
    Bytes data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    Bytes packed = Deflate(data);

    Bytes small(100 + 1, 0xEE);
    EXPECT_EQ(InflateBounded(packed.data(), packed.size(), small.data(), 100, "XYZ"), 100u);
    EXPECT_TRUE(std::equal(small.begin(), small.begin() + 100, data.begin()));
    EXPECT_EQ(small[100], 0xEE);

    // A stream cut short yields what it holds, without an error.
    Bytes whole(data.size(), 0);
    size_t got =
        InflateBounded(packed.data(), packed.size() / 2, whole.data(), whole.size(), "XYZ");
    EXPECT_GT(got, 0u);
    EXPECT_LT(got, data.size());

    Bytes bad = packed;
    bad[0] = 0x00; // not a zlib header
    try {
        InflateBounded(bad.data(), bad.size(), whole.data(), whole.size(), "XYZ");
        FAIL() << "a corrupt stream was accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Cannot load image. Compression error found in XYZ file.");
    }
}

TEST(Thunderscan, RunsDeltasAndRawValues)
{
    // Raw 5, a run of three, 2-bit deltas (0, 0, +1), 3-bit deltas (+1, -1).
    Bytes packed = {0xC5, 0x03, 0x41, 0x8F};
    Bytes out(5, 0);
    DecodeThunderscan(packed.data(), packed.size(), 9, 1, out.data(), out.size());
    EXPECT_EQ(out, (Bytes{0x55, 0x55, 0x55, 0x67, 0x60}));
}

// Group 3 and modified Huffman decoding is checked against an independent encoder in
// RasterReadersTest (TiffReader.FaxVariantsFromAnIndependentEncoder) and the corpus.
TEST(CCITT, DamagedModifiedHuffmanDataIsACompressionError)
{
    Bytes garbage(64, 0x00); // eleven zero bits and more: no valid run code
    Bytes out(4 * 8, 0);
    TCCITTOptions options;
    options.mode = cmMH;
    try {
        DecodeCCITT(garbage.data(), garbage.size(), options, 32, 8, out.data(), 4, "TIF/TIFF");
        FAIL() << "accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Cannot load image. Compression error found in TIF/TIFF file.");
    }
}

TEST(TiffJpeg, GarbageIsACompressionErrorNotACrash)
{
    Bytes garbage = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0xFF, 0xFF};
    Bytes out(16 * 16 * 3, 0);
    EXPECT_THROW(DecodeTIFFJPEG(nullptr, 0, garbage.data(), garbage.size(), 16, 16, 3, true,
                                out.data(), 48, "TIF/TIFF", DecodeLimits{}),
                 EInvalidGraphic);
}

} // namespace
