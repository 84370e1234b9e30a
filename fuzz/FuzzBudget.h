// The one set of limits every picture harness reads under: a pixel budget of 512 x 512,
// enough for every seed picture but a few large JPEG and TIFF photos (whose smaller
// mutations still pass), and small enough that a header declaring a huge picture with
// little data behind it costs well under a millisecond, so the fuzzer keeps its pace.
// The program's own budget, 64 times larger, is tested by the reader tests.
#pragma once
#include "codecs/core/DecodeLimits.h"

inline tabulonix::DecodeLimits FuzzLimits()
{
    tabulonix::DecodeLimits limits;
    limits.pixels = uint64_t{1} << 18;
    return limits;
}
