#include "backend/RunSettings.h"

#include <windows.h>

#include <ctime>

#include "backend/Identity.h"

std::string RunSettings::GetSessionTimestamp() {
  if (!m_sessionTimestamp.empty()) return m_sessionTimestamp;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::string stamp;
  if (localtime_s(&local, &now) == 0) {
    char buffer[32] = {};
    const size_t length = std::strftime(buffer, sizeof(buffer), "%Y%m%d%H%M%S", &local);
    stamp.assign(buffer, length);
  }
  m_sessionTimestamp = stamp;
  return stamp;
}

std::string RunSettings::GetUserId() {
  if (m_userId.empty()) m_userId = ReadMachineGuid();
  return m_userId;
}

PathTokenTable RunSettings::GetPathTokens() {
  if (!m_pathTokensReady) {
    BuildPathTokens(m_pathTokens, m_pathTokens64);
    m_pathTokensReady = true;
  }
  return m_pathTokens;
}

PathTokenTable RunSettings::GetPathTokens64() {
  GetPathTokens();
  return m_pathTokens64;
}
