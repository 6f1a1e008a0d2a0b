#pragma once
// The page that ends a failed run: symbol, title, text and a Close button.
#include "ui/CStaticFromImage.h"
#include "ui/IPage.h"

class ErrorPage : public IPage {
 public:
  ErrorPage(std::shared_ptr<LanguageManager> languageManager, HWND parent);

  void OnNavigateToPage() override {}
  std::wstring GetPageName() const override { return L"ErrorPage"; }

  // Written by the host, then shown with UpdateData.
  std::wstring m_title;
  std::wstring m_text;
  void UpdateData();

 protected:
  BOOL OnInitDialog() override;

 private:
  CStaticFromImage m_logo;
};
