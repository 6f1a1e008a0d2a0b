#pragma once
// The download manager's download page: the main product goes to the user's download folder under
// its configured name, every accepted offer into a folder of its own in the run's temporary folder;
// then the offers' installers are started, none waited for, and the page reports Next. A main
// product that cannot be downloaded ends the run on the error page.
#include "ui/DownloadPage.h"

class DownloadPageDlm : public DownloadPage {
 public:
  DownloadPageDlm(std::shared_ptr<LanguageManager> languageManager, HWND parent);
  std::wstring GetPageName() const override { return L"DownloadPageDLM"; }

 protected:
  BOOL OnInitDialog() override;
};
