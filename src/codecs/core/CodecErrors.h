#pragma once
// The exceptions of the picture classes and the error texts of the readers, below every
// other codec file so that decoders and limits can raise them without knowing the classes.
#include "platform/Exception.h"

#include <string>

namespace tabulonix {

// A picture file or stream that no reader accepts, or a surface that cannot be made.
class EInvalidGraphic : public Exception {
  public:
    using Exception::Exception;
};

class EInvalidGraphicOperation : public Exception {
  public:
    using Exception::Exception;
};

class EOutOfResources : public Exception {
  public:
    using Exception::Exception;
};

// Error texts of the reader family ("%s" is the format name).
extern const char* const
    kInvalidImageFormat; // "Cannot load image. Invalid or unexpected %s image format."
extern const char* const kInvalidColorFormat; // "Invalid color format in %s file."
extern const char* const kStreamReadError;    // "Stream read error in %s file."
extern const char* const kUnsupportedFeature; // "Cannot load image. %s not supported for %s files."
extern const char* const
    kCompressionError; // "Cannot load image. Compression error found in %s file."
extern const char* const kInvalidPalette; // "Cannot load image. Palette in %s file is invalid."
extern const char* const kCRCError;       // "Cannot load image. CRC error found in %s file."
extern const char* const
    kExtraCompressedData; // "Cannot load image. Extra compressed data found in %s file."
extern const char* const
    kUnknownCriticalChunk; // "Cannot load PNG image. Unexpected but critical chunk detected."

// The texts with their format name (and, for kUnsupportedFeature, the feature first).
std::string FormatError(const char* text, const std::string& formatName);
std::string UnsupportedError(const std::string& feature, const std::string& formatName);

// GIF decoding and encoding errors, raised by the GIF classes and their LZW coder.
class GIFException : public Exception {
  public:
    using Exception::Exception;
};

// The texts of GIF errors and warnings.
namespace gif_text {
inline constexpr const char* UnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* ColorNotInTable = "Color not in color table";
inline constexpr const char* ColorTableOverflow = "Color table overflow";
inline constexpr const char* ObjectNotSupported = "Object type not supported for operation";
inline constexpr const char* WidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* HeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* ExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* InvalidSignature = "Invalid GIF signature";
inline constexpr const char* PrematureEnd = "Premature end of data";
inline constexpr const char* UnknownExtension = "Unknown extension type";
inline constexpr const char* UnsupportedAppBlockSize =
    "Unsupported Application Extension block size";
inline constexpr const char* InvalidData = "Invalid GIF data";
inline constexpr const char* ExtensionMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* InvalidIntroducer = "Invalid extension introducer";
inline constexpr const char* CircularEntry = "Circular decoder table entry";
inline constexpr const char* NoColorTable = "No global or local color table defined";
inline constexpr const char* UnknownBlock = "Unknown GIF block type";
inline constexpr const char* BitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* InvalidTrailer = "Invalid Image trailer";
} // namespace gif_text

} // namespace tabulonix
