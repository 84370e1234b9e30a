// The one pixel budget every picture harness reads under: large enough for every seed
// picture, small enough that a header declaring a huge picture with no data behind it
// costs milliseconds, so the fuzzer keeps its pace.
#pragma once
#include "codecs/core/PixelBudget.h"

inline void SetFuzzPixelBudget()
{
    tabulonix::SetPixelBudget(uint64_t{1} << 20);
}
