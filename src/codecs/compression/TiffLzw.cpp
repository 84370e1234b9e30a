#include "codecs/compression/TiffLzw.h"

#include "codecs/compression/LzwTable.h"
#include "codecs/core/CodecErrors.h"

namespace tabulonix {

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

} // namespace tabulonix
