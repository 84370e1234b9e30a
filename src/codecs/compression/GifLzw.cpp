#include "codecs/compression/GifLzw.h"

#include "codecs/compression/LzwTable.h"
#include "codecs/core/ByteReader.h"
#include "codecs/core/CodecErrors.h"

#include <algorithm>
#include <array>

namespace tabulonix {

std::vector<int> GifRowOrder(int height, bool interlaced)
{
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(std::max(height, 0)));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass])
            rows.push_back(y);
    return rows;
}

// --- Encoder ---------------------------------------------------------------------------

void TLZWEncoder::ClearTable()
{
    std::fill(table_.begin(), table_.end(), 0xFFFFFFFFu);
}

void TLZWEncoder::PutByte(uint8_t byte)
{
    block_[blockLength_++] = byte;
    if (blockLength_ == 255) {
        out_->push_back(255);
        out_->insert(out_->end(), block_, block_ + 255);
        blockLength_ = 0;
    }
}

void TLZWEncoder::Output(int code)
{
    bitBuffer_ |= static_cast<uint32_t>(code) << bitCount_;
    bitCount_ += codeBits_;
    while (bitCount_ >= 8) {
        PutByte(static_cast<uint8_t>(bitBuffer_ & 0xFF));
        bitBuffer_ >>= 8;
        bitCount_ -= 8;
    }
    // A clear code goes out at the current width; the codes after it start again narrow.
    if (clearFlag_) {
        codeBits_ = initialBits_;
        clearFlag_ = false;
    } else if (freeCode_ > (1 << codeBits_) - 1 && codeBits_ < 12) {
        ++codeBits_;
    }
}

void TLZWEncoder::Flush()
{
    if (bitCount_ > 0)
        PutByte(static_cast<uint8_t>(bitBuffer_ & 0xFF));
    bitBuffer_ = 0;
    bitCount_ = 0;
    if (blockLength_ > 0) {
        out_->push_back(static_cast<uint8_t>(blockLength_));
        out_->insert(out_->end(), block_, block_ + blockLength_);
        blockLength_ = 0;
    }
    out_->push_back(0);
}

void TLZWEncoder::Encode(std::vector<uint8_t>& out, const TGIFPixels& pixels, int bitsPerPixel,
                         int colorCount)
{
    out_ = &out;
    blockLength_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    clearFlag_ = false;
    int b = std::max(2, bitsPerPixel);
    out.push_back(static_cast<uint8_t>(b));
    initialBits_ = b + 1;
    codeBits_ = initialBits_;
    clearCode_ = 1 << b;
    const int endCode = clearCode_ + 1;
    freeCode_ = clearCode_ + 2;

    if (!pixels.data || pixels.width <= 0 || pixels.height <= 0) {
        Output(endCode);
        Flush();
        return;
    }

    ClearTable();
    clearFlag_ = true;
    Output(clearCode_);

    const size_t width = static_cast<size_t>(pixels.width);
    auto pixelAt = [&](int row, size_t x) {
        int c = pixels.data[static_cast<size_t>(row) * width + x];
        if (c >= colorCount)
            throw GIFException(gif_text::ColorNotInTable);
        return c;
    };
    std::vector<int> rows = GifRowOrder(pixels.height, pixels.interlaced);
    int prefix = pixelAt(rows[0], 0);
    bool first = true;
    for (int row : rows) {
        for (size_t x = first ? 1 : 0; x < width; ++x) {
            int c = pixelAt(row, x);
            uint32_t key = static_cast<uint32_t>(prefix) * 256u + static_cast<uint32_t>(c);
            int slot = static_cast<int>((key ^ (key >> 4)) % kHashSize);
            int step = slot == 0 ? 1 : kHashSize - slot;
            bool found = false;
            while (table_[static_cast<size_t>(slot)] < kEmpty) {
                uint32_t entry = table_[static_cast<size_t>(slot)];
                if ((entry >> 12) == key) {
                    prefix = static_cast<int>(entry & 0xFFF);
                    found = true;
                    break;
                }
                slot -= step;
                if (slot < 0)
                    slot += kHashSize;
            }
            if (found)
                continue;
            Output(prefix);
            prefix = c;
            if (freeCode_ >= 4095) {
                ClearTable();
                freeCode_ = clearCode_ + 2;
                clearFlag_ = true;
                Output(clearCode_);
            } else {
                table_[static_cast<size_t>(slot)] = (key << 12) | static_cast<uint32_t>(freeCode_);
                ++freeCode_;
            }
        }
        first = false;
    }
    Output(prefix);
    Output(endCode);
    Flush();
}

// --- Sub-blocks ------------------------------------------------------------------------

bool ReadGifSubBlock(ByteReader& reader, std::vector<uint8_t>& block,
                     const std::function<void(const std::string&)>& warn)
{
    block.clear();
    if (reader.AtEnd()) {
        warn(gif_text::PrematureEnd);
        return false;
    }
    size_t length = reader.U8();
    if (length == 0)
        return false;
    if (length > reader.Remaining()) {
        warn(gif_text::PrematureEnd);
        length = reader.Remaining();
    }
    const uint8_t* p = reader.Bytes(length);
    block.assign(p, p + length);
    return !block.empty();
}

void SkipGifSubBlocks(ByteReader& reader, const std::function<void(const std::string&)>& warn)
{
    while (!reader.AtEnd()) {
        size_t length = reader.U8();
        if (length == 0)
            return;
        if (length > reader.Remaining()) {
            warn(gif_text::PrematureEnd);
            reader.Skip(reader.Remaining());
            return;
        }
        reader.Skip(length);
    }
    warn(gif_text::PrematureEnd);
}

// --- Decoder ---------------------------------------------------------------------------

namespace {

// Codes least significant bit first across the data sub-blocks.
class CodeSource {
  public:
    CodeSource(ByteReader& reader, const std::function<void(const std::string&)>& warn)
        : reader_(reader), warn_(warn)
    {
    }
    // False when the data ends before `bits` more bits.
    bool Next(int bits, int& code)
    {
        while (count_ < bits) {
            if (position_ == block_.size()) {
                if (ended_ || !ReadGifSubBlock(reader_, block_, warn_)) {
                    ended_ = true;
                    return false;
                }
                position_ = 0;
            }
            buffer_ |= static_cast<uint32_t>(block_[position_++]) << count_;
            count_ += 8;
        }
        code = static_cast<int>(buffer_ & ((1u << bits) - 1));
        buffer_ >>= bits;
        count_ -= bits;
        return true;
    }
    bool Ended() const { return ended_; }
    bool HasLeftoverBits() const { return count_ > 0 || position_ < block_.size(); }

  private:
    ByteReader& reader_;
    const std::function<void(const std::string&)>& warn_;
    std::vector<uint8_t> block_;
    size_t position_ = 0;
    uint32_t buffer_ = 0;
    int count_ = 0;
    bool ended_ = false;
};

// Places decoded indices row by row, in file row order.
class PixelSink {
  public:
    PixelSink(uint8_t* pixels, int width, int height, bool interlaced)
        : pixels_(pixels), width_(static_cast<size_t>(width)),
          rows_(GifRowOrder(height, interlaced))
    {
    }
    bool Full() const { return row_ >= rows_.size(); }
    // Values beyond a byte (code sizes above 8) name no colour: the pixel keeps its fill.
    void Put(uint16_t index)
    {
        if (Full())
            return;
        if (index <= 0xFF)
            pixels_[static_cast<size_t>(rows_[row_]) * width_ + x_] = static_cast<uint8_t>(index);
        if (++x_ == width_) {
            x_ = 0;
            ++row_;
        }
    }

  private:
    uint8_t* pixels_;
    size_t width_;
    std::vector<int> rows_;
    size_t row_ = 0;
    size_t x_ = 0;
};

} // namespace

TGIFDecodeResult DecodeGifLzw(ByteReader& reader, int minCodeSize, uint8_t* pixels, int width,
                              int height, bool interlaced,
                              const std::function<void(const std::string&)>& warn)
{
    TGIFDecodeResult result;
    if (width <= 0 || height <= 0) {
        SkipGifSubBlocks(reader, warn);
        return result;
    }
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    TLzwTable table(clearCode);
    int next = clearCode + 2;
    int codeBits = minCodeSize + 1;
    int previous = -1;

    CodeSource source(reader, warn);
    PixelSink sink(pixels, width, height, interlaced);

    // Writes the string of `code`; its chain is walked back to a root.
    auto emit = [&](int code) {
        bool sound = table.Emit(code, [&](uint16_t value) {
            if (sink.Full())
                return false;
            sink.Put(value);
            return true;
        });
        if (!sound)
            throw GIFException(gif_text::CircularEntry);
    };

    while (!sink.Full()) {
        int code;
        if (!source.Next(codeBits, code)) {
            if (source.HasLeftoverBits())
                warn(gif_text::BitBufferUnderrun);
            break;
        }
        if (code == clearCode) {
            next = clearCode + 2;
            codeBits = minCodeSize + 1;
            previous = -1;
            continue;
        }
        if (code == endCode) {
            break;
        }
        if (previous < 0) {
            // The first code after a clear (or at the start) stands for itself.
            if (code > endCode)
                throw GIFException(gif_text::CircularEntry);
            emit(code);
            previous = code;
            continue;
        }
        if (code < next) {
            emit(code);
            if (next < TLzwTable::kCodes)
                table.Add(next++, previous, table.First(code));
        } else if (code == next && next < TLzwTable::kCodes) {
            table.Add(next++, previous, table.First(previous));
            emit(code);
        } else {
            // A code beyond the table refers to no string at all.
            throw GIFException(gif_text::CircularEntry);
        }
        if (next == (1 << codeBits) && codeBits < 12)
            ++codeBits;
        previous = code;
    }
    result.complete = sink.Full();
    if (!source.Ended())
        SkipGifSubBlocks(reader, warn);
    return result;
}

} // namespace tabulonix
