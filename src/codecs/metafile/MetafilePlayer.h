#pragma once
#include "codecs/core/DecodeLimits.h"
#include "codecs/surface/Canvas.h"

#include <cstddef>
#include <cstdint>

namespace tabulonix {

// Plays metafile records onto a canvas, the picture's frame mapped onto `area`, whose right
// and bottom edges are inclusive (so (0, 0, 99, 49) is a 100 x 50 pixel area). Drawing is
// clipped to the area. Records that are not understood, and malformed ones, are skipped;
// the total work is bounded (limits.metafileWork), so hostile records end the playing early rather
// than hang. Text records are skipped.

// An enhanced metafile (header record first).
void PlayEnhancedMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& area,
                          const DecodeLimits& limits);
// Windows metafile records (META_HEADER first, no placeable header); `box` is the
// placeable header's bounding box, the window until the records set their own.
void PlayWindowsMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& box,
                         const TRect& area, const DecodeLimits& limits);

} // namespace tabulonix
