#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulonix {

// Inflates a zlib stream into at most dstSize bytes. Output beyond dstSize is not
// produced (the stream is not inflated further); a corrupt stream raises the compression
// error of `formatName`. A stream that ends early leaves the rest of dst untouched.
// Returns the bytes written.
size_t InflateBounded(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                      const std::string& formatName);

} // namespace tabulonix
