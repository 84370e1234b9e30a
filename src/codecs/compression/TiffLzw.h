#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulonix {

// TIFF's LZW (compression 5): codes packed most significant bit first, 256 clears the
// table, 257 ends the data, and the code width grows one code before the table fills its
// width. Decodes into at most dstSize bytes and returns the bytes written; a code that
// names no string raises the compression error of `formatName`. The old form, packed like
// GIF's, is refused as unsupported.
size_t DecodeTiffLzw(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                     const std::string& formatName);

} // namespace tabulonix
