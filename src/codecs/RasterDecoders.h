#pragma once
// The compression decoders shared by the raster readers. Every decoder reads from a
// bounded input and writes at most the given number of output bytes: a packet that runs
// past the output is cut off there, and input that ends early leaves the rest of the
// output as it was (the readers hand in zero-filled buffers). Errors in structured
// streams (deflate, CCITT, JPEG) raise EInvalidGraphic with the format's compression
// error text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabulonix {

// What a run-length decoder did: bytes of input used, bytes of output written.
struct TDecodeResult {
    size_t consumed = 0;
    size_t produced = 0;
};

// Control byte n: 0..127 copy n + 1 bytes; 129..255 repeat the next byte 257 - n times;
// 128 is skipped.
TDecodeResult DecodePackBits(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize);
// A byte >= 192 repeats the next byte (byte - 192) times; other bytes stand for themselves.
TDecodeResult DecodePCXRLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize);
// One row of samples: control c (a byte, or a big-endian 16-bit value for two-byte
// samples), count c & 0x7F, 0 ends; top bit set copies count samples, clear repeats the
// next one. `bytesPerSample` is 1 or 2; 16-bit samples stay big-endian in `dst`.
TDecodeResult DecodeSGIRLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                           int bytesPerSample);
// One row: a 2-byte length (skipped), then control c: 0 ends; top bit set repeats the
// next byte c & 0x7F times; clear copies the next c bytes.
TDecodeResult DecodeCUTRow(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize);
// Control c >= 128 repeats the next byte c - 128 times; otherwise copies c bytes.
TDecodeResult DecodePSPRLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize);
// Control c as a signed byte: negative copies -c bytes; otherwise repeats the next byte
// c + 1 times.
TDecodeResult DecodeRLARLE(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize);

// Inflates a zlib stream into at most dstSize bytes. Output beyond dstSize is not
// produced (the stream is not inflated further); a corrupt stream raises the compression
// error of `formatName`. A stream that ends early leaves the rest of dst untouched.
// Returns the bytes written.
size_t InflateBounded(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                      const std::string& formatName);

// TIFF's LZW (compression 5): codes packed most significant bit first, 256 clears the
// table, 257 ends the data, and the code width grows one code before the table fills its
// width. Decodes into at most dstSize bytes and returns the bytes written; a code that
// names no string raises the compression error of `formatName`. The old form, packed like
// GIF's, is refused as unsupported.
size_t DecodeTiffLzw(const uint8_t* src, size_t srcSize, uint8_t* dst, size_t dstSize,
                     const std::string& formatName);

// CCITT T.4 decoding (white run first, 1 bits are black in the output, rows packed
// most significant bit first, (width + 7) / 8 bytes each).
enum TCCITTMode {
    cmGroup3, // EOL-delimited rows, one- or two-dimensional by the options
    cmMH,     // modified Huffman: one-dimensional rows starting at a byte boundary
    cmMHWord, // as cmMH, rows starting at a 16-bit boundary
};
struct TCCITTOptions {
    TCCITTMode mode = cmGroup3;
    bool twoDimensional = false; // T.4 option bit 0
    bool uncompressed = false;   // T.4 option bit 1 (refused when met)
    bool reverseBits = false;    // fill order 2: least significant bit first
};
// Decodes `rows` rows into dst (rows x rowBytes). Rows the data does not reach stay as
// they were. Returns the number of rows decoded.
int DecodeCCITT(const uint8_t* src, size_t srcSize, const TCCITTOptions& options, int width,
                int rows, uint8_t* dst, size_t rowBytes, const std::string& formatName);

// JPEG data inside a TIFF strip. `tables` (may be empty) is the abbreviated table
// stream of the file; the strip is decoded into `rows` rows of width x components bytes
// (rows beyond the strip's stay untouched). `colorTransform` asks for YCbCr to RGB
// conversion (photometric 6); otherwise the components are taken as they are stored.
// Returns the rows decoded.
int DecodeTIFFJPEG(const uint8_t* tables, size_t tablesSize, const uint8_t* src, size_t srcSize,
                   int width, int rows, int components, bool colorTransform, uint8_t* dst,
                   size_t rowBytes, const std::string& formatName);

// Thunderscan 4-bit data (two pixels per byte), `rows` rows of `width` pixels.
void DecodeThunderscan(const uint8_t* src, size_t srcSize, int width, int rows, uint8_t* dst,
                       size_t rowBytes);

} // namespace tabulonix
