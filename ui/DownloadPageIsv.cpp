#include "ui/DownloadPageIsv.h"

#include "resources/pages.h"
#include "resources/resource.h"

DownloadPageIsv::DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : DownloadPage(std::move(languageManager), IDD_DOWNLOAD_PAGE_ISV, parent) {}

BOOL DownloadPageIsv::OnInitDialog() {
  DownloadPage::OnInitDialog();
  m_logo.LoadFromResource(IDR_IMAGE_DOWNLOAD, L"IMAGE_BLOB");
  return TRUE;
}
