#pragma once
// Shown while the run's configuration, offers and images are fetched. A worker task asks the back
// end for the configuration, applies it and filters the offers through the eligibility engine; back
// on the UI thread the page fetches the offers' images (and the download manager's product logo) and,
// when the last of them has ended, hands the eligible offers to the host exactly once.
#include <atomic>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "ui/IPage.h"

class Package;

class LoadingPage : public IPage {
 public:
  using PackagesReady = std::function<void(std::vector<std::shared_ptr<Package>>)>;

  LoadingPage(std::shared_ptr<LanguageManager> languageManager, HWND parent);
  // Stops the downloads' hand-over (StopDownloads) and waits for the worker task.
  ~LoadingPage() override;

  void OnNavigateToPage() override;
  std::wstring GetPageName() const override { return L"LoadingPage"; }

  // Reports the configuration error of the wizard type through the error callback.
  void ShowConfigurationError();

  // The run is being closed: image and logo downloads still on their way decode nothing and tell
  // nobody, and the offers' images decoded so far are released. Once this has returned, no
  // download thread touches GDI+, this page or the host any more. Idempotent.
  void StopDownloads();

  PackagesReady m_onPackagesReady;  // set by the host; called once, on the UI thread or a download thread

  // What the worker and the image and logo downloads share with the page. It lives as long as the
  // last of them, which may be after the page, the dialog and GDI+ are gone.
  struct LoadState {
    std::atomic<bool> m_configurationError{false};  // written by the worker before its post
    std::mutex m_pendingMutex;
    int m_pendingDownloads = 0;  // guarded by m_pendingMutex
    bool m_stopped = false;      // guarded by m_pendingMutex: StopDownloads was called
    PackagesReady m_onPackagesReady;
    std::vector<std::shared_ptr<Package>> m_offers;

    // One download has ended: the last one hands the offers over (with the mutex held).
    void CompleteOne();
    // Calls the hand-over when it is still wanted; the caller holds the mutex.
    void HandOverLocked();
  };

 protected:
  BOOL OnInitDialog() override;

 private:
  void StartMarquee();
  LRESULT OnRequestComplete(WPARAM, LPARAM);
  // The worker task: the configuration, its application and the eligible offers in order.
  static std::vector<std::shared_ptr<Package>> LoadOffers(HWND page, const std::shared_ptr<LoadState>& state);
  void StartLogoDownload(const std::wstring& url);
  void StartImageDownload(const std::shared_ptr<Package>& offer);
  void StartImageDownload(const std::wstring& url, std::function<void(IStream*)> keep);

  std::shared_ptr<LoadState> m_state = std::make_shared<LoadState>();
  std::future<std::vector<std::shared_ptr<Package>>> m_loadResult;
  bool m_requestHandled = false;
};
