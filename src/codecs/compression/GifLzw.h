#pragma once
// The GIF variant of LZW: the encoder the writer uses and the decoder the reader uses.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tabulonix {

class ByteReader;

// The pixels of one image as the coders see them.
struct TGIFPixels {
    const uint8_t* data = nullptr; // width x height indices, rows from the top
    int width = 0;
    int height = 0;
    bool interlaced = false; // rows go out in the four-pass order
};

// Rows in the order they are stored in the file: the four passes 0, 8, 16...; 4, 12...;
// 2, 6...; 1, 3... for interlaced images, top to bottom otherwise.
std::vector<int> GifRowOrder(int height, bool interlaced);

class TGIFEncoder {
  public:
    virtual ~TGIFEncoder() = default;
    // Appends the minimum code size byte, the data sub-blocks and the block terminator.
    // `bitsPerPixel` is that of the colour map in use, `colorCount` its number of entries;
    // an index of colorCount or more raises "Color not in color table".
    virtual void Encode(std::vector<uint8_t>& out, const TGIFPixels& pixels, int bitsPerPixel,
                        int colorCount) = 0;
};

class TLZWEncoder : public TGIFEncoder {
  public:
    void Encode(std::vector<uint8_t>& out, const TGIFPixels& pixels, int bitsPerPixel,
                int colorCount) override;

  private:
    static constexpr int kHashSize = 8009;
    static constexpr uint32_t kEmpty = 0xFFFFF000u;
    void ClearTable();
    void Output(int code);
    void Flush();
    void PutByte(uint8_t byte);

    std::vector<uint32_t> table_ = std::vector<uint32_t>(kHashSize, 0xFFFFFFFFu);
    std::vector<uint8_t>* out_ = nullptr;
    uint8_t block_[255] = {};
    int blockLength_ = 0;
    uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    int initialBits_ = 0;
    int codeBits_ = 0;
    int clearCode_ = 0;
    int freeCode_ = 0;
    bool clearFlag_ = false;
};

// What decoding one image's data ran into; warnings are reported through `warn`.
struct TGIFDecodeResult {
    bool complete = false; // every pixel was decoded
};

// Decodes the image data that follows the minimum code size byte (already read as
// `minCodeSize`) into `pixels` (width x height, pre-filled), reading the data sub-blocks up
// to and including the zero-length block. Pixels beyond the image are ignored; once the
// image is full or the end code is read the remaining sub-blocks are skipped.
TGIFDecodeResult DecodeGifLzw(ByteReader& reader, int minCodeSize, uint8_t* pixels, int width,
                              int height, bool interlaced,
                              const std::function<void(const std::string&)>& warn);

// Skips data sub-blocks up to and including the zero-length block. A sub-block longer than
// what is left gives the warning "Premature end of data" and ends the skipping.
void SkipGifSubBlocks(ByteReader& reader, const std::function<void(const std::string&)>& warn);

// Reads one data sub-block (its length byte first); false at the zero-length block or at
// the end of the data. A sub-block longer than what is left is shortened to what is there,
// with the warning "Premature end of data".
bool ReadGifSubBlock(ByteReader& reader, std::vector<uint8_t>& block,
                     const std::function<void(const std::string&)>& warn);

} // namespace tabulonix
