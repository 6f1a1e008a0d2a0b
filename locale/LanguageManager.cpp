#include "locale/LanguageManager.h"

#include <algorithm>

#include "backend/ConfigurationManager.h"
#include "ui/IPage.h"
#include "win/Control.h"
#include "win/Dialog.h"
#include "win/MessageBox.h"
#include "win/Text.h"

namespace {

constexpr int kLocaleNameLength = 85;  // LOCALE_NAME_MAX_LENGTH
constexpr wchar_t kResourceType[] = L"LOCALE";
constexpr char kProductTitleKey[] = "PRODUCT_TITLE";

// "Failed to parse language xml file, error code: %S" with a narrow reason.
void ShowParseFailure(const char* reason) {
  win::AppMessageBox(L"Failed to parse language xml file, error code: " + win::Widen(reason ? reason : "", CP_ACP),
                     MB_OK);
}

}  // namespace

std::vector<UINT> GetLocaleResourceIds() {
  switch (ConfigurationManager::GetInstance()->m_wizardType) {
    case kWizardDlm:
      return {kLocaleDlmEnglish, kLocaleDlmSpanish};
    case kWizardIsv:
      return {kLocaleIsvEnglish, kLocaleIsvSpanish};
    case kWizardUnknown:
      win::AppMessageBox(L"Unknown wizard type (language manager", MB_OK);
      return {};
    default:
      return {};
  }
}

std::wstring GetLanguageDisplayName(const std::wstring& code) {
  wchar_t name[kLocaleNameLength] = {};
  if (GetLocaleInfoEx(code.c_str(), LOCALE_SNATIVELANGUAGENAME, name, kLocaleNameLength) > 0) return name;
  if (code.size() > 2) {
    const std::wstring language = code.substr(0, 2);
    if (GetLocaleInfoEx(language.c_str(), LOCALE_SNATIVELANGUAGENAME, name, kLocaleNameLength) > 0) return name;
  }
  return code;
}

std::wstring UserLanguageDisplayName() {
  wchar_t locale[kLocaleNameLength] = {};
  std::wstring name;
  if (GetUserDefaultLocaleName(locale, kLocaleNameLength) > 0) name = GetLanguageDisplayName(locale);
  return name.empty() ? L"English" : name;
}

int PreselectedIndex(const std::vector<std::wstring>& displayNames, const std::wstring& userLanguage) {
  int selection = 0;
  for (size_t i = 0; i < displayNames.size(); ++i) {
    if (displayNames[i] == userLanguage) selection = static_cast<int>(i);
  }
  return selection;
}

bool LoadLocaleResource(UINT id, tinyxml2::XMLDocument& doc) {
  const HMODULE module = win::ResourceModule();
  const HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), kResourceType);
  if (!info) {
    win::AppMessageBox(win::FormatW(L"Failed to find resource with id: %d", static_cast<int>(id)), MB_OK);
    return false;
  }
  const HGLOBAL handle = LoadResource(module, info);
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) {
    win::AppMessageBox(win::FormatW(L"Failed to load resource with id: %d", static_cast<int>(id)), MB_OK);
    return false;
  }
  doc.Parse(static_cast<const char*>(data), SizeofResource(module, info));
  if (doc.Error()) {
    ShowParseFailure(doc.ErrorStr());
    return false;
  }
  return true;
}

LanguageManager::LanguageManager(HWND owner) : m_owner(owner) {}

void LanguageManager::PopulateLanguageCombo(win::ComboBox& combo) {
  const std::vector<UINT> ids = GetLocaleResourceIds();
  PopulateLanguageCombo(combo, ids, UserLanguageDisplayName());
}

void LanguageManager::PopulateLanguageCombo(win::ComboBox& combo, const std::vector<UINT>& resourceIds,
                                            const std::wstring& userLanguage) {
  m_resourceByLanguage.clear();
  m_codeByLanguage.clear();
  combo.Clear();

  std::vector<std::wstring> listed;
  for (const UINT id : resourceIds) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadLocaleResource(id, doc)) continue;  // the message has been shown
    const tinyxml2::XMLElement* root = doc.FirstChildElement("Locale");
    if (!root) continue;
    const char* code = root->Attribute("name");
    if (!code) {
      ShowParseFailure("No name attribute");
      continue;
    }
    const std::wstring localeCode = win::FromUtf8(code);
    const std::wstring displayName = GetLanguageDisplayName(localeCode);
    combo.AddString(displayName);  // the combo box is not sorted: items keep this order
    listed.push_back(displayName);
    m_resourceByLanguage[displayName] = id;
    m_codeByLanguage[displayName] = localeCode;
  }
  combo.Select(PreselectedIndex(listed, userLanguage));
}

bool LanguageManager::SetLanguage(const std::wstring& displayName) {
  const auto resource = m_resourceByLanguage.find(displayName);
  if (resource == m_resourceByLanguage.end()) return false;
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (!LoadLocaleResource(resource->second, doc)) return false;
  LoadStrings(doc);

  // By index: a page may come or go while the pages change their texts.
  for (size_t i = 0; i < m_pages.size(); ++i) m_pages[i]->UpdateTexts();

  const auto code = m_codeByLanguage.find(displayName);
  const auto config = ConfigurationManager::GetInstance();
  config->m_languageName = displayName;
  config->m_localeCode = code != m_codeByLanguage.end() ? code->second : std::wstring();
  return true;
}

std::wstring LanguageManager::GetString(const std::string& key) const {
  const auto entry = m_strings.find(key);
  if (entry == m_strings.end() || entry->second.empty()) return {};
  return win::FromUtf8(entry->second);
}

bool LanguageManager::LoadStrings(tinyxml2::XMLDocument& doc) {
  const tinyxml2::XMLElement* root = doc.FirstChildElement("Locale");
  if (!root) {
    ShowParseFailure("No Locale element");
    return false;
  }
  m_strings.clear();
  m_strings[kProductTitleKey] = win::ToUtf8(ConfigurationManager::GetInstance()->m_productName);

  for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element;
       element = element->NextSiblingElement()) {
    // The value is the first child that is not a comment, if that is text.
    const tinyxml2::XMLNode* node = element->FirstChild();
    while (node && node->ToComment()) node = node->NextSibling();
    const tinyxml2::XMLText* text = node ? node->ToText() : nullptr;
    const char* key = element->Name();
    const char* value = text ? text->Value() : nullptr;
    if (!key || !*key || !value) {
      ShowParseFailure("No name or text attribute");
      return false;
    }
    m_strings[key] = value;
  }
  ExpandPlaceholders(m_strings);
  return true;
}

void LanguageManager::AddPage(IPage* page) { m_pages.push_back(page); }

void LanguageManager::RemovePage(IPage* page) {
  m_pages.erase(std::remove(m_pages.begin(), m_pages.end(), page), m_pages.end());
}
