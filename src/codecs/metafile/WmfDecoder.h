#pragma once
#include "codecs/surface/Canvas.h"

#include <cstddef>
#include <cstdint>

namespace tabulonix::metafile {

class MetafileOps;

// Reads Windows metafile records (META_HEADER first, no placeable header) and hands each
// one to `ops` as drawing operations; `box` is the placeable header's bounding box, the
// window until the records set their own. Malformed records are skipped.
void DecodeWmf(const uint8_t* data, size_t size, const TRect& box, MetafileOps& ops);

} // namespace tabulonix::metafile
