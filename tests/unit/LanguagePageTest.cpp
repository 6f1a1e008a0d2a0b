// The language page's list in a real combo box, and applying a language to the run: the pages'
// texts, the configuration's record of the choice and the messages the user sees.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/PageLanguage.h"
#include "backend/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "ui/IPage.h"
#include "ui/LanguagePage.h"
#include "win/Control.h"
#include "ui/AppMessageBox.h"
#include "win/Text.h"

namespace {

using Names = std::vector<std::wstring>;

constexpr UINT kNotWellFormed = 9001;   // test documents of locale_test.rc
constexpr UINT kNoNameAttribute = 9003;
constexpr UINT kKeyWithoutText = 9004;
constexpr UINT kMissing = 8999;

// Takes over the application's message boxes for one test and records them.
class MessageBoxes {
 public:
  MessageBoxes() {
    SetAppMessageBoxHook([this](const std::wstring& text, UINT style) {
      m_texts.push_back(text);
      m_styles.push_back(style);
      return IDOK;
    });
  }
  ~MessageBoxes() { SetAppMessageBoxHook({}); }
  const Names& Texts() const { return m_texts; }
  const std::vector<UINT>& Styles() const { return m_styles; }

 private:
  Names m_texts;
  std::vector<UINT> m_styles;
};

// A real, hidden drop-down list combo box in a hidden popup window.
class HiddenCombo {
 public:
  HiddenCombo() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, instance, nullptr);
    CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, 10, 10, 150, 120, m_parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), instance, nullptr);
    if (!m_combo.Attach(m_parent, kId)) ADD_FAILURE() << "no combo box: Wine makes windows only on an X display";
  }
  ~HiddenCombo() { DestroyWindow(m_parent); }
  win::ComboBox& Combo() { return m_combo; }
  Names Items() const {
    Names items;
    for (int i = 0; i < m_combo.Count(); ++i) items.push_back(m_combo.ItemText(i));
    return items;
  }
  std::wstring Selected() const { return m_combo.Selection() == CB_ERR ? L"" : m_combo.ItemText(m_combo.Selection()); }

 private:
  static constexpr int kId = 1000;
  HWND m_parent = nullptr;
  win::ComboBox m_combo;
};

// A page without a window that notes, when it is re-texted, which BUTTON_NEXT text it sees.
class RecordingPage : public IPage {
 public:
  RecordingPage(std::shared_ptr<LanguageManager> manager, std::wstring name, Names& log)
      : IPage(manager, 0, nullptr), m_manager(std::move(manager)), m_name(std::move(name)), m_log(log) {}
  void OnNavigateToPage() override {}
  void UpdateTexts() override {
    m_log.push_back(m_name + L":" + m_manager->GetString("BUTTON_NEXT"));
    IPage::UpdateTexts();
  }
  std::wstring GetPageName() const override { return L"RecordingPage"; }

 private:
  std::shared_ptr<LanguageManager> m_manager;
  std::wstring m_name;
  Names& m_log;
};

// Every test leaves the process-wide configuration as it found it.
class LanguagePageTest : public ::testing::Test {
 protected:
  void SetUp() override { m_saved = {m_config->m_productName, m_config->m_languageName, m_config->m_localeCode}; }
  void TearDown() override {
    m_config->m_productName = m_saved[0];
    m_config->m_languageName = m_saved[1];
    m_config->m_localeCode = m_saved[2];
  }

  std::shared_ptr<ConfigurationManager> m_config = ConfigurationManager::GetInstance();
  std::shared_ptr<LanguageManager> m_manager = std::make_shared<LanguageManager>();
  MessageBoxes m_boxes;
  HiddenCombo m_window;

 private:
  Names m_saved;
};

}  // namespace

TEST_F(LanguagePageTest, ComboListsTheLanguagesAfreshAndSelectsTheUsers) {
  const std::vector<UINT> ids{kLocaleDlmEnglish, kLocaleDlmSpanish};
  PopulateLanguageCombo(*m_manager, m_window.Combo(), ids, L"espa\u00f1ol");
  EXPECT_EQ(m_window.Items(), (Names{L"English", L"espa\u00f1ol"}));
  EXPECT_EQ(m_window.Combo().Selection(), 1);
  PopulateLanguageCombo(*m_manager, m_window.Combo(), ids, L"fran\u00e7ais");
  EXPECT_EQ(m_window.Items().size(), 2u);  // filled afresh, not appended
  EXPECT_EQ(m_window.Combo().Selection(), 0);
  EXPECT_TRUE(m_boxes.Texts().empty());

  PopulateLanguageCombo(*m_manager, m_window.Combo(), kWizardDlm);
  EXPECT_EQ(m_window.Items(), (Names{L"English", L"espa\u00f1ol"}));
  EXPECT_EQ(m_window.Selected(), UserLanguageDisplayName() == L"espa\u00f1ol" ? L"espa\u00f1ol" : L"English");
}

TEST_F(LanguagePageTest, DocumentsThatCannotBeListedShowTheirMessages) {
  PopulateLanguageCombo(*m_manager, m_window.Combo(), {kMissing, kNotWellFormed, kLocaleDlmEnglish, kNoNameAttribute},
                        L"English");
  EXPECT_EQ(m_window.Items(), Names{L"English"});
  ASSERT_EQ(m_boxes.Texts().size(), 3u);
  EXPECT_EQ(m_boxes.Texts()[0], L"Failed to find resource with id: 8999");
  EXPECT_EQ(m_boxes.Texts()[1].rfind(L"Failed to parse language xml file, error code: ", 0), 0u);
  EXPECT_NE(m_boxes.Texts()[1].find(L"XML_ERROR_MISMATCHED_ELEMENT"), std::wstring::npos);
  EXPECT_EQ(m_boxes.Texts()[2], L"Failed to parse language xml file, error code: No name attribute");
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>(3, MB_OK)));
}

TEST_F(LanguagePageTest, UnknownWizardTypeOffersNoLanguages) {
  m_window.Combo().AddString(L"stale");
  PopulateLanguageCombo(*m_manager, m_window.Combo(), kWizardUnknown);
  EXPECT_EQ(m_window.Combo().Count(), 0);
  EXPECT_EQ(m_window.Combo().Selection(), CB_ERR);
  EXPECT_EQ(m_boxes.Texts(), Names{L"Unknown wizard type (language manager"});
  EXPECT_EQ(m_boxes.Styles(), std::vector<UINT>{MB_OK});
  EXPECT_FALSE(ApplyLanguageToPages(*m_manager, L"English", {}));
}

TEST_F(LanguagePageTest, ApplyingRetextsEveryPageInOrderAndRecordsTheLanguage) {
  m_config->m_productName = L"Caf\u00e9";
  PopulateLanguageCombo(*m_manager, m_window.Combo(), kWizardDlm);
  Names log;
  RecordingPage first(m_manager, L"first", log);
  RecordingPage second(m_manager, L"second", log);
  ASSERT_TRUE(ApplyLanguageToPages(*m_manager, L"espa\u00f1ol", {&first, &second}));
  EXPECT_EQ(log, (Names{L"first:SIGUIENTE", L"second:SIGUIENTE"}));
  EXPECT_EQ(m_manager->GetString("PROGRESS_DESC"), L"Descargando Caf\u00e9, si\u00e9ntese y rel\u00e1jese");
  EXPECT_EQ(m_config->m_languageName, L"espa\u00f1ol");
  EXPECT_EQ(m_config->m_localeCode, L"es");

  log.clear();
  ASSERT_TRUE(ApplyLanguageToPages(*m_manager, L"English", {&second, &first}));
  EXPECT_EQ(log, (Names{L"second:Next", L"first:Next"}));
  EXPECT_EQ(m_config->m_localeCode, L"en_US");

  // A language that was not listed changes nothing.
  log.clear();
  EXPECT_FALSE(ApplyLanguageToPages(*m_manager, L"Deutsch", {&first}));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(m_config->m_languageName, L"English");
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LanguagePageTest, LanguageWhoseTableBreaksOffIsStillApplied) {
  // The message comes first; the pages then get what was read before the break.
  PopulateLanguageCombo(*m_manager, m_window.Combo(), {kLocaleDlmEnglish, kKeyWithoutText}, L"English");
  ASSERT_EQ(m_window.Items(), (Names{L"English", L"zz_ZZ"}));
  Names log;
  RecordingPage page(m_manager, L"page", log);
  SetAppMessageBoxHook([&log](const std::wstring& text, UINT) {
    log.push_back(text);
    return IDOK;
  });
  EXPECT_TRUE(ApplyLanguageToPages(*m_manager, L"zz_ZZ", {&page}));
  EXPECT_EQ(log, (Names{L"Failed to parse language xml file, error code: No name or text attribute", L"page:"}));
  EXPECT_EQ(m_manager->GetString("FIRST"), L"one {SECOND}");
  EXPECT_EQ(m_config->m_localeCode, L"zz_ZZ");
}

// ---- Run by tests/gui/test_locale_preselect.py under several Unix locales ----

namespace {
// "%XX" escapes of UTF-8 bytes, so that the expected name survives any environment encoding.
std::wstring PercentDecoded(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      bytes.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      bytes.push_back(text[i]);
    }
  }
  return win::FromUtf8(bytes);
}
}  // namespace

TEST(LocalePreselectChild, SelectsTheUsersLanguage) {
  const char* expected = std::getenv("WELVANE_EXPECTED_LANGUAGE");
  if (!expected) GTEST_SKIP() << "run by tests/gui/test_locale_preselect.py";
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
  std::cout << "user locale: " << win::ToUtf8(locale) << std::endl;
  if (const char* expectedLocale = std::getenv("WELVANE_EXPECTED_USER_LOCALE")) {
    EXPECT_EQ(win::ToUtf8(locale), expectedLocale);
  }
  HiddenCombo window;
  LanguageManager manager;
  PopulateLanguageCombo(manager, window.Combo(), kWizardDlm);
  EXPECT_EQ(window.Selected(), PercentDecoded(expected));
}
