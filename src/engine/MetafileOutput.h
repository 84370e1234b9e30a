#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tabulonix {

class TBitmap;
class TMetafile;

// Replaces the metafile's content with a recording of `surface` drawn at (0, 0) at its own
// size, on the screen as reference device: one bitmap record, sized in 0.01 mm by the
// screen's millimetres per pixel.
void RecordSurface(TMetafile& metafile, TBitmap& surface);

// Records the surface, sets the enhanced flag and returns the bytes of the file `fileName`
// (a ".wmf" name always gets the Windows form).
std::vector<uint8_t> EncodeSurfaceAsMetafile(TMetafile& metafile, TBitmap& surface, bool enhanced,
                                             const std::string& fileName);

// Records the surface, sets the enhanced flag and writes `path` (a ".wmf" name always gets
// the Windows form). The same metafile serves every file of a run.
void SaveSurfaceAsMetafile(TMetafile& metafile, TBitmap& surface, bool enhanced,
                           const std::string& path);

} // namespace tabulonix
