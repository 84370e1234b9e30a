// Writing GIF files: header, logical screen, colour tables, extensions, LZW image data.
#include "codecs/compression/GifLzw.h"
#include "codecs/core/ByteReader.h"
#include "codecs/formats/gif/GifCodec.h"

#include <algorithm>

namespace tabulonix {

void TGIFImage::WriteStream(TStream& stream)
{
    const std::string version = Version();
    if (version.empty())
        throw GIFException(gif_text::UnsupportedVersion);
    Progress(psStarting, 0, "Saving...");

    std::vector<uint8_t> out;
    ByteWriter writer(out);
    writer.Bytes("GIF", 3);
    writer.Bytes(version.data(), 3);

    const TGIFColorMap& global = header_.colorMap;
    int bits = global.BitsPerPixel();
    for (const auto& image : images_)
        bits = std::max(bits, image->colorMap.BitsPerPixel());
    const int resolution = bits - 1;
    uint8_t packed = 0;
    if (!global.IsEmpty()) {
        packed |= 0x80;
        if (global.Optimized)
            packed |= 0x08;
    }
    packed |= static_cast<uint8_t>(((resolution * 16) & 0x70) | ((bits - 1) & 7));
    writer.U16LE(header_.width);
    writer.U16LE(header_.height);
    writer.U8(packed);
    writer.U8(header_.background);
    writer.U8(header_.aspectRatio);
    if (packed & 0x80)
        global.WriteMap(writer);

    TLZWEncoder encoder;
    for (size_t i = 0; i < images_.size(); ++i) {
        const TGIFSubImage& image = *images_[i];
        for (const auto& extension : image.extensions)
            extension->Write(writer);
        if (image.Empty())
            continue;
        const TGIFImageDescriptor& d = image.descriptor;
        if (image.data.size() != size_t{d.width} * size_t{d.height})
            throw GIFException(gif_text::InvalidData);
        const TGIFColorMap& local = image.colorMap;
        // A local table replaces the flags; without one only interlace and reserved stay.
        uint8_t imagePacked = static_cast<uint8_t>(d.packed & 0x58);
        if (!local.IsEmpty())
            imagePacked = static_cast<uint8_t>(0x80 | (local.Optimized ? 0x20 : 0) |
                                               ((local.BitsPerPixel() - 1) & 7));
        writer.U8(0x2C);
        writer.U16LE(d.left);
        writer.U16LE(d.top);
        writer.U16LE(d.width);
        writer.U16LE(d.height);
        writer.U8(imagePacked);
        if (!local.IsEmpty())
            local.WriteMap(writer);
        const TGIFColorMap& used =
            local.IsEmpty() ? static_cast<const TGIFColorMap&>(global) : local;
        TGIFPixels pixels{image.data.data(), image.Width(), image.Height(),
                          (imagePacked & 0x40) != 0};
        encoder.Encode(out, pixels, used.BitsPerPixel(), used.Count());
        Progress(psRunning, static_cast<int>((i + 1) * 100 / images_.size()), "Saving...");
    }
    writer.U8(TGIFTrailer::kTrailer);
    stream.WriteBuffer(out.data(), out.size());
    Progress(psEnding, 100, "Saving...");
}

} // namespace tabulonix
