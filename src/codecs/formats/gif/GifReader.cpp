// Reading GIF files: header, colour tables, blocks, extensions and image data.
#include "codecs/compression/GifLzw.h"
#include "codecs/core/ByteReader.h"
#include "codecs/core/DecodeLimits.h"
#include "codecs/formats/gif/GifCodec.h"

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

bool IsSignature(const uint8_t* p)
{
    return (p[0] == 'G' || p[0] == 'g') && (p[1] == 'I' || p[1] == 'i') &&
           (p[2] == 'F' || p[2] == 'f');
}

std::function<void(const std::string&)> WarnTo(TGIFImage& owner)
{
    return [&owner](const std::string& message) { owner.Warning(message); };
}

std::string AsText(const std::vector<uint8_t>& block)
{
    return std::string(block.begin(), block.end());
}

void WriteLines(ByteWriter& writer, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        for (size_t at = 0; at < line.size(); at += 255) {
            size_t n = std::min<size_t>(255, line.size() - at);
            writer.U8(static_cast<uint8_t>(n));
            writer.Bytes(line.data() + at, n);
        }
    writer.U8(0);
}

} // namespace

// --- Extensions ------------------------------------------------------------------------

void TGIFExtension::Read(ByteReader& reader, TGIFImage& owner)
{
    if (reader.U8() != 0x21)
        throw GIFException(gif_text::InvalidIntroducer);
    if (reader.U8() != Label())
        throw GIFException(gif_text::ExtensionMismatch);
    ReadContent(reader, owner);
}

void TGIFExtension::Write(ByteWriter& writer) const
{
    writer.U8(0x21);
    writer.U8(Label());
    WriteContent(writer);
}

std::unique_ptr<TGIFExtension> TGIFGraphicControlExtension::Clone() const
{
    return std::make_unique<TGIFGraphicControlExtension>(*this);
}

void TGIFGraphicControlExtension::ReadContent(ByteReader& reader, TGIFImage& owner)
{
    // A block cut short keeps what was there; the stream then ends the picture.
    if (reader.Remaining() < 6) {
        owner.Warning(gif_text::PrematureEnd);
        reader.Skip(reader.Remaining());
        return;
    }
    blockSize = reader.U8();
    packed = reader.U8();
    delay = reader.U16LE();
    transparentIndex = reader.U8();
    // Any bytes a larger block declares, then the terminator (and whatever sub-blocks a
    // malformed block has before it).
    if (blockSize > 4)
        reader.Skip(std::min<size_t>(blockSize - 4u, reader.Remaining()));
    terminator = 0;
    SkipGifSubBlocks(reader, WarnTo(owner));
}

void TGIFGraphicControlExtension::WriteContent(ByteWriter& writer) const
{
    writer.U8(4);
    writer.U8(packed);
    writer.U16LE(delay);
    writer.U8(transparentIndex);
    writer.U8(0);
}

std::unique_ptr<TGIFExtension> TGIFCommentExtension::Clone() const
{
    return std::make_unique<TGIFCommentExtension>(*this);
}

void TGIFCommentExtension::ReadContent(ByteReader& reader, TGIFImage& owner)
{
    std::vector<uint8_t> block;
    auto warn = WarnTo(owner);
    while (ReadGifSubBlock(reader, block, warn))
        Text.push_back(AsText(block));
}

void TGIFCommentExtension::WriteContent(ByteWriter& writer) const
{
    WriteLines(writer, Text);
}

std::unique_ptr<TGIFExtension> TGIFTextExtension::Clone() const
{
    return std::make_unique<TGIFTextExtension>(*this);
}

void TGIFTextExtension::ReadContent(ByteReader& reader, TGIFImage& owner)
{
    uint8_t size = reader.U8();
    const uint8_t* p = reader.Bytes(size);
    Header.assign(1, size);
    Header.insert(Header.end(), p, p + size);
    std::vector<uint8_t> block;
    auto warn = WarnTo(owner);
    while (ReadGifSubBlock(reader, block, warn))
        Text.push_back(AsText(block));
}

void TGIFTextExtension::WriteContent(ByteWriter& writer) const
{
    if (Header.empty()) {
        writer.U8(12);
        for (int i = 0; i < 12; ++i)
            writer.U8(0);
    } else {
        writer.Bytes(Header.data(), Header.size());
    }
    WriteLines(writer, Text);
}

std::string TGIFApplicationExtension::Identification() const
{
    std::string text(identifier.begin(), identifier.end());
    text.append(authentication.begin(), authentication.end());
    return text;
}

void TGIFApplicationExtension::ReadContent(ByteReader& reader, TGIFImage& owner)
{
    blockSize = reader.U8();
    if (blockSize < 10)
        throw GIFException(gif_text::UnsupportedAppBlockSize);
    reader.Copy(identifier.data(), identifier.size());
    authentication = {};
    reader.Copy(authentication.data(), blockSize == 10 ? 2 : 3);
    if (blockSize > 11)
        reader.Skip(blockSize - 11u);
    ReadData(reader, owner);
}

void TGIFApplicationExtension::WriteContent(ByteWriter& writer) const
{
    writer.U8(blockSize == 10 ? 10 : 11);
    writer.Bytes(identifier.data(), identifier.size());
    writer.Bytes(authentication.data(), blockSize == 10 ? 2 : 3);
    WriteData(writer);
}

std::unique_ptr<TGIFExtension> TGIFAppExtNSLoop::Clone() const
{
    return std::make_unique<TGIFAppExtNSLoop>(*this);
}

void TGIFAppExtNSLoop::ReadData(ByteReader& reader, TGIFImage& owner)
{
    std::vector<uint8_t> block;
    auto warn = WarnTo(owner);
    while (ReadGifSubBlock(reader, block, warn)) {
        if (block[0] == 1) {
            if (block.size() < 3)
                throw GIFException(gif_text::InvalidData);
            Loops = GetU16LE(&block[1]);
        } else if (block[0] == 2) {
            if (block.size() < 5)
                throw GIFException(gif_text::InvalidData);
            BufferSize = GetU32LE(&block[1]);
        }
    }
}

void TGIFAppExtNSLoop::WriteData(ByteWriter& writer) const
{
    writer.U8(3);
    writer.U8(1);
    writer.U16LE(Loops);
    if (BufferSize) {
        writer.U8(5);
        writer.U8(2);
        writer.U32LE(*BufferSize);
    }
    writer.U8(0);
}

std::unique_ptr<TGIFExtension> TGIFUnknownAppExtension::Clone() const
{
    return std::make_unique<TGIFUnknownAppExtension>(*this);
}

void TGIFUnknownAppExtension::ReadData(ByteReader& reader, TGIFImage& owner)
{
    std::vector<uint8_t> block;
    auto warn = WarnTo(owner);
    while (ReadGifSubBlock(reader, block, warn))
        Blocks.push_back(block);
}

void TGIFUnknownAppExtension::WriteData(ByteWriter& writer) const
{
    for (const auto& block : Blocks) {
        writer.U8(static_cast<uint8_t>(block.size()));
        writer.Bytes(block.data(), block.size());
    }
    writer.U8(0);
}

namespace {

// The extension object for the label after the "!" at the reader's position.
std::unique_ptr<TGIFExtension> NewExtension(const ByteReader& reader)
{
    size_t at = reader.Position();
    const uint8_t* p = reader.Data();
    if (reader.Remaining() < 2)
        throw GIFException(gif_text::PrematureEnd);
    switch (p[at + 1]) {
    case TGIFGraphicControlExtension::kLabel:
        return std::make_unique<TGIFGraphicControlExtension>();
    case TGIFCommentExtension::kLabel:
        return std::make_unique<TGIFCommentExtension>();
    case TGIFTextExtension::kLabel:
        return std::make_unique<TGIFTextExtension>();
    case TGIFApplicationExtension::kLabel: {
        // The identification chooses the class: the looping extension or any other.
        if (reader.Remaining() >= 14 && p[at + 2] >= 11) {
            const char* ident = reinterpret_cast<const char*>(p + at + 3);
            if (std::memcmp(ident, "NETSCAPE2.0", 11) == 0 ||
                std::memcmp(ident, "ANIMEXTS1.0", 11) == 0)
                return std::make_unique<TGIFAppExtNSLoop>();
        }
        return std::make_unique<TGIFUnknownAppExtension>();
    }
    default:
        throw GIFException(gif_text::UnknownExtension);
    }
}

} // namespace

// --- The picture -----------------------------------------------------------------------

void TGIFImage::ReadStream(TStream& stream)
{
    const uint64_t start = stream.Position();
    Clear();
    try {
        std::vector<uint8_t> bytes = stream.ReadRemaining();
        ByteReader reader(bytes.data(), bytes.size(),
                          [] { throw GIFException(gif_text::PrematureEnd); });
        Progress(psStarting, 0, "Loading...");
        ReadPicture(reader);
        stream.Seek(start + reader.Position());
        Progress(psEnding, 100, "Loading...");
    } catch (...) {
        Clear();
        stream.Seek(start);
        throw;
    }
    Changed();
}

void TGIFImage::ReadPicture(ByteReader& reader)
{
    if (!IsSignature(reader.Bytes(6))) {
        // Some files carry four bytes of their own before the signature.
        reader.Seek(4);
        if (!IsSignature(reader.Bytes(6)))
            throw GIFException(gif_text::InvalidSignature);
    }
    header_.width = reader.U16LE();
    header_.height = reader.U16LE();
    header_.packed = reader.U8();
    header_.background = reader.U8();
    header_.aspectRatio = reader.U8();
    if (header_.packed & 0x80)
        header_.colorMap.ReadMap(reader, 2 << (header_.packed & 7));
    header_.colorMap.Optimized = (header_.packed & 0x08) != 0;

    const uint8_t* data = reader.Data();
    for (;;) {
        while (!reader.AtEnd() && data[reader.Position()] == 0)
            reader.Skip(1);
        if (reader.AtEnd())
            return; // no trailer: accepted
        uint8_t b = data[reader.Position()];
        if (b == TGIFTrailer::kTrailer)
            break;
        if (b != 0x21 && b != 0x2C) {
            Warning(gif_text::UnknownBlock);
            break;
        }
        ReadImageGroup(reader);
        Progress(psRunning,
                 reader.Size() ? static_cast<int>(reader.Position() * 100 / reader.Size()) : 0,
                 "Loading...");
    }
    if (reader.U8() != TGIFTrailer::kTrailer)
        Warning(gif_text::InvalidTrailer);
}

void TGIFImage::ReadImageGroup(ByteReader& reader)
{
    auto image = std::make_unique<TGIFSubImage>(*this);
    const uint8_t* data = reader.Data();
    while (!reader.AtEnd() && data[reader.Position()] == 0x21) {
        std::unique_ptr<TGIFExtension> extension = NewExtension(reader);
        extension->Read(reader, *this);
        image->extensions.push_back(std::move(extension));
    }
    uint8_t next = reader.AtEnd() ? 0 : data[reader.Position()];
    if (next != 0x2C && next != 0 && next != TGIFTrailer::kTrailer)
        Warning(gif_text::InvalidIntroducer);
    if (next == 0 || next == TGIFTrailer::kTrailer) {
        // Extensions without an image: kept as an image without pixels.
        images_.push_back(std::move(image));
        return;
    }

    TGIFImageDescriptor& d = image->descriptor;
    d.separator = reader.U8();
    d.left = reader.U16LE();
    d.top = reader.U16LE();
    d.width = reader.U16LE();
    d.height = reader.U16LE();
    d.packed = reader.U8();
    if (d.width == 0 || d.height == 0) {
        d.width = header_.width;
        d.height = header_.height;
        Warning(gif_text::ExceedsScreen);
    } else if (d.left + d.width > header_.width || d.top + d.height > header_.height) {
        Warning(gif_text::ExceedsScreen);
    }
    if (d.packed & 0x80)
        image->colorMap.ReadMap(reader, 2 << (d.packed & 7));
    image->colorMap.Optimized = (d.packed & 0x20) != 0;
    ReadImageData(reader, *image);
    images_.push_back(std::move(image));
}

void TGIFImage::ReadImageData(ByteReader& reader, TGIFSubImage& image)
{
    int minCodeSize = reader.U8();
    // The code table holds 4096 entries of at most 12 bits: larger code sizes (and 0, whose
    // end code does not fit its first width) cannot be decoded.
    if (minCodeSize < 1 || minCodeSize > 11)
        throw GIFException(gif_text::InvalidData);

    const uint64_t pixels = uint64_t{image.descriptor.width} * uint64_t{image.descriptor.height};
    // Every image's pixels count against one budget, so many large frames cannot add up.
    if (pixels > Limits().pixels || allocated_ + pixels > Limits().pixels)
        throw GIFException(TooLargeText(image.descriptor.width, image.descriptor.height));
    allocated_ += pixels;
    const uint8_t fill = image.Transparent() ? static_cast<uint8_t>(image.TransparentIndex()) : 0;
    image.data.assign(static_cast<size_t>(pixels), fill);
    DecodeGifLzw(reader, minCodeSize, image.data.data(), image.Width(), image.Height(),
                 image.Interlaced(), WarnTo(*this));
}

} // namespace tabulonix
