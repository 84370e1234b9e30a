#include "codecs/surface/PixelMemory.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace tabulonix {

namespace {

// Smaller blocks are left to malloc, which reuses them well by itself. The limits keep a
// few pictures' worth (a decoded photo and a work surface per worker) and no more.
constexpr size_t kSmallestKept = size_t{1} << 20;
constexpr size_t kMostBlocks = 6;
constexpr size_t kMostBytes = size_t{256} << 20;

struct Block {
    uint8_t* data = nullptr;
    size_t capacity = 0;
};

// Oldest first; guarded by CacheLock(), which is taken for nothing else and never held
// while another lock is taken (stores are released under the pixel-store lock).
struct Cache {
    std::array<Block, kMostBlocks> blocks;
    size_t count = 0;
    size_t bytes = 0;

    Block Remove(size_t i)
    {
        Block b = blocks[i];
        for (size_t j = i + 1; j < count; ++j)
            blocks[j - 1] = blocks[j];
        --count;
        bytes -= b.capacity;
        return b;
    }
};

std::mutex& CacheLock()
{
    static std::mutex lock;
    return lock;
}

Cache& TheCache()
{
    static Cache cache;
    return cache;
}

// A block of at least `size` bytes: the smallest kept block that fits without wasting
// more than half of it, else a new one.
Block Take(size_t size)
{
    if (size >= kSmallestKept) {
        std::lock_guard<std::mutex> guard(CacheLock());
        Cache& c = TheCache();
        size_t best = c.count;
        for (size_t i = 0; i < c.count; ++i) {
            size_t cap = c.blocks[i].capacity;
            if (cap >= size && cap / 2 <= size &&
                (best == c.count || cap < c.blocks[best].capacity))
                best = i;
        }
        if (best < c.count)
            return c.Remove(best);
    }
    void* p = std::malloc(size);
    if (!p)
        throw std::bad_alloc();
    return Block{static_cast<uint8_t*>(p), size};
}

void Give(Block block)
{
    if (!block.data)
        return;
    std::array<Block, kMostBlocks> evicted{};
    size_t dropped = 0;
    if (block.capacity >= kSmallestKept && block.capacity <= kMostBytes) {
        std::lock_guard<std::mutex> guard(CacheLock());
        Cache& c = TheCache();
        // The newest blocks are the likeliest to fit the next picture: room is made by
        // dropping the oldest.
        while (c.count == kMostBlocks || c.bytes + block.capacity > kMostBytes)
            evicted[dropped++] = c.Remove(0);
        c.blocks[c.count++] = block;
        c.bytes += block.capacity;
        block = Block{};
    }
    for (size_t i = 0; i < dropped; ++i)
        std::free(evicted[i].data);
    std::free(block.data);
}

} // namespace

PixelMemory::PixelMemory(const PixelMemory& other)
{
    if (!other.empty()) {
        Allocate(other.size_);
        std::memcpy(data_, other.data_, size_);
    }
}

PixelMemory& PixelMemory::operator=(const PixelMemory& other)
{
    if (this != &other) {
        PixelMemory copy(other);
        *this = std::move(copy);
    }
    return *this;
}

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : data_(other.data_), size_(other.size_), capacity_(other.capacity_)
{
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept
{
    if (this != &other) {
        clear();
        data_ = other.data_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    return *this;
}

PixelMemory::~PixelMemory()
{
    clear();
}

void PixelMemory::Allocate(size_t size)
{
    clear();
    if (size == 0)
        return;
    Block b = Take(size);
    data_ = b.data;
    capacity_ = b.capacity;
    size_ = size;
}

void PixelMemory::assign(size_t size, uint8_t value)
{
    Allocate(size);
    if (size_)
        std::memset(data_, value, size_);
}

void PixelMemory::clear()
{
    Give(Block{data_, capacity_});
    data_ = nullptr;
    size_ = capacity_ = 0;
}

bool operator==(const PixelMemory& a, const PixelMemory& b)
{
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
}

void ReleaseCachedPixelMemory()
{
    Cache kept;
    {
        std::lock_guard<std::mutex> guard(CacheLock());
        std::swap(kept, TheCache());
    }
    for (size_t i = 0; i < kept.count; ++i)
        std::free(kept.blocks[i].data);
}

size_t CachedPixelMemory()
{
    std::lock_guard<std::mutex> guard(CacheLock());
    return TheCache().bytes;
}

} // namespace tabulonix
