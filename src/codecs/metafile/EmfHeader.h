#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tabulonix::metafile {

struct EmfRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The fixed part of an enhanced metafile's header record, as stored. Nothing here is
// checked beyond its presence: each user decides which values it can go by.
struct EmfHeader {
    static constexpr size_t Size = 88; // bytes up to and including the millimetre size

    uint32_t type = 0;       // EMR_HEADER in a real header
    uint32_t recordSize = 0; // of the header record itself
    EmfRect bounds;          // device pixels, inclusive
    EmfRect frame;           // 0.01 mm
    uint32_t signature = 0;  // EmfSignature
    uint32_t version = 0;
    uint32_t totalSize = 0; // of the whole metafile
    uint32_t records = 0;
    uint16_t handles = 0; // object table entries, index 0 included
    uint32_t descriptionChars = 0, descriptionOffset = 0;
    uint32_t paletteEntries = 0;
    int32_t devicePixelsX = 0, devicePixelsY = 0; // the reference device
    int32_t deviceMillimetresX = 0, deviceMillimetresY = 0;

    bool HasSignature() const;
    // The reference device as given, when all four values are positive.
    bool HasReferenceDevice() const;
};

// The header at the start of `data`, or nothing when fewer than EmfHeader::Size bytes are
// there.
std::optional<EmfHeader> ReadEmfHeader(const uint8_t* data, size_t size);

} // namespace tabulonix::metafile
