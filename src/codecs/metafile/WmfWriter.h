#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace tabulonix {

// The 22-byte placeable header: key, handle 0, box (0, 0, right, bottom), units per inch,
// reserved 0 and the exclusive-or of the ten words before the checksum.
std::vector<uint8_t> PlaceableHeader(int right, int bottom, int inch);
uint16_t PlaceableChecksum(const uint8_t* header);

// Converts an enhanced metafile made of the records our recorder writes into Windows
// metafile records (header to end record) for the anisotropic mapping mode: the window is
// (0, 0, unitsX, unitsY) and the enhanced metafile's frame maps onto it. Returns nothing
// when the metafile holds records this conversion does not know; throws EInvalidGraphic
// when a coordinate does not fit the 16-bit Windows format.
std::optional<std::vector<uint8_t>> ConvertToWmf(const std::vector<uint8_t>& emf, int unitsX,
                                                 int unitsY);

} // namespace tabulonix
