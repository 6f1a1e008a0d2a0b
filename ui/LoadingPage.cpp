#include "ui/LoadingPage.h"

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <exception>
#include <string>
#include <utility>

#include "backend/ApiManager.h"
#include "backend/ConfigurationManager.h"
#include "download/DownloadManager.h"
#include "locale/LanguageManager.h"
#include "packages/Package.h"
#include "resources/pages.h"
#include "ui/DetachedTask.h"
#include "ui/PageMessages.h"
#include "win/Gdiplus.h"
#include "win/Handle.h"

namespace {

// The image in the bytes; an undecodable one still gives an image, in an error state. Null for no bytes.
template <typename Image>
std::shared_ptr<Image> Decode(const std::vector<char>& bytes) {
  if (bytes.empty()) return nullptr;
  win::ComPtr<IStream> stream;
  *stream.Put() = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
  if (!stream) return nullptr;
  return std::make_shared<Image>(stream.Get());
}

LoadingInputs MakeInputs() {
  const auto config = ConfigurationManager::GetInstance();
  LoadingInputs inputs;
  inputs.settings = config->Snapshot();
  inputs.requestConfiguration = [api = ApiManager::GetInstance()](const RunSettings& settings) {
    return api->RequestConfiguration(settings);
  };
  inputs.fetch = [downloader = DownloadManager::GetInstance()](const std::wstring& url) {
    return *downloader->DownloadToMemory(url);
  };
  inputs.closing = &config->m_closing;  // the singleton lives until the process ends
  return inputs;
}

}  // namespace

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE, parent) {
  OnMessage(WM_REQUESTCOMPLETE, [this](WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
    return OnRequestComplete(wParam, lParam);
  });
}

BOOL LoadingPage::OnInitDialog() {
  UpdateTexts();
  return TRUE;
}

void LoadingPage::OnNavigateToPage() {
  StartMarquee();
  if (m_loadResult.valid() || m_requestHandled) return;  // loading runs once per run
  HWND page = Hwnd();
  if (m_beforeLoading) {
    UpdateWindow(GetParent(page));
    m_beforeLoading();
  }
  try {
    // A run closed while the back end has not answered yet does not wait for the answer. A message
    // to a page that is gone is lost.
    m_loadResult = RunDetached([page, inputs = MakeInputs()]() mutable {
      LoadedOffers loaded = LoadOffers(std::move(inputs));
      PostMessageW(page, WM_REQUESTCOMPLETE, 0, 0);
      return loaded;
    });
  } catch (const std::exception&) {
    // No thread for the worker: the run goes on as after a failed request.
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

LRESULT LoadingPage::OnRequestComplete(WPARAM, LPARAM) {
  if (m_requestHandled || m_stopped) return 0;
  m_requestHandled = true;
  LoadedOffers loaded;
  loaded.settings = ConfigurationManager::GetInstance()->Snapshot();
  try {
    // The worker posts just before it returns; get() waits for that last step.
    if (m_loadResult.valid()) loaded = m_loadResult.get();
  } catch (...) {
    loaded.status = LoadedOffers::Status::kFailed;  // the worker's promise was broken
  }
  const int wizardType = ConfigurationManager::GetInstance()->m_wizardType;
  const bool error = loaded.status == LoadedOffers::Status::kConfigurationError ||
                     (loaded.status == LoadedOffers::Status::kFailed && wizardType == kWizardDlm);
  // The installer goes on without offers after a failure.
  if (loaded.status != LoadedOffers::Status::kReady) loaded.offers.clear();
  if (error) loaded.status = LoadedOffers::Status::kConfigurationError;

  std::shared_ptr<Gdiplus::Image> logo;
  try {
    for (std::size_t i = 0; i < loaded.offers.size() && i < loaded.images.size(); ++i) {
      loaded.offers[i]->m_image = Decode<Gdiplus::Bitmap>(loaded.images[i]);
    }
    logo = Decode<Gdiplus::Image>(loaded.logo);
  } catch (const std::exception&) {
    // An image that cannot be kept is no image.
  }
  if (m_onLoaded) m_onLoaded(std::move(loaded), std::move(logo));
  if (error) ShowConfigurationError();
  return 0;
}

void LoadingPage::ShowConfigurationError() {
  if (!m_errorCallback) return;
  switch (ConfigurationManager::GetInstance()->m_wizardType) {
    case kWizardDlm:
      m_errorCallback(m_languageManager->GetString("PAGE_CONFIGURATION_ERROR_TITLE"),
                      m_languageManager->GetString("PAGE_CONFIGURATION_ERROR_DESC"));
      break;
    case kWizardIsv:
      m_errorCallback(m_languageManager->GetString("PAGE_ERROR_TITLE"), m_languageManager->GetString("PAGE_ERROR_TEXT"));
      break;
    case kWizardUnknown:
      m_errorCallback(L"", L"");
      break;
    default:
      break;
  }
}
