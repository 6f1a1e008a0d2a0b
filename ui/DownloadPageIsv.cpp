#include "ui/DownloadPageIsv.h"

#include <exception>

#include "backend/ConfigurationManager.h"
#include "download/InstallerStep.h"
#include "download/PackageRequest.h"
#include "packages/Package.h"
#include "resources/pages.h"
#include "resources/resource.h"
#include "win/Text.h"

DownloadPageIsv::DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : DownloadPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_ISV, parent) {}

void DownloadPageIsv::OnTimer(UINT_PTR id) {
  if (id == kMainInstallTimer) {
    CheckMainInstall();
  } else {
    DownloadPage::OnTimer(id);
  }
}

BOOL DownloadPageIsv::OnInitDialog() {
  DownloadPage::OnInitDialog();
  m_logo.LoadFromResource(IDR_IMAGE_DOWNLOAD, L"IMAGE_BLOB");
  return TRUE;
}

DownloadPage::Target DownloadPageIsv::MainTarget() const {
  const auto config = ConfigurationManager::GetInstance();
  return {config->m_productUrl, L"", MakePackageFolder(config->m_tempFolder, 0)};
}

void DownloadPageIsv::OnDownloaded(const QueuedDownload& download, const std::wstring& savedPath) {
  const bool isMain = download.package->m_isMainProduct;
  if (isMain) ConfigurationManager::GetInstance()->m_launchPath = savedPath;  // no event yet
  const std::wstring arguments =
      isMain ? ConfigurationManager::GetInstance()->m_installArguments : win::FromUtf8(download.package->m_arguments);
  m_installQueue.push_back(MakeInstallItem(download.package, savedPath, arguments));
}

void DownloadPageIsv::OnMainDownloadFailed(const std::wstring& text) {
  ReportError("PAGE_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC");
  SendMainDownloadFailedToOffers(text);
}

void DownloadPageIsv::OnDownloadsDone() {
  if (m_installQueue.empty()) {  // nothing was downloaded that could be installed
    ReportError("PAGE_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC");
    return;
  }
  if (m_onInstallStarted) m_onInstallStarted();
  m_progress.EnterIndeterminate();
  if (m_installQueue.front().package->m_isMainProduct) {
    StartMainInstall();
  } else {
    StartQueuedOffers();
  }
}

void DownloadPageIsv::StartMainInstall() {
  const InstallItem item = m_installQueue.front();
  m_mainStart = std::async(std::launch::async, [item]() {
    MainStart start;
    if (ConfigurationManager::GetInstance()->m_closing) {  // nothing starts once closing has begun
      start.started.error = ERROR_CANCELLED;
      return start;
    }
    try {
      start.started = StartInstallerStep(item.path, item.arguments, item.folder, &start.path);
    } catch (const std::exception&) {
      start.started.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    return start;
  });
  SetTimer(Hwnd(), kMainInstallTimer, 100, nullptr);
}

// Polls the start, then the process itself: the UI thread never waits for the installer.
void DownloadPageIsv::CheckMainInstall() {
  if (!m_mainStartTaken) {
    if (!IsReady(m_mainStart)) return;
    m_mainInstaller = m_mainStart.get();
    m_mainStartTaken = true;
  }
  if (m_mainInstaller.started.error == 0 &&
      WaitForSingleObject(m_mainInstaller.started.process.Get(), 0) == WAIT_TIMEOUT) {
    return;
  }
  KillTimer(Hwnd(), kMainInstallTimer);
  if (Stopped()) return;
  const InstallItem item = m_installQueue.front();
  m_installQueue.pop_front();
  if (m_onInstallFinished) m_onInstallFinished();
  if (m_mainInstaller.started.error != 0) {
    item.package->SendEvent(-1, FailurePayload(ExecFailedText(m_mainInstaller.started.error)));
    for (const InstallItem& offer : m_installQueue) {
      offer.package->SendEvent(-1, FailurePayload(kMainProductInstallationFailed));
    }
    m_installQueue.clear();
    ReportError("PAGE_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC");
    return;
  }
  // The exit code is not looked at: a started installer counts as installed.
  ConfigurationManager::GetInstance()->m_launchPath = m_mainInstaller.path;
  item.package->SendEvent(3);
  if (m_installQueue.empty()) {
    ReportNext();
  } else {
    StartQueuedOffers();
  }
}

void DownloadPageIsv::StartQueuedOffers() {
  std::vector<InstallItem> items(m_installQueue.begin(), m_installQueue.end());
  m_installQueue.clear();
  if (m_onInstallStarted) m_onInstallStarted();
  StartOfferInstalls(std::move(items));
}

void DownloadPageIsv::OnOffersStarted() {
  if (m_onInstallFinished) m_onInstallFinished();
  ReportNext();
}

void DownloadPageIsv::StopWork() {
  if (Hwnd()) KillTimer(Hwnd(), kMainInstallTimer);
  if (m_mainStart.valid()) m_mainStart.wait();  // the start only; the installer runs on
  DownloadPage::StopWork();
}
