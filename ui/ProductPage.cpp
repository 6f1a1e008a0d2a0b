#include "ui/ProductPage.h"

#include <commctrl.h>

#include "packages/Package.h"
#include "resources/pages.h"
#include "ui/ConsentText.h"
#include "win/Gdiplus.h"
#include "win/Shell.h"

namespace {
constexpr int kDeclineEvent = 4;
}

ProductPage::ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> offer,
                         HWND parent)
    : IPage(std::move(languageManager), IDD_PRODUCT_PAGE, parent), m_offer(std::move(offer)) {
  OnCommand(IDC_ACCEPT_BUTTON, [this] { OnAccept(); });
  OnCommand(IDC_DECLINE_BUTTON, [this] { OnDecline(); });
  OnMessage(WM_NOTIFY, [this](WPARAM, LPARAM lParam) { return OnNotify(lParam); });
  OnMessage(WM_SHOWWINDOW, [this](WPARAM shown, LPARAM) -> std::optional<LRESULT> {
    if (shown) m_showGuard.OnShown();
    return std::nullopt;
  });
}

BOOL ProductPage::OnInitDialog() {
  m_image.Attach(Hwnd(), IDC_OFFER_IMAGE);
  m_acceptButton.Attach(Hwnd(), IDC_ACCEPT_BUTTON, &m_showGuard);
  m_declineButton.Attach(Hwnd(), IDC_DECLINE_BUTTON, &m_showGuard);
  if (m_offer) m_image.SetImage(m_offer->m_image);
  AddLocalizedControl(IDC_ACCEPT_BUTTON, "BUTTON_ACCEPT");
  AddLocalizedControl(IDC_DECLINE_BUTTON, "BUTTON_DECLINE");
  UpdateTexts();
  BuildTermsText();
  return TRUE;
}

void ProductPage::BuildTermsText() {
  if (!m_offer) return;
  SetItemText(IDC_TERMS_TEXT, ConsentTextFromUtf8(m_offer->m_displayName, m_offer->m_privacyUrl, m_offer->m_termsUrl));
}


void ProductPage::OnAccept() {
  if (m_answered) return;
  m_answered = true;
  if (m_buttonCallback) m_buttonCallback(ButtonType::Accept);
}

void ProductPage::OnDecline() {
  if (m_answered) return;
  m_answered = true;
  if (m_offer) m_offer->SendEvent(kDeclineEvent);
  if (m_buttonCallback) m_buttonCallback(ButtonType::Decline);
}

std::optional<LRESULT> ProductPage::OnNotify(LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header || header->idFrom != IDC_TERMS_TEXT || header->code != NM_CLICK) return std::nullopt;
  const auto* link = reinterpret_cast<const NMLINK*>(lParam);
  win::OpenWebLink(link->item.szUrl);  // only web addresses are opened
  return 0;
}
