#pragma once
// Shown while the run's configuration, offers and images are fetched. A worker thread runs the
// loading sequence on a copy of the run's settings; back on the UI thread the page decodes the
// images and reports the result to the host exactly once, or shows the configuration error.
#include <future>
#include <memory>
#include <vector>

#include "eligibility/OfferLoading.h"
#include "ui/IPage.h"

namespace Gdiplus {
class Image;
}

class LoadingPage : public IPage {
 public:
  // The loaded run: the settings to adopt, the offers to show (their images decoded) and the logo.
  // Called once, on the UI thread; with the status kConfigurationError just before the page shows
  // the configuration error (no offers then), else with kReady or, for the installer, kFailed and
  // no offers.
  using Loaded = std::function<void(LoadedOffers loaded, std::shared_ptr<Gdiplus::Image> logo)>;

  LoadingPage(std::shared_ptr<LanguageManager> languageManager, HWND parent);

  void OnNavigateToPage() override;
  std::wstring GetPageName() const override { return L"LoadingPage"; }

  // Reports the configuration error of the wizard type through the error callback.
  void ShowConfigurationError();

  // The run is being closed: a result still on its way is not reported. Idempotent.
  void StopLoading() { m_stopped = true; }

  Loaded m_onLoaded;  // set by the host
  // What the run does once before loading begins; called after the page has been painted, so that
  // the page shows while it runs. Set by the host.
  std::function<void()> m_beforeLoading;

 protected:
  BOOL OnInitDialog() override;

 private:
  void StartMarquee();
  LRESULT OnRequestComplete(WPARAM, LPARAM);

  std::future<LoadedOffers> m_loadResult;
  bool m_requestHandled = false;
  bool m_stopped = false;
};
