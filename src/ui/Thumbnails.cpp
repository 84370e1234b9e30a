#include "ui/Thumbnails.h"

#include "codecs/Picture.h"
#include "codecs/surface/Canvas.h"
#include "engine/Geometry.h"

#include <algorithm>
#include <exception>

namespace tabulonix {

ThumbnailSize ThumbnailSizeFor(int width, int height)
{
    if (width <= kThumbnailSide && height <= kThumbnailSide)
        return {width, height};
    if (width == height)
        return {kThumbnailSide, kThumbnailSide};
    // A very thin picture keeps a line of one pixel rather than an empty cell.
    auto shorter = [](int side, int longer) {
        return std::max(1,
                        static_cast<int>(RoundDivHalfEven(int64_t{side} * kThumbnailSide, longer)));
    };
    if (width > height)
        return {kThumbnailSide, shorter(height, width)};
    return {shorter(width, height), kThumbnailSide};
}

TBitmap MakeThumbnail(const std::string& path)
{
    TPicture picture;
    picture.OpenFile(path);
    TGraphic* graphic = picture.Graphic();
    if (!graphic)
        throw EInvalidGraphic("No picture");

    TBitmap source;
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic)) {
        source = *bitmap;
    } else {
        source.SetPixelFormat(pf24bit);
        source.SetSize(graphic->Width(), graphic->Height());
        source.Canvas().DrawAt(0, 0, graphic);
    }

    const ThumbnailSize size = ThumbnailSizeFor(source.Width(), source.Height());
    if (size.width == source.Width() && size.height == source.Height())
        return source;

    TBitmap reduced;
    reduced.SetPixelFormat(pf24bit);
    reduced.SetSize(size.width, size.height);
    TCanvas& canvas = reduced.Canvas();
    canvas.StretchMode = smDeleteScans;
    canvas.StretchBlit(TRect{0, 0, size.width, size.height}, source,
                       TRect{0, 0, source.Width(), source.Height()}, cmSrcCopy);
    return reduced;
}

QImage ToQImage(const TBitmap& bitmap)
{
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor c = bitmap.Pixel(x, y);
            line[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    return image;
}

ThumbnailResult LoadThumbnail(const std::string& path)
{
    try {
        TBitmap thumbnail = MakeThumbnail(path);
        if (thumbnail.IsEmpty())
            return {};
        return {ToQImage(thumbnail)};
    } catch (const std::exception&) {
        // A file that cannot be read keeps an empty cell.
        return {};
    }
}

} // namespace tabulonix
