// The one set of limits every picture harness reads under: a pixel budget large enough for
// every seed picture, small enough that a header declaring a huge picture with no data
// behind it costs milliseconds, so the fuzzer keeps its pace.
#pragma once
#include "codecs/core/DecodeLimits.h"

inline tabulonix::DecodeLimits FuzzLimits()
{
    tabulonix::DecodeLimits limits;
    limits.pixels = uint64_t{1} << 20;
    return limits;
}
