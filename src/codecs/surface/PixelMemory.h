#pragma once
#include <cstddef>
#include <cstdint>

namespace tabulonix {

// The bytes of a pixel store. Large blocks are kept for the next store when they are
// released, so that a batch reuses the pages of the last picture instead of having fresh
// ones mapped and cleared by the kernel for every file.
class PixelMemory {
  public:
    PixelMemory() = default;
    PixelMemory(const PixelMemory& other);
    PixelMemory& operator=(const PixelMemory& other);
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;
    ~PixelMemory();

    // `size` bytes left as they happen to be: for callers that write every byte.
    void Allocate(size_t size);
    // `size` bytes of `value`.
    void assign(size_t size, uint8_t value);
    void clear();

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    friend bool operator==(const PixelMemory& a, const PixelMemory& b);

  private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Frees the blocks kept for reuse; the batch engine calls it when a run ends.
void ReleaseCachedPixelMemory();
// Bytes currently kept for reuse.
size_t CachedPixelMemory();

} // namespace tabulonix
