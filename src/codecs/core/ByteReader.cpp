#include "codecs/core/ByteReader.h"

#include "codecs/core/CodecErrors.h"

namespace tabulonix {

ByteReader::ByteReader(const uint8_t* data, size_t size, std::string errorText)
    : data_(data), size_(size),
      fail_([text = std::move(errorText)] { throw EInvalidGraphic(text); })
{
}

ByteReader::ByteReader(const uint8_t* data, size_t size, FailHandler onShortRead)
    : data_(data), size_(size), fail_(std::move(onShortRead))
{
}

void ByteReader::Fail() const
{
    fail_();
    throw EInvalidGraphic("Unexpected end of data"); // a handler that did not throw
}

void ByteReader::Seek(size_t position)
{
    if (position > size_)
        Fail();
    position_ = position;
}

void ByteReader::Skip(size_t count)
{
    Need(count);
    position_ += count;
}

uint8_t ByteReader::U8()
{
    Need(1);
    return data_[position_++];
}

uint16_t ByteReader::U16LE()
{
    Need(2);
    uint16_t v = GetU16LE(data_ + position_);
    position_ += 2;
    return v;
}

uint16_t ByteReader::U16BE()
{
    Need(2);
    uint16_t v = GetU16BE(data_ + position_);
    position_ += 2;
    return v;
}

uint32_t ByteReader::U32LE()
{
    Need(4);
    uint32_t v = GetU32LE(data_ + position_);
    position_ += 4;
    return v;
}

uint32_t ByteReader::U32BE()
{
    Need(4);
    uint32_t v = GetU32BE(data_ + position_);
    position_ += 4;
    return v;
}

const uint8_t* ByteReader::Bytes(size_t count)
{
    Need(count);
    const uint8_t* p = data_ + position_;
    position_ += count;
    return p;
}

ByteReader ByteReader::Sub(size_t count)
{
    const uint8_t* p = Bytes(count);
    return ByteReader(p, count, fail_);
}

void ByteWriter::U16LE(uint16_t v)
{
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32LE(uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::U16BE(uint16_t v)
{
    out_.push_back(static_cast<uint8_t>(v >> 8));
    out_.push_back(static_cast<uint8_t>(v));
}

void ByteWriter::U32BE(uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::Bytes(const void* data, size_t count)
{
    auto p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + count);
}

} // namespace tabulonix
