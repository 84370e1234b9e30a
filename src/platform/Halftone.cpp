#include "platform/Halftone.h"

#include <climits>

namespace tabulonix {

namespace {

constexpr RGBQuad Quad(uint8_t r, uint8_t g, uint8_t b)
{
    return RGBQuad{b, g, r, 0};
}

struct HalftoneTables {
    std::array<RGBQuad, 256> palette{};
    std::array<int, 216> cubeIndex{}; // cube position (r*36+g*6+b) -> palette index
    int extraFirst = 0;               // entries not in the cube: [0,16) and [extraFirst,256)
};

const HalftoneTables& Tables()
{
    static const HalftoneTables tables = [] {
        HalftoneTables t;
        const auto& std16 = StandardColors16();
        int n = 0;
        for (const auto& c : std16)
            t.palette[n++] = c;
        auto find = [&](const RGBQuad& q) {
            for (int i = 0; i < n; ++i)
                if (t.palette[i] == q)
                    return i;
            return -1;
        };
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) {
                    RGBQuad q = Quad(static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                                     static_cast<uint8_t>(b * 51));
                    int at = find(q);
                    if (at < 0) {
                        at = n;
                        t.palette[n++] = q;
                    }
                    t.cubeIndex[r * 36 + g * 6 + b] = at;
                }
        t.extraFirst = n; // 224
        for (int k = 1; n < 256; ++k) {
            auto v = static_cast<uint8_t>((k * 255 + 16) / 33);
            t.palette[n++] = Quad(v, v, v);
        }
        return t;
    }();
    return tables;
}

int Distance(const RGBQuad& q, uint8_t r, uint8_t g, uint8_t b)
{
    int dr = q.red - r, dg = q.green - g, db = q.blue - b;
    return dr * dr + dg * dg + db * db;
}

} // namespace

const std::array<RGBQuad, 16>& StandardColors16()
{
    static const std::array<RGBQuad, 16> colors = {
        Quad(0, 0, 0),       Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
        Quad(0, 0, 128),     Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
        Quad(128, 128, 128), Quad(255, 0, 0),   Quad(0, 255, 0),   Quad(255, 255, 0),
        Quad(0, 0, 255),     Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255),
    };
    return colors;
}

const std::array<RGBQuad, 256>& HalftonePalette()
{
    return Tables().palette;
}

int NearestColorIndex(const RGBQuad* table, int count, uint8_t r, uint8_t g, uint8_t b)
{
    int best = 0, bestDistance = INT_MAX;
    for (int i = 0; i < count; ++i) {
        int d = Distance(table[i], r, g, b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

int NearestHalftoneIndex(uint8_t r, uint8_t g, uint8_t b)
{
    const HalftoneTables& t = Tables();
    // The nearest cube colour is found channel by channel (51 is odd, so no level ties);
    // only the 40 entries outside the cube need a search. Ties go to the lower index, as
    // in the linear search.
    auto level = [](uint8_t v) { return (v + 25) / 51; };
    int best = t.cubeIndex[level(r) * 36 + level(g) * 6 + level(b)];
    int bestDistance = Distance(t.palette[best], r, g, b);
    auto consider = [&](int i) {
        int d = Distance(t.palette[i], r, g, b);
        if (d < bestDistance || (d == bestDistance && i < best)) {
            bestDistance = d;
            best = i;
        }
    };
    for (int i = 0; i < 16; ++i)
        consider(i);
    for (int i = t.extraFirst; i < 256; ++i)
        consider(i);
    return best;
}

} // namespace tabulonix
