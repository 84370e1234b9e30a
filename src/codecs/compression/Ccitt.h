#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulonix {

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

} // namespace tabulonix
