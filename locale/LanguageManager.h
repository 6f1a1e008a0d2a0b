#pragma once
// The locale tables: the languages of a wizard type's embedded locale documents, and the table of
// the chosen language with its {KEY} references expanded. A pure table: it shows nothing and knows
// neither pages nor the configuration. What fails is reported to the caller as the texts of the
// messages the application shows. One manager per run, used on the UI thread only.
#include <windows.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <tinyxml2.h>

#include "locale/Placeholders.h"

// Resource ids of the locale documents (custom resource type "LOCALE", resources/locale.rc).
constexpr UINT kLocaleDlmEnglish = 105;
constexpr UINT kLocaleDlmSpanish = 106;
constexpr UINT kLocaleIsvEnglish = 101;
constexpr UINT kLocaleIsvSpanish = 102;

// Texts of the failures met, in order; the application shows each in an MB_OK message box.
using LocaleMessages = std::vector<std::wstring>;

class LanguageManager {
 public:
  // The display names of the documents' languages, in the order of `resourceIds`; the manager
  // remembers each name's document and locale code for SetLanguage and LocaleCode (a later
  // document of the same name wins). A document that cannot be read or has no name attribute is
  // left out with a message; one without a Locale element is left out silently.
  std::vector<std::wstring> ListLanguages(const std::vector<UINT>& resourceIds, LocaleMessages& messages);

  // Loads the table of a language listed by ListLanguages, with `productTitle` as PRODUCT_TITLE.
  // False when the language is not listed (no message) or its document cannot be read; the
  // previous table then stays. A table that breaks off (LoadStrings) still counts as loaded.
  bool SetLanguage(const std::wstring& displayName, const std::wstring& productTitle, LocaleMessages& messages);

  // The locale code of a listed language's document; empty when the language is not listed.
  std::wstring LocaleCode(const std::wstring& displayName) const;

  // The current table's text for `key`; empty when the key is missing or its value is empty.
  std::wstring GetString(const std::string& key) const;

  // Replaces the table with the keys of a parsed locale document plus PRODUCT_TITLE and expands
  // the references. False (with a message) when the document has no Locale element (the table
  // stays as it was) or a key element has no text (the table keeps the keys before it, unexpanded).
  bool LoadStrings(tinyxml2::XMLDocument& doc, const std::wstring& productTitle, LocaleMessages& messages);

  // The current table: key to UTF-8 value, ordered by key.
  const std::map<std::string, std::string>& Strings() const { return m_strings; }

 private:
  std::unordered_map<std::wstring, UINT> m_resourceByLanguage;
  std::unordered_map<std::wstring, std::wstring> m_codeByLanguage;
  std::map<std::string, std::string> m_strings;
};

// The locale documents of a wizard type, English first: DLM {105, 106}, ISV {101, 102}. The
// unknown type (0) gives none with the message "Unknown wizard type (language manager"; any other
// type gives none silently.
std::vector<UINT> GetLocaleResourceIds(int wizardType, LocaleMessages& messages);

// The system's native name of a locale code's language ("English" for "en_US", "español" for
// "es"), tried again with the first two characters; the code itself when the system has no name.
std::wstring GetLanguageDisplayName(const std::wstring& code);

// The display name of the user's default locale, "English" when it cannot be had.
std::wstring UserLanguageDisplayName();

// The index to preselect among `displayNames`: the last one equal to `userLanguage` (exact,
// case-sensitive), else 0.
int PreselectedIndex(const std::vector<std::wstring>& displayNames, const std::wstring& userLanguage);

// Parses the LOCALE resource `id` of the executable into `doc`, which the caller constructs with
// entities processed and whitespace preserved:
//   tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
// False, with a message, when the resource is missing, cannot be loaded or does not parse.
bool LoadLocaleResource(UINT id, tinyxml2::XMLDocument& doc, LocaleMessages& messages);
