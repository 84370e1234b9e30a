#include "codecs/formats/PngWriter.h"

#include "codecs/core/ByteReader.h"
#include "codecs/formats/Png.h"
#include "platform/ScreenMetrics.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tabulonix {

namespace {

const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// zlib reports its failures with a code only.
[[noreturn]] void DeflateError(int rc)
{
    throw EStreamError("Compression error " + std::to_string(rc));
}

} // namespace

void WritePngChunk(TStream& stream, const char* type, const uint8_t* data, size_t size)
{
    uint8_t head[8];
    PutU32BE(head, static_cast<uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, head + 4, 4);
    if (size > 0)
        crc = crc32(crc, data, static_cast<uInt>(size));
    uint8_t tail[4];
    PutU32BE(tail, static_cast<uint32_t>(crc));
    stream.WriteBuffer(head, 8);
    if (size > 0)
        stream.WriteBuffer(data, size);
    stream.WriteBuffer(tail, 4);
}

std::vector<uint8_t> TChunk::Data(const TPNGWriter&) const
{
    return {};
}

void TChunk::Write(TStream& stream, const TPNGWriter& writer) const
{
    std::vector<uint8_t> data = Data(writer);
    WritePngChunk(stream, Type(), data.data(), data.size());
}

std::unique_ptr<TChunk> TChunkIHDR::Clone() const
{
    auto copy = std::make_unique<TChunkIHDR>();
    copy->width = width;
    copy->height = height;
    copy->bitDepth = bitDepth;
    copy->colorType = colorType;
    copy->compression = compression;
    copy->filter = filter;
    copy->interlace = interlace;
    copy->pixels.AssignFrom(pixels);
    return copy;
}

std::vector<uint8_t> TChunkIHDR::Data(const TPNGWriter& writer) const
{
    std::vector<uint8_t> d(13);
    PutU32BE(d.data(), width);
    PutU32BE(d.data() + 4, height);
    d[8] = bitDepth == 2 ? 4 : bitDepth; // 2-bit data is held as 4-bit
    d[9] = colorType;
    d[10] = compression;
    d[11] = 0;
    d[12] = static_cast<uint8_t>(writer.InterlaceMethod());
    return d;
}

std::vector<uint8_t> TChunkPLTE::Data(const TPNGWriter& writer) const
{
    const auto& inverse = writer.InverseGamma();
    std::vector<uint8_t> d;
    d.reserve(entries.size() * 3);
    for (const RGBQuad& q : entries) {
        d.push_back(inverse[q.red]);
        d.push_back(inverse[q.green]);
        d.push_back(inverse[q.blue]);
    }
    return d;
}

void TChunkIDAT::Write(TStream& stream, const TPNGWriter& writer) const
{
    const TChunkIHDR* header = writer.Header();
    if (!header)
        return;
    const TBitmap& pixels = header->pixels;
    const int width = pixels.Width(), height = pixels.Height();
    const int bits = header->colorType == 2 ? 8 : header->bitDepth;
    const int samples = header->colorType == 2 ? 3 : 1;
    const size_t rowBytes = (static_cast<size_t>(width) * bits * samples + 7) / 8;
    const size_t offset = std::max<size_t>(1, static_cast<size_t>(bits * samples / 8));
    const auto& inverse = writer.InverseGamma();

    z_stream zs{};
    int rc = deflateInit(&zs, writer.DeflateLevel());
    if (rc != Z_OK)
        DeflateError(rc);
    struct Guard {
        z_stream* z;
        ~Guard() { deflateEnd(z); }
    } guard{&zs};

    const size_t chunkSize = writer.MaxIdatSize();
    std::vector<uint8_t> out(chunkSize);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(chunkSize);
    auto flushFull = [&] {
        if (zs.avail_out == 0) {
            WritePngChunk(stream, "IDAT", out.data(), chunkSize);
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(chunkSize);
        }
    };

    std::vector<uint8_t> raw(rowBytes), filtered(rowBytes + 1);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = pixels.ConstRow(y);
        if (header->colorType == 2) {
            for (int x = 0; x < width; ++x) {
                raw[3 * x] = inverse[src[3 * x + 2]];
                raw[3 * x + 1] = inverse[src[3 * x + 1]];
                raw[3 * x + 2] = inverse[src[3 * x]];
            }
        } else {
            std::memcpy(raw.data(), src, rowBytes);
        }
        // Sub: each byte less the byte one pixel to its left.
        filtered[0] = 1;
        for (size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = static_cast<uint8_t>(raw[i] - (i >= offset ? raw[i - offset] : 0));
        zs.next_in = filtered.data();
        zs.avail_in = static_cast<uInt>(filtered.size());
        while (zs.avail_in > 0) {
            rc = deflate(&zs, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                DeflateError(rc);
            flushFull();
        }
    }
    for (;;) {
        rc = deflate(&zs, Z_FINISH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            DeflateError(rc);
        if (rc == Z_STREAM_END)
            break;
        if (zs.avail_out > 0 && rc == Z_BUF_ERROR)
            DeflateError(rc);
        flushFull();
    }
    size_t rest = chunkSize - zs.avail_out;
    if (rest == chunkSize)
        flushFull();
    else if (rest > 0)
        WritePngChunk(stream, "IDAT", out.data(), rest);
}

TPNGWriter::TPNGWriter()
{
    ClearChunks();
}
TPNGWriter::~TPNGWriter() = default;

void TPNGWriter::ClearChunks()
{
    chunks_.clear();
    for (int i = 0; i < 256; ++i)
        gamma_[static_cast<size_t>(i)] = inverseGamma_[static_cast<size_t>(i)] =
            static_cast<uint8_t>(i);
}

const TChunkIHDR* TPNGWriter::Header() const
{
    for (const auto& c : chunks_)
        if (auto* h = dynamic_cast<const TChunkIHDR*>(c.get()))
            return h;
    return nullptr;
}

int TPNGWriter::Width() const
{
    const TChunkIHDR* h = Header();
    return h ? static_cast<int>(h->width) : 0;
}

int TPNGWriter::Height() const
{
    const TChunkIHDR* h = Header();
    return h ? static_cast<int>(h->height) : 0;
}

void TPNGWriter::SetDeflateLevel(int level)
{
    deflateLevel_ = std::clamp(level, 0, 9);
}

void TPNGWriter::SetMaxIdatSize(size_t size)
{
    maxIdatSize_ = std::max<size_t>(size, 65535);
}

void TPNGWriter::Paint(TCanvas& canvas, const TRect& rect)
{
    if (TChunkIHDR* h = const_cast<TChunkIHDR*>(Header()))
        h->pixels.Paint(canvas, rect);
}

void TPNGWriter::ReadStream(TStream& stream)
{
    TPNGGraphic picture;
    picture.ReadStream(stream);
    AssignFrom(picture);
}

void TPNGWriter::AssignFrom(const TGraphic& source)
{
    if (&source == this)
        return;
    if (auto* other = dynamic_cast<const TPNGWriter*>(&source)) {
        ClearChunks();
        for (const auto& c : other->chunks_)
            chunks_.push_back(c->Clone());
        deflateLevel_ = other->deflateLevel_;
        Changed();
        return;
    }
    auto* bitmap = dynamic_cast<const TBitmap*>(&source);
    if (!bitmap)
        AssignError(source);

    const bool transparent = bitmap->Transparent();
    const TColor transparentColor = bitmap->TransparentColor();
    int bits = bitmap->PixelFormat() == pfDevice ? bitmap->Limits().screen.bitsPerPixel
                                                 : bitmap->BitsPerPixel();

    ClearChunks();
    auto header = std::make_unique<TChunkIHDR>();
    header->width = static_cast<uint32_t>(bitmap->Width());
    header->height = static_cast<uint32_t>(std::abs(bitmap->Height()));
    header->compression = 0;
    header->interlace = 0;
    if (bits < 16) {
        header->colorType = 3;
        header->bitDepth = static_cast<uint8_t>(bits);
        header->pixels.AssignFrom(*bitmap);
    } else {
        header->colorType = 2;
        header->bitDepth = 8;
        header->pixels.AssignFrom(*bitmap);
        if (!header->pixels.IsEmpty())
            header->pixels.SetPixelFormat(pf24bit);
    }
    TChunkIHDR* h = header.get();
    chunks_.push_back(std::move(header));
    if (bits < 16) {
        auto plte = std::make_unique<TChunkPLTE>();
        const auto& table = h->pixels.ColorTable();
        size_t n = size_t{1} << h->bitDepth;
        plte->entries.resize(n);
        for (size_t i = 0; i < n && i < table.size(); ++i)
            plte->entries[i] = table[i];
        chunks_.push_back(std::move(plte));
    }
    if (transparent) {
        auto trns = std::make_unique<TChunktRNS>();
        TColor c = ColorToRGB(transparentColor);
        if (h->colorType == 2) {
            uint8_t rgb[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            for (uint8_t v : rgb) {
                trns->data.push_back(0);
                trns->data.push_back(v);
            }
        } else {
            const auto& table = h->pixels.ColorTable();
            for (const RGBQuad& q : table)
                trns->data.push_back(RGBColor(q.red, q.green, q.blue) == c ? 0 : 255);
        }
        chunks_.push_back(std::move(trns));
    }
    chunks_.push_back(std::make_unique<TChunkIDAT>());
    chunks_.push_back(std::make_unique<TChunkIEND>());
    Changed();
}

void TPNGWriter::WriteStream(TStream& stream)
{
    const TChunkIHDR* h = Header();
    if (!h || h->width == 0 || h->height == 0)
        return; // nothing to write: a PNG needs a non-empty header
    stream.WriteBuffer(kSignature, 8);
    for (const auto& c : chunks_)
        c->Write(stream, *this);
}

} // namespace tabulonix
