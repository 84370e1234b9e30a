#include "codecs/metafile/MetafilePlayer.h"

#include "codecs/metafile/EmfDecoder.h"
#include "codecs/metafile/MetafileExecutor.h"
#include "codecs/metafile/WmfDecoder.h"

#include <atomic>
#include <mutex>

namespace tabulonix {

namespace {

std::atomic<int64_t> workBudget{200'000'000};

bool EmptyArea(const TRect& area)
{
    return area.right < area.left || area.bottom < area.top;
}

} // namespace

void SetMetafileWorkBudget(int64_t units)
{
    workBudget = units;
}

int64_t MetafileWorkBudget()
{
    return workBudget.load();
}

void PlayEnhancedMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& area)
{
    if (EmptyArea(area))
        return;
    std::lock_guard<std::recursive_mutex> guard(canvas.Lock());
    metafile::MetafileExecutor executor(canvas, area, workBudget.load());
    try {
        metafile::DecodeEmf(data, size, executor);
    } catch (const metafile::WorkExhausted&) {
        // the playing ends where its work ran out
    }
}

void PlayWindowsMetafile(TCanvas& canvas, const uint8_t* data, size_t size, const TRect& box,
                         const TRect& area)
{
    if (EmptyArea(area))
        return;
    std::lock_guard<std::recursive_mutex> guard(canvas.Lock());
    metafile::MetafileExecutor executor(canvas, area, workBudget.load());
    try {
        metafile::DecodeWmf(data, size, box, executor);
    } catch (const metafile::WorkExhausted&) {
        // the playing ends where its work ran out
    }
}

} // namespace tabulonix
