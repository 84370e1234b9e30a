#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace tabulonix {

// The one bounded reader under every decoder: a position inside a byte range and checked
// reads. Reading past the end calls the failure handler, which must throw (by default
// EInvalidGraphic with the text given at construction).
class ByteReader {
  public:
    using FailHandler = std::function<void()>;

    ByteReader(const uint8_t* data, size_t size, std::string errorText);
    ByteReader(const uint8_t* data, size_t size, FailHandler onShortRead);

    size_t Size() const { return size_; }
    size_t Position() const { return position_; }
    size_t Remaining() const { return size_ - position_; }
    bool AtEnd() const { return position_ >= size_; }
    bool Has(size_t count) const { return count <= Remaining(); }
    const uint8_t* Data() const { return data_; }

    void Seek(size_t position);
    void Skip(size_t count);

    uint8_t U8();
    int8_t S8() { return static_cast<int8_t>(U8()); }
    uint16_t U16LE();
    uint16_t U16BE();
    uint32_t U32LE();
    uint32_t U32BE();
    int16_t S16LE() { return static_cast<int16_t>(U16LE()); }
    int16_t S16BE() { return static_cast<int16_t>(U16BE()); }
    int32_t S32LE() { return static_cast<int32_t>(U32LE()); }
    int32_t S32BE() { return static_cast<int32_t>(U32BE()); }
    // A pointer to the next `count` bytes, which are consumed.
    const uint8_t* Bytes(size_t count);
    void Copy(void* out, size_t count) { std::memcpy(out, Bytes(count), count); }
    // A reader over the next `count` bytes (consumed here) with the same failure handler.
    ByteReader Sub(size_t count);

    [[noreturn]] void Fail() const;

  private:
    void Need(size_t count) const
    {
        if (count > Remaining())
            Fail();
    }
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    FailHandler fail_;
};

// Little helpers for decoders that index a buffer directly.
inline uint16_t GetU16LE(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint16_t GetU16BE(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t GetU32LE(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t GetU32BE(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void PutU16LE(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32LE(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutU32BE(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Appends little-endian values to a byte vector (writers).
class ByteWriter {
  public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    void U8(uint8_t v) { out_.push_back(v); }
    void U16LE(uint16_t v);
    void U32LE(uint32_t v);
    void U16BE(uint16_t v);
    void U32BE(uint32_t v);
    void Bytes(const void* data, size_t count);
    size_t Size() const { return out_.size(); }

  private:
    std::vector<uint8_t>& out_;
};

} // namespace tabulonix
