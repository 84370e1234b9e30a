#pragma once
#include <cstddef>
#include <cstdint>

namespace tabulonix {

// Thunderscan 4-bit data (two pixels per byte), `rows` rows of `width` pixels.
void DecodeThunderscan(const uint8_t* src, size_t srcSize, int width, int rows, uint8_t* dst,
                       size_t rowBytes);

} // namespace tabulonix
