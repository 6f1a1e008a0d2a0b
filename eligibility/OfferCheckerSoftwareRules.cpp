// The rules that look at what is installed or running: registry keys and values, files, processes,
// App Paths registrations, recent uninstalls, Chrome and the Internet Explorer version.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/PathTokens.h"
#include "eligibility/OfferChecker.h"
#include "eligibility/Registry.h"
#include "packages/Package.h"
#include "win/Text.h"

namespace {

const wchar_t kAppPathsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// A value of the machine that cannot be converted (a time stamp, a version) costs only its offer.
const char kRuleCheckFailed[] = "RULE CHECK FAILED";

size_t CountDots(const std::wstring& text) {
  size_t dots = 0;
  for (wchar_t c : text) dots += c == L'.';
  return dots;
}

// Opens the key of a full path ("hkey_...\sub\key") in the view the path calls for. False when the
// path cannot exist on this system or the key cannot be opened.
bool OpenFullPath(std::wstring path, win::RegKey& key) {
  REGSAM mask = KEY_READ;
  if (win32::ApplyWow64View(path, mask)) return false;
  const auto [hiveName, subkey] = win32::SplitAtFirstBackslash(path);
  const HKEY hive = win32::kHiveKeys.at(hiveName);
  try {
    key = win32::OpenKey(hive, subkey, mask);
  } catch (const win32::RegistryError&) {
    return false;
  }
  return true;
}

}  // namespace

bool OfferChecker::CheckRegistryRules(Package& offer) {
  const auto anyCandidateExists = [this](const std::wstring& entry) {
    for (const std::wstring& candidate : win32::ExpandKeyPath(win::Lower(entry))) {
      if (m_registry.KeyExists(candidate)) return true;
    }
    return false;
  };

  if (!offer.m_excludeIfRegistryKey.empty()) {
    for (const std::wstring& entry : offer.m_excludeIfRegistryKey) {
      if (anyCandidateExists(entry)) {
        Reject(offer, "REGISTRY KEY EXISTS");
        return true;
      }
    }
  }

  if (!offer.m_requireAnyRegistryKey.empty()) {
    bool found = false;
    for (const std::wstring& entry : offer.m_requireAnyRegistryKey) {
      if (anyCandidateExists(entry)) {
        found = true;
        break;
      }
    }
    if (!found) {
      Reject(offer, "NONE OF THE REGISTRY KEYS EXISTS");
      return true;
    }
  }

  for (const std::wstring& entry : offer.m_registryValueNames) {
    const std::vector<std::wstring> candidates = win32::ExpandKeyPath(win::Lower(entry));
    if (candidates.empty()) break;  // an empty entry ends the list
    for (const std::wstring& candidate : candidates) {
      const auto [keyPath, valueName] = win32::SplitAtLastBackslash(candidate);
      if (!m_registry.KeyExists(keyPath)) continue;
      win::RegKey key;
      if (!OpenFullPath(keyPath, key)) continue;
      if (win32::ValueExists(key.Get(), valueName)) {
        Reject(offer, "REGISTRY VALUE EXISTS");
        return true;
      }
    }
  }

  for (const std::wstring& entry : offer.m_registryValueData) {
    for (const std::wstring& candidate : win32::ExpandKeyPath(win::Lower(entry))) {
      const auto [rest, data] = win32::SplitAtLastBackslash(candidate);
      const auto [keyPath, valueName] = win32::SplitAtLastBackslash(rest);
      if (!m_registry.KeyExists(keyPath)) continue;
      win::RegKey key;
      if (!OpenFullPath(keyPath, key)) continue;
      if (!win32::ValueExists(key.Get(), valueName)) continue;
      const DWORD type = win32::GetValueType(key.Get(), valueName);
      // A data text that is not a number, compared with a number, can be told only on a machine
      // where the value is one: it rejects this offer alone.
      bool matches = false;
      try {
        matches = type != 0 && win32::ValueDataMatches(key.Get(), type, valueName, data);
      } catch (const std::logic_error&) {  // std::invalid_argument, std::out_of_range
        Reject(offer, kRuleCheckFailed);
        return true;
      }
      if (matches) {
        Reject(offer, "REGISTRY VALUE DATA MATCHES");
        return true;
      }
    }
  }
  return false;
}

bool OfferChecker::AnyFileExists(const std::vector<std::wstring>& paths) {
  for (const std::wstring& path : paths) {
    if (m_probes->FileExists(path)) return true;
  }
  return false;
}

bool OfferChecker::CheckRunningApplications(Package& offer) {
  // Taken once per pass, whether or not this offer names a process; an empty list is asked again.
  if (m_runningProcesses.empty()) {
    std::vector<std::wstring> names;
    if (m_probes->RunningProcesses(names)) m_runningProcesses = std::move(names);
  }
  for (const std::string& configured : offer.m_excludeIfRunning) {
    const std::wstring name = win::Lower(win::Widen(configured, CP_THREAD_ACP));
    const size_t dots = CountDots(name);
    for (const std::wstring& process : m_runningProcesses) {
      // A name written without the extension matches the executable that has one.
      std::wstring compared = process;
      if (CountDots(compared) > dots) compared.erase(compared.rfind(L'.'));
      if (compared == name) {
        Reject(offer, "APPLICATION RUNNING");
        return true;
      }
    }
  }
  return false;
}

bool OfferChecker::CheckInstalledApplications(Package& offer) {
  for (const std::wstring& name : offer.m_includeApps) {
    if (!IsApplicationInstalled(name)) {
      Reject(offer, "REGISTRY INCLUDE APP NOT FOUND");
      return true;
    }
  }
  for (const std::wstring& name : offer.m_excludeApps) {
    if (IsApplicationInstalled(name)) {
      Reject(offer, "REGISTRY EXCLUDE APP FOUND");
      return true;
    }
  }
  return false;
}

bool OfferChecker::IsApplicationInstalled(const std::wstring& name) {
  if (m_appPaths.empty()) LoadAppPaths();
  // The registered names are kept in lower case; the configured name is looked up as written.
  const auto [first, last] = m_appPaths.equal_range(name);
  for (auto it = first; it != last; ++it) {
    AppPathEntry& entry = it->second;
    if (!entry.resolved) {
      try {
        const win::RegKey key = win32::OpenKey(entry.root, kAppPathsKey + name, entry.view | KEY_READ);
        entry.path = win32::ReadString(key.Get(), L"", L"");
      } catch (const win32::RegistryError&) {
        entry.path.clear();
      }
      entry.resolved = true;
    }
    if (!entry.path.empty() && m_probes->FileExists(entry.path)) return true;
  }
  return false;
}

void OfferChecker::LoadAppPaths() {
  m_appPaths.clear();
  std::vector<REGSAM> views{0};
  if (win32::IsWow64()) views.push_back(KEY_WOW64_64KEY);
  for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    for (const REGSAM view : views) {
      std::vector<std::wstring> names;
      try {
        const win::RegKey key = win32::OpenKey(root, kAppPathsKey, view | KEY_READ);
        names = win32::EnumerateSubkeys(key.Get());
      } catch (const win32::RegistryError&) {
        continue;
      }
      for (std::wstring& subkey : names) m_appPaths.emplace(std::move(subkey), AppPathEntry{root, view, L"", false});
    }
  }
}

bool OfferChecker::CheckUninstallChecks(Package& offer) {
  for (const UninstallCheck& check : offer.m_uninstallChecks) {
    std::wstring text;
    // An unknown hive name is the configuration's fault and leaves as an exception.
    if (!m_registry.ReadValueAsString(win::Lower(check.registryRoot), win::Lower(check.registryKey), win::Lower(check.valueName),
                                      text)) {
      continue;
    }
    uint64_t stamp = 0;
    try {
      stamp = std::stoull(text, nullptr, 10);
    } catch (const std::logic_error&) {  // std::invalid_argument, std::out_of_range
      Reject(offer, kRuleCheckFailed);
      return true;
    }
    const uint64_t seconds = check.timestampInMilliseconds ? stamp / 1000 : stamp;
    // Unsigned arithmetic throughout: a negative day count moves the limit back in time.
    const uint64_t until = seconds + static_cast<uint64_t>(check.minDays) * 86400u;
    if (m_probes->NowUnixSeconds() < until) {
      Reject(offer, "MIN DAYS UNINSTALL CHECKER");
      return true;
    }
  }
  return false;
}

bool OfferChecker::CheckChrome(Package& offer) {
  if (!offer.m_rejectIfChromeAbsent && !offer.m_rejectIfChromePresent) return false;
  if (!m_chromeKnown) {
    m_chromeFound = FindChrome();
    m_chromeKnown = true;
  }
  const bool found = m_chromeFound;
  if (offer.m_rejectIfChromeAbsent && !found) {
    Reject(offer, "NO CHROME");
    return true;
  }
  if (offer.m_rejectIfChromePresent && found) {
    Reject(offer, "HAVE CHROME");
    return true;
  }
  return false;
}

bool OfferChecker::FindChrome() {
  std::vector<std::wstring> candidates;
  // The historical candidates first, then where Chrome really installs itself: for all users in
  // either program folder, or for one user in the local application data.
  for (const wchar_t* path :
       {L"{commonpf}\\Chromium\\Application\\chrome.exe", L"{commonpf}\\GoogleChrome\\Application\\chrome.exe",
        L"{localappdata}\\Chromium\\Application\\chrome.exe", L"{commonpf64}\\Google\\Chrome\\Application\\chrome.exe",
        L"{commonpf32}\\Google\\Chrome\\Application\\chrome.exe",
        L"{localappdata}\\Google\\Chrome\\Application\\chrome.exe"}) {
    candidates.push_back(ExpandPathTokens(path, m_pathTokens));
  }
  // Written with "SOFTWARE" in capitals, both keys are read in the default (32-bit) view only.
  std::wstring folder;
  if (m_registry.ReadValueAsString(L"hkey_local_machine",
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe", L"Path",
                                   folder)) {
    candidates.push_back(folder + L"\\chrome.exe");
  }
  std::wstring beacon;
  if (m_registry.ReadValueAsString(L"hkey_current_user", L"SOFTWARE\\Google\\Chrome\\BLBeacon", L"Path", beacon)) {
    candidates.push_back(beacon);
  }
  return AnyFileExists(candidates);
}

bool OfferChecker::CheckInternetExplorer(Package& offer) {
  if (!offer.m_rejectIfOldIe) return false;
  if (!m_ieVersionKnown) {
    m_ieVersionFound = m_registry.ReadValueAsString(L"hkey_local_machine", L"SOFTWARE\\Microsoft\\Internet Explorer",
                                                    L"Version", m_ieVersion);
    m_ieVersionKnown = true;
  }
  if (!m_ieVersionFound) return false;
  const std::wstring& text = m_ieVersion;
  float version = 0;
  try {
    version = std::stof(text);         // the leading number: 9.11 of "9.11.19041.0"
  } catch (const std::logic_error&) {  // std::invalid_argument, std::out_of_range
    Reject(offer, kRuleCheckFailed);
    return true;
  }
  if (version * 10.0f < 90.0f) {
    Reject(offer, "OLD IE VERSION");
    return true;
  }
  return false;
}
