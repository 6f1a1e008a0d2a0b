#include "backend/TransferLimits.h"
#include "win/Text.h"

#include <mutex>

namespace {

std::mutex g_mutex;
TransferLimits g_limits;

}  // namespace

TransferLimits CurrentTransferLimits() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_limits;
}

void SetTransferLimitsForTesting(const TransferLimits& limits) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_limits = limits;
}

StallWatch::StallWatch(const TransferLimits& limits) : m_limits(limits), m_windowStart(Clock::now()) {}

bool StallWatch::Add(uint64_t bytes) {
  m_windowBytes += bytes;
  const Clock::time_point now = Clock::now();
  if (now - m_windowStart < m_limits.stallWindow) return true;
  if (m_windowBytes < m_limits.stallBytes) return false;
  m_windowStart = now;
  m_windowBytes = 0;
  return true;
}

std::wstring StallWatch::StalledText() const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_limits.stallWindow).count();
  return L"Download stalled: fewer than " + win::Decimal(m_limits.stallBytes) + L" bytes in " +
         win::Decimal(seconds) + L" s.";
}
