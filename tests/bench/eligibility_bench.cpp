// One eligibility pass over 1000 generated offers that use every rule kind, against this machine
// (the test prefix's registry, files and processes), for scripts/bench-eligibility. Every rule of
// every offer passes, so each offer runs the whole sequence. Two kinds of configuration:
//   vendor    the value rules name each offer's own vendor keys, absent here (as real offers mostly are)
//   existing  the value rules name existing keys, so every candidate is opened and its value asked
// Prints one line per pass:
// "<kind> pass=<n> offers=<n> accepted=<n> ms=<t> enumerations=<n> snapshots=<n>".
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/ConfigurationManager.h"
#include "backend/AnalyticsContext.h"
#include "eligibility/OfferChecker.h"
#include "eligibility/OfferLoading.h"
#include "eligibility/Registry.h"
#include "packages/Package.h"

namespace {

using nlohmann::json;

constexpr int kOffers = 1000;
constexpr int kPasses = 5;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Offer i: its own vertical and registry paths, every rule kind present and passing here.
json OfferElement(int i, bool existingKeys) {
  const std::string n = std::to_string(i);
  const std::string valueKey = existingKeys ? "microsoft\\windows\\currentversion" : "vendor" + n + "\\app";
  return {{"ad", {{"o", "bench-" + n}, {"f", "flow"}}},
          {"ps",
           {{"i", "i.png"}, {"dn", "Offer " + n}, {"u", "u.exe"}, {"v", i + 1},
            {"r", json::array({"welvanebench\\absent" + n, "hklm\\software\\welvanebench\\absent" + n})},
            {"ir", json::array({"hklm\\software\\microsoft", "microsoft\\windows"})},
            {"rvn", json::array({valueKey + "\\welvanebench" + n})},
            {"rvd", json::array({valueKey + "\\programfilesdir\\c:\\nowhere"})},
            {"disk", 1}, {"ram", 1}, {"cpu", 1}, {"ov", 61}, {"pv", "1.0"}, {"win64", true},
            {"fe", json::array({"C:\\welvane-bench-absent-" + n + ".exe"})},
            {"ife", json::array({"C:\\windows\\system32\\kernel32.dll"})},
            {"a", json::array({"welvane-bench-absent-" + n + ".exe"})},
            {"iapp", json::array()}, {"eapp", json::array({"welvane-bench-absent.exe"})},
            {"cmdu", json::array({{{"utr", "hkey_local_machine"}, {"utk", "software\\welvanebench\\absent"},
                                   {"utvn", "stamp"}, {"utvt", "REG_SZ"}, {"umd", 7}}})}}}};
}

void Run(const char* kind, bool existingKeys) {
  std::vector<std::shared_ptr<Package>> offers;
  const AnalyticsContext context = CreateAnalyticsContext(*ConfigurationManager::GetInstance());
  for (int i = 0; i < kOffers; ++i) {
    offers.push_back(std::make_shared<Package>(context, OfferElement(i, existingKeys), false, "", i));
  }
  for (auto& offer : offers) {
    offer->m_rejectIfOldIe = true;         // Internet Explorer 9.11 here: passes
    offer->m_rejectIfChromePresent = true;  // no Chrome here: passes
  }

  for (int pass = 1; pass <= kPasses; ++pass) {
    const uint64_t enumerations = win32::SubkeyEnumerationCount();
    const uint64_t snapshots = ProcessSnapshotCount();
    const auto config = ConfigurationManager::GetInstance();
    OfferChecker checker(kOffers, config->m_programVersion, config->GetPathTokens());
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const int accepted = static_cast<int>(
        RunEligibilityPass(checker, offers.size(), [&offers](std::size_t i, std::size_t) { return offers[i]; }).size());
    QueryPerformanceCounter(&end);
    std::printf("%s pass=%d offers=%d accepted=%d ms=%.1f enumerations=%llu snapshots=%llu\n", kind, pass, kOffers, accepted,
                Milliseconds(start, end), static_cast<unsigned long long>(win32::SubkeyEnumerationCount() - enumerations),
                static_cast<unsigned long long>(ProcessSnapshotCount() - snapshots));
    std::fflush(stdout);
  }
}

}  // namespace

int wmain() {
  Run("vendor", false);
  Run("existing", true);
  return 0;
}
