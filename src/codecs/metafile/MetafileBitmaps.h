#pragma once
#include "codecs/surface/Bitmap.h"

#include <cstddef>
#include <cstdint>

namespace tabulonix::metafile {

// Decodes a bitmap carried by a record: its information block and pixels, or a packed
// bitmap (`bits` null) whose pixels follow the colour table. False when it cannot be drawn.
bool DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
               TBitmap& out);

// Whether the information block (at least 12 bytes) describes rows stored bottom-up.
bool DibBottomUp(const uint8_t* info);

// Decodes the old device-dependent bitmap of Windows block transfers; monochrome pixels take
// the text colour (0) and the background colour (1).
bool DecodeBitmap16(const uint8_t* data, size_t size, TColor text, TColor background, TBitmap& out);

} // namespace tabulonix::metafile
