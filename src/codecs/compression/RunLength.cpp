#include "codecs/compression/RunLength.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

// Output cursor that drops whatever would overflow the buffer.
struct Out {
    uint8_t* dst;
    size_t size;
    size_t pos = 0;
    bool Full() const { return pos >= size; }
    void Fill(uint8_t value, size_t count)
    {
        size_t n = std::min(count, size - pos);
        std::memset(dst + pos, value, n);
        pos += n;
    }
    void Copy(const uint8_t* src, size_t count)
    {
        size_t n = std::min(count, size - pos);
        std::memcpy(dst + pos, src, n);
        pos += n;
    }
};

// Input cursor for the byte-oriented run-length schemes: each scheme only decides, from its
// control byte, which of the two packet bodies follows.
struct In {
    const uint8_t* src;
    size_t size;
    size_t pos = 0;
    bool More() const { return pos < size; }
    uint8_t Next() { return src[pos++]; }
    // The next `count` bytes as they are (as many as remain).
    void Literal(Out& out, size_t count)
    {
        count = std::min(count, size - pos);
        out.Copy(src + pos, count);
        pos += count;
    }
    // The next byte `count` times; false when the data ends first.
    bool Repeat(Out& out, size_t count)
    {
        if (pos >= size)
            return false;
        out.Fill(src[pos++], count);
        return true;
    }
};

} // namespace

TDecodeResult DecodePackBits(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize)
{
    Out out{dst, dstSize};
    In in{src, srcSize};
    while (in.More() && !out.Full()) {
        uint8_t n = in.Next();
        if (n < 128)
            in.Literal(out, n + 1u);
        else if (n > 128 && !in.Repeat(out, 257u - n))
            break;
    }
    return {in.pos, out.pos};
}

TDecodeResult DecodePCXRLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize)
{
    Out out{dst, dstSize};
    In in{src, srcSize};
    while (in.More() && !out.Full()) {
        uint8_t b = in.Next();
        if (b < 192)
            out.Fill(b, 1);
        else if (!in.Repeat(out, b - 192u))
            break;
    }
    return {in.pos, out.pos};
}

TDecodeResult DecodeSGIRLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                           int bytesPerSample)
{
    Out out{dst, dstSize};
    const size_t bps = bytesPerSample == 2 ? 2 : 1;
    size_t i = 0;
    while (i + bps <= srcSize && !out.Full()) {
        unsigned c = bps == 2 ? (unsigned{src[i]} << 8 | src[i + 1]) : src[i];
        i += bps;
        size_t count = c & 0x7F;
        if (count == 0)
            break;
        if (c & 0x80) {
            size_t bytes = std::min(count * bps, (srcSize - i) / bps * bps);
            out.Copy(src + i, bytes);
            i += bytes;
        } else {
            if (i + bps > srcSize)
                break;
            for (size_t k = 0; k < count && !out.Full(); ++k)
                out.Copy(src + i, bps);
            i += bps;
        }
    }
    return {i, out.pos};
}

TDecodeResult DecodeCUTRow(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize)
{
    Out out{dst, dstSize};
    In in{src, srcSize, std::min<size_t>(2, srcSize)}; // the row's length word is skipped
    while (in.More()) {
        uint8_t c = in.Next();
        if (c == 0)
            break;
        if (!(c & 0x80))
            in.Literal(out, c);
        else if (!in.Repeat(out, c & 0x7Fu))
            break;
    }
    return {in.pos, out.pos};
}

TDecodeResult DecodePSPRLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize)
{
    Out out{dst, dstSize};
    In in{src, srcSize};
    while (in.More() && !out.Full()) {
        uint8_t c = in.Next();
        if (c < 128)
            in.Literal(out, c);
        else if (!in.Repeat(out, c - 128u))
            break;
    }
    return {in.pos, out.pos};
}

TDecodeResult DecodeRLARLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize)
{
    Out out{dst, dstSize};
    In in{src, srcSize};
    while (in.More() && !out.Full()) {
        int c = static_cast<int8_t>(in.Next());
        if (c < 0)
            in.Literal(out, static_cast<size_t>(-c));
        else if (!in.Repeat(out, static_cast<size_t>(c) + 1))
            break;
    }
    return {in.pos, out.pos};
}

} // namespace tabulonix
