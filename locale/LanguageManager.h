#pragma once
// The locale tables: the languages of the wizard type's embedded locale documents, the table of
// the chosen language with its {KEY} references expanded, and the re-texting of every page when
// a language is (re)applied. One manager per run, used on the UI thread only.
#include <windows.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <tinyxml2.h>

#include "locale/Placeholders.h"

class IPage;
namespace win {
class ComboBox;
}

// Resource ids of the locale documents (custom resource type "LOCALE", resources/locale.rc).
constexpr UINT kLocaleDlmEnglish = 105;
constexpr UINT kLocaleDlmSpanish = 106;
constexpr UINT kLocaleIsvEnglish = 101;
constexpr UINT kLocaleIsvSpanish = 102;

class LanguageManager {
 public:
  explicit LanguageManager(HWND owner);

  // Fills the language combo box with the display names of the wizard type's documents and
  // selects the user's language (the first entry when none matches).
  void PopulateLanguageCombo(win::ComboBox& combo);
  // The same with the documents and the user's language given: the documents are listed in the
  // order of `resourceIds`; `userLanguage` is compared with their display names.
  void PopulateLanguageCombo(win::ComboBox& combo, const std::vector<UINT>& resourceIds,
                             const std::wstring& userLanguage);

  // Loads the table of a language listed by PopulateLanguageCombo, re-texts every page and
  // records the language in the configuration. False when the language is not listed or its
  // document cannot be read; the previous table then stays.
  bool SetLanguage(const std::wstring& displayName);

  // The current table's text for `key`; empty when the key is missing or its value is empty.
  std::wstring GetString(const std::string& key) const;

  // Replaces the table with the keys of a parsed locale document plus PRODUCT_TITLE and expands
  // the references. False (with a message) when the document has no Locale element (the table
  // stays as it was) or a key element has no text (the table keeps the keys before it, unexpanded).
  bool LoadStrings(tinyxml2::XMLDocument& doc);

  // Pages register themselves on construction and leave on destruction.
  void AddPage(IPage* page);
  void RemovePage(IPage* page);

  HWND Owner() const { return m_owner; }
  // The current table: key to UTF-8 value, ordered by key.
  const std::map<std::string, std::string>& Strings() const { return m_strings; }

 private:
  HWND m_owner;
  std::unordered_map<std::wstring, UINT> m_resourceByLanguage;
  std::unordered_map<std::wstring, std::wstring> m_codeByLanguage;
  std::vector<IPage*> m_pages;
  std::map<std::string, std::string> m_strings;
};

// The locale documents of the configured wizard type, English first: DLM {105, 106}, ISV {101, 102}.
// A wizard type of 0 shows "Unknown wizard type (language manager"; any other gives none silently.
std::vector<UINT> GetLocaleResourceIds();

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
// False, after a message box, when the resource is missing, cannot be loaded or does not parse.
bool LoadLocaleResource(UINT id, tinyxml2::XMLDocument& doc);
