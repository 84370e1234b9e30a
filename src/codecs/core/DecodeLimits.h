#pragma once
#include "platform/ScreenMetrics.h"

#include <cstdint>
#include <string>

namespace tabulonix {

// The largest picture any reader decodes and any surface holds, in pixels, the same for
// every format: 64 Mi pixels (8192 x 8192). Missing rows are allowed, so a tiny file may
// declare a picture this large; the budget is what bounds its cost.
inline constexpr uint64_t kDefaultPixelBudget = uint64_t{1} << 26;
// Working buffers of a reader (decoded planes, compressed rows, library state) may take
// this many bytes per pixel of the budget, what four 16-bit samples take.
inline constexpr uint64_t kBufferBytesPerPixel = 8;
// The drawing work of one metafile playing, in pixels and edge-rows.
inline constexpr int64_t kDefaultMetafileWork = 200'000'000;

// What reading one picture may cost, and the screen that device-dependent sizes refer to.
// Every picture object carries one (TGraphic::Limits) and hands it to the pictures it makes;
// the program uses the defaults, fuzz harnesses and tests make smaller ones.
struct DecodeLimits {
    uint64_t pixels = kDefaultPixelBudget;
    int64_t metafileWork = kDefaultMetafileWork;
    ScreenMetrics screen;

    // The bytes working buffers may take.
    uint64_t BufferBytes() const;
};

// "picture too large: W × H", the text of every budget refusal.
std::string TooLargeText(int64_t width, int64_t height);

// Throws EInvalidGraphic(invalidText) when width or height is not positive, and
// EInvalidGraphic("picture too large: W × H") when width × height exceeds the budget.
// Every reader calls it before it allocates pixels.
void CheckPixelBudget(const DecodeLimits& limits, int64_t width, int64_t height,
                      const std::string& invalidText);

// Throws EInvalidGraphic("picture too large: W × H") when a working buffer of `bytes`
// for a picture of width × height would exceed what the budget allows.
void CheckBufferBudget(const DecodeLimits& limits, uint64_t bytes, int64_t width, int64_t height);

} // namespace tabulonix
