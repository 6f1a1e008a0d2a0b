#pragma once
// Shown while the run's configuration, offers and images are fetched.
#include <memory>
#include <vector>

#include "ui/IPage.h"

class Package;

class LoadingPage : public IPage {
 public:
  using PackagesReady = std::function<void(std::vector<std::shared_ptr<Package>>)>;

  LoadingPage(std::shared_ptr<LanguageManager> languageManager, HWND parent);

  void OnNavigateToPage() override;
  void SetButtonCallback(ButtonCallback callback) override { m_buttonCallback = std::move(callback); }
  void SetErrorCallback(ErrorCallback callback) override { m_errorCallback = std::move(callback); }
  std::wstring GetPageName() const override { return L"LoadingPage"; }

  PackagesReady m_onPackagesReady;  // set by the host

 protected:
  BOOL OnInitDialog() override;

 private:
  void StartMarquee();

  ButtonCallback m_buttonCallback;  // this page has no buttons
  ErrorCallback m_errorCallback;
};
