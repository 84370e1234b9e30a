// CCITT T.4 decoding for the TIFF reader: modified Huffman rows (also byte- or
// word-aligned) and group 3 one- and two-dimensional coding.
#include "codecs/compression/Ccitt.h"

#include "codecs/core/CodecErrors.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace tabulonix {

namespace {

struct Code {
    const char* bits;
    int run;
};

// Terminating codes (runs 0..63), make-up codes (64..1728) and the extended make-up codes
// shared by both colours (1792..2560).
const Code kWhiteCodes[] = {
    {"00110101", 0},     {"000111", 1},       {"0111", 2},         {"1000", 3},
    {"1011", 4},         {"1100", 5},         {"1110", 6},         {"1111", 7},
    {"10011", 8},        {"10100", 9},        {"00111", 10},       {"01000", 11},
    {"001000", 12},      {"000011", 13},      {"110100", 14},      {"110101", 15},
    {"101010", 16},      {"101011", 17},      {"0100111", 18},     {"0001100", 19},
    {"0001000", 20},     {"0010111", 21},     {"0000011", 22},     {"0000100", 23},
    {"0101000", 24},     {"0101011", 25},     {"0010011", 26},     {"0100100", 27},
    {"0011000", 28},     {"00000010", 29},    {"00000011", 30},    {"00011010", 31},
    {"00011011", 32},    {"00010010", 33},    {"00010011", 34},    {"00010100", 35},
    {"00010101", 36},    {"00010110", 37},    {"00010111", 38},    {"00101000", 39},
    {"00101001", 40},    {"00101010", 41},    {"00101011", 42},    {"00101100", 43},
    {"00101101", 44},    {"00000100", 45},    {"00000101", 46},    {"00001010", 47},
    {"00001011", 48},    {"01010010", 49},    {"01010011", 50},    {"01010100", 51},
    {"01010101", 52},    {"00100100", 53},    {"00100101", 54},    {"01011000", 55},
    {"01011001", 56},    {"01011010", 57},    {"01011011", 58},    {"01001010", 59},
    {"01001011", 60},    {"00110010", 61},    {"00110011", 62},    {"00110100", 63},
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

const Code kBlackCodes[] = {
    {"0000110111", 0},
    {"010", 1},
    {"11", 2},
    {"10", 3},
    {"011", 4},
    {"0011", 5},
    {"0010", 6},
    {"00011", 7},
    {"000101", 8},
    {"000100", 9},
    {"0000100", 10},
    {"0000101", 11},
    {"0000111", 12},
    {"00000100", 13},
    {"00000111", 14},
    {"000011000", 15},
    {"0000010111", 16},
    {"0000011000", 17},
    {"0000001000", 18},
    {"00001100111", 19},
    {"00001101000", 20},
    {"00001101100", 21},
    {"00000110111", 22},
    {"00000101000", 23},
    {"00000010111", 24},
    {"00000011000", 25},
    {"000011001010", 26},
    {"000011001011", 27},
    {"000011001100", 28},
    {"000011001101", 29},
    {"000001101000", 30},
    {"000001101001", 31},
    {"000001101010", 32},
    {"000001101011", 33},
    {"000011010010", 34},
    {"000011010011", 35},
    {"000011010100", 36},
    {"000011010101", 37},
    {"000011010110", 38},
    {"000011010111", 39},
    {"000001101100", 40},
    {"000001101101", 41},
    {"000011011010", 42},
    {"000011011011", 43},
    {"000001010100", 44},
    {"000001010101", 45},
    {"000001010110", 46},
    {"000001010111", 47},
    {"000001100100", 48},
    {"000001100101", 49},
    {"000001010010", 50},
    {"000001010011", 51},
    {"000000100100", 52},
    {"000000110111", 53},
    {"000000111000", 54},
    {"000000100111", 55},
    {"000000101000", 56},
    {"000001011000", 57},
    {"000001011001", 58},
    {"000000101011", 59},
    {"000000101100", 60},
    {"000001011010", 61},
    {"000001100110", 62},
    {"000001100111", 63},
    {"0000001111", 64},
    {"000011001000", 128},
    {"000011001001", 192},
    {"000001011011", 256},
    {"000000110011", 320},
    {"000000110100", 384},
    {"000000110101", 448},
    {"0000001101100", 512},
    {"0000001101101", 576},
    {"0000001001010", 640},
    {"0000001001011", 704},
    {"0000001001100", 768},
    {"0000001001101", 832},
    {"0000001110010", 896},
    {"0000001110011", 960},
    {"0000001110100", 1024},
    {"0000001110101", 1088},
    {"0000001110110", 1152},
    {"0000001110111", 1216},
    {"0000001010010", 1280},
    {"0000001010011", 1344},
    {"0000001010100", 1408},
    {"0000001010101", 1472},
    {"0000001011010", 1536},
    {"0000001011011", 1600},
    {"0000001100100", 1664},
    {"0000001100101", 1728},
};

const Code kExtendedCodes[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},  {"000000010010", 1984},
    {"000000010011", 2048}, {"000000010100", 2112}, {"000000010101", 2176}, {"000000010110", 2240},
    {"000000010111", 2304}, {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

enum Mode2D {
    mdInvalid,
    mdPass,
    mdHorizontal,
    mdV0,
    mdVR1,
    mdVR2,
    mdVR3,
    mdVL1,
    mdVL2,
    mdVL3,
    mdExtension
};

const struct {
    const char* bits;
    Mode2D mode;
} kModeCodes[] = {
    {"0001", mdPass},   {"001", mdHorizontal},    {"1", mdV0},    {"011", mdVR1},
    {"000011", mdVR2},  {"0000011", mdVR3},       {"010", mdVL1}, {"000010", mdVL2},
    {"0000010", mdVL3}, {"0000001", mdExtension},
};

constexpr int kLookupBits = 13;

struct Entry {
    uint8_t length = 0; // 0: no code starts with these bits
    int16_t run = 0;
};

struct Tables {
    std::array<Entry, 1 << kLookupBits> white, black;
    std::array<Entry, 1 << 7> modes;
};

void Insert(Entry* table, int lookupBits, const char* bits, int value)
{
    int length = static_cast<int>(std::strlen(bits));
    unsigned code = 0;
    for (int i = 0; i < length; ++i)
        code = (code << 1) | static_cast<unsigned>(bits[i] - '0');
    unsigned first = code << (lookupBits - length);
    unsigned count = 1u << (lookupBits - length);
    for (unsigned i = 0; i < count; ++i) {
        table[first + i].length = static_cast<uint8_t>(length);
        table[first + i].run = static_cast<int16_t>(value);
    }
}

const Tables& CodeTables()
{
    static const Tables tables = [] {
        Tables t;
        for (const Code& c : kWhiteCodes)
            Insert(t.white.data(), kLookupBits, c.bits, c.run);
        for (const Code& c : kBlackCodes)
            Insert(t.black.data(), kLookupBits, c.bits, c.run);
        for (const Code& c : kExtendedCodes) {
            Insert(t.white.data(), kLookupBits, c.bits, c.run);
            Insert(t.black.data(), kLookupBits, c.bits, c.run);
        }
        for (const auto& m : kModeCodes)
            Insert(t.modes.data(), 7, m.bits, m.mode);
        return t;
    }();
    return tables;
}

class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size, bool reverse)
        : data_(data), size_(size), bits_(size * 8), reverse_(reverse)
    {
    }
    bool AtEnd() const { return pos_ >= bits_; }
    size_t Position() const { return pos_; }
    // The next n bits (n <= 24), zeros beyond the end.
    unsigned Peek(int n) const
    {
        size_t byte = pos_ >> 3;
        uint32_t window = 0;
        for (size_t i = 0; i < 4; ++i)
            window = (window << 8) | (byte + i < size_ ? Byte(byte + i) : 0u);
        return static_cast<unsigned>((window << (pos_ & 7)) >> (32 - n));
    }
    void Skip(size_t n) { pos_ = std::min(bits_, pos_ + n); }
    void Seek(size_t p) { pos_ = std::min(bits_, p); }
    void Align(size_t unit) { pos_ = std::min(bits_, (pos_ + unit - 1) / unit * unit); }

  private:
    uint32_t Byte(size_t at) const { return reverse_ ? ReversedByte(data_[at]) : data_[at]; }
    static uint8_t ReversedByte(uint8_t b)
    {
        static const std::array<uint8_t, 256> table = [] {
            std::array<uint8_t, 256> t{};
            for (int v = 0; v < 256; ++v)
                for (int i = 0; i < 8; ++i)
                    if (v & (1 << i))
                        t[static_cast<size_t>(v)] |= static_cast<uint8_t>(0x80 >> i);
            return t;
        }();
        return table[b];
    }
    const uint8_t* data_;
    size_t size_;
    size_t bits_;
    size_t pos_ = 0;
    bool reverse_;
};

struct BadCode {};

class Decoder {
  public:
    Decoder(const uint8_t* src, size_t size, const TCCITTOptions& o, int width)
        : in_(src, size, o.reverseBits), options_(o), width_(width), tables_(CodeTables())
    {
        reference_ = {width, width};
    }

    // One run of the given colour: make-up codes, then a terminating code.
    int ReadRun(bool black)
    {
        const auto& table = black ? tables_.black : tables_.white;
        int total = 0;
        for (;;) {
            if (in_.AtEnd())
                throw BadCode{};
            const Entry& e = table[in_.Peek(kLookupBits)];
            if (e.length == 0)
                throw BadCode{};
            in_.Skip(e.length);
            total += e.run;
            if (total > 4 * width_ + 2560)
                throw BadCode{};
            if (e.run < 64)
                return total;
        }
    }

    // Skips fill bits and end-of-line codes; returns how many end-of-line codes there were.
    int SkipEOLs()
    {
        int count = 0;
        for (;;) {
            size_t start = in_.Position();
            int zeros = 0;
            while (!in_.AtEnd() && in_.Peek(8) == 0 && zeros < 4096) {
                in_.Skip(8);
                zeros += 8;
            }
            while (!in_.AtEnd() && in_.Peek(1) == 0 && zeros < 4096) {
                in_.Skip(1);
                ++zeros;
            }
            if (zeros >= 11 && !in_.AtEnd()) {
                in_.Skip(1);
                ++count;
                continue;
            }
            // Not an end of line: back to where the zeros began.
            in_.Seek(start);
            return count;
        }
    }

    // Moves to the next end of line after a damaged row.
    void Resync()
    {
        while (!in_.AtEnd() && in_.Peek(12) != 1)
            in_.Skip(1);
    }

    void Decode1D(std::vector<int>& changes)
    {
        int a0 = 0;
        bool black = false;
        while (a0 < width_) {
            int run = ReadRun(black);
            a0 = std::min(width_, a0 + run);
            changes.push_back(a0);
            black = !black;
        }
    }

    void Decode2D(std::vector<int>& changes)
    {
        int a0 = -1;
        bool black = false;
        size_t bi = 0;
        while (a0 < width_) {
            // b1: the first change of the reference line right of a0 to the colour opposite a0's.
            if (bi > 1)
                bi -= 2;
            while (bi < reference_.size() &&
                   (reference_[bi] <= a0 || (bi & 1) != (black ? 1u : 0u)))
                ++bi;
            int b1 = bi < reference_.size() ? reference_[bi] : width_;
            int b2 = bi + 1 < reference_.size() ? reference_[bi + 1] : width_;
            const Entry& e = tables_.modes[in_.Peek(7)];
            if (e.length == 0 || in_.AtEnd())
                throw BadCode{};
            in_.Skip(e.length);
            int start = std::max(a0, 0);
            switch (e.run) {
            case mdPass:
                // Colour unchanged up to b2.
                if (black)
                    FillBlack(start, b2);
                a0 = b2;
                break;
            case mdHorizontal: {
                int r1 = ReadRun(black), r2 = ReadRun(!black);
                int a1 = std::min(width_, start + r1), a2 = std::min(width_, a1 + r2);
                if (black)
                    FillBlack(start, a1);
                else
                    FillBlack(a1, a2);
                changes.push_back(a1);
                changes.push_back(a2);
                a0 = a2;
                break;
            }
            case mdExtension:
                throw BadCode{}; // uncompressed mode is not decoded
            default: {
                static const int kOffsets[] = {0, 0, 0, 0, 1, 2, 3, -1, -2, -3};
                int a1 = std::clamp(b1 + kOffsets[e.run], 0, width_);
                if (a1 < start && !(a0 < 0 && a1 == 0))
                    throw BadCode{};
                if (black)
                    FillBlack(start, a1);
                changes.push_back(a1);
                a0 = a1;
                black = !black;
                break;
            }
            }
        }
    }

    int Run(int rows, uint8_t* dst, size_t rowBytes)
    {
        int decoded = 0;
        std::vector<int> changes;
        for (int y = 0; y < rows; ++y) {
            bool twoD = false;
            if (options_.mode == cmGroup3) {
                int eols = SkipEOLs();
                if (in_.AtEnd() || (eols >= 2 && y > 0))
                    break; // end of the page
                if (options_.twoDimensional) {
                    twoD = in_.Peek(1) == 0;
                    in_.Skip(1);
                }
            } else if (y > 0) {
                in_.Align(options_.mode == cmMHWord ? 16 : 8);
            }
            if (in_.AtEnd())
                break;
            row_ = dst + rowBytes * static_cast<size_t>(y);
            std::memset(row_, 0, rowBytes);
            changes.clear();
            try {
                if (twoD)
                    Decode2D(changes);
                else
                    FillFrom1D(changes);
            } catch (const BadCode&) {
                if (options_.mode != cmGroup3)
                    throw;
                Resync(); // keep what the row had and go on at the next line
            }
            reference_ = changes;
            reference_.push_back(width_);
            reference_.push_back(width_);
            ++decoded;
        }
        return decoded;
    }

  private:
    void FillFrom1D(std::vector<int>& changes)
    {
        Decode1D(changes);
        int a0 = 0;
        bool black = false;
        for (int c : changes) {
            if (black)
                FillBlack(a0, c);
            a0 = c;
            black = !black;
        }
    }

    void FillBlack(int from, int to)
    {
        from = std::clamp(from, 0, width_);
        to = std::clamp(to, 0, width_);
        while (from < to && (from & 7)) {
            row_[from >> 3] = static_cast<uint8_t>(row_[from >> 3] | (0x80 >> (from & 7)));
            ++from;
        }
        if (to - from >= 8) {
            std::memset(row_ + (from >> 3), 0xFF, static_cast<size_t>((to - from) >> 3));
            from += (to - from) & ~7;
        }
        for (; from < to; ++from)
            row_[from >> 3] = static_cast<uint8_t>(row_[from >> 3] | (0x80 >> (from & 7)));
    }

    BitReader in_;
    TCCITTOptions options_;
    int width_;
    const Tables& tables_;
    std::vector<int> reference_;
    uint8_t* row_ = nullptr;
};

} // namespace

int DecodeCCITT(const uint8_t* src, size_t srcSize, const TCCITTOptions& options, int width,
                int rows, uint8_t* dst, size_t rowBytes, const std::string& formatName)
{
    if (options.uncompressed)
        throw EInvalidGraphic(UnsupportedError("Uncompressed fax mode is", formatName));
    if (width <= 0 || rows <= 0 || rowBytes * 8 < static_cast<size_t>(width))
        return 0;
    Decoder decoder(src, srcSize, options, width);
    try {
        return decoder.Run(rows, dst, rowBytes);
    } catch (const BadCode&) {
        throw EInvalidGraphic(FormatError(kCompressionError, formatName));
    }
}

} // namespace tabulonix
