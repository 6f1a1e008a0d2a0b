#include "download/FallbackPause.h"

#include <atomic>

namespace {
std::atomic<long long> g_pauseMs{2000};
}

std::chrono::milliseconds FallbackPause() { return std::chrono::milliseconds(g_pauseMs.load()); }
void SetFallbackPauseForTesting(std::chrono::milliseconds pause) { g_pauseMs = pause.count(); }
