#pragma once
#include "engine/JobSettings.h"

#include <cstdint>

namespace tabulonix {

struct TargetSize {
    int64_t width = 0;
    int64_t height = 0;
    friend bool operator==(const TargetSize&, const TargetSize&) = default;
};

// numerator / denominator rounded to the nearest integer, halves to the even neighbour.
// The division is exact (no floating point), so the halves are recognised reliably.
int64_t RoundDivHalfEven(int64_t numerator, int64_t denominator);

// The output size of one source picture in thumbnail mode. The result may hold a side
// below 1 (an extreme aspect ratio, or a request below 1); the engine fails such a file.
TargetSize ComputeTargetSize(int sourceWidth, int sourceHeight, const JobSettings& settings);

// The progress percentage text: position / maximum * 100 rounded half to even, and "%".
std::string PercentText(int position, int maximum);

} // namespace tabulonix
