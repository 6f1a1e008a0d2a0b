// The page host of the main dialog: creates the pages, shows one at a time, reacts to what a page
// reports, and closes the run.
#include "app/CWelvaneDlg.h"
#include "app/CWelvaneApp.h"
#include "app/DirectoryTree.h"
#include "app/MainPackage.h"
#include "app/OfferRecord.h"
#include "app/PageLanguage.h"
#include "backend/ConfigurationManager.h"
#include "backend/RunLog.h"
#include "eligibility/OfferLoading.h"
#include "locale/LanguageManager.h"
#include "resources/resource.h"
#include "download/RunProcess.h"
#include "ui/DownloadPageDlm.h"
#include "ui/DownloadPageIsv.h"
#include "ui/ErrorPage.h"
#include "ui/FinishPages.h"
#include "ui/LanguagePage.h"
#include "ui/LoadingPage.h"
#include "ui/ProductPage.h"
#include "ui/WelcomePageIsv.h"
#include "win/MessageBox.h"
#include "win/Text.h"

namespace {

// How long a closing wizard waits for its download and installer starts once they were told to stop.
constexpr std::chrono::milliseconds kStopWorkLimit{1000};

// Puts Close back into the window menu, unless it is there (an error before the download page
// never took it away).
void RestoreCloseItem(HMENU menu) {
  if (GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) == static_cast<UINT>(-1)) {
    AppendMenuW(menu, MF_STRING, SC_CLOSE, L"Close");
  }
}

}  // namespace

RECT CWelvaneDlg::PageArea() const {
  RECT area{};
  GetWindowRect(Item(IDC_PAGE_AREA), &area);
  MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&area), 2);
  return area;
}

IPage* CWelvaneDlg::CurrentPage() const {
  return m_currentPage < m_pages.size() ? m_pages[m_currentPage].get() : nullptr;
}

void CWelvaneDlg::CreatePage(IPage* page, const RECT& area) {
  page->Create();
  page->SetButtonCallback([this](ButtonType type) { OnButtonClicked(type); });
  page->Show(false);
  SetWindowPos(page->Hwnd(), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOZORDER);
}

void CWelvaneDlg::CreateAndAddPage(std::unique_ptr<IPage> page, const RECT& area) {
  CreatePage(page.get(), area);
  page->SetErrorCallback([this](const std::wstring& title, const std::wstring& text) { ShowError(title, text); });
  m_pages.push_back(std::move(page));
}

// Only the language page is made at start. The loading and error pages follow once the window is
// painted, or when first needed if that is sooner.
void CWelvaneDlg::CreateInitialPages() {
  auto language = std::make_unique<LanguagePage>(m_languageManager, ConfigurationManager::GetInstance()->m_wizardType,
                                                 Hwnd());
  LanguagePage* languagePage = language.get();
  languagePage->m_onLanguageSelected = [this](const std::wstring& displayName) { ApplyLanguage(displayName); };
  CreateAndAddPage(std::move(language), PageArea());
  // The preselected language gives the page its texts (and the pages made later theirs).
  if (const std::wstring selected = languagePage->SelectedLanguage(); !selected.empty()) ApplyLanguage(selected);
  m_pages[0]->Show(true);
  SetFocus(m_pages[0]->Hwnd());
  SetTimer(Hwnd(), kFirstIdleTimer, USER_TIMER_MINIMUM, nullptr);
}

// What start did without: the later pages and the run log's file. A timer comes only when nothing
// is left to paint.
void CWelvaneDlg::AfterFirstPaint() {
  if (!m_loadingPage) CreateLoadingPage();
  if (!m_errorPage) CreateErrorPage();
  OpenRunLog();
}

void CWelvaneDlg::CreateErrorPage() {
  m_errorPage = std::make_unique<ErrorPage>(m_languageManager, Hwnd());
  CreatePage(m_errorPage.get(), PageArea());
}

void CWelvaneDlg::CreateLoadingPage() {
  auto loading = std::make_unique<LoadingPage>(m_languageManager, Hwnd());
  loading->m_onLoaded = [this](LoadedOffers loaded, std::shared_ptr<Gdiplus::Image> logo) {
    OnLoaded(std::move(loaded), std::move(logo));
  };
  // The product's package (and its event 1) comes before the configuration is asked for.
  loading->m_beforeLoading = [] { CreateMainPackage(); };
  m_loadingPage = loading.get();
  CreateAndAddPage(std::move(loading), PageArea());
}

bool CWelvaneDlg::ApplyLanguage(const std::wstring& displayName) {
  std::vector<IPage*> pages;
  if (m_errorPage) pages.push_back(m_errorPage.get());
  for (const auto& page : m_pages) pages.push_back(page.get());
  return ApplyLanguageToPages(*m_languageManager, displayName, pages);
}

void CWelvaneDlg::NavigateToPage(unsigned int index) {
  if (index >= m_pages.size()) return;
  IPage* next = m_pages[index].get();
  next->Show(true);
  SetFocus(next->Hwnd());
  if (IPage* current = CurrentPage()) current->Show(false);
  m_currentPage = index;
  RecordPageShown(*ConfigurationManager::GetInstance(), next);
  next->OnNavigateToPage();

  if (HMENU menu = GetSystemMenu(Hwnd(), FALSE)) {
    switch (next->CloseItemWhenShown()) {
      case IPage::CloseItem::Removed:
        RemoveMenu(menu, SC_CLOSE, MF_BYCOMMAND);
        break;
      case IPage::CloseItem::Restored:
        RestoreCloseItem(menu);
        break;
      case IPage::CloseItem::Unchanged:
        break;
    }
  }
  win::DebugOut(next->GetPageName() + L"\n");
}

void CWelvaneDlg::ShowError(const std::wstring& title, const std::wstring& text) {
  if (IPage* current = CurrentPage()) current->Show(false);
  if (!m_errorPage) CreateErrorPage();
  m_errorPage->m_title = title;
  m_errorPage->m_text = text;
  m_errorPage->UpdateData();
  m_errorPage->Show(true);
  SetFocus(m_errorPage->Hwnd());
  m_errorShown = true;
  runlog::Write(L"Error page shown: " + title + L" / " + text);
  if (HMENU menu = GetSystemMenu(Hwnd(), FALSE)) RestoreCloseItem(menu);
}

void CWelvaneDlg::OnButtonClicked(ButtonType type) {
  switch (type) {
    case ButtonType::Next:
      if (!m_loadingPage) CreateLoadingPage();
      NavigateToPage(m_currentPage + 1);
      break;
    case ButtonType::Accept:
    case ButtonType::Decline:
      RecordPageAnswer(*ConfigurationManager::GetInstance(), CurrentPage(), type);
      NavigateToPage(m_currentPage + 1);
      break;
    case ButtonType::Close:
      runlog::Write("The user closed the error page");
      EndDialog(1);
      break;
    case ButtonType::Finish:
      runlog::Write("The user pressed Finish");
      DeleteTemporaryFolder();
      EndDialog(1);
      break;
    default:  // values above Finish mean nothing
      break;
  }
}

LRESULT CWelvaneDlg::OnLoadCompleteMessage(WPARAM, LPARAM) {
  // The pages after loading are appended once per run; a repeated message finds them there.
  if (m_loadCompleted) return 0;
  m_loadCompleted = true;
  const auto config = ConfigurationManager::GetInstance();
  const int wizardType = config->m_wizardType;
  // Reloaded so that the texts carry the product title the configuration brought.
  ApplyLanguage(config->m_languageName);
  if (wizardType == kWizardDlm) {
    m_productLogo.SetImage(config->m_productLogo);
    m_productLogo.Show(true);
    m_titleLabel.SetText(config->m_productName);
    m_titleLabel.Show(true);
    SetText(config->m_productName + L" Setup");
  }
  ReinitializeMainPackage();

  const RECT area = PageArea();
  CreateAndAddPage(std::make_unique<WelcomePageIsv>(m_languageManager, Hwnd()), area);
  for (const auto& offer : m_offers) {
    CreateAndAddPage(std::make_unique<ProductPage>(m_languageManager, offer, Hwnd()), area);
  }
  // Where the product is, recorded when its download or its installer's start is done.
  const auto recordLaunchPath = [](const std::wstring& path) {
    ConfigurationManager::GetInstance()->m_launchPath = path;
  };
  if (wizardType == kWizardDlm) {
    auto download = std::make_unique<DownloadPageDlm>(m_languageManager, Hwnd());
    download->m_onLaunchPath = recordLaunchPath;
    m_downloadPages.push_back(download.get());
    CreateAndAddPage(std::move(download), area);
    CreateAndAddPage(std::make_unique<FinishPageDlm>(m_languageManager, Hwnd()), area);
  } else if (wizardType == kWizardIsv) {
    auto download = std::make_unique<DownloadPageIsv>(m_languageManager, Hwnd());
    download->m_onLaunchPath = recordLaunchPath;
    download->m_onInstallStarted = [this] { m_installing = true; };
    download->m_onInstallFinished = [this] { m_installing = false; };
    m_downloadPages.push_back(download.get());
    CreateAndAddPage(std::move(download), area);
    CreateAndAddPage(std::make_unique<FinishPageIsv>(m_languageManager, Hwnd()), area);
  }

  // The current page is the loading page: Next shows the welcome page.
  OnButtonClicked(ButtonType::Next);
  return 0;
}

// The configuration has been applied: the run takes over the loading worker's settings, and the
// pages after loading follow unless the loading page shows the configuration error.
void CWelvaneDlg::OnLoaded(LoadedOffers loaded, std::shared_ptr<Gdiplus::Image> logo) {
  const auto config = ConfigurationManager::GetInstance();
  config->AdoptLoadedSettings(loaded.settings);
  if (loaded.status == LoadedOffers::Status::kConfigurationError) return;
  config->m_productLogo = std::move(logo);
  m_offers = std::move(loaded.offers);
  PostMessageW(Hwnd(), WM_LOADCOMPLETE, 0, 0);
}

// A loading result still on its way is not taken from now on.
void CWelvaneDlg::StopLoading() {
  if (m_loadingPage) m_loadingPage->StopLoading();
}

// Once downloads are cancelled: the download page's transfer and installer starts end, so that
// nothing writes into the temporary folder while it is removed. A transfer the network keeps
// waiting is not waited for beyond kStopWorkLimit: the process ends without it, and its
// unfinished file goes with the process. Returns the offers whose installers the stopped work had
// started (they were given their event 3).
std::vector<std::shared_ptr<Package>> CWelvaneDlg::StopDownloadPages() {
  const auto deadline = std::chrono::steady_clock::now() + kStopWorkLimit;
  std::vector<std::shared_ptr<Package>> started;
  for (DownloadPage* download : m_downloadPages) {
    download->StopWork(deadline);
    for (auto& package : download->SettleOfferStarts()) started.push_back(std::move(package));
  }
  return started;
}

void CWelvaneDlg::PauseDownloadPages(bool paused) {
  for (DownloadPage* download : m_downloadPages) download->Pause(paused);
}

void CWelvaneDlg::OnClose() {
  // A close right after the start comes before the window's first idle moment: the log's file is
  // made now, not after OK, so that the end after OK stays quick.
  OpenRunLog();
  // Every page but the last of a loaded run asks first.
  if (!m_errorShown && (!m_loadCompleted || m_currentPage + 1 < m_pages.size())) {
    const std::string key = m_installing ? "PROGRESS_QUIT" : "MSG_EXIT";
    PauseDownloadPages(true);
    const int answer =
        win::ShowMessageBox(Hwnd(), m_languageManager->GetString(key), L"", MB_OKCANCEL | MB_ICONQUESTION);
    PauseDownloadPages(false);
    if (answer != IDOK) return;
  }
  m_mutex.Reset();
  // The window goes at once. SetWindowPos hides it without the show notifications that ShowWindow
  // sends through the whole page tree.
  SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  IPage* page = m_errorShown ? m_errorPage.get() : CurrentPage();
  runlog::Write(L"The user closed the wizard on " + (page ? page->GetPageName() : std::wstring(L"no page")));
  StopLoading();
  BeginClosing();
  // Offers whose installers were started before the close get their event 3, not event 5.
  SendClosingEvents(StopDownloadPages());
  DeleteTemporaryFolder();
  EndTheRun();
}


// The folders of installers this run started that are still running stay: the installers may
// still need their files. The run's folder goes also when nothing
// was put into it: names of the form ISVxxxx.tmp run out after 65535 folders left behind.
void CWelvaneDlg::DeleteTemporaryFolder() {
  const std::wstring folder = ConfigurationManager::GetInstance()->m_tempFolder;
  if (folder.empty()) return;
  if (RemoveDirectoryW(folder.c_str())) return;  // empty, as on a close before any download
  DeleteDirectoryTree(folder, RunningInstallers::Instance().FoldersInUse());
  RemoveDirectoryW(folder.c_str());  // fails, as it should, for a folder that is not empty
}

void CWelvaneDlg::OnCancel() { SendMessageW(Hwnd(), WM_CLOSE, 0, 0); }

// Enter with the focus on no button: the current page's default button, as if clicked.
void CWelvaneDlg::OnOK() {
  IPage* page = m_errorShown ? m_errorPage.get() : CurrentPage();
  if (!page) return;
  const LRESULT defId = SendMessageW(page->Hwnd(), DM_GETDEFID, 0, 0);
  if (HIWORD(defId) != DC_HASDEFID) return;
  HWND button = GetDlgItem(page->Hwnd(), LOWORD(defId));
  if (button && IsWindowVisible(button) && IsWindowEnabled(button)) SendMessageW(button, BM_CLICK, 0, 0);
}

// The dialog manager sends a page's default-button command to the main dialog; hand it back.
bool CWelvaneDlg::OnOtherCommand(int id, WORD code, HWND control) {
  if (!control || GetParent(control) == Hwnd()) return false;
  if (!IsChild(Hwnd(), control)) return false;
  if (!IsWindowVisible(GetParent(control))) return true;  // a hidden page's button does nothing
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  return true;
}
