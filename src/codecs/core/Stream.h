#pragma once
#include "platform/SafeFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tabulonix {

// An allocator whose vectors leave new elements unset when they grow, for buffers that a
// read fills at once.
template <class T> struct UnsetAllocator : std::allocator<T> {
    template <class U> struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <class U> UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<uint8_t, UnsetAllocator<uint8_t>>;

// A sequence of bytes with a position, as the picture classes read and write them.
class TStream {
  public:
    virtual ~TStream() = default;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all `count` bytes or throws EStreamError.
    virtual void Write(const void* buffer, size_t count) = 0;
    virtual uint64_t Position() const = 0;
    virtual void Seek(uint64_t position) = 0;
    virtual uint64_t Size() const = 0;

    uint64_t Remaining() const { return Size() > Position() ? Size() - Position() : 0; }
    // Reads exactly `count` bytes or throws EStreamError "Stream read error".
    void ReadBuffer(void* buffer, size_t count);
    void WriteBuffer(const void* buffer, size_t count) { Write(buffer, count); }
    void WriteBytes(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
    // Everything from the position to the end.
    std::vector<uint8_t> ReadRemaining();
    void ReadRemaining(ByteBuffer& bytes);
};

class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t Position() const override { return position_; }
    void Seek(uint64_t position) override { position_ = position; }
    uint64_t Size() const override { return data_.size(); }

    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t>& Bytes() { return data_; }
    void Clear()
    {
        data_.clear();
        position_ = 0;
    }

  private:
    std::vector<uint8_t> data_;
    uint64_t position_ = 0;
};

// A file opened for reading (other writers are not kept out on this platform) or created
// (truncated) for writing. Opening failures throw EFOpenError / EFCreateError.
class TFileStream : public TStream {
  public:
    enum Mode { OpenRead, Create };
    TFileStream(const std::string& path, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t Position() const override;
    void Seek(uint64_t position) override;
    uint64_t Size() const override;
    // Flushes and closes, throwing when the data could not be written.
    void Close();

  private:
    std::string path_;
    FILE* file_ = nullptr;
};

// A file's new content, written beside it: Commit() puts it in place; destroyed without
// Commit, it leaves the file as it was and no temporary file (see SafeFileWriter).
class TSafeFileStream : public TStream {
  public:
    explicit TSafeFileStream(const std::string& path) : file_(path) {}

    size_t Read(void*, size_t) override { return 0; } // written only
    void Write(const void* buffer, size_t count) override { file_.Write(buffer, count); }
    uint64_t Position() const override { return file_.Position(); }
    void Seek(uint64_t position) override { file_.Seek(position); }
    uint64_t Size() const override { return file_.Size(); }
    void Commit() { file_.Commit(); }

  private:
    SafeFileWriter file_;
};

} // namespace tabulonix
