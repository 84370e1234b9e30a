#include "codecs/compression/Thunderscan.h"

#include <algorithm>

namespace tabulonix {

void DecodeThunderscan(const uint8_t* src, size_t srcSize, int width, int rows, uint8_t* dst,
                       size_t rowBytes)
{
    static const int kTwoBitDeltas[4] = {0, 1, 0, -1};
    static const int kThreeBitDeltas[8] = {0, 1, 2, 3, 0, -3, -2, -1};
    size_t i = 0;
    for (int y = 0; y < rows && i < srcSize; ++y) {
        uint8_t* row = dst + static_cast<size_t>(y) * rowBytes;
        int last = 0;
        int x = 0;
        auto put = [&](int v) {
            if (x >= width)
                return;
            uint8_t& b = row[x >> 1];
            if (x & 1)
                b = static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
            else
                b = static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
            ++x;
        };
        while (x < width && i < srcSize) {
            uint8_t code = src[i++];
            switch (code & 0xC0) {
            case 0x00: // run of the last value
                for (int n = code & 0x3F; n > 0 && x < width; --n)
                    put(last);
                break;
            case 0x40: { // three 2-bit deltas; 2 skips
                int d[3] = {(code >> 4) & 3, (code >> 2) & 3, code & 3};
                for (int k : d)
                    if (k != 2) {
                        last = (last + kTwoBitDeltas[k]) & 0x0F;
                        put(last);
                    }
                break;
            }
            case 0x80: { // two 3-bit deltas; 4 skips
                int d[2] = {(code >> 3) & 7, code & 7};
                for (int k : d)
                    if (k != 4) {
                        last = (last + kThreeBitDeltas[k]) & 0x0F;
                        put(last);
                    }
                break;
            }
            default: // a raw value
                last = code & 0x0F;
                put(last);
                break;
            }
        }
    }
}

} // namespace tabulonix
