#pragma once
// What the two download pages share: the main product and then every accepted offer are downloaded
// one after another (offers each into a folder of their own in the run's temporary folder) with the
// current file's progress, and downloaded offers' installers are started in one go, none waited for.
// The pages differ in where the main product goes, what follows its download, and their failures.
// Everything here runs on the UI thread; downloads and installer starts run on worker tasks whose
// results 100 ms timers collect.
#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "download/RunProcess.h"
#include "ui/CStaticFromImage.h"
#include "ui/DownloadProgress.h"
#include "ui/IPage.h"

class Package;

class DownloadPage : public IPage {
 public:
  static constexpr UINT_PTR kDownloadTimer = 4096;
  static constexpr UINT_PTR kOfferInstallTimer = 4097;

  DownloadPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent);
  ~DownloadPage() override;

  // Queues the main product and the accepted offers and starts the first download.
  void OnNavigateToPage() override;
  // The window menu has no Close while downloading.
  CloseItem CloseItemWhenShown() const override { return CloseItem::Removed; }

  // The run is closing (downloads are cancelled): stops polling and waits for the running download
  // and installer starts to end (never for an installer process). Nothing is reported afterwards.
  virtual void StopWork();

 protected:
  struct QueuedDownload {
    std::shared_ptr<Package> package;
    std::size_t index = 0;  // 0 the main product, then the accepted offers in order
  };
  struct Target {
    std::wstring url;
    std::wstring fileName;  // empty: the URL's last segment
    std::wstring folder;
  };
  struct InstallItem {
    std::shared_ptr<Package> package;
    std::wstring path;    // the downloaded file
    std::wstring folder;  // the package's own folder (kept while its installer runs)
    std::wstring arguments;
  };

  BOOL OnInitDialog() override;
  // WM_TIMER of the page.
  virtual void OnTimer(UINT_PTR id);

  // Where an offer goes: its URL (a bare name under the files URL) into its own folder.
  Target OfferTarget(const QueuedDownload& download) const;
  virtual Target MainTarget() const = 0;
  // A download ended well; `savedPath` is the saved file.
  virtual void OnDownloaded(const QueuedDownload& download, const std::wstring& savedPath) = 0;
  // The main product's download failed (its own payload is sent); `text` is the downloader's.
  virtual void OnMainDownloadFailed(const std::wstring& text) = 0;
  // Every package has been downloaded or has failed.
  virtual void OnDownloadsDone() = 0;
  // The offers handed to StartOfferInstalls have been started (or not) and reported.
  virtual void OnOffersStarted() = 0;

  // Starts every item's installer in one go on a worker, none waited for. Each offer whose
  // installer started gets event 3, one whose installer could not be started the "EXEC FAILED"
  // payload; then OnOffersStarted.
  void StartOfferInstalls(std::vector<InstallItem> items);
  InstallItem MakeInstallItem(const std::shared_ptr<Package>& package, const std::wstring& savedPath,
                              const std::wstring& arguments) const;
  // The "MAIN PRODUCT DOWNLOAD FAILED: " payload to every accepted offer.
  static void SendMainDownloadFailedToOffers(const std::wstring& text);
  void ReportNext();
  void ReportError(const std::string& titleKey, const std::string& textKey);
  bool Stopped() const;

  DownloadProgress m_progress;
  CStaticFromImage m_logo;
  std::deque<InstallItem> m_installQueue;

 private:
  void StartNextDownload();
  void CheckDownload();
  void CheckOfferInstalls();

  // The download task's result and the full path of the file it saved.
  using DownloadOutcome = std::pair<std::pair<bool, std::wstring>, std::wstring>;

  std::future<DownloadOutcome> m_downloadResult;
  std::future<std::vector<ProcessResult>> m_offerInstallResult;
  std::deque<QueuedDownload> m_downloadQueue;
  std::vector<InstallItem> m_startingOffers;  // handed to the running installer task, in order
  bool m_stopped = false;
};

// Whether a task's result can be taken without waiting.
template <typename T>
bool IsReady(const std::future<T>& future) {
  return future.valid() && future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}
