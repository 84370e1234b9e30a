#include "codecs/metafile/MetafilePlayer.h"

#include "codecs/metafile/EmfDecoder.h"
#include "codecs/metafile/MetafileExecutor.h"
#include "codecs/metafile/WmfDecoder.h"

#include <mutex>

namespace tabulonix {

namespace {

bool EmptyArea(const TRect& area)
{
    return area.right < area.left || area.bottom < area.top;
}

} // namespace

void PlayEnhancedMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& area,
                          const DecodeLimits& limits)
{
    if (EmptyArea(area))
        return;
    std::lock_guard<std::recursive_mutex> guard(canvas.Lock());
    metafile::MetafileExecutor executor(canvas, area, limits);
    try {
        metafile::DecodeEmf(data, size, executor);
    } catch (const metafile::WorkExhausted&) {
        // the playing ends where its work ran out
    }
}

void PlayWindowsMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& box,
                         const TRect& area, const DecodeLimits& limits)
{
    if (EmptyArea(area))
        return;
    std::lock_guard<std::recursive_mutex> guard(canvas.Lock());
    metafile::MetafileExecutor executor(canvas, area, limits);
    try {
        metafile::DecodeWmf(data, size, box, executor);
    } catch (const metafile::WorkExhausted&) {
        // the playing ends where its work ran out
    }
}

} // namespace tabulonix
