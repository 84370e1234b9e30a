#pragma once
#include "codecs/surface/Bitmap.h"

namespace tabulonix {

class TGraphic;

// `graphic` at its own size as 24-bit pixels, drawn over white as the batch's surface
// draws it (alpha blended, palettes resolved).
TBitmap TrueColorCopy(TGraphic& graphic);

// A 24-bit picture scaled to width x height by averaging: on an axis that shrinks, each
// destination pixel takes the mean of the source pixels whose centres lie inside it; on an
// axis that grows, the pixel under its centre. The horizontal pass comes first and is
// rounded to eight bits before the vertical one. Averaging is done on the stored (gamma
// encoded) values, as other thumbnailers and browsers do, so that results compare with theirs.
TBitmap BoxScaled(const TBitmap& source, int width, int height);

} // namespace tabulonix
