#include "ui/DownloadPage.h"

#include <chrono>
#include <exception>

#include "backend/ConfigurationManager.h"
#include "download/DownloadManager.h"
#include "download/InstallerStep.h"
#include "download/PackageRequest.h"
#include "locale/LanguageManager.h"
#include "packages/Package.h"
#include "resources/pages.h"
#include "ui/PageMessages.h"
#include "win/Text.h"

DownloadPage::DownloadPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent)
    : IPage(std::move(languageManager), templateId, parent) {
  OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) -> std::optional<LRESULT> {
    OnTimer(static_cast<UINT_PTR>(id));
    return std::nullopt;
  });
  OnMessage(WM_DOWNLOADPROGRESS, [this](WPARAM percent, LPARAM) -> std::optional<LRESULT> {
    m_progress.OnProgress(percent);
    return 0;
  });
  OnMessage(WM_DOWNLOADSIZEUNKNOWN, [this](WPARAM, LPARAM) -> std::optional<LRESULT> {
    m_progress.OnSizeUnknown();
    return 0;
  });
}

DownloadPage::~DownloadPage() { DownloadPage::StopWork(); }

BOOL DownloadPage::OnInitDialog() {
  m_progress.Attach(Item(IDC_PROGRESS));
  m_logo.Attach(Hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_PROGRESS_TITLE, "PROGRESS_TITLE");
  AddLocalizedControl(IDC_PROGRESS_DESC, "PROGRESS_DESC");
  UpdateTexts();
  return TRUE;
}

void DownloadPage::OnNavigateToPage() {
  const auto config = ConfigurationManager::GetInstance();
  m_downloadQueue.push_back({config->m_mainPackage, 0});
  const auto accepted = config->m_acceptedOffers;
  for (std::size_t i = 0; i < accepted.size(); ++i) m_downloadQueue.push_back({accepted[i], i + 1});
  StartNextDownload();
}

void DownloadPage::OnTimer(UINT_PTR id) {
  if (id == kDownloadTimer) CheckDownload();
  if (id == kOfferInstallTimer) CheckOfferInstalls();
}

bool DownloadPage::Stopped() const { return m_stopped || ConfigurationManager::GetInstance()->m_closing; }

DownloadPage::Target DownloadPage::OfferTarget(const QueuedDownload& download) const {
  const auto config = ConfigurationManager::GetInstance();
  return {OfferDownloadUrl(config->m_filesUrl, win::FromUtf8(download.package->m_downloadUrl)), L"",
          MakePackageFolder(config->m_tempFolder, download.index)};
}

void DownloadPage::StartNextDownload() {
  if (Stopped() || m_downloadQueue.empty()) return;
  const QueuedDownload& front = m_downloadQueue.front();
  const Target target = front.package && front.package->m_isMainProduct ? MainTarget() : OfferTarget(front);
  const HWND page = Hwnd();
  m_downloadResult = std::async(std::launch::async, [target, page]() -> DownloadOutcome {
    try {
      const auto manager = DownloadManager::GetInstance();
      auto result = manager->DownloadFile(target.url, page, target.fileName, target.folder);
      return {std::move(result), manager->m_lastDownloadedFile};
    } catch (const std::exception& error) {
      return {{false, win::FromUtf8(error.what())}, L""};
    }
  });
  SetTimer(Hwnd(), kDownloadTimer, 100, nullptr);
}

void DownloadPage::CheckDownload() {
  if (!IsReady(m_downloadResult)) return;
  KillTimer(Hwnd(), kDownloadTimer);
  const QueuedDownload done = m_downloadQueue.front();
  m_downloadQueue.pop_front();
  const auto [result, savedPath] = m_downloadResult.get();
  if (Stopped() || !done.package) return;  // the run is ending: nothing more is reported or started

  if (result.first) {
    OnDownloaded(done, savedPath);
  } else {
    done.package->SendEvent(-1, FailurePayload(kDownloadFailed + result.second));
    if (done.package->m_isMainProduct) {
      m_downloadQueue.clear();  // nothing further is downloaded or started
      OnMainDownloadFailed(result.second);
      return;
    }
  }
  if (!m_downloadQueue.empty()) {
    StartNextDownload();
  } else {
    OnDownloadsDone();
  }
}

DownloadPage::InstallItem DownloadPage::MakeInstallItem(const std::shared_ptr<Package>& package,
                                                        const std::wstring& savedPath,
                                                        const std::wstring& arguments) const {
  return {package, savedPath, savedPath.substr(0, savedPath.find_last_of(L'\\')), arguments};
}

void DownloadPage::StartOfferInstalls(std::vector<InstallItem> items) {
  m_startingOffers = std::move(items);
  m_offerInstallResult = std::async(std::launch::async, [items = m_startingOffers]() {
    std::vector<ProcessResult> results;
    for (const InstallItem& item : items) {
      if (ConfigurationManager::GetInstance()->m_closing) break;  // nothing starts once closing has begun
      try {
        results.push_back(RunInstallerStep(item.path, item.arguments, false, item.folder));
      } catch (const std::exception&) {
        results.push_back({kNoExitCode, ERROR_NOT_ENOUGH_MEMORY});
      }
    }
    return results;
  });
  SetTimer(Hwnd(), kOfferInstallTimer, 100, nullptr);
}

void DownloadPage::CheckOfferInstalls() {
  if (!IsReady(m_offerInstallResult)) return;
  KillTimer(Hwnd(), kOfferInstallTimer);
  const std::vector<ProcessResult> results = m_offerInstallResult.get();
  // An install is reported only for an installer that was started.
  for (std::size_t i = 0; i < results.size() && i < m_startingOffers.size(); ++i) {
    const auto& package = m_startingOffers[i].package;
    if (results[i].second == 0) {
      package->SendEvent(3);
    } else {
      package->SendEvent(-1, FailurePayload(ExecFailedText(results[i].second)));
    }
  }
  m_startingOffers.clear();
  if (!Stopped()) OnOffersStarted();
}

void DownloadPage::SendMainDownloadFailedToOffers(const std::wstring& text) {
  const auto accepted = ConfigurationManager::GetInstance()->m_acceptedOffers;
  for (const auto& offer : accepted) offer->SendEvent(-1, FailurePayload(kMainProductDownloadFailed + text));
}

void DownloadPage::ReportNext() {
  if (m_buttonCallback) m_buttonCallback(ButtonType::Next);
}

void DownloadPage::ReportError(const std::string& titleKey, const std::string& textKey) {
  if (m_errorCallback) m_errorCallback(m_languageManager->GetString(titleKey), m_languageManager->GetString(textKey));
}

void DownloadPage::StopWork() {
  m_stopped = true;
  if (Hwnd()) {
    KillTimer(Hwnd(), kDownloadTimer);
    KillTimer(Hwnd(), kOfferInstallTimer);
  }
  if (m_downloadResult.valid()) m_downloadResult.wait();
  if (m_offerInstallResult.valid()) m_offerInstallResult.wait();
}
