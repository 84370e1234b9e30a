#include "engine/Geometry.h"

#include <string>

namespace tabulonix {

int64_t RoundDivHalfEven(int64_t numerator, int64_t denominator)
{
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    int64_t q = numerator / denominator;
    int64_t r = numerator % denominator;
    if (r < 0) { // floor division
        q -= 1;
        r += denominator;
    }
    int64_t twice = 2 * r;
    if (twice > denominator || (twice == denominator && (q & 1) != 0))
        ++q;
    return q;
}

namespace {

// A side is changed when the request is smaller, or larger and enlarging is allowed.
bool Changes(int64_t request, int64_t source, bool stretchSmall)
{
    return request < source || (request > source && stretchSmall);
}

} // namespace

TargetSize ComputeTargetSize(int sourceWidth, int sourceHeight, const JobSettings& settings)
{
    const int64_t w0 = sourceWidth, h0 = sourceHeight;
    const int64_t l = settings.Leveys, k = settings.Korkeus;
    const bool e = settings.StretchSmall;
    TargetSize out{w0, h0};
    switch (settings.Aspect) {
    case 0:
        if (Changes(k, h0, e) && h0 > 0)
            out = {RoundDivHalfEven(k * w0, h0), k};
        break;
    case 1:
        if (Changes(l, w0, e) && w0 > 0)
            out = {l, RoundDivHalfEven(l * h0, w0)};
        break;
    case 3:
        // Fit in the box: the side that limits is favoured, as the two rules above do.
        if (l * h0 <= k * w0) {
            if (Changes(l, w0, e) && w0 > 0)
                out = {l, RoundDivHalfEven(l * h0, w0)};
        } else if (Changes(k, h0, e) && h0 > 0) {
            out = {RoundDivHalfEven(k * w0, h0), k};
        }
        break;
    default:
        if (Changes(k, h0, e))
            out.height = k;
        if (Changes(l, w0, e))
            out.width = l;
        break;
    }
    return out;
}

std::string PercentText(int position, int maximum)
{
    if (maximum <= 0)
        return "0%";
    return std::to_string(RoundDivHalfEven(int64_t{position} * 100, maximum)) + "%";
}

} // namespace tabulonix
