#include "ui/DownloadPage.h"

#include <chrono>
#include <exception>

#include "backend/ConfigurationManager.h"
#include "backend/RunLog.h"
#include "download/DownloadManager.h"
#include "download/InstallerStep.h"
#include "locale/LanguageManager.h"
#include "resources/pages.h"
#include "ui/DetachedTask.h"
#include "ui/PageMessages.h"
#include "win/Text.h"

DownloadPage::DownloadPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent)
    : IPage(std::move(languageManager), templateId, parent) {
  OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) -> std::optional<LRESULT> {
    OnTimer(static_cast<UINT_PTR>(id));
    return std::nullopt;
  });
  OnMessage(WM_DOWNLOADPROGRESS, [this](WPARAM percent, LPARAM) -> std::optional<LRESULT> {
    m_progress.OnProgress(percent);
    return 0;
  });
  OnMessage(WM_DOWNLOADSIZEUNKNOWN, [this](WPARAM, LPARAM) -> std::optional<LRESULT> {
    m_progress.OnSizeUnknown();
    return 0;
  });
}

// Workers still running are not waited for: they hold what they use, and their messages to a page
// that is gone are lost.
DownloadPage::~DownloadPage() { StopWork(std::chrono::steady_clock::now()); }

BOOL DownloadPage::OnInitDialog() {
  m_progress.Attach(Item(IDC_PROGRESS));
  m_logo.Attach(Hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_PROGRESS_TITLE, "PROGRESS_TITLE");
  AddLocalizedControl(IDC_PROGRESS_DESC, "PROGRESS_DESC");
  UpdateTexts();
  return TRUE;
}

void DownloadPage::OnNavigateToPage() {
  if (m_plan) return;  // the plan runs once per run
  const auto config = ConfigurationManager::GetInstance();
  const InstallPlanSettings settings{config->m_wizardType,    config->m_productUrl, config->m_productFileName,
                                     config->m_downloadFolder, config->m_tempFolder, config->m_filesUrl,
                                     config->m_installArguments, config->m_productSha256};
  m_plan.emplace(settings, config->m_mainPackage, config->m_acceptedOffers);
  Do(m_plan->Start());
}

void DownloadPage::OnTimer(UINT_PTR id) {
  if (m_paused) return;  // results wait in their futures until the run goes on
  if (id == kDownloadTimer) CheckDownload();
  if (id == kMainInstallTimer) CheckMainInstall();
  if (id == kOfferInstallTimer) CheckOfferInstalls();
}

bool DownloadPage::Stopped() const { return m_stopped || ConfigurationManager::GetInstance()->m_closing; }

void DownloadPage::Do(InstallStep step) {
  ReportLaunchPath();
  switch (step.kind) {
    case InstallStep::Kind::kDownload:
      StartDownload(step.target);
      break;
    case InstallStep::Kind::kStartMainInstaller:
      if (m_onInstallStarted) m_onInstallStarted();
      OnInstallersStarting();
      StartMainInstall(step.items.front());
      break;
    case InstallStep::Kind::kStartOffers:
      if (m_onInstallStarted) m_onInstallStarted();
      OnInstallersStarting();
      StartOfferInstalls(std::move(step.items));
      break;
    case InstallStep::Kind::kFinished:
      if (m_buttonCallback) m_buttonCallback(ButtonType::Next);
      break;
    case InstallStep::Kind::kFailed:
      if (m_errorCallback) {
        m_errorCallback(m_languageManager->GetString(step.errorTitleKey),
                        m_languageManager->GetString(step.errorTextKey));
      }
      break;
  }
}

void DownloadPage::ReportLaunchPath() {
  if (!m_plan || m_plan->LaunchPath() == m_reportedLaunchPath) return;
  m_reportedLaunchPath = m_plan->LaunchPath();
  if (m_onLaunchPath) m_onLaunchPath(m_reportedLaunchPath);
}

void DownloadPage::StartDownload(const DownloadTarget& target) {
  if (Stopped()) return;
  const HWND page = Hwnd();
  m_downloadResult = RunDetached([target, page]() -> DownloadResult {
    try {
      return DownloadManager::GetInstance()->DownloadFile(target.url, page, target.fileName, target.folder,
                                                          target.sha256);
    } catch (const std::exception& error) {
      return {false, win::FromUtf8(error.what()), L""};
    }
  });
  SetTimer(Hwnd(), kDownloadTimer, 100, nullptr);
}

void DownloadPage::CheckDownload() {
  if (!IsReady(m_downloadResult)) return;
  KillTimer(Hwnd(), kDownloadTimer);
  const DownloadResult outcome = m_downloadResult.get();
  if (Stopped()) return;  // the run is ending: nothing more is reported or started
  Do(m_plan->DownloadEnded(outcome));
}

void DownloadPage::StartMainInstall(const InstallItem& item) {
  m_mainStart = RunDetached([item]() {
    StartedProcess start;
    if (ConfigurationManager::GetInstance()->m_closing) {  // nothing starts once closing has begun
      start.error = ERROR_CANCELLED;
      return start;
    }
    try {
      start = StartInstallerStep(item.path, item.arguments, item.folder);
    } catch (const std::exception&) {
      start.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    return start;
  });
  SetTimer(Hwnd(), kMainInstallTimer, 100, nullptr);
}

// Polls the start, then the process itself: the UI thread never waits for the installer.
void DownloadPage::CheckMainInstall() {
  if (!m_mainStartTaken) {
    if (!IsReady(m_mainStart)) return;
    m_mainInstaller = m_mainStart.get();
    m_mainStartTaken = true;
  }
  if (m_mainInstaller.error == 0 && WaitForSingleObject(m_mainInstaller.process.Get(), 0) == WAIT_TIMEOUT) {
    return;
  }
  KillTimer(Hwnd(), kMainInstallTimer);
  DWORD exitCode = 0;
  if (m_mainInstaller.error == 0 && GetExitCodeProcess(m_mainInstaller.process.Get(), &exitCode)) {
    runlog::Write(win::ToUtf8(m_mainInstaller.path) + " ended with exit code " + std::to_string(exitCode));
  }
  if (Stopped()) return;
  if (m_onInstallFinished) m_onInstallFinished();
  Do(m_plan->MainInstallerEnded(m_mainInstaller));
}

void DownloadPage::StartOfferInstalls(std::vector<InstallItem> items) {
  m_startingOffers = std::move(items);
  m_offerInstallResult = RunDetached([items = m_startingOffers]() {
    std::vector<StartedProcess> results;
    for (const InstallItem& item : items) {
      if (ConfigurationManager::GetInstance()->m_closing) break;  // nothing starts once closing has begun
      try {
        results.push_back(RunInstallerStep(item.path, item.arguments, false, item.folder));
      } catch (const std::exception&) {
        StartedProcess failed;
        failed.error = ERROR_NOT_ENOUGH_MEMORY;
        results.push_back(std::move(failed));
      }
    }
    return results;
  });
  SetTimer(Hwnd(), kOfferInstallTimer, 100, nullptr);
}

void DownloadPage::CheckOfferInstalls() {
  if (!IsReady(m_offerInstallResult)) return;
  KillTimer(Hwnd(), kOfferInstallTimer);
  std::vector<std::shared_ptr<Package>> started;
  const InstallStep next = TakeOfferStarts(started);
  if (Stopped()) return;
  if (m_onInstallFinished) m_onInstallFinished();
  Do(next);
}

std::vector<std::shared_ptr<Package>> DownloadPage::SettleOfferStarts() {
  std::vector<std::shared_ptr<Package>> started;
  if (IsReady(m_offerInstallResult)) TakeOfferStarts(started);
  return started;
}

InstallStep DownloadPage::TakeOfferStarts(std::vector<std::shared_ptr<Package>>& started) {
  const std::vector<InstallItem> items = std::move(m_startingOffers);
  m_startingOffers.clear();
  std::vector<StartedProcess> results;
  try {
    results = m_offerInstallResult.get();
  } catch (const std::exception&) {
    return InstallStep{};
  }
  for (std::size_t i = 0; i < results.size() && i < items.size(); ++i) {
    if (results[i].error == 0) started.push_back(items[i].package);
  }
  return m_plan->OffersStarted(items, results);
}

bool DownloadPage::StopWork(std::chrono::steady_clock::time_point deadline) {
  m_stopped = true;
  if (Hwnd()) {
    KillTimer(Hwnd(), kDownloadTimer);
    KillTimer(Hwnd(), kMainInstallTimer);
    KillTimer(Hwnd(), kOfferInstallTimer);
  }
  const auto ended = [deadline](const auto& future) {
    return !future.valid() || future.wait_until(deadline) == std::future_status::ready;
  };
  // The starts only; the installers run on.
  const bool downloadEnded = ended(m_downloadResult);
  const bool mainStartEnded = ended(m_mainStart);
  return ended(m_offerInstallResult) && downloadEnded && mainStartEnded;
}
