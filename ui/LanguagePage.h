#pragma once
// The first page: choose the language; the choice applies at once to every page.
#include "ui/IPage.h"
#include "win/Control.h"

class LanguagePage : public IPage {
 public:
  LanguagePage(std::shared_ptr<LanguageManager> languageManager, HWND parent);

  void OnNavigateToPage() override {}
  void SetButtonCallback(ButtonCallback callback) override { m_buttonCallback = std::move(callback); }
  void SetErrorCallback(ErrorCallback callback) override { m_errorCallback = std::move(callback); }
  std::wstring GetPageName() const override { return L"LanguagePage"; }

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnSelectionChange();
  void OnNext();

  ButtonCallback m_buttonCallback;
  ErrorCallback m_errorCallback;  // this page reports no errors
  win::ComboBox m_languageCombo;
};
