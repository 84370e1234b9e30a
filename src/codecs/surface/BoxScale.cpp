#include "codecs/surface/BoxScale.h"

#include "codecs/core/Graphic.h"
#include "codecs/surface/Canvas.h"

#include <cstdint>
#include <vector>

namespace tabulonix {

namespace {

// For each destination index, the first source index it takes and how many.
struct Span {
    int first = 0;
    int count = 1;
};

std::vector<Span> Spans(int sourceSize, int destSize)
{
    std::vector<Span> spans(static_cast<size_t>(destSize));
    const int64_t s = sourceSize, d = destSize;
    for (int64_t i = 0; i < d; ++i) {
        Span& span = spans[static_cast<size_t>(i)];
        if (s <= d) {
            span.first = static_cast<int>((2 * i + 1) * s / (2 * d));
            continue;
        }
        // Centres j + 1/2 inside [i s / d, (i + 1) s / d): 2 i s <= (2 j + 1) d < 2 (i + 1) s.
        int64_t first = (2 * i * s + d - 1) / (2 * d); // the least j with (2j+1)d >= 2is
        while ((2 * first + 1) * d < 2 * i * s)
            ++first;
        int64_t last = first;
        while ((2 * (last + 1) + 1) * d < 2 * (i + 1) * s && last + 1 < s)
            ++last;
        span.first = static_cast<int>(first);
        span.count = static_cast<int>(last - first + 1);
    }
    return spans;
}

uint8_t Mean(uint32_t sum, int count)
{
    return static_cast<uint8_t>((sum + static_cast<uint32_t>(count) / 2) /
                                static_cast<uint32_t>(count));
}

} // namespace

TBitmap TrueColorCopy(TGraphic& graphic)
{
    TBitmap copy;
    copy.SetLimits(graphic.Limits());
    copy.NewImage(graphic.Width(), graphic.Height(), pf24bit, false);
    TCanvas& canvas = copy.Canvas();
    canvas.Brush.Color = clWhite;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(TRect{0, 0, copy.Width(), copy.Height()});
    canvas.DrawAt(0, 0, &graphic);
    return copy;
}

TBitmap BoxScaled(const TBitmap& source, int width, int height)
{
    const int sw = source.Width(), sh = source.Height();
    const std::vector<Span> across = Spans(sw, width), down = Spans(sh, height);

    // Horizontal pass over every source row the vertical pass reads.
    std::vector<uint8_t> rows(static_cast<size_t>(width) * 3 * static_cast<size_t>(sh));
    std::vector<bool> needed(static_cast<size_t>(sh), false);
    for (const Span& span : down)
        for (int k = 0; k < span.count; ++k)
            needed[static_cast<size_t>(span.first + k)] = true;
    for (int y = 0; y < sh; ++y) {
        if (!needed[static_cast<size_t>(y)])
            continue;
        const uint8_t* in = source.ConstRow(y);
        uint8_t* out = &rows[static_cast<size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            const Span& span = across[static_cast<size_t>(x)];
            uint32_t sum[3] = {0, 0, 0};
            const uint8_t* p = in + static_cast<size_t>(span.first) * 3;
            for (int k = 0; k < span.count; ++k, p += 3) {
                sum[0] += p[0];
                sum[1] += p[1];
                sum[2] += p[2];
            }
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = Mean(sum[c], span.count);
        }
    }

    TBitmap result;
    result.SetLimits(source.Limits());
    result.NewImage(width, height, pf24bit, false);
    std::vector<uint32_t> sum(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const Span& span = down[static_cast<size_t>(y)];
        std::fill(sum.begin(), sum.end(), 0u);
        for (int k = 0; k < span.count; ++k) {
            const uint8_t* row = &rows[static_cast<size_t>(span.first + k) * width * 3];
            for (size_t i = 0; i < sum.size(); ++i)
                sum[i] += row[i];
        }
        uint8_t* out = result.Row(y);
        for (size_t i = 0; i < sum.size(); ++i)
            out[i] = Mean(sum[i], span.count);
    }
    result.PixelsChanged();
    return result;
}

} // namespace tabulonix
