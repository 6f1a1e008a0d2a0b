#include "download/InstallPlan.h"

#include "backend/WizardType.h"
#include "download/InstallerStep.h"
#include "download/PackageRequest.h"
#include "packages/Package.h"
#include "win/Text.h"

namespace {

constexpr int kInstalledEvent = 3;
constexpr int kFailureEvent = -1;

InstallItem MakeItem(const std::shared_ptr<Package>& package, const std::wstring& path, const std::wstring& arguments) {
  return {package, path, path.substr(0, path.find_last_of(L'\\')), arguments};
}

}  // namespace

InstallPlan::InstallPlan(InstallPlanSettings settings, std::shared_ptr<Package> mainPackage,
                         const std::vector<std::shared_ptr<Package>>& acceptedOffers)
    : m_settings(std::move(settings)), m_acceptedOffers(acceptedOffers) {
  m_downloads.push_back({std::move(mainPackage), 0});
  for (std::size_t i = 0; i < acceptedOffers.size(); ++i) m_downloads.push_back({acceptedOffers[i], i + 1});
}

InstallStep InstallPlan::Failed(const char* titleKey) const {
  InstallStep step;
  step.kind = InstallStep::Kind::kFailed;
  step.errorTitleKey = titleKey;
  step.errorTextKey = "PAGE_DOWNLOAD_ERROR_DESC";
  return step;
}

InstallStep InstallPlan::Start() { return NextDownload(); }

InstallStep InstallPlan::NextDownload() {
  if (m_downloads.empty()) return DownloadsDone();
  const Queued& front = m_downloads.front();
  InstallStep step;
  step.kind = InstallStep::Kind::kDownload;
  if (front.package && front.package->m_isMainProduct) {
    if (m_settings.wizardType == kWizardDlm) {
      step.target = {m_settings.productUrl, m_settings.productFileName, m_settings.downloadFolder,
                     m_settings.productSha256};
    } else {
      step.target = {m_settings.productUrl, L"", MakePackageFolder(m_settings.tempFolder, 0), m_settings.productSha256};
    }
  } else {
    step.target = {OfferDownloadUrl(m_settings.filesUrl, win::FromUtf8(front.package->m_downloadUrl)), L"",
                   MakePackageFolder(m_settings.tempFolder, front.index), win::FromUtf8(front.package->m_sha256)};
  }
  return step;
}

InstallStep InstallPlan::DownloadEnded(const DownloadResult& outcome) {
  const Queued done = m_downloads.front();
  m_downloads.pop_front();
  if (!done.package) return NextDownload();
  const bool isMain = done.package->m_isMainProduct;
  const bool isDlm = m_settings.wizardType == kWizardDlm;

  if (!outcome.ok) {
    done.package->SendEvent(kFailureEvent, FailurePayload(kDownloadFailed + outcome.text));
    if (!isMain) return NextDownload();
    m_downloads.clear();  // nothing further is downloaded or started
    for (const auto& offer : m_acceptedOffers) {
      offer->SendEvent(kFailureEvent, FailurePayload(kMainProductDownloadFailed + outcome.text));
    }
    return Failed(isDlm ? "PAGE_DOWNLOAD_ERROR_TITLE" : "PAGE_ERROR_TITLE");
  }

  if (isMain) {
    m_launchPath = outcome.path;
    if (isDlm) {
      done.package->SendEvent(kInstalledEvent);  // the download manager's product is in place
    } else {
      m_installs.push_back(MakeItem(done.package, outcome.path, m_settings.installArguments));
    }
  } else {
    m_installs.push_back(MakeItem(done.package, outcome.path, win::FromUtf8(done.package->m_arguments)));
  }
  return NextDownload();
}

InstallStep InstallPlan::DownloadsDone() {
  if (m_settings.wizardType == kWizardDlm) {
    if (m_installs.empty()) return InstallStep{};
    return StartOffers();
  }
  if (m_installs.empty()) return Failed("PAGE_ERROR_TITLE");  // nothing was downloaded that could be installed
  if (!m_installs.front().package->m_isMainProduct) return StartOffers();
  InstallStep step;
  step.kind = InstallStep::Kind::kStartMainInstaller;
  step.items.push_back(m_installs.front());
  return step;
}

InstallStep InstallPlan::StartOffers() {
  InstallStep step;
  step.kind = InstallStep::Kind::kStartOffers;
  step.items.assign(m_installs.begin(), m_installs.end());
  m_installs.clear();
  return step;
}

InstallStep InstallPlan::MainInstallerEnded(const StartedProcess& installer) {
  const InstallItem item = m_installs.front();
  m_installs.pop_front();
  if (installer.error != 0) {
    item.package->SendEvent(kFailureEvent, FailurePayload(ExecFailedText(installer.error)));
    for (const InstallItem& offer : m_installs) {
      offer.package->SendEvent(kFailureEvent, FailurePayload(kMainProductInstallationFailed));
    }
    m_installs.clear();
    return Failed("PAGE_ERROR_TITLE");
  }
  // The exit code is not looked at: a started installer counts as installed.
  m_launchPath = installer.path;
  item.package->SendEvent(kInstalledEvent);
  if (m_installs.empty()) return InstallStep{};
  return StartOffers();
}

InstallStep InstallPlan::OffersStarted(const std::vector<InstallItem>& items, const std::vector<StartedProcess>& results) {
  // An install is reported only for an installer that was started.
  for (std::size_t i = 0; i < results.size() && i < items.size(); ++i) {
    if (results[i].error == ERROR_CANCELLED) continue;  // not started, the wizard is closing: event 5 tells
    if (results[i].error == 0) {
      items[i].package->SendEvent(kInstalledEvent);
    } else {
      items[i].package->SendEvent(kFailureEvent, FailurePayload(ExecFailedText(results[i].error)));
    }
  }
  return InstallStep{};
}
