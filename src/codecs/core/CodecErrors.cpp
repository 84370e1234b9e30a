#include "codecs/core/CodecErrors.h"

#include "platform/Exception.h"

namespace tabulonix {

const char* const kInvalidImageFormat = "Cannot load image. Invalid or unexpected %s image format.";
const char* const kInvalidColorFormat = "Invalid color format in %s file.";
const char* const kStreamReadError = "Stream read error in %s file.";
const char* const kUnsupportedFeature = "Cannot load image. %s not supported for %s files.";
const char* const kCompressionError = "Cannot load image. Compression error found in %s file.";
const char* const kInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
const char* const kCRCError = "Cannot load image. CRC error found in %s file.";
const char* const kExtraCompressedData =
    "Cannot load image. Extra compressed data found in %s file.";
const char* const kUnknownCriticalChunk =
    "Cannot load PNG image. Unexpected but critical chunk detected.";

std::string FormatError(const char* text, const std::string& formatName)
{
    return Format(text, {formatName});
}

std::string UnsupportedError(const std::string& feature, const std::string& formatName)
{
    return Format(kUnsupportedFeature, {feature, formatName});
}

} // namespace tabulonix
