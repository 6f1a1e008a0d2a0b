#include "app/CWelvaneDlg.h"

#include "app/CAboutDlg.h"
#include "backend/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "packages/Package.h"
#include "ui/ErrorPage.h"
#include "resources/resource.h"
#include "ui/AppMessageBox.h"
#include "win/MessageBox.h"
#include "win/Resources.h"
#include "win/Text.h"

CWelvaneDlg::CWelvaneDlg() : win::Dialog(IDD_WELVANE_DIALOG) {
  m_languageManager = std::make_shared<LanguageManager>();
  m_hIcon = LoadIconW(win::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  OnMessage(WM_SYSCOMMAND, [this](WPARAM id, LPARAM lParam) { return OnSysCommand(id, lParam); });
  OnMessage(WM_PAINT, [this](WPARAM, LPARAM) { return OnPaint(); });
  OnMessage(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) -> std::optional<LRESULT> {
    return reinterpret_cast<LRESULT>(m_hIcon);
  });
  OnMessage(WM_CLOSE, [this](WPARAM, LPARAM) -> std::optional<LRESULT> {
    OnClose();
    return 0;
  });
  OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) -> std::optional<LRESULT> {
    if (id != kFirstIdleTimer) return std::nullopt;
    KillTimer(Hwnd(), kFirstIdleTimer);
    AfterFirstPaint();
    return 0;
  });
  OnMessage(WM_LOADCOMPLETE, [this](WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
    return OnLoadCompleteMessage(wParam, lParam);
  });
}

// GDI+ ends after the dialog: every image held outside the dialog goes first. Downloads still on
// their way are stopped before, so that none decodes an image after the release.
CWelvaneDlg::~CWelvaneDlg() {
  StopLoading();
  ReleaseImages();
}

void CWelvaneDlg::ReleaseImages() {
  for (const auto& offer : m_offers) offer->m_image.reset();
  // A copy refused at start never made the configuration (nor its temporary folder): leave it so.
  const auto config = ConfigurationManager::GetExistingInstance();
  if (!config) return;
  config->m_productLogo.reset();
  for (const auto& offer : config->m_acceptedOffers) offer->m_image.reset();
  for (const auto& offer : config->m_shownOffers) offer->m_image.reset();
}

BOOL CWelvaneDlg::OnInitDialog() {
  SetAppMainWindow(Hwnd());
  m_titleLabel.Attach(Hwnd(), IDC_PRODUCT_TITLE);
  m_productLogo.Attach(Hwnd(), IDC_PRODUCT_LOGO);
  m_headerLine.Attach(Hwnd(), IDC_HEADER_LINE);

  if (HMENU menu = GetSystemMenu(Hwnd(), FALSE)) {
    const std::wstring about = win::LoadStringResource(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  if (!TakeSingleInstanceMutex()) {
    win::ShowMessageBox(Hwnd(), L"Another setup is already running, please close it and try again", L"Error",
                        MB_ICONERROR | MB_SYSTEMMODAL);
    EndDialog(1);
    return FALSE;
  }

  const auto config = ConfigurationManager::GetInstance();
  if (config->m_wizardType == kWizardUnknown) AppMessageBox(L"Unknown wizard type", MB_OK);
  std::wstring caption;
  switch (config->m_wizardType) {
    case kWizardDlm:
      caption = L"Setup";
      break;
    case kWizardIsv:
      caption = config->m_productName + L" ";
      break;
    default:
      AppMessageBox(L"Invalid wizard type", MB_ICONERROR | MB_SYSTEMMODAL);
      EndDialog(1);
      return FALSE;
  }
  SetText(caption);
  m_titleLabel.SetText(config->m_productName);

  CreateInitialPages();

  if (config->m_wizardType == kWizardIsv) {
    m_productLogo.Show(false);
    m_headerLine.Show(false);
  }
  m_titleLabel.Show(false);
  return TRUE;
}

// Only one wizard of a flavour runs at a time; a build of the other flavour may run beside it.
// Returns false when another copy holds the mutex; a mutex that cannot be made is no reason to stop.
bool CWelvaneDlg::TakeSingleInstanceMutex() {
  const std::wstring name =
      L"Global\\Welvane" + win::Widen(kBuildWizardType, CP_ACP) + L"SingleInstanceMutex";
  m_mutex.Reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (m_mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    m_mutex.Reset();
    return false;
  }
  return true;
}

std::optional<LRESULT> CWelvaneDlg::OnSysCommand(WPARAM id, LPARAM) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal(Hwnd());
    return 0;
  }
  return std::nullopt;
}

std::optional<LRESULT> CWelvaneDlg::OnPaint() {
  if (!IsIconic(Hwnd())) return std::nullopt;
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(Hwnd(), &paint);
  SendMessageW(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(Hwnd(), &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(Hwnd(), &paint);
  return 0;
}

