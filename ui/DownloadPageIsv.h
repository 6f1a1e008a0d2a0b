#pragma once
// The installer's download-and-install page: the main product and every accepted offer are downloaded
// into folders of their own in the run's temporary folder; then the main product's installer runs
// alone and is waited for (the bar indeterminate, the host told, so that a close asks first), then
// the offers' installers are started, none waited for, and the page reports Next. A main product that
// cannot be downloaded or started ends the run on the error page, and no offer is started.
#include <functional>

#include "ui/DownloadPage.h"

class DownloadPageIsv : public DownloadPage {
 public:
  static constexpr UINT_PTR kMainInstallTimer = 4098;

  DownloadPageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent);
  std::wstring GetPageName() const override { return L"DownloadPageISV"; }

  // Never waits for the main installer: a close while it runs leaves it running.
  void StopWork() override;

  std::function<void()> m_onInstallStarted;   // set by the host: installers run from now on
  std::function<void()> m_onInstallFinished;  // set by the host: the main installer ended / offers started

 protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  Target MainTarget() const override;
  void OnDownloaded(const QueuedDownload& download, const std::wstring& savedPath) override;
  void OnMainDownloadFailed(const std::wstring& text) override;
  void OnDownloadsDone() override;
  void OnOffersStarted() override;

 private:
  // The main installer's start (unpacking included) and the program that was started.
  struct MainStart {
    StartedProcess started;
    std::wstring path;
  };
  void StartMainInstall();
  void CheckMainInstall();
  void StartQueuedOffers();

  std::future<MainStart> m_mainStart;
  MainStart m_mainInstaller;  // once started: its process, polled until it ends
  bool m_mainStartTaken = false;
};
