#pragma once
// The first page: choose the language. The page lists the languages of the wizard type and reports
// each choice to the host, which applies it to every page at once.
#include <functional>
#include <string>
#include <vector>

#include "ui/IPage.h"
#include "win/Control.h"

class LanguagePage : public IPage {
 public:
  LanguagePage(std::shared_ptr<LanguageManager> languageManager, int wizardType, HWND parent);

  void OnNavigateToPage() override {}
  std::wstring GetPageName() const override { return L"LanguagePage"; }

  // The display name of the selected language; empty when none is selected.
  std::wstring SelectedLanguage() const;

  // Set by the host: called with the display name whenever the user selects a language.
  std::function<void(const std::wstring& displayName)> m_onLanguageSelected;

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnSelectionChange();
  void OnNext();

  int m_wizardType;
  win::ComboBox m_languageCombo;
};

// Fills `combo` afresh with the languages of the documents `resourceIds`, in that order (the
// manager remembers them for SetLanguage), and selects `userLanguage`, else the first. Shows the
// message of each document that cannot be listed.
void PopulateLanguageCombo(LanguageManager& manager, win::ComboBox& combo, const std::vector<UINT>& resourceIds,
                           const std::wstring& userLanguage);
// The same for the documents of `wizardType` and the user's language.
void PopulateLanguageCombo(LanguageManager& manager, win::ComboBox& combo, int wizardType);
