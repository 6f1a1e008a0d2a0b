#include "ui/LanguagePage.h"

#include "locale/LanguageManager.h"
#include "resources/pages.h"
#include "ui/AppMessageBox.h"

namespace {

void ShowMessages(const LocaleMessages& messages) {
  for (const std::wstring& text : messages) AppMessageBox(text, MB_OK);
}

}  // namespace

void PopulateLanguageCombo(LanguageManager& manager, win::ComboBox& combo, const std::vector<UINT>& resourceIds,
                           const std::wstring& userLanguage) {
  combo.Clear();
  LocaleMessages messages;
  const std::vector<std::wstring> languages = manager.ListLanguages(resourceIds, messages);
  ShowMessages(messages);
  for (const std::wstring& language : languages) combo.AddString(language);  // not sorted: items keep this order
  combo.Select(PreselectedIndex(languages, userLanguage));
}

void PopulateLanguageCombo(LanguageManager& manager, win::ComboBox& combo, int wizardType) {
  LocaleMessages messages;
  const std::vector<UINT> ids = GetLocaleResourceIds(wizardType, messages);
  ShowMessages(messages);
  PopulateLanguageCombo(manager, combo, ids, UserLanguageDisplayName());
}

LanguagePage::LanguagePage(std::shared_ptr<LanguageManager> languageManager, int wizardType, HWND parent)
    : IPage(std::move(languageManager), IDD_LANGUAGE_PAGE, parent), m_wizardType(wizardType) {
  OnCommand(IDC_LANGUAGE_COMBO, CBN_SELCHANGE, [this] { OnSelectionChange(); });
  OnCommand(IDC_NEXT_BUTTON, [this] { OnNext(); });
}

BOOL LanguagePage::OnInitDialog() {
  m_languageCombo.Attach(Hwnd(), IDC_LANGUAGE_COMBO);
  AddLocalizedControl(IDC_NEXT_BUTTON, "BUTTON_NEXT");
  AddLocalizedControl(IDC_SPLASH_TEXT, "SPLASH_TEXT");
  PopulateLanguageCombo(*m_languageManager, m_languageCombo, m_wizardType);
  SendMessageW(Hwnd(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
  return TRUE;
}

std::wstring LanguagePage::SelectedLanguage() const {
  const int selected = m_languageCombo.Selection();
  return selected == CB_ERR ? std::wstring() : m_languageCombo.ItemText(selected);
}

void LanguagePage::OnSelectionChange() {
  if (m_languageCombo.Selection() == CB_ERR) return;
  if (m_onLanguageSelected) m_onLanguageSelected(SelectedLanguage());
}

void LanguagePage::OnNext() {
  if (m_buttonCallback) m_buttonCallback(ButtonType::Next);
}
