#pragma once
// The installer's download-and-install page: the main product and every accepted offer are downloaded
// into folders of their own in the run's temporary folder; then the main product's installer runs
// alone and is waited for (the bar indeterminate, the host told, so that a close asks first), then
// the offers' installers are started, none waited for, and the page reports Next. A main product that
// cannot be downloaded or started ends the run on the error page, and no offer is started.
#include "ui/DownloadPage.h"

class DownloadPageIsv : public DownloadPage {
 public:
  DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent);
  std::wstring GetPageName() const override { return L"DownloadPageISV"; }

 protected:
  BOOL OnInitDialog() override;
  void OnInstallersStarting() override { m_progress.EnterIndeterminate(); }
};
