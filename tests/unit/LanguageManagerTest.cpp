// The locale tables: reference expansion, the embedded documents, the language list and its
// preselection, applying a language, and every failure message.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backend/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "locale/Placeholders.h"
#include "ui/IPage.h"
#include "win/Control.h"
#include "win/MessageBox.h"
#include "win/Text.h"

namespace {

using Table = std::map<std::string, std::string>;

constexpr wchar_t kParseFailure[] = L"Failed to parse language xml file, error code: ";

// Test documents embedded by locale_test.rc.
constexpr UINT kNotWellFormed = 9001;
constexpr UINT kNoLocaleElement = 9002;
constexpr UINT kNoNameAttribute = 9003;
constexpr UINT kKeyWithoutText = 9004;
constexpr UINT kElementValue = 9005;
constexpr UINT kEdgeCases = 9006;
constexpr UINT kFrench = 9007;
constexpr UINT kMexicanSpanish = 9008;
constexpr UINT kMissing = 8999;  // no resource has this id

Table Expanded(Table table) {
  ExpandPlaceholders(table);
  return table;
}

// Takes over the application's message boxes for one test and records them.
class MessageBoxes {
 public:
  MessageBoxes() {
    win::SetAppMessageBoxHook([this](const std::wstring& text, UINT style) {
      m_texts.push_back(text);
      m_styles.push_back(style);
      return IDOK;
    });
  }
  ~MessageBoxes() { win::SetAppMessageBoxHook({}); }
  const std::vector<std::wstring>& Texts() const { return m_texts; }
  const std::vector<UINT>& Styles() const { return m_styles; }

 private:
  std::vector<std::wstring> m_texts;
  std::vector<UINT> m_styles;
};

// Every test leaves the process-wide configuration as it found it.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved.wizardType = m_config->m_wizardType;
    m_saved.productName = m_config->m_productName;
    m_saved.languageName = m_config->m_languageName;
    m_saved.localeCode = m_config->m_localeCode;
  }
  void TearDown() override {
    m_config->m_wizardType = m_saved.wizardType;
    m_config->m_productName = m_saved.productName;
    m_config->m_languageName = m_saved.languageName;
    m_config->m_localeCode = m_saved.localeCode;
  }

  // Loads an embedded document into the manager's table.
  static void LoadTable(LanguageManager& manager, UINT id) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    ASSERT_TRUE(LoadLocaleResource(id, doc));
    ASSERT_TRUE(manager.LoadStrings(doc));
  }

  // The number of key elements of an embedded document.
  static int KeyCount(UINT id) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadLocaleResource(id, doc)) return -1;
    int count = 0;
    for (auto* e = doc.FirstChildElement("Locale")->FirstChildElement(); e; e = e->NextSiblingElement()) ++count;
    return count;
  }

  std::shared_ptr<ConfigurationManager> m_config = ConfigurationManager::GetInstance();
  MessageBoxes m_boxes;

 private:
  struct {
    int wizardType;
    std::wstring productName, languageName, localeCode;
  } m_saved{};
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
  std::vector<std::wstring> Items() const {
    std::vector<std::wstring> items;
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
  RecordingPage(std::shared_ptr<LanguageManager> manager, std::wstring name, std::vector<std::wstring>& log)
      : IPage(manager, 0, nullptr), m_manager(std::move(manager)), m_name(std::move(name)), m_log(log) {}
  void OnNavigateToPage() override {}
  void SetButtonCallback(ButtonCallback) override {}
  void SetErrorCallback(ErrorCallback) override {}
  void UpdateTexts() override {
    m_log.push_back(m_name + L":" + m_manager->GetString("BUTTON_NEXT"));
    IPage::UpdateTexts();
  }
  std::wstring GetPageName() const override { return L"RecordingPage"; }

 private:
  std::shared_ptr<LanguageManager> m_manager;
  std::wstring m_name;
  std::vector<std::wstring>& m_log;
};

}  // namespace

// ---- Reference expansion ----

TEST(ExpandPlaceholders, NestedReferencesExpand) {
  const Table table = Expanded({{"A", "a[{B}]a"}, {"B", "b({C})b"}, {"C", "c"}, {"D", "{A}{A}"}});
  EXPECT_EQ(table.at("A"), "a[b(c)b]a");
  EXPECT_EQ(table.at("B"), "b(c)b");
  EXPECT_EQ(table.at("C"), "c");
  EXPECT_EQ(table.at("D"), "a[b(c)b]aa[b(c)b]a");
}

TEST(ExpandPlaceholders, NamesMissingFromTheTableStay) {
  const Table table = Expanded({{"A", "x {NOPE} y {B} {} {b}"}, {"B", "b"}});
  EXPECT_EQ(table.at("A"), "x {NOPE} y b {} {b}");
}

TEST(ExpandPlaceholders, OpenBraceWithoutLaterCloseStays) {
  const Table table =
      Expanded({{"A", "click {B"}, {"B", "b"}, {"C", "{B} and {"}, {"D", "} {B}"}, {"E", "{{B}"}, {"F", "{x{B}"}});
  EXPECT_EQ(table.at("A"), "click {B");
  EXPECT_EQ(table.at("C"), "b and {");
  EXPECT_EQ(table.at("D"), "} b");
  // The name runs from the first "{" to the next "}": "{B" and "x{B" are not in the table.
  EXPECT_EQ(table.at("E"), "{{B}");
  EXPECT_EQ(table.at("F"), "{x{B}");
}

TEST(ExpandPlaceholders, InsertedTextIsScannedWithWhatFollowsIt) {
  // "{OPEN}" becomes "{", which forms "{B}" with the text after it.
  const Table table = Expanded({{"OPEN", "{"}, {"X", "<{OPEN}B}>"}, {"B", "b"}, {"HALF", "{B"}, {"Y", "{HALF}}"}});
  EXPECT_EQ(table.at("X"), "<b>");
  EXPECT_EQ(table.at("Y"), "b");
  EXPECT_EQ(table.at("HALF"), "{B");
}

TEST(ExpandPlaceholders, TextWithoutReferencesIsUntouched) {
  const Table table = Expanded({{"P", "$percent$ Completed"}, {"Q", ""}, {"R", "a\r\nb"}});
  EXPECT_EQ(table.at("P"), "$percent$ Completed");
  EXPECT_EQ(table.at("Q"), "");
  EXPECT_EQ(table.at("R"), "a\r\nb");
}

TEST(ExpandPlaceholders, DirectCycleEndsAndLeavesTheReference) {
  const Table table = Expanded({{"A", "x{A}y{B}"}, {"B", "b"}, {"TWICE", "{TWICE}{TWICE}"}});
  EXPECT_EQ(table.at("A"), "x{A}yb");
  EXPECT_EQ(table.at("TWICE"), "{TWICE}{TWICE}");
}

TEST(ExpandPlaceholders, IndirectCycleIsCutWhereItWouldReenter) {
  const Table table =
      Expanded({{"A", "a{B}"}, {"B", "b{C}"}, {"C", "c{A}"}, {"D", "d{A}"}, {"E", "e{B}{OK}"}, {"OK", "ok"}});
  EXPECT_EQ(table.at("A"), "abc{A}");
  EXPECT_EQ(table.at("B"), "bca{B}");
  EXPECT_EQ(table.at("C"), "cab{C}");
  // References outside the cycle still expand fully; the cycle is cut where it returns.
  EXPECT_EQ(table.at("D"), "dabc{A}");
  EXPECT_EQ(table.at("E"), "ebca{B}ok");
}

TEST(ExpandPlaceholders, TwoValuesReferringToEachOther) {
  // Each value is cut where it would return to itself, whatever the key order.
  const Table table = Expanded({{"A", "{B}"}, {"B", "{A}"}});
  EXPECT_EQ(table.at("A"), "{A}");
  EXPECT_EQ(table.at("B"), "{B}");
}

TEST(ExpandPlaceholders, CycleFormedAcrossInsertedText) {
  // "{OPEN}" gives "{", which with "X}" would refer to X itself.
  const Table table = Expanded({{"OPEN", "{"}, {"X", "{OPEN}X}"}});
  EXPECT_EQ(table.at("X"), "{X}");
}

TEST(ExpandPlaceholders, DeepAcyclicChainExpands) {
  Table table;
  const auto key = [](int i) { return std::string("K").append(std::to_string(i)); };
  for (int i = 0; i < 50; ++i) table[key(i)] = std::string("{").append(key(i + 1)).append("}.");
  table["K50"] = "end";
  ExpandPlaceholders(table);
  EXPECT_EQ(table.at("K0"), "end" + std::string(50, '.'));
}

// ---- Tables from documents ----

TEST_F(LocaleTest, ProductTitleContainingItsOwnReference) {
  m_config->m_productName = L"Tool {PRODUCT_TITLE} {BUTTON_NEXT}";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleDlmEnglish);
  EXPECT_EQ(manager.GetString("PRODUCT_TITLE"), L"Tool {PRODUCT_TITLE} Next");
  EXPECT_EQ(manager.GetString("WELCOME_TEXT"),
            L"This will download Tool {PRODUCT_TITLE} Next on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"),
            L"Thank you.\r\nYou have successfully downloaded Tool {PRODUCT_TITLE} Next.");
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, ProductTitleGoesIntoTheTableAsUtf8) {
  // The table is UTF-8, like the configuration the title came from, whatever the ANSI code page.
  m_config->m_productName = L"Caf\u00e9 \u4e2d\u6587";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleDlmSpanish);
  EXPECT_EQ(manager.Strings().at("PRODUCT_TITLE"), "Caf\xc3\xa9 \xe4\xb8\xad\xe6\x96\x87");
  EXPECT_EQ(manager.GetString("PROGRESS_DESC"),
            L"Descargando Caf\u00e9 \u4e2d\u6587, si\u00e9ntese y rel\u00e1jese");
}

TEST_F(LocaleTest, CarriageReturnLineFeedFromCharacterReferences) {
  LanguageManager manager(nullptr);
  LoadTable(manager, kEdgeCases);
  EXPECT_EQ(manager.GetString("LINES"), L"one\r\ntwo\nthree");
}

TEST_F(LocaleTest, CommentsAttributesWhitespaceAndRepeatedKeys) {
  LanguageManager manager(nullptr);
  LoadTable(manager, kEdgeCases);
  EXPECT_EQ(manager.GetString("COMMENTED"), L"  two  blanks  ");
  EXPECT_EQ(manager.GetString("SIZED"), L"sized");
  EXPECT_EQ(manager.GetString("TWICE"), L"second & last");
  EXPECT_EQ(manager.GetString("QUOTED"), L"say \"second & last\" and \"sized\"");
  EXPECT_EQ(manager.Strings().size(), 6u);  // five keys and PRODUCT_TITLE
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, GetStringOfAbsentAndEmptyKeys) {
  m_config->m_productName.clear();
  LanguageManager manager(nullptr);
  EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"");  // nothing loaded yet
  LoadTable(manager, kLocaleDlmEnglish);
  EXPECT_EQ(manager.GetString("NO_SUCH_KEY"), L"");
  EXPECT_EQ(manager.GetString(""), L"");
  // Before the configuration arrives the DLM wizard's product title is empty.
  ASSERT_EQ(manager.Strings().count("PRODUCT_TITLE"), 1u);
  EXPECT_EQ(manager.Strings().at("PRODUCT_TITLE"), "");
  EXPECT_EQ(manager.GetString("PRODUCT_TITLE"), L"");
  EXPECT_EQ(manager.GetString("PROGRESS_DESC"), L"Downloading , sit back and relax");
}

// ---- The embedded documents ----

TEST_F(LocaleTest, EmbeddedDocumentsLoadWithTheirKeyCounts) {
  const std::vector<std::pair<UINT, int>> documents{
      {kLocaleDlmEnglish, 29}, {kLocaleDlmSpanish, 29}, {kLocaleIsvEnglish, 28}, {kLocaleIsvSpanish, 27}};
  for (const auto& [id, keys] : documents) {
    SCOPED_TRACE(id);
    EXPECT_EQ(KeyCount(id), keys);
    LanguageManager manager(nullptr);
    LoadTable(manager, id);
    EXPECT_EQ(manager.Strings().size(), static_cast<size_t>(keys) + 1);  // and PRODUCT_TITLE
  }
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, EmbeddedDocumentsNameTheirLocale) {
  const std::vector<std::pair<UINT, std::string>> documents{
      {kLocaleDlmEnglish, "en_US"}, {kLocaleDlmSpanish, "es"}, {kLocaleIsvEnglish, "en_US"}, {kLocaleIsvSpanish, "es"}};
  for (const auto& [id, code] : documents) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    ASSERT_TRUE(LoadLocaleResource(id, doc));
    ASSERT_NE(doc.FirstChildElement("Locale"), nullptr);
    EXPECT_STREQ(doc.FirstChildElement("Locale")->Attribute("name"), code.c_str());
  }
}

TEST_F(LocaleTest, EmbeddedDocumentsAreUtf8WithoutByteOrderMark) {
  for (const UINT id : {kLocaleDlmEnglish, kLocaleDlmSpanish, kLocaleIsvEnglish, kLocaleIsvSpanish}) {
    const HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"LOCALE");
    ASSERT_NE(info, nullptr);
    const std::string bytes(static_cast<const char*>(LockResource(LoadResource(nullptr, info))),
                            SizeofResource(nullptr, info));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u) << id;
  }
}

TEST_F(LocaleTest, DownloadManagerEnglish) {
  m_config->m_productName = L"Welvane Tester";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleDlmEnglish);
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"To continue, please select your preferred language, and click \"Next\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"),
            L"Thank you.\r\nYou have successfully downloaded Welvane Tester.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"To install the software on your machine, click \"Launch\"\r\n"
            L"Click the \"Finish\" button to exit the Setup Wizard");
  EXPECT_EQ(manager.GetString("PROGRESS_STATUS"), L"$percent$ Completed");
  EXPECT_EQ(manager.GetString("SDK_LINK"), L"SDK License");
  EXPECT_EQ(manager.GetString("OPEN_PRODUCT_SITE_CHECKBOX"), L"open product's site");
}

TEST_F(LocaleTest, DownloadManagerSpanish) {
  m_config->m_productName = L"Welvane Tester";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleDlmSpanish);
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"Para continuar, selecciona tu idioma preferido y haz clic en \"SIGUIENTE\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"), L"Gracias.\r\nHa descargado correctamente Welvane Tester.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"Para instalar el software en su m\u00e1quina, haga clic en \"Iniciar\"\r\n"
            L"Haga clic en el bot\u00f3n \"FINALIZAR\" para salir del Asistente de configuraci\u00f3n");
  EXPECT_EQ(manager.GetString("PROGRESS_QUIT"),
            L"Hay algunos procesos del instalador funcionando en un segundo plano y se terminar\u00e1n de forma "
            L"temporal. \u00bfSeguro que quiere salir?");
}

TEST_F(LocaleTest, InstallerEnglish) {
  m_config->m_productName = L"Welvane Tester";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleIsvEnglish);
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"To continue, please select your preferred language, and click \"Next\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"), L"Thank you.\r\nYour installation is complete.");
  EXPECT_EQ(manager.GetString("UNINSTALL_TEXT"),
            L"\r\nTo uninstall all softwares installed during this installation process, please go to "
            L"\"Add/Remove Programs\" and click \"Welvane Tester Packages\".");
  EXPECT_EQ(manager.GetString("PAGE_ERROR_TEXT"), L"Click on \"Close\" and try again later.");
  EXPECT_EQ(manager.GetString("SDK_LINK"), L"");
  EXPECT_EQ(manager.Strings().count("SDK_LINK"), 0u);
  EXPECT_EQ(manager.GetString("EULA_LINK"), L"EULA");
}

TEST_F(LocaleTest, InstallerSpanish) {
  m_config->m_productName = L"Welvane Tester";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleIsvSpanish);
  EXPECT_EQ(manager.GetString("SPLASH_TEXT"),
            L"Para continuar, selecciona tu idioma preferido y haz clic en \"SIGUIENTE\".");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TITLE"), L"Gracias.\r\n Su instalaci\u00f3n se ha completado.");
  EXPECT_EQ(manager.GetString("PAGE_FINISH_TEXT"),
            L"Ha instalado con \u00e9xito Welvane Tester. pulse \"FINALIZAR\"  para continuar.");
  EXPECT_EQ(manager.GetString("BUTTON_SKIP_ALL"), L"SALTAR TODOS");
  EXPECT_EQ(manager.Strings().count("PAGE_ERROR_TEXT"), 0u);
  EXPECT_EQ(manager.GetString("PAGE_ERROR_TEXT"), L"");
  EXPECT_EQ(manager.GetString("SDK_LINK"), L"");
  EXPECT_EQ(manager.GetString("PAGE_ERROR_TITLE"), L"Error de descarga");
}

// ---- Languages ----

TEST(LanguageDisplayName, NativeNamesFromTheSystem) {
  EXPECT_EQ(GetLanguageDisplayName(L"en_US"), L"English");
  EXPECT_EQ(GetLanguageDisplayName(L"es"), L"espa\u00f1ol");
  EXPECT_EQ(GetLanguageDisplayName(L"en-GB"), L"English");
  EXPECT_EQ(GetLanguageDisplayName(L"es-MX"), L"espa\u00f1ol");
  EXPECT_EQ(GetLanguageDisplayName(L"fr_FR"), L"fran\u00e7ais");
}

TEST(LanguageDisplayName, UnknownCodeIsItsOwnName) {
  EXPECT_EQ(GetLanguageDisplayName(L"zz_ZZ"), L"zz_ZZ");
  EXPECT_EQ(GetLanguageDisplayName(L"qq"), L"qq");
}

TEST(LanguageDisplayName, UserLanguageIsTheNativeNameOfTheUserLocale) {
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH), 0);
  EXPECT_EQ(UserLanguageDisplayName(), GetLanguageDisplayName(locale));
}

TEST(PreselectedIndex, TheUsersLanguageElseTheFirst) {
  const std::vector<std::wstring> names{L"English", L"espa\u00f1ol"};
  EXPECT_EQ(PreselectedIndex(names, L"English"), 0);
  EXPECT_EQ(PreselectedIndex(names, L"espa\u00f1ol"), 1);
  EXPECT_EQ(PreselectedIndex(names, L"fran\u00e7ais"), 0);
  EXPECT_EQ(PreselectedIndex(names, L"Espa\u00f1ol"), 0);  // exact, case-sensitive
  EXPECT_EQ(PreselectedIndex({}, L"English"), 0);
  EXPECT_EQ(PreselectedIndex({L"English", L"espa\u00f1ol", L"espa\u00f1ol"}, L"espa\u00f1ol"), 2);  // last wins
}

TEST_F(LocaleTest, ResourceIdsPerWizardType) {
  EXPECT_EQ(GetLocaleResourceIds(), (std::vector<UINT>{105, 106}));  // the test program is a DLM build
  m_config->m_wizardType = kWizardIsv;
  EXPECT_EQ(GetLocaleResourceIds(), (std::vector<UINT>{101, 102}));
  m_config->m_wizardType = 3;
  EXPECT_TRUE(GetLocaleResourceIds().empty());
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, ComboListsTheLanguagesAndSelectsTheUsers) {
  HiddenCombo window;
  LanguageManager manager(nullptr);
  const std::vector<UINT> ids{kLocaleDlmEnglish, kLocaleDlmSpanish};
  manager.PopulateLanguageCombo(window.Combo(), ids, L"espa\u00f1ol");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol"}));
  EXPECT_EQ(window.Combo().Selection(), 1);
  manager.PopulateLanguageCombo(window.Combo(), ids, L"English");
  EXPECT_EQ(window.Items().size(), 2u);  // filled afresh, not appended
  EXPECT_EQ(window.Combo().Selection(), 0);
  manager.PopulateLanguageCombo(window.Combo(), ids, L"fran\u00e7ais");
  EXPECT_EQ(window.Combo().Selection(), 0);
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, ComboListsDocumentsInOrderAndTheLastMatchWins) {
  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo(), {kLocaleDlmEnglish, kLocaleDlmSpanish, kFrench}, L"fran\u00e7ais");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol", L"fran\u00e7ais"}));
  EXPECT_EQ(window.Combo().Selection(), 2);
  manager.PopulateLanguageCombo(window.Combo(), {kLocaleDlmEnglish, kLocaleDlmSpanish, kMexicanSpanish},
                                L"espa\u00f1ol");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol", L"espa\u00f1ol"}));
  EXPECT_EQ(window.Combo().Selection(), 2);
  // The later document of the same display name is the one applied.
  EXPECT_TRUE(manager.SetLanguage(L"espa\u00f1ol"));
  EXPECT_EQ(manager.GetString("BUTTON_NEXT"), L"Siguiente");
  EXPECT_EQ(m_config->m_localeCode, L"es_MX");
}

TEST_F(LocaleTest, ComboOfTheWizardTypeSelectsTheSystemUsersLanguage) {
  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo());
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol"}));
  EXPECT_EQ(window.Combo().Selection(), UserLanguageDisplayName() == L"espa\u00f1ol" ? 1 : 0);
}

TEST_F(LocaleTest, SetLanguageLoadsTheTableAndRecordsTheLanguage) {
  HiddenCombo window;
  auto manager = std::make_shared<LanguageManager>(nullptr);
  manager->PopulateLanguageCombo(window.Combo(), GetLocaleResourceIds(), L"English");

  EXPECT_TRUE(manager->SetLanguage(L"espa\u00f1ol"));
  EXPECT_EQ(manager->GetString("BUTTON_NEXT"), L"SIGUIENTE");
  EXPECT_EQ(m_config->m_languageName, L"espa\u00f1ol");
  EXPECT_EQ(m_config->m_localeCode, L"es");

  EXPECT_TRUE(manager->SetLanguage(L"English"));
  EXPECT_EQ(manager->GetString("BUTTON_NEXT"), L"Next");
  EXPECT_EQ(m_config->m_languageName, L"English");
  EXPECT_EQ(m_config->m_localeCode, L"en_US");

  // A language that was not listed changes nothing.
  EXPECT_FALSE(manager->SetLanguage(L"Deutsch"));
  EXPECT_FALSE(manager->SetLanguage(L"english"));
  EXPECT_EQ(manager->GetString("BUTTON_NEXT"), L"Next");
  EXPECT_EQ(m_config->m_languageName, L"English");
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, SetLanguageOfTheInstallerTables) {
  m_config->m_wizardType = kWizardIsv;
  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo(), GetLocaleResourceIds(), L"espa\u00f1ol");
  EXPECT_EQ(window.Selected(), L"espa\u00f1ol");
  ASSERT_TRUE(manager.SetLanguage(L"espa\u00f1ol"));
  EXPECT_EQ(manager.Strings().size(), 28u);
  EXPECT_EQ(manager.GetString("PROGRESS_TITLE"), L"Estado de la instalaci\u00f3n");
  ASSERT_TRUE(manager.SetLanguage(L"English"));
  EXPECT_EQ(manager.Strings().size(), 29u);
  EXPECT_EQ(manager.GetString("PROGRESS_TITLE"), L"Installation Status");
}

TEST_F(LocaleTest, SetLanguageRetextsEveryPageInOrder) {
  HiddenCombo window;
  auto manager = std::make_shared<LanguageManager>(nullptr);
  manager->PopulateLanguageCombo(window.Combo(), GetLocaleResourceIds(), L"English");
  std::vector<std::wstring> log;
  RecordingPage first(manager, L"first", log);
  {
    RecordingPage gone(manager, L"gone", log);
    RecordingPage second(manager, L"second", log);
    ASSERT_TRUE(manager->SetLanguage(L"espa\u00f1ol"));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"first:SIGUIENTE", L"gone:SIGUIENTE", L"second:SIGUIENTE"}));
    log.clear();
    // A page listed twice leaves with every entry; the others keep their order.
    manager->AddPage(&gone);
    manager->AddPage(&first);
    manager->RemovePage(&gone);
    ASSERT_TRUE(manager->SetLanguage(L"English"));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"first:Next", L"second:Next", L"first:Next"}));
    manager->RemovePage(&first);
    manager->AddPage(&first);
    log.clear();
  }
  ASSERT_TRUE(manager->SetLanguage(L"espa\u00f1ol"));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"first:SIGUIENTE"}));
}

// ---- Failures: every message of the locale tables ----

TEST_F(LocaleTest, UnknownWizardTypeOffersNoLanguages) {
  m_config->m_wizardType = kWizardUnknown;
  EXPECT_TRUE(GetLocaleResourceIds().empty());
  ASSERT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{L"Unknown wizard type (language manager"}));
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>{MB_OK}));

  HiddenCombo window;
  window.Combo().AddString(L"stale");
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo());
  EXPECT_EQ(window.Combo().Count(), 0);
  EXPECT_EQ(window.Combo().Selection(), CB_ERR);
  EXPECT_EQ(m_boxes.Texts().size(), 2u);
  EXPECT_FALSE(manager.SetLanguage(L"English"));
}

TEST_F(LocaleTest, MissingResource) {
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  EXPECT_FALSE(LoadLocaleResource(kMissing, doc));
  ASSERT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{L"Failed to find resource with id: 8999"}));
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>{MB_OK}));
}

TEST_F(LocaleTest, MissingResourceIsNotOffered) {
  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo(), {kMissing, kLocaleDlmSpanish, 65535}, L"English");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"espa\u00f1ol"}));
  EXPECT_EQ(window.Combo().Selection(), 0);
  EXPECT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{L"Failed to find resource with id: 8999",
                                                        L"Failed to find resource with id: 65535"}));
}

TEST_F(LocaleTest, DocumentThatDoesNotParse) {
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  EXPECT_FALSE(LoadLocaleResource(kNotWellFormed, doc));
  EXPECT_EQ(doc.ErrorID(), tinyxml2::XML_ERROR_MISMATCHED_ELEMENT);
  const std::string parserText = doc.ErrorStr();
  EXPECT_NE(parserText.find("XML_ERROR_MISMATCHED_ELEMENT"), std::string::npos) << parserText;
  ASSERT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{kParseFailure + win::Widen(parserText, CP_ACP)}));
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>{MB_OK}));

  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo(), {kNotWellFormed, kLocaleDlmEnglish}, L"English");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English"}));
  EXPECT_EQ(m_boxes.Texts().size(), 2u);
}

TEST_F(LocaleTest, NoLocaleElementLeavesTheTableAsItWas) {
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleDlmEnglish);
  const Table before = manager.Strings();

  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  ASSERT_TRUE(LoadLocaleResource(kNoLocaleElement, doc));
  EXPECT_FALSE(manager.LoadStrings(doc));
  EXPECT_EQ(manager.Strings(), before);
  ASSERT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{std::wstring(kParseFailure) + L"No Locale element"}));
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>{MB_OK}));
}

TEST_F(LocaleTest, NoLocaleElementIsSkippedSilentlyWhenListing) {
  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo(), {kNoLocaleElement, kLocaleDlmEnglish}, L"English");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English"}));
  EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LocaleTest, NoNameAttributeIsNotOffered) {
  HiddenCombo window;
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo(), {kLocaleDlmEnglish, kNoNameAttribute, kLocaleDlmSpanish},
                                L"espa\u00f1ol");
  EXPECT_EQ(window.Items(), (std::vector<std::wstring>{L"English", L"espa\u00f1ol"}));
  EXPECT_EQ(window.Combo().Selection(), 1);
  ASSERT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{std::wstring(kParseFailure) + L"No name attribute"}));
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>{MB_OK}));
}

TEST_F(LocaleTest, KeyWithoutTextKeepsTheKeysBeforeItUnexpanded) {
  m_config->m_productName = L"Tester";
  LanguageManager manager(nullptr);
  LoadTable(manager, kLocaleDlmEnglish);
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  ASSERT_TRUE(LoadLocaleResource(kKeyWithoutText, doc));
  EXPECT_FALSE(manager.LoadStrings(doc));
  EXPECT_EQ(manager.Strings(), (Table{{"PRODUCT_TITLE", "Tester"}, {"FIRST", "one {SECOND}"}, {"SECOND", "two"}}));
  ASSERT_EQ(m_boxes.Texts(),
            (std::vector<std::wstring>{std::wstring(kParseFailure) + L"No name or text attribute"}));
  EXPECT_EQ(m_boxes.Styles(), (std::vector<UINT>{MB_OK}));
}

TEST_F(LocaleTest, KeyWhoseFirstContentIsAnElementHasNoText) {
  LanguageManager manager(nullptr);
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  ASSERT_TRUE(LoadLocaleResource(kElementValue, doc));
  EXPECT_FALSE(manager.LoadStrings(doc));
  EXPECT_EQ(manager.GetString("BEFORE"), L"before");
  EXPECT_EQ(manager.Strings().count("CHILD"), 0u);
  EXPECT_EQ(m_boxes.Texts(), (std::vector<std::wstring>{std::wstring(kParseFailure) + L"No name or text attribute"}));
}

TEST_F(LocaleTest, LanguageWhoseTableBreaksOffIsStillApplied) {
  // Applying does not look at the table's result: the pages get what was read before the break.
  HiddenCombo window;
  auto manager = std::make_shared<LanguageManager>(nullptr);
  manager->PopulateLanguageCombo(window.Combo(), {kLocaleDlmEnglish, kKeyWithoutText}, L"English");
  ASSERT_EQ(window.Items(), (std::vector<std::wstring>{L"English", L"zz_ZZ"}));
  std::vector<std::wstring> log;
  RecordingPage page(manager, L"page", log);
  EXPECT_TRUE(manager->SetLanguage(L"zz_ZZ"));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"page:"}));
  EXPECT_EQ(manager->GetString("FIRST"), L"one {SECOND}");
  EXPECT_EQ(m_config->m_localeCode, L"zz_ZZ");
  EXPECT_EQ(m_boxes.Texts().size(), 1u);
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
  LanguageManager manager(nullptr);
  manager.PopulateLanguageCombo(window.Combo());
  EXPECT_EQ(window.Selected(), PercentDecoded(expected));
}
