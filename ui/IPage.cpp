#include "ui/IPage.h"

#include "locale/LanguageManager.h"

IPage::IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent)
    : win::Dialog(templateId), m_languageManager(std::move(languageManager)), m_parent(parent) {}

void IPage::AddLocalizedControl(UINT id, const std::string& key) {
  m_localizedControls.emplace_back(Item(static_cast<int>(id)), key);
}

void IPage::UpdateTexts() {
  if (!m_languageManager) return;
  for (const auto& [control, key] : m_localizedControls) {
    if (!control || !IsWindow(control)) continue;
    const std::wstring text = m_languageManager->GetString(key);
    if (!text.empty()) SetWindowTextW(control, text.c_str());
  }
}
