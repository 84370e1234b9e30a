#include "platform/ScreenMetrics.h"

namespace tabulonix {

namespace {
ScreenMetrics& Current()
{
    static ScreenMetrics metrics;
    return metrics;
}
} // namespace

const ScreenMetrics& Screen() { return Current(); }
void SetScreenMetrics(const ScreenMetrics& metrics) { Current() = metrics; }
void ResetScreenMetrics() { Current() = ScreenMetrics{}; }

} // namespace tabulonix
