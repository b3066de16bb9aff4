#include "tamsel/numeric/lanes.h"

#include <atomic>

namespace tamsel {
namespace {

std::atomic<bool> g_baselineChosen{false};

}  // namespace

LanePath WidestLanePath() {
#if defined(__x86_64__)
    static const LanePath widest =
        __builtin_cpu_supports("avx2") ? LanePath::Avx2 : LanePath::Baseline;
    return widest;
#else
    return LanePath::Baseline;
#endif
}

LanePath ActiveLanePath() {
    return g_baselineChosen.load(std::memory_order_relaxed) ? LanePath::Baseline : WidestLanePath();
}

void ChooseLanePath(LanePath path) {
    g_baselineChosen.store(path == LanePath::Baseline, std::memory_order_relaxed);
}

}  // namespace tamsel
