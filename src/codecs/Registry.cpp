#include "codecs/Registry.h"

#include "codecs/formats/Cel.h"
#include "codecs/formats/Cut.h"
#include "codecs/formats/Eps.h"
#include "codecs/formats/Icon.h"
#include "codecs/formats/Jpeg.h"
#include "codecs/formats/Pcd.h"
#include "codecs/formats/Pcx.h"
#include "codecs/formats/Png.h"
#include "codecs/formats/PngWriter.h"
#include "codecs/formats/Pnm.h"
#include "codecs/formats/Psd.h"
#include "codecs/formats/Psp.h"
#include "codecs/formats/Rla.h"
#include "codecs/formats/Sgi.h"
#include "codecs/formats/Tga.h"
#include "codecs/formats/Tiff.h"
#include "codecs/formats/gif/GifCodec.h"
#include "codecs/metafile/Metafile.h"
#include "codecs/surface/Bitmap.h"
#include "platform/Files.h"

#include <algorithm>
#include <set>

namespace tabulonix {

void TFileFormatsList::Add(const std::string& extension, const std::string& description,
                           TGraphicClass cls)
{
    entries_.push_back(TFileFormat{LowerCase(extension), description, std::move(cls), 0});
}

const TGraphicClass* TFileFormatsList::FindExtension(const std::string& extension) const
{
    std::string wanted = LowerCase(extension);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->extension == wanted)
            return &it->graphicClass;
    return nullptr;
}

namespace {

// Every format of the program, in the order the modules register them at start-up. Later
// entries shadow earlier ones for the same extension.
void RegisterStandardFormats(TFileFormatsList& list)
{
    // The four formats the picture classes know from the start.
    list.Add("wmf", "Metafiles", GraphicClassOf<TMetafile>());
    list.Add("emf", "Enhanced Metafiles", GraphicClassOf<TMetafile>());
    list.Add("ico", "Icons", GraphicClassOf<TIcon>());
    list.Add("bmp", "Bitmaps", GraphicClassOf<TBitmap>());

    // 1. The PNG writer.
    list.Add("PNG", "Portable Network Graphics", GraphicClassOf<TPNGWriter>());

    // 2. JPEG.
    list.Add("jpeg", "JPEG Image File", GraphicClassOf<TJPEGImage>());
    list.Add("jpg", "JPEG Image File", GraphicClassOf<TJPEGImage>());

    // 3. The additional readers, in this order: bmp, ico, wmf, emf, jfif/jpg/jpe/jpeg,
    //    rle/dib, win/vst/vda/tga/icb, tiff/tif/fax, eps, pcx/pcc/scr, rpf/rla,
    //    sgi/rgba/rgb/bw, psd/pdd, ppm/pgm/pbm, cel/pic, pcd, cut, psp, png, gif.
    list.Add("bmp", "Windows bitmaps", GraphicClassOf<TBitmap>());
    list.Add("ico", "Windows icons", GraphicClassOf<TIcon>());
    list.Add("wmf", "Windows metafiles", GraphicClassOf<TMetafile>());
    list.Add("emf", "Windows enhanced meta files", GraphicClassOf<TMetafile>());
    list.Add("jfif", "JFIF images", GraphicClassOf<TJPEGImage>());
    list.Add("jpg", "JPG images", GraphicClassOf<TJPEGImage>());
    list.Add("jpe", "JPE images", GraphicClassOf<TJPEGImage>());
    list.Add("jpeg", "JPEG images", GraphicClassOf<TJPEGImage>());
    list.Add("rle", "Run length encoded Windows bitmaps", GraphicClassOf<TBitmap>());
    list.Add("dib", "Device independant Windows bitmaps", GraphicClassOf<TBitmap>());
    list.Add("win", "Truevision images", GraphicClassOf<TTargaGraphic>());
    list.Add("vst", "Truevision images", GraphicClassOf<TTargaGraphic>());
    list.Add("vda", "Truevision images", GraphicClassOf<TTargaGraphic>());
    list.Add("tga", "Truevision images", GraphicClassOf<TTargaGraphic>());
    list.Add("icb", "Truevision images", GraphicClassOf<TTargaGraphic>());
    list.Add("tiff", "Macintosh TIFF images", GraphicClassOf<TTIFFGraphic>());
    list.Add("tif", "PC TIF images", GraphicClassOf<TTIFFGraphic>());
    list.Add("fax", "GFI fax images", GraphicClassOf<TTIFFGraphic>());
    list.Add("eps", "Encapsulated Postscript images", GraphicClassOf<TEPSGraphic>());
    list.Add("pcx", "ZSoft Paintbrush images", GraphicClassOf<TPCXGraphic>());
    list.Add("pcc", "ZSoft Paintbrush images", GraphicClassOf<TPCXGraphic>());
    list.Add("scr", "Word 5.x screen capture images", GraphicClassOf<TPCXGraphic>());
    list.Add("rpf", "Alias/Wavefront images", GraphicClassOf<TRLAGraphic>());
    list.Add("rla", "Alias/Wavefront images", GraphicClassOf<TRLAGraphic>());
    list.Add("sgi", "SGI true color images", GraphicClassOf<TSGIGraphic>());
    list.Add("rgba", "SGI true color images with alpha", GraphicClassOf<TSGIGraphic>());
    list.Add("rgb", "SGI true color images", GraphicClassOf<TSGIGraphic>());
    list.Add("bw", "SGI black/white images", GraphicClassOf<TSGIGraphic>());
    list.Add("psd", "Photoshop images", GraphicClassOf<TPSDGraphic>());
    list.Add("pdd", "Photoshop images", GraphicClassOf<TPSDGraphic>());
    list.Add("ppm", "Portable pixel map images", GraphicClassOf<TPPMGraphic>());
    list.Add("pgm", "Portable gray map images", GraphicClassOf<TPPMGraphic>());
    list.Add("pbm", "Portable bitmap images", GraphicClassOf<TPPMGraphic>());
    list.Add("cel", "Autodesk images", GraphicClassOf<TAutodeskGraphic>());
    list.Add("pic", "Autodesk images", GraphicClassOf<TAutodeskGraphic>());
    list.Add("pcd", "Kodak Photo-CD images", GraphicClassOf<TPCDGraphic>());
    list.Add("cut", "Dr. Halo images", GraphicClassOf<TCUTGraphic>());
    list.Add("psp", "Paintshop Pro images", GraphicClassOf<TPSPGraphic>());
    list.Add("png", "Portable network graphic images", GraphicClassOf<TPNGGraphic>());
    // gif closes step 3 (the last row of the readers' table).
    list.Add("gif", "GIF Image", GraphicClassOf<TGIFImage>());

    // 4. GIF.
    list.Add("GIF", "GIF Image", GraphicClassOf<TGIFImage>());
}

} // namespace

TFileFormatsList& FileFormats()
{
    static TFileFormatsList list = [] {
        TFileFormatsList l;
        RegisterStandardFormats(l);
        return l;
    }();
    return list;
}

void RegisterFormat(const std::string& extension, const std::string& description, TGraphicClass cls)
{
    FileFormats().Add(extension, description, std::move(cls));
}

const TGraphicClass* FindExtension(const std::string& extension)
{
    return FileFormats().FindExtension(extension);
}

std::vector<std::string> ReadableExtensions()
{
    std::set<std::string> unique;
    for (const auto& e : FileFormats().Entries())
        unique.insert(e.extension);
    return std::vector<std::string>(unique.begin(), unique.end());
}

} // namespace tabulonix
