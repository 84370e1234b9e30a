#include "codecs/RasterDecoders.h"

#include "codecs/Graphic.h"
#include "codecs/LzwTable.h"
#include "codecs/ReaderGraphic.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

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

size_t DecodeTiffLzw(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                     const std::string& formatName)
{
    constexpr int kClear = 256, kEnd = 257;
    auto damaged = [&] { return EInvalidGraphic(FormatError(kCompressionError, formatName)); };
    // The old form starts with a clear code written least significant bit first.
    if (srcSize >= 2 && src[0] == 0 && (src[1] & 1) != 0)
        throw EInvalidGraphic(UnsupportedError("Old-style LZW compression is", formatName));
    TLzwTable table(256);
    size_t written = 0, at = 0;
    uint32_t buffer = 0;
    int bitsInBuffer = 0, codeBits = 9, next = kEnd + 1, previous = -1;
    auto put = [&](uint16_t value) {
        if (written == dstSize)
            return false;
        dst[written++] = static_cast<uint8_t>(value);
        return true;
    };
    while (written < dstSize) {
        while (bitsInBuffer < codeBits && at < srcSize) {
            buffer = (buffer << 8) | src[at++];
            bitsInBuffer += 8;
        }
        if (bitsInBuffer < codeBits)
            break; // the data ends without its end code: what came is kept
        const int code =
            static_cast<int>((buffer >> (bitsInBuffer - codeBits)) & ((1u << codeBits) - 1));
        bitsInBuffer -= codeBits;
        if (code == kClear) {
            next = kEnd + 1;
            codeBits = 9;
            previous = -1;
            continue;
        }
        if (code == kEnd)
            break;
        if (previous < 0) {
            if (code > 255)
                throw damaged();
        } else if (code < next) {
            if (next < TLzwTable::kCodes)
                table.Add(next++, previous, table.First(code));
        } else if (code == next && next < TLzwTable::kCodes) {
            table.Add(next++, previous, table.First(previous));
        } else {
            throw damaged();
        }
        if (!table.Emit(code, put))
            throw damaged();
        if (next == (1 << codeBits) - 1 && codeBits < 12)
            ++codeBits;
        previous = code;
    }
    return written;
}

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

size_t InflateBounded(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                      const std::string& formatName)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        throw EInvalidGraphic(FormatError(kCompressionError, formatName));
    size_t produced = 0;
    size_t consumed = 0;
    int status = Z_OK;
    // zlib counts in 32 bits: feed and drain in pieces.
    constexpr size_t kPiece = 1u << 30;
    while (produced < dstSize) {
        if (z.avail_in == 0) {
            if (consumed >= srcSize)
                break;
            size_t n = std::min(kPiece, srcSize - consumed);
            z.next_in = const_cast<Bytef*>(src + consumed);
            z.avail_in = static_cast<uInt>(n);
            consumed += n;
        }
        size_t room = std::min(kPiece, dstSize - produced);
        z.next_out = dst + produced;
        z.avail_out = static_cast<uInt>(room);
        status = inflate(&z, Z_NO_FLUSH);
        produced += room - z.avail_out;
        if (status == Z_STREAM_END)
            break;
        if (status == Z_BUF_ERROR && z.avail_in == 0 && consumed >= srcSize)
            break; // input ran out: the rest stays as it was
        if (status != Z_OK && status != Z_BUF_ERROR) {
            inflateEnd(&z);
            throw EInvalidGraphic(FormatError(kCompressionError, formatName));
        }
    }
    inflateEnd(&z);
    return produced;
}

void DecodeThunderscan(const uint8_t* src, size_t srcSize, int width, int rows, uint8_t* dst,
                       size_t rowBytes)
{
    static const int kTwoBitDeltas[4] = {0, 1, 0, -1};
    static const int kThreeBitDeltas[8] = {0, 1, 2, 3, 0, -3, -2, -1};
    size_t i = 0;
    for (int y = 0; y < rows && i < srcSize; ++y) {
        uint8_t* row = dst + static_cast<size_t>(y) * rowBytes;
        int last = 0;
        int x = 0;
        auto put = [&](int v) {
            if (x >= width)
                return;
            uint8_t& b = row[x >> 1];
            if (x & 1)
                b = static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
            else
                b = static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
            ++x;
        };
        while (x < width && i < srcSize) {
            uint8_t code = src[i++];
            switch (code & 0xC0) {
            case 0x00: // run of the last value
                for (int n = code & 0x3F; n > 0 && x < width; --n)
                    put(last);
                break;
            case 0x40: { // three 2-bit deltas; 2 skips
                int d[3] = {(code >> 4) & 3, (code >> 2) & 3, code & 3};
                for (int k : d)
                    if (k != 2) {
                        last = (last + kTwoBitDeltas[k]) & 0x0F;
                        put(last);
                    }
                break;
            }
            case 0x80: { // two 3-bit deltas; 4 skips
                int d[2] = {(code >> 3) & 7, code & 7};
                for (int k : d)
                    if (k != 4) {
                        last = (last + kThreeBitDeltas[k]) & 0x0F;
                        put(last);
                    }
                break;
            }
            default: // a raw value
                last = code & 0x0F;
                put(last);
                break;
            }
        }
    }
}

} // namespace tabulonix
