#pragma once
#include <cstddef>
#include <vector>

namespace tabulonix {

// One block of a socket's send queue: bytes are appended at the write count and consumed
// from the read count; when everything written has been consumed both counts return to 0.
class TBuffer {
  public:
    // A size of 0 or less gives the default block size.
    explicit TBuffer(int size = 0);

    // Appends as much of data as fits; returns how many bytes were taken.
    int Write(const void* data, int len);
    // The unread bytes (from the read count to the write count).
    const char* Peek(int& len) const;
    // Consumes len unread bytes (at most what is unread).
    void Remove(int len);

    int Size() const { return static_cast<int>(data_.size()); }
    // Changes the block size, keeping the unread bytes (truncated if they no longer fit).
    void SetSize(int size);
    int WriteCount() const { return writeCount_; }
    int ReadCount() const { return readCount_; }
    int Unread() const { return writeCount_ - readCount_; }
    int Free() const { return Size() - writeCount_; }

    static constexpr int DefaultSize = 1514;

  private:
    std::vector<char> data_;
    int writeCount_ = 0;
    int readCount_ = 0;
};

} // namespace tabulonix
