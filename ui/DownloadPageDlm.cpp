#include "ui/DownloadPageDlm.h"

#include "backend/ConfigurationManager.h"
#include "packages/Package.h"
#include "resources/pages.h"
#include "win/Text.h"

DownloadPageDlm::DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : DownloadPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_DLM, parent) {}

BOOL DownloadPageDlm::OnInitDialog() {
  DownloadPage::OnInitDialog();
  m_logo.SetImage(ConfigurationManager::GetInstance()->m_productLogo);  // may be empty
  return TRUE;
}

DownloadPage::Target DownloadPageDlm::MainTarget() const {
  const auto config = ConfigurationManager::GetInstance();
  return {config->m_productUrl, config->m_productFileName, config->m_downloadFolder};
}

void DownloadPageDlm::OnDownloaded(const QueuedDownload& download, const std::wstring& savedPath) {
  if (download.package->m_isMainProduct) {
    ConfigurationManager::GetInstance()->m_launchPath = savedPath;
    download.package->SendEvent(3);
  } else {
    m_installQueue.push_back(MakeInstallItem(download.package, savedPath, win::FromUtf8(download.package->m_arguments)));
  }
}

void DownloadPageDlm::OnMainDownloadFailed(const std::wstring& text) {
  SendMainDownloadFailedToOffers(text);
  ReportError("PAGE_DOWNLOAD_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC");
}

void DownloadPageDlm::OnDownloadsDone() {
  if (m_installQueue.empty()) {
    ReportNext();
    return;
  }
  std::vector<InstallItem> items(m_installQueue.begin(), m_installQueue.end());
  m_installQueue.clear();
  StartOfferInstalls(std::move(items));
}
