#include "ui/LoadingPage.h"

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <exception>
#include <string>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/ApiManager.h"
#include "backend/ConfigurationManager.h"
#include "backend/ConfigurationResponse.h"
#include "download/DownloadManager.h"
#include "eligibility/OfferChecker.h"
#include "locale/LanguageManager.h"
#include "packages/Package.h"
#include "resources/pages.h"
#include "ui/PageMessages.h"
#include "win/Gdiplus.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

// A stream over the downloaded bytes; empty when none could be made.
bool MakeStream(const std::vector<char>& bytes, win::ComPtr<IStream>& stream) {
  *stream.Put() = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
  return static_cast<bool>(stream);
}

}  // namespace

// --- the downloads' shared state ---------------------------------------------------------------------------

void LoadingPage::LoadState::HandOverLocked() {
  if (m_stopped || !m_onPackagesReady) return;
  PackagesReady ready = std::move(m_onPackagesReady);  // once: nothing can call it again
  m_onPackagesReady = nullptr;
  ready(m_offers);
}

void LoadingPage::LoadState::CompleteOne() {
  std::lock_guard<std::mutex> lock(m_pendingMutex);
  if (--m_pendingDownloads == 0) HandOverLocked();
}

// --- the page ----------------------------------------------------------------------------------------------

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE, parent) {
  OnMessage(WM_REQUESTCOMPLETE, [this](WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
    return OnRequestComplete(wParam, lParam);
  });
}

LoadingPage::~LoadingPage() { StopDownloads(); }

BOOL LoadingPage::OnInitDialog() {
  UpdateTexts();
  return TRUE;
}

void LoadingPage::OnNavigateToPage() {
  StartMarquee();
  if (m_loadResult.valid() || m_requestHandled) return;  // loading runs once per run
  HWND page = Hwnd();
  try {
    // The worker's own thread, detached: a run closed while the back end has not answered yet does
    // not wait for the answer (a future of std::async would, when the page goes).
    std::packaged_task<std::vector<std::shared_ptr<Package>>()> task(
        [page, state = m_state] { return LoadOffers(page, state); });
    m_loadResult = task.get_future();
    std::thread(std::move(task)).detach();
  } catch (const std::exception&) {
    // No thread for the worker: its future, if any, reports a broken promise, and the run goes on as
    // after a failed request.
    PostMessageW(page, WM_REQUESTCOMPLETE, 0, 0);
  }
}

void LoadingPage::StartMarquee() {
  HWND progress = Item(IDC_PROGRESS);
  SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(progress, PBM_SETPOS, 0, 0);
  SendMessageW(progress, PBM_SETMARQUEE, TRUE, 30);
  SetWindowLongPtrW(progress, GWL_STYLE, GetWindowLongPtrW(progress, GWL_STYLE) | PBS_MARQUEE);
}

std::vector<std::shared_ptr<Package>> LoadingPage::LoadOffers(HWND page, const std::shared_ptr<LoadState>& state) {
  std::vector<std::shared_ptr<Package>> offers;
  try {
    const auto config = ConfigurationManager::GetInstance();
    const std::unique_ptr<nlohmann::json> response = ApiManager::GetInstance()->RequestConfiguration(*config);
    const AppliedConfiguration applied = ApplyConfigurationResponse(*response, *config);
    if (applied.configurationError) {
      state->m_configurationError = true;
      PostMessageW(page, WM_REQUESTCOMPLETE, 0, 0);
      return offers;
    }
    if (applied.readOffers) {
      OfferChecker checker(config->m_maxOffers, config->m_programVersion, config->GetPathTokens());
      const AnalyticsContext context = CreateAnalyticsContext(*config);
      for (const nlohmann::json& element : response->at("o")) {
        if (config->m_closing) break;  // nobody will see them
        auto offer = std::make_shared<Package>(context, element, false, std::string(),
                                               static_cast<int>(offers.size()));
        bool stop = false;
        if (checker.IsEligible(offer, stop)) {
          offers.push_back(offer);
          if (offer->m_exclusive) break;
        } else if (stop) {
          break;
        }
      }
    }
  } catch (...) {
    // The page learns of the failure from the future.
    PostMessageW(page, WM_REQUESTCOMPLETE, 0, 0);
    throw;
  }
  PostMessageW(page, WM_REQUESTCOMPLETE, 0, 0);
  return offers;
}

LRESULT LoadingPage::OnRequestComplete(WPARAM, LPARAM) {
  if (m_requestHandled) return 0;
  m_requestHandled = true;
  if (m_state->m_configurationError) {
    ShowConfigurationError();
    return 0;
  }
  const auto config = ConfigurationManager::GetInstance();
  std::vector<std::shared_ptr<Package>> offers;
  try {
    if (m_loadResult.valid()) offers = m_loadResult.get();  // waits for the worker's last steps
  } catch (...) {
    if (config->m_wizardType == kWizardDlm) {
      ShowConfigurationError();
      return 0;
    }
    offers.clear();  // the installer goes on without offers
  }

  bool started = false;
  {
    std::lock_guard<std::mutex> lock(m_state->m_pendingMutex);
    if (m_state->m_stopped) return 0;
    m_state->m_offers = offers;
    m_state->m_onPackagesReady = m_onPackagesReady;
    m_state->m_pendingDownloads = static_cast<int>(offers.size());
  }
  if (config->m_wizardType == kWizardDlm && !config->m_productLogoUrl.empty()) {
    {
      std::lock_guard<std::mutex> lock(m_state->m_pendingMutex);
      ++m_state->m_pendingDownloads;
    }
    started = true;
    StartLogoDownload(config->m_productLogoUrl);
  }
  if (offers.empty() && !started) {
    std::lock_guard<std::mutex> lock(m_state->m_pendingMutex);
    m_state->HandOverLocked();
  }
  for (const auto& offer : offers) StartImageDownload(offer);
  return 0;
}

// One image fetched on the downloader's thread. The callable holds the shared state and the
// downloader itself, so neither is gone when it runs, whatever has been closed. `keep` gets the
// decoded stream only while the run is not being closed, with the mutex held: StopDownloads, which
// comes before GDI+ ends, waits for it.
void LoadingPage::StartImageDownload(const std::wstring& url, std::function<void(IStream*)> keep) {
  const auto downloads = m_state;
  try {
    const auto downloader = DownloadManager::GetInstance();
    downloader->DownloadToMemoryAsync(
        url, [downloads, downloader, keep = std::move(keep)](DownloadManager::Bytes bytes) {
          try {
            std::lock_guard<std::mutex> lock(downloads->m_pendingMutex);
            if (!downloads->m_stopped && bytes && !bytes->empty()) {
              win::ComPtr<IStream> stream;
              if (MakeStream(*bytes, stream)) keep(stream.Get());
            }
            if (--downloads->m_pendingDownloads == 0) downloads->HandOverLocked();
          } catch (...) {
            // Nothing may leave the downloader's thread; an image that cannot be kept is no image.
          }
        });
  } catch (const std::exception&) {
    downloads->CompleteOne();  // never started: counts as a failed download
  }
}

void LoadingPage::StartLogoDownload(const std::wstring& url) {
  StartImageDownload(url, [config = ConfigurationManager::GetInstance()](IStream* stream) {
    config->m_productLogo = std::make_shared<Gdiplus::Image>(stream);
  });
}

void LoadingPage::StartImageDownload(const std::shared_ptr<Package>& offer) {
  std::wstring url;
  try {
    url = ConfigurationManager::GetInstance()->m_filesUrl + win::FromUtf8(offer->m_imageName);
  } catch (const std::exception&) {
    m_state->CompleteOne();
    return;
  }
  // An undecodable image still gives a bitmap, in an error state.
  StartImageDownload(url, [offer](IStream* stream) { offer->m_image = std::make_shared<Gdiplus::Bitmap>(stream); });
}

void LoadingPage::StopDownloads() {
  std::lock_guard<std::mutex> lock(m_state->m_pendingMutex);
  m_state->m_stopped = true;
  m_state->m_onPackagesReady = nullptr;
  for (const auto& offer : m_state->m_offers) offer->m_image.reset();
  m_state->m_offers.clear();
}

void LoadingPage::ShowConfigurationError() {
  if (!m_errorCallback) return;
  switch (ConfigurationManager::GetInstance()->m_wizardType) {
    case kWizardDlm:
      m_errorCallback(m_languageManager->GetString("PAGE_CONFIGURATION_ERROR_TITLE"),
                      m_languageManager->GetString("PAGE_CONFIGURATION_ERROR_DESC"));
      break;
    case kWizardIsv:
      m_errorCallback(m_languageManager->GetString("PAGE_ERROR_TITLE"), L"");
      break;
    case kWizardUnknown:
      m_errorCallback(L"", L"");
      break;
    default:
      break;
  }
}
