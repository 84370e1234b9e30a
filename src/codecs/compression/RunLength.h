#pragma once
// The run-length schemes of the raster readers. Every decoder reads from a bounded input
// and writes at most the given number of output bytes: a packet that runs past the output
// is cut off there, and input that ends early leaves the rest of the output as it was (the
// readers hand in zero-filled buffers).
#include <cstddef>
#include <cstdint>

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

} // namespace tabulonix
