#include "codecs/core/PixelBudget.h"

#include "codecs/core/CodecErrors.h"

#include <atomic>

namespace tabulonix {

namespace {

std::atomic<uint64_t> budget{kDefaultPixelBudget};

[[noreturn]] void TooLarge(int64_t width, int64_t height)
{
    throw EInvalidGraphic(TooLargeText(width, height));
}

} // namespace

std::string TooLargeText(int64_t width, int64_t height)
{
    return "picture too large: " + std::to_string(width) + " × " + std::to_string(height);
}

uint64_t PixelBudget()
{
    return budget.load();
}
void SetPixelBudget(uint64_t pixels)
{
    budget.store(pixels);
}

void CheckPixelBudget(int64_t width, int64_t height, const std::string& invalidText)
{
    if (width <= 0 || height <= 0)
        throw EInvalidGraphic(invalidText);
    uint64_t pixels = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                               &pixels) ||
        pixels > PixelBudget())
        TooLarge(width, height);
}

uint64_t BufferBudget()
{
    uint64_t bytes = 0;
    return __builtin_mul_overflow(PixelBudget(), kBufferBytesPerPixel, &bytes) ? UINT64_MAX : bytes;
}

void CheckBufferBudget(uint64_t bytes, int64_t width, int64_t height)
{
    if (bytes > BufferBudget())
        TooLarge(width, height);
}

} // namespace tabulonix
