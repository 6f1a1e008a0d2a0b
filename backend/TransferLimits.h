#pragma once
// How long the wizard's transfers may wait for the network, and the least progress a transfer must
// make to go on. One set for every request: the configuration, the events, the images and the
// downloads. Tests may shorten the times.
#include <chrono>
#include <cstdint>
#include <string>

struct TransferLimits {
  std::chrono::milliseconds resolve{15000};  // finding the server's address
  std::chrono::milliseconds connect{15000};
  std::chrono::milliseconds send{30000};
  std::chrono::milliseconds receive{30000};  // no byte at all for this long fails the transfer
  // A body that brings fewer than `stallBytes` in `stallWindow` has stalled, however steadily it
  // trickles: 8 KiB a minute. A slow but moving transfer (a few hundred bytes a second) goes on.
  std::chrono::milliseconds stallWindow{60000};
  uint64_t stallBytes = 8192;
};

TransferLimits CurrentTransferLimits();
void SetTransferLimitsForTesting(const TransferLimits& limits);

// Watches one body for the stall rule. Returns false from Add when the window that just ended
// brought too little; the caller fails the transfer with StalledText().
class StallWatch {
 public:
  explicit StallWatch(const TransferLimits& limits = CurrentTransferLimits());
  // `bytes` more have arrived (0 to look at the clock only).
  bool Add(uint64_t bytes);
  std::wstring StalledText() const;

 private:
  using Clock = std::chrono::steady_clock;
  TransferLimits m_limits;
  Clock::time_point m_windowStart;
  uint64_t m_windowBytes = 0;
};
