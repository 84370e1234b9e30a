#pragma once
#include <cstddef>
#include <cstdint>

namespace tabulonix::metafile {

class MetafileOps;

// Reads the records of an enhanced metafile (header record first) and hands each one to
// `ops` as drawing operations. Malformed records are skipped; the records end at EMR_EOF,
// at a record whose size does not fit, or at the end of the data.
void DecodeEmf(const uint8_t* data, size_t size, MetafileOps& ops);

} // namespace tabulonix::metafile
