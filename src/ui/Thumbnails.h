#pragma once
#include "codecs/surface/Bitmap.h"

#include <QImage>
#include <string>

namespace tabulonix {

// The side of the square a thumbnail fits into.
constexpr int kThumbnailSide = 100;

struct ThumbnailSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const ThumbnailSize&, const ThumbnailSize&) = default;
};

// The size of the thumbnail of a width x height picture: unchanged up to 100 x 100,
// otherwise the longer side 100 and the other rounded in proportion, halves to even.
ThumbnailSize ThumbnailSizeFor(int width, int height);

// Opens the picture file and makes its thumbnail: a picture that is not a bitmap is first
// drawn at its own size onto a white 24-bit surface; a larger one is reduced to a 24-bit
// bitmap by taking one source pixel per target pixel. Throws when the file cannot be read.
TBitmap MakeThumbnail(const std::string& path);

// The picture in the display's format, for painting.
QImage ToQImage(const TBitmap& bitmap);

// What a worker hands back for one file: the thumbnail, or a null image when the file
// could not be read.
struct ThumbnailResult {
    QImage image;
};

// MakeThumbnail + ToQImage with every failure swallowed; safe to run on any thread.
ThumbnailResult LoadThumbnail(const std::string& path);

} // namespace tabulonix
