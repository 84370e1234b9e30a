#include "codecs/core/DecodeLimits.h"

#include "codecs/core/CodecErrors.h"

namespace tabulonix {

namespace {

[[noreturn]] void TooLarge(int64_t width, int64_t height)
{
    throw EInvalidGraphic(TooLargeText(width, height));
}

} // namespace

uint64_t DecodeLimits::BufferBytes() const
{
    uint64_t bytes = 0;
    return __builtin_mul_overflow(pixels, kBufferBytesPerPixel, &bytes) ? UINT64_MAX : bytes;
}

std::string TooLargeText(int64_t width, int64_t height)
{
    return "picture too large: " + std::to_string(width) + " × " + std::to_string(height);
}

void CheckPixelBudget(const DecodeLimits& limits, int64_t width, int64_t height,
                      const std::string& invalidText)
{
    if (width <= 0 || height <= 0)
        throw EInvalidGraphic(invalidText);
    uint64_t pixels = 0;
    if (__builtin_mul_overflow(static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                               &pixels) ||
        pixels > limits.pixels)
        TooLarge(width, height);
}

void CheckBufferBudget(const DecodeLimits& limits, uint64_t bytes, int64_t width, int64_t height)
{
    if (bytes > limits.BufferBytes())
        TooLarge(width, height);
}

} // namespace tabulonix
