// The rules that compare the machine with an offer's minimum requirements: free disk space,
// memory, processor speed, Windows version and this program's version.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>
#include <cwctype>

#include "eligibility/OfferChecker.h"
#include "packages/Package.h"
#include "win/Text.h"

namespace {

constexpr uint64_t kMiB = 1048576;

// A piece of a dotted version: its leading decimal number (white space and one sign allowed before
// it), 0 without one; a number beyond 32 bits is held at the nearest end.
int32_t VersionPiece(const std::wstring& piece) {
  size_t at = 0;
  while (at < piece.size() && iswspace(piece[at])) ++at;
  bool negative = false;
  if (at < piece.size() && (piece[at] == L'+' || piece[at] == L'-')) negative = piece[at++] == L'-';
  int64_t value = 0;
  for (; at < piece.size() && piece[at] >= L'0' && piece[at] <= L'9'; ++at) {
    value = std::min<int64_t>(value * 10 + (piece[at] - L'0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// The numbers of a dotted version; empty pieces ("1..2", ".1.2.") are skipped.
std::vector<int32_t> VersionNumbers(const std::wstring& text) {
  std::vector<int32_t> numbers;
  size_t from = 0;
  while (from <= text.size()) {
    size_t dot = text.find(L'.', from);
    if (dot == std::wstring::npos) dot = text.size();
    if (dot > from) numbers.push_back(VersionPiece(text.substr(from, dot - from)));
    from = dot + 1;
  }
  return numbers;
}

}  // namespace

bool IsVersionAtLeast(const std::wstring& current, const std::wstring& required) {
  const std::vector<int32_t> have = VersionNumbers(current);
  const std::vector<int32_t> need = VersionNumbers(required);
  for (size_t i = 0; i < std::max(have.size(), need.size()); ++i) {
    const int32_t a = i < have.size() ? have[i] : 0;
    const int32_t b = i < need.size() ? need[i] : 0;
    if (a != b) return a > b;
  }
  return true;
}

bool OfferChecker::RejectBelowMiB(Package& offer, int64_t minimum, std::optional<uint64_t>& measuredMiB,
                                  const ByteMeasure& measure, const char* failed, const char* tooLow) {
  if (minimum == 0) return false;
  if (!measuredMiB) {
    uint64_t bytes = 0;
    DWORD error = 0;
    if (!measure(bytes, error)) {
      Reject(offer, failed + std::to_string(error));
      return true;
    }
    measuredMiB = bytes / kMiB;
  }
  if (*measuredMiB < static_cast<uint64_t>(minimum)) {
    Reject(offer, tooLow);
    return true;
  }
  return false;
}

bool OfferChecker::CheckDiskSpace(Package& offer) {
  // Measured on the drive of the default user's desktop, whatever drive the offer installs to.
  return RejectBelowMiB(
      offer, offer.m_minDiskSpace, m_freeDiskMiB,
      [this](uint64_t& bytes, DWORD& error) {
        return m_probes->FreeDiskBytes(m_probes->DefaultUserDesktop().substr(0, 3), bytes, error);
      },
      "DISK SPACE CHECK FAILED ", "NOT ENOUGH DISK SPACE");
}

bool OfferChecker::CheckRam(Package& offer) {
  return RejectBelowMiB(
      offer, offer.m_minRam, m_totalRamMiB,
      [this](uint64_t& bytes, DWORD& error) { return m_probes->TotalPhysicalBytes(bytes, error); },
      "RAM CHECK FAILED ", "NOT ENOUGH RAM");
}

bool OfferChecker::CheckCpu(Package& offer) {
  if (offer.m_minCpu == 0) return false;
  if (!m_cpuMhzKnown) {
    uint32_t mhz = 0;
    switch (m_probes->ProcessorMhz(mhz)) {
      case MachineProbes::CpuRead::kCannotOpen:
        Reject(offer, "CPU CHECK FAILED: Couldn't open registry");
        return true;
      case MachineProbes::CpuRead::kCannotRead:
        Reject(offer, "CPU CHECK FAILED: Couldn't read value");
        return true;
      case MachineProbes::CpuRead::kOk:
        break;
    }
    m_cpuMhz = mhz;
    m_cpuMhzKnown = true;
  }
  if (static_cast<uint64_t>(m_cpuMhz) < static_cast<uint64_t>(offer.m_minCpu)) {
    Reject(offer, "NOT ENOUGH CPU");
    return true;
  }
  return false;
}

bool OfferChecker::CheckOsVersion(Package& offer) {
  const int code = offer.m_minOsVersion;
  if (code <= 0) return false;
  DWORD major = 0, minor = 0;
  switch (code) {
    case 61: major = 6, minor = 1; break;
    case 62: major = 6, minor = 2; break;
    case 63: major = 6, minor = 3; break;
    case 100: major = 10, minor = 0; break;
    default:
      Reject(offer, "UNSUPPORTED OS VERSION");
      return true;
  }
  if (!m_probes->IsWindowsVersionOrLater(major, minor)) {
    Reject(offer, "UNSUPPORTED OS VERSION");
    return true;
  }
  return false;
}

bool OfferChecker::CheckPlatformVersion(Package& offer) {
  if (offer.m_platformVersion.empty()) return false;
  // A configuration text, so UTF-8 (the digits and dots that matter are the same in any code page).
  const std::wstring required = win::FromUtf8(offer.m_platformVersion);
  if (!IsVersionAtLeast(m_programVersion, required)) {
    Reject(offer, "UNSUPPORTED PLATFORM VERSION");
    return true;
  }
  return false;
}
