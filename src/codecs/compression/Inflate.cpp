#include "codecs/compression/Inflate.h"

#include "codecs/core/CodecErrors.h"

#include <algorithm>
#include <zlib.h>

namespace tabulonix {

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

} // namespace tabulonix
