#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace tabulonix {

struct RGBQuad {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    friend bool operator==(const RGBQuad&, const RGBQuad&) = default;
};

// The 16 standard colours in the order of the 4-bit system palette.
const std::array<RGBQuad, 16>& StandardColors16();

// This build's 256-colour halftone palette: the 16 standard colours, then the 6 x 6 x 6
// cube (levels 0, 51, ..., 255) without the colours already listed, then 32 greys.
// Every entry is distinct.
const std::array<RGBQuad, 256>& HalftonePalette();

// Index of the table colour nearest to (r, g, b) by squared RGB distance; on a tie the
// lower index wins. `table` must not be empty.
int NearestColorIndex(const RGBQuad* table, int count, uint8_t r, uint8_t g, uint8_t b);

// The same for the halftone palette, exact but faster than a linear search.
int NearestHalftoneIndex(uint8_t r, uint8_t g, uint8_t b);

} // namespace tabulonix
