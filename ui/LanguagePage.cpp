#include "ui/LanguagePage.h"

#include "locale/LanguageManager.h"
#include "resources/pages.h"

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : IPage(std::move(languageManager), IDD_LANGUAGE_PAGE, parent) {
  OnCommand(IDC_LANGUAGE_COMBO, CBN_SELCHANGE, [this] { OnSelectionChange(); });
  OnCommand(IDC_NEXT_BUTTON, [this] { OnNext(); });
}

BOOL LanguagePage::OnInitDialog() {
  m_languageCombo.Attach(Hwnd(), IDC_LANGUAGE_COMBO);
  AddLocalizedControl(IDC_NEXT_BUTTON, "BUTTON_NEXT");
  AddLocalizedControl(IDC_SPLASH_TEXT, "SPLASH_TEXT");
  m_languageManager->PopulateLanguageCombo(m_languageCombo);
  OnSelectionChange();
  SendMessageW(Hwnd(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
  return TRUE;
}

void LanguagePage::OnSelectionChange() {
  const int selected = m_languageCombo.Selection();
  if (selected == CB_ERR) return;
  m_languageManager->SetLanguage(m_languageCombo.ItemText(selected));
}

void LanguagePage::OnNext() {
  if (m_buttonCallback) m_buttonCallback(ButtonType::Next);
}
