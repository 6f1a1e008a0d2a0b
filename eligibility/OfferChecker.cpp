#include "eligibility/OfferChecker.h"

#include <nlohmann/json.hpp>

#include "backend/RunLog.h"
#include "packages/Package.h"

OfferChecker::OfferChecker(int maxOffers, std::wstring programVersion, PathTokenTable pathTokens,
                           std::shared_ptr<MachineProbes> probes)
    : m_maxOffers(maxOffers),
      m_programVersion(std::move(programVersion)),
      m_pathTokens(std::move(pathTokens)),
      m_probes(std::move(probes)) {}

void OfferChecker::Reject(Package& offer, const std::string& reason) {
  runlog::Write("Offer " + offer.m_adId + ": not shown: " + reason);
  offer.SendEvent(2, nlohmann::json{{"13", reason}});
  m_rejections.push_back({offer.m_adId, reason});
}

bool OfferChecker::IsEligible(const std::shared_ptr<Package>& offerPointer, bool& stop) {
  Package& offer = *offerPointer;
  // The decisions that need no machine query come first.
  if (m_acceptedCount >= m_maxOffers) {
    stop = true;
    return false;
  }
  const int vertical = offer.m_vertical;
  if (m_acceptedVerticals.count(vertical) != 0) {
    Reject(offer, vertical == -1 ? "MULTIPLE OFFERS W/O VERTICAL" : "SAME VERTICAL OFFER ALREADY PRESENT");
    return false;
  }
  if (offer.m_exclusive && m_acceptedCount != 0) {
    Reject(offer, "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT");
    return false;
  }

  if (CheckRegistryRules(offer) || CheckDiskSpace(offer) || CheckRam(offer) || CheckCpu(offer) ||
      CheckOsVersion(offer) || CheckPlatformVersion(offer)) {
    return false;
  }
  if (offer.m_requires64Bit && !m_probes->IsWow64()) {
    Reject(offer, "64 BIT OS REQUIRED");
    return false;
  }
  if (!offer.m_excludeIfFileExists.empty() && AnyFileExists(offer.m_excludeIfFileExists)) {
    Reject(offer, "FILE EXISTS");
    return false;
  }
  if (!offer.m_requireAnyFile.empty() && !AnyFileExists(offer.m_requireAnyFile)) {
    Reject(offer, "NONE OF THE FILES EXISTS");
    return false;
  }
  if (CheckRunningApplications(offer) || CheckInstalledApplications(offer) || CheckUninstallChecks(offer) ||
      CheckChrome(offer) || CheckInternetExplorer(offer)) {
    return false;
  }

  ++m_acceptedCount;
  m_acceptedVerticals.insert(vertical);
  return true;
}
