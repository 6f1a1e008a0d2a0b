#include "ui/WelcomePageIsv.h"


#include "backend/ConfigurationManager.h"
#include "resources/pages.h"
#include "win/Shell.h"

const wchar_t kSdkPrivacyUrl[] = L"https://sdk.welvane.com/privacy/";

LinkButton::~LinkButton() {
  if (m_font) DeleteObject(m_font);
}

bool LinkButton::Attach(HWND dialog, int id) {
  if (!win::SubclassedControl::Attach(dialog, id)) return false;
  MakeUnderlinedFont();
  return true;
}

void LinkButton::MakeUnderlinedFont() {
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
  LOGFONTW font{};
  if (!current || GetObjectW(current, sizeof(font), &font) == 0) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  }
  font.lfUnderline = TRUE;
  HFONT underlined = CreateFontIndirectW(&font);
  if (!underlined) return;
  SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(underlined), TRUE);
  if (m_font) DeleteObject(m_font);
  m_font = underlined;
}

void LinkButton::SizeToContent() {
  if (!m_hwnd) return;
  const std::wstring text = Text();
  HDC dc = GetDC(m_hwnd);
  if (!dc) return;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  RECT extent{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  if (old) SelectObject(dc, old);
  ReleaseDC(m_hwnd, dc);
  SetWindowPos(m_hwnd, nullptr, 0, 0, extent.right - extent.left, extent.bottom - extent.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Invalidate(true);
}

void LinkButton::Open() const {
  win::OpenWebLink(m_url);  // only web addresses are opened
}

HBRUSH LinkButton::Colour(HDC dc) const {
  SetTextColor(dc, GetSysColor(COLOR_HOTLIGHT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

bool LinkButton::WindowProc(UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_SETCURSOR) return false;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
  result = TRUE;
  return true;
}

WelcomePageIsv::WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : IPage(std::move(languageManager), IDD_WELCOME_PAGE, parent) {
  OnCommand(IDC_NEXT_BUTTON, [this] { OnNext(); });
  // The links are SS_NOTIFY statics: a click arrives as STN_CLICKED.
  OnCommand(IDC_PRIVACY_LINK, STN_CLICKED, [this] { m_privacyLink.Open(); });
  OnCommand(IDC_TERMS_LINK, STN_CLICKED, [this] { m_termsLink.Open(); });
  OnCommand(IDC_SDK_LINK, STN_CLICKED, [this] { m_sdkLink.Open(); });
  OnMessage(WM_CTLCOLORSTATIC, [this](WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
    const HWND control = reinterpret_cast<HWND>(lParam);
    for (const LinkButton* link : {&m_privacyLink, &m_termsLink, &m_sdkLink}) {
      if (link->Hwnd() && link->Hwnd() == control) {
        return reinterpret_cast<LRESULT>(link->Colour(reinterpret_cast<HDC>(wParam)));
      }
    }
    return std::nullopt;
  });
  OnMessage(WM_SHOWWINDOW, [this](WPARAM shown, LPARAM) -> std::optional<LRESULT> {
    if (shown) m_showGuard.OnShown();
    return std::nullopt;
  });
}

BOOL WelcomePageIsv::OnInitDialog() {
  const auto config = ConfigurationManager::GetInstance();
  m_logo.Attach(Hwnd(), IDC_PAGE_IMAGE);
  m_privacyLink.Attach(Hwnd(), IDC_PRIVACY_LINK);
  m_termsLink.Attach(Hwnd(), IDC_TERMS_LINK);
  m_sdkLink.Attach(Hwnd(), IDC_SDK_LINK);
  m_nextButton.Attach(Hwnd(), IDC_NEXT_BUTTON, &m_showGuard);

  if (config->m_wizardType == kWizardDlm) m_logo.SetImage(config->m_productLogo);

  AddLocalizedControl(IDC_PRODUCT_TITLE, "PRODUCT_TITLE");
  AddLocalizedControl(IDC_WELCOME_TITLE, "WELCOME_TITLE");
  AddLocalizedControl(IDC_WELCOME_TEXT, "WELCOME_TEXT");
  AddLocalizedControl(IDC_NEXT_BUTTON, "BUTTON_NEXT");
  AddLocalizedControl(IDC_PRIVACY_LINK, "PRIVACY_LINK");
  AddLocalizedControl(IDC_TERMS_LINK, config->m_wizardType == kWizardDlm ? "TOS_LINK" : "EULA_LINK");
  AddLocalizedControl(IDC_SDK_LINK, "SDK_LINK");
  UpdateTexts();
  SizeLinksToContent();

  m_privacyLink.SetUrl(config->m_privacyUrl);
  m_privacyLink.Show(!config->m_privacyUrl.empty());
  m_termsLink.SetUrl(config->m_termsUrl);
  m_termsLink.Show(!config->m_termsUrl.empty());
  m_sdkLink.SetUrl(kSdkPrivacyUrl);

  SendMessageW(Hwnd(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
  return TRUE;
}

void WelcomePageIsv::UpdateTexts() {
  IPage::UpdateTexts();
  SizeLinksToContent();
}

void WelcomePageIsv::SizeLinksToContent() {
  m_privacyLink.SizeToContent();
  m_termsLink.SizeToContent();
  m_sdkLink.SizeToContent();
}

void WelcomePageIsv::OnNext() {
  if (m_buttonCallback) m_buttonCallback(ButtonType::Next);
}
