#pragma once
// The eligibility engine: one object per loading pass decides, offer by offer in configuration
// order, which offers may be shown on this machine, given the offers accepted before them. The
// first failing rule rejects the offer and is reported to the back end (event 2 with its reason).
// Machine values that do not depend on the offer are queried once per pass and kept here.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "backend/PathTokens.h"
#include "eligibility/MachineProbes.h"
#include "eligibility/RegistryReader.h"

class Package;

// An offer the pass turned down, and the rule's reason (as sent with its event 2).
struct Rejection {
  std::string offerId;
  std::string reason;
};

class OfferChecker {
 public:
  // `programVersion` is this program's, for the platform-version rule; `pathTokens` the folder tokens
  // (default view) of the fixed file candidates.
  OfferChecker(int maxOffers, std::wstring programVersion, PathTokenTable pathTokens,
               std::shared_ptr<MachineProbes> probes = RealMachineProbes());
  OfferChecker(const OfferChecker&) = delete;
  OfferChecker& operator=(const OfferChecker&) = delete;

  // True when the offer is accepted. Sets `stop` only when the offer limit is reached. A value of
  // the machine that cannot be understood rejects that offer with "RULE CHECK FAILED"; faults of
  // the configuration itself (see the rules) leave as exceptions.
  bool IsEligible(const std::shared_ptr<Package>& offer, bool& stop);

  // The rules: each returns true when it rejected the offer (after reporting it).
  bool CheckRegistryRules(Package& offer);
  // Rejects the offer with `tooLow` when a measure of the machine, in MiB, is below `minimum` (0: no
  // rule), or with `failed` and the error when it cannot be measured. `measuredMiB` keeps the value
  // for the rest of the pass.
  using ByteMeasure = std::function<bool(uint64_t& bytes, DWORD& error)>;
  bool RejectBelowMiB(Package& offer, int64_t minimum, std::optional<uint64_t>& measuredMiB,
                      const ByteMeasure& measure, const char* failed, const char* tooLow);
  bool CheckDiskSpace(Package& offer);
  bool CheckRam(Package& offer);
  bool CheckCpu(Package& offer);
  bool CheckOsVersion(Package& offer);
  bool CheckPlatformVersion(Package& offer);
  bool CheckRunningApplications(Package& offer);
  bool CheckInstalledApplications(Package& offer);
  bool CheckUninstallChecks(Package& offer);
  bool CheckChrome(Package& offer);
  bool CheckInternetExplorer(Package& offer);
  bool AnyFileExists(const std::vector<std::wstring>& paths);
  bool IsApplicationInstalled(const std::wstring& name);
  // Whether one of Chrome's file or registry candidates names an existing file.
  bool FindChrome();
  void LoadAppPaths();

  struct AppPathEntry {
    HKEY root = nullptr;
    REGSAM view = 0;  // 0 or KEY_WOW64_64KEY
    std::wstring path;
    bool resolved = false;
  };

  int m_maxOffers;
  int m_acceptedCount = 0;
  std::unordered_set<int> m_acceptedVerticals;
  RegistryReader m_registry;
  // Measured once per pass, on the first offer that asks.
  std::optional<uint64_t> m_freeDiskMiB;
  std::optional<uint64_t> m_totalRamMiB;
  uint32_t m_cpuMhz = 0;
  bool m_cpuMhzKnown = false;
  std::vector<std::wstring> m_runningProcesses;
  std::multimap<std::wstring, AppPathEntry> m_appPaths;
  // Chrome and the Internet Explorer version do not depend on the offer either: looked up once per pass.
  bool m_chromeKnown = false;
  bool m_chromeFound = false;
  bool m_ieVersionKnown = false;
  bool m_ieVersionFound = false;
  std::wstring m_ieVersion;
  // Every rejection of the pass so far, in order.
  std::vector<Rejection> m_rejections;

 private:
  // Sends event 2 with {"13": reason} and does not wait for it; keeps the rejection.
  void Reject(Package& offer, const std::string& reason);

  std::wstring m_programVersion;
  PathTokenTable m_pathTokens;
  std::shared_ptr<MachineProbes> m_probes;
};

// The program-version rule's comparison: true when `current` is at least `required` (dotted
// versions, pieces as leading decimal numbers, empty pieces skipped, missing ones 0).
bool IsVersionAtLeast(const std::wstring& current, const std::wstring& required);
