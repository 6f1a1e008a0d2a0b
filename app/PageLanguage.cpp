#include "app/PageLanguage.h"

#include "backend/ConfigurationManager.h"
#include "backend/RunLog.h"
#include "locale/LanguageManager.h"
#include "ui/IPage.h"
#include "ui/AppMessageBox.h"

bool ApplyLanguageToPages(LanguageManager& manager, const std::wstring& displayName, const std::vector<IPage*>& pages) {
  const auto config = ConfigurationManager::GetInstance();
  LocaleMessages messages;
  const bool loaded = manager.SetLanguage(displayName, config->m_productName, messages);
  for (const std::wstring& text : messages) AppMessageBox(text, MB_OK);
  if (!loaded) return false;
  for (IPage* page : pages) page->UpdateTexts();
  config->m_languageName = displayName;
  config->m_localeCode = manager.LocaleCode(displayName);
  runlog::Write(L"Language: " + displayName + L" (" + config->m_localeCode + L")");
  return true;
}
