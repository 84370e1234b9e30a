#include "codecs/metafile/EmfHeader.h"

#include "codecs/core/ByteReader.h"
#include "codecs/metafile/MetafileRecords.h"

namespace tabulonix::metafile {

namespace {

int32_t S32(const uint8_t* p)
{
    return static_cast<int32_t>(GetU32LE(p));
}

EmfRect RectAt(const uint8_t* p)
{
    return EmfRect{S32(p), S32(p + 4), S32(p + 8), S32(p + 12)};
}

} // namespace

bool EmfHeader::HasSignature() const
{
    return type == EMR_HEADER && signature == EmfSignature;
}

bool EmfHeader::HasReferenceDevice() const
{
    return devicePixelsX > 0 && devicePixelsY > 0 && deviceMillimetresX > 0 &&
           deviceMillimetresY > 0;
}

std::optional<EmfHeader> ReadEmfHeader(const uint8_t* data, size_t size)
{
    if (size < EmfHeader::Size)
        return std::nullopt;
    EmfHeader h;
    h.type = GetU32LE(data);
    h.recordSize = GetU32LE(data + 4);
    h.bounds = RectAt(data + 8);
    h.frame = RectAt(data + 24);
    h.signature = GetU32LE(data + 40);
    h.version = GetU32LE(data + 44);
    h.totalSize = GetU32LE(data + 48);
    h.records = GetU32LE(data + 52);
    h.handles = GetU16LE(data + 56);
    h.descriptionChars = GetU32LE(data + 60);
    h.descriptionOffset = GetU32LE(data + 64);
    h.paletteEntries = GetU32LE(data + 68);
    h.devicePixelsX = S32(data + 72);
    h.devicePixelsY = S32(data + 76);
    h.deviceMillimetresX = S32(data + 80);
    h.deviceMillimetresY = S32(data + 84);
    return h;
}

} // namespace tabulonix::metafile
