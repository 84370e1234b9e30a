#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tabulonix::metafile {

// Device coordinates are kept within this, so that differences of two still fit an int.
constexpr double HugeCoordinate = 4e8;

inline int Clamped(int64_t v)
{
    return static_cast<int>(
        std::clamp<int64_t>(v, -int64_t(HugeCoordinate), int64_t(HugeCoordinate)));
}

inline int ToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::lround(std::clamp(v, -HugeCoordinate, HugeCoordinate)));
}

} // namespace tabulonix::metafile
