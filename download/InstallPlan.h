#pragma once
// The order of a run's download-and-install work and what is reported for each package, without a
// window or a thread: the main product and then every accepted offer are downloaded one after
// another; the download manager saves its product and starts the offers' installers in one go,
// none waited for; the installer flavour runs the product's installer alone and waits for it, then
// starts the offers' installers the same way. The download page does each step the plan names on
// a worker and hands its result back; the plan sends the packages' events and names the next step.
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "download/DownloadResult.h"
#include "download/RunProcess.h"

class Package;

// What the plan reads of the run, copied when the download page is shown.
struct InstallPlanSettings {
  int wizardType = 0;
  std::wstring productUrl;
  std::wstring productFileName;
  std::wstring downloadFolder;
  std::wstring tempFolder;
  std::wstring filesUrl;
  std::wstring installArguments;
  std::wstring productSha256;
};

// One file to fetch: from `url` into `folder`, under `fileName` (empty: the URL's last segment),
// with the SHA-256 its bytes must have (empty: none given).
struct DownloadTarget {
  std::wstring url;
  std::wstring fileName;
  std::wstring folder;
  std::wstring sha256;
};

// A downloaded package's installer to start.
struct InstallItem {
  std::shared_ptr<Package> package;
  std::wstring path;    // the downloaded file
  std::wstring folder;  // the package's own folder (kept while its installer runs)
  std::wstring arguments;
};

struct InstallStep {
  enum class Kind {
    kDownload,            // download `target`
    kStartMainInstaller,  // start `items[0]`'s installer and wait for it to end
    kStartOffers,         // start every item's installer, none waited for
    kFinished,            // the run's work is done: the finish page
    kFailed,              // the error page with the locale texts `errorTitleKey`, `errorTextKey`
  };
  Kind kind = Kind::kFinished;
  DownloadTarget target;
  std::vector<InstallItem> items;
  std::string errorTitleKey;
  std::string errorTextKey;
};

class InstallPlan {
 public:
  InstallPlan(InstallPlanSettings settings, std::shared_ptr<Package> mainPackage,
              const std::vector<std::shared_ptr<Package>>& acceptedOffers);

  // The first step: the main product's download.
  InstallStep Start();
  // The current download ended.
  InstallStep DownloadEnded(const DownloadResult& outcome);
  // The main installer ended, or could not be started (its error not 0).
  InstallStep MainInstallerEnded(const StartedProcess& installer);
  // The offers' installers were started: one result per item started, in order (fewer when the
  // run was closed on the way; a start refused because of the close, ERROR_CANCELLED, reports
  // nothing).
  InstallStep OffersStarted(const std::vector<InstallItem>& items, const std::vector<StartedProcess>& results);

  // Where the main product is, for Launch and Open Folder: the saved file, then (installer flavour)
  // the started program. Empty until then.
  const std::wstring& LaunchPath() const { return m_launchPath; }

 private:
  struct Queued {
    std::shared_ptr<Package> package;
    std::size_t index = 0;  // 0 the main product, then the accepted offers in order
  };
  InstallStep NextDownload();
  InstallStep DownloadsDone();
  InstallStep StartOffers();
  InstallStep Failed(const char* titleKey) const;

  InstallPlanSettings m_settings;
  std::vector<std::shared_ptr<Package>> m_acceptedOffers;
  std::deque<Queued> m_downloads;
  std::deque<InstallItem> m_installs;
  std::wstring m_launchPath;
};
