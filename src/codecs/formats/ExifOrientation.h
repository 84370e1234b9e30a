#pragma once
#include <string>

namespace tabulonix {

class TBitmap;

// The EXIF Orientation (1..8) that a JPEG's Exif block or a TIFF's first directory gives
// the picture in `path`; 1 (as stored) for any other file, or when there is no valid tag.
int ReadExifOrientation(const std::string& path);

// True for the orientations whose upright picture has width and height exchanged.
inline bool OrientationSwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// `bitmap` as stored, turned upright for `orientation`: mirrored, turned or both.
void TurnUpright(TBitmap& bitmap, int orientation);

} // namespace tabulonix
