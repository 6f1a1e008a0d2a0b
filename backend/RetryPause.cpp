#include "backend/RetryPause.h"

#include <atomic>

namespace {
std::atomic<long long> g_pauseMs{5000};
}

std::chrono::milliseconds RetryPause() { return std::chrono::milliseconds(g_pauseMs.load()); }
void SetRetryPauseForTesting(std::chrono::milliseconds pause) { g_pauseMs = pause.count(); }
