#include "ui/WelcomePageIsv.h"

#include <utility>

#include "backend/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "resources/pages.h"

const wchar_t kSdkPrivacyUrl[] = L"https://sdk.welvane.com/privacy/";

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
  m_termsLink.SetUrl(config->m_termsUrl);
  m_sdkLink.SetUrl(kSdkPrivacyUrl);
  ShowLinks();

  SendMessageW(Hwnd(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
  return TRUE;
}

void WelcomePageIsv::OnNavigateToPage() { SetFocus(Item(IDC_NEXT_BUTTON)); }

void WelcomePageIsv::UpdateTexts() {
  IPage::UpdateTexts();
  SizeLinksToContent();
  ShowLinks();
}

void WelcomePageIsv::ShowLinks() {
  if (!m_languageManager) return;
  const bool dlm = ConfigurationManager::GetInstance()->m_wizardType == kWizardDlm;
  const std::pair<LinkButton*, const char*> links[] = {
      {&m_privacyLink, "PRIVACY_LINK"}, {&m_termsLink, dlm ? "TOS_LINK" : "EULA_LINK"}, {&m_sdkLink, "SDK_LINK"}};
  for (const auto& [link, key] : links) {
    if (*link) link->Show(!link->Url().empty() && !m_languageManager->GetString(key).empty());
  }
}

void WelcomePageIsv::SizeLinksToContent() {
  m_privacyLink.SizeToContent();
  m_termsLink.SizeToContent();
  m_sdkLink.SizeToContent();
}

void WelcomePageIsv::OnNext() {
  if (m_buttonCallback) m_buttonCallback(ButtonType::Next);
}
