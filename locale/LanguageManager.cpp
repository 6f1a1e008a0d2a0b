#include "locale/LanguageManager.h"

#include "backend/WizardType.h"
#include "win/Dialog.h"
#include "win/Text.h"

namespace {

constexpr int kLocaleNameLength = 85;  // LOCALE_NAME_MAX_LENGTH
constexpr wchar_t kResourceType[] = L"LOCALE";
constexpr char kProductTitleKey[] = "PRODUCT_TITLE";

// "Failed to parse language xml file, error code: %S" with a narrow reason.
std::wstring ParseFailure(const char* reason) {
  return L"Failed to parse language xml file, error code: " + win::Widen(reason ? reason : "", CP_ACP);
}

}  // namespace

std::vector<UINT> GetLocaleResourceIds(int wizardType, LocaleMessages& messages) {
  switch (wizardType) {
    case kWizardDlm:
      return {kLocaleDlmEnglish, kLocaleDlmSpanish};
    case kWizardIsv:
      return {kLocaleIsvEnglish, kLocaleIsvSpanish};
    case kWizardUnknown:
      messages.push_back(L"Unknown wizard type (language manager");
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

bool LoadLocaleResource(UINT id, tinyxml2::XMLDocument& doc, LocaleMessages& messages) {
  const HMODULE module = win::ResourceModule();
  const HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), kResourceType);
  if (!info) {
    messages.push_back(L"Failed to find resource with id: " + win::Decimal(static_cast<int>(id)));
    return false;
  }
  const HGLOBAL handle = LoadResource(module, info);
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) {
    messages.push_back(L"Failed to load resource with id: " + win::Decimal(static_cast<int>(id)));
    return false;
  }
  doc.Parse(static_cast<const char*>(data), SizeofResource(module, info));
  if (doc.Error()) {
    messages.push_back(ParseFailure(doc.ErrorStr()));
    return false;
  }
  return true;
}

std::vector<std::wstring> LanguageManager::ListLanguages(const std::vector<UINT>& resourceIds,
                                                         LocaleMessages& messages) {
  m_resourceByLanguage.clear();
  m_codeByLanguage.clear();
  std::vector<std::wstring> listed;
  for (const UINT id : resourceIds) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadLocaleResource(id, doc, messages)) continue;
    const tinyxml2::XMLElement* root = doc.FirstChildElement("Locale");
    if (!root) continue;
    const char* code = root->Attribute("name");
    if (!code) {
      messages.push_back(ParseFailure("No name attribute"));
      continue;
    }
    const std::wstring localeCode = win::FromUtf8(code);
    const std::wstring displayName = GetLanguageDisplayName(localeCode);
    listed.push_back(displayName);
    m_resourceByLanguage[displayName] = id;
    m_codeByLanguage[displayName] = localeCode;
  }
  return listed;
}

bool LanguageManager::SetLanguage(const std::wstring& displayName, const std::wstring& productTitle,
                                  LocaleMessages& messages) {
  const auto resource = m_resourceByLanguage.find(displayName);
  if (resource == m_resourceByLanguage.end()) return false;
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (!LoadLocaleResource(resource->second, doc, messages)) return false;
  LoadStrings(doc, productTitle, messages);  // a table that breaks off is applied as far as it goes
  return true;
}

std::wstring LanguageManager::LocaleCode(const std::wstring& displayName) const {
  const auto code = m_codeByLanguage.find(displayName);
  return code != m_codeByLanguage.end() ? code->second : std::wstring();
}

std::wstring LanguageManager::GetString(const std::string& key) const {
  const auto entry = m_strings.find(key);
  if (entry == m_strings.end() || entry->second.empty()) return {};
  return win::FromUtf8(entry->second);
}

bool LanguageManager::LoadStrings(tinyxml2::XMLDocument& doc, const std::wstring& productTitle,
                                  LocaleMessages& messages) {
  const tinyxml2::XMLElement* root = doc.FirstChildElement("Locale");
  if (!root) {
    messages.push_back(ParseFailure("No Locale element"));
    return false;
  }
  m_strings.clear();
  m_strings[kProductTitleKey] = win::ToUtf8(productTitle);

  for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element;
       element = element->NextSiblingElement()) {
    // The value is the first child that is not a comment, if that is text.
    const tinyxml2::XMLNode* node = element->FirstChild();
    while (node && node->ToComment()) node = node->NextSibling();
    const tinyxml2::XMLText* text = node ? node->ToText() : nullptr;
    const char* key = element->Name();
    const char* value = text ? text->Value() : nullptr;
    if (!key || !*key || !value) {
      messages.push_back(ParseFailure("No name or text attribute"));
      return false;
    }
    m_strings[key] = value;
  }
  ExpandPlaceholders(m_strings);
  return true;
}
