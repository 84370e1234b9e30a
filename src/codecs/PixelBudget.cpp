#include "codecs/PixelBudget.h"

#include "codecs/Graphic.h"

#include <atomic>

namespace tabulonix {

namespace {
std::atomic<uint64_t> budget{uint64_t{1} << 30};
}

uint64_t PixelBudget() { return budget.load(); }
void SetPixelBudget(uint64_t bytes) { budget.store(bytes); }

void CheckPixelBudget(int64_t width, int64_t height, int bitsPerPixel, const std::string& errorText)
{
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0)
        throw EInvalidGraphic(errorText);
    if (width > (int64_t{1} << 31) || height > (int64_t{1} << 31))
        throw EPictureTooLarge(errorText, width, height);
    // Padded row bytes in 64 bits; both factors are below 2^37, so the product fits.
    uint64_t row = ((static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel) + 31) / 32) * 4;
    if (row > PixelBudget() || static_cast<uint64_t>(height) > PixelBudget() / row)
        throw EPictureTooLarge(errorText, width, height);
}

} // namespace tabulonix
