#pragma once
#include <cstdint>
#include <string>

namespace tabulonix {

// The largest picture any reader decodes and any surface holds, in pixels, the same for
// every format: 64 Mi pixels (8192 x 8192) unless changed (the fuzz harnesses lower it).
// Missing rows are allowed, so a tiny file may declare a picture this large; the budget
// is what bounds its cost.
inline constexpr uint64_t kDefaultPixelBudget = uint64_t{1} << 26;
uint64_t PixelBudget();
void SetPixelBudget(uint64_t pixels);

// Working buffers of a reader (decoded planes, compressed rows, library state) may take
// this many bytes per pixel of the budget, what four 16-bit samples take.
inline constexpr uint64_t kBufferBytesPerPixel = 8;
uint64_t BufferBudget(); // in bytes

// "picture too large: W × H", the text of every budget refusal.
std::string TooLargeText(int64_t width, int64_t height);

// Throws EInvalidGraphic(invalidText) when width or height is not positive, and
// EInvalidGraphic("picture too large: W × H") when width × height exceeds the budget.
// Every reader calls it before it allocates pixels.
void CheckPixelBudget(int64_t width, int64_t height, const std::string& invalidText);

// Throws EInvalidGraphic("picture too large: W × H") when a working buffer of `bytes`
// for a picture of width × height would exceed what the budget allows.
void CheckBufferBudget(uint64_t bytes, int64_t width, int64_t height);

} // namespace tabulonix
