#include "ui/DownloadPageDlm.h"

#include "backend/ConfigurationManager.h"
#include "resources/pages.h"

DownloadPageDlm::DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : DownloadPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_DLM, parent) {}

BOOL DownloadPageDlm::OnInitDialog() {
  DownloadPage::OnInitDialog();
  m_logo.SetImage(ConfigurationManager::GetInstance()->m_productLogo);  // may be empty
  return TRUE;
}
