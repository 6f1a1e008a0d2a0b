#pragma once
// What the two download pages share: they show the current file's progress and do the steps of the
// run's install plan (downloads, installer starts) on worker tasks whose results 100 ms timers
// collect; the plan decides the order and what each package reports. The pages differ in their
// template, their logo and (the installer) in showing the bar indeterminate while installers run.
#include <functional>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "download/InstallPlan.h"
#include "download/RunProcess.h"
#include "ui/CStaticFromImage.h"
#include "ui/DownloadProgress.h"
#include "ui/IPage.h"

class DownloadPage : public IPage {
 public:
  static constexpr UINT_PTR kDownloadTimer = 4096;
  static constexpr UINT_PTR kOfferInstallTimer = 4097;
  static constexpr UINT_PTR kMainInstallTimer = 4098;

  DownloadPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent);
  ~DownloadPage() override;

  // Makes the plan from the run (the main product and the accepted offers) and starts its first step.
  void OnNavigateToPage() override;
  // The window menu has no Close while downloading.
  CloseItem CloseItemWhenShown() const override { return CloseItem::Removed; }

  // The run is closing (downloads are cancelled): stops polling and waits, until `deadline` at the
  // latest, for the running download and installer starts to end (never for an installer
  // process). True when they did. Nothing is reported afterwards.
  bool StopWork(std::chrono::steady_clock::time_point deadline);
  // After StopWork: when the offers' installer starts had ended, each offer it started gets its
  // event 3 (a failed start its failure event) now, and the offers started are returned.
  std::vector<std::shared_ptr<Package>> SettleOfferStarts();
  // While the user is asked whether to quit, no step ends and none begins (transfers go on); after
  // "No" the run goes on where it was.
  void Pause(bool paused) { m_paused = paused; }

  std::function<void(const std::wstring&)> m_onLaunchPath;  // set by the host: where the product is
  std::function<void()> m_onInstallStarted;   // set by the host: installers run from now on
  std::function<void()> m_onInstallFinished;  // set by the host: the main installer ended / offers started

 protected:
  BOOL OnInitDialog() override;
  // Installers are about to be started.
  virtual void OnInstallersStarting() {}

  DownloadProgress m_progress;
  CStaticFromImage m_logo;

 private:
  void OnTimer(UINT_PTR id);
  void Do(InstallStep step);
  void StartDownload(const DownloadTarget& target);
  void StartMainInstall(const InstallItem& item);
  void StartOfferInstalls(std::vector<InstallItem> items);
  void CheckDownload();
  void CheckMainInstall();
  void CheckOfferInstalls();
  // Takes the ended offer starts' results to the plan (their events); `started` gets the offers started.
  InstallStep TakeOfferStarts(std::vector<std::shared_ptr<Package>>& started);
  void ReportLaunchPath();
  bool Stopped() const;

  std::optional<InstallPlan> m_plan;
  std::wstring m_reportedLaunchPath;
  std::future<DownloadResult> m_downloadResult;
  std::future<StartedProcess> m_mainStart;  // the main installer's start, unpacking included
  StartedProcess m_mainInstaller;  // once started: its process, polled until it ends
  bool m_mainStartTaken = false;
  std::future<std::vector<StartedProcess>> m_offerInstallResult;
  std::vector<InstallItem> m_startingOffers;  // handed to the running installer task, in order
  bool m_stopped = false;
  bool m_paused = false;
};

// Whether a task's result can be taken without waiting.
template <typename T>
bool IsReady(const std::future<T>& future) {
  return future.valid() && future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}
