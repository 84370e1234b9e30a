#pragma once
#include "codecs/core/DecodeLimits.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulonix {

// JPEG data inside a TIFF strip. `tables` (may be empty) is the abbreviated table
// stream of the file; the strip is decoded into `rows` rows of width x components bytes
// (rows beyond the strip's stay untouched). `colorTransform` asks for YCbCr to RGB
// conversion (photometric 6); otherwise the components are taken as they are stored.
// Returns the rows decoded. The library's memory counts against the limits' buffer budget.
int DecodeTIFFJPEG(const uint8_t* tables, size_t tablesSize, const uint8_t* src, size_t srcSize,
                   int width, int rows, int components, bool colorTransform, uint8_t* dst,
                   size_t rowBytes, const std::string& formatName, const DecodeLimits& limits);

} // namespace tabulonix
