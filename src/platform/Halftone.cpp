#include "platform/Halftone.h"

#include <algorithm>
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
    // For every cube cell, the entries outside the cube that come at least as near as the
    // cell's cube colour to some colour of the cell, in increasing order: no other entry
    // can be the nearest there.
    std::array<std::vector<uint8_t>, 216> rivals;
};

int Distance(const RGBQuad& q, uint8_t r, uint8_t g, uint8_t b)
{
    int dr = q.red - r, dg = q.green - g, db = q.blue - b;
    return dr * dr + dg * dg + db * db;
}

// Whether `p` is as near as `q` to some colour of the box [lo, hi] in every channel. The
// difference of the squared distances is linear in each channel, so its least value over
// the box is found one channel at a time.
bool RivalsInBox(const RGBQuad& p, const RGBQuad& q, const int lo[3], const int hi[3])
{
    const int pc[3] = {p.red, p.green, p.blue}, qc[3] = {q.red, q.green, q.blue};
    int least = 0;
    for (int c = 0; c < 3; ++c) {
        // (p - x)^2 - (q - x)^2 = p^2 - q^2 - 2x(p - q)
        const int x = pc[c] > qc[c] ? hi[c] : lo[c];
        least += pc[c] * pc[c] - qc[c] * qc[c] - 2 * x * (pc[c] - qc[c]);
    }
    return least <= 0;
}

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
        for (int cell = 0; cell < 216; ++cell) {
            const int level[3] = {cell / 36, cell / 6 % 6, cell % 6};
            int lo[3], hi[3];
            for (int c = 0; c < 3; ++c) { // the values whose nearest level is level[c]
                lo[c] = std::max(0, level[c] * 51 - 25);
                hi[c] = std::min(255, level[c] * 51 + 25);
            }
            const int own = t.cubeIndex[static_cast<size_t>(cell)];
            for (int i = 0; i < 256; ++i)
                if ((i < 16 || i >= t.extraFirst) && i != own &&
                    RivalsInBox(t.palette[static_cast<size_t>(i)],
                                t.palette[static_cast<size_t>(own)], lo, hi))
                    t.rivals[static_cast<size_t>(cell)].push_back(static_cast<uint8_t>(i));
        }
        return t;
    }();
    return tables;
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
    // only the entries outside the cube that can rival it in its cell need a search. Ties
    // go to the lower index, as in the linear search.
    auto level = [](uint8_t v) { return (v + 25) / 51; };
    const int cell = level(r) * 36 + level(g) * 6 + level(b);
    int best = t.cubeIndex[static_cast<size_t>(cell)];
    int bestDistance = Distance(t.palette[static_cast<size_t>(best)], r, g, b);
    for (uint8_t i : t.rivals[static_cast<size_t>(cell)]) {
        int d = Distance(t.palette[i], r, g, b);
        if (d < bestDistance || (d == bestDistance && i < best)) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

} // namespace tabulonix
