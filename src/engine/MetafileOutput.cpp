#include "engine/MetafileOutput.h"

#include "codecs/metafile/Metafile.h"
#include "codecs/surface/Bitmap.h"

namespace tabulonix {

void RecordSurface(TMetafile& metafile, TBitmap& surface)
{
    metafile.SetHeight(surface.Height());
    metafile.SetWidth(surface.Width());
    TMetafileCanvas canvas(metafile);
    canvas.DrawAt(0, 0, &surface);
    canvas.Close();
}

std::vector<uint8_t> EncodeSurfaceAsMetafile(TMetafile& metafile, TBitmap& surface, bool enhanced,
                                             const std::string& fileName)
{
    RecordSurface(metafile, surface);
    metafile.SetEnhanced(enhanced);
    return metafile.FileBytes(fileName);
}

void SaveSurfaceAsMetafile(TMetafile& metafile, TBitmap& surface, bool enhanced,
                           const std::string& path)
{
    RecordSurface(metafile, surface);
    metafile.SetEnhanced(enhanced);
    metafile.WriteFile(path);
}

} // namespace tabulonix
