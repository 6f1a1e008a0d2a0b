#pragma once
#include <chrono>

// The pause after a request whose status is outside 200-399: 5000 ms. Tests may shorten it.
std::chrono::milliseconds RetryPause();
void SetRetryPauseForTesting(std::chrono::milliseconds pause);
