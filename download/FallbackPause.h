#pragma once
#include <chrono>

// The pause between a failed WinHTTP file download and the WinINet attempt: 2000 ms.
// Tests may shorten it.
std::chrono::milliseconds FallbackPause();
void SetFallbackPauseForTesting(std::chrono::milliseconds pause);
